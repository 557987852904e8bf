// Row widgets, the delegate, the result panel with its sort links and page-link strip, and the one
// URL policy of the program.
#include "formtesthelpers.h"
#include "htmldelegate.h"
#include "ordertablerow.h"
#include "testapplication.h"
#include "urlpolicy.h"
#include "vieworderspaginator.h"
#include "viewsfixture.h"

#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QTextDocument>

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
        QCOMPARE(plain(child<QLabel>(&paginator.panel, "lblListName")), QStringLiteral("<i>Новые</i> (1)"));
        paginator.setTitle(QStringLiteral("120"));
        QCOMPARE(plain(child<QLabel>(&paginator.panel, "lblListName")), QStringLiteral("<i>Новые</i> (120)"));
        paginator.setTitle(QStringLiteral("0"));
        QCOMPARE(plain(child<QLabel>(&paginator.panel, "lblListName")), QStringLiteral("<i>Новые</i> (1)"));
    }

    void viewedRowsAreTinted_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("tinted");
        QTest::newRow("New") << int(Entity::OrderList::New) << false;
        QTest::newRow("Search") << int(Entity::OrderList::Search) << false;
        QTest::newRow("Viewed") << int(Entity::OrderList::Viewed) << true;
        QTest::newRow("All") << int(Entity::OrderList::All) << true;
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
        QTest::addColumn<int>("centre");
        QTest::addColumn<QString>("links");
        QTest::addColumn<int>("centreAfter");
        QTest::newRow("10") << 10 << 0 << "1" << 2;
        QTest::newRow("11") << 11 << 0 << "1 2" << 2;
        QTest::newRow("50") << 50 << 0 << "1 2 3 4 5" << 2;
        QTest::newRow("100 at 0") << 100 << 0 << "1 2 3 4 5 6 7 ..(8) 10" << 2;
        QTest::newRow("100 at 5") << 100 << 5 << "1 2 3 4 5 6 7 8 9 10" << 5;
        QTest::newRow("100 at 9") << 100 << 9 << "1 2 3 ..(4) 6 7 8 9 10" << 7;
        QTest::newRow("100 beyond") << 100 << 15 << "1 2 3 ..(4) 6 7 8 9 10" << 7;
        QTest::newRow("200 at 0") << 200 << 0 << "1 2 3 4 5 ..(8) 12 ..(16) 20" << 2;
        QTest::newRow("200 at 10") << 200 << 10 << "1 ..(3) 5 ..(7) 9 10 11 12 13 ..(14) 16 ..(18) 20" << 10;
        QTest::newRow("1000 at 50") << 1000 << 50 << "1 ..(13) 25 ..(37) 49 50 51 52 53 ..(64) 76 ..(88) 100" << 50;
    }
    void pageStrip()
    {
        QFETCH(int, total);
        QFETCH(int, centre);
        OrdersResultPanel panel;
        // The rebuild does not run the event loop: a queued call stays queued.
        bool delivered = false;
        QMetaObject::invokeMethod(
            &panel, [&delivered] { delivered = true; }, Qt::QueuedConnection);
        panel.setPagesInfo(centre, total, 10, centre);
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
    }

    void activatingAJumpLinkOpensItsPage()
    {
        OrdersResultPanel panel;
        panel.setPagesInfo(0, 100, 10, 0);
        panel.setPagesInfo(0, 0, 10, 0);
        QVERIFY(panel.pagerItems().isEmpty());
        panel.setPagesInfo(0, 100, 10, 0);
        QLabel *jump = panel.pagerItems().at(7);
        QCOMPARE(jump->objectName(), QStringLiteral("7"));
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

    void clickMarksOnlyItsOrderViewed()
    {
        fixture.storeRange(1, 25, Entity::OrderList::New);
        fixture.storeRange(100, 1, Entity::OrderList::Viewed);
        ViewOrdersPaginator paginator;
        QVERIFY(fixture.load(paginator));
        paginator.setPage(2);
        QTest::mouseRelease(child<QLabel>(row(paginator, 3), "lbOrderTableName"), Qt::LeftButton);
        const qint64 clicked = paginator.collection.ids.value(23);
        for (qint64 id = 1; id <= 25; ++id)
            QCOMPARE(fixture.storedType(id), id == clicked ? Entity::OrderList::Viewed : Entity::OrderList::New);
        QCOMPARE(paginator.collection.orderAt(23)->type, Entity::OrderList::Viewed);
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
        QTest::qWait(300);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(paginator.model.rowWidth, paginator.panel.tableView()->width() - 20);
    }
};

TAVREL_TEST_MAIN(TestOrderRows)
#include "tst_orderrows.moc"
