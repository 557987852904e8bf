// Paged order downloads against the stand-in service: the window of page requests around the
// current page, finished pages served from memory, dropped and failed pages, and a manager that
// goes while its pages are still on the wire.

#include "constants.h"
#include "coretestapplication.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "requesttestbed.h"
#include "tavrelsynchronization.h"

#include <QSet>

namespace {

const QString PATH_SEARCH = QStringLiteral("/api/orders/search");
const QString PATH_NEW_ORDERS = QStringLiteral("/api/orders/new");
const int ORDER_COUNT = 95;

struct Report
{
    int page = -1;
    QString code;
    int orders = -1;
    QList<int> running;
};

QSet<int> keys(const QMap<int, QPointer<NetworkRequestContext>> &pages)
{
    QSet<int> set;
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        if (it.value()) {
            set.insert(it.key());
        }
    }
    return set;
}

QSet<int> range(int from, int to)
{
    QSet<int> set;
    for (int i = from; i <= to; ++i) {
        set.insert(i);
    }
    return set;
}

} // namespace

class TestPagedRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void firstPageAloneThenWindow();
    void windowAroundCurrentPage_data();
    void windowAroundCurrentPage();
    void finishedPageServedFromMemory();
    void newOrdersWalkOnePageAtATime();
    void droppedPageBelowHalfIsDeleted();
    void droppedPageAboveHalfKeepsRunning();
    void releasedPageLeavesItsSuccessorAlone();
    void brokenFirstPageLeavesCountUnknown();
    void failedPageIsFetchedAgain_data();
    void failedPageIsFetchedAgain();
    void pageRefusedOnceIsReportedOnce();
    void engineRenewsSessionOfPage();
    void managerDestroyedWhilePagesRun();
    void resetDropsEveryPage();
    void pageCount_data();
    void pageCount();

private:
    PagedRequestManager *searchManager(int rows = 10);
    void record(PagedRequestManager *manager);
    bool waitForReports(int count, int timeoutMsecs = 10000);
    QList<int> requestedPages(const QString &path) const;

    RequestTestBed bed;
    QList<Report> reports;
};

void TestPagedRequests::initTestCase()
{
    qRegisterMetaType<NetworkRequestContext *>();
    QVERIFY(bed.setUp());
    bed.service.generate(ORDER_COUNT, 3);
    // Every generated order is still open then, so a search without words finds them all.
    bed.service.setNow(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    QVERIFY(!bed.logIn().isEmpty());
}

void TestPagedRequests::cleanupTestCase()
{
    bed.tearDown();
}

void TestPagedRequests::init()
{
    bed.service.clearFaults();
    bed.service.clearRequestLog();
    reports.clear();
}

void TestPagedRequests::cleanup()
{
    RequestTestBed::flushDeferredDeletes();
}

PagedRequestManager *TestPagedRequests::searchManager(int rows)
{
    auto *manager = qobject_cast<PagedRequestManager *>(
        bed.constructor->searchAllPagesRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, rows));
    record(manager);
    return manager;
}

void TestPagedRequests::record(PagedRequestManager *manager)
{
    connect(manager, &NetworkRequestContext::replyFinished, this, [this, manager](QObject *argument) {
        auto *page = qobject_cast<PageRequestContext *>(argument);
        QVERIFY(page);
        Report report;
        report.page = page->pageNumber;
        report.code = manager->result.value(KEY_RESULT).toString();
        report.orders = manager->result.contains(KEY_ORDERS) && manager->result.value(KEY_ORDERS).isValid()
            ? manager->result.value(KEY_ORDERS).toList().size()
            : -1;
        report.running = manager->runningPages.keys();
        reports.append(report);
    });
}

bool TestPagedRequests::waitForReports(int count, int timeoutMsecs)
{
    QElapsedTimer timer;
    timer.start();
    while (reports.size() < count && timer.elapsed() < timeoutMsecs) {
        QTest::qWait(10);
    }
    return reports.size() >= count;
}

QList<int> TestPagedRequests::requestedPages(const QString &path) const
{
    QList<int> pages;
    for (const LocalServiceRequest &request : bed.service.requests(path)) {
        if (request.method == "POST") {
            pages.append(request.field(QStringLiteral("Page")).toInt() - 1);
        }
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

void TestPagedRequests::firstPageAloneThenWindow()
{
    QScopedPointer<PagedRequestManager> manager(searchManager());
    QCOMPARE(manager->precachePageCount, 6);
    QVERIFY(manager->start());
    QCOMPARE(keys(manager->runningPages), QSet<int> {0});
    QVERIFY(waitForReports(1));
    // With the count known the rest of the window was asked for before page 0 was reported.
    QCOMPARE(reports.first().page, 0);
    QCOMPARE(reports.first().code, S_OK);
    QCOMPARE(reports.first().orders, 10);
    QCOMPARE(QSet<int>(reports.first().running.begin(), reports.first().running.end()), range(1, 6));
    QCOMPARE(manager->totalCount, ORDER_COUNT);
    QCOMPARE(manager->pageCount(), 10);
    QVERIFY(waitForReports(7));
    QTest::qWait(50);
    QCOMPARE(reports.size(), 7);
    QCOMPARE(keys(manager->finishedPages), range(0, 6));
    QVERIFY(manager->runningPages.isEmpty());
    QVERIFY(!manager->isRunning());
    QCOMPARE(requestedPages(PATH_SEARCH), (QList<int> {0, 1, 2, 3, 4, 5, 6}));
    // Every page request travelled in the engine's login wrapper.
    NetworkRequestContext *page = manager->pageRequest(3);
    QVERIFY(page && page->wrapper);
    QCOMPARE(page->wrapper->kind, int(NetworkRequestKind::LoginWrapper));
}

void TestPagedRequests::windowAroundCurrentPage_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("page 5") << 5 << 0 << 9;
    QTest::newRow("page 9") << 9 << 3 << 9;
    QTest::newRow("page 1") << 1 << 0 << 7;
}

void TestPagedRequests::windowAroundCurrentPage()
{
    QFETCH(int, current);
    QFETCH(int, from);
    QFETCH(int, to);
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(7));
    manager->setCurrentPage(current);
    QCOMPARE(manager->currentPage, current);
    const QSet<int> held = keys(manager->runningPages) + keys(manager->finishedPages);
    QVERIFY(range(from, to).subtract(held).isEmpty());
    for (int page : keys(manager->runningPages)) {
        QVERIFY(page >= from && page <= to);
    }
    // The stored current page is reported again at once.
    const int stored = current <= 6 ? 1 : 0;
    QVERIFY(waitForReports(int(range(0, 6).unite(range(from, to)).size()) + stored));
    QTest::qWait(50);
    // No page was asked for twice.
    const QList<int> pages = requestedPages(PATH_SEARCH);
    QCOMPARE(QSet<int>(pages.begin(), pages.end()).size(), pages.size());
    QCOMPARE(QSet<int>(pages.begin(), pages.end()), range(0, 6).unite(range(from, to)));
}

void TestPagedRequests::finishedPageServedFromMemory()
{
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    manager->setCurrentPage(5);
    QVERIFY(waitForReports(10));
    QTest::qWait(50);
    QCOMPARE(keys(manager->finishedPages), range(0, 9));
    const int requests = bed.service.requestCount();
    reports.clear();

    manager->setCurrentPage(2);
    // Reported at once, inside the call, from the stored page.
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().page, 2);
    QCOMPARE(reports.first().code, S_OK);
    const QVariantList orders = manager->result.value(KEY_ORDERS).toList();
    QCOMPARE(orders, manager->pageRequest(2)->result.value(KEY_ORDERS).toList());
    QTest::qWait(100);
    QCOMPARE(bed.service.requestCount(), requests);
    QCOMPARE(reports.size(), 1);

    // Setting the same page again reports nothing.
    manager->setCurrentPage(2);
    QCOMPARE(reports.size(), 1);
}

void TestPagedRequests::newOrdersWalkOnePageAtATime()
{
    QScopedPointer<PagedRequestManager> manager(
        qobject_cast<PagedRequestManager *>(bed.constructor->allNewOrdersRequest(20)));
    QVERIFY(manager);
    QList<qint64> received;
    int widestWindow = 0;
    connect(manager.data(), &NetworkRequestContext::replyFinished, this, [&](QObject *argument) {
        auto *page = qobject_cast<PageRequestContext *>(argument);
        widestWindow = qMax(widestWindow, manager->runningPages.size());
        for (const QVariant &order : manager->result.value(KEY_ORDERS).toList()) {
            received.append(order.toMap().value(KEY_ID).toLongLong());
        }
        // The engine's walk: the next page while there is one, then reset.
        const int next = page->pageNumber + 1;
        manager->setCurrentPage(next < manager->pageCount() ? next : -1);
    });
    manager->start();
    QTRY_COMPARE_WITH_TIMEOUT(manager->currentPage, -1, 10000);
    QCOMPARE(received, bed.service.newOrderIds());
    QCOMPARE(requestedPages(PATH_NEW_ORDERS), (QList<int> {0, 1, 2, 3, 4}));
    QVERIFY(widestWindow <= 1);
    QCOMPARE(manager->totalCount, ORDER_COUNT);
    QVERIFY(manager->finishedPages.isEmpty());
    for (const LocalServiceRequest &request : bed.service.requests(PATH_NEW_ORDERS)) {
        QCOMPARE(request.field(QStringLiteral("Rows")), QStringLiteral("20"));
        QCOMPARE(request.field(QStringLiteral("Version")), QStringLiteral("1.2.1.0"));
    }
}

void TestPagedRequests::droppedPageBelowHalfIsDeleted()
{
    // Page 9 (sent as 10) stalls after a few bytes.
    bed.service.addFault(LocalServiceFault::partialBody(20).onPath(PATH_SEARCH).onPage(10));
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(7));
    manager->setCurrentPage(9);
    QTRY_VERIFY(requestedPages(PATH_SEARCH).contains(9));
    QPointer<NetworkRequestContext> stalled = manager->pageRequest(9);
    QVERIFY(stalled);
    const bool reported = waitForReports(9);
    QVERIFY(reported);
    manager->setCurrentPage(0);
    QVERIFY(!manager->runningPages.contains(9));
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(stalled.isNull());
    QTest::qWait(100);
    for (const Report &report : qAsConst(reports)) {
        QVERIFY(report.page != 9);
    }
}

void TestPagedRequests::droppedPageAboveHalfKeepsRunning()
{
    // The size of page 9's reply, to stall it after three quarters of its bytes.
    NetworkRequestContext *probe
        = bed.constructor->searchPageRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 9, 10);
    QVERIFY(RequestTestBed::finish(probe));
    const int size = probe->result.value(KEY_BYTE_ARRAY).toByteArray().size();
    delete probe;
    QVERIFY(size > 100);
    bed.service.addFault(LocalServiceFault::partialBody(size * 3 / 4).onPath(PATH_SEARCH).onPage(10));
    // The access manager reports progress no sooner than 100 ms after the start.
    bed.service.addFault(LocalServiceFault::delay(250).onPath(PATH_SEARCH).onPage(10));

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
    RequestTestBed::flushDeferredDeletes();
    // Out of the window but left to finish.
    QVERIFY(!manager->runningPages.contains(9));
    QVERIFY(stalled);
    QVERIFY(stalled->isRunning());
    QCOMPARE(manager->detachedPages.size(), 1);
    // The manager goes first; the page must not reach it afterwards.
    manager.reset();
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(stalled.isNull());
    QTest::qWait(50);
}

void TestPagedRequests::releasedPageLeavesItsSuccessorAlone()
{
    bed.service.addFault(LocalServiceFault::partialBody(20).onPath(PATH_SEARCH).onPage(10).once());
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
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(dropped.isNull());
    QCOMPARE(manager->pageRequest(9), again.data());
    QVERIFY(waitForReports(11));
    QCOMPARE(reports.last().page, 9);
    QCOMPARE(reports.last().code, S_OK);
    QCOMPARE(keys(manager->finishedPages).contains(9), true);
}

void TestPagedRequests::brokenFirstPageLeavesCountUnknown()
{
    // The first half of the page still holds its "Count"; a cut-short count would end the download
    // early, so a broken page tells nothing.
    bed.service.addFault(LocalServiceFault::truncatedXml().onPath(PATH_SEARCH).onPage(1).once());
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(1));
    QCOMPARE(reports.first().code, E_SERVER);
    QCOMPARE(manager->totalCount, -1);
    QVERIFY(manager->runningPages.isEmpty());
    manager->start();
    QVERIFY(waitForReports(8));
    QCOMPARE(manager->totalCount, ORDER_COUNT);
    QCOMPARE(keys(manager->finishedPages), range(0, 6));
}

void TestPagedRequests::failedPageIsFetchedAgain_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("server error") << int(LocalServiceFault::FailPage);
    // What the document keeps of a broken body, or a whole list sent with an error status, must
    // not pass for the page.
    QTest::newRow("truncated") << int(LocalServiceFault::TruncatedXml);
    QTest::newRow("malformed") << int(LocalServiceFault::MalformedXml);
    QTest::newRow("500 with the whole page") << int(LocalServiceFault::HttpStatus);
}

void TestPagedRequests::failedPageIsFetchedAgain()
{
    QFETCH(int, fault);
    LocalServiceFault broken = fault == LocalServiceFault::FailPage ? LocalServiceFault::failPage(3)
        : fault == LocalServiceFault::TruncatedXml                  ? LocalServiceFault::truncatedXml().onPage(3)
        : fault == LocalServiceFault::MalformedXml                  ? LocalServiceFault::malformedXml().onPage(3)
                                                                    : LocalServiceFault::httpStatus(500).onPage(3);
    bed.service.addFault(broken.onPath(PATH_SEARCH).once());
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(7));
    Report failed;
    for (const Report &report : qAsConst(reports)) {
        if (report.page == 2) {
            failed = report;
        }
    }
    QCOMPARE(failed.code, E_SERVER);
    QCOMPARE(failed.orders, -1);
    QVERIFY(!manager->finishedPages.contains(2));
    QVERIFY(!manager->runningPages.contains(2));
    QCOMPARE(keys(manager->finishedPages), range(0, 6) - QSet<int> {2});
    reports.clear();

    manager->setCurrentPage(1);
    // Page 1 comes from memory at once; page 2 is asked for again, together with page 7, which the
    // window now reaches. Those two finish in either order.
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().page, 1);
    QVERIFY(waitForReports(3));
    QTest::qWait(50);
    QCOMPARE(reports.size(), 3);
    const auto again = std::find_if(reports.cbegin(), reports.cend(), [](const Report &r) { return r.page == 2; });
    QVERIFY(again != reports.cend());
    QCOMPARE(again->code, S_OK);
    QCOMPARE(again->orders, 10);
    QCOMPARE(requestedPages(PATH_SEARCH).count(2), 2);
    QCOMPARE(keys(manager->finishedPages), range(0, 7));
}

void TestPagedRequests::pageRefusedOnceIsReportedOnce()
{
    // A page wrapped with the subscriber's credentials, as the engine wraps the pages it is given.
    QScopedPointer<PagedRequestManager> manager(searchManager());
    auto *page = qobject_cast<PageRequestContext *>(
        bed.constructor->searchPageRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 4, 10));
    NetworkRequestContext *wrapper = bed.constructor->loginWrapperRequest(
        QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), page);
    page->manager = manager.data();
    manager->totalCount = ORDER_COUNT;
    manager->runningPages.insert(4, wrapper);
    bed.service.addFault(LocalServiceFault::expireSessions().onPath(PATH_SEARCH).once());
    wrapper->start();
    QVERIFY(waitForReports(1));
    QTest::qWait(100);
    QStringList paths;
    for (const LocalServiceRequest &request : bed.service.requestLog()) {
        paths.append(request.path);
    }
    QCOMPARE(paths, (QStringList {PATH_SEARCH, QStringLiteral("/api/login"), PATH_SEARCH}));
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().page, 4);
    QCOMPARE(reports.first().code, S_OK);
    QCOMPARE(manager->finishedPages.value(4).data(), wrapper);
    QVERIFY(!manager->isRunning());
}

void TestPagedRequests::engineRenewsSessionOfPage()
{
    // The engine wraps every page with the login it holds.
    QSignalSpy authorized(bed.synchronization.data(), &TavrelSynchronization::authorizationReceived);
    bed.synchronization->login(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), false);
    QVERIFY(authorized.wait(5000));
    QCOMPARE(bed.synchronization->currentLogin(), QStringLiteral("demo"));
    bed.service.clearRequestLog();
    bed.service.addFault(LocalServiceFault::expireSessions().onPath(PATH_SEARCH).once());
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(7));
    QTest::qWait(100);
    QCOMPARE(bed.service.requests(QStringLiteral("/api/login")).size(), 1);
    QCOMPARE(requestedPages(PATH_SEARCH), (QList<int> {0, 0, 1, 2, 3, 4, 5, 6}));
    int firstPageReports = 0;
    for (const Report &report : qAsConst(reports)) {
        firstPageReports += report.page == 0 ? 1 : 0;
        QCOMPARE(report.code, S_OK);
    }
    QCOMPARE(firstPageReports, 1);
    QCOMPARE(reports.size(), 7);
    QVERIFY(bed.service.sessions().contains(bed.synchronization->sessionCookie()));
}

void TestPagedRequests::managerDestroyedWhilePagesRun()
{
    bed.service.addFault(LocalServiceFault::delay(1000).onPath(PATH_SEARCH));
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QTRY_COMPARE(bed.service.requests(PATH_SEARCH).size(), 1);
    QVERIFY(manager->isRunning());
    QPointer<NetworkRequestContext> first = manager->pageRequest(0);
    manager.reset();
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(first.isNull());
    QTest::qWait(300);
    QVERIFY(reports.isEmpty());
}

void TestPagedRequests::resetDropsEveryPage()
{
    QScopedPointer<PagedRequestManager> manager(searchManager());
    manager->start();
    QVERIFY(waitForReports(7));
    QPointer<NetworkRequestContext> stored = manager->pageRequest(4);
    QVERIFY(stored);
    manager->setCurrentPage(-1);
    QCOMPARE(manager->currentPage, -1);
    QVERIFY(manager->finishedPages.isEmpty());
    QVERIFY(manager->runningPages.isEmpty());
    QCOMPARE(manager->totalCount, ORDER_COUNT);
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(stored.isNull());
    // Starting again asks for the whole window at once, the count being known.
    manager->start();
    QCOMPARE(keys(manager->runningPages), range(0, 6));
    QVERIFY(waitForReports(14));
}

void TestPagedRequests::pageCount_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::newRow("95 by 10") << 95 << 10 << 10;
    QTest::newRow("100 by 10") << 100 << 10 << 10;
    QTest::newRow("101 by 10") << 101 << 10 << 11;
    QTest::newRow("none") << 0 << 10 << 1;
    QTest::newRow("unknown") << -1 << 10 << 1;
    QTest::newRow("rows clamped") << 5 << 0 << 5;
}

void TestPagedRequests::pageCount()
{
    QFETCH(int, total);
    QFETCH(int, rows);
    QFETCH(int, pages);
    QVariantMap parameters {{PARAM_ROWS_PER_PAGE, rows}};
    QScopedPointer<PagedRequestManager> manager(qobject_cast<PagedRequestManager *>(
        bed.constructor->createRequest(NetworkRequestKind::SearchAllPages, &parameters)));
    QVERIFY(manager);
    manager->totalCount = total;
    QCOMPARE(manager->pageCount(), pages);
}

TAVREL_CORE_TEST_MAIN(TestPagedRequests)
#include "tst_pagedrequests.moc"
