#pragma once

// A real database file in a temporary folder with the full schema, the query object on it, and small
// helpers to seed and inspect OrderTable and Favourites directly.

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class DataBase;
class TavrelDataBaseQuery;
class QSqlDatabase;
namespace Entity {
class Order;
class FavouriteItem;
}

class OrderStorageFixture
{
public:
    OrderStorageFixture();
    ~OrderStorageFixture();

    // Opens (and migrates) the database file; false when it could not be done.
    bool open(const QString &fileName = QStringLiteral("orders.Dat"));
    void close();
    QString filePath() const { return path; }
    DataBase *dataBase() const { return db.get(); }
    TavrelDataBaseQuery *query() const { return dbQuery.get(); }
    QSqlDatabase connection() const;

    // Runs one statement on the GUI connection; positional values bind to "?".
    bool exec(const QString &sql, const QVariantList &values = QVariantList()) const;
    // The first column of the first row, or an invalid value.
    QVariant scalar(const QString &sql, const QVariantList &values = QVariantList()) const;
    // The first column of every row.
    QVariantList column(const QString &sql, const QVariantList &values = QVariantList()) const;
    // Deletes every row of OrderTable and Favourites and every trigger.
    void clearTables() const;

    void insertOrder(const QString &login, qint64 id, const QString &type, const QDateTime &openingTime,
                     const QString &amount = QString(), const QString &gosId = QString()) const;
    void insertFavourite(const QString &login, qint64 orderId, const QString &state,
                         const QDateTime &changeDate = QDateTime()) const;
    QString typeOf(const QString &login, qint64 id) const;
    QString stateOf(const QString &login, qint64 orderId) const;
    int orderCount(const QString &login = QString()) const;
    // Makes every statement on the table fail for one order id (e.g. "INSERT", "UPDATE", "DELETE").
    void failOn(const QString &event, const QString &table, const QString &idColumn, qint64 id) const;

    static Entity::Order *makeOrder(qint64 id, int type, const QDateTime &openingTime, const QString &amount,
                                    const QString &name = QString());
    static Entity::FavouriteItem *makeFavourite(qint64 orderId, int state, bool changed,
                                                const QDateTime &changeDate = QDateTime());

private:
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelDataBaseQuery> dbQuery;
};
