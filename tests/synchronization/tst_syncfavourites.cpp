// Favourites changed locally at once and pushed one at a time, the favourites list, and the two
// dictionaries, end to end against the stand-in service.
#include "coretestapplication.h"
#include "favouriteitem.h"
#include "filterlinklist.h"
#include "localservice/localservicefault.h"
#include "regionlist.h"
#include "synctest.h"

#include <QSqlQuery>

using F = Entity::FavouriteItemList;

class TestSyncFavourites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        fixture.setUp();
        fixture.service()->generate(50, 21);
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        m_login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(m_login));
        listener = std::make_unique<MailboxSpy>(fixture.engine->addFavouritesListener());
    }
    void cleanup()
    {
        listener.reset();
        fixture.destroyEngine();
        OnlineState::force(true);
    }

    void offlineChangesArePushedInOrder()
    {
        const qint64 a = orderId(1), b = orderId(2), c = orderId(3), d = orderId(4);
        fixture.service()->setFavourites(m_login, {c, d});
        synchronize();
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{c, F::Sync}, {d, F::Sync}}));

        OnlineState::force(false);
        fixture.service()->clearRequestLog();
        QVERIFY(fixture.engine->addFavourite(a));
        Clock::advance(1000);
        QVERIFY(fixture.engine->addFavourite(b));
        Clock::advance(1000);
        QVERIFY(fixture.engine->removeFavourite(c));
        // The rows change at once; the pushes give up at their pass while offline.
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{a, F::New}, {b, F::New}, {c, F::Deleted}, {d, F::Sync}}));
        TRY_VERIFY(!fixture.engine->findTask(SyncTaskType::FavouriteAdd)
                   && !fixture.engine->findTask(SyncTaskType::FavouriteRemove));
        QVERIFY(favouriteTraffic().isEmpty());

        OnlineState::force(true);
        synchronize();
        // Newest change first, one at a time, then the list.
        QCOMPARE(favouriteTraffic(), QStringLiteral("-%1 +%2 +%3 list").arg(c).arg(b).arg(a));
        const QList<qint64> onService = fixture.service()->favourites(m_login);
        QCOMPARE(QSet<qint64>(onService.begin(), onService.end()), (QSet<qint64> {a, b, d}));
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{a, F::Sync}, {b, F::Sync}, {d, F::Sync}}));
        // The orders of the favourites are stored, as viewed ones.
        QCOMPARE(fixture.query->orderType(m_login, a, Entity::OrderList::Error), Entity::OrderList::Viewed);
    }

    void addingCancelsAPendingRemoval()
    {
        const qint64 a = orderId(7);
        fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_FAVOURITE_CREATE).once());
        NetworkRequestContext *first = fixture.engine->addFavourite(a);
        QCOMPARE(fixture.engine->addFavourite(a), first);
        NetworkRequestContext *removal = fixture.engine->removeFavourite(a);
        QVERIFY(removal && removal != first);
        QVERIFY(!fixture.engine->findOrderTask(SyncTaskType::FavouriteAdd, a));
        QCOMPARE(localFavourites().value(a), int(F::Deleted));
        QVERIFY(fixture.engine->addFavourite(a));
        QVERIFY(!fixture.engine->findOrderTask(SyncTaskType::FavouriteRemove, a));
        QCOMPARE(localFavourites().value(a), int(F::New));
        TRY_COMPARE(localFavourites().value(a), int(F::Sync));
        QCOMPARE(fixture.service()->favourites(m_login), QList<qint64> {a});
        QCOMPARE(fixture.service()->requests(URL_FAVOURITE_DELETE).size(), 0);
    }

    void syncResumesAfterAPushIsDropped_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::newRow("superseded login") << QStringLiteral("superseded");
        QTest::newRow("refused login") << QStringLiteral("refused");
        QTest::newRow("failed local save") << QStringLiteral("save");
    }

    // Adding a favourite while the list request runs holds the synchronization back until the add's
    // reply; an add dropped before it was sent must not hold it back for good.
    void syncResumesAfterAPushIsDropped()
    {
        QFETCH(QString, drop);
        const qint64 a = orderId(8);
        fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_FAVOURITES).once());
        fixture.engine->syncFavouritesNow();
        TRY_COMPARE(fixture.service()->requests(URL_FAVOURITES).size(), 1);
        QVERIFY(fixture.engine->addFavourite(a));
        if (drop == QLatin1String("superseded")) {
            fixture.engine->login(m_login, LocalServiceUser::digest(SyncFixture::password()), true);
            QCOMPARE(fixture.login(m_login, SyncFixture::password()), S_OK);
        } else if (drop == QLatin1String("refused")) {
            QCOMPARE(fixture.login(m_login, QStringLiteral("wrong")), E_INVALID_USERNAME_OR_PASSWORD);
            QCOMPARE(fixture.login(m_login, SyncFixture::password()), S_OK);
        } else {
            QVERIFY(refuseInserts(TABLE_FAVOURITES));
            QVERIFY(!fixture.engine->removeFavourite(a));
            QVERIFY(refuseInserts(QString()));
        }
        QVERIFY(!fixture.engine->findTask(SyncTaskType::FavouriteAdd));
        TRY_COMPARE(fixture.service()->favourites(m_login), QList<qint64> {a});
        TRY_COMPARE(localFavourites().value(a), int(F::Sync));
    }

    void delaySyncAndAfterSyncNotice()
    {
        MailboxSpy second(fixture.engine->addFavouritesListener());
        listener->delay = true;
        fixture.engine->syncFavouritesNow();
        TRY_VERIFY(listener->count(KEY_NOTIFY_BEFORE_SYNC) >= 3);
        // Every listener is asked on every try; nothing is sent while one of them delays.
        QVERIFY(second.count(KEY_NOTIFY_BEFORE_SYNC) >= 3);
        QCOMPARE(fixture.service()->requests(URL_FAVOURITES).size(), 0);
        QCOMPARE(listener->count(KEY_NOTIFY_AFTER_SYNC), 0);
        QVERIFY(!listener->mailbox->result.contains(KEY_DELAY_SYNC));
        QVERIFY(!listener->mailbox->result.contains(KEY_NOTIFY_BEFORE_SYNC));
        listener->delay = false;
        TRY_COMPARE(listener->count(KEY_NOTIFY_AFTER_SYNC), 1);
        TRY_COMPARE(second.count(KEY_NOTIFY_AFTER_SYNC), 1);
        QCOMPARE(fixture.service()->requests(URL_FAVOURITES).size(), 1);
        const QObject *syncTask = fixture.engine->findTask(SyncTaskType::FavouritesSync);
        for (const auto &call : qAsConst(listener->calls)) {
            if (call.second.contains(KEY_NOTIFY_BEFORE_SYNC) || call.second.contains(KEY_NOTIFY_AFTER_SYNC))
                QCOMPARE(call.first, syncTask);
        }
        QVERIFY(!listener->mailbox->result.contains(KEY_NOTIFY_AFTER_SYNC));

        // A failed list is told as an error and changes nothing.
        fixture.service()->addFault(LocalServiceFault::resultCode(E_SERVER).onPath(URL_FAVOURITES));
        fixture.engine->syncFavouritesNow();
        TRY_COMPARE(listener->count(KEY_NOTIFY_ERROR), 1);
    }

    void rowInAnUnknownStateDoesNotBlock()
    {
        const qint64 odd = orderId(11), kept = orderId(12);
        fixture.service()->setFavourites(m_login, {kept});
        QSqlQuery insert(fixture.dataBase->database);
        insert.prepare(QStringLiteral("INSERT INTO %1 (OrderId, Login, State, ChangeDate) VALUES (?, ?, ?, ?)")
                           .arg(TABLE_FAVOURITES));
        for (const QVariant &value :
             {QVariant(odd), QVariant(m_login), QVariant("Bogus"), QVariant(Clock::currentDateTimeUtc())})
            insert.addBindValue(value);
        QVERIFY(insert.exec());
        synchronize();
        QCOMPARE(favouriteTraffic(), QStringLiteral("list"));
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{kept, F::Sync}}));
    }

    void failedListWriteKeepsTheLocalList_data()
    {
        QTest::addColumn<QString>("table");
        // Orders of their own: the failing insert must be the first write of each order.
        QTest::addColumn<int>("first");
        QTest::newRow("favourite row fails") << TABLE_FAVOURITES << 20;
        QTest::newRow("order row fails") << TABLE_ORDERS << 30;
    }

    void failedListWriteKeepsTheLocalList()
    {
        QFETCH(QString, table);
        QFETCH(int, first);
        const qint64 kept = orderId(first), a = orderId(first + 1), b = orderId(first + 2);
        fixture.service()->setFavourites(m_login, {kept});
        synchronize();
        fixture.service()->setFavourites(m_login, {a, b});
        QVERIFY(refuseInserts(table));
        const int notices = listener->count(KEY_NOTIFY_AFTER_SYNC);
        fixture.engine->syncFavouritesNow();
        TRY_COMPARE(listener->count(KEY_NOTIFY_ERROR), 1);
        QCOMPARE(listener->count(KEY_NOTIFY_AFTER_SYNC), notices);
        // Nothing of the half-done merge stays: the cleared rows are back, no new order is stored.
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{kept, F::Sync}}));
        QCOMPARE(fixture.query->orderType(m_login, a, Entity::OrderList::Error), Entity::OrderList::Error);

        // The transaction is closed: the next merge writes and keeps its rows.
        QVERIFY(refuseInserts(QString()));
        synchronize();
        QCOMPARE(localFavourites(), (QMap<qint64, int> {{a, F::Sync}, {b, F::Sync}}));
        QCOMPARE(fixture.query->orderType(m_login, a, Entity::OrderList::Error), Entity::OrderList::Viewed);
        QCOMPARE(committedRows(TABLE_FAVOURITES, m_login), 2);
    }

    // Which replies are failures is the parser's test; here one that is leaves the dictionaries as they were.
    void badDictionaryReplyWipesNothing()
    {
        // A good download first; a listener that names neither dictionary under its own key hears both.
        MailboxSpy both(fixture.engine->addRegionsListener());
        NetworkRequestContext *regionsOnly = fixture.engine->addBranchesListener();
        regionsOnly->parameters.insert(KEY_REGIONS, true);
        MailboxSpy regionsSpy(regionsOnly);
        fixture.engine->syncDictionariesNow();
        TRY_COMPARE(both.count(KEY_NOTIFY_AFTER_SYNC), 2);
        QCOMPARE(regionsSpy.count(KEY_NOTIFY_AFTER_SYNC), 1);
        QCOMPARE(both.count(KEY_NOTIFY_BEFORE_SYNC), 1);
        TRY_VERIFY(committedRows(TABLE_REGIONS) > 0 && committedRows(TABLE_BRANCHES) > 0);
        const int regions = committedRows(TABLE_REGIONS);
        const int branches = committedRows(TABLE_BRANCHES);
        const int mapped = Entity::FilterLinkList::regionMap().size();
        QVERIFY(mapped > 0);

        fixture.service()->addFault(LocalServiceFault::dictionaryWithoutList().onPath(URL_GEO_PLACES));
        QSqlQuery(fixture.dataBase->database)
            .exec(QStringLiteral("DELETE FROM %1 WHERE Id = (SELECT MIN(Id) FROM %1)").arg(TABLE_BRANCHES));
        const int geoRequests = fixture.service()->requests(URL_GEO_PLACES).size();
        fixture.engine->syncDictionariesNow();
        TRY_VERIFY(fixture.service()->requests(URL_GEO_PLACES).size() > geoRequests);
        // The sectors, answered well, are replaced (the deleted row is back); the regions stay.
        TRY_COMPARE(committedRows(TABLE_BRANCHES), branches);
        QCOMPARE(committedRows(TABLE_REGIONS), regions);
        QCOMPARE(Entity::FilterLinkList::regionMap().size(), mapped);
    }

private:
    qint64 orderId(int index) { return fixture.service()->data().orders().at(index).id; }
    // Local favourite rows: order id -> state.
    QMap<qint64, int> localFavourites()
    {
        QMap<qint64, int> rows;
        for (Entity::FavouriteItem *item : fixture.query->favourites(m_login, false)) {
            rows.insert(item->id, int(item->state));
            delete item;
        }
        return rows;
    }
    void synchronize()
    {
        const int notices = listener->count(KEY_NOTIFY_AFTER_SYNC);
        fixture.engine->syncFavouritesNow();
        TRY_VERIFY(listener->count(KEY_NOTIFY_AFTER_SYNC) > notices);
    }
    // The favourite pushes and list downloads the service saw, in order: "+id", "-id", "list".
    QString favouriteTraffic()
    {
        QStringList traffic;
        for (const LocalServiceRequest &request : fixture.service()->requestLog()) {
            if (request.path == URL_FAVOURITE_CREATE)
                traffic << QLatin1Char('+') + request.field(QStringLiteral("ID"));
            else if (request.path == URL_FAVOURITE_DELETE)
                traffic << QLatin1Char('-') + request.field(QStringLiteral("ID"));
            else if (request.path == URL_FAVOURITES)
                traffic << QStringLiteral("list");
        }
        return traffic.join(QLatin1Char(' '));
    }
    // The engine's own connection refuses every insert into the table (none without one), as a full
    // disk would.
    bool refuseInserts(const QString &table)
    {
        return QSqlQuery(fixture.dataBase->database)
            .exec(table.isEmpty() ? QStringLiteral("DROP TRIGGER refuseWrite")
                                  : QStringLiteral("CREATE TEMP TRIGGER refuseWrite BEFORE INSERT ON %1 BEGIN "
                                                   "SELECT RAISE(ABORT, 'disk full'); END")
                                        .arg(table));
    }
    // The rows of a table (of the subscriber's, when given) as another connection sees them,
    // that is, as committed to the file.
    int committedRows(const QString &table, const QString &login = QString())
    {
        int count = -1;
        {
            QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
            probe.setDatabaseName(fixture.dataBase->database.databaseName());
            if (probe.open()) {
                QSqlQuery query(probe);
                query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)
                              + (login.isNull() ? QString() : QStringLiteral(" WHERE Login = ?")));
                if (!login.isNull())
                    query.addBindValue(login);
                if (query.exec() && query.next())
                    count = query.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        return count;
    }

    SyncFixture fixture;
    std::unique_ptr<MailboxSpy> listener;
    QString m_login;
};

TAVREL_CORE_TEST_MAIN(TestSyncFavourites)
#include "tst_syncfavourites.moc"
