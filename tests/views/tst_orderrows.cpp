// The lazy order collection, the page model, row widgets, the delegate, the result panel with its sort
// links and page-link strip, and the one URL policy of the program, on the stand-in subscriber's database.
#include "formtesthelpers.h"
#include "htmldelegate.h"
#include "orderslazycollection.h"
#include "ordertablerow.h"
#include "ordertablerowheader.h"
#include "testapplication.h"
#include "urlpolicy.h"
#include "vieworderspaginator.h"
#include "viewsfixture.h"

#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QTextDocument>

using IntList = QList<int>;
using IdList = QList<qint64>;

namespace {

QString plain(const QLabel *label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

} // namespace

class TestOrderRows : public QObject
{
    Q_OBJECT

    ViewsFixture fixture;

    OrderTableRow *row(ViewOrdersPaginator &paginator, int r)
    {
        return paginator.panel.findChild<OrderTableRow *>(QString::number(r));
    }
    void store(Entity::Order *order)
    {
        fixture.query->saveOrdersWithType(fixture.login, {order}, nullptr);
        delete order;
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { fixture.startSubscriber(); }
    void cleanup() { fixture.destroyEngine(); }

    void urlPolicy_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("browser");
        QTest::addColumn<QString>("appended");
        QTest::addColumn<QString>("replaced");
        const QString own = baseUrl();
        QTest::newRow("own host keeps its query")
            << own + "/order/1?x=1" << true << own + "/order/1?x=1&session=S%261" << own + "/order/1?session=S%261";
        QTest::newRow("https, capitals") << QStringLiteral("HTTPS://127.0.0.1/a") << true
                                         << QStringLiteral("https://127.0.0.1/a?session=S%261")
                                         << QStringLiteral("https://127.0.0.1/a?session=S%261");
        // Empty: the address comes back as given.
        for (const char *url : {"http://example.org/a?x=1", "file:///etc/passwd", "javascript:alert(1)"})
            QTest::newRow(url) << QString::fromLatin1(url) << (url[0] == 'h') << QString() << QString();
        QTest::newRow("internal") << LINK_ORDER_READ << false << QString() << QString();
    }
    void urlPolicy()
    {
        QFETCH(QString, url);
        const QUrl address(url);
        QTEST(UrlPolicy::isBrowserUrl(address), "browser");
        const QString session = QStringLiteral("S&1");
        QFETCH(QString, appended);
        QFETCH(QString, replaced);
        QCOMPARE(UrlPolicy::withSessionItem(address, session).toString(),
                 appended.isEmpty() ? address.toString() : appended);
        QCOMPARE(UrlPolicy::withSessionQuery(address, session).toString(),
                 replaced.isEmpty() ? address.toString() : replaced);
        QCOMPARE(UrlPolicy::sessionText(QByteArray("tok\0junk", 8)), QStringLiteral("tok"));
    }

    void serverTextShowsLiterally()
    {
        Entity::Order *order = realisticOrder(7, Entity::OrderList::New, QDateTime::currentDateTimeUtc());
        order->name = QStringLiteral("<a href=\"file:///x\">x</a> %2");
        order->region = QStringLiteral("<b>r</b>");
        order->branch = QStringLiteral("%1 & <i>b</i>");
        order->amount = QStringLiteral("%1");
        order->placementMethod = QStringLiteral("<img src=x>");
        order->url = QUrl(baseUrl() + QStringLiteral("/order/7?x=1"));
        store(order);
        // No session yet (a login let in without the service): the item is there, empty.
        fixture.engine->setSessionCookie(QByteArray());
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator));
        OrderTableRow *r = row(paginator, 0);
        QVERIFY(r);
        QLabel *name = child<QLabel>(r, "lbOrderTableName");
        QCOMPARE(plain(name), QStringLiteral("<a href=\"file:///x\">x</a> %2"));
        QCOMPARE(name->text().count(QLatin1String("<a ")), 1);
        QVERIFY(name->text().contains(QStringLiteral("href=\"%1\"").arg(LINK_ORDER_READ)));
        QCOMPARE(child<QLabel>(r, "lbOrderTableRegion")->text(), QStringLiteral("<b>r</b> "));
        QCOMPARE(plain(child<QLabel>(r, "lbOrderTableBranch")), QStringLiteral("Отрасль: %1 & <i>b</i>"));
        QCOMPARE(plain(child<QLabel>(r, "lbOrderSumValue")), QStringLiteral("%1 Российский рубль\n<img src=x>"));
        QCOMPARE(plain(child<QLabel>(r, "lbOrderTableNumber")), QStringLiteral("Заказ № 7"));
        const QString site = child<QLabel>(r, "lbGotoSite")->text();
        QCOMPARE(site.count(QLatin1String("<a ")), 1);
        QVERIFY(site.contains(QStringLiteral("/order/7?x=1&amp;session=\"")));
        // The title: the counter when there is one ("0" is none), else the list's size; text, not markup.
        paginator.setListName(QStringLiteral("<i>Новые</i>"));
        for (const char *counter : {"120", "0"}) {
            paginator.setTitle(QString::fromLatin1(counter));
            QCOMPARE(plain(child<QLabel>(&paginator.panel, "lblListName")),
                     QStringLiteral("<i>Новые</i> (%1)").arg(counter[0] == '0' ? "1" : counter));
        }
    }

    void viewedRowsAreTinted_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("tinted");
        QTest::newRow("New") << int(Entity::OrderList::New) << false;
        QTest::newRow("Viewed") << int(Entity::OrderList::Viewed) << true;
        QTest::newRow("NewViewed") << int(Entity::OrderList::NewViewed) << true;
    }
    void viewedRowsAreTinted()
    {
        QFETCH(int, type);
        fixture.storeRange(1, 2, type);
        ViewOrdersPaginator paginator;
        paginator.listType = type;
        QVERIFY(fixture.load(paginator));
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 20, 20);
        paginator.panel.delegate.paint(&painter, option, paginator.model.index(1, 0));
        painter.end();
        QFETCH(bool, tinted);
        QCOMPARE(image.pixelColor(10, 10), tinted ? QColor(245, 246, 221) : QColor(Qt::white));
    }

    void pageStrip_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("centre");
        QTest::addColumn<QString>("links");
        QTest::addColumn<int>("centreAfter");
        QTest::newRow("10") << 10 << 10 << 0 << "1" << 2;
        QTest::newRow("11") << 11 << 10 << 0 << "1 2" << 2;
        QTest::newRow("50") << 50 << 10 << 0 << "1 2 3 4 5" << 2;
        QTest::newRow("100 at 0") << 100 << 10 << 0 << "1 2 3 4 5 6 7 ..(8) 10" << 2;
        QTest::newRow("100 at 5") << 100 << 10 << 5 << "1 2 3 4 5 6 7 8 9 10" << 5;
        QTest::newRow("100 at 9") << 100 << 10 << 9 << "1 2 3 ..(4) 6 7 8 9 10" << 7;
        QTest::newRow("100 beyond") << 100 << 10 << 15 << "1 2 3 ..(4) 6 7 8 9 10" << 7;
        QTest::newRow("200 at 0") << 200 << 10 << 0 << "1 2 3 4 5 ..(8) 12 ..(16) 20" << 2;
        QTest::newRow("200 at 10") << 200 << 10 << 10 << "1 ..(3) 5 ..(7) 9 10 11 12 13 ..(14) 16 ..(18) 20" << 10;
        QTest::newRow("1000 at 50") << 1000 << 10 << 50 << "1 ..(13) 25 ..(37) 49 50 51 52 53 ..(64) 76 ..(88) 100"
                                    << 50;
        // A page size of 0 counts as 1.
        QTest::newRow("5, page size 0") << 5 << 0 << 0 << "1 2 3 4 5" << 2;
    }
    void pageStrip()
    {
        QFETCH(int, total);
        QFETCH(int, pageSize);
        QFETCH(int, centre);
        OrdersResultPanel panel;
        // The rebuild does not run the event loop: a queued call stays queued.
        bool delivered = false;
        QMetaObject::invokeMethod(
            &panel, [&delivered] { delivered = true; }, Qt::QueuedConnection);
        panel.setPagesInfo(centre, total, pageSize, centre);
        QVERIFY(!delivered);
        QStringList links;
        for (QLabel *link : panel.pagerItems()) {
            const QString text = plain(link);
            links << (text == QLatin1String("..") ? QStringLiteral("..(%1)").arg(link->objectName().toInt() + 1)
                                                  : text);
            QCOMPARE(link->text().contains(PAGE_LINK_STYLE_CURRENT), link->objectName().toInt() == centre);
        }
        QTEST(links.join(QLatin1Char(' ')), "links");
        QTEST(panel.pagerCenterPage(), "centreAfter");
        if (total != 100 || centre != 0)
            return;
        // An emptied strip is rebuilt; a jump link opens the page it stands for.
        panel.setPagesInfo(0, 0, 10, 0);
        QVERIFY(panel.pagerItems().isEmpty());
        panel.setPagesInfo(0, 100, 10, 0);
        QLabel *jump = panel.pagerItems().at(7); // "..", standing for page 8
        QSignalSpy activated(&panel, &OrdersResultPanel::pageActivated);
        emit jump->linkActivated(QStringLiteral("1"));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.first().first().toInt(), 7);
        QVERIFY(jump->isHidden());
        QCOMPARE(panel.pagerCenterPage(), 7);
    }

    void sortLinks_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<int>("deletes");
        QTest::newRow("active link flips") << QStringList {LINK_SORT_BY_ID} << 0 << false << 0;
        QTest::newRow("another keeps the direction") << QStringList {LINK_SORT_BY_DATE} << 1 << true << 0;
        QTest::newRow("twice on date") << QStringList {LINK_SORT_BY_DATE, LINK_SORT_BY_DATE} << 1 << false << 0;
        QTest::newRow("flip, then sum") << QStringList {LINK_SORT_BY_ID, LINK_SORT_BY_SUM} << 2 << false << 0;
        QTest::newRow("delete all") << QStringList {LINK_DELETE_ALL} << 0 << true << 1;
    }
    void sortLinks()
    {
        OrdersResultPanel panel;
        QSignalSpy sorted(&panel, &OrdersResultPanel::sortChanged);
        QSignalSpy deleted(&panel, &OrdersResultPanel::deleteAllActivated);
        QFETCH(QStringList, clicks);
        QLabel *byId = child<QLabel>(&panel, "lbSortById");
        const QString activeStyle = byId->styleSheet();
        for (const QString &link : clicks)
            emit byId->linkActivated(link);
        QFETCH(int, key);
        QTEST(panel.sortKey, "key");
        QTEST(panel.ascending, "ascending");
        QTEST(int(deleted.count()), "deletes");
        QCOMPARE(sorted.count(), clicks.size() - int(deleted.count()));
        const char *names[] = {"lbSortById", "lbSortByDate", "lbSortBySum"};
        for (int i = 0; i < 3; ++i) {
            QLabel *link = child<QLabel>(&panel, names[i]);
            QCOMPARE(link->styleSheet() == activeStyle, i == key);
            QCOMPARE(
                link->text().contains(panel.ascending ? QLatin1String("sortArrowUp") : QLatin1String("sortArrowDown")),
                i == key);
        }
    }

    void editorsWaitForTheShowAndTheLastResize()
    {
        fixture.storeRange(1, 5, Entity::OrderList::New);
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator, false));
        QVERIFY(paginator.panel.findChildren<OrderTableRow *>().isEmpty());
        paginator.panel.show();
        QCOMPARE(paginator.panel.findChildren<OrderTableRow *>().size(), 5);
        QSignalSpy resets(&paginator.model, &QAbstractItemModel::modelReset);
        for (int width = 1001; width < 1010; ++width)
            paginator.panel.resize(width, 600);
        QTRY_COMPARE(resets.count(), 1);
        QCOMPARE(paginator.model.rowWidth, paginator.panel.tableView()->width() - 20);
    }

    // Rows come back from the delegate's spare pool after a page of long names, or at another width:
    // each is as tall as a row built afresh for the same order.
    void reusedRowsAreSizedAfresh_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("paging back") << 0;
        QTest::newRow("narrower") << 700;
    }
    void reusedRowsAreSizedAfresh()
    {
        for (qint64 id = 1; id <= 20; ++id) {
            Entity::Order *order = realisticOrder(id, Entity::OrderList::New, QDateTime::currentDateTimeUtc());
            if (id > 10)
                order->name = order->name.repeated(8);
            store(order);
        }
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator));
        paginator.setPage(1);
        QFETCH(int, width);
        if (width > 0) {
            paginator.panel.resize(width, 700);
            paginator.panel.refreshColumnSize();
        } else {
            paginator.setPage(0);
        }
        QWidget *viewport = paginator.panel.tableView()->viewport();
        HTMLDelegate freshDelegate;
        freshDelegate.model = &paginator.model;
        for (int r = 0; r < paginator.model.rowCount(); ++r) {
            const int reused = paginator.model.rowSizes.at(r).height();
            QScopedPointer<QWidget> fresh(
                freshDelegate.createEditor(viewport, QStyleOptionViewItem(), paginator.model.index(r, 0)));
            QCOMPARE(reused, fresh->height());
        }
    }

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
        QTEST(plain(child<QLabel>(&header, "lbTotalOrders")), "totalText");
    }

    // A row's name and star act on the order at its list index, not at its row of the page.
    void rowActsOnItsListIndex()
    {
        fixture.storeRange(1, 30, Entity::OrderList::New);
        fixture.storeRange(100, 1, Entity::OrderList::Viewed);
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator));
        paginator.setPage(2);
        QTest::mouseRelease(child<QLabel>(row(paginator, 3), "lbOrderTableName"), Qt::LeftButton);
        const qint64 clicked = paginator.collection.ids.value(23);
        for (qint64 id = 1; id <= 30; ++id)
            QCOMPARE(fixture.storedType(id), id == clicked ? Entity::OrderList::Viewed : Entity::OrderList::New);
        QCOMPARE(paginator.collection.orderAt(23)->type, Entity::OrderList::Viewed);

        OrderTableRow *starred = row(paginator, 4);
        QVERIFY(starred);
        const qint64 id = paginator.collection.ids.value(24);
        QCOMPARE(paginator.model.data(paginator.model.index(4, 0), Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Заказ № %1: %2").arg(id).arg(paginator.collection.orderAt(24)->name));
        QSignalSpy changed(&paginator, &ViewOrdersPaginator::favouriteCountChanged);
        // The marks of the other indexes are gone: the action grows the list it needs.
        Entity::FavouriteItemList::deleteAll(paginator.model.favourites.items);

        QLabel *star = child<QLabel>(starred, "lbFavourite");
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

TAVREL_TEST_MAIN(TestOrderRows)
#include "tst_orderrows.moc"
