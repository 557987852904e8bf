#include "order.h"

#include "branch.h"
#include "clock.h"
#include "constants.h"
#include "filterlinklist.h"
#include "recordmaphelpers.h"
#include "valuehelpers.h"

#include <QCoreApplication>

namespace Entity {

namespace {
QStringList splitLines(const QString &text)
{
    // Every single carriage return and every single line feed separates entries; empty ones stay.
    QStringList lines;
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.mid(start));
    return lines;
}
} // namespace

Order::Order()
    : type(OrderList::New)
    , id(-1)
    , changeDate(Clock::currentDateTimeUtc())
    , originalTitle(noDataText())
    , gosId(noDataText())
    , financingSource(noDataText())
    , information(noDataText())
    , applicationGuarantee(noDataText())
    , contractGuarantee(noDataText())
    , subjectFullName(noDataText())
    , subjectShortName(noDataText())
    , legalFormName(noDataText())
    , ogrnInnKpp(noDataText())
    , orderSourceUri(noDataText())
    , docNames(noDataText())
    , commercial(noDataText())
    , fullAccess(false)
{
}

QString Order::noDataText()
{
    // Translated once: orders are built by the thousand.
    static const QString text = QCoreApplication::translate("Entity::Order", "Нет данных");
    return text;
}

void Order::textOrEmpty(const QVariantMap &map, const QString &key, QString &field)
{
    readIfPresent(map, key, [&field](const QVariant &value) { field = value.toString(); });
}

void Order::textOrNoData(const QVariantMap &map, const QString &key, QString &field)
{
    textOrEmpty(map, key, field);
    if (field.isEmpty())
        field = noDataText();
}

void Order::fromVariantMap(QVariantMap map)
{
    readIfPresent(map, KEY_TYPE, [this](const QVariant &value) { type = OrderList::stringToType(value.toString()); });
    readIfPresent(map, KEY_ID, [this](const QVariant &value) { id = value.toLongLong(); });
    readIfPresent(map, KEY_OPENING_TIME, [this](const QVariant &value) { openingTime = parseServerDateTime(value); });
    readIfPresent(map, KEY_CLOSING_TIME, [this](const QVariant &value) { closingTime = parseServerDateTime(value); });
    readIfPresent(map, KEY_CHANGE_DATE, [this](const QVariant &value) { changeDate = value.toDateTime(); });

    textOrEmpty(map, KEY_BRANCH, branch);
    textOrEmpty(map, KEY_REGION, region);
    textOrEmpty(map, KEY_PLACEMENT_METHOD, placementMethod);
    textOrEmpty(map, KEY_NAME, name);
    textOrEmpty(map, KEY_AMOUNT, amount);
    textOrEmpty(map, KEY_LOGIN, login);
    textOrNoData(map, KEY_ORIGINAL_TITLE, originalTitle);
    textOrNoData(map, KEY_GOS_ID, gosId);
    textOrNoData(map, KEY_FINANCING_SOURCE, financingSource);
    textOrEmpty(map, KEY_CURRENCY_NAME, currencyName);
    textOrNoData(map, KEY_INFORMATION, information);
    textOrNoData(map, KEY_APPLICATION_GUARANTEE, applicationGuarantee);
    textOrNoData(map, KEY_CONTRACT_GUARANTEE, contractGuarantee);
    textOrNoData(map, KEY_SUBJECT_FULL_NAME, subjectFullName);
    textOrNoData(map, KEY_SUBJECT_SHORT_NAME, subjectShortName);
    textOrNoData(map, KEY_LEGAL_FORM_NAME, legalFormName);
    textOrNoData(map, KEY_OGRN_INN_KPP, ogrnInnKpp);
    textOrEmpty(map, KEY_ORDER_SOURCE_URI, orderSourceUri);
    textOrEmpty(map, KEY_DOC_NAMES, docNames);
    textOrEmpty(map, KEY_DOC_URLS, docUrls);
    textOrNoData(map, KEY_COMMERCIAL, commercial);
    textOrEmpty(map, KEY_ECONOMIC_SECTOR_PARENT_NAME, economicSectorParentName);
    textOrEmpty(map, KEY_GEO_PLACE_NAME, geoPlaceName);
    textOrEmpty(map, KEY_CONTACT_NAMES, contactNames);
    textOrEmpty(map, KEY_CONTACT_VALUES, contactValues);

    readIfPresent(map, KEY_FULL_ACCESS, [this](const QVariant &value) { fullAccess = variantIsTrue(value); });
    readIfPresent(map, KEY_URL, [this](const QVariant &value) { url = value.toUrl(); });
}

void Order::fromServiceMap(const QVariantMap &map)
{
    const ServerTimeShift shift;
    fromVariantMap(map);
}

QVariantMap Order::toVariantMap() const
{
    QVariantMap map;
    map.insert(KEY_TYPE, OrderList::typeToString(type));
    map.insert(KEY_ID, qlonglong(id));
    map.insert(KEY_OPENING_TIME, variantToDateTime(openingTime));
    map.insert(KEY_CLOSING_TIME, variantToDateTime(closingTime));
    map.insert(KEY_CHANGE_DATE, changeDate);
    map.insert(KEY_BRANCH, branch);
    map.insert(KEY_REGION, region);
    map.insert(KEY_PLACEMENT_METHOD, placementMethod);
    map.insert(KEY_NAME, name);
    map.insert(KEY_AMOUNT, amount);
    map.insert(KEY_LOGIN, login);
    map.insert(KEY_ORIGINAL_TITLE, originalTitle);
    map.insert(KEY_GOS_ID, gosId);
    map.insert(KEY_FINANCING_SOURCE, financingSource);
    map.insert(KEY_CURRENCY_NAME, currencyName);
    map.insert(KEY_INFORMATION, information);
    map.insert(KEY_APPLICATION_GUARANTEE, applicationGuarantee);
    map.insert(KEY_CONTRACT_GUARANTEE, contractGuarantee);
    map.insert(KEY_SUBJECT_FULL_NAME, subjectFullName);
    map.insert(KEY_SUBJECT_SHORT_NAME, subjectShortName);
    map.insert(KEY_LEGAL_FORM_NAME, legalFormName);
    map.insert(KEY_OGRN_INN_KPP, ogrnInnKpp);
    map.insert(KEY_ORDER_SOURCE_URI, orderSourceUri);
    map.insert(KEY_DOC_NAMES, docNames);
    map.insert(KEY_DOC_URLS, docUrls);
    map.insert(KEY_COMMERCIAL, commercial);
    map.insert(KEY_ECONOMIC_SECTOR_PARENT_NAME, economicSectorParentName);
    map.insert(KEY_GEO_PLACE_NAME, geoPlaceName);
    map.insert(KEY_CONTACT_NAMES, contactNames);
    map.insert(KEY_CONTACT_VALUES, contactValues);
    map.insert(KEY_FULL_ACCESS, fullAccess);
    map.insert(KEY_URL, url);
    return map;
}

QString Order::regionDisplayName() const
{
    return geoPlaceName.isEmpty() ? region : geoPlaceName;
}

QString Order::economicSectorParentDisplayName() const
{
    if (!economicSectorParentName.isEmpty())
        return economicSectorParentName;

    // A copy: the walk must not see a rebuild of the process-wide map.
    const FilterLinkList::BranchMap sectors = FilterLinkList::branchMap();
    const Branch *sector = nullptr;
    for (const Branch *candidate : sectors) {
        if (candidate && candidate->name.compare(branch, Qt::CaseInsensitive) == 0) {
            sector = candidate;
            break;
        }
    }
    if (!sector || sector->parentId < 0)
        return QString();
    const Branch *parent = sectors.value(sector->parentId, nullptr);
    return parent ? parent->name : QString();
}

QStringList Order::docNamesList() const
{
    return splitLines(docNames);
}

QStringList Order::docUrlsList() const
{
    return splitLines(docUrls);
}

QStringList Order::contactNamesList() const
{
    return splitLines(contactNames);
}

QStringList Order::contactValuesList() const
{
    return splitLines(contactValues);
}

} // namespace Entity
