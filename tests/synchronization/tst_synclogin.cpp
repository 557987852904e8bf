// Login, offline let-in, re-login and the session, end to end against the stand-in service.
#include "appsettings.h"
#include "coretestapplication.h"
#include "localservice/localservicefault.h"
#include "syncfixture.h"

class TestSyncLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        fixture.service()->clearFaults();
        if (!fixture.service()->isListening())
            fixture.service()->resumeListening();
        fixture.service()->addUser(QStringLiteral("anna"), QStringLiteral("secret"), true);
        fixture.service()->clearRequestLog();
        fixture.createEngine();
    }
    void cleanup() { fixture.destroyEngine(); }

    void loginAccepted();
    void wrongPassword();
    void serviceDown_data();
    void serviceDown();
    void hungLogin_data();
    void hungLogin();
    void serviceComesBack_data();
    void serviceComesBack();
    void supersededLoginIsNotAnswered();
    void renewalThatCannotReachTheServiceGoesOffline();
    void dictionariesComeBackAfterARefusal();
    void refusedRenewalSilencesTheEngineUntilALogin();

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
};

void TestSyncLogin::loginAccepted()
{
    QVERIFY(engine()->sessionCookie().isNull());
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
    QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
    QCOMPARE(engine()->passwordHash(), LocalServiceUser::digest(QStringLiteral("secret")));
    QVERIFY(fixture.service()->sessions().contains(engine()->sessionCookie()));
    QVERIFY(!engine()->findTask(SyncTaskType::Login));
    // The first login on this machine keeps the display name and the paid-access flag in the row.
    QVERIFY(query()->isUserExists(QStringLiteral("anna"), LocalServiceUser::digest(QStringLiteral("secret"))));
    QVERIFY(CoreHost::instance()->fullAccess);
    QVERIFY(!query()->userName(QStringLiteral("anna")).isEmpty());
    QCOMPARE(query()->rememberedLogins(), QStringList() << QStringLiteral("anna"));
}

void TestSyncLogin::wrongPassword()
{
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("wrong")), E_INVALID_USERNAME_OR_PASSWORD);
    QVERIFY(engine()->currentLogin().isEmpty());
    QVERIFY(engine()->passwordHash().isNull());
    QVERIFY(engine()->sessionCookie().isEmpty());
    QVERIFY(!engine()->findTask(SyncTaskType::Login));
    QVERIFY(!query()->isUserExists(QStringLiteral("anna"), LocalServiceUser::digest(QStringLiteral("wrong"))));
}

void TestSyncLogin::serviceDown_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("known user is let in") << QString(QTest::currentTestFunction()) + "-known" << true << S_OK;
    QTest::newRow("unknown user is refused")
        << QString(QTest::currentTestFunction()) + "-unknown" << false << E_INVALID_USERNAME_OR_PASSWORD;
}

void TestSyncLogin::serviceDown()
{
    QFETCH(QString, login);
    QFETCH(bool, known);
    QFETCH(QString, outcome);
    if (known)
        rememberUser(login, QStringLiteral("pw"));
    fixture.service()->stopListening();
    QCOMPARE(fixture.login(login, QStringLiteral("pw")), outcome);
    if (known) {
        QCOMPARE(engine()->currentLogin(), login);
        QVERIFY(!engine()->sessionCookie().isNull());
        QVERIFY(engine()->sessionCookie().isEmpty());
        TavrelSynchronizationTask *relogin = engine()->findTask(SyncTaskType::Login);
        QVERIFY(relogin);
        QVERIFY(relogin->hasRun());
    } else {
        QVERIFY(engine()->currentLogin().isEmpty());
        QVERIFY(!engine()->findTask(SyncTaskType::Login));
    }
    // Logins are compared exactly: the same login in other letters is another user.
    fixture.createEngine();
    QCOMPARE(fixture.login(login.toUpper(), QStringLiteral("pw")), E_INVALID_USERNAME_OR_PASSWORD);
    // The digest is checked too: a known login with another password is not let in.
    QCOMPARE(fixture.login(login, QStringLiteral("other")), E_INVALID_USERNAME_OR_PASSWORD);
    QVERIFY(engine()->currentLogin().isEmpty());
}

void TestSyncLogin::hungLogin_data()
{
    serviceDown_data();
}

void TestSyncLogin::hungLogin()
{
    QFETCH(QString, login);
    QFETCH(bool, known);
    QFETCH(QString, outcome);
    if (known)
        rememberUser(login, QStringLiteral("pw"));
    fixture.service()->addFault(LocalServiceFault::hang().onPath(URL_LOGIN));
    QString answer;
    int answers = 0;
    connect(engine(), &TavrelSynchronization::authorizationReceived, this, [&](NetworkRequestContext *result) {
        answer = result->result.value(KEY_SYNC_RESULT).toString();
        ++answers;
    });
    engine()->login(login, LocalServiceUser::digest(QStringLiteral("pw")), false);
    QTRY_COMPARE_WITH_TIMEOUT(requestsOn(URL_LOGIN), 1, 20000);
    // Before its 15 s a pass leaves the login waiting.
    engine()->processTasks();
    QCoreApplication::processEvents();
    QCOMPARE(answers, 0);
    // Past the login's 15 s the request is given up and answered as not answered.
    Clock::advance(15001);
    QTRY_COMPARE_WITH_TIMEOUT(answers, 1, 10000);
    QCOMPARE(answer, outcome);
    // Not sent again as a re-login: a known user's re-login waits its 15 s.
    engine()->processTasks();
    QCoreApplication::processEvents();
    QCOMPARE(answers, 1);
    TavrelSynchronizationTask *relogin = engine()->findTask(SyncTaskType::Login);
    QCOMPARE(bool(relogin), known);
    QVERIFY(!relogin || !relogin->context() || !relogin->context()->isRunning());
    QCOMPARE(requestsOn(URL_LOGIN), 1);
}

void TestSyncLogin::serviceComesBack_data()
{
    QTest::addColumn<bool>("passwordChanged");
    QTest::newRow("re-login, then the queued work") << false;
    // Never a silent log-out: the login form comes back with its message.
    QTest::newRow("refused re-login is reported") << true;
}

void TestSyncLogin::serviceComesBack()
{
    QFETCH(bool, passwordChanged);
    rememberUser(QStringLiteral("anna"), QStringLiteral("secret"));
    fixture.service()->stopListening();
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
    NetworkRequestContext *orders = engine()->newOrdersNow();
    QVERIFY(orders);
    // Held behind the pending re-login: nothing is fetched while offline.
    engine()->processTasks();
    QVERIFY(engine()->findTask(SyncTaskType::NewOrders)->lastRun().isNull());

    if (passwordChanged)
        fixture.service()->setPassword(QStringLiteral("anna"), QStringLiteral("changed"));
    fixture.service()->clearRequestLog();
    QVERIFY(fixture.service()->resumeListening());
    QString told;
    connect(engine(), &TavrelSynchronization::authorizationReceived, this,
            [&](NetworkRequestContext *result) { told = result->result.value(KEY_SYNC_RESULT).toString(); });
    Clock::advance(15000);
    QTRY_VERIFY_WITH_TIMEOUT(!engine()->findTask(SyncTaskType::Login), 20000);
    QCOMPARE(requestsOn(URL_LOGIN), 1);
    if (passwordChanged) {
        QTRY_COMPARE_WITH_TIMEOUT(told, E_INVALID_USERNAME_OR_PASSWORD, 20000);
        QVERIFY(engine()->currentLogin().isEmpty());
        return;
    }
    QVERIFY(fixture.service()->sessions().contains(engine()->sessionCookie()));
    QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
    // Then the queued work runs with the new session.
    QTRY_VERIFY_WITH_TIMEOUT(query()->newOrdersCount(QStringLiteral("anna")) > 0, 20000);
    QCOMPARE(fixture.service()->lastRequest(URL_NEW_ORDERS_PAGE).header(HEADER_SESSION), engine()->sessionCookie());
}

void TestSyncLogin::supersededLoginIsNotAnswered()
{
    fixture.service()->addFault(LocalServiceFault::delay(1500).onPath(URL_LOGIN).once());
    QStringList outcomes;
    connect(engine(), &TavrelSynchronization::authorizationReceived, this,
            [&](NetworkRequestContext *result) { outcomes << result->result.value(KEY_SYNC_RESULT).toString(); });
    QPointer<NetworkRequestContext> first
        = engine()->login(QStringLiteral("anna"), LocalServiceUser::digest(QStringLiteral("wrong")), false);
    QTRY_COMPARE_WITH_TIMEOUT(requestsOn(URL_LOGIN), 1, 20000);
    QCOMPARE(first->result.value(KEY_SYNC_RESULT).toString(), QString());
    QString abortedCode;
    engine()->login(QStringLiteral("anna"), LocalServiceUser::digest(QStringLiteral("secret")), false);
    if (first)
        abortedCode = first->result.value(KEY_SYNC_RESULT).toString();
    QCOMPARE(abortedCode, E_ABORT_CLIENT);
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 10000);
    // The superseded request is gone, so it can never answer.
    QTRY_VERIFY_WITH_TIMEOUT(!first, 10000);
    QCOMPARE(outcomes, QStringList() << S_OK);
    QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
}

void TestSyncLogin::renewalThatCannotReachTheServiceGoesOffline()
{
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
    // The session runs out, and the renewal's login finds the service gone.
    fixture.service()->addFault(LocalServiceFault::expireSessions().onPath(URL_SEARCH).once());
    const int faultId = fixture.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_LOGIN));
    QString told;
    connect(engine(), &TavrelSynchronization::authorizationReceived, this,
            [&](NetworkRequestContext *result) { told = result->result.value(KEY_SYNC_RESULT).toString(); });
    NetworkRequestContext *search = engine()->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false);
    const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> release(search);
    QString seenResult;
    QObject receiver;
    connect(search, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
        if (argument)
            seenResult = search->result.value(KEY_RESULT).toString();
    });
    QTRY_COMPARE_WITH_TIMEOUT(seenResult, E_LOGIN_NOT_RESPOND_SERVER, 10000);
    QCOMPARE(told, S_OK);
    QCOMPARE(engine()->currentLogin(), QStringLiteral("anna"));
    QVERIFY(engine()->sessionCookie().isEmpty());
    QVERIFY(engine()->findTask(SyncTaskType::Login));

    // The re-login brings the session back.
    fixture.service()->removeFault(faultId);
    Clock::advance(15000);
    QTRY_VERIFY_WITH_TIMEOUT(!engine()->findTask(SyncTaskType::Login), 10000);
    QVERIFY(fixture.service()->sessions().contains(engine()->sessionCookie()));
}

void TestSyncLogin::dictionariesComeBackAfterARefusal()
{
    engine()->syncDictionariesNow();
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("wrong")), E_INVALID_USERNAME_OR_PASSWORD);
    QVERIFY(!engine()->findTask(SyncTaskType::DictionariesSync));
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
    QVERIFY(engine()->findTask(SyncTaskType::DictionariesSync));
    QTRY_VERIFY_WITH_TIMEOUT(requestsOn(URL_GEO_PLACES) > 0 && requestsOn(URL_ECONOMIC_SECTORS) > 0, 10000);
}

// The password was changed elsewhere: the renewal of an expired session is refused. The form is told
// once, and nothing but its own login goes out until a login is accepted.
void TestSyncLogin::refusedRenewalSilencesTheEngineUntilALogin()
{
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("secret")), S_OK);
    QStringList told;
    connect(engine(), &TavrelSynchronization::authorizationReceived, this,
            [&](NetworkRequestContext *result) { told << result->result.value(KEY_SYNC_RESULT).toString(); });
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
    QTRY_VERIFY_WITH_TIMEOUT(searchAnswered && pageAnswered, 10000);
    QCOMPARE(requestsOn(URL_LOGIN), 3);
    QCOMPARE(told, QStringList {E_INVALID_USERNAME_OR_PASSWORD});

    const int sent = fixture.service()->requestCount();
    for (int i = 0; i < 3; ++i) {
        Clock::advance(601 * 1000);
        engine()->processTasks();
        QVERIFY(!download->isRunning());
    }
    QCOMPARE(fixture.service()->requestCount(), sent);
    QCOMPARE(told.size(), 1);

    const int pages = requestsOn(URL_NEW_ORDERS_PAGE);
    QCOMPARE(fixture.login(QStringLiteral("anna"), QStringLiteral("changed")), S_OK);
    QTRY_VERIFY_WITH_TIMEOUT(requestsOn(URL_NEW_ORDERS_PAGE) > pages, 10000);
}

TAVREL_CORE_TEST_MAIN(TestSyncLogin)
#include "tst_synclogin.moc"
