#include "appsettings.h"
#include "authorizationform.h"
#include "clickablelabel.h"
#include "clock.h"
#include "constants.h"
#include "coregraph.h"
#include "database.h"
#include "formtesthelpers.h"
#include "localservicefixture.h"
#include "mainwindow.h"
#include "proxysettingswidget.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>

#include <algorithm>
#include <memory>

// The login form against the stand-in service, with the program's real objects behind it.
class TestAuthorizationForm : public QObject
{
    Q_OBJECT

    LocalServiceFixture service;
    CoreGraph graph {CoreHost::instance()};
    TavrelDataBaseQuery *query = nullptr;
    MainWindow *window = nullptr;
    std::unique_ptr<AuthorizationForm> form;

    QComboBox *loginBox() const { return child<QComboBox>(form.get(), "cbLogin"); }
    QLineEdit *passwordEdit() const { return child<QLineEdit>(form.get(), "password"); }
    QPushButton *enterButton() const { return child<QPushButton>(form.get(), "enterButton"); }
    QLabel *wrongPasswordMessage() const { return child<QLabel>(form.get(), "loginErrorMessage"); }
    QLabel *accessDeniedMessage() const { return child<QLabel>(form.get(), "lbAccessDenied"); }

    // A new form, prefilled from the remembered users as at start-up, and shown.
    void showForm()
    {
        form = std::make_unique<AuthorizationForm>();
        TavrelApplication::instance()->authorizationForm = form.get();
        form->loadLastSavedUser();
        form->show();
    }

    // The login requests that carried this login and this digest (either may be left out).
    int loginAttempts(const QString &login, const QString &digest = QString()) const
    {
        const QList<LocalServiceRequest> requests = service->requests(URL_LOGIN);
        return int(std::count_if(requests.cbegin(), requests.cend(), [&](const LocalServiceRequest &request) {
            return (login.isNull() || request.field(QStringLiteral("Login")) == login)
                && (digest.isNull() || request.field(QStringLiteral("Password")) == digest);
        }));
    }

    // A remembered user, saved at `savedAt` seconds (the latest comes first in the form).
    void remember(const QString &login, const QString &password, qint64 savedAt)
    {
        Clock::setFixed(QDateTime::fromSecsSinceEpoch(savedAt, Qt::UTC));
        QVERIFY(query->saveUser(login, AuthorizationForm::passwordHash(password), true));
        Clock::reset();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(service.start());
        service->addUser(QStringLiteral("alice"), QStringLiteral("wonderland"), false);

        // The program's objects, in the program's order.
        TavrelApplication *app = TavrelApplication::instance();
        graph.build(QStringLiteral("form.Dat"),
                    [&] { app->proxySettingsWidget = graph.adopt(std::make_unique<ProxySettingsWidget>()); });
        query = app->dataBaseQuery;
        window = graph.adopt(std::make_unique<MainWindow>());
        app->mainWindow = window;
    }

    void cleanupTestCase() { graph.clear(); }

    void init()
    {
        if (!service->isListening())
            QVERIFY(service->resumeListening());
        service->clearFaults();
        service->clearRequestLog();
        window->hide();
        QSqlQuery q(TavrelApplication::instance()->dataBase->database);
        for (const QString &table : {TABLE_USER, TABLE_USER_SETTINGS, TABLE_PROXY_SETTINGS})
            QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(table)));
        AppSettings::resetForTesting();
        QNetworkProxy::setApplicationProxy(QNetworkProxy());
    }

    void cleanup()
    {
        if (form) // closing the form ends the event loop; tests only hide it
            form->hide();
        form.reset();
        Clock::reset();
    }

    // A screen reader names every control: the fields by their labels, the close cross by a name of
    // its own; so does the proxy form the login form opens.
    void controlsHaveSpokenNames()
    {
        showForm();
        ProxySettingsWidget proxy;
        QCOMPARE((QStringList {spokenName(loginBox()), spokenName(passwordEdit()),
                               spokenName(child<QPushButton>(form.get(), "exitButton")),
                               spokenName(child<QSpinBox>(&proxy, "portSpinBox"))}),
                 (QStringList {"Логин", "Пароль", "Закрыть", "Порт:"}));
        QCOMPARE(unnamedControls(form.get()) + unnamedControls(&proxy), QStringList());
    }

    void passwordDigestIsLowerHexMd5OfUtf8()
    {
        QCOMPARE(AuthorizationForm::passwordHash(QStringLiteral(" пароль")),
                 QStringLiteral("7ba3ad1124772c6f2500eb8f7c44fde2"));
    }

    void logins_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<bool>("knownHere");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<bool>("wrongPassword");
        QTest::newRow("success") << true << false << "demo"
                                 << "demo" << true << false;
        QTest::newRow("wrong password") << true << false << "demo"
                                        << "wrong" << false << true;
        // Somebody who logged in on this machine before, even without "remember".
        QTest::newRow("server down, known user") << false << true << "demo"
                                                 << "demo" << true << false;
        QTest::newRow("server down, unknown user") << false << false << "stranger"
                                                   << "whatever" << false << true;
    }

    void logins()
    {
        QFETCH(bool, serverUp);
        QFETCH(bool, knownHere);
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(bool, loggedIn);
        QFETCH(bool, wrongPassword);
        if (knownHere)
            QVERIFY(query->saveUser(login, AuthorizationForm::passwordHash(password), false));
        if (!serverUp)
            service->stopListening();
        showForm();
        QTest::keyClicks(loginBox(), login);
        QTest::keyClicks(passwordEdit(), password);
        if (serverUp) {
            QTest::mouseClick(enterButton(), Qt::LeftButton);
            QVERIFY(!enterButton()->isEnabled() && form->isWaitingForAnswer());
        } else {
            QTest::keyClick(passwordEdit(), Qt::Key_Return);
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            window->isVisible() || wrongPasswordMessage()->isVisible() || accessDeniedMessage()->isVisible(), 20000);
        // Which of: main window, form, wrong-password message, access-denied message is shown.
        const QVector<bool> shown {window->isVisible(), form->isVisible(), wrongPasswordMessage()->isVisible(),
                                   accessDeniedMessage()->isVisible()};
        QCOMPARE(shown, (QVector<bool> {loggedIn, !loggedIn, wrongPassword, !loggedIn && !wrongPassword}));
        QVERIFY(enterButton()->isEnabled() && !form->isWaitingForAnswer());
        if (!loggedIn) {
            QCOMPARE(loginBox()->lineEdit()->selectedText(), login);
            // Typing again hides the message.
            QTest::keyClick(passwordEdit(), Qt::Key_A);
            QVERIFY(!wrongPasswordMessage()->isVisible() && !accessDeniedMessage()->isVisible());
            return;
        }
        if (!serverUp)
            return;
        // The user's settings were loaded and written back (the login itself is the sync tests').
        QVERIFY(!query->userSettings(QStringLiteral("demo")).isEmpty());

        // The display name the service sent is cached and stored; an empty name only clears the cache.
        const QString name = AppSettings::userName();
        QVERIFY(!name.isEmpty());
        AppSettings::setUserName(QString());
        QCOMPARE(query->userName(QStringLiteral("demo")), name);
        QCOMPARE(AppSettings::userName(), name);

        // The paid-access flag: the same value changes nothing, another one is stored and reloads the page.
        TavrelApplication *app = TavrelApplication::instance();
        EventCounter page(QEvent::Show);
        window->welcome()->installEventFilter(&page);
        QVector<int> seen; // per change: reloads so far, the flag in memory, in the settings, stored
        for (const bool value : {true, false, true}) {
            app->setFullAccess(value);
            seen << page.count << app->fullAccess << AppSettings::isFullAccess() << query->isFullAccess("demo");
        }
        QCOMPARE(seen, (QVector<int> {0, 1, 1, 1, 1, 0, 0, 0, 2, 1, 1, 1}));
    }

    void noAnswerInTimeReportsNoAccessAndALateAnswerStillCounts()
    {
        const int wait = 300, late = wait + 1500;
        showForm(); // its first show sends the version probe, which is answered at once
        form->setReplyWait(wait);
        QTRY_VERIFY(!service->requests(URL_LOGIN).isEmpty());
        service->addFault(LocalServiceFault::delay(late).onPath(URL_LOGIN));
        QTest::keyClicks(loginBox(), QStringLiteral("demo"));
        QTest::keyClicks(passwordEdit(), QStringLiteral("demo"));
        QTest::mouseClick(enterButton(), Qt::LeftButton);
        QVERIFY(form->isWaitingForAnswer());
        QTRY_VERIFY_WITH_TIMEOUT(accessDeniedMessage()->isVisible(), late);
        QVERIFY(!form->isWaitingForAnswer() && enterButton()->isEnabled() && form->isVisible() && !window->isVisible());
        // The request was not cancelled: its answer opens the main window.
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), late + 20000);
        QVERIFY(!form->isVisible() && !accessDeniedMessage()->isVisible());
    }

    void placeholderSurvivesNavigationKeysOnly_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("kept");
        for (int key : {Qt::Key_Tab, Qt::Key_Home, Qt::Key_Left, Qt::Key_Insert})
            QTest::addRow("navigation %x", key) << key << true;
        QTest::newRow("shift") << int(Qt::Key_Shift) << false;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << false;
        QTest::newRow("letter") << int(Qt::Key_X) << false;
    }

    void placeholderSurvivesNavigationKeysOnly()
    {
        QFETCH(int, key);
        QFETCH(bool, kept);
        remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
        showForm();
        QVERIFY(form->isUsingStoredPassword());
        QTest::keyClick(passwordEdit(), Qt::Key(key));
        QCOMPARE(form->isUsingStoredPassword(), kept);
        QVERIFY(kept ? passwordEdit()->text() == AuthorizationForm::PASSWORD_PLACEHOLDER
                     : passwordEdit()->text().length() <= 1);
    }

    void anotherLoginNeverGoesOutWithTheStoredDigest()
    {
        remember(QStringLiteral("alice"), QStringLiteral("wonderland"), 1000);
        remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
        showForm(); // the last saved user comes first, with the placeholder for the stored digest
        QCOMPARE((QStringList {loginBox()->currentText(), loginBox()->itemText(0), passwordEdit()->text()}),
                 (QStringList {"demo", "alice", AuthorizationForm::PASSWORD_PLACEHOLDER}));
        QVERIFY(child<QCheckBox>(form.get(), "savePassword")->isChecked() && form->isUsingStoredPassword());
        loginBox()->lineEdit()->selectAll();
        QTest::keyClicks(loginBox(), QStringLiteral("mallory"));
        QVERIFY(!form->isUsingStoredPassword() && passwordEdit()->text().isEmpty());
        QTest::mouseClick(enterButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(wrongPasswordMessage()->isVisible(), 20000);
        const QString digest = AuthorizationForm::passwordHash(QStringLiteral("demo"));
        QCOMPARE(loginAttempts(QStringLiteral("mallory")), 1);
        QCOMPARE(loginAttempts(QStringLiteral("mallory"), digest), 0);

        // Coming back to the remembered login brings its stored digest back, and sends it.
        loginBox()->lineEdit()->selectAll();
        QTest::keyClicks(loginBox(), QStringLiteral("demo"));
        QVERIFY(form->isUsingStoredPassword());
        QCOMPARE(passwordEdit()->text(), AuthorizationForm::PASSWORD_PLACEHOLDER);
        QTest::keyClick(passwordEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 20000);
        QCOMPARE(loginAttempts(QStringLiteral("demo"), digest), 1);
    }

    void choosingARememberedLoginKeepsATypedPassword()
    {
        remember(QStringLiteral("alice"), QStringLiteral("wonderland"), 1000);
        showForm();
        loginBox()->clearEditText();
        QTest::keyClicks(passwordEdit(), QStringLiteral("typed"));
        loginBox()->setCurrentIndex(loginBox()->findText(QStringLiteral("alice")));
        QCOMPARE(loginBox()->currentText() + passwordEdit()->text(), QStringLiteral("alicetyped"));
        QVERIFY(!form->isUsingStoredPassword());
    }

    void blankLoginSendsNothingAndReturnMovesToThePassword()
    {
        showForm(); // nobody remembered: an empty form
        QVERIFY(!loginBox()->count() && !child<QCheckBox>(form.get(), "savePassword")->isChecked());
        QVERIFY(!form->isAutoEnterArmed());
        form->activateWindow();
        loginBox()->setFocus();
        QTest::keyClick(loginBox(), Qt::Key_Return);
        QVERIFY(!passwordEdit()->hasFocus());
        QTest::keyClicks(loginBox(), QStringLiteral("   "));
        QTest::keyClicks(passwordEdit(), QStringLiteral("demo"));
        QTest::mouseClick(enterButton(), Qt::LeftButton);
        QVERIFY(enterButton()->isEnabled() && !form->isWaitingForAnswer() && !accessDeniedMessage()->isVisible());

        // Return in a filled login box only moves on.
        loginBox()->lineEdit()->selectAll();
        QTest::keyClicks(loginBox(), QStringLiteral("demo"));
        QTest::keyClick(loginBox(), Qt::Key_Return);
        QTRY_VERIFY(passwordEdit()->hasFocus());
        QVERIFY(!form->isWaitingForAnswer());
    }

    void proxyLabelOpensTheProxyFormWithTheStoredProxy()
    {
        AppSettings::setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "proxy.test", 3128, "user", "secret"));
        AppSettings::saveProxySettings();
        AppSettings::resetForTesting(); // the form reads the stored row
        showForm();
        ProxySettingsWidget *proxyForm = TavrelApplication::instance()->proxySettingsWidget;
        QVERIFY(!proxyForm->isVisible());
        QTest::mouseClick(child<ClickableLabel>(form.get(), "proxyLabel"), Qt::LeftButton);
        QVERIFY(proxyForm->isVisible());
        const QNetworkProxy shown = proxyForm->proxyFromControls();
        // Opening the form also applied the stored proxy to the network.
        QCOMPARE((QStringList {shown.hostName(), shown.password(), QNetworkProxy::applicationProxy().hostName()}),
                 (QStringList {"proxy.test", "secret", "proxy.test"}));
        proxyForm->hide();
    }

    void automaticLoginCountsDownAndFiresOnce_data()
    {
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("zero, at least two seconds") << 0 << 2000;
        QTest::newRow("four") << 4 << 4000;
    }

    void automaticLoginCountsDownAndFiresOnce()
    {
        QFETCH(int, timeout);
        QFETCH(int, intervalMs);
        remember(QStringLiteral("demo"), QStringLiteral("demo"), 2000);
        QVERIFY(query->saveUserSettings(QStringLiteral("demo"),
                                        {{SETTING_USE_AUTO_ENTER, 1},
                                         {SETTING_AUTO_ENTER_TIMEOUT, timeout},
                                         {SETTING_WORK_MODE_IN_BACKGROUND, 1},
                                         {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, 600}}));
        Clock::setFixed(QDateTime(QDate(2026, 3, 14), QTime(9, 0), Qt::UTC));
        showForm();
        QVERIFY(form->isAutoEnterArmed() && child<QLabel>(form.get(), "lbAutoEnterMsg")->isVisible());
        QCOMPARE(form->autoEnterIntervalMs(), intervalMs);
        QLabel *counter = child<QLabel>(form.get(), "lbCounter");
        QCOMPARE(counter->text(), QStringLiteral("%1 секунд").arg(intervalMs / 1000));
        if (intervalMs > 2000) {
            // The counter follows the clock while the wait runs; the firing is the shortest row's.
            Clock::advance(1000);
            QTRY_COMPARE(counter->text(), QStringLiteral("%1 секунд").arg(intervalMs / 1000 - 1));
            return;
        }

        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), intervalMs + 20000);
        QVERIFY(!form->isAutoEnterArmed());
        QCOMPARE(loginAttempts(QStringLiteral("demo")), 1);
        // Showing the form again does not arm it a second time.
        window->hide();
        form->show();
        QVERIFY(!form->isAutoEnterArmed() && !counter->isVisible());
    }
};

TAVREL_TEST_MAIN(TestAuthorizationForm)
#include "tst_authorizationform.moc"
