// The reply parser on replies the stand-in service does not produce by itself: unusual shapes,
// several results, version statuses beside refusals, amounts with units, line breaks in document
// names. Each row is one body of one request kind and the result map entries it must give.

#include "constants.h"
#include "coretestapplication.h"
#include "headlessapplication.h"
#include "networkreplyparser.h"
#include "networkrequestcontext.h"
#include "pagerequestcontext.h"

namespace {

// Marks a key that must not be in the result map.
const QVariant ABSENT = QStringLiteral("<absent>");
// Not a key of the map: whether the version check has heard that this version is unsupported.
const QString UNSUPPORTED = QStringLiteral("<unsupported>");

QByteArray response(const QByteArray &inner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Response>" + inner + "</Response>";
}

QByteArray order(const QByteArray &amount)
{
    return "<Order><ID>1</ID>" + (amount.isNull() ? QByteArray() : "<Amount>" + amount + "</Amount>") + "</Order>";
}

QByteArray user(const QByteArray &children)
{
    return response("<Result>S_OK</Result><User>" + children + "</User>");
}

} // namespace

class TestReplyParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void orderListMaps();
    void singleOrderMap();
    void subscriptionMaps();
    void totalCount_data();
    void totalCount();

private:
    QVariantMap parsed(int kind, const QByteArray &body, int status = 200);
};

QVariantMap TestReplyParser::parsed(int kind, const QByteArray &body, int status)
{
    NetworkRequestContext context;
    context.kind = kind;
    context.httpStatus = status;
    context.result.insert(KEY_BYTE_ARRAY, body);
    NetworkReplyParser::parse(&context);
    return context.result;
}

void TestReplyParser::parse_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QVariantMap>("expected");

    const QByteArray oldVersion = "<Update><Status>S_VERSION_OLD</Status><Url>http://127.0.0.1:1/new</Url></Update>";
    const QByteArray refused = "<Result>E_INVALID_USERNAME_OR_PASSWORD</Result>";

    // Order lists.
    QTest::newRow("orders without order") << 2 << 200 << response("<Orders><Count>0</Count></Orders>")
                                          << QVariantMap {{KEY_RESULT, S_OK}, {KEY_ORDERS, QVariantList()}};
    QTest::newRow("no orders, client error")
        << 2 << 200 << response("<Result>E_CLIENT</Result>")
        << QVariantMap {{KEY_RESULT, E_CLIENT}, {KEY_UPDATE_URL, baseUrl()}, {KEY_ORDERS, ABSENT}};
    QTest::newRow("no orders, outdated version")
        << 10 << 200 << response("<Result>E_CLIENT</Result>" + oldVersion)
        << QVariantMap {{KEY_RESULT, S_VERSION_OLD}, {KEY_UPDATE_URL, QStringLiteral("http://127.0.0.1:1/new")}};
    QTest::newRow("nested update ignored")
        << 7 << 200 << response("<Result>E_CLIENT</Result><Other>" + oldVersion + "</Other>")
        << QVariantMap {{KEY_RESULT, E_CLIENT}, {KEY_UPDATE_URL, baseUrl()}};
    QTest::newRow("nothing readable") << 8 << 200 << QByteArray("garbage") << QVariantMap {{KEY_RESULT, E_SERVER}};
    QTest::newRow("orders with an error result")
        << 2 << 200 << response("<Result>E_CLIENT</Result><Orders/>") << QVariantMap {{KEY_RESULT, S_OK}};
    QTest::newRow("two results") << 2 << 200 << response("<Result>E_CLIENT</Result><Result>E_SERVER</Result>")
                                 << QVariantMap {{KEY_RESULT, E_SERVER}};
    QTest::newRow("result without a response element")
        << 2 << 200 << QByteArray("<Envelope><Result>E_CLIENT</Result></Envelope>")
        << QVariantMap {{KEY_RESULT, E_SERVER}};

    // A body cut short or garbled, or sent with an error status, is no answer whatever it holds; only
    // an error code in a readable body survives.
    const QByteArray cutShort = "<Response><Result>S_OK</Result><Orders><Count>2</Count>" + order("1") + "<Order>";
    QTest::newRow("order list cut short")
        << 10 << 200 << cutShort << QVariantMap {{KEY_RESULT, E_SERVER}, {KEY_ORDERS, ABSENT}};
    QTest::newRow("whole order list with 500") << 2 << 500 << response("<Orders>" + order("1") + "</Orders>")
                                               << QVariantMap {{KEY_RESULT, E_SERVER}, {KEY_ORDERS, ABSENT}};
    QTest::newRow("outdated version with 500")
        << 1 << 500 << response("<Result>S_VERSION_OLD</Result>") << QVariantMap {{KEY_RESULT, E_SERVER}};
    // Under an HTTP error a login reply is read for its version status, and for nothing else.
    QTest::newRow("unsupported version with 426")
        << 1 << 426
        << response("<Result>E_CLIENT</Result><FullAccess>true</FullAccess>"
                    "<Update><Status>E_VERSION_BAD</Status></Update>")
        << QVariantMap {{KEY_RESULT, E_CLIENT}, {KEY_FULL_ACCESS, ABSENT}, {UNSUPPORTED, true}};
    QTest::newRow("refusal with 403") << 19 << 403 << response(refused)
                                      << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD}};
    QTest::newRow("add favourite, 404 without body")
        << 5 << 404 << QByteArray() << QVariantMap {{KEY_RESULT, E_SERVER}};

    // Favourites.
    QTest::newRow("favourites refused") << 3 << 200 << response(refused + "<Orders>" + order("1") + "</Orders>")
                                        << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD},
                                                        {KEY_FAVOURITES, ABSENT}};
    QTest::newRow("favourites without result") << 4 << 200 << response("<Orders>" + order("1") + "</Orders>")
                                               << QVariantMap {{KEY_RESULT, ABSENT}, {KEY_FAVOURITES, ABSENT}};

    // Favourite changes.
    QTest::newRow("add favourite, 200 without body") << 5 << 200 << QByteArray() << QVariantMap {{KEY_RESULT, S_OK}};
    QTest::newRow("add favourite, 500 saying S_OK")
        << 5 << 500 << response("<Result>S_OK</Result>") << QVariantMap {{KEY_RESULT, E_SERVER}};
    QTest::newRow("remove favourite, 200 refused")
        << 6 << 200 << response(refused) << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD}};

    // Logins: the display name in all its forms.
    QTest::newRow("name, all three") << 1 << 200
                                     << user(
                                            "<ID>42</ID><FullName>Chief buyer</FullName><EconomicSubjectShortName>City "
                                            "Hospital</EconomicSubjectShortName>")
                                     << QVariantMap {{KEY_NAME, QStringLiteral("City Hospital > Chief buyer (ID: 42)")},
                                                     {KEY_RESULT, S_OK}};
    QTest::newRow("name, id only") << 18 << 200 << user("<ID>42</ID>")
                                   << QVariantMap {{KEY_NAME, QStringLiteral("ID: 42")}};
    QTest::newRow("name, full name and id, any case")
        << 1 << 200 << user("<id>42</id><fullname>Chief buyer</fullname>")
        << QVariantMap {{KEY_NAME, QStringLiteral("Chief buyer (ID: 42)")}};
    QTest::newRow("name, none") << 1 << 200 << user("") << QVariantMap {{KEY_NAME, ABSENT}};
    QTest::newRow("full access") << 1 << 200 << response("<Result>S_OK</Result><FullAccess>false</FullAccess>")
                                 << QVariantMap {{KEY_FULL_ACCESS, QStringLiteral("false")},
                                                 {KEY_SESSION, QByteArray("")}};
    // A version status never turns a refusal into a success; an unsupported version outranks it.
    QTest::newRow("refused, outdated version")
        << 1 << 200 << response(refused + oldVersion) << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD}};
    QTest::newRow("refused, good version")
        << 1 << 200 << response(refused + "<Update><Status>S_VERSION_GOOD</Status></Update>")
        << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD}};
    QTest::newRow("accepted, outdated version")
        << 18 << 200 << response("<Result>S_OK</Result>" + oldVersion) << QVariantMap {{KEY_RESULT, S_VERSION_OLD}};
    QTest::newRow("login without result") << 1 << 200 << response("<User/>") << QVariantMap {{KEY_RESULT, ABSENT}};

    // Saved and deleted subscriptions.
    QTest::newRow("created, id only") << 14 << 200 << response("<ID>123</ID>")
                                      << QVariantMap {{KEY_RESULT, S_OK}, {KEY_ID, QStringLiteral("123")}};
    QTest::newRow("created, two ids") << 14 << 200 << response("<ID>1</ID><X><ID>2</ID></X>")
                                      << QVariantMap {{KEY_RESULT, ABSENT}, {KEY_ID, ABSENT}};
    QTest::newRow("updated, refused") << 14 << 200 << response("<Result>E_INVALID_ID</Result>")
                                      << QVariantMap {{KEY_RESULT, E_INVALID_ID}, {KEY_ID, ABSENT}};

    // Dictionaries.
    QTest::newRow("regions, no list") << 16 << 200 << response("<Result>S_OK</Result>")
                                      << QVariantMap {{KEY_RESULT, E_SERVER}, {KEY_REGIONS, ABSENT}};
    QTest::newRow("regions, two lists") << 16 << 200 << response("<Result>S_OK</Result><GeoPlaces/><GeoPlaces/>")
                                        << QVariantMap {{KEY_RESULT, E_SERVER}, {KEY_REGIONS, ABSENT}};
    QTest::newRow("sectors, refused") << 17 << 200 << response(refused + "<EconomicSectors/>")
                                      << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD},
                                                      {KEY_BRANCHES, ABSENT}};
    QTest::newRow("sectors, empty list") << 17 << 200 << response("<Result>S_OK</Result><EconomicSectors/>")
                                         << QVariantMap {{KEY_RESULT, S_OK}, {KEY_BRANCHES, QVariantList()}};
    QTest::newRow("subscriptions, none") << 12 << 200 << response("<Result>S_OK</Result>")
                                         << QVariantMap {{KEY_RESULT, ABSENT}, {KEY_FILTERS, ABSENT}};
    QTest::newRow("read order, refused") << 19 << 200 << response(refused)
                                         << QVariantMap {{KEY_RESULT, E_INVALID_USERNAME_OR_PASSWORD},
                                                         {KEY_ORDERS, ABSENT}};

    // Kinds without a reply of their own leave the map as it was.
    for (int kind : {0, 9, 11, 20}) {
        QTest::addRow("kind %d untouched", kind)
            << kind << 200 << response("<Result>S_OK</Result><Orders/>") << QVariantMap {{KEY_RESULT, ABSENT}};
    }
}

void TestReplyParser::parse()
{
    QFETCH(int, kind);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QVariantMap, expected);
    auto *application = static_cast<HeadlessApplication *>(CoreHost::instance());
    application->resetVersionCheckForTesting();
    const QVariantMap result = parsed(kind, body, status);
    QCOMPARE(application->isVersionUnsupported(), expected.take(UNSUPPORTED).toBool());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        if (it.value() == ABSENT) {
            QVERIFY2(!result.contains(it.key()), qPrintable(it.key()));
        } else {
            QVERIFY2(result.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(result.value(it.key()), it.value());
        }
    }
}

void TestReplyParser::orderListMaps()
{
    const QByteArray body = "  \r\n"
        + response("<Orders>" + order("1500") + order("1500.5") + order("1500.50") + order("3.14159") + order("20 RUB")
                   + order("12,5") + order(QByteArray())
                   + "<Order><Name>A&Dorvalt B</Name><NAME>upper</NAME></Order></Orders>")
        + "\n";
    const QVariantList orders = parsed(NetworkRequestKind::NewOrders, body).value(KEY_ORDERS).toList();
    QCOMPARE(orders.size(), 8);
    QStringList amounts;
    for (int i = 0; i < 7; ++i)
        amounts.append(orders.at(i).toMap().value(KEY_AMOUNT).toString());
    // Only plain numbers get two decimals; an amount with its unit stays as the service wrote it.
    QCOMPARE(amounts,
             (QStringList {QStringLiteral("1500.00"), QStringLiteral("1500.50"), QStringLiteral("1500.50"),
                           QStringLiteral("3.14159"), QStringLiteral("20 RUB"), QStringLiteral("12,5"), QString()}));
    QVERIFY(orders.at(6).toMap().contains(KEY_AMOUNT));
    const QVariantMap last = orders.at(7).toMap();
    // The marker is removed, and a later child of the same lower-cased name wins.
    QCOMPARE(last.value(KEY_NAME).toString(), QStringLiteral("upper"));

    const QByteArray favourites
        = response("<Result>S_OK</Result><Orders><Order><DateTime>2014-05-21T10:30:00</DateTime>"
                   "<ChangeDate>01.01.2014 00:00:00</ChangeDate><ID>5</ID></Order>"
                   "<Order><DateTime>21.05.2014 10:30:00</DateTime><ID>6</ID></Order></Orders>");
    const QVariantList list = parsed(NetworkRequestKind::Favourites, favourites).value(KEY_FAVOURITES).toList();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).toMap().value(KEY_CHANGE_DATE).toDateTime(), QDateTime(QDate(2014, 5, 21), QTime(10, 30)));
    QCOMPARE(list.at(0).toMap().value(QStringLiteral("datetime")).toString(), QStringLiteral("2014-05-21T10:30:00"));
    QVERIFY(!list.at(1).toMap().value(KEY_CHANGE_DATE).toDateTime().isValid());
    QCOMPARE(list.at(1).toMap().value(QStringLiteral("datetime")).toString(), QStringLiteral("21.05.2014 10:30:00"));
}

void TestReplyParser::singleOrderMap()
{
    const QByteArray body
        = response("<Result>S_OK</Result><Order><ID>9</ID><price>1500</price><OpenDateTime>o</OpenDateTime>"
                   "<CLOSEDATETIME>c</CLOSEDATETIME><EconomicSectorName>b</EconomicSectorName><OrderPlacingWayName>m</"
                   "OrderPlacingWayName>"
                   "<Information>line 1\nline 2</Information>"
                   "<Docs><Doc><Name>A&#13;&#10;x</Name><URL>u1</URL></Doc><Doc><Name>B</Name><URL>u2</URL></"
                   "Doc><Doc><URL>u3</URL></Doc></Docs>"
                   "<Subject><FullName>F</FullName><ShortName>S</ShortName><LegalFormName>L</LegalFormName>"
                   "<Contacts><Contact><Name>Phone</Name><Value>1</Value></Contact><Contact><Name>Mail</"
                   "Name><Value>m@x</Value></Contact></Contacts>"
                   "</Subject></Order><Order><ID>10</ID></Order>");
    const QVariantMap result = parsed(NetworkRequestKind::ReadOrder, body);
    QCOMPARE(result.value(KEY_RESULT).toString(), S_OK);
    const QVariantMap map = result.value(KEY_ORDERS).toMap();
    QStringList values;
    for (const QString &key : {KEY_ID, KEY_AMOUNT, KEY_OPENING_TIME, KEY_CLOSING_TIME, KEY_BRANCH, KEY_PLACEMENT_METHOD,
                               KEY_INFORMATION, KEY_DOC_NAMES, KEY_DOC_URLS, KEY_SUBJECT_FULL_NAME,
                               KEY_SUBJECT_SHORT_NAME, KEY_LEGAL_FORM_NAME, KEY_CONTACT_NAMES, KEY_CONTACT_VALUES})
        values << map.value(key).toString();
    QCOMPARE(values,
             QStringList({"9", "1500", "o", "c", "b", "m", "line 1\nline 2", "A<br /><br />x\nB", "u1\nu2\nu3", "F",
                          "S", "L", "Phone\nMail", "1\nm@x"}));
}

void TestReplyParser::subscriptionMaps()
{
    const QByteArray body = response(
        "<Subscriptions>"
        "<Subscription><ID>1</ID><DateTime>03.05.2014 22:30:00</DateTime><WordsException><Word>a</Word><Word>b c</Word>"
        "</WordsException><PlacementMethod><OpenCompetition>true</OpenCompetition><EasyPurchase>false</EasyPurchase>"
        "</PlacementMethod><Branches><ID>3</ID></Branches><Regions><ID>77</ID><ID>50</ID></Regions></Subscription>"
        "<Subscription><ID>2</ID><WordsException>one\r\ntwo\n</WordsException></Subscription>"
        "<Subscription><ID>3</ID><WordsException/></Subscription>"
        "<Subscription><ID>4</ID><WordsExceptions> alpha  beta gamma </WordsExceptions></Subscription>"
        "</Subscriptions>");
    const QVariantMap result = parsed(NetworkRequestKind::Subscriptions, body);
    QCOMPARE(result.value(KEY_RESULT).toString(), S_OK);
    const QVariantList filters = result.value(KEY_FILTERS).toList();
    QCOMPARE(filters.size(), 4);
    const QVariantMap first = filters.at(0).toMap();
    QCOMPARE(first.value(QStringLiteral("wordsexception")).toList(),
             (QVariantList {QStringLiteral("a"), QStringLiteral("b c")}));
    QCOMPARE(first.value(KEY_WORDS_EXCEPTIONS).toList(), (QVariantList {QStringLiteral("a"), QStringLiteral("b c")}));
    QCOMPARE(first.value(KEY_OPEN_COMPETITION).toString(), QStringLiteral("true"));
    QCOMPARE(first.value(KEY_EASY_PURCHASE).toString(), QStringLiteral("false"));
    QCOMPARE(first.value(KEY_FILTER_BRANCHES).toList(), QVariantList {QStringLiteral("3")});
    QCOMPARE(first.value(KEY_FILTER_REGIONS).toList(), (QVariantList {QStringLiteral("77"), QStringLiteral("50")}));
    QCOMPARE(first.value(KEY_FILTER_CHANGE_DATE).toString(), QStringLiteral("03.05.2014 22:30:00"));
    QCOMPARE(filters.at(1).toMap().value(KEY_WORDS_EXCEPTIONS).toList(),
             (QVariantList {QStringLiteral("one"), QStringLiteral("two")}));
    QVERIFY(filters.at(2).toMap().contains(KEY_WORDS_EXCEPTIONS));
    QCOMPARE(filters.at(2).toMap().value(KEY_WORDS_EXCEPTIONS).toList(), QVariantList());
    // The form the client itself sends reaches the filter record as a list too.
    QCOMPARE(filters.at(3).toMap().value(KEY_WORDS_EXCEPTIONS).toList(),
             (QVariantList {QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
}

void TestReplyParser::totalCount_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("count");
    QTest::newRow("count first") << response("<Orders><Count>95</Count>" + order("1") + "</Orders>") << true << 95;
    QTest::newRow("count after orders") << response("<Orders>" + order("1") + "<Count>7</Count></Orders>") << true << 7;
    QTest::newRow("marker before count") << QByteArray(
        "  <Response>&Dorvalt<Orders><Count>12</Count></Orders></Response>")
                                         << true << 12;
    QTest::newRow("not a number") << response("<Orders><Count>many</Count></Orders>") << true << 0;
    QTest::newRow("count nested deeper") << response("<X><Orders><Count>3</Count></Orders></X>") << false << 0;
    QTest::newRow("no count") << response("<Orders/>") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
}

void TestReplyParser::totalCount()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, found);
    QFETCH(int, count);
    int read = 0;
    QCOMPARE(PageRequestContext::readTotalCount(body, &read), found);
    QCOMPARE(read, count);
}

TAVREL_CORE_TEST_MAIN(TestReplyParser)
#include "tst_replyparser.moc"
