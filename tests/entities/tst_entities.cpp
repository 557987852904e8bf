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

// Owns the dictionary records a test hands to the process-wide maps, and empties the maps again
// before freeing them, as the database's query object does.
struct Dictionaries
{
    RegionList regions;
    BranchList branches;

    template<class Record, class List> Record *add(List &list, qint64 id, const QString &name, qint64 parentId)
    {
        auto *record = new Record;
        record->id = id;
        record->parentId = parentId;
        record->name = name;
        list.items.append(record);
        return record;
    }
    Region *addRegion(qint64 id, const QString &name, qint64 parentId = -1)
    {
        return add<Region>(regions, id, name, parentId);
    }
    Branch *addBranch(qint64 id, const QString &name, qint64 parentId = -1)
    {
        return add<Branch>(branches, id, name, parentId);
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
        QStringList moved;
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            if (sent.value(it.key()) == it.value())
                continue;
            moved << it.key();
            if (it->type() == QVariant::DateTime)
                QCOMPARE(sent.value(it.key()).toDateTime(), it->toDateTime().addSecs(SERVER_TIME_SHIFT_SECONDS));
        }
        QCOMPARE(moved, shifted);
        if (shifted.contains(KEY_ORDERS))
            return; // the order inside is the order row's case
        QVariantMap reply = sent; // the moved dates as the service writes them
        for (const QString &key : moved)
            reply.insert(key, sent.value(key).toDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        QCOMPARE(readInto(kind, {reply}, ShiftedRead), written);
    }

    // The value a key is written with after the record read "before" and then "map": the per-key rules,
    // and what a key missing from "map" leaves. An order applies only the keys present, so a reply can be
    // laid over a stored order; the other records read a missing id as 0.
    void recordMapRules_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariantMap>("before");
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QVariantMap>("expected");
        const auto row = [](const char *name, const QString &kind, const QVariantMap &before, const QVariantMap &map,
                            const QVariantMap &expected) { QTest::newRow(name) << kind << before << map << expected; };
        const QVariantMap none;
        const QString order = QStringLiteral("order");
        const QDateTime date(QDate(2020, 1, 1), QTime(6, 0), Qt::UTC);

        row("fresh order", order, none, none,
            {{KEY_ID, qlonglong(-1)}, {KEY_TYPE, "New"}, {KEY_GOS_ID, NO_DATA}, {KEY_CHANGE_DATE, FIXED_NOW}});
        QVariantMap laidOver = {{KEY_ID, 5},
                                {KEY_BRANCH, "Строительство"},
                                {KEY_TYPE, "Viewed"},
                                {KEY_FULL_ACCESS, true},
                                {KEY_CHANGE_DATE, date}};
        const QVariantMap stored = laidOver;
        laidOver.insert(KEY_ID, 6);
        laidOver.insert(KEY_NAME, "Поставка");
        row("order laid over", order, stored, {{KEY_ID, 6}, {KEY_NAME, "Поставка"}}, laidOver);
        row("order null gosid", order, none, {{KEY_GOS_ID, QVariant(QVariant::String)}}, {{KEY_GOS_ID, NO_DATA}});
        row("order id as text", order, none, {{KEY_ID, "77"}}, {{KEY_ID, 77}});
        row("order full access text", order, none, {{KEY_FULL_ACCESS, "TRUE"}}, {{KEY_FULL_ACCESS, true}});
        row("order type in capitals", order, none, {{KEY_TYPE, "VIEWED"}}, {{KEY_TYPE, "Viewed"}});
        row("order unknown type", order, none, {{KEY_TYPE, "Favourite"}}, {{KEY_TYPE, "Error"}});
        row("order service date", order, none, {{KEY_OPENING_TIME, "24.09.2015 10:15:00"}},
            {{KEY_OPENING_TIME, QDateTime(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC)}});
        const QVariantMap storedFilter = {{KEY_ID, 2},       {KEY_NAME, "x"},        {KEY_EASY_PURCHASE, true},
                                          {KEY_LOCAL_ID, 9}, {KEY_STATE, "Deleted"}, {KEY_FILTER_CHANGE_DATE, date}};
        row("filter, missing keys", "filter", storedFilter, none,
            {{KEY_ID, 0},
             {KEY_NAME, QString()},
             {KEY_EASY_PURCHASE, false},
             {KEY_LOCAL_ID, 9},
             {KEY_STATE, "Deleted"},
             {KEY_FILTER_CHANGE_DATE, date}});
        row("fresh filter", "filter", none, none,
            {{KEY_STATE, "New"},
             {KEY_LOCAL_ID, -1},
             {KEY_FILTER_CHANGE_DATE, FIXED_NOW},
             {KEY_SEARCH_AREA, SEARCH_AREA_CURRENT_ORDERS},
             {KEY_ORDER_TYPE, ORDER_TYPE_COMMERCIAL}});
        row("filter unknown state", "filter", none, {{KEY_STATE, "synced"}}, {{KEY_STATE, "Error"}});
        row("filter words as one line", "filter", none, {{KEY_WORDS_EXCEPTIONS, " ремонт  окна "}},
            {{KEY_WORDS_EXCEPTIONS, QStringList {"ремонт", "окна"}}});
        row("region, missing keys", "region", {{KEY_ID, 5}, {KEY_PARENT_ID, 1}}, none,
            {{KEY_ID, 0}, {KEY_PARENT_ID, 0}, {KEY_REGION_CHANGE_DATE, FIXED_NOW}});
        row("link, region into undefined", "link", none, {{KEY_FILTER_ID, 5}, {"regionid", 7}},
            {{KEY_FILTER_ID, 5}, {"regionid", 7}});
        row("link, both keys", "link", none, {{KEY_FILTER_ID, 5}, {"branchid", 8}, {"regionid", 7}}, {{"regionid", 7}});
        row("link, neither key", "link", none, {{KEY_FILTER_ID, 5}}, {{"FilterLinkTypeError", -1}});
        row("link, other key", "region link", none, {{KEY_FILTER_ID, 5}, {"branchid", 8}}, {{"regionid", 0}});
        row("link, missing filter id", "region link", {{KEY_FILTER_ID, 5}, {"regionid", 7}}, {{"regionid", 8}},
            {{KEY_FILTER_ID, 0}, {"regionid", 8}});
        row("favourite reply", "favourite reply", none, {{KEY_LOGIN, "user"}, {KEY_ORDER_ID, 15}},
            {{KEY_ID, 15}, {KEY_STATE, "New"}, {KEY_LOGIN, "user"}});
        row("favourite row", "favourite row", none, {{KEY_ID, 1}, {KEY_ORDER_ID, 2}, {KEY_STATE, "Deleted"}},
            {{KEY_ID, 1}, {KEY_ORDER_ID, 1}, {KEY_LOGIN, QString()}});
        row("favourite, missing keys", "favourite row", {{KEY_ID, 3}, {KEY_LOGIN, "user"}}, none,
            {{KEY_ID, 0}, {KEY_LOGIN, QString()}});
    }

    void recordMapRules()
    {
        QFETCH(QString, kind);
        QFETCH(QVariantMap, before);
        QFETCH(QVariantMap, map);
        QFETCH(QVariantMap, expected);
        // An empty "before" means a fresh record.
        const QVariantMap written
            = readInto(kind, before.isEmpty() ? QList<QVariantMap> {map} : QList<QVariantMap> {before, map});
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QVERIFY2(written.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(written.value(it.key()), it.value());
        }
    }

    void orderParentSector_data()
    {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &branch, const QString &parentName,
                            const QString &expected) { QTest::newRow(name) << branch << parentName << expected; };
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
        QCOMPARE(map.value(KEY_ORDER_TYPE).toString(), ORDER_TYPE_ALL);
        QCOMPARE(map.value(KEY_AMOUNT_ORDERS_TO).toString(), QStringLiteral("0.00"));
        for (const QString &key : {KEY_OPEN_COMPETITION, KEY_PRICE_QUOTATION, KEY_ELECTRONIC_AUCTION, KEY_PRESELECTION,
                                   KEY_EASY_PURCHASE, KEY_WITH_MORPHOLOGY})
            QVERIFY2(map.value(key).toBool(), qPrintable(key));
        QVERIFY(map.value(KEY_WORD_SERCH).toString().isEmpty() && map.value(KEY_FILTER_REGIONS).toList().isEmpty());
        QVERIFY(!map.value(KEY_OPENING_TIME_FROM).toDateTime().isValid());
        // Who the filter is stays.
        QCOMPARE(filter.name, QStringLiteral("Мой"));
        QCOMPARE(filter.state, FilterList::Sync);
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

    void filterResolvesAgainAfterMapRebuild()
    {
        Dictionaries dictionaries;
        Region *moscow = dictionaries.addRegion(77, QStringLiteral("Москва"));
        Branch *roads = dictionaries.addBranch(3, QStringLiteral("Дороги"));
        dictionaries.publish();

        Filter filter;
        filter.regions << 77 << 50;
        filter.branches << 3;
        QCOMPARE(filter.regionAt(2), static_cast<Region *>(nullptr));
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
        filter.fromVariantMap({{KEY_FILTER_REGIONS, QVariantList {50}}});
        QVERIFY(filter.regionCache.isEmpty());
        QCOMPARE(filter.regionAt(0), moscowRegion);

        // The filter panel's way to invalidate after editing the id list in place.
        filter.regions[0] = 77;
        filter.regionStamp -= 1;
        QCOMPARE(filter.regionAt(0), newMoscow);
    }

    void linkResolves()
    {
        Dictionaries dictionaries;
        Region *region = dictionaries.addRegion(7, QStringLiteral("Тверь"));
        Branch *branch = dictionaries.addBranch(7, QStringLiteral("Связь"));
        dictionaries.publish();
        FilterLinkList links(QVariantList {QVariantMap({{"regionid", 7}}), QVariantMap({{"branchid", 7}}),
                                           QVariantMap({{"branchid", 8}})});
        QCOMPARE(links.items.at(0)->region(), region);
        QCOMPARE(links.items.at(0)->branch(), static_cast<Branch *>(nullptr)); // same id, other type
        QCOMPARE(links.items.at(1)->branch(), branch);
        QCOMPARE(links.items.at(2)->branch(), static_cast<Branch *>(nullptr));
        QCOMPARE(FilterLinkList::branchMap().size(), 1); // looking up adds nothing
        links.clear();
    }

    void favouriteOwnsItsOrder()
    {
        FavouriteItem item;
        const QVariantMap withOrder = {{KEY_ID, 4}, {KEY_ORDERS, QVariantMap {{KEY_ID, 4}, {KEY_NAME, "A"}}}};
        item.fromVariantMap(withOrder, true);
        QVERIFY(item.order);
        Order *attached = item.order;

        // Overwritten in place, not replaced.
        item.fromVariantMap({{KEY_ID, 4}, {KEY_ORDERS, QVariantMap {{KEY_NAME, "B"}}}}, true);
        QCOMPARE(item.order, attached);
        QCOMPARE(attached->name, QStringLiteral("B"));
        QCOMPARE(attached->id, qint64(4));

        // Without withOrder the order is left alone, whatever the map holds.
        item.fromVariantMap({{KEY_ID, 4}}, false);
        item.fromVariantMap(withOrder, false);
        QCOMPARE(item.order, attached);
        QCOMPARE(attached->name, QStringLiteral("B"));

        // With withOrder and no order in the map, the order goes (LeakSanitizer checks it is freed).
        item.fromVariantMap({{KEY_ID, 4}}, true);
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

TAVREL_CORE_TEST_MAIN(TestEntities)
#include "tst_entities.moc"
