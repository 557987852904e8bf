#include "localservicefaults.h"

#include "localservicexml.h"

#include "constants.h"

namespace {

// Where the root element's content starts: just after its start tag (0 when there is none).
int rootContentStart(const QByteArray &body)
{
    int from = 0;
    while (true) {
        const int open = body.indexOf('<', from);
        if (open < 0)
            return 0;
        const int close = body.indexOf('>', open);
        if (close < 0)
            return 0;
        if (body.mid(open, 2) != "<?" && body.mid(open, 2) != "<!")
            return close + 1;
        from = close + 1;
    }
}

} // namespace

int LocalServiceFaults::add(const LocalServiceFault &fault)
{
    Entry entry;
    entry.id = nextId++;
    entry.fault = fault;
    entries.append(entry);
    return entry.id;
}

void LocalServiceFaults::remove(int id)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).id == id) {
            entries.removeAt(i);
            return;
        }
    }
}

void LocalServiceFaults::clear()
{
    entries.clear();
}

QList<LocalServiceFault> LocalServiceFaults::fire(const LocalServiceRequest &request)
{
    QList<LocalServiceFault> fired;
    bool pageOk = false;
    const int page = request.field(QStringLiteral("Page")).toInt(&pageOk);
    for (Entry &entry : entries) {
        const LocalServiceFault &fault = entry.fault;
        if (fault.times == 0)
            continue;
        if (!fault.path.isEmpty() && fault.path != request.path)
            continue;
        if (!fault.method.isEmpty() && fault.method != request.method)
            continue;
        if (fault.requestNumber > 0 && fault.requestNumber != request.number)
            continue;
        if (fault.page > 0 && (!pageOk || page != fault.page))
            continue;
        ++entry.seen;
        if (fault.nth > 0 && entry.seen != fault.nth)
            continue;
        if (entry.fault.times > 0)
            --entry.fault.times;
        fired.append(fault);
    }
    return fired;
}

void LocalServiceFaults::applyToReply(const QList<LocalServiceFault> &fired, LocalServiceReply *reply)
{
    for (const LocalServiceFault &fault : fired) {
        if (fault.kind == LocalServiceFault::FailPage) {
            *reply = LocalServiceReply::xml(LocalServiceXml::resultDocument(E_SERVER), 500);
        } else if (fault.kind == LocalServiceFault::ResultCode) {
            const int status = reply->status;
            *reply = LocalServiceReply::xml(LocalServiceXml::resultDocument(fault.text), status);
        }
    }
    for (const LocalServiceFault &fault : fired) {
        if (fault.kind == LocalServiceFault::HttpStatus) {
            reply->status = fault.value;
        } else if (fault.kind == LocalServiceFault::ExtraHeader) {
            const int colon = fault.text.indexOf(QLatin1Char(':'));
            reply->addHeader(fault.text.left(colon).trimmed().toLatin1(),
                             fault.text.mid(colon + 1).trimmed().toLatin1());
        }
    }
    for (const LocalServiceFault &fault : fired) {
        QByteArray &body = reply->body;
        switch (fault.kind) {
        case LocalServiceFault::EmptyBody:
            body.clear();
            break;
        case LocalServiceFault::MalformedXml:
            // An element that is never closed: the end tag of the root then mismatches.
            body.insert(rootContentStart(body), "<Broken>");
            break;
        case LocalServiceFault::TruncatedXml:
            body.truncate(body.size() / 2);
            break;
        case LocalServiceFault::WhitespacePadding:
            body = " \r\n\t " + body + "\n \t\r\n";
            break;
        case LocalServiceFault::DorvaltMarker:
            body.insert(rootContentStart(body), "&Dorvalt");
            break;
        case LocalServiceFault::OrderCount: {
            const QByteArray startTag = "<Count>";
            const int from = body.indexOf(startTag);
            const int to = body.indexOf("</Count>", from);
            if (from >= 0 && to > from)
                body.replace(from + startTag.size(), to - from - startTag.size(), QByteArray::number(fault.value));
            break;
        }
        default:
            break;
        }
    }
}
