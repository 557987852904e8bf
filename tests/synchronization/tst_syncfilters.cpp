// Filters pushed one request per change and replaced by the service's list, with the filters
// listener's before- and after-sync notices, end to end against the stand-in service.
#include "coretestapplication.h"
#include "filter.h"
#include "filterlist.h"
#include "localservice/localservicefault.h"
#include "synctest.h"

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

    // The service goes away for a second just as the second create arrives (unhandled): a create may
    // have reached it although its answer did not reach us. What failed goes again (at the latest a
    // minute later); then the service's list replaces the local filters, each one once.
    void batchWithOneFailingPushLosesNothing()
    {
        fixture.service()->addFault(
            LocalServiceFault::stopListening(1000).onPath(URL_SUBSCRIPTION_CREATE).onNth(2).once());
        addFilters({"alpha", "beta", "gamma"});
        TRY_VERIFY(listener->count(KEY_NOTIFY_AFTER_SYNC) >= 1);
        TRY_VERIFY(fixture.service()->isListening());
        Clock::advance(61 * 1000);
        TRY_COMPARE(serviceNames(), QStringList({"alpha", "beta", "gamma"}));
        waitForListDownload();
        QCOMPARE(serviceNames(), QStringList({"alpha", "beta", "gamma"}));
        QCOMPARE(localFilters().keys(), QStringList({"alpha", "beta", "gamma"}));
        for (const Entity::Filter &filter : localFilters())
            QVERIFY(filter.state == Entity::FilterList::Sync && filter.id > 0);
    }

    void transientFailureKeepsTheLocalChange()
    {
        storeOnService({"renamed"});

        // In one batch the rename is lost on the way, and the service answers the new filter with a
        // refusal (after storing it all the same).
        fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_SUBSCRIPTION_UPDATE));
        fixture.service()->addFault(LocalServiceFault::resultCode(E_CLIENT).onPath(URL_SUBSCRIPTION_CREATE));
        const int lists = fixture.service()->requests(URL_SUBSCRIPTIONS).size();
        changeFilters({{QStringLiteral("renamed"), QStringLiteral("new name")}});
        addFilters({"added"});
        // The refusal brings the service's list at once: the refused filter takes the service's
        // version, the rename that has not reached the service is kept.
        TRY_VERIFY(fixture.service()->requests(URL_SUBSCRIPTIONS).size() > lists);
        TRY_COMPARE(localFilters().keys(), QStringList({"added", "new name"}));
        TRY_VERIFY(localFilters().value("added").id > 0);
        QCOMPARE(localFilters().value("added").state, Entity::FilterList::Sync);
        QCOMPARE(localFilters().value("new name").state, Entity::FilterList::Edited);
        QCOMPARE(serviceNames(), QStringList({"added", "renamed"}));

        // Not on every tick: the rename goes again a minute later.
        fixture.service()->clearFaults();
        QVERIFY(fixture.engine->findTask(SyncTaskType::FiltersSync)->hasRun());
        const int updates = fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).size();
        fixture.engine->processTasks();
        QVERIFY(fixture.engine->findTask(SyncTaskType::FiltersSync)->hasRun());
        QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).size(), updates);
        Clock::advance(61 * 1000);
        TRY_COMPARE(serviceNames(), QStringList({"added", "new name"}));
        TRY_COMPARE(localFilters().value("new name").state, Entity::FilterList::Sync);
        QCOMPARE(fixture.service()->subscriptions(m_login).size(), 2);
    }

    void deletedFilterGoes_data()
    {
        QTest::addColumn<bool>("goneFromService");
        QTest::newRow("known to the service") << false;
        // "E_INVALID_ID" to a removal means the filter is gone already: done, not refused.
        QTest::newRow("already gone from the service") << true;
    }

    void deletedFilterGoes()
    {
        QFETCH(bool, goneFromService);
        storeOnService({"gone", "stays"});
        changeFilters({{QStringLiteral("gone"), QString()}}, goneFromService ? 987654 : 0);
        TRY_COMPARE(fixture.service()->requests(URL_SUBSCRIPTION_DELETE).size(), 1);
        TRY_COMPARE(localFilters().keys(), QStringList({"stays"}));
        QCOMPARE(serviceNames(), goneFromService ? QStringList({"gone", "stays"}) : QStringList({"stays"}));
    }

    void editDuringPushIsPushedAfterIt()
    {
        fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_SUBSCRIPTION_CREATE).once());
        addFilters({"first"});
        TRY_COMPARE(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1);
        // An editor renames the filter while its create is on the way; the row stays New.
        Clock::advance(1000);
        Entity::FilterList local = fixture.query->filters(m_login);
        local.items.first()->name = QStringLiteral("renamed");
        local.items.first()->setChanged(true);
        QVERIFY(fixture.engine->filterChanged(local));
        local.clear();
        // The create's answer gives the row its id but not the Sync state; the rename follows as an update.
        TRY_VERIFY(localFilters().value("renamed").id > 0);
        TRY_COMPARE(localFilters().value("renamed").state, Entity::FilterList::Sync);
        QCOMPARE(serviceNames(), QStringList({"renamed"}));
        QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1);
    }

    void listKeepsLocalIds()
    {
        storeOnService({"a", "b", "c"});
        const QMap<QString, Entity::Filter> before = localFilters();
        // "c" has a change the service has not taken yet; "d" is new on the service.
        fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_SUBSCRIPTION_UPDATE));
        changeFilters({{QStringLiteral("c"), QStringLiteral("c2")}});
        TRY_VERIFY(!fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).isEmpty());
        LocalServiceSubscription d;
        d.setField(QStringLiteral("Name"), QStringLiteral("d"));
        fixture.service()->addSubscription(m_login, d);
        waitForListDownload();
        const QMap<QString, Entity::Filter> after = localFilters();
        QCOMPARE(after.value("a").localId, before.value("a").localId);
        QCOMPARE(after.value("b").localId, before.value("b").localId);
        QCOMPARE(after.value("c2").localId, before.value("c").localId);
        QCOMPARE(after.value("c2").state, Entity::FilterList::Edited);
        for (const Entity::Filter &filter : before)
            QVERIFY(filter.localId != after.value("d").localId);
    }

private:
    // Records of the given names pushed as an editor does: new ones, or changes of records the
    // service knows under the given id.
    void addFilters(const QStringList &names, Entity::FilterList::State state = Entity::FilterList::New, qint64 id = -1)
    {
        Entity::FilterList list;
        for (const QString &name : names) {
            list.items << new Entity::Filter();
            list.items.last()->name = name;
            list.items.last()->state = state;
            list.items.last()->id = id;
        }
        fixture.engine->filterChanged(list);
        for (Entity::Filter *filter : list.items)
            QVERIFY2(filter->localId >= 0, "the new local id reaches the caller's record");
        list.clear();
    }
    // New filters, taken by the service and back in the service's list.
    void storeOnService(const QStringList &names)
    {
        addFilters(names);
        TRY_COMPARE(serviceNames(), names);
        waitForListDownload();
    }
    // Renames the filters named as the keys; an empty new name deletes the filter. A given id replaces
    // theirs.
    void changeFilters(const QMap<QString, QString> &changes, qint64 id = 0)
    {
        Entity::FilterList local = fixture.query->filters(m_login);
        for (Entity::Filter *filter : local.items) {
            filter->changed = changes.contains(filter->name);
            if (!filter->changed)
                continue;
            const QString newName = changes.value(filter->name);
            filter->state = newName.isEmpty() ? Entity::FilterList::Deleted : Entity::FilterList::Edited;
            filter->name = newName.isEmpty() ? filter->name : newName;
            filter->id = id ? id : filter->id;
        }
        fixture.engine->filterChanged(local);
        local.clear();
    }
    // Local filters by name.
    QMap<QString, Entity::Filter> localFilters()
    {
        QMap<QString, Entity::Filter> map;
        Entity::FilterList local = fixture.query->filters(m_login);
        for (Entity::Filter *filter : local.items)
            map.insert(filter->name, *filter);
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
    // Until a list asked for here has come back and been stored. An after-sync notice does not
    // say so: the end of a push batch gives one while its list is still on the way, and that list
    // would then land on the test's next change.
    void waitForListDownload()
    {
        const int before = fixture.service()->requests(URL_SUBSCRIPTIONS).size();
        fixture.engine->syncFiltersNow();
        TRY_VERIFY(fixture.service()->requests(URL_SUBSCRIPTIONS).size() > before && filtersSyncIdle());
    }
    bool filtersSyncIdle()
    {
        const TavrelSynchronizationTask *task = fixture.engine->findTask(SyncTaskType::FiltersSync);
        return task && task->hasRun() && !(task->context() && task->context()->isRunning());
    }

    SyncFixture fixture;
    std::unique_ptr<MailboxSpy> listener;
    QString m_login;
};

TAVREL_CORE_TEST_MAIN(TestSyncFilters)
#include "tst_syncfilters.moc"
