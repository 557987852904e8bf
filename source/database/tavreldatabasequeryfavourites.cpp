// Favourite storage of TavrelDataBaseQuery: the Favourites rows of a login, their orders, the
// favourites of one order list, the clearing of the New and Viewed lists and the sorted favourite ids.

#include "tavreldatabasequery.h"

#include "constants.h"
#include "database.h"
#include "favouriteitem.h"
#include "favouriteitemlist.h"
#include "order.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace {

const QString FAVOURITES_COUNT = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE Login = :Login AND State <> 'Deleted'");
const QString FAVOURITE_REMOVE = QStringLiteral("DELETE FROM %1 WHERE :Id = OrderId AND :Login = Login");
const QString FAVOURITES_MARK_ALL_DELETED = QStringLiteral("UPDATE %1 SET State = 'Deleted' WHERE Login = :Login ");
const QString FAVOURITE_MARK_DELETED
    = QStringLiteral("UPDATE %1 SET State = 'Deleted' WHERE Login = :Login AND OrderId = :Id");
const QString FAVOURITE_SAVE = QStringLiteral(
    "INSERT OR REPLACE INTO %1 (OrderId, Login, State, ChangeDate) VALUES (:Id, :Login, :State, :ChangeDate) ");
const QString FAVOURITES_CLEAR = QStringLiteral("DELETE FROM %1 WHERE :Login = Login");
const QString FAVOURITE_ONE = QStringLiteral("SELECT * FROM %1 WHERE Login = :Login AND OrderId = :OrderId LIMIT 1");
const QString FAVOURITE_ORDERS
    = QStringLiteral("SELECT * FROM %1 WHERE Login = :Login AND Id IN (SELECT value FROM json_each(:Ids))");
const QString FAVOURITES_ALL = QStringLiteral("SELECT * FROM %1 WHERE Login = :Login ORDER BY ChangeDate DESC");
const QString FAVOURITE_IDS
    = QStringLiteral("SELECT OrderId FROM %1 WHERE Login = :Login AND State <> 'Deleted' ORDER BY %2");
// The favourite's id, whether its order is stored, then the order's columns.
const QString FAVOURITE_IDS_WITH_ORDERS = QStringLiteral(
    "SELECT [%1].[OrderId] AS FavouriteOrderId, [%2].[Id] IS NOT NULL AS OrderStored, [%2].* FROM %1 LEFT JOIN %2 "
    "ON [%2].[Login] = [%1].[Login] AND [%2].[Id] = [%1].[OrderId] WHERE [%1].[Login] = :Login AND [%1].[State] <> "
    "'Deleted' ORDER BY FavouriteOrderId %3");

const QString PROTECT_ORDER = QStringLiteral("UPDATE %1 SET Type = 'Favourite' WHERE Id = :Id AND Login = :Login");
// The rows go in the table's own order: walking one of the list indexes instead (the planner may pick
// the amount index) deletes them in random order, which touches the table and every index at random.
const QString DELETE_NEW_ORDERS
    = QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT rowid FROM %1 WHERE Type = 'New' AND Login = :Login)");
const QString DELETE_VIEWED_ORDERS
    = QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT rowid FROM %1 WHERE Type = 'Viewed' AND Login = :Login)");
const QString RESTORE_NEW_ORDERS
    = QStringLiteral("UPDATE %1 SET Type = 'New' WHERE Type = 'Favourite' AND Login = :Login");
const QString RESTORE_VIEWED_ORDERS
    = QStringLiteral("UPDATE %1 SET Type = 'Viewed' WHERE Type = 'Favourite' AND Login = :Login");

double amountNumber(const Entity::Order *order)
{
    const QString first = order->amount.split(QLatin1Char(' '), Qt::KeepEmptyParts).first();
    bool ok = false;
    const double value = first.toDouble(&ok);
    // The server's text could read as "nan" or "inf"; such a key would break the sort's ordering.
    return ok && std::isfinite(value) ? value : 0.0;
}

void deleteFavourites(QList<Entity::FavouriteItem *> &items)
{
    qDeleteAll(items);
    items.clear();
}

} // namespace

bool lessThanByDate(const Entity::FavouriteItem *first, const Entity::FavouriteItem *second)
{
    if (!first || !first->order)
        return false;
    if (!second || !second->order)
        return true; // favourites whose order is not stored sort last
    const QDateTime &a = first->order->openingTime;
    const QDateTime &b = second->order->openingTime;
    if (!a.isValid() || !b.isValid())
        return !a.isValid() && b.isValid();
    return a < b;
}

bool lessThanByAmount(const Entity::FavouriteItem *first, const Entity::FavouriteItem *second)
{
    if (!first || !first->order)
        return false;
    if (!second || !second->order)
        return true;
    return amountNumber(first->order) < amountNumber(second->order);
}

bool TavrelDataBaseQuery::runLoginStatement(const QString &text, const QString &table, const QString &login,
                                            const QVariant &id)
{
    QSqlQuery query = statement(text.arg(table));
    query.bindValue(QStringLiteral(":Login"), login);
    if (id.isValid())
        query.bindValue(QStringLiteral(":Id"), id);
    return run(query);
}

int TavrelDataBaseQuery::favouritesCount(const QString &login)
{
    QSqlQuery query = statement(FAVOURITES_COUNT.arg(TABLE_FAVOURITES));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return 0;
    const int result = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return result;
}

bool TavrelDataBaseQuery::removeFavourite(const QString &login, qint64 orderId)
{
    return runLoginStatement(FAVOURITE_REMOVE, TABLE_FAVOURITES, login, orderId);
}

bool TavrelDataBaseQuery::markAllFavouritesDeleted(const QString &login)
{
    return runLoginStatement(FAVOURITES_MARK_ALL_DELETED, TABLE_FAVOURITES, login);
}

bool TavrelDataBaseQuery::writeFavourite(QSqlQuery &query, const QString &login, const Entity::FavouriteItem *item)
{
    query.bindValue(QStringLiteral(":Id"), item->id);
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":State"), Entity::FavouriteItemList::stateToString(item->state));
    query.bindValue(QStringLiteral(":ChangeDate"), item->changeDate);
    return run(query);
}

bool TavrelDataBaseQuery::saveFavourite(const QString &login, Entity::FavouriteItem *item)
{
    if (!item)
        return false;
    if (!item->changed)
        return true;
    QSqlQuery query = statement(FAVOURITE_SAVE.arg(TABLE_FAVOURITES));
    return writeFavourite(query, login, item);
}

bool TavrelDataBaseQuery::saveFavourites(const QString &login, const QList<Entity::FavouriteItem *> &items,
                                         bool clearFirst)
{
    dataBase->beginTransaction();
    if (clearFirst && !runLoginStatement(FAVOURITES_CLEAR, TABLE_FAVOURITES, login)) {
        return failLevel();
    }
    QSqlQuery query = statement(FAVOURITE_SAVE.arg(TABLE_FAVOURITES));
    for (const Entity::FavouriteItem *item : items) {
        // After the clearing every record must be written back, flagged or not, or its row is lost.
        if (!item || (!clearFirst && !item->changed))
            continue;
        if (!writeFavourite(query, login, item)) {
            return failLevel();
        }
    }
    return dataBase->commitOrRollback();
}

bool TavrelDataBaseQuery::clearFavourites(const QString &login)
{
    return saveFavourites(login, QList<Entity::FavouriteItem *>(), true);
}

bool TavrelDataBaseQuery::removeFavouriteInTransaction(const QString &login,
                                                       const QList<Entity::FavouriteItem *> &items)
{
    dataBase->beginTransaction();
    for (const Entity::FavouriteItem *item : items) {
        if (!item)
            continue;
        if (!runLoginStatement(FAVOURITE_REMOVE, TABLE_FAVOURITES, login, item->id)) {
            return failLevel();
        }
    }
    return dataBase->commitOrRollback();
}

Entity::FavouriteItem *TavrelDataBaseQuery::favourite(const QString &login, qint64 orderId)
{
    QSqlQuery query = statement(FAVOURITE_ONE.arg(TABLE_FAVOURITES));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":OrderId"), orderId);
    if (!query.exec())
        return nullptr;
    Entity::FavouriteItem *item = nullptr;
    if (query.next()) {
        item = new Entity::FavouriteItem;
        item->fromVariantMap(recordMap(query), false);
    }
    query.finish();
    return item;
}

Entity::FavouriteItem *TavrelDataBaseQuery::favouriteWithOrder(const QString &login, qint64 orderId, bool withOrder)
{
    Entity::FavouriteItem *item = favourite(login, orderId);
    if (item && withOrder)
        item->order = order(login, orderId);
    return item;
}

QList<Entity::FavouriteItem *> TavrelDataBaseQuery::readFavourites(const QString &login, bool withOrders, bool *ok)
{
    *ok = false;
    QList<Entity::FavouriteItem *> result;
    QSqlQuery query = statement(FAVOURITES_ALL.arg(TABLE_FAVOURITES));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return result;
    while (query.next()) {
        auto *item = new Entity::FavouriteItem;
        item->fromVariantMap(recordMap(query), false);
        result.append(item);
    }
    query.finish();
    if (!withOrders) {
        *ok = true;
        return result;
    }

    // One read brings the stored orders of all the favourites; each favourite takes the order of its id.
    QHash<qint64, Entity::FavouriteItem *> byOrderId;
    QList<qint64> ids;
    for (Entity::FavouriteItem *item : qAsConst(result)) {
        byOrderId.insert(item->id, item);
        ids.append(item->id);
    }
    if (!ids.isEmpty()) {
        QSqlQuery orders = statement(FAVOURITE_ORDERS.arg(TABLE_ORDERS));
        orders.setForwardOnly(true);
        orders.bindValue(QStringLiteral(":Login"), login);
        orders.bindValue(QStringLiteral(":Ids"), idsToJson(ids));
        if (!orders.exec()) {
            // Favourites that seem to have no order would let a list clearing delete their orders.
            deleteFavourites(result);
            return result;
        }
        while (orders.next()) {
            Entity::FavouriteItem *item = byOrderId.take(orders.value(QStringLiteral("Id")).toLongLong());
            if (item)
                item->order = orderFromRow(orders);
        }
        orders.finish();
    }
    *ok = true;
    return result;
}

QList<Entity::FavouriteItem *> TavrelDataBaseQuery::favourites(const QString &login, bool withOrders)
{
    bool ok = false;
    return readFavourites(login, withOrders, &ok);
}

QList<Entity::FavouriteItem *> TavrelDataBaseQuery::readFavouritesOfType(const QString &login, const QString &type,
                                                                         bool *ok)
{
    QList<Entity::FavouriteItem *> all = readFavourites(login, true, ok);
    const Entity::OrderList::Type wanted = Entity::OrderList::stringToType(type);
    QList<Entity::FavouriteItem *> result;
    for (Entity::FavouriteItem *item : all) {
        if (item->order && item->order->type == wanted)
            result.append(item);
        else
            delete item;
    }
    return result;
}

Entity::FavouriteItemList TavrelDataBaseQuery::favouritesOfType(const QString &login, const QString &type)
{
    bool ok = false;
    return Entity::FavouriteItemList(readFavouritesOfType(login, type, &ok));
}

int TavrelDataBaseQuery::favouritesOfTypeCount(const QString &login, const QString &type)
{
    bool ok = false;
    QList<Entity::FavouriteItem *> items = readFavouritesOfType(login, type, &ok);
    const int count = items.size();
    deleteFavourites(items);
    return count;
}

bool TavrelDataBaseQuery::clearOrderList(const QString &login, bool newList)
{
    const QString type = Entity::OrderList::typeToString(newList ? Entity::OrderList::New : Entity::OrderList::Viewed);
    dataBase->beginTransaction();
    bool ok = false;
    QList<Entity::FavouriteItem *> kept = readFavouritesOfType(login, type, &ok);
    if (ok && !kept.isEmpty()) {
        const int size = newList ? newOrdersCount(login) : viewedOrdersCount(login);
        const bool allFavourites = size == kept.size();
        // Every order of the list is a favourite: the list goes, and so do the marks of exactly these
        // favourites; favourites in other lists are not touched.
        for (const Entity::FavouriteItem *item : qAsConst(kept)) {
            ok = allFavourites ? runLoginStatement(FAVOURITE_MARK_DELETED, TABLE_FAVOURITES, login, item->id)
                               : runLoginStatement(PROTECT_ORDER, TABLE_ORDERS, login, item->id);
            if (!ok)
                break;
        }
        if (allFavourites)
            deleteFavourites(kept);
    }
    ok = ok && runLoginStatement(newList ? DELETE_NEW_ORDERS : DELETE_VIEWED_ORDERS, TABLE_ORDERS, login);
    if (ok && !kept.isEmpty())
        ok = runLoginStatement(newList ? RESTORE_NEW_ORDERS : RESTORE_VIEWED_ORDERS, TABLE_ORDERS, login);
    deleteFavourites(kept);
    return ok ? dataBase->commitOrRollback() : failLevel();
}

bool TavrelDataBaseQuery::removeAllNewOrders(const QString &login)
{
    return clearOrderList(login, true);
}

bool TavrelDataBaseQuery::removeAllViewedOrders(const QString &login)
{
    return clearOrderList(login, false);
}

QList<qint64> TavrelDataBaseQuery::favouriteOrderIds(const QString &login, int sortField, bool ascending)
{
    QList<qint64> ids;
    if (sortField < 0 || sortField > 2)
        return ids;
    if (sortField == 0) {
        const QString column = ascending ? QStringLiteral("OrderId") : QStringLiteral("OrderId DESC");
        QSqlQuery query = statement(FAVOURITE_IDS.arg(TABLE_FAVOURITES, column));
        query.bindValue(QStringLiteral(":Login"), login);
        if (query.exec()) {
            while (query.next())
                ids.append(query.value(0).toLongLong());
        }
        query.finish();
        return ids;
    }

    // Favourites has no date or amount: one read brings each favourite with its stored order (if any),
    // and the favourites are sorted by their orders in memory.
    QList<Entity::FavouriteItem *> items;
    QSqlQuery query = statement(
        FAVOURITE_IDS_WITH_ORDERS.arg(TABLE_FAVOURITES, TABLE_ORDERS, ascending ? QString() : QStringLiteral("DESC")));
    query.setForwardOnly(true);
    query.bindValue(QStringLiteral(":Login"), login);
    if (query.exec()) {
        while (query.next()) {
            auto *item = new Entity::FavouriteItem;
            item->id = query.value(0).toLongLong();
            if (query.value(1).toBool())
                item->order = orderFromRow(query);
            items.append(item);
        }
    }
    query.finish();
    std::stable_sort(items.begin(), items.end(), sortField == 1 ? lessThanByDate : lessThanByAmount);
    // Favourites without a stored order have nothing to sort by: they stay last either way.
    const auto withoutOrder
        = std::find_if(items.begin(), items.end(), [](const Entity::FavouriteItem *item) { return !item->order; });
    if (!ascending)
        std::reverse(items.begin(), withoutOrder);
    for (const Entity::FavouriteItem *item : qAsConst(items))
        ids.append(item->id);
    deleteFavourites(items);
    return ids;
}
