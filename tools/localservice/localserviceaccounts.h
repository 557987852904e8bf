#ifndef LOCALSERVICEACCOUNTS_H
#define LOCALSERVICEACCOUNTS_H

#include "localservicesubscription.h"
#include "localserviceuser.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>

// The subscribers of the stand-in service and what it keeps for each: open sessions, favourite
// orders and subscriptions.
class LocalServiceAccounts
{
public:
    struct Favourite
    {
        qint64 orderId = 0;
        QDateTime added; // UTC
    };

    void addUser(const LocalServiceUser &user); // replaces a user of the same login
    void clearUsers() { userList.clear(); }
    bool setPassword(const QString &login, const QString &password); // false for an unknown login
    const LocalServiceUser *user(const QString &login) const;
    QList<LocalServiceUser> users() const { return userList; }
    // The user when the login exists and the digest matches (hex compared case-insensitively).
    const LocalServiceUser *authenticate(const QString &login, const QString &passwordDigest) const;

    QByteArray openSession(const QString &login);
    QString sessionLogin(const QByteArray &token) const; // empty for an unknown or expired token
    void expireAllSessions();
    QList<QByteArray> sessions() const { return sessionLogins.keys(); }

    QList<Favourite> favourites(const QString &login) const { return favouriteLists.value(login); }
    void setFavourites(const QString &login, const QList<Favourite> &favourites);
    void addFavourite(const QString &login, qint64 orderId, const QDateTime &when);
    bool removeFavourite(const QString &login, qint64 orderId);

    QList<LocalServiceSubscription> subscriptions(const QString &login) const;
    // Stores a new subscription under a fresh server id and returns that id.
    qint64 createSubscription(const QString &login, LocalServiceSubscription subscription);
    bool updateSubscription(const QString &login, const LocalServiceSubscription &subscription);
    bool deleteSubscription(const QString &login, qint64 id);

private:
    QList<LocalServiceUser> userList;
    QHash<QByteArray, QString> sessionLogins;
    QHash<QString, QList<Favourite>> favouriteLists;
    QHash<QString, QMap<qint64, LocalServiceSubscription>> subscriptionMaps;
    int sessionCounter = 0;
    qint64 nextSubscriptionId = 701;
};

#endif // LOCALSERVICEACCOUNTS_H
