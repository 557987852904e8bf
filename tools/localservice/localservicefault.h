#ifndef LOCALSERVICEFAULT_H
#define LOCALSERVICEFAULT_H

#include <QByteArray>
#include <QString>

// One fault switch of the stand-in service: what goes wrong (the kind and its value) and on
// which requests (the conditions). Build one with a static maker and narrow it with the
// chained conditions, e.g.
//     service.addFault(LocalServiceFault::httpStatus(500).onPath("/api/orders/new").once());
//     service.addFault(LocalServiceFault::failPage(3));
//     service.addFault(LocalServiceFault::hang().onNth(2));
// A fault without conditions hits every request, for ever.
class LocalServiceFault
{
public:
    enum Kind {
        Delay, // answer after `value` ms
        Hang, // accept the request, never answer (the socket stays open)
        CloseConnection, // close the connection at once, no reply
        StopListening, // close the connection and every other one and stop listening; with
                       // `value` > 0 listen again on the same port after that many ms,
                       // otherwise only LocalService::resumeListening does
        HttpStatus, // answer with HTTP status `value`, the body unchanged
        EmptyBody, // answer with an empty body (status unchanged)
        MalformedXml, // a body that is not well-formed XML (an element is left open)
        TruncatedXml, // only the first half of the body (Content-Length matches it)
        PartialBody, // announce the whole body but send only `value` bytes of it, then hang
        WhitespacePadding, // blanks, tabs and line breaks before and after the document
        DorvaltMarker, // the 8 bytes "&Dorvalt" right after the root element's start tag
        ResultCode, // answer <Response><Result>`text`</Result></Response> instead
        ExpireSessions, // forget every session before the request is handled
        ChangePassword, // before handling, set the password of login `text` ("login:password")
        FailPage, // HTTP 500 with Result E_SERVER for a page request whose "Page" is `value`
        ExtraHeader, // add the reply header `text` ("Name: value"), e.g. a Cache-Control
        DictionaryWithoutList, // a dictionary reply with Result S_OK but no list element
        DictionaryWithTwoLists, // a dictionary reply with Result S_OK and the list element twice
        OrderCount // an order list's "Count" says `value`, whatever the list holds
    };

    Kind kind = Delay;
    int value = 0;
    QString text;

    // Conditions; a request must meet all of them.
    QString path; // the request's path equals this; empty: any path
    QByteArray method; // the request's method equals this; empty: any method
    int requestNumber = 0; // the request's serial number (LocalServiceRequest::number, from 1 since
                           // the service started or its log was cleared); 0: any
    int nth = 0; // the n-th request (from 1) that meets the other conditions; 0: every one
    int page = 0; // the request's "Page" element (1-based, as sent) equals this; 0: any
    int times = -1; // how many times the fault may still fire; negative: without limit

    static LocalServiceFault delay(int msecs);
    static LocalServiceFault hang();
    static LocalServiceFault closeConnection();
    static LocalServiceFault stopListening(int relistenAfterMsecs = 0);
    static LocalServiceFault httpStatus(int status);
    static LocalServiceFault emptyBody();
    static LocalServiceFault malformedXml();
    static LocalServiceFault truncatedXml();
    static LocalServiceFault partialBody(int bytes);
    static LocalServiceFault whitespacePadding();
    static LocalServiceFault dorvaltMarker();
    static LocalServiceFault resultCode(const QString &code);
    static LocalServiceFault expireSessions();
    static LocalServiceFault changePassword(const QString &login, const QString &password);
    // Page k counts from 1, as the "Page" element of the request does (the client's page 0 is 1).
    static LocalServiceFault failPage(int page);
    static LocalServiceFault extraHeader(const QByteArray &name, const QByteArray &value);
    static LocalServiceFault dictionaryWithoutList();
    static LocalServiceFault dictionaryWithTwoLists();
    static LocalServiceFault orderCount(int count);

    LocalServiceFault &onPath(const QString &requestPath);
    LocalServiceFault &onMethod(const QByteArray &requestMethod);
    LocalServiceFault &onRequest(int number);
    LocalServiceFault &onNth(int n);
    LocalServiceFault &onPage(int pageNumber);
    LocalServiceFault &setTimes(int count);
    LocalServiceFault &once() { return setTimes(1); }

private:
    static LocalServiceFault make(Kind kind, int value = 0, const QString &text = QString());
};

#endif // LOCALSERVICEFAULT_H
