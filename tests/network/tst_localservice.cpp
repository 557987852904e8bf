// A smoke test of the stand-in service as its own program: the client's tests exercise it in
// process, its request kinds and fault switches in full.
#include "constants.h"
#include "coretestapplication.h"
#include "localservice/localserviceuser.h"

#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>

class TestLocalService : public QObject
{
    Q_OBJECT

    QNetworkAccessManager manager;

    // Posts the request document with the given children; returns the reply's document.
    QDomDocument call(const QString &base, const QString &path, const QString &children,
                      const QByteArray &session = QByteArray(), QByteArray *sessionGiven = nullptr)
    {
        QNetworkRequest request(QUrl(base + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
        if (!session.isEmpty())
            request.setRawHeader(HEADER_SESSION, session);
        const QString document = QStringLiteral("<Request>%1</Request>").arg(children);
        std::unique_ptr<QNetworkReply> reply(manager.post(request, "xml=" + QUrl::toPercentEncoding(document)));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished() && !finished.wait(10000))
            return QDomDocument();
        if (sessionGiven)
            *sessionGiven = reply->rawHeader(HEADER_SESSION);
        QDomDocument answer;
        answer.setContent(reply->readAll());
        return answer;
    }

private slots:
    void asItsOwnProgram()
    {
        QProcess process;
        process.setProcessEnvironment(TestEnvironment::childEnvironment());
        process.start(QStringLiteral(TAVREL_TEST_BINARY_DIR "/tools/tavrel-localservice"),
                      {"--port", "0", "--orders", "12", "--seed", "5", "--user", "petrov:parol"});
        QVERIFY(process.waitForStarted(5000));
        QTRY_VERIFY(process.canReadLine());
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        const QString base = line.section(QLatin1Char(' '), 3, 3);
        QVERIFY2(base.startsWith(QLatin1String("http://127.0.0.1:")), qPrintable(line));
        // It logs in the user it was given, and holds as many orders as it was asked for.
        const QString credentials = QStringLiteral("<Login>petrov</Login><Password>%1</Password>")
                                        .arg(LocalServiceUser::digest(QStringLiteral("parol")));
        QByteArray session;
        QDomDocument reply = call(base, URL_LOGIN, credentials, QByteArray(), &session);
        QCOMPARE(reply.documentElement().firstChildElement(QStringLiteral("Result")).text(), S_OK);
        reply = call(base, URL_NEW_ORDERS_PAGE, QStringLiteral("<Page>1</Page><Rows>5</Rows>"), session);
        const QDomElement orders = reply.documentElement().firstChildElement(QStringLiteral("Orders"));
        QCOMPARE(orders.firstChildElement(QStringLiteral("Count")).text().toInt(), 12);
        QCOMPARE(orders.elementsByTagName(QStringLiteral("Order")).size(), 5);
        process.terminate();
        QVERIFY(process.waitForFinished(5000));
    }
};

TAVREL_CORE_TEST_MAIN(TestLocalService)
#include "tst_localservice.moc"
