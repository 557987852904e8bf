// Favourite storage on a real SQLite file: single and whole-list saves, soft deletion, reading with
// orders, the comparators, the favourites of one list, list clearing and the sorted favourite ids.

#include "constants.h"
#include "coretestapplication.h"
#include "databasefixture.h"

namespace {

const QString ALICE = QStringLiteral("alice");
const QString BOB = QStringLiteral("bob");
const QDateTime BASE(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);
using Ids = QList<qint64>;
using Item = std::unique_ptr<Entity::FavouriteItem>;

// A favourite holding an order with the given amount and opening time, or none when amount is null.
Item withOrder(qint64 id, const QString &amount, const QDateTime &opening)
{
    Item item(DatabaseFixture::makeFavourite(id, 0, false));
    if (!amount.isNull())
        item->order = DatabaseFixture::makeOrder(id, 1, opening, amount);
    return item;
}

} // namespace

class TestFavouriteStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture f;

private slots:
    void init() { QVERIFY(f.open()); }

    void saveOneFavourite()
    {
        Item item(DatabaseFixture::makeFavourite(7, 0, false, BASE));
        item->login = BOB; // the login argument decides the row
        QVERIFY(f.query->saveFavourite(ALICE, item.get())); // unchanged: nothing written
        QCOMPARE(f.favourites(ALICE), QStringList());
        item->changed = true;
        QVERIFY(f.query->saveFavourite(ALICE, item.get()));
        item->state = Entity::FavouriteItemList::Sync;
        item->changeDate = BASE.addDays(1);
        QVERIFY(f.query->saveFavourite(ALICE, item.get()));
        QCOMPARE(f.favourites(ALICE), QStringList {"7:Sync"});
        QCOMPARE(f.rows(QStringLiteral("SELECT DATETIME(ChangeDate) FROM Favourites")),
                 QStringList {"2026-03-11 10:00:00"});
        QVERIFY(item->changed);
    }

    void saveFavouritesReplacesOrAdds()
    {
        f.insertFavourites(ALICE, {"1:Sync", "2:New"});
        f.insertFavourite(BOB, 1, QStringLiteral("Sync"));
        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(2, 1, true, BASE), DatabaseFixture::makeFavourite(3, 0, false)};
        QVERIFY(f.query->saveFavourites(ALICE, batch.items, false));
        QCOMPARE(f.favourites(ALICE), (QStringList {"1:Sync", "2:Deleted"}));
        // Replacing the whole list writes every record, flagged or not.
        QVERIFY(f.query->saveFavourites(ALICE, batch.items, true));
        QCOMPARE(f.favourites(ALICE), (QStringList {"2:Deleted", "3:New"}));
        QVERIFY(f.query->clearFavourites(ALICE));
        QCOMPARE(f.favourites(ALICE), QStringList());
        QCOMPARE(f.favourites(BOB), QStringList {"1:Sync"});
        QCOMPARE(f.db->transactionDepth, 0);
    }

    void failedFavouriteSavesChangeNothing()
    {
        f.insertFavourites(ALICE, {"1:Sync", "2:Sync"});
        QVERIFY(f.failOn(QStringLiteral("INSERT"), TABLE_FAVOURITES, QStringLiteral("NEW.OrderId = 5")));
        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(4, 0, true), DatabaseFixture::makeFavourite(5, 0, true)};
        QVERIFY(!f.query->saveFavourites(ALICE, batch.items, true));
        QVERIFY(!f.query->saveFavourites(ALICE, batch.items, false));
        QCOMPARE(f.favourites(ALICE), (QStringList {"1:Sync", "2:Sync"}));

        Batch<Entity::FavouriteItem> removal;
        removal.items = {DatabaseFixture::makeFavourite(1, 0, false), DatabaseFixture::makeFavourite(2, 0, false)};
        QVERIFY(f.failOn(QStringLiteral("DELETE"), TABLE_FAVOURITES, QStringLiteral("OLD.OrderId = 2")));
        QVERIFY(!f.query->removeFavouriteInTransaction(ALICE, removal.items));
        QCOMPARE(f.favourites(ALICE).size(), 2);
        QCOMPARE(f.db->transactionDepth, 0);
        Batch<Entity::FavouriteItem> first;
        first.items = {DatabaseFixture::makeFavourite(1, 0, false)};
        QVERIFY(f.query->removeFavouriteInTransaction(ALICE, first.items));
        QCOMPARE(f.favourites(ALICE), QStringList {"2:Sync"});
    }

    void countsRemovalAndSoftDeletion()
    {
        f.insertFavourite(ALICE, 1, QStringLiteral("New"), BASE);
        f.insertFavourite(ALICE, 2, QStringLiteral("Deleted"), BASE.addDays(2));
        f.insertFavourite(ALICE, 3, QStringLiteral("Sync"), BASE.addDays(1));
        f.insertFavourite(BOB, 4, QStringLiteral("Sync"), BASE);
        QCOMPARE(f.query->favouritesCount(ALICE), 2);
        QCOMPARE(f.query->favouritesCount(QStringLiteral("nobody")), 0);

        Batch<Entity::FavouriteItem> all;
        all.items = f.query->favourites(ALICE, false);
        QCOMPARE(idsOf(all.items), (Ids {2, 3, 1})); // newest change first, Deleted included
        QCOMPARE(all.items.at(0)->state, Entity::FavouriteItemList::Deleted);
        for (const Entity::FavouriteItem *item : all.items)
            QVERIFY(item->changeDate.isNull() && !item->changed && item->login == ALICE && !item->order);

        Item one(f.query->favourite(ALICE, 3));
        QVERIFY(one);
        QCOMPARE(one->state, Entity::FavouriteItemList::Sync);
        QVERIFY(!Item(f.query->favourite(ALICE, 4)));

        QVERIFY(f.query->removeFavourite(ALICE, 99));
        QVERIFY(f.query->removeFavourite(ALICE, 1));
        const QStringList dates = f.rows(QStringLiteral("SELECT ChangeDate FROM Favourites ORDER BY OrderId"));
        QVERIFY(f.query->markAllFavouritesDeleted(ALICE));
        QCOMPARE(f.favourites(ALICE), (QStringList {"2:Deleted", "3:Deleted"}));
        QCOMPARE(f.favourites(BOB), QStringList {"4:Sync"});
        QCOMPARE(f.rows(QStringLiteral("SELECT ChangeDate FROM Favourites ORDER BY OrderId")), dates);
    }

    void favouritesWithTheirOrders()
    {
        f.insertOrder(ALICE, 1, QStringLiteral("Viewed"), BASE, QStringLiteral("10"));
        f.insertOrder(ALICE, 3, QStringLiteral("New"), BASE, QStringLiteral("30"));
        f.insertOrder(BOB, 2, QStringLiteral("New"), BASE, QStringLiteral("20"));
        f.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE.addDays(1));
        f.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);

        Batch<Entity::FavouriteItem> all;
        all.items = f.query->favourites(ALICE, true);
        QCOMPARE(idsOf(all.items), (Ids {1, 2}));
        QVERIFY(all.items.at(0)->order && all.items.at(0)->order->amount == QLatin1String("10"));
        QVERIFY(!all.items.at(1)->order); // only bob stores order 2

        Item item(f.query->favouriteWithOrder(ALICE, 1, true));
        QVERIFY(item && item->order && item->order->type == Entity::OrderList::Viewed);
        item.reset(f.query->favouriteWithOrder(ALICE, 1, false));
        QVERIFY(item && !item->order);
        item.reset(f.query->favouriteWithOrder(ALICE, 2, true));
        QVERIFY(item && !item->order);
        QVERIFY(!Item(f.query->favouriteWithOrder(ALICE, 3, true)));
    }

    void comparators_data()
    {
        QTest::addColumn<QString>("firstAmount");
        QTest::addColumn<QString>("secondAmount");
        QTest::addColumn<bool>("byAmount");
        QTest::addColumn<QDateTime>("firstOpening"); // the second order opens at BASE + 1 day
        QTest::addColumn<bool>("firstBeforeSecond");
        const auto row
            = [](const char *name, const QString &first, const QString &second, bool byAmount, const QDateTime &opening,
                 bool before) { QTest::newRow(name) << first << second << byAmount << opening << before; };
        row("amount with currency word", "200 руб", "1500.50 руб", true, BASE, true);
        row("digit groups: the first group only", "1 500 000", "2", true, BASE, true);
        row("a text amount counts as 0", "abc", "0", true, BASE, false);
        row("not a number counts as 0", "nan", "1", true, BASE, true);
        row("first without order never sorts before", QString(), "1", true, BASE, false);
        row("second without order sorts last", "1", QString(), true, BASE, true);
        row("date: earlier opening first", "1", "1", false, BASE.addSecs(86399), true);
        row("date: an undated order first", "1", "1", false, QDateTime(), true);
    }

    void comparators()
    {
        QFETCH(QString, firstAmount);
        QFETCH(QString, secondAmount);
        QFETCH(bool, byAmount);
        QFETCH(QDateTime, firstOpening);
        QFETCH(bool, firstBeforeSecond);
        const Item first = withOrder(1, firstAmount, firstOpening);
        const Item second = withOrder(2, secondAmount, BASE.addDays(1));
        const auto less = byAmount ? lessThanByAmount : lessThanByDate;
        QCOMPARE(less(first.get(), second.get()), firstBeforeSecond);
        QVERIFY(!less(first.get(), first.get()));
    }

    void favouritesOfOneList()
    {
        f.insertOrders(ALICE, {"1:New", "2:NewViewed", "3:Viewed", "4:New"});
        f.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE.addDays(1));
        f.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);
        f.insertFavourite(ALICE, 3, QStringLiteral("Deleted"), BASE);
        f.insertFavourite(ALICE, 4, QStringLiteral("New"), BASE.addDays(2));
        f.insertFavourite(ALICE, 5, QStringLiteral("New"), BASE); // order not stored
        for (const QString &type : {QStringLiteral("New"), QStringLiteral("new")}) {
            Entity::FavouriteItemList ofNew = f.query->favouritesOfType(ALICE, type);
            QCOMPARE(idsOf(ofNew.items), (Ids {4, 1}));
            ofNew.clear();
        }
        QCOMPARE(f.query->favouritesOfTypeCount(ALICE, QStringLiteral("Viewed")), 1); // Deleted still counts
        QCOMPARE(f.query->favouritesOfTypeCount(ALICE, QStringLiteral("NewViewed")), 1);
        QCOMPARE(f.query->favouritesOfTypeCount(BOB, QStringLiteral("New")), 0);
    }

    // Orders and favourites of alice as "id:Type" and "id:State"; bob's order 1 is always there too.
    void clearingALists_data()
    {
        QTest::addColumn<QStringList>("orders");
        QTest::addColumn<QStringList>("favourites");
        QTest::addColumn<bool>("viewedList");
        QTest::addColumn<QString>("fault"); // "UPDATE n" / "DELETE n" on OrderTable, or "unreadable"
        QTest::addColumn<QStringList>("ordersAfter");
        QTest::addColumn<QStringList>("favouritesAfter");
        const QStringList fourNew {"1:New", "2:New", "3:New", "4:New"};

        QTest::newRow("the New list keeps its favourites' orders")
            << (fourNew + QStringList {"5:New", "6:NewViewed"}) << QStringList {"2:Sync", "4:Deleted"} << false
            << QString() << QStringList {"2:New", "4:New", "6:NewViewed"} << QStringList {"2:Sync", "4:Deleted"};
        QTest::newRow("a list of favourites only: they are marked Deleted, other lists' stay")
            << QStringList {"1:New", "2:New", "3:New", "4:Viewed"}
            << QStringList {"1:Sync", "2:Sync", "3:Sync", "4:Sync"} << false << QString() << QStringList {"4:Viewed"}
            << QStringList {"1:Deleted", "2:Deleted", "3:Deleted", "4:Sync"};
        QTest::newRow("the Viewed list") << QStringList {"1:Viewed", "2:Viewed", "3:NewViewed", "4:New"}
                                         << QStringList {"2:Deleted", "4:Sync"} << true << QString()
                                         << QStringList {"2:Viewed", "3:NewViewed", "4:New"}
                                         << QStringList {"2:Deleted", "4:Sync"};
        QTest::newRow("protecting the second favourite fails")
            << fourNew << QStringList {"1:Sync", "3:Sync"} << false << "UPDATE 3" << fourNew
            << QStringList {"1:Sync", "3:Sync"};
        QTest::newRow("the favourites' orders cannot be read")
            << fourNew << QStringList {"1:Sync"} << false << "unreadable" << fourNew << QStringList {"1:Sync"};
    }

    void clearingALists()
    {
        QFETCH(QStringList, orders);
        QFETCH(QStringList, favourites);
        QFETCH(bool, viewedList);
        QFETCH(QString, fault);
        QFETCH(QStringList, ordersAfter);
        QFETCH(QStringList, favouritesAfter);

        f.insertOrders(ALICE, orders, BASE);
        f.insertFavourites(ALICE, favourites);
        f.insertOrder(BOB, 1, QStringLiteral("New"), BASE);
        if (fault == QLatin1String("unreadable")) // a table shadowing the function the id lists are read through
            QVERIFY(f.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        else if (!fault.isEmpty())
            QVERIFY(f.failOn(fault.section(' ', 0, 0), TABLE_ORDERS, "NEW.Id = " + fault.section(' ', 1)));

        QCOMPARE(viewedList ? f.query->removeAllViewedOrders(ALICE) : f.query->removeAllNewOrders(ALICE),
                 fault.isEmpty());
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.orders(ALICE), ordersAfter);
        QCOMPARE(f.favourites(ALICE), favouritesAfter);
        QCOMPARE(f.orders(BOB), QStringList {"1:New"});
    }

    // Orders: 1 "300.50 руб" opened day 3, 2 "20 руб" day 1, 3 "abc" day 2, 5 not stored; 4 is a
    // Deleted favourite and never listed.
    void favouriteOrderIds_data()
    {
        QTest::addColumn<int>("sortField");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<Ids>("expected");
        QTest::newRow("by id descending") << 0 << false << Ids {5, 3, 2, 1};
        QTest::newRow("by amount") << 2 << true << Ids {3, 2, 1, 5};
        QTest::newRow("by amount descending") << 2 << false << Ids {1, 2, 3, 5};
        QTest::newRow("by opening time") << 1 << true << Ids {2, 3, 1, 5};
        QTest::newRow("an unknown sort field") << 3 << true << Ids {};
    }

    void favouriteOrderIds()
    {
        QFETCH(int, sortField);
        QFETCH(bool, ascending);
        QFETCH(Ids, expected);
        f.insertOrder(ALICE, 1, QStringLiteral("Viewed"), BASE.addDays(3), QStringLiteral("300.50 руб"));
        f.insertOrder(ALICE, 2, QStringLiteral("New"), BASE.addDays(1), QStringLiteral("20 руб"));
        f.insertOrder(ALICE, 3, QStringLiteral("Search"), BASE.addDays(2), QStringLiteral("abc"));
        f.insertOrder(ALICE, 4, QStringLiteral("New"), BASE, QStringLiteral("1"));
        f.insertFavourites(ALICE, {"1:Sync", "2:Sync", "3:Sync", "5:Sync", "4:Deleted"});
        f.insertFavourite(BOB, 9, QStringLiteral("Sync"));
        QCOMPARE(f.query->favouriteOrderIds(ALICE, sortField, ascending), expected);
    }
};

TAVREL_CORE_TEST_MAIN(TestFavouriteStorage)
#include "tst_favouritestorage.moc"
