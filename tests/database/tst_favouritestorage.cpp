// Favourite storage on a real SQLite file: single and whole-list saves, soft deletion, reading with
// orders, the comparators, the favourites of one list, list clearing and the sorted favourite ids.

#include "coretestapplication.h"
#include "databasefixture.h"

namespace {

using Item = std::unique_ptr<Entity::FavouriteItem>;

// A favourite holding an order with the given amount and opening time, or none when amount is null.
Item withOrder(qint64 id, const QString &amount, const QDateTime &opening)
{
    Item item(DatabaseFixture::makeFavourite(id));
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

    void saveFavouritesReplacesOrAdds()
    {
        f.insertFavourites(ALICE, "1:Sync 2:New");
        f.insertFavourites(BOB, "1:Sync");
        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(2, 1, true), DatabaseFixture::makeFavourite(3)};
        QVERIFY(f.query->saveFavourites(ALICE, batch.items, false));
        QCOMPARE(f.favourites(ALICE), "1:Sync 2:Deleted");
        // Replacing the whole list writes every record, flagged or not.
        QVERIFY(f.query->saveFavourites(ALICE, batch.items, true));
        QCOMPARE(f.favourites(ALICE), "2:Deleted 3:New");
        QVERIFY(f.query->clearFavourites(ALICE));
        QCOMPARE(f.favourites(ALICE) + f.favourites(BOB), "1:Sync");
    }

    void failedFavouriteSavesChangeNothing()
    {
        f.insertFavourites(ALICE, "1:Sync 2:Sync");
        QVERIFY(f.failOn("INSERT", TABLE_FAVOURITES, "NEW.OrderId = 5"));
        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(4, 0, true), DatabaseFixture::makeFavourite(5, 0, true)};
        QVERIFY(!f.query->saveFavourites(ALICE, batch.items, true));
        QVERIFY(!f.query->saveFavourites(ALICE, batch.items, false));
        QVERIFY(f.failOn("DELETE", TABLE_FAVOURITES, "OLD.OrderId = 2"));
        Batch<Entity::FavouriteItem> removal;
        removal.items = {DatabaseFixture::makeFavourite(1), DatabaseFixture::makeFavourite(2)};
        QVERIFY(!f.query->removeFavouriteInTransaction(ALICE, removal.items));
        QCOMPARE(f.favourites(ALICE), "1:Sync 2:Sync");
        QCOMPARE(f.db->transactionDepth, 0);
        delete removal.items.takeLast();
        QVERIFY(f.query->removeFavouriteInTransaction(ALICE, removal.items));
        QCOMPARE(f.favourites(ALICE), "2:Sync");
    }

    void comparators_data()
    {
        QTest::addColumn<QString>("firstAmount");
        QTest::addColumn<QString>("secondAmount");
        // Invalid: compare by amount; else by date, epoch 0 standing for an undated order. The second opens at BASE.
        QTest::addColumn<QDateTime>("firstOpening");
        QTest::addColumn<bool>("firstBeforeSecond");
        QTest::newRow("amounts: the first group, currency word dropped") << "1 500 руб"
                                                                         << "2.5" << QDateTime() << true;
        QTest::newRow("a text amount counts as 0") << "abc"
                                                   << "0" << QDateTime() << false;
        QTest::newRow("not a number counts as 0") << "nan"
                                                  << "1" << QDateTime() << true;
        QTest::newRow("first without order never sorts before") << QString() << "1" << QDateTime() << false;
        QTest::newRow("second without order sorts last") << "1" << QString() << QDateTime() << true;
        QTest::newRow("date: earlier opening first") << "1"
                                                     << "1" << BASE.addSecs(-1) << true;
        QTest::newRow("date: an undated order first") << "1"
                                                      << "1" << QDateTime::fromSecsSinceEpoch(0) << true;
    }

    void comparators()
    {
        QFETCH(QString, firstAmount);
        QFETCH(QString, secondAmount);
        QFETCH(QDateTime, firstOpening);
        QFETCH(bool, firstBeforeSecond);
        const bool byDate = firstOpening.isValid();
        const Item first = withOrder(1, firstAmount, firstOpening.toSecsSinceEpoch() ? firstOpening : QDateTime());
        const Item second = withOrder(2, secondAmount, BASE);
        const auto less = byDate ? lessThanByDate : lessThanByAmount;
        QCOMPARE(less(first.get(), second.get()), firstBeforeSecond);
        QVERIFY(!less(first.get(), first.get()));
    }

    void favouritesOfOneList()
    {
        f.insertOrders(ALICE, "1:New 2:NewViewed 3:Viewed 4:New");
        f.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE.addDays(1));
        f.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);
        f.insertFavourite(ALICE, 3, QStringLiteral("Deleted"), BASE);
        f.insertFavourite(ALICE, 4, QStringLiteral("New"), BASE.addDays(2));
        f.insertFavourite(ALICE, 5, QStringLiteral("New"), BASE); // order not stored
        for (const char *type : {"New", "new"}) {
            Entity::FavouriteItemList ofNew = f.query->favouritesOfType(ALICE, type);
            QCOMPARE(idsOf(ofNew.items), (Ids {4, 1}));
            ofNew.clear();
        }
        QCOMPARE(f.query->favouritesOfTypeCount(ALICE, "Viewed"), 1); // Deleted still counts
    }

    // Orders and favourites of alice as "id:Type" and "id:State" before and after; bob's order 1 stays.
    void clearingALists_data()
    {
        QTest::addColumn<QString>("orders");
        QTest::addColumn<QString>("favourites");
        QTest::addColumn<bool>("viewedList");
        QTest::addColumn<QString>("fault"); // "UPDATE n" / "DELETE n" on OrderTable, or "unreadable"
        QTest::addColumn<QString>("ordersAfter");
        QTest::addColumn<QString>("favouritesAfter");
        const auto row = [](const char *name, const char *orders, const char *favourites, bool viewed,
                            const char *fault, const char *ordersAfter, const char *favouritesAfter) {
            QTest::newRow(name) << QString(orders) << QString(favourites) << viewed << QString(fault)
                                << QString(ordersAfter) << QString(favouritesAfter);
        };
        const char *fourNew = "1:New 2:New 3:New 4:New";
        row("the New list keeps its favourites' orders", "1:New 2:New 3:NewViewed 4:New", "2:Sync 4:Deleted", false, "",
            "2:New 3:NewViewed 4:New", "2:Sync 4:Deleted");
        row("a list of favourites only: they are marked Deleted, other lists' stay", "1:New 2:New 3:Viewed",
            "1:Sync 2:Sync 3:Sync", false, "", "3:Viewed", "1:Deleted 2:Deleted 3:Sync");
        row("the Viewed list", "1:Viewed 2:Viewed 3:NewViewed 4:New", "2:Deleted 4:Sync", true, "",
            "2:Viewed 3:NewViewed 4:New", "2:Deleted 4:Sync");
        row("protecting the second favourite fails", fourNew, "1:Sync 3:Sync", false, "UPDATE 3", fourNew,
            "1:Sync 3:Sync");
        row("the favourites' orders cannot be read", fourNew, "1:Sync", false, "unreadable", fourNew, "1:Sync");
    }

    void clearingALists()
    {
        QFETCH(QString, orders);
        QFETCH(QString, favourites);
        QFETCH(bool, viewedList);
        QFETCH(QString, fault);
        QFETCH(QString, ordersAfter);
        QFETCH(QString, favouritesAfter);
        f.insertOrders(ALICE, orders);
        f.insertFavourites(ALICE, favourites);
        f.insertOrders(BOB, "1:New");
        if (fault == QLatin1String("unreadable")) // a table shadowing the function the id lists are read through
            QVERIFY(f.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        else if (!fault.isEmpty())
            QVERIFY(f.failOn(fault.section(' ', 0, 0), TABLE_ORDERS, "NEW.Id = " + fault.section(' ', 1)));
        QCOMPARE(viewedList ? f.query->removeAllViewedOrders(ALICE) : f.query->removeAllNewOrders(ALICE),
                 fault.isEmpty());
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.orders(ALICE), ordersAfter);
        QCOMPARE(f.favourites(ALICE), favouritesAfter);
        QCOMPARE(f.orders(BOB), QStringLiteral("1:New"));
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
        f.insertOrders(ALICE, "4:New");
        f.insertFavourites(ALICE, "1:Sync 2:Sync 3:Sync 5:Sync 4:Deleted");
        f.insertFavourites(BOB, "9:Sync");
        QCOMPARE(f.query->favouriteOrderIds(ALICE, sortField, ascending), expected);
    }
};

TAVREL_CORE_TEST_MAIN(TestFavouriteStorage)
#include "tst_favouritestorage.moc"
