// A new-orders page that arrives broken (cut short, garbled, or as a server error page that still
// holds its orders), end to end through the synchronization engine: nothing of it is stored, the
// download reports the page as failed, and the next download fetches it again so that every order
// is stored exactly once.
#include "../synchronization/syncfixture.h"
#include "appsettings.h"
#include "coretestapplication.h"
#include "localservice/localservicefault.h"
#include "pagerequestcontext.h"

namespace {
const QString Password = QStringLiteral("pw");
const int OrderCount = 2100; // three pages of 1,000, the last one short
} // namespace

class TestBrokenPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        fixture.setUp();
        fixture.service()->generate(OrderCount, 11);
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void cleanup() { fixture.destroyEngine(); }

    void brokenPageIsFetchedAgainAndStoredOnce_data();
    void brokenPageIsFetchedAgainAndStoredOnce();

private:
    SyncFixture fixture;
};

void TestBrokenPages::brokenPageIsFetchedAgainAndStoredOnce_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("truncated") << int(LocalServiceFault::TruncatedXml);
    QTest::newRow("malformed") << int(LocalServiceFault::MalformedXml);
    QTest::newRow("500 with the whole page") << int(LocalServiceFault::HttpStatus);
}

void TestBrokenPages::brokenPageIsFetchedAgainAndStoredOnce()
{
    QFETCH(int, fault);
    // Each row is a subscriber of its own, with nothing stored before it.
    const QString login = QStringLiteral("broken%1").arg(QTest::currentDataTag()).remove(QLatin1Char(' '));
    fixture.service()->addUser(login, Password, true);
    fixture.service()->clearFaults();
    AppSettings::setTodayDate(Clock::currentDateTime());
    TavrelSynchronization *engine = fixture.createEngine();
    QCOMPARE(fixture.login(login, Password), S_OK);

    QList<int> stored;
    int failures = 0;
    LocalServiceFault broken = fault == LocalServiceFault::TruncatedXml ? LocalServiceFault::truncatedXml()
        : fault == LocalServiceFault::MalformedXml                      ? LocalServiceFault::malformedXml()
                                                                        : LocalServiceFault::httpStatus(500);
    fixture.service()->addFault(broken.onPath(URL_NEW_ORDERS_PAGE).onPage(3).once());
    NetworkRequestContext *download = engine->newOrdersNow();
    QObject receiver;
    connect(download, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
        auto *page = qobject_cast<PageRequestContext *>(argument);
        if (!page || !download->result.contains(KEY_SYNC_RESULT)) {
            return;
        }
        if (page->result.value(KEY_RESULT).toString() == S_OK) {
            stored << page->pageNumber;
        } else {
            ++failures;
            QVERIFY(!page->result.contains(KEY_ORDERS));
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(failures, 1, 30000);
    QCOMPARE(stored, QList<int>() << 0 << 1);
    QCOMPARE(fixture.query->newOrdersCount(login), 2000);

    engine->newOrdersNow();
    QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 5, 30000);
    QCOMPARE(stored.mid(2), QList<int>() << 0 << 1 << 2);
    QCOMPARE(failures, 1);
    QCOMPARE(fixture.query->newOrdersCount(login), OrderCount);
}

TAVREL_CORE_TEST_MAIN(TestBrokenPages)
#include "tst_brokenpages.moc"
