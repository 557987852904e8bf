#include "constants.h"
#include "localservicefixture.h"
#include "testapplication.h"

#include <QDomDocument>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpSocket>
#include <QUrlQuery>

Q_DECLARE_METATYPE(LocalServiceFault)

namespace {

struct HttpResult
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    qint64 elapsedMsecs = 0;

    QByteArray header(const QByteArray &name) const
    {
        for (const auto &pair : headers) {
            if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
                return pair.second;
        }
        return QByteArray();
    }
    QList<QByteArray> headerValues(const QByteArray &name) const
    {
        QList<QByteArray> values;
        for (const auto &pair : headers) {
            if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
                values += pair.second.split('\n');
        }
        return values;
    }
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

QString md5(const QString &text)
{
    return LocalServiceUser::digest(text);
}

QString loginDocument(const QString &login, const QString &password)
{
    return QStringLiteral("<Version>1.2.1.0</Version><Login>%1</Login><Password>%2</Password>")
        .arg(login, md5(password));
}

} // namespace

class TestLocalService : public QObject
{
    Q_OBJECT

    LocalServiceFixture server;
    QNetworkAccessManager manager;
    QByteArray session;
    qint64 firstOrderId = 0;

    // Sends one request the way the client does: the document as the form field "xml", in the
    // body of a POST or the query of a GET.
    HttpResult call(const QByteArray &method, const QString &path, const QString &children,
                    const QByteArray &sessionToken = QByteArray(), int timeoutMsecs = 5000)
    {
        const QString document
            = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Request>%1</Request>").arg(children);
        QUrlQuery form;
        form.addQueryItem(QStringLiteral("xml"), document);
        QUrl url(server.url() + path);
        QNetworkRequest request;
        if (method == "GET")
            url.setQuery(form);
        request.setUrl(url);
        request.setTransferTimeout(timeoutMsecs);
        if (!sessionToken.isNull())
            request.setRawHeader(HEADER_SESSION, sessionToken);
        QNetworkReply *reply;
        QElapsedTimer timer;
        timer.start();
        if (method == "GET") {
            reply = manager.get(request);
        } else {
            request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
            reply = manager.post(request, form.query(QUrl::FullyEncoded).toUtf8());
        }
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        HttpResult result;
        result.elapsedMsecs = timer.elapsed();
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.error = reply->error();
        if (reply->isOpen())
            result.body = reply->readAll();
        result.headers = reply->rawHeaderPairs();
        reply->deleteLater();
        return result;
    }

    HttpResult login(const QString &user, const QString &password)
    {
        return call("POST", URL_LOGIN, loginDocument(user, password));
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
        session = server->openSession(QStringLiteral("demo"));
        firstOrderId = server->data().orders().first().id;
    }

    void init()
    {
        server->clearFaults();
        server->clearRequestLog();
        if (!server->isListening())
            QVERIFY(server->resumeListening());
        server->setVersionStatus(QString());
        if (!server->sessions().contains(session))
            session = server->openSession(QStringLiteral("demo"));
    }

    void kinds_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("children");
        QTest::addColumn<bool>("needsSession");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("present");

        const QString id = QString::number(server->data().orders().first().id);
        const QStringList listOrder = {"Orders/Count",
                                       "Orders/Order/ID",
                                       "Orders/Order/Name",
                                       "Orders/Order/OpeningTime",
                                       "Orders/Order/ClosingTime",
                                       "Orders/Order/ChangeDate",
                                       "Orders/Order/Branch",
                                       "Orders/Order/Region",
                                       "Orders/Order/PlacementMethod",
                                       "Orders/Order/Amount",
                                       "Orders/Order/CurrencyName",
                                       "Orders/Order/FullAccess",
                                       "Orders/Order/Url"};
        const QString criteria = QStringLiteral(
            "<Name>Мебель</Name><SearchArea>CURRENT_ORDERS</SearchArea><WithMorphology>TRUE</WithMorphology>"
            "<AllWordsRequired>FALSE</AllWordsRequired><AmountOrdersFrom>0.00</AmountOrdersFrom>"
            "<AmountOrdersTo>0.00</AmountOrdersTo><OpeningTimeFrom>01.05.2014</OpeningTimeFrom><Enabled>TRUE</Enabled>"
            "<WordsExceptions>ремонт аренда</WordsExceptions><Branches><ID>703</ID></Branches><Regions><ID>77</ID>"
            "<ID>50</ID></Regions><OrderType>ALL</OrderType><PlacementMethod><OpenCompetition>TRUE</OpenCompetition>"
            "<PriceQuotation>FALSE</PriceQuotation><ElectronicAuction>TRUE</ElectronicAuction><Preselection>FALSE"
            "</Preselection><EasyPurchase>FALSE</EasyPurchase></PlacementMethod>");

        QTest::newRow("login") << QByteArray("POST") << URL_LOGIN << loginDocument("demo", "demo") << false << 200
                               << S_OK
                               << QStringList {"FullAccess", "User/ID", "User/FullName",
                                               "User/EconomicSubjectShortName"};
        QTest::newRow("new orders") << QByteArray("GET") << URL_NEW_ORDERS << QString() << true << 200 << S_OK
                                    << listOrder;
        QTest::newRow("new orders page") << QByteArray("POST") << URL_NEW_ORDERS_PAGE
                                         << QStringLiteral("<Version>1.2.1.0</Version><Page>1</Page><Rows>5</Rows>")
                                         << true << 200 << S_OK << listOrder;
        QTest::newRow("favourites") << QByteArray("GET") << URL_FAVOURITES << QString() << true << 200 << S_OK
                                    << QStringList {"Orders/Order/DateTime", "Orders/Order/ID", "Orders/Order/Amount"};
        QTest::newRow("favourites synchronize")
            << QByteArray("POST") << URL_FAVOURITES_SYNCHRONIZE
            << QStringLiteral("<Orders><ID>%1</ID><DateTime></DateTime></Orders>").arg(id) << true << 200 << S_OK
            << QStringList {"Orders/Order/DateTime", "Orders/Order/ID"};
        QTest::newRow("favourite create")
            << QByteArray("POST") << URL_FAVOURITE_CREATE << QStringLiteral("<ID>%1</ID>").arg(id) << true << 200
            << S_OK << QStringList();
        QTest::newRow("favourite delete")
            << QByteArray("POST") << URL_FAVOURITE_DELETE << QStringLiteral("<ID>%1</ID>").arg(id) << true << 200
            << S_OK << QStringList();
        QTest::newRow("search") << QByteArray("POST") << URL_SEARCH
                                << QStringLiteral("<SearchArea>CURRENT_ORDERS</SearchArea><WithMorphology>FALSE"
                                                  "</WithMorphology><AllWordsRequired>FALSE</AllWordsRequired>")
                                << true << 200 << S_OK << listOrder;
        QTest::newRow("search page") << QByteArray("POST") << URL_SEARCH
                                     << QStringLiteral("<Page>1</Page><Rows>3</Rows><SearchArea>CURRENT_ORDERS"
                                                       "</SearchArea><SearchText>поставка</SearchText>")
                                     << true << 200 << S_OK << QStringList {"Orders/Count", "Orders/Order/ID"};
        QTest::newRow("subscriptions") << QByteArray("GET") << URL_SUBSCRIPTIONS << QString() << true << 200 << S_OK
                                       << QStringList {"Subscriptions"};
        QTest::newRow("subscriptions synchronize")
            << QByteArray("POST") << URL_SUBSCRIPTIONS_SYNCHRONIZE
            << QStringLiteral("<Subscriptions><Subscription><DateTime>2014-05-03T22:30:00</DateTime>%1</Subscription>"
                              "</Subscriptions>")
                   .arg(criteria)
            << true << 200 << S_OK
            << QStringList {"Subscriptions/Subscription/ID",         "Subscriptions/Subscription/DateTime",
                            "Subscriptions/Subscription/Name",       "Subscriptions/Subscription/WordsException/Word",
                            "Subscriptions/Subscription/Regions/ID", "Subscriptions/Subscription/PlacementMethod"};
        QTest::newRow("subscription create") << QByteArray("POST") << URL_SUBSCRIPTION_CREATE << criteria << true << 200
                                             << QString() << QStringList {"ID"};
        QTest::newRow("subscription update unknown")
            << QByteArray("POST") << URL_SUBSCRIPTION_UPDATE << QStringLiteral("<ID>999999</ID>") + criteria << true
            << 200 << E_INVALID_ID << QStringList();
        QTest::newRow("subscription delete unknown")
            << QByteArray("POST") << URL_SUBSCRIPTION_DELETE << QStringLiteral("<ID>-1</ID>") << true << 200
            << E_INVALID_ID << QStringList();
        QTest::newRow("regions") << QByteArray("POST") << URL_GEO_PLACES << QString() << false << 200 << S_OK
                                 << QStringList {"GeoPlaces/GeoPlace/ID", "GeoPlaces/GeoPlace/ParentID",
                                                 "GeoPlaces/GeoPlace/Name", "GeoPlaces/GeoPlace/RegionChangeDate"};
        QTest::newRow("economic sectors")
            << QByteArray("POST") << URL_ECONOMIC_SECTORS << QString() << false << 200 << S_OK
            << QStringList {"EconomicSectors/EconomicSector/ID", "EconomicSectors/EconomicSector/ParentID",
                            "EconomicSectors/EconomicSector/Name", "EconomicSectors/EconomicSector/BranchChangeDate"};
        QTest::newRow("read order") << QByteArray("GET") << URL_ORDER_READ << QStringLiteral("<ID>%1</ID>").arg(id)
                                    << true << 200 << S_OK
                                    << QStringList {"Order/ID",
                                                    "Order/OpenDateTime",
                                                    "Order/CloseDateTime",
                                                    "Order/Price",
                                                    "Order/EconomicSectorName",
                                                    "Order/OrderPlacingWayName",
                                                    "Order/Docs/Doc/Name",
                                                    "Order/Docs/Doc/URL",
                                                    "Order/Subject/FullName",
                                                    "Order/Subject/ShortName",
                                                    "Order/Subject/LegalFormName",
                                                    "Order/Subject/Contacts/Contact/Name",
                                                    "Order/Subject/Contacts/Contact/Value",
                                                    "Order/GosID",
                                                    "Order/FinancingSource",
                                                    "Order/OGRN_INN_KPP",
                                                    "Order/OriginalTitle"};
        QTest::newRow("read unknown order") << QByteArray("GET") << URL_ORDER_READ << QStringLiteral("<ID>1</ID>")
                                            << true << 200 << E_INVALID_ID << QStringList();
        QTest::newRow("unknown path") << QByteArray("POST") << QStringLiteral("/api/nothing") << QString() << false
                                      << 404 << E_CLIENT << QStringList();
        QTest::newRow("wrong method") << QByteArray("GET") << URL_LOGIN << QString() << false << 405 << E_CLIENT
                                      << QStringList();
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
        QVERIFY(reply.header("Content-Type").startsWith("text/xml"));
        const QDomDocument doc = reply.document();
        QCOMPARE(doc.documentElement().tagName(), QStringLiteral("Response"));
        QCOMPARE(countAt(doc, QStringLiteral("Result")), result.isEmpty() ? 0 : 1);
        QCOMPARE(textAt(doc, QStringLiteral("Result")), result);
        for (const QString &element : present)
            QVERIFY2(!elementAt(doc, element).isNull(), qPrintable(element));

        // The log holds the request as decoded from the form field.
        const LocalServiceRequest logged = server->lastRequest();
        QCOMPARE(logged.method, method);
        QCOMPARE(logged.path, path);
        QVERIFY(logged.hasXml);
        QCOMPARE(logged.requestElement().tagName(), QStringLiteral("Request"));
        QCOMPARE(logged.header(HEADER_SESSION), needsSession ? session : QByteArray());
    }

    void refusedWithoutSession_data() { kinds_data(); }

    void refusedWithoutSession()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QString, children);
        QFETCH(bool, needsSession);
        if (!needsSession)
            QSKIP("needs no session");
        const bool statusOnly = path == URL_FAVOURITE_CREATE || path == URL_FAVOURITE_DELETE;
        for (const QByteArray &token : {QByteArray(), QByteArray("unknown-token")}) {
            const HttpResult reply = call(method, path, children, token);
            QCOMPARE(reply.status, statusOnly ? 403 : 200);
            QCOMPARE(textAt(reply.document(), QStringLiteral("Result")), E_INVALID_USERNAME_OR_PASSWORD);
        }
    }

    void loginReplies_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("versionStatus");
        QTest::addColumn<QString>("result");

        QTest::newRow("accepted") << "demo"
                                  << "demo" << QString() << S_OK;
        QTest::newRow("wrong password") << "demo"
                                        << "nope" << QString() << E_INVALID_USERNAME_OR_PASSWORD;
        QTest::newRow("unknown user") << "ghost"
                                      << "demo" << QString() << E_INVALID_USERNAME_OR_PASSWORD;
        QTest::newRow("version probe") << QString() << QString() << S_VERSION_OLD << E_INVALID_USERNAME_OR_PASSWORD;
        QTest::newRow("bad version") << "demo"
                                     << "demo" << E_VERSION_BAD << S_OK;
    }

    void loginReplies()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, versionStatus);
        QFETCH(QString, result);

        server->setVersionStatus(versionStatus, QStringLiteral("http://127.0.0.1/update"));
        const HttpResult reply
            = call("POST", URL_LOGIN,
                   login.isEmpty() ? QStringLiteral("<Version>1.2.1.0</Version>") : loginDocument(login, password));
        const QDomDocument doc = reply.document();
        QCOMPARE(textAt(doc, QStringLiteral("Result")), result);
        QCOMPARE(textAt(doc, QStringLiteral("Update/Status")), versionStatus);
        QCOMPARE(textAt(doc, QStringLiteral("Update/Url")),
                 versionStatus.isEmpty() ? QString() : QStringLiteral("http://127.0.0.1/update"));
        const QByteArray token = reply.header(HEADER_SESSION);
        if (result != S_OK) {
            QVERIFY(token.isEmpty());
            QVERIFY(reply.headerValues("Set-Cookie").isEmpty());
            return;
        }
        QVERIFY(!token.isEmpty());
        QVERIFY(server->sessions().contains(token));
        QCOMPARE(textAt(doc, QStringLiteral("FullAccess")), QStringLiteral("true"));
        bool phpSession = false;
        bool persistent = false;
        for (const QByteArray &cookie : reply.headerValues("Set-Cookie")) {
            phpSession = phpSession || cookie.startsWith(COOKIE_PHP_SESSION.toLatin1() + '=');
            persistent = persistent || cookie.contains("expires=");
        }
        QVERIFY(phpSession);
        QVERIFY(persistent);
        // The new session opens the other kinds.
        QCOMPARE(textAt(call("GET", URL_NEW_ORDERS, QString(), token).document(), QStringLiteral("Result")), S_OK);
    }

    void dateForms()
    {
        server->setFavourites(QStringLiteral("demo"), {firstOrderId});
        const LocalServiceData::Order &order = server->data().orders().first();
        const QDateTime serverTime = order.openingTime.toUTC().addSecs(4 * 3600);
        const QRegularExpression dayFirst(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
        const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"));

        const QDomDocument list = newOrdersPage(1, 1, session).document();
        QCOMPARE(textAt(list, QStringLiteral("Orders/Order/OpeningTime")),
                 serverTime.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        QVERIFY(dayFirst.match(textAt(list, QStringLiteral("Orders/Order/ClosingTime"))).hasMatch());
        QVERIFY(iso.match(textAt(list, QStringLiteral("Orders/Order/ChangeDate"))).hasMatch());
        const QDomDocument favourites = call("GET", URL_FAVOURITES, QString(), session).document();
        QVERIFY(iso.match(textAt(favourites, QStringLiteral("Orders/Order/DateTime"))).hasMatch());
        const QDomDocument regions = call("POST", URL_GEO_PLACES, QString()).document();
        QVERIFY(iso.match(textAt(regions, QStringLiteral("GeoPlaces/GeoPlace/RegionChangeDate"))).hasMatch());
        const QDomDocument detail
            = call("GET", URL_ORDER_READ, QStringLiteral("<ID>%1</ID>").arg(order.id), session).document();
        QCOMPARE(textAt(detail, QStringLiteral("Order/OpenDateTime")),
                 serverTime.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        QCOMPARE(textAt(detail, QStringLiteral("Order/Price")), order.amount);
    }

    void versionStatusInOrderLists()
    {
        server->setVersionStatus(S_VERSION_OLD);
        const QDomDocument doc = newOrdersPage(1, 2, session).document();
        QCOMPARE(textAt(doc, QStringLiteral("Update/Status")), S_VERSION_OLD);
        QVERIFY(!textAt(doc, QStringLiteral("Update/Url")).isEmpty());
        QCOMPARE(textAt(doc, QStringLiteral("Orders/Count")), QString::number(server->newOrderIds().size()));
    }

    void paging_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("count");

        // 200 new orders by default.
        QTest::newRow("first page") << 1 << 10 << 0 << 10;
        QTest::newRow("middle page") << 3 << 10 << 20 << 10;
        QTest::newRow("last partial page") << 3 << 90 << 180 << 20;
        QTest::newRow("beyond the end") << 5 << 50 << 200 << 0;
        QTest::newRow("one page for all") << 1 << 1000 << 0 << 200;
        QTest::newRow("page 0 reads as 1") << 0 << 7 << 0 << 7;
    }

    void paging()
    {
        QFETCH(int, page);
        QFETCH(int, rows);
        QFETCH(int, from);
        QFETCH(int, count);

        const QList<qint64> ids = server->newOrderIds();
        QCOMPARE(ids.size(), 200);
        const QDomDocument doc = newOrdersPage(page, rows, session).document();
        // "Orders" is a direct child of the root and "Count" its first child.
        const QDomElement orders = doc.documentElement().firstChildElement(QStringLiteral("Orders"));
        QCOMPARE(orders.firstChildElement().tagName(), QStringLiteral("Count"));
        QCOMPARE(orders.firstChildElement().text(), QStringLiteral("200"));
        QList<qint64> received;
        for (QDomElement order = orders.firstChildElement(QStringLiteral("Order")); !order.isNull();
             order = order.nextSiblingElement(QStringLiteral("Order")))
            received.append(order.firstChildElement(QStringLiteral("ID")).text().toLongLong());
        QCOMPARE(received, ids.mid(from, count));
    }

    void addedOrdersComeFirst()
    {
        const QList<qint64> before = server->newOrderIds();
        const QList<qint64> added = server->addNewOrders(3);
        QCOMPARE(added.size(), 3);
        QVERIFY(added.first() > before.first());
        const QDomDocument doc = newOrdersPage(1, 3, session).document();
        QCOMPARE(textAt(doc, QStringLiteral("Orders/Count")), QString::number(before.size() + 3));
        QCOMPARE(textAt(doc, QStringLiteral("Orders/Order/ID")), QString::number(added.first()));
        server->setNewOrderIds(before);
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

        const QByteArray form = "other=1&xml=%3C%3Fxml%20version%3D%221.0%22%3F%3E%3CRequest%3E%3CSearchText%3E"
            + encodedText + "%3C%2FSearchText%3E%3C%2FRequest%3E";
        QNetworkRequest request;
        QNetworkReply *reply;
        if (method == "GET") {
            request.setUrl(QUrl::fromEncoded((server.url() + URL_ORDER_READ).toLatin1() + '?' + form));
            reply = manager.get(request);
        } else {
            request.setUrl(QUrl(server.url() + URL_SEARCH));
            request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
            reply = manager.post(request, form);
        }
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(5000));
        reply->deleteLater();
        const LocalServiceRequest logged = server->lastRequest();
        QCOMPARE(logged.field(QStringLiteral("SearchText")), decoded);
        QCOMPARE(logged.query.isEmpty(), method == "POST");
    }

    void favouritesRoundTrip()
    {
        const QString login = QStringLiteral("demo");
        server->setFavourites(login, {});
        const qint64 id = server->data().orders().at(5).id;
        QCOMPARE(call("POST", URL_FAVOURITE_CREATE, QStringLiteral("<ID>%1</ID>").arg(id), session).status, 200);
        QCOMPARE(server->favourites(login), QList<qint64> {id});
        const QDomDocument doc = call("GET", URL_FAVOURITES, QString(), session).document();
        QCOMPARE(textAt(doc, QStringLiteral("Orders/Order/ID")), QString::number(id));
        QVERIFY(QDateTime::fromString(textAt(doc, QStringLiteral("Orders/Order/DateTime")), Qt::ISODate).isValid());
        QCOMPARE(call("POST", URL_FAVOURITE_CREATE, QStringLiteral("<ID>42</ID>"), session).status, 404);
        QCOMPARE(call("POST", URL_FAVOURITE_DELETE, QStringLiteral("<ID>%1</ID>").arg(id), session).status, 200);
        QVERIFY(server->favourites(login).isEmpty());
    }

    void subscriptionsRoundTrip()
    {
        const QString criteria = QStringLiteral(
            "<Name>Лекарства</Name><SearchArea>CURRENT_ORDERS</SearchArea><OpeningTimeFrom>04.05.2014</OpeningTimeFrom>"
            "<WordsExceptions>шприцы бинты</WordsExceptions><Branches><ID>201</ID></Branches><Regions><ID>77</ID>"
            "<ID>50</ID></Regions><PlacementMethod><OpenCompetition>TRUE</OpenCompetition></PlacementMethod>");
        const QString id = textAt(call("POST", URL_SUBSCRIPTION_CREATE, criteria, session).document(), "ID");
        QVERIFY(id.toLongLong() > 0);

        QDomDocument doc = call("GET", URL_SUBSCRIPTIONS, QString(), session).document();
        QDomElement subscription = elementAt(doc, QStringLiteral("Subscriptions/Subscription"));
        while (!subscription.isNull() && subscription.firstChildElement("ID").text() != id)
            subscription = subscription.nextSiblingElement(QStringLiteral("Subscription"));
        QVERIFY(!subscription.isNull());
        QCOMPARE(subscription.firstChildElement("Name").text(), QStringLiteral("Лекарства"));
        QCOMPARE(subscription.firstChildElement("OpeningTimeFrom").text(), QStringLiteral("04.05.2014 00:00:00"));
        QCOMPARE(subscription.firstChildElement("WordsException").elementsByTagName("Word").size(), 2);
        QCOMPARE(subscription.firstChildElement("WordsExceptions").text(), QStringLiteral("шприцы бинты"));
        QCOMPARE(subscription.firstChildElement("Regions").elementsByTagName("ID").size(), 2);
        QCOMPARE(subscription.firstChildElement("PlacementMethod").firstChildElement("OpenCompetition").text(),
                 QStringLiteral("TRUE"));
        QCOMPARE(subscription.firstChildElement("DateTime").text().count(QLatin1Char('.')), 2);

        const QString renamed = QString(criteria).replace(QStringLiteral("Лекарства"), QStringLiteral("Аптека"));
        QCOMPARE(textAt(call("POST", URL_SUBSCRIPTION_UPDATE, QStringLiteral("<ID>%1</ID>").arg(id) + renamed, session)
                            .document(),
                        "Result"),
                 S_OK);
        bool found = false;
        for (const LocalServiceSubscription &stored : server->subscriptions(QStringLiteral("demo"))) {
            if (stored.id == id.toLongLong()) {
                found = true;
                QCOMPARE(stored.field(QStringLiteral("Name")), QStringLiteral("Аптека"));
            }
        }
        QVERIFY(found);
        QCOMPARE(
            textAt(call("POST", URL_SUBSCRIPTION_DELETE, QStringLiteral("<ID>%1</ID>").arg(id), session).document(),
                   "Result"),
            S_OK);
        QCOMPARE(
            textAt(call("POST", URL_SUBSCRIPTION_DELETE, QStringLiteral("<ID>%1</ID>").arg(id), session).document(),
                   "Result"),
            E_INVALID_ID);
    }

    void searchCriteria_data()
    {
        QTest::addColumn<QString>("children");
        QTest::addColumn<QString>("check"); // what every found order must satisfy

        // Criteria that the newest order meets, so that something is found.
        const LocalServiceData::Order &order = server->data().orders().first();
        QTest::newRow("region") << QStringLiteral("<Regions><ID>%1</ID></Regions>").arg(order.regionId)
                                << QStringLiteral("region %1").arg(order.regionId);
        QTest::newRow("district covers its subjects")
            << QStringLiteral("<Regions><ID>%1</ID></Regions>").arg(order.districtId)
            << QStringLiteral("district %1").arg(order.districtId);
        QTest::newRow("sector covers its sub-sectors")
            << QStringLiteral("<Branches><ID>%1</ID></Branches>").arg(order.branchParentId)
            << QStringLiteral("sector %1").arg(order.branchParentId);
        QTest::newRow("words") << QStringLiteral("<SearchText>поставка</SearchText>") << "word поставка";
        QTest::newRow("archive") << QStringLiteral("<SearchArea>ARCHIVE_ORDERS</SearchArea>") << "closed";
    }

    void searchCriteria()
    {
        QFETCH(QString, children);
        QFETCH(QString, check);

        const QDomDocument doc = call("POST", URL_SEARCH, children, session).document();
        const int count = textAt(doc, QStringLiteral("Orders/Count")).toInt();
        QVERIFY(count > 0);
        QVERIFY(count < server->data().orders().size());
        QCOMPARE(countAt(doc, QStringLiteral("Orders/Order")), count);
        for (QDomElement element = elementAt(doc, QStringLiteral("Orders/Order")); !element.isNull();
             element = element.nextSiblingElement(QStringLiteral("Order"))) {
            const LocalServiceData::Order *order
                = server->data().order(element.firstChildElement(QStringLiteral("ID")).text().toLongLong());
            QVERIFY(order);
            const QString value = check.section(QLatin1Char(' '), 1);
            if (check.startsWith(QLatin1String("region")))
                QCOMPARE(order->regionId, value.toLongLong());
            else if (check.startsWith(QLatin1String("district")))
                QCOMPARE(order->districtId, value.toLongLong());
            else if (check.startsWith(QLatin1String("sector")))
                QCOMPARE(order->branchParentId, value.toLongLong());
            else if (check.startsWith(QLatin1String("word")))
                QVERIFY(order->name.toLower().contains(value) || order->customerFullName.toLower().contains(value));
            else
                QVERIFY(order->closingTime < QDateTime::currentDateTimeUtc());
        }
    }

    void generatedData()
    {
        LocalServiceData first;
        LocalServiceData second;
        LocalServiceData other;
        const QDateTime now(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
        first.generate(300, 7, now);
        second.generate(300, 7, now);
        other.generate(300, 8, now);
        QCOMPARE(first.orders().size(), 300);
        bool differs = false;
        for (int i = 0; i < 300; ++i) {
            QCOMPARE(first.orders().at(i).id, second.orders().at(i).id);
            QCOMPARE(first.orders().at(i).name, second.orders().at(i).name);
            QCOMPARE(first.orders().at(i).amount, second.orders().at(i).amount);
            differs = differs || first.orders().at(i).name != other.orders().at(i).name;
            const LocalServiceData::Order &order = first.orders().at(i);
            QVERIFY(order.name.contains(QRegularExpression(QStringLiteral("[а-яА-Я]"))));
            QVERIFY(order.openingTime <= now && order.openingTime > now.addDays(-15));
            QVERIFY(order.closingTime > order.openingTime);
            QVERIFY(!order.customerFullName.isEmpty());
            QVERIFY(first.order(order.id) == &order);
            if (i > 0)
                QVERIFY(order.openingTime <= first.orders().at(i - 1).openingTime);
        }
        QVERIFY(differs);
        // Two-level dictionaries: every parent exists and is itself top-level.
        for (const QList<LocalServiceData::Item> *items : {&first.regions(), &first.branches()}) {
            QHash<qint64, qint64> parents;
            for (const LocalServiceData::Item &item : *items)
                parents.insert(item.id, item.parentId);
            QCOMPARE(parents.size(), items->size());
            int children = 0;
            for (const LocalServiceData::Item &item : *items) {
                if (item.parentId < 0)
                    continue;
                ++children;
                QVERIFY(parents.contains(item.parentId));
                QCOMPARE(parents.value(item.parentId), qint64(-1));
            }
            QVERIFY(children > 0 && children < items->size());
        }
    }

    void replyFaults_data()
    {
        QTest::addColumn<LocalServiceFault>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expectation");

        QTest::newRow("http status") << LocalServiceFault::httpStatus(503) << 503 << "well-formed";
        QTest::newRow("empty body") << LocalServiceFault::emptyBody() << 200 << "empty";
        QTest::newRow("malformed") << LocalServiceFault::malformedXml() << 200 << "not xml";
        QTest::newRow("truncated") << LocalServiceFault::truncatedXml() << 200 << "truncated";
        QTest::newRow("padding") << LocalServiceFault::whitespacePadding() << 200 << "padded";
        QTest::newRow("dorvalt") << LocalServiceFault::dorvaltMarker() << 200 << "dorvalt";
        QTest::newRow("result code") << LocalServiceFault::resultCode(E_CLIENT) << 200 << "result E_CLIENT";
        QTest::newRow("extra header") << LocalServiceFault::extraHeader("Cache-Control", "max-age=60") << 200
                                      << "header";
        QTest::newRow("fail page") << LocalServiceFault::failPage(2) << 500 << "result E_SERVER";
    }

    void replyFaults()
    {
        QFETCH(LocalServiceFault, fault);
        QFETCH(int, status);
        QFETCH(QString, expectation);

        const QByteArray normal = newOrdersPage(2, 5, session).body;
        server->addFault(fault);
        const HttpResult reply = newOrdersPage(2, 5, session);
        QCOMPARE(reply.status, status);
        QDomDocument doc;
        const bool parses = doc.setContent(reply.body);
        if (expectation == QLatin1String("well-formed")) {
            QCOMPARE(reply.body, normal);
        } else if (expectation == QLatin1String("empty")) {
            QVERIFY(reply.body.isEmpty());
        } else if (expectation == QLatin1String("not xml")) {
            QVERIFY(!parses);
            QVERIFY(reply.body.size() > normal.size());
        } else if (expectation == QLatin1String("truncated")) {
            QVERIFY(!parses);
            QVERIFY(normal.startsWith(reply.body));
            QVERIFY(reply.body.size() < normal.size());
        } else if (expectation == QLatin1String("padded")) {
            QVERIFY(reply.body.at(0) == ' ' && reply.body.endsWith('\n'));
            QCOMPARE(reply.body.trimmed(), normal.trimmed());
        } else if (expectation == QLatin1String("dorvalt")) {
            QVERIFY(!parses);
            QCOMPARE(QByteArray(reply.body).replace("&Dorvalt", ""), normal);
        } else if (expectation.startsWith(QLatin1String("result"))) {
            QVERIFY(parses);
            QCOMPARE(textAt(doc, QStringLiteral("Result")), expectation.section(QLatin1Char(' '), 1));
            QVERIFY(elementAt(doc, QStringLiteral("Orders")).isNull());
        } else {
            QCOMPARE(reply.header("Cache-Control"), QByteArray("max-age=60"));
            QCOMPARE(reply.body, normal);
        }
        // Faults without a limit stay; the page faults spare other pages.
        if (fault.kind == LocalServiceFault::FailPage)
            QCOMPARE(newOrdersPage(1, 5, session).status, 200);
        else
            QCOMPARE(newOrdersPage(1, 5, session).status, status);
    }

    void dictionaryShapes_data()
    {
        QTest::addColumn<LocalServiceFault>("fault");
        QTest::addColumn<int>("lists");

        QTest::newRow("without list") << LocalServiceFault::dictionaryWithoutList() << 0;
        QTest::newRow("with two lists") << LocalServiceFault::dictionaryWithTwoLists() << 2;
    }

    void dictionaryShapes()
    {
        QFETCH(LocalServiceFault, fault);
        QFETCH(int, lists);

        server->addFault(fault);
        for (const QString &path : {URL_GEO_PLACES, URL_ECONOMIC_SECTORS}) {
            const QDomDocument doc = call("POST", path, QString()).document();
            QCOMPARE(textAt(doc, QStringLiteral("Result")), S_OK);
            const QString list
                = path == URL_GEO_PLACES ? QStringLiteral("GeoPlaces") : QStringLiteral("EconomicSectors");
            QCOMPARE(countAt(doc, list), lists);
        }
    }

    void faultConditions_data()
    {
        QTest::addColumn<LocalServiceFault>("fault");
        QTest::addColumn<QList<int>>("hitRequests"); // which of five page requests get the fault

        QTest::newRow("every request") << LocalServiceFault::resultCode(E_SERVER) << QList<int> {1, 2, 3, 4, 5};
        QTest::newRow("once") << LocalServiceFault::resultCode(E_SERVER).once() << QList<int> {1};
        QTest::newRow("twice") << LocalServiceFault::resultCode(E_SERVER).setTimes(2) << QList<int> {1, 2};
        QTest::newRow("n-th") << LocalServiceFault::resultCode(E_SERVER).onNth(3) << QList<int> {3};
        QTest::newRow("request number") << LocalServiceFault::resultCode(E_SERVER).onRequest(4) << QList<int> {4};
        QTest::newRow("other path") << LocalServiceFault::resultCode(E_SERVER).onPath(URL_SEARCH) << QList<int>();
        QTest::newRow("other method") << LocalServiceFault::resultCode(E_SERVER).onPath(URL_NEW_ORDERS).onMethod("GET")
                                      << QList<int>();
        QTest::newRow("page") << LocalServiceFault::resultCode(E_SERVER).onPage(5) << QList<int> {5};
    }

    void faultConditions()
    {
        QFETCH(LocalServiceFault, fault);
        QFETCH(QList<int>, hitRequests);

        server->addFault(fault);
        QList<int> hits;
        for (int i = 1; i <= 5; ++i) {
            if (textAt(newOrdersPage(i, 1, session).document(), QStringLiteral("Result")) == E_SERVER)
                hits.append(i);
        }
        QCOMPARE(hits, hitRequests);
    }

    void delay()
    {
        server->addFault(LocalServiceFault::delay(300).onPath(URL_NEW_ORDERS_PAGE));
        const HttpResult reply = newOrdersPage(1, 1, session);
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.elapsedMsecs >= 290);
    }

    void hang()
    {
        QSignalSpy sent(server.service(), &LocalService::replySent);
        server->addFault(LocalServiceFault::hang().once());
        const HttpResult reply = call("GET", URL_NEW_ORDERS, QString(), session, 300);
        QCOMPARE(reply.error, QNetworkReply::OperationCanceledError);
        QCOMPARE(reply.status, 0);
        QCOMPARE(sent.count(), 0);
        QCOMPARE(server->requestCount(), 1);
        QCOMPARE(call("GET", URL_NEW_ORDERS, QString(), session).status, 200);
    }

    void closeConnection()
    {
        // Not once: the access manager repeats a request whose kept-alive connection closed.
        server->addFault(LocalServiceFault::closeConnection());
        const HttpResult reply = call("GET", URL_NEW_ORDERS, QString(), session);
        QVERIFY(reply.error != QNetworkReply::NoError);
        QCOMPARE(reply.status, 0);
        QVERIFY(server->isListening());
        server->clearFaults();
        QCOMPARE(call("GET", URL_NEW_ORDERS, QString(), session).status, 200);
    }

    void stopListening()
    {
        const quint16 port = server->port();
        server->addFault(LocalServiceFault::stopListening());
        QVERIFY(call("GET", URL_NEW_ORDERS, QString(), session).error != QNetworkReply::NoError);
        QVERIFY(!server->isListening());
        QCOMPARE(call("GET", URL_NEW_ORDERS, QString(), session).error, QNetworkReply::ConnectionRefusedError);
        server->clearFaults();
        QVERIFY(server->resumeListening());
        QCOMPARE(server->port(), port);
        QCOMPARE(call("GET", URL_NEW_ORDERS, QString(), session).status, 200);

        server->addFault(LocalServiceFault::stopListening(100).once());
        call("GET", URL_NEW_ORDERS, QString(), session);
        QCOMPARE(server->requests(URL_NEW_ORDERS).size(), 3);
        QTRY_VERIFY(server->isListening());
        QCOMPARE(call("GET", URL_NEW_ORDERS, QString(), session).status, 200);
    }

    void partialBody()
    {
        server->addFault(LocalServiceFault::partialBody(10).once());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(5000));
        const QByteArray form = "xml=%3CRequest%2F%3E";
        socket.write("POST " + URL_GEO_PLACES.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
                     + QByteArray::number(form.size()) + "\r\n\r\n" + form);
        QByteArray received;
        QTRY_VERIFY((received += socket.readAll()).contains("\r\n\r\n")
                    && received.size() >= received.indexOf("\r\n\r\n") + 14);
        const int headEnd = received.indexOf("\r\n\r\n") + 4;
        const QByteArray lengthLine = received.mid(received.indexOf("Content-Length: ") + 16);
        QVERIFY(lengthLine.left(lengthLine.indexOf('\r')).toInt() > 10);
        QVERIFY(!socket.waitForReadyRead(200));
        QCOMPARE(received.size() - headEnd, 10);
    }

    void keepAliveAndClose()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(5000));
        const QByteArray form = "xml=%3CRequest%2F%3E";
        const QByteArray request = "POST " + URL_ECONOMIC_SECTORS.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        const QByteArray tail = "Content-Length: " + QByteArray::number(form.size()) + "\r\n\r\n" + form;
        // Two requests in one write: both are answered, in order, on the same connection.
        socket.write(request + tail + request + "Connection: close\r\n" + tail);
        QByteArray received;
        QTRY_VERIFY((received += socket.readAll()).count("</Response>") == 2);
        QCOMPARE(received.count("HTTP/1.1 200 OK"), 2);
        QVERIFY(received.contains("Connection: keep-alive"));
        QVERIFY(received.contains("Connection: close"));
        QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->requestCount(), 2);
    }

    void sessionFaults()
    {
        const QByteArray token = server->openSession(QStringLiteral("demo"));
        server->addFault(LocalServiceFault::expireSessions().onPath(URL_FAVOURITES).once());
        QCOMPARE(textAt(call("GET", URL_FAVOURITES, QString(), token).document(), "Result"),
                 E_INVALID_USERNAME_OR_PASSWORD);
        QVERIFY(server->sessions().isEmpty());

        server->addUser(QStringLiteral("ivanov"), QStringLiteral("secret"), false);
        server->addFault(LocalServiceFault::changePassword(QStringLiteral("ivanov"), QStringLiteral("changed")).once());
        const HttpResult refused = login(QStringLiteral("ivanov"), QStringLiteral("secret"));
        QCOMPARE(textAt(refused.document(), "Result"), E_INVALID_USERNAME_OR_PASSWORD);
        const HttpResult accepted = login(QStringLiteral("ivanov"), QStringLiteral("changed"));
        QCOMPARE(textAt(accepted.document(), "Result"), S_OK);
        QCOMPARE(textAt(accepted.document(), "FullAccess"), QStringLiteral("false"));
    }

    void executable()
    {
        QProcess process;
        process.start(QStringLiteral(TAVREL_TEST_BINARY_DIR "/tools/tavrel-localservice"),
                      {"--port", "0", "--orders", "12", "--seed", "5", "--user", "petrov:parol"});
        QVERIFY(process.waitForStarted(5000));
        QTRY_VERIFY(process.canReadLine());
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        const QString url = line.section(QLatin1Char(' '), 3, 3);
        QVERIFY2(url.startsWith(QLatin1String("http://127.0.0.1:")), qPrintable(line));

        auto post = [this, &url](const QString &path, const QString &children, const QByteArray &token) {
            QNetworkRequest request(QUrl(url + path));
            request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
            if (!token.isEmpty())
                request.setRawHeader(HEADER_SESSION, token);
            QUrlQuery form;
            form.addQueryItem(QStringLiteral("xml"), QStringLiteral("<Request>%1</Request>").arg(children));
            QNetworkReply *reply = manager.post(request, form.query(QUrl::FullyEncoded).toUtf8());
            QSignalSpy finished(reply, &QNetworkReply::finished);
            finished.wait(5000);
            reply->deleteLater();
            return qMakePair(reply->rawHeader(HEADER_SESSION), reply->readAll());
        };
        QDomDocument doc;
        doc.setContent(post(URL_LOGIN, loginDocument("demo", "demo"), QByteArray()).second);
        QCOMPARE(textAt(doc, "Result"), E_INVALID_USERNAME_OR_PASSWORD);
        const auto accepted = post(URL_LOGIN, loginDocument("petrov", "parol"), QByteArray());
        doc.setContent(accepted.second);
        QCOMPARE(textAt(doc, "Result"), S_OK);
        doc.setContent(post(URL_NEW_ORDERS_PAGE, "<Page>1</Page><Rows>5</Rows>", accepted.first).second);
        QCOMPARE(textAt(doc, "Orders/Count"), QStringLiteral("12"));
        QCOMPARE(countAt(doc, "Orders/Order"), 5);

        process.terminate();
        QVERIFY(process.waitForFinished(5000));
    }
};

TAVREL_TEST_MAIN(TestLocalService)
#include "tst_localservice.moc"
