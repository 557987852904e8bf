#include "appsettings.h"
#include "autostart.h"
#include "clock.h"
#include "constants.h"
#include "coregraph.h"
#include "database.h"
#include "formtesthelpers.h"
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
    TavrelDataBaseQuery *query = nullptr;
    TavrelSynchronization *engine = nullptr;
    const QStringList fileKeys
        = QStringLiteral(
              "newOrdersRefreshIntervalTime isTrayMode UseAutoEnter AutoEnterTimeout precachePageCount AutoBootApp")
              .split(' ');

    // A fresh reader or writer each time, so that it sees what the code under test wrote.
    static std::unique_ptr<QSettings> settingsFile(const QString &organization = QCoreApplication::organizationName())
    {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organization,
                                           QCoreApplication::applicationName());
    }

    static void writeFile(const QVariantMap &values, const QString &organization = QCoreApplication::organizationName())
    {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settingsFile(organization)->setValue(it.key(), it.value());
    }

    static QVariantMap fileContent(const QString &organization = QCoreApplication::organizationName())
    {
        auto file = settingsFile(organization);
        QVariantMap values;
        for (const QString &key : file->allKeys())
            values.insert(key, file->value(key));
        return values;
    }

private slots:
    void initTestCase()
    {
        TavrelApplication *app = TavrelApplication::instance();
        QVERIFY(app);
        graph.build(QStringLiteral("settings.Dat"));
        query = app->dataBaseQuery;
        engine = app->synchronization;
    }

    void cleanupTestCase() { graph.clear(); }

    void init()
    {
        for (const QString &organization : {QCoreApplication::organizationName(), QString()})
            settingsFile(organization)->clear();
        QSqlQuery q(TavrelApplication::instance()->dataBase->database);
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
        // What the settings file and the per-user row hold, and the six values loaded from them: interval,
        // tray mode, automatic login, its delay, pages to cache ahead, start with the desktop.
        QTest::addColumn<QVariantMap>("file");
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<QVariantList>("loaded");

        QVariantMap file;
        const QVariantList fileValues {1200, false, true, 9, 3, true};
        for (int i = 0; i < 6; ++i)
            file.insert(fileKeys.at(i), fileValues.at(i));
        auto row = [](const QVariant &interval, const QVariant &timeout) {
            QVariantMap map {{SETTING_WORK_MODE_IN_BACKGROUND, 1}, {SETTING_USE_AUTO_ENTER, 0}};
            if (interval.isValid())
                map.insert(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, interval);
            if (timeout.isValid())
                map.insert(SETTING_AUTO_ENTER_TIMEOUT, timeout);
            return map;
        };
        const QVariantList defaults {600, true, false, 2, 6, false}; // a delay of 0 is raised to 2
        QTest::newRow("first run") << QVariantMap() << QVariantMap() << defaults;
        // The row's four values win; the two without a column still come from the file.
        QTest::newRow("row wins over the file, delay raised")
            << file << row(1800, 1) << QVariantList {1800, true, false, 2, 3, true};
        QTest::newRow("file without row") << file << QVariantMap() << fileValues;
        // A stored interval or delay that is missing or not positive never means zero.
        QTest::newRow("row negative") << QVariantMap() << row(-30, -5) << defaults;
        QTest::newRow("row null") << QVariantMap() << row({}, {}) << defaults;
        auto fileWith = [&](const QVariant &interval, const QVariant &timeout, const QVariant &precache) {
            return QVariantMap {{fileKeys.at(0), interval}, {fileKeys.at(3), timeout}, {fileKeys.at(4), precache}};
        };
        QTest::newRow("file text") << fileWith("soon", "x", "y") << QVariantMap() << defaults;
        // Out of bounds, whoever wrote them: the defaults.
        QTest::newRow("file too small") << fileWith(59, -1, -1) << QVariantMap() << defaults;
        QTest::newRow("file too large") << fileWith(86401, 1000, 21) << QVariantMap() << defaults;
        QTest::newRow("row too large") << QVariantMap() << row(1000000, 100000) << defaults;
    }

    void loadThenSave()
    {
        QFETCH(QVariantMap, file);
        QFETCH(QVariantMap, row);
        QFETCH(QVariantList, loaded);
        writeFile(file);
        if (!row.isEmpty())
            QVERIFY(query->saveUserSettings(QStringLiteral(""), row)); // nobody logged in: the row of login ""

        AppSettings::loadSettings();
        using S = AppSettings;
        QVariantList values;
        values << S::newOrdersRefreshIntervalTime() << S::isTrayMode() << S::useAutoEnter() << S::autoEnterTimeout()
               << S::precachePageCount() << S::isAutoBootApp();
        QCOMPARE(values, loaded);
        QCOMPARE(engine->newOrdersRefreshInterval(), loaded.at(0).toInt());
        QCOMPARE(query->userSettings(QStringLiteral("")).isEmpty(), row.isEmpty());

        // Saving writes all six to the file and four to the row, which a first login thereby creates.
        AppSettings::saveSettings();
        const QVariantMap saved = fileContent();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(saved.value(fileKeys.at(i)).toString(), loaded.at(i).toString());
        QCOMPARE(AutoStart::isEnabled(), loaded.at(5).toBool());
        const QVariantMap savedRow = query->userSettings(QStringLiteral(""));
        const QString columns[] {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, SETTING_WORK_MODE_IN_BACKGROUND,
                                 SETTING_USE_AUTO_ENTER, SETTING_AUTO_ENTER_TIMEOUT};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(savedRow.value(columns[i]).toInt(), loaded.at(i).toInt());
    }

    void valueSetBeforeFirstReadIsKept()
    {
        AppSettings::setTrayMode(false);
        AppSettings::setUseAutoEnter(true);
        AppSettings::setAutoEnterTimeout(0);
        QCOMPARE(AppSettings::isTrayMode(), false);
        QCOMPARE(AppSettings::useAutoEnter(), true);
        QCOMPARE(AppSettings::autoEnterTimeout(), 2);
        // Nothing is written until saveSettings.
        QVERIFY(fileContent().isEmpty());
        // Without a tray on the desktop (as on the offscreen platform) nothing may count on the icon.
        TavrelApplication *app = TavrelApplication::instance();
        QVERIFY(!app->trayVisible);
        AppSettings::setTrayMode(true);
        QCOMPARE(app->trayVisible, QSystemTrayIcon::isSystemTrayAvailable());
        QCOMPARE(app->trayIcon.isVisible(), app->trayVisible);
    }

    void migrateSettings_data()
    {
        QTest::addColumn<QVariantMap>("old");
        QTest::addColumn<QVariantMap>("current");
        QTest::addColumn<bool>("copied");
        // As text: an ini file gives every value back as text.
        const QVariantMap old {{"isTrayMode", "false"}, {"precachePageCount", "4"}};
        const QVariantMap current {{"precachePageCount", "8"}};
        QTest::newRow("copied once into an empty file") << old << QVariantMap() << true;
        QTest::newRow("both hold keys: neither touched") << old << current << false;
        QTest::newRow("nothing old") << QVariantMap() << current << false;
    }

    void migrateSettings()
    {
        QFETCH(QVariantMap, old);
        QFETCH(QVariantMap, current);
        QFETCH(bool, copied);
        writeFile(old, QString());
        writeFile(current);
        TavrelApplication::migrateSettings();
        QCOMPARE(fileContent(QString()), copied ? QVariantMap() : old);
        QCOMPARE(fileContent(), copied ? old : current);
    }

    // That saving switches the entry on and off is checked by loadThenSave.
    void autoStartEntryStartsThisProgramWithItsFolder()
    {
        QVERIFY(AutoStart::setEnabled(true));
        QFile entry(AutoStart::desktopFilePath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(
            text.contains(QStringLiteral("Exec=\"%1\" -path \"%2\"\n")
                              .arg(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath())),
            qPrintable(text));

        QVERIFY(AutoStart::setEnabled(false));
        QVERIFY(!entry.exists());
        QVERIFY(AutoStart::setEnabled(false)); // removing an absent entry is no failure
    }

    void autoStartQuotesTheExecLine_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        addTextRow("plain", {"/opt/tavrel/Tavrel", "\"/opt/tavrel/Tavrel\""});
        addTextRow("blank", {"/home/a b/Tavrel", "\"/home/a b/Tavrel\""});
        addTextRow("quote", {"/x\"y", "\"/x\\\"y\""});
        addTextRow("dollar and backtick", {"/a$b`c", "\"/a\\$b\\`c\""});
        addTextRow("backslash", {"/a\\b", "\"/a\\\\b\""});
        addTextRow("percent", {"/100%", "\"/100%%\""});
    }

    void autoStartQuotesTheExecLine()
    {
        QFETCH(QString, argument);
        QTEST(AutoStart::quoteExecArgument(argument), "quoted");
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
        const QDateTime now(QDate(2026, 3, 14), QTime(12, 30));
        Clock::setFixed(now);
        if (storedDaysAgo != 999)
            AppSettings::setTodayDate(now.addDays(-storedDaysAgo).addSecs(-3600));
        QTEST(AppSettings::isSameDayAsLastRun(), "sameDay");
        QCOMPARE(AppSettings::todayDate(), now);
    }

    void proxyIsTheSystemsUntilStoredThenLoadedOnceAndApplied()
    {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        AppSettings::loadProxySettings();
        QCOMPARE(AppSettings::proxy().type(), QNetworkProxy::DefaultProxy);
        QVERIFY(QNetworkProxyFactory::usesSystemConfiguration());

        // The proxy belongs to no login: it is stored and read without the engine too.
        TavrelApplication::instance()->synchronization = nullptr;
        const QString password = QStringLiteral("пароль");
        const QNetworkProxy proxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.local"), 3128, QStringLiteral("user"),
                                  password);
        AppSettings::setProxy(proxy);
        AppSettings::saveProxySettings();
        AppSettings::resetForTesting(); // as at the next start
        AppSettings::loadProxySettings();
        TavrelApplication::instance()->synchronization = engine;
        QCOMPARE(AppSettings::proxy(), proxy);
        QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("proxy.local"));
        // The network gets the password as local bytes.
        QCOMPARE(QNetworkProxy::applicationProxy().password(), QString::fromLatin1(password.toLocal8Bit()));

        // Once read, the proxy in memory wins over the row.
        QVERIFY(query->saveProxySettings({{PROXY_TYPE, int(QNetworkProxy::Socks5Proxy)},
                                          {PROXY_HOST_NAME, QStringLiteral("other.local")},
                                          {PROXY_PORT, 1080}}));
        AppSettings::loadProxySettings();
        QCOMPARE(AppSettings::proxy().hostName(), QStringLiteral("proxy.local"));
    }
};

TAVREL_TEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
