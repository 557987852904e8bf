#include "loginwrapperrequestcontext.h"

#include "appsettings.h"
#include "constants.h"
#include "corehost.h"
#include "tavrelsynchronization.h"
#include "valuehelpers.h"

namespace {

// An outdated but still supported client is logged in all the same.
bool isAcceptedLogin(const QString &code)
{
    return code == S_OK || code == S_VERSION_OLD || code == S_VERSION_GOOD;
}

} // namespace

LoginWrapperRequestContext::LoginWrapperRequestContext(QObject *parent)
    : NetworkRequestContext(parent)
{
}

LoginWrapperRequestContext::~LoginWrapperRequestContext()
{
    // The carried request may be emitting further up the stack, so it is never deleted at once.
    if (subRequest) {
        NetworkRequestContext *carried = subRequest.data();
        carried->disconnect(this);
        release(carried);
    }
}

QNetworkReply *LoginWrapperRequestContext::send(bool track)
{
    reloginAllowed = true;
    if (subRequest) {
        wrappedKind = subRequest->kind;
        disconnect(subRequest, nullptr, this, nullptr);
        connect(subRequest, &NetworkRequestContext::replyFinished, this, &LoginWrapperRequestContext::subRequestFinish);
        return subRequest->send(true);
    }
    reloginAllowed = false;
    return NetworkRequestContext::send(track);
}

void LoginWrapperRequestContext::abort()
{
    if (subRequest) {
        subRequest->abort();
    }
    NetworkRequestContext::abort();
}

void LoginWrapperRequestContext::cancelSilently()
{
    if (subRequest) {
        subRequest->cancelSilently();
    }
    NetworkRequestContext::cancelSilently();
}

void LoginWrapperRequestContext::subRequestFinish(QObject *sender)
{
    if (sender || !subRequest) {
        return;
    }
    const QString code = subRequest->result.value(KEY_RESULT).toString();
    if (code == E_INVALID_USERNAME_OR_PASSWORD && reloginAllowed) {
        if (!NetworkRequestContext::send(true)) {
            reportCarriedResult(E_LOGIN_NOT_RESPOND_SERVER);
        }
        return;
    }
    result = subRequest->result;
    emit replyFinished(nullptr);
}

bool LoginWrapperRequestContext::processReply()
{
    NetworkRequestContext::processReply();
    if (!subRequest) {
        return true;
    }
    QString code = result.value(KEY_RESULT).toString();
    if (isAcceptedLogin(code) && reloginAllowed) {
        reloginAllowed = false;
        if (result.contains(KEY_NAME)) {
            AppSettings::setUserName(result.value(KEY_NAME).toString());
        }
        CoreHost *application = CoreHost::instance();
        if (application && application->synchronization) {
            application->synchronization->setSessionCookie(result.value(KEY_SESSION).toByteArray());
        }
        if (application) {
            application->setFullAccess(variantIsTrue(result.value(KEY_FULL_ACCESS)));
        }
        if (subRequest->send(true)) {
            // The wrapper reports when the carried request finishes again.
            return false;
        }
        code = E_LOGIN_NOT_RESPOND_SERVER;
    } else if (isAcceptedLogin(code)) {
        code = subRequest->result.value(KEY_RESULT).toString();
    }
    if (code != E_INVALID_USERNAME_OR_PASSWORD) {
        code = E_LOGIN_NOT_RESPOND_SERVER;
    }
    result = subRequest->result;
    result.insert(KEY_RESULT, code);
    return true;
}

void LoginWrapperRequestContext::reportCarriedResult(const QString &code)
{
    result = subRequest ? subRequest->result : QVariantMap();
    result.insert(KEY_RESULT, code);
    emit replyFinished(nullptr);
}
