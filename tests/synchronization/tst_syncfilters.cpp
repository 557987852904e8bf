// Filters pushed one request per change and replaced by the service's list, with the filters
// listener's before- and after-sync notices, end to end against the stand-in service.
#include "coretestapplication.h"
#include "filter.h"
#include "filterlist.h"
#include "localservice/localservicefault.h"
#include "syncfixture.h"

class TestSyncFilters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        m_login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(m_login));
        listener = std::make_unique<MailboxSpy>(fixture.engine->addFiltersListener());
    }
    void cleanup()
    {
        listener.reset();
        fixture.destroyEngine();
    }

    void batchWithOneFailingPushLosesNothing();
    void newBatchWaitsForTheOneInFlight();
    void transientFailureKeepsTheLocalChange();
    void definiteRejectionGivesTheServiceVersion();
    void deletedFilterGoes_data();
    void deletedFilterGoes();
    void editDuringPushIsPushedAfterIt();
    void listKeepsLocalIds();

private:
    void addFilters(const QStringList &names)
    {
        Entity::FilterList list;
        for (const QString &name : names) {
            auto *filter = new Entity::Filter();
            filter->name = name;
            filter->state = Entity::FilterList::New;
            filter->changed = true;
            list.items << filter;
        }
        fixture.engine->filterChanged(list);
        for (Entity::Filter *filter : list.items)
            QVERIFY2(filter->localId >= 0, "the new local id reaches the caller's record");
        list.clear();
    }
    // Renames the filters named as the keys; an empty new name deletes the filter.
    void changeFilters(const QMap<QString, QString> &changes)
    {
        Entity::FilterList local = fixture.query->filters(m_login);
        for (Entity::Filter *filter : local.items) {
            filter->changed = changes.contains(filter->name);
            if (!filter->changed)
                continue;
            const QString newName = changes.value(filter->name);
            filter->state = newName.isEmpty() ? Entity::FilterList::Deleted : Entity::FilterList::Edited;
            if (!newName.isEmpty())
                filter->name = newName;
        }
        fixture.engine->filterChanged(local);
        local.clear();
    }
    // Local filters by name with their state text and server id.
    QMap<QString, QPair<int, qint64>> localFilters()
    {
        QMap<QString, QPair<int, qint64>> map;
        Entity::FilterList local = fixture.query->filters(m_login);
        for (Entity::Filter *filter : local.items)
            map.insert(filter->name, qMakePair(int(filter->state), filter->id));
        local.clear();
        return map;
    }
    QMap<QString, qint64> localIds()
    {
        QMap<QString, qint64> map;
        Entity::FilterList local = fixture.query->filters(m_login);
        for (Entity::Filter *filter : local.items)
            map.insert(filter->name, filter->localId);
        local.clear();
        return map;
    }
    QStringList serviceNames()
    {
        QStringList names;
        for (const LocalServiceSubscription &subscription : fixture.service()->subscriptions(m_login))
            names << subscription.field(QStringLiteral("Name"));
        names.sort();
        return names;
    }
    int afterSyncNotices() { return listener->count(KEY_NOTIFY_AFTER_SYNC); }
    // Until a list asked for here has come back and been stored. An after-sync notice does not
    // say so: the end of a push batch gives one while its list is still on the way, and that list
    // would then land on the test's next change.
    void waitForListDownload()
    {
        const int before = fixture.service()->requests(URL_SUBSCRIPTIONS).size();
        fixture.engine->syncFiltersNow();
        QTRY_VERIFY_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTIONS).size() > before && filtersSyncIdle(),
                                 10000);
    }
    bool filtersSyncIdle()
    {
        const TavrelSynchronizationTask *task = fixture.engine->findTask(SyncTaskType::FiltersSync);
        const NetworkRequestContext *request = task ? task->context() : nullptr;
        return task && task->hasRun() && !(request && request->isRunning());
    }

    SyncFixture fixture;
    std::unique_ptr<MailboxSpy> listener;
    QString m_login;
};

void TestSyncFilters::batchWithOneFailingPushLosesNothing()
{
    // The service goes away for a second just as the second create arrives (unhandled).
    fixture.service()->addFault(LocalServiceFault::stopListening(1000).onPath(URL_SUBSCRIPTION_CREATE).onNth(2).once());
    addFilters({QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")});
    QTRY_VERIFY_WITH_TIMEOUT(afterSyncNotices() >= 1, 10000);
    int pending = 0;
    for (const auto &entry : localFilters())
        pending += entry.first == Entity::FilterList::New ? 1 : 0;
    QVERIFY(pending >= 1);
    QCOMPARE(localFilters().size(), 3);
    // A create may have reached the service although its answer did not reach us.
    QVERIFY(serviceNames().size() >= 3 - pending);

    // What failed goes again (at the latest a minute later); then the service's list replaces
    // the local filters.
    QTRY_VERIFY_WITH_TIMEOUT(fixture.service()->isListening(), 5000);
    Clock::advance(61 * 1000);
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"alpha", "beta", "gamma"}), 10000);
    waitForListDownload();
    QCOMPARE(serviceNames(), QStringList({"alpha", "beta", "gamma"}));
    const auto local = localFilters();
    QCOMPARE(local.keys(), QStringList({"alpha", "beta", "gamma"}));
    for (const auto &entry : local) {
        QCOMPARE(entry.first, int(Entity::FilterList::Sync));
        QVERIFY(entry.second > 0);
    }
}

void TestSyncFilters::newBatchWaitsForTheOneInFlight()
{
    fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_SUBSCRIPTION_CREATE).once());
    addFilters({QStringLiteral("first")});
    QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1, 10000);
    // A second change while "first" is still on its way must not push "first" again.
    addFilters({QStringLiteral("second")});
    // One notice for each batch, each after its last push.
    QTRY_VERIFY_WITH_TIMEOUT(afterSyncNotices() >= 2, 15000);
    QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 2);
    QCOMPARE(serviceNames(), QStringList({"first", "second"}));
}

void TestSyncFilters::transientFailureKeepsTheLocalChange()
{
    addFilters({QStringLiteral("renamed")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"renamed"}), 10000);
    waitForListDownload();

    // In one batch the rename is lost on the way, and the service answers the new filter with a
    // refusal (after storing it all the same).
    fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_SUBSCRIPTION_UPDATE));
    fixture.service()->addFault(LocalServiceFault::resultCode(E_CLIENT).onPath(URL_SUBSCRIPTION_CREATE));
    const int lists = fixture.service()->requests(URL_SUBSCRIPTIONS).size();
    changeFilters({{QStringLiteral("renamed"), QStringLiteral("new name")}});
    addFilters({QStringLiteral("added")});
    // The refusal brings the service's list at once: the refused filter takes the service's
    // version, the rename that has not reached the service is kept.
    QTRY_VERIFY_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTIONS).size() > lists, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(localFilters().keys(), QStringList({"added", "new name"}), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(localFilters().value(QStringLiteral("added")).second > 0, 10000);
    QCOMPARE(localFilters().value(QStringLiteral("added")).first, int(Entity::FilterList::Sync));
    QCOMPARE(localFilters().value(QStringLiteral("new name")).first, int(Entity::FilterList::Edited));
    QCOMPARE(serviceNames(), QStringList({"added", "renamed"}));

    // Not on every tick: the rename goes again a minute later.
    fixture.service()->clearFaults();
    QVERIFY(fixture.engine->findTask(SyncTaskType::FiltersSync)->hasRun());
    const int updates = fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).size();
    fixture.engine->processTasks();
    QVERIFY(fixture.engine->findTask(SyncTaskType::FiltersSync)->hasRun());
    QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).size(), updates);
    Clock::advance(61 * 1000);
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"added", "new name"}), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(localFilters().value(QStringLiteral("new name")).first, int(Entity::FilterList::Sync),
                              10000);
    QCOMPARE(fixture.service()->subscriptions(m_login).size(), 2);
}

void TestSyncFilters::definiteRejectionGivesTheServiceVersion()
{
    addFilters({QStringLiteral("kept")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"kept"}), 10000);
    waitForListDownload();

    // A change of a filter the service no longer knows is refused ("E_INVALID_ID").
    Entity::FilterList ghost;
    auto *filter = new Entity::Filter();
    filter->name = QStringLiteral("ghost");
    filter->id = 987654;
    filter->state = Entity::FilterList::Edited;
    filter->changed = true;
    ghost.items << filter;
    const int lists = fixture.service()->requests(URL_SUBSCRIPTIONS).size();
    fixture.engine->filterChanged(ghost);
    ghost.clear();
    QTRY_VERIFY_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTIONS).size() > lists, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(localFilters().keys(), QStringList({"kept"}), 10000);
    QCOMPARE(localFilters().value(QStringLiteral("kept")).first, int(Entity::FilterList::Sync));
    QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).size(), 1);
}

void TestSyncFilters::deletedFilterGoes_data()
{
    QTest::addColumn<bool>("goneFromService");
    QTest::newRow("known to the service") << false;
    // "E_INVALID_ID" to a removal means the filter is gone already: done, not refused.
    QTest::newRow("already gone from the service") << true;
}

void TestSyncFilters::deletedFilterGoes()
{
    QFETCH(bool, goneFromService);
    addFilters({QStringLiteral("gone"), QStringLiteral("stays")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"gone", "stays"}), 10000);
    waitForListDownload();
    Entity::FilterList local = fixture.query->filters(m_login);
    for (Entity::Filter *filter : local.items) {
        filter->changed = filter->name == QLatin1String("gone");
        if (filter->changed) {
            filter->state = Entity::FilterList::Deleted;
            filter->id = goneFromService ? 987654 : filter->id;
        }
    }
    fixture.engine->filterChanged(local);
    local.clear();
    QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTION_DELETE).size(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(localFilters().keys(), QStringList({"stays"}), 10000);
    QCOMPARE(serviceNames(), goneFromService ? QStringList({"gone", "stays"}) : QStringList({"stays"}));
}

void TestSyncFilters::editDuringPushIsPushedAfterIt()
{
    fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_SUBSCRIPTION_CREATE).once());
    addFilters({QStringLiteral("first")});
    QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1, 10000);
    // An editor renames the filter while its create is on the way; the row stays New.
    Clock::advance(1000);
    Entity::FilterList local = fixture.query->filters(m_login);
    local.items.first()->name = QStringLiteral("renamed");
    local.items.first()->setChanged(true);
    QVERIFY(fixture.engine->filterChanged(local));
    local.clear();
    // The create's answer gives the row its id but not the Sync state; the rename follows as an update.
    QTRY_VERIFY_WITH_TIMEOUT(localFilters().value(QStringLiteral("renamed")).second > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(localFilters().value(QStringLiteral("renamed")).first, int(Entity::FilterList::Sync),
                              10000);
    QCOMPARE(serviceNames(), QStringList({"renamed"}));
    QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1);
}

void TestSyncFilters::listKeepsLocalIds()
{
    addFilters({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceNames(), QStringList({"a", "b", "c"}), 10000);
    waitForListDownload();
    const QMap<QString, qint64> before = localIds();
    // "c" has a change the service has not taken yet; "d" is new on the service.
    fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_SUBSCRIPTION_UPDATE));
    changeFilters({{QStringLiteral("c"), QStringLiteral("c2")}});
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).isEmpty(), 10000);
    LocalServiceSubscription d;
    d.setField(QStringLiteral("Name"), QStringLiteral("d"));
    fixture.service()->addSubscription(m_login, d);
    waitForListDownload();
    const QMap<QString, qint64> after = localIds();
    QCOMPARE(after.value(QStringLiteral("a")), before.value(QStringLiteral("a")));
    QCOMPARE(after.value(QStringLiteral("b")), before.value(QStringLiteral("b")));
    QCOMPARE(after.value(QStringLiteral("c2")), before.value(QStringLiteral("c")));
    QCOMPARE(localFilters().value(QStringLiteral("c2")).first, int(Entity::FilterList::Edited));
    QVERIFY(!before.values().contains(after.value(QStringLiteral("d"))));
}

TAVREL_CORE_TEST_MAIN(TestSyncFilters)
#include "tst_syncfilters.moc"
