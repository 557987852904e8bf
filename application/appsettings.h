#ifndef APPSETTINGS_H
#define APPSETTINGS_H

#include <QByteArray>
#include <QDateTime>
#include <QNetworkProxy>
#include <QString>

// The process-wide settings of the client. Every value lives in memory with a default that is applied on
// first read; nothing reaches the settings file, the per-user row or the start-with-session entry until
// saveSettings(). Where a value exists both in the logged-in user's row and in the settings file, the row wins.
// GUI thread only.
class AppSettings
{
public:
    static QString appVersion();
    static QString shortVersion();
    static QString organizationNameUpper();

    static int pagerLinkCount();
    static int rowsPerPage();
    static int precachePageCount();

    static bool isTrayMode();
    static void setTrayMode(bool value);
    static bool isAutoBootApp();
    static void setAutoBootApp(bool value);
    static bool useAutoEnter();
    static void setUseAutoEnter(bool value);
    static int autoEnterTimeout();
    static void setAutoEnterTimeout(int seconds);

    // The interval lives in the synchronization engine; without one, the value is kept here.
    static int newOrdersRefreshIntervalTime();
    static void setNewOrdersRefreshIntervalTime(int seconds);

    static bool isFullAccess();

    static QString userName();
    static void setUserName(const QString &name);

    static QNetworkProxy proxy();
    static void setProxy(const QNetworkProxy &proxy);
    static void saveProxySettings();
    static void loadProxySettings();

    static void saveSettings();
    static void loadSettings();

    static QDateTime todayDate();
    static void setTodayDate(const QDateTime &dateTime);
    static bool isSameDayAsLastRun();

    static QString settingsDirPath();
    // The workstation hash header is never sent: the hash is always empty.
    static QByteArray workstationHash();

    // Test seam: forgets every value held in memory, as at process start.
    static void resetForTesting();

    // Settings-file keys of this class.
    static const QString KEY_REFRESH_INTERVAL;
    static const QString KEY_PRECACHE_PAGE_COUNT;
    static const QString KEY_TRAY_MODE;
    static const QString KEY_TODAY_DATE;

    static constexpr int DEFAULT_REFRESH_INTERVAL = 600;
    static constexpr int MIN_AUTO_ENTER_TIMEOUT = 2;
    // Stored values outside these bounds are not taken: the setting keeps its default.
    static constexpr int MIN_REFRESH_INTERVAL = 60;
    static constexpr int MAX_REFRESH_INTERVAL = 86400;
    static constexpr int MAX_AUTO_ENTER_TIMEOUT = 999;
    static constexpr int DEFAULT_PRECACHE_PAGE_COUNT = 6;
    static constexpr int MAX_PRECACHE_PAGE_COUNT = 20;
};

#endif // APPSETTINGS_H
