#include "proxysettingsmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>

namespace {

const QString MOZILLA_CAPTION = QStringLiteral("Mozilla");
const QString OPERA_CAPTION = QStringLiteral("Opera");
const QString IE_CAPTION = QStringLiteral("Internet Explorer");

ProxySettingsModel::InternetSettingsSource &internetSettingsSource()
{
    static ProxySettingsModel::InternetSettingsSource source;
    return source;
}

QVariantMap platformInternetSettings()
{
    if (internetSettingsSource())
        return internetSettingsSource()();
    QVariantMap values;
#ifdef Q_OS_WIN
    QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
                                      "Settings"),
                       QSettings::NativeFormat);
    values.insert(QStringLiteral("ProxyEnable"), registry.value(QStringLiteral("ProxyEnable"), 0));
    values.insert(QStringLiteral("ProxyServer"), registry.value(QStringLiteral("ProxyServer")).toString());
#endif
    return values;
}

} // namespace

void ProxySettingsModel::setInternetSettingsSource(const InternetSettingsSource &source)
{
    internetSettingsSource() = source;
}

ProxySettingsModel::ProxySettingsModel(QObject *parent)
    : QAbstractListModel(parent)
{
    retranslatePrompt();
    promptItem.proxy = QNetworkProxy();
    refresh();
}

int ProxySettingsModel::rowCount(const QModelIndex &parent) const
{
    if (items.isEmpty() || parent.isValid())
        return 0;
    return items.size();
}

QVariant ProxySettingsModel::data(const QModelIndex &index, int role) const
{
    if (items.isEmpty() || !index.isValid() || index.row() < 0 || index.row() >= items.size())
        return QVariant();
    const ProxyItem &item = items.at(index.row());
    if (role == Qt::DisplayRole)
        return item.caption;
    if (role == ProxyRole && index.row() > 0)
        return QVariant::fromValue(item.proxy);
    return QVariant();
}

void ProxySettingsModel::refresh()
{
    items.clear();
    items.append(promptItem);
    loadFirefoxProxy();
    loadOperaProxy();
    loadIeProxy();
}

void ProxySettingsModel::retranslatePrompt()
{
    promptItem.caption = tr("Choose from list...");
    if (!items.isEmpty())
        items[0] = promptItem;
}

QList<ProxySettingsModel::ProxyItem> ProxySettingsModel::importItems() const
{
    QList<ProxyItem> result;
    for (const ProxyItem &item : items) {
        if (item.caption != promptItem.caption)
            result.append(item);
    }
    return result;
}

QString ProxySettingsModel::prefsStringValue(const QString &line)
{
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() < 2)
        return QString();
    const QString value = parts.at(1).trimmed();
    const int first = value.indexOf(QLatin1Char('"'));
    if (first < 0)
        return QString();
    const int second = value.indexOf(QLatin1Char('"'), first + 1);
    if (second <= first)
        return QString();
    return value.mid(first + 1, second - first - 1);
}

int ProxySettingsModel::prefsIntValue(const QString &line)
{
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() < 2)
        return -1;
    const QString value = parts.at(1).trimmed();
    const int bracket = value.indexOf(QLatin1Char(')'));
    if (bracket < 0)
        return -1;
    bool ok = false;
    const int number = value.left(bracket).trimmed().toInt(&ok);
    return ok ? number : -1;
}

// A port outside 1..65535 would wrap silently in the 16-bit field; it reads as "no port" instead.
quint16 ProxySettingsModel::portFromText(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return (ok && port >= 1 && port <= 65535) ? quint16(port) : quint16(0);
}

void ProxySettingsModel::splitServer(const QString &server, QNetworkProxy *proxy)
{
    const QStringList parts = server.split(QLatin1Char(':'));
    proxy->setHostName(parts.value(0));
    if (parts.size() > 1)
        proxy->setPort(portFromText(parts.at(1)));
}

// The folder that holds the organisation's settings folder (the roaming application data on
// Windows). Only the last path component is the organisation's; nothing else of the path is touched.
QString ProxySettingsModel::appDataDir()
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName());
    const QString organizationDir = QFileInfo(settings.fileName()).absolutePath();
    QDir dir(organizationDir);
    if (!dir.cdUp())
        return QString();
    return dir.absolutePath();
}

QString ProxySettingsModel::firefoxDir()
{
#ifdef Q_OS_WIN
    const QString base = appDataDir();
    return base.isEmpty() ? QString() : base + QStringLiteral("/Mozilla/Firefox");
#else
    return QDir::homePath() + QStringLiteral("/.mozilla/firefox");
#endif
}

QString ProxySettingsModel::operaPrefsFile()
{
#ifdef Q_OS_WIN
    const QString base = appDataDir();
    return base.isEmpty() ? QString() : base + QStringLiteral("/Opera/Opera/operaprefs.ini");
#else
    return QDir::homePath() + QStringLiteral("/.opera/operaprefs.ini");
#endif
}

void ProxySettingsModel::loadOperaProxy()
{
    const QString path = operaPrefsFile();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    QSettings prefs(path, QSettings::IniFormat);
    prefs.beginGroup(QStringLiteral("Proxy"));
    const int useHttp = prefs.value(QStringLiteral("Use HTTP"), 0).toInt();
    const int useHttps = prefs.value(QStringLiteral("Use HTTPS"), 0).toInt();
    QString server;
    if (useHttp != 0)
        server = prefs.value(QStringLiteral("HTTP server")).toString();
    else if (useHttps != 0)
        server = prefs.value(QStringLiteral("HTTPS server")).toString();

    ProxyItem item;
    item.caption = OPERA_CAPTION;
    if (!server.isEmpty()) {
        splitServer(server, &item.proxy);
        item.proxy.setType(QNetworkProxy::HttpProxy);
        item.importable = true;
    }
    items.append(item);
}

void ProxySettingsModel::loadIeProxy()
{
    const QVariantMap values = platformInternetSettings();
    const int enable = values.value(QStringLiteral("ProxyEnable"), 0).toInt();
    const QString server = values.value(QStringLiteral("ProxyServer")).toString();

    ProxyItem item;
    item.caption = IE_CAPTION;
    item.importable = true;
    item.proxy.setType(enable != 0 ? QNetworkProxy::HttpProxy : QNetworkProxy::NoProxy);
    splitServer(server, &item.proxy);
    items.append(item);
}

void ProxySettingsModel::loadFirefoxProxy()
{
    const QString dir = firefoxDir();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return;
    const QString profilesIni = dir + QStringLiteral("/profiles.ini");
    if (!QFileInfo::exists(profilesIni))
        return;

    QSettings profiles(profilesIni, QSettings::IniFormat);
    const QStringList groups = profiles.childGroups();
    for (const QString &group : groups) {
        if (!group.startsWith(QStringLiteral("Profile"), Qt::CaseInsensitive))
            continue;
        profiles.beginGroup(group);
        const QVariant pathValue = profiles.value(QStringLiteral("Path"));
        const QVariant isRelative = profiles.value(QStringLiteral("IsRelative"));
        profiles.endGroup();
        if (!pathValue.isValid())
            continue;
        const QString path = pathValue.toString();
        // Firefox writes profiles kept outside its folder with IsRelative=0 and an absolute path.
        const bool absolute = (isRelative.isValid() && isRelative.toInt() == 0) || QDir::isAbsolutePath(path);
        const QString profileDir = absolute ? path : dir + QLatin1Char('/') + path;

        ProxyItem item;
        item.proxy = loadFirefoxPrefs(profileDir);
        item.importable = item.proxy.type() != QNetworkProxy::DefaultProxy;
        item.caption = path.endsWith(QStringLiteral(".default"), Qt::CaseInsensitive)
            ? MOZILLA_CAPTION
            : QStringLiteral("%1 - %2").arg(MOZILLA_CAPTION, group);
        items.append(item);
    }
}

QNetworkProxy ProxySettingsModel::loadFirefoxPrefs(const QString &profileDir)
{
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    QFile file(profileDir + QStringLiteral("/prefs.js"));
    if (!file.exists())
        return proxy;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        proxy.setType(QNetworkProxy::DefaultProxy);
        return proxy;
    }

    int configurationType = -1;
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        if (line.contains(QStringLiteral("\"network.proxy.http\""))) {
            const QString host = prefsStringValue(line);
            if (!host.isEmpty()) {
                proxy.setType(QNetworkProxy::HttpProxy);
                proxy.setHostName(host);
            }
        }
        if (line.contains(QStringLiteral("\"network.proxy.http_port\""))) {
            if (proxy.type() != QNetworkProxy::Socks5Proxy)
                proxy.setPort(portFromText(QString::number(prefsIntValue(line))));
        }
        if (line.contains(QStringLiteral("\"network.proxy.socks\""))) {
            const QString host = prefsStringValue(line);
            if (!host.isEmpty() && proxy.type() != QNetworkProxy::HttpProxy) {
                proxy.setType(QNetworkProxy::Socks5Proxy);
                proxy.setHostName(host);
            }
        }
        if (line.contains(QStringLiteral("\"network.proxy.socks_port\""))) {
            if (proxy.type() != QNetworkProxy::HttpProxy)
                proxy.setPort(portFromText(QString::number(prefsIntValue(line))));
        }
        if (line.contains(QStringLiteral("\"network.proxy.type\"")))
            configurationType = prefsIntValue(line);
    }

    if (configurationType == 0)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    if (configurationType != 1)
        proxy.setType(QNetworkProxy::DefaultProxy);
    return proxy;
}
