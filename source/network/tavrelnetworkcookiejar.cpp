#include "tavrelnetworkcookiejar.h"

#include "appsettings.h"
#include "clock.h"
#include "constants.h"
#include "cookietrie.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace {

const int MAX_COOKIE_PATH_LENGTH = 1000;

const QFileDevice::Permissions OWNER_FILE_PERMISSIONS = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions OWNER_DIRECTORY_PERMISSIONS
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Single-sign-on cookies that a cached page still relies on: while the page is
// cached they are not replaced.
bool isCacheBoundCookie(const QByteArray &name)
{
    return name == "FedAuth" || name == "ASP.NET_SessionId" || name == "FedAuth1";
}

bool isExpired(const QNetworkCookie &cookie, const QDateTime &now)
{
    return !cookie.isSessionCookie() && cookie.expirationDate() < now;
}

// Name, domain text and path: what makes two lines of a file the same cookie.
bool sameFileIdentity(const QNetworkCookie &left, const QNetworkCookie &right)
{
    return left.name() == right.name() && left.domain() == right.domain() && left.path() == right.path();
}

} // namespace

TavrelNetworkCookieJar::TavrelNetworkCookieJar(QObject *parent)
    : QNetworkCookieJar(parent)
    , m_cookieDirectory(AppSettings::settingsDirPath() + QDir::separator() + QCoreApplication::applicationName()
                        + QDir::separator() + COOKIES_DIR)
    , m_trie(std::make_unique<CookieTrie>())
{
    loadCookieFiles();
}

TavrelNetworkCookieJar::~TavrelNetworkCookieJar() = default;

QStringList TavrelNetworkCookieJar::domainLabels(const QString &domain)
{
    QStringList labels = domain.split(QLatin1Char('.'));
    while (!labels.isEmpty() && labels.constLast().isEmpty())
        labels.removeLast();
    while (!labels.isEmpty() && labels.constFirst().isEmpty())
        labels.removeFirst();
    return labels;
}

QString TavrelNetworkCookieJar::slashTerminatedPath(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

bool TavrelNetworkCookieJar::isPathMatch(const QNetworkCookie &cookie, const QString &requestPath)
{
    return requestPath.startsWith(slashTerminatedPath(cookie.path()));
}

bool TavrelNetworkCookieJar::isDomainMatch(const QNetworkCookie &cookie, const QUrl &url)
{
    const QString domain = cookie.domain().toLower().simplified().remove(QLatin1Char(' '));
    const QStringList cookieLabels = domainLabels(domain);
    if (cookieLabels.isEmpty())
        return false;
    if (cookieLabels.size() == 1) {
        if (cookieLabels.constFirst() != QLatin1String("localhost"))
            return false;
        if (url.scheme().toLower() == QLatin1String("file"))
            return true;
    }
    const QString host = url.host().toLower();
    // An address has no parent domains: 0.0.1 is no domain of 127.0.0.1.
    if (!QHostAddress(host).isNull())
        return cookieLabels.join(QLatin1Char('.')) == host;
    QStringList hostLabels = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    // A domain longer than the host (r.s.evil for the host r.s) would let a
    // server plant cookies for somebody else's domain.
    if (hostLabels.isEmpty() || cookieLabels.size() > hostLabels.size())
        return false;
    while (hostLabels.size() > cookieLabels.size())
        hostLabels.removeFirst();
    return hostLabels == cookieLabels;
}

bool TavrelNetworkCookieJar::lessThanByPath(const QNetworkCookie &left, const QNetworkCookie &right)
{
    return left.path().size() > right.path().size();
}

bool TavrelNetworkCookieJar::isSafeFileName(const QString &domain)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9.-]+$"));
    return domain != QLatin1String(".") && domain != QLatin1String("..") && allowed.match(domain).hasMatch();
}

// The cookies of the node of key and of each parent domain of at least two
// labels, the host's own node first.
QList<QNetworkCookie> TavrelNetworkCookieJar::candidates(QStringList key) const
{
    QList<QNetworkCookie> result = m_trie->find(key);
    if (key.size() > 2) {
        key.removeFirst();
        while (key.size() > 1) {
            result += m_trie->find(key);
            key.removeFirst();
        }
    }
    return result;
}

QList<QNetworkCookie> TavrelNetworkCookieJar::cookiesForUrl(const QUrl &url) const
{
    const QString scheme = url.scheme().toLower();
    const QString host = scheme == QLatin1String("file") ? QStringLiteral("localhost") : url.host();
    QList<QNetworkCookie> result = candidates(domainLabels(host));
    if (result.isEmpty())
        return result;

    const QDateTime now = Clock::currentDateTimeUtc();
    const QString requestPath = slashTerminatedPath(url.path());
    const bool https = scheme == QLatin1String("https");
    for (auto it = result.begin(); it != result.end();) {
        if (!isPathMatch(*it, requestPath) || (!https && it->isSecure())) {
            it = result.erase(it);
        } else if (isExpired(*it, now)) {
            m_trie->remove(domainLabels(it->domain()), *it);
            it = result.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(result.begin(), result.end(), lessThanByPath);
    return result;
}

bool TavrelNetworkCookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    if (url.isEmpty() || url.host().isEmpty())
        return false;

    const QDateTime now = Clock::currentDateTimeUtc();
    const QString urlPath = url.path();
    const int lastSlash = urlPath.lastIndexOf(QLatin1Char('/'));
    const QString defaultPath = lastSlash < 0 ? QStringLiteral("/") : urlPath.left(lastSlash + 1);

    bool added = false;
    for (QNetworkCookie cookie : cookieList) {
        if (cookie.path().size() > MAX_COOKIE_PATH_LENGTH)
            continue;
        const bool expired = isExpired(cookie, now);
        if (cookie.path().isEmpty())
            cookie.setPath(defaultPath);
        if (cookie.domain().isEmpty())
            cookie.setDomain(url.host().toLower());
        else if (!isDomainMatch(cookie, url))
            continue;

        const QStringList key = domainLabels(cookie.domain());
        const QList<QNetworkCookie> stored = candidates(key);
        const auto twin = std::find_if(stored.cbegin(), stored.cend(), [&](const QNetworkCookie &candidate) {
            return candidate.name() == cookie.name() && candidate.path() == cookie.path()
                && domainLabels(candidate.domain()) == key;
        });

        if (twin == stored.cend()) {
            if (expired) {
                // The server deletes a cookie we only have on disk.
                removeFromCookieFile(cookie);
                continue;
            }
        } else {
            if (expired) {
                m_trie->remove(key, *twin);
                removeFromCookieFile(*twin);
                removeFromCookieFile(cookie);
                continue;
            }
            if (isCacheBoundCookie(cookie.name())) {
                bool cached = false;
                emit getIsUrlCached(url, cached);
                if (cached)
                    continue;
            }
            m_trie->remove(key, *twin);
            // The replaced cookie's line goes too, even when the new cookie is
            // a session cookie or spells its domain differently, or the old
            // value would come back at the next start.
            removeFromCookieFile(*twin);
        }
        m_trie->insert(key, cookie);
        save(cookie);
        added = true;
    }
    return added;
}

QList<QNetworkCookie> TavrelNetworkCookieJar::allCookies() const
{
    return m_trie->all();
}

void TavrelNetworkCookieJar::setAllCookies(const QList<QNetworkCookie> &cookies)
{
    m_trie->clear();
    for (const QNetworkCookie &cookie : cookies)
        m_trie->insert(domainLabels(cookie.domain()), cookie);
}

QString TavrelNetworkCookieJar::cookieDirectory() const
{
    return m_cookieDirectory;
}

void TavrelNetworkCookieJar::setCookieDirectory(const QString &directory)
{
    m_cookieDirectory = directory;
}

void TavrelNetworkCookieJar::clearAll()
{
    setAllCookies({});
    removeCookieFiles();
}

void TavrelNetworkCookieJar::clearPersistentData()
{
    removeCookieFiles();
}

QStringList TavrelNetworkCookieJar::cookieFiles() const
{
    QStringList paths;
    if (m_cookieDirectory.isEmpty())
        return paths;
    const QFileInfoList entries
        = QDir(m_cookieDirectory)
              .entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries)
        paths.append(entry.absoluteFilePath());
    return paths;
}

void TavrelNetworkCookieJar::loadCookieFiles()
{
    QList<QNetworkCookie> cookies;
    for (const QString &path : cookieFiles())
        readCookieFile(path, cookies);
    if (!cookies.isEmpty())
        setAllCookies(cookies);
}

QString TavrelNetworkCookieJar::cookieFilePath(const QString &domain) const
{
    if (m_cookieDirectory.isEmpty() || !isSafeFileName(domain))
        return QString();
    return m_cookieDirectory + QDir::separator() + domain;
}

bool TavrelNetworkCookieJar::ensureCookieDirectory() const
{
    // The files hold session credentials: only the user may list or read them.
    if (!QDir().mkpath(m_cookieDirectory))
        return false;
    QFile directory(m_cookieDirectory);
    if (directory.permissions() != OWNER_DIRECTORY_PERMISSIONS)
        return directory.setPermissions(OWNER_DIRECTORY_PERMISSIONS);
    return true;
}

bool TavrelNetworkCookieJar::readCookieFile(const QString &path, QList<QNetworkCookie> &cookies)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        cookies += QNetworkCookie::parseCookies(line);
    }
    return file.error() == QFileDevice::NoError;
}

bool TavrelNetworkCookieJar::writeCookieFile(const QString &path, const QList<QNetworkCookie> &cookies) const
{
    if (!ensureCookieDirectory())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(OWNER_FILE_PERMISSIONS))
        return false;
    for (const QNetworkCookie &cookie : cookies) {
        file.write(cookie.toRawForm(QNetworkCookie::Full));
        file.write("\n");
    }
    return file.commit();
}

void TavrelNetworkCookieJar::save(const QNetworkCookie &cookie)
{
    if (cookie.domain().isEmpty() || cookie.isSessionCookie())
        return;
    const QString path = cookieFilePath(cookie.domain());
    if (path.isEmpty())
        return;
    QList<QNetworkCookie> lines;
    if (QFileInfo::exists(path) && !readCookieFile(path, lines))
        return;
    // Older lines of the same cookie and lines that have expired would only
    // make the file grow; the new cookie goes last.
    const QDateTime now = Clock::currentDateTimeUtc();
    lines.erase(std::remove_if(
                    lines.begin(), lines.end(),
                    [&](const QNetworkCookie &line) { return sameFileIdentity(line, cookie) || isExpired(line, now); }),
                lines.end());
    lines.append(cookie);
    writeCookieFile(path, lines);
}

void TavrelNetworkCookieJar::removeFromCookieFile(const QNetworkCookie &cookie)
{
    if (cookie.domain().isEmpty() || cookie.isSessionCookie() || !QDir(m_cookieDirectory).exists())
        return;
    const QString path = cookieFilePath(cookie.domain());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    QList<QNetworkCookie> lines;
    if (!readCookieFile(path, lines))
        return;
    const int before = lines.size();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const QNetworkCookie &line) { return sameFileIdentity(line, cookie); }),
                lines.end());
    if (lines.size() == before)
        return;
    if (lines.isEmpty())
        QFile::remove(path);
    else
        writeCookieFile(path, lines);
}

void TavrelNetworkCookieJar::removeCookieFiles()
{
    for (const QString &path : cookieFiles())
        QFile::remove(path);
}
