#include "browserurlclick.h"

#include "appsettings.h"
#include "constants.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "tavrelapplication.h"
#include "tavrelsynchronization.h"
#include "urlpolicy.h"
#include "valuehelpers.h"

#include <QDesktopServices>

BrowserUrlClick::BrowserUrlClick(const QString &address, QObject *parent)
    : QObject(parent)
    , url(QUrl(address, QUrl::TolerantMode))
{
}

void BrowserUrlClick::loginComplete()
{
    // The login wrapper may report more than once; the address is opened at the first report.
    if (done)
        return;
    done = true;
    auto *request = qobject_cast<NetworkRequestContext *>(sender());
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    if (request && engine && request->result.value(KEY_RESULT).toString() == S_OK
        && request->result.contains(KEY_SESSION)) {
        const QVariantMap &result = request->result;
        if (result.contains(KEY_FULL_ACCESS))
            app->setFullAccess(variantIsTrue(result.value(KEY_FULL_ACCESS)));
        engine->setSessionCookie(result.value(KEY_SESSION).toString().toUtf8());
        if (result.contains(KEY_NAME))
            AppSettings::setUserName(result.value(KEY_NAME).toString());
        url = UrlPolicy::withSessionQuery(url, UrlPolicy::sessionText(engine->sessionCookie()));
    }
    if (UrlPolicy::isBrowserUrl(url))
        QDesktopServices::openUrl(url);
    deleteLater();
}
