#ifndef DATABASEFIXTURE_H
#define DATABASEFIXTURE_H

// A real database file in a fresh temporary folder with the full schema and the query object on it,
// and helpers to seed and inspect the tables directly (bypassing the code under test).

#include "constants.h"
#include "database.h"
#include "databasetesthelpers.h"
#include "favouriteitem.h"
#include "order.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"

#include <QTemporaryDir>

#include <memory>

const QString ALICE = QStringLiteral("alice");
const QString BOB = QStringLiteral("bob");
const QDateTime BASE(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);
using Ids = QList<qint64>;

// Owns the records of a list handed to the code under test for the length of a test.
template<class Record> struct Batch
{
    QList<Record *> items;
    ~Batch() { qDeleteAll(items); }
};

template<class Record> Ids idsOf(const QList<Record *> &records)
{
    Ids ids;
    for (const Record *record : records)
        ids.append(record->id);
    return ids;
}

struct DatabaseFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelDataBaseQuery> query;

    // A new, migrated database file on the default connection (the old one, and with it the query
    // object and the dictionary maps, goes first).
    bool open()
    {
        query.reset();
        db.reset();
        dir = std::make_unique<QTemporaryDir>();
        db = std::make_unique<DataBase>(filePath());
        const bool migrated = TavrelMigration(*db).upToLastMigration();
        query = std::make_unique<TavrelDataBaseQuery>(db.get());
        return migrated;
    }
    QString filePath() const { return dir->filePath(QStringLiteral("Tavrel.Dat")); }
    QSqlDatabase &sql() const { return db->database; }
    bool exec(const QString &text, const QVariantList &values = {}) const { return DbTest::exec(sql(), text, values); }
    // The rows of a one-column query, joined by spaces.
    QString rows(const QString &text, const QVariantList &values = {}) const
    {
        return DbTest::rows(sql(), text, values).join(QLatin1Char(' '));
    }
    bool failOn(const QString &event, const QString &table, const QString &when = {}) const
    {
        return DbTest::failOn(sql(), event, table, when);
    }
    // The login's orders as "id:Type" and favourites as "id:State", by id.
    QString orders(const QString &login) const
    {
        return rows(QStringLiteral("SELECT Id || ':' || Type FROM OrderTable WHERE Login = ? ORDER BY Id"), {login});
    }
    QString favourites(const QString &login) const
    {
        return rows(QStringLiteral("SELECT OrderId || ':' || State FROM Favourites WHERE Login = ? ORDER BY OrderId"),
                    {login});
    }

    void insertOrder(const QString &login, qint64 id, const QString &type, const QDateTime &openingTime = {},
                     const QString &amount = {}, const QVariant &gosId = {}) const
    {
        exec(QStringLiteral("INSERT INTO OrderTable (Login, Id, Type, OpeningTime, Amount, Name, GosID) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?)"),
             {login, id, type, openingTime, amount, QStringLiteral("Order %1").arg(id), gosId});
    }
    // Orders (or favourites) given as "id:Type ..." ("id:State ...").
    void insertOrders(const QString &login, const QString &orders, const QDateTime &openingTime = BASE) const
    {
        for (const QString &order : orders.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            insertOrder(login, order.section(':', 0, 0).toLongLong(), order.section(':', 1), openingTime);
    }
    void insertFavourite(const QString &login, qint64 orderId, const QString &state,
                         const QDateTime &changeDate = {}) const
    {
        exec(QStringLiteral("INSERT INTO Favourites (Login, OrderId, State, ChangeDate) VALUES (?, ?, ?, ?)"),
             {login, orderId, state, changeDate});
    }
    void insertFavourites(const QString &login, const QString &favourites) const
    {
        for (const QString &item : favourites.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            insertFavourite(login, item.section(':', 0, 0).toLongLong(), item.section(':', 1));
    }

    static Entity::Order *makeOrder(qint64 id, int type, const QDateTime &openingTime, const QString &amount,
                                    const QString &name = {})
    {
        auto *order = new Entity::Order;
        order->id = id;
        order->type = static_cast<Entity::OrderList::Type>(type);
        order->openingTime = openingTime;
        order->amount = amount;
        order->name = name.isNull() ? QStringLiteral("Order %1").arg(id) : name;
        return order;
    }
    static Entity::FavouriteItem *makeFavourite(qint64 orderId, int state = 0, bool changed = false)
    {
        auto *item = new Entity::FavouriteItem;
        item->id = orderId;
        item->state = static_cast<Entity::FavouriteItemList::State>(state);
        item->changed = changed;
        return item;
    }
};

#endif // DATABASEFIXTURE_H
