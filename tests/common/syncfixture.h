#ifndef SYNCFIXTURE_H
#define SYNCFIXTURE_H

#include "clock.h"
#include "constants.h"
#include "coregraph.h"
#include "corehost.h"
#include "database.h"
#include "localservice/localservice.h"
#include "localservice/localserviceuser.h"
#include "localservicefixture.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "onlinestate.h"
#include "pagerequestcontext.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"
#include "tavrelsynchronizationtask.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QtTest>

#include <memory>

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
        dataBase = CoreHost::instance()->dataBase;
        query = CoreHost::instance()->dataBaseQuery;
        OnlineState::force(true);
    }

    void tearDown()
    {
        destroyEngine();
        graph.clear();
        flushDeletions();
        OnlineState::clearForced();
    }

    TavrelSynchronization *createEngine()
    {
        destroyEngine();
        // Time moves only when a test says so: a loaded machine must not reach an interval (the
        // 15 s re-login, the refresh, a retry) in the middle of a test.
        Clock::setFixed(Clock::currentDateTimeUtc());
        engine = graph.renewEngine();
        return engine;
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

    // Logs in and waits for the engine's answer; returns "SyncXMLResponseResult".
    QString login(const QString &login, const QString &password, bool remember = true)
    {
        QString outcome;
        QObject receiver;
        QObject::connect(
            engine, &TavrelSynchronization::authorizationReceived, &receiver,
            [&](NetworkRequestContext *result) { outcome = result->result.value(KEY_SYNC_RESULT).toString(); });
        engine->login(login, LocalServiceUser::digest(password), remember);
        if (!QTest::qWaitFor([&]() { return !outcome.isEmpty(); }, 20000))
            return QStringLiteral("no answer");
        return outcome;
    }

    static QString password() { return QStringLiteral("pw"); }

    // A subscriber of the running test case's own (each data row apart), so that no order, filter or
    // favourite is left over from another case; the service is back to its plain behaviour.
    QString newSubscriber()
    {
        QString name = QString::fromLatin1(QTest::currentTestFunction()).toLower();
        if (QTest::currentDataTag())
            name += QLatin1Char('.') + QString::number(qHash(QByteArray(QTest::currentDataTag())));
        service()->clearFaults();
        service()->clearRequestLog();
        if (!service()->isListening())
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
    static bool finish(NetworkRequestContext *context, int timeoutMsecs = 10000)
    {
        // A spy's loop, unlike qWaitFor, leaves deferred deletions queued: a page deletes itself later.
        QSignalSpy spy(context, &NetworkRequestContext::replyFinished);
        context->start();
        for (int seen = 0;; ++seen) {
            if (seen == spy.count() && !spy.wait(timeoutMsecs))
                return false;
            if (!spy.at(seen).value(0).value<QObject *>())
                return true;
        }
    }

    // A plain login request whose session the engine then holds (no login task runs).
    QByteArray logIn(const QString &login = QStringLiteral("demo"), const QString &password = QStringLiteral("demo"))
    {
        std::unique_ptr<NetworkRequestContext> context(
            constructor()->loginRequest(login, LocalServiceUser::digest(password), static_cast<const bool *>(nullptr)));
        const QByteArray session
            = finish(context.get()) ? context->result.value(KEY_SESSION).toByteArray() : QByteArray();
        if (!session.isEmpty())
            engine->setSessionCookie(session);
        return session;
    }

    LocalServiceFixture server;
    CoreGraph graph {CoreHost::instance()};
    DataBase *dataBase = nullptr;
    TavrelDataBaseQuery *query = nullptr;
    QPointer<TavrelSynchronization> engine;
};

// Counts the emissions a mailbox makes and keeps each one's argument and keys.
class MailboxSpy : public QObject
{
public:
    explicit MailboxSpy(NetworkRequestContext *mailbox, bool answerDelay = false)
        : mailbox(mailbox)
        , delay(answerDelay)
    {
        connect(mailbox, &NetworkRequestContext::replyFinished, this,
                [this](QObject *argument) { received(argument); });
    }

    struct Call
    {
        QObject *argument;
        QStringList keys;
    };

    int count(const QString &key) const
    {
        int n = 0;
        for (const Call &call : calls)
            n += call.keys.contains(key) ? 1 : 0;
        return n;
    }

    QPointer<NetworkRequestContext> mailbox;
    bool delay;
    QList<Call> calls;

    void received(QObject *argument)
    {
        calls.append({argument, mailbox->result.keys()});
        if (delay && mailbox->result.contains(KEY_NOTIFY_BEFORE_SYNC))
            mailbox->result.insert(KEY_DELAY_SYNC, true);
    }
};

// Follows the new-orders download as the main window does: the engine's announcements come with
// "SyncXMLResponseResult" in the download's map (the download's own report of a page does not).
class DownloadSpy : public QObject
{
public:
    explicit DownloadSpy(NetworkRequestContext *download)
        : download(download)
    {
        connect(download, &NetworkRequestContext::replyFinished, this, [this](QObject *argument) {
            auto *page = qobject_cast<PageRequestContext *>(argument);
            if (!page || !this->download->result.contains(KEY_SYNC_RESULT))
                return;
            if (page->result.value(KEY_RESULT).toString() == S_OK) {
                pages << page->pageNumber;
                counts << this->download->result.value(KEY_ORDERS_NOT_IN_DB_COUNT).toInt();
            } else {
                ++failures;
            }
        });
    }
    QPointer<NetworkRequestContext> download;
    QList<int> pages;
    QList<int> counts;
    int failures = 0;
};

#endif // SYNCFIXTURE_H
