// Order storage on a real SQLite file: the lists by kind and sort, single records, counters and list
// moves, the four bulk writers and the purge of old orders.

#include "constants.h"
#include "coretestapplication.h"
#include "database.h"
#include "databasefixture.h"
#include "order.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "testdata/realisticorders.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <future>
#include <memory>

namespace {

const QString ALICE = QStringLiteral("alice");
const QString BOB = QStringLiteral("bob");
const QDateTime BASE(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);

using Orders = QList<Entity::Order *>;

} // namespace

class TestOrderStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture fixture;
    TavrelDataBaseQuery *query = nullptr;

    // Seven orders of alice in every list kind, and one of bob.
    void seedLists()
    {
        fixture.insertOrder(ALICE, 1, QStringLiteral("New"), BASE.addDays(3), QStringLiteral("1500.50 руб"));
        fixture.insertOrder(ALICE, 2, QStringLiteral("NewViewed"), BASE.addDays(1), QStringLiteral("200"));
        fixture.insertOrder(ALICE, 3, QStringLiteral("Viewed"), BASE.addDays(2), QStringLiteral("30"));
        fixture.insertOrder(ALICE, 4, QStringLiteral("New"), BASE, QStringLiteral("99.9"));
        fixture.insertOrder(ALICE, 5, QStringLiteral("Search"), BASE.addDays(4), QStringLiteral("5"));
        fixture.insertOrder(ALICE, 6, QStringLiteral("Viewed"), BASE.addDays(5), QStringLiteral("1000"));
        fixture.insertOrder(ALICE, 7, QStringLiteral("NewViewed"), BASE.addDays(6), QStringLiteral("abc"));
        fixture.insertOrder(BOB, 1, QStringLiteral("New"), BASE, QStringLiteral("1"));
    }

    // Stored rows of alice under four Types, each with details written by a detail read.
    void seedStoredForBulkSave()
    {
        fixture.insertOrder(ALICE, 10, QStringLiteral("viewed"), BASE, QStringLiteral("1"), QStringLiteral("G10"));
        fixture.insertOrder(ALICE, 11, QStringLiteral("New"), BASE, QStringLiteral("1"), QStringLiteral("G11"));
        fixture.insertOrder(ALICE, 12, QStringLiteral("NewViewed"), BASE, QStringLiteral("1"), QStringLiteral("G12"));
        fixture.insertOrder(ALICE, 13, QStringLiteral("Search"), BASE, QStringLiteral("1"), QStringLiteral("G13"));
        fixture.insertOrder(BOB, 14, QStringLiteral("Viewed"), BASE, QStringLiteral("1"), QStringLiteral("G14"));
    }

    // The ids 10..15 as received, 15 twice (the later copy must win).
    static Orders receivedForBulkSave(int type)
    {
        Orders orders;
        for (qint64 id = 10; id <= 15; ++id)
            orders.append(DatabaseFixture::makeOrder(id, type, BASE.addDays(1), QStringLiteral("777"),
                                                     QStringLiteral("received %1").arg(id)));
        orders.append(DatabaseFixture::makeOrder(15, type, BASE.addDays(1), QStringLiteral("778"),
                                                 QStringLiteral("received again 15")));
        return orders;
    }

    // Runs one of the four writers; the list writers' failed ids go to *failed.
    bool runBulkSave(int variant, const Orders &orders, int *count, QList<qint64> *failed)
    {
        switch (variant) {
        case 0:
            return query->saveOrders(ALICE, orders, count);
        case 1:
            return query->saveFoundOrders(ALICE, orders, count);
        case 2:
            *failed = query->saveOrdersWithType(ALICE, orders, count);
            return failed->isEmpty();
        default:
            *failed = query->saveOrdersKeepNewViewed(ALICE, orders, count);
            return failed->isEmpty();
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fixture.open());
        query = fixture.query();
    }

    void init() { fixture.clearTables(); }

    void cleanupTestCase() { fixture.close(); }

    void ordersByKindAndSort_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("sortField");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("New by id: New rows, then NewViewed") << 1 << 0 << true << QList<qint64> {1, 4, 2, 7};
        QTest::newRow("New by opening time") << 1 << 1 << true << QList<qint64> {4, 1, 2, 7};
        QTest::newRow("Viewed by amount, text amount counts as 0") << 2 << 2 << true << QList<qint64> {3, 6, 7, 2};
        QTest::newRow("All by amount descending") << 0 << 2 << false << QList<qint64> {1, 6, 2, 4, 3, 5, 7};
        QTest::newRow("Search only") << 3 << 0 << true << QList<qint64> {5};
        QTest::newRow("a kind outside the vocabulary") << 9 << 0 << true << QList<qint64> {};
        QTest::newRow("an unknown sort field") << 0 << 3 << true << QList<qint64> {};
    }

    void ordersByKindAndSort()
    {
        QFETCH(int, kind);
        QFETCH(int, sortField);
        QFETCH(bool, ascending);
        QFETCH(QList<qint64>, expected);
        seedLists();
        Batch<Entity::Order> batch;
        batch.items = query->orders(ALICE, static_cast<Entity::OrderList::Type>(kind), sortField, ascending);
        QCOMPARE(idsOf(batch.items), expected);
        for (const Entity::Order *order : batch.items)
            QCOMPARE(order->login, ALICE);
    }

    void orderIdsByKindAndSort_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("sortField");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("New by amount, numerically") << "New" << 2 << true << QList<qint64> {4, 1};
        QTest::newRow("NewViewed by amount descending") << "NewViewed" << 2 << false << QList<qint64> {2, 7};
        QTest::newRow("the kind compares exactly") << "new" << 0 << true << QList<qint64> {};
        QTest::newRow("an unknown sort field") << "New" << 3 << true << QList<qint64> {};
    }

    void orderIdsByKindAndSort()
    {
        QFETCH(QString, kind);
        QFETCH(int, sortField);
        QFETCH(bool, ascending);
        QFETCH(QList<qint64>, expected);
        seedLists();
        QCOMPARE(query->orderIds(ALICE, kind, sortField, ascending), expected);
    }

    void orderAndTypeBelongToTheLogin()
    {
        seedLists();
        fixture.insertOrder(ALICE, 8, QStringLiteral("Favourite"), BASE);
        QVERIFY(!std::unique_ptr<Entity::Order>(query->order(ALICE, 99)));
        QVERIFY(!std::unique_ptr<Entity::Order>(query->order(QStringLiteral("carol"), 1)));
        QCOMPARE(query->orderType(ALICE, 3, Entity::OrderList::Search), Entity::OrderList::Viewed);
        QCOMPARE(query->orderType(BOB, 3, Entity::OrderList::Search), Entity::OrderList::Search);
        QCOMPARE(query->orderType(BOB, 1, Entity::OrderList::Search), Entity::OrderList::New);
        QCOMPARE(query->orderType(ALICE, 99, Entity::OrderList::Search), Entity::OrderList::Search);
        QCOMPARE(query->orderType(ALICE, 8, Entity::OrderList::Search), Entity::OrderList::Error);
    }

    void countsAndMarkAllViewed()
    {
        seedLists();
        fixture.insertOrder(ALICE, 8, QStringLiteral("Favourite"), BASE);
        QCOMPARE(query->newOrdersCount(ALICE), 4);
        QCOMPARE(query->viewedOrdersCount(ALICE), 2);
        QCOMPARE(query->newOrdersCount(QStringLiteral("nobody")), 0);
        QCOMPARE(query->viewedOrdersCount(QStringLiteral("nobody")), 0);

        QVERIFY(query->markAllOrdersViewed(ALICE));
        for (const qint64 id : {1, 3, 4, 5, 6, 8})
            QCOMPARE(fixture.typeOf(ALICE, id), QStringLiteral("Viewed"));
        QCOMPARE(fixture.typeOf(ALICE, 2), QStringLiteral("NewViewed"));
        QCOMPARE(fixture.typeOf(ALICE, 7), QStringLiteral("NewViewed"));
        QCOMPARE(fixture.typeOf(BOB, 1), QStringLiteral("New"));
        QCOMPARE(query->newOrdersCount(ALICE), 2);
        QCOMPARE(query->viewedOrdersCount(ALICE), 6);
    }

    void updateOrderWritesDetails()
    {
        seedLists();
        fixture.exec(QStringLiteral("UPDATE OrderTable SET StartPrice = '555' WHERE Id = 1"));
        std::unique_ptr<Entity::Order> record(query->order(ALICE, 1));
        record->gosId = QStringLiteral("0173100000126000001");
        record->information = QStringLiteral("Подробности закупки");
        record->docUrls = QStringLiteral("http://127.0.0.1/a\nhttp://127.0.0.1/b");
        QVERIFY(query->updateOrder(ALICE, record.get()));
        QCOMPARE(record->type, Entity::OrderList::Viewed);
        QCOMPARE(fixture.typeOf(ALICE, 1), QStringLiteral("Viewed"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT GosID FROM OrderTable WHERE Login = 'alice' AND Id = 1")),
                 QVariant(QStringLiteral("0173100000126000001")));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT StartPrice FROM OrderTable WHERE Id = 1 AND Login = 'alice'")),
                 QVariant(QStringLiteral("555")));
        QCOMPARE(fixture.typeOf(BOB, 1), QStringLiteral("New"));

        std::unique_ptr<Entity::Order> newViewed(query->order(ALICE, 2));
        QVERIFY(query->updateOrder(ALICE, newViewed.get()));
        QCOMPARE(fixture.typeOf(ALICE, 2), QStringLiteral("NewViewed"));

        std::unique_ptr<Entity::Order> unknown(DatabaseFixture::makeOrder(99, 1, BASE, QStringLiteral("1")));
        QVERIFY(query->updateOrder(ALICE, unknown.get()));
        QCOMPARE(fixture.orderCount(ALICE), 7);
    }

    void updateOrdersNotPresentInDB()
    {
        seedLists();
        Batch<Entity::Order> present;
        present.items
            = {DatabaseFixture::makeOrder(5, 1, BASE, QString()), DatabaseFixture::makeOrder(7, 1, BASE, QString())};
        query->updateOrdersNotPresentInDB(ALICE, present.items);
        QCOMPARE(fixture.typeOf(ALICE, 5), QStringLiteral("Search"));
        QCOMPARE(fixture.typeOf(ALICE, 7), QStringLiteral("NewViewed"));
        for (const qint64 id : {1, 2, 3, 4, 6})
            QCOMPARE(fixture.typeOf(ALICE, id), QStringLiteral("Viewed"));
        QCOMPARE(fixture.typeOf(BOB, 1), QStringLiteral("New"));

        query->updateOrdersNotPresentInDB(ALICE, Orders());
        QCOMPARE(fixture
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM OrderTable WHERE Login = 'alice' AND "
                                            "Type = 'Viewed'"))
                     .toInt(),
                 7);
    }

    void bulkSaves_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("receivedType");
        // The Type of alice's ids 10..15 after the save.
        QTest::addColumn<QStringList>("types");
        QTest::newRow("saveOrders keeps only viewed rows' Type")
            << 0 << 1 << QStringList {"viewed", "New", "New", "New", "New", "New"};
        QTest::newRow("saveFoundOrders keeps every stored Type")
            << 1 << 3 << QStringList {"viewed", "New", "NewViewed", "Search", "Search", "Search"};
        QTest::newRow("saveOrdersWithType writes the received Type")
            << 2 << 2 << QStringList {"Viewed", "Viewed", "Viewed", "Viewed", "Viewed", "Viewed"};
        QTest::newRow("saveOrdersKeepNewViewed keeps only NewViewed rows' Type")
            << 3 << 1 << QStringList {"New", "New", "NewViewed", "New", "New", "New"};
    }

    void bulkSaves()
    {
        QFETCH(int, variant);
        QFETCH(int, receivedType);
        QFETCH(QStringList, types);
        seedStoredForBulkSave();
        Batch<Entity::Order> batch;
        batch.items = receivedForBulkSave(receivedType);
        int notStored = -1;
        QList<qint64> failed {-1};
        QVERIFY(runBulkSave(variant, batch.items, &notStored, &failed));
        // 7 received entries, of which 10..13 are stored for alice (14 only for bob).
        QCOMPARE(notStored, 3);
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);
        for (qint64 id = 10; id <= 15; ++id) {
            QCOMPARE(fixture.typeOf(ALICE, id), types.at(id - 10));
            const QString expectedName
                = id == 15 ? QStringLiteral("received again 15") : QStringLiteral("received %1").arg(id);
            QCOMPARE(
                fixture.scalar(QStringLiteral("SELECT Name FROM OrderTable WHERE Login = ? AND Id = ?"), {ALICE, id}),
                QVariant(expectedName));
        }
        // Stored rows keep the details of an earlier detail read, whichever way they were written.
        for (qint64 id = 10; id <= 13; ++id)
            QCOMPARE(
                fixture.scalar(QStringLiteral("SELECT GosID FROM OrderTable WHERE Login = ? AND Id = ?"), {ALICE, id}),
                QVariant(QStringLiteral("G%1").arg(id)));
        QCOMPARE(fixture.typeOf(BOB, 14), QStringLiteral("Viewed"));
        QCOMPARE(fixture.orderCount(ALICE), 6);

        // Saving the same list again finds everything stored.
        QVERIFY(runBulkSave(variant, batch.items, &notStored, &failed));
        QCOMPARE(notStored, 1); // each stored row accounts for one entry; 15 was received twice
    }

    void bulkSaveWithFailingStatements()
    {
        seedStoredForBulkSave();
        fixture.failOn(QStringLiteral("INSERT"), QStringLiteral("OrderTable"), QStringLiteral("Id"), 15);
        fixture.failOn(QStringLiteral("UPDATE"), QStringLiteral("OrderTable"), QStringLiteral("Id"), 11);
        Batch<Entity::Order> batch;
        batch.items = receivedForBulkSave(2);
        int notStored = -1;
        // New rows' failures come first, then stored rows' in ascending order.
        QCOMPARE(query->saveOrdersWithType(ALICE, batch.items, &notStored), (QList<qint64> {15, 11}));
        QCOMPARE(notStored, 3);
        QCOMPARE(fixture.typeOf(ALICE, 14), QStringLiteral("Viewed"));
        QCOMPARE(fixture.typeOf(ALICE, 10), QStringLiteral("Viewed"));
        QCOMPARE(fixture.typeOf(ALICE, 11), QStringLiteral("New"));
        QCOMPARE(fixture.typeOf(ALICE, 15), QString());
        QVERIFY(!query->saveOrders(ALICE, batch.items, &notStored));
    }

    void bulkSaveInsideTheCallersTransaction()
    {
        seedStoredForBulkSave();
        fixture.failOn(QStringLiteral("INSERT"), QStringLiteral("OrderTable"), QStringLiteral("Id"), 15);
        Batch<Entity::Order> batch;
        batch.items = receivedForBulkSave(3);
        QVERIFY(fixture.dataBase()->beginTransaction());
        QVERIFY(!query->saveFoundOrders(ALICE, batch.items));
        QCOMPARE(fixture.dataBase()->transactionDepth, 1);
        QCOMPARE(fixture.typeOf(ALICE, 14), QStringLiteral("Search")); // pending in the caller's transaction
        QVERIFY(fixture.dataBase()->rollback());
        QCOMPARE(fixture.typeOf(ALICE, 14), QString());
        QCOMPARE(fixture.orderCount(), 5);
    }

    void bulkSaveWhoseCommitFails()
    {
        seedStoredForBulkSave();
        // Every statement runs, but the insert of order 15 makes the COMMIT fail.
        QVERIFY(DbTest::addCommitGuard(fixture.sql(), QStringLiteral("INSERT"), TABLE_ORDERS,
                                       QStringLiteral("NEW.Id = 15")));
        Batch<Entity::Order> batch;
        batch.items = receivedForBulkSave(2);
        int notStored = -1;
        const QList<qint64> failed = query->saveOrdersWithType(ALICE, batch.items, &notStored);
        QCOMPARE(failed, idsOf(batch.items));
        QCOMPARE(notStored, 0);
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);
        QCOMPARE(fixture.typeOf(ALICE, 10), QStringLiteral("viewed"));
        QCOMPARE(fixture.orderCount(ALICE), 4);
    }

    void bulkSaveWhoseLookupFails()
    {
        seedStoredForBulkSave();
        Batch<Entity::Order> batch;
        batch.items = receivedForBulkSave(1);
        // A table that shadows the function the lookup reads its ids through makes that SELECT fail,
        // while the writes themselves would still succeed.
        QVERIFY(fixture.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        int notStored = -1;
        QVERIFY(!query->saveOrders(ALICE, batch.items, &notStored));
        QCOMPARE(notStored, 0);
        QCOMPARE(query->saveOrdersWithType(ALICE, batch.items), idsOf(batch.items));
        QVERIFY(fixture.exec(QStringLiteral("DROP TABLE json_each")));
        QCOMPARE(fixture.typeOf(ALICE, 10), QStringLiteral("viewed"));
        QCOMPARE(fixture.orderCount(ALICE), 4);
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);
        // The lookup works again once the fault is gone.
        QVERIFY(query->saveOrders(ALICE, batch.items, &notStored));
        QCOMPARE(notStored, 3);
    }

    void storedIdLookups()
    {
        seedStoredForBulkSave();
        const QList<qint64> ids {10, 11, 12, 13, 14, 15, 15};
        int notStored = -1;
        QCOMPARE(query->queryOrdersNotPresentInDB2(ALICE, ids, false, &notStored), (QList<qint64> {14, 15, 15}));
        QCOMPARE(notStored, 3);
        QCOMPARE(query->queryOrdersNotPresentInDB2(ALICE, ids, true, &notStored),
                 (QList<qint64> {11, 12, 13, 14, 15, 15}));
        QCOMPARE(notStored, 3);
        QCOMPARE(query->queryOrdersNotPresentInDB1(ALICE, ids, nullptr), (QList<qint64> {10, 11, 13, 14, 15, 15}));
    }

    void purgeSparesFavouritesAndRecentOrders()
    {
        const QDateTime now(QDate(2026, 3, 31), QTime(12, 0), Qt::UTC);
        const QDateTime cutOff = TavrelDataBaseQuery::purgeCutOff(now);
        QCOMPARE(cutOff, QDateTime(QDate(2026, 2, 28), QTime(12, 0), Qt::UTC));
        QCOMPARE(TavrelDataBaseQuery::purgeCutOff(now.toOffsetFromUtc(3 * 3600)), cutOff);

        fixture.insertOrder(ALICE, 1, QStringLiteral("Viewed"), cutOff); // kept: not earlier
        fixture.insertOrder(ALICE, 2, QStringLiteral("Viewed"), cutOff.addSecs(-1)); // deleted
        fixture.insertOrder(ALICE, 3, QStringLiteral("Viewed"), cutOff.addDays(-20)); // kept: bob's live favourite
        fixture.insertOrder(ALICE, 4, QStringLiteral("New"), cutOff.addDays(-20)); // deleted: favourite Deleted
        fixture.insertOrder(ALICE, 5, QStringLiteral("Viewed"), QDateTime()); // kept: no opening time
        fixture.insertOrder(BOB, 6, QStringLiteral("New"), cutOff.addDays(-40)); // deleted: every login
        fixture.insertOrder(ALICE, 7, QStringLiteral("New"), now.addDays(-1)); // kept: recent
        fixture.insertOrder(ALICE, 8, QStringLiteral("Viewed"), cutOff.addDays(-300)); // kept: synced favourite
        fixture.insertFavourite(BOB, 3, QStringLiteral("New"));
        fixture.insertFavourite(ALICE, 4, QStringLiteral("Deleted"));
        fixture.insertFavourite(ALICE, 8, QStringLiteral("Sync"));

        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(fixture.filePath(), now), 3);
        QCOMPARE(fixture.column(QStringLiteral("SELECT Id FROM OrderTable ORDER BY Id")),
                 (QVariantList {1, 3, 5, 7, 8}));
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(fixture.filePath(), now), 0);
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(fixture.filePath() + QStringLiteral(".missing/x"), now), -1);
    }

    void removeOldOrdersUsesTheClock()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        fixture.insertOrder(ALICE, 1, QStringLiteral("Viewed"), now.addMonths(-2));
        fixture.insertOrder(ALICE, 2, QStringLiteral("Viewed"), now.addDays(-2));
        query->removeOldOrders();
        QCOMPARE(fixture.column(QStringLiteral("SELECT Id FROM OrderTable")), (QVariantList {2}));
    }

    void purgeOnAWorkerThreadWhileTheGuiThreadWrites()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        Batch<Entity::Order> old;
        for (int id = 1; id <= 2000; ++id)
            old.items.append(realisticOrder(id, 2, now.addMonths(-3)));
        QVERIFY(query->saveOrdersWithType(ALICE, old.items).isEmpty());

        const QString file = fixture.filePath();
        std::future<int> purge
            = std::async(std::launch::async, [file, now] { return TavrelDataBaseQuery::purgeOldOrders(file, now); });
        for (int round = 0; round < 20; ++round) {
            Batch<Entity::Order> fresh;
            for (int i = 0; i < 100; ++i)
                fresh.items.append(realisticOrder(10000 + round * 100 + i, 1, now));
            QVERIFY(query->saveOrders(ALICE, fresh.items));
        }
        QCOMPARE(purge.get(), 2000);
        QCOMPARE(fixture.orderCount(ALICE), 2000);
        QCOMPARE(query->newOrdersCount(ALICE), 2000);
    }

};

TAVREL_CORE_TEST_MAIN(TestOrderStorage)
#include "tst_orderstorage.moc"
