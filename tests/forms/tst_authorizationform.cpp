#include "appsettings.h"
#include "authorizationform.h"
#include "clickablelabel.h"
#include "clock.h"
#include "constants.h"
#include "database.h"
#include "localservicefixture.h"
#include "mainwindow.h"
#include "networkrequestconstructor.h"
#include "proxysettingswidget.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkConfigurationManager>
#include <QPushButton>
#include <QSqlQuery>

#include <memory>

template<typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The login form against the stand-in service, with the program's real objects behind it.
class TestAuthorizationForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void passwordDigestIsLowerHexMd5OfUtf8();
    void nobodyRememberedLeavesTheFormEmpty();
    void successShowsTheMainWindowAndHidesTheForm();
    void wrongPasswordShowsItsMessage();
    void serverDownLetsAKnownUserInOffline();
    void serverDownRefusesAnUnknownUser();
    void rememberedUserGetsThePlaceholderAndSendsTheStoredDigest();
    void placeholderSurvivesNavigationKeysOnly_data();
    void placeholderSurvivesNavigationKeysOnly();
    void anotherLoginNeverGoesOutWithTheStoredDigest();
    void choosingARememberedLoginKeepsATypedPassword();
    void blankLoginSendsNothingAndShowsNoNetworkError();
    void returnInTheLoginBoxMovesToThePassword();
    void proxyLabelOpensTheProxyFormWithTheStoredProxy();
    void automaticLoginCountsDownAndFiresOnce_data();
    void automaticLoginCountsDownAndFiresOnce();

private:
    std::unique_ptr<AuthorizationForm> newForm();
    QList<LocalServiceRequest> loginAttempts(const QString &login) const;
    void remember(const QString &login, const QString &password, qint64 savedAt);
    void clearUsers();

    LocalServiceFixture service;
    std::unique_ptr<TavrelNetworkAccessManager> accessManager;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelMigration> migration;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    std::unique_ptr<QNetworkConfigurationManager> configurationManager;
    QT_WARNING_POP
    std::unique_ptr<NetworkRequestConstructor> constructor;
    std::unique_ptr<TavrelDataBaseQuery> query;
    std::unique_ptr<ProxySettingsWidget> proxyWidget;
    std::unique_ptr<TavrelSynchronization> engine;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<AuthorizationForm> form;
};

void TestAuthorizationForm::initTestCase()
{
    QVERIFY(service.start());
    QCOMPARE(baseUrl(), service.url());
    service->addUser(QStringLiteral("alice"), QStringLiteral("wonderland"), false);

    TavrelApplication *app = TavrelApplication::instance();
    accessManager = std::make_unique<TavrelNetworkAccessManager>();
    db = std::make_unique<DataBase>(QStringLiteral("form.Dat"));
    migration = std::make_unique<TavrelMigration>(*db);
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    configurationManager = std::make_unique<QNetworkConfigurationManager>();
    QT_WARNING_POP
    constructor = std::make_unique<NetworkRequestConstructor>();
    query = std::make_unique<TavrelDataBaseQuery>(db.get());
    app->dataBase = db.get();
    app->dataBaseQuery = query.get();
    app->networkAccessManager = accessManager.get();
    app->networkConfigurationManager = configurationManager.get();
    app->requestConstructor = constructor.get();
    proxyWidget = std::make_unique<ProxySettingsWidget>();
    engine = std::make_unique<TavrelSynchronization>();
    app->synchronization = engine.get();
    QVERIFY(migration->upToLastMigration());
    window = std::make_unique<MainWindow>();
    app->mainWindow = window.get();
    app->proxySettingsWidget = proxyWidget.get();
}

void TestAuthorizationForm::cleanupTestCase()
{
    form.reset();
    window.reset();
    engine.reset();
    proxyWidget.reset();
    query.reset();
    constructor.reset();
    configurationManager.reset();
    migration.reset();
    db.reset();
    accessManager.reset();
}

void TestAuthorizationForm::init()
{
    if (!service->isListening())
        QVERIFY(service->resumeListening());
    service->clearFaults();
    service->clearRequestLog();
    window->hide();
    clearUsers();
    AppSettings::resetForTesting();
}

void TestAuthorizationForm::cleanup()
{
    if (form) {
        // Closing the form ends the event loop; tests only hide it.
        form->hide();
        form.reset();
    }
    Clock::reset();
}

std::unique_ptr<AuthorizationForm> TestAuthorizationForm::newForm()
{
    auto f = std::make_unique<AuthorizationForm>();
    TavrelApplication::instance()->authorizationForm = f.get();
    return f;
}

QList<LocalServiceRequest> TestAuthorizationForm::loginAttempts(const QString &login) const
{
    QList<LocalServiceRequest> attempts;
    for (const LocalServiceRequest &request : service->requests(URL_LOGIN)) {
        if (request.field(QStringLiteral("Login")) == login || request.field(QStringLiteral("login")) == login)
            attempts << request;
    }
    return attempts;
}

void TestAuthorizationForm::remember(const QString &login, const QString &password, qint64 savedAt)
{
    QVERIFY(query->saveUser(login, AuthorizationForm::passwordHash(password), true));
    QSqlQuery q(db->database);
    QVERIFY(q.prepare(QStringLiteral("UPDATE %1 SET PasswordSaveDate = :Date WHERE Login = :Login").arg(TABLE_USER)));
    q.bindValue(QStringLiteral(":Date"), savedAt);
    q.bindValue(QStringLiteral(":Login"), login);
    QVERIFY(q.exec());
}

void TestAuthorizationForm::clearUsers()
{
    QSqlQuery q(db->database);
    QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_USER)));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_USER_SETTINGS)));
}

void TestAuthorizationForm::passwordDigestIsLowerHexMd5OfUtf8()
{
    QCOMPARE(AuthorizationForm::passwordHash(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    QCOMPARE(AuthorizationForm::passwordHash(QStringLiteral("demo")),
             QStringLiteral("fe01ce2a7fbac8fafaed7c982a04e229"));
    QCOMPARE(AuthorizationForm::passwordHash(QStringLiteral(" demo")),
             QString::fromLatin1(QCryptographicHash::hash(" demo", QCryptographicHash::Md5).toHex()));
    QCOMPARE(AuthorizationForm::passwordHash(QStringLiteral("пароль")),
             QString::fromLatin1(
                 QCryptographicHash::hash(QStringLiteral("пароль").toUtf8(), QCryptographicHash::Md5).toHex()));
}

void TestAuthorizationForm::nobodyRememberedLeavesTheFormEmpty()
{
    form = newForm();
    form->loadLastSavedUser();
    form->show();
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->count(), 0);
    QVERIFY(child<QComboBox>(form.get(), "cbLogin")->currentText().isEmpty());
    QVERIFY(child<QLineEdit>(form.get(), "password")->text().isEmpty());
    QVERIFY(!child<QCheckBox>(form.get(), "savePassword")->isChecked());
    QVERIFY(!form->isAutoEnterArmed());
    QVERIFY(!child<QLabel>(form.get(), "lbCounter")->isVisible());
    QVERIFY(!child<QLabel>(form.get(), "loginErrorMessage")->isVisible());
    QVERIFY(!child<QLabel>(form.get(), "lbAccessDenied")->isVisible());
}

void TestAuthorizationForm::successShowsTheMainWindowAndHidesTheForm()
{
    form = newForm();
    form->show();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("demo"));
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("demo"));
    QTest::mouseClick(child<QPushButton>(form.get(), "enterButton"), Qt::LeftButton);
    QVERIFY(!child<QPushButton>(form.get(), "enterButton")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QVERIFY(!form->isVisible());
    QVERIFY(child<QPushButton>(form.get(), "enterButton")->isEnabled());
    QVERIFY(!form->isWaitingForAnswer());
    QCOMPARE(engine->currentLogin(), QStringLiteral("demo"));
    QCOMPARE(query->userPassword(QStringLiteral("demo")), AuthorizationForm::passwordHash(QStringLiteral("demo")));
    QVERIFY(TavrelApplication::instance()->fullAccess); // the stand-in's demo user has full access
    // The user's settings were loaded and written back.
    QVERIFY(!query->userSettings(QStringLiteral("demo")).isEmpty());

    // The display name the service sent is cached and stored; an empty name only clears the cache.
    const QString name = AppSettings::userName();
    QVERIFY(!name.isEmpty());
    AppSettings::setUserName(QString());
    QCOMPARE(query->userName(QStringLiteral("demo")), name);
    QCOMPARE(AppSettings::userName(), name);

    // The paid-access flag: the same value changes nothing, another one is stored and shown at once.
    TavrelApplication *app = TavrelApplication::instance();
    QLabel *access = child<QLabel>(window.get(), "lbAccess");
    const QString fullText = access->text();
    app->setFullAccess(true);
    QCOMPARE(access->text(), fullText);
    app->setFullAccess(false);
    QVERIFY(!app->fullAccess);
    QVERIFY(!query->isFullAccess(QStringLiteral("demo")));
    QVERIFY(access->text() != fullText);
    app->setFullAccess(true);
    QVERIFY(query->isFullAccess(QStringLiteral("demo")));
    QCOMPARE(access->text(), fullText);
}

void TestAuthorizationForm::wrongPasswordShowsItsMessage()
{
    form = newForm();
    form->show();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("demo"));
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("wrong"));
    QTest::keyClick(child<QLineEdit>(form.get(), "password"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(form.get(), "loginErrorMessage")->isVisible(), 10000);
    QVERIFY(!child<QLabel>(form.get(), "lbAccessDenied")->isVisible());
    QVERIFY(form->isVisible());
    QVERIFY(!window->isVisible());
    QVERIFY(child<QPushButton>(form.get(), "enterButton")->isEnabled());
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->lineEdit()->selectedText(), QStringLiteral("demo"));
    // Typing again hides the message.
    QTest::keyClick(child<QLineEdit>(form.get(), "password"), Qt::Key_A);
    QVERIFY(!child<QLabel>(form.get(), "loginErrorMessage")->isVisible());
}

void TestAuthorizationForm::serverDownLetsAKnownUserInOffline()
{
    // Somebody who logged in on this machine before, even without "remember".
    QVERIFY(query->saveUser(QStringLiteral("demo"), AuthorizationForm::passwordHash(QStringLiteral("demo")), false));
    service->stopListening();
    form = newForm();
    form->show();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("demo"));
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("demo"));
    QTest::mouseClick(child<QPushButton>(form.get(), "enterButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QVERIFY(!form->isVisible());
    QVERIFY(!child<QLabel>(form.get(), "lbAccessDenied")->isVisible());
}

void TestAuthorizationForm::serverDownRefusesAnUnknownUser()
{
    service->stopListening();
    form = newForm();
    form->show();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("stranger"));
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("whatever"));
    QTest::mouseClick(child<QPushButton>(form.get(), "enterButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(form.get(), "loginErrorMessage")->isVisible()
                                 || child<QLabel>(form.get(), "lbAccessDenied")->isVisible(),
                             10000);
    QVERIFY(form->isVisible());
    QVERIFY(!window->isVisible());
}

void TestAuthorizationForm::rememberedUserGetsThePlaceholderAndSendsTheStoredDigest()
{
    remember(QStringLiteral("alice"), QStringLiteral("wonderland"), 1000);
    remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
    form = newForm();
    form->loadLastSavedUser();
    form->show();
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->currentText(), QStringLiteral("demo"));
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->count(), 2);
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->itemText(0), QStringLiteral("alice"));
    QVERIFY(child<QCheckBox>(form.get(), "savePassword")->isChecked());
    QCOMPARE(child<QLineEdit>(form.get(), "password")->text(), AuthorizationForm::PASSWORD_PLACEHOLDER);
    QVERIFY(form->isUsingStoredPassword());

    QTest::keyClick(child<QLineEdit>(form.get(), "password"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    const QList<LocalServiceRequest> attempts = loginAttempts(QStringLiteral("demo"));
    QCOMPARE(attempts.size(), 1);
    const QString sent = attempts.first().field(QStringLiteral("Password"));
    QCOMPARE(sent, AuthorizationForm::passwordHash(QStringLiteral("demo")));
    QVERIFY(sent != AuthorizationForm::passwordHash(AuthorizationForm::PASSWORD_PLACEHOLDER));
}

void TestAuthorizationForm::placeholderSurvivesNavigationKeysOnly_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("kept");
    QTest::newRow("tab") << int(Qt::Key_Tab) << true;
    QTest::newRow("home") << int(Qt::Key_Home) << true;
    QTest::newRow("end") << int(Qt::Key_End) << true;
    QTest::newRow("left") << int(Qt::Key_Left) << true;
    QTest::newRow("right") << int(Qt::Key_Right) << true;
    QTest::newRow("up") << int(Qt::Key_Up) << true;
    QTest::newRow("down") << int(Qt::Key_Down) << true;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << true;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << true;
    QTest::newRow("insert") << int(Qt::Key_Insert) << true;
    QTest::newRow("shift") << int(Qt::Key_Shift) << false;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << false;
    QTest::newRow("letter") << int(Qt::Key_X) << false;
}

void TestAuthorizationForm::placeholderSurvivesNavigationKeysOnly()
{
    QFETCH(int, key);
    QFETCH(bool, kept);
    remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
    form = newForm();
    form->loadLastSavedUser();
    form->show();
    QVERIFY(form->isUsingStoredPassword());
    QTest::keyClick(child<QLineEdit>(form.get(), "password"), Qt::Key(key));
    QCOMPARE(form->isUsingStoredPassword(), kept);
    if (kept)
        QCOMPARE(child<QLineEdit>(form.get(), "password")->text(), AuthorizationForm::PASSWORD_PLACEHOLDER);
    else
        QVERIFY(child<QLineEdit>(form.get(), "password")->text().length() <= 1);
}

void TestAuthorizationForm::anotherLoginNeverGoesOutWithTheStoredDigest()
{
    remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
    form = newForm();
    form->loadLastSavedUser();
    form->show();
    QVERIFY(form->isUsingStoredPassword());
    child<QComboBox>(form.get(), "cbLogin")->lineEdit()->selectAll();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("mallory"));
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->currentText(), QStringLiteral("mallory"));
    QVERIFY(!form->isUsingStoredPassword());
    QVERIFY(child<QLineEdit>(form.get(), "password")->text().isEmpty());

    QTest::mouseClick(child<QPushButton>(form.get(), "enterButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(form.get(), "loginErrorMessage")->isVisible(), 10000);
    const QList<LocalServiceRequest> attempts = loginAttempts(QStringLiteral("mallory"));
    QCOMPARE(attempts.size(), 1);
    QVERIFY(attempts.first().field(QStringLiteral("Password"))
            != AuthorizationForm::passwordHash(QStringLiteral("demo")));

    // Coming back to the remembered login brings its stored digest back.
    child<QComboBox>(form.get(), "cbLogin")->lineEdit()->selectAll();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("demo"));
    QVERIFY(form->isUsingStoredPassword());
    QCOMPARE(child<QLineEdit>(form.get(), "password")->text(), AuthorizationForm::PASSWORD_PLACEHOLDER);
}

void TestAuthorizationForm::choosingARememberedLoginKeepsATypedPassword()
{
    remember(QStringLiteral("alice"), QStringLiteral("wonderland"), 1000);
    form = newForm();
    form->show();
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("typed"));
    child<QComboBox>(form.get(), "cbLogin")
        ->setCurrentIndex(child<QComboBox>(form.get(), "cbLogin")->findText(QStringLiteral("alice")));
    QCOMPARE(child<QComboBox>(form.get(), "cbLogin")->currentText(), QStringLiteral("alice"));
    QCOMPARE(child<QLineEdit>(form.get(), "password")->text(), QStringLiteral("typed"));
    QVERIFY(!form->isUsingStoredPassword());
}

void TestAuthorizationForm::blankLoginSendsNothingAndShowsNoNetworkError()
{
    form = newForm();
    form->show();
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("   "));
    QTest::keyClicks(child<QLineEdit>(form.get(), "password"), QStringLiteral("demo"));
    // The form's first show asks once with empty credentials (the version probe); let it and any
    // straggler of an earlier test arrive before counting.
    QTRY_VERIFY(service->requests(URL_LOGIN).size() >= 1);
    QTest::qWait(300);
    const int before = service->requests(URL_LOGIN).size();
    QTest::mouseClick(child<QPushButton>(form.get(), "enterButton"), Qt::LeftButton);
    QVERIFY(child<QPushButton>(form.get(), "enterButton")->isEnabled());
    QVERIFY(!form->isWaitingForAnswer());
    QTest::qWait(300);
    QCOMPARE(service->requests(URL_LOGIN).size(), before);
    QVERIFY(!child<QLabel>(form.get(), "lbAccessDenied")->isVisible());
}

void TestAuthorizationForm::returnInTheLoginBoxMovesToThePassword()
{
    form = newForm();
    form->show();
    form->activateWindow();
    child<QComboBox>(form.get(), "cbLogin")->setFocus();
    QTest::keyClick(child<QComboBox>(form.get(), "cbLogin"), Qt::Key_Return);
    QVERIFY(!child<QLineEdit>(form.get(), "password")->hasFocus());
    QTest::keyClicks(child<QComboBox>(form.get(), "cbLogin"), QStringLiteral("demo"));
    QTest::keyClick(child<QComboBox>(form.get(), "cbLogin"), Qt::Key_Return);
    QTRY_VERIFY(child<QLineEdit>(form.get(), "password")->hasFocus());
    QVERIFY(!form->isWaitingForAnswer()); // nothing was sent
}

void TestAuthorizationForm::proxyLabelOpensTheProxyFormWithTheStoredProxy()
{
    QVERIFY(query->saveProxySettings({{PROXY_TYPE, int(QNetworkProxy::HttpProxy)},
                                      {PROXY_HOST_NAME, QStringLiteral("proxy.test")},
                                      {PROXY_PORT, 3128},
                                      {PROXY_AUTH_LOGIN, QStringLiteral("user")},
                                      {PROXY_AUTH_PASSWORD, QStringLiteral("secret")}}));
    form = newForm();
    form->show();
    QVERIFY(!proxyWidget->isVisible());
    QTest::mouseClick(child<ClickableLabel>(form.get(), "proxyLabel"), Qt::LeftButton);
    QVERIFY(proxyWidget->isVisible());
    QCOMPARE(proxyWidget->proxyFromControls().type(), QNetworkProxy::HttpProxy);
    QCOMPARE(proxyWidget->proxyFromControls().hostName(), QStringLiteral("proxy.test"));
    QCOMPARE(proxyWidget->proxyFromControls().port(), quint16(3128));
    // Opening the form applied the stored proxy to the network.
    QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("proxy.test"));

    proxyWidget->hide();
    QSqlQuery q(db->database);
    QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_PROXY_SETTINGS)));
    AppSettings::resetForTesting();
    QNetworkProxy::setApplicationProxy(QNetworkProxy());
}

void TestAuthorizationForm::automaticLoginCountsDownAndFiresOnce_data()
{
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("zero") << 0 << 2000;
    QTest::newRow("one") << 1 << 2000;
    QTest::newRow("three") << 3 << 3000;
}

void TestAuthorizationForm::automaticLoginCountsDownAndFiresOnce()
{
    QFETCH(int, timeout);
    QFETCH(int, intervalMs);
    remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
    QVERIFY(query->saveUserSettings(QStringLiteral("demo"),
                                    {{SETTING_USE_AUTO_ENTER, 1},
                                     {SETTING_AUTO_ENTER_TIMEOUT, timeout},
                                     {SETTING_WORK_MODE_IN_BACKGROUND, 1},
                                     {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, 600}}));
    form = newForm();
    form->loadLastSavedUser();
    form->show();
    QVERIFY(form->isAutoEnterArmed());
    QCOMPARE(form->autoEnterIntervalMs(), intervalMs);
    QVERIFY(child<QLabel>(form.get(), "lbAutoEnterMsg")->isVisible());
    QCOMPARE(child<QLabel>(form.get(), "lbCounter")->text(), QStringLiteral("%1 секунд").arg(intervalMs / 1000));

    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), intervalMs + 8000);
    QVERIFY(!form->isAutoEnterArmed());
    QCOMPARE(loginAttempts(QStringLiteral("demo")).size(), 1);

    // Showing the form again does not arm it a second time.
    window->hide();
    form->show();
    QVERIFY(!form->isAutoEnterArmed());
    QVERIFY(!child<QLabel>(form.get(), "lbCounter")->isVisible());
    QTest::qWait(intervalMs + 500);
    QCOMPARE(loginAttempts(QStringLiteral("demo")).size(), 1);
}

TAVREL_TEST_MAIN(TestAuthorizationForm)
#include "tst_authorizationform.moc"
