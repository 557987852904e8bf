// New orders downloaded page by page and merged by the day's rules, the server search and the
// reading of one order, end to end against the stand-in service.
#include "appsettings.h"
#include "coretestapplication.h"
#include "localservice/localservicefault.h"
#include "order.h"
#include "pagerequestcontext.h"
#include "synctest.h"

// Follows the new-orders download as the main window does: the engine's announcements come with
// "SyncXMLResponseResult" in the download's map (the download's own report of a page does not).
class DownloadSpy : public QObject
{
public:
    explicit DownloadSpy(NetworkRequestContext *download)
    {
        connect(download, &NetworkRequestContext::replyFinished, this, [this, download](QObject *argument) {
            auto *page = qobject_cast<PageRequestContext *>(argument);
            if (!page || !download->result.contains(KEY_SYNC_RESULT))
                return;
            if (page->result.value(KEY_RESULT).toString() != S_OK)
                return void(++failures);
            pages << page->pageNumber;
            counts << download->result.value(KEY_ORDERS_NOT_IN_DB_COUNT).toInt();
        });
    }
    QList<int> pages;
    QList<int> counts;
    int failures = 0;
};

class TestSyncOrders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { m_login = fixture.newSubscriber(); }
    void cleanup() { fixture.destroyEngine(); }

    void newDayRule()
    {
        using L = Entity::OrderList;
        fixture.service()->generate(20, 3);
        const QList<qint64> id = serviceOrderIds(0, 7);

        // Day one, first download: everything is new.
        fixture.service()->setNewOrderIds({id[1], id[2], id[3], id[4]});
        QVERIFY(startEngine(true) && engine()->firstSyncToday());
        DownloadSpy day1(engine()->newOrdersNow());
        download(day1, 1);
        QCOMPARE(day1.counts.last(), 4);
        QVERIFY(!engine()->firstSyncToday());
        QCOMPARE(typesOf(id.mid(1, 4)), (QList<int> {L::New, L::New, L::New, L::New}));

        // The user looks at two orders; a later download the same day keeps "Viewed".
        setType(id[1], L::Viewed);
        setType(id[2], L::NewViewed);
        fixture.service()->setNewOrderIds({id[1], id[2], id[5]});
        Clock::advance(601 * 1000);
        download(day1, 2);
        QCOMPARE(day1.counts.last(), 1);
        QCOMPARE(typesOf(id.mid(1, 5)), (QList<int> {L::Viewed, L::New, L::New, L::New, L::New}));

        // Day two: the first download resets the marks of everything it does not bring.
        setType(id[4], L::NewViewed);
        fixture.destroyEngine();
        fixture.service()->setNewOrderIds({id[1], id[3], id[6]});
        QVERIFY(startEngine(true) && engine()->firstSyncToday());
        DownloadSpy day2(engine()->newOrdersNow());
        download(day2, 1);
        QCOMPARE(day2.counts.last(), 1);
        QCOMPARE(typesOf(id), (QList<int> {L::Error, L::New, L::Viewed, L::New, L::NewViewed, L::Viewed, L::New}));
        QVERIFY(!engine()->firstSyncDownloadRunning());

        // A second start on the same day resets nothing.
        fixture.destroyEngine();
        QVERIFY(startEngine(false) && !engine()->firstSyncToday());
    }

    // A page that fails is stored in no part and fetched again, so that every order is stored exactly once.
    void failedPageRetriesAtOnceOnlyWhenNothingWasNew()
    {
        const LocalServiceFault broken = LocalServiceFault::failPage(3).onPath(URL_NEW_ORDERS_PAGE).once();
        fixture.service()->generate(2100, 11);
        QVERIFY(startEngine(false));
        fixture.service()->addFault(broken);
        DownloadSpy spy(engine()->newOrdersNow());
        TRY_COMPARE(spy.failures, 1);
        QCOMPARE(spy.pages, QList<int>() << 0 << 1);
        // The pages before the failure had new orders: the next download waits for the interval.
        QVERIFY(engine()->findTask(SyncTaskType::NewOrders)->hasRun());
        QCOMPARE(spy.pages.size(), 2);
        QCOMPARE(fixture.query->newOrdersCount(m_login), 2000);

        // Now nothing of the first pages is new, so a failure of the last one is retried at once.
        fixture.service()->addFault(broken);
        engine()->newOrdersNow();
        TRY_COMPARE(spy.failures, 2);
        TRY_COMPARE(spy.pages.size(), 7);
        QCOMPARE(spy.pages.mid(2), QList<int>() << 0 << 1 << 0 << 1 << 2);
        QCOMPARE(spy.counts.last(), 100);
        QCOMPARE(fixture.query->newOrdersCount(m_login), 2100);
    }

    void everyDownloadCountsItsPagesAfresh()
    {
        fixture.service()->generate(1500, 13);
        QVERIFY(startEngine(false));
        DownloadSpy spy(engine()->newOrdersNow());
        download(spy, 2);
        // The list grows past what the first download's count said, and the service forgets every
        // session just before the second page: one re-login, that page again, and the rest.
        fixture.service()->addNewOrders(1000);
        fixture.service()->clearRequestLog();
        fixture.service()->addFault(LocalServiceFault::expireSessions().onPath(URL_NEW_ORDERS_PAGE).onPage(2).once());
        download(spy, 5);
        QCOMPARE(spy.pages.mid(2), QList<int>() << 0 << 1 << 2);
        QCOMPARE(spy.counts.mid(2), QList<int>() << 1000 << 0 << 0);
        QCOMPARE(spy.failures, 0);
        QCOMPARE(fixture.service()->requests(URL_LOGIN).size(), 1);
        QCOMPARE(fixture.service()->requests(URL_NEW_ORDERS_PAGE).size(), 4);
        QCOMPARE(fixture.query->newOrdersCount(m_login), 2500);
        // Done: no download is asked for again before the interval.
        QVERIFY(engine()->findTask(SyncTaskType::NewOrders)->hasRun());
    }

    // An order read before it was stored is stored, as viewed, by the time the engine reports it; a
    // search keeps the types of the orders it finds stored and stores the rest as found by a search.
    void searchKeepsStoredTypes()
    {
        fixture.service()->generate(40, 5);
        const QList<qint64> stored = serviceOrderIds(0, 10);
        const qint64 unknown = serviceOrderIds(20, 1).first();
        fixture.service()->setNewOrderIds(stored);
        QVERIFY(startEngine(false));
        DownloadSpy spy(engine()->newOrdersNow());
        download(spy, 1);
        setType(stored[1], Entity::OrderList::Viewed);
        QCOMPARE(typeOf(unknown), Entity::OrderList::Error);
        NetworkRequestContext *read = engine()->requestOrderRead(unknown);
        const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> releaseRead(read);
        // Handed back unsent: the caller connects its slot first.
        QVERIFY(!read->isRunning());
        QString storedName;
        QObject receiver;
        connect(read, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
            const std::unique_ptr<Entity::Order> order(argument == engine() ? fixture.query->order(m_login, unknown)
                                                                            : nullptr);
            storedName = order ? order->subjectFullName : storedName;
        });
        MailboxSpy readReports(read);
        read->start();
        TRY_COMPARE(readReports.calls.size(), 2);
        QCOMPARE(typeOf(unknown), Entity::OrderList::Viewed);
        QCOMPARE(storedName, fixture.service()->data().order(unknown)->customerFullName);

        NetworkRequestContext *search = engine()->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false);
        const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> release(search);
        MailboxSpy reports(search);
        TRY_COMPARE(reports.calls.size(), 2);
        QCOMPARE(reports.calls.first().first, static_cast<QObject *>(engine()));
        QCOMPARE(reports.calls.last().first, nullptr);
        QCOMPARE(search->result.value(KEY_SYNC_RESULT).toString(), S_OK);
        bool searchRows = false;
        for (const QVariant &map : search->result.value(KEY_ORDERS).toList()) {
            const qint64 orderId = map.toMap().value(KEY_ID).toLongLong();
            const int expected = orderId == stored[1] || orderId == unknown ? Entity::OrderList::Viewed
                : stored.contains(orderId)                                  ? Entity::OrderList::New
                                                                            : Entity::OrderList::Search;
            QCOMPARE(int(typeOf(orderId)), expected);
            searchRows = searchRows || expected == Entity::OrderList::Search;
        }
        QVERIFY(searchRows);
    }

    void orderKeepsItsTimesOnEveryPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("search") << QStringLiteral("search");
        QTest::newRow("favourites list") << QStringLiteral("favourites");
        QTest::newRow("order read") << QStringLiteral("read");
    }

    // The service's clock runs ahead of UTC: an order stored by any path has the times the new-orders
    // download gives it.
    void orderKeepsItsTimesOnEveryPath()
    {
        QFETCH(QString, path);
        fixture.service()->generate(10, 19);
        const qint64 id = serviceOrderIds(0, 1).first();
        fixture.service()->setNewOrderIds({id});
        QVERIFY(startEngine(false));
        QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> request;
        if (path == QLatin1String("search")) {
            request.reset(engine()->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false));
        } else if (path == QLatin1String("favourites")) {
            fixture.service()->setFavourites(m_login, {id});
            engine()->syncFavouritesNow();
        } else {
            request.reset(engine()->requestOrderRead(id));
            request->start();
        }
        TRY_VERIFY(typeOf(id) != Entity::OrderList::Error);
        const std::unique_ptr<Entity::Order> stored(fixture.query->order(m_login, id));
        DownloadSpy spy(engine()->newOrdersNow());
        download(spy, 1);
        const std::unique_ptr<Entity::Order> downloaded(fixture.query->order(m_login, id));
        QVERIFY(downloaded->openingTime.isValid() && downloaded->closingTime.isValid());
        QCOMPARE(stored->openingTime, downloaded->openingTime);
        QCOMPARE(stored->closingTime, downloaded->closingTime);
    }

    void listenerDeletedByAnotherDuringADelivery_data()
    {
        QTest::addColumn<int>("listenerType");
        QTest::addColumn<QString>("key");
        QTest::newRow("asked before a sync") << int(SyncTaskType::FavouritesListener) << KEY_NOTIFY_BEFORE_SYNC;
        QTest::newRow("told after a sync") << int(SyncTaskType::FavouritesListener) << KEY_NOTIFY_AFTER_SYNC;
        QTest::newRow("told of new orders") << int(SyncTaskType::OrderListListener) << QString();
    }

    // A window may delete another window's mailbox from its slot. The deleted one is skipped (its memory
    // is overwritten once freed in the test runs, so a late look at it crashes) and the rest are told.
    void listenerDeletedByAnotherDuringADelivery()
    {
        QFETCH(int, listenerType);
        QFETCH(QString, key);
        fixture.service()->generate(10, 17);
        QVERIFY(startEngine(false));
        const auto addListener = [&]() {
            return listenerType == SyncTaskType::FavouritesListener
                ? engine()->addFavouritesListener()
                : engine()->addOrderListListener(Entity::OrderList::New);
        };
        NetworkRequestContext *first = addListener();
        QPointer<NetworkRequestContext> second = addListener();
        MailboxSpy third(addListener());
        engine()->processTasks();
        QObject receiver;
        connect(first, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
            if (argument != first && (key.isEmpty() || first->result.contains(key)))
                delete second.data();
        });
        const int told = third.calls.size();
        if (listenerType == SyncTaskType::FavouritesListener)
            engine()->syncFavouritesNow();
        else
            engine()->newOrdersNow();
        TRY_VERIFY(!second && third.calls.size() > told);
    }

private:
    bool startEngine(bool newDay)
    {
        AppSettings::setTodayDate(newDay ? Clock::currentDateTime().addDays(-1) : Clock::currentDateTime());
        return fixture.startAs(m_login);
    }
    TavrelSynchronization *engine() { return fixture.engine.data(); }
    QList<qint64> serviceOrderIds(int from, int count)
    {
        QList<qint64> ids;
        const auto &orders = fixture.service()->data().orders();
        for (int i = from; i < from + count && i < orders.size(); ++i)
            ids << orders.at(i).id;
        return ids;
    }
    Entity::OrderList::Type typeOf(qint64 id)
    {
        return fixture.query->orderType(m_login, id, Entity::OrderList::Error);
    }
    QList<int> typesOf(const QList<qint64> &ids)
    {
        QList<int> types;
        for (qint64 id : ids)
            types << typeOf(id);
        return types;
    }
    void setType(qint64 id, Entity::OrderList::Type type)
    {
        const std::unique_ptr<Entity::Order> order(fixture.query->order(m_login, id));
        QVERIFY(order);
        order->type = type;
        QVERIFY(fixture.query->updateOrder(m_login, order.get()));
    }
    // One download: asks for it and waits until its last page has been announced.
    void download(DownloadSpy &spy, int pages)
    {
        engine()->newOrdersNow();
        TRY_COMPARE(spy.pages.size(), pages);
    }

    SyncFixture fixture;
    QString m_login;
};

TAVREL_CORE_TEST_MAIN(TestSyncOrders)
#include "tst_syncorders.moc"
