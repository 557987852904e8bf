#ifndef LOCALSERVICEREPLY_H
#define LOCALSERVICEREPLY_H

#include <QByteArray>
#include <QList>
#include <QPair>

// One HTTP reply of the stand-in service, before it is written to the socket.
class LocalServiceReply
{
public:
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers; // besides Content-Length and Connection
    QByteArray body;

    LocalServiceReply() = default;
    // An XML reply (Content-Type "text/xml; charset=utf-8") with the given status.
    static LocalServiceReply xml(const QByteArray &document, int status = 200);

    void setHeader(const QByteArray &name, const QByteArray &value); // replaces a header of that name
    void addHeader(const QByteArray &name, const QByteArray &value); // adds one more (Set-Cookie)
    QByteArray header(const QByteArray &name) const;

    // The bytes on the wire: status line, headers, Content-Length, Connection and the body.
    QByteArray serialize(bool keepAlive) const;
    static QByteArray reasonPhrase(int status);
};

#endif // LOCALSERVICEREPLY_H
