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
// The text forms of the four vocabularies, through one table.
QString vocabularyText(const QString &kind, int value)
{
    if (kind == QLatin1String("order"))
        return OrderList::typeToString(OrderList::Type(value));
    if (kind == QLatin1String("filter"))
        return FilterList::stateToString(FilterList::State(value));
    if (kind == QLatin1String("favourite"))
        return FavouriteItemList::stateToString(FavouriteItemList::State(value));
    return FilterLinkList::typeToString(FilterLinkList::LinkType(value));
}

int vocabularyValue(const QString &kind, const QString &text)
{
    if (kind == QLatin1String("order"))
        return OrderList::stringToType(text);
    if (kind == QLatin1String("filter"))
        return FilterList::stringToState(text);
    if (kind == QLatin1String("favourite"))
        return FavouriteItemList::stringToState(text);
    return FilterLinkList::stringToType(text);
}
} // namespace

class TestEntities : public QObject
{
    Q_OBJECT

private slots:
    // Must run first: it sees the maps as the process starts.
    void dictionaryMapsStartEmpty()
    {
        QVERIFY(FilterLinkList::regionMap().isEmpty());
        QVERIFY(FilterLinkList::branchMap().isEmpty());
        QCOMPARE(FilterLinkList::regionMapStamp(), 0);
        QCOMPARE(FilterLinkList::branchMapStamp(), 0);
        // The filter's own first stamp is 0 too: it must not mistake the empty cache for resolved.
        Filter filter;
        filter.regions << 1;
        QCOMPARE(filter.regionAt(0), static_cast<Region *>(nullptr));
    }

    void init() { Clock::setFixed(FIXED_NOW); }

    void cleanup()
    {
        Clock::reset();
        QCOMPARE(serverTimeShiftDepth(), 0);
    }

    void listOwnership()
    {
        checkOwnership<OrderList, Order>();
        checkOwnership<FilterList, Filter>();
        checkOwnership<FilterLinkList, FilterLink>();
        checkOwnership<FavouriteItemList, FavouriteItem>();
        checkOwnership<RegionList, Region>();
        checkOwnership<BranchList, Branch>();
    }

    void deleteAllSkipsNulls()
    {
        QList<Order *> orders {nullptr, new Order, nullptr, new Order};
        OrderList::deleteAll(orders);
        QVERIFY(orders.isEmpty());
        OrderList::deleteItems(nullptr);
        // A null entry has no map to give; the others still convert.
        RegionList regions;
        regions.items << nullptr << new Region;
        QCOMPARE(regions.toVariantList().size(), 1);
        regions.clear();
    }

    void hasChangesFollowsRecordFlags()
    {
        QVERIFY(!FilterList().hasChanges());
        // Records built from maps keep the flag of construction; loaded ones have it cleared.
        BranchList received(QVariantList {QVariantMap(), QVariantMap()});
        QVERIFY(received.hasChanges());
        for (Branch *branch : qAsConst(received.items))
            branch->clearChanged();
        QVERIFY(!received.hasChanges());
        received.items.last()->setChanged(true);
        QVERIFY(received.hasChanges());
        received.clear();
    }

    void vocabularies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("written");

        const QString order = QStringLiteral("order"), filter = QStringLiteral("filter"),
                      favourite = QStringLiteral("favourite"), link = QStringLiteral("link");
        QTest::newRow("order NEWVIEWED") << order << "NEWVIEWED" << int(OrderList::NewViewed) << "NewViewed";
        QTest::newRow("order nEwViEwEd") << order << "nEwViEwEd" << int(OrderList::NewViewed) << "NewViewed";
        QTest::newRow("order all") << order << "all" << int(OrderList::All) << "All";
        QTest::newRow("order search") << order << "Search" << int(OrderList::Search) << "Search";
        QTest::newRow("order Favourite") << order << "Favourite" << int(OrderList::Error) << "Error";
        QTest::newRow("order blank before") << order << " New" << int(OrderList::Error) << "Error";
        QTest::newRow("order empty") << order << "" << int(OrderList::Error) << "Error";
        QTest::newRow("filter SYNC") << filter << "SYNC" << int(FilterList::Sync) << "Sync";
        QTest::newRow("filter edited") << filter << "edited" << int(FilterList::Edited) << "Edited";
        QTest::newRow("filter blank before") << filter << " sync" << int(FilterList::Error) << "Error";
        QTest::newRow("filter longer") << filter << "synced" << int(FilterList::Error) << "Error";
        QTest::newRow("filter digits") << filter << "3" << int(FilterList::Error) << "Error";
        QTest::newRow("favourite DELETED") << favourite << "DELETED" << int(FavouriteItemList::Deleted) << "Deleted";
        QTest::newRow("favourite new") << favourite << "new" << int(FavouriteItemList::New) << "New";
        QTest::newRow("favourite blank before") << favourite << " New" << int(FavouriteItemList::Error) << "Error";
        QTest::newRow("favourite Error") << favourite << "Error" << int(FavouriteItemList::Error) << "Error";
        QTest::newRow("link REGIONID") << link << "REGIONID" << int(FilterLinkList::Region) << "regionid";
        QTest::newRow("link BranchId") << link << "BranchId" << int(FilterLinkList::Branch) << "branchid";
        QTest::newRow("link undefined") << link << "filterlinktypeundefined" << int(FilterLinkList::Undefined)
                                        << "FilterLinkTypeUndefined";
        QTest::newRow("link error text") << link << "FilterLinkTypeError" << int(FilterLinkList::Error)
                                         << "FilterLinkTypeError";
        QTest::newRow("link empty") << link << "" << int(FilterLinkList::Error) << "FilterLinkTypeError";
    }

    void vocabularies()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, written);
        QCOMPARE(vocabularyValue(kind, text), value);
        QCOMPARE(vocabularyText(kind, value), written);
        QCOMPARE(vocabularyText(kind, 42), vocabularyText(kind, kind == QLatin1String("link") ? 0 : -1));
    }

    void freshOrder()
    {
        const Order order;
        QCOMPARE(order.type, OrderList::New);
        QCOMPARE(order.id, qint64(-1));
        QVERIFY(order.openingTime.isNull() && order.closingTime.isNull());
        QCOMPARE(order.changeDate, FIXED_NOW);
        const QVariantMap map = order.toVariantMap();
        QCOMPARE(map.size(), 32);
        // Thirteen detail texts start as the no-data notice, every other text empty.
        int noData = 0;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (it->type() != QVariant::String || it.key() == KEY_TYPE)
                continue;
            if (it->toString() == NO_DATA)
                ++noData;
            else
                QVERIFY2(it->toString().isEmpty(), qPrintable(it.key()));
        }
        QCOMPARE(noData, 13);
        QCOMPARE(order.gosId, NO_DATA);
        QVERIFY(order.docUrls.isEmpty());
        QVERIFY(!order.fullAccess);
        QVERIFY(order.url.isEmpty());
    }

    void orderMapRules_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("null gosid") << mapOf({{KEY_GOS_ID, QVariant(QVariant::String)}}) << KEY_GOS_ID
                                    << QVariant(NO_DATA);
        QTest::newRow("empty gosid") << mapOf({{KEY_GOS_ID, QString()}}) << KEY_GOS_ID << QVariant(NO_DATA);
        QTest::newRow("empty source uri")
            << mapOf({{KEY_ORDER_SOURCE_URI, QString()}}) << KEY_ORDER_SOURCE_URI << QVariant(QString());
        QTest::newRow("absent source uri") << QVariantMap() << KEY_ORDER_SOURCE_URI << QVariant(NO_DATA);
        QTest::newRow("id as text") << mapOf({{KEY_ID, "77"}}) << KEY_ID << QVariant(77);
        QTest::newRow("id not a number") << mapOf({{KEY_ID, "x"}}) << KEY_ID << QVariant(0);
        QTest::newRow("full access text") << mapOf({{KEY_FULL_ACCESS, "TRUE"}}) << KEY_FULL_ACCESS << QVariant(true);
        QTest::newRow("full access 0") << mapOf({{KEY_FULL_ACCESS, 0}}) << KEY_FULL_ACCESS << QVariant(false);
        QTest::newRow("type in capitals") << mapOf({{KEY_TYPE, "VIEWED"}}) << KEY_TYPE << QVariant("Viewed");
        QTest::newRow("unknown type") << mapOf({{KEY_TYPE, "Favourite"}}) << KEY_TYPE << QVariant("Error");
        QTest::newRow("url from text") << mapOf({{KEY_URL, "http://example.org/o/1"}}) << KEY_URL
                                       << QVariant(QUrl(QStringLiteral("http://example.org/o/1")));
        QTest::newRow("service date") << mapOf({{KEY_OPENING_TIME, "24.09.2015 10:15:00"}}) << KEY_OPENING_TIME
                                      << QVariant(QDateTime(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC));
        QTest::newRow("start price ignored") << mapOf({{"startprice", "5"}}) << KEY_AMOUNT << QVariant(QString());
    }

    void orderMapRules()
    {
        QFETCH(QVariantMap, map);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        Order order;
        order.fromVariantMap(map);
        const QVariantMap written = order.toVariantMap();
        QCOMPARE(written.value(key), expected);
        QCOMPARE(written.size(), 32);
    }

    void orderOverlayKeepsAbsentFields()
    {
        Order stored;
        stored.fromVariantMap(
            mapOf({{KEY_ID, 5}, {KEY_BRANCH, "Строительство"}, {KEY_TYPE, "Viewed"}, {KEY_FULL_ACCESS, true}}));
        stored.gosId.clear(); // a no-data field that somebody emptied
        Clock::advance(60000);
        stored.fromVariantMap(mapOf({{KEY_ID, 6}, {KEY_NAME, "Поставка"}}));

        QCOMPARE(stored.id, qint64(6));
        QCOMPARE(stored.name, QStringLiteral("Поставка"));
        QCOMPARE(stored.branch, QStringLiteral("Строительство"));
        QCOMPARE(stored.type, OrderList::Viewed);
        QVERIFY(stored.fullAccess);
        QCOMPARE(stored.changeDate, FIXED_NOW);
        QCOMPARE(stored.gosId, NO_DATA); // refilled even though its key is absent
    }

    void orderRoundTrip()
    {
        QVariantMap source = Order().toVariantMap();
        for (auto it = source.begin(); it != source.end(); ++it) {
            if (it->type() == QVariant::String && it.key() != KEY_TYPE)
                *it = QStringLiteral("value of ") + it.key();
        }
        source.insert(KEY_ID, qlonglong(1) << 40);
        source.insert(KEY_TYPE, QStringLiteral("NewViewed"));
        source.insert(KEY_FULL_ACCESS, true);
        source.insert(KEY_URL, QUrl(QStringLiteral("http://example.org/order/9")));
        source.insert(KEY_OPENING_TIME, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5), Qt::UTC));
        source.insert(KEY_CLOSING_TIME, QDateTime(QDate(2023, 2, 3), QTime(4, 5, 6), Qt::UTC));
        source.insert(KEY_CHANGE_DATE, QDateTime(QDate(2023, 3, 4), QTime(5, 6, 7), Qt::UTC));

        Order order;
        order.fromVariantMap(source);
        QCOMPARE(order.toVariantMap(), source);
        QCOMPARE(order.docNames, QStringLiteral("value of docnames"));
    }

    void orderDatesFollowTheShift()
    {
        const QDateTime opening(QDate(2023, 1, 2), QTime(10, 0), Qt::UTC);
        Order order;
        order.openingTime = order.changeDate = opening;

        beginServerTimeShift();
        const QVariantMap sent = order.toVariantMap();
        Order received;
        received.fromVariantMap(mapOf({{KEY_OPENING_TIME, "02.01.2023 10:00:00"}, {KEY_CHANGE_DATE, opening}}));
        endServerTimeShift();

        QCOMPARE(sent.value(KEY_OPENING_TIME).toDateTime(), opening.addSecs(SERVER_TIME_SHIFT_SECONDS));
        QCOMPARE(sent.value(KEY_CHANGE_DATE).toDateTime(), opening); // never shifted
        QVERIFY(!sent.value(KEY_CLOSING_TIME).toDateTime().isValid());
        QCOMPARE(received.openingTime, opening.addSecs(-SERVER_TIME_SHIFT_SECONDS));
        QCOMPARE(received.changeDate, opening);
    }

    void orderLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("line feed") << "a\nb" << QStringList {"a", "b"};
        QTest::newRow("carriage return, line feed") << "a\r\nb" << QStringList {"a", "", "b"};
        QTest::newRow("empty") << "" << QStringList {""};
        QTest::newRow("trailing line feed") << "a\n" << QStringList {"a", ""};
    }

    void orderLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        Order order;
        order.docNames = order.docUrls = order.contactNames = order.contactValues = text;
        QCOMPARE(order.docNamesList(), lines);
        QCOMPARE(order.docUrlsList(), lines);
        QCOMPARE(order.contactNamesList(), lines);
        QCOMPARE(order.contactValuesList(), lines);
        QCOMPARE(Order().docNamesList(), QStringList {NO_DATA});
    }

    void orderParentSector_data()
    {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("case-insensitive match") << "строительство ДОРОГ"
                                                << ""
                                                << "Строительство";
        QTest::newRow("negative parent") << "Строительство"
                                         << ""
                                         << "";
        QTest::newRow("parent not loaded") << "Сироты"
                                           << ""
                                           << "";
        QTest::newRow("no such sector") << "Космос"
                                        << ""
                                        << "";
        QTest::newRow("service's own text") << "Космос"
                                            << "Наука"
                                            << "Наука";
        QTest::newRow("first in id order") << "Дубль"
                                           << ""
                                           << "Строительство";
    }

    void orderParentSector()
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

    void filterDefaultsAndReset()
    {
        Filter filter;
        QVariantMap map = filter.toVariantMap();
        QCOMPARE(map.size(), 27);
        QCOMPARE(map.value(KEY_STATE).toString(), QStringLiteral("New"));
        QCOMPARE(map.value(KEY_LOCAL_ID).toLongLong(), qint64(-1));
        QCOMPARE(map.value(KEY_FILTER_CHANGE_DATE).toDateTime(), FIXED_NOW);
        QCOMPARE(filter.searchArea, SEARCH_AREA_CURRENT_ORDERS); // the defaults stay in the record
        QCOMPARE(filter.orderType, ORDER_TYPE_COMMERCIAL);

        filter.fromVariantMap(mapOf({{KEY_ID, 4},
                                     {KEY_NAME, "Мой"},
                                     {KEY_STATE, "Sync"},
                                     {KEY_ENABLED, true},
                                     {KEY_WORD_SERCH, "бетон"},
                                     {KEY_FILTER_REGIONS, QVariantList {1, 2}},
                                     {KEY_OPENING_TIME_FROM, FIXED_NOW},
                                     {KEY_WORDS_EXCEPTIONS, "ремонт"}}));
        filter.resetSearchCriteria();
        QVERIFY(!filter.changed);
        map = filter.toVariantMap();
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
        QCOMPARE(filter.name, QStringLiteral("Мой"));
        QCOMPARE(filter.state, FilterList::Sync);
    }

    void filterFromEmptyMap()
    {
        Filter filter;
        filter.fromVariantMap(mapOf({{KEY_ID, 2},
                                     {KEY_DISPLAY_ORDER, 3},
                                     {KEY_LOCAL_ID, 9},
                                     {KEY_NAME, "x"},
                                     {KEY_EASY_PURCHASE, true},
                                     {KEY_CLOSING_TIME_TO, FIXED_NOW},
                                     {KEY_STATE, "Deleted"},
                                     {KEY_WORDS_EXCEPTIONS, QStringList {"w"}},
                                     {KEY_FILTER_BRANCHES, QVariantList {5}},
                                     {KEY_FILTER_REGIONS, QVariantList {6}},
                                     {KEY_FILTER_CHANGE_DATE, FIXED_NOW.addDays(-1)}}));
        filter.fromVariantMap(QVariantMap());
        QCOMPARE(filter.id, qint64(0));
        QCOMPARE(filter.displayOrder, 0);
        QVERIFY(filter.name.isEmpty());
        QVERIFY(!filter.easyPurchase);
        QVERIFY(!filter.closingTimeTo.isValid());
        QCOMPARE(filter.localId, qint64(9));
        QCOMPARE(filter.state, FilterList::Deleted);
        QCOMPARE(filter.filterChangeDate, FIXED_NOW.addDays(-1));
        QCOMPARE(filter.wordsExceptions, QStringList {QStringLiteral("w")});
        QCOMPARE(filter.branches, QList<qint64> {5});
        QCOMPARE(filter.regions, QList<qint64> {6});
    }

    void filterRoundTripAndShift()
    {
        Filter source;
        source.fromVariantMap(mapOf({{KEY_ID, 100},
                                     {KEY_LOCAL_ID, 7},
                                     {KEY_DISPLAY_ORDER, 2},
                                     {KEY_NAME, "Дороги"},
                                     {KEY_SEARCH_AREA, SEARCH_AREA_ARCHIVE_ORDERS},
                                     {KEY_WITH_MORPHOLOGY, "1"},
                                     {KEY_AMOUNT_ORDERS_FROM, "10.50"},
                                     {KEY_STATE, "sync"},
                                     {KEY_OPENING_TIME_FROM, QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC)},
                                     {KEY_WORDS_EXCEPTIONS, QStringList {"ремонт", "ямочный"}},
                                     {KEY_FILTER_BRANCHES, QVariantList {3, 1}},
                                     {KEY_ORDER_TYPE, ORDER_TYPE_OFFICIAL},
                                     {KEY_FILTER_REGIONS, QVariantList {77, 50}},
                                     {KEY_PRESELECTION, "true"}}));
        const QVariantMap written = source.toVariantMap();
        Filter copy;
        copy.fromVariantMap(written);
        QCOMPARE(copy.toVariantMap(), written);
        QCOMPARE(copy.regions, (QList<qint64> {77, 50}));
        QVERIFY(copy.withMorphology && copy.preselection && !copy.easyPurchase);

        // Sent to the service, dates gain the shift; read back from it they lose it again.
        beginServerTimeShift();
        const QVariantMap sent = source.toVariantMap();
        Filter received;
        received.fromVariantMap(sent);
        endServerTimeShift();
        QCOMPARE(sent.value(KEY_OPENING_TIME_FROM).toDateTime(),
                 source.openingTimeFrom.addSecs(SERVER_TIME_SHIFT_SECONDS));
        QCOMPARE(received.openingTimeFrom, source.openingTimeFrom);
        QCOMPARE(received.filterChangeDate, source.filterChangeDate);

        // A database row carries the excluded words as its one-line text: they must not be lost.
        received.fromVariantMap(mapOf({{KEY_WORDS_EXCEPTIONS, " ремонт  окна "}}));
        QCOMPARE(received.wordsExceptions, (QStringList {"ремонт", "окна"}));
    }

    void filterSetChanged_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("sync, raised") << int(FilterList::Sync) << true << int(FilterList::Edited);
        QTest::newRow("deleted, raised") << int(FilterList::Deleted) << true << int(FilterList::Deleted);
        QTest::newRow("new, raised") << int(FilterList::New) << true << int(FilterList::New);
        QTest::newRow("sync, lowered") << int(FilterList::Sync) << false << int(FilterList::Sync);
    }

    void filterSetChanged()
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

    void filterWordsExceptions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("joined");
        QTest::newRow("two blanks, blanks around")
            << "  ремонт  окон " << QStringList {"ремонт", "окон"} << "ремонт окон";
        QTest::newRow("empty") << "" << QStringList() << "";
        QTest::newRow("only blanks") << "   " << QStringList() << "";
        QTest::newRow("tab is no separator") << "a\tb c" << QStringList {"a\tb", "c"} << "a\tb c";
    }

    void filterWordsExceptions()
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

    void filterResolvesAgainAfterMapRebuild()
    {
        Dictionaries dictionaries;
        Region *moscow = dictionaries.addRegion(77, QStringLiteral("Москва"));
        Branch *roads = dictionaries.addBranch(3, QStringLiteral("Дороги"));
        dictionaries.publish();

        Filter filter;
        filter.regions << 77 << 50;
        filter.branches << 3;
        QCOMPARE(filter.regionAt(-1), static_cast<Region *>(nullptr));
        QCOMPARE(filter.regionAt(2), static_cast<Region *>(nullptr));
        QVERIFY(filter.regionCache.isEmpty());
        QCOMPARE(filter.regionAt(0), moscow);
        QCOMPARE(filter.regionAt(1), static_cast<Region *>(nullptr)); // not loaded yet
        QCOMPARE(filter.branchAt(0), roads);

        // A new region dictionary replaces the records: the filter must not hand out the old ones.
        Dictionaries replacement;
        Region *newMoscow = replacement.addRegion(77, QStringLiteral("г. Москва"));
        Region *moscowRegion = replacement.addRegion(50, QStringLiteral("Московская область"));
        FilterLinkList::regionMap(&replacement.regions);
        QCOMPARE(filter.regionAt(0), newMoscow);
        QCOMPARE(filter.regionAt(1), moscowRegion);
        QCOMPARE(filter.branchAt(0), roads); // the sector map did not move

        // A new id list through the map drops the resolved records at once.
        filter.fromVariantMap(mapOf({{KEY_FILTER_REGIONS, QVariantList {50}}}));
        QVERIFY(filter.regionCache.isEmpty());
        QCOMPARE(filter.regionAt(0), moscowRegion);

        // The filter panel's way to invalidate after editing the id list in place.
        filter.regions[0] = 77;
        filter.regionStamp -= 1;
        QCOMPARE(filter.regionAt(0), newMoscow);
    }

    void dictionaryRecordMaps_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<qint64>("parentId");
        QTest::addColumn<bool>("regionDateRead");
        QTest::addColumn<bool>("branchDateRead");
        const QDateTime date(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("empty map") << QVariantMap() << qint64(0) << qint64(0) << false << false;
        QTest::newRow("region row") << mapOf({{KEY_ID, 5}, {KEY_PARENT_ID, 1}, {KEY_REGION_CHANGE_DATE, date}})
                                    << qint64(5) << qint64(1) << true << false;
        QTest::newRow("sector date") << mapOf({{KEY_BRANCH_CHANGE_DATE, date}}) << qint64(0) << qint64(0) << false
                                     << true;
        QTest::newRow("ids as digits") << mapOf({{KEY_ID, "42"}, {KEY_PARENT_ID, "-1"}}) << qint64(42) << qint64(-1)
                                       << false << false;
        QTest::newRow("id not a number") << mapOf({{KEY_ID, "x"}}) << qint64(0) << qint64(0) << false << false;
    }

    void dictionaryRecordMaps()
    {
        QFETCH(QVariantMap, map);
        QFETCH(qint64, id);
        QFETCH(qint64, parentId);
        QFETCH(bool, regionDateRead);
        QFETCH(bool, branchDateRead);
        Region region;
        Branch branch;
        QCOMPARE(region.id, qint64(-1));
        region.fromVariantMap(map);
        branch.fromVariantMap(map);
        QCOMPARE(region.id, id);
        QCOMPARE(branch.id, id);
        QCOMPARE(region.parentId, parentId);
        QCOMPARE(branch.parentId, parentId);
        const QDateTime date(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(region.changeDate, regionDateRead ? date : FIXED_NOW);
        QCOMPARE(branch.changeDate, branchDateRead ? date : FIXED_NOW);

        // Written back and read into a new record, the mapped fields survive; the scratch ones do not.
        region.itemIndex = 9;
        region.setChanged(false);
        Region copy;
        copy.fromVariantMap(region.toVariantMap());
        QCOMPARE(copy.toVariantMap(), region.toVariantMap());
        QCOMPARE(copy.toVariantMap().size(), 4);
        QCOMPARE(copy.itemIndex, 0);
        QVERIFY(copy.changed);
    }

    void dictionaryRecordSetChanged()
    {
        Region region;
        Clock::advance(1000);
        region.setChanged(false);
        QCOMPARE(region.changeDate, FIXED_NOW);
        region.setChanged(true);
        region.setChanged(true); // already set: the date still moves
        QCOMPARE(region.changeDate, FIXED_NOW.addSecs(1));
    }

    void dictionaryMapRebuild()
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
    }

    void linkMaps_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<int>("readType");
        QTest::addColumn<qint64>("linkedId");
        const int undefined = FilterLinkList::Undefined, region = FilterLinkList::Region,
                  branch = FilterLinkList::Branch, error = FilterLinkList::Error;
        QTest::newRow("region into undefined")
            << undefined << mapOf({{KEY_FILTER_ID, 5}, {"regionid", 7}}) << region << qint64(7);
        QTest::newRow("branch into undefined")
            << undefined << mapOf({{KEY_FILTER_ID, 5}, {"branchid", 8}}) << branch << qint64(8);
        QTest::newRow("both keys") << undefined << mapOf({{KEY_FILTER_ID, 5}, {"branchid", 8}, {"regionid", 7}})
                                   << region << qint64(7);
        QTest::newRow("neither key") << undefined << mapOf({{KEY_FILTER_ID, 5}}) << error << qint64(-1);
        QTest::newRow("other key") << region << mapOf({{KEY_FILTER_ID, 5}, {"branchid", 8}}) << region << qint64(0);
        QTest::newRow("error link") << error << mapOf({{KEY_FILTER_ID, 5}, {"regionid", 7}}) << error << qint64(-1);
    }

    void linkMaps()
    {
        QFETCH(int, type);
        QFETCH(QVariantMap, map);
        QFETCH(int, readType);
        QFETCH(qint64, linkedId);
        FilterLink link(static_cast<FilterLinkList::LinkType>(type));
        link.fromVariantMap(map);
        QCOMPARE(int(link.type), readType);
        QCOMPARE(link.filterId, qint64(5));
        QCOMPARE(link.linkedId, linkedId);
        const QVariantMap written = link.toVariantMap();
        QCOMPARE(written.size(), 2);
        QCOMPARE(written.value(KEY_FILTER_ID).toLongLong(), qint64(5));
        QCOMPARE(written.value(FilterLinkList::typeToString(link.type)).toLongLong(), linkedId);
    }

    void linkResolves()
    {
        Dictionaries dictionaries;
        Region *region = dictionaries.addRegion(7, QStringLiteral("Тверь"));
        Branch *branch = dictionaries.addBranch(7, QStringLiteral("Связь"));
        dictionaries.publish();
        FilterLinkList links(
            QVariantList {mapOf({{"regionid", 7}}), mapOf({{"branchid", 7}}), mapOf({{"branchid", 8}})});
        QCOMPARE(links.items.at(0)->region(), region);
        QCOMPARE(links.items.at(0)->branch(), static_cast<Branch *>(nullptr)); // same id, other type
        QCOMPARE(links.items.at(1)->branch(), branch);
        QCOMPARE(links.items.at(2)->branch(), static_cast<Branch *>(nullptr));
        QCOMPARE(FilterLinkList::branchMap().size(), 1); // looking up adds nothing
        links.clear();
    }

    void favouriteMaps()
    {
        FavouriteItem item;
        item.fromVariantMap(mapOf({{KEY_LOGIN, "user"}, {KEY_ORDER_ID, 15}, {KEY_CHANGE_DATE, FIXED_NOW}}), true);
        QCOMPARE(item.id, qint64(15));
        QCOMPARE(item.state, FavouriteItemList::New);
        QVERIFY(item.changeDate.isNull());
        QVERIFY(!item.changed);
        QCOMPARE(item.toVariantMap(true).keys(), (QStringList {KEY_ID, KEY_LOGIN, KEY_ORDER_ID, KEY_STATE}));

        item.fromVariantMap(mapOf({{KEY_ID, 1}, {KEY_ORDER_ID, 2}, {KEY_STATE, "Deleted"}}), false);
        QCOMPARE(item.id, qint64(1));
        QVERIFY(item.login.isEmpty());
        QCOMPARE(item.toVariantMap(false).value(KEY_ORDER_ID).toLongLong(), qint64(1));
        QCOMPARE(item.toVariantMap(false).value(KEY_STATE).toString(), QStringLiteral("Deleted"));
    }

    void favouriteOwnsItsOrder()
    {
        FavouriteItem item;
        const QVariantMap withOrder = mapOf({{KEY_ID, 4}, {KEY_ORDERS, mapOf({{KEY_ID, 4}, {KEY_NAME, "A"}})}});
        item.fromVariantMap(withOrder, true);
        QVERIFY(item.order);
        Order *attached = item.order;
        QCOMPARE(item.toVariantMap(true).value(KEY_ORDERS).toMap(), attached->toVariantMap());
        QVERIFY(!item.toVariantMap(false).contains(KEY_ORDERS));

        // Overwritten in place, not replaced.
        item.fromVariantMap(mapOf({{KEY_ID, 4}, {KEY_ORDERS, mapOf({{KEY_NAME, "B"}})}}), true);
        QCOMPARE(item.order, attached);
        QCOMPARE(attached->name, QStringLiteral("B"));
        QCOMPARE(attached->id, qint64(4));

        // Without withOrder the order is left alone, whatever the map holds.
        item.fromVariantMap(mapOf({{KEY_ID, 4}}), false);
        item.fromVariantMap(withOrder, false);
        QCOMPARE(item.order, attached);
        QCOMPARE(attached->name, QStringLiteral("B"));

        // With withOrder and no order in the map, the order goes (LeakSanitizer checks it is freed).
        item.fromVariantMap(mapOf({{KEY_ID, 4}}), true);
        QVERIFY(!item.order);

        // Clearing a list frees the records and their orders; a copy's end frees nothing.
        FavouriteItemList list(QVariantList {withOrder, withOrder}, true);
        {
            FavouriteItemList copy(list);
        }
        QCOMPARE(list.items.at(1)->order->name, QStringLiteral("A"));
        list.clear();
    }
};

TAVREL_TEST_MAIN(TestEntities)
#include "tst_entities.moc"
