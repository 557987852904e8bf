#ifndef LOCALSERVICE_H
#define LOCALSERVICE_H

#include "localserviceaccounts.h"
#include "localserviceapi.h"
#include "localservicedata.h"
#include "localservicefault.h"
#include "localservicefaults.h"
#include "localservicerequest.h"
#include "localservicesubscription.h"
#include "localserviceuser.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class LocalServiceConnection;

// A small working stand-in of the service's HTTP API on 127.0.0.1, for the tests, the
// benchmarks and local runs of the client (tools/localservice/main.cpp wraps it as the program
// tavrel-localservice).
//
// It speaks HTTP/1.1 with keep-alive and Content-Length bodies, decodes the form field "xml"
// from a POST body or a GET query, parses its "Request" document, logs every request and
// answers every path of the API with the service's reply documents:
//   POST /api/login                              login; the reply carries the session in the header
//                                                "X-Tavrel-Session" and sets the cookie PHPSESSID
//                                                (plus any addLoginCookie() cookies)
//   GET  /api/orders/new                         all new orders ("Orders" with "Count")
//   POST /api/orders/new                         one page of them ("Page" from 1, "Rows")
//   POST /api/orders/search                      search; paged when "Page" is given
//   GET  /api/orders/favorites                   favourites ("Order" with an ISO "DateTime")
//   POST /api/orders/favorites/synchronize       replaces the favourites by the "Orders"/"ID" list
//   POST /api/orders/favorites/create, /delete   HTTP 200 (create of an unknown order: 404)
//   GET  /api/orders/subscriptions               "Subscriptions"/"Subscription" with "ID", "DateTime"
//   POST /api/orders/subscriptions/synchronize   upserts the sent subscriptions, answers the list
//   POST /api/orders/subscriptions/create        <Response><ID>n</ID></Response> (no "Result")
//   POST /api/orders/subscriptions/update        Result S_OK, or E_INVALID_ID for an unknown id
//   POST /api/orders/subscriptions/delete        Result S_OK, or E_INVALID_ID for an unknown id
//   POST /api/register/get/geoplaces             "GeoPlaces"/"GeoPlace" (ID, ParentID, Name,
//                                                RegionChangeDate), no session needed
//   POST /api/register/get/economicsectors       "EconomicSectors"/"EconomicSector" likewise
//   GET  /api/orders/read                        one order in detail (Docs, Subject, Contacts)
// Every path but the login and the two dictionaries needs a live session in "X-Tavrel-Session";
// a missing, unknown or expired one is answered <Response><Result>E_INVALID_USERNAME_OR_PASSWORD
// </Result></Response> (with HTTP 403 on favourites create/delete, whose replies the client judges
// by status alone). An unknown path gets 404, a wrong method 405, a request without a "Request"
// document 400, each with Result E_CLIENT.
//
// Date-times in replies are server time, UTC + 4 h: "dd.MM.yyyy HH:mm:ss" for the opening and
// closing times of orders and in subscriptions, "yyyy-MM-ddTHH:mm:ss" for an order's "ChangeDate",
// the favourites' "DateTime" and the dictionaries' change dates.
//
// A new service holds 200 orders generated from seed 1 (all of them new orders) and the user
// demo/demo with full access. It runs on the thread that created it and needs its event loop.
// Faults are switched on with addFault() (see LocalServiceFault); tests start the service through
// LocalServiceFixture (tests/common/localservicefixture.h), which also points baseUrl() at it.
class LocalService : public QObject
{
    Q_OBJECT
public:
    static const quint16 defaultPort = 8765;

    explicit LocalService(QObject *parent = nullptr);
    ~LocalService() override;

    // --- Listening -------------------------------------------------------------------------
    // Listens on 127.0.0.1 at the port (0: any free port). Returns false when it cannot.
    bool start(quint16 port = 0);
    quint16 port() const { return listenPort; }
    QString url() const; // "http://127.0.0.1:<port>", no trailing slash
    bool isListening() const { return server.isListening(); }
    // Stops listening and closes every open connection, as a server that went down: new
    // connections are refused until resumeListening().
    void stopListening();
    bool resumeListening(); // listens again on the same port

    // --- Content ---------------------------------------------------------------------------
    // Replaces all orders and the dictionaries by data generated from the seed; every generated
    // order becomes a new order.
    void generate(int orderCount, quint32 seed);
    const LocalServiceData &data() const { return content; }
    QList<qint64> newOrderIds() const { return api.newOrderIds; }
    void setNewOrderIds(const QList<qint64> &ids) { api.newOrderIds = ids; }
    // Generates `count` further orders, puts them first in the new orders and returns their ids.
    QList<qint64> addNewOrders(int count);
    // The service's "now" (UTC) for generated and added orders, the archive search and change
    // dates; invalid (the default): the real clock. Call generate() after it for data around it.
    void setNow(const QDateTime &utc) { api.setNow(utc); }
    // Adds <Update><Status>status</Status><Url>url</Url></Update> to login and order-list replies
    // ("S_VERSION_GOOD", "S_VERSION_OLD", "E_VERSION_BAD"); an empty status removes it.
    void setVersionStatus(const QString &status, const QString &url = QString());

    // --- Users and sessions ----------------------------------------------------------------
    void addUser(const QString &login, const QString &password, bool fullAccess = true);
    void addUser(const LocalServiceUser &user); // replaces a user of the same login
    void clearUsers() { accounts.clearUsers(); } // the demo user too
    const LocalServiceUser *user(const QString &login) const { return accounts.user(login); }
    bool setPassword(const QString &login, const QString &password);
    QByteArray openSession(const QString &login); // a valid session token without a login request
    void expireAllSessions();
    QList<QByteArray> sessions() const { return accounts.sessions(); }
    // A further Set-Cookie value for successful logins, e.g. "lang=ru; Expires=...; Path=/".
    void addLoginCookie(const QByteArray &setCookie) { api.loginCookies.append(setCookie); }
    void clearLoginCookies() { api.loginCookies.clear(); }

    // --- Favourites and subscriptions of a user ---------------------------------------------
    QList<qint64> favourites(const QString &login) const;
    void setFavourites(const QString &login, const QList<qint64> &orderIds);
    QList<LocalServiceSubscription> subscriptions(const QString &login) const { return accounts.subscriptions(login); }
    qint64 addSubscription(const QString &login, const LocalServiceSubscription &subscription);

    // --- Fault switches (see LocalServiceFault) ----------------------------------------------
    int addFault(const LocalServiceFault &fault) { return faults.add(fault); }
    void removeFault(int id) { faults.remove(id); }
    void clearFaults() { faults.clear(); }

    // --- Request log -------------------------------------------------------------------------
    QList<LocalServiceRequest> requestLog() const { return log; }
    QList<LocalServiceRequest> requests(const QString &path) const; // those on one path, in order
    LocalServiceRequest lastRequest(const QString &path = QString()) const; // number 0 when none
    int requestCount() const { return log.size(); }
    // Empties the log and restarts the request numbers (and LocalServiceFault::onRequest) at 1.
    void clearRequestLog();
    // The log keeps the newest requests up to this number (default 10000), so that a long run
    // does not grow without end; 0 keeps nothing.
    void setLogLimit(int requests) { logLimit = qMax(0, requests); }

signals:
    // Emitted for every request as soon as it is read, before it is answered.
    void requestReceived(const LocalServiceRequest &request);
    // Emitted when the reply to a request has been written (not for hung or closed ones).
    void replySent(int requestNumber, int status);

private slots:
    void acceptConnections();
    void handleRequest(LocalServiceConnection *connection, const LocalServiceRequest &request);
    void connectionClosed(LocalServiceConnection *connection);

private:
    void closeConnections();

    QTcpServer server;
    quint16 listenPort = 0;
    LocalServiceData content;
    LocalServiceAccounts accounts;
    LocalServiceApi api;
    LocalServiceFaults faults;
    QList<LocalServiceRequest> log;
    QList<QPointer<LocalServiceConnection>> connections;
    int requestCounter = 0;
    int logLimit = 10000;
};

#endif // LOCALSERVICE_H
