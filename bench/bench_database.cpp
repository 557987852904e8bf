// Benchmark of the order storage on a temporary database file (not a test). It prints, measured in the
// same run: the bulk writer's rate against a raw INSERT loop for lists of 1,000, 10,000 and 100,000
// orders, the time to read the ordered ids of a 100,000-order list for each sort and to load one page
// of 20 records, the purge of 50,000 old orders and the clearing of the 100,000-order New list. The
// ratios come last.
//
// Run it from a Release build:
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j4 --target bench_database
//   build-release/bench/bench_database

#include "constants.h"
#include "database.h"
#include "order.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "testdata/realisticorders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const int ROUNDS = 3;
const int PAGE_ROWS = 20;
const int PURGE_ORDERS = 50000;

using Orders = QList<Entity::Order *>;

struct OrderBatch
{
    Orders items;
    ~OrderBatch() { Entity::OrderList::deleteAll(items); }
};

Orders makeOrders(qint64 firstId, int count, int type, const QDateTime &openingTime)
{
    Orders orders;
    orders.reserve(count);
    for (int i = 0; i < count; ++i)
        orders.append(realisticOrder(firstId + i, type, openingTime.addSecs(-i * 5)));
    return orders;
}

// The best of several runs, in milliseconds; `prepare` runs untimed before each.
double bestMs(int rounds, const std::function<void()> &prepare, const std::function<void()> &work)
{
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

bool exec(DataBase &db, const QString &sql)
{
    QSqlQuery query(db.database);
    return query.exec(sql);
}

// The baseline: one prepared INSERT of the same list columns, bound positionally, in one transaction.
bool rawInsert(DataBase &db, const QString &login, const Orders &orders)
{
    QSqlQuery query(db.database);
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (Type, Id, OpeningTime, ClosingTime, ChangeDate, Branch, Region, "
                                      "PlacementMethod, Name, Amount, Url, Login, CurrencyName, FullAccess) VALUES "
                                      "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                           .arg(TABLE_ORDERS)))
        return false;
    bool ok = db.database.transaction();
    for (const Entity::Order *order : orders) {
        query.bindValue(0, Entity::OrderList::typeToString(order->type));
        query.bindValue(1, order->id);
        query.bindValue(2, order->openingTime);
        query.bindValue(3, order->closingTime);
        query.bindValue(4, order->changeDate);
        query.bindValue(5, order->branch);
        query.bindValue(6, order->region);
        query.bindValue(7, order->placementMethod);
        query.bindValue(8, order->name);
        query.bindValue(9, order->amount);
        query.bindValue(10, order->url);
        query.bindValue(11, login);
        query.bindValue(12, order->currencyName);
        query.bindValue(13, order->fullAccess);
        ok = query.exec() && ok;
    }
    return db.database.commit() && ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("bench.Dat"));
    std::unique_ptr<DataBase> db(new DataBase(file, QString(), QString(), nullptr));
    {
        TavrelMigration migration(*db, nullptr);
        migration.upToLastMigration();
    }
    TavrelDataBaseQuery query(db.get(), nullptr);
    const QString login = QStringLiteral("bench@example.org");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The first read creates the list indexes, so that the baseline writes into the same table.
    query.orderIds(login, QStringLiteral("New"), 0, true);
    const auto clearOrders = [&db] { exec(*db, QStringLiteral("DELETE FROM %1").arg(TABLE_ORDERS)); };

    std::printf("Order storage benchmark (SQLite file in %s)\n\n", qPrintable(dir.path()));
    std::printf("Bulk save of new orders into an empty table, best of %d:\n", ROUNDS);
    std::printf("%10s %14s %14s %16s %16s\n", "orders", "raw ms", "saveOrders ms", "raw orders/s", "saveOrders/s");
    QList<QPair<int, double>> ratios;
    for (const int count : {1000, 10000, 100000}) {
        OrderBatch batch;
        batch.items = makeOrders(1, count, Entity::OrderList::New, now);
        const double raw = bestMs(ROUNDS, clearOrders, [&] { rawInsert(*db, login, batch.items); });
        int notStored = 0;
        bool saved = true;
        const double real
            = bestMs(ROUNDS, clearOrders, [&] { saved = query.saveOrders(login, batch.items, &notStored) && saved; });
        if (!saved || notStored != count)
            std::printf("!! saveOrders failed (not stored %d of %d)\n", notStored, count);
        std::printf("%10d %14.1f %14.1f %16.0f %16.0f\n", count, raw, real, count / raw * 1000, count / real * 1000);
        ratios.append({count, real / raw});
    }

    // The same 100,000 orders received again: every one is stored, so each becomes an UPDATE.
    OrderBatch list;
    list.items = makeOrders(1, 100000, Entity::OrderList::New, now);
    clearOrders();
    query.saveOrders(login, list.items);
    const double resave = bestMs(
        ROUNDS, [] {}, [&] { query.saveOrders(login, list.items); });
    std::printf("%10s %14s %14.1f %16s %16.0f  (all stored: updates)\n\n", "100000", "-", resave, "-",
                100000 / resave * 1000);

    // A realistic table: the 100,000-order New list of the login, its viewed and search orders, and
    // another login's orders.
    {
        OrderBatch viewed;
        viewed.items = makeOrders(200001, 30000, Entity::OrderList::Viewed, now);
        query.saveOrdersWithType(login, viewed.items);
        OrderBatch search;
        search.items = makeOrders(300001, 20000, Entity::OrderList::Search, now);
        query.saveOrdersWithType(login, search.items);
        OrderBatch other;
        other.items = makeOrders(1, 50000, Entity::OrderList::New, now);
        query.saveOrders(QStringLiteral("other@example.org"), other.items);
    }
    exec(*db, QStringLiteral("ANALYZE"));

    std::printf("Ordered ids of the whole 100,000-order New list, best of 5:\n");
    const char *const sortNames[] = {"by id", "by opening time", "by amount"};
    double worstIds = 0;
    QList<qint64> ids;
    for (int sortField = 0; sortField <= 2; ++sortField) {
        for (const bool ascending : {true, false}) {
            const double ms = bestMs(
                5, [] {}, [&] { ids = query.orderIds(login, QStringLiteral("New"), sortField, ascending); });
            worstIds = std::max(worstIds, ms);
            std::printf("  %-16s %-11s %8.2f ms  (%d ids)\n", sortNames[sortField],
                        ascending ? "ascending" : "descending", ms, ids.size());
        }
    }

    double worstPage = 0;
    for (const int start : {0, 50000, static_cast<int>(ids.size()) - PAGE_ROWS}) {
        const double ms = bestMs(
            5, [] {},
            [&] {
                for (int i = start; i < start + PAGE_ROWS && i < ids.size(); ++i)
                    delete query.order(login, ids.at(i));
            });
        worstPage = std::max(worstPage, ms);
        std::printf("  one page of %d records from row %6d: %6.3f ms\n", PAGE_ROWS, start, ms);
    }

    std::printf("\nPurge of %d old orders (a table of %d orders, 500 of the old ones kept as favourites):\n",
                PURGE_ORDERS, 200000 + PURGE_ORDERS);
    {
        OrderBatch old;
        old.items = makeOrders(400001, PURGE_ORDERS, Entity::OrderList::Viewed, now.addMonths(-3));
        query.saveOrdersWithType(login, old.items);
        QSqlQuery favourite(db->database);
        favourite.prepare(
            QStringLiteral("INSERT INTO %1 (Login, OrderId, State) VALUES (?, ?, 'Sync')").arg(TABLE_FAVOURITES));
        db->database.transaction();
        for (int i = 0; i < 500; ++i) {
            favourite.bindValue(0, login);
            favourite.bindValue(1, 400001 + i * 100);
            favourite.exec();
        }
        db->database.commit();
    }
    QElapsedTimer timer;
    timer.start();
    const int purged = TavrelDataBaseQuery::purgeOldOrders(file, now);
    const double purgeMs = timer.nsecsElapsed() / 1e6;
    std::printf("  deleted %d orders in %.1f ms\n", purged, purgeMs);

    std::printf("\nClearing the 100,000-order New list, 200 of its orders kept as favourites:\n");
    {
        QSqlQuery favourite(db->database);
        favourite.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (Login, OrderId, State) VALUES (?, ?, 'Sync')")
                              .arg(TABLE_FAVOURITES));
        db->database.transaction();
        for (int i = 0; i < 200; ++i) {
            favourite.bindValue(0, login);
            favourite.bindValue(1, 1 + i * 500);
            favourite.exec();
        }
        db->database.commit();
    }
    timer.restart();
    const bool cleared = query.removeAllNewOrders(login);
    const double clearMs = timer.nsecsElapsed() / 1e6;
    std::printf("  %s in %.1f ms, %d orders left in the New list\n", cleared ? "cleared" : "FAILED", clearMs,
                query.newOrdersCount(login));

    std::printf(
        "\nRatios (target: bulk save <= 1.5 x raw, ids <= 50 ms, page <= 2 ms, purge and clearing <= 300 ms):\n");
    for (const auto &ratio : ratios)
        std::printf("  saveOrders / raw INSERT, %6d orders: %.2f\n", ratio.first, ratio.second);
    std::printf("  slowest id list / 50 ms target:        %.2f\n", worstIds / 50.0);
    std::printf("  slowest page / 2 ms target:            %.2f\n", worstPage / 2.0);
    std::printf("  purge / 300 ms target:                 %.2f\n", purgeMs / 300.0);
    std::printf("  New list clearing / 300 ms target:     %.2f\n", clearMs / 300.0);
    return 0;
}
