#include "localservicerequest.h"

#include <QUrl>

QByteArray LocalServiceRequest::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

bool LocalServiceRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QDomElement LocalServiceRequest::requestElement() const
{
    const QDomElement root = document.documentElement();
    return root.tagName() == QLatin1String("Request") ? root : QDomElement();
}

QString LocalServiceRequest::field(const QString &tag) const
{
    return requestElement().firstChildElement(tag).text();
}

bool LocalServiceRequest::hasField(const QString &tag) const
{
    return !requestElement().firstChildElement(tag).isNull();
}

QByteArray LocalServiceRequest::cookie(const QByteArray &name) const
{
    const QList<QByteArray> pairs = header("Cookie").split(';');
    for (const QByteArray &pair : pairs) {
        const int equals = pair.indexOf('=');
        if (equals < 0)
            continue;
        if (pair.left(equals).trimmed() == name)
            return pair.mid(equals + 1).trimmed();
    }
    return QByteArray();
}

bool LocalServiceRequest::formField(const QByteArray &form, const QByteArray &name, QString *value)
{
    const QList<QByteArray> pairs = form.split('&');
    for (const QByteArray &pair : pairs) {
        const int equals = pair.indexOf('=');
        QByteArray key = equals < 0 ? pair : pair.left(equals);
        key.replace('+', ' ');
        if (QByteArray::fromPercentEncoding(key) != name)
            continue;
        QByteArray raw = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        raw.replace('+', ' ');
        *value = QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
        return true;
    }
    return false;
}

void LocalServiceRequest::decodeForm()
{
    xml.clear();
    document = QDomDocument();
    hasXml = formField(method == "POST" ? body : query, "xml", &xml);
    if (hasXml && !document.setContent(xml))
        document = QDomDocument();
}
