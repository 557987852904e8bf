#ifndef LOCALSERVICECONNECTION_H
#define LOCALSERVICECONNECTION_H

#include "localservicereply.h"
#include "localservicerequest.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

// One accepted TCP connection of the stand-in service speaking HTTP/1.1: it reads requests with
// a Content-Length body one after the other (keep-alive), hands each to its owner and writes the
// reply the owner gives back. The next request on the same connection is read only after the
// current one has been answered, so replies keep the order of the requests.
class LocalServiceConnection : public QObject
{
    Q_OBJECT
public:
    explicit LocalServiceConnection(QTcpSocket *socket, QObject *parent = nullptr);
    ~LocalServiceConnection() override;

    // Writes the reply of the current request and goes on with the next one. A request that
    // asked for "Connection: close" (or an HTTP/1.0 request without keep-alive) closes the
    // connection after its reply.
    void sendReply(const LocalServiceReply &reply);
    // Writes the reply's head with its full Content-Length and only the first bytes of its body,
    // then stops answering: the client waits for the rest.
    void sendPartialReply(const LocalServiceReply &reply, int bodyBytes);
    // Never answers the current request and reads nothing more; the socket stays open.
    void hang();
    // Closes the connection at once (a reset, no reply).
    void abortConnection();
    bool isOpen() const;

signals:
    void requestReceived(LocalServiceConnection *connection, const LocalServiceRequest &request);
    void closed(LocalServiceConnection *connection);

private slots:
    void readData();
    void processBuffer();
    void markClosed();

private:
    bool parseOne(LocalServiceRequest *request, bool *keepAlive, bool *bad);
    void sendBadRequest(int status);

    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    bool busy = false;
    bool hung = false;
    bool keepAliveCurrent = true;
    bool closedReported = false;
};

#endif // LOCALSERVICECONNECTION_H
