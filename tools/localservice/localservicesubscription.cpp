#include "localservicesubscription.h"

#include "localservicexml.h"

namespace {

bool isDateBound(const QString &tag)
{
    return tag == QLatin1String("OpeningTimeFrom") || tag == QLatin1String("OpeningTimeTo")
        || tag == QLatin1String("ClosingTimeFrom") || tag == QLatin1String("ClosingTimeTo");
}

} // namespace

QString LocalServiceSubscription::field(const QString &tag) const
{
    for (const auto &entry : fields) {
        if (entry.first == tag)
            return entry.second;
    }
    return QString();
}

void LocalServiceSubscription::setField(const QString &tag, const QString &value)
{
    for (auto &entry : fields) {
        if (entry.first == tag) {
            entry.second = value;
            return;
        }
    }
    fields.append(qMakePair(tag, value));
}

qint64 LocalServiceSubscription::idOf(const QDomElement &parent)
{
    return parent.firstChildElement(QStringLiteral("ID")).text().trimmed().toLongLong();
}

void LocalServiceSubscription::readCriteria(const QDomElement &parent)
{
    fields.clear();
    words.clear();
    branches.clear();
    regions.clear();
    placementMethods.clear();
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        if (tag == QLatin1String("ID") || tag == QLatin1String("DateTime")) {
            continue;
        } else if (tag == QLatin1String("WordsExceptions")) {
            words = child.text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        } else if (tag == QLatin1String("Branches")) {
            branches = LocalServiceXml::idList(child);
        } else if (tag == QLatin1String("Regions")) {
            regions = LocalServiceXml::idList(child);
        } else if (tag == QLatin1String("PlacementMethod")) {
            for (QDomElement flag = child.firstChildElement(); !flag.isNull(); flag = flag.nextSiblingElement())
                placementMethods.append(qMakePair(flag.tagName(), flag.text()));
        } else {
            setField(tag, child.text());
        }
    }
}

void LocalServiceSubscription::write(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("Subscription"));
    writer.writeTextElement(QStringLiteral("ID"), QString::number(id));
    writer.writeTextElement(QStringLiteral("DateTime"), LocalServiceXml::serverTime(changeDate));
    for (const auto &entry : fields) {
        QString value = entry.second;
        // The client sends the bounds as bare dates; it reads server dates with a time part.
        if (isDateBound(entry.first) && value.count(QLatin1Char(' ')) == 0 && !value.isEmpty())
            value += QLatin1String(" 00:00:00");
        writer.writeTextElement(entry.first, value);
    }
    writer.writeStartElement(QStringLiteral("WordsException"));
    for (const QString &word : words)
        writer.writeTextElement(QStringLiteral("Word"), word);
    writer.writeEndElement();
    writer.writeTextElement(QStringLiteral("WordsExceptions"), words.join(QLatin1Char(' ')));
    writer.writeStartElement(QStringLiteral("Branches"));
    for (qint64 branch : branches)
        writer.writeTextElement(QStringLiteral("ID"), QString::number(branch));
    writer.writeEndElement();
    writer.writeStartElement(QStringLiteral("Regions"));
    for (qint64 region : regions)
        writer.writeTextElement(QStringLiteral("ID"), QString::number(region));
    writer.writeEndElement();
    writer.writeStartElement(QStringLiteral("PlacementMethod"));
    for (const auto &flag : placementMethods)
        writer.writeTextElement(flag.first, flag.second);
    writer.writeEndElement();
    writer.writeEndElement();
}
