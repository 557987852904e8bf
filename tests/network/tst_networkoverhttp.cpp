#include "constants.h"
#include "coretestapplication.h"
#include "localservicefixture.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelnetworkdualcache.h"

#include <QNetworkCookie>
#include <QNetworkReply>
#include <QUrlQuery>

#include <memory>

// The access manager, its caches and its cookie jar against the stand-in service over real HTTP.
class TestNetworkOverHttp : public QObject
{
    Q_OBJECT

private:
    LocalServiceFixture service;

    QUrl apiUrl(const QString &path, const QString &query = QString()) const
    {
        QUrl url(baseUrl() + path);
        QUrlQuery form;
        form.addQueryItem(
            QStringLiteral("xml"),
            QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("<Request>%1</Request>").arg(query))));
        url.setQuery(form);
        return url;
    }

    static std::unique_ptr<QNetworkReply> finished(QNetworkReply *reply)
    {
        QSignalSpy spy(reply, &QNetworkReply::finished);
        if (!reply->isFinished() && !spy.wait(10000))
            qWarning("reply did not finish");
        return std::unique_ptr<QNetworkReply>(reply);
    }

    std::unique_ptr<QNetworkReply> get(QNetworkAccessManager &manager, const QUrl &url,
                                       const QByteArray &session = QByteArray())
    {
        QNetworkRequest request(url);
        if (!session.isNull())
            request.setRawHeader(HEADER_SESSION, session);
        return finished(manager.get(request));
    }

    // Every reply may be cached for ten minutes; with an extension, marked with it too.
    void repliesAreCacheable(const QByteArray &extension)
    {
        service->addFault(LocalServiceFault::extraHeader("Cache-Control", "max-age=600"));
        if (!extension.isEmpty())
            service->addFault(LocalServiceFault::extraHeader("cache-extension", extension));
    }

    std::unique_ptr<QNetworkReply> login(TavrelNetworkAccessManager &manager)
    {
        const QString document = QStringLiteral("<Request><Login>demo</Login><Password>%1</Password></Request>")
                                     .arg(LocalServiceUser::digest(QStringLiteral("demo")));
        QNetworkRequest request(QUrl(baseUrl() + URL_LOGIN));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        return finished(manager.post(request, "xml=" + QUrl::toPercentEncoding(document)));
    }

private slots:
    void initTestCase() { QVERIFY(service.start()); }

    void init()
    {
        service->clearFaults();
        service->clearRequestLog();
        service->clearLoginCookies();
        TavrelNetworkAccessManager manager;
        manager.dualCache()->clear();
        manager.tavrelCookieJar()->clearAll();
    }

    void managerGoesWhileAReplyIsBeingCached_data()
    {
        QTest::addColumn<QByteArray>("extension");
        QTest::newRow("memory") << QByteArray("no-save");
        QTest::newRow("disk") << QByteArray();
    }

    // The reply's cache device is open in one of the cache's parts when everything is torn down.
    void managerGoesWhileAReplyIsBeingCached()
    {
        QFETCH(QByteArray, extension);
        repliesAreCacheable(extension);
        service->addFault(LocalServiceFault::partialBody(20).onPath(URL_SUBSCRIPTIONS));
        auto *manager = new TavrelNetworkAccessManager;
        QPointer<QNetworkReply> reply = manager->get(QNetworkRequest(apiUrl(URL_SUBSCRIPTIONS)));
        QTRY_VERIFY(reply->bytesAvailable() > 0);
        QVERIFY(!reply->isFinished());
        delete manager;
        QVERIFY(reply.isNull());
    }

    void sessionRepliesAreNeverSharedThroughTheCache()
    {
        repliesAreCacheable(QByteArray());
        const QByteArray first = service->openSession(QStringLiteral("demo"));
        const QByteArray second = service->openSession(QStringLiteral("demo"));
        const QUrl url = apiUrl(URL_FAVOURITES);
        TavrelNetworkAccessManager manager;

        QCOMPARE(get(manager, url, first)->error(), QNetworkReply::NoError);
        QCOMPARE(get(manager, url, first)->error(), QNetworkReply::NoError);
        QCOMPARE(get(manager, url, second)->error(), QNetworkReply::NoError);
        QCOMPARE(service->requests(URL_FAVOURITES).size(), 3);
        bool cached = true;
        manager.reportStatusOfUrlCache(url, cached);
        QVERIFY(!cached);

        // Without a session the reply may be cached, and served again without one only.
        auto anonymous = get(manager, url);
        QVERIFY(anonymous->readAll().contains(E_INVALID_USERNAME_OR_PASSWORD.toLatin1()));
        QCOMPARE(service->requests(URL_FAVOURITES).size(), 4);
        auto again = get(manager, url);
        QVERIFY(again->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool());
        QCOMPARE(service->requests(URL_FAVOURITES).size(), 4);

        auto withSession = get(manager, url, first);
        QVERIFY(!withSession->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool());
        QVERIFY(withSession->readAll().contains("<Result>" + S_OK.toLatin1()));
        QCOMPARE(service->requests(URL_FAVOURITES).size(), 5);
    }

    void cookiesTravel()
    {
        QNetworkCookie language("lang", "ru");
        language.setPath(QStringLiteral("/"));
        language.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
        service->addLoginCookie(language.toRawForm());
        TavrelNetworkAccessManager manager;
        QCOMPARE(login(manager)->error(), QNetworkReply::NoError);
        get(manager, apiUrl(URL_SUBSCRIPTIONS));
        QVERIFY(!service->lastRequest(URL_SUBSCRIPTIONS).cookie(COOKIE_PHP_SESSION.toLatin1()).isEmpty());
        QCOMPARE(service->lastRequest(URL_SUBSCRIPTIONS).cookie("lang"), QByteArray("ru"));
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkOverHttp)
#include "tst_networkoverhttp.moc"
