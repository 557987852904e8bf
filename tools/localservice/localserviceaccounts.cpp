#include "localserviceaccounts.h"

#include <QCryptographicHash>

void LocalServiceAccounts::addUser(const LocalServiceUser &user)
{
    for (LocalServiceUser &existing : userList) {
        if (existing.login == user.login) {
            existing = user;
            return;
        }
    }
    userList.append(user);
}

bool LocalServiceAccounts::setPassword(const QString &login, const QString &password)
{
    for (LocalServiceUser &existing : userList) {
        if (existing.login == login) {
            existing.passwordDigest = LocalServiceUser::digest(password);
            return true;
        }
    }
    return false;
}

const LocalServiceUser *LocalServiceAccounts::user(const QString &login) const
{
    for (const LocalServiceUser &existing : userList) {
        if (existing.login == login)
            return &existing;
    }
    return nullptr;
}

const LocalServiceUser *LocalServiceAccounts::authenticate(const QString &login, const QString &passwordDigest) const
{
    const LocalServiceUser *found = user(login);
    if (!found || found->passwordDigest.compare(passwordDigest.trimmed(), Qt::CaseInsensitive) != 0)
        return nullptr;
    return found;
}

QByteArray LocalServiceAccounts::openSession(const QString &login)
{
    const QByteArray seed = login.toUtf8() + '/' + QByteArray::number(++sessionCounter) + "/tavrel";
    const QByteArray token = QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex().left(32);
    sessionLogins.insert(token, login);
    return token;
}

QString LocalServiceAccounts::sessionLogin(const QByteArray &token) const
{
    return sessionLogins.value(token);
}

void LocalServiceAccounts::expireAllSessions()
{
    sessionLogins.clear();
}

void LocalServiceAccounts::setFavourites(const QString &login, const QList<Favourite> &favourites)
{
    favouriteLists.insert(login, favourites);
}

void LocalServiceAccounts::addFavourite(const QString &login, qint64 orderId, const QDateTime &when)
{
    QList<Favourite> &list = favouriteLists[login];
    for (const Favourite &favourite : list) {
        if (favourite.orderId == orderId)
            return;
    }
    list.append({orderId, when});
}

bool LocalServiceAccounts::removeFavourite(const QString &login, qint64 orderId)
{
    QList<Favourite> &list = favouriteLists[login];
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).orderId == orderId) {
            list.removeAt(i);
            return true;
        }
    }
    return false;
}

QList<LocalServiceSubscription> LocalServiceAccounts::subscriptions(const QString &login) const
{
    return subscriptionMaps.value(login).values();
}

qint64 LocalServiceAccounts::createSubscription(const QString &login, LocalServiceSubscription subscription)
{
    subscription.id = nextSubscriptionId++;
    subscriptionMaps[login].insert(subscription.id, subscription);
    return subscription.id;
}

bool LocalServiceAccounts::updateSubscription(const QString &login, const LocalServiceSubscription &subscription)
{
    QMap<qint64, LocalServiceSubscription> &map = subscriptionMaps[login];
    if (!map.contains(subscription.id))
        return false;
    map.insert(subscription.id, subscription);
    return true;
}

bool LocalServiceAccounts::deleteSubscription(const QString &login, qint64 id)
{
    return subscriptionMaps[login].remove(id) > 0;
}
