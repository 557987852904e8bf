#ifndef TAVRELSYNCHRONIZATION_H
#define TAVRELSYNCHRONIZATION_H

#include "cleanupordersthread.h"
#include "synctasktype.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class NetworkRequestContext;
class TavrelSynchronizationTask;

namespace Entity {
class FilterList;
}

// The one synchronization engine: a list of tasks run by a 500 ms timer on the
// GUI thread, the current user and the session token every request but the
// login carries. Windows reach it through TavrelApplication::instance().
class TavrelSynchronization : public QObject
{
    Q_OBJECT
    friend class TavrelSynchronizationTask;

public:
    static const int SchedulerTickMsecs = 500;
    static const int DefaultRefreshIntervalSecs = 600;
    static const int NewOrdersRowsPerPage = 1000;

    explicit TavrelSynchronization(QObject *parent = nullptr);
    ~TavrelSynchronization() override;

    // --- user and session -------------------------------------------------------
    // Empty when nobody is logged in.
    QString currentLogin() const { return m_currentLogin; }
    QString passwordHash() const { return m_passwordHash; }
    // Null before the first login (no header is sent), the service's token after
    // an accepted login, empty after a refusal or while working offline.
    QByteArray sessionCookie() const { return m_sessionCookie; }
    void setSessionCookie(const QByteArray &token);

    // The login form's entry: returns the login request in flight. The outcome
    // comes through authorizationReceived ("SyncXMLResponseResult").
    NetworkRequestContext *login(const QString &login, const QString &passwordDigest, bool remember);
    NetworkRequestContext *requestAuthorization(const QString &login, const QString &passwordDigest,
                                                const bool &remember);

    // Puts the request into a login wrapper built from the current login and
    // digest, so that a refused session is renewed and the request sent again.
    // The wrapper is not started; the caller connects its own slot after this.
    NetworkRequestContext *wrapRequest(NetworkRequestContext *request);
    void attachUnauthorizedListener(NetworkRequestContext *context);

    // --- new orders -------------------------------------------------------------
    int newOrdersRefreshInterval() const { return m_newOrdersRefreshInterval; }
    // A value that is zero or negative means the default.
    void setNewOrdersRefreshInterval(int seconds);
    // True until the first new-orders page of a program started on a new day.
    bool firstSyncToday() const { return m_firstSyncToday; }
    // True while the day's first download (which resets the "New" marks) delivers pages.
    bool firstSyncDownloadRunning() const { return m_firstSyncDownloadRunning; }
    bool filtersSyncedOnce() const { return m_filtersSyncedOnce; }

    // Runs the new-orders task on the next pass; returns the download's context,
    // which carries "OrdersNotInDbCount" after each stored page.
    NetworkRequestContext *newOrdersNow();

    // --- tasks --------------------------------------------------------------------
    TavrelSynchronizationTask *addTask(int type);
    // The first task of that type, dormant or not; null when there is none.
    TavrelSynchronizationTask *findTask(int type);
    TavrelSynchronizationTask *findOrderTask(int type, qint64 orderId);
    TavrelSynchronizationTask *ensureTask(int type, bool immediate);
    QList<TavrelSynchronizationTask *> taskList() const;

    void syncFavouritesNow();
    void syncFiltersNow();
    void syncDictionariesNow();
    void ensureCleanupTask();
    bool isCleanupRunning() const { return m_cleanupThread.isRunning(); }

    void deliverTaskResult(TavrelSynchronizationTask *task, NetworkRequestContext *context);
    void finishTask(TavrelSynchronizationTask *task, NetworkRequestContext *context);
    void failTask(TavrelSynchronizationTask *task, NetworkRequestContext *context);

    // --- listeners (each returns the mailbox a window connects to) ----------------
    NetworkRequestContext *addOrderListListener(int orderListType);
    NetworkRequestContext *addFiltersListener();
    NetworkRequestContext *addFavouritesListener();
    NetworkRequestContext *addFavouritesLoadTask();
    NetworkRequestContext *addRegionsListener();
    NetworkRequestContext *addBranchesListener();

    // --- user actions -------------------------------------------------------------
    NetworkRequestContext *addFavourite(qint64 orderId);
    NetworkRequestContext *removeFavourite(qint64 orderId);
    // Stores the changed filters and makes the filters synchronization run on the next pass; false
    // when the database refused the write (the records keep their change flags).
    bool filterChanged(const Entity::FilterList &filters);
    NetworkRequestContext *requestSearch(const QString &searchArea, const QString &searchText, bool morphology,
                                         bool wordsRequired);
    NetworkRequestContext *requestOrderRead(qint64 orderId);

signals:
    void authorizationReceived(NetworkRequestContext *result);

public slots:
    void requestUnauthorizedListenerReceive(QObject *sender);
    void requestAuthorizationResponseRecived(QObject *sender);
    void requestSearchResponseRecived(QObject *sender);
    void requestOrderReadFinished(QObject *sender);
    void processTasks(TavrelSynchronizationTask *taskToFail);
    void processTasks();

private:
    void dropNullTasks();
    // Takes the task out of the list at once and deletes it on the next turn of
    // the event loop, so a task may end itself from inside its own slot.
    void destroyTask(TavrelSynchronizationTask *task);
    void appendTask(TavrelSynchronizationTask *task);
    void emitOn(NetworkRequestContext *context, QObject *argument);
    // What delivering and failing share: the task counts as run and a context other than its own
    // is handed on; false when there is no task (the context is still handed on).
    bool markAndDeliverOther(TavrelSynchronizationTask *task, NetworkRequestContext *context);
    void logOut();
    void goOfflineAfterRenewalFailure(NetworkRequestContext *wrapper);
    void restoreDictionariesTask();
    void releaseFavouritesSyncWithoutPush();
    void startCleanup();
    // Guarded from the start: a listener's slot may delete another listener's mailbox while the
    // list is being walked.
    QList<QPointer<NetworkRequestContext>> listenerMailboxes(int listenerType);
    NetworkRequestContext *createMailbox();
    NetworkRequestContext *changeFavourite(qint64 orderId, bool add);

    // Listener protocol: asks every listener of the type before a synchronization
    // and answers whether one of them asked for a delay.
    bool askListenersBeforeSync(int listenerType, TavrelSynchronizationTask *syncTask);
    // A dictionary's notice (its name given) passes over a listener that names only the other one.
    void notifyListeners(int listenerType, const QString &key, TavrelSynchronizationTask *syncTask,
                         const QString &dictionary = QString());

    QString m_currentLogin;
    QString m_passwordHash;
    QByteArray m_sessionCookie;
    int m_newOrdersRefreshInterval = DefaultRefreshIntervalSecs;
    CleanupOrdersThread m_cleanupThread;
    bool m_filtersSyncedOnce = false;
    bool m_firstSyncToday = false;
    bool m_firstSyncDownloadRunning = false;
    bool m_newOrdersFoundInDownload = false;
    int m_newOrdersNextPage = 0;
    QList<QPointer<TavrelSynchronizationTask>> m_tasks;
    QList<QPointer<TavrelSynchronizationTask>> m_dyingTasks;
    QList<QPointer<NetworkRequestContext>> m_filterPushes;
    QTimer m_timer;
};

#endif // TAVRELSYNCHRONIZATION_H
