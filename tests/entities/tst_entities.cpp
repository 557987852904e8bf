#include "branch.h"
#include "branchlist.h"
#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
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
#include "valuehelpers.h"

using namespace Entity;

namespace {
const QString NO_DATA = QStringLiteral("Нет данных");
const QDateTime FIXED_NOW(QDate(2024, 3, 5), QTime(12, 30), Qt::UTC);

// Publishes dictionary records "id:name" or "id:name:parentId" to the process-wide maps for the length
// of a test (only the kinds given), and empties those maps again before freeing them, as the
// database's query object does.
struct Dictionaries
{
    RegionList regions;
    BranchList branches;

    Dictionaries(const QStringList &regionEntries, const QStringList &branchEntries = {})
    {
        fill<Region>(regions, regionEntries);
        fill<Branch>(branches, branchEntries);
        publish();
    }
    template<class Record, class List> static void fill(List &list, const QStringList &entries)
    {
        for (const QString &entry : entries) {
            auto *record = new Record;
            record->id = entry.section(':', 0, 0).toLongLong();
            record->name = entry.section(':', 1, 1);
            record->parentId = entry.count(':') > 1 ? entry.section(':', 2).toLongLong() : -1;
            list.items.append(record);
        }
    }
    void publish()
    {
        if (!regions.items.isEmpty())
            FilterLinkList::regionMap(&regions);
        if (!branches.items.isEmpty())
            FilterLinkList::branchMap(&branches);
    }
    ~Dictionaries()
    {
        const bool hadRegions = !regions.items.isEmpty();
        const bool hadBranches = !branches.items.isEmpty();
        regions.clear();
        branches.clear();
        if (hadRegions)
            FilterLinkList::regionMap(&regions);
        if (hadBranches)
            FilterLinkList::branchMap(&branches);
    }
};

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
template<class List, class Record> void checkOwnership(Record *first, Record *second)
{
    auto *original = new List;
    original->items << first << second;
    {
        List copy(*original);
        QCOMPARE(copy.parent(), static_cast<QObject *>(nullptr));
        List assigned;
        assigned = copy;
        QCOMPARE(assigned.items, original->items);
    } // destroying the copies frees no record
    List survivor(original->items);
    delete original; // nor does destroying the list a copy was made from

    // A round trip builds new records and leaves the first ones alone.
    std::unique_ptr<List> rebuilt(listFromVariants<List>(variantsOf(survivor)));
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
// server-time shift raised for the reading or the writing when asked. A link's kind names the type it starts with;
// a favourite "reply" carries its order, a favourite "row" does not.
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
    if (kind == QLatin1String("region link"))
        return through(FilterLink(FilterLinkList::Region));
    if (kind == QLatin1String("error link"))
        return through(FilterLink(FilterLinkList::Error));
    if (kind == QLatin1String("link"))
        return through(FilterLink(FilterLinkList::Undefined));
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
    source.insert(KEY_ID, qlonglong(1) << 40);
    source.insert(KEY_TYPE, QStringLiteral("NewViewed"));
    source.insert(KEY_FULL_ACCESS, true);
    source.insert(KEY_URL, QUrl(QStringLiteral("http://example.org/order/9")));
    source.insert(KEY_OPENING_TIME, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5), Qt::UTC));
    source.insert(KEY_CLOSING_TIME, QDateTime(QDate(2023, 2, 3), QTime(4, 5, 6), Qt::UTC));
    source.insert(KEY_CHANGE_DATE, QDateTime(QDate(2023, 3, 4), QTime(5, 6, 7), Qt::UTC));
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
        QVERIFY(FilterLinkList::regionMap().isEmpty());
        QCOMPARE(FilterLinkList::regionMapStamp() + FilterLinkList::branchMapStamp(), 0);
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
        QList<Order *> orders {nullptr, new Order, nullptr, new Order};
        OrderList::deleteAll(orders); // skips the nulls, frees the rest
        QVERIFY(orders.isEmpty());
    }

    // Every record read from a map with each field set writes the same values back, and reads its own map
    // again unchanged. Written for the service (shift raised), only the named dates move, by the shift, and
    // read back from it they lose it again.
    void recordMapRoundTrip_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariantMap>("source");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("shifted");
        const auto row = [](const char *name, const QVariantMap &source, int size, const QStringList &shifted = {}) {
            QTest::newRow(name) << QString::fromLatin1(name) << source << size << shifted;
        };
        const QDateTime date(QDate(2020, 1, 1), QTime(6, 0), Qt::UTC);
        const qlonglong big = qlonglong(1) << 40;
        row("order", fullOrderMap(), 32, {KEY_CLOSING_TIME, KEY_OPENING_TIME}); // in key order
        row("filter",
            {{KEY_ID, big},
             {KEY_LOCAL_ID, 7},
             {KEY_DISPLAY_ORDER, 2},
             {KEY_NAME, "Дороги"},
             {KEY_SEARCH_AREA, SEARCH_AREA_ARCHIVE_ORDERS},
             {KEY_WITH_MORPHOLOGY, true},
             {KEY_AMOUNT_ORDERS_FROM, "10.50"},
             {KEY_STATE, "Sync"},
             {KEY_OPENING_TIME_FROM, date},
             {KEY_FILTER_CHANGE_DATE, date.addDays(1)},
             {KEY_WORDS_EXCEPTIONS, QStringList {"ремонт", "ямочный"}},
             {KEY_FILTER_BRANCHES, QVariantList {3, 1}},
             {KEY_ORDER_TYPE, ORDER_TYPE_OFFICIAL},
             {KEY_FILTER_REGIONS, QVariantList {77, 50}},
             {KEY_PRESELECTION, true}},
            27, {KEY_FILTER_CHANGE_DATE, KEY_OPENING_TIME_FROM});
        row("region", {{KEY_ID, big}, {KEY_PARENT_ID, 3}, {KEY_NAME, "Тверь"}, {KEY_REGION_CHANGE_DATE, date}}, 4);
        row("branch", {{KEY_ID, big}, {KEY_PARENT_ID, 3}, {KEY_NAME, "Связь"}, {KEY_BRANCH_CHANGE_DATE, date}}, 4);
        row("link", {{KEY_FILTER_ID, big}, {"regionid", 7}}, 2);
        row("favourite row", {{KEY_ID, big}, {KEY_ORDER_ID, big}, {KEY_LOGIN, "user"}, {KEY_STATE, "Deleted"}}, 4);
        row("favourite reply",
            {{KEY_ID, 4}, {KEY_ORDER_ID, 4}, {KEY_LOGIN, "user"}, {KEY_STATE, "New"}, {KEY_ORDERS, fullOrderMap()}}, 5,
            {KEY_ORDERS}); // the order inside moves
    }

    void recordMapRoundTrip()
    {
        QFETCH(QString, kind);
        QFETCH(QVariantMap, source);
        QFETCH(int, size);
        QFETCH(QStringList, shifted);

        const QVariantMap written = readInto(kind, {source});
        QCOMPARE(written.size(), size);
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            QCOMPARE(written.value(it.key()), it.value());
        QCOMPARE(readInto(kind, {written}), written);

        const QVariantMap sent = readInto(kind, {source}, ShiftedWrite);
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

    // The value a key is written with after the record read "before" (when given) and then "map": the
    // per-key rules, and what a key missing from "map" leaves. An order applies only the keys present,
    // so a reply can be laid over a stored order; the other records read a missing id as 0.
    void recordMapRules_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariantMap>("before");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QVariantMap>("expected");
        const auto row
            = [](const char *name, const char *kind, const QVariantMap &before, const QVariantMap &map,
                 const QVariantMap &expected) { QTest::newRow(name) << QString(kind) << before << map << expected; };
        const QDateTime date(QDate(2020, 1, 1), QTime(6, 0), Qt::UTC);

        row("fresh order", "order", {}, {},
            {{KEY_ID, qlonglong(-1)}, {KEY_TYPE, "New"}, {KEY_GOS_ID, NO_DATA}, {KEY_CHANGE_DATE, FIXED_NOW}});
        row("order laid over", "order", {{KEY_ID, 5}, {KEY_BRANCH, "Строительство"}, {KEY_CHANGE_DATE, date}},
            {{KEY_ID, 6}, {KEY_NAME, "Поставка"}},
            {{KEY_ID, 6}, {KEY_NAME, "Поставка"}, {KEY_BRANCH, "Строительство"}, {KEY_CHANGE_DATE, date}});
        row("order null gosid", "order", {}, {{KEY_GOS_ID, QVariant(QVariant::String)}}, {{KEY_GOS_ID, NO_DATA}});
        row("order id and flag as text", "order", {}, {{KEY_ID, "77"}, {KEY_FULL_ACCESS, "TRUE"}},
            {{KEY_ID, 77}, {KEY_FULL_ACCESS, true}});
        row("order type in capitals", "order", {}, {{KEY_TYPE, "VIEWED"}}, {{KEY_TYPE, "Viewed"}});
        row("order unknown type", "order", {}, {{KEY_TYPE, "Favourite"}}, {{KEY_TYPE, "Error"}});
        row("order service date", "order", {}, {{KEY_OPENING_TIME, "24.09.2015 10:15:00"}},
            {{KEY_OPENING_TIME, QDateTime(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC)}});
        row("filter, missing keys", "filter",
            {{KEY_ID, 2},
             {KEY_EASY_PURCHASE, true},
             {KEY_LOCAL_ID, 9},
             {KEY_STATE, "Deleted"},
             {KEY_FILTER_CHANGE_DATE, date}},
            {{KEY_NAME, "x"}},
            {{KEY_ID, 0},
             {KEY_EASY_PURCHASE, false},
             {KEY_LOCAL_ID, 9},
             {KEY_STATE, "Deleted"},
             {KEY_FILTER_CHANGE_DATE, date}});
        row("fresh filter", "filter", {}, {},
            {{KEY_STATE, "New"},
             {KEY_LOCAL_ID, -1},
             {KEY_FILTER_CHANGE_DATE, FIXED_NOW},
             {KEY_SEARCH_AREA, SEARCH_AREA_CURRENT_ORDERS},
             {KEY_ORDER_TYPE, ORDER_TYPE_COMMERCIAL}});
        row("filter unknown state", "filter", {}, {{KEY_STATE, "synced"}}, {{KEY_STATE, "Error"}});
        row("filter words as one line", "filter", {}, {{KEY_WORDS_EXCEPTIONS, " ремонт  окна "}},
            {{KEY_WORDS_EXCEPTIONS, QStringList {"ремонт", "окна"}}});
        row("region, missing keys", "region", {{KEY_ID, 5}, {KEY_PARENT_ID, 1}}, {{KEY_NAME, "x"}},
            {{KEY_ID, 0}, {KEY_PARENT_ID, 0}, {KEY_REGION_CHANGE_DATE, FIXED_NOW}});
        row("link, region into undefined", "link", {}, {{KEY_FILTER_ID, 5}, {"regionid", 7}},
            {{KEY_FILTER_ID, 5}, {"regionid", 7}});
        row("link, both keys", "link", {}, {{KEY_FILTER_ID, 5}, {"branchid", 8}, {"regionid", 7}}, {{"regionid", 7}});
        row("link, neither key", "link", {}, {{KEY_FILTER_ID, 5}}, {{"FilterLinkTypeError", -1}});
        row("link, other key, missing filter id", "region link", {{KEY_FILTER_ID, 5}, {"regionid", 7}},
            {{"branchid", 8}}, {{KEY_FILTER_ID, 0}, {"regionid", 0}});
        row("favourite reply", "favourite reply", {}, {{KEY_LOGIN, "user"}, {KEY_ORDER_ID, 15}},
            {{KEY_ID, 15}, {KEY_STATE, "New"}, {KEY_LOGIN, "user"}});
        row("favourite row", "favourite row", {}, {{KEY_ID, 1}, {KEY_ORDER_ID, 2}, {KEY_STATE, "Deleted"}},
            {{KEY_ID, 1}, {KEY_ORDER_ID, 1}, {KEY_LOGIN, QString()}});
        row("favourite, missing keys", "favourite row", {{KEY_ID, 3}, {KEY_LOGIN, "user"}}, {{KEY_STATE, "New"}},
            {{KEY_ID, 0}, {KEY_LOGIN, QString()}});
    }

    void recordMapRules()
    {
        QFETCH(QString, kind);
        QFETCH(QVariantMap, before);
        QFETCH(QVariantMap, map);
        QFETCH(QVariantMap, expected);
        const QVariantMap written
            = readInto(kind, before.isEmpty() ? QList<QVariantMap> {map} : QList<QVariantMap> {before, map});
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(written.value(it.key(), QStringLiteral("<missing>")), it.value());
    }

    void orderParentSector_data()
    {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("case-insensitive match") << "строительство ДОРОГ"
                                                << ""
                                                << "Строительство";
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
        Dictionaries dictionaries({},
                                  {"30:Дубль:1", "10:Строительство", "11:Строительство дорог:10", "12:Сироты:99",
                                   "1:Энергетика", "20:Дубль:10"});
        Order order;
        order.branch = branch;
        order.economicSectorParentName = parentName;
        QCOMPARE(order.economicSectorParentDisplayName(), expected);
    }

    void filterResetSearchCriteria()
    {
        Filter filter;
        filter.fromVariantMap({{KEY_ID, 4},
                               {KEY_NAME, "Мой"},
                               {KEY_STATE, "Sync"},
                               {KEY_ENABLED, true},
                               {KEY_WORD_SERCH, "бетон"},
                               {KEY_FILTER_REGIONS, QVariantList {1, 2}},
                               {KEY_OPENING_TIME_FROM, FIXED_NOW}});
        filter.resetSearchCriteria();
        QVERIFY(!filter.changed);
        const QVariantMap map = filter.toVariantMap();
        QVariantMap expected = map;
        for (const QString &key : {KEY_OPEN_COMPETITION, KEY_PRICE_QUOTATION, KEY_ELECTRONIC_AUCTION, KEY_PRESELECTION,
                                   KEY_EASY_PURCHASE, KEY_WITH_MORPHOLOGY})
            expected.insert(key, true);
        expected.insert(KEY_ORDER_TYPE, ORDER_TYPE_ALL);
        expected.insert(KEY_AMOUNT_ORDERS_TO, "0.00");
        expected.insert(KEY_WORD_SERCH, "");
        expected.insert(KEY_FILTER_REGIONS, QVariantList());
        expected.insert(KEY_OPENING_TIME_FROM, QDateTime());
        expected.insert(KEY_NAME, "Мой"); // who the filter is stays
        expected.insert(KEY_STATE, "Sync");
        QCOMPARE(map, expected);
    }

    void filterSetChanged_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("sync, raised") << int(FilterList::Sync) << true << int(FilterList::Edited);
        QTest::newRow("deleted, raised") << int(FilterList::Deleted) << true << int(FilterList::Deleted);
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
        FilterLinkList links(QVariantList {QVariantMap({{"regionid", 77}}), QVariantMap({{"branchid", 77}}),
                                           QVariantMap({{"branchid", 8}})});
        QCOMPARE(links.items.at(0)->region(), moscow);
        QCOMPARE(links.items.at(0)->branch(), static_cast<Branch *>(nullptr)); // same id, other type
        QCOMPARE(links.items.at(1)->branch(), dictionaries.branches.items.at(1));
        QCOMPARE(links.items.at(2)->branch(), static_cast<Branch *>(nullptr));
        QCOMPARE(FilterLinkList::branchMap().size(), 2); // looking up adds nothing
        links.clear();

        // A new region dictionary replaces the records: the filter must not hand out the old ones.
        Dictionaries replacement({"77:г. Москва", "50:Московская область"});
        QCOMPARE(filter.regionAt(0), replacement.regions.items.at(0));
        QCOMPARE(filter.regionAt(1), replacement.regions.items.at(1));
        QCOMPARE(filter.branchAt(0), roads); // the sector map did not move
        // A new id list through the map drops the resolved records at once.
        filter.fromVariantMap({{KEY_FILTER_REGIONS, QVariantList {50}}});
        QVERIFY(filter.regionCache.isEmpty());
        QCOMPARE(filter.regionAt(0), replacement.regions.items.at(1));
        // The filter panel's way to invalidate after editing the id list in place.
        filter.regions[0] = 77;
        filter.regionStamp -= 1;
        QCOMPARE(filter.regionAt(0), replacement.regions.items.at(0));
    }

    void favouriteOwnsItsOrder()
    {
        FavouriteItem item;
        const QVariantMap withOrder = {{KEY_ID, 4}, {KEY_ORDERS, QVariantMap {{KEY_ID, 4}, {KEY_NAME, "A"}}}};
        item.fromVariantMap(withOrder, true);
        Order *attached = item.order;
        QVERIFY(attached);
        // Overwritten in place, not replaced.
        item.fromVariantMap({{KEY_ID, 4}, {KEY_ORDERS, QVariantMap {{KEY_NAME, "B"}}}}, true);
        QVERIFY(item.order == attached && attached->name == QLatin1String("B") && attached->id == 4);
        // Without withOrder the order is left alone, whatever the map holds.
        item.fromVariantMap({{KEY_ID, 4}}, false);
        item.fromVariantMap(withOrder, false);
        QVERIFY(item.order == attached && attached->name == QLatin1String("B"));
        // With withOrder and no order in the map, the order goes (LeakSanitizer checks it is freed).
        item.fromVariantMap({{KEY_ID, 4}}, true);
        QVERIFY(!item.order);
        // Clearing a list frees the records and their orders; a copy's end frees nothing.
        FavouriteItemList list(QVariantList {withOrder, withOrder}, true);
        FavouriteItemList(list).items.clear();
        QCOMPARE(list.items.at(1)->order->name, QStringLiteral("A"));
        list.clear();
    }
};

TAVREL_CORE_TEST_MAIN(TestEntities)
#include "tst_entities.moc"
