#include "localserviceapi.h"

#include "localservicesearch.h"
#include "localservicexml.h"

#include "constants.h"

namespace {

// A writer on a fresh document with the declaration and the open root "Response".
class ResponseWriter
{
public:
    ResponseWriter()
        : writer(&out)
    {
        writer.writeStartDocument();
        writer.writeStartElement(QStringLiteral("Response"));
    }
    QByteArray finish()
    {
        writer.writeEndDocument();
        return out;
    }
    QByteArray out;
    QXmlStreamWriter writer;
};

LocalServiceReply resultReply(const QString &code, int status = 200)
{
    return LocalServiceReply::xml(LocalServiceXml::resultDocument(code), status);
}

} // namespace

LocalServiceApi::LocalServiceApi(LocalServiceData *data, LocalServiceAccounts *accounts)
    : data(data)
    , accounts(accounts)
{
}

void LocalServiceApi::setVersionStatus(const QString &status, const QString &url)
{
    versionStatus = status;
    versionUrl = url;
}

QDateTime LocalServiceApi::now() const
{
    return fixedNow.isValid() ? fixedNow.toUTC() : QDateTime::currentDateTimeUtc();
}

bool LocalServiceApi::fullAccessOf(const QString &login) const
{
    const LocalServiceUser *user = accounts->user(login);
    return user && user->fullAccess;
}

LocalServiceReply LocalServiceApi::handle(const LocalServiceRequest &request, DictionaryShape dictionaryShape)
{
    const QString &path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";

    struct Route
    {
        QString path;
        bool get;
    };
    static const QList<Route> routes = {
        {URL_LOGIN, false},
        {URL_NEW_ORDERS, true},
        {URL_NEW_ORDERS, false},
        {URL_FAVOURITES, true},
        {URL_FAVOURITES_SYNCHRONIZE, false},
        {URL_FAVOURITE_CREATE, false},
        {URL_FAVOURITE_DELETE, false},
        {URL_SEARCH, false},
        {URL_SUBSCRIPTIONS, true},
        {URL_SUBSCRIPTIONS_SYNCHRONIZE, false},
        {URL_SUBSCRIPTION_UPDATE, false},
        {URL_SUBSCRIPTION_CREATE, false},
        {URL_SUBSCRIPTION_DELETE, false},
        {URL_GEO_PLACES, false},
        {URL_ECONOMIC_SECTORS, false},
        {URL_ORDER_READ, true},
    };
    bool known = false;
    bool allowed = false;
    for (const Route &route : routes) {
        if (route.path == path) {
            known = true;
            allowed = allowed || (route.get ? get : post);
        }
    }
    if (!known)
        return resultReply(E_CLIENT, 404);
    if (!allowed)
        return resultReply(E_CLIENT, 405);
    if (request.requestElement().isNull())
        return resultReply(E_CLIENT, 400);

    if (path == URL_LOGIN)
        return login(request);
    // The dictionaries are public; everything else needs the session of a login.
    if (path == URL_GEO_PLACES)
        return dictionary(true, dictionaryShape);
    if (path == URL_ECONOMIC_SECTORS)
        return dictionary(false, dictionaryShape);

    const QString login = accounts->sessionLogin(request.header(HEADER_SESSION));
    if (login.isEmpty()) {
        // The add and remove replies are judged by their HTTP status alone, so a refusal there
        // must not be a 200.
        const bool statusOnly = path == URL_FAVOURITE_CREATE || path == URL_FAVOURITE_DELETE;
        return resultReply(E_INVALID_USERNAME_OR_PASSWORD, statusOnly ? 403 : 200);
    }

    if (path == URL_NEW_ORDERS)
        return newOrders(request);
    if (path == URL_SEARCH)
        return search(request);
    if (path == URL_FAVOURITES)
        return favourites(login);
    if (path == URL_FAVOURITES_SYNCHRONIZE)
        return synchronizeFavourites(request, login);
    if (path == URL_FAVOURITE_CREATE)
        return changeFavourite(request, login, true);
    if (path == URL_FAVOURITE_DELETE)
        return changeFavourite(request, login, false);
    if (path == URL_SUBSCRIPTIONS)
        return subscriptions(login);
    if (path == URL_SUBSCRIPTIONS_SYNCHRONIZE)
        return synchronizeSubscriptions(request, login);
    if (path == URL_SUBSCRIPTION_CREATE)
        return saveSubscription(request, login, false);
    if (path == URL_SUBSCRIPTION_UPDATE)
        return saveSubscription(request, login, true);
    if (path == URL_SUBSCRIPTION_DELETE)
        return deleteSubscription(request, login);
    return readOrder(request, login);
}

LocalServiceReply LocalServiceApi::login(const LocalServiceRequest &request)
{
    const LocalServiceUser *user
        = accounts->authenticate(request.field(QStringLiteral("Login")), request.field(QStringLiteral("Password")));
    ResponseWriter response;
    QXmlStreamWriter &writer = response.writer;
    if (!user || request.field(QStringLiteral("Login")).isEmpty()) {
        writer.writeTextElement(QStringLiteral("Result"), E_INVALID_USERNAME_OR_PASSWORD);
        LocalServiceXml::writeUpdate(writer, versionStatus, versionUrl);
        return LocalServiceReply::xml(response.finish());
    }
    const QByteArray token = accounts->openSession(user->login);
    writer.writeTextElement(QStringLiteral("Result"), S_OK);
    writer.writeTextElement(QStringLiteral("FullAccess"),
                            user->fullAccess ? QStringLiteral("true") : QStringLiteral("false"));
    writer.writeStartElement(QStringLiteral("User"));
    writer.writeTextElement(QStringLiteral("ID"), user->id);
    writer.writeTextElement(QStringLiteral("FullName"), user->fullName);
    writer.writeTextElement(QStringLiteral("EconomicSubjectShortName"), user->subjectShortName);
    writer.writeEndElement();
    LocalServiceXml::writeUpdate(writer, versionStatus, versionUrl);
    LocalServiceReply reply = LocalServiceReply::xml(response.finish());
    reply.setHeader(HEADER_SESSION, token);
    reply.addHeader("Set-Cookie", COOKIE_PHP_SESSION.toLatin1() + '=' + token.left(26) + "; path=/; HttpOnly");
    for (const QByteArray &cookie : loginCookies)
        reply.addHeader("Set-Cookie", cookie);
    return reply;
}

LocalServiceReply LocalServiceApi::newOrders(const LocalServiceRequest &request)
{
    QList<const LocalServiceData::Order *> list;
    for (qint64 id : newOrderIds) {
        if (const LocalServiceData::Order *order = data->order(id))
            list.append(order);
    }
    const QString login = accounts->sessionLogin(request.header(HEADER_SESSION));
    if (request.method == "GET")
        return orderList(list, 0, 0, login);
    return orderList(list, qMax(1, request.field(QStringLiteral("Page")).toInt()),
                     request.field(QStringLiteral("Rows")).toInt(), login);
}

LocalServiceReply LocalServiceApi::search(const LocalServiceRequest &request)
{
    const LocalServiceSearch criteria(request.requestElement(), now());
    QList<const LocalServiceData::Order *> list;
    for (const LocalServiceData::Order &order : data->orders()) {
        if (criteria.matches(order))
            list.append(&order);
    }
    const QString login = accounts->sessionLogin(request.header(HEADER_SESSION));
    if (!request.hasField(QStringLiteral("Page")))
        return orderList(list, 0, 0, login);
    return orderList(list, qMax(1, request.field(QStringLiteral("Page")).toInt()),
                     request.field(QStringLiteral("Rows")).toInt(), login);
}

LocalServiceReply LocalServiceApi::orderList(const QList<const LocalServiceData::Order *> &orders, int page, int rows,
                                             const QString &login)
{
    int from = 0;
    int to = orders.size();
    if (page > 0) {
        if (rows <= 0)
            rows = 10;
        from = qMin<qint64>(qint64(page - 1) * rows, orders.size());
        to = qMin<qint64>(qint64(from) + rows, orders.size());
    }
    const bool fullAccess = fullAccessOf(login);
    ResponseWriter response;
    QXmlStreamWriter &writer = response.writer;
    writer.writeTextElement(QStringLiteral("Result"), S_OK);
    LocalServiceXml::writeUpdate(writer, versionStatus, versionUrl);
    writer.writeStartElement(QStringLiteral("Orders"));
    writer.writeTextElement(QStringLiteral("Count"), QString::number(orders.size()));
    for (int i = from; i < to; ++i) {
        writer.writeStartElement(QStringLiteral("Order"));
        writeListOrder(writer, *orders.at(i), fullAccess);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    return LocalServiceReply::xml(response.finish());
}

// The children of one "Order" of a list; the caller writes the element around them.
void LocalServiceApi::writeListOrder(QXmlStreamWriter &writer, const LocalServiceData::Order &order,
                                     bool fullAccess) const
{
    writer.writeTextElement(QStringLiteral("ID"), QString::number(order.id));
    writer.writeTextElement(QStringLiteral("Name"), order.name);
    writer.writeTextElement(QStringLiteral("OpeningTime"), LocalServiceXml::serverTime(order.openingTime));
    writer.writeTextElement(QStringLiteral("ClosingTime"), LocalServiceXml::serverTime(order.closingTime));
    // The change date goes in ISO form: the client reads it without the service's day-first form.
    writer.writeTextElement(QStringLiteral("ChangeDate"), LocalServiceXml::serverIsoTime(order.changeDate));
    writer.writeTextElement(QStringLiteral("Branch"), order.branch);
    writer.writeTextElement(QStringLiteral("Region"), order.region);
    writer.writeTextElement(QStringLiteral("PlacementMethod"), order.placementMethod);
    writer.writeTextElement(QStringLiteral("Amount"), order.amount);
    writer.writeTextElement(QStringLiteral("CurrencyName"), order.currencyName);
    writer.writeTextElement(QStringLiteral("FullAccess"),
                            fullAccess ? QStringLiteral("true") : QStringLiteral("false"));
    writer.writeTextElement(QStringLiteral("Url"), baseUrl + QStringLiteral("/order/") + QString::number(order.id));
}

LocalServiceReply LocalServiceApi::favourites(const QString &login)
{
    const bool fullAccess = fullAccessOf(login);
    ResponseWriter response;
    QXmlStreamWriter &writer = response.writer;
    writer.writeTextElement(QStringLiteral("Result"), S_OK);
    writer.writeStartElement(QStringLiteral("Orders"));
    for (const LocalServiceAccounts::Favourite &favourite : accounts->favourites(login)) {
        const LocalServiceData::Order *order = data->order(favourite.orderId);
        if (!order)
            continue;
        writer.writeStartElement(QStringLiteral("Order"));
        writer.writeTextElement(QStringLiteral("DateTime"), LocalServiceXml::serverIsoTime(favourite.added));
        writeListOrder(writer, *order, fullAccess);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    return LocalServiceReply::xml(response.finish());
}

LocalServiceReply LocalServiceApi::synchronizeFavourites(const LocalServiceRequest &request, const QString &login)
{
    const QList<LocalServiceAccounts::Favourite> before = accounts->favourites(login);
    QList<LocalServiceAccounts::Favourite> after;
    const QDomElement orders = request.requestElement().firstChildElement(QStringLiteral("Orders"));
    for (QDomElement id = orders.firstChildElement(QStringLiteral("ID")); !id.isNull();
         id = id.nextSiblingElement(QStringLiteral("ID"))) {
        const qint64 orderId = id.text().trimmed().toLongLong();
        if (!data->order(orderId))
            continue;
        LocalServiceAccounts::Favourite favourite {orderId, now()};
        for (const LocalServiceAccounts::Favourite &old : before) {
            if (old.orderId == orderId)
                favourite.added = old.added;
        }
        after.append(favourite);
    }
    accounts->setFavourites(login, after);
    return favourites(login);
}

LocalServiceReply LocalServiceApi::changeFavourite(const LocalServiceRequest &request, const QString &login, bool add)
{
    const qint64 orderId = request.field(QStringLiteral("ID")).trimmed().toLongLong();
    if (add) {
        if (!data->order(orderId))
            return resultReply(E_INVALID_ID, 404);
        accounts->addFavourite(login, orderId, now());
    } else {
        accounts->removeFavourite(login, orderId);
    }
    return resultReply(S_OK);
}

LocalServiceReply LocalServiceApi::subscriptions(const QString &login)
{
    ResponseWriter response;
    QXmlStreamWriter &writer = response.writer;
    writer.writeTextElement(QStringLiteral("Result"), S_OK);
    writer.writeStartElement(QStringLiteral("Subscriptions"));
    for (const LocalServiceSubscription &subscription : accounts->subscriptions(login))
        subscription.write(writer);
    writer.writeEndElement();
    return LocalServiceReply::xml(response.finish());
}

LocalServiceReply LocalServiceApi::synchronizeSubscriptions(const LocalServiceRequest &request, const QString &login)
{
    const QDomElement list = request.requestElement().firstChildElement(QStringLiteral("Subscriptions"));
    for (QDomElement element = list.firstChildElement(QStringLiteral("Subscription")); !element.isNull();
         element = element.nextSiblingElement(QStringLiteral("Subscription"))) {
        LocalServiceSubscription subscription;
        subscription.readCriteria(element);
        subscription.id = LocalServiceSubscription::idOf(element);
        subscription.changeDate = now();
        if (subscription.id <= 0 || !accounts->updateSubscription(login, subscription))
            accounts->createSubscription(login, subscription);
    }
    return subscriptions(login);
}

LocalServiceReply LocalServiceApi::saveSubscription(const LocalServiceRequest &request, const QString &login,
                                                    bool update)
{
    LocalServiceSubscription subscription;
    subscription.readCriteria(request.requestElement());
    subscription.changeDate = now();
    if (update) {
        subscription.id = LocalServiceSubscription::idOf(request.requestElement());
        return resultReply(accounts->updateSubscription(login, subscription) ? S_OK : E_INVALID_ID);
    }
    const qint64 id = accounts->createSubscription(login, subscription);
    ResponseWriter response;
    response.writer.writeTextElement(QStringLiteral("ID"), QString::number(id));
    return LocalServiceReply::xml(response.finish());
}

LocalServiceReply LocalServiceApi::deleteSubscription(const LocalServiceRequest &request, const QString &login)
{
    const qint64 id = LocalServiceSubscription::idOf(request.requestElement());
    return resultReply(accounts->deleteSubscription(login, id) ? S_OK : E_INVALID_ID);
}

LocalServiceReply LocalServiceApi::dictionary(bool regions, DictionaryShape shape)
{
    const QString listTag = regions ? QStringLiteral("GeoPlaces") : QStringLiteral("EconomicSectors");
    const QString itemTag = regions ? QStringLiteral("GeoPlace") : QStringLiteral("EconomicSector");
    const QString dateTag = regions ? QStringLiteral("RegionChangeDate") : QStringLiteral("BranchChangeDate");
    const QList<LocalServiceData::Item> &items = regions ? data->regions() : data->branches();
    ResponseWriter response;
    QXmlStreamWriter &writer = response.writer;
    writer.writeTextElement(QStringLiteral("Result"), S_OK);
    const int lists = shape == DictionaryWithoutList ? 0 : shape == DictionaryWithTwoLists ? 2 : 1;
    for (int list = 0; list < lists; ++list) {
        writer.writeStartElement(listTag);
        for (const LocalServiceData::Item &item : items) {
            writer.writeStartElement(itemTag);
            writer.writeTextElement(QStringLiteral("ID"), QString::number(item.id));
            writer.writeTextElement(QStringLiteral("ParentID"), QString::number(item.parentId));
            writer.writeTextElement(QStringLiteral("Name"), item.name);
            writer.writeTextElement(dateTag, LocalServiceXml::serverIsoTime(item.changeDate));
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    return LocalServiceReply::xml(response.finish());
}

LocalServiceReply LocalServiceApi::readOrder(const LocalServiceRequest &request, const QString &login)
{
    const LocalServiceData::Order *order = data->order(request.field(QStringLiteral("ID")).trimmed().toLongLong());
    if (!order)
        return resultReply(E_INVALID_ID);
    ResponseWriter response;
    response.writer.writeTextElement(QStringLiteral("Result"), S_OK);
    writeDetailOrder(response.writer, *order, fullAccessOf(login));
    return LocalServiceReply::xml(response.finish());
}

void LocalServiceApi::writeDetailOrder(QXmlStreamWriter &writer, const LocalServiceData::Order &order,
                                       bool fullAccess) const
{
    writer.writeStartElement(QStringLiteral("Order"));
    writer.writeTextElement(QStringLiteral("ID"), QString::number(order.id));
    writer.writeTextElement(QStringLiteral("Name"), order.name);
    writer.writeTextElement(QStringLiteral("OriginalTitle"), order.originalTitle);
    writer.writeTextElement(QStringLiteral("OpenDateTime"), LocalServiceXml::serverTime(order.openingTime));
    writer.writeTextElement(QStringLiteral("CloseDateTime"), LocalServiceXml::serverTime(order.closingTime));
    writer.writeTextElement(QStringLiteral("Price"), order.amount);
    writer.writeTextElement(QStringLiteral("StartPrice"), order.startPrice);
    writer.writeTextElement(QStringLiteral("CurrencyName"), order.currencyName);
    writer.writeTextElement(QStringLiteral("EconomicSectorName"), order.branch);
    writer.writeTextElement(QStringLiteral("EconomicSectorParentName"), order.branchParent);
    writer.writeTextElement(QStringLiteral("OrderPlacingWayName"), order.placementMethod);
    writer.writeTextElement(QStringLiteral("GeoPlaceName"), order.region);
    writer.writeTextElement(QStringLiteral("GosID"), order.gosId);
    writer.writeTextElement(QStringLiteral("FinancingSource"), order.financingSource);
    writer.writeTextElement(QStringLiteral("Information"), order.information);
    writer.writeTextElement(QStringLiteral("ApplicationGuarantee"), order.applicationGuarantee);
    writer.writeTextElement(QStringLiteral("ContractGuarantee"), order.contractGuarantee);
    writer.writeTextElement(QStringLiteral("Commercial"),
                            order.commercial ? QStringLiteral("Да") : QStringLiteral("Нет"));
    writer.writeTextElement(QStringLiteral("OGRN_INN_KPP"), order.ogrnInnKpp);
    writer.writeTextElement(QStringLiteral("OrderSourceUri"), order.sourceUri);
    writer.writeTextElement(QStringLiteral("FullAccess"),
                            fullAccess ? QStringLiteral("true") : QStringLiteral("false"));
    writer.writeTextElement(QStringLiteral("Url"), baseUrl + QStringLiteral("/order/") + QString::number(order.id));
    writer.writeStartElement(QStringLiteral("Docs"));
    for (const LocalServiceData::Document &document : order.documents) {
        writer.writeStartElement(QStringLiteral("Doc"));
        writer.writeTextElement(QStringLiteral("Name"), document.name);
        writer.writeTextElement(QStringLiteral("URL"), baseUrl + document.path);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeStartElement(QStringLiteral("Subject"));
    writer.writeTextElement(QStringLiteral("FullName"), order.customerFullName);
    writer.writeTextElement(QStringLiteral("ShortName"), order.customerShortName);
    writer.writeTextElement(QStringLiteral("LegalFormName"), order.legalFormName);
    writer.writeStartElement(QStringLiteral("Contacts"));
    for (const LocalServiceData::Contact &contact : order.contacts) {
        writer.writeStartElement(QStringLiteral("Contact"));
        writer.writeTextElement(QStringLiteral("Name"), contact.name);
        writer.writeTextElement(QStringLiteral("Value"), contact.value);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndElement();
}
