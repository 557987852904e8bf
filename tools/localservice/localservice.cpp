#include "localservice.h"

#include "localserviceconnection.h"

#include <QNetworkCookie>
#include <QTimer>

LocalService::LocalService(QObject *parent)
    : QObject(parent)
    , api(&content, &accounts)
{
    connect(&server, &QTcpServer::newConnection, this, &LocalService::acceptConnections);
    generate(200, 1);
    LocalServiceUser demo;
    demo.login = QStringLiteral("demo");
    demo.passwordDigest = LocalServiceUser::digest(QStringLiteral("demo"));
    demo.fullAccess = true;
    demo.id = QStringLiteral("1001");
    demo.fullName = QStringLiteral("Смирнова Ольга Ивановна");
    demo.subjectShortName = QStringLiteral("ООО «Стройресурс»");
    accounts.addUser(demo);
    // A persistent cookie beside the session cookie, as the service's site keeps the region.
    QNetworkCookie region("tavrel_region", "77");
    region.setPath(QStringLiteral("/"));
    region.setExpirationDate(QDateTime::currentDateTimeUtc().addYears(1));
    api.loginCookies.append(region.toRawForm());
}

LocalService::~LocalService()
{
    server.close();
    closeConnections();
}

bool LocalService::start(quint16 port)
{
    if (server.isListening())
        server.close();
    if (!server.listen(QHostAddress::LocalHost, port))
        return false;
    listenPort = server.serverPort();
    api.setBaseUrl(url());
    return true;
}

QString LocalService::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(listenPort);
}

void LocalService::stopListening()
{
    server.close();
    closeConnections();
}

bool LocalService::resumeListening()
{
    if (server.isListening())
        return true;
    return listenPort != 0 && server.listen(QHostAddress::LocalHost, listenPort);
}

void LocalService::closeConnections()
{
    const QList<QPointer<LocalServiceConnection>> open = connections;
    connections.clear();
    for (const QPointer<LocalServiceConnection> &connection : open) {
        if (connection) {
            connection->disconnect(this);
            connection->abortConnection();
            connection->deleteLater();
        }
    }
}

void LocalService::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        auto *connection = new LocalServiceConnection(socket, this);
        connect(connection, &LocalServiceConnection::requestReceived, this, &LocalService::handleRequest);
        connect(connection, &LocalServiceConnection::closed, this, &LocalService::connectionClosed);
        connections.append(connection);
    }
}

void LocalService::connectionClosed(LocalServiceConnection *connection)
{
    connections.removeAll(connection);
    connection->deleteLater();
}

void LocalService::generate(int orderCount, quint32 seed)
{
    content.generate(orderCount, seed, api.now());
    api.newOrderIds.clear();
    for (const LocalServiceData::Order &order : content.orders())
        api.newOrderIds.append(order.id);
}

QList<qint64> LocalService::addNewOrders(int count)
{
    QList<qint64> ids;
    for (const LocalServiceData::Order &order : content.appendOrders(count, api.now()))
        ids.append(order.id);
    api.newOrderIds = ids + api.newOrderIds;
    return ids;
}

void LocalService::setVersionStatus(const QString &status, const QString &url)
{
    api.setVersionStatus(status, url.isEmpty() ? this->url() + QStringLiteral("/download") : url);
}

void LocalService::addUser(const QString &login, const QString &password, bool fullAccess)
{
    LocalServiceUser user;
    user.login = login;
    user.passwordDigest = LocalServiceUser::digest(password);
    user.fullAccess = fullAccess;
    user.id = QString::number(2000 + accounts.users().size());
    user.fullName = login;
    addUser(user);
}

void LocalService::addUser(const LocalServiceUser &user)
{
    accounts.addUser(user);
}

bool LocalService::setPassword(const QString &login, const QString &password)
{
    return accounts.setPassword(login, password);
}

QByteArray LocalService::openSession(const QString &login)
{
    return accounts.openSession(login);
}

void LocalService::expireAllSessions()
{
    accounts.expireAllSessions();
}

QList<qint64> LocalService::favourites(const QString &login) const
{
    QList<qint64> ids;
    for (const LocalServiceAccounts::Favourite &favourite : accounts.favourites(login))
        ids.append(favourite.orderId);
    return ids;
}

void LocalService::setFavourites(const QString &login, const QList<qint64> &orderIds)
{
    QList<LocalServiceAccounts::Favourite> list;
    for (qint64 id : orderIds)
        list.append({id, api.now()});
    accounts.setFavourites(login, list);
}

qint64 LocalService::addSubscription(const QString &login, const LocalServiceSubscription &subscription)
{
    LocalServiceSubscription copy = subscription;
    if (!copy.changeDate.isValid())
        copy.changeDate = api.now();
    return accounts.createSubscription(login, copy);
}

QList<LocalServiceRequest> LocalService::requests(const QString &path) const
{
    QList<LocalServiceRequest> list;
    for (const LocalServiceRequest &request : log) {
        if (request.path == path)
            list.append(request);
    }
    return list;
}

void LocalService::clearRequestLog()
{
    log.clear();
    requestCounter = 0;
}

LocalServiceRequest LocalService::lastRequest(const QString &path) const
{
    for (int i = log.size() - 1; i >= 0; --i) {
        if (path.isEmpty() || log.at(i).path == path)
            return log.at(i);
    }
    return LocalServiceRequest();
}

void LocalService::handleRequest(LocalServiceConnection *connection, const LocalServiceRequest &received)
{
    LocalServiceRequest request = received;
    request.number = ++requestCounter;
    log.append(request);
    if (log.size() > logLimit)
        log.erase(log.begin(), log.begin() + (log.size() - logLimit));
    emit requestReceived(request);

    const QList<LocalServiceFault> fired = faults.fire(request);
    LocalServiceApi::DictionaryShape shape = LocalServiceApi::NormalDictionary;
    int delay = 0;
    int partialBytes = -1;
    for (const LocalServiceFault &fault : fired) {
        switch (fault.kind) {
        case LocalServiceFault::ExpireSessions:
            accounts.expireAllSessions();
            break;
        case LocalServiceFault::ChangePassword:
            accounts.setPassword(fault.text.section(QLatin1Char(':'), 0, 0), fault.text.section(QLatin1Char(':'), 1));
            break;
        case LocalServiceFault::DictionaryWithoutList:
            shape = LocalServiceApi::DictionaryWithoutList;
            break;
        case LocalServiceFault::DictionaryWithTwoLists:
            shape = LocalServiceApi::DictionaryWithTwoLists;
            break;
        case LocalServiceFault::Delay:
            delay += qMax(0, fault.value);
            break;
        case LocalServiceFault::PartialBody:
            partialBytes = qMax(0, fault.value);
            break;
        default:
            break;
        }
    }
    for (const LocalServiceFault &fault : fired) {
        switch (fault.kind) {
        case LocalServiceFault::Hang:
            connection->hang();
            return;
        case LocalServiceFault::CloseConnection:
            connection->abortConnection();
            return;
        case LocalServiceFault::StopListening:
            stopListening();
            if (fault.value > 0)
                QTimer::singleShot(fault.value, this, &LocalService::resumeListening);
            return;
        default:
            break;
        }
    }

    LocalServiceReply reply = api.handle(request, shape);
    LocalServiceFaults::applyToReply(fired, &reply);
    const int number = request.number;
    auto send = [this, connection, reply, partialBytes, number]() {
        if (partialBytes >= 0) {
            connection->sendPartialReply(reply, partialBytes);
            return;
        }
        connection->sendReply(reply);
        emit replySent(number, reply.status);
    };
    if (delay > 0)
        QTimer::singleShot(delay, connection, send);
    else
        send();
}
