#ifndef DATABASEFIXTURE_H
#define DATABASEFIXTURE_H

// A real database file in a fresh temporary folder with the full schema and the query object on it,
// and helpers to seed and inspect the tables directly (bypassing the code under test).

#include "database.h"
#include "databasetesthelpers.h"
#include "favouriteitem.h"
#include "order.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <memory>

// Owns the records of a list handed to the code under test for the length of a test.
template<class Record> struct Batch
{
    QList<Record *> items;
    ~Batch() { qDeleteAll(items); }
};

template<class Record> QList<qint64> idsOf(const QList<Record *> &records)
{
    QList<qint64> ids;
    for (const Record *record : records)
        ids.append(record->id);
    return ids;
}

struct DatabaseFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelDataBaseQuery> query;

    ~DatabaseFixture() { close(); }
    // A new, migrated database file on the default connection.
    bool open()
    {
        close();
        dir = std::make_unique<QTemporaryDir>();
        db = std::make_unique<DataBase>(filePath());
        return TavrelMigration(*db).upToLastMigration() && (reopenQuery(), true);
    }
    void close()
    {
        query.reset();
        db.reset();
        dir.reset();
    }
    // A new query object on the same file (the old one, and with it the dictionary maps, goes first).
    void reopenQuery()
    {
        query.reset();
        query = std::make_unique<TavrelDataBaseQuery>(db.get());
    }
    QString filePath() const { return dir->filePath(QStringLiteral("Tavrel.Dat")); }
    QSqlDatabase &sql() const { return db->database; }
    bool exec(const QString &text, const QVariantList &values = {}) const { return DbTest::exec(sql(), text, values); }
    QStringList rows(const QString &text, const QVariantList &values = {}) const
    {
        return DbTest::rows(sql(), text, values);
    }
    QString value(const QString &text, const QVariantList &values = {}) const
    {
        return DbTest::value(sql(), text, values);
    }
    bool failOn(const QString &event, const QString &table, const QString &when = {}) const
    {
        return DbTest::failOn(sql(), event, table, when);
    }
    // The login's orders as "id:Type" and favourites as "id:State", by id.
    QStringList orders(const QString &login) const
    {
        return rows(QStringLiteral("SELECT Id || ':' || Type FROM OrderTable WHERE Login = ? ORDER BY Id"), {login});
    }
    QStringList favourites(const QString &login) const
    {
        return rows(QStringLiteral("SELECT OrderId || ':' || State FROM Favourites WHERE Login = ? ORDER BY OrderId"),
                    {login});
    }

    void insertOrder(const QString &login, qint64 id, const QString &type, const QDateTime &openingTime = {},
                     const QString &amount = {}, const QString &gosId = {}) const
    {
        exec(QStringLiteral("INSERT INTO OrderTable (Login, Id, Type, OpeningTime, Amount, Name, GosID) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?)"),
             {login, id, type, openingTime, amount, QStringLiteral("Order %1").arg(id),
              gosId.isNull() ? QVariant() : QVariant(gosId)});
    }
    // Orders (or favourites) given as "id:Type" ("id:State"), opened at the given time.
    void insertOrders(const QString &login, const QStringList &orders, const QDateTime &openingTime = {}) const
    {
        for (const QString &order : orders)
            insertOrder(login, order.section(':', 0, 0).toLongLong(), order.section(':', 1), openingTime);
    }
    void insertFavourite(const QString &login, qint64 orderId, const QString &state,
                         const QDateTime &changeDate = {}) const
    {
        exec(QStringLiteral("INSERT INTO Favourites (Login, OrderId, State, ChangeDate) VALUES (?, ?, ?, ?)"),
             {login, orderId, state, changeDate});
    }
    void insertFavourites(const QString &login, const QStringList &favourites) const
    {
        for (const QString &item : favourites)
            insertFavourite(login, item.section(':', 0, 0).toLongLong(), item.section(':', 1));
    }

    static Entity::Order *makeOrder(qint64 id, int type, const QDateTime &openingTime, const QString &amount,
                                    const QString &name = {})
    {
        auto *order = new Entity::Order;
        order->id = id;
        order->type = static_cast<Entity::OrderList::Type>(type);
        order->openingTime = openingTime;
        order->closingTime = openingTime.addDays(14);
        order->amount = amount;
        order->name = name.isNull() ? QStringLiteral("Order %1").arg(id) : name;
        order->url = QUrl(QStringLiteral("http://127.0.0.1:8765/order/%1").arg(id));
        return order;
    }
    static Entity::FavouriteItem *makeFavourite(qint64 orderId, int state, bool changed,
                                                const QDateTime &changeDate = {})
    {
        auto *item = new Entity::FavouriteItem;
        item->id = orderId;
        item->state = static_cast<Entity::FavouriteItemList::State>(state);
        item->changed = changed;
        item->changeDate = changeDate;
        return item;
    }
};

#endif // DATABASEFIXTURE_H
