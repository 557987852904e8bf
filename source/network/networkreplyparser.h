#ifndef NETWORKREPLYPARSER_H
#define NETWORKREPLYPARSER_H

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QVariantMap>

class NetworkRequestContext;

// Turns the body of a finished reply into entries of its context's result map, by request kind.
// Stateless: every call parses its own document and touches only the context it is given.
// Receivers read the result code under "XMLResponseResult" and the data keys of the kind. A body
// that is not well-formed XML, or that came with an HTTP error status, gives no data and never a
// success code: it carries the service's error code when its readable body names one, else
// "E_SERVER". An empty body gives each kind's outcome for a reply without elements.
class NetworkReplyParser
{
public:
    static void parse(NetworkRequestContext *context);

    // The "Result" of the reply's "Response" element; true when it is "S_OK".
    static bool parseResultReply(NetworkRequestContext *context);
    // The version status ("Update"/"Status") and the update link ("Update"/"Url").
    static void parseVersionReply(QDomElement &root, NetworkRequestContext *context);
    // One "Order" element of an order list: its children by lower-cased tag, amount padded.
    static void readOrderElement(QDomElement &order, QVariantMap *map);

    enum class Preparation { Trimmed, TrimmedAndCleaned };
    static QDomDocument prepareDocument(const QByteArray &body, Preparation preparation);
    // True for a body with content that the kind's readers cannot parse whole.
    static bool isUnreadable(const QByteArray &body, Preparation preparation);
    static Preparation preparationOf(int kind);

private:
    static bool isHttpFailure(const NetworkRequestContext *context);
    static void parseFailedReply(NetworkRequestContext *context);
    static bool findResult(const QDomElement &root, QString *code);
    static void parseLoginReply(NetworkRequestContext *context);
    static void parseOrderListReply(NetworkRequestContext *context);
    static void parseFavouritesReply(NetworkRequestContext *context);
    static void parseFavouriteChangeReply(NetworkRequestContext *context);
    static void parseSubscriptionsReply(NetworkRequestContext *context);
    static void parseSavedSubscriptionReply(NetworkRequestContext *context);
    static void parseDictionaryReply(NetworkRequestContext *context, const QString &container, const QString &item,
                                     const QString &key);
    static void parseSingleOrderReply(NetworkRequestContext *context);
    static QVariantMap readSubscription(const QDomElement &subscription);
    static QVariantMap readDetailedOrder(const QDomElement &order);
    static void readPairs(const QDomElement &parent, const QString &itemTag, const QString &nameTag,
                          const QString &valueTag, QString *names, QString *values);
};

#endif // NETWORKREPLYPARSER_H
