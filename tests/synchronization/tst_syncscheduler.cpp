// The engine's task list, scheduler pass, listener protocol and purge thread, driven by direct
// passes and the settable clock; nothing here needs the service.
#include "coretestapplication.h"
#include "order.h"
#include "synctest.h"

#include <array>

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

    // The user's interval reaches the running task, and zero is the default, not every tick. Offline the
    // new-orders task sends nothing, but each run still counts; asked for at once, it runs before its interval.
    void intervalCountsFromTheClock()
    {
        const QDateTime noon(QDate(2026, 3, 2), QTime(12, 0), Qt::UTC);
        engine()->newOrdersNow();
        TavrelSynchronizationTask *task = engine()->findTask(SyncTaskType::NewOrders);
        engine()->setNewOrdersRefreshInterval(900);
        QCOMPARE(task->interval(), 900);
        engine()->setNewOrdersRefreshInterval(0);
        QCOMPARE(engine()->newOrdersRefreshInterval(), 600);
        QCOMPARE(task->interval(), 600);
        // Seconds after noon, asked for at once, the run seen last.
        for (const auto &step : {std::array<int, 3> {0, 0, 0}, {599, 0, 0}, {600, 0, 600}, {605, 1, 605}}) {
            Clock::setFixed(noon.addSecs(step[0]));
            if (step[1])
                engine()->newOrdersNow();
            engine()->processTasks();
            QCOMPARE(task->lastRun(), noon.addSecs(step[2]));
        }
    }

    void loginGatesLaterPhases()
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
        QCOMPARE(ordersSpy.calls.first().first, static_cast<QObject *>(engine()));
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

    // A listener is told once, at the first pass after it registered, with its own mailbox and a result
    // that is gone after the delivery; one registered during a pass waits for the next; a deleted
    // mailbox ends its listener; a favourites load ends with its one delivery.
    void listenersAreToldOnceAtTheirFirstPass()
    {
        NetworkRequestContext *viewed = engine()->addOrderListListener(Entity::OrderList::Viewed);
        QPointer<NetworkRequestContext> load = engine()->addFavouritesLoadTask();
        for (int i = 0; i < 3; ++i)
            delete engine()->addFiltersListener();
        NetworkRequestContext *kept = engine()->addFiltersListener();
        MailboxSpy spy(viewed), loadSpy(load);
        QString loadResult;
        QPointer<NetworkRequestContext> late;
        QObject receiver;
        connect(load, &NetworkRequestContext::replyFinished, &receiver, [&]() {
            loadResult = load->result.value(KEY_SYNC_RESULT).toString();
            late = engine()->addFavouritesListener();
        });
        engine()->processTasks();
        QCOMPARE(spy.calls.size(), 1);
        QCOMPARE(spy.calls.first().first, static_cast<QObject *>(viewed));
        QVERIFY(spy.calls.first().second.contains(KEY_SYNC_RESULT));
        QVERIFY(!viewed->result.contains(KEY_SYNC_RESULT));
        QCOMPARE(loadSpy.calls.size(), 1);
        QCOMPARE(loadResult, S_OK);
        QVERIFY(!engine()->findTask(SyncTaskType::FavouritesLoad));
        QCOMPARE(countOfType(SyncTaskType::FiltersListener), 1);
        QCOMPARE(engine()->findTask(SyncTaskType::FiltersListener)->context(), kept);
        MailboxSpy lateSpy(late);
        QCOMPARE(lateSpy.calls.size(), 0);

        viewed->result.insert(KEY_SYNC_RESULT, S_OK);
        engine()->processTasks();
        QCOMPARE(spy.calls.size(), 1);
        QVERIFY(engine()->findTask(SyncTaskType::OrderListListener));
        QCOMPARE(lateSpy.calls.size(), 1);
        SyncFixture::flushDeletions();
        QVERIFY(!load);
    }

    // The purge's rules are the storage test's; here the task runs once, on its own connection and thread.
    void purgeRunsOnceOnItsOwnThread()
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
        TRY_VERIFY(!engine()->isCleanupRunning());
        qInstallMessageHandler(previousHandler);
        QVERIFY2(crossThreadWarnings.isEmpty(), qPrintable(crossThreadWarnings.join(QLatin1Char('\n'))));
        // The GUI connection goes on working after the purge.
        const std::unique_ptr<Entity::Order> old(fixture.query->order(login, 1));
        const std::unique_ptr<Entity::Order> recent(fixture.query->order(login, 2));
        QVERIFY(!old && recent);
    }

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

TAVREL_CORE_TEST_MAIN(TestSyncScheduler)
#include "tst_syncscheduler.moc"
