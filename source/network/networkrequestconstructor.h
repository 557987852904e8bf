#ifndef NETWORKREQUESTCONSTRUCTOR_H
#define NETWORKREQUESTCONSTRUCTOR_H

#include <QDomElement>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class NetworkRequestContext;
class QXmlStreamWriter;

namespace Entity {
class FavouriteItem;
class Filter;
class FilterList;
} // namespace Entity

// The one factory of requests to the service's API and the parser of their replies. It keeps no
// state: each call builds a new, unstarted context that belongs to the caller.
class NetworkRequestConstructor : public QObject
{
    Q_OBJECT
public:
    explicit NetworkRequestConstructor(QObject *parent = nullptr);

    // Builds a context of the given kind from the parameters (copied; may be null). Never null.
    virtual NetworkRequestContext *createRequest(int kind, const QVariantMap *parameters = nullptr);
    // Fills the context's result map from its reply body (stored under "ByteArray").
    virtual void parseResponse(NetworkRequestContext *context);

    NetworkRequestContext *subscriptionsRequest();
    NetworkRequestContext *geoPlacesRequest();
    NetworkRequestContext *economicSectorsRequest();
    NetworkRequestContext *newOrdersRequest();
    NetworkRequestContext *favouritesRequest();

    NetworkRequestContext *synchronizeFavouritesRequest(const QList<Entity::FavouriteItem *> &favourites);
    NetworkRequestContext *readOrderRequest(qint64 orderId);
    NetworkRequestContext *createFavouriteRequest(qint64 orderId);
    NetworkRequestContext *deleteFavouriteRequest(qint64 orderId);
    NetworkRequestContext *synchronizeSubscriptionsRequest(const Entity::FilterList &filters);
    NetworkRequestContext *allNewOrdersRequest(int rowsPerPage);
    NetworkRequestContext *deleteSubscriptionRequest(qint64 localId, qint64 id);
    NetworkRequestContext *saveSubscriptionRequest(Entity::Filter *filter);
    // The save flag is sent back to the login's receiver only when given (not null).
    NetworkRequestContext *loginRequest(const QString &login, const QString &password,
                                        const bool *saveLoginAndPassword = nullptr);
    NetworkRequestContext *loginRequest(const QString &login, const QString &password, bool saveLoginAndPassword);
    NetworkRequestContext *newOrdersPageRequest(int pageNumber, int rowsCount);
    NetworkRequestContext *searchAllPagesRequest(Entity::Filter *filter, int rowsPerPage);
    NetworkRequestContext *searchAllPagesRequest(const QString &searchArea, const QString &searchText, bool morphology,
                                                 bool wordsRequired, int rowsPerPage);
    NetworkRequestContext *searchPageRequest(const QVariantMap &filter, int pageNumber, int rowsCount);
    NetworkRequestContext *searchPageRequest(const QString &searchArea, const QString &searchText, bool morphology,
                                             bool wordsRequired, int pageNumber, int rowsCount);
    NetworkRequestContext *searchRequest(const QString &searchArea, const QString &searchText, bool morphology,
                                         bool wordsRequired);
    // A login request carrying the inner request (may be null); see LoginWrapperRequestContext.
    NetworkRequestContext *loginWrapperRequest(const QString &login, const QString &password,
                                               NetworkRequestContext *inner);

    // Writes the criteria of one subscription (a filter record map) into the open element.
    static void writeSubscription(QXmlStreamWriter &writer, const QVariantMap &filter);

    static bool parseResultReply(NetworkRequestContext *context);
    static void parseVersionReply(QDomElement &root, NetworkRequestContext *context);
    static void readOrderElement(QDomElement &order, QVariantMap *map);

    static QUrl urlWithQueryItem(const QUrl &url, const QString &key, const QString &value);
    static QUrl addQueryItem(const QUrl &url, const QString &key, const QString &value);
    static QString urlWithQuery(const QString &url, const QString &key, const QString &value);

private:
    static void writeRequestDocument(int kind, const QVariantMap &parameters, QXmlStreamWriter &writer, QUrl *url,
                                     int *operation);
    static void writeSearchChildren(const QVariantMap &parameters, QXmlStreamWriter &writer);
};

#endif // NETWORKREQUESTCONSTRUCTOR_H
