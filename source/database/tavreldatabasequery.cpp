#include "tavreldatabasequery.h"

#include "branch.h"
#include "constants.h"
#include "database.h"
#include "filterlinklist.h"
#include "region.h"

#include <QSqlRecord>

namespace {

const char SELECT_DICTIONARY[] = "SELECT * FROM %1 ORDER BY Name";
const char DELETE_ALL[] = "DELETE FROM %1";
// %2 is the table's change-date column (RegionChangeDate or BranchChangeDate).
const char INSERT_DICTIONARY_ENTRY[]
    = "INSERT OR REPLACE INTO %1 (ParentId,Name,Id,%2)VALUES (:ParentId,:Name,:Id,:%2)";

} // namespace

TavrelDataBaseQuery::TavrelDataBaseQuery(DataBase *dataBase, QObject *parent)
    : QObject(parent)
    , dataBase(dataBase)
    , regionList(nullptr)
    , branchList(nullptr)
{
    reloadDictionaries();
}

TavrelDataBaseQuery::~TavrelDataBaseQuery()
{
    regionList.clear();
    branchList.clear();
    // Leave no process-wide map pointing to the records just freed.
    Entity::FilterLinkList::regionMap(&regionList);
    Entity::FilterLinkList::branchMap(&branchList);
}

QSqlQuery TavrelDataBaseQuery::statement(const QString &text) const
{
    return QSqlQuery(*dataBase->preparedQuery(text));
}

QSqlQuery TavrelDataBaseQuery::namedStatement(const QString &name, const QString &text) const
{
    return QSqlQuery(*dataBase->namedQuery(name, text, true));
}

QVariantMap TavrelDataBaseQuery::recordMap(const QSqlQuery &query)
{
    QVariantMap map;
    const QSqlRecord row = query.record();
    for (int i = 0; i < row.count(); ++i)
        map.insert(row.fieldName(i).toLower(), query.value(i));
    return map;
}

QVariantMap TavrelDataBaseQuery::columnMap(const QSqlQuery &query)
{
    QVariantMap map;
    const QSqlRecord row = query.record();
    for (int i = 0; i < row.count(); ++i)
        map.insert(row.fieldName(i), query.value(i));
    return map;
}

bool TavrelDataBaseQuery::run(QSqlQuery &query)
{
    const bool ok = query.exec();
    query.finish();
    return ok;
}

bool TavrelDataBaseQuery::failLevel()
{
    dataBase->rollback();
    return false;
}

bool TavrelDataBaseQuery::clearTable(const QString &table)
{
    QSqlQuery clear = statement(QString::fromLatin1(DELETE_ALL).arg(table));
    return run(clear);
}

void TavrelDataBaseQuery::reloadDictionaries()
{
    regionList.clear();
    branchList.clear();
    regionList = regions();
    branchList = branches();
    Entity::FilterLinkList::branchMap(&branchList);
    Entity::FilterLinkList::regionMap(&regionList);
}

template<typename Record, typename List> List TavrelDataBaseQuery::readDictionary(const QString &table)
{
    List list(nullptr);
    QSqlQuery query = statement(QString::fromLatin1(SELECT_DICTIONARY).arg(table));
    if (!query.exec())
        return list;
    while (query.next()) {
        auto *record = new Record;
        record->clearChanged();
        record->fromVariantMap(recordMap(query));
        list.items.append(record);
    }
    query.finish();
    return list;
}

Entity::RegionList TavrelDataBaseQuery::regions()
{
    return readDictionary<Entity::Region, Entity::RegionList>(TABLE_REGIONS);
}

Entity::BranchList TavrelDataBaseQuery::branches()
{
    return readDictionary<Entity::Branch, Entity::BranchList>(TABLE_BRANCHES);
}

template<typename Record>
bool TavrelDataBaseQuery::replaceDictionary(const QList<Record *> &items, const QString &table,
                                            const QString &changeDateColumn, bool clearFirst)
{
    dataBase->beginTransaction();
    if (clearFirst && !clearTable(table))
        return failLevel();
    QSqlQuery insert = statement(QString::fromLatin1(INSERT_DICTIONARY_ENTRY).arg(table, changeDateColumn));
    const QString changeDatePlaceholder = QLatin1Char(':') + changeDateColumn;
    for (const Record *record : items) {
        if (!record)
            continue;
        insert.bindValue(QStringLiteral(":ParentId"), record->parentId);
        insert.bindValue(QStringLiteral(":Name"), record->name);
        insert.bindValue(QStringLiteral(":Id"), record->id);
        insert.bindValue(changeDatePlaceholder, record->changeDate);
        if (!run(insert))
            return failLevel();
    }
    return dataBase->commitOrRollback();
}

bool TavrelDataBaseQuery::replaceRegions(const Entity::RegionList &list, bool clearFirst)
{
    return replaceDictionary(list.items, TABLE_REGIONS, QStringLiteral("RegionChangeDate"), clearFirst);
}

bool TavrelDataBaseQuery::replaceBranches(const Entity::BranchList &list, bool clearFirst)
{
    return replaceDictionary(list.items, TABLE_BRANCHES, QStringLiteral("BranchChangeDate"), clearFirst);
}
