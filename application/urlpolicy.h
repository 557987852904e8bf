#ifndef URLPOLICY_H
#define URLPOLICY_H

#include <QByteArray>
#include <QString>
#include <QUrl>

// What the program does with addresses that leave it for the browser: only web addresses are opened,
// and the session goes only to the service's own pages.
namespace UrlPolicy {
// True for an http or https address with a host.
bool isBrowserUrl(const QUrl &url);
// True when the address is on the service's host.
bool isServiceUrl(const QUrl &url);
// The session cookie as text: the bytes up to the first zero byte, read as UTF-8.
QString sessionText(const QByteArray &cookie);
// The service's page with its whole query replaced by the single "session" item; any other address as it is.
QUrl withSession(const QUrl &url, const QString &session);
} // namespace UrlPolicy

#endif // URLPOLICY_H
