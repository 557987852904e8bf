#include "appsettings.h"
#include "autostart.h"
#include "clock.h"
#include "constants.h"
#include "coregraph.h"
#include "database.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "testapplication.h"

#include <QFile>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QSettings>
#include <QSqlQuery>

#include <memory>

class TestAppSettings : public QObject
{
    Q_OBJECT

    CoreGraph graph {CoreHost::instance()};
    DataBase *db = nullptr;
    TavrelDataBaseQuery *query = nullptr;
    TavrelSynchronization *engine = nullptr;

    // A fresh reader or writer each time, so that it sees what the code under test wrote.
    static std::unique_ptr<QSettings> settingsFile(const QString &organization = QCoreApplication::organizationName())
    {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organization,
                                           QCoreApplication::applicationName());
    }

    static void writeFile(const QVariantMap &values, const QString &organization = QCoreApplication::organizationName())
    {
        auto file = settingsFile(organization);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            file->setValue(it.key(), it.value());
    }

    static QVariantMap fileContent(const QString &organization = QCoreApplication::organizationName())
    {
        auto file = settingsFile(organization);
        QVariantMap values;
        for (const QString &key : file->allKeys())
            values.insert(key, file->value(key));
        return values;
    }

    int rowCount(const QString &table)
    {
        QSqlQuery q(db->database);
        if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

private slots:
    void initTestCase()
    {
        TavrelApplication *app = TavrelApplication::instance();
        QVERIFY(app);
        graph.build(QStringLiteral("settings.Dat"));
        db = app->dataBase;
        query = app->dataBaseQuery;
        engine = app->synchronization;
    }

    void cleanupTestCase() { graph.clear(); }

    void init()
    {
        for (const QString &organization : {QCoreApplication::organizationName(), QString()})
            settingsFile(organization)->clear();
        QSqlQuery q(db->database);
        for (const QString &table : {TABLE_USER_SETTINGS, TABLE_PROXY_SETTINGS})
            QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(table)));
        AppSettings::resetForTesting();
        engine->setNewOrdersRefreshInterval(AppSettings::DEFAULT_REFRESH_INTERVAL);
        AutoStart::setEnabled(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy());
        Clock::reset();
    }

    void loadThenSave_data()
    {
        // What the settings file and the per-user row hold, and the six values loaded from them.
        QTest::addColumn<QVariantMap>("file");
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("trayMode");
        QTest::addColumn<bool>("autoEnter");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("precache");
        QTest::addColumn<bool>("autoBoot");

        const QVariantMap file {{"newOrdersRefreshIntervalTime", 1200},
                                {"isTrayMode", false},
                                {"UseAutoEnter", true},
                                {"AutoEnterTimeout", 9},
                                {"precachePageCount", 3},
                                {"AutoBootApp", true}};
        const QVariantMap row {{SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, 1800},
                               {SETTING_WORK_MODE_IN_BACKGROUND, 1},
                               {SETTING_USE_AUTO_ENTER, 0},
                               {SETTING_AUTO_ENTER_TIMEOUT, 5}};
        const QVariantMap rowFlags {{SETTING_WORK_MODE_IN_BACKGROUND, 1}, {SETTING_USE_AUTO_ENTER, 0}};
        auto with = [](QVariantMap map, const QString &key, const QVariant &value) {
            if (value.isValid())
                map.insert(key, value);
            return map;
        };
        auto rowWith = [&](const QVariant &interval, const QVariant &timeout) {
            return with(with(rowFlags, SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, interval), SETTING_AUTO_ENTER_TIMEOUT,
                        timeout);
        };
        auto fileWith = [&](const QVariant &interval, const QVariant &timeout) {
            return with(with({}, "newOrdersRefreshIntervalTime", interval), "AutoEnterTimeout", timeout);
        };

        // The default delay of 0 is raised to 2 by the loading rule.
        QTest::newRow("first run") << QVariantMap() << QVariantMap() << 600 << true << false << 2 << 6 << false;
        // The row's four values win; the two without a column still come from the file.
        QTest::newRow("row wins over the file") << file << row << 1800 << true << false << 5 << 3 << true;
        QTest::newRow("file without row") << file << QVariantMap() << 1200 << false << true << 9 << 3 << true;
        // A stored interval or delay that is missing or not positive never means zero.
        QTest::newRow("row negative") << QVariantMap() << rowWith(-30, -5) << 600 << true << false << 2 << 6 << false;
        QTest::newRow("row null") << QVariantMap() << rowWith({}, {}) << 600 << true << false << 2 << 6 << false;
        QTest::newRow("row timeout one") << QVariantMap() << rowWith(900, 1) << 900 << true << false << 2 << 6 << false;
        QTest::newRow("file text") << fileWith("soon", "x") << QVariantMap() << 600 << true << false << 2 << 6 << false;
        // Out of bounds, whoever wrote them: the defaults.
        QTest::newRow("file too small") << with(fileWith(59, -1), "precachePageCount", -1) << QVariantMap() << 600
                                        << true << false << 2 << 6 << false;
        QTest::newRow("file too large") << with(fileWith(86401, 1000), "precachePageCount", 21) << QVariantMap() << 600
                                        << true << false << 2 << 6 << false;
        QTest::newRow("row too large") << QVariantMap() << rowWith(1000000, 100000) << 600 << true << false << 2 << 6
                                       << false;
    }

    void loadThenSave()
    {
        QFETCH(QVariantMap, file);
        QFETCH(QVariantMap, row);
        QFETCH(int, interval);
        QFETCH(bool, trayMode);
        QFETCH(bool, autoEnter);
        QFETCH(int, timeout);
        QFETCH(int, precache);
        QFETCH(bool, autoBoot);
        writeFile(file);
        if (!row.isEmpty())
            QVERIFY(query->saveUserSettings(QStringLiteral(""), row)); // nobody logged in: the row of login ""

        AppSettings::loadSettings();
        QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), interval);
        QCOMPARE(engine->newOrdersRefreshInterval(), interval);
        QCOMPARE(AppSettings::isTrayMode(), trayMode);
        QCOMPARE(AppSettings::useAutoEnter(), autoEnter);
        QCOMPARE(AppSettings::autoEnterTimeout(), timeout);
        QCOMPARE(AppSettings::precachePageCount(), precache);
        QCOMPARE(AppSettings::isAutoBootApp(), autoBoot);
        QCOMPARE(rowCount(TABLE_USER_SETTINGS), row.isEmpty() ? 0 : 1);

        // Saving writes all six to the file and four to the row, which a first login thereby creates.
        AppSettings::saveSettings();
        const QVariantMap saved = fileContent();
        QCOMPARE(saved.value("newOrdersRefreshIntervalTime").toInt(), interval);
        QCOMPARE(saved.value("isTrayMode").toBool(), trayMode);
        QCOMPARE(saved.value("UseAutoEnter").toBool(), autoEnter);
        QCOMPARE(saved.value("AutoEnterTimeout").toInt(), timeout);
        QCOMPARE(saved.value("precachePageCount").toInt(), precache);
        QCOMPARE(saved.value("AutoBootApp").toBool(), autoBoot);
        QCOMPARE(AutoStart::isEnabled(), autoBoot);
        const QVariantMap savedRow = query->userSettings(QStringLiteral(""));
        QCOMPARE(savedRow.value(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME).toInt(), interval);
        QCOMPARE(savedRow.value(SETTING_WORK_MODE_IN_BACKGROUND).toInt(), int(trayMode));
        QCOMPARE(savedRow.value(SETTING_USE_AUTO_ENTER).toInt(), int(autoEnter));
        QCOMPARE(savedRow.value(SETTING_AUTO_ENTER_TIMEOUT).toInt(), timeout);
    }

    void autoEnterTimeoutBounds_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << 0 << 2;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("7") << 7 << 7;
    }

    void autoEnterTimeoutBounds()
    {
        QFETCH(int, value);
        QFETCH(int, stored);
        AppSettings::setAutoEnterTimeout(value);
        QCOMPARE(AppSettings::autoEnterTimeout(), stored);
    }

    void valueSetBeforeFirstReadIsKept()
    {
        AppSettings::setTrayMode(false);
        AppSettings::setUseAutoEnter(true);
        QCOMPARE(AppSettings::isTrayMode(), false);
        QCOMPARE(AppSettings::useAutoEnter(), true);
        // Nothing is written until saveSettings.
        QVERIFY(fileContent().isEmpty());
    }

    void trayIconFollowsTheModeOnlyWhereATrayExists()
    {
        TavrelApplication *app = TavrelApplication::instance();
        AppSettings::setTrayMode(false);
        QVERIFY(!app->trayVisible);
        QVERIFY(!app->trayIcon.isVisible());
        AppSettings::setTrayMode(true);
        // Without a tray on the desktop (as on the offscreen platform) nothing may count on the icon.
        QCOMPARE(app->trayVisible, QSystemTrayIcon::isSystemTrayAvailable());
        QCOMPARE(app->trayIcon.isVisible(), app->trayVisible);
        if (app->trayVisible)
            QCOMPARE(app->trayIcon.toolTip(), QStringLiteral("Таврел"));
    }

    void migrateSettings_data()
    {
        QTest::addColumn<QVariantMap>("old");
        QTest::addColumn<QVariantMap>("current");
        QTest::addColumn<QVariantMap>("oldAfter");
        QTest::addColumn<QVariantMap>("currentAfter");
        const QVariantMap old {{"isTrayMode", false}, {"precachePageCount", 4}};
        const QVariantMap current {{"precachePageCount", 8}};
        QTest::newRow("copied once into an empty file") << old << QVariantMap() << QVariantMap() << old;
        QTest::newRow("both hold keys: neither touched") << old << current << old << current;
        QTest::newRow("nothing old") << QVariantMap() << current << QVariantMap() << current;
    }

    void migrateSettings()
    {
        QFETCH(QVariantMap, old);
        QFETCH(QVariantMap, current);
        QFETCH(QVariantMap, oldAfter);
        QFETCH(QVariantMap, currentAfter);
        writeFile(old, QString());
        writeFile(current);
        TavrelApplication::migrateSettings();
        // Read back through the settings library, which gives every value of an ini file as text.
        auto asText = [](const QVariantMap &map) {
            QMap<QString, QString> text;
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                text.insert(it.key(), it.value().toString());
            return text;
        };
        QCOMPARE(asText(fileContent(QString())), asText(oldAfter));
        QCOMPARE(asText(fileContent()), asText(currentAfter));
    }

    void autoStartEntryFollowsTheSetting()
    {
        const QString path = AutoStart::desktopFilePath();
        QVERIFY(path.startsWith(QDir::homePath()));
        QVERIFY(path.endsWith(
            QStringLiteral("/autostart/Quorvin-%1-App.desktop").arg(QCoreApplication::applicationName())));

        AppSettings::setAutoBootApp(true);
        AppSettings::saveSettings();
        QFile entry(path);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY2(
            text.contains(QStringLiteral("Exec=\"%1\" -path \"%2\"\n")
                              .arg(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath())),
            qPrintable(text));

        AppSettings::setAutoBootApp(false);
        AppSettings::saveSettings();
        QVERIFY(!QFileInfo::exists(path));
        // Removing an absent entry is no failure.
        QVERIFY(AutoStart::setEnabled(false));
    }

    void autoStartQuotesTheExecLine_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "/opt/tavrel/Tavrel"
                               << "\"/opt/tavrel/Tavrel\"";
        QTest::newRow("blank") << "/home/a b/Tavrel"
                               << "\"/home/a b/Tavrel\"";
        QTest::newRow("quote") << "/x\"y"
                               << "\"/x\\\"y\"";
        QTest::newRow("dollar and backtick") << "/a$b`c"
                                             << "\"/a\\$b\\`c\"";
        QTest::newRow("backslash") << "/a\\b"
                                   << "\"/a\\\\b\"";
        QTest::newRow("percent") << "/100%"
                                 << "\"/100%%\"";
    }

    void autoStartQuotesTheExecLine()
    {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        QCOMPARE(AutoStart::quoteExecArgument(argument), quoted);
    }

    void sameDayAsLastRun_data()
    {
        QTest::addColumn<int>("storedDaysAgo"); // 999: nothing stored
        QTest::addColumn<bool>("sameDay");
        QTest::newRow("first run") << 999 << true;
        QTest::newRow("today") << 0 << true;
        QTest::newRow("yesterday") << 1 << false;
        QTest::newRow("tomorrow: clock set back") << -1 << false;
    }

    void sameDayAsLastRun()
    {
        QFETCH(int, storedDaysAgo);
        QFETCH(bool, sameDay);
        const QDateTime now(QDate(2026, 3, 14), QTime(12, 30));
        Clock::setFixed(now);
        if (storedDaysAgo != 999)
            AppSettings::setTodayDate(now.addDays(-storedDaysAgo).addSecs(-3600));
        QCOMPARE(AppSettings::isSameDayAsLastRun(), sameDay);
        QCOMPARE(AppSettings::todayDate(), now);
    }

    void proxyWithoutRowUsesTheSystemConfiguration()
    {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        AppSettings::loadProxySettings();
        QCOMPARE(AppSettings::proxy().type(), QNetworkProxy::DefaultProxy);
        QVERIFY(QNetworkProxyFactory::usesSystemConfiguration());
    }

    void storedProxyIsSavedLoadedOnceAndApplied()
    {
        // The proxy belongs to no login: it is stored and read without the engine too.
        TavrelApplication::instance()->synchronization = nullptr;
        AppSettings::setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.local"), 3128,
                                            QStringLiteral("user"), QStringLiteral("secret")));
        AppSettings::saveProxySettings();
        QCOMPARE(rowCount(TABLE_PROXY_SETTINGS), 1);
        const QVariantMap row = query->proxySettings();
        QCOMPARE(row.value(PROXY_TYPE).toInt(), int(QNetworkProxy::HttpProxy));
        QCOMPARE(row.value(PROXY_HOST_NAME).toString(), QStringLiteral("proxy.local"));
        QCOMPARE(row.value(PROXY_PORT).toInt(), 3128);
        QCOMPARE(row.value(PROXY_AUTH_LOGIN).toString(), QStringLiteral("user"));
        QCOMPARE(row.value(PROXY_AUTH_PASSWORD).toString(), QStringLiteral("secret"));

        AppSettings::resetForTesting(); // as at the next start
        AppSettings::loadProxySettings();
        TavrelApplication::instance()->synchronization = engine;
        QCOMPARE(AppSettings::proxy().type(), QNetworkProxy::HttpProxy);
        QCOMPARE(AppSettings::proxy().hostName(), QStringLiteral("proxy.local"));
        QCOMPARE(AppSettings::proxy().port(), quint16(3128));
        QCOMPARE(AppSettings::proxy().user(), QStringLiteral("user"));
        QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("proxy.local"));
        QCOMPARE(QNetworkProxy::applicationProxy().password(), QStringLiteral("secret"));

        // Once read, the proxy in memory wins over the row.
        QVERIFY(query->saveProxySettings({{PROXY_TYPE, int(QNetworkProxy::Socks5Proxy)},
                                          {PROXY_HOST_NAME, QStringLiteral("other.local")},
                                          {PROXY_PORT, 1080}}));
        AppSettings::loadProxySettings();
        QCOMPARE(AppSettings::proxy().hostName(), QStringLiteral("proxy.local"));
    }

    void proxyPasswordIsAppliedAsLocalBytes()
    {
        const QString password = QStringLiteral("пароль");
        AppSettings::setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.local"), 8080,
                                            QStringLiteral("u"), password));
        AppSettings::loadProxySettings();
        QCOMPARE(AppSettings::proxy().password(), password);
        QCOMPARE(QNetworkProxy::applicationProxy().password(), QString::fromLatin1(password.toLocal8Bit()));
    }
};

TAVREL_TEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
