#include "filter.h"

#include "clock.h"
#include "constants.h"
#include "filterlinklist.h"
#include "recordmaphelpers.h"
#include "valuehelpers.h"

namespace Entity {

namespace {
const QString AMOUNT_ZERO = QStringLiteral("0.00");

template<class Record>
Record *resolve(int index, const QList<qint64> &ids, int &stamp, QList<Record *> &cache, int currentStamp,
                const QMap<qint64, Record *> &map)
{
    if (index < 0 || index >= ids.size())
        return nullptr;
    if (stamp != currentStamp) {
        stamp = currentStamp;
        cache.clear();
    }
    while (cache.size() <= index)
        cache.append(nullptr);
    if (Record *record = cache.at(index))
        return record;
    Record *record = map.value(ids.at(index), nullptr);
    cache[index] = record;
    return record;
}

// A new id list drops the records resolved for the old one.
template<class Record> void readIds(const QVariant &value, QList<qint64> &ids, QList<Record *> &cache)
{
    cache.clear();
    ids.clear();
    const QVariantList elements = value.toList();
    for (const QVariant &element : elements)
        ids.append(element.toLongLong());
}

QVariantList writeIds(const QList<qint64> &ids)
{
    QVariantList list;
    list.reserve(ids.size());
    for (qint64 id : ids)
        list.append(qlonglong(id));
    return list;
}
} // namespace

Filter::Filter()
    : displayOrder(0)
    , id(-1)
    , localId(-1)
    , withMorphology(false)
    , allWordsRequired(false)
    , changed(true)
    , filterChangeDate(Clock::currentDateTimeUtc())
    , state(FilterList::New)
    , enabled(false)
    , openCompetition(false)
    , priceQuotation(false)
    , electronicAuction(false)
    , preselection(false)
    , easyPurchase(false)
    , branchStamp(0)
    , regionStamp(0)
{
}

void Filter::setChanged(bool value)
{
    changed = value;
    if (!value)
        return;
    filterChangeDate = Clock::currentDateTimeUtc();
    if (state == FilterList::Sync)
        state = FilterList::Edited;
}

void Filter::resetSearchCriteria()
{
    allWordsRequired = false;
    enabled = false;
    changed = false;
    wordSerch.clear();
    openCompetition = true;
    priceQuotation = true;
    electronicAuction = true;
    preselection = true;
    easyPurchase = true;
    withMorphology = true;
    searchArea = SEARCH_AREA_CURRENT_ORDERS;
    amountOrdersFrom = AMOUNT_ZERO;
    amountOrdersTo = AMOUNT_ZERO;
    openingTimeFrom = QDateTime();
    openingTimeTo = QDateTime();
    closingTimeFrom = QDateTime();
    closingTimeTo = QDateTime();
    wordsExceptions.clear();
    orderType = ORDER_TYPE_ALL;
    branches.clear();
    branchCache.clear();
    regions.clear();
    regionCache.clear();
}

void Filter::setWordsExceptions(const QString &text)
{
    wordsExceptions = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString Filter::wordsExceptionsText() const
{
    return wordsExceptions.join(QLatin1Char(' '));
}

Entity::Region *Filter::regionAt(int index)
{
    return resolve(index, regions, regionStamp, regionCache, FilterLinkList::regionMapStamp(),
                   FilterLinkList::regionMap());
}

Entity::Branch *Filter::branchAt(int index)
{
    return resolve(index, branches, branchStamp, branchCache, FilterLinkList::branchMapStamp(),
                   FilterLinkList::branchMap());
}

void Filter::fromVariantMap(const QVariantMap &map)
{
    id = map.value(KEY_ID).toLongLong();
    displayOrder = map.value(KEY_DISPLAY_ORDER).toInt();
    name = map.value(KEY_NAME).toString();
    login = map.value(KEY_LOGIN).toString();
    searchArea = map.value(KEY_SEARCH_AREA).toString();
    wordSerch = map.value(KEY_WORD_SERCH).toString();
    enabled = variantIsTrue(map.value(KEY_ENABLED));
    withMorphology = variantIsTrue(map.value(KEY_WITH_MORPHOLOGY));
    allWordsRequired = variantIsTrue(map.value(KEY_ALL_WORDS_REQUIRED));
    amountOrdersFrom = map.value(KEY_AMOUNT_ORDERS_FROM).toString();
    amountOrdersTo = map.value(KEY_AMOUNT_ORDERS_TO).toString();
    openingTimeFrom = parseServerDateTime(map.value(KEY_OPENING_TIME_FROM));
    openingTimeTo = parseServerDateTime(map.value(KEY_OPENING_TIME_TO));
    closingTimeFrom = parseServerDateTime(map.value(KEY_CLOSING_TIME_FROM));
    closingTimeTo = parseServerDateTime(map.value(KEY_CLOSING_TIME_TO));
    orderType = map.value(KEY_ORDER_TYPE).toString();
    openCompetition = variantIsTrue(map.value(KEY_OPEN_COMPETITION));
    priceQuotation = variantIsTrue(map.value(KEY_PRICE_QUOTATION));
    electronicAuction = variantIsTrue(map.value(KEY_ELECTRONIC_AUCTION));
    preselection = variantIsTrue(map.value(KEY_PRESELECTION));
    easyPurchase = variantIsTrue(map.value(KEY_EASY_PURCHASE));

    readIfPresent(map, KEY_LOCAL_ID, [this](const QVariant &value) { localId = value.toLongLong(); });
    readIfPresent(map, KEY_FILTER_CHANGE_DATE,
                  [this](const QVariant &value) { filterChangeDate = parseServerDateTime(value); });
    readIfPresent(map, KEY_STATE,
                  [this](const QVariant &value) { state = FilterList::stringToState(value.toString()); });
    readIfPresent(map, KEY_WORDS_EXCEPTIONS, [this](const QVariant &value) { readWordsExceptions(value); });
    readIfPresent(map, KEY_FILTER_BRANCHES, [this](const QVariant &value) { readIds(value, branches, branchCache); });
    readIfPresent(map, KEY_FILTER_REGIONS, [this](const QVariant &value) { readIds(value, regions, regionCache); });
}

void Filter::readWordsExceptions(const QVariant &value)
{
    // A row of the filter table holds the words as one line of text, not as a list.
    if (value.type() == QVariant::String) {
        setWordsExceptions(value.toString());
        return;
    }
    wordsExceptions.clear();
    const QVariantList words = value.toList();
    for (const QVariant &word : words)
        wordsExceptions.append(word.toString());
}

QVariantMap Filter::toVariantMap()
{
    if (searchArea.isEmpty())
        searchArea = SEARCH_AREA_CURRENT_ORDERS;
    if (orderType.isEmpty())
        orderType = ORDER_TYPE_COMMERCIAL;

    QVariantMap map;
    map.insert(KEY_ID, qlonglong(id));
    map.insert(KEY_DISPLAY_ORDER, displayOrder);
    map.insert(KEY_LOCAL_ID, qlonglong(localId));
    map.insert(KEY_NAME, name);
    map.insert(KEY_LOGIN, login);
    map.insert(KEY_SEARCH_AREA, searchArea);
    map.insert(KEY_WORD_SERCH, wordSerch);
    map.insert(KEY_ENABLED, enabled);
    map.insert(KEY_WITH_MORPHOLOGY, withMorphology);
    map.insert(KEY_ALL_WORDS_REQUIRED, allWordsRequired);
    map.insert(KEY_AMOUNT_ORDERS_FROM, amountOrdersFrom);
    map.insert(KEY_AMOUNT_ORDERS_TO, amountOrdersTo);
    map.insert(KEY_OPENING_TIME_FROM, variantToDateTime(openingTimeFrom));
    map.insert(KEY_OPENING_TIME_TO, variantToDateTime(openingTimeTo));
    map.insert(KEY_CLOSING_TIME_FROM, variantToDateTime(closingTimeFrom));
    map.insert(KEY_CLOSING_TIME_TO, variantToDateTime(closingTimeTo));
    map.insert(KEY_FILTER_CHANGE_DATE, variantToDateTime(filterChangeDate));
    map.insert(KEY_STATE, FilterList::stateToString(state));
    map.insert(KEY_WORDS_EXCEPTIONS, QVariant(wordsExceptions).toList());
    map.insert(KEY_FILTER_BRANCHES, writeIds(branches));
    map.insert(KEY_FILTER_REGIONS, writeIds(regions));
    map.insert(KEY_ORDER_TYPE, orderType);
    map.insert(KEY_OPEN_COMPETITION, openCompetition);
    map.insert(KEY_PRICE_QUOTATION, priceQuotation);
    map.insert(KEY_ELECTRONIC_AUCTION, electronicAuction);
    map.insert(KEY_PRESELECTION, preselection);
    map.insert(KEY_EASY_PURCHASE, easyPurchase);
    return map;
}

} // namespace Entity
