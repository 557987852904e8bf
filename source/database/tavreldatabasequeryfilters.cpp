// The subscriber's filters (table Filters) with their regions and economic sectors (tables
// FilterRegions and FilterBranches, keyed by the filter's LocalId).

#include "tavreldatabasequery.h"

#include "clock.h"
#include "constants.h"
#include "database.h"
#include "filter.h"

#include <QSet>

namespace {

const char SELECT_FILTERS[] = "SELECT * FROM %1 WHERE Login = :Login ORDER BY DisplayOrder";
const char SELECT_FILTER_LINKS[] = "SELECT * FROM %1 WHERE FilterId = :FilterId";
const char DELETE_LOGIN_FILTERS[] = "DELETE FROM %1 WHERE :Login = Login";
const char INSERT_FILTER[]
    = "INSERT OR REPLACE INTO %1 (DisplayOrder     ,WordsExceptions  ,OpenCompetition  ,PriceQuotation   "
      ",ElectronicAuction,Preselection     ,EasyPurchase     ,OpeningTimeFrom  ,OpeningTimeTo    ,ClosingTimeFrom  "
      ",ClosingTimeTo    ,AmountOrdersTo   ,AmountOrdersFrom ,OrderType        ,SearchArea       ,Name             "
      ",Login            ,LocalId          ,Id               ,FilterChangeDate ,WithMorphology   ,AllWordsRequired "
      ",Enabled,WordSerch,State            )VALUES (:DisplayOrder     ,:WordsExceptions  ,:OpenCompetition  "
      ",:PriceQuotation   ,:ElectronicAuction,:Preselection     ,:EasyPurchase     ,:OpeningTimeFrom  ,:OpeningTimeTo "
      "   ,:ClosingTimeFrom  ,:ClosingTimeTo    ,:AmountOrdersTo   ,:AmountOrdersFrom ,:OrderType        ,:SearchArea "
      "      ,:Name             ,:Login            ,:LocalId          ,:Id               ,:FilterChangeDate "
      ",:WithMorphology   ,:AllWordsRequired ,:Enabled,:WordSerch,:State            );";
const char SELECT_LAST_ROW_ID[] = "SELECT last_insert_rowid()";
const char DELETE_FILTER_LINKS[] = "DELETE FROM %1 WHERE FilterId = :FilterId";
// %2 is the prefix of the linked id column (Branch or Region).
const char INSERT_FILTER_LINK[] = "INSERT INTO %1 (FilterId, %2Id) VALUES (:FilterId, :LinkId)";
const char UPDATE_FILTER_SYNCHRONIZED[] = "UPDATE %1 SET Id = :ExternalId, FilterChangeDate = :Date, State = :State "
                                          "WHERE Login = :Login AND LocalId = :LocalId";
const char SELECT_FILTER_VERSION[]
    = "SELECT FilterChangeDate, State FROM %1 WHERE Login = :Login AND LocalId = :LocalId";
const char SELECT_FILTER_ID[] = "SELECT Id FROM %1 WHERE Login = :Login AND LocalId = :LocalId";
const char UPDATE_FILTER_ID[]
    = "UPDATE %1 SET Id = :ExternalId, State = :State WHERE Login = :Login AND LocalId = :LocalId";
const char DELETE_FILTER[] = "DELETE FROM %1 WHERE Login = :Login AND LocalId = :Id";

QString sql(const char *text, const QString &table)
{
    return QString::fromLatin1(text).arg(table);
}

} // namespace

// Reads the linked ids of one filter; false when the read fails.
bool TavrelDataBaseQuery::readFilterLinks(const QString &table, const QString &column, qint64 filterId,
                                          QList<qint64> &ids)
{
    QSqlQuery query = statement(sql(SELECT_FILTER_LINKS, table));
    query.bindValue(QStringLiteral(":FilterId"), filterId);
    if (!query.exec())
        return false;
    while (query.next())
        ids << query.value(column).toLongLong();
    query.finish();
    return true;
}

Entity::FilterList TavrelDataBaseQuery::filters(const QString &login)
{
    Entity::FilterList list(nullptr);
    QSqlQuery query = statement(sql(SELECT_FILTERS, TABLE_FILTERS));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return list;
    while (query.next()) {
        QVariantMap map = recordMap(query);
        auto *filter = new Entity::Filter;
        filter->changed = false;
        if (map.contains(KEY_WORDS_EXCEPTIONS))
            filter->setWordsExceptions(map.take(KEY_WORDS_EXCEPTIONS).toString());
        // The lists come from the link tables only.
        map.remove(KEY_FILTER_REGIONS);
        map.remove(KEY_FILTER_BRANCHES);
        filter->fromVariantMap(map);
        list.items.append(filter);

        // The stamps move so that records resolved before are looked up afresh.
        if (readFilterLinks(TABLE_FILTER_BRANCHES, QStringLiteral("BranchId"), filter->localId, filter->branches))
            --filter->branchStamp;
        if (readFilterLinks(TABLE_FILTER_REGIONS, QStringLiteral("RegionId"), filter->localId, filter->regions))
            --filter->regionStamp;
    }
    query.finish();
    return list;
}

// Replaces the links of one filter by the given ids. An id given twice is stored once, so that a
// repeated id cannot break the table's key and cost the ids after it.
bool TavrelDataBaseQuery::writeFilterLinks(const QString &table, const QString &column, qint64 filterId,
                                           const QList<qint64> &ids)
{
    QSqlQuery clear = statement(sql(DELETE_FILTER_LINKS, table));
    clear.bindValue(QStringLiteral(":FilterId"), filterId);
    if (!run(clear))
        return false;

    QSqlQuery insert = statement(QString::fromLatin1(INSERT_FILTER_LINK).arg(table, column));
    QSet<qint64> written;
    for (qint64 id : ids) {
        if (written.contains(id))
            continue;
        written.insert(id);
        insert.bindValue(QStringLiteral(":FilterId"), filterId);
        insert.bindValue(QStringLiteral(":LinkId"), id);
        if (!run(insert))
            return false;
    }
    return true;
}

// Writes one filter row (a new filter receives its LocalId) and its links.
bool TavrelDataBaseQuery::writeFilter(const QString &login, Entity::Filter *filter)
{
    const bool isNew = filter->localId < 0;
    const QString wordsExceptions = filter->wordsExceptionsText();
    if (!isNew && filter->id < 0) {
        // A record read before the create's answer came still has no server id. Written as it is, it
        // would make the service create the filter a second time: the stored id stays, and the write
        // is an edit of the filter the service already has.
        QSqlQuery stored = statement(sql(SELECT_FILTER_ID, TABLE_FILTERS));
        stored.bindValue(QStringLiteral(":Login"), login);
        stored.bindValue(QStringLiteral(":LocalId"), filter->localId);
        if (!stored.exec())
            return false;
        const qint64 storedId = stored.next() && !stored.value(0).isNull() ? stored.value(0).toLongLong() : -1;
        stored.finish();
        if (storedId >= 0) {
            filter->id = storedId;
            if (filter->state == Entity::FilterList::New)
                filter->state = Entity::FilterList::Edited;
        }
    }

    QSqlQuery insert = statement(sql(INSERT_FILTER, TABLE_FILTERS));
    insert.bindValue(QStringLiteral(":DisplayOrder"), filter->displayOrder);
    insert.bindValue(QStringLiteral(":WordsExceptions"),
                     wordsExceptions.isEmpty() ? QVariant(QVariant::String) : QVariant(wordsExceptions));
    insert.bindValue(QStringLiteral(":OpenCompetition"), filter->openCompetition);
    insert.bindValue(QStringLiteral(":PriceQuotation"), filter->priceQuotation);
    insert.bindValue(QStringLiteral(":ElectronicAuction"), filter->electronicAuction);
    insert.bindValue(QStringLiteral(":Preselection"), filter->preselection);
    insert.bindValue(QStringLiteral(":EasyPurchase"), filter->easyPurchase);
    insert.bindValue(QStringLiteral(":OpeningTimeFrom"), filter->openingTimeFrom);
    insert.bindValue(QStringLiteral(":OpeningTimeTo"), filter->openingTimeTo);
    insert.bindValue(QStringLiteral(":ClosingTimeFrom"), filter->closingTimeFrom);
    insert.bindValue(QStringLiteral(":ClosingTimeTo"), filter->closingTimeTo);
    insert.bindValue(QStringLiteral(":AmountOrdersTo"), filter->amountOrdersTo);
    insert.bindValue(QStringLiteral(":AmountOrdersFrom"), filter->amountOrdersFrom);
    insert.bindValue(QStringLiteral(":OrderType"), filter->orderType);
    insert.bindValue(QStringLiteral(":SearchArea"), filter->searchArea);
    insert.bindValue(QStringLiteral(":Name"), filter->name);
    insert.bindValue(QStringLiteral(":Login"), login);
    insert.bindValue(QStringLiteral(":LocalId"), isNew ? QVariant(QVariant::LongLong) : QVariant(filter->localId));
    insert.bindValue(QStringLiteral(":Id"), filter->id);
    insert.bindValue(QStringLiteral(":FilterChangeDate"), filter->filterChangeDate);
    insert.bindValue(QStringLiteral(":WithMorphology"), filter->withMorphology);
    insert.bindValue(QStringLiteral(":AllWordsRequired"), filter->allWordsRequired);
    insert.bindValue(QStringLiteral(":Enabled"), filter->enabled);
    insert.bindValue(QStringLiteral(":WordSerch"), filter->wordSerch);
    insert.bindValue(QStringLiteral(":State"), Entity::FilterList::stateToString(filter->state));
    if (!run(insert))
        return false;

    if (isNew) {
        // Without its row id the links of a new filter would be keyed by -1: fail the save instead.
        QSqlQuery rowId = statement(QString::fromLatin1(SELECT_LAST_ROW_ID));
        const bool read = rowId.exec() && rowId.next();
        if (read)
            filter->localId = rowId.value(0).toLongLong();
        rowId.finish();
        if (!read)
            return false;
    }
    return writeFilterLinks(TABLE_FILTER_REGIONS, QStringLiteral("Region"), filter->localId, filter->regions)
        && writeFilterLinks(TABLE_FILTER_BRANCHES, QStringLiteral("Branch"), filter->localId, filter->branches);
}

bool TavrelDataBaseQuery::saveFilters(const QString &login, Entity::FilterList &list, bool replaceAll)
{
    if (!list.hasChanges())
        return true;
    // A filter without its subscriber would leave that subscriber's list for good.
    if (login.isEmpty())
        return false;

    dataBase->beginTransaction();
    if (replaceAll) {
        Entity::FilterList stored = filters(login);
        QSqlQuery clear = statement(sql(DELETE_LOGIN_FILTERS, TABLE_FILTERS));
        clear.bindValue(QStringLiteral(":Login"), login);
        if (!run(clear)) {
            stored.clear();
            return failLevel();
        }
        // A filter received again keeps its place in the list: match by name, ignoring case.
        for (const Entity::Filter *old : qAsConst(stored.items)) {
            for (Entity::Filter *filter : qAsConst(list.items)) {
                if (filter && filter->name.compare(old->name, Qt::CaseInsensitive) == 0) {
                    filter->displayOrder = old->displayOrder;
                    break;
                }
            }
        }
        stored.clear();
    }

    // New filters get their ids as they are written; a save that does not commit gives them back
    // their -1, so that a later save cannot overwrite whatever row holds that id by then.
    QList<Entity::Filter *> newFilters;
    const auto undoLocalIds = [&newFilters] {
        for (Entity::Filter *filter : qAsConst(newFilters))
            filter->localId = -1;
    };
    QList<bool *> flags;
    // Rows that keep their ids go first, so that no new row can take an id one of them still needs.
    QList<Entity::Filter *> ordered;
    for (Entity::Filter *filter : qAsConst(list.items)) {
        // Replace-all has removed every stored row of the login, so every record must be written.
        if (!filter || (!filter->changed && !replaceAll))
            continue;
        if (filter->localId < 0)
            newFilters << filter;
        else
            ordered << filter;
    }
    ordered << newFilters;
    for (Entity::Filter *filter : qAsConst(ordered)) {
        if (!writeFilter(login, filter)) {
            undoLocalIds();
            return failLevel();
        }
        flags << &filter->changed;
    }
    const bool committed = dataBase->commitAndSetResults(flags, false);
    if (!committed)
        undoLocalIds();
    return committed;
}

bool TavrelDataBaseQuery::setFilterSynchronized(const QString &login, qint64 localId, qint64 serviceId,
                                                const QDateTime &pushedChangeDate)
{
    if (pushedChangeDate.isValid()) {
        QSqlQuery version = statement(sql(SELECT_FILTER_VERSION, TABLE_FILTERS));
        version.bindValue(QStringLiteral(":Login"), login);
        version.bindValue(QStringLiteral(":LocalId"), localId);
        if (!version.exec())
            return false;
        const bool found = version.next();
        const QDateTime stored = found ? version.value(0).toDateTime() : QDateTime();
        const auto state
            = found ? Entity::FilterList::stringToState(version.value(1).toString()) : Entity::FilterList::Sync;
        version.finish();
        if (found && stored.isValid() && stored != pushedChangeDate) {
            QSqlQuery keep = statement(sql(UPDATE_FILTER_ID, TABLE_FILTERS));
            keep.bindValue(QStringLiteral(":ExternalId"), serviceId);
            const auto kept = state == Entity::FilterList::New ? Entity::FilterList::Edited : state;
            keep.bindValue(QStringLiteral(":State"), Entity::FilterList::stateToString(kept));
            keep.bindValue(QStringLiteral(":Login"), login);
            keep.bindValue(QStringLiteral(":LocalId"), localId);
            return run(keep);
        }
    }
    QSqlQuery query = statement(sql(UPDATE_FILTER_SYNCHRONIZED, TABLE_FILTERS));
    query.bindValue(QStringLiteral(":ExternalId"), serviceId);
    query.bindValue(QStringLiteral(":Date"), Clock::currentDateTimeUtc());
    query.bindValue(QStringLiteral(":State"), Entity::FilterList::stateToString(Entity::FilterList::Sync));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":LocalId"), localId);
    return run(query);
}

bool TavrelDataBaseQuery::removeFilter(const QString &login, const QList<qint64> &localIds)
{
    dataBase->beginTransaction();
    QSqlQuery query = statement(sql(DELETE_FILTER, TABLE_FILTERS));
    for (qint64 localId : localIds) {
        query.bindValue(QStringLiteral(":Login"), login);
        query.bindValue(QStringLiteral(":Id"), localId);
        // Reported, so that the engine pushes the deletion again instead of forgetting it.
        if (!run(query))
            return failLevel();
    }
    return dataBase->commitOrRollback();
}
