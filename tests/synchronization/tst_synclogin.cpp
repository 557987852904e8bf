// Login, offline let-in, re-login and the session, end to end against the stand-in service.
#include "coretestapplication.h"
#include "localservice/localservicefault.h"
#include "synctest.h"

class TestSyncLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        fixture.service()->clearFaults();
        fixture.service()->resumeListening();
        fixture.service()->addUser(QStringLiteral("anna"), QStringLiteral("secret"), true);
        fixture.service()->clearRequestLog();
        fixture.createEngine();
        outcomes.clear();
        connect(engine(), &TavrelSynchronization::authorizationReceived, this, [this](NetworkRequestContext *result) {
            outcomes << result->result.value(KEY_SYNC_RESULT).toString();
        });
    }
    void cleanup() { fixture.destroyEngine(); }

    // A wrong password leaves nothing behind and drops the dictionaries' download; the accepted login
    // keeps the user's row (display name and paid access on the first login here) and brings it back.
    void login()
    {
        const QString digest = LocalServiceUser::digest(QStringLiteral("secret"));
        engine()->syncDictionariesNow();
        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("wrong")), E_INVALID_USERNAME_OR_PASSWORD);
        QVERIFY(engine()->currentLogin().isEmpty() && engine()->passwordHash().isNull());
        QVERIFY(engine()->sessionCookie().isEmpty() && query()->rememberedLogins().isEmpty());
        QVERIFY(!engine()->findTask(SyncTaskType::Login) && !engine()->findTask(SyncTaskType::DictionariesSync));

        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
        QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
        QCOMPARE(engine()->passwordHash(), digest);
        QVERIFY(fixture.service()->sessions().contains(engine()->sessionCookie()));
        QVERIFY(!engine()->findTask(SyncTaskType::Login));
        QVERIFY(query()->isUserExists(QStringLiteral("anna"), digest) && CoreHost::instance()->fullAccess);
        QVERIFY(!query()->userName(QStringLiteral("anna")).isEmpty());
        QCOMPARE(query()->rememberedLogins(), QStringList {QStringLiteral("anna")});
        TRY_VERIFY(requestsOn(URL_GEO_PLACES) > 0 && requestsOn(URL_ECONOMIC_SECTORS) > 0);
    }

    void serviceDown_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("known user is let in") << QString(QTest::currentTestFunction()) + "-known" << true << S_OK;
        QTest::newRow("unknown user is refused")
            << QString(QTest::currentTestFunction()) + "-unknown" << false << E_INVALID_USERNAME_OR_PASSWORD;
    }

    void serviceDown()
    {
        QFETCH(QString, login);
        QFETCH(bool, known);
        QFETCH(QString, outcome);
        if (known)
            rememberUser(login, QStringLiteral("pw"));
        fixture.service()->stopListening();
        QCOMPARE(fixture.login(login, QStringLiteral("pw")), outcome);
        QCOMPARE(engine()->currentLogin(), known ? login : QString());
        TavrelSynchronizationTask *relogin = engine()->findTask(SyncTaskType::Login);
        QCOMPARE(bool(relogin), known);
        // Let in with an empty session, not none, and a re-login that has had its first try.
        if (known)
            QVERIFY(relogin->hasRun() && !engine()->sessionCookie().isNull() && engine()->sessionCookie().isEmpty());
        // Logins are compared exactly: the same login in other letters is another user.
        fixture.createEngine();
        QCOMPARE(fixture.login(login.toUpper(), QStringLiteral("pw")), E_INVALID_USERNAME_OR_PASSWORD);
        // The digest is checked too: a known login with another password is not let in.
        QCOMPARE(fixture.login(login, QStringLiteral("other")), E_INVALID_USERNAME_OR_PASSWORD);
        QVERIFY(engine()->currentLogin().isEmpty());
    }

    void hungLogin_data() { serviceDown_data(); }

    void hungLogin()
    {
        QFETCH(QString, login);
        QFETCH(bool, known);
        QFETCH(QString, outcome);
        if (known)
            rememberUser(login, QStringLiteral("pw"));
        fixture.service()->addFault(LocalServiceFault::hang().onPath(URL_LOGIN));
        engine()->login(login, LocalServiceUser::digest(QStringLiteral("pw")), false);
        TRY_COMPARE(requestsOn(URL_LOGIN), 1);
        // Before its 15 s a pass leaves the login waiting.
        engine()->processTasks();
        QCoreApplication::processEvents();
        QVERIFY(outcomes.isEmpty());
        // Past the login's 15 s the request is given up and answered as not answered.
        Clock::advance(15001);
        TRY_COMPARE(outcomes, QStringList {outcome});
        // Not sent again as a re-login: a known user's re-login waits its 15 s.
        engine()->processTasks();
        QCoreApplication::processEvents();
        QCOMPARE(outcomes.size(), 1);
        TavrelSynchronizationTask *relogin = engine()->findTask(SyncTaskType::Login);
        QCOMPARE(bool(relogin), known);
        QVERIFY(!relogin || !relogin->context() || !relogin->context()->isRunning());
        QCOMPARE(requestsOn(URL_LOGIN), 1);
    }

    // Never a silent log-out: a re-login refused after the offline let-in brings the login form back.
    void refusedReloginIsReported()
    {
        rememberUser(QStringLiteral("anna"), QStringLiteral("secret"));
        fixture.service()->stopListening();
        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
        fixture.service()->setPassword(QStringLiteral("anna"), QStringLiteral("changed"));
        QVERIFY(fixture.service()->resumeListening());
        Clock::advance(15000);
        TRY_COMPARE(outcomes, QStringList({S_OK, E_INVALID_USERNAME_OR_PASSWORD}));
        QVERIFY(engine()->currentLogin().isEmpty());
        QVERIFY(!engine()->findTask(SyncTaskType::Login));
        QCOMPARE(requestsOn(URL_LOGIN), 1);
    }

    void renewalThatCannotReachTheServiceGoesOffline()
    {
        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
        // The session runs out, and the renewal's login finds the service gone.
        fixture.service()->addFault(LocalServiceFault::expireSessions().onPath(URL_SEARCH).once());
        const int faultId = fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_LOGIN));
        NetworkRequestContext *search = engine()->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false);
        const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> release(search);
        QString seenResult;
        QObject receiver;
        connect(search, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
            if (argument)
                seenResult = search->result.value(KEY_RESULT).toString();
        });
        TRY_COMPARE(seenResult, E_LOGIN_NOT_RESPOND_SERVER);
        QCOMPARE(outcomes, QStringList({S_OK, S_OK}));
        QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
        QVERIFY(engine()->sessionCookie().isEmpty());
        QVERIFY(engine()->findTask(SyncTaskType::Login));

        // The re-login brings the session back.
        fixture.service()->removeFault(faultId);
        Clock::advance(15000);
        TRY_VERIFY(!engine()->findTask(SyncTaskType::Login));
        QVERIFY(fixture.service()->sessions().contains(engine()->sessionCookie()));
    }

    // The password was changed elsewhere: the renewal of an expired session is refused. The form is told
    // once, and nothing but its own login goes out until a login is accepted.
    void refusedRenewalSilencesTheEngineUntilALogin()
    {
        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
        fixture.service()->setPassword(QStringLiteral("anna"), QStringLiteral("changed"));
        fixture.service()->expireAllSessions();
        // Two requests on their way meet the refusal: the form hears of it once.
        NetworkRequestContext *download = engine()->newOrdersNow();
        engine()->processTasks();
        NetworkRequestContext *search = engine()->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false);
        const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> release(search);
        bool searchAnswered = false;
        bool pageAnswered = false;
        QObject receiver;
        connect(search, &NetworkRequestContext::replyFinished, &receiver,
                [&](QObject *argument) { searchAnswered = searchAnswered || !argument; });
        connect(download, &NetworkRequestContext::replyFinished, &receiver,
                [&](QObject *argument) { pageAnswered = pageAnswered || argument; });
        TRY_VERIFY(searchAnswered && pageAnswered);
        QCOMPARE(requestsOn(URL_LOGIN), 3);
        QCOMPARE(outcomes, QStringList({S_OK, E_INVALID_USERNAME_OR_PASSWORD}));

        const int sent = fixture.service()->requestCount();
        // Nor does a favourite change: its push is dropped, the favourites synchronization sends it later.
        QVERIFY(engine()->addFavourite(1));
        for (int i = 0; i < 3; ++i) {
            Clock::advance(601 * 1000);
            engine()->processTasks();
            QVERIFY(!download->isRunning());
            QVERIFY(!engine()->findTask(SyncTaskType::FavouriteAdd));
        }
        QCOMPARE(fixture.service()->requestCount(), sent);
        QCOMPARE(outcomes.size(), 2);

        const int pages = requestsOn(URL_NEW_ORDERS_PAGE);
        QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("changed")), S_OK);
        TRY_VERIFY(requestsOn(URL_NEW_ORDERS_PAGE) > pages);
    }

private:
    TavrelSynchronization *engine() { return fixture.engine.data(); }
    TavrelDataBaseQuery *query() { return fixture.query; }
    // A user who has logged in on this machine before.
    void rememberUser(const QString &login, const QString &password)
    {
        query()->saveUser(login, LocalServiceUser::digest(password), false);
    }
    int requestsOn(const QString &path) { return fixture.service()->requests(path).size(); }

    SyncFixture fixture;
    // What the engine told the login form, in order.
    QStringList outcomes;
};

TAVREL_CORE_TEST_MAIN(TestSyncLogin)
#include "tst_synclogin.moc"
