// Storage of received orders: the stored-id lookups and the four bulk writers through which whole
// order lists from the service reach OrderTable.

#include "tavreldatabasequery.h"

#include "constants.h"
#include "database.h"
#include "order.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>

namespace {

// One statement finds the stored rows of a whole id list; the ids are bound as one JSON array.
const QString LOOKUP_STORED
    = QStringLiteral("SELECT Id, Type FROM %1 WHERE Id IN (SELECT value FROM json_each(:Ids)) AND Login = :Login ");

const QString INSERT_ORDER = QStringLiteral(
    "INSERT OR REPLACE INTO %1 (Type, Id, OpeningTime, ClosingTime, ChangeDate, Branch, Region, PlacementMethod, "
    "Name,Amount, Url, Login, CurrencyName, FullAccess ) VALUES (:Type, :Id, :OpeningTime, :ClosingTime, "
    ":ChangeDate, :Branch, :Region, :PlacementMethod, :Name,:Amount, :Url, :Login, :CurrencyName, :FullAccess )");
const QString INSERT_ORDER_WITH_TYPE = QStringLiteral(
    "INSERT OR REPLACE INTO %1 (Type, Id, OpeningTime, ClosingTime, ChangeDate, Branch, Region, PlacementMethod, "
    "Name, CurrencyName, Amount, Url, Login, FullAccess ) VALUES (:Type, :Id, :OpeningTime, :ClosingTime, "
    ":ChangeDate, :Branch, :Region, :PlacementMethod, :Name, :CurrencyName, :Amount, :Url, :Login, :FullAccess )");

const QString UPDATE_KEEP_TYPE_NEW_ORDERS = QStringLiteral(
    "UPDATE %1 SET OpeningTime = :OpeningTime, CurrencyName = :CurrencyName, ClosingTime = :ClosingTime, "
    "ChangeDate = :ChangeDate, Branch = :Branch, Region = :Region, PlacementMethod = :PlacementMethod, FullAccess "
    "= :FullAccess,Name = :Name, Amount = :Amount, Url = :Url WHERE Id = :Id AND Login = :Login");
const QString UPDATE_KEEP_TYPE_FOUND_ORDERS = QStringLiteral(
    "UPDATE %1 SET OpeningTime = :OpeningTime, ClosingTime = :ClosingTime, ChangeDate = :ChangeDate, Branch = "
    ":Branch, Region = :Region, PlacementMethod = :PlacementMethod, FullAccess = :FullAccess, Name = :Name, Amount "
    "= :Amount, Url = :Url, CurrencyName = :CurrencyName WHERE Id = :Id AND Login = :Login");
const QString UPDATE_WITH_TYPE = QStringLiteral(
    "UPDATE %1 SET Type = :Type, OpeningTime = :OpeningTime, ClosingTime = :ClosingTime, ChangeDate = "
    ":ChangeDate, Branch = :Branch, Region = :Region, PlacementMethod = :PlacementMethod, FullAccess = :FullAccess, "
    "Name = :Name, Amount = :Amount, Url = :Url, CurrencyName = :CurrencyName WHERE Id = :Id AND Login = :Login");
const QString UPDATE_KEEP_TYPE_KEEP_NEW_VIEWED = QStringLiteral(
    "UPDATE %1 SET OpeningTime = :OpeningTime, CurrencyName = :CurrencyName,  ClosingTime = :ClosingTime, "
    "ChangeDate = :ChangeDate, Branch = :Branch, Region = :Region, PlacementMethod = :PlacementMethod, Name = "
    ":Name, Amount = :Amount, Url = :Url, FullAccess = :FullAccess WHERE Id = :Id AND Login = :Login");

struct SaveVariant
{
    // Which stored Type makes a row "count as stored" (empty: any Type does).
    QString storedType;
    const QString *insertText;
    // The UPDATE of a row that counts as stored.
    const QString *updateText;
    bool updateWritesType;
};

const SaveVariant SAVE_ORDERS {QStringLiteral("viewed"), &INSERT_ORDER, &UPDATE_KEEP_TYPE_NEW_ORDERS, false};
const SaveVariant SAVE_FOUND_ORDERS {QString(), &INSERT_ORDER, &UPDATE_KEEP_TYPE_FOUND_ORDERS, false};
const SaveVariant SAVE_WITH_TYPE {QString(), &INSERT_ORDER_WITH_TYPE, &UPDATE_WITH_TYPE, true};
const SaveVariant SAVE_KEEP_NEW_VIEWED {QStringLiteral("newviewed"), &INSERT_ORDER, &UPDATE_KEEP_TYPE_KEEP_NEW_VIEWED,
                                        false};

} // namespace

bool TavrelDataBaseQuery::lookupStoredOrders(const QString &login, const QList<qint64> &ids,
                                             QHash<qint64, QString> &storedTypes)
{
    storedTypes.clear();
    QSqlQuery query = statement(LOOKUP_STORED.arg(TABLE_ORDERS));
    query.setForwardOnly(true);
    query.bindValue(QStringLiteral(":Ids"), idsToJson(ids));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return false;
    while (query.next())
        storedTypes.insert(query.value(0).toLongLong(), query.value(1).toString());
    query.finish();
    return true;
}

QList<qint64> TavrelDataBaseQuery::notStoredIds(const QList<qint64> &ids, const QHash<qint64, QString> &storedTypes,
                                                const QString &storedType, int *notStoredCount)
{
    // Each stored row stands for one entry of the list (rows are unique per login and id).
    if (notStoredCount)
        *notStoredCount = ids.size() - storedTypes.size();
    QList<qint64> result;
    result.reserve(ids.size());
    for (const qint64 id : ids) {
        const auto stored = storedTypes.constFind(id);
        const bool countsAsStored
            = stored != storedTypes.constEnd() && (storedType.isEmpty() || stored.value().toLower() == storedType);
        if (!countsAsStored)
            result.append(id);
    }
    return result;
}

QList<qint64> TavrelDataBaseQuery::queryOrdersNotPresentInDB1(const QString &login, const QList<qint64> &ids,
                                                              int *notStoredCount)
{
    QHash<qint64, QString> storedTypes;
    if (!lookupStoredOrders(login, ids, storedTypes)) {
        if (notStoredCount)
            *notStoredCount = ids.size();
        return ids;
    }
    return notStoredIds(ids, storedTypes, QStringLiteral("newviewed"), notStoredCount);
}

QList<qint64> TavrelDataBaseQuery::queryOrdersNotPresentInDB2(const QString &login, const QList<qint64> &ids,
                                                              bool onlyViewed, int *notStoredCount)
{
    QHash<qint64, QString> storedTypes;
    if (!lookupStoredOrders(login, ids, storedTypes)) {
        if (notStoredCount)
            *notStoredCount = ids.size();
        return ids;
    }
    return notStoredIds(ids, storedTypes, onlyViewed ? QStringLiteral("viewed") : QString(), notStoredCount);
}

bool TavrelDataBaseQuery::bulkSaveOrders(const QString &login, const QList<Entity::Order *> &orders,
                                         const BulkSaveKind kind, int *notStoredCount, QList<qint64> *failedIds)
{
    const SaveVariant &variant = kind == BulkSaveKind::Orders ? SAVE_ORDERS
        : kind == BulkSaveKind::FoundOrders                   ? SAVE_FOUND_ORDERS
        : kind == BulkSaveKind::WithType                      ? SAVE_WITH_TYPE
                                                              : SAVE_KEEP_NEW_VIEWED;
    if (notStoredCount)
        *notStoredCount = 0;

    QList<qint64> ids;
    ids.reserve(orders.size());
    QHash<qint64, const Entity::Order *> byId;
    byId.reserve(orders.size());
    for (const Entity::Order *order : orders) {
        if (!order)
            continue;
        ids.append(order->id);
        byId.insert(order->id, order); // a later order with the same id wins
    }
    if (ids.isEmpty())
        return false;

    ensureOrderIndexes();
    dataBase->beginTransaction();

    // A lookup that cannot tell which orders are stored must not guess: guessing "none" would rewrite
    // viewed orders as new and report them as new to the user.
    QHash<qint64, QString> storedTypes;
    if (!lookupStoredOrders(login, ids, storedTypes)) {
        dataBase->rollback();
        if (failedIds)
            *failedIds = ids;
        return false;
    }
    int notStored = 0;
    const QList<qint64> newIds = notStoredIds(ids, storedTypes, variant.storedType, &notStored);

    QList<qint64> failed;
    QSqlQuery insert = statement(variant.insertText->arg(TABLE_ORDERS));
    QSqlQuery replace = statement(UPDATE_WITH_TYPE.arg(TABLE_ORDERS));
    for (const qint64 id : newIds) {
        const auto found = byId.find(id);
        if (found == byId.end())
            continue; // a repeated id whose order is already written
        const Entity::Order *order = found.value();
        byId.erase(found);
        // A row stored under a Type that does not count as stored takes the received Type and list
        // columns; its detail columns, written when the order was read in full, stay.
        const bool rowExists = storedTypes.contains(id);
        QSqlQuery &query = rowExists ? replace : insert;
        bindListColumns(query, login, order, true);
        if (!run(query))
            failed.append(id);
    }

    QList<qint64> storedIds = byId.keys();
    std::sort(storedIds.begin(), storedIds.end());
    QSqlQuery update = statement(variant.updateText->arg(TABLE_ORDERS));
    for (const qint64 id : storedIds) {
        bindListColumns(update, login, byId.value(id), variant.updateWritesType);
        if (!run(update))
            failed.append(id);
    }

    const bool committed = dataBase->commitOrRollback();
    if (committed && notStoredCount)
        *notStoredCount = notStored;
    if (failedIds)
        *failedIds = committed ? failed : ids;
    return committed && failed.isEmpty();
}

bool TavrelDataBaseQuery::saveOrders(const QString &login, const QList<Entity::Order *> &orders, int *notStoredCount)
{
    return bulkSaveOrders(login, orders, BulkSaveKind::Orders, notStoredCount, nullptr);
}

bool TavrelDataBaseQuery::saveFoundOrders(const QString &login, const QList<Entity::Order *> &orders,
                                          int *notStoredCount)
{
    return bulkSaveOrders(login, orders, BulkSaveKind::FoundOrders, notStoredCount, nullptr);
}

QList<qint64> TavrelDataBaseQuery::saveOrdersWithType(const QString &login, const QList<Entity::Order *> &orders,
                                                      int *notStoredCount)
{
    QList<qint64> failed;
    bulkSaveOrders(login, orders, BulkSaveKind::WithType, notStoredCount, &failed);
    return failed;
}

QList<qint64> TavrelDataBaseQuery::saveOrdersKeepNewViewed(const QString &login, const QList<Entity::Order *> &orders,
                                                           int *notStoredCount)
{
    QList<qint64> failed;
    bulkSaveOrders(login, orders, BulkSaveKind::KeepNewViewed, notStoredCount, &failed);
    return failed;
}

void TavrelDataBaseQuery::bindListColumns(QSqlQuery &query, const QString &login, const Entity::Order *order,
                                          bool withType)
{
    if (withType)
        query.bindValue(QStringLiteral(":Type"), Entity::OrderList::typeToString(order->type));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":Id"), order->id);
    query.bindValue(QStringLiteral(":OpeningTime"), order->openingTime);
    query.bindValue(QStringLiteral(":ClosingTime"), order->closingTime);
    query.bindValue(QStringLiteral(":ChangeDate"), order->changeDate);
    query.bindValue(QStringLiteral(":Branch"), order->branch);
    query.bindValue(QStringLiteral(":Region"), order->region);
    query.bindValue(QStringLiteral(":PlacementMethod"), order->placementMethod);
    query.bindValue(QStringLiteral(":Name"), order->name);
    query.bindValue(QStringLiteral(":Amount"), order->amount);
    query.bindValue(QStringLiteral(":CurrencyName"), order->currencyName);
    query.bindValue(QStringLiteral(":FullAccess"), order->fullAccess);
    query.bindValue(QStringLiteral(":Url"), order->url);
}
