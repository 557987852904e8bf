#include "branch.h"
#include "branchlist.h"
#include "clock.h"
#include "constants.h"
#include "favouriteitem.h"
#include "favouriteitemlist.h"
#include "filter.h"
#include "filterlink.h"
#include "filterlinklist.h"
#include "filterlist.h"
#include "order.h"
#include "orderlist.h"
#include "region.h"
#include "regionlist.h"
#include "testapplication.h"
#include "valuehelpers.h"

using namespace Entity;

namespace {
const QString NO_DATA = QStringLiteral("Нет данных");
const QDateTime FIXED_NOW(QDate(2024, 3, 5), QTime(12, 30), Qt::UTC);

QVariantMap mapOf(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    QVariantMap map;
    for (const auto &entry : entries)
        map.insert(entry.first, entry.second);
    return map;
}

// Owns the dictionary records a test hands to the process-wide maps, and empties the maps again
// before freeing them, as the database's query object does.
struct Dictionaries
{
    RegionList regions;
    BranchList branches;

    Region *addRegion(qint64 id, const QString &name, qint64 parentId = -1)
    {
        auto *region = new Region;
        region->id = id;
        region->parentId = parentId;
        region->name = name;
        regions.items.append(region);
        return region;
    }
    Branch *addBranch(qint64 id, const QString &name, qint64 parentId = -1)
    {
        auto *branch = new Branch;
        branch->id = id;
        branch->parentId = parentId;
        branch->name = name;
        branches.items.append(branch);
        return branch;
    }
    void publish()
    {
        FilterLinkList::regionMap(&regions);
        FilterLinkList::branchMap(&branches);
    }
    ~Dictionaries()
    {
        regions.clear();
        branches.clear();
        publish();
    }
};

template<class Record> Record *newRecord()
{
    return new Record;
}
template<> FilterLink *newRecord<FilterLink>()
{
    return new FilterLink(FilterLinkList::Region);
}

template<class List> QVariantList variantsOf(const List &list)
{
    return list.toVariantList();
}
template<> QVariantList variantsOf<FavouriteItemList>(const FavouriteItemList &list)
{
    return list.toVariantList(true);
}

template<class List> List *listFromVariants(const QVariantList &variants)
{
    return new List(variants);
}
template<> FavouriteItemList *listFromVariants<FavouriteItemList>(const QVariantList &variants)
{
    return new FavouriteItemList(variants, true);
}

// The ownership rule, the same for every list: copies share records, only clearing frees them.
// Run under AddressSanitizer, a record freed too early or twice, or never, fails the test.
template<class List, class Record> void checkOwnership()
{
    Record *first = newRecord<Record>();
    Record *second = newRecord<Record>();

    auto *original = new List;
    original->items << first << second;
    {
        List copy(*original);
        QCOMPARE(copy.parent(), static_cast<QObject *>(nullptr));
        QCOMPARE(copy.items, original->items);
        List assigned;
        assigned = copy;
        assigned = assigned;
        QCOMPARE(assigned.items, original->items);
    } // destroying the copies frees no record
    QCOMPARE(variantsOf(*original).size(), 2);

    List survivor(original->items);
    delete original; // nor does destroying the list a copy was made from
    QCOMPARE(variantsOf(survivor).size(), 2);

    // A round trip builds new records and leaves the first ones alone.
    List *rebuilt = listFromVariants<List>(variantsOf(survivor));
    QCOMPARE(rebuilt->items.size(), 2);
    QVERIFY(rebuilt->items.at(0) != first);
    QCOMPARE(variantsOf(*rebuilt), variantsOf(survivor));
    rebuilt->clear();
    QVERIFY(rebuilt->items.isEmpty());
    delete rebuilt;

    // Clearing a shared list empties only that list's pointers.
    List sharer(survivor);
    survivor.items.append(nullptr);
    survivor.clear();
    QVERIFY(survivor.items.isEmpty());
    QCOMPARE(sharer.items.size(), 2);
    survivor.clear(); // an empty list: nothing to do

    // Elements that are no map still give one record each.
    List *odd = listFromVariants<List>(QVariantList {QVariant(42), QVariant(QStringLiteral("text")), QVariantMap()});
    QCOMPARE(odd->items.size(), 3);
    odd->clear();
    delete odd;
    List *empty = listFromVariants<List>(QVariantList());
    QVERIFY(empty->items.isEmpty());
    delete empty;
}
} // namespace

class TestEntities : public QObject
{
    Q_OBJECT

private slots:
    // Must run first: it sees the maps as the process starts.
    void dictionaryMapsStartEmpty();

    void init();
    void cleanup();

    void listOwnership();
    void deleteAllSkipsNullsAndEmptiesTheList();
    void listKeepsOrderOfVariants();
    void hasChangesFollowsRecordFlags();

    void freshOrder();
    void orderMapRules_data();
    void orderMapRules();
    void orderOverlayKeepsAbsentFields();
    void orderRoundTrip();
    void orderDatesFollowTheShift();
    void orderType_data();
    void orderType();
    void orderLines_data();
    void orderLines();
    void orderRegionDisplayName();
    void orderParentSector_data();
    void orderParentSector();

    void defaultFilterMap();
    void filterResetSearchCriteria();
    void filterFromEmptyMap();
    void filterRoundTrip();
    void filterWordsExceptionsAsText();
    void filterState_data();
    void filterState();
    void filterSetChanged_data();
    void filterSetChanged();
    void filterWordsExceptions_data();
    void filterWordsExceptions();
    void filterResolvesAgainAfterMapRebuild();
    void filterBranchAtFollowsItsOwnStamp();

    void dictionaryRecordMaps_data();
    void dictionaryRecordMaps();
    void dictionaryRecordRoundTrip();
    void dictionaryRecordSetChanged();
    void dictionaryMapRebuild();

    void linkType_data();
    void linkType();
    void linkMaps_data();
    void linkMaps();
    void linkResolves();
    void linkListFromVariantsTakesTypesFromKeys();

    void favouriteState_data();
    void favouriteState();
    void favouriteFromRow();
    void favouriteOrderHandling();
    void favouriteMapKeys();
    void favouriteListClearFreesOrders();
};

void TestEntities::dictionaryMapsStartEmpty()
{
    QVERIFY(FilterLinkList::regionMap().isEmpty());
    QVERIFY(FilterLinkList::branchMap().isEmpty());
    QCOMPARE(FilterLinkList::regionMapStamp(), 0);
    QCOMPARE(FilterLinkList::branchMapStamp(), 0);
    // A filter resolves nothing against the empty maps, and does not mistake its own stamp 0.
    Filter filter;
    filter.regions << 1;
    QCOMPARE(filter.regionAt(0), static_cast<Region *>(nullptr));
}

void TestEntities::init()
{
    Clock::setFixed(FIXED_NOW);
}

void TestEntities::cleanup()
{
    Clock::reset();
    QCOMPARE(serverTimeShiftDepth(), 0);
}

void TestEntities::listOwnership()
{
    checkOwnership<OrderList, Order>();
    checkOwnership<FilterList, Filter>();
    checkOwnership<FilterLinkList, FilterLink>();
    checkOwnership<FavouriteItemList, FavouriteItem>();
    checkOwnership<RegionList, Region>();
    checkOwnership<BranchList, Branch>();
}

void TestEntities::deleteAllSkipsNullsAndEmptiesTheList()
{
    QList<Order *> orders {nullptr, new Order, nullptr, new Order};
    OrderList::deleteAll(orders);
    QVERIFY(orders.isEmpty());
    OrderList::deleteAll(orders);

    OrderList list;
    list.items << new Order << nullptr;
    OrderList::deleteItems(&list);
    QVERIFY(list.items.isEmpty());
    OrderList::deleteItems(nullptr);

    // A null entry has no map to give; the others still convert.
    RegionList regions;
    regions.items << nullptr << new Region;
    QCOMPARE(regions.toVariantList().size(), 1);
    regions.clear();
}

void TestEntities::listKeepsOrderOfVariants()
{
    const QVariantList variants {mapOf({{KEY_ID, 3}}), mapOf({{KEY_ID, 1}}), mapOf({{KEY_ID, 2}})};
    OrderList orders(variants);
    FilterList filters(variants);
    QCOMPARE(orders.items.size(), 3);
    QCOMPARE(filters.items.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(orders.items.at(i)->id, variants.at(i).toMap().value(KEY_ID).toLongLong());
        QCOMPARE(filters.items.at(i)->id, variants.at(i).toMap().value(KEY_ID).toLongLong());
    }
    orders.clear();
    filters.clear();
}

void TestEntities::hasChangesFollowsRecordFlags()
{
    QVERIFY(!FilterList().hasChanges());
    QVERIFY(!RegionList().hasChanges());

    // Records built from maps keep the flag of construction.
    BranchList received(QVariantList {QVariantMap(), QVariantMap()});
    QVERIFY(received.hasChanges());
    // Records loaded from the database have it cleared.
    for (Branch *branch : qAsConst(received.items))
        branch->clearChanged();
    QVERIFY(!received.hasChanges());
    received.items.last()->setChanged(true);
    QVERIFY(received.hasChanges());
    received.clear();

    FilterList filters(QVariantList {QVariantMap()});
    QVERIFY(filters.hasChanges());
    filters.items.first()->setChanged(false);
    QVERIFY(!filters.hasChanges());
    filters.clear();
}

void TestEntities::freshOrder()
{
    const Order order;
    QCOMPARE(order.type, OrderList::New);
    QCOMPARE(order.id, qint64(-1));
    QVERIFY(order.openingTime.isNull());
    QVERIFY(order.closingTime.isNull());
    QCOMPARE(order.changeDate, FIXED_NOW);
    QCOMPARE(order.changeDate.timeSpec(), Qt::UTC);
    for (const QString &text :
         {order.originalTitle, order.gosId, order.financingSource, order.information, order.applicationGuarantee,
          order.contractGuarantee, order.subjectFullName, order.subjectShortName, order.legalFormName, order.ogrnInnKpp,
          order.orderSourceUri, order.docNames, order.commercial})
        QCOMPARE(text, NO_DATA);
    for (const QString &text :
         {order.branch, order.region, order.placementMethod, order.name, order.amount, order.login, order.currencyName,
          order.docUrls, order.economicSectorParentName, order.geoPlaceName, order.contactNames, order.contactValues})
        QVERIFY(text.isEmpty());
    QVERIFY(!order.fullAccess);
    QVERIFY(order.url.isEmpty());
}

void TestEntities::orderMapRules_data()
{
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("null gosid reads as no data")
        << mapOf({{KEY_GOS_ID, QVariant(QVariant::String)}}) << KEY_GOS_ID << QVariant(NO_DATA);
    QTest::newRow("empty gosid reads as no data")
        << mapOf({{KEY_GOS_ID, QString()}}) << KEY_GOS_ID << QVariant(NO_DATA);
    QTest::newRow("empty source uri stays empty")
        << mapOf({{KEY_ORDER_SOURCE_URI, QString()}}) << KEY_ORDER_SOURCE_URI << QVariant(QString());
    QTest::newRow("absent source uri keeps no data") << QVariantMap() << KEY_ORDER_SOURCE_URI << QVariant(NO_DATA);
    QTest::newRow("id as text") << mapOf({{KEY_ID, QStringLiteral("77")}}) << KEY_ID << QVariant(77);
    QTest::newRow("id not a number") << mapOf({{KEY_ID, QStringLiteral("x")}}) << KEY_ID << QVariant(0);
    QTest::newRow("full access as text") << mapOf({{KEY_FULL_ACCESS, QStringLiteral("TRUE")}}) << KEY_FULL_ACCESS
                                         << QVariant(true);
    QTest::newRow("full access as number") << mapOf({{KEY_FULL_ACCESS, 0}}) << KEY_FULL_ACCESS << QVariant(false);
    QTest::newRow("type in capitals") << mapOf({{KEY_TYPE, QStringLiteral("VIEWED")}}) << KEY_TYPE
                                      << QVariant(QStringLiteral("Viewed"));
    QTest::newRow("unknown type") << mapOf({{KEY_TYPE, QStringLiteral("Favourite")}}) << KEY_TYPE
                                  << QVariant(QStringLiteral("Error"));
    QTest::newRow("url from text") << mapOf({{KEY_URL, QStringLiteral("http://example.org/o/1")}}) << KEY_URL
                                   << QVariant(QUrl(QStringLiteral("http://example.org/o/1")));
    QTest::newRow("service date") << mapOf({{KEY_OPENING_TIME, QStringLiteral("24.09.2015 10:15:00")}})
                                  << KEY_OPENING_TIME
                                  << QVariant(QDateTime(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC));
    QTest::newRow("start price is ignored")
        << mapOf({{QStringLiteral("startprice"), QStringLiteral("5")}}) << KEY_AMOUNT << QVariant(QString());
}

void TestEntities::orderMapRules()
{
    QFETCH(QVariantMap, map);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);

    Order order;
    order.fromVariantMap(map);
    const QVariantMap written = order.toVariantMap();
    QVERIFY(written.contains(key));
    QCOMPARE(written.value(key), expected);
    QVERIFY(!written.contains(QStringLiteral("startprice")));
}

void TestEntities::orderOverlayKeepsAbsentFields()
{
    Order stored;
    stored.fromVariantMap(mapOf({{KEY_ID, 5},
                                 {KEY_BRANCH, QStringLiteral("Строительство")},
                                 {KEY_GOS_ID, QString()},
                                 {KEY_TYPE, QStringLiteral("Viewed")},
                                 {KEY_FULL_ACCESS, true}}));
    stored.gosId.clear(); // a no-data field that somebody emptied
    const QDateTime changeDate = stored.changeDate;

    Clock::advance(60000);
    stored.fromVariantMap(mapOf({{KEY_ID, 6}, {KEY_NAME, QStringLiteral("Поставка")}}));

    QCOMPARE(stored.id, qint64(6));
    QCOMPARE(stored.name, QStringLiteral("Поставка"));
    QCOMPARE(stored.branch, QStringLiteral("Строительство"));
    QCOMPARE(stored.type, OrderList::Viewed);
    QVERIFY(stored.fullAccess);
    QCOMPARE(stored.changeDate, changeDate);
    QCOMPARE(stored.gosId, NO_DATA); // an empty no-data field is refilled even when its key is absent
}

void TestEntities::orderRoundTrip()
{
    const QStringList textKeys {KEY_BRANCH,
                                KEY_REGION,
                                KEY_PLACEMENT_METHOD,
                                KEY_NAME,
                                KEY_AMOUNT,
                                KEY_LOGIN,
                                KEY_ORIGINAL_TITLE,
                                KEY_GOS_ID,
                                KEY_FINANCING_SOURCE,
                                KEY_CURRENCY_NAME,
                                KEY_INFORMATION,
                                KEY_APPLICATION_GUARANTEE,
                                KEY_CONTRACT_GUARANTEE,
                                KEY_SUBJECT_FULL_NAME,
                                KEY_SUBJECT_SHORT_NAME,
                                KEY_LEGAL_FORM_NAME,
                                KEY_OGRN_INN_KPP,
                                KEY_ORDER_SOURCE_URI,
                                KEY_DOC_NAMES,
                                KEY_DOC_URLS,
                                KEY_COMMERCIAL,
                                KEY_ECONOMIC_SECTOR_PARENT_NAME,
                                KEY_GEO_PLACE_NAME,
                                KEY_CONTACT_NAMES,
                                KEY_CONTACT_VALUES};
    QVariantMap source;
    for (const QString &key : textKeys)
        source.insert(key, QStringLiteral("value of ") + key);
    source.insert(KEY_ID, qlonglong(1) << 40);
    source.insert(KEY_TYPE, QStringLiteral("NewViewed"));
    source.insert(KEY_FULL_ACCESS, true);
    source.insert(KEY_URL, QUrl(QStringLiteral("http://example.org/order/9")));
    source.insert(KEY_OPENING_TIME, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5), Qt::UTC));
    source.insert(KEY_CLOSING_TIME, QDateTime(QDate(2023, 2, 3), QTime(4, 5, 6), Qt::UTC));
    source.insert(KEY_CHANGE_DATE, QDateTime(QDate(2023, 3, 4), QTime(5, 6, 7), Qt::UTC));

    Order first;
    first.fromVariantMap(source);
    const QVariantMap written = first.toVariantMap();
    QCOMPARE(written.size(), 32);
    QCOMPARE(written, source);

    Order second;
    second.fromVariantMap(written);
    QCOMPARE(second.toVariantMap(), written);
}

void TestEntities::orderDatesFollowTheShift()
{
    const QDateTime opening(QDate(2023, 1, 2), QTime(10, 0), Qt::UTC);
    Order order;
    order.openingTime = opening;
    order.changeDate = opening;

    beginServerTimeShift();
    const QVariantMap shifted = order.toVariantMap();
    Order received;
    received.fromVariantMap(mapOf({{KEY_OPENING_TIME, QStringLiteral("02.01.2023 10:00:00")}}));
    endServerTimeShift();

    QCOMPARE(shifted.value(KEY_OPENING_TIME).toDateTime(), opening.addSecs(SERVER_TIME_SHIFT_SECONDS));
    QCOMPARE(shifted.value(KEY_CHANGE_DATE).toDateTime(), opening); // the change date is never shifted
    QVERIFY(!shifted.value(KEY_CLOSING_TIME).toDateTime().isValid());
    QCOMPARE(received.openingTime, opening.addSecs(-SERVER_TIME_SHIFT_SECONDS));
}

void TestEntities::orderType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");

    QTest::newRow("All") << QStringLiteral("All") << int(OrderList::All);
    QTest::newRow("new") << QStringLiteral("new") << int(OrderList::New);
    QTest::newRow("Viewed") << QStringLiteral("Viewed") << int(OrderList::Viewed);
    QTest::newRow("SEARCH") << QStringLiteral("SEARCH") << int(OrderList::Search);
    QTest::newRow("NewViewed") << QStringLiteral("NewViewed") << int(OrderList::NewViewed);
    QTest::newRow("NEWVIEWED") << QStringLiteral("NEWVIEWED") << int(OrderList::NewViewed);
    QTest::newRow("nEwViEwEd") << QStringLiteral("nEwViEwEd") << int(OrderList::NewViewed);
    QTest::newRow("Favourite") << QStringLiteral("Favourite") << int(OrderList::Error);
    QTest::newRow("blank before") << QStringLiteral(" New") << int(OrderList::Error);
    QTest::newRow("empty") << QString() << int(OrderList::Error);
}

void TestEntities::orderType()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QCOMPARE(int(OrderList::stringToType(text)), type);
    if (type != OrderList::Error)
        QCOMPARE(OrderList::typeToString(OrderList::Type(type)).toLower(), text.toLower());
    QCOMPARE(OrderList::typeToString(OrderList::Type(7)), QStringLiteral("Error"));
    QCOMPARE(OrderList::typeToString(OrderList::Error), QStringLiteral("Error"));
}

void TestEntities::orderLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringList {"a", "b"};
    QTest::newRow("carriage return and line feed") << QStringLiteral("a\r\nb") << QStringList {"a", "", "b"};
    QTest::newRow("empty") << QString() << QStringList {""};
    QTest::newRow("trailing line feed") << QStringLiteral("a\n") << QStringList {"a", ""};
    QTest::newRow("one line") << QStringLiteral("only") << QStringList {"only"};
}

void TestEntities::orderLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    Order order;
    order.docNames = order.docUrls = order.contactNames = order.contactValues = text;
    QCOMPARE(order.docNamesList(), lines);
    QCOMPARE(order.docUrlsList(), lines);
    QCOMPARE(order.contactNamesList(), lines);
    QCOMPARE(order.contactValuesList(), lines);

    const Order fresh;
    QCOMPARE(fresh.docNamesList(), QStringList {NO_DATA});
    QCOMPARE(fresh.docUrlsList(), QStringList {QString()});
}

void TestEntities::orderRegionDisplayName()
{
    Order order;
    order.region = QStringLiteral("Москва");
    QCOMPARE(order.regionDisplayName(), QStringLiteral("Москва"));
    order.geoPlaceName = QStringLiteral("Зеленоград");
    QCOMPARE(order.regionDisplayName(), QStringLiteral("Зеленоград"));
}

void TestEntities::orderParentSector_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("case-insensitive match")
        << QStringLiteral("строительство дорог") << QString() << QStringLiteral("Строительство");
    QTest::newRow("negative parent") << QStringLiteral("Строительство") << QString() << QString();
    QTest::newRow("parent not loaded") << QStringLiteral("Сироты") << QString() << QString();
    QTest::newRow("no such sector") << QStringLiteral("Космос") << QString() << QString();
    QTest::newRow("service's own text") << QStringLiteral("Космос") << QStringLiteral("Наука")
                                        << QStringLiteral("Наука");
    QTest::newRow("first in id order wins") << QStringLiteral("Дубль") << QString() << QStringLiteral("Строительство");
}

void TestEntities::orderParentSector()
{
    QFETCH(QString, branch);
    QFETCH(QString, parentName);
    QFETCH(QString, expected);

    Dictionaries dictionaries;
    dictionaries.addBranch(30, QStringLiteral("Дубль"), 1);
    dictionaries.addBranch(10, QStringLiteral("Строительство"));
    dictionaries.addBranch(11, QStringLiteral("Строительство дорог"), 10);
    dictionaries.addBranch(12, QStringLiteral("Сироты"), 99);
    dictionaries.addBranch(1, QStringLiteral("Энергетика"));
    dictionaries.addBranch(20, QStringLiteral("Дубль"), 10);
    dictionaries.publish();

    Order order;
    order.branch = branch;
    order.economicSectorParentName = parentName;
    QCOMPARE(order.economicSectorParentDisplayName(), expected);
}

void TestEntities::defaultFilterMap()
{
    Filter filter;
    const QVariantMap map = filter.toVariantMap();
    QCOMPARE(map.size(), 27);
    QCOMPARE(map.value(KEY_SEARCH_AREA).toString(), SEARCH_AREA_CURRENT_ORDERS);
    QCOMPARE(map.value(KEY_ORDER_TYPE).toString(), ORDER_TYPE_COMMERCIAL);
    QCOMPARE(map.value(KEY_STATE).toString(), QStringLiteral("New"));
    QCOMPARE(map.value(KEY_ID).toLongLong(), qint64(-1));
    QCOMPARE(map.value(KEY_LOCAL_ID).toLongLong(), qint64(-1));
    QCOMPARE(map.value(KEY_FILTER_CHANGE_DATE).toDateTime(), FIXED_NOW);
    QVERIFY(map.value(KEY_FILTER_REGIONS).toList().isEmpty());
    QVERIFY(map.value(KEY_WORDS_EXCEPTIONS).toList().isEmpty());
    // The defaults stay in the record.
    QCOMPARE(filter.searchArea, SEARCH_AREA_CURRENT_ORDERS);
    QCOMPARE(filter.orderType, ORDER_TYPE_COMMERCIAL);
}

void TestEntities::filterResetSearchCriteria()
{
    Filter filter;
    filter.id = 4;
    filter.localId = 8;
    filter.name = QStringLiteral("Мой фильтр");
    filter.state = FilterList::Sync;
    filter.wordSerch = QStringLiteral("бетон");
    filter.enabled = true;
    filter.regions << 1 << 2;
    filter.setWordsExceptions(QStringLiteral("ремонт"));
    filter.openingTimeFrom = FIXED_NOW;

    filter.resetSearchCriteria();
    QVERIFY(!filter.changed);
    const QVariantMap map = filter.toVariantMap();
    QCOMPARE(map.value(KEY_ORDER_TYPE).toString(), ORDER_TYPE_ALL);
    QCOMPARE(map.value(KEY_AMOUNT_ORDERS_FROM).toString(), QStringLiteral("0.00"));
    QCOMPARE(map.value(KEY_AMOUNT_ORDERS_TO).toString(), QStringLiteral("0.00"));
    for (const QString &key : {KEY_OPEN_COMPETITION, KEY_PRICE_QUOTATION, KEY_ELECTRONIC_AUCTION, KEY_PRESELECTION,
                               KEY_EASY_PURCHASE, KEY_WITH_MORPHOLOGY})
        QVERIFY2(map.value(key).toBool(), qPrintable(key));
    QVERIFY(!map.value(KEY_ENABLED).toBool());
    QVERIFY(map.value(KEY_WORD_SERCH).toString().isEmpty());
    QVERIFY(map.value(KEY_FILTER_REGIONS).toList().isEmpty());
    QVERIFY(map.value(KEY_WORDS_EXCEPTIONS).toList().isEmpty());
    QVERIFY(!map.value(KEY_OPENING_TIME_FROM).toDateTime().isValid());
    QCOMPARE(filter.id, qint64(4));
    QCOMPARE(filter.localId, qint64(8));
    QCOMPARE(filter.name, QStringLiteral("Мой фильтр"));
    QCOMPARE(filter.state, FilterList::Sync);
}

void TestEntities::filterFromEmptyMap()
{
    Filter filter;
    filter.displayOrder = 3;
    filter.localId = 9;
    filter.name = QStringLiteral("x");
    filter.enabled = filter.easyPurchase = true;
    filter.closingTimeTo = FIXED_NOW;
    filter.state = FilterList::Deleted;
    filter.wordsExceptions << QStringLiteral("w");
    filter.branches << 5;
    filter.regions << 6;
    const QDateTime changeDate = filter.filterChangeDate.addSecs(-5);
    filter.filterChangeDate = changeDate;

    filter.fromVariantMap(QVariantMap());
    QCOMPARE(filter.id, qint64(0));
    QCOMPARE(filter.displayOrder, 0);
    QVERIFY(filter.name.isEmpty());
    QVERIFY(!filter.enabled);
    QVERIFY(!filter.easyPurchase);
    QVERIFY(!filter.closingTimeTo.isValid());
    QCOMPARE(filter.localId, qint64(9));
    QCOMPARE(filter.state, FilterList::Deleted);
    QCOMPARE(filter.filterChangeDate, changeDate);
    QCOMPARE(filter.wordsExceptions, QStringList {QStringLiteral("w")});
    QCOMPARE(filter.branches, QList<qint64> {5});
    QCOMPARE(filter.regions, QList<qint64> {6});
    QVERIFY(filter.changed);
}

void TestEntities::filterRoundTrip()
{
    Filter source;
    source.displayOrder = 2;
    source.id = 100;
    source.localId = 7;
    source.name = QStringLiteral("Дороги");
    source.login = QStringLiteral("user");
    source.searchArea = SEARCH_AREA_ARCHIVE_ORDERS;
    source.withMorphology = source.openCompetition = source.preselection = true;
    source.amountOrdersFrom = QStringLiteral("10.50");
    source.amountOrdersTo = QStringLiteral("99.00");
    source.openingTimeFrom = QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC);
    source.closingTimeTo = QDateTime(QDate(2023, 6, 1), QTime(0, 0), Qt::UTC);
    source.state = FilterList::Sync;
    source.wordSerch = QStringLiteral("асфальт щебень");
    source.setWordsExceptions(QStringLiteral("ремонт  ямочный"));
    source.branches << 3 << 1;
    source.regions << 77 << 50;
    source.orderType = ORDER_TYPE_OFFICIAL;
    const QVariantMap written = source.toVariantMap();

    Filter copy;
    copy.fromVariantMap(written);
    QCOMPARE(copy.toVariantMap(), written);
    QCOMPARE(copy.regions, (QList<qint64> {77, 50}));
    QCOMPARE(copy.wordsExceptions, (QStringList {QStringLiteral("ремонт"), QStringLiteral("ямочный")}));

    // Sent to the service, dates gain the shift; read back from it they lose it again.
    beginServerTimeShift();
    const QVariantMap sent = source.toVariantMap();
    Filter received;
    received.fromVariantMap(sent);
    endServerTimeShift();
    QCOMPARE(sent.value(KEY_OPENING_TIME_FROM).toDateTime(), source.openingTimeFrom.addSecs(SERVER_TIME_SHIFT_SECONDS));
    QCOMPARE(received.openingTimeFrom, source.openingTimeFrom);
    QCOMPARE(received.filterChangeDate, source.filterChangeDate);
}

void TestEntities::filterWordsExceptionsAsText()
{
    // A database row carries the words as its one-line text; they must not be lost.
    Filter filter;
    filter.fromVariantMap(mapOf({{KEY_WORDS_EXCEPTIONS, QStringLiteral(" ремонт  окна ")}}));
    QCOMPARE(filter.wordsExceptions, (QStringList {QStringLiteral("ремонт"), QStringLiteral("окна")}));
}

void TestEntities::filterState_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("written");

    QTest::newRow("Sync") << QStringLiteral("Sync") << int(FilterList::Sync) << QStringLiteral("Sync");
    QTest::newRow("SYNC") << QStringLiteral("SYNC") << int(FilterList::Sync) << QStringLiteral("Sync");
    QTest::newRow("new") << QStringLiteral("new") << int(FilterList::New) << QStringLiteral("New");
    QTest::newRow("Edited") << QStringLiteral("Edited") << int(FilterList::Edited) << QStringLiteral("Edited");
    QTest::newRow("deleted") << QStringLiteral("deleted") << int(FilterList::Deleted) << QStringLiteral("Deleted");
    QTest::newRow("blank before") << QStringLiteral(" sync") << int(FilterList::Error) << QStringLiteral("Error");
    QTest::newRow("longer") << QStringLiteral("synced") << int(FilterList::Error) << QStringLiteral("Error");
    QTest::newRow("number") << QStringLiteral("3") << int(FilterList::Error) << QStringLiteral("Error");
}

void TestEntities::filterState()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    QFETCH(QString, written);

    Filter filter;
    filter.fromVariantMap(mapOf({{KEY_STATE, text}}));
    QCOMPARE(int(filter.state), state);
    QCOMPARE(filter.toVariantMap().value(KEY_STATE).toString(), written);
    QCOMPARE(FilterList::stateToString(FilterList::State(42)), QStringLiteral("Error"));
}

void TestEntities::filterSetChanged_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("sync, raised") << int(FilterList::Sync) << true << int(FilterList::Edited);
    QTest::newRow("deleted, raised") << int(FilterList::Deleted) << true << int(FilterList::Deleted);
    QTest::newRow("new, raised") << int(FilterList::New) << true << int(FilterList::New);
    QTest::newRow("error, raised") << int(FilterList::Error) << true << int(FilterList::Error);
    QTest::newRow("sync, lowered") << int(FilterList::Sync) << false << int(FilterList::Sync);
}

void TestEntities::filterSetChanged()
{
    QFETCH(int, state);
    QFETCH(bool, value);
    QFETCH(int, expected);

    Filter filter;
    filter.state = FilterList::State(state);
    filter.changed = !value;
    Clock::advance(5000);
    filter.setChanged(value);
    QCOMPARE(filter.changed, value);
    QCOMPARE(int(filter.state), expected);
    QCOMPARE(filter.filterChangeDate, value ? FIXED_NOW.addSecs(5) : FIXED_NOW);
}

void TestEntities::filterWordsExceptions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("joined");

    QTest::newRow("two blanks, blanks around")
        << QStringLiteral("  ремонт  окон ") << QStringList {"ремонт", "окон"} << QStringLiteral("ремонт окон");
    QTest::newRow("empty") << QString() << QStringList() << QString();
    QTest::newRow("only blanks") << QStringLiteral("   ") << QStringList() << QString();
    QTest::newRow("tab is no separator") << QStringLiteral("a\tb c") << QStringList {"a\tb", "c"}
                                         << QStringLiteral("a\tb c");
    QTest::newRow("case kept") << QStringLiteral("Ремонт ремонт") << QStringList {"Ремонт", "ремонт"}
                               << QStringLiteral("Ремонт ремонт");
}

void TestEntities::filterWordsExceptions()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QFETCH(QString, joined);

    Filter filter;
    filter.wordsExceptions << QStringLiteral("old");
    filter.setWordsExceptions(text);
    QCOMPARE(filter.wordsExceptions, words);
    QCOMPARE(filter.wordsExceptionsText(), joined);
}

void TestEntities::filterResolvesAgainAfterMapRebuild()
{
    Dictionaries dictionaries;
    Region *moscow = dictionaries.addRegion(77, QStringLiteral("Москва"));
    dictionaries.publish();

    Filter filter;
    filter.regions << 77 << 50;
    QCOMPARE(filter.regionAt(-1), static_cast<Region *>(nullptr));
    QCOMPARE(filter.regionAt(2), static_cast<Region *>(nullptr));
    QVERIFY(filter.regionCache.isEmpty());
    QCOMPARE(filter.regionAt(0), moscow);
    QCOMPARE(filter.regionAt(1), static_cast<Region *>(nullptr)); // not loaded yet
    QCOMPARE(filter.regionStamp, FilterLinkList::regionMapStamp());

    // A new dictionary replaces the records: the filter must not hand out the old pointers.
    Dictionaries replacement;
    Region *newMoscow = replacement.addRegion(77, QStringLiteral("г. Москва"));
    Region *moscowRegion = replacement.addRegion(50, QStringLiteral("Московская область"));
    replacement.publish();
    QCOMPARE(filter.regionAt(0), newMoscow);
    QCOMPARE(filter.regionAt(1), moscowRegion);
    QCOMPARE(filter.regionAt(0)->name, QStringLiteral("г. Москва"));

    // Replacing the id list through the map drops the resolved records at once.
    filter.fromVariantMap(mapOf({{KEY_FILTER_REGIONS, QVariantList {50}}}));
    QVERIFY(filter.regionCache.isEmpty());
    QCOMPARE(filter.regionAt(0), moscowRegion);

    // The panel's way of invalidating after editing the list in place.
    filter.regions[0] = 77;
    filter.regionStamp -= 1;
    QCOMPARE(filter.regionAt(0), newMoscow);
}

void TestEntities::filterBranchAtFollowsItsOwnStamp()
{
    Dictionaries dictionaries;
    Branch *roads = dictionaries.addBranch(3, QStringLiteral("Дороги"));
    dictionaries.publish();

    Filter filter;
    filter.branches << 3;
    QCOMPARE(filter.branchAt(0), roads);
    const int branchStamp = filter.branchStamp;
    // Rebuilding the region map leaves the sector cache valid.
    FilterLinkList::regionMap(&dictionaries.regions);
    QCOMPARE(filter.branchAt(0), roads);
    QCOMPARE(filter.branchStamp, branchStamp);
}

void TestEntities::dictionaryRecordMaps_data()
{
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<qint64>("id");
    QTest::addColumn<qint64>("parentId");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("regionDateRead");
    QTest::addColumn<bool>("branchDateRead");

    const QDateTime date(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    QTest::newRow("empty map") << QVariantMap() << qint64(0) << qint64(0) << QString() << false << false;
    QTest::newRow("full region row") << mapOf(
        {{KEY_ID, 5}, {KEY_PARENT_ID, 1}, {KEY_NAME, QStringLiteral("Тула")}, {KEY_REGION_CHANGE_DATE, date}})
                                     << qint64(5) << qint64(1) << QStringLiteral("Тула") << true << false;
    QTest::newRow("sector date only") << mapOf({{KEY_BRANCH_CHANGE_DATE, date}}) << qint64(0) << qint64(0) << QString()
                                      << false << true;
    QTest::newRow("id as digits") << mapOf({{KEY_ID, QStringLiteral("42")}, {KEY_PARENT_ID, QStringLiteral("-1")}})
                                  << qint64(42) << qint64(-1) << QString() << false << false;
    QTest::newRow("id not a number") << mapOf({{KEY_ID, QStringLiteral("x")}}) << qint64(0) << qint64(0) << QString()
                                     << false << false;
}

void TestEntities::dictionaryRecordMaps()
{
    QFETCH(QVariantMap, map);
    QFETCH(qint64, id);
    QFETCH(qint64, parentId);
    QFETCH(QString, name);
    QFETCH(bool, regionDateRead);
    QFETCH(bool, branchDateRead);

    Region region;
    Branch branch;
    QCOMPARE(region.id, qint64(-1));
    QCOMPARE(branch.parentId, qint64(-1));
    region.fromVariantMap(map);
    branch.fromVariantMap(map);
    for (const DictionaryEntry *entry :
         {static_cast<DictionaryEntry *>(&region), static_cast<DictionaryEntry *>(&branch)}) {
        QCOMPARE(entry->id, id);
        QCOMPARE(entry->parentId, parentId);
        QCOMPARE(entry->name, name);
        QVERIFY(entry->changed);
        QCOMPARE(entry->itemIndex, 0);
    }
    const QDateTime date(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    QCOMPARE(region.changeDate, regionDateRead ? date : FIXED_NOW);
    QCOMPARE(branch.changeDate, branchDateRead ? date : FIXED_NOW);
}

void TestEntities::dictionaryRecordRoundTrip()
{
    const Region fresh;
    const QVariantMap freshMap = fresh.toVariantMap();
    QCOMPARE(freshMap.keys(), (QStringList {KEY_ID, KEY_NAME, KEY_PARENT_ID, KEY_REGION_CHANGE_DATE}));
    QCOMPARE(freshMap.value(KEY_ID).toLongLong(), qint64(-1));
    QCOMPARE(freshMap.value(KEY_REGION_CHANGE_DATE).toDateTime(), FIXED_NOW);

    Branch source;
    source.fromVariantMap(mapOf({{KEY_ID, 12},
                                 {KEY_PARENT_ID, 3},
                                 {KEY_NAME, QStringLiteral("Медицина")},
                                 {KEY_BRANCH_CHANGE_DATE, QDateTime(QDate(2021, 5, 6), QTime(7, 8), Qt::UTC)}}));
    source.itemIndex = 9;
    source.clearChanged();
    QCOMPARE(source.toVariantMap().size(), 4);

    Branch copy;
    copy.fromVariantMap(source.toVariantMap());
    QCOMPARE(copy.toVariantMap(), source.toVariantMap());
    QCOMPARE(copy.itemIndex, 0);
    QVERIFY(copy.changed);
}

void TestEntities::dictionaryRecordSetChanged()
{
    Region region;
    Clock::advance(1000);
    region.setChanged(false);
    QCOMPARE(region.changeDate, FIXED_NOW);
    region.setChanged(true);
    QCOMPARE(region.changeDate, FIXED_NOW.addSecs(1));
    Clock::advance(1000);
    region.setChanged(true); // already set: the date still moves
    QCOMPARE(region.changeDate, FIXED_NOW.addSecs(2));
    region.clearChanged();
    QVERIFY(!region.changed);
    QCOMPARE(region.changeDate, FIXED_NOW.addSecs(2));
}

void TestEntities::dictionaryMapRebuild()
{
    RegionList empty;
    const int before = FilterLinkList::regionMapStamp();
    FilterLinkList::regionMap(&empty);
    QCOMPARE(FilterLinkList::regionMapStamp(), before + 1);
    QVERIFY(FilterLinkList::regionMap().isEmpty());

    Dictionaries dictionaries;
    dictionaries.addRegion(2, QStringLiteral("первая"));
    Region *later = dictionaries.addRegion(2, QStringLiteral("вторая"));
    dictionaries.addRegion(1, QStringLiteral("другая"));
    FilterLinkList::regionMap(&dictionaries.regions);
    FilterLinkList::regionMap(&dictionaries.regions);
    QCOMPARE(FilterLinkList::regionMapStamp(), before + 3);
    QCOMPARE(FilterLinkList::regionMap().size(), 2);
    QCOMPARE(FilterLinkList::regionMap().value(2), later);
    QCOMPARE(FilterLinkList::regionMap().firstKey(), qint64(1));

    const int branchBefore = FilterLinkList::branchMapStamp();
    int forced = 1000;
    QCOMPARE(FilterLinkList::branchMapStamp(&forced), 1000);
    QCOMPARE(FilterLinkList::branchMapStamp(), 1000);
    forced = branchBefore;
    FilterLinkList::branchMapStamp(&forced);
}

void TestEntities::linkType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");

    QTest::newRow("regionid") << QStringLiteral("regionid") << int(FilterLinkList::Region);
    QTest::newRow("REGIONID") << QStringLiteral("REGIONID") << int(FilterLinkList::Region);
    QTest::newRow("BranchId") << QStringLiteral("BranchId") << int(FilterLinkList::Branch);
    QTest::newRow("undefined") << QStringLiteral("filterlinktypeundefined") << int(FilterLinkList::Undefined);
    QTest::newRow("error text") << QStringLiteral("FilterLinkTypeError") << int(FilterLinkList::Error);
    QTest::newRow("empty") << QString() << int(FilterLinkList::Error);
}

void TestEntities::linkType()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QCOMPARE(int(FilterLinkList::stringToType(text)), type);
    QCOMPARE(FilterLinkList::typeToString(FilterLinkList::LinkType(type)).toLower(),
             type == FilterLinkList::Error ? QStringLiteral("filterlinktypeerror") : text.toLower());
    QCOMPARE(FilterLinkList::typeToString(FilterLinkList::LinkType(9)), QStringLiteral("FilterLinkTypeError"));
}

void TestEntities::linkMaps_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<int>("readType");
    QTest::addColumn<qint64>("filterId");
    QTest::addColumn<qint64>("linkedId");

    QTest::newRow("region into undefined")
        << int(FilterLinkList::Undefined) << mapOf({{KEY_FILTER_ID, 5}, {QStringLiteral("regionid"), 7}})
        << int(FilterLinkList::Region) << qint64(5) << qint64(7);
    QTest::newRow("branch into undefined")
        << int(FilterLinkList::Undefined) << mapOf({{KEY_FILTER_ID, 5}, {QStringLiteral("branchid"), 8}})
        << int(FilterLinkList::Branch) << qint64(5) << qint64(8);
    QTest::newRow("both keys: region wins")
        << int(FilterLinkList::Undefined) << mapOf({{QStringLiteral("branchid"), 8}, {QStringLiteral("regionid"), 7}})
        << int(FilterLinkList::Region) << qint64(0) << qint64(7);
    QTest::newRow("neither key") << int(FilterLinkList::Undefined) << mapOf({{KEY_FILTER_ID, 5}})
                                 << int(FilterLinkList::Error) << qint64(5) << qint64(-1);
    QTest::newRow("branch key into region link")
        << int(FilterLinkList::Region) << mapOf({{KEY_FILTER_ID, 5}, {QStringLiteral("branchid"), 8}})
        << int(FilterLinkList::Region) << qint64(5) << qint64(0);
    QTest::newRow("error link") << int(FilterLinkList::Error)
                                << mapOf({{KEY_FILTER_ID, 5}, {QStringLiteral("regionid"), 7}})
                                << int(FilterLinkList::Error) << qint64(5) << qint64(-1);
}

void TestEntities::linkMaps()
{
    QFETCH(int, type);
    QFETCH(QVariantMap, map);
    QFETCH(int, readType);
    QFETCH(qint64, filterId);
    QFETCH(qint64, linkedId);

    FilterLink link(static_cast<FilterLinkList::LinkType>(type));
    link.fromVariantMap(map);
    QCOMPARE(int(link.type), readType);
    QCOMPARE(link.filterId, filterId);
    QCOMPARE(link.linkedId, linkedId);

    const QVariantMap written = link.toVariantMap();
    QCOMPARE(written.size(), 2);
    QCOMPARE(written.value(KEY_FILTER_ID).toLongLong(), filterId);
    QCOMPARE(written.value(FilterLinkList::typeToString(link.type)).toLongLong(), linkedId);
}

void TestEntities::linkResolves()
{
    Dictionaries dictionaries;
    Region *region = dictionaries.addRegion(7, QStringLiteral("Тверь"));
    Branch *branch = dictionaries.addBranch(7, QStringLiteral("Связь"));
    dictionaries.publish();

    FilterLink regionLink(FilterLinkList::Region);
    regionLink.linkedId = 7;
    QCOMPARE(regionLink.region(), region);
    QCOMPARE(regionLink.branch(), static_cast<Branch *>(nullptr));

    FilterLink branchLink(FilterLinkList::Branch);
    branchLink.linkedId = 7;
    QCOMPARE(branchLink.branch(), branch);
    branchLink.linkedId = 8;
    QCOMPARE(branchLink.branch(), static_cast<Branch *>(nullptr));
    QCOMPARE(FilterLinkList::branchMap().size(), 1); // looking up changes no map
}

void TestEntities::linkListFromVariantsTakesTypesFromKeys()
{
    FilterLinkList links(QVariantList {mapOf({{KEY_FILTER_ID, 3}, {QStringLiteral("regionid"), 4}}),
                                       mapOf({{KEY_FILTER_ID, 3}, {QStringLiteral("branchid"), 5}}),
                                       mapOf({{KEY_FILTER_ID, 3}})});
    QCOMPARE(links.items.size(), 3);
    QCOMPARE(links.items.at(0)->type, FilterLinkList::Region);
    QCOMPARE(links.items.at(0)->linkedId, qint64(4));
    QCOMPARE(links.items.at(1)->type, FilterLinkList::Branch);
    QCOMPARE(links.items.at(1)->linkedId, qint64(5));
    QCOMPARE(links.items.at(2)->type, FilterLinkList::Error);
    QCOMPARE(links.items.at(2)->filterId, qint64(3));
    QCOMPARE(links.items.at(2)->linkedId, qint64(-1));
    links.clear();
}

void TestEntities::favouriteState_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");

    QTest::newRow("Deleted") << QStringLiteral("Deleted") << int(FavouriteItemList::Deleted);
    QTest::newRow("deleted") << QStringLiteral("deleted") << int(FavouriteItemList::Deleted);
    QTest::newRow("DELETED") << QStringLiteral("DELETED") << int(FavouriteItemList::Deleted);
    QTest::newRow("Sync") << QStringLiteral("Sync") << int(FavouriteItemList::Sync);
    QTest::newRow("new") << QStringLiteral("new") << int(FavouriteItemList::New);
    QTest::newRow("blank before") << QStringLiteral(" New") << int(FavouriteItemList::Error);
    QTest::newRow("Error") << QStringLiteral("Error") << int(FavouriteItemList::Error);
    QTest::newRow("empty") << QString() << int(FavouriteItemList::Error);
}

void TestEntities::favouriteState()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    QCOMPARE(int(FavouriteItemList::stringToState(text)), state);
    if (state != FavouriteItemList::Error)
        QCOMPARE(FavouriteItemList::stateToString(FavouriteItemList::State(state)).toLower(), text.toLower());
    QCOMPARE(FavouriteItemList::stateToString(FavouriteItemList::State(5)), QStringLiteral("Error"));
    QCOMPARE(FavouriteItemList::stateToString(FavouriteItemList::Error), QStringLiteral("Error"));
}

void TestEntities::favouriteFromRow()
{
    FavouriteItem item;
    item.fromVariantMap(mapOf({{KEY_LOGIN, QStringLiteral("user")},
                               {KEY_ORDER_ID, 15},
                               {KEY_CHANGE_DATE, FIXED_NOW},
                               {KEY_STATE, QStringLiteral("Sync")}}),
                        true);
    QCOMPARE(item.id, qint64(15));
    QCOMPARE(item.login, QStringLiteral("user"));
    QCOMPARE(item.state, FavouriteItemList::Sync);
    QVERIFY(item.changeDate.isNull());
    QVERIFY(!item.changed);
    QVERIFY(!item.order);

    FavouriteItem both;
    both.fromVariantMap(mapOf({{KEY_ID, 1}, {KEY_ORDER_ID, 2}}), false);
    QCOMPARE(both.id, qint64(1));
    QCOMPARE(both.state, FavouriteItemList::New);
}

void TestEntities::favouriteOrderHandling()
{
    FavouriteItem item;
    const QVariantMap withOrder
        = mapOf({{KEY_ID, 4}, {KEY_ORDERS, mapOf({{KEY_ID, 4}, {KEY_NAME, QStringLiteral("A")}})}});
    item.fromVariantMap(withOrder, true);
    QVERIFY(item.order);
    Order *attached = item.order;
    QCOMPARE(attached->name, QStringLiteral("A"));

    // Overwritten in place, not replaced.
    item.fromVariantMap(mapOf({{KEY_ID, 4}, {KEY_ORDERS, mapOf({{KEY_NAME, QStringLiteral("B")}})}}), true);
    QCOMPARE(item.order, attached);
    QCOMPARE(attached->name, QStringLiteral("B"));
    QCOMPARE(attached->id, qint64(4));

    // Without withOrder the order is left alone, whatever the map holds.
    item.fromVariantMap(mapOf({{KEY_ID, 4}}), false);
    QCOMPARE(item.order, attached);
    item.fromVariantMap(withOrder, false);
    QCOMPARE(attached->name, QStringLiteral("B"));

    // With withOrder and no order in the map, the order goes.
    item.fromVariantMap(mapOf({{KEY_ID, 4}}), true);
    QVERIFY(!item.order);
}

void TestEntities::favouriteMapKeys()
{
    FavouriteItem item;
    item.id = 9;
    item.login = QStringLiteral("me");
    item.state = FavouriteItemList::Deleted;
    item.changed = true;
    item.changeDate = FIXED_NOW;
    const QVariantMap bare = item.toVariantMap(true);
    QCOMPARE(bare.keys(), (QStringList {KEY_ID, KEY_LOGIN, KEY_ORDER_ID, KEY_STATE}));
    QCOMPARE(bare.value(KEY_ORDER_ID).toLongLong(), qint64(9));
    QCOMPARE(bare.value(KEY_STATE).toString(), QStringLiteral("Deleted"));

    item.order = new Order;
    item.order->name = QStringLiteral("Заказ");
    QVERIFY(!item.toVariantMap(false).contains(KEY_ORDERS));
    const QVariantMap full = item.toVariantMap(true);
    QCOMPARE(full.value(KEY_ORDERS).toMap().value(KEY_NAME).toString(), QStringLiteral("Заказ"));

    FavouriteItem copy;
    copy.fromVariantMap(full, true);
    QCOMPARE(copy.toVariantMap(true), full);
}

void TestEntities::favouriteListClearFreesOrders()
{
    const QVariantList variants {
        mapOf({{KEY_ID, 1}, {KEY_STATE, QStringLiteral("Sync")}, {KEY_ORDERS, mapOf({{KEY_ID, 1}})}}),
        mapOf({{KEY_ID, 2}, {KEY_ORDERS, mapOf({{KEY_ID, 2}})}}),
    };
    FavouriteItemList list(variants, true);
    QCOMPARE(list.items.size(), 2);
    QVERIFY(list.items.at(0)->order);
    QCOMPARE(list.items.at(0)->state, FavouriteItemList::Sync);
    QCOMPARE(list.toVariantList(false).first().toMap().size(), 4);
    {
        FavouriteItemList copy(list);
        QCOMPARE(copy.items, list.items);
    }
    QCOMPARE(list.items.at(1)->order->id, qint64(2)); // the copy's end freed nothing
    list.clear(); // LeakSanitizer fails the run if an order survives
    QVERIFY(list.items.isEmpty());
}

TAVREL_TEST_MAIN(TestEntities)
#include "tst_entities.moc"
