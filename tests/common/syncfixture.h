#ifndef SYNCFIXTURE_H
#define SYNCFIXTURE_H

#include "clock.h"
#include "constants.h"
#include "coregraph.h"
#include "corehost.h"
#include "database.h"
#include "localservice/localserviceuser.h"
#include "localservicefixture.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "onlinestate.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "tavrelsynchronizationtask.h"

#include <QDir>
#include <QtTest>

// The application's long-lived objects as start-up makes them, published through the application
// object, with a fresh engine per test.
class SyncFixture
{
public:
    // Starts the stand-in first: nothing may read the base URL before it.
    void setUp()
    {
        QVERIFY(server.start());
        graph.build(QDir::current().absoluteFilePath(QStringLiteral("Tavrel.Dat")));
        graph.dropEngine();
        OnlineState::force(true);
    }

    void tearDown()
    {
        destroyEngine();
        graph.clear();
        flushDeletions();
        OnlineState::clearForced();
    }

    // Time moves only when a test says so: a loaded machine must not reach an interval (the 15 s
    // re-login, the refresh, a retry) in the middle of a test.
    TavrelSynchronization *createEngine()
    {
        destroyEngine();
        Clock::setFixed(Clock::currentDateTimeUtc());
        return engine = graph.renewEngine();
    }

    void destroyEngine()
    {
        graph.dropEngine();
        flushDeletions();
        Clock::reset();
    }

    static void flushDeletions()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    // Logs in through the engine; returns its "SyncXMLResponseResult".
    QString login(const QString &login, const QString &password, bool remember = true)
    {
        QString outcome;
        QObject receiver;
        QObject::connect(
            engine, &TavrelSynchronization::authorizationReceived, &receiver,
            [&](NetworkRequestContext *result) { outcome = result->result.value(KEY_SYNC_RESULT).toString(); });
        engine->login(login, LocalServiceUser::digest(password), remember);
        return QTest::qWaitFor([&]() { return !outcome.isEmpty(); }, 20000) ? outcome : QStringLiteral("no answer");
    }

    static QString password() { return QStringLiteral("pw"); }

    // A subscriber of the running test case's own (each data row apart), so that no order, filter or
    // favourite is left over from another case; the service is back to its plain behaviour.
    QString newSubscriber()
    {
        const QString name = QString::fromLatin1(QTest::currentTestFunction()).toLower() + QLatin1Char('.')
            + QString::number(qHash(QByteArray(QTest::currentDataTag())));
        service()->clearFaults();
        service()->clearRequestLog();
        service()->resumeListening();
        service()->addUser(name, password(), true);
        return name;
    }

    // A fresh engine with that subscriber logged in.
    bool startAs(const QString &name)
    {
        createEngine();
        return login(name, password()) == S_OK;
    }

    LocalService *service() const { return server.service(); }
    NetworkRequestConstructor *constructor() const { return CoreHost::instance()->requestConstructor; }

    // Starts the context and waits for its own completion report (replyFinished with a null argument).
    // A spy's loop, unlike qWaitFor, leaves deferred deletions queued: a page deletes itself later.
    static bool finish(NetworkRequestContext *context, int timeoutMsecs = 10000)
    {
        QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
        context->start();
        for (int seen = 0; seen < spy.count() || spy.wait(timeoutMsecs); ++seen) {
            if (!spy.at(seen).value(0).value<QObject *>())
                return true;
        }
        return false;
    }

    LocalServiceFixture server;
    CoreGraph graph {CoreHost::instance()};
    QPointer<DataBase> &dataBase = CoreHost::instance()->dataBase;
    QPointer<TavrelDataBaseQuery> &query = CoreHost::instance()->dataBaseQuery;
    QPointer<TavrelSynchronization> engine;
};

#endif // SYNCFIXTURE_H
