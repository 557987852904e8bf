// Every request kind against the stand-in service over HTTP: what reaches the wire (method, path,
// the decoded "Request" document, the session header, the cookies of a login) and the result map
// the reply parser makes of the service's answers, good and faulty.

#include "constants.h"
#include "coretestapplication.h"
#include "favouriteitem.h"
#include "filter.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "requesttestbed.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelsynchronization.h"
#include "valuehelpers.h"

#include <QNetworkCookie>
#include <QUrlQuery>

namespace {

const QString PATH_LOGIN = QStringLiteral("/api/login");

QStringList childTags(const QDomElement &parent)
{
    QStringList tags;
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        tags.append(child.tagName());
    }
    return tags;
}

QVariantMap searchFilter()
{
    QVariantMap filter;
    filter.insert(KEY_NAME, QStringLiteral("Трубы"));
    filter.insert(KEY_SEARCH_AREA, QStringLiteral("CURRENT_ORDERS"));
    filter.insert(KEY_WITH_MORPHOLOGY, true);
    filter.insert(KEY_ALL_WORDS_REQUIRED, false);
    filter.insert(KEY_AMOUNT_ORDERS_FROM, QStringLiteral("0.00"));
    filter.insert(KEY_AMOUNT_ORDERS_TO, QStringLiteral("100000"));
    filter.insert(KEY_WORD_SERCH, QStringLiteral("поставка"));
    filter.insert(KEY_ENABLED, true);
    filter.insert(KEY_WORDS_EXCEPTIONS, QVariantList {QStringLiteral("alpha"), QStringLiteral("beta")});
    filter.insert(KEY_FILTER_BRANCHES, QVariantList {});
    filter.insert(KEY_FILTER_REGIONS, QVariantList {qint64(77), qint64(50)});
    filter.insert(KEY_ORDER_TYPE, QStringLiteral("ALL"));
    filter.insert(KEY_OPEN_COMPETITION, true);
    filter.insert(KEY_PRICE_QUOTATION, false);
    filter.insert(KEY_ELECTRONIC_AUCTION, true);
    filter.insert(KEY_PRESELECTION, false);
    filter.insert(KEY_EASY_PURCHASE, false);
    filter.insert(KEY_STATE, QStringLiteral("New"));
    return filter;
}

const QStringList SUBSCRIPTION_TAGS = QStringLiteral("Name SearchArea WithMorphology AllWordsRequired AmountOrdersFrom "
                                                     "AmountOrdersTo Enabled WordsExceptions Branches Regions "
                                                     "OrderType PlacementMethod")
                                          .split(QLatin1Char(' '));

QStringList tags(const char *names)
{
    return QString::fromLatin1(names).split(QLatin1Char(' '));
}

// Field names and their texts, alternating.
QVariantMap fields(const QStringList &pairs)
{
    QVariantMap map;
    for (int i = 0; i + 1 < pairs.size(); i += 2) {
        map.insert(pairs.at(i), pairs.at(i + 1));
    }
    return map;
}

enum Fault { NoFault, Status500, EmptyBody, Malformed, Padded, Dorvalt, ErrorCode, Truncated, Status500WithCode };

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void requestOnTheWire_data();
    void requestOnTheWire();
    void replyResult_data();
    void replyResult();

    void loginDropsStaleSessionCookies();
    void loginReplyGivesSessionNameAndAccess();
    void sessionIsReadWhenSent();
    void emptyKindsNeverSend_data();
    void emptyKindsNeverSend();
    void transportErrorFillsDetails();
    void resendDisposesOfFirstReply();
    void textsReachServiceAsTyped_data();
    void textsReachServiceAsTyped();
    void orderListData();
    void favouritesData();
    void dictionaryData_data();
    void dictionaryData();
    void readOrderData();
    void subscriptionsAndSave();
    void favouriteChangeHonoursResult();
    void subscriptionsSynchronizeShiftsDateTime();
    void parametersAreCopied();
    void savedFilterTakesItsPath_data();
    void savedFilterTakesItsPath();
    void filterSearchCarriesShiftedCriteria();
    void favouritesSynchronizeSkipsDeleted();
    void urlHelpers();

private:
    NetworkRequestContext *build(int kind);
    LocalServiceFault faultFor(Fault fault) const;

    RequestTestBed bed;
    QByteArray session;
    qint64 knownOrderId = 0;
};

void TestRequests::initTestCase()
{
    QVERIFY(bed.setUp());
    session = bed.logIn();
    QVERIFY(!session.isEmpty());
    knownOrderId = bed.service.data().orders().first().id;
}

void TestRequests::cleanupTestCase()
{
    bed.tearDown();
}

void TestRequests::init()
{
    bed.service.clearFaults();
    if (!bed.service.sessions().contains(session)) {
        session = bed.logIn();
    }
    bed.service.clearRequestLog();
    bed.synchronization->setSessionCookie(session);
}

NetworkRequestContext *TestRequests::build(int kind)
{
    NetworkRequestConstructor *c = bed.constructor;
    switch (kind) {
    case NetworkRequestKind::Login:
        return c->loginRequest(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), true);
    case NetworkRequestKind::NewOrders:
        return c->newOrdersRequest();
    case NetworkRequestKind::Favourites:
        return c->favouritesRequest();
    case NetworkRequestKind::FavouritesSynchronize: {
        QVariantMap kept {{KEY_ID, knownOrderId}, {KEY_STATE, QStringLiteral("Sync")}};
        QVariantMap dropped {{KEY_ID, knownOrderId + 1}, {KEY_STATE, QStringLiteral("Deleted")}};
        QVariantMap parameters {{KEY_FAVOURITES, QVariantList {kept, dropped}}};
        return c->createRequest(kind, &parameters);
    }
    case NetworkRequestKind::FavouriteCreate:
        return c->createFavouriteRequest(knownOrderId);
    case NetworkRequestKind::FavouriteDelete:
        return c->deleteFavouriteRequest(knownOrderId);
    case NetworkRequestKind::Search:
        return c->searchRequest(QStringLiteral("CURRENT_ORDERS"), QStringLiteral("поставка"), true, false);
    case NetworkRequestKind::SearchPage:
        return c->searchPageRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 0, 50);
    case NetworkRequestKind::NewOrdersPage:
        return c->newOrdersPageRequest(1, 20);
    case NetworkRequestKind::Subscriptions:
        return c->subscriptionsRequest();
    case NetworkRequestKind::SubscriptionsSynchronize: {
        QVariantMap parameters {{KEY_FILTERS, QVariantList {searchFilter()}}};
        return c->createRequest(kind, &parameters);
    }
    case NetworkRequestKind::SubscriptionSave: {
        QVariantMap parameters {{KEY_FILTERS, searchFilter()}};
        return c->createRequest(kind, &parameters);
    }
    case NetworkRequestKind::SubscriptionDelete: {
        LocalServiceSubscription subscription;
        subscription.setField(QStringLiteral("Name"), QStringLiteral("old"));
        const qint64 id = bed.service.addSubscription(QStringLiteral("demo"), subscription);
        return c->deleteSubscriptionRequest(5, id);
    }
    case NetworkRequestKind::GeoPlaces:
        return c->geoPlacesRequest();
    case NetworkRequestKind::EconomicSectors:
        return c->economicSectorsRequest();
    case NetworkRequestKind::LoginWrapper:
        return c->loginWrapperRequest(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")),
                                      nullptr);
    case NetworkRequestKind::ReadOrder:
        return c->readOrderRequest(knownOrderId);
    default:
        return c->createRequest(kind);
    }
}

LocalServiceFault TestRequests::faultFor(Fault fault) const
{
    switch (fault) {
    case Status500:
        return LocalServiceFault::httpStatus(500);
    case EmptyBody:
        return LocalServiceFault::emptyBody();
    case Malformed:
        return LocalServiceFault::malformedXml();
    case Padded:
        return LocalServiceFault::whitespacePadding();
    case Dorvalt:
        return LocalServiceFault::dorvaltMarker();
    case ErrorCode:
    case Status500WithCode:
        return LocalServiceFault::resultCode(E_CLIENT);
    case Truncated:
        return LocalServiceFault::truncatedXml();
    default:
        return LocalServiceFault::delay(0);
    }
}

void TestRequests::requestOnTheWire_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QVariantMap>("fields");

    const QString digest = LocalServiceUser::digest(QStringLiteral("demo"));
    const QVariantMap login = fields({"Version", "1.2.1.0", "Login", "demo", "Password", digest});
    QStringList subscription = SUBSCRIPTION_TAGS;
    subscription.insert(subscription.indexOf(QStringLiteral("Enabled")), QStringLiteral("WordSerch"));
    const QStringList none;
    // -1 stands for the order id the request was built with.
    const QVariantMap id {{QStringLiteral("ID"), -1}};

    auto row
        = [](int kind, const char *method, const char *path, const QStringList &children, const QVariantMap &expected) {
              QTest::addRow("%d %s", kind, path)
                  << kind << QByteArray(method) << QString::fromLatin1(path) << children << expected;
          };
    row(1, "POST", "/api/login", tags("Version Login Password"), login);
    row(2, "GET", "/api/orders/new", none, {});
    row(3, "GET", "/api/orders/favorites", none, {});
    row(4, "POST", "/api/orders/favorites/synchronize", tags("Orders"), {});
    row(5, "POST", "/api/orders/favorites/create", tags("ID"), id);
    row(6, "POST", "/api/orders/favorites/delete", tags("ID"), id);
    row(7, "POST", "/api/orders/search", tags("SearchArea SearchText WithMorphology AllWordsRequired"),
        fields({"SearchText", QStringLiteral("поставка"), "WithMorphology", "TRUE", "AllWordsRequired", "FALSE"}));
    row(8, "POST", "/api/orders/search", tags("Page Rows SearchArea WithMorphology AllWordsRequired"),
        fields({"Page", "1", "Rows", "50"}));
    row(10, "POST", "/api/orders/new", tags("Version Page Rows"), fields({"Page", "2", "Rows", "20"}));
    row(12, "GET", "/api/orders/subscriptions", none, {});
    row(13, "POST", "/api/orders/subscriptions/synchronize", tags("Subscriptions"), {});
    row(14, "POST", "/api/orders/subscriptions/create", subscription,
        fields({"WordsExceptions", "alpha beta", "WithMorphology", "TRUE", "OrderType", "ALL"}));
    row(15, "POST", "/api/orders/subscriptions/delete", tags("ID"), {});
    row(16, "POST", "/api/register/get/geoplaces", none, {});
    row(17, "POST", "/api/register/get/economicsectors", none, {});
    row(18, "POST", "/api/login", tags("Version Login Password"), login);
    row(19, "GET", "/api/orders/read", tags("ID"), id);
}

void TestRequests::requestOnTheWire()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QStringList, children);
    QFETCH(QVariantMap, fields);

    NetworkRequestContext *context = build(kind);
    QCOMPARE(context->kind, kind);
    QVERIFY(RequestTestBed::finish(context));
    const LocalServiceRequest sent = bed.service.lastRequest(path);
    QVERIFY(sent.number > 0);
    QCOMPARE(sent.method, method);
    QVERIFY(sent.hasXml);
    QCOMPARE(sent.requestElement().tagName(), QStringLiteral("Request"));
    QCOMPARE(childTags(sent.requestElement()), children);
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        // -1 stands for the order id the request was built with.
        const QString expected = it.value() == -1 ? QString::number(knownOrderId) : it.value().toString();
        QCOMPARE(sent.field(it.key()), expected);
    }
    if (method == "GET") {
        QVERIFY(sent.body.isEmpty());
        QVERIFY(sent.query.startsWith("xml="));
        QVERIFY(!sent.hasHeader("Content-Type"));
    } else {
        QVERIFY(sent.query.isEmpty());
        QVERIFY(sent.body.startsWith("xml="));
        QCOMPARE(sent.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    }
    if (kind == NetworkRequestKind::Login) {
        QVERIFY(!sent.hasHeader(HEADER_SESSION));
    } else {
        QCOMPARE(sent.header(HEADER_SESSION), session);
    }
    if (NetworkRequestContext::isLoginKind(kind)) {
        QVERIFY(sent.cookie("PHPSESSID").isEmpty());
        // Each login hands out a new session, which the rest of this test case goes on using.
        session = context->result.value(KEY_SESSION).toByteArray();
        QVERIFY(!session.isEmpty());
    }
    delete context;
}

void TestRequests::replyResult_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("dataKey");
    QTest::addColumn<bool>("hasData");

    // Each kind with the key its data comes under (none for the kinds that only answer a code).
    const QList<QPair<int, QString>> kinds = {
        {1, KEY_NAME},   {2, KEY_ORDERS},   {3, KEY_FAVOURITES}, {4, KEY_FAVOURITES}, {5, QString()},    {6, QString()},
        {7, KEY_ORDERS}, {8, KEY_ORDERS},   {10, KEY_ORDERS},    {12, KEY_FILTERS},   {13, KEY_FILTERS}, {14, KEY_ID},
        {15, QString()}, {16, KEY_REGIONS}, {17, KEY_BRANCHES},  {18, KEY_NAME},      {19, KEY_ORDERS}};
    const QStringList faultNames
        = {QStringLiteral("good"),      QStringLiteral("500"),       QStringLiteral("empty"),
           QStringLiteral("malformed"), QStringLiteral("padded"),    QStringLiteral("Dorvalt"),
           QStringLiteral("E_CLIENT"),  QStringLiteral("truncated"), QStringLiteral("500 E_CLIENT")};
    const QString absent;
    for (const auto &row : kinds) {
        const int k = row.first;
        const bool orderList = k == 2 || k == 7 || k == 8 || k == 10;
        const bool statusOnly = k == 5 || k == 6;
        for (int fault = NoFault; fault <= Status500WithCode; ++fault) {
            QString code = S_OK;
            bool hasData = !row.second.isEmpty();
            switch (fault) {
            case Status500:
            case Malformed:
            case Truncated:
                // A server error page, or whatever the document kept of a broken body, is no answer
                // even when it holds a whole list and says S_OK.
                code = E_SERVER;
                hasData = false;
                break;
            case Status500WithCode:
                code = E_CLIENT;
                hasData = false;
                break;
            case EmptyBody:
                hasData = false;
                code = orderList || k == 19 ? E_SERVER : statusOnly ? S_OK : absent;
                break;
            case Dorvalt:
                // The marker is removed from order lists, favourites and favourite changes; elsewhere
                // it makes the document unreadable. The favourites' "Result" is read uncleaned.
                if (!orderList && !statusOnly) {
                    hasData = false;
                    code = k == 3 || k == 4 ? absent : E_SERVER;
                }
                break;
            case ErrorCode:
                hasData = false;
                code = k == 12 || k == 13 ? absent : E_CLIENT;
                break;
            default:
                break;
            }
            QTest::addRow("%d %s", k, qPrintable(faultNames.at(fault))) << k << fault << code << row.second << hasData;
        }
    }
}

void TestRequests::replyResult()
{
    QFETCH(int, kind);
    QFETCH(int, fault);
    QFETCH(QString, code);
    QFETCH(QString, dataKey);
    QFETCH(bool, hasData);

    if (kind == NetworkRequestKind::FavouriteDelete) {
        bed.service.setFavourites(QStringLiteral("demo"), {knownOrderId});
    }
    NetworkRequestContext *context = build(kind);
    const QString path = context->request.url().path();
    if (fault != NoFault) {
        bed.service.addFault(faultFor(Fault(fault)).onPath(path).once());
    }
    if (fault == Status500WithCode) {
        bed.service.addFault(LocalServiceFault::httpStatus(500).onPath(path).once());
    }
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(context->result.contains(KEY_RESULT), !code.isEmpty());
    QCOMPARE(context->result.value(KEY_RESULT).toString(), code);
    if (!dataKey.isEmpty()) {
        QCOMPARE(context->result.contains(dataKey), hasData);
    }
    QCOMPARE(context->result.contains(KEY_BYTE_ARRAY), true);
    if (fault == Status500 || fault == Status500WithCode) {
        QCOMPARE(context->httpStatus, 500);
        QCOMPARE(context->errorDetails.value(KEY_HTTP_STATUS_CODE), QStringLiteral("500"));
        QCOMPARE(context->result.value(KEY_HTTP_STATUS_CODE).toString(), QStringLiteral("500"));
        QVERIFY(!context->result.value(KEY_REPLY_ERROR_STRING).toString().isEmpty());
    } else {
        QCOMPARE(context->httpStatus, 200);
        QVERIFY(context->errorDetails.isEmpty());
        QVERIFY(!context->result.contains(KEY_HTTP_STATUS_CODE));
    }
    if (NetworkRequestContext::isLoginKind(kind)) {
        session = context->result.value(KEY_SESSION).toByteArray();
    }
    delete context;
}

void TestRequests::loginDropsStaleSessionCookies()
{
    TavrelNetworkCookieJar *jar = qobject_cast<TavrelNetworkCookieJar *>(bed.accessManager->cookieJar());
    QVERIFY(jar);
    const QUrl service(bed.service.url());
    QList<QNetworkCookie> cookies = jar->allCookies();
    QNetworkCookie stale("PHPSESSID", "old");
    stale.setDomain(service.host());
    stale.setPath(QStringLiteral("/"));
    QNetworkCookie elsewhere("PHPSESSID", "other");
    elsewhere.setDomain(QStringLiteral("example.org"));
    QNetworkCookie kept("lang", "ru");
    kept.setDomain(service.host());
    kept.setPath(QStringLiteral("/"));
    cookies << stale << elsewhere << kept;
    jar->setAllCookies(cookies);

    NetworkRequestContext *context = build(NetworkRequestKind::Login);
    // The jar is cleaned when the login is built and again when it is sent.
    jar->setAllCookies(jar->allCookies() << stale << elsewhere);
    QVERIFY(RequestTestBed::finish(context));
    const LocalServiceRequest sent = bed.service.lastRequest(PATH_LOGIN);
    QVERIFY(sent.cookie("PHPSESSID").isEmpty());
    QCOMPARE(sent.cookie("lang"), QByteArray("ru"));
    // The service set a new PHPSESSID with its reply; the login reply handling drops that one too.
    bool hasSessionCookie = false;
    bool hasLang = false;
    for (const QNetworkCookie &cookie : jar->allCookies()) {
        hasSessionCookie |= cookie.name() == "PHPSESSID";
        hasLang |= cookie.name() == "lang";
    }
    QVERIFY(!hasSessionCookie);
    QVERIFY(hasLang);
    session = context->result.value(KEY_SESSION).toByteArray();
    delete context;
}

void TestRequests::loginReplyGivesSessionNameAndAccess()
{
    NetworkRequestContext *context = build(NetworkRequestKind::Login);
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
    const QByteArray token = context->result.value(KEY_SESSION).toByteArray();
    QVERIFY(bed.service.sessions().contains(token));
    QCOMPARE(context->result.value(KEY_NAME).toString(),
             QStringLiteral("ООО «Стройресурс» > Смирнова Ольга Ивановна (ID: 1001)"));
    QCOMPARE(context->result.value(KEY_FULL_ACCESS).toString(), QStringLiteral("true"));
    QCOMPARE(context->result.value(KEY_UPDATE_URL).toString(), baseUrl());
    QCOMPARE(context->parameters.value(KEY_SAVE_LOGIN_AND_PASSWORD), QVariant(true));
    session = token;
    delete context;

    // A refused login is reported as such, with no name.
    context = bed.constructor->loginRequest(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("wrong")),
                                            static_cast<const bool *>(nullptr));
    QVERIFY(!context->parameters.contains(KEY_SAVE_LOGIN_AND_PASSWORD));
    QCOMPARE(context->parameters.size(), 2);
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), E_INVALID_USERNAME_OR_PASSWORD);
    QVERIFY(!context->result.contains(KEY_NAME));
    QVERIFY(context->result.value(KEY_SESSION).toByteArray().isEmpty());
    delete context;
}

void TestRequests::sessionIsReadWhenSent()
{
    NetworkRequestContext *context = build(NetworkRequestKind::Favourites);
    bed.synchronization->setSessionCookie("changed-before-start");
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(bed.service.lastRequest().header(HEADER_SESSION), QByteArray("changed-before-start"));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), E_INVALID_USERNAME_OR_PASSWORD);
    delete context;
}

void TestRequests::emptyKindsNeverSend_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("0") << 0;
    QTest::newRow("20") << 20;
    QTest::newRow("-1") << -1;
}

void TestRequests::emptyKindsNeverSend()
{
    QFETCH(int, kind);
    NetworkRequestContext *context = bed.constructor->createRequest(kind);
    QCOMPARE(context->metaObject(), &NetworkRequestContext::staticMetaObject);
    QCOMPARE(context->operation, int(QNetworkAccessManager::PostOperation));
    QVERIFY(context->request.url().isEmpty());
    QCOMPARE(context->request.header(QNetworkRequest::ContentTypeHeader).toString(),
             QStringLiteral("application/x-www-form-urlencoded"));
    QCOMPARE(context->request.rawHeader(HEADER_SESSION), session);
    const QString document
        = QUrlQuery(QString::fromLatin1(context->body)).queryItemValue(QStringLiteral("xml"), QUrl::FullyDecoded);
    QCOMPARE(document.trimmed(), QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Request/>"));
    QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
    QVERIFY(!context->start());
    QVERIFY(!spy.wait(200));
    QCOMPARE(bed.service.requestCount(), 0);
    delete context;
}

void TestRequests::transportErrorFillsDetails()
{
    NetworkRequestContext *context = build(NetworkRequestKind::NewOrders);
    // Unlimited: the access manager itself retries a request whose connection was dropped.
    bed.service.addFault(LocalServiceFault::closeConnection().onPath(QStringLiteral("/api/orders/new")));
    QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
    QVERIFY(RequestTestBed::finish(context));
    QVERIFY(context->networkError != QNetworkReply::NoError);
    QCOMPARE(context->errorDetails.value(KEY_HTTP_STATUS_CODE), QStringLiteral("0"));
    QCOMPARE(context->errorDetails.value(KEY_REPLY_ERROR_STRING), context->errorString);
    QCOMPARE(context->result.value(KEY_HTTP_STATUS_CODE).toString(), QStringLiteral("0"));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), E_SERVER);
    QTest::qWait(100);
    QCOMPARE(spy.count(), 1);
    delete context;
}

void TestRequests::resendDisposesOfFirstReply()
{
    NetworkRequestContext *context = build(NetworkRequestKind::Subscriptions);
    QVERIFY(RequestTestBed::finish(context));
    QPointer<QNetworkReply> first = context->reply;
    context->result.insert(QStringLiteral("stale"), 1);
    bed.service.addFault(LocalServiceFault::resultCode(E_CLIENT).once());
    QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
    QVERIFY(context->start());
    QVERIFY(!context->result.contains(QStringLiteral("stale")));
    QVERIFY(spy.wait(5000));
    RequestTestBed::flushDeferredDeletes();
    QVERIFY(first.isNull());
    QCOMPARE(bed.service.requests(QStringLiteral("/api/orders/subscriptions")).size(), 2);
    QVERIFY(!context->result.contains(KEY_FILTERS));
    delete context;
}

void TestRequests::textsReachServiceAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plus") << QStringLiteral("C++");
    QTest::newRow("percent") << QStringLiteral("100% %20 %2B");
    QTest::newRow("form characters") << QStringLiteral("a&b=c;d+e");
    QTest::newRow("markup") << QStringLiteral("<x> \"q\" 'a' &amp;");
    QTest::newRow("cyrillic and blanks") << QStringLiteral("  Жёлтые   трубы  ");
}

void TestRequests::textsReachServiceAsTyped()
{
    QFETCH(QString, text);
    NetworkRequestContext *search
        = bed.constructor->searchRequest(QStringLiteral("CURRENT_ORDERS"), text, false, false);
    QVERIFY(RequestTestBed::finish(search));
    QCOMPARE(bed.service.lastRequest(QStringLiteral("/api/orders/search")).field(QStringLiteral("SearchText")), text);
    delete search;

    // GET carries the same document in its query.
    QVariantMap parameters {{KEY_ORDER_ID, text}};
    NetworkRequestContext *read = bed.constructor->createRequest(NetworkRequestKind::ReadOrder, &parameters);
    QVERIFY(RequestTestBed::finish(read));
    QCOMPARE(bed.service.lastRequest(QStringLiteral("/api/orders/read")).field(QStringLiteral("ID")), text);
    delete read;
}

void TestRequests::orderListData()
{
    NetworkRequestContext *context = build(NetworkRequestKind::NewOrdersPage);
    bed.service.addFault(LocalServiceFault::dorvaltMarker().once());
    QVERIFY(RequestTestBed::finish(context));
    const QVariantList orders = context->result.value(KEY_ORDERS).toList();
    QCOMPARE(orders.size(), 20);
    const QList<qint64> ids = bed.service.newOrderIds();
    for (int i = 0; i < orders.size(); ++i) {
        const QVariantMap order = orders.at(i).toMap();
        // Page 2 of 20 rows holds the new orders 20 to 39.
        QCOMPARE(order.value(KEY_ID).toLongLong(), ids.at(20 + i));
        const LocalServiceData::Order *stored = bed.service.data().order(ids.at(20 + i));
        QVERIFY(stored);
        QCOMPARE(order.value(KEY_NAME).toString(), stored->name);
        const QString amount = order.value(KEY_AMOUNT).toString();
        QVERIFY2(amount.startsWith(stored->amount), qPrintable(amount + QStringLiteral(" / ") + stored->amount));
        QCOMPARE(amount.section(QLatin1Char('.'), 1).size() >= 2, true);
    }
    auto *page = qobject_cast<PageRequestContext *>(context);
    QVERIFY(page);
    QCOMPARE(page->pageNumber, 1);
    int count = 0;
    QVERIFY(PageRequestContext::readTotalCount(context->result.value(KEY_BYTE_ARRAY).toByteArray(), &count));
    QCOMPARE(count, ids.size());
    delete context;
}

void TestRequests::favouritesData()
{
    const QList<qint64> favourites {knownOrderId, bed.service.data().orders().at(3).id};
    bed.service.setFavourites(QStringLiteral("demo"), favourites);
    NetworkRequestContext *context = build(NetworkRequestKind::Favourites);
    QVERIFY(RequestTestBed::finish(context));
    const QVariantList list = context->result.value(KEY_FAVOURITES).toList();
    QCOMPARE(list.size(), 2);
    QSet<qint64> ids;
    for (const QVariant &item : list) {
        const QVariantMap favourite = item.toMap();
        ids.insert(favourite.value(KEY_ID).toLongLong());
        QVERIFY(favourite.value(KEY_CHANGE_DATE).toDateTime().isValid());
        QVERIFY(favourite.value(KEY_CHANGE_DATE).type() == QVariant::DateTime);
        QVERIFY(favourite.contains(KEY_AMOUNT));
    }
    QCOMPARE(ids, QSet<qint64>(favourites.begin(), favourites.end()));
    delete context;
}

void TestRequests::dictionaryData_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("shape");
    for (int kind : {16, 17}) {
        QTest::addRow("%d whole", kind) << kind << int(LocalServiceApi::NormalDictionary);
        QTest::addRow("%d no list", kind) << kind << int(LocalServiceApi::DictionaryWithoutList);
        QTest::addRow("%d two lists", kind) << kind << int(LocalServiceApi::DictionaryWithTwoLists);
    }
}

void TestRequests::dictionaryData()
{
    QFETCH(int, kind);
    QFETCH(int, shape);
    if (shape != LocalServiceApi::NormalDictionary) {
        bed.service.addFault(shape == LocalServiceApi::DictionaryWithTwoLists
                                 ? LocalServiceFault::dictionaryWithTwoLists()
                                 : LocalServiceFault::dictionaryWithoutList());
    }
    NetworkRequestContext *context = build(kind);
    QVERIFY(RequestTestBed::finish(context));
    const bool regions = kind == NetworkRequestKind::GeoPlaces;
    const QString key = regions ? KEY_REGIONS : KEY_BRANCHES;
    if (shape != LocalServiceApi::NormalDictionary) {
        // Reported as a failure, so the engine never replaces its dictionary with nothing.
        QCOMPARE(context->result.value(KEY_RESULT).toString(), E_SERVER);
        QVERIFY(!context->result.contains(KEY_REGIONS));
        QVERIFY(!context->result.contains(KEY_BRANCHES));
        delete context;
        return;
    }
    const QVariantList list = context->result.value(key).toList();
    const auto &expected = regions ? bed.service.data().regions() : bed.service.data().branches();
    QCOMPARE(list.size(), expected.size());
    const QVariantMap first = list.first().toMap();
    QCOMPARE(first.value(KEY_ID).toLongLong(), expected.first().id);
    QCOMPARE(first.value(KEY_NAME).toString(), expected.first().name);
    QVERIFY(first.contains(regions ? KEY_REGION_CHANGE_DATE : KEY_BRANCH_CHANGE_DATE));
    QVERIFY(first.contains(KEY_PARENT_ID));
    delete context;
}

void TestRequests::readOrderData()
{
    const LocalServiceData::Order *stored = nullptr;
    for (const LocalServiceData::Order &order : bed.service.data().orders()) {
        if (order.documents.size() >= 2 && !order.contacts.isEmpty()) {
            stored = &order;
            break;
        }
    }
    QVERIFY(stored);
    NetworkRequestContext *context = bed.constructor->readOrderRequest(stored->id);
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
    const QVariantMap order = context->result.value(KEY_ORDERS).toMap();
    QCOMPARE(order.value(KEY_ID).toLongLong(), stored->id);
    // The single order keeps the price as the service wrote it.
    QCOMPARE(order.value(KEY_AMOUNT).toString(), stored->amount);
    QCOMPARE(order.value(KEY_SUBJECT_FULL_NAME).toString(), stored->customerFullName);
    QCOMPARE(order.value(KEY_SUBJECT_SHORT_NAME).toString(), stored->customerShortName);
    QStringList names;
    for (const LocalServiceData::Document &document : stored->documents) {
        QString name = document.name;
        names.append(name.replace(QLatin1Char('\r'), QStringLiteral("<br />"))
                         .replace(QLatin1Char('\n'), QStringLiteral("<br />")));
    }
    QCOMPARE(order.value(KEY_DOC_NAMES).toString(), names.join(QLatin1Char('\n')));
    QCOMPARE(order.value(KEY_DOC_URLS).toString().count(QLatin1Char('\n')), stored->documents.size() - 1);
    QCOMPARE(order.value(KEY_CONTACT_NAMES).toString().count(QLatin1Char('\n')), stored->contacts.size() - 1);
    QVERIFY(order.contains(KEY_OPENING_TIME));
    QVERIFY(order.contains(KEY_CLOSING_TIME));
    delete context;
}

void TestRequests::subscriptionsAndSave()
{
    QVariantMap filter = searchFilter();
    QVariantMap parameters {{KEY_FILTERS, filter}};
    NetworkRequestContext *create = bed.constructor->createRequest(NetworkRequestKind::SubscriptionSave, &parameters);
    QVERIFY(RequestTestBed::finish(create));
    QCOMPARE(create->result.value(KEY_RESULT).toString(), S_OK);
    const qint64 id = create->result.value(KEY_ID).toLongLong();
    QVERIFY(id > 0);
    delete create;

    // An edited subscription goes to the update path with its id first, whatever the state's case.
    filter.insert(KEY_ID, id);
    filter.insert(KEY_STATE, QStringLiteral("eDiTeD"));
    filter.insert(KEY_NAME, QStringLiteral("Трубы и фитинги"));
    parameters.insert(KEY_FILTERS, filter);
    NetworkRequestContext *update = bed.constructor->createRequest(NetworkRequestKind::SubscriptionSave, &parameters);
    QVERIFY(RequestTestBed::finish(update));
    const LocalServiceRequest sent = bed.service.lastRequest(QStringLiteral("/api/orders/subscriptions/update"));
    QCOMPARE(childTags(sent.requestElement()).value(0), QStringLiteral("ID"));
    QCOMPARE(sent.field(QStringLiteral("ID")), QString::number(id));
    QCOMPARE(update->result.value(KEY_RESULT).toString(), S_OK);
    delete update;

    NetworkRequestContext *list = bed.constructor->subscriptionsRequest();
    QVERIFY(RequestTestBed::finish(list));
    QVariantMap received;
    for (const QVariant &item : list->result.value(KEY_FILTERS).toList()) {
        if (item.toMap().value(KEY_ID).toLongLong() == id) {
            received = item.toMap();
        }
    }
    QCOMPARE(received.value(KEY_NAME).toString(), QStringLiteral("Трубы и фитинги"));
    QCOMPARE(received.value(KEY_WORDS_EXCEPTIONS).toList(),
             (QVariantList {QStringLiteral("alpha"), QStringLiteral("beta")}));
    QCOMPARE(received.value(QStringLiteral("wordsexception")).toList().size(), 2);
    QCOMPARE(received.value(KEY_FILTER_REGIONS).toList(), (QVariantList {QStringLiteral("77"), QStringLiteral("50")}));
    QCOMPARE(received.value(KEY_OPEN_COMPETITION).toString().toUpper(), QStringLiteral("TRUE"));
    QCOMPARE(received.value(KEY_FILTER_CHANGE_DATE), received.value(QStringLiteral("datetime")));
    delete list;
}

void TestRequests::favouriteChangeHonoursResult()
{
    // An unknown order: the service's 404 names the error, which the client keeps.
    NetworkRequestContext *context = bed.constructor->createFavouriteRequest(-5);
    QVERIFY(RequestTestBed::finish(context));
    QCOMPARE(context->httpStatus, 404);
    QCOMPARE(context->result.value(KEY_RESULT).toString(), E_INVALID_ID);
    delete context;
}

void TestRequests::subscriptionsSynchronizeShiftsDateTime()
{
    QVariantMap filter = searchFilter();
    filter.insert(KEY_FILTER_CHANGE_DATE, QDateTime(QDate(2014, 5, 3), QTime(21, 0)));
    filter.insert(KEY_OPENING_TIME_FROM, QDateTime(QDate(2014, 5, 3), QTime(22, 30)));
    QVariantMap parameters {{KEY_FILTERS, QVariantList {filter}}};
    NetworkRequestContext *context
        = bed.constructor->createRequest(NetworkRequestKind::SubscriptionsSynchronize, &parameters);
    QVERIFY(RequestTestBed::finish(context));
    const LocalServiceRequest sent = bed.service.lastRequest(QStringLiteral("/api/orders/subscriptions/synchronize"));
    const QDomElement subscription = sent.requestElement()
                                         .firstChildElement(QStringLiteral("Subscriptions"))
                                         .firstChildElement(QStringLiteral("Subscription"));
    QStringList expected = SUBSCRIPTION_TAGS;
    expected.insert(expected.indexOf(QStringLiteral("AmountOrdersTo")) + 1, QStringLiteral("OpeningTimeFrom"));
    expected.insert(expected.indexOf(QStringLiteral("Enabled")), QStringLiteral("WordSerch"));
    expected.prepend(QStringLiteral("DateTime"));
    QCOMPARE(childTags(subscription), expected);
    QCOMPARE(subscription.firstChildElement(QStringLiteral("DateTime")).text(), QStringLiteral("2014-05-04T01:00:00"));
    QCOMPARE(subscription.firstChildElement(QStringLiteral("OpeningTimeFrom")).text(), QStringLiteral("03.05.2014"));
    QCOMPARE(subscription.firstChildElement(QStringLiteral("Regions")).elementsByTagName(QStringLiteral("ID")).size(),
             2);
    QCOMPARE(subscription.firstChildElement(QStringLiteral("PlacementMethod")).firstChildElement().text(),
             QStringLiteral("TRUE"));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
    delete context;
}

void TestRequests::parametersAreCopied()
{
    QVariantMap parameters {{KEY_ORDER_ID, qint64(7)}};
    NetworkRequestContext *context = bed.constructor->createRequest(NetworkRequestKind::ReadOrder, &parameters);
    parameters.insert(KEY_ORDER_ID, qint64(8));
    QCOMPARE(context->parameters.value(KEY_ORDER_ID).toLongLong(), qint64(7));
    delete context;

    NetworkRequestContext *inner = bed.constructor->readOrderRequest(19);
    NetworkRequestContext *wrapper
        = bed.constructor->loginWrapperRequest(QStringLiteral("u"), QStringLiteral("p"), inner);
    QCOMPARE(wrapper->kind, int(NetworkRequestKind::LoginWrapper));
    QCOMPARE(wrapper->wrappedKind, int(NetworkRequestKind::ReadOrder));
    QCOMPARE(wrapper->subRequest.data(), inner);
    QCOMPARE(inner->wrapper.data(), wrapper);
    QCOMPARE(QSet<QString>(wrapper->parameters.keyBegin(), wrapper->parameters.keyEnd()),
             (QSet<QString> {KEY_ORDER_ID, KEY_LOGIN, KEY_PASSWORD}));
    delete wrapper;

    auto *manager = qobject_cast<PagedRequestManager *>(bed.constructor->allNewOrdersRequest(0));
    QVERIFY(manager);
    QCOMPARE(manager->rowsPerPage, 1);
    QVERIFY(manager->newOrders);
    QVERIFY(!manager->send(false));
    QCOMPARE(bed.service.requestCount(), 0);
    delete manager;
}

void TestRequests::savedFilterTakesItsPath_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("firstChild");
    QTest::newRow("new") << int(Entity::FilterList::New) << 14 << QStringLiteral("/api/orders/subscriptions/create")
                         << QStringLiteral("Name");
    QTest::newRow("edited") << int(Entity::FilterList::Edited) << 14
                            << QStringLiteral("/api/orders/subscriptions/update") << QStringLiteral("ID");
    QTest::newRow("sync") << int(Entity::FilterList::Sync) << 14 << QStringLiteral("/api/orders/subscriptions/create")
                          << QStringLiteral("Name");
    QTest::newRow("deleted") << int(Entity::FilterList::Deleted) << 15
                             << QStringLiteral("/api/orders/subscriptions/delete") << QStringLiteral("ID");
}

void TestRequests::savedFilterTakesItsPath()
{
    QFETCH(int, state);
    QFETCH(int, kind);
    QFETCH(QString, path);
    QFETCH(QString, firstChild);
    LocalServiceSubscription existing;
    existing.setField(QStringLiteral("Name"), QStringLiteral("old"));
    Entity::Filter filter;
    filter.id = bed.service.addSubscription(QStringLiteral("demo"), existing);
    filter.localId = 12;
    filter.name = QStringLiteral("Трубы");
    filter.state = Entity::FilterList::State(state);
    filter.openingTimeFrom = QDateTime(QDate(2014, 5, 3), QTime(21, 0));
    const int depth = serverTimeShiftDepth();
    NetworkRequestContext *context = bed.constructor->saveSubscriptionRequest(&filter);
    QCOMPARE(serverTimeShiftDepth(), depth);
    QCOMPARE(context->kind, kind);
    const QStringList keys = context->parameters.keys();
    if (kind == NetworkRequestKind::SubscriptionDelete) {
        QCOMPARE(keys, (QStringList {KEY_ID, KEY_LOCAL_ID}));
        QCOMPARE(context->parameters.value(KEY_LOCAL_ID).toLongLong(), qint64(12));
    } else {
        QCOMPARE(keys, QStringList {KEY_FILTERS});
        // Built with the server-time shift: four hours later, past midnight.
        QCOMPARE(context->parameters.value(KEY_FILTERS).toMap().value(KEY_OPENING_TIME_FROM).toDateTime(),
                 QDateTime(QDate(2014, 5, 4), QTime(1, 0)));
    }
    QVERIFY(RequestTestBed::finish(context));
    const LocalServiceRequest sent = bed.service.lastRequest(path);
    QVERIFY(sent.number > 0);
    QCOMPARE(childTags(sent.requestElement()).value(0), firstChild);
    if (kind == NetworkRequestKind::SubscriptionSave) {
        QCOMPARE(sent.field(QStringLiteral("OpeningTimeFrom")), QStringLiteral("04.05.2014"));
    } else {
        QCOMPARE(sent.field(QStringLiteral("ID")), QString::number(filter.id));
    }
    QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
    delete context;

    // The list synchronization keeps the stored times.
    Entity::FilterList list(QList<Entity::Filter *> {&filter});
    context = bed.constructor->synchronizeSubscriptionsRequest(list);
    QCOMPARE(context->parameters.value(KEY_FILTERS).toList().value(0).toMap().value(KEY_OPENING_TIME_FROM).toDateTime(),
             QDateTime(QDate(2014, 5, 3), QTime(21, 0)));
    delete context;
}

void TestRequests::filterSearchCarriesShiftedCriteria()
{
    Entity::Filter filter;
    filter.wordSerch = QStringLiteral("C++ & 100%");
    filter.closingTimeTo = QDateTime(QDate(2014, 5, 3), QTime(22, 30));
    filter.regions = {77, 50};
    QScopedPointer<PagedRequestManager> manager(
        qobject_cast<PagedRequestManager *>(bed.constructor->searchAllPagesRequest(&filter, 25)));
    QVERIFY(manager);
    QCOMPARE(manager->rowsPerPage, 25);
    QVERIFY(!manager->newOrders);
    QSignalSpy reports(manager.data(), &NetworkRequestContext::replyFinished);
    manager->start();
    QVERIFY(reports.wait(5000));
    const LocalServiceRequest sent = bed.service.requests(QStringLiteral("/api/orders/search")).value(0);
    QStringList expected = SUBSCRIPTION_TAGS;
    expected.insert(expected.indexOf(QStringLiteral("AmountOrdersTo")) + 1, QStringLiteral("ClosingTimeTo"));
    expected = QStringList {QStringLiteral("Page"), QStringLiteral("Rows")} + expected
        + QStringList {QStringLiteral("SearchText")};
    QCOMPARE(childTags(sent.requestElement()), expected);
    QCOMPARE(sent.field(QStringLiteral("SearchText")), QStringLiteral("C++ & 100%"));
    QCOMPARE(sent.field(QStringLiteral("ClosingTimeTo")), QStringLiteral("04.05.2014"));
    QCOMPARE(sent.field(QStringLiteral("Rows")), QStringLiteral("25"));
    QCOMPARE(sent.field(QStringLiteral("OrderType")), QStringLiteral("COMMERCIAL"));
    QCOMPARE(sent.field(QStringLiteral("SearchArea")), QStringLiteral("CURRENT_ORDERS"));
    QCOMPARE(manager->result.value(KEY_RESULT).toString(), S_OK);
}

void TestRequests::favouritesSynchronizeSkipsDeleted()
{
    NetworkRequestContext *empty = bed.constructor->synchronizeFavouritesRequest({});
    QVERIFY(empty->parameters.contains(KEY_FAVOURITES));
    QCOMPARE(empty->parameters.value(KEY_FAVOURITES).toList(), QVariantList());
    delete empty;

    Entity::FavouriteItem kept;
    kept.id = knownOrderId;
    kept.state = Entity::FavouriteItemList::Sync;
    Entity::FavouriteItem gone;
    gone.id = knownOrderId + 1;
    gone.state = Entity::FavouriteItemList::Deleted;
    NetworkRequestContext *context = bed.constructor->synchronizeFavouritesRequest({&kept, &gone});
    QCOMPARE(context->parameters.value(KEY_FAVOURITES).toList().size(), 2);
    QVERIFY(RequestTestBed::finish(context));
    const QDomElement orders = bed.service.lastRequest(QStringLiteral("/api/orders/favorites/synchronize"))
                                   .requestElement()
                                   .firstChildElement(QStringLiteral("Orders"));
    QCOMPARE(childTags(orders), (QStringList {QStringLiteral("ID"), QStringLiteral("DateTime")}));
    QCOMPARE(orders.firstChildElement(QStringLiteral("ID")).text(), QString::number(knownOrderId));
    QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
    delete context;
}

void TestRequests::urlHelpers()
{
    const QUrl page(QStringLiteral("http://127.0.0.1:1/me?a=1&b=x%20y"));
    QCOMPARE(
        NetworkRequestConstructor::urlWithQueryItem(page, QStringLiteral("session"), QStringLiteral("s1")).toString(),
        QStringLiteral("http://127.0.0.1:1/me?session=s1"));
    QCOMPARE(NetworkRequestConstructor::addQueryItem(page, QStringLiteral("session"), QStringLiteral("s1")).toString(),
             QStringLiteral("http://127.0.0.1:1/me?a=1&b=x y&session=s1"));
    QCOMPARE(NetworkRequestConstructor::urlWithQuery(QStringLiteral("http://127.0.0.1:1/bills"),
                                                     QStringLiteral("session"), QStringLiteral("s2")),
             QStringLiteral("http://127.0.0.1:1/bills?session=s2"));
}

TAVREL_CORE_TEST_MAIN(TestRequests)
#include "tst_requests.moc"
