#ifndef LOCALSERVICESUBSCRIPTION_H
#define LOCALSERVICESUBSCRIPTION_H

#include <QDateTime>
#include <QDomElement>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QXmlStreamWriter>

// A saved search (subscription) as the stand-in service keeps it: its server id, when it was last
// changed, and the criteria the client sent.
class LocalServiceSubscription
{
public:
    qint64 id = 0;
    QDateTime changeDate; // UTC
    QList<QPair<QString, QString>> fields; // single-value criteria in the order received ("Name", ...)
    QStringList words; // the excluded words
    QList<qint64> branches;
    QList<qint64> regions;
    QList<QPair<QString, QString>> placementMethods; // "OpenCompetition" -> "TRUE", ...

    QString field(const QString &tag) const;
    void setField(const QString &tag, const QString &value);

    // Reads the criteria from the children of a "Request" or "Subscription" element. "ID" and
    // "DateTime" are not criteria and are skipped (read them with idOf()).
    void readCriteria(const QDomElement &parent);
    static qint64 idOf(const QDomElement &parent); // the "ID" child as a number; 0 when absent

    // Writes one "Subscription" element: "ID", "DateTime" (server time), the criteria with the
    // date bounds as "dd.MM.yyyy HH:mm:ss", the excluded words both as "WordsException" with one
    // "Word" per word and as "WordsExceptions" with the words joined by blanks, "Branches" and
    // "Regions" with an "ID" per entry, and "PlacementMethod" with its flags.
    void write(QXmlStreamWriter &writer) const;
};

#endif // LOCALSERVICESUBSCRIPTION_H
