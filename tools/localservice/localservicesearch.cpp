#include "localservicesearch.h"

#include "localservicexml.h"

namespace {

bool isTrue(const QDomElement &element)
{
    const QString text = element.text().trimmed();
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
}

double amountOf(const QString &text)
{
    QString clean = text.trimmed();
    clean.remove(QLatin1Char(' '));
    clean.replace(QLatin1Char(','), QLatin1Char('.'));
    return clean.toDouble();
}

} // namespace

LocalServiceSearch::LocalServiceSearch(const QDomElement &request, const QDateTime &now)
    : now(now)
{
    archive = request.firstChildElement(QStringLiteral("SearchArea")).text() == QLatin1String("ARCHIVE_ORDERS");
    words = request.firstChildElement(QStringLiteral("SearchText"))
                .text()
                .toLower()
                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    morphology = isTrue(request.firstChildElement(QStringLiteral("WithMorphology")));
    allWords = isTrue(request.firstChildElement(QStringLiteral("AllWordsRequired")));
    regions = LocalServiceXml::idList(request.firstChildElement(QStringLiteral("Regions")));
    branches = LocalServiceXml::idList(request.firstChildElement(QStringLiteral("Branches")));
    amountFrom = amountOf(request.firstChildElement(QStringLiteral("AmountOrdersFrom")).text());
    amountTo = amountOf(request.firstChildElement(QStringLiteral("AmountOrdersTo")).text());
    orderType = request.firstChildElement(QStringLiteral("OrderType")).text();
    openingFrom = LocalServiceXml::serverDate(request.firstChildElement(QStringLiteral("OpeningTimeFrom")).text());
    openingTo = LocalServiceXml::serverDate(request.firstChildElement(QStringLiteral("OpeningTimeTo")).text());
    closingFrom = LocalServiceXml::serverDate(request.firstChildElement(QStringLiteral("ClosingTimeFrom")).text());
    closingTo = LocalServiceXml::serverDate(request.firstChildElement(QStringLiteral("ClosingTimeTo")).text());
    static const QList<QPair<QString, QString>> methodNames = {
        {QStringLiteral("OpenCompetition"), QStringLiteral("Открытый конкурс")},
        {QStringLiteral("PriceQuotation"), QStringLiteral("Запрос котировок")},
        {QStringLiteral("ElectronicAuction"), QStringLiteral("Электронный аукцион")},
        {QStringLiteral("Preselection"), QStringLiteral("Предварительный отбор")},
        {QStringLiteral("EasyPurchase"), QStringLiteral("Закупка у единственного поставщика")},
    };
    const QDomElement methods = request.firstChildElement(QStringLiteral("PlacementMethod"));
    for (const auto &method : methodNames) {
        if (isTrue(methods.firstChildElement(method.first)))
            placementMethods.append(method.second);
    }
}

bool LocalServiceSearch::matchesText(const QString &text) const
{
    if (words.isEmpty())
        return true;
    const QString haystack = text.toLower();
    int found = 0;
    for (const QString &word : words) {
        // A crude stand-in for morphology: the stem without its last letters matches any ending.
        const QString needle = morphology && word.size() > 4 ? word.left(qMax(4, word.size() - 2)) : word;
        if (haystack.contains(needle))
            ++found;
    }
    return allWords ? found == words.size() : found > 0;
}

bool LocalServiceSearch::matches(const LocalServiceData::Order &order) const
{
    if ((order.closingTime < now) != archive)
        return false;
    if (!matchesText(order.name + QLatin1Char(' ') + order.customerFullName))
        return false;
    // A federal district covers its subjects, a top-level sector its sub-sectors.
    if (!regions.isEmpty() && !regions.contains(order.regionId) && !regions.contains(order.districtId))
        return false;
    if (!branches.isEmpty() && !branches.contains(order.branchId) && !branches.contains(order.branchParentId))
        return false;
    const double amount = amountOf(order.amount);
    if (amountFrom > 0 && amount < amountFrom)
        return false;
    if (amountTo > 0 && amount > amountTo)
        return false;
    if (orderType == QLatin1String("COMMERCIAL") && !order.commercial)
        return false;
    if (orderType == QLatin1String("OFFICIAL") && order.commercial)
        return false;
    if (!placementMethods.isEmpty() && !placementMethods.contains(order.placementMethod))
        return false;
    const QDate opening = order.openingTime.toUTC().addSecs(LocalServiceXml::serverOffsetSecs).date();
    const QDate closing = order.closingTime.toUTC().addSecs(LocalServiceXml::serverOffsetSecs).date();
    if ((openingFrom.isValid() && opening < openingFrom) || (openingTo.isValid() && opening > openingTo))
        return false;
    if ((closingFrom.isValid() && closing < closingFrom) || (closingTo.isValid() && closing > closingTo))
        return false;
    return true;
}
