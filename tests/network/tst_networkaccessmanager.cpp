#include "constants.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelnetworkdualcache.h"
#include "testapplication.h"

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

    void defaultPortIsDropped_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QUrl>("sent");
        QTest::newRow("https 443") << QUrl("https://127.0.0.1:443/api/login?x=1")
                                   << QUrl("https://127.0.0.1/api/login?x=1");
        QTest::newRow("http 80") << QUrl("http://127.0.0.1:80/api/login") << QUrl("http://127.0.0.1/api/login");
        QTest::newRow("scheme in capitals") << QUrl("HTTPS://127.0.0.1:443/") << QUrl("https://127.0.0.1/");
        QTest::newRow("http 443 kept") << QUrl("http://127.0.0.1:443/") << QUrl("http://127.0.0.1:443/");
        QTest::newRow("https 80 kept") << QUrl("https://127.0.0.1:80/") << QUrl("https://127.0.0.1:80/");
        QTest::newRow("https 8443 kept") << QUrl("https://127.0.0.1:8443/") << QUrl("https://127.0.0.1:8443/");
        QTest::newRow("no port kept") << QUrl("http://127.0.0.1/a") << QUrl("http://127.0.0.1/a");
    }

    void defaultPortIsDropped()
    {
        QFETCH(QUrl, url);
        QFETCH(QUrl, sent);
        TavrelNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QCOMPARE(reply->url(), sent);
        QCOMPARE(reply->request().url(), sent);
        reply->abort();
    }

    void operationsMapToVerbs_data()
    {
        QTest::addColumn<QNetworkAccessManager::Operation>("operation");
        QTest::addColumn<QNetworkAccessManager::Operation>("sent");
        QTest::newRow("get") << QNetworkAccessManager::GetOperation << QNetworkAccessManager::GetOperation;
        QTest::newRow("post") << QNetworkAccessManager::PostOperation << QNetworkAccessManager::PostOperation;
        QTest::newRow("put is a head") << QNetworkAccessManager::PutOperation << QNetworkAccessManager::HeadOperation;
        QTest::newRow("delete is a head")
            << QNetworkAccessManager::DeleteOperation << QNetworkAccessManager::HeadOperation;
    }

    void operationsMapToVerbs()
    {
        QFETCH(QNetworkAccessManager::Operation, operation);
        QFETCH(QNetworkAccessManager::Operation, sent);
        TavrelNetworkAccessManager manager;
        QBuffer body;
        body.setData("xml=%3CRequest%2F%3E");
        body.open(QIODevice::ReadOnly);
        std::unique_ptr<QNetworkReply> reply(
            manager.sendByOperation(operation, QNetworkRequest(QUrl("http://127.0.0.1:9/")), &body));
        QVERIFY(reply);
        QCOMPARE(reply->operation(), sent);
        reply->abort();
    }

    void everyRequestGetsATransferTimeout_data()
    {
        QTest::addColumn<int>("callerTimeout");
        QTest::addColumn<int>("sentTimeout");
        QTest::newRow("default") << 0 << NETWORK_TRANSFER_TIMEOUT_MSEC;
        QTest::newRow("caller's own") << 1500 << 1500;
    }

    void everyRequestGetsATransferTimeout()
    {
        QFETCH(int, callerTimeout);
        QFETCH(int, sentTimeout);
        QCOMPARE(NETWORK_TRANSFER_TIMEOUT_MSEC, 60000);
        TavrelNetworkAccessManager manager;
        QNetworkRequest request(QUrl("http://127.0.0.1:9/"));
        request.setTransferTimeout(callerTimeout);
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QCOMPARE(reply->request().transferTimeout(), sentTimeout);
        reply->abort();
    }

    void workstationHashHeader()
    {
        TavrelNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> plain(manager.get(QNetworkRequest(QUrl("http://127.0.0.1:9/"))));
        QVERIFY(!plain->request().hasRawHeader(HEADER_WORKSTATION_HASH));
        plain->abort();

        QNetworkRequest request(QUrl("http://127.0.0.1:9/"));
        request.setRawHeader(HEADER_WORKSTATION_HASH, "given");
        std::unique_ptr<QNetworkReply> given(manager.get(request));
        QCOMPARE(given->request().rawHeader(HEADER_WORKSTATION_HASH), QByteArray("given"));
        given->abort();
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

TAVREL_TEST_MAIN(TestNetworkAccessManager)
#include "tst_networkaccessmanager.moc"
