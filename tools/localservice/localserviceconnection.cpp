#include "localserviceconnection.h"

#include <QMetaObject>
#include <QUrl>

namespace {
// Limits that keep a broken client from making the service buffer without end.
const int maxHeadBytes = 64 * 1024;
const int maxBodyBytes = 64 * 1024 * 1024;
} // namespace

LocalServiceConnection::LocalServiceConnection(QTcpSocket *socket, QObject *parent)
    : QObject(parent)
    , socket(socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &LocalServiceConnection::readData);
    connect(socket, &QTcpSocket::disconnected, this, &LocalServiceConnection::markClosed);
}

LocalServiceConnection::~LocalServiceConnection()
{
    if (socket)
        socket->disconnect(this);
}

bool LocalServiceConnection::isOpen() const
{
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

void LocalServiceConnection::readData()
{
    if (!socket || hung)
        return;
    buffer += socket->readAll();
    processBuffer();
}

void LocalServiceConnection::processBuffer()
{
    while (!busy && !hung && socket && socket->state() == QAbstractSocket::ConnectedState) {
        LocalServiceRequest request;
        bool keepAlive = true;
        bool bad = false;
        if (!parseOne(&request, &keepAlive, &bad)) {
            if (bad)
                sendBadRequest(buffer.size() > maxHeadBytes ? 413 : 400);
            return;
        }
        busy = true;
        keepAliveCurrent = keepAlive;
        emit requestReceived(this, request);
    }
}

bool LocalServiceConnection::parseOne(LocalServiceRequest *request, bool *keepAlive, bool *bad)
{
    const int headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        *bad = buffer.size() > maxHeadBytes;
        return false;
    }
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
        *bad = true;
        return false;
    }
    request->method = requestLine.at(0);
    const QByteArray target = requestLine.at(1);
    const int question = target.indexOf('?');
    request->path = QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
    request->query = question < 0 ? QByteArray() : target.mid(question + 1);
    qint64 contentLength = 0;
    bool http10 = requestLine.at(2) == "HTTP/1.0";
    *keepAlive = !http10;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request->headers.append(qMakePair(name, value));
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            contentLength = value.toLongLong(&ok);
            if (!ok || contentLength < 0 || contentLength > maxBodyBytes) {
                *bad = true;
                return false;
            }
        } else if (name.compare("Connection", Qt::CaseInsensitive) == 0) {
            if (value.compare("close", Qt::CaseInsensitive) == 0)
                *keepAlive = false;
            else if (value.compare("keep-alive", Qt::CaseInsensitive) == 0)
                *keepAlive = true;
        } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            // Chunked uploads are not needed by the client; refuse them plainly.
            *bad = true;
            return false;
        }
    }
    const qint64 total = headEnd + 4 + contentLength;
    if (buffer.size() < total)
        return false;
    request->body = buffer.mid(headEnd + 4, int(contentLength));
    buffer.remove(0, int(total));
    request->decodeForm();
    return true;
}

void LocalServiceConnection::sendBadRequest(int status)
{
    LocalServiceReply reply;
    reply.status = status;
    buffer.clear();
    if (socket) {
        socket->write(reply.serialize(false));
        socket->disconnectFromHost();
    }
}

void LocalServiceConnection::sendReply(const LocalServiceReply &reply)
{
    if (!socket || hung || !busy)
        return;
    socket->write(reply.serialize(keepAliveCurrent));
    busy = false;
    if (!keepAliveCurrent) {
        socket->disconnectFromHost();
        return;
    }
    QMetaObject::invokeMethod(this, &LocalServiceConnection::processBuffer, Qt::QueuedConnection);
}

void LocalServiceConnection::sendPartialReply(const LocalServiceReply &reply, int bodyBytes)
{
    if (!socket || hung || !busy)
        return;
    const QByteArray all = reply.serialize(keepAliveCurrent);
    const int cut = all.size() - reply.body.size() + qBound(0, bodyBytes, reply.body.size() - 1);
    socket->write(all.left(cut));
    socket->flush();
    hung = true;
}

void LocalServiceConnection::hang()
{
    hung = true;
}

void LocalServiceConnection::abortConnection()
{
    hung = true;
    if (socket)
        socket->abort();
    markClosed();
}

void LocalServiceConnection::markClosed()
{
    if (closedReported)
        return;
    closedReported = true;
    emit closed(this);
}
