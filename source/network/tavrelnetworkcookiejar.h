#ifndef TAVRELNETWORKCOOKIEJAR_H
#define TAVRELNETWORKCOOKIEJAR_H

#include <QNetworkCookieJar>
#include <QStringList>

#include <memory>

class CookieTrie;

// The access manager's cookie jar. Cookies live in a tree keyed by the labels
// of their domain; persistent ones are also kept as one text file per domain
// (one Set-Cookie line per cookie) so that they survive a restart.
class TavrelNetworkCookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    explicit TavrelNetworkCookieJar(QObject *parent = nullptr);
    ~TavrelNetworkCookieJar() override;

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;

    // Every cookie in memory, and its wholesale replacement (memory only).
    QList<QNetworkCookie> allCookies() const;
    void setAllCookies(const QList<QNetworkCookie> &cookies);

    QString cookieDirectory() const;
    void setCookieDirectory(const QString &directory);

    static QStringList domainLabels(const QString &domain);
    static QString slashTerminatedPath(const QString &path);
    static bool isPathMatch(const QNetworkCookie &cookie, const QString &requestPath);
    static bool isDomainMatch(const QNetworkCookie &cookie, const QUrl &url);
    static bool lessThanByPath(const QNetworkCookie &left, const QNetworkCookie &right);
    // Domain texts become file names only when they can't reach outside the
    // cookie directory or name something odd there.
    static bool isSafeFileName(const QString &domain);

public slots:
    void clearAll();
    void clearPersistentData();

signals:
    // Asked before a stored single-sign-on cookie is replaced; the receiver
    // sets result when the reply of url is in the HTTP cache.
    void getIsUrlCached(const QUrl &url, bool &result);

private:
    QList<QNetworkCookie> candidates(QStringList key) const;
    QStringList cookieFiles() const;
    void loadCookieFiles();
    QString cookieFilePath(const QString &domain) const;
    bool ensureCookieDirectory() const;
    // False when the file exists but can't be read: such a file is never
    // rewritten, or its other cookies would be lost.
    static bool readCookieFile(const QString &path, QList<QNetworkCookie> &cookies);
    bool writeCookieFile(const QString &path, const QList<QNetworkCookie> &cookies) const;
    void save(const QNetworkCookie &cookie);
    void removeFromCookieFile(const QNetworkCookie &cookie);
    void removeCookieFiles();

    QString m_cookieDirectory;
    std::unique_ptr<CookieTrie> m_trie;
};

#endif // TAVRELNETWORKCOOKIEJAR_H
