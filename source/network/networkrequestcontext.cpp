#include "networkrequestcontext.h"

#include "constants.h"
#include "corehost.h"
#include "networkrequestconstructor.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelnetworkcookiejar.h"
#include "tavrelsynchronization.h"

#include <QBuffer>
#include <QNetworkCookie>

namespace {

TavrelNetworkAccessManager *applicationAccessManager()
{
    CoreHost *application = CoreHost::instance();
    return application ? application->networkAccessManager.data() : nullptr;
}

} // namespace

NetworkRequestContext::NetworkRequestContext(QObject *parent)
    : QObject(parent)
{
}

NetworkRequestContext::~NetworkRequestContext()
{
    disposeOfReply();
}

QNetworkReply *NetworkRequestContext::start()
{
    return send(true);
}

bool NetworkRequestContext::isLoginKind(int kind)
{
    return kind == NetworkRequestKind::Login || kind == NetworkRequestKind::LoginWrapper;
}

bool NetworkRequestContext::isKnownKind(int kind)
{
    return kind >= NetworkRequestKind::Login && kind <= NetworkRequestKind::ReadOrder;
}

void NetworkRequestContext::removeStaleSessionCookies()
{
    TavrelNetworkAccessManager *manager = applicationAccessManager();
    if (!manager) {
        return;
    }
    auto *jar = qobject_cast<TavrelNetworkCookieJar *>(manager->cookieJar());
    if (!jar) {
        return;
    }
    const QByteArray stale = COOKIE_PHP_SESSION.toLatin1();
    QList<QNetworkCookie> cookies = jar->allCookies();
    const int before = cookies.size();
    for (int i = cookies.size() - 1; i >= 0; --i) {
        if (cookies.at(i).name() == stale) {
            cookies.removeAt(i);
        }
    }
    if (cookies.size() != before) {
        jar->setAllCookies(cookies);
    }
}

QNetworkReply *NetworkRequestContext::send(bool track)
{
    if (!isKnownKind(kind)) {
        return nullptr;
    }
    TavrelNetworkAccessManager *manager = applicationAccessManager();
    if (!manager) {
        return nullptr;
    }
    if (track) {
        disposeOfReply();
    }

    // The reply owns its upload data: Qt may still start an aborted post and read from it after
    // this context has gone.
    QBuffer *upload = nullptr;
    if (operation == QNetworkAccessManager::PostOperation) {
        upload = new QBuffer;
        upload->setData(body);
        upload->open(QIODevice::ReadOnly);
    }

    if (isLoginKind(kind)) {
        removeStaleSessionCookies();
    } else {
        CoreHost *application = CoreHost::instance();
        TavrelSynchronization *synchronization = application ? application->synchronization.data() : nullptr;
        if (synchronization) {
            // Read at every send, so a request re-sent after a new login carries the new session.
            request.setRawHeader(HEADER_SESSION, synchronization->sessionCookie());
        }
    }

    QNetworkReply *newReply = manager->sendByOperation(QNetworkAccessManager::Operation(operation), request, upload);
    if (!newReply) {
        delete upload;
        return nullptr;
    }
    if (upload) {
        upload->setParent(newReply);
    }
    if (!track) {
        return newReply;
    }
    reply = newReply;
    httpStatus = 0;
    networkError = QNetworkReply::NoError;
    errorString.clear();
    errorDetails.clear();
    result.clear();
    connect(newReply, &QNetworkReply::finished, this, &NetworkRequestContext::nativeReplyFinished);
    return newReply;
}

void NetworkRequestContext::abort()
{
    if (reply) {
        reply->abort();
    }
}

bool NetworkRequestContext::isRunning() const
{
    if (subRequest) {
        return subRequest->isRunning();
    }
    if (reply) {
        return reply->isRunning();
    }
    return false;
}

bool NetworkRequestContext::processReply()
{
    if (!reply) {
        return true;
    }
    httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    networkError = reply->error();
    errorString = reply->errorString();
    if (networkError != QNetworkReply::NoError) {
        const QString status = QString::number(httpStatus);
        errorDetails.insert(KEY_REPLY_ERROR_STRING, errorString);
        errorDetails.insert(KEY_HTTP_STATUS_CODE, status);
        result.insert(KEY_REPLY_ERROR_STRING, errorString);
        result.insert(KEY_HTTP_STATUS_CODE, status);
    }
    // An aborted reply is closed; it has no body to read.
    result.insert(KEY_BYTE_ARRAY, reply->isOpen() ? reply->readAll() : QByteArray());
    if (constructor) {
        constructor->parseResponse(this);
    }
    return true;
}

void NetworkRequestContext::cancelSilently()
{
    disposeOfReply();
}

void NetworkRequestContext::nativeReplyFinished()
{
    if (processReply()) {
        emit replyFinished(nullptr);
    }
}

void NetworkRequestContext::debugErrorCrashOnSearchInShrinkMode()
{
    emit replyFinished(nullptr);
}

void NetworkRequestContext::emitReplyFinished(QObject *sender)
{
    emit replyFinished(sender);
}

void NetworkRequestContext::emitReplyFinished(NetworkRequestContext *context, QObject *sender)
{
    if (context) {
        context->emitReplyFinished(sender);
    }
}

void NetworkRequestContext::release(NetworkRequestContext *context)
{
    if (!context) {
        return;
    }
    context->cancelSilently();
    context->deleteLater();
}

void NetworkRequestContext::disposeOfReply()
{
    QNetworkReply *old = reply.data();
    reply = nullptr;
    if (!old) {
        return;
    }
    old->disconnect(this);
    if (old->isRunning()) {
        old->abort();
    }
    old->deleteLater();
}
