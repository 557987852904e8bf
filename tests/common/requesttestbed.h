#ifndef REQUESTTESTBED_H
#define REQUESTTESTBED_H

#include "coregraph.h"
#include "localservicefixture.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

class NetworkRequestConstructor;
class NetworkRequestContext;
class TavrelNetworkAccessManager;
class TavrelSynchronization;

// The application's objects as start-up makes them (the request layer, the database and the engine,
// published on the application object), talking HTTP to an in-process stand-in of the service on 127.0.0.1.
class RequestTestBed
{
public:
    RequestTestBed();
    ~RequestTestBed();

    // Starts the service on a free port and points the base URL at it. Call from initTestCase,
    // before anything reads the base URL.
    bool setUp();
    void tearDown();

    // Starts the context and waits for its own completion report (replyFinished with a null
    // argument). False on time-out.
    static bool finish(NetworkRequestContext *context, int timeoutMsecs = 10000);
    // Logs demo/demo in with a plain login request and hands the session to the engine.
    QByteArray logIn(const QString &login = QStringLiteral("demo"), const QString &password = QStringLiteral("demo"));
    // Runs the deferred deletions queued so far.
    static void flushDeferredDeletes();

    LocalServiceFixture service;
    CoreGraph graph;
    QPointer<TavrelNetworkAccessManager> accessManager;
    QPointer<NetworkRequestConstructor> constructor;
    QPointer<TavrelSynchronization> synchronization;
};

#endif // REQUESTTESTBED_H
