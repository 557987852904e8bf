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

// The ids of the records, in list order.
template<class Record> QList<qint64> idsOf(const QList<Record *> &records)
{
    QList<qint64> ids;
    for (const Record *record : records)
        ids.append(record->id);
    return ids;
}

class DatabaseFixture
{
public:
    ~DatabaseFixture() { close(); }

    // Opens (and migrates) a new database file on the default connection.
    bool open()
    {
        close();
        dir = std::make_unique<QTemporaryDir>();
        if (!dir->isValid())
            return false;
        path = dir->filePath(QStringLiteral("Tavrel.Dat"));
        db.reset(new DataBase(path, QString(), QString(), nullptr));
        TavrelMigration migration(*db, nullptr);
        if (!migration.upToLastMigration())
            return false;
        reopenQuery();
        return true;
    }
    void close()
    {
        dbQuery.reset();
        db.reset();
        dir.reset();
    }
    // A new query object on the same file (the old one, and with it the dictionary maps, goes first).
    void reopenQuery()
    {
        dbQuery.reset();
        dbQuery.reset(new TavrelDataBaseQuery(db.get(), nullptr));
    }
    void dropQuery() { dbQuery.reset(); }
    QString filePath() const { return path; }
    DataBase *dataBase() const { return db.get(); }
    QSqlDatabase &sql() const { return db->database; }
    TavrelDataBaseQuery *query() const { return dbQuery.get(); }

    bool exec(const QString &sql, const QVariantList &values = {}) const
    {
        return DbTest::exec(db->database, sql, values);
    }
    QVariant scalar(const QString &sql, const QVariantList &values = {}) const
    {
        return DbTest::scalar(db->database, sql, values);
    }
    QVariantList column(const QString &sql, const QVariantList &values = {}) const
    {
        return DbTest::column(db->database, sql, values);
    }

    // Empties OrderTable and Favourites and drops every injected fault.
    void clearTables() const
    {
        for (const QString &trigger :
             DbTest::strings(db->database, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
            exec(QStringLiteral("DROP TRIGGER \"%1\"").arg(trigger));
        // A table that shadows SQLite's json_each function (one test's fault); the function itself
        // cannot be dropped, so only a real table of that name is.
        if (scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'json_each'"))
                .toInt())
            exec(QStringLiteral("DROP TABLE json_each"));
        DbTest::removeCommitGuard(db->database);
        exec(QStringLiteral("DELETE FROM OrderTable"));
        exec(QStringLiteral("DELETE FROM Favourites"));
    }

    // Makes every statement of that kind fail for one id ("INSERT", "UPDATE" or "DELETE").
    void failOn(const QString &event, const QString &table, const QString &idColumn, qint64 id) const
    {
        const QString row = event == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
        DbTest::addFailingTrigger(db->database, QStringLiteral("fail_%1_%2_%3").arg(event, table).arg(id), event, table,
                                  QStringLiteral("%1.%2 = %3").arg(row, idColumn).arg(id));
    }

    void insertOrder(const QString &login, qint64 id, const QString &type, const QDateTime &openingTime,
                     const QString &amount = QString(), const QString &gosId = QString()) const
    {
        exec(QStringLiteral("INSERT INTO OrderTable (Login, Id, Type, OpeningTime, Amount, Name, GosID) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?)"),
             {login, id, type, openingTime, amount, QStringLiteral("Order %1").arg(id),
              gosId.isNull() ? QVariant() : QVariant(gosId)});
    }

    void insertFavourite(const QString &login, qint64 orderId, const QString &state,
                         const QDateTime &changeDate = QDateTime()) const
    {
        exec(QStringLiteral("INSERT INTO Favourites (Login, OrderId, State, ChangeDate) VALUES (?, ?, ?, ?)"),
             {login, orderId, state, changeDate});
    }

    QString typeOf(const QString &login, qint64 id) const
    {
        return scalar(QStringLiteral("SELECT Type FROM OrderTable WHERE Login = ? AND Id = ?"), {login, id}).toString();
    }

    QString stateOf(const QString &login, qint64 orderId) const
    {
        return scalar(QStringLiteral("SELECT State FROM Favourites WHERE Login = ? AND OrderId = ?"), {login, orderId})
            .toString();
    }

    int orderCount(const QString &login = QString()) const
    {
        if (login.isNull())
            return scalar(QStringLiteral("SELECT COUNT(*) FROM OrderTable")).toInt();
        return scalar(QStringLiteral("SELECT COUNT(*) FROM OrderTable WHERE Login = ?"), {login}).toInt();
    }

    static Entity::Order *makeOrder(qint64 id, int type, const QDateTime &openingTime, const QString &amount,
                                    const QString &name = QString())
    {
        auto *order = new Entity::Order;
        order->id = id;
        order->type = static_cast<Entity::OrderList::Type>(type);
        order->openingTime = openingTime;
        order->closingTime = openingTime.addDays(14);
        order->amount = amount;
        order->name = name.isNull() ? QStringLiteral("Order %1").arg(id) : name;
        order->currencyName = QStringLiteral("RUB");
        order->url = QUrl(QStringLiteral("http://127.0.0.1:8765/order/%1").arg(id));
        return order;
    }

    static Entity::FavouriteItem *makeFavourite(qint64 orderId, int state, bool changed,
                                                const QDateTime &changeDate = QDateTime())
    {
        auto *item = new Entity::FavouriteItem;
        item->id = orderId;
        item->state = static_cast<Entity::FavouriteItemList::State>(state);
        item->changed = changed;
        item->changeDate = changeDate;
        return item;
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelDataBaseQuery> dbQuery;
};

#endif // DATABASEFIXTURE_H
