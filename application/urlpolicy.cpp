#include "urlpolicy.h"

#include "networkconstants.h"
#include "networkrequestconstructor.h"

bool UrlPolicy::isBrowserUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool UrlPolicy::isServiceUrl(const QUrl &url)
{
    return isBrowserUrl(url) && url.host().compare(QUrl(baseUrl()).host(), Qt::CaseInsensitive) == 0;
}

QString UrlPolicy::sessionText(const QByteArray &cookie)
{
    const int zero = cookie.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? cookie : cookie.left(zero));
}

QUrl UrlPolicy::withSession(const QUrl &url, const QString &session)
{
    if (!isServiceUrl(url))
        return url;
    return NetworkRequestConstructor::urlWithQueryItem(url, QUERY_ITEM_SESSION, session);
}
