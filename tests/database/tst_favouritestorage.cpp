// Favourite storage on a real SQLite file: single and whole-list saves, soft deletion, reading with
// orders, the comparators, the favourites of one list, list clearing and the sorted favourite ids.

#include "constants.h"
#include "coretestapplication.h"
#include "database.h"
#include "databasefixture.h"
#include "favouriteitem.h"
#include "order.h"
#include "tavreldatabasequery.h"

#include <QtTest>

#include <memory>

namespace {

const QString ALICE = QStringLiteral("alice");
const QString BOB = QStringLiteral("bob");
const QDateTime BASE(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);

// A favourite holding an order with the given amount and opening time, or none when amount is null.
std::unique_ptr<Entity::FavouriteItem> withOrder(qint64 id, const QString &amount, const QDateTime &opening)
{
    std::unique_ptr<Entity::FavouriteItem> item(DatabaseFixture::makeFavourite(id, 0, false));
    if (!amount.isNull())
        item->order = DatabaseFixture::makeOrder(id, 1, opening, amount);
    return item;
}

} // namespace

class TestFavouriteStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture fixture;
    TavrelDataBaseQuery *query = nullptr;

    int favouriteRows(const QString &login) const
    {
        return fixture.scalar(QStringLiteral("SELECT COUNT(*) FROM Favourites WHERE Login = ?"), {login}).toInt();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fixture.open());
        query = fixture.query();
    }

    void init() { fixture.clearTables(); }

    void cleanupTestCase() { fixture.close(); }

    void saveOneFavourite()
    {
        std::unique_ptr<Entity::FavouriteItem> item(DatabaseFixture::makeFavourite(7, 0, false, BASE));
        item->login = BOB; // the login argument decides the row
        QVERIFY(query->saveFavourite(ALICE, item.get()));
        QCOMPARE(favouriteRows(ALICE), 0);

        item->changed = true;
        QVERIFY(query->saveFavourite(ALICE, item.get()));
        item->state = Entity::FavouriteItemList::Sync;
        item->changeDate = BASE.addDays(1);
        QVERIFY(query->saveFavourite(ALICE, item.get()));
        QCOMPARE(favouriteRows(ALICE), 1);
        QCOMPARE(favouriteRows(BOB), 0);
        QCOMPARE(fixture.stateOf(ALICE, 7), QStringLiteral("Sync"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT DATETIME(ChangeDate) FROM Favourites")).toString(),
                 QStringLiteral("2026-03-11 10:00:00"));
        QVERIFY(item->changed);
    }

    void saveFavouritesReplacesOrAdds()
    {
        fixture.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE);
        fixture.insertFavourite(ALICE, 2, QStringLiteral("New"), BASE);
        fixture.insertFavourite(BOB, 1, QStringLiteral("Sync"), BASE);

        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(2, 1, true, BASE.addDays(1)),
                       DatabaseFixture::makeFavourite(3, 0, false, BASE)};
        QVERIFY(query->saveFavourites(ALICE, batch.items, false));
        QCOMPARE(fixture.column(QStringLiteral("SELECT OrderId || State FROM Favourites WHERE Login = 'alice' "
                                               "ORDER BY OrderId")),
                 (QVariantList {"1Sync", "2Deleted"}));

        // Replacing the whole list writes every record, flagged or not.
        QVERIFY(query->saveFavourites(ALICE, batch.items, true));
        QCOMPARE(fixture.column(QStringLiteral("SELECT OrderId || State FROM Favourites WHERE Login = 'alice' "
                                               "ORDER BY OrderId")),
                 (QVariantList {"2Deleted", "3New"}));
        QCOMPARE(favouriteRows(BOB), 1);

        QVERIFY(query->clearFavourites(ALICE));
        QCOMPARE(favouriteRows(ALICE), 0);
        QCOMPARE(favouriteRows(BOB), 1);
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);
    }

    void failedFavouriteSavesChangeNothing()
    {
        fixture.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE);
        fixture.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);
        fixture.failOn(QStringLiteral("INSERT"), QStringLiteral("Favourites"), QStringLiteral("OrderId"), 5);
        Batch<Entity::FavouriteItem> batch;
        batch.items = {DatabaseFixture::makeFavourite(4, 0, true), DatabaseFixture::makeFavourite(5, 0, true)};
        QVERIFY(!query->saveFavourites(ALICE, batch.items, true));
        QVERIFY(!query->saveFavourites(ALICE, batch.items, false));
        QCOMPARE(fixture.column(QStringLiteral("SELECT OrderId FROM Favourites ORDER BY OrderId")),
                 (QVariantList {1, 2}));

        fixture.failOn(QStringLiteral("DELETE"), QStringLiteral("Favourites"), QStringLiteral("OrderId"), 2);
        Batch<Entity::FavouriteItem> removal;
        removal.items = {DatabaseFixture::makeFavourite(1, 0, false), DatabaseFixture::makeFavourite(2, 0, false)};
        QVERIFY(!query->removeFavouriteInTransaction(ALICE, removal.items));
        QCOMPARE(favouriteRows(ALICE), 2);
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);

        fixture.clearTables();
        fixture.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE);
        fixture.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);
        QVERIFY(query->removeFavouriteInTransaction(ALICE, removal.items));
        QCOMPARE(favouriteRows(ALICE), 0);
    }

    void countsRemovalAndSoftDeletion()
    {
        fixture.insertFavourite(ALICE, 1, QStringLiteral("New"), BASE);
        fixture.insertFavourite(ALICE, 2, QStringLiteral("Deleted"), BASE.addDays(2));
        fixture.insertFavourite(ALICE, 3, QStringLiteral("Sync"), BASE.addDays(1));
        fixture.insertFavourite(BOB, 4, QStringLiteral("Sync"), BASE);
        QCOMPARE(query->favouritesCount(ALICE), 2);
        QCOMPARE(query->favouritesCount(QStringLiteral("nobody")), 0);

        Batch<Entity::FavouriteItem> all;
        all.items = query->favourites(ALICE, false);
        QCOMPARE(idsOf(all.items), (QList<qint64> {2, 3, 1})); // newest change first, Deleted included
        QCOMPARE(all.items.at(0)->state, Entity::FavouriteItemList::Deleted);
        for (const Entity::FavouriteItem *item : all.items) {
            QVERIFY(item->changeDate.isNull());
            QVERIFY(!item->changed);
            QCOMPARE(item->login, ALICE);
            QVERIFY(!item->order);
        }

        std::unique_ptr<Entity::FavouriteItem> one(query->favourite(ALICE, 3));
        QVERIFY(one);
        QCOMPARE(one->state, Entity::FavouriteItemList::Sync);
        QVERIFY(!std::unique_ptr<Entity::FavouriteItem>(query->favourite(ALICE, 4)));

        QVERIFY(query->removeFavourite(ALICE, 99));
        QVERIFY(query->removeFavourite(ALICE, 1));
        QCOMPARE(favouriteRows(ALICE), 2);

        const QVariantList datesBefore
            = fixture.column(QStringLiteral("SELECT ChangeDate FROM Favourites ORDER BY OrderId"));
        QVERIFY(query->markAllFavouritesDeleted(ALICE));
        QCOMPARE(query->favouritesCount(ALICE), 0);
        QCOMPARE(fixture.stateOf(BOB, 4), QStringLiteral("Sync"));
        QCOMPARE(fixture.column(QStringLiteral("SELECT ChangeDate FROM Favourites ORDER BY OrderId")), datesBefore);
    }

    void favouritesWithTheirOrders()
    {
        fixture.insertOrder(ALICE, 1, QStringLiteral("Viewed"), BASE, QStringLiteral("10"));
        fixture.insertOrder(ALICE, 3, QStringLiteral("New"), BASE, QStringLiteral("30"));
        fixture.insertOrder(BOB, 2, QStringLiteral("New"), BASE, QStringLiteral("20"));
        fixture.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE.addDays(1));
        fixture.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);

        Batch<Entity::FavouriteItem> all;
        all.items = query->favourites(ALICE, true);
        QCOMPARE(idsOf(all.items), (QList<qint64> {1, 2}));
        QVERIFY(all.items.at(0)->order);
        QCOMPARE(all.items.at(0)->order->amount, QStringLiteral("10"));
        QVERIFY(!all.items.at(1)->order); // only bob stores order 2

        std::unique_ptr<Entity::FavouriteItem> item(query->favouriteWithOrder(ALICE, 1, true));
        QVERIFY(item && item->order);
        QCOMPARE(item->order->type, Entity::OrderList::Viewed);
        item.reset(query->favouriteWithOrder(ALICE, 1, false));
        QVERIFY(item && !item->order);
        item.reset(query->favouriteWithOrder(ALICE, 2, true));
        QVERIFY(item && !item->order);
        QVERIFY(!std::unique_ptr<Entity::FavouriteItem>(query->favouriteWithOrder(ALICE, 3, true)));
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
        const auto first = withOrder(1, firstAmount, firstOpening);
        const auto second = withOrder(2, secondAmount, BASE.addDays(1));
        const auto less = byAmount ? lessThanByAmount : lessThanByDate;
        QCOMPARE(less(first.get(), second.get()), firstBeforeSecond);
        QVERIFY(!less(first.get(), first.get()));
    }

    void favouritesOfOneList()
    {
        fixture.insertOrder(ALICE, 1, QStringLiteral("New"), BASE);
        fixture.insertOrder(ALICE, 2, QStringLiteral("NewViewed"), BASE);
        fixture.insertOrder(ALICE, 3, QStringLiteral("Viewed"), BASE);
        fixture.insertOrder(ALICE, 4, QStringLiteral("New"), BASE);
        fixture.insertFavourite(ALICE, 1, QStringLiteral("Sync"), BASE.addDays(1));
        fixture.insertFavourite(ALICE, 2, QStringLiteral("Sync"), BASE);
        fixture.insertFavourite(ALICE, 3, QStringLiteral("Deleted"), BASE);
        fixture.insertFavourite(ALICE, 4, QStringLiteral("New"), BASE.addDays(2));
        fixture.insertFavourite(ALICE, 5, QStringLiteral("New"), BASE); // order not stored

        Entity::FavouriteItemList ofNew = query->favouritesOfType(ALICE, QStringLiteral("New"));
        QCOMPARE(idsOf(ofNew.items), (QList<qint64> {4, 1}));
        ofNew.clear();
        Entity::FavouriteItemList lowerCase = query->favouritesOfType(ALICE, QStringLiteral("new"));
        QCOMPARE(idsOf(lowerCase.items), (QList<qint64> {4, 1}));
        lowerCase.clear();
        QCOMPARE(query->favouritesOfTypeCount(ALICE, QStringLiteral("Viewed")), 1); // Deleted still counts
        QCOMPARE(query->favouritesOfTypeCount(ALICE, QStringLiteral("NewViewed")), 1);
        QCOMPARE(query->favouritesOfTypeCount(BOB, QStringLiteral("New")), 0);
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

        for (const QString &order : orders)
            fixture.insertOrder(ALICE, order.section(':', 0, 0).toLongLong(), order.section(':', 1), BASE);
        for (const QString &favourite : favourites)
            fixture.insertFavourite(ALICE, favourite.section(':', 0, 0).toLongLong(), favourite.section(':', 1));
        fixture.insertOrder(BOB, 1, QStringLiteral("New"), BASE);
        if (fault == QLatin1String("unreadable")) // a table shadowing the function the id lists are read through
            QVERIFY(fixture.exec(QStringLiteral("CREATE TABLE json_each (value INTEGER)")));
        else if (!fault.isEmpty())
            fixture.failOn(fault.section(' ', 0, 0), TABLE_ORDERS, QStringLiteral("Id"),
                           fault.section(' ', 1).toLongLong());

        QCOMPARE(viewedList ? query->removeAllViewedOrders(ALICE) : query->removeAllNewOrders(ALICE), fault.isEmpty());
        QCOMPARE(fixture.dataBase()->transactionDepth, 0);
        const auto rows = [this](const QString &sql) {
            QStringList result;
            for (const QVariant &value : fixture.column(sql))
                result << value.toString();
            return result;
        };
        QCOMPARE(rows(QStringLiteral("SELECT Id || ':' || Type FROM OrderTable WHERE Login = 'alice' ORDER BY Id")),
                 ordersAfter);
        QCOMPARE(rows(QStringLiteral("SELECT OrderId || ':' || State FROM Favourites ORDER BY OrderId")),
                 favouritesAfter);
        QCOMPARE(fixture.typeOf(BOB, 1), QStringLiteral("New"));
    }

    void favouriteOrderIds_data()
    {
        QTest::addColumn<int>("sortField");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QList<qint64>>("expected");
        // Orders: 1 "300.50 руб" opened day 3, 2 "20 руб" day 1, 3 "abc" day 2, 5 not stored;
        // 4 is a Deleted favourite and never listed.
        QTest::newRow("by id") << 0 << true << QList<qint64> {1, 2, 3, 5};
        QTest::newRow("by id descending") << 0 << false << QList<qint64> {5, 3, 2, 1};
        QTest::newRow("by amount") << 2 << true << QList<qint64> {3, 2, 1, 5};
        QTest::newRow("by amount descending") << 2 << false << QList<qint64> {1, 2, 3, 5};
        QTest::newRow("by opening time") << 1 << true << QList<qint64> {2, 3, 1, 5};
        QTest::newRow("by opening time descending") << 1 << false << QList<qint64> {1, 3, 2, 5};
        QTest::newRow("an unknown sort field") << 3 << true << QList<qint64> {};
    }

    void favouriteOrderIds()
    {
        QFETCH(int, sortField);
        QFETCH(bool, ascending);
        QFETCH(QList<qint64>, expected);
        fixture.insertOrder(ALICE, 1, QStringLiteral("Viewed"), BASE.addDays(3), QStringLiteral("300.50 руб"));
        fixture.insertOrder(ALICE, 2, QStringLiteral("New"), BASE.addDays(1), QStringLiteral("20 руб"));
        fixture.insertOrder(ALICE, 3, QStringLiteral("Search"), BASE.addDays(2), QStringLiteral("abc"));
        fixture.insertOrder(ALICE, 4, QStringLiteral("New"), BASE, QStringLiteral("1"));
        for (const qint64 id : {1, 2, 3, 5})
            fixture.insertFavourite(ALICE, id, QStringLiteral("Sync"));
        fixture.insertFavourite(ALICE, 4, QStringLiteral("Deleted"));
        fixture.insertFavourite(BOB, 9, QStringLiteral("Sync"));
        QCOMPARE(query->favouriteOrderIds(ALICE, sortField, ascending), expected);
    }
};

TAVREL_CORE_TEST_MAIN(TestFavouriteStorage)
#include "tst_favouritestorage.moc"
