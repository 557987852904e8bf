#include "networkreplyparser.h"

#include "constants.h"
#include "corehost.h"
#include "networkrequestcontext.h"

#include <QDomNodeList>
#include <QHash>
#include <QRegularExpression>

namespace {

// Keys that only the replies carry: the raw "DateTime" child of a favourite or a subscription, and
// the excluded words in the form the service's "WordsException" element gives them.
const QString KEY_RAW_DATE_TIME = QStringLiteral("datetime");
const QString KEY_WORDS_EXCEPTION_LIST = QStringLiteral("wordsexception");

const QString TAG_RESPONSE = QStringLiteral("Response");
const QString TAG_RESULT = QStringLiteral("Result");
const QString TAG_UPDATE = QStringLiteral("Update");
const QString TAG_STATUS = QStringLiteral("Status");
const QString TAG_URL = QStringLiteral("Url");
const QString TAG_ORDERS = QStringLiteral("Orders");
const QString TAG_ORDER = QStringLiteral("Order");
const QString TAG_ID = QStringLiteral("ID");
const QString TAG_FULL_ACCESS = QStringLiteral("FullAccess");
const QString TAG_USER = QStringLiteral("User");
const QString TAG_SUBSCRIPTIONS = QStringLiteral("Subscriptions");
const QString TAG_SUBSCRIPTION = QStringLiteral("Subscription");
const QString TAG_WORD = QStringLiteral("Word");

const QString BR = QStringLiteral("<br />");

QString lineBreaksToHtml(QString text)
{
    text.replace(QLatin1Char('\r'), BR);
    text.replace(QLatin1Char('\n'), BR);
    return text;
}

// Only a plain decimal number gets two decimals; "20 RUB" or "12,5" stay as the service sent them.
bool isPlainNumber(const QString &text)
{
    int digits = 0;
    int points = 0;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
        } else if (c == QLatin1Char('.')) {
            ++points;
        } else {
            return false;
        }
    }
    return digits > 0 && points <= 1;
}

QString paddedAmount(QString amount)
{
    int point = amount.indexOf(QLatin1Char('.'));
    if (point < 0) {
        amount.append(QLatin1Char('.'));
        point = amount.size() - 1;
    }
    const int zeros = 3 + point - amount.size();
    if (zeros > 0) {
        amount.append(QString(zeros, QLatin1Char('0')));
    }
    return amount;
}

QVariantList childTexts(const QDomElement &parent, const QString &tag)
{
    QVariantList texts;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag)) {
        texts.append(child.text());
    }
    return texts;
}

QVariantList splitWords(const QString &text, const QRegularExpression &separator)
{
    QVariantList words;
    const QStringList parts = text.split(separator, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        words.append(part);
    }
    return words;
}

// Visits every element below `root` (not `root` itself) in document order until `visit` returns
// false. For searches that stop early; a full search is faster with elementsByTagName.
template<typename Visit> void forEachDescendant(const QDomElement &root, Visit visit)
{
    QDomElement element = root.firstChildElement();
    while (!element.isNull()) {
        if (!visit(element)) {
            return;
        }
        QDomElement next = element.firstChildElement();
        while (next.isNull()) {
            next = element.nextSiblingElement();
            if (next.isNull()) {
                element = element.parentNode().toElement();
                if (element.isNull() || element == root) {
                    return;
                }
            }
        }
        element = next;
    }
}

bool hasDescendant(const QDomElement &root, const QString &tag)
{
    bool found = false;
    forEachDescendant(root, [&](const QDomElement &element) {
        found = element.tagName() == tag;
        return !found;
    });
    return found;
}

// The version status of the "Update" elements that stand directly in an element named like the root.
void applyVersionUpdates(const QDomElement &root, QVariantMap *result)
{
    result->insert(KEY_UPDATE_URL, baseUrl());
    const QString rootTag = root.tagName();
    const QDomNodeList updates = root.elementsByTagName(TAG_UPDATE);
    for (int i = 0; i < updates.count(); ++i) {
        const QDomElement update = updates.at(i).toElement();
        if (update.parentNode().toElement().tagName() != rootTag) {
            continue;
        }
        for (QDomElement child = update.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (child.tagName() == TAG_STATUS) {
                result->insert(KEY_RESULT, child.text());
            } else if (child.tagName() == TAG_URL) {
                result->insert(KEY_UPDATE_URL, child.text());
            }
        }
    }
}

void callVersionCheck(NetworkRequestContext *context)
{
    if (CoreHost *application = CoreHost::instance()) {
        application->processVersionStatus(context);
    }
}

// A login turned away by its HTTP status may still say that this client version is no longer
// served: the version check hears of it, and nothing else of the reply is used.
void checkVersionOfFailedLogin(NetworkRequestContext *context, const QDomDocument &document)
{
    QVariantMap version;
    applyVersionUpdates(document.documentElement(), &version);
    if (!version.contains(KEY_RESULT)) {
        return;
    }
    const QVariant failure = context->result.value(KEY_RESULT);
    context->result.insert(KEY_UPDATE_URL, version.value(KEY_UPDATE_URL));
    context->result.insert(KEY_RESULT, version.value(KEY_RESULT));
    callVersionCheck(context);
    context->result.insert(KEY_RESULT, failure);
}

// The document parse() has already made of the body, while it dispatches to a reader: a reader
// that wants the same preparation shares it instead of parsing the body once more.
struct ParsedBody
{
    QByteArray body;
    NetworkReplyParser::Preparation preparation;
    QDomDocument document;
};
thread_local const ParsedBody *parsedBody = nullptr;

QDomElement rootOf(NetworkRequestContext *context, NetworkReplyParser::Preparation preparation, QDomDocument *document)
{
    const QByteArray body = context->result.value(KEY_BYTE_ARRAY).toByteArray();
    if (parsedBody && parsedBody->preparation == preparation && parsedBody->body.constData() == body.constData()
        && parsedBody->body.size() == body.size()) {
        *document = parsedBody->document;
    } else {
        *document = NetworkReplyParser::prepareDocument(body, preparation);
    }
    return document->documentElement();
}

} // namespace

QDomDocument NetworkReplyParser::prepareDocument(const QByteArray &body, Preparation preparation, bool *wellFormed)
{
    // Every body is trimmed: whitespace before the XML declaration would make the whole reply
    // unreadable, and outside the root element it carries nothing.
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    int begin = 0;
    int end = body.size();
    while (begin < end && isBlank(body.at(begin))) {
        ++begin;
    }
    while (end > begin && isBlank(body.at(end - 1))) {
        --end;
    }
    // A view into the body; it is copied only when the marker has to be cut out.
    QByteArray data = QByteArray::fromRawData(body.constData() + begin, end - begin);
    if (preparation == Preparation::TrimmedAndCleaned && data.contains(REPLY_NOISE_MARKER)) {
        data = QByteArray(data.constData(), data.size());
        data.replace(REPLY_NOISE_MARKER, QByteArray());
    }
    QDomDocument document;
    const bool parsed = document.setContent(data);
    if (wellFormed) {
        *wellFormed = parsed;
    }
    return document;
}

bool NetworkReplyParser::isUnreadable(const QByteArray &body, Preparation preparation)
{
    if (body.trimmed().isEmpty()) {
        return false;
    }
    bool wellFormed = false;
    prepareDocument(body, preparation, &wellFormed);
    return !wellFormed;
}

bool NetworkReplyParser::isHttpFailure(const NetworkRequestContext *context)
{
    const int status = context->httpStatus;
    return context->networkError != QNetworkReply::NoError || (status != 0 && (status < 200 || status > 299));
}

NetworkReplyParser::Preparation NetworkReplyParser::preparationOf(int kind)
{
    switch (kind) {
    case NetworkRequestKind::NewOrders:
    case NetworkRequestKind::Search:
    case NetworkRequestKind::SearchPage:
    case NetworkRequestKind::NewOrdersPage:
    case NetworkRequestKind::Favourites:
    case NetworkRequestKind::FavouritesSynchronize:
    case NetworkRequestKind::FavouriteCreate:
    case NetworkRequestKind::FavouriteDelete:
        return Preparation::TrimmedAndCleaned;
    default:
        return Preparation::Trimmed;
    }
}

void NetworkReplyParser::parseFailedReply(NetworkRequestContext *context)
{
    // What the document kept of a cut-short or garbled body, or what a server error page carried,
    // is no answer: its orders or filters would be stored as if complete. Only an error code the
    // service put into a readable body is kept; the rest is a server fault, so the receiver keeps
    // its data and asks again.
    QString code;
    const QByteArray body = context->result.value(KEY_BYTE_ARRAY).toByteArray();
    const Preparation preparation = preparationOf(context->kind);
    if (!isUnreadable(body, preparation)) {
        const QDomDocument document = prepareDocument(body, preparation);
        if (!findResult(document.documentElement(), &code) || code == S_OK || code == S_VERSION_GOOD
            || code == S_VERSION_OLD) {
            code.clear();
        }
    }
    context->result.insert(KEY_RESULT, code.isEmpty() ? E_SERVER : code);
}

void NetworkReplyParser::parse(NetworkRequestContext *context)
{
    if (!context || !NetworkRequestContext::isKnownKind(context->kind)
        || context->kind == NetworkRequestKind::SearchAllPages
        || context->kind == NetworkRequestKind::NewOrdersAllPages) {
        return;
    }
    // An empty body takes each kind's outcome for a reply without elements, none of them a success
    // (the favourite changes judge the status themselves).
    ParsedBody parsed {context->result.value(KEY_BYTE_ARRAY).toByteArray(), preparationOf(context->kind), {}};
    bool wellFormed = false;
    parsed.document = prepareDocument(parsed.body, parsed.preparation, &wellFormed);
    if (!parsed.body.trimmed().isEmpty() && (isHttpFailure(context) || !wellFormed)) {
        parseFailedReply(context);
        if (wellFormed && NetworkRequestContext::isLoginKind(context->kind)) {
            checkVersionOfFailedLogin(context, parsed.document);
        }
        return;
    }
    // Restores the outer one: a reply may be parsed inside another's version check.
    struct Scope
    {
        explicit Scope(const ParsedBody *body)
            : outer(parsedBody)
        {
            parsedBody = body;
        }
        ~Scope() { parsedBody = outer; }
        const ParsedBody *outer;
    } scope(&parsed);
    switch (context->kind) {
    case NetworkRequestKind::Login:
    case NetworkRequestKind::LoginWrapper:
        parseLoginReply(context);
        break;
    case NetworkRequestKind::NewOrders:
    case NetworkRequestKind::Search:
    case NetworkRequestKind::SearchPage:
    case NetworkRequestKind::NewOrdersPage:
        parseOrderListReply(context);
        break;
    case NetworkRequestKind::Favourites:
    case NetworkRequestKind::FavouritesSynchronize:
        parseFavouritesReply(context);
        break;
    case NetworkRequestKind::FavouriteCreate:
    case NetworkRequestKind::FavouriteDelete:
        parseFavouriteChangeReply(context);
        break;
    case NetworkRequestKind::Subscriptions:
    case NetworkRequestKind::SubscriptionsSynchronize:
        parseSubscriptionsReply(context);
        break;
    case NetworkRequestKind::SubscriptionSave:
        parseSavedSubscriptionReply(context);
        break;
    case NetworkRequestKind::SubscriptionDelete:
        parseResultReply(context);
        break;
    case NetworkRequestKind::GeoPlaces:
        parseDictionaryReply(context, QStringLiteral("GeoPlaces"), QStringLiteral("GeoPlace"), KEY_REGIONS);
        break;
    case NetworkRequestKind::EconomicSectors:
        parseDictionaryReply(context, QStringLiteral("EconomicSectors"), QStringLiteral("EconomicSector"),
                             KEY_BRANCHES);
        break;
    case NetworkRequestKind::ReadOrder:
        parseSingleOrderReply(context);
        break;
    default:
        break;
    }
}

bool NetworkReplyParser::findResult(const QDomElement &root, QString *code)
{
    const QDomNodeList responses = root.elementsByTagName(TAG_RESPONSE);
    QDomElement response;
    if (responses.count() == 1) {
        response = responses.at(0).toElement();
    } else if (root.tagName() == TAG_RESPONSE) {
        response = responses.isEmpty() ? root : responses.at(0).toElement();
    } else {
        return false;
    }
    const QDomNodeList results = response.elementsByTagName(TAG_RESULT);
    if (results.count() != 1) {
        return false;
    }
    *code = results.at(0).toElement().text();
    return true;
}

bool NetworkReplyParser::parseResultReply(NetworkRequestContext *context)
{
    if (!context || !context->result.contains(KEY_BYTE_ARRAY)) {
        return false;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    QString code;
    if (!findResult(root, &code)) {
        return false;
    }
    context->result.insert(KEY_RESULT, code);
    return code == S_OK;
}

void NetworkReplyParser::parseVersionReply(QDomElement &root, NetworkRequestContext *context)
{
    applyVersionUpdates(root, &context->result);
}

void NetworkReplyParser::readOrderElement(QDomElement &order, QVariantMap *map)
{
    // Tag names repeat in every order of a list; sharing one lower-cased copy per spelling saves
    // an allocation per field.
    static thread_local QHash<QString, QString> lowerCaseKeys;
    for (QDomElement child = order.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        auto key = lowerCaseKeys.constFind(tag);
        if (key == lowerCaseKeys.constEnd()) {
            if (lowerCaseKeys.size() > 1024) {
                lowerCaseKeys.clear();
            }
            key = lowerCaseKeys.insert(tag, tag.toLower());
        }
        map->insert(key.value(), child.text());
    }
    QVariant &amount = (*map)[KEY_AMOUNT];
    const QString text = amount.toString();
    if (text.isEmpty() || !isPlainNumber(text)) {
        return;
    }
    amount = paddedAmount(text);
}

void NetworkReplyParser::parseLoginReply(NetworkRequestContext *context)
{
    QVariantMap &result = context->result;
    QDomDocument document;
    const bool hasBody = result.contains(KEY_BYTE_ARRAY);
    QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    QString refusal;
    const bool hasResult = hasBody && findResult(root, &refusal);
    if (hasResult) {
        result.insert(KEY_RESULT, refusal);
    }
    QByteArray session = context->reply ? context->reply->rawHeader(HEADER_SESSION) : QByteArray();
    if (session.isNull()) {
        session = QByteArray("");
    }
    result.insert(KEY_SESSION, session);

    parseVersionReply(root, context);
    callVersionCheck(context);
    // A version status never turns a refused login into a success; only an unsupported
    // version outranks the refusal.
    if (hasResult && refusal != S_OK && result.value(KEY_RESULT).toString() != E_VERSION_BAD) {
        result.insert(KEY_RESULT, refusal);
    }

    const QDomNodeList fullAccess = root.elementsByTagName(TAG_FULL_ACCESS);
    if (!fullAccess.isEmpty()) {
        result.insert(KEY_FULL_ACCESS, fullAccess.at(0).toElement().text());
    }
    const QDomNodeList users = root.elementsByTagName(TAG_USER);
    if (!users.isEmpty()) {
        QString id;
        QString fullName;
        QString subject;
        const QDomElement user = users.at(0).toElement();
        for (QDomElement child = user.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            const QString tag = child.tagName();
            if (tag.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) {
                id = child.text();
            } else if (tag.compare(QLatin1String("FullName"), Qt::CaseInsensitive) == 0) {
                fullName = child.text();
            } else if (tag.compare(QLatin1String("EconomicSubjectShortName"), Qt::CaseInsensitive) == 0) {
                subject = child.text();
            }
        }
        if (!id.isEmpty() || !fullName.isEmpty() || !subject.isEmpty()) {
            QString name = subject;
            if (!subject.isEmpty()) {
                name += QLatin1String(" > ");
            }
            name += fullName;
            if (!id.isEmpty()) {
                if (!fullName.isEmpty()) {
                    name += QLatin1String(" (");
                }
                name += QLatin1String("ID: ") + id;
                if (!fullName.isEmpty()) {
                    name += QLatin1Char(')');
                }
            }
            result.insert(KEY_NAME, name);
        }
    }
    NetworkRequestContext::removeStaleSessionCookies();
}

void NetworkReplyParser::parseOrderListReply(NetworkRequestContext *context)
{
    QVariantMap &result = context->result;
    result.insert(KEY_RESULT, E_SERVER);
    if (!result.contains(KEY_BYTE_ARRAY)) {
        return;
    }
    QDomDocument document;
    QDomElement root = rootOf(context, Preparation::TrimmedAndCleaned, &document);
    if (!hasDescendant(root, TAG_ORDERS)) {
        parseResultReply(context);
        parseVersionReply(root, context);
        return;
    }
    applyVersionUpdates(root, &result);
    callVersionCheck(context);
    result.insert(KEY_RESULT, S_OK);
    const QDomNodeList orders = root.elementsByTagName(TAG_ORDER);
    QVariantList list;
    const int count = orders.count();
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        QDomElement order = orders.at(i).toElement();
        QVariantMap map;
        readOrderElement(order, &map);
        list.append(map);
    }
    result.insert(KEY_ORDERS, list);
}

void NetworkReplyParser::parseFavouritesReply(NetworkRequestContext *context)
{
    if (!parseResultReply(context)) {
        return;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::TrimmedAndCleaned, &document);
    const QDomNodeList orders = root.elementsByTagName(TAG_ORDER);
    QVariantList list;
    for (int i = 0; i < orders.count(); ++i) {
        QDomElement order = orders.at(i).toElement();
        QVariantMap map;
        readOrderElement(order, &map);
        // The favourite's own date-time (when it was added) wins over an order's change date.
        for (QDomElement child = order.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (child.tagName().toLower() == KEY_RAW_DATE_TIME) {
                map.insert(KEY_CHANGE_DATE, QVariant(child.text()).toDateTime());
            }
        }
        list.append(map);
    }
    context->result.insert(KEY_FAVOURITES, list);
}

void NetworkReplyParser::parseFavouriteChangeReply(NetworkRequestContext *context)
{
    // An error result in the body (an expired session above all) is that error, so the login
    // wrapper can log in again instead of the change being lost; success needs status 200.
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::TrimmedAndCleaned, &document);
    QString code;
    const bool hasResult = findResult(root, &code);
    if (hasResult && code != S_OK) {
        context->result.insert(KEY_RESULT, code);
    } else {
        context->result.insert(KEY_RESULT, context->httpStatus == 200 ? S_OK : E_SERVER);
    }
}

QVariantMap NetworkReplyParser::readSubscription(const QDomElement &subscription)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QVariantMap filter;
    for (QDomElement child = subscription.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        if (tag == QLatin1String("WordsException")) {
            QVariantList words = childTexts(child, TAG_WORD);
            if (words.isEmpty()) {
                words = splitWords(child.text(), lineBreaks);
            }
            filter.insert(KEY_WORDS_EXCEPTION_LIST, words);
            // The filter record reads its excluded words from here.
            filter.insert(KEY_WORDS_EXCEPTIONS, words);
        } else if (tag == QLatin1String("PlacementMethod")) {
            for (QDomElement flag = child.firstChildElement(); !flag.isNull(); flag = flag.nextSiblingElement()) {
                filter.insert(flag.tagName().toLower(), flag.text());
            }
        } else if (tag == QLatin1String("Branches")) {
            filter.insert(KEY_FILTER_BRANCHES, childTexts(child, TAG_ID));
        } else if (tag == QLatin1String("Regions")) {
            filter.insert(KEY_FILTER_REGIONS, childTexts(child, TAG_ID));
        } else {
            const QString key = tag.toLower();
            if (key == KEY_WORDS_EXCEPTIONS) {
                // The form the client sends: the words in one text, separated by blanks.
                filter.insert(key, splitWords(child.text(), blanks));
                continue;
            }
            filter.insert(key, child.text());
            if (key == KEY_RAW_DATE_TIME) {
                filter.insert(KEY_FILTER_CHANGE_DATE, child.text());
            }
        }
    }
    return filter;
}

void NetworkReplyParser::parseSubscriptionsReply(NetworkRequestContext *context)
{
    if (!context->result.contains(KEY_BYTE_ARRAY)) {
        return;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    if (root.elementsByTagName(TAG_SUBSCRIPTIONS).isEmpty()) {
        return;
    }
    context->result.insert(KEY_RESULT, S_OK);
    const QDomNodeList subscriptions = root.elementsByTagName(TAG_SUBSCRIPTION);
    QVariantList filters;
    for (int i = 0; i < subscriptions.count(); ++i) {
        filters.append(readSubscription(subscriptions.at(i).toElement()));
    }
    context->result.insert(KEY_FILTERS, filters);
}

void NetworkReplyParser::parseSavedSubscriptionReply(NetworkRequestContext *context)
{
    parseResultReply(context);
    if (!context->result.contains(KEY_BYTE_ARRAY)) {
        return;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    // A created subscription keeps its server id even when the reply also says S_OK.
    const QDomNodeList ids = root.elementsByTagName(TAG_ID);
    if (ids.count() == 1) {
        context->result.insert(KEY_RESULT, S_OK);
        context->result.insert(KEY_ID, ids.at(0).toElement().text());
    }
}

void NetworkReplyParser::parseDictionaryReply(NetworkRequestContext *context, const QString &container,
                                              const QString &item, const QString &key)
{
    if (!parseResultReply(context)) {
        return;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    if (root.elementsByTagName(container).count() != 1) {
        // Without its one list this is no dictionary: the receiver must not replace its own with nothing.
        context->result.insert(KEY_RESULT, E_SERVER);
        return;
    }
    const QDomNodeList items = root.elementsByTagName(item);
    QVariantList list;
    for (int i = 0; i < items.count(); ++i) {
        QVariantMap map;
        const QDomElement element = items.at(i).toElement();
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            map.insert(child.tagName().toLower(), child.text());
        }
        list.append(map);
    }
    context->result.insert(key, list);
}

void NetworkReplyParser::readPairs(const QDomElement &parent, const QString &itemTag, const QString &nameTag,
                                   const QString &valueTag, QString *names, QString *values)
{
    names->clear();
    values->clear();
    const QDomNodeList items = parent.elementsByTagName(itemTag);
    for (int k = 0; k < items.count(); ++k) {
        const QString separator = k == 0 ? QString() : QStringLiteral("\n");
        const QDomElement element = items.at(k).toElement();
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            const QString tag = child.tagName();
            if (tag.compare(nameTag, Qt::CaseInsensitive) == 0) {
                names->append(separator + lineBreaksToHtml(child.text()));
            } else if (tag.compare(valueTag, Qt::CaseInsensitive) == 0) {
                values->append(separator + lineBreaksToHtml(child.text()));
            }
        }
    }
}

QVariantMap NetworkReplyParser::readDetailedOrder(const QDomElement &order)
{
    static const QHash<QString, QString> renamed = {
        {QStringLiteral("opendatetime"), KEY_OPENING_TIME},
        {QStringLiteral("price"), KEY_AMOUNT},
        {QStringLiteral("closedatetime"), KEY_CLOSING_TIME},
        {QStringLiteral("economicsectorname"), KEY_BRANCH},
        {QStringLiteral("orderplacingwayname"), KEY_PLACEMENT_METHOD},
    };
    QVariantMap map;
    for (QDomElement child = order.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString tag = child.tagName().toLower();
        if (tag == QLatin1String("docs")) {
            QString names;
            QString links;
            readPairs(child, QStringLiteral("Doc"), QStringLiteral("Name"), QStringLiteral("URL"), &names, &links);
            map.insert(KEY_DOC_NAMES, names);
            map.insert(KEY_DOC_URLS, links);
        } else if (tag == QLatin1String("subject")) {
            for (QDomElement part = child.firstChildElement(); !part.isNull(); part = part.nextSiblingElement()) {
                const QString partTag = part.tagName().toLower();
                if (partTag == QLatin1String("fullname")) {
                    map.insert(KEY_SUBJECT_FULL_NAME, part.text());
                } else if (partTag == QLatin1String("shortname")) {
                    map.insert(KEY_SUBJECT_SHORT_NAME, part.text());
                } else if (partTag == QLatin1String("contacts")) {
                    QString names;
                    QString values;
                    readPairs(part, QStringLiteral("Contact"), QStringLiteral("Name"), QStringLiteral("Value"), &names,
                              &values);
                    map.insert(KEY_CONTACT_NAMES, names);
                    map.insert(KEY_CONTACT_VALUES, values);
                } else {
                    map.insert(partTag, part.text());
                }
            }
        } else {
            map.insert(renamed.value(tag, tag), child.text());
        }
    }
    return map;
}

void NetworkReplyParser::parseSingleOrderReply(NetworkRequestContext *context)
{
    context->result.insert(KEY_RESULT, E_SERVER);
    parseResultReply(context);
    if (!context->result.contains(KEY_BYTE_ARRAY)) {
        return;
    }
    QDomDocument document;
    const QDomElement root = rootOf(context, Preparation::Trimmed, &document);
    const QDomNodeList orders = root.elementsByTagName(TAG_ORDER);
    if (orders.isEmpty()) {
        return;
    }
    context->result.insert(KEY_RESULT, S_OK);
    // A reply with several orders yields its first.
    context->result.insert(KEY_ORDERS, readDetailedOrder(orders.at(0).toElement()));
}
