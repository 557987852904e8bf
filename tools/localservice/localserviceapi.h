#ifndef LOCALSERVICEAPI_H
#define LOCALSERVICEAPI_H

#include "localserviceaccounts.h"
#include "localservicedata.h"
#include "localservicereply.h"
#include "localservicerequest.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QXmlStreamWriter>

// The request handlers of the stand-in service: one per path of the service's API, each reading
// the request document and answering with the service's reply document. It keeps the state that
// is not per subscriber (the list of new orders, the version status, the login cookies).
class LocalServiceApi
{
public:
    enum DictionaryShape { NormalDictionary, DictionaryWithoutList, DictionaryWithTwoLists };

    LocalServiceApi(LocalServiceData *data, LocalServiceAccounts *accounts);

    LocalServiceReply handle(const LocalServiceRequest &request, DictionaryShape dictionaryShape = NormalDictionary);

    void setBaseUrl(const QString &url) { baseUrl = url; }
    void setVersionStatus(const QString &status, const QString &url);
    // The reference time of the service (UTC); an invalid value means the real clock.
    void setNow(const QDateTime &utc) { fixedNow = utc; }
    QDateTime now() const;

    QList<qint64> newOrderIds; // the orders the new-orders kinds deliver, in this order
    // Set-Cookie values sent with every successful login besides the fresh "PHPSESSID".
    QList<QByteArray> loginCookies;

private:
    LocalServiceReply login(const LocalServiceRequest &request);
    LocalServiceReply newOrders(const LocalServiceRequest &request);
    LocalServiceReply search(const LocalServiceRequest &request);
    LocalServiceReply favourites(const QString &login);
    LocalServiceReply synchronizeFavourites(const LocalServiceRequest &request, const QString &login);
    LocalServiceReply changeFavourite(const LocalServiceRequest &request, const QString &login, bool add);
    LocalServiceReply subscriptions(const QString &login);
    LocalServiceReply synchronizeSubscriptions(const LocalServiceRequest &request, const QString &login);
    LocalServiceReply saveSubscription(const LocalServiceRequest &request, const QString &login, bool update);
    LocalServiceReply deleteSubscription(const LocalServiceRequest &request, const QString &login);
    LocalServiceReply dictionary(bool regions, DictionaryShape shape);
    LocalServiceReply readOrder(const LocalServiceRequest &request, const QString &login);

    // The order-list reply: "Orders" with "Count" (the whole list's size) and the orders of the
    // page; page 0 means the whole list.
    LocalServiceReply orderList(const QList<const LocalServiceData::Order *> &orders, int page, int rows,
                                const QString &login);
    void writeListOrder(QXmlStreamWriter &writer, const LocalServiceData::Order &order, bool fullAccess) const;
    void writeDetailOrder(QXmlStreamWriter &writer, const LocalServiceData::Order &order, bool fullAccess) const;
    bool fullAccessOf(const QString &login) const;

    LocalServiceData *data;
    LocalServiceAccounts *accounts;
    QString baseUrl;
    QString versionStatus;
    QString versionUrl;
    QDateTime fixedNow;
};

#endif // LOCALSERVICEAPI_H
