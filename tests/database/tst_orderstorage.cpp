// Order storage on a real SQLite file: the lists by kind and sort, single records, counters and list
// moves, the four bulk writers and the purge of old orders.

#include "constants.h"
#include "coretestapplication.h"
#include "databasefixture.h"
#include "testdata/realisticorders.h"

#include <future>

namespace {

const QString ALICE = QStringLiteral("alice");
const QString BOB = QStringLiteral("bob");
const QDateTime BASE(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);
using Ids = QList<qint64>;

} // namespace

class TestOrderStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture f;

    // Seven orders of alice in every list kind, and one of bob.
    void seedLists()
    {
        const QStringList types {"New", "NewViewed", "Viewed", "New", "Search", "Viewed", "NewViewed"};
        const QList<int> days {3, 1, 2, 0, 4, 5, 6};
        const QStringList amounts {"1500.50 руб", "200", "30", "99.9", "5", "1000", "abc"};
        for (int i = 0; i < types.size(); ++i)
            f.insertOrder(ALICE, i + 1, types.at(i), BASE.addDays(days.at(i)), amounts.at(i));
        f.insertOrder(BOB, 1, QStringLiteral("New"), BASE, QStringLiteral("1"));
    }

    // Runs one of the four writers: the list writers' failed ids, or {-1} when a bool writer fails.
    QList<qint64> save(int variant, const QList<Entity::Order *> &orders, int *count)
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
        if (!isType) {
            QCOMPARE(f.query->orderIds(ALICE, kind, sortField, ascending), expected);
            return;
        }
        Batch<Entity::Order> batch;
        batch.items = f.query->orders(ALICE, Entity::OrderList::Type(type), sortField, ascending);
        QCOMPARE(idsOf(batch.items), expected);
        for (const Entity::Order *order : batch.items)
            QCOMPARE(order->login, ALICE);
    }

    void singleOrdersAndCounts()
    {
        seedLists();
        f.insertOrder(ALICE, 8, QStringLiteral("Favourite"));
        QVERIFY(!std::unique_ptr<Entity::Order>(f.query->order(ALICE, 99)));
        QVERIFY(!std::unique_ptr<Entity::Order>(f.query->order(QStringLiteral("carol"), 1)));
        using L = Entity::OrderList;
        QCOMPARE(f.query->orderType(ALICE, 3, L::Search), L::Viewed);
        QCOMPARE(f.query->orderType(BOB, 1, L::Search), L::New);
        QCOMPARE(f.query->orderType(BOB, 3, L::Search), L::Search);
        QCOMPARE(f.query->orderType(ALICE, 8, L::Search), L::Error);
        QCOMPARE(f.query->newOrdersCount(ALICE), 4);
        QCOMPARE(f.query->viewedOrdersCount(ALICE), 2);
        QCOMPARE(f.query->newOrdersCount(QStringLiteral("nobody")), 0);

        QVERIFY(f.query->markAllOrdersViewed(ALICE));
        QCOMPARE(f.orders(ALICE),
                 (QStringList {"1:Viewed", "2:NewViewed", "3:Viewed", "4:Viewed", "5:Viewed", "6:Viewed", "7:NewViewed",
                               "8:Viewed"}));
        QCOMPARE(f.orders(BOB), QStringList {"1:New"});
        QCOMPARE(f.query->viewedOrdersCount(ALICE), 6);
    }

    void updateOrderWritesDetails()
    {
        seedLists();
        f.exec(QStringLiteral("UPDATE OrderTable SET StartPrice = '555' WHERE Id = 1"));
        std::unique_ptr<Entity::Order> record(f.query->order(ALICE, 1));
        record->gosId = QStringLiteral("0173100000126000001");
        record->docUrls = QStringLiteral("http://127.0.0.1/a\nhttp://127.0.0.1/b");
        QVERIFY(f.query->updateOrder(ALICE, record.get()));
        QCOMPARE(record->type, Entity::OrderList::Viewed);
        std::unique_ptr<Entity::Order> newViewed(f.query->order(ALICE, 2));
        QVERIFY(f.query->updateOrder(ALICE, newViewed.get()));
        std::unique_ptr<Entity::Order> unknown(DatabaseFixture::makeOrder(99, 1, BASE, QStringLiteral("1")));
        QVERIFY(f.query->updateOrder(ALICE, unknown.get()));
        QVERIFY(!f.query->updateOrder(ALICE, nullptr));

        QCOMPARE(f.value(QStringLiteral("SELECT GosID || StartPrice || DocUrls FROM OrderTable WHERE Login = ? AND "
                                        "Id = 1"),
                         {ALICE}),
                 "0173100000126000001555" + record->docUrls);
        QCOMPARE(f.orders(ALICE),
                 (QStringList {"1:Viewed", "2:NewViewed", "3:Viewed", "4:New", "5:Search", "6:Viewed", "7:NewViewed"}));
        QCOMPARE(f.orders(BOB), QStringList {"1:New"});
    }

    void updateOrdersNotPresentInDB()
    {
        seedLists();
        Batch<Entity::Order> present;
        present.items = {DatabaseFixture::makeOrder(5, 1, BASE, QString()), nullptr,
                         DatabaseFixture::makeOrder(7, 1, BASE, QString())};
        f.query->updateOrdersNotPresentInDB(ALICE, present.items);
        QCOMPARE(f.orders(ALICE),
                 (QStringList {"1:Viewed", "2:Viewed", "3:Viewed", "4:Viewed", "5:Search", "6:Viewed", "7:NewViewed"}));
        QCOMPARE(f.orders(BOB), QStringList {"1:New"});
        f.query->updateOrdersNotPresentInDB(ALICE, {});
        QCOMPARE(f.orders(ALICE).filter(QStringLiteral(":Viewed")).size(), 7);
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
        QTest::addColumn<QStringList>("after");
        const auto row = [](const char *name, int variant, const char *fault, const Ids &failed, int notStored,
                            const QStringList &after) {
            QTest::newRow(name) << variant << QString(fault) << failed << notStored << after;
        };
        const QStringList seeded {"10:viewed", "11:New", "12:NewViewed", "13:Search"};
        const Ids all {10, 11, 12, 13, 14, 15, 15};
        // 7 received entries, of which 10..13 are stored for alice (14 only for bob).
        row("saveOrders keeps only viewed rows' Type", 0, "", {}, 3,
            {"10:viewed", "11:New", "12:New", "13:New", "14:New", "15:New"});
        row("saveFoundOrders keeps every stored Type", 1, "", {}, 3,
            {"10:viewed", "11:New", "12:NewViewed", "13:Search", "14:Search", "15:Search"});
        row("saveOrdersWithType writes the received Type", 2, "", {}, 3,
            {"10:Viewed", "11:Viewed", "12:Viewed", "13:Viewed", "14:Viewed", "15:Viewed"});
        row("saveOrdersKeepNewViewed keeps only NewViewed rows' Type", 3, "", {}, 3,
            {"10:New", "11:New", "12:NewViewed", "13:New", "14:New", "15:New"});
        row("failing statements: new rows' first, then stored rows'", 2, "INSERT 15,UPDATE 11", {15, 11}, 3,
            {"10:Viewed", "11:New", "12:Viewed", "13:Viewed", "14:Viewed"});
        row("a failing statement fails a bool writer", 0, "INSERT 15", {-1}, 3,
            {"10:viewed", "11:New", "12:New", "13:New", "14:New"});
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
        QFETCH(QStringList, after);
        const QStringList stored {"viewed", "New", "NewViewed", "Search"};
        for (int i = 0; i < stored.size(); ++i)
            f.insertOrder(ALICE, 10 + i, stored.at(i), BASE, QStringLiteral("1"), QStringLiteral("G%1").arg(10 + i));
        f.insertOrder(BOB, 14, QStringLiteral("Viewed"), BASE);
        Batch<Entity::Order> batch;
        const int type = QList<int> {1, 3, 2, 1}.at(variant);
        for (qint64 id = 10; id <= 15; ++id)
            batch.items << DatabaseFixture::makeOrder(id, type, BASE, "777", QStringLiteral("received %1").arg(id));
        batch.items << DatabaseFixture::makeOrder(15, type, BASE, "778", QStringLiteral("received again 15"));

        const bool outer = fault.startsWith(QLatin1Char('+'));
        if (fault == QLatin1String("commit"))
            QVERIFY(DbTest::addCommitGuard(f.sql(), QStringLiteral("INSERT"), TABLE_ORDERS, "NEW.Id = 15"));
        else if (fault == QLatin1String("lookup")) // a table shadowing the function the ids are read through
            QVERIFY(f.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        else if (!fault.isEmpty())
            for (const QString &statement : fault.mid(outer).split(QLatin1Char(',')))
                QVERIFY(f.failOn(statement.section(' ', 0, 0), TABLE_ORDERS, "NEW.Id = " + statement.section(' ', 1)));
        if (outer)
            QVERIFY(f.db->beginTransaction());
        int count = -1;
        QCOMPARE(save(variant, batch.items, &count), failed);
        QCOMPARE(count, notStored);
        if (outer) { // still pending in the caller's transaction, which then rolls back
            QCOMPARE(f.db->transactionDepth, 1);
            QVERIFY(f.orders(ALICE).contains(QStringLiteral("14:Search")));
            QVERIFY(f.db->rollback());
        }
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.orders(ALICE), after);
        QCOMPARE(f.orders(BOB), QStringList {"14:Viewed"});
        if (!fault.isEmpty())
            return;
        // Stored rows keep the details of an earlier detail read, whichever way they were written.
        QCOMPARE(f.rows(QStringLiteral(
                     "SELECT Name || IFNULL(GosID, '') FROM OrderTable WHERE Login = 'alice' ORDER BY Id")),
                 (QStringList {"received 10G10", "received 11G11", "received 12G12", "received 13G13", "received 14",
                               "received again 15"}));
        // Saving the same list again finds everything stored: each stored row accounts for one entry.
        QCOMPARE(save(variant, batch.items, &count), Ids());
        QCOMPARE(count, 1);
    }

    void storedIdLookups()
    {
        f.insertOrders(ALICE, {"10:viewed", "11:New", "12:NewViewed", "13:Search"});
        f.insertOrder(BOB, 14, QStringLiteral("Viewed"));
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

        f.insertOrder(ALICE, 1, QStringLiteral("Viewed"), cutOff); // kept: not earlier
        f.insertOrder(ALICE, 2, QStringLiteral("Viewed"), cutOff.addSecs(-1)); // deleted
        f.insertOrder(ALICE, 3, QStringLiteral("Viewed"), cutOff.addDays(-20)); // kept: bob's live favourite
        f.insertOrder(ALICE, 4, QStringLiteral("New"), cutOff.addDays(-20)); // deleted: favourite Deleted
        f.insertOrder(ALICE, 5, QStringLiteral("Viewed")); // kept: no opening time
        f.insertOrder(BOB, 6, QStringLiteral("New"), cutOff.addDays(-40)); // deleted: every login
        f.insertOrder(ALICE, 7, QStringLiteral("New"), now.addDays(-1)); // kept: recent
        f.insertOrder(ALICE, 8, QStringLiteral("Viewed"), cutOff.addDays(-300)); // kept: synced favourite
        f.insertFavourite(BOB, 3, QStringLiteral("New"));
        f.insertFavourites(ALICE, {"4:Deleted", "8:Sync"});

        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(f.filePath(), now), 3);
        QCOMPARE(f.rows(QStringLiteral("SELECT Id FROM OrderTable ORDER BY Id")),
                 (QStringList {"1", "3", "5", "7", "8"}));
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(f.filePath(), now), 0);
        QCOMPARE(TavrelDataBaseQuery::purgeOldOrders(f.filePath() + QStringLiteral(".missing/x"), now), -1);
    }

    void removeOldOrdersUsesTheClock()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        f.insertOrder(ALICE, 1, QStringLiteral("Viewed"), now.addMonths(-2));
        f.insertOrder(ALICE, 2, QStringLiteral("Viewed"), now.addDays(-2));
        f.query->removeOldOrders();
        QCOMPARE(f.orders(ALICE), QStringList {"2:Viewed"});
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
        QCOMPARE(f.orders(ALICE).size(), 2000);
    }
};

TAVREL_CORE_TEST_MAIN(TestOrderStorage)
#include "tst_orderstorage.moc"
