#ifndef TAVRELNETWORKACCESSMANAGER_H
#define TAVRELNETWORKACCESSMANAGER_H

#include <QNetworkAccessManager>
#include <QSet>
#include <QSslError>

class TavrelNetworkCookieJar;
class TavrelNetworkDualCache;

// The application's one access manager: every request of the service's API
// passes through it. It owns the two-level HTTP cache and the persistent
// cookie jar, and applies the process-wide request rules (default ports,
// transfer timeout, no shared cache across sessions, strict TLS).
class TavrelNetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    explicit TavrelNetworkAccessManager(QObject *parent = nullptr);
    ~TavrelNetworkAccessManager() override;

    // PostOperation posts body, GetOperation gets; anything else is a HEAD.
    QNetworkReply *sendByOperation(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                                   QIODevice *body);

    // A host whose certificate may name another host (nothing else is forgiven).
    void allowHost(const QUrl &url);

    TavrelNetworkCookieJar *tavrelCookieJar() const;
    TavrelNetworkDualCache *dualCache() const;

    // url without an explicit port that is its scheme's default (http 80, https 443).
    static QUrl withoutDefaultPort(const QUrl &url);

public slots:
    void processSslErrors(QNetworkReply *reply, const QList<QSslError> &errors);
    void reportStatusOfUrlCache(const QUrl &url, bool &isCached);

protected:
    QNetworkReply *createRequest(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    QSet<QString> m_allowedHosts;
    TavrelNetworkDualCache *m_cache = nullptr;
    TavrelNetworkCookieJar *m_cookieJar = nullptr;
};

#endif // TAVRELNETWORKACCESSMANAGER_H
