// Every request kind against the stand-in service over HTTP: what reaches the wire (method, path,
// the decoded "Request" document, the session header, the cookies of a login) and transport faults.
// What the parser makes of the replies is its own test's.

#include "constants.h"
#include "coretestapplication.h"
#include "favouriteitem.h"
#include "filter.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "syncfixture.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelsynchronization.h"

#include <QNetworkCookie>

namespace {

// A search text that reaches the service as typed only when every layer escapes it.
const QString TYPED = QStringLiteral("  C++ 100% %2B a&b=c;d <x> \"q\" 'a' &amp; Жёлтые   трубы  ");

// The tags of an element's children, separated by blanks.
QString childTags(const QDomElement &parent)
{
    QStringList tags;
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        tags.append(child.tagName());
    return tags.join(QLatin1Char(' '));
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        bed.setUp();
        bed.createEngine();
        knownOrderId = bed.service()->data().orders().first().id;
    }

    void cleanupTestCase() { bed.tearDown(); }

    void init()
    {
        bed.service()->clearFaults();
        if (!bed.service()->sessions().contains(session))
            session = bed.service()->openSession(QStringLiteral("demo"));
        bed.service()->clearRequestLog();
        bed.engine->setSessionCookie(session);
    }

    // Fields are names and texts, alternating; "<id>" stands for the order id the request was built with.
    void requestOnTheWire_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("children");
        QTest::addColumn<QStringList>("fields");
        const QStringList login {"Version", "1.2.1.0", "Login", "demo", "Password", LocalServiceUser::digest("demo")};
        const auto row
            = [](int kind, const char *method, const char *path, const char *children, const QStringList &fields) {
                  QTest::addRow("%d %s", kind, path) << kind << QByteArray(method) << path << children << fields;
              };
        row(1, "POST", "/api/login", "Version Login Password", login);
        row(2, "GET", "/api/orders/new", "", {});
        row(3, "GET", "/api/orders/favorites", "", {});
        row(5, "POST", "/api/orders/favorites/create", "ID", {"ID", "<id>"});
        row(6, "POST", "/api/orders/favorites/delete", "ID", {"ID", "<id>"});
        row(7, "POST", "/api/orders/search", "SearchArea SearchText WithMorphology AllWordsRequired",
            {"SearchText", TYPED, "WithMorphology", "TRUE", "AllWordsRequired", "FALSE"});
        row(8, "POST", "/api/orders/search", "Page Rows SearchArea WithMorphology AllWordsRequired",
            {"Page", "1", "Rows", "50"});
        row(10, "POST", "/api/orders/new", "Version Page Rows", {"Page", "2", "Rows", "20"});
        row(12, "GET", "/api/orders/subscriptions", "", {});
        row(16, "POST", "/api/register/get/geoplaces", "", {});
        row(17, "POST", "/api/register/get/economicsectors", "", {});
        row(18, "POST", "/api/login", "Version Login Password", login);
        row(19, "GET", "/api/orders/read", "ID", {"ID", "<id>"});
        // GET carries the same document in its query.
        row(-19, "GET", "/api/orders/read", "ID", {"ID", TYPED});
    }

    void requestOnTheWire()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QString, children);
        QFETCH(QStringList, fields);
        NetworkRequestContext *context = build(kind);
        QVERIFY(SyncFixture::finish(context));
        const LocalServiceRequest sent = bed.service()->lastRequest(path);
        QCOMPARE(sent.method, method);
        QCOMPARE(sent.requestElement().tagName(), QStringLiteral("Request"));
        QCOMPARE(childTags(sent.requestElement()), children);
        for (int i = 0; i + 1 < fields.size(); i += 2)
            QCOMPARE(sent.field(fields[i]), fields[i + 1].replace("<id>", QString::number(knownOrderId)));
        QVERIFY((method == "GET" ? sent.query : sent.body).startsWith("xml="));
        QCOMPARE(sent.header("Content-Type"), QByteArray(method == "GET" ? "" : "application/x-www-form-urlencoded"));
        QCOMPARE(sent.header(HEADER_SESSION), kind == NetworkRequestKind::Login ? QByteArray() : session);
        if (NetworkRequestContext::isLoginKind(kind)) {
            QVERIFY(sent.cookie("PHPSESSID").isEmpty());
            // Each login hands out a new session, which the rest of this test case goes on using.
            session = context->result.value(KEY_SESSION).toByteArray();
            QVERIFY(bed.service()->sessions().contains(session));
        }
        delete context;
    }

    // A login goes without the session cookies the jar still holds for the service, and keeps none.
    void loginDropsStaleSessionCookies()
    {
        TavrelNetworkCookieJar *jar
            = qobject_cast<TavrelNetworkCookieJar *>(CoreHost::instance()->networkAccessManager->cookieJar());
        QVERIFY(jar);
        const auto cookie = [this](const QByteArray &name, const QByteArray &value) {
            QNetworkCookie made(name, value);
            made.setDomain(QUrl(bed.server.url()).host());
            made.setPath(QStringLiteral("/"));
            return made;
        };
        jar->setAllCookies(jar->allCookies() << cookie("PHPSESSID", "old") << cookie("lang", "ru"));
        NetworkRequestContext *context = build(NetworkRequestKind::Login);
        // The jar is cleaned when the login is built and again when it is sent.
        jar->setAllCookies(jar->allCookies() << cookie("PHPSESSID", "old"));
        QVERIFY(SyncFixture::finish(context));
        const LocalServiceRequest sent = bed.service()->lastRequest(URL_LOGIN);
        QVERIFY(sent.cookie("PHPSESSID").isEmpty());
        QCOMPARE(sent.cookie("lang"), QByteArray("ru"));
        // The service set a new PHPSESSID with its reply; the login reply handling drops that one too.
        QByteArray names;
        for (const QNetworkCookie &kept : jar->allCookies())
            names += kept.name() + ' ';
        QVERIFY(!names.contains("PHPSESSID") && names.contains("lang "));
        // What else the reply set is kept, and goes with the next request.
        const std::unique_ptr<NetworkRequestContext> next(build(NetworkRequestKind::Subscriptions));
        QVERIFY(SyncFixture::finish(next.get()));
        QCOMPARE(bed.service()->lastRequest(URL_SUBSCRIPTIONS).cookie("tavrel_region"), QByteArray("77"));
        session = context->result.value(KEY_SESSION).toByteArray();
        delete context;
    }

    void sessionIsReadWhenSent()
    {
        NetworkRequestContext *context = build(NetworkRequestKind::Favourites);
        bed.engine->setSessionCookie("changed-before-start");
        QVERIFY(SyncFixture::finish(context));
        QCOMPARE(bed.service()->lastRequest().header(HEADER_SESSION), QByteArray("changed-before-start"));
        QCOMPARE(context->result.value(KEY_RESULT).toString(), E_INVALID_USERNAME_OR_PASSWORD);
        delete context;
    }

    void transportErrorFillsDetails_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QString>("status");
        QTest::newRow("connection dropped") << true << QStringLiteral("0");
        QTest::newRow("server error page") << false << QStringLiteral("500");
    }

    void transportErrorFillsDetails()
    {
        QFETCH(bool, dropped);
        QFETCH(QString, status);
        NetworkRequestContext *context = build(NetworkRequestKind::NewOrders);
        // Unlimited: the access manager itself retries a request whose connection was dropped.
        bed.service()->addFault(dropped ? LocalServiceFault::closeConnection() : LocalServiceFault::httpStatus(500));
        QVERIFY(SyncFixture::finish(context));
        QVERIFY(context->networkError != QNetworkReply::NoError);
        QCOMPARE(context->errorDetails.value(KEY_HTTP_STATUS_CODE), status);
        QCOMPARE(context->errorDetails.value(KEY_REPLY_ERROR_STRING), context->errorString);
        QVERIFY(!context->errorString.isEmpty());
        QCOMPARE(context->result.value(KEY_HTTP_STATUS_CODE).toString(), status);
        QCOMPARE(context->result.value(KEY_RESULT).toString(), E_SERVER);
        delete context;
    }

    void resendDisposesOfFirstReply()
    {
        NetworkRequestContext *context = build(NetworkRequestKind::Subscriptions);
        QVERIFY(SyncFixture::finish(context));
        QPointer<QNetworkReply> first = context->reply;
        context->result.insert(QStringLiteral("stale"), 1);
        bed.service()->addFault(LocalServiceFault::resultCode(E_CLIENT).once());
        QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
        QVERIFY(context->start());
        QVERIFY(!context->result.contains(QStringLiteral("stale")));
        QVERIFY(spy.wait(5000));
        SyncFixture::flushDeletions();
        QVERIFY(first.isNull());
        QCOMPARE(bed.service()->requests(QStringLiteral("/api/orders/subscriptions")).size(), 2);
        QVERIFY(!context->result.contains(KEY_FILTERS));
        delete context;
    }

    // Qt may still start an aborted post and read its body: the body lives as long as the reply.
    void postOutlivesItsContext()
    {
        NetworkRequestContext *context = build(NetworkRequestKind::Search);
        QPointer<QNetworkReply> reply = context->start();
        QVERIFY(reply);
        delete context;
        QTRY_VERIFY_WITH_TIMEOUT(!reply, 5000);
    }

    // A filter on its ways to the service: saved by its state, sent with the whole list, searched for.
    // Times go as the service's clock reads them (four hours later, past midnight), except in the list.
    void filterOnTheWire_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("fields");
        const QString ID = QStringLiteral("<id>");
        QTest::newRow("new") << 0 << int(Entity::FilterList::New) << "/api/orders/subscriptions/create"
                             << QStringList {"Name",       "Трубы",     "OpeningTimeFrom",
                                             "04.05.2014", "WordSerch", "C++ & 100%"};
        QTest::newRow("edited") << 0 << int(Entity::FilterList::Edited) << "/api/orders/subscriptions/update"
                                << QStringList {"ID", ID, "OpeningTimeFrom", "04.05.2014"};
        QTest::newRow("deleted") << 0 << int(Entity::FilterList::Deleted) << "/api/orders/subscriptions/delete"
                                 << QStringList {"ID", ID};
        QTest::newRow("list") << 1 << int(Entity::FilterList::Sync) << "/api/orders/subscriptions/synchronize"
                              << QStringList {"DateTime", "2014-05-04T01:00:00", "OpeningTimeFrom", "03.05.2014"};
        QTest::newRow("search") << 2 << int(Entity::FilterList::Sync) << "/api/orders/search"
                                << QStringList {"Rows",       "25",         "OpeningTimeFrom",
                                                "04.05.2014", "SearchText", "C++ & 100%"};
    }

    void filterOnTheWire()
    {
        QFETCH(int, way);
        QFETCH(int, state);
        QFETCH(QString, path);
        QFETCH(QStringList, fields);
        LocalServiceSubscription existing;
        existing.setField(QStringLiteral("Name"), QStringLiteral("old"));
        Entity::Filter filter;
        filter.id = bed.service()->addSubscription(QStringLiteral("demo"), existing);
        filter.localId = 12;
        filter.name = QStringLiteral("Трубы");
        filter.wordSerch = QStringLiteral("C++ & 100%");
        filter.state = Entity::FilterList::State(state);
        filter.openingTimeFrom = filter.filterChangeDate = QDateTime(QDate(2014, 5, 3), QTime(21, 0));
        filter.regions = {77, 50};
        Entity::FilterList list(QList<Entity::Filter *> {&filter});
        NetworkRequestContext *context = way == 0 ? bed.constructor()->saveSubscriptionRequest(&filter)
            : way == 1                            ? bed.constructor()->synchronizeSubscriptionsRequest(list)
                                                  : bed.constructor()->searchAllPagesRequest(&filter, 25);
        if (way == 2) {
            // The paged search reports its first page, not an end of its own.
            QSignalSpy reports(context, &NetworkRequestContext::replyFinished);
            context->start();
            QVERIFY(reports.wait(10000));
        } else {
            QVERIFY(SyncFixture::finish(context));
        }
        QDomElement sent = bed.service()->lastRequest(path).requestElement();
        if (way == 1) {
            sent = sent.firstChildElement(QStringLiteral("Subscriptions"))
                       .firstChildElement(QStringLiteral("Subscription"));
        }
        for (int i = 0; i + 1 < fields.size(); i += 2) {
            const QString expected
                = fields.at(i + 1) == QLatin1String("<id>") ? QString::number(filter.id) : fields.at(i + 1);
            QCOMPARE(sent.firstChildElement(fields.at(i)).text(), expected);
        }
        QCOMPARE(context->result.value(KEY_RESULT).toString(), S_OK);
        delete context;
    }

    void favouritesSynchronizeSkipsDeleted()
    {
        Entity::FavouriteItem kept;
        kept.id = knownOrderId;
        kept.state = Entity::FavouriteItemList::Sync;
        Entity::FavouriteItem gone;
        gone.id = knownOrderId + 1;
        gone.state = Entity::FavouriteItemList::Deleted;
        NetworkRequestContext *context = bed.constructor()->synchronizeFavouritesRequest({&kept, &gone});
        QVERIFY(SyncFixture::finish(context));
        const QDomElement orders = bed.service()
                                       ->lastRequest(QStringLiteral("/api/orders/favorites/synchronize"))
                                       .requestElement()
                                       .firstChildElement(QStringLiteral("Orders"));
        QCOMPARE(childTags(orders), QStringLiteral("ID DateTime"));
        QCOMPARE(orders.firstChildElement(QStringLiteral("ID")).text(), QString::number(knownOrderId));
        delete context;
    }

private:
    NetworkRequestContext *build(int kind);

    SyncFixture bed;
    QByteArray session;
    qint64 knownOrderId = 0;
};

NetworkRequestContext *TestRequests::build(int kind)
{
    NetworkRequestConstructor *c = bed.constructor();
    switch (kind) {
    case NetworkRequestKind::Login:
        return c->loginRequest(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), true);
    case NetworkRequestKind::FavouriteCreate:
        return c->createFavouriteRequest(knownOrderId);
    case NetworkRequestKind::FavouriteDelete:
        return c->deleteFavouriteRequest(knownOrderId);
    case NetworkRequestKind::Search:
        return c->searchRequest(QStringLiteral("CURRENT_ORDERS"), TYPED, true, false);
    case NetworkRequestKind::SearchPage:
        return c->searchPageRequest(QStringLiteral("CURRENT_ORDERS"), QString(), false, false, 0, 50);
    case NetworkRequestKind::NewOrdersPage:
        return c->newOrdersPageRequest(1, 20);
    case NetworkRequestKind::LoginWrapper:
        return c->loginWrapperRequest(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")),
                                      nullptr);
    case NetworkRequestKind::ReadOrder:
        return c->readOrderRequest(knownOrderId);
    case -NetworkRequestKind::ReadOrder: {
        QVariantMap parameters {{KEY_ORDER_ID, TYPED}};
        return c->createRequest(NetworkRequestKind::ReadOrder, &parameters);
    }
    default:
        return c->createRequest(kind);
    }
}

TAVREL_CORE_TEST_MAIN(TestRequests)
#include "tst_requests.moc"
