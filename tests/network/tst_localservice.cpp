#include "constants.h"
#include "coretestapplication.h"
#include "localservicefixture.h"

#include <QDomDocument>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpSocket>

Q_DECLARE_METATYPE(LocalServiceFault)

namespace {

struct HttpResult
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QHash<QByteArray, QByteArray> headers; // by lower-case name
    qint64 elapsedMsecs = 0;

    QDomDocument document() const
    {
        QDomDocument doc;
        doc.setContent(body);
        return doc;
    }
};

// The element at a path of child tags below the root ("Orders/Order/ID"), first match each step.
QDomElement elementAt(const QDomDocument &doc, const QString &path)
{
    QDomElement element = doc.documentElement();
    for (const QString &tag : path.split(QLatin1Char('/')))
        element = element.firstChildElement(tag);
    return element;
}

QString textAt(const QDomDocument &doc, const QString &path)
{
    return elementAt(doc, path).text();
}

int countAt(const QDomDocument &doc, const QString &path)
{
    QDomElement element = elementAt(doc, path);
    const QString tag = path.section(QLatin1Char('/'), -1);
    int count = 0;
    for (; !element.isNull(); element = element.nextSiblingElement(tag))
        ++count;
    return count;
}

QString loginDocument(const QString &login, const QString &password)
{
    return QStringLiteral("<Version>1.2.1.0</Version><Login>%1</Login><Password>%2</Password>")
        .arg(login, LocalServiceUser::digest(password));
}

} // namespace

class TestLocalService : public QObject
{
    Q_OBJECT

    LocalServiceFixture server;
    QNetworkAccessManager manager;
    QByteArray session;
    qint64 firstOrderId = 0;
    QString target; // the base URL of the service being called

    // Sends a form the way the client does: in the body of a POST or the query of a GET.
    HttpResult send(const QByteArray &method, const QString &path, const QByteArray &form,
                    const QByteArray &sessionToken = QByteArray(), int timeoutMsecs = 5000)
    {
        const QByteArray url = (target + path).toLatin1();
        QNetworkRequest request(QUrl::fromEncoded(method == "GET" ? url + '?' + form : url));
        request.setTransferTimeout(timeoutMsecs);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
        if (!sessionToken.isNull())
            request.setRawHeader(HEADER_SESSION, sessionToken);
        QElapsedTimer timer;
        timer.start();
        QNetworkReply *reply = method == "GET" ? manager.get(request) : manager.post(request, form);
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        HttpResult result;
        result.elapsedMsecs = timer.elapsed();
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.error = reply->error();
        if (reply->isOpen())
            result.body = reply->readAll();
        for (const auto &pair : reply->rawHeaderPairs())
            result.headers.insert(pair.first.toLower(), pair.second);
        reply->deleteLater();
        return result;
    }

    // The request document, with the given children, as the form field "xml".
    HttpResult call(const QByteArray &method, const QString &path, const QString &children,
                    const QByteArray &sessionToken = QByteArray(), int timeoutMsecs = 5000)
    {
        const QString document
            = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Request>%1</Request>").arg(children);
        return send(method, path, "xml=" + QUrl::toPercentEncoding(document), sessionToken, timeoutMsecs);
    }

    HttpResult newOrdersPage(int page, int rows, const QByteArray &token)
    {
        return call("POST", URL_NEW_ORDERS_PAGE,
                    QStringLiteral("<Version>1.2.1.0</Version><Page>%1</Page><Rows>%2</Rows>").arg(page).arg(rows),
                    token);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        QCOMPARE(baseUrl(), server.url());
        QVERIFY(server.url().startsWith(QLatin1String("http://127.0.0.1:")));
        target = server.url();
        session = server->openSession(QStringLiteral("demo"));
        firstOrderId = server->data().orders().first().id;
    }

    void init()
    {
        server->clearFaults();
        server->clearRequestLog();
        if (!server->isListening())
            QVERIFY(server->resumeListening());
        target = server.url();
        if (!server->sessions().contains(session))
            session = server->openSession(QStringLiteral("demo"));
    }

    // "present" names elements below the root; "path=text" also compares the text, "path#n" counts siblings.
    void kinds_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("children");
        QTest::addColumn<bool>("needsSession");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("present");
        const auto row = [](const char *name, const QByteArray &method, const QString &path, const QString &children,
                            bool needsSession, int status, const QString &result, const QStringList &present = {}) {
            QTest::newRow(name) << method << path << children << needsSession << status << result << present;
        };

        const QString id = QStringLiteral("<ID>%1</ID>").arg(firstOrderId);
        const QStringList list = {"Orders/Count=200",         "Orders/Order/ID",     "Orders/Order/Name",
                                  "Orders/Order/OpeningTime", "Orders/Order/Region", "Orders/Order/Amount"};
        const QString page = QStringLiteral("<Version>1.2.1.0</Version><Page>%1</Page><Rows>%2</Rows>");
        const QString criteria = QStringLiteral(
            "<Name>Мебель</Name><SearchArea>CURRENT_ORDERS</SearchArea><OpeningTimeFrom>01.05.2014</OpeningTimeFrom>"
            "<WordsExceptions>ремонт аренда</WordsExceptions><Branches><ID>703</ID></Branches><Regions><ID>77</ID>"
            "<ID>50</ID></Regions><PlacementMethod><OpenCompetition>TRUE</OpenCompetition></PlacementMethod>");
        const QString subscription = QStringLiteral("Subscriptions/Subscription/");
        const QStringList favourite = {"Orders/Order/DateTime", "Orders/Order/ID=" + QString::number(firstOrderId)};

        row("login", "POST", URL_LOGIN, loginDocument("demo", "demo"), false, 200, S_OK,
            {"FullAccess=true", "User/ID", "User/FullName"});
        row("login, wrong password", "POST", URL_LOGIN, loginDocument("demo", "nope"), false, 200,
            E_INVALID_USERNAME_OR_PASSWORD);
        row("new orders", "GET", URL_NEW_ORDERS, QString(), true, 200, S_OK, list + QStringList {"Orders/Order#200"});
        row("new orders page", "POST", URL_NEW_ORDERS_PAGE, page.arg(3).arg(90), true, 200, S_OK,
            list + QStringList {"Orders/Order#20"});
        row("new orders page past the end", "POST", URL_NEW_ORDERS_PAGE, page.arg(5).arg(50), true, 200, S_OK,
            {"Orders/Count=200", "Orders/Order#0"});
        row("favourites", "GET", URL_FAVOURITES, QString(), true, 200, S_OK, favourite);
        row("favourites synchronize", "POST", URL_FAVOURITES_SYNCHRONIZE,
            "<Orders>" + id + "<DateTime></DateTime></Orders>", true, 200, S_OK, favourite);
        row("favourite create", "POST", URL_FAVOURITE_CREATE, id, true, 200, S_OK);
        row("favourite create, unknown order", "POST", URL_FAVOURITE_CREATE, "<ID>42</ID>", true, 404, E_INVALID_ID);
        row("favourite delete", "POST", URL_FAVOURITE_DELETE, id, true, 200, S_OK);
        row("search", "POST", URL_SEARCH,
            "<Page>1</Page><Rows>3</Rows><SearchArea>CURRENT_ORDERS</SearchArea><SearchText>поставка</SearchText>",
            true, 200, S_OK, {"Orders/Count", "Orders/Order/ID", "Orders/Order/Name", "Orders/Order#3"});
        row("subscriptions", "GET", URL_SUBSCRIPTIONS, QString(), true, 200, S_OK, {"Subscriptions"});
        row("subscriptions synchronize", "POST", URL_SUBSCRIPTIONS_SYNCHRONIZE,
            "<Subscriptions><Subscription><DateTime>2014-05-03T22:30:00</DateTime>" + criteria
                + "</Subscription></Subscriptions>",
            true, 200, S_OK,
            {subscription + "ID", subscription + "Name=Мебель", subscription + "WordsException/Word#2",
             subscription + "Regions/ID#2"});
        row("subscription create", "POST", URL_SUBSCRIPTION_CREATE, criteria, true, 200, QString(), {"ID"});
        row("subscription update unknown", "POST", URL_SUBSCRIPTION_UPDATE, "<ID>999999</ID>" + criteria, true, 200,
            E_INVALID_ID);
        row("subscription delete unknown", "POST", URL_SUBSCRIPTION_DELETE, "<ID>-1</ID>", true, 200, E_INVALID_ID);
        row("regions", "POST", URL_GEO_PLACES, QString(), false, 200, S_OK,
            {"GeoPlaces/GeoPlace/ID", "GeoPlaces/GeoPlace/ParentID", "GeoPlaces/GeoPlace/Name",
             "GeoPlaces/GeoPlace/RegionChangeDate"});
        row("economic sectors", "POST", URL_ECONOMIC_SECTORS, QString(), false, 200, S_OK,
            {"EconomicSectors/EconomicSector/ID", "EconomicSectors/EconomicSector/ParentID",
             "EconomicSectors/EconomicSector/Name", "EconomicSectors/EconomicSector/BranchChangeDate"});
        row("read order", "GET", URL_ORDER_READ, id, true, 200, S_OK,
            {"Order/ID=" + QString::number(firstOrderId), "Order/OpenDateTime", "Order/Price", "Order/Docs/Doc/URL",
             "Order/Subject/Contacts/Contact/Value"});
        row("read unknown order", "GET", URL_ORDER_READ, "<ID>1</ID>", true, 200, E_INVALID_ID);
        row("unknown path", "POST", "/api/nothing", QString(), false, 404, E_CLIENT);
        row("wrong method", "GET", URL_LOGIN, QString(), false, 405, E_CLIENT);
    }

    void kinds()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QString, children);
        QFETCH(bool, needsSession);
        QFETCH(int, status);
        QFETCH(QString, result);
        QFETCH(QStringList, present);

        server->setFavourites(QStringLiteral("demo"), {firstOrderId});
        const HttpResult reply = call(method, path, children, needsSession ? session : QByteArray());
        QCOMPARE(reply.status, status);
        QVERIFY(reply.headers.value("content-type").startsWith("text/xml"));
        const QDomDocument doc = reply.document();
        QCOMPARE(doc.documentElement().tagName(), QStringLiteral("Response"));
        QCOMPARE(countAt(doc, QStringLiteral("Result")), result.isEmpty() ? 0 : 1);
        QCOMPARE(textAt(doc, QStringLiteral("Result")), result);
        for (const QString &element : present) {
            const QString at = element.section(QRegularExpression(QStringLiteral("[=#]")), 0, 0);
            QVERIFY2(!elementAt(doc, at).isNull() || element.endsWith(QLatin1String("#0")), qPrintable(element));
            if (element.contains(QLatin1Char('=')))
                QCOMPARE(textAt(doc, at), element.section(QLatin1Char('='), 1));
            else if (element.contains(QLatin1Char('#')))
                QCOMPARE(countAt(doc, at), element.section(QLatin1Char('#'), 1).toInt());
        }
        if (path == URL_LOGIN)
            QCOMPARE(server->sessions().contains(reply.headers.value(HEADER_SESSION.toLower())), result == S_OK);

        // The log holds the request as decoded from the form field.
        const LocalServiceRequest logged = server->lastRequest();
        QCOMPARE(logged.method, method);
        QCOMPARE(logged.path, path);
        QCOMPARE(logged.requestElement().tagName(), QStringLiteral("Request"));
        QCOMPARE(logged.header(HEADER_SESSION), needsSession ? session : QByteArray());

        // Without a known session the kind is refused the way the client's re-login expects.
        if (needsSession && status == 200) {
            const bool statusOnly = path == URL_FAVOURITE_CREATE || path == URL_FAVOURITE_DELETE;
            const HttpResult refused = call(method, path, children, QByteArray("unknown-token"));
            QCOMPARE(refused.status, statusOnly ? 403 : 200);
            QCOMPARE(textAt(refused.document(), QStringLiteral("Result")), E_INVALID_USERNAME_OR_PASSWORD);
        }
    }

    void formDecoding_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("encodedText"); // the SearchText as it stands in the form
        QTest::addColumn<QString>("decoded");

        QTest::newRow("plus is a blank") << QByteArray("POST") << QByteArray("a+b") << "a b";
        QTest::newRow("encoded plus") << QByteArray("POST") << QByteArray("a%2Bb") << "a+b";
        QTest::newRow("utf-8") << QByteArray("POST") << QByteArray("%D0%BC%D0%B5%D0%B1%D0%B5%D0%BB%D1%8C") << "мебель";
        QTest::newRow("get query") << QByteArray("GET") << QByteArray("x+%26amp%3B+y") << "x & y";
    }

    void formDecoding()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, encodedText);
        QFETCH(QString, decoded);

        send(method, method == "GET" ? URL_ORDER_READ : URL_SEARCH,
             "other=1&xml=%3C%3Fxml%20version%3D%221.0%22%3F%3E%3CRequest%3E%3CSearchText%3E" + encodedText
                 + "%3C%2FSearchText%3E%3C%2FRequest%3E");
        const LocalServiceRequest logged = server->lastRequest();
        QCOMPARE(logged.field(QStringLiteral("SearchText")), decoded);
        QCOMPARE(logged.query.isEmpty(), method == "POST");
    }

    // Each switch against the reply it spoils: the HTTP status (0: none), the Result (null: not read), how the
    // body differs from the unspoilt one, and what else the switch does. The request is a page of new orders
    // unless the row names another path.
    void faults_data()
    {
        QTest::addColumn<LocalServiceFault>("fault");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("body");
        const auto row = [](const char *name, const LocalServiceFault &fault, int status, const QString &result,
                            const QString &body, const QString &path = URL_NEW_ORDERS_PAGE) {
            QTest::newRow(name) << fault << path << status << result << body;
        };
        const QString none;

        row("http status", LocalServiceFault::httpStatus(503), 503, S_OK, "same");
        row("empty body", LocalServiceFault::emptyBody(), 200, none, "empty");
        row("malformed", LocalServiceFault::malformedXml(), 200, none, "longer, broken");
        row("truncated", LocalServiceFault::truncatedXml(), 200, none, "cut short");
        row("padding", LocalServiceFault::whitespacePadding(), 200, none, "padded");
        row("dorvalt", LocalServiceFault::dorvaltMarker(), 200, none, "marked");
        row("result code", LocalServiceFault::resultCode(E_CLIENT), 200, E_CLIENT, "no orders");
        row("fail page", LocalServiceFault::failPage(2), 500, E_SERVER, "no orders");
        row("extra header", LocalServiceFault::extraHeader("Cache-Control", "max-age=60"), 200, S_OK, "same");
        row("delay", LocalServiceFault::delay(300).onPath(URL_NEW_ORDERS_PAGE), 200, S_OK, "same");
        row("hang", LocalServiceFault::hang().once(), 0, none, "empty");
        // Not once: the access manager repeats a request whose kept-alive connection closed.
        row("close connection", LocalServiceFault::closeConnection(), 0, none, "empty");
        row("stop listening", LocalServiceFault::stopListening(), 0, none, "empty");
        row("expire sessions", LocalServiceFault::expireSessions().once(), 200, E_INVALID_USERNAME_OR_PASSWORD,
            "no orders");
        row("change password", LocalServiceFault::changePassword("ivanov", "changed").once(), 200,
            E_INVALID_USERNAME_OR_PASSWORD, none, URL_LOGIN);
        row("regions without list", LocalServiceFault::dictionaryWithoutList(), 200, S_OK, none, URL_GEO_PLACES);
        row("sectors with two lists", LocalServiceFault::dictionaryWithTwoLists(), 200, S_OK, none,
            URL_ECONOMIC_SECTORS);

        // The conditions: "hits" lists which of five page requests get the fault.
        const LocalServiceFault code = LocalServiceFault::resultCode(E_SERVER);
        row("every request", code, 0, none, "hits 1 2 3 4 5");
        row("once", LocalServiceFault(code).once(), 0, none, "hits 1");
        row("twice", LocalServiceFault(code).setTimes(2), 0, none, "hits 1 2");
        row("n-th", LocalServiceFault(code).onNth(3), 0, none, "hits 3");
        row("request number", LocalServiceFault(code).onRequest(4), 0, none, "hits 4");
        row("other path", LocalServiceFault(code).onPath(URL_SEARCH), 0, none, "hits");
        row("other method", LocalServiceFault(code).onPath(URL_NEW_ORDERS).onMethod("GET"), 0, none, "hits");
        row("page", LocalServiceFault(code).onPage(5), 0, none, "hits 5");
    }

    void faults()
    {
        QFETCH(LocalServiceFault, fault);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, result);
        QFETCH(QString, body);

        if (body.startsWith(QLatin1String("hits"))) {
            server->addFault(fault);
            QString hits = QStringLiteral("hits");
            for (int page = 1; page <= 5; ++page) {
                if (textAt(newOrdersPage(page, 1, session).document(), QStringLiteral("Result")) == E_SERVER)
                    hits += QLatin1Char(' ') + QString::number(page);
            }
            QCOMPARE(hits, body);
            return;
        }
        server->addUser(QStringLiteral("ivanov"), QStringLiteral("secret"), false);
        const auto request = [&](int timeoutMsecs = 5000) {
            if (path == URL_LOGIN)
                return call("POST", path, loginDocument("ivanov", "secret"), QByteArray(), timeoutMsecs);
            if (path != URL_NEW_ORDERS_PAGE)
                return call("POST", path, QString(), QByteArray(), timeoutMsecs);
            return call("POST", path, QStringLiteral("<Page>2</Page><Rows>5</Rows>"), session, timeoutMsecs);
        };
        const QByteArray normal = request().body;
        QSignalSpy sent(server.service(), &LocalService::replySent);
        server->addFault(fault);
        const HttpResult reply = request(fault.kind == LocalServiceFault::Hang ? 300 : 5000);
        QDomDocument doc;
        const bool parses = doc.setContent(reply.body);
        QCOMPARE(reply.status, status);
        if (status == 0)
            QVERIFY(reply.error != QNetworkReply::NoError);
        if (!result.isNull())
            QCOMPARE(textAt(doc, QStringLiteral("Result")), result);
        if (body == QLatin1String("same"))
            QCOMPARE(reply.body, normal);
        else if (body == QLatin1String("empty"))
            QVERIFY(reply.body.isEmpty());
        else if (body == QLatin1String("longer, broken"))
            QVERIFY(!parses && reply.body.size() > normal.size());
        else if (body == QLatin1String("cut short"))
            QVERIFY(!parses && normal.startsWith(reply.body) && reply.body.size() < normal.size());
        else if (body == QLatin1String("padded"))
            QVERIFY(reply.body.startsWith(' ') && reply.body.endsWith('\n')
                    && reply.body.trimmed() == normal.trimmed());
        else if (body == QLatin1String("marked"))
            QVERIFY(!parses && QByteArray(reply.body).replace("&Dorvalt", "") == normal);
        else if (body == QLatin1String("no orders"))
            QVERIFY(parses && elementAt(doc, QStringLiteral("Orders")).isNull());

        switch (fault.kind) {
        case LocalServiceFault::FailPage:
            QCOMPARE(newOrdersPage(1, 5, session).status, 200); // the other pages are spared
            break;
        case LocalServiceFault::ExtraHeader:
            QCOMPARE(reply.headers.value("cache-control"), QByteArray("max-age=60"));
            break;
        case LocalServiceFault::Delay:
            QVERIFY(reply.elapsedMsecs >= 290);
            break;
        case LocalServiceFault::Hang:
            QCOMPARE(reply.error, QNetworkReply::OperationCanceledError);
            QCOMPARE(sent.count(), 0);
            QCOMPARE(request().status, 200);
            break;
        case LocalServiceFault::CloseConnection:
            QVERIFY(server->isListening());
            break;
        case LocalServiceFault::StopListening:
            QVERIFY(!server->isListening());
            QCOMPARE(request().error, QNetworkReply::ConnectionRefusedError);
            break;
        case LocalServiceFault::ExpireSessions:
            QVERIFY(server->sessions().isEmpty());
            break;
        case LocalServiceFault::ChangePassword:
            QCOMPARE(textAt(call("POST", path, loginDocument("ivanov", "changed")).document(), "Result"), S_OK);
            break;
        case LocalServiceFault::DictionaryWithoutList:
        case LocalServiceFault::DictionaryWithTwoLists:
            QCOMPARE(countAt(doc, path == URL_GEO_PLACES ? "GeoPlaces" : "EconomicSectors"),
                     fault.kind == LocalServiceFault::DictionaryWithoutList ? 0 : 2);
            break;
        default:
            break;
        }
    }

    // What the access manager hides: two requests on one kept-alive connection, and a body cut short.
    void rawConnection()
    {
        const QByteArray form = "xml=%3CRequest%2F%3E";
        const QByteArray request = "POST " + URL_ECONOMIC_SECTORS.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        const QByteArray tail = "Content-Length: " + QByteArray::number(form.size()) + "\r\n\r\n" + form;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request + tail + request + "Connection: close\r\n" + tail);
        QByteArray received;
        QTRY_VERIFY((received += socket.readAll()).count("</Response>") == 2);
        QCOMPARE(received.count("HTTP/1.1 200 OK"), 2);
        QVERIFY(received.contains("Connection: keep-alive"));
        QVERIFY(received.contains("Connection: close"));
        QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->requestCount(), 2);

        server->addFault(LocalServiceFault::partialBody(10).once());
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request + tail);
        received.clear();
        QTRY_VERIFY((received += socket.readAll()).contains("\r\n\r\n")
                    && received.size() >= received.indexOf("\r\n\r\n") + 14);
        const QByteArray lengthLine = received.mid(received.indexOf("Content-Length: ") + 16);
        QVERIFY(lengthLine.left(lengthLine.indexOf('\r')).toInt() > 10);
        QVERIFY(!socket.waitForReadyRead(200));
        QCOMPARE(received.size() - received.indexOf("\r\n\r\n") - 4, 10);
    }

    void generatedDataIsDeterministic()
    {
        const auto generated = [](quint32 seed) {
            LocalServiceData data;
            data.generate(300, seed, QDateTime(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC));
            QStringList orders;
            for (const LocalServiceData::Order &order : data.orders())
                orders << QStringLiteral("%1 %2 %3 %4 %5")
                              .arg(order.id)
                              .arg(order.name, order.amount, order.customerFullName,
                                   order.openingTime.toString(Qt::ISODate));
            return orders;
        };
        const QStringList first = generated(7);
        QCOMPARE(first.size(), 300);
        QCOMPARE(generated(7), first);
        QVERIFY(generated(8) != first);
    }

    void executable()
    {
        QProcess process;
        process.start(QStringLiteral(TAVREL_TEST_BINARY_DIR "/tools/tavrel-localservice"),
                      {"--port", "0", "--orders", "12", "--seed", "5", "--user", "petrov:parol"});
        QVERIFY(process.waitForStarted(5000));
        QTRY_VERIFY(process.canReadLine());
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        target = line.section(QLatin1Char(' '), 3, 3);
        QVERIFY2(target.startsWith(QLatin1String("http://127.0.0.1:")), qPrintable(line));

        const HttpResult refused = call("POST", URL_LOGIN, loginDocument("demo", "demo"));
        QCOMPARE(textAt(refused.document(), "Result"), E_INVALID_USERNAME_OR_PASSWORD);
        const HttpResult accepted = call("POST", URL_LOGIN, loginDocument("petrov", "parol"));
        QCOMPARE(textAt(accepted.document(), "Result"), S_OK);
        const QDomDocument doc = newOrdersPage(1, 5, accepted.headers.value(HEADER_SESSION.toLower())).document();
        QCOMPARE(textAt(doc, "Orders/Count"), QStringLiteral("12"));
        QCOMPARE(countAt(doc, "Orders/Order"), 5);

        process.terminate();
        QVERIFY(process.waitForFinished(5000));
    }
};

TAVREL_CORE_TEST_MAIN(TestLocalService)
#include "tst_localservice.moc"
