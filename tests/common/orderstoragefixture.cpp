#include "orderstoragefixture.h"

#include "database.h"
#include "favouriteitem.h"
#include "order.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"

#include <QSqlQuery>

namespace {

QSqlQuery run(const QSqlDatabase &connection, const QString &sql, const QVariantList &values, bool *ok)
{
    QSqlQuery query(connection);
    *ok = query.prepare(sql);
    if (*ok) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        *ok = query.exec();
    }
    return query;
}

} // namespace

OrderStorageFixture::OrderStorageFixture() = default;

OrderStorageFixture::~OrderStorageFixture()
{
    close();
}

bool OrderStorageFixture::open(const QString &fileName)
{
    if (!dir.isValid())
        return false;
    path = dir.filePath(fileName);
    db.reset(new DataBase(path, QString(), QString(), nullptr));
    TavrelMigration migration(*db, nullptr);
    if (!migration.upToLastMigration())
        return false;
    dbQuery.reset(new TavrelDataBaseQuery(db.get(), nullptr));
    return true;
}

void OrderStorageFixture::close()
{
    dbQuery.reset();
    db.reset();
}

QSqlDatabase OrderStorageFixture::connection() const
{
    return db->database;
}

bool OrderStorageFixture::exec(const QString &sql, const QVariantList &values) const
{
    bool ok = false;
    run(connection(), sql, values, &ok);
    return ok;
}

QVariant OrderStorageFixture::scalar(const QString &sql, const QVariantList &values) const
{
    bool ok = false;
    QSqlQuery query = run(connection(), sql, values, &ok);
    return ok && query.next() ? query.value(0) : QVariant();
}

QVariantList OrderStorageFixture::column(const QString &sql, const QVariantList &values) const
{
    bool ok = false;
    QSqlQuery query = run(connection(), sql, values, &ok);
    QVariantList result;
    while (ok && query.next())
        result.append(query.value(0));
    return result;
}

void OrderStorageFixture::clearTables() const
{
    for (const QVariant &trigger : column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
        exec(QStringLiteral("DROP TRIGGER \"%1\"").arg(trigger.toString()));
    exec(QStringLiteral("DROP TABLE IF EXISTS json_each"));
    exec(QStringLiteral("DELETE FROM OrderTable"));
    exec(QStringLiteral("DELETE FROM Favourites"));
}

void OrderStorageFixture::insertOrder(const QString &login, qint64 id, const QString &type,
                                      const QDateTime &openingTime, const QString &amount, const QString &gosId) const
{
    exec(QStringLiteral("INSERT INTO OrderTable (Login, Id, Type, OpeningTime, Amount, Name, GosID) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?)"),
         {login, id, type, openingTime, amount, QStringLiteral("Order %1").arg(id),
          gosId.isNull() ? QVariant() : QVariant(gosId)});
}

void OrderStorageFixture::insertFavourite(const QString &login, qint64 orderId, const QString &state,
                                          const QDateTime &changeDate) const
{
    exec(QStringLiteral("INSERT INTO Favourites (Login, OrderId, State, ChangeDate) VALUES (?, ?, ?, ?)"),
         {login, orderId, state, changeDate});
}

QString OrderStorageFixture::typeOf(const QString &login, qint64 id) const
{
    return scalar(QStringLiteral("SELECT Type FROM OrderTable WHERE Login = ? AND Id = ?"), {login, id}).toString();
}

QString OrderStorageFixture::stateOf(const QString &login, qint64 orderId) const
{
    return scalar(QStringLiteral("SELECT State FROM Favourites WHERE Login = ? AND OrderId = ?"), {login, orderId})
        .toString();
}

int OrderStorageFixture::orderCount(const QString &login) const
{
    if (login.isNull())
        return scalar(QStringLiteral("SELECT COUNT(*) FROM OrderTable")).toInt();
    return scalar(QStringLiteral("SELECT COUNT(*) FROM OrderTable WHERE Login = ?"), {login}).toInt();
}

void OrderStorageFixture::failOn(const QString &event, const QString &table, const QString &idColumn, qint64 id) const
{
    const QString row = event == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
    exec(QStringLiteral("CREATE TRIGGER fail_%1_%2_%3 BEFORE %1 ON %2 WHEN %4.%5 = %3 "
                        "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")
             .arg(event, table)
             .arg(id)
             .arg(row, idColumn));
}

Entity::Order *OrderStorageFixture::makeOrder(qint64 id, int type, const QDateTime &openingTime, const QString &amount,
                                              const QString &name)
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

Entity::FavouriteItem *OrderStorageFixture::makeFavourite(qint64 orderId, int state, bool changed,
                                                          const QDateTime &changeDate)
{
    auto *item = new Entity::FavouriteItem;
    item->id = orderId;
    item->state = static_cast<Entity::FavouriteItemList::State>(state);
    item->changed = changed;
    item->changeDate = changeDate;
    return item;
}
