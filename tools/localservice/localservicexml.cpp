#include "localservicexml.h"

QString LocalServiceXml::serverTime(const QDateTime &utc)
{
    return utc.toUTC().addSecs(serverOffsetSecs).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString LocalServiceXml::serverIsoTime(const QDateTime &utc)
{
    return utc.toUTC().addSecs(serverOffsetSecs).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QDate LocalServiceXml::serverDate(const QString &text)
{
    return QDate::fromString(text.trimmed().section(QLatin1Char(' '), 0, 0), QStringLiteral("dd.MM.yyyy"));
}

QByteArray LocalServiceXml::resultDocument(const QString &code)
{
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("Response"));
    writer.writeTextElement(QStringLiteral("Result"), code);
    writer.writeEndDocument();
    return out;
}

void LocalServiceXml::writeUpdate(QXmlStreamWriter &writer, const QString &status, const QString &url)
{
    if (status.isEmpty())
        return;
    writer.writeStartElement(QStringLiteral("Update"));
    writer.writeTextElement(QStringLiteral("Status"), status);
    writer.writeTextElement(QStringLiteral("Url"), url);
    writer.writeEndElement();
}

QList<qint64> LocalServiceXml::idList(const QDomElement &element)
{
    QList<qint64> ids;
    for (QDomElement id = element.firstChildElement(QStringLiteral("ID")); !id.isNull();
         id = id.nextSiblingElement(QStringLiteral("ID")))
        ids.append(id.text().trimmed().toLongLong());
    return ids;
}
