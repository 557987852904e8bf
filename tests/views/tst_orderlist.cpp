// The lazy order collection and the page model, on the stand-in subscriber's local database.
#include "formtesthelpers.h"
#include "htmldelegate.h"
#include "orderslazycollection.h"
#include "ordertablerow.h"
#include "ordertablerowheader.h"
#include "testapplication.h"
#include "vieworderspaginator.h"
#include "viewsfixture.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTextDocument>

using IntList = QList<int>;
using IdList = QList<qint64>;

class TestOrderList : public QObject
{
    Q_OBJECT

    ViewsFixture fixture;

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { fixture.startSubscriber(); }
    void cleanup() { fixture.destroyEngine(); }

    void sparseStore_data()
    {
        QTest::addColumn<IntList>("sets");
        QTest::addColumn<IntList>("clears");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<IntList>("present");
        QTest::newRow("index 20 of an empty store") << IntList {20} << IntList {} << 21 << 3 << IntList {20};
        QTest::newRow("the default clears one bit")
            << IntList {8, 9, 10, 11, 12, 13, 14, 15} << IntList {9} << 16 << 2 << IntList {8, 10, 11, 12, 13, 14, 15};
        QTest::newRow("the default still grows") << IntList {} << IntList {12} << 13 << 2 << IntList {};
        QTest::newRow("negative ignored") << IntList {-1} << IntList {-3} << 0 << 0 << IntList {};
    }
    void sparseStore()
    {
        QFETCH(IntList, sets);
        QFETCH(IntList, clears);
        SparseStore<qint64> store(-1);
        for (int i : sets)
            store.set(i, 100 + i);
        for (int i : clears)
            store.set(i, -1);
        QFETCH(int, count);
        QCOMPARE(store.count, count);
        QTEST(int(store.bits.size()), "bytes");
        QFETCH(IntList, present);
        QCOMPARE(store.map.keys(), present);
        for (int i = -1; i <= count; ++i)
            QCOMPARE(store.value(i), present.contains(i) ? 100 + i : -1);
    }

    void recordsLoadOnDemandAndStayCached()
    {
        fixture.storeRange(1, 25, Entity::OrderList::New);
        auto *collection = new OrdersLazyCollection;
        collection->listTypeText = QStringLiteral("New");
        collection->sortKey = 0;
        collection->ascending = false;
        collection->reload();
        QCOMPARE(collection->ids.value(0), qint64(25));
        QVERIFY(collection->orders.map.isEmpty());
        collection->ascending = true;
        collection->reload();
        Entity::Order *last = collection->orderAt(24);
        QVERIFY(last);
        QCOMPARE(last->id, qint64(25));
        QVERIFY(fixture.removeRow(25));
        QCOMPARE(collection->orderAt(24), last);
        // A purged order reads as none, until it is back.
        QVERIFY(fixture.removeRow(3));
        QVERIFY(!collection->orderAt(2));
        QVERIFY(!collection->orders.map.contains(2));
        fixture.storeRange(3, 1, Entity::OrderList::New);
        QVERIFY(collection->orderAt(2));
        // Outside the list nothing is read and no row appears.
        QVERIFY(!collection->orderAt(25));
        QVERIFY(!collection->orderAt(-1));
        QCOMPARE(collection->count(), 25);
        // Owner-filled: an index without a record has no id.
        collection->listTypeText.clear();
        collection->orders.set(26, collection->takeOrder(24));
        collection->reload();
        QCOMPARE(collection->ids.value(24), qint64(-1));
        QCOMPARE(collection->ids.value(26), qint64(25));
        // Still-cached records go with the collection (the leak checker watches).
        delete collection;
    }

    void pagesAndHeaderRow_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("pageAfterRefresh");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("totalText");
        const QString all = QStringLiteral("lbTotalOrders lbOrderSum lbOpenTime lbCloseTime");
        QTest::newRow("23, first page") << 23 << 0 << false << 10 << 3 << 0 << all
                                        << "Всего заказов 23 (показ с 1 по 10)";
        QTest::newRow("23, last page") << 23 << 2 << false << 3 << 3 << 2 << all
                                       << "Всего заказов 23 (показ с 21 по 23)";
        QTest::newRow("20, last page full, loading") << 20 << 1 << true << 10 << 2 << 1 << "lbTotalOrders"
                                                     << "Всего заказов 20 (показ с 11 по 20)";
        QTest::newRow("shrunk to 12") << 12 << 3 << false << 2 << 2 << 1 << all
                                      << "Всего заказов 12 (показ с 11 по 12)";
        QTest::newRow("empty") << 0 << 0 << false << 1 << 0 << 0 << "lbNoOrders"
                               << "Всего заказов 0 (показ с 1 по 0)";
        QTest::newRow("shrunk to none, loading") << 0 << 3 << true << 1 << 0 << 0 << ""
                                                 << "Всего заказов 0 (показ с 1 по 0)";
    }
    void pagesAndHeaderRow()
    {
        QFETCH(int, total);
        QFETCH(int, page);
        OrdersLazyCollection collection;
        ViewOrdersModel model;
        model.pageSize = 10;
        QCOMPARE(model.rowCount(), 1);
        model.setCollection(&collection);
        collection.orders.reset(total);
        collection.ids.reset(total);
        model.setCurrentPage(page);
        QTEST(model.rowCount(), "rows");
        QTEST(model.pageCount(), "pages");
        model.refresh();
        QTEST(model.currentPage(), "pageAfterRefresh");
        // The header row: what it shows, and the range of the page.
        QFETCH(bool, loading);
        model.loading = loading;
        QWidget holder;
        OrderTableRowHeader header(&holder);
        HTMLDelegate::updateHeaderRow(&header, &model);
        holder.show();
        QStringList shown;
        for (const char *name : {"lbNoOrders", "lbLoading", "lbTotalOrders", "lbOrderSum", "lbOpenTime", "lbCloseTime"})
            if (child<QLabel>(&header, name)->isVisible())
                shown << QString::fromLatin1(name);
        QTEST(shown.join(QLatin1Char(' ')), "shown");
        QTextDocument document;
        document.setHtml(child<QLabel>(&header, "lbTotalOrders")->text());
        QTEST(document.toPlainText(), "totalText");
    }

    void starOfARowActsOnItsListIndex()
    {
        fixture.storeRange(1, 30, Entity::OrderList::New);
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator));
        paginator.setPage(2);
        auto *row = paginator.panel.findChild<OrderTableRow *>(QStringLiteral("4"));
        QVERIFY(row);
        const qint64 id = paginator.collection.ids.value(24);
        QCOMPARE(paginator.model.data(paginator.model.index(4, 0), Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Заказ № %1: %2").arg(id).arg(paginator.collection.orderAt(24)->name));
        QSignalSpy changed(&paginator, &ViewOrdersPaginator::favouriteCountChanged);
        // The marks of the other indexes are gone: the action grows the list it needs.
        Entity::FavouriteItemList::deleteAll(paginator.model.favourites.items);

        QLabel *star = child<QLabel>(row, "lbFavourite");
        emit star->linkActivated(LINK_FAVOURITE_ADD);
        QCOMPARE(changed.count(), 1);
        QVERIFY(star->text().contains(QLatin1String("favouriteFullyStar.png")));
        QVERIFY(star->text().contains(LINK_FAVOURITE_DEL));
        QVERIFY(paginator.model.favouriteItems().items.value(24));
        QCOMPARE(fixture.query->favouriteOrderIds(fixture.login, 0, true), IdList {id});

        emit star->linkActivated(LINK_FAVOURITE_DEL);
        QCOMPARE(changed.count(), 2);
        QVERIFY(star->text().contains(QLatin1String("favouriteEmptyStar.png")));
        QVERIFY(!paginator.model.favouriteItems().items.value(24));
        QVERIFY(fixture.query->favouriteOrderIds(fixture.login, 0, true).isEmpty());
    }
};

TAVREL_TEST_MAIN(TestOrderList)
#include "tst_orderlist.moc"
