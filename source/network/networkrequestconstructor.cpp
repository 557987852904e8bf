#include "networkrequestconstructor.h"

#include "appsettings.h"
#include "constants.h"
#include "corehost.h"
#include "favouriteitem.h"
#include "filter.h"
#include "filterlist.h"
#include "loginwrapperrequestcontext.h"
#include "networkreplyparser.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"
#include "valuehelpers.h"

#include <QUrlQuery>
#include <QXmlStreamWriter>

namespace {

const QString TAG_REQUEST = QStringLiteral("Request");
const QString TAG_ID = QStringLiteral("ID");
const QString TAG_DATE_TIME = QStringLiteral("DateTime");
const QString STATE_EDITED = QStringLiteral("edited");
const QString STATE_DELETED = QStringLiteral("deleted");

bool isEditedState(const QVariant &state)
{
    return state.toString().compare(STATE_EDITED, Qt::CaseInsensitive) == 0;
}

bool isDateKey(const QString &key)
{
    return key == QLatin1String("openingtimefrom") || key == QLatin1String("openingtimeto")
        || key == QLatin1String("closingtimefrom") || key == QLatin1String("closingtimeto");
}

// One child holding one value: booleans as TRUE/FALSE, dates as their day, everything else as text.
void writeValueElement(QXmlStreamWriter &writer, const QString &tag, const QVariantMap &filter)
{
    const QString key = tag.toLower();
    const QVariant value = filter.value(key);
    QString text;
    if (isDateKey(key)) {
        text = value.toDateTime().date().toString(QStringLiteral("dd.MM.yyyy"));
    } else if (value.type() == QVariant::Bool) {
        text = value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else {
        text = value.toString();
    }
    writer.writeTextElement(tag, text);
}

void writeIdList(QXmlStreamWriter &writer, const QString &tag, const QVariant &ids)
{
    writer.writeStartElement(tag);
    const QVariantList list = ids.toList();
    for (const QVariant &id : list) {
        writer.writeTextElement(TAG_ID, id.toString());
    }
    writer.writeEndElement();
}

} // namespace

NetworkRequestConstructor::NetworkRequestConstructor(QObject *parent)
    : QObject(parent)
{
}

NetworkRequestContext *NetworkRequestConstructor::createRequest(int kind, const QVariantMap *parameters)
{
    NetworkRequestContext *context = nullptr;
    switch (kind) {
    case NetworkRequestKind::SearchPage:
    case NetworkRequestKind::NewOrdersPage: {
        auto *page = new PageRequestContext;
        if (parameters && parameters->contains(PARAM_PAGE_NUMBER)) {
            page->pageNumber = parameters->value(PARAM_PAGE_NUMBER).toInt();
        }
        context = page;
        break;
    }
    case NetworkRequestKind::SearchAllPages:
    case NetworkRequestKind::NewOrdersAllPages: {
        auto *manager = new PagedRequestManager;
        if (parameters && parameters->contains(PARAM_ROWS_PER_PAGE)) {
            manager->setRowsPerPage(parameters->value(PARAM_ROWS_PER_PAGE).toInt());
        }
        manager->newOrders = kind == NetworkRequestKind::NewOrdersAllPages;
        context = manager;
        break;
    }
    case NetworkRequestKind::LoginWrapper:
        context = new LoginWrapperRequestContext;
        break;
    default:
        context = new NetworkRequestContext;
        break;
    }

    CoreHost *application = CoreHost::instance();
    context->constructor = this;
    if (application && application->networkAccessManager) {
        context->accessManager = application->networkAccessManager;
    }
    context->kind = kind;
    if (parameters) {
        context->parameters = *parameters;
    }

    if (NetworkRequestContext::isLoginKind(kind)) {
        NetworkRequestContext::removeStaleSessionCookies();
    }

    QUrl url;
    QByteArray document;
    {
        QXmlStreamWriter writer(&document);
        writer.setAutoFormatting(false);
        writeRequestDocument(kind, context->parameters, writer, &url, &context->operation);
    }
    if (document.isEmpty()) {
        QXmlStreamWriter writer(&document);
        writer.writeStartDocument();
        writer.writeEmptyElement(TAG_REQUEST);
        writer.writeEndDocument();
    }

    // Everything but the unreserved characters is escaped, so "+" and "%" reach the service as typed.
    context->body = QByteArrayLiteral("xml=") + QUrl::toPercentEncoding(QString::fromUtf8(document));
    QNetworkRequest request;
    if (context->operation == QNetworkAccessManager::GetOperation) {
        url.setQuery(QString::fromLatin1(context->body), QUrl::StrictMode);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    }
    if (kind != NetworkRequestKind::Login && application && application->synchronization) {
        request.setRawHeader(HEADER_SESSION, application->synchronization->sessionCookie());
    }
    request.setUrl(url);
    context->request = request;
    return context;
}

void NetworkRequestConstructor::writeRequestDocument(int kind, const QVariantMap &parameters, QXmlStreamWriter &writer,
                                                     QUrl *url, int *operation)
{
    auto setPath = [url](const QString &path) { *url = QUrl(baseUrl() + path); };
    auto begin = [&writer]() {
        writer.writeStartDocument();
        writer.writeStartElement(TAG_REQUEST);
    };

    switch (kind) {
    case NetworkRequestKind::Login:
    case NetworkRequestKind::LoginWrapper: {
        setPath(URL_LOGIN);
        begin();
        writer.writeTextElement(QStringLiteral("Version"), AppSettings::appVersion());
        const QString login = parameters.value(KEY_LOGIN).toString();
        if (!login.isEmpty()) {
            writer.writeTextElement(QStringLiteral("Login"), login);
        }
        const QString password = parameters.value(KEY_PASSWORD).toString();
        if (!password.isEmpty()) {
            writer.writeTextElement(QStringLiteral("Password"), password);
        }
        break;
    }
    case NetworkRequestKind::NewOrders:
        setPath(URL_NEW_ORDERS);
        *operation = QNetworkAccessManager::GetOperation;
        return;
    case NetworkRequestKind::Favourites:
        setPath(URL_FAVOURITES);
        *operation = QNetworkAccessManager::GetOperation;
        return;
    case NetworkRequestKind::FavouritesSynchronize: {
        setPath(URL_FAVOURITES_SYNCHRONIZE);
        begin();
        writer.writeStartElement(QStringLiteral("Orders"));
        const QVariantList favourites = parameters.value(KEY_FAVOURITES).toList();
        for (const QVariant &favourite : favourites) {
            const QVariantMap map = favourite.toMap();
            if (map.value(KEY_STATE).toString().compare(STATE_DELETED, Qt::CaseInsensitive) == 0) {
                continue;
            }
            writer.writeTextElement(TAG_ID, QString::number(map.value(KEY_ID).toLongLong()));
            // The favourite record carries no date-time of its own.
            writer.writeTextElement(TAG_DATE_TIME, QString());
        }
        writer.writeEndElement();
        break;
    }
    case NetworkRequestKind::FavouriteCreate:
    case NetworkRequestKind::FavouriteDelete:
    case NetworkRequestKind::SubscriptionDelete:
        setPath(kind == NetworkRequestKind::FavouriteCreate       ? URL_FAVOURITE_CREATE
                    : kind == NetworkRequestKind::FavouriteDelete ? URL_FAVOURITE_DELETE
                                                                  : URL_SUBSCRIPTION_DELETE);
        begin();
        writer.writeTextElement(TAG_ID, parameters.value(KEY_ID).toString());
        break;
    case NetworkRequestKind::Search:
        setPath(URL_SEARCH);
        begin();
        writeSearchChildren(parameters, writer);
        break;
    case NetworkRequestKind::SearchPage:
        setPath(URL_SEARCH);
        begin();
        writer.writeTextElement(QStringLiteral("Page"),
                                QString::number(parameters.value(PARAM_PAGE_NUMBER).toInt() + 1));
        writer.writeTextElement(QStringLiteral("Rows"), parameters.value(PARAM_ROWS_COUNT).toString());
        writeSearchChildren(parameters, writer);
        break;
    case NetworkRequestKind::NewOrdersPage:
        setPath(URL_NEW_ORDERS_PAGE);
        begin();
        writer.writeTextElement(QStringLiteral("Version"), AppSettings::appVersion());
        writer.writeTextElement(QStringLiteral("Page"),
                                QString::number(parameters.value(PARAM_PAGE_NUMBER).toInt() + 1));
        writer.writeTextElement(QStringLiteral("Rows"), parameters.value(PARAM_ROWS_COUNT).toString());
        break;
    case NetworkRequestKind::Subscriptions:
        setPath(URL_SUBSCRIPTIONS);
        *operation = QNetworkAccessManager::GetOperation;
        return;
    case NetworkRequestKind::SubscriptionsSynchronize: {
        setPath(URL_SUBSCRIPTIONS_SYNCHRONIZE);
        begin();
        writer.writeStartElement(QStringLiteral("Subscriptions"));
        const QVariantList filters = parameters.value(KEY_FILTERS).toList();
        for (const QVariant &filter : filters) {
            const QVariantMap map = filter.toMap();
            writer.writeStartElement(QStringLiteral("Subscription"));
            const QDateTime changed = map.value(KEY_FILTER_CHANGE_DATE).toDateTime();
            writer.writeTextElement(
                TAG_DATE_TIME,
                changed.isValid()
                    ? changed.addSecs(SERVER_TIME_SHIFT_SECONDS).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                    : QString());
            writeSubscription(writer, map);
            writer.writeEndElement();
        }
        writer.writeEndElement();
        break;
    }
    case NetworkRequestKind::SubscriptionSave: {
        const QVariantMap filter = parameters.value(KEY_FILTERS).toMap();
        setPath(isEditedState(filter.value(KEY_STATE)) ? URL_SUBSCRIPTION_UPDATE : URL_SUBSCRIPTION_CREATE);
        begin();
        writeSubscription(writer, filter);
        break;
    }
    case NetworkRequestKind::GeoPlaces:
        setPath(URL_GEO_PLACES);
        return;
    case NetworkRequestKind::EconomicSectors:
        setPath(URL_ECONOMIC_SECTORS);
        return;
    case NetworkRequestKind::ReadOrder:
        setPath(URL_ORDER_READ);
        *operation = QNetworkAccessManager::GetOperation;
        begin();
        writer.writeTextElement(TAG_ID, parameters.value(KEY_ORDER_ID).toString());
        break;
    default:
        return;
    }
    writer.writeEndDocument();
}

void NetworkRequestConstructor::writeSearchChildren(const QVariantMap &parameters, QXmlStreamWriter &writer)
{
    if (parameters.contains(KEY_FILTERS)) {
        QVariantMap filter = parameters.value(KEY_FILTERS).toMap();
        // The key words of a filter travel as the search text, never as a criterion.
        const QString searchText = filter.take(KEY_WORD_SERCH).toString();
        writeSubscription(writer, filter);
        if (!searchText.isEmpty()) {
            writer.writeTextElement(QStringLiteral("SearchText"), searchText);
        }
        return;
    }
    writer.writeTextElement(QStringLiteral("SearchArea"), parameters.value(PARAM_SEARCH_AREA).toString());
    const QString searchText = parameters.value(PARAM_SEARCH_TEXT).toString();
    if (!searchText.isEmpty()) {
        writer.writeTextElement(QStringLiteral("SearchText"), searchText);
    }
    writer.writeTextElement(QStringLiteral("WithMorphology"), parameters.value(PARAM_MORPHOLOGY).toString().toUpper());
    writer.writeTextElement(QStringLiteral("AllWordsRequired"),
                            parameters.value(PARAM_WORDS_REQUIRED).toString().toUpper());
}

void NetworkRequestConstructor::writeSubscription(QXmlStreamWriter &writer, const QVariantMap &filter)
{
    if (isEditedState(filter.value(KEY_STATE))) {
        writeValueElement(writer, TAG_ID, filter);
    }
    for (const char *tag :
         {"Name", "SearchArea", "WithMorphology", "AllWordsRequired", "AmountOrdersFrom", "AmountOrdersTo"}) {
        writeValueElement(writer, QLatin1String(tag), filter);
    }
    for (const char *tag : {"OpeningTimeFrom", "OpeningTimeTo", "ClosingTimeFrom", "ClosingTimeTo"}) {
        const QString name = QLatin1String(tag);
        if (filter.value(name.toLower()).toDateTime().isValid()) {
            writeValueElement(writer, name, filter);
        }
    }
    if (!filter.value(KEY_WORD_SERCH).toString().isEmpty()) {
        writeValueElement(writer, QStringLiteral("WordSerch"), filter);
    }
    writeValueElement(writer, QStringLiteral("Enabled"), filter);

    QStringList words;
    const QVariantList exceptions = filter.value(KEY_WORDS_EXCEPTIONS).toList();
    for (const QVariant &word : exceptions) {
        words.append(word.toString());
    }
    writer.writeTextElement(QStringLiteral("WordsExceptions"), words.join(QLatin1Char(' ')));
    writeIdList(writer, QStringLiteral("Branches"), filter.value(KEY_FILTER_BRANCHES));
    writeIdList(writer, QStringLiteral("Regions"), filter.value(KEY_FILTER_REGIONS));
    writeValueElement(writer, QStringLiteral("OrderType"), filter);

    writer.writeStartElement(QStringLiteral("PlacementMethod"));
    for (const char *tag : {"OpenCompetition", "PriceQuotation", "ElectronicAuction", "Preselection", "EasyPurchase"}) {
        writeValueElement(writer, QLatin1String(tag), filter);
    }
    writer.writeEndElement();
}

void NetworkRequestConstructor::parseResponse(NetworkRequestContext *context)
{
    NetworkReplyParser::parse(context);
}

bool NetworkRequestConstructor::parseResultReply(NetworkRequestContext *context)
{
    return NetworkReplyParser::parseResultReply(context);
}

void NetworkRequestConstructor::parseVersionReply(QDomElement &root, NetworkRequestContext *context)
{
    NetworkReplyParser::parseVersionReply(root, context);
}

void NetworkRequestConstructor::readOrderElement(QDomElement &order, QVariantMap *map)
{
    NetworkReplyParser::readOrderElement(order, map);
}

// --- operations without parameters ------------------------------------------------------------

NetworkRequestContext *NetworkRequestConstructor::subscriptionsRequest()
{
    return createRequest(NetworkRequestKind::Subscriptions);
}

NetworkRequestContext *NetworkRequestConstructor::geoPlacesRequest()
{
    return createRequest(NetworkRequestKind::GeoPlaces);
}

NetworkRequestContext *NetworkRequestConstructor::economicSectorsRequest()
{
    return createRequest(NetworkRequestKind::EconomicSectors);
}

NetworkRequestContext *NetworkRequestConstructor::newOrdersRequest()
{
    return createRequest(NetworkRequestKind::NewOrders);
}

NetworkRequestContext *NetworkRequestConstructor::favouritesRequest()
{
    return createRequest(NetworkRequestKind::Favourites);
}

// --- typed operations ---------------------------------------------------------------------------

NetworkRequestContext *
NetworkRequestConstructor::synchronizeFavouritesRequest(const QList<Entity::FavouriteItem *> &favourites)
{
    QVariantList list;
    const QList<Entity::FavouriteItem *> items = favourites;
    for (Entity::FavouriteItem *favourite : items) {
        if (favourite) {
            list.append(favourite->toVariantMap(false));
        }
    }
    QVariantMap parameters;
    parameters.insert(KEY_FAVOURITES, list);
    return createRequest(NetworkRequestKind::FavouritesSynchronize, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::readOrderRequest(qint64 orderId)
{
    QVariantMap parameters;
    parameters.insert(KEY_ORDER_ID, orderId);
    return createRequest(NetworkRequestKind::ReadOrder, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::createFavouriteRequest(qint64 orderId)
{
    QVariantMap parameters;
    parameters.insert(KEY_ID, orderId);
    return createRequest(NetworkRequestKind::FavouriteCreate, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::deleteFavouriteRequest(qint64 orderId)
{
    QVariantMap parameters;
    parameters.insert(KEY_ID, orderId);
    return createRequest(NetworkRequestKind::FavouriteDelete, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::synchronizeSubscriptionsRequest(const Entity::FilterList &filters)
{
    QVariantMap parameters;
    parameters.insert(KEY_FILTERS, filters.toVariantList());
    return createRequest(NetworkRequestKind::SubscriptionsSynchronize, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::allNewOrdersRequest(int rowsPerPage)
{
    QVariantMap parameters;
    parameters.insert(PARAM_ROWS_PER_PAGE, rowsPerPage);
    return createRequest(NetworkRequestKind::NewOrdersAllPages, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::deleteSubscriptionRequest(qint64 localId, qint64 id)
{
    QVariantMap parameters;
    parameters.insert(KEY_LOCAL_ID, localId);
    parameters.insert(KEY_ID, id);
    return createRequest(NetworkRequestKind::SubscriptionDelete, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::saveSubscriptionRequest(Entity::Filter *filter)
{
    Q_ASSERT(filter);
    if (filter->state == Entity::FilterList::Deleted) {
        return deleteSubscriptionRequest(filter->localId, filter->id);
    }
    QVariantMap parameters;
    {
        ServerTimeShift shift;
        parameters.insert(KEY_FILTERS, filter->toVariantMap());
    }
    return createRequest(NetworkRequestKind::SubscriptionSave, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::loginRequest(const QString &login, const QString &password,
                                                               const bool *saveLoginAndPassword)
{
    QVariantMap parameters;
    parameters.insert(KEY_LOGIN, login);
    parameters.insert(KEY_PASSWORD, password);
    if (saveLoginAndPassword) {
        parameters.insert(KEY_SAVE_LOGIN_AND_PASSWORD, *saveLoginAndPassword);
    }
    return createRequest(NetworkRequestKind::Login, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::loginRequest(const QString &login, const QString &password,
                                                               bool saveLoginAndPassword)
{
    return loginRequest(login, password, &saveLoginAndPassword);
}

NetworkRequestContext *NetworkRequestConstructor::newOrdersPageRequest(int pageNumber, int rowsCount)
{
    QVariantMap parameters;
    parameters.insert(PARAM_PAGE_NUMBER, pageNumber);
    parameters.insert(PARAM_ROWS_COUNT, rowsCount);
    return createRequest(NetworkRequestKind::NewOrdersPage, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::searchAllPagesRequest(Entity::Filter *filter, int rowsPerPage)
{
    Q_ASSERT(filter);
    QVariantMap parameters;
    {
        ServerTimeShift shift;
        parameters.insert(KEY_FILTERS, filter->toVariantMap());
    }
    parameters.insert(PARAM_ROWS_PER_PAGE, rowsPerPage);
    return createRequest(NetworkRequestKind::SearchAllPages, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::searchAllPagesRequest(const QString &searchArea,
                                                                        const QString &searchText, bool morphology,
                                                                        bool wordsRequired, int rowsPerPage)
{
    QVariantMap parameters;
    parameters.insert(PARAM_SEARCH_AREA, searchArea);
    parameters.insert(PARAM_SEARCH_TEXT, searchText);
    parameters.insert(PARAM_MORPHOLOGY, morphology);
    parameters.insert(PARAM_WORDS_REQUIRED, wordsRequired);
    parameters.insert(PARAM_ROWS_PER_PAGE, rowsPerPage);
    return createRequest(NetworkRequestKind::SearchAllPages, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::searchPageRequest(const QVariantMap &filter, int pageNumber,
                                                                    int rowsCount)
{
    QVariantMap parameters;
    parameters.insert(KEY_FILTERS, filter);
    parameters.insert(PARAM_PAGE_NUMBER, pageNumber);
    parameters.insert(PARAM_ROWS_COUNT, rowsCount);
    return createRequest(NetworkRequestKind::SearchPage, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::searchPageRequest(const QString &searchArea,
                                                                    const QString &searchText, bool morphology,
                                                                    bool wordsRequired, int pageNumber, int rowsCount)
{
    QVariantMap parameters;
    parameters.insert(PARAM_SEARCH_AREA, searchArea);
    parameters.insert(PARAM_SEARCH_TEXT, searchText);
    parameters.insert(PARAM_MORPHOLOGY, morphology);
    parameters.insert(PARAM_WORDS_REQUIRED, wordsRequired);
    parameters.insert(PARAM_PAGE_NUMBER, pageNumber);
    parameters.insert(PARAM_ROWS_COUNT, rowsCount);
    return createRequest(NetworkRequestKind::SearchPage, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::searchRequest(const QString &searchArea, const QString &searchText,
                                                                bool morphology, bool wordsRequired)
{
    QVariantMap parameters;
    parameters.insert(PARAM_SEARCH_AREA, searchArea);
    parameters.insert(PARAM_SEARCH_TEXT, searchText);
    parameters.insert(PARAM_MORPHOLOGY, morphology);
    parameters.insert(PARAM_WORDS_REQUIRED, wordsRequired);
    return createRequest(NetworkRequestKind::Search, &parameters);
}

NetworkRequestContext *NetworkRequestConstructor::loginWrapperRequest(const QString &login, const QString &password,
                                                                      NetworkRequestContext *inner)
{
    QVariantMap parameters;
    if (inner) {
        parameters = inner->parameters;
    }
    parameters.insert(KEY_LOGIN, login);
    parameters.insert(KEY_PASSWORD, password);
    NetworkRequestContext *wrapperContext = createRequest(NetworkRequestKind::LoginWrapper, &parameters);
    if (inner) {
        wrapperContext->subRequest = inner;
        inner->wrapper = wrapperContext;
        wrapperContext->wrappedKind = inner->kind;
    }
    return wrapperContext;
}

// --- links into the service's web site ---------------------------------------------------------

QUrl NetworkRequestConstructor::urlWithQueryItem(const QUrl &url, const QString &key, const QString &value)
{
    QUrl copy(url);
    QUrlQuery query;
    query.addQueryItem(key, value);
    copy.setQuery(query);
    return copy;
}

QUrl NetworkRequestConstructor::addQueryItem(const QUrl &url, const QString &key, const QString &value)
{
    QUrl copy(url);
    QUrlQuery query(copy.query());
    query.addQueryItem(key, value);
    copy.setQuery(query);
    return copy;
}

QString NetworkRequestConstructor::urlWithQuery(const QString &url, const QString &key, const QString &value)
{
    return addQueryItem(QUrl(url, QUrl::TolerantMode), key, value).toString();
}
