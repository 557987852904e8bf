#include "appsettings.h"
#include "autostart.h"
#include "clock.h"
#include "constants.h"
#include "database.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
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

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void versionsAndNames();
    void firstRunDefaultsAndTheirSave();
    void perUserRowWinsOverTheFile();
    void fileIsUsedWithoutRowAndCreatesIt();
    void autoEnterTimeoutBounds_data();
    void autoEnterTimeoutBounds();
    void loadedIntervalAndTimeoutNeverMeanZero_data();
    void loadedIntervalAndTimeoutNeverMeanZero();
    void valueSetBeforeFirstReadIsKept();
    void migrateSettingsCopiesOnlyIntoAnEmptyFile();
    void migrateSettingsLeavesBothWhenBothHoldKeys();
    void autoStartEntryFollowsTheSetting();
    void autoStartQuotesTheExecLine_data();
    void autoStartQuotesTheExecLine();
    void sameDayAsLastRun_data();
    void sameDayAsLastRun();
    void proxyWithoutRowUsesTheSystemConfiguration();
    void storedProxyIsSavedLoadedOnceAndApplied();
    void proxyPasswordIsAppliedAsLocalBytes();

private:
    QSettings *settingsFile();
    void writeRow(const QVariantMap &values);
    void clearRows();
    int rowCount(const QString &table);

    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelMigration> migration;
    std::unique_ptr<TavrelDataBaseQuery> query;
    std::unique_ptr<TavrelSynchronization> engine;
    std::unique_ptr<QSettings> file;
};

void TestAppSettings::initTestCase()
{
    TavrelApplication *app = TavrelApplication::instance();
    QVERIFY(app);
    db = std::make_unique<DataBase>(QStringLiteral("settings.Dat"));
    migration = std::make_unique<TavrelMigration>(*db);
    QVERIFY(migration->upToLastMigration());
    query = std::make_unique<TavrelDataBaseQuery>(db.get());
    engine = std::make_unique<TavrelSynchronization>();
    app->dataBase = db.get();
    app->dataBaseQuery = query.get();
    app->synchronization = engine.get();
}

void TestAppSettings::cleanupTestCase()
{
    file.reset();
    engine.reset();
    query.reset();
    migration.reset();
    db.reset();
}

void TestAppSettings::init()
{
    file.reset();
    QFile::remove(settingsFile()->fileName());
    file.reset();
    clearRows();
    AppSettings::resetForTesting();
    engine->setNewOrdersRefreshInterval(AppSettings::DEFAULT_REFRESH_INTERVAL);
    AutoStart::setEnabled(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy());
    Clock::reset();
}

QSettings *TestAppSettings::settingsFile()
{
    // A fresh reader each time, so that it sees what the code under test wrote.
    file = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                                       QCoreApplication::applicationName());
    return file.get();
}

void TestAppSettings::writeRow(const QVariantMap &values)
{
    QVERIFY(query->saveUserSettings(QStringLiteral(""), values));
}

void TestAppSettings::clearRows()
{
    QSqlQuery q(db->database);
    QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_USER_SETTINGS)));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_PROXY_SETTINGS)));
}

int TestAppSettings::rowCount(const QString &table)
{
    QSqlQuery q(db->database);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !q.next())
        return -1;
    return q.value(0).toInt();
}

void TestAppSettings::versionsAndNames()
{
    QCOMPARE(AppSettings::appVersion(), QStringLiteral("1.2.1.0"));
    QCOMPARE(AppSettings::shortVersion(), QStringLiteral("1.2"));
    QCOMPARE(AppSettings::organizationNameUpper(), QStringLiteral("QUORVIN"));
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("QUORVIN"));
    QCOMPARE(AppSettings::pagerLinkCount(), 5);
    QCOMPARE(AppSettings::rowsPerPage(), 10);
    QVERIFY(AppSettings::workstationHash().isEmpty());
    QCOMPARE(AppSettings::settingsDirPath(), QFileInfo(settingsFile()->fileName()).absolutePath());
}

void TestAppSettings::firstRunDefaultsAndTheirSave()
{
    AppSettings::loadSettings();
    QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), 600);
    QCOMPARE(AppSettings::precachePageCount(), 6);
    QCOMPARE(AppSettings::isTrayMode(), true);
    QCOMPARE(AppSettings::useAutoEnter(), false);
    QCOMPARE(AppSettings::autoEnterTimeout(), 2);
    QCOMPARE(AppSettings::isAutoBootApp(), false);

    AppSettings::saveSettings();
    QSettings *saved = settingsFile();
    QCOMPARE(saved->value(QStringLiteral("newOrdersRefreshIntervalTime")).toInt(), 600);
    QCOMPARE(saved->value(QStringLiteral("precachePageCount")).toInt(), 6);
    QCOMPARE(saved->value(QStringLiteral("isTrayMode")).toBool(), true);
    QCOMPARE(saved->value(QStringLiteral("AutoEnterTimeout")).toInt(), 2);
    QCOMPARE(saved->value(QStringLiteral("UseAutoEnter")).toBool(), false);
    QCOMPARE(saved->value(QStringLiteral("AutoBootApp")).toBool(), false);
    QVERIFY(!AutoStart::isEnabled());

    const QVariantMap row = query->userSettings(QStringLiteral(""));
    QCOMPARE(row.value(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME).toInt(), 600);
    QCOMPARE(row.value(SETTING_WORK_MODE_IN_BACKGROUND).toInt(), 1);
    QCOMPARE(row.value(SETTING_USE_AUTO_ENTER).toInt(), 0);
    QCOMPARE(row.value(SETTING_AUTO_ENTER_TIMEOUT).toInt(), 2);
}

void TestAppSettings::perUserRowWinsOverTheFile()
{
    QSettings *f = settingsFile();
    f->setValue(QStringLiteral("newOrdersRefreshIntervalTime"), 1200);
    f->setValue(QStringLiteral("isTrayMode"), false);
    f->setValue(QStringLiteral("UseAutoEnter"), true);
    f->setValue(QStringLiteral("AutoEnterTimeout"), 9);
    f->setValue(QStringLiteral("precachePageCount"), 3);
    f->setValue(QStringLiteral("AutoBootApp"), true);
    f->sync();
    writeRow({{SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, 1800},
              {SETTING_WORK_MODE_IN_BACKGROUND, 1},
              {SETTING_USE_AUTO_ENTER, 0},
              {SETTING_AUTO_ENTER_TIMEOUT, 5}});

    AppSettings::loadSettings();
    QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), 1800);
    QCOMPARE(engine->newOrdersRefreshInterval(), 1800);
    QCOMPARE(AppSettings::isTrayMode(), true);
    QCOMPARE(AppSettings::useAutoEnter(), false);
    QCOMPARE(AppSettings::autoEnterTimeout(), 5);
    // These two have no column: they always come from the file.
    QCOMPARE(AppSettings::precachePageCount(), 3);
    QCOMPARE(AppSettings::isAutoBootApp(), true);
}

void TestAppSettings::fileIsUsedWithoutRowAndCreatesIt()
{
    QSettings *f = settingsFile();
    f->setValue(QStringLiteral("newOrdersRefreshIntervalTime"), 1200);
    f->setValue(QStringLiteral("isTrayMode"), false);
    f->setValue(QStringLiteral("UseAutoEnter"), true);
    f->setValue(QStringLiteral("AutoEnterTimeout"), 9);
    f->sync();

    AppSettings::loadSettings();
    QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), 1200);
    QCOMPARE(AppSettings::isTrayMode(), false);
    QCOMPARE(AppSettings::useAutoEnter(), true);
    QCOMPARE(AppSettings::autoEnterTimeout(), 9);
    QCOMPARE(rowCount(TABLE_USER_SETTINGS), 0);

    AppSettings::saveSettings();
    const QVariantMap row = query->userSettings(QStringLiteral(""));
    QCOMPARE(row.value(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME).toInt(), 1200);
    QCOMPARE(row.value(SETTING_WORK_MODE_IN_BACKGROUND).toInt(), 0);
    QCOMPARE(row.value(SETTING_USE_AUTO_ENTER).toInt(), 1);
    QCOMPARE(row.value(SETTING_AUTO_ENTER_TIMEOUT).toInt(), 9);
}

void TestAppSettings::autoEnterTimeoutBounds_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("0") << 0 << 2;
    QTest::newRow("1") << 1 << 2;
    QTest::newRow("-5") << -5 << 2;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("7") << 7 << 7;
}

void TestAppSettings::autoEnterTimeoutBounds()
{
    QFETCH(int, value);
    QFETCH(int, stored);
    AppSettings::setAutoEnterTimeout(value);
    QCOMPARE(AppSettings::autoEnterTimeout(), stored);
}

void TestAppSettings::loadedIntervalAndTimeoutNeverMeanZero_data()
{
    QTest::addColumn<bool>("fromRow");
    QTest::addColumn<QVariant>("interval");
    QTest::addColumn<QVariant>("timeout");
    QTest::addColumn<int>("expectedInterval");
    QTest::addColumn<int>("expectedTimeout");
    QTest::newRow("row zero") << true << QVariant(0) << QVariant(0) << 600 << 2;
    QTest::newRow("row negative") << true << QVariant(-30) << QVariant(-5) << 600 << 2;
    QTest::newRow("row null") << true << QVariant() << QVariant() << 600 << 2;
    QTest::newRow("row timeout one") << true << QVariant(900) << QVariant(1) << 900 << 2;
    QTest::newRow("file zero") << false << QVariant(0) << QVariant(0) << 600 << 2;
    QTest::newRow("file text") << false << QVariant(QStringLiteral("soon")) << QVariant(QStringLiteral("x")) << 600
                               << 2;
    QTest::newRow("file timeout one") << false << QVariant(900) << QVariant(1) << 900 << 2;
}

void TestAppSettings::loadedIntervalAndTimeoutNeverMeanZero()
{
    QFETCH(bool, fromRow);
    QFETCH(QVariant, interval);
    QFETCH(QVariant, timeout);
    QFETCH(int, expectedInterval);
    QFETCH(int, expectedTimeout);
    if (fromRow) {
        QVariantMap row {{SETTING_WORK_MODE_IN_BACKGROUND, 1}, {SETTING_USE_AUTO_ENTER, 0}};
        if (interval.isValid())
            row.insert(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, interval);
        if (timeout.isValid())
            row.insert(SETTING_AUTO_ENTER_TIMEOUT, timeout);
        writeRow(row);
    } else {
        QSettings *f = settingsFile();
        f->setValue(QStringLiteral("newOrdersRefreshIntervalTime"), interval);
        f->setValue(QStringLiteral("AutoEnterTimeout"), timeout);
        f->sync();
    }
    AppSettings::loadSettings();
    QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), expectedInterval);
    QCOMPARE(AppSettings::autoEnterTimeout(), expectedTimeout);
}

void TestAppSettings::valueSetBeforeFirstReadIsKept()
{
    AppSettings::setTrayMode(false);
    AppSettings::setUseAutoEnter(true);
    QCOMPARE(AppSettings::isTrayMode(), false);
    QCOMPARE(AppSettings::useAutoEnter(), true);
    // Nothing is written until saveSettings.
    QVERIFY(!settingsFile()->contains(QStringLiteral("isTrayMode")));
}

void TestAppSettings::migrateSettingsCopiesOnlyIntoAnEmptyFile()
{
    QSettings old(QSettings::IniFormat, QSettings::UserScope, QString(), QCoreApplication::applicationName());
    old.setValue(QStringLiteral("isTrayMode"), false);
    old.setValue(QStringLiteral("precachePageCount"), 4);
    old.sync();
    QVERIFY(!old.allKeys().isEmpty());
    QVERIFY(settingsFile()->allKeys().isEmpty());
    file.reset();

    TavrelApplication::migrateSettings();

    QSettings *migrated = settingsFile();
    QCOMPARE(migrated->value(QStringLiteral("isTrayMode")).toBool(), false);
    QCOMPARE(migrated->value(QStringLiteral("precachePageCount")).toInt(), 4);
    QSettings oldAgain(QSettings::IniFormat, QSettings::UserScope, QString(), QCoreApplication::applicationName());
    QVERIFY(oldAgain.allKeys().isEmpty());
}

void TestAppSettings::migrateSettingsLeavesBothWhenBothHoldKeys()
{
    QSettings *current = settingsFile();
    current->setValue(QStringLiteral("precachePageCount"), 8);
    current->sync();
    file.reset();
    {
        QSettings old(QSettings::IniFormat, QSettings::UserScope, QString(), QCoreApplication::applicationName());
        old.clear();
        old.setValue(QStringLiteral("precachePageCount"), 4);
        old.setValue(QStringLiteral("UseAutoEnter"), true);
    }

    TavrelApplication::migrateSettings();

    QSettings *after = settingsFile();
    QCOMPARE(after->allKeys(), QStringList {QStringLiteral("precachePageCount")});
    QCOMPARE(after->value(QStringLiteral("precachePageCount")).toInt(), 8);
    QSettings old(QSettings::IniFormat, QSettings::UserScope, QString(), QCoreApplication::applicationName());
    QCOMPARE(old.value(QStringLiteral("precachePageCount")).toInt(), 4);
    QCOMPARE(old.allKeys().size(), 2);
    old.clear();
}

void TestAppSettings::autoStartEntryFollowsTheSetting()
{
    const QString path = AutoStart::desktopFilePath();
    QVERIFY(path.startsWith(QDir::homePath()));
    QVERIFY(
        path.endsWith(QStringLiteral("/autostart/Quorvin-%1-App.desktop").arg(QCoreApplication::applicationName())));

    AppSettings::setAutoBootApp(true);
    AppSettings::saveSettings();
    QVERIFY(QFileInfo::exists(path));
    QFile entry(path);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY2(text.contains(QStringLiteral("Exec=\"%1\" -path \"%2\"\n")
                               .arg(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath())),
             qPrintable(text));
    QVERIFY(settingsFile()->value(QStringLiteral("AutoBootApp")).toBool());

    AppSettings::setAutoBootApp(false);
    AppSettings::saveSettings();
    QVERIFY(!QFileInfo::exists(path));
    // Removing an absent entry is no failure.
    QVERIFY(AutoStart::setEnabled(false));
}

void TestAppSettings::autoStartQuotesTheExecLine_data()
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

void TestAppSettings::autoStartQuotesTheExecLine()
{
    QFETCH(QString, argument);
    QFETCH(QString, quoted);
    QCOMPARE(AutoStart::quoteExecArgument(argument), quoted);
}

void TestAppSettings::sameDayAsLastRun_data()
{
    QTest::addColumn<int>("storedDaysAgo"); // 999: nothing stored
    QTest::addColumn<bool>("sameDay");
    QTest::newRow("first run") << 999 << true;
    QTest::newRow("today") << 0 << true;
    QTest::newRow("yesterday") << 1 << false;
    QTest::newRow("tomorrow: clock set back") << -1 << false;
}

void TestAppSettings::sameDayAsLastRun()
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

void TestAppSettings::proxyWithoutRowUsesTheSystemConfiguration()
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    AppSettings::loadProxySettings();
    QCOMPARE(AppSettings::proxy().type(), QNetworkProxy::DefaultProxy);
    QVERIFY(QNetworkProxyFactory::usesSystemConfiguration());
}

void TestAppSettings::storedProxyIsSavedLoadedOnceAndApplied()
{
    AppSettings::setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.local"), 3128,
                                        QStringLiteral("user"), QStringLiteral("secret")));
    AppSettings::saveProxySettings();
    QCOMPARE(rowCount(TABLE_PROXY_SETTINGS), 1);
    const QVariantMap row = query->proxySettings();
    QCOMPARE(row.value(PROXY_TYPE).toInt(), int(QNetworkProxy::HttpProxy));
    QCOMPARE(row.value(PROXY_HOST_NAME).toString(), QStringLiteral("proxy.local"));
    QCOMPARE(row.value(PROXY_PORT).toInt(), 3128);
    QCOMPARE(row.value(PROXY_AUTH_PASSWORD).toString(), QStringLiteral("secret"));

    AppSettings::resetForTesting(); // as at the next start
    AppSettings::loadProxySettings();
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

void TestAppSettings::proxyPasswordIsAppliedAsLocalBytes()
{
    const QString password = QStringLiteral("пароль");
    AppSettings::setProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.local"), 8080, QStringLiteral("u"), password));
    AppSettings::loadProxySettings();
    QCOMPARE(AppSettings::proxy().password(), password);
    QCOMPARE(QNetworkProxy::applicationProxy().password(), QString::fromLatin1(password.toLocal8Bit()));
}

TAVREL_TEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
