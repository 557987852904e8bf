#include "appsettings.h"

#include "autostart.h"
#include "clock.h"
#include "constants.h"
#include "corehost.h"
#include "database.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QSettings>
#include <QVariantMap>

#include <limits>
#include <memory>
#include <optional>

const QString AppSettings::KEY_REFRESH_INTERVAL = QStringLiteral("newOrdersRefreshIntervalTime");
const QString AppSettings::KEY_PRECACHE_PAGE_COUNT = QStringLiteral("precachePageCount");
const QString AppSettings::KEY_TRAY_MODE = QStringLiteral("isTrayMode");
const QString AppSettings::KEY_TODAY_DATE = QStringLiteral("TavrelTodayDate");

namespace {

// A value that takes its default on first read and keeps whatever was stored since.
template<typename T> class Lazy
{
public:
    explicit Lazy(T defaultValue)
        : defaultValue_(defaultValue)
    {
    }
    T get()
    {
        if (!value_)
            value_ = defaultValue_;
        return *value_;
    }
    // Returns whether the stored value changed.
    bool set(T value)
    {
        if (get() == value)
            return false;
        value_ = value;
        return true;
    }
    void reset() { value_.reset(); }

private:
    T defaultValue_;
    std::optional<T> value_;
};

struct State
{
    Lazy<int> pagerLinkCount {5};
    Lazy<int> rowsPerPage {10};
    Lazy<int> precachePageCount {AppSettings::DEFAULT_PRECACHE_PAGE_COUNT};
    Lazy<bool> trayMode {true};
    Lazy<bool> autoBootApp {false};
    Lazy<bool> useAutoEnter {false};
    Lazy<int> autoEnterTimeout {0};
    int refreshIntervalWithoutEngine = AppSettings::DEFAULT_REFRESH_INTERVAL;
    QString userName;
    QNetworkProxy proxy;
};

State &state()
{
    static State s;
    return s;
}

std::unique_ptr<QSettings> openSettingsFile()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                                       QCoreApplication::applicationName());
}

// The login that keys the per-user row: empty (never null, which SQL would store as NULL) while nobody is
// logged in.
QString rowLogin()
{
    const QString login = CoreHost::currentSynchronization()->currentLogin();
    return login.isNull() ? QStringLiteral("") : login;
}

// The per-user row is keyed by the engine's current login: it is reached only while both exist.
bool perUserStorageAvailable()
{
    return CoreHost::currentSynchronization() && CoreHost::currentDataBaseQuery();
}

// The stored proxy belongs to no login: the database and the query object are all it needs.
bool proxyStorageAvailable()
{
    CoreHost *app = CoreHost::instance();
    return app && app->dataBase && app->dataBaseQuery;
}

int atLeastMinimumTimeout(int seconds)
{
    return seconds < AppSettings::MIN_AUTO_ENTER_TIMEOUT ? AppSettings::MIN_AUTO_ENTER_TIMEOUT : seconds;
}

// A stored number that is unreadable or outside its bounds is not taken, whoever wrote it: a zero
// interval would run the new-orders download on every scheduler pass, a negative page count skip the
// page asked for, a huge one ask for every page at once.
std::optional<int> storedInt(const QVariant &value, int minimum, int maximum)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < minimum || number > maximum)
        return std::nullopt;
    return number;
}

int storedRefreshInterval(const QVariant &value)
{
    return storedInt(value, AppSettings::MIN_REFRESH_INTERVAL, AppSettings::MAX_REFRESH_INTERVAL)
        .value_or(AppSettings::DEFAULT_REFRESH_INTERVAL);
}

// Below the minimum the delay is raised to it; above the maximum it is the default (raised as well).
int storedAutoEnterTimeout(const QVariant &value)
{
    return storedInt(value, std::numeric_limits<int>::min(), AppSettings::MAX_AUTO_ENTER_TIMEOUT).value_or(0);
}

} // namespace

QString AppSettings::appVersion()
{
    return QStringLiteral("1.2.1.0");
}

QString AppSettings::shortVersion()
{
    const QStringList parts = appVersion().split(QLatin1Char('.'));
    return parts.mid(0, 2).join(QLatin1Char('.'));
}

QString AppSettings::organizationNameUpper()
{
    return QStringLiteral("Quorvin").toUpper();
}

int AppSettings::pagerLinkCount()
{
    return state().pagerLinkCount.get();
}

int AppSettings::rowsPerPage()
{
    return state().rowsPerPage.get();
}

int AppSettings::precachePageCount()
{
    return state().precachePageCount.get();
}

bool AppSettings::isTrayMode()
{
    return state().trayMode.get();
}

void AppSettings::setTrayMode(bool value)
{
    if (!state().trayMode.set(value))
        return;
    if (CoreHost *app = CoreHost::instance())
        app->setTrayVisible(value);
}

bool AppSettings::isAutoBootApp()
{
    return state().autoBootApp.get();
}

void AppSettings::setAutoBootApp(bool value)
{
    state().autoBootApp.set(value);
}

bool AppSettings::useAutoEnter()
{
    return state().useAutoEnter.get();
}

void AppSettings::setUseAutoEnter(bool value)
{
    state().useAutoEnter.set(value);
}

int AppSettings::autoEnterTimeout()
{
    return state().autoEnterTimeout.get();
}

void AppSettings::setAutoEnterTimeout(int seconds)
{
    state().autoEnterTimeout.set(atLeastMinimumTimeout(seconds));
}

int AppSettings::newOrdersRefreshIntervalTime()
{
    if (TavrelSynchronization *sync = CoreHost::currentSynchronization())
        return sync->newOrdersRefreshInterval();
    return state().refreshIntervalWithoutEngine;
}

void AppSettings::setNewOrdersRefreshIntervalTime(int seconds)
{
    if (TavrelSynchronization *sync = CoreHost::currentSynchronization())
        sync->setNewOrdersRefreshInterval(seconds);
    else
        state().refreshIntervalWithoutEngine = seconds;
}

bool AppSettings::isFullAccess()
{
    CoreHost *app = CoreHost::instance();
    return app && app->fullAccess;
}

QString AppSettings::userName()
{
    State &s = state();
    if (!s.userName.isEmpty())
        return s.userName;
    TavrelSynchronization *sync = CoreHost::currentSynchronization();
    TavrelDataBaseQuery *query = CoreHost::currentDataBaseQuery();
    if (sync && query && !sync->currentLogin().isEmpty()) {
        s.userName = query->userName(sync->currentLogin());
        return s.userName;
    }
    return QString();
}

void AppSettings::setUserName(const QString &name)
{
    state().userName = name;
    TavrelSynchronization *sync = CoreHost::currentSynchronization();
    TavrelDataBaseQuery *query = CoreHost::currentDataBaseQuery();
    if (sync && query && !sync->currentLogin().isEmpty() && !name.isEmpty())
        query->setUserName(sync->currentLogin(), name);
}

QNetworkProxy AppSettings::proxy()
{
    return state().proxy;
}

void AppSettings::setProxy(const QNetworkProxy &proxy)
{
    state().proxy = proxy;
}

void AppSettings::saveProxySettings()
{
    if (!proxyStorageAvailable())
        return;
    const QNetworkProxy &p = state().proxy;
    QVariantMap row;
    row.insert(PROXY_TYPE, static_cast<int>(p.type()));
    row.insert(PROXY_HOST_NAME, p.hostName());
    row.insert(PROXY_PORT, static_cast<int>(p.port()));
    row.insert(PROXY_AUTH_LOGIN, p.user());
    row.insert(PROXY_AUTH_PASSWORD, p.password());
    CoreHost::currentDataBaseQuery()->saveProxySettings(row);
}

void AppSettings::loadProxySettings()
{
    QNetworkProxy &p = state().proxy;
    if (p.type() == QNetworkProxy::DefaultProxy && proxyStorageAvailable()) {
        const QVariantMap row = CoreHost::currentDataBaseQuery()->proxySettings();
        if (!row.isEmpty()) {
            p.setType(static_cast<QNetworkProxy::ProxyType>(row.value(PROXY_TYPE).toInt()));
            p.setHostName(row.value(PROXY_HOST_NAME).toString());
            p.setPort(static_cast<quint16>(row.value(PROXY_PORT).toInt()));
            p.setUser(row.value(PROXY_AUTH_LOGIN).toString());
            p.setPassword(row.value(PROXY_AUTH_PASSWORD).toString());
        }
    }

    if (p.type() == QNetworkProxy::DefaultProxy) {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return;
    }
    if (p.password().isEmpty()) {
        QNetworkProxy::setApplicationProxy(p);
        return;
    }
    // The proxy receives the password's bytes in the local 8-bit encoding; the stored value stays as typed.
    QNetworkProxy applied = p;
    const QByteArray local = p.password().toLocal8Bit();
    applied.setPassword(QString::fromLatin1(local.constData()));
    QNetworkProxy::setApplicationProxy(applied);
}

void AppSettings::saveSettings()
{
    {
        auto file = openSettingsFile();
        file->setValue(KEY_REFRESH_INTERVAL, newOrdersRefreshIntervalTime());
        file->setValue(KEY_PRECACHE_PAGE_COUNT, precachePageCount());
        file->setValue(KEY_TRAY_MODE, isTrayMode());
        file->setValue(SETTING_AUTO_ENTER_TIMEOUT, autoEnterTimeout());
        file->setValue(SETTING_USE_AUTO_ENTER, useAutoEnter());
        file->setValue(SETTING_AUTO_BOOT_APP, isAutoBootApp());
        file->sync();
    }

    AutoStart::setEnabled(isAutoBootApp());

    if (!perUserStorageAvailable())
        return;
    QVariantMap row;
    row.insert(SETTING_AUTO_ENTER_TIMEOUT, autoEnterTimeout());
    row.insert(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, newOrdersRefreshIntervalTime());
    row.insert(SETTING_USE_AUTO_ENTER, useAutoEnter());
    row.insert(SETTING_WORK_MODE_IN_BACKGROUND, isTrayMode());
    CoreHost::currentDataBaseQuery()->saveUserSettings(rowLogin(), row);
}

void AppSettings::loadSettings()
{
    State &s = state();
    bool rowLoaded = false;
    if (perUserStorageAvailable()) {
        const QVariantMap row = CoreHost::currentDataBaseQuery()->userSettings(rowLogin());
        if (!row.isEmpty()) {
            setAutoEnterTimeout(storedAutoEnterTimeout(row.value(SETTING_AUTO_ENTER_TIMEOUT)));
            setNewOrdersRefreshIntervalTime(storedRefreshInterval(row.value(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME)));
            setTrayMode(row.value(SETTING_WORK_MODE_IN_BACKGROUND).toInt() != 0);
            setUseAutoEnter(row.value(SETTING_USE_AUTO_ENTER).toInt() != 0);
            rowLoaded = true;
        }
    }

    auto file = openSettingsFile();
    if (file->contains(KEY_PRECACHE_PAGE_COUNT))
        s.precachePageCount.set(storedInt(file->value(KEY_PRECACHE_PAGE_COUNT), 0, MAX_PRECACHE_PAGE_COUNT)
                                    .value_or(DEFAULT_PRECACHE_PAGE_COUNT));
    setAutoBootApp(file->value(SETTING_AUTO_BOOT_APP, isAutoBootApp()).toBool());
    if (rowLoaded)
        return;

    if (file->contains(KEY_REFRESH_INTERVAL))
        setNewOrdersRefreshIntervalTime(storedRefreshInterval(file->value(KEY_REFRESH_INTERVAL)));
    setTrayMode(file->value(KEY_TRAY_MODE, isTrayMode()).toBool());
    setUseAutoEnter(file->value(SETTING_USE_AUTO_ENTER, useAutoEnter()).toBool());
    setAutoEnterTimeout(file->contains(SETTING_AUTO_ENTER_TIMEOUT)
                            ? storedAutoEnterTimeout(file->value(SETTING_AUTO_ENTER_TIMEOUT))
                            : autoEnterTimeout());
}

QDateTime AppSettings::todayDate()
{
    return openSettingsFile()->value(KEY_TODAY_DATE, Clock::currentDateTime()).toDateTime();
}

void AppSettings::setTodayDate(const QDateTime &dateTime)
{
    auto file = openSettingsFile();
    file->setValue(KEY_TODAY_DATE, dateTime);
    file->sync();
}

bool AppSettings::isSameDayAsLastRun()
{
    const QDateTime now = Clock::currentDateTime();
    QDateTime stored = openSettingsFile()->value(KEY_TODAY_DATE, now).toDateTime();
    if (!stored.isValid())
        stored = now;
    setTodayDate(now);
    return stored.toLocalTime().date().daysTo(now.date()) == 0;
}

QString AppSettings::settingsDirPath()
{
    return QFileInfo(openSettingsFile()->fileName()).absolutePath();
}

QByteArray AppSettings::workstationHash()
{
    return QByteArray();
}

void AppSettings::resetForTesting()
{
    State &s = state();
    s.pagerLinkCount.reset();
    s.rowsPerPage.reset();
    s.precachePageCount.reset();
    s.trayMode.reset();
    s.autoBootApp.reset();
    s.useAutoEnter.reset();
    s.autoEnterTimeout.reset();
    s.refreshIntervalWithoutEngine = DEFAULT_REFRESH_INTERVAL;
    s.userName.clear();
    s.proxy = QNetworkProxy();
}
