#include "constants.h"
#include "coretestapplication.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelnetworkdualcache.h"

#include <QNetworkCacheMetaData>
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

// A one-answer HTTPS server on 127.0.0.1 presenting the given certificate.
class TlsServer : public QTcpServer
{
public:
    TlsServer(const QSslCertificate &certificate, const QSslKey &key)
        : certificate(certificate)
        , key(key)
    {
    }

    int answered = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        connect(socket, &QSslSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (!request.contains("\r\n\r\n"))
                return;
            ++answered;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
                          "Connection: close\r\n\r\nok");
            socket->disconnectFromHost();
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->startServerEncryption();
    }

private:
    QSslCertificate certificate;
    QSslKey key;
};

struct Credentials
{
    QSslCertificate certificate;
    QSslKey key;
};

bool finishes(QNetworkReply *reply, int timeoutMsecs = 15000)
{
    if (!reply->isFinished()) {
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!finished.wait(timeoutMsecs))
            return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(QNetworkAccessManager::Operation)

class TestNetworkAccessManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir certificates;
    QMap<QString, Credentials> credentials;
    QSslCertificate authority;

    bool openssl(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(certificates.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            qWarning() << "openssl" << arguments << process.readAll();
            return false;
        }
        return true;
    }

    bool loadCredentials(const QString &name)
    {
        QFile certificateFile(certificates.filePath(name + QStringLiteral(".pem")));
        QFile keyFile(certificates.filePath(name + QStringLiteral(".key")));
        if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return false;
        Credentials loaded {QSslCertificate(&certificateFile), QSslKey(&keyFile, QSsl::Rsa)};
        if (loaded.certificate.isNull() || loaded.key.isNull())
            return false;
        credentials.insert(name, loaded);
        return true;
    }

    // A certificate signed by the test authority for the given subject alternative name.
    bool issue(const QString &name, const QString &subjectAltName)
    {
        QFile extensions(certificates.filePath(name + QStringLiteral(".ext")));
        if (!extensions.open(QIODevice::WriteOnly))
            return false;
        extensions.write("subjectAltName=" + subjectAltName.toLatin1() + "\n");
        extensions.close();
        return openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                        "-subj", "/CN=" + name})
            && openssl({"x509", "-req", "-in", name + ".csr", "-CA", "authority.pem", "-CAkey", "authority.key",
                        "-CAcreateserial", "-days", "2", "-extfile", name + ".ext", "-out", name + ".pem"})
            && loadCredentials(name);
    }

private slots:
    void initTestCase()
    {
        // The system proxy of the test machine must not carry loopback traffic.
        qputenv("no_proxy", "127.0.0.1,localhost");
        QVERIFY(certificates.isValid());
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
        row("scheme in capitals", get, "HTTPS://127.0.0.1:443/", 0, {}, get, "https://127.0.0.1/", standard);
        row("http 443 kept", get, "http://127.0.0.1:443/", 0, {}, get, "http://127.0.0.1:443/", standard);
        row("https 80 kept", get, "https://127.0.0.1:80/", 0, {}, get, "https://127.0.0.1:80/", standard);
        row("https 8443 kept", get, "https://127.0.0.1:8443/", 0, {}, get, "https://127.0.0.1:8443/", standard);
        row("put is a head", QNetworkAccessManager::PutOperation, "http://127.0.0.1:9/", 0, {}, head,
            "http://127.0.0.1:9/", standard);
        row("delete is a head", QNetworkAccessManager::DeleteOperation, "http://127.0.0.1:9/", 0, {}, head,
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
        QCOMPARE(NETWORK_TRANSFER_TIMEOUT_MSEC, 60000);

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
        QCOMPARE(reply->url(), sentUrl);
        QCOMPARE(reply->request().url(), sentUrl);
        QCOMPARE(reply->request().transferTimeout(), sentTimeout);
        QCOMPARE(reply->request().hasRawHeader(HEADER_WORKSTATION_HASH), !hash.isEmpty());
        QCOMPARE(reply->request().rawHeader(HEADER_WORKSTATION_HASH), hash);
        reply->abort();
    }

    void installsItsCacheAndJarAndTheSystemProxy()
    {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        TavrelNetworkAccessManager manager;
        QVERIFY(QNetworkProxyFactory::usesSystemConfiguration());
        QCOMPARE(manager.cache(), manager.dualCache());
        QCOMPARE(manager.cookieJar(), manager.tavrelCookieJar());
        QVERIFY(manager.dualCache()->cacheDirectory().endsWith(QCoreApplication::applicationName()
                                                               + QStringLiteral("/CacheDir/")));
        QCOMPARE(QDir::cleanPath(manager.tavrelCookieJar()->cookieDirectory()),
                 QDir::cleanPath(manager.dualCache()->cacheDirectory() + QStringLiteral("/Cookies")));
    }

    void cookieJarAsksTheCache()
    {
        TavrelNetworkAccessManager manager;
        const QUrl url("http://127.0.0.1/api/login");
        bool cached = true;
        manager.reportStatusOfUrlCache(url, cached);
        QVERIFY(!cached);

        QNetworkCacheMetaData meta;
        meta.setUrl(url);
        meta.setSaveToDisk(true);
        meta.setRawHeaders({{"cache-extension", "no-save"}});
        QIODevice *device = manager.cache()->prepare(meta);
        QVERIFY(device);
        device->write("page");
        manager.cache()->insert(device);
        manager.reportStatusOfUrlCache(url, cached);
        QVERIFY(cached);

        // The jar's single-sign-on rule now keeps the stored cookie for that page.
        QNetworkCookie stored("FedAuth", "old");
        stored.setDomain("127.0.0.1");
        stored.setPath("/");
        QVERIFY(manager.tavrelCookieJar()->setCookiesFromUrl({stored}, url));
        QNetworkCookie replacement("FedAuth", "new");
        replacement.setPath("/");
        QVERIFY(!manager.tavrelCookieJar()->setCookiesFromUrl({replacement}, url));
        QCOMPARE(manager.tavrelCookieJar()->allCookies().first().value(), QByteArray("old"));
        manager.tavrelCookieJar()->clearAll();
    }

    void certificatesAreValidated_data()
    {
        QTest::addColumn<QString>("presented");
        QTest::addColumn<bool>("trustAuthority");
        QTest::addColumn<bool>("allowHost");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("self-signed") << "selfsigned" << false << false << false;
        QTest::newRow("self-signed, host allowed") << "selfsigned" << false << true << false;
        QTest::newRow("unknown issuer") << "loopback" << false << false << false;
        QTest::newRow("trusted") << "loopback" << true << false << true;
        QTest::newRow("other host's name") << "otherhost" << true << false << false;
        QTest::newRow("other host's name, host allowed") << "otherhost" << true << true << true;
    }

    void certificatesAreValidated()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("This Qt has no TLS backend");
        if (credentials.isEmpty()) {
            QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "selfsigned.key", "-out",
                             "selfsigned.pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                             "subjectAltName=IP:127.0.0.1"}));
            QVERIFY(loadCredentials("selfsigned"));
            QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "authority.key", "-out",
                             "authority.pem", "-days", "2", "-subj", "/CN=Tavrel Test Authority"}));
            QVERIFY(loadCredentials("authority"));
            authority = credentials.value("authority").certificate;
            QVERIFY(issue("loopback", "IP:127.0.0.1"));
            QVERIFY(issue("otherhost", "DNS:other.test"));
        }

        QFETCH(QString, presented);
        QFETCH(bool, trustAuthority);
        QFETCH(bool, allowHost);
        QFETCH(bool, accepted);

        TlsServer server(credentials.value(presented).certificate, credentials.value(presented).key);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QUrl url(QStringLiteral("https://127.0.0.1:%1/api/login").arg(server.serverPort()));

        TavrelNetworkAccessManager manager;
        if (allowHost)
            manager.allowHost(QUrl("https://127.0.0.1/"));
        QNetworkRequest request(url);
        if (trustAuthority) {
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setCaCertificates({authority});
            request.setSslConfiguration(configuration);
        }
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QVERIFY(finishes(reply.get()));
        if (accepted) {
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(reply->readAll(), QByteArray("ok"));
            QCOMPARE(server.answered, 1);
        } else {
            QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
            QVERIFY(!reply->errorString().isEmpty());
            QCOMPARE(server.answered, 0);
        }
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkAccessManager)
#include "tst_networkaccessmanager.moc"
