#include "tavrelnetworkaccessmanager.h"

#include "appsettings.h"
#include "constants.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelnetworkdualcache.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkProxyFactory>
#include <QNetworkReply>

TavrelNetworkAccessManager::TavrelNetworkAccessManager(QObject *parent)
    : QNetworkAccessManager(parent)
    , m_cache(new TavrelNetworkDualCache)
    , m_cookieJar(new TavrelNetworkCookieJar)
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    m_cache->setCacheDirectory(AppSettings::settingsDirPath() + QDir::separator() + QCoreApplication::applicationName()
                               + QDir::separator() + CACHE_DIR);
    setCache(m_cache);
    setCookieJar(m_cookieJar);

    connect(this, &QNetworkAccessManager::sslErrors, this, &TavrelNetworkAccessManager::processSslErrors);
    connect(m_cookieJar, &TavrelNetworkCookieJar::getIsUrlCached, this,
            &TavrelNetworkAccessManager::reportStatusOfUrlCache);
}

TavrelNetworkAccessManager::~TavrelNetworkAccessManager()
{
    // Replies still in flight go first, so none of them reaches the jar or
    // the cache while those are being destroyed.
    qDeleteAll(findChildren<QNetworkReply *>(QString(), Qt::FindDirectChildrenOnly));
    setCookieJar(nullptr);
    m_cookieJar = nullptr;
    setCache(nullptr);
    m_cache = nullptr;
}

QNetworkReply *TavrelNetworkAccessManager::sendByOperation(QNetworkAccessManager::Operation operation,
                                                           const QNetworkRequest &request, QIODevice *body)
{
    switch (operation) {
    case QNetworkAccessManager::PostOperation:
        return post(request, body);
    case QNetworkAccessManager::GetOperation:
        return get(request);
    default:
        return head(request);
    }
}

void TavrelNetworkAccessManager::allowHost(const QUrl &url)
{
    m_allowedHosts.insert(url.host().toLower());
}

TavrelNetworkCookieJar *TavrelNetworkAccessManager::tavrelCookieJar() const
{
    return m_cookieJar;
}

TavrelNetworkDualCache *TavrelNetworkAccessManager::dualCache() const
{
    return m_cache;
}

QUrl TavrelNetworkAccessManager::withoutDefaultPort(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const int port = url.port();
    if ((scheme == QLatin1String("https") && port == 443) || (scheme == QLatin1String("http") && port == 80))
        return QUrl(QString::fromUtf8(url.toEncoded(QUrl::RemovePort)), QUrl::TolerantMode);
    return url;
}

QNetworkReply *TavrelNetworkAccessManager::createRequest(QNetworkAccessManager::Operation operation,
                                                         const QNetworkRequest &request, QIODevice *outgoingData)
{
    QNetworkRequest adjusted(request);

    if (!adjusted.hasRawHeader(HEADER_WORKSTATION_HASH)) {
        const QByteArray hash = AppSettings::workstationHash();
        if (!hash.isEmpty())
            adjusted.setRawHeader(HEADER_WORKSTATION_HASH, hash);
    }

    adjusted.setUrl(withoutDefaultPort(adjusted.url()));

    // A server that accepts the connection and never answers must not stall
    // synchronization for good.
    if (adjusted.transferTimeout() == 0)
        adjusted.setTransferTimeout(NETWORK_TRANSFER_TIMEOUT_MSEC);

    // The cache is keyed by URL alone, which doesn't tell users apart: a reply
    // fetched for one session is neither served from nor kept in the cache.
    if (adjusted.hasRawHeader(HEADER_SESSION)) {
        adjusted.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        adjusted.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }

    return QNetworkAccessManager::createRequest(operation, adjusted, outgoingData);
}

void TavrelNetworkAccessManager::processSslErrors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    // Certificates are validated as usual. The one thing that may be forgiven
    // is a certificate naming another host, and only for a host allowed
    // explicitly; any other error ends the reply.
    if (!reply || errors.isEmpty())
        return;
    for (const QSslError &error : errors) {
        if (error.error() != QSslError::HostNameMismatch)
            return;
    }
    if (m_allowedHosts.contains(reply->url().host().toLower()))
        reply->ignoreSslErrors(errors);
}

void TavrelNetworkAccessManager::reportStatusOfUrlCache(const QUrl &url, bool &isCached)
{
    QIODevice *device = m_cache ? m_cache->data(url) : nullptr;
    isCached = device != nullptr;
    delete device;
}
