#include "branch.h"
#include "branchlist.h"
#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
#include "favouriteitem.h"
#include "filter.h"
#include "filterlink.h"
#include "order.h"
#include "region.h"
#include "regionlist.h"
#include "valuehelpers.h"

using namespace Entity;

namespace {
const QDateTime FIXED_NOW(QDate(2024, 3, 5), QTime(12, 30), Qt::UTC);
const QDateTime DATE(QDate(2020, 1, 1), QTime(6, 0), Qt::UTC);

// A map of alternating keys and values.
template<class... Values> QVariantMap m(const Values &...values)
{
    const QVariantList pairs {QVariant(values)...};
    QVariantMap map;
    for (int i = 0; i + 1 < pairs.size(); i += 2)
        map.insert(pairs.at(i).toString(), pairs.at(i + 1));
    return map;
}

// Publishes dictionary records "id:name" or "id:name:parentId" to the process-wide maps for the length
// of a test, and empties the maps again before freeing the records, as the database's query object does.
struct Dictionaries
{
    RegionList regions;
    BranchList branches;
    Dictionaries(const QStringList &regionEntries, const QStringList &branchEntries = {})
    {
        fill<Region>(regions, regionEntries);
        fill<Branch>(branches, branchEntries);
    }
    template<class Record, class List> void fill(List &list, const QStringList &entries)
    {
        for (const QString &entry : entries) {
            auto *record = new Record;
            record->id = entry.section(':', 0, 0).toLongLong();
            record->name = entry.section(':', 1, 1);
            record->parentId = entry.count(':') > 1 ? entry.section(':', 2).toLongLong() : -1;
            list.items.append(record);
        }
        FilterLinkList::regionMap(&regions);
        FilterLinkList::branchMap(&branches);
    }
    ~Dictionaries()
    {
        regions.clear();
        branches.clear();
        fill<Region>(regions, {});
    }
};

// The ownership rule, the same for every list: copies share records, only clearing frees them.
// Run under AddressSanitizer, a record freed too early or twice, or never, fails the test.
template<class List, class Record> void checkOwnership(Record *first, Record *second)
{
    constexpr bool favourites = std::is_same<List, FavouriteItemList>::value;
    const auto variantsOf = [](const List &list) {
        if constexpr (favourites)
            return list.toVariantList(true);
        else
            return list.toVariantList();
    };
    auto *original = new List;
    original->items << first << second;
    {
        List copy(*original);
        QCOMPARE(copy.items, original->items);
    } // destroying the copies frees no record
    List survivor(original->items);
    delete original; // nor does destroying the list a copy was made from

    // A round trip builds new records and leaves the first ones alone.
    std::unique_ptr<List> rebuilt;
    if constexpr (favourites)
        rebuilt.reset(new List(variantsOf(survivor), true));
    else
        rebuilt.reset(new List(variantsOf(survivor)));
    QVERIFY(rebuilt->items.size() == 2 && rebuilt->items.at(0) != first);
    QCOMPARE(variantsOf(*rebuilt), variantsOf(survivor));
    rebuilt->clear();

    // Clearing a shared list empties only that list's pointers.
    List sharer(survivor);
    survivor.items.append(nullptr);
    survivor.clear();
    QVERIFY(survivor.items.isEmpty() && sharer.items.size() == 2);
}

// Reads the maps one after another into one new record of the kind and writes it back, with the
// server-time shift raised for the reading or the writing when asked. A link's kind names the type it
// starts with; a favourite "reply" carries its order, a favourite "row" does not.
enum Shift { Unshifted, ShiftedRead, ShiftedWrite };
QVariantMap readInto(const QString &kind, const QList<QVariantMap> &maps, Shift shift = Unshifted)
{
    const auto through = [&](auto &&record, auto... withOrder) {
        if (shift == ShiftedRead)
            beginServerTimeShift();
        for (const QVariantMap &map : maps)
            record.fromVariantMap(map, withOrder...);
        if (shift == ShiftedRead)
            endServerTimeShift();
        if (shift == ShiftedWrite)
            beginServerTimeShift();
        const QVariantMap written = record.toVariantMap(withOrder...);
        if (shift == ShiftedWrite)
            endServerTimeShift();
        return written;
    };
    if (kind == QLatin1String("order"))
        return through(Order());
    if (kind == QLatin1String("filter"))
        return through(Filter());
    if (kind == QLatin1String("region"))
        return through(Region());
    if (kind == QLatin1String("branch"))
        return through(Branch());
    if (kind.endsWith(QLatin1String("link")))
        return through(FilterLink(kind == QLatin1String("link") ? FilterLinkList::Undefined : FilterLinkList::Region));
    return through(FavouriteItem(), kind == QLatin1String("favourite reply"));
}

// An order with every field away from its default.
QVariantMap fullOrderMap()
{
    QVariantMap source = Order().toVariantMap();
    for (auto it = source.begin(); it != source.end(); ++it) {
        if (it->type() == QVariant::String && it.key() != KEY_TYPE)
            *it = QStringLiteral("value of ") + it.key();
    }
    source.insert(m(KEY_ID, qlonglong(1) << 40, KEY_TYPE, "NewViewed", KEY_FULL_ACCESS, true, KEY_URL,
                    QUrl(QStringLiteral("http://example.org/order/9")), KEY_OPENING_TIME, DATE, KEY_CLOSING_TIME,
                    DATE.addDays(30), KEY_CHANGE_DATE, DATE.addDays(60)));
    return source;
}
} // namespace

class TestEntities : public QObject
{
    Q_OBJECT

private slots:
    // Must run first: it sees the maps as the process starts.
    void dictionaryMapsStartEmpty()
    {
        QVERIFY(FilterLinkList::regionMap().isEmpty() && FilterLinkList::regionMapStamp() == 0);
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
        checkOwnership<OrderList>(new Order, new Order);
        checkOwnership<FilterList>(new Filter, new Filter);
        checkOwnership<FilterLinkList>(new FilterLink(FilterLinkList::Region), new FilterLink(FilterLinkList::Region));
        checkOwnership<FavouriteItemList>(new FavouriteItem, new FavouriteItem);
        checkOwnership<RegionList>(new Region, new Region);
        checkOwnership<BranchList>(new Branch, new Branch);
    }

    // What a record writes after reading "before" (when given) and then "map": the per-key rules, and
    // what a key missing from "map" leaves (an order applies only the keys present, so a reply can be
    // laid over a stored order; the other records read a missing id as 0). Whatever a record writes, it
    // reads back unchanged. A round trip ("shifted" given) is a map with every field set that is written
    // back as it is; written for the service (shift raised) only the shifted dates move, by the shift,
    // and read back from the service they lose it again.
    void recordMaps_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariantMap>("before");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QVariantMap>("expected");
        QTest::addColumn<QStringList>("shifted"); // "-": no round trip
        const auto row = [](const char *name, const char *kind, const QVariantMap &before, const QVariantMap &map,
                            const QVariantMap &expected) {
            QTest::newRow(name) << QString(kind) << before << map << expected << QStringList {"-"};
        };
        const auto trip = [](const char *kind, const QVariantMap &source, const QStringList &shifted = {}) {
            QTest::newRow(kind) << QString(kind) << QVariantMap() << source << source << shifted;
        };
        const qlonglong big = qlonglong(1) << 40;
        trip("order", fullOrderMap(), {KEY_CLOSING_TIME, KEY_OPENING_TIME}); // in key order
        trip("filter",
             m(KEY_ID, big, KEY_LOCAL_ID, 7, KEY_DISPLAY_ORDER, 2, KEY_NAME, "Дороги", KEY_SEARCH_AREA,
               SEARCH_AREA_ARCHIVE_ORDERS, KEY_WITH_MORPHOLOGY, true, KEY_AMOUNT_ORDERS_FROM, "10.50", KEY_STATE,
               "Sync", KEY_OPENING_TIME_FROM, DATE, KEY_FILTER_CHANGE_DATE, DATE.addDays(1), KEY_WORDS_EXCEPTIONS,
               QStringList {"ремонт", "ямочный"}, KEY_FILTER_BRANCHES, QVariantList {3, 1}, KEY_ORDER_TYPE,
               ORDER_TYPE_OFFICIAL, KEY_FILTER_REGIONS, QVariantList {77, 50}, KEY_PRESELECTION, true),
             {KEY_FILTER_CHANGE_DATE, KEY_OPENING_TIME_FROM});
        trip("region", m(KEY_ID, big, KEY_PARENT_ID, 3, KEY_NAME, "Тверь", KEY_REGION_CHANGE_DATE, DATE));
        trip("branch", m(KEY_ID, big, KEY_PARENT_ID, 3, KEY_NAME, "Связь", KEY_BRANCH_CHANGE_DATE, DATE));
        trip("favourite reply",
             m(KEY_ID, 4, KEY_ORDER_ID, 4, KEY_LOGIN, "user", KEY_STATE, "New", KEY_ORDERS, fullOrderMap()),
             {KEY_ORDERS}); // the order inside moves

        row("fresh order", "order", {}, {},
            m(KEY_ID, qlonglong(-1), KEY_TYPE, "New", KEY_GOS_ID, "Нет данных", KEY_CHANGE_DATE, FIXED_NOW));
        row("order laid over", "order", m(KEY_ID, 5, KEY_BRANCH, "Строительство", KEY_CHANGE_DATE, DATE),
            m(KEY_ID, "6", KEY_NAME, "Поставка"),
            m(KEY_ID, 6, KEY_NAME, "Поставка", KEY_BRANCH, "Строительство", KEY_CHANGE_DATE, DATE));
        row("filter, missing keys", "filter",
            m(KEY_ID, 2, KEY_EASY_PURCHASE, true, KEY_LOCAL_ID, 9, KEY_STATE, "Deleted", KEY_FILTER_CHANGE_DATE, DATE),
            m(KEY_NAME, "x"),
            m(KEY_ID, 0, KEY_EASY_PURCHASE, false, KEY_LOCAL_ID, 9, KEY_STATE, "Deleted", KEY_FILTER_CHANGE_DATE,
              DATE));
        row("filter words as one line", "filter", {}, m(KEY_WORDS_EXCEPTIONS, " ремонт  окна "),
            m(KEY_WORDS_EXCEPTIONS, QStringList {"ремонт", "окна"}));
        row("region, missing keys", "region", m(KEY_ID, 5, KEY_PARENT_ID, 1), m(KEY_NAME, "x"),
            m(KEY_ID, 0, KEY_PARENT_ID, 0, KEY_REGION_CHANGE_DATE, FIXED_NOW));
        row("link, both keys", "link", {}, m(KEY_FILTER_ID, big, "branchid", 8, "regionid", 7),
            m(KEY_FILTER_ID, big, "regionid", 7));
        row("link, neither key", "link", {}, m(KEY_FILTER_ID, 5), m("FilterLinkTypeError", -1));
        row("link, other key, missing filter id", "region link", m(KEY_FILTER_ID, 5, "regionid", 7), m("branchid", 8),
            m(KEY_FILTER_ID, 0, "regionid", 0));
        row("favourite reply", "favourite reply", {}, m(KEY_LOGIN, "user", KEY_ORDER_ID, 15),
            m(KEY_ID, 15, KEY_STATE, "New", KEY_LOGIN, "user"));
        row("favourite row", "favourite row", {}, m(KEY_ID, 1, KEY_ORDER_ID, 2, KEY_STATE, "Deleted"),
            m(KEY_ID, 1, KEY_ORDER_ID, 1, KEY_LOGIN, QString()));
    }

    void recordMaps()
    {
        QFETCH(QString, kind);
        QFETCH(QVariantMap, before);
        QFETCH(QVariantMap, map);
        QFETCH(QVariantMap, expected);
        QFETCH(QStringList, shifted);
        const QVariantMap written
            = readInto(kind, before.isEmpty() ? QList<QVariantMap> {map} : QList<QVariantMap> {before, map});
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(written.value(it.key(), QStringLiteral("<missing>")), it.value());
        QCOMPARE(readInto(kind, {written}), written);
        if (shifted == QStringList {"-"})
            return;
        const QVariantMap sent = readInto(kind, {map}, ShiftedWrite);
        QVariantMap reply = sent; // the moved dates as the service writes them
        QStringList moved;
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            if (sent.value(it.key()) == it.value())
                continue;
            moved << it.key();
            if (it->type() == QVariant::DateTime)
                QCOMPARE(sent.value(it.key()).toDateTime(), it->toDateTime().addSecs(SERVER_TIME_SHIFT_SECONDS));
            reply.insert(it.key(), sent.value(it.key()).toDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        }
        QCOMPARE(moved, shifted);
        if (!shifted.contains(KEY_ORDERS)) // the order inside is the order row's case
            QCOMPARE(readInto(kind, {reply}, ShiftedRead), written);
    }

    void orderParentSector_data()
    {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *branch, const char *parent, const char *expected) {
            QTest::newRow(name) << QString(branch) << QString(parent) << QString(expected);
        };
        row("case-insensitive match", "строительство ДОРОГ", "", "Строительство");
        row("no such sector", "Космос", "", "");
        row("service's own text", "Космос", "Наука", "Наука");
        row("first in id order", "Дубль", "", "Строительство");
    }

    void orderParentSector()
    {
        QFETCH(QString, branch);
        QFETCH(QString, parentName);
        QFETCH(QString, expected);
        Dictionaries dictionaries({},
                                  {"30:Дубль:1", "10:Строительство", "11:Строительство дорог:10", "12:Сироты:99",
                                   "1:Энергетика", "20:Дубль:10"});
        Order order;
        order.branch = branch;
        order.economicSectorParentName = parentName;
        QCOMPARE(order.economicSectorParentDisplayName(), expected);
    }

    void filtersAndLinksResolveAfterMapRebuild()
    {
        Dictionaries dictionaries({"77:Москва"}, {"3:Дороги", "77:Связь"});
        Region *moscow = dictionaries.regions.items.at(0);
        Branch *roads = dictionaries.branches.items.at(0);
        Filter filter;
        filter.regions << 77 << 50;
        filter.branches << 3;
        QCOMPARE(filter.regionAt(2), static_cast<Region *>(nullptr));
        QCOMPARE(filter.regionAt(0), moscow);
        QCOMPARE(filter.regionAt(1), static_cast<Region *>(nullptr)); // not loaded yet
        QCOMPARE(filter.branchAt(0), roads);
        FilterLinkList links(QVariantList {m("regionid", 77), m("branchid", 77), m("branchid", 8)});
        QCOMPARE(links.items.at(0)->region(), moscow);
        QCOMPARE(links.items.at(0)->branch(), static_cast<Branch *>(nullptr)); // same id, other type
        QCOMPARE(links.items.at(1)->branch(), dictionaries.branches.items.at(1));
        QCOMPARE(links.items.at(2)->branch(), static_cast<Branch *>(nullptr));
        QCOMPARE(FilterLinkList::branchMap().size(), 2); // looking up adds nothing
        links.clear();

        // A new region dictionary replaces the records: the filter must not hand out the old ones.
        Dictionaries replacement({"77:г. Москва", "50:Московская область"}, {"3:Дороги"});
        QCOMPARE(filter.regionAt(0), replacement.regions.items.at(0));
        QCOMPARE(filter.regionAt(1), replacement.regions.items.at(1));
        // A new id list through the map drops the resolved records at once.
        filter.fromVariantMap(m(KEY_FILTER_REGIONS, QVariantList {50}));
        QVERIFY(filter.regionCache.isEmpty());
        QCOMPARE(filter.regionAt(0), replacement.regions.items.at(1));
    }

    void favouriteOwnsItsOrder()
    {
        FavouriteItem item;
        const QVariantMap withOrder = m(KEY_ID, 4, KEY_ORDERS, m(KEY_ID, 4, KEY_NAME, "A"));
        item.fromVariantMap(withOrder, true);
        Order *attached = item.order;
        // Overwritten in place, not replaced.
        item.fromVariantMap(m(KEY_ID, 4, KEY_ORDERS, m(KEY_NAME, "B")), true);
        QVERIFY(attached && item.order == attached && attached->name == QLatin1String("B") && attached->id == 4);
        // Without withOrder the order is left alone, whatever the map holds.
        item.fromVariantMap(m(KEY_ID, 4), false);
        item.fromVariantMap(withOrder, false);
        QVERIFY(item.order == attached && attached->name == QLatin1String("B"));
        // With withOrder and no order in the map, the order goes (LeakSanitizer checks it is freed).
        item.fromVariantMap(m(KEY_ID, 4), true);
        QVERIFY(!item.order);
    }
};

TAVREL_CORE_TEST_MAIN(TestEntities)
#include "tst_entities.moc"
