#include "requesttestbed.h"

#include "constants.h"
#include "corehost.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QSignalSpy>

RequestTestBed::RequestTestBed()
    : graph(CoreHost::instance())
{
}

RequestTestBed::~RequestTestBed()
{
    tearDown();
}

bool RequestTestBed::setUp()
{
    if (!service.start()) {
        return false;
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    CoreHost *application = CoreHost::instance();
    if (!application) {
        return false;
    }
    graph.build(QStringLiteral("requests.Dat"));
    accessManager = application->networkAccessManager;
    constructor = application->requestConstructor;
    synchronization = application->synchronization;
    return true;
}

void RequestTestBed::tearDown()
{
    flushDeferredDeletes();
    graph.clear();
    flushDeferredDeletes();
}

bool RequestTestBed::finish(NetworkRequestContext *context, int timeoutMsecs)
{
    QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
    context->start();
    while (true) {
        for (const QList<QVariant> &arguments : qAsConst(spy)) {
            if (!arguments.value(0).value<QObject *>()) {
                return true;
            }
        }
        if (!spy.wait(timeoutMsecs)) {
            return false;
        }
    }
}

QByteArray RequestTestBed::logIn(const QString &login, const QString &password)
{
    NetworkRequestContext *context
        = constructor->loginRequest(login, LocalServiceUser::digest(password), static_cast<const bool *>(nullptr));
    QByteArray session;
    if (finish(context)) {
        session = context->result.value(KEY_SESSION).toByteArray();
        synchronization->setSessionCookie(session);
    }
    delete context;
    return session;
}

void RequestTestBed::flushDeferredDeletes()
{
    // A deletion may queue further ones (a wrapper releases its carried request).
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
