#ifndef TAVRELSYNCHRONIZATIONTASK_H
#define TAVRELSYNCHRONIZATIONTASK_H

#include "synctasktype.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

class NetworkRequestConstructor;
class NetworkRequestContext;
class QNetworkConfigurationManager;
class TavrelDataBaseQuery;
class TavrelSynchronization;

// One unit of synchronization work: a numbered type with a phase, an interval
// and the request (or listener mailbox) it works through.
class TavrelSynchronizationTask : public QObject
{
    Q_OBJECT
    friend class TavrelSynchronization;

public:
    explicit TavrelSynchronizationTask(int type, QObject *parent = nullptr);
    ~TavrelSynchronizationTask() override;

    void init(int type);
    void reinit() { init(m_type); }
    // Runs the task when it is due: it has not run since its init or its last
    // requireImmediate, or its interval has passed (read from the Clock).
    int tryRun();
    int process();
    void markRun();
    // Runs the task again once that many seconds have passed, even before its interval.
    void retryAfter(int seconds);
    void requireImmediate() { m_hasRun = false; }

    int type() const { return m_type; }
    int phase() const { return m_phase; }
    int interval() const { return m_interval; }
    void setInterval(int seconds) { m_interval = seconds; }
    bool isAlive() const { return m_alive; }
    void setAlive(bool alive) { m_alive = alive; }
    bool gatesLaterPhases() const { return m_gatesLaterPhases; }
    bool hasRun() const { return m_hasRun; }
    QDateTime lastRun() const { return m_lastRun; }
    int resultCode() const { return m_resultCode; }
    NetworkRequestContext *context() const;
    void setContext(NetworkRequestContext *context);

    static NetworkRequestConstructor *appNetworkRequestConstructor();
    static QNetworkConfigurationManager *appNetworkConfigurationManager();
    static TavrelDataBaseQuery *appDataBase();
    static TavrelSynchronization *appSynchronization();
    // The request whose network completion a result slot receives: null for the engine's own
    // deliveries (which pass an argument) and for any other sender.
    // The types that carry results to a window through a mailbox.
    static bool isListenerType(int type);
    static NetworkRequestContext *networkCompletion(QObject *argument, QObject *sender);

private slots:
    // Acts only on a network completion (a null argument), never on the engine's deliveries.
    void loginTaskRequestResult(QObject *sender);
    void newOrdersTaskRequestResult(QObject *sender);
    void requestFavouriteAddReceived(QObject *sender);
    void requestFavouriteSyncReceived(QObject *sender);
    void singleFilterChangeFinished(QObject *sender);
    void requestFiltersSyncReceived(QObject *sender);
    void regionsLoaded(QObject *sender);
    void branchesLoaded(QObject *sender);

private:
    int runListenerDelivery();
    int runFavouritesLoad();
    int runFavouriteChange();
    int runFavouritesSync();
    int runFiltersSync();
    int runDictionariesSync();
    int commonTail();
    // After a refused login or renewal, until a login is accepted.
    static bool nobodyLoggedIn();
    void dictionaryLoaded(QObject *sender, bool regions);
    void startFiltersListRequest();
    // Disconnects and lets go of the current request before the task makes a new one.
    void dropContext();
    // Asks the type's listeners before a synchronization: true when one asked for a delay (the
    // task looks again on the next pass) or when the task ended meanwhile.
    bool listenersDelaySync(TavrelSynchronization *engine, int listenerType);

    bool m_alive = true;
    bool m_gatesLaterPhases = true;
    QPointer<NetworkRequestContext> m_context;
    int m_resultCode = SyncTaskResult::Keep;
    int m_type = SyncTaskType::None;
    int m_phase = 0;
    int m_interval = 0;
    bool m_hasRun = false;
    QDateTime m_lastRun;
    bool m_delivering = false;
    // Set once the engine has taken the task out of its list; it waits for deletion.
    bool m_dead = false;
    QDateTime m_retryAt;
    bool m_batchFailedTransiently = false;
    // A push failed or came back without the service's id: the list comes before the next push.
    bool m_listBeforePush = false;
};

#endif // TAVRELSYNCHRONIZATIONTASK_H
