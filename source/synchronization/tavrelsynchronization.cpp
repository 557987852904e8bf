#include "tavrelsynchronization.h"

#if __has_include("networkrequestconstructor.h") && __has_include("tavrelapplication.h")
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "tavrelapplication.h"
#define TAVREL_SYNC_HAVE_REQUESTS 1
#endif

// The request layer and the engine are landing in steps: this first version
// carries the session and wraps requests; the task engine follows.

TavrelSynchronization::TavrelSynchronization(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&TavrelSynchronization::processTasks));
    m_timer.setInterval(SchedulerTickMsecs);
    m_timer.setSingleShot(false);
    m_timer.start();
}

TavrelSynchronization::~TavrelSynchronization()
{
    m_cleanupThread.wait();
}

void TavrelSynchronization::setSessionCookie(const QByteArray &token)
{
    m_sessionCookie = token;
}

NetworkRequestContext *TavrelSynchronization::wrapRequest(NetworkRequestContext *request)
{
#ifdef TAVREL_SYNC_HAVE_REQUESTS
    TavrelApplication *app = TavrelApplication::instance();
    NetworkRequestConstructor *constructor = app ? app->requestConstructor.data() : nullptr;
    if (!constructor)
        return nullptr;
    NetworkRequestContext *wrapper = constructor->loginWrapperRequest(m_currentLogin, m_passwordHash, request);
    attachUnauthorizedListener(wrapper);
    return wrapper;
#else
    return request;
#endif
}

void TavrelSynchronization::attachUnauthorizedListener(NetworkRequestContext *context)
{
#ifdef TAVREL_SYNC_HAVE_REQUESTS
    if (!context)
        return;
    disconnect(context, &NetworkRequestContext::replyFinished, this,
               &TavrelSynchronization::requestUnauthorizedListenerReceive);
    connect(context, &NetworkRequestContext::replyFinished, this,
            &TavrelSynchronization::requestUnauthorizedListenerReceive);
#else
    Q_UNUSED(context)
#endif
}

void TavrelSynchronization::requestUnauthorizedListenerReceive(QObject *) { }
void TavrelSynchronization::requestAuthorizationResponseRecived(QObject *) { }
void TavrelSynchronization::requestSearchResponseRecived(QObject *) { }
void TavrelSynchronization::requestOrderReadFinished(QObject *) { }
void TavrelSynchronization::processTasks(TavrelSynchronizationTask *) { }
void TavrelSynchronization::processTasks() { }
