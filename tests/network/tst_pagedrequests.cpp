// Paged order downloads against the stand-in service: the window of page requests around the
// current page, finished pages served from memory, dropped and failed pages, and a manager that
// goes while its pages are still on the wire. How a broken page reads is the parser's test.

#include "coretestapplication.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "syncfixture.h"

namespace {

const int ORDER_COUNT = 95;

struct Report
{
    int page = -1;
    QString code;
    int orders = -1;
    QList<int> running;
};

// The pages whose requests are still there.
QSet<int> keys(const QMap<int, QPointer<NetworkRequestContext>> &pages)
{
    QSet<int> set;
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it)
        set += it.value() ? QSet<int> {it.key()} : QSet<int>();
    return set;
}

QSet<int> range(int from, int to)
{
    QSet<int> set;
    for (int i = from; i <= to; ++i)
        set.insert(i);
    return set;
}
} // namespace

class TestPagedRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<NetworkRequestContext *>();
        bed.setUp();
        bed.createEngine();
        bed.service()->generate(ORDER_COUNT, 3);
        // Every generated order is still open then, so a search without words finds them all.
        bed.service()->setNow(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
        bed.engine->setSessionCookie(bed.service()->openSession(QStringLiteral("demo")));
    }

    void cleanupTestCase() { bed.tearDown(); }

    void init()
    {
        bed.service()->clearFaults();
        bed.service()->clearRequestLog();
        reports.clear();
    }

    void cleanup() { SyncFixture::flushDeletions(); }

    void windowAroundCurrentPage_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("page 9") << 9 << 3 << 9;
        QTest::newRow("page 1") << 1 << 0 << 7;
    }

    void windowAroundCurrentPage()
    {
        QFETCH(int, current);
        QFETCH(int, from);
        QFETCH(int, to);
        QScopedPointer<PagedRequestManager> manager(searchManager());
        QCOMPARE(manager->precachePageCount, 6);
        QVERIFY(manager->start());
        QCOMPARE(keys(manager->runningPages), QSet<int> {0});
        QVERIFY(waitForReports(1));
        // With the count known the rest of the window was asked for before page 0 was reported.
        QCOMPARE(reports.first().orders, 10);
        QCOMPARE(QSet<int>(reports.first().running.begin(), reports.first().running.end()), range(1, 6));
        QCOMPARE(manager->pageCount(), 10);
        QVERIFY(waitForReports(7));
        QCOMPARE(keys(manager->finishedPages), range(0, 6));
        // Every page request travelled in the engine's login wrapper.
        QCOMPARE(manager->pageRequest(3)->wrapper->kind, int(NetworkRequestKind::LoginWrapper));

        manager->setCurrentPage(current);
        QCOMPARE(manager->currentPage, current);
        const QSet<int> held = keys(manager->runningPages) + keys(manager->finishedPages);
        QVERIFY(range(from, to).subtract(held).isEmpty());
        for (int page : keys(manager->runningPages))
            QVERIFY(page >= from && page <= to);
        // The stored current page is reported again at once.
        const int stored = current <= 6 ? 1 : 0;
        QVERIFY(waitForReports(int(range(0, 6).unite(range(from, to)).size()) + stored));
        // No page was asked for twice.
        const QList<int> pages = requestedPages();
        QCOMPARE(QSet<int>(pages.begin(), pages.end()).size(), pages.size());
        QCOMPARE(QSet<int>(pages.begin(), pages.end()), range(0, 6).unite(range(from, to)));

        // A finished page is reported at once, inside the call, from memory; the same page again reports nothing.
        QTRY_VERIFY(!manager->isRunning());
        reports.clear();
        manager->setCurrentPage(from);
        manager->setCurrentPage(from);
        QCOMPARE(reports.size(), 1);
        QCOMPARE(manager->result.value(KEY_ORDERS), manager->pageRequest(from)->result.value(KEY_ORDERS));
        QCOMPARE(requestedPages().size(), pages.size());
    }

    void droppedPageAboveHalfKeepsRunning()
    {
        // The size of page 9's reply, to stall it after three quarters of its bytes.
        NetworkRequestContext *probe
            = bed.constructor()->searchPageRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 9, 10);
        QVERIFY(SyncFixture::finish(probe));
        const int size = probe->result.value(KEY_BYTE_ARRAY).toByteArray().size();
        delete probe;
        QVERIFY(size > 100);
        bed.service()->addFault(LocalServiceFault::partialBody(size * 3 / 4).onPath(URL_SEARCH).onPage(10));
        // The access manager reports progress no sooner than 100 ms after the start.
        bed.service()->addFault(LocalServiceFault::delay(250).onPath(URL_SEARCH).onPage(10));

        QScopedPointer<PagedRequestManager> manager(searchManager());
        manager->start();
        QVERIFY(waitForReports(7));
        manager->setCurrentPage(9);
        QVERIFY(waitForReports(9));
        QPointer<NetworkRequestContext> stalled = manager->pageRequest(9);
        QVERIFY(stalled);
        auto *page = qobject_cast<PageRequestContext *>(stalled.data());
        QTRY_VERIFY(page->bytesReceived >= page->bytesTotal / 2 && page->bytesTotal > 0);
        manager->setCurrentPage(0);
        SyncFixture::flushDeletions();
        // Out of the window but left to finish.
        QVERIFY(!manager->runningPages.contains(9));
        QVERIFY(stalled);
        QVERIFY(stalled->isRunning());
        QCOMPARE(manager->detachedPages.size(), 1);
        // The manager goes first; the page must not reach it afterwards.
        manager.reset();
        SyncFixture::flushDeletions();
        QVERIFY(stalled.isNull());
    }

    void releasedPageLeavesItsSuccessorAlone()
    {
        bed.service()->addFault(LocalServiceFault::partialBody(20).onPath(URL_SEARCH).onPage(10).once());
        QScopedPointer<PagedRequestManager> manager(searchManager());
        manager->start();
        QVERIFY(waitForReports(7));
        manager->setCurrentPage(9);
        QVERIFY(waitForReports(9));
        QPointer<NetworkRequestContext> dropped = manager->pageRequest(9);
        QVERIFY(dropped);
        // Dropped below half of its bytes, then asked for again before the dropped one is deleted:
        // going, it must not take the new request's entry with it.
        manager->setCurrentPage(0);
        manager->setCurrentPage(9);
        QPointer<NetworkRequestContext> again = manager->pageRequest(9);
        QVERIFY(again && again != dropped);
        SyncFixture::flushDeletions();
        QVERIFY(dropped.isNull());
        QCOMPARE(manager->pageRequest(9), again.data());
        QVERIFY(waitForReports(11));
        QCOMPARE(reports.last().page, 9);
        QCOMPARE(reports.last().code, S_OK);
    }

    void brokenFirstPageLeavesCountUnknown()
    {
        // The first half of the page still holds its "Count"; a cut-short count would end the download
        // early, so a broken page tells nothing.
        bed.service()->addFault(LocalServiceFault::truncatedXml().onPath(URL_SEARCH).onPage(1).once());
        QScopedPointer<PagedRequestManager> manager(searchManager());
        manager->start();
        QVERIFY(waitForReports(1));
        QCOMPARE(reports.first().code, E_SERVER);
        QCOMPARE(manager->totalCount, -1);
        manager->start();
        QVERIFY(waitForReports(8));
        QCOMPARE(manager->totalCount, ORDER_COUNT);
    }

    void failedPageIsFetchedAgain()
    {
        bed.service()->addFault(LocalServiceFault::failPage(3).onPath(URL_SEARCH).once());
        QScopedPointer<PagedRequestManager> manager(searchManager());
        manager->start();
        QVERIFY(waitForReports(7));
        const auto failed = std::find_if(reports.cbegin(), reports.cend(), [](const Report &r) { return r.page == 2; });
        QVERIFY(failed != reports.cend() && failed->code == E_SERVER && failed->orders == -1);
        QCOMPARE(keys(manager->finishedPages), range(0, 6) - QSet<int> {2});
        reports.clear();

        manager->setCurrentPage(1);
        // Page 1 comes from memory at once; page 2 is asked for again, together with page 7, which the
        // window now reaches. Those two finish in either order.
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().page, 1);
        QVERIFY(waitForReports(3));
        const auto again = std::find_if(reports.cbegin(), reports.cend(), [](const Report &r) { return r.page == 2; });
        QVERIFY(again != reports.cend());
        QCOMPARE(again->code, S_OK);
        QCOMPARE(again->orders, 10);
        QCOMPARE(keys(manager->finishedPages), range(0, 7));
    }

    void managerDestroyedWhilePagesRun()
    {
        bed.service()->addFault(LocalServiceFault::hang().onPath(URL_SEARCH));
        QScopedPointer<PagedRequestManager> manager(searchManager());
        manager->start();
        QTRY_COMPARE(bed.service()->requests(URL_SEARCH).size(), 1);
        QVERIFY(manager->isRunning());
        QPointer<NetworkRequestContext> first = manager->pageRequest(0);
        manager.reset();
        SyncFixture::flushDeletions();
        QVERIFY(first.isNull());
        QVERIFY(reports.isEmpty());
    }

private:
    // A paged search of every open order, ten to a page, whose reports are recorded.
    PagedRequestManager *searchManager()
    {
        auto *manager = qobject_cast<PagedRequestManager *>(
            bed.constructor()->searchAllPagesRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 10));
        connect(manager, &NetworkRequestContext::replyFinished, this, [this, manager](QObject *argument) {
            auto *page = qobject_cast<PageRequestContext *>(argument);
            QVERIFY(page);
            const QVariant orders = manager->result.value(KEY_ORDERS);
            reports.append({page->pageNumber, manager->result.value(KEY_RESULT).toString(),
                            orders.isValid() ? orders.toList().size() : -1, manager->runningPages.keys()});
        });
        return manager;
    }
    bool waitForReports(int count)
    {
        return QTest::qWaitFor([&]() { return reports.size() >= count; }, 10000);
    }
    // The pages asked for, in order.
    QList<int> requestedPages() const
    {
        QList<int> pages;
        for (const LocalServiceRequest &request : bed.service()->requests(URL_SEARCH))
            pages.append(request.field(QStringLiteral("Page")).toInt() - 1);
        std::sort(pages.begin(), pages.end());
        return pages;
    }

    SyncFixture bed;
    QList<Report> reports;
};

TAVREL_CORE_TEST_MAIN(TestPagedRequests)
#include "tst_pagedrequests.moc"
