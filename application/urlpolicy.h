#ifndef URLPOLICY_H
#define URLPOLICY_H

#include <QByteArray>
#include <QString>
#include <QUrl>

// The one rule for addresses that leave the program: only http and https addresses become links or are
// opened in the browser, and the session travels only to the service's own host (the host of baseUrl()).
// Every window that shows or opens an address from a reply goes through these functions.
namespace UrlPolicy {

// An http or https address with a host.
bool isBrowserUrl(const QUrl &url);
// An address on the host of baseUrl() (case-insensitive).
bool isServiceHost(const QUrl &url);
// The session cookie as text: its bytes up to the first zero byte, read as UTF-8.
QString sessionText(const QByteArray &cookie);
// The address with the "session" query item appended after its own items, for the service's host only;
// any other address is returned as given.
QUrl withSessionItem(const QUrl &url, const QString &session);
// The address whose whole query is the single "session" item, for the service's host only; any other
// address is returned as given.
QUrl withSessionQuery(const QUrl &url, const QString &session);

} // namespace UrlPolicy

#endif // URLPOLICY_H
