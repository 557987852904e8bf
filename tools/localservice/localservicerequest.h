#ifndef LOCALSERVICEREQUEST_H
#define LOCALSERVICEREQUEST_H

#include <QByteArray>
#include <QDomDocument>
#include <QList>
#include <QPair>
#include <QString>

// One HTTP request as the stand-in service received it. The service keeps every request in its
// log, so tests can check what the client really sent: method, path, headers, the raw body and
// the decoded "xml" form field with its parsed document.
class LocalServiceRequest
{
public:
    // Serial number of the request, counting from 1 since the service was created or its log
    // was last cleared.
    int number = 0;
    QByteArray method; // "GET", "POST", ...
    QString path; // the decoded path without the query, e.g. "/api/login"
    QByteArray query; // the raw query (text after "?"), empty when none
    QList<QPair<QByteArray, QByteArray>> headers; // in arrival order, names as sent
    QByteArray body; // the raw body
    // The form field "xml" decoded as a form-decoding web back end does it ("+" becomes a
    // blank, then percent-decoding), from the body of a POST or the query of a GET.
    QString xml;
    bool hasXml = false; // whether the field "xml" was present at all
    QDomDocument document; // "xml" parsed; null when absent or not well-formed

    // The value of a header, names compared case-insensitively; empty when absent.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    // The root element "Request" of the document (a null element when the root is missing or
    // named otherwise).
    QDomElement requestElement() const;
    // The text of the first child element of "Request" with the given tag; empty when absent.
    QString field(const QString &tag) const;
    bool hasField(const QString &tag) const;
    // The value of one cookie of the "Cookie" header; empty when absent.
    QByteArray cookie(const QByteArray &name) const;

    // Decodes one form field of an "application/x-www-form-urlencoded" text: the pairs are
    // split at "&" and "=", "+" becomes a blank, then percent escapes are decoded as UTF-8.
    // Returns whether the field was present; its value goes to *value.
    static bool formField(const QByteArray &form, const QByteArray &name, QString *value);
    // Fills xml, hasXml and document from the body (POST) or the query (other methods).
    void decodeForm();
};

#endif // LOCALSERVICEREQUEST_H
