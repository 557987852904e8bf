// Order storage on a real SQLite file: the lists by kind and sort, single records, counters and list
// moves, the four bulk writers and the purge of old orders.

#include "clock.h"
#include "coretestapplication.h"
#include "databasefixture.h"
#include "testdata/realisticorders.h"

#include <future>

class TestOrderStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture f;

    // Seven orders of alice in every list kind, and one of bob.
    void seedLists()
    {
        const QStringList types {"New", "NewViewed", "Viewed", "New", "Search", "Viewed", "NewViewed"};
        const QStringList amounts {"1500.50 руб", "200", "30", "99.9", "5", "1000", "abc"};
        const QList<int> days {3, 1, 2, 0, 4, 5, 6};
        for (int i = 0; i < types.size(); ++i)
            f.insertOrder(ALICE, i + 1, types.at(i), BASE.addDays(days.at(i)), amounts.at(i));
        f.insertOrders(BOB, "1:New");
    }

    // Runs one of the four writers: the list writers' failed ids, or {-1} when a bool writer fails.
    Ids save(int variant, const QList<Entity::Order *> &orders, int *count)
    {
        const auto failedIf = [](bool ok) { return ok ? Ids() : Ids {-1}; };
        switch (variant) {
        case 0:
            return failedIf(f.query->saveOrders(ALICE, orders, count));
        case 1:
            return failedIf(f.query->saveFoundOrders(ALICE, orders, count));
        case 2:
            return f.query->saveOrdersWithType(ALICE, orders, count);
        default:
            return f.query->saveOrdersKeepNewViewed(ALICE, orders, count);
        }
    }

private slots:
    void init() { QVERIFY(f.open()); }
    void cleanup() { Clock::reset(); }

    // kind: an OrderList::Type number reads orders(), a Type text reads orderIds().
    void listsByKindAndSort_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("sortField");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<Ids>("expected");
        QTest::newRow("New by id: New rows, then NewViewed") << "1" << 0 << true << Ids {1, 4, 2, 7};
        QTest::newRow("New by opening time") << "1" << 1 << true << Ids {4, 1, 2, 7};
        QTest::newRow("Viewed by amount, text amount counts as 0") << "2" << 2 << true << Ids {3, 6, 7, 2};
        QTest::newRow("All by amount descending") << "0" << 2 << false << Ids {1, 6, 2, 4, 3, 5, 7};
        QTest::newRow("Search only") << "3" << 0 << true << Ids {5};
        QTest::newRow("an unknown sort field") << "0" << 3 << true << Ids {};
        QTest::newRow("ids: New by amount, numerically") << "New" << 2 << true << Ids {4, 1};
        QTest::newRow("ids: NewViewed by amount descending") << "NewViewed" << 2 << false << Ids {2, 7};
        QTest::newRow("ids: an unknown sort field") << "New" << 3 << true << Ids {};
    }

    void listsByKindAndSort()
    {
        QFETCH(QString, kind);
        QFETCH(int, sortField);
        QFETCH(bool, ascending);
        QFETCH(Ids, expected);
        seedLists();
        bool isType = false;
        const int type = kind.toInt(&isType);
        Batch<Entity::Order> batch;
        if (isType)
            batch.items = f.query->orders(ALICE, Entity::OrderList::Type(type), sortField, ascending);
        QCOMPARE(isType ? idsOf(batch.items) : f.query->orderIds(ALICE, kind, sortField, ascending), expected);
    }

    // Orders the service no longer lists become Viewed, except Search and NewViewed ones.
    void updateOrdersNotPresentInDB()
    {
        seedLists();
        Batch<Entity::Order> present;
        present.items
            = {DatabaseFixture::makeOrder(5, 1, BASE, {}), nullptr, DatabaseFixture::makeOrder(7, 1, BASE, {})};
        f.query->updateOrdersNotPresentInDB(ALICE, present.items);
        QCOMPARE(f.orders(ALICE), "1:Viewed 2:Viewed 3:Viewed 4:Viewed 5:Search 6:Viewed 7:NewViewed");
        f.query->updateOrdersNotPresentInDB(ALICE, {});
        QCOMPARE(f.orders(ALICE).count(":Viewed"), 7);
        QCOMPARE(f.orders(BOB), "1:New");
    }

    // Alice stores 10 "viewed", 11 New, 12 NewViewed, 13 Search (bob 14); the ids 10..15 arrive, 15
    // twice (the later copy must win). fault: "EVENT id,..." failing statements, "commit" a COMMIT
    // broken by the insert of 15, "lookup" a failing lookup of the stored ids; a leading "+" saves
    // inside the caller's transaction. failed: the writer's failed ids ({-1}: a bool writer's false).
    void bulkSaves_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Ids>("failed");
        QTest::addColumn<int>("notStored");
        QTest::addColumn<QString>("after");
        const auto row = [](const char *name, int variant, const char *fault, const Ids &failed, int notStored,
                            const char *after) {
            QTest::newRow(name) << variant << QString(fault) << failed << notStored << QString(after);
        };
        const char *seeded = "10:viewed 11:New 12:NewViewed 13:Search";
        const Ids all {10, 11, 12, 13, 14, 15, 15};
        // 7 received entries, of which 10..13 are stored for alice (14 only for bob).
        row("saveOrders keeps only viewed rows' Type", 0, "", {}, 3, "10:viewed 11:New 12:New 13:New 14:New 15:New");
        row("saveFoundOrders keeps every stored Type", 1, "", {}, 3,
            "10:viewed 11:New 12:NewViewed 13:Search 14:Search 15:Search");
        row("saveOrdersWithType writes the received Type", 2, "", {}, 3,
            "10:Viewed 11:Viewed 12:Viewed 13:Viewed 14:Viewed 15:Viewed");
        row("saveOrdersKeepNewViewed keeps only NewViewed rows' Type", 3, "", {}, 3,
            "10:New 11:New 12:NewViewed 13:New 14:New 15:New");
        row("failing statements: new rows' first, then stored rows'", 2, "INSERT 15,UPDATE 11", {15, 11}, 3,
            "10:Viewed 11:New 12:Viewed 13:Viewed 14:Viewed");
        row("a failing statement fails a bool writer", 0, "INSERT 15", {-1}, 3,
            "10:viewed 11:New 12:New 13:New 14:New");
        row("inside the caller's transaction the caller decides", 1, "+INSERT 15", {-1}, 3, seeded);
        row("bulkSaveWhoseCommitFails", 2, "commit", all, 0, seeded);
        row("bulkSaveWhoseLookupFails", 0, "lookup", {-1}, 0, seeded);
        row("bulkSaveWhoseLookupFails, list writer", 2, "lookup", all, 0, seeded);
    }

    void bulkSaves()
    {
        QFETCH(int, variant);
        QFETCH(QString, fault);
        QFETCH(Ids, failed);
        QFETCH(int, notStored);
        QFETCH(QString, after);
        const QStringList stored {"viewed", "New", "NewViewed", "Search"};
        for (int i = 0; i < stored.size(); ++i)
            f.insertOrder(ALICE, 10 + i, stored.at(i), BASE, QStringLiteral("1"), QStringLiteral("G%1").arg(10 + i));
        f.insertOrders(BOB, "14:Viewed");
        Batch<Entity::Order> batch;
        const int type = QList<int> {1, 3, 2, 1}.at(variant);
        for (qint64 id = 10; id <= 15; ++id)
            batch.items << DatabaseFixture::makeOrder(id, type, BASE, "777", QStringLiteral("received %1").arg(id));
        batch.items << DatabaseFixture::makeOrder(15, type, BASE, "778", QStringLiteral("received again 15"));

        const bool outer = fault.startsWith(QLatin1Char('+'));
        if (fault == QLatin1String("commit"))
            QVERIFY(DbTest::addCommitGuard(f.sql(), "INSERT", TABLE_ORDERS, "NEW.Id = 15"));
        else if (fault == QLatin1String("lookup")) // a table shadowing the function the ids are read through
            QVERIFY(f.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        else if (!fault.isEmpty())
            for (const QString &statement : fault.mid(outer).split(QLatin1Char(',')))
                QVERIFY(f.failOn(statement.section(' ', 0, 0), TABLE_ORDERS, "NEW.Id = " + statement.section(' ', 1)));
        QVERIFY(!outer || f.db->beginTransaction());
        int count = -1;
        QCOMPARE(save(variant, batch.items, &count), failed);
        QCOMPARE(count, notStored);
        if (outer) { // still pending in the caller's transaction, which then rolls back
            QVERIFY(f.orders(ALICE).contains("14:Search") && f.db->rollback());
        }
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.orders(ALICE), after);
        QCOMPARE(f.orders(BOB), "14:Viewed");
        if (fault == QLatin1String("lookup")) { // the lookup works again once the fault is gone
            QVERIFY(f.exec(QStringLiteral("DROP TABLE json_each")));
            QCOMPARE(save(variant, batch.items, &count), Ids());
        }
        if (!fault.isEmpty())
            return;
        // Stored rows keep the details of an earlier detail read, whichever way they were written.
        QCOMPARE(f.rows("SELECT Name || IFNULL(GosID, '') FROM OrderTable WHERE Login = 'alice' ORDER BY Id")
                     .remove("received "),
                 "10G10 11G11 12G12 13G13 14 again 15");
        // Saving the same list again finds everything stored: each stored row accounts for one entry.
        QCOMPARE(save(variant, batch.items, &count), Ids());
        QCOMPARE(count, 1);
    }

    void storedIdLookups()
    {
        f.insertOrders(ALICE, "10:viewed 11:New 12:NewViewed 13:Search");
        f.insertOrders(BOB, "14:Viewed");
        const Ids ids {10, 11, 12, 13, 14, 15, 15};
        int notStored = -1;
        QCOMPARE(f.query->queryOrdersNotPresentInDB2(ALICE, ids, false, &notStored), (Ids {14, 15, 15}));
        QCOMPARE(notStored, 3);
        QCOMPARE(f.query->queryOrdersNotPresentInDB2(ALICE, ids, true, &notStored), (Ids {11, 12, 13, 14, 15, 15}));
        QCOMPARE(f.query->queryOrdersNotPresentInDB1(ALICE, ids, nullptr), (Ids {10, 11, 13, 14, 15, 15}));
    }

    void purgeSparesFavouritesAndRecentOrders()
    {
        const QDateTime now(QDate(2026, 3, 31), QTime(12, 0), Qt::UTC);
        const QDateTime cutOff = TavrelDataBaseQuery::purgeCutOff(now);
        QCOMPARE(cutOff, QDateTime(QDate(2026, 2, 28), QTime(12, 0), Qt::UTC));
        QCOMPARE(TavrelDataBaseQuery::purgeCutOff(now.toOffsetFromUtc(3 * 3600)), cutOff);

        f.insertOrders(ALICE, "1:Viewed", cutOff); // kept: not earlier
        f.insertOrders(ALICE, "2:Viewed", cutOff.addSecs(-1)); // deleted
        f.insertOrders(ALICE, "3:Viewed 4:New", cutOff.addDays(-20)); // kept: bob's live favourite; deleted
        f.insertOrders(ALICE, "5:Viewed", QDateTime()); // kept: no opening time
        f.insertOrders(BOB, "6:New", cutOff.addDays(-40)); // deleted: every login
        f.insertOrders(ALICE, "7:New", now.addDays(-1)); // kept: recent
        f.insertOrders(ALICE, "8:Viewed", cutOff.addDays(-300)); // kept: synced favourite
        f.insertFavourites(BOB, "3:New");
        f.insertFavourites(ALICE, "4:Deleted 8:Sync");
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(f.filePath(), now), 3);
        QCOMPARE(f.rows(QStringLiteral("SELECT Id FROM OrderTable ORDER BY Id")), "1 3 5 7 8");
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(f.filePath() + QStringLiteral(".missing/x"), now), -1);
        Clock::setFixed(now.addDays(20)); // the query object's purge runs at the clock's time
        f.query->removeOldOrders();
        QCOMPARE(f.orders(ALICE), "3:Viewed 5:Viewed 7:New 8:Viewed");
    }

    void purgeOnAWorkerThreadWhileTheGuiThreadWrites()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        Batch<Entity::Order> old;
        for (int id = 1; id <= 2000; ++id)
            old.items.append(realisticOrder(id, 2, now.addMonths(-3)));
        QVERIFY(f.query->saveOrdersWithType(ALICE, old.items).isEmpty());
        const QString file = f.filePath();
        std::future<int> purge
            = std::async(std::launch::async, [file, now] { return TavrelDataBaseQuery::purgeOldOrders(file, now); });
        for (int round = 0; round < 20; ++round) {
            Batch<Entity::Order> fresh;
            for (int i = 0; i < 100; ++i)
                fresh.items.append(realisticOrder(10000 + round * 100 + i, 1, now));
            QVERIFY(f.query->saveOrders(ALICE, fresh.items));
        }
        QCOMPARE(purge.get(), 2000);
        QCOMPARE(f.query->newOrdersCount(ALICE), 2000);
        QCOMPARE(f.rows(QStringLiteral("SELECT COUNT(*) FROM OrderTable")), "2000");
    }
};

TAVREL_CORE_TEST_MAIN(TestOrderStorage)
#include "tst_orderstorage.moc"
