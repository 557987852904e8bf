#ifndef LOCALSERVICEXML_H
#define LOCALSERVICEXML_H

#include <QByteArray>
#include <QDateTime>
#include <QDomElement>
#include <QList>
#include <QString>
#include <QXmlStreamWriter>

// Small helpers for the stand-in service's XML replies. The service's own clock runs four hours
// ahead of UTC: every date-time it writes is in that time.
class LocalServiceXml
{
public:
    static const int serverOffsetSecs = 4 * 3600;

    // "dd.MM.yyyy HH:mm:ss" in server time, the service's usual form.
    static QString serverTime(const QDateTime &utc);
    // "yyyy-MM-ddTHH:mm:ss" in server time, the ISO form of the favourites and dictionaries.
    static QString serverIsoTime(const QDateTime &utc);
    // Reads "dd.MM.yyyy" (optionally followed by a time) as a server-time date; invalid otherwise.
    static QDate serverDate(const QString &text);

    // The numbers of the <ID> children of element, in document order.
    static QList<qint64> idList(const QDomElement &element);

    // <?xml ...?><Response><Result>code</Result></Response>
    static QByteArray resultDocument(const QString &code);
    // Writes <Update><Status>status</Status><Url>url</Url></Update> when status is not empty.
    static void writeUpdate(QXmlStreamWriter &writer, const QString &status, const QString &url);
};

#endif // LOCALSERVICEXML_H
