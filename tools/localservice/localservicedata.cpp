#include "localservicedata.h"

#include "localservicevocabulary.h"

#include <algorithm>

namespace {

QString digits(QRandomGenerator &random, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(QLatin1Char(char('0' + random.bounded(10))));
    return text;
}

// The legal form spelled out for the abbreviation a customer's name starts with.
QString legalForm(const QString &abbreviation)
{
    static const QList<QPair<QString, QString>> forms = {
        {QStringLiteral("ГБУЗ"), QStringLiteral("Государственное бюджетное учреждение здравоохранения")},
        {QStringLiteral("ГБУ"), QStringLiteral("Государственное бюджетное учреждение")},
        {QStringLiteral("МБОУ"), QStringLiteral("Муниципальное бюджетное общеобразовательное учреждение")},
        {QStringLiteral("МБДОУ"), QStringLiteral("Муниципальное бюджетное дошкольное образовательное учреждение")},
        {QStringLiteral("ФГБОУ"),
         QStringLiteral("Федеральное государственное бюджетное образовательное учреждение высшего образования")},
        {QStringLiteral("МУП"), QStringLiteral("Муниципальное унитарное предприятие")},
        {QStringLiteral("ГКУ"), QStringLiteral("Государственное казённое учреждение")},
        {QStringLiteral("МКУ"), QStringLiteral("Муниципальное казённое учреждение")},
        {QStringLiteral("ФКУ"), QStringLiteral("Федеральное казённое учреждение")},
        {QStringLiteral("ГАУК"), QStringLiteral("Государственное автономное учреждение культуры")},
        {QStringLiteral("ООО"), QStringLiteral("Общество с ограниченной ответственностью")},
        {QStringLiteral("АО"), QStringLiteral("Акционерное общество")},
        {QStringLiteral("ПАО"), QStringLiteral("Публичное акционерное общество")},
    };
    for (const auto &form : forms) {
        if (form.first == abbreviation)
            return form.second;
    }
    return QStringLiteral("Орган местного самоуправления");
}

} // namespace

void LocalServiceData::generate(int orderCount, quint32 seed, const QDateTime &now)
{
    seedValue = seed;
    random.seed(seed);
    regionList.clear();
    branchList.clear();
    orderList.clear();
    indexById.clear();
    nextId = 5000000;

    // The dictionaries do not depend on the seed: the service's lists change rarely.
    const QDateTime dictionaryDate(QDate(2025, 1, 15), QTime(9, 0), Qt::UTC);
    const QStringList &districts = LocalServiceVocabulary::federalDistricts();
    for (int i = 0; i < districts.size(); ++i)
        regionList.append({1001 + i, -1, districts.at(i), dictionaryDate});
    for (const auto &subject : LocalServiceVocabulary::subjects()) {
        regionList.append({subject.code, 1001 + subject.district, QString::fromUtf8(subject.name),
                           dictionaryDate.addSecs(60 * subject.code)});
    }
    for (const auto &sector : LocalServiceVocabulary::sectors())
        branchList.append(
            {sector.id, sector.parentId, QString::fromUtf8(sector.name), dictionaryDate.addSecs(sector.id)});

    // Oldest first with rising ids, then newest first as the service lists them.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch() / 60 * 60, Qt::UTC);
    QList<qint64> minutesAgo;
    for (int i = 0; i < orderCount; ++i)
        minutesAgo.append(5 + random.bounded(14 * 24 * 60));
    std::sort(minutesAgo.begin(), minutesAgo.end(), std::greater<qint64>());
    for (qint64 minutes : minutesAgo)
        orderList.prepend(makeOrder(start.addSecs(-60 * minutes)));
    for (int i = 0; i < orderList.size(); ++i)
        indexById.insert(orderList.at(i).id, i);
}

QList<LocalServiceData::Order> LocalServiceData::appendOrders(int count, const QDateTime &now)
{
    QList<Order> added;
    for (int i = 0; i < count; ++i)
        added.prepend(makeOrder(now.addSecs(-60 * (count - i))));
    orderList = added + orderList;
    indexById.clear();
    for (int i = 0; i < orderList.size(); ++i)
        indexById.insert(orderList.at(i).id, i);
    return added;
}

const LocalServiceData::Order *LocalServiceData::order(qint64 id) const
{
    const auto found = indexById.constFind(id);
    return found == indexById.constEnd() ? nullptr : &orderList.at(found.value());
}

QString LocalServiceData::person()
{
    const int index = pick(LocalServiceVocabulary::surnames().size());
    return LocalServiceVocabulary::surnames().at(index) + QLatin1Char(' ')
        + LocalServiceVocabulary::givenNames().at(index) + QLatin1Char(' ')
        + LocalServiceVocabulary::patronymics().at(index);
}

LocalServiceData::Order LocalServiceData::makeOrder(const QDateTime &openingTime)
{
    Order order;
    nextId += 1 + pick(9);
    order.id = nextId;

    QList<const LocalServiceVocabulary::Sector *> leaves;
    for (const auto &sector : LocalServiceVocabulary::sectors()) {
        if (sector.parentId >= 0)
            leaves.append(&sector);
    }
    const LocalServiceVocabulary::Sector *sector = leaves.at(pick(leaves.size()));
    order.branchId = sector->id;
    order.branch = QString::fromUtf8(sector->name);
    order.branchParentId = sector->parentId;
    for (const auto &parent : LocalServiceVocabulary::sectors()) {
        if (parent.id == sector->parentId)
            order.branchParent = QString::fromUtf8(parent.name);
    }
    const QList<LocalServiceVocabulary::Subject> &subjects = LocalServiceVocabulary::subjects();
    const LocalServiceVocabulary::Subject &subject = subjects.at(pick(subjects.size()));
    order.regionId = subject.code;
    order.districtId = 1001 + subject.district;
    order.region = QString::fromUtf8(subject.name);
    const QString city = QString::fromUtf8(subject.city);

    QString suffix = LocalServiceVocabulary::titleSuffixes().at(pick(LocalServiceVocabulary::titleSuffixes().size()));
    if (suffix.contains(QLatin1String("%1")))
        suffix = suffix.arg(openingTime.date().year() + (openingTime.date().month() > 10 ? 1 : 0));
    order.name = sector->purchases.at(pick(sector->purchases.size())) + suffix;
    order.originalTitle = order.name.toUpper();

    order.openingTime = openingTime;
    order.closingTime = openingTime.addDays(3 + pick(28));
    order.closingTime.setTime(QTime(order.closingTime.time().hour(), 0));
    order.changeDate = openingTime.addSecs(60 * pick(90));
    order.placementMethod
        = LocalServiceVocabulary::placementMethods().at(pick(LocalServiceVocabulary::placementMethods().size()));
    order.currencyName = QStringLiteral("Российский рубль");

    // Amounts from ten thousand to about fifty million roubles, written the three ways the
    // service writes them.
    const int magnitude = 4 + pick(4);
    qint64 roubles = 1;
    for (int i = 0; i < magnitude; ++i)
        roubles *= 10;
    roubles = roubles + qint64(random.bounded(quint32(qMin<qint64>(roubles * 4, 2000000000))));
    const int kopecks = pick(100);
    switch (pick(3)) {
    case 0:
        order.amount = QString::number(roubles);
        break;
    case 1:
        order.amount = QString::number(roubles) + QLatin1Char('.') + QString::number(kopecks / 10);
        break;
    default:
        order.amount = QString::number(roubles) + QLatin1Char('.')
            + QString::number(kopecks).rightJustified(2, QLatin1Char('0'));
        break;
    }
    order.startPrice = order.amount;

    order.commercial = pick(5) == 0;
    QString customer;
    if (order.commercial) {
        const QStringList &patterns = LocalServiceVocabulary::commercialCustomers();
        const QStringList &stems = LocalServiceVocabulary::companyStems();
        customer = patterns.at(pick(patterns.size())).arg(stems.at(pick(stems.size())));
        order.financingSource = QStringLiteral("Собственные средства организации");
    } else {
        const QStringList &patterns = LocalServiceVocabulary::publicCustomers();
        customer = patterns.at(pick(patterns.size()));
        customer.replace(QLatin1String("%1"), QString::number(1 + pick(60)));
        customer.replace(QLatin1String("%2"), city);
        const QStringList &sources = LocalServiceVocabulary::financingSources();
        order.financingSource = sources.at(pick(sources.size()));
        order.gosId = QStringLiteral("0%1%2%3")
                          .arg(subject.code, 2, 10, QLatin1Char('0'))
                          .arg(digits(random, 9))
                          .arg(openingTime.date().year() % 100, 2, 10, QLatin1Char('0'))
            + digits(random, 6);
    }
    const QString abbreviation = customer.section(QLatin1Char(' '), 0, 0);
    order.legalFormName = legalForm(abbreviation);
    order.customerShortName = customer.section(QStringLiteral(", г. "), 0, 0);
    order.customerFullName = order.legalFormName + customer.mid(abbreviation.size());
    const QString region2 = QStringLiteral("%1").arg(subject.code, 2, 10, QLatin1Char('0'));
    order.ogrnInnKpp
        = QStringLiteral("ОГРН 1%1%2, ИНН %3%4, КПП %3%5")
              .arg(digits(random, 2), region2 + digits(random, 8), region2, digits(random, 8), QStringLiteral("01001"));
    order.information = QStringLiteral("Место поставки: г. %1.\nСрок исполнения: в течение %2 дней с даты "
                                       "заключения контракта.\r\nОплата: по факту исполнения обязательств.")
                            .arg(city)
                            .arg(10 + pick(50));
    order.applicationGuarantee = pick(3) == 0
        ? QStringLiteral("Не установлено")
        : QStringLiteral("%1 % от начальной (максимальной) цены").arg(1 + pick(5));
    order.contractGuarantee = QStringLiteral("%1 % от цены контракта").arg(5 + pick(26));
    order.sourceUri = QStringLiteral("https://torgi.example/notice/%1")
                          .arg(order.gosId.isEmpty() ? QString::number(order.id) : order.gosId);

    const QStringList &documentNames = LocalServiceVocabulary::documentNames();
    const int documentCount = 1 + pick(documentNames.size());
    for (int i = 0; i < documentCount; ++i)
        order.documents.append({documentNames.at(i), QStringLiteral("/files/%1/%2").arg(order.id).arg(i + 1)});
    order.contacts.append({QStringLiteral("Контактное лицо"), person()});
    order.contacts.append({QStringLiteral("Телефон"),
                           QStringLiteral("+7 (%1) %2-%3-%4")
                               .arg(digits(random, 3), digits(random, 3), digits(random, 2), digits(random, 2))});
    order.contacts.append(
        {QStringLiteral("Электронная почта"), QStringLiteral("zakupki%1@mail.example").arg(1 + pick(900))});
    return order;
}
