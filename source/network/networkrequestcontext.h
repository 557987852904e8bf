#ifndef NETWORKREQUESTCONTEXT_H
#define NETWORKREQUESTCONTEXT_H

#include <QByteArray>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class NetworkRequestConstructor;
class TavrelNetworkAccessManager;

// The request kinds of the service's API; a plain int travels in the contexts, and any value
// outside 1..19 behaves as the empty kind.
namespace NetworkRequestKind {
enum : int {
    Empty = 0,
    Login = 1,
    NewOrders = 2,
    Favourites = 3,
    FavouritesSynchronize = 4,
    FavouriteCreate = 5,
    FavouriteDelete = 6,
    Search = 7,
    SearchPage = 8,
    SearchAllPages = 9,
    NewOrdersPage = 10,
    NewOrdersAllPages = 11,
    Subscriptions = 12,
    SubscriptionsSynchronize = 13,
    SubscriptionSave = 14,
    SubscriptionDelete = 15,
    GeoPlaces = 16,
    EconomicSectors = 17,
    LoginWrapper = 18,
    ReadOrder = 19
};
} // namespace NetworkRequestKind

// One request to the service's API while it is in flight and after it has finished: what it was
// built from, the live reply, the transport outcome and the result map the parser fills.
// The owner connects replyFinished(QObject*), calls start() and disposes of the context with
// deleteLater() once it has read the result map.
class NetworkRequestContext : public QObject
{
    Q_OBJECT
public:
    explicit NetworkRequestContext(QObject *parent = nullptr);
    ~NetworkRequestContext() override;

    int kind = 0;
    int wrappedKind = 0;
    QVariantMap parameters;
    QPointer<NetworkRequestConstructor> constructor;
    QPointer<TavrelNetworkAccessManager> accessManager;
    QByteArray body;
    QNetworkRequest request;
    int operation = QNetworkAccessManager::PostOperation;
    QPointer<QNetworkReply> reply;
    int httpStatus = 0;
    int networkError = QNetworkReply::NoError;
    QString errorString;
    QMap<QString, QString> errorDetails;
    QVariantMap result;
    QPointer<NetworkRequestContext> subRequest;
    QPointer<NetworkRequestContext> wrapper;

    // Sends the request and tracks its reply; returns the reply issued (null when nothing was sent).
    QNetworkReply *start();

    virtual QNetworkReply *send(bool track);
    virtual void abort();
    virtual bool isRunning() const;
    virtual bool processReply();

    // Stops the tracked reply without reporting anything: the reply is disconnected first, so
    // its cancellation never reaches processReply or the owner.
    virtual void cancelSilently();

    void emitReplyFinished(QObject *sender);
    // Null-safe form for callers that hold a pointer which may be empty.
    static void emitReplyFinished(NetworkRequestContext *context, QObject *sender);

    // Cancels the context silently and releases it with deleteLater(); safe to call on a
    // context whose signal is being emitted further up the stack.
    static void release(NetworkRequestContext *context);

    // Drops every cookie named "PHPSESSID" from the application's cookie jar, whatever its domain.
    static void removeStaleSessionCookies();

    static bool isLoginKind(int kind);
    // Kinds outside the known range behave as the empty kind.
    static bool isKnownKind(int kind);

signals:
    void replyFinished(QObject *sender);

public slots:
    void nativeReplyFinished();
    void debugErrorCrashOnSearchInShrinkMode();

protected:
    void disposeOfReply();
};

#endif // NETWORKREQUESTCONTEXT_H
