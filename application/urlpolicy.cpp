#include "urlpolicy.h"

#include "networkconstants.h"

#include <QUrlQuery>

namespace UrlPolicy {

namespace {

// Without a session the item is still written, with an empty value ("session=").
QString itemValue(const QString &session)
{
    return session.isNull() ? QString(QLatin1String("")) : session;
}

} // namespace

bool isBrowserUrl(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isServiceHost(const QUrl &url)
{
    const QString host = QUrl(baseUrl()).host();
    return !host.isEmpty() && url.host().compare(host, Qt::CaseInsensitive) == 0;
}

QString sessionText(const QByteArray &cookie)
{
    const int zero = cookie.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? cookie : cookie.left(zero));
}

QUrl withSessionItem(const QUrl &url, const QString &session)
{
    if (!isServiceHost(url))
        return url;
    QUrl result(url);
    QUrlQuery query(result);
    query.addQueryItem(QUERY_ITEM_SESSION, itemValue(session));
    result.setQuery(query);
    return result;
}

QUrl withSessionQuery(const QUrl &url, const QString &session)
{
    if (!isServiceHost(url))
        return url;
    QUrl result(url);
    QUrlQuery query;
    query.addQueryItem(QUERY_ITEM_SESSION, itemValue(session));
    result.setQuery(query);
    return result;
}

} // namespace UrlPolicy
