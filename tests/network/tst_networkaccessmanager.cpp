// The access manager: what it sends, its TLS rule, and over HTTP against the stand-in its session-safe
// cache (the cookies a login leaves are the request test's).
#include "constants.h"
#include "coretestapplication.h"
#include "localservicefixture.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelnetworkdualcache.h"

#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>

namespace {

// An HTTPS server on 127.0.0.1 presenting the given certificate; it answers the first bytes of every
// connection, which only a client that accepted the certificate sends.
class TlsServer : public QTcpServer
{
public:
    QSslCertificate certificate;
    QSslKey key;
    int answered = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        connect(socket, &QSslSocket::readyRead, socket, [this, socket] {
            QObject::disconnect(socket, &QSslSocket::readyRead, nullptr, nullptr);
            ++answered;
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            socket->disconnectFromHost();
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->startServerEncryption();
    }
};

} // namespace

Q_DECLARE_METATYPE(QNetworkAccessManager::Operation)

class TestNetworkAccessManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir certificates;
    LocalServiceFixture service;

    // A GET of the service with an empty request document.
    QUrl apiUrl(const QString &path) const { return QUrl(baseUrl() + path + QStringLiteral("?xml=%3CRequest%2F%3E")); }

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

    // A self-signed certificate (and its key) for the given subject alternative name.
    bool makeCertificate(const QString &name, const QString &subjectAltName, QSslCertificate *certificate, QSslKey *key)
    {
        QProcess process;
        process.setWorkingDirectory(certificates.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
                       "-days", "2", "-subj", "/CN=" + name, "-addext", "subjectAltName=" + subjectAltName});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return false;
        QFile certificateFile(certificates.filePath(name + QStringLiteral(".pem")));
        QFile keyFile(certificates.filePath(name + QStringLiteral(".key")));
        if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return false;
        *certificate = QSslCertificate(&certificateFile);
        *key = QSslKey(&keyFile, QSsl::Rsa);
        return !certificate->isNull() && !key->isNull();
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

    // What leaves the manager: the default port dropped, the verb, the transfer timeout (every request
    // gets one) and the workstation hash header only where the caller set it.
    void sentRequest_data()
    {
        QTest::addColumn<QNetworkAccessManager::Operation>("operation");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<int>("callerTimeout");
        QTest::addColumn<QByteArray>("hash");
        QTest::addColumn<QNetworkAccessManager::Operation>("sentOperation");
        QTest::addColumn<QUrl>("sentUrl");
        QTest::addColumn<int>("sentTimeout");
        const auto get = QNetworkAccessManager::GetOperation;
        const auto post = QNetworkAccessManager::PostOperation;
        const auto head = QNetworkAccessManager::HeadOperation;
        const int standard = NETWORK_TRANSFER_TIMEOUT_MSEC;
        const auto row = [](const char *name, QNetworkAccessManager::Operation operation, const char *url, int timeout,
                            const QByteArray &hash, QNetworkAccessManager::Operation sentOperation, const char *sentUrl,
                            int sentTimeout) {
            QTest::newRow(name) << operation << QUrl(url) << timeout << hash << sentOperation << QUrl(sentUrl)
                                << sentTimeout;
        };
        row("https 443", get, "https://127.0.0.1:443/api/login?x=1", 0, {}, get, "https://127.0.0.1/api/login?x=1",
            standard);
        row("http 80", post, "http://127.0.0.1:80/api/login", 0, {}, post, "http://127.0.0.1/api/login", standard);
        row("http 443 kept", get, "http://127.0.0.1:443/", 0, {}, get, "http://127.0.0.1:443/", standard);
        row("put is a head", QNetworkAccessManager::PutOperation, "http://127.0.0.1:9/", 0, {}, head,
            "http://127.0.0.1:9/", standard);
        row("the caller's timeout", get, "http://127.0.0.1:9/", 1500, {}, get, "http://127.0.0.1:9/", 1500);
        row("the caller's hash", post, "http://127.0.0.1:9/", 0, "given", post, "http://127.0.0.1:9/", standard);
    }

    void sentRequest()
    {
        QFETCH(QNetworkAccessManager::Operation, operation);
        QFETCH(QUrl, url);
        QFETCH(int, callerTimeout);
        QFETCH(QByteArray, hash);
        QFETCH(QNetworkAccessManager::Operation, sentOperation);
        QFETCH(QUrl, sentUrl);
        QFETCH(int, sentTimeout);

        TavrelNetworkAccessManager manager;
        QNetworkRequest request(url);
        request.setTransferTimeout(callerTimeout);
        if (!hash.isEmpty())
            request.setRawHeader(HEADER_WORKSTATION_HASH, hash);
        QBuffer body;
        body.setData("xml=%3CRequest%2F%3E");
        body.open(QIODevice::ReadOnly);
        std::unique_ptr<QNetworkReply> reply(manager.sendByOperation(operation, request, &body));
        QVERIFY(reply);
        QCOMPARE(reply->operation(), sentOperation);
        QCOMPARE(reply->request().url(), sentUrl);
        QCOMPARE(reply->request().transferTimeout(), sentTimeout);
        QCOMPARE(reply->request().rawHeader(HEADER_WORKSTATION_HASH), hash);
        reply->abort();
    }

    // Certificates are checked as usual; only a certificate naming another host is forgiven, and only
    // for a host allowed explicitly.
    void certificatesAreValidated_data()
    {
        QTest::addColumn<QString>("subjectAltName");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("allowHost");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("untrusted, host allowed") << "IP:127.0.0.1" << false << true << false;
        QTest::newRow("other host's name") << "DNS:other.test" << true << false << false;
        QTest::newRow("other host's name, host allowed") << "DNS:other.test" << true << true << true;
    }

    void certificatesAreValidated()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("This Qt has no TLS backend");
        QFETCH(QString, subjectAltName);
        QFETCH(bool, trusted);
        QFETCH(bool, allowHost);
        QFETCH(bool, accepted);
        QVERIFY(certificates.isValid());
        TlsServer server;
        QVERIFY(makeCertificate(QStringLiteral("server"), subjectAltName, &server.certificate, &server.key));
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TavrelNetworkAccessManager manager;
        if (allowHost)
            manager.allowHost(QUrl("https://127.0.0.1/"));
        QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1/api/login").arg(server.serverPort())));
        if (trusted) {
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setCaCertificates({server.certificate});
            request.setSslConfiguration(configuration);
        }
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(reply->isFinished() || finished.wait(15000));
        QCOMPARE(reply->error(), accepted ? QNetworkReply::NoError : QNetworkReply::SslHandshakeFailedError);
        QCOMPARE(server.answered, accepted ? 1 : 0);
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
        // The jar asks the manager about such a page.
        emit manager.tavrelCookieJar()->getIsUrlCached(url, cached);
        QVERIFY(cached);

        auto withSession = get(manager, url, first);
        QVERIFY(!withSession->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool());
        QVERIFY(withSession->readAll().contains("<Result>" + S_OK.toLatin1()));
        QCOMPARE(service->requests(URL_FAVOURITES).size(), 5);
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkAccessManager)
#include "tst_networkaccessmanager.moc"
