// The engine's task list, scheduler pass, listener protocol and purge thread, driven by direct
// passes and the settable clock; nothing here needs the service.
#include "appsettings.h"
#include "coretestapplication.h"
#include "order.h"
#include "syncfixture.h"
#include "valuehelpers.h"

namespace {
// Warnings Qt gives when a connection is used from a thread it does not belong to.
QStringList crossThreadWarnings;
QtMessageHandler previousHandler = nullptr;
void recordCrossThreadUse(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not belong to the calling thread"))
        || message.contains(QLatin1String("database not open")))
        crossThreadWarnings << message;
    previousHandler(type, context, message);
}
} // namespace

class TestSyncScheduler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    // Offline, so that no task reaches for the service.
    void init()
    {
        OnlineState::force(false);
        fixture.createEngine();
    }
    void cleanup()
    {
        fixture.destroyEngine();
        OnlineState::force(true);
    }

    void refreshInterval_data();
    void refreshInterval();
    void intervalCountsFromTheClock();
    void loginGatesLaterPhases();
    void listenerFirstDeliveryHappensOnce();
    void listenerRegisteredDuringAPassWaitsForTheNext();
    void deletedMailboxEndsItsListener();
    void favouritesLoadTaskDeliversOnceAndEnds();
    void offlineFiltersAndDictionariesLookAgainAtOnce();
    void purgeRunsOnceOnItsOwnThread();

private:
    TavrelSynchronization *engine() { return fixture.engine.data(); }
    int countOfType(int type)
    {
        int n = 0;
        for (TavrelSynchronizationTask *task : engine()->taskList())
            n += task->type() == type ? 1 : 0;
        return n;
    }

    SyncFixture fixture;
};

void TestSyncScheduler::refreshInterval_data()
{
    QTest::addColumn<int>("given");
    QTest::addColumn<int>("expected");
    QTest::newRow("user's choice") << 900 << 900;
    QTest::newRow("zero is the default, not every tick") << 0 << 600;
    QTest::newRow("negative is the default") << -30 << 600;
}

void TestSyncScheduler::refreshInterval()
{
    QFETCH(int, given);
    QFETCH(int, expected);
    engine()->setNewOrdersRefreshInterval(1200);
    engine()->newOrdersNow();
    engine()->setNewOrdersRefreshInterval(given);
    QCOMPARE(engine()->newOrdersRefreshInterval(), expected);
    QCOMPARE(engine()->findTask(SyncTaskType::NewOrders)->interval(), expected);
}

void TestSyncScheduler::intervalCountsFromTheClock()
{
    // Offline the new-orders task sends nothing, but each run still counts.
    const QDateTime noon(QDate(2026, 3, 2), QTime(12, 0), Qt::UTC);
    Clock::setFixed(noon);
    engine()->newOrdersNow();
    TavrelSynchronizationTask *task = engine()->findTask(SyncTaskType::NewOrders);
    engine()->processTasks();
    QCOMPARE(task->lastRun(), noon);

    Clock::setFixed(noon.addSecs(599));
    engine()->processTasks();
    QCOMPARE(task->lastRun(), noon);

    Clock::setFixed(noon.addSecs(600));
    engine()->processTasks();
    QCOMPARE(task->lastRun(), noon.addSecs(600));

    // Asked for at once, it runs before its interval.
    Clock::setFixed(noon.addSecs(605));
    engine()->newOrdersNow();
    engine()->processTasks();
    QCOMPARE(task->lastRun(), noon.addSecs(605));
}

void TestSyncScheduler::loginGatesLaterPhases()
{
    engine()->ensureCleanupTask();
    TavrelSynchronizationTask *login = engine()->ensureTask(SyncTaskType::Login, false);
    NetworkRequestContext *orders = engine()->newOrdersNow();
    MailboxSpy listenerSpy(engine()->addFiltersListener());
    engine()->processTasks();
    // Pending, the login (sorted first) holds phase 2; a phase-1 listener after it still runs.
    QVERIFY(login->hasRun());
    QCOMPARE(listenerSpy.calls.size(), 1);
    QVERIFY(engine()->findTask(SyncTaskType::NewOrders)->lastRun().isNull());

    // Failed, it fails the later phases once, with the engine as the argument.
    MailboxSpy ordersSpy(orders);
    engine()->failTask(login, nullptr);
    QCOMPARE(ordersSpy.calls.size(), 1);
    QCOMPARE(ordersSpy.calls.first().argument, static_cast<QObject *>(engine()));
    QVERIFY(!engine()->findTask(SyncTaskType::Login));
    QVERIFY(!engine()->findTask(SyncTaskType::NewOrders));
    // A dormant listener is not touched; the purge, sorted before the login, stays.
    QCOMPARE(listenerSpy.calls.size(), 1);
    QVERIFY(engine()->findTask(SyncTaskType::FiltersListener));
    QVERIFY(engine()->findTask(SyncTaskType::CleanupOrders));

    engine()->processTasks();
    QCOMPARE(ordersSpy.calls.size(), 1);
    QVERIFY(engine()->newOrdersNow() != nullptr);
}

void TestSyncScheduler::listenerFirstDeliveryHappensOnce()
{
    NetworkRequestContext *mailbox = engine()->addOrderListListener(Entity::OrderList::Viewed);
    QCOMPARE(mailbox->parameters.value(KEY_LIST_TYPE).toString(), QStringLiteral("Viewed"));
    MailboxSpy spy(mailbox);
    engine()->processTasks();
    QCOMPARE(spy.calls.size(), 1);
    QCOMPARE(spy.calls.first().argument, static_cast<QObject *>(mailbox));
    QVERIFY(spy.calls.first().keys.contains(KEY_SYNC_RESULT));
    QVERIFY(!mailbox->result.contains(KEY_SYNC_RESULT));

    mailbox->result.insert(KEY_SYNC_RESULT, S_OK);
    engine()->processTasks();
    QCOMPARE(spy.calls.size(), 1);
    QVERIFY(engine()->findTask(SyncTaskType::OrderListListener));
}

void TestSyncScheduler::listenerRegisteredDuringAPassWaitsForTheNext()
{
    NetworkRequestContext *first = engine()->addFavouritesListener();
    QPointer<NetworkRequestContext> second;
    QObject context;
    connect(first, &NetworkRequestContext::replyFinished, &context,
            [&]() { second = engine()->addFavouritesListener(); });
    engine()->processTasks();
    QVERIFY(second);
    MailboxSpy spy(second);
    QCOMPARE(spy.calls.size(), 0);
    engine()->processTasks();
    QCOMPARE(spy.calls.size(), 1);
}

void TestSyncScheduler::deletedMailboxEndsItsListener()
{
    for (int i = 0; i < 3; ++i)
        delete engine()->addFiltersListener();
    NetworkRequestContext *kept = engine()->addFiltersListener();
    engine()->processTasks();
    QCOMPARE(countOfType(SyncTaskType::FiltersListener), 1);
    QCOMPARE(engine()->findTask(SyncTaskType::FiltersListener)->context(), kept);
}

void TestSyncScheduler::favouritesLoadTaskDeliversOnceAndEnds()
{
    NetworkRequestContext *mailbox = engine()->addFavouritesLoadTask();
    QVERIFY(variantIsTrue(mailbox->parameters.value(KEY_WITH_ORDERS)));
    QPointer<NetworkRequestContext> guard(mailbox);
    int calls = 0;
    int kind = -1;
    QObject context;
    connect(mailbox, &NetworkRequestContext::replyFinished, &context, [&](QObject *argument) {
        ++calls;
        kind = guard->kind;
        QCOMPARE(argument, static_cast<QObject *>(guard.data()));
        QCOMPARE(guard->result.value(KEY_SYNC_RESULT).toString(), S_OK);
    });
    engine()->processTasks();
    QCOMPARE(calls, 1);
    QCOMPARE(kind, 3);
    QVERIFY(!engine()->findTask(SyncTaskType::FavouritesLoad));
    SyncFixture::flushDeletions();
    QVERIFY(!guard);
}

void TestSyncScheduler::offlineFiltersAndDictionariesLookAgainAtOnce()
{
    engine()->syncFiltersNow();
    engine()->syncDictionariesNow();
    engine()->processTasks();
    QVERIFY(!engine()->findTask(SyncTaskType::FiltersSync)->hasRun());
    QVERIFY(!engine()->findTask(SyncTaskType::DictionariesSync)->hasRun());
}

// The purge's rules are the storage test's; here the task runs once, on its own connection and thread.
void TestSyncScheduler::purgeRunsOnceOnItsOwnThread()
{
    const QString login = QStringLiteral("purge");
    const QDateTime now = Clock::currentDateTimeUtc();
    QList<Entity::Order *> orders;
    for (const QDateTime &opened : {now.addMonths(-2), now.addDays(-3)}) {
        orders << new Entity::Order();
        orders.last()->id = orders.size();
        orders.last()->openingTime = opened;
    }
    fixture.query->saveOrdersWithType(login, orders);
    qDeleteAll(orders);

    crossThreadWarnings.clear();
    previousHandler = qInstallMessageHandler(recordCrossThreadUse);
    engine()->ensureCleanupTask();
    engine()->ensureCleanupTask();
    QCOMPARE(countOfType(SyncTaskType::CleanupOrders), 1);
    engine()->processTasks();
    QTRY_VERIFY_WITH_TIMEOUT(!engine()->isCleanupRunning(), 10000);
    qInstallMessageHandler(previousHandler);
    QVERIFY2(crossThreadWarnings.isEmpty(), qPrintable(crossThreadWarnings.join(QLatin1Char('\n'))));
    // The GUI connection goes on working after the purge.
    const std::unique_ptr<Entity::Order> old(fixture.query->order(login, 1));
    const std::unique_ptr<Entity::Order> recent(fixture.query->order(login, 2));
    QVERIFY(!old && recent);
}

TAVREL_CORE_TEST_MAIN(TestSyncScheduler)
#include "tst_syncscheduler.moc"
