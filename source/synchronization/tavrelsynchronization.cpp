#include "tavrelsynchronization.h"

#include "appsettings.h"
#include "clock.h"
#include "constants.h"
#include "corehost.h"
#include "favouriteitem.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "order.h"
#include "orderlist.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronizationtask.h"
#include "valuehelpers.h"

#include <algorithm>

namespace {

bool taskPhaseLessThan(const QPointer<TavrelSynchronizationTask> &left,
                       const QPointer<TavrelSynchronizationTask> &right)
{
    return left->phase() < right->phase();
}

// Tasks whose mailbox belongs to a window: they end when the window deletes it.
bool endsWithItsMailbox(int type)
{
    return TavrelSynchronizationTask::isListenerType(type) || type == SyncTaskType::FavouritesLoad;
}

TavrelDataBaseQuery *query()
{
    return TavrelSynchronizationTask::appDataBase();
}

NetworkRequestConstructor *constructor()
{
    return TavrelSynchronizationTask::appNetworkRequestConstructor();
}

void setFullAccess(bool value)
{
    if (CoreHost *app = CoreHost::instance())
        app->setFullAccess(value);
}

} // namespace

TavrelSynchronization::TavrelSynchronization(QObject *parent)
    : QObject(parent)
    , m_firstSyncToday(!AppSettings::isSameDayAsLastRun())
{
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&TavrelSynchronization::processTasks));
    m_timer.setInterval(SchedulerTickMsecs);
    m_timer.setSingleShot(false);
    m_timer.start();
}

TavrelSynchronization::~TavrelSynchronization()
{
    m_timer.stop();
    // A purge still running must end before its thread object goes.
    m_cleanupThread.wait();
    const auto tasks = m_tasks + m_dyingTasks;
    m_tasks.clear();
    m_dyingTasks.clear();
    for (const QPointer<TavrelSynchronizationTask> &task : tasks)
        delete task.data();
}

// --- user and session ---------------------------------------------------------------

void TavrelSynchronization::setSessionCookie(const QByteArray &token)
{
    m_sessionCookie = token;
}

NetworkRequestContext *TavrelSynchronization::login(const QString &login, const QString &passwordDigest, bool remember)
{
    return requestAuthorization(login, passwordDigest, remember);
}

NetworkRequestContext *TavrelSynchronization::requestAuthorization(const QString &login, const QString &passwordDigest,
                                                                   const bool &remember)
{
    if (TavrelSynchronizationTask *pending = findTask(SyncTaskType::Login)) {
        // The superseded login must not answer the form any more, nor keep its reply running.
        if (NetworkRequestContext *old = pending->context()) {
            old->result.insert(KEY_SYNC_RESULT, E_ABORT_CLIENT);
            disconnect(old, nullptr, this, nullptr);
            disconnect(old, nullptr, pending, nullptr);
            old->cancelSilently();
        }
        failTask(pending, nullptr);
    }
    NetworkRequestConstructor *requests = constructor();
    if (!requests)
        return nullptr;

    auto *task = new TavrelSynchronizationTask(SyncTaskType::Login, this);
    appendTask(task);
    NetworkRequestContext *request = requests->loginRequest(login, passwordDigest, &remember);
    task->setContext(request);
    connect(request, &NetworkRequestContext::replyFinished, this,
            &TavrelSynchronization::requestAuthorizationResponseRecived);
    task->markRun();
    request->start();
    return request;
}

void TavrelSynchronization::requestAuthorizationResponseRecived(QObject *sender)
{
    auto *context = TavrelSynchronizationTask::networkCompletion(sender, this->sender());
    if (!context)
        return;
    TavrelSynchronizationTask *task = findTask(SyncTaskType::Login);
    const QString login = context->parameters.value(KEY_LOGIN).toString();
    const QString digest = context->parameters.value(KEY_PASSWORD).toString();
    const bool hasRemember = context->parameters.contains(KEY_SAVE_LOGIN_AND_PASSWORD);
    const bool remember = variantIsTrue(context->parameters.value(KEY_SAVE_LOGIN_AND_PASSWORD));
    const QVariant code = context->result.value(KEY_RESULT);

    if (code == QVariant(S_OK) || code == QVariant(S_VERSION_OLD)) {
        m_currentLogin = login;
        m_passwordHash = digest;
        // The row must exist before the name and the paid-access flag are recorded in it.
        if (hasRemember && query())
            query()->saveUser(login, digest, remember, QString());
        if (context->result.contains(KEY_NAME))
            AppSettings::setUserName(context->result.value(KEY_NAME).toString());
        m_sessionCookie = context->result.value(KEY_SESSION).toString().toUtf8();
        setFullAccess(variantIsTrue(context->result.value(KEY_FULL_ACCESS)));
        context->result.insert(KEY_SYNC_RESULT, S_OK);
        finishTask(task, context);
        restoreDictionariesTask();
        emit authorizationReceived(context);
        return;
    }

    if (code == QVariant(E_INVALID_USERNAME_OR_PASSWORD)) {
        context->result.insert(KEY_SYNC_RESULT, code);
        logOut();
        failTask(task, context);
        emit authorizationReceived(context);
        return;
    }

    // The service did not answer: somebody who has logged in on this machine before with the
    // same login and digest goes on without a session; anybody else is refused.
    const bool known = query() && query()->isUserExists(login, digest);
    if (!known) {
        logOut();
        context->result.insert(KEY_SYNC_RESULT, E_INVALID_USERNAME_OR_PASSWORD);
        failTask(task, context);
        emit authorizationReceived(context);
        return;
    }
    m_sessionCookie = QByteArray("");
    m_currentLogin = QString("");
    AppSettings::setUserName(QString(""));
    m_currentLogin = login;
    m_passwordHash = digest;
    if (hasRemember && query())
        query()->saveUser(login, digest, remember, QString());
    context->result.insert(KEY_SYNC_RESULT, S_OK);
    if (!task) {
        task = new TavrelSynchronizationTask(SyncTaskType::Login, this);
        appendTask(task);
    }
    task->setContext(context);
    deliverTaskResult(task, context);
    restoreDictionariesTask();
    emit authorizationReceived(context);
}

NetworkRequestContext *TavrelSynchronization::wrapRequest(NetworkRequestContext *request)
{
    NetworkRequestConstructor *requests = constructor();
    if (!requests)
        return nullptr;
    NetworkRequestContext *wrapper = requests->loginWrapperRequest(m_currentLogin, m_passwordHash, request);
    attachUnauthorizedListener(wrapper);
    return wrapper;
}

void TavrelSynchronization::attachUnauthorizedListener(NetworkRequestContext *context)
{
    if (!context)
        return;
    disconnect(context, &NetworkRequestContext::replyFinished, this,
               &TavrelSynchronization::requestUnauthorizedListenerReceive);
    connect(context, &NetworkRequestContext::replyFinished, this,
            &TavrelSynchronization::requestUnauthorizedListenerReceive);
}

void TavrelSynchronization::requestUnauthorizedListenerReceive(QObject *sender)
{
    auto *wrapper = TavrelSynchronizationTask::networkCompletion(sender, this->sender());
    if (!wrapper)
        return;
    const QVariant code = wrapper->result.value(KEY_RESULT);
    if (code == QVariant(E_INVALID_USERNAME_OR_PASSWORD)) {
        // A refusal of a session that has already been given up (another request on its way met
        // the same refusal, or a new login came meanwhile) is not told again.
        if (m_currentLogin.isEmpty() || wrapper->parameters.value(KEY_LOGIN).toString() != m_currentLogin)
            return;
        wrapper->result.insert(KEY_SYNC_RESULT, code);
        logOut();
        failTask(findTask(SyncTaskType::Login), nullptr);
        emit authorizationReceived(wrapper);
    } else if (code == QVariant(E_LOGIN_NOT_RESPOND_SERVER)) {
        goOfflineAfterRenewalFailure(wrapper);
    }
}

void TavrelSynchronization::goOfflineAfterRenewalFailure(NetworkRequestContext *wrapper)
{
    TavrelSynchronizationTask *task = ensureTask(SyncTaskType::Login, false);
    if (NetworkRequestContext *old = task->context()) {
        old->disconnect();
        old->deleteLater();
    }
    NetworkRequestConstructor *requests = constructor();
    task->setContext(requests ? requests->loginRequest(m_currentLogin, m_passwordHash, nullptr) : nullptr);
    task->markRun();
    AppSettings::setUserName(QString(""));
    m_sessionCookie = QByteArray("");
    wrapper->result.insert(KEY_SYNC_RESULT, S_OK);
    deliverTaskResult(task, nullptr);
    emit authorizationReceived(wrapper);
}

void TavrelSynchronization::logOut()
{
    m_currentLogin = QString();
    m_passwordHash = QString();
    AppSettings::setUserName(QString(""));
    m_sessionCookie = QByteArray("");
}

// A refused or superseded login fails every later task, the dictionaries among them; they are
// queued only at start-up, so they come back with the next login that lets the user in.
void TavrelSynchronization::restoreDictionariesTask()
{
    if (!findTask(SyncTaskType::DictionariesSync))
        ensureTask(SyncTaskType::DictionariesSync, true);
}

// --- new orders -----------------------------------------------------------------------

void TavrelSynchronization::setNewOrdersRefreshInterval(int seconds)
{
    if (seconds <= 0)
        seconds = DefaultRefreshIntervalSecs;
    if (seconds == m_newOrdersRefreshInterval)
        return;
    m_newOrdersRefreshInterval = seconds;
    if (TavrelSynchronizationTask *task = findTask(SyncTaskType::NewOrders))
        task->setInterval(seconds);
}

NetworkRequestContext *TavrelSynchronization::newOrdersNow()
{
    TavrelSynchronizationTask *task = ensureTask(SyncTaskType::NewOrders, false);
    task->requireImmediate();
    return task->context();
}

// --- tasks ----------------------------------------------------------------------------

void TavrelSynchronization::appendTask(TavrelSynchronizationTask *task)
{
    if (task)
        m_tasks.append(task);
}

TavrelSynchronizationTask *TavrelSynchronization::addTask(int type)
{
    auto *task = new TavrelSynchronizationTask(type, nullptr);
    appendTask(task);
    return task;
}

void TavrelSynchronization::dropNullTasks()
{
    m_tasks.erase(
        std::remove_if(m_tasks.begin(), m_tasks.end(),
                       [](const QPointer<TavrelSynchronizationTask> &task) { return task.isNull() || task->m_dead; }),
        m_tasks.end());
    m_dyingTasks.removeAll(nullptr);
}

TavrelSynchronizationTask *TavrelSynchronization::findTask(int type)
{
    dropNullTasks();
    for (const QPointer<TavrelSynchronizationTask> &task : qAsConst(m_tasks)) {
        if (task->type() == type)
            return task.data();
    }
    return nullptr;
}

TavrelSynchronizationTask *TavrelSynchronization::findOrderTask(int type, qint64 orderId)
{
    dropNullTasks();
    for (const QPointer<TavrelSynchronizationTask> &task : qAsConst(m_tasks)) {
        if (task->type() != type)
            continue;
        NetworkRequestContext *context = task->context();
        if (context && context->parameters.contains(KEY_ID)
            && context->parameters.value(KEY_ID).toLongLong() == orderId)
            return task.data();
    }
    return nullptr;
}

TavrelSynchronizationTask *TavrelSynchronization::ensureTask(int type, bool immediate)
{
    TavrelSynchronizationTask *task = findTask(type);
    if (!task) {
        task = new TavrelSynchronizationTask(SyncTaskType::None, nullptr);
        task->init(type);
        appendTask(task);
    }
    if (immediate)
        task->requireImmediate();
    return task;
}

QList<TavrelSynchronizationTask *> TavrelSynchronization::taskList() const
{
    QList<TavrelSynchronizationTask *> list;
    for (const QPointer<TavrelSynchronizationTask> &task : m_tasks) {
        if (task && !task->m_dead)
            list.append(task.data());
    }
    return list;
}

void TavrelSynchronization::syncFavouritesNow()
{
    ensureTask(SyncTaskType::FavouritesSync, true);
}

// The favourites synchronization is held back while a one-favourite push it aborted is on its way,
// and the push's reply lets it go. A push that goes without a reply (failed with a refused or
// superseded login, or cancelled when a later change could not be saved) must not hold it for good.
void TavrelSynchronization::releaseFavouritesSyncWithoutPush()
{
    TavrelSynchronizationTask *sync = findTask(SyncTaskType::FavouritesSync);
    if (!sync || sync->isAlive() || findTask(SyncTaskType::FavouriteAdd) || findTask(SyncTaskType::FavouriteRemove))
        return;
    sync->setAlive(true);
    sync->requireImmediate();
}

void TavrelSynchronization::syncFiltersNow()
{
    ensureTask(SyncTaskType::FiltersSync, true);
}

void TavrelSynchronization::syncDictionariesNow()
{
    ensureTask(SyncTaskType::DictionariesSync, true);
}

void TavrelSynchronization::ensureCleanupTask()
{
    TavrelSynchronizationTask *task = findTask(SyncTaskType::CleanupOrders);
    if (!task)
        task = addTask(SyncTaskType::CleanupOrders);
    task->init(SyncTaskType::CleanupOrders);
}

void TavrelSynchronization::startCleanup()
{
    if (m_cleanupThread.isRunning())
        return;
    m_cleanupThread.setDataBaseQuery(query());
    m_cleanupThread.start(QThread::InheritPriority);
}

void TavrelSynchronization::destroyTask(TavrelSynchronizationTask *task)
{
    if (!task || task->m_dead)
        return;
    task->m_dead = true;
    task->m_alive = false;
    m_tasks.removeAll(task);
    m_dyingTasks.append(task);
    if (NetworkRequestContext *context = task->context())
        disconnect(context, nullptr, task, nullptr);
    task->deleteLater();
}

void TavrelSynchronization::emitOn(NetworkRequestContext *context, QObject *argument)
{
    if (context)
        context->emitReplyFinished(argument);
}

bool TavrelSynchronization::markAndDeliverOther(TavrelSynchronizationTask *task, NetworkRequestContext *context)
{
    if (!task) {
        emitOn(context, this);
        return false;
    }
    task->markRun();
    if (context != task->context())
        emitOn(context, this);
    return true;
}

void TavrelSynchronization::deliverTaskResult(TavrelSynchronizationTask *task, NetworkRequestContext *context)
{
    if (markAndDeliverOther(task, context))
        emitOn(task->context(), this);
}

void TavrelSynchronization::finishTask(TavrelSynchronizationTask *task, NetworkRequestContext *context)
{
    deliverTaskResult(task, context);
    destroyTask(task);
}

void TavrelSynchronization::failTask(TavrelSynchronizationTask *task, NetworkRequestContext *context)
{
    if (markAndDeliverOther(task, context))
        processTasks(task);
}

void TavrelSynchronization::processTasks()
{
    processTasks(nullptr);
}

void TavrelSynchronization::processTasks(TavrelSynchronizationTask *taskToFail)
{
    enum PassState { Failing = SyncTaskResult::Failed, Proceed = SyncTaskResult::Done, Held = SyncTaskResult::Keep };

    if (taskToFail && (!taskToFail->isAlive() || !taskToFail->gatesLaterPhases())) {
        destroyTask(taskToFail);
        return;
    }

    dropNullTasks();
    if (!taskToFail)
        releaseFavouritesSyncWithoutPush();
    // A listener ends when its window deletes the mailbox.
    const auto current = m_tasks;
    for (const QPointer<TavrelSynchronizationTask> &task : current) {
        if (task && task != taskToFail && endsWithItsMailbox(task->type()) && !task->context())
            destroyTask(task);
    }
    // Stable, so that failing "everything after a task" is the same on every run.
    std::stable_sort(m_tasks.begin(), m_tasks.end(), taskPhaseLessThan);

    const QList<QPointer<TavrelSynchronizationTask>> pass = m_tasks;
    int currentPhase = 0;
    int passState = Proceed;
    bool reached = (taskToFail == nullptr);
    for (const QPointer<TavrelSynchronizationTask> &entry : pass) {
        TavrelSynchronizationTask *task = entry.data();
        if (!task || task->m_dead || !task->isAlive())
            continue;
        if (!reached) {
            if (task != taskToFail)
                continue;
            reached = true;
            passState = Failing;
        }
        if (task->phase() == currentPhase && (passState == Failing || passState == Held)) {
            const bool gates = task->gatesLaterPhases();
            const int result = task->tryRun();
            if (result != SyncTaskResult::Keep) {
                destroyTask(entry.data());
                if (result == SyncTaskResult::Failed && gates)
                    passState = Failing;
            }
            continue;
        }
        if (passState == Held)
            break;
        if (passState == Failing) {
            task->markRun();
            emitOn(task->context(), this);
            destroyTask(entry.data());
            continue;
        }
        currentPhase = task->phase();
        const bool gates = task->gatesLaterPhases();
        const int result = task->tryRun();
        passState = gates ? result : Proceed;
        if (result != SyncTaskResult::Keep)
            destroyTask(entry.data());
    }
    dropNullTasks();
}

// --- listeners ------------------------------------------------------------------------

NetworkRequestContext *TavrelSynchronization::createMailbox()
{
    NetworkRequestConstructor *requests = constructor();
    return requests ? requests->createRequest(0) : nullptr;
}

NetworkRequestContext *TavrelSynchronization::addOrderListListener(int orderListType)
{
    auto *task = new TavrelSynchronizationTask(SyncTaskType::None, nullptr);
    task->init(SyncTaskType::OrderListListener);
    if (NetworkRequestContext *mailbox = task->context())
        mailbox->parameters.insert(KEY_LIST_TYPE,
                                   Entity::OrderList::typeToString(Entity::OrderList::Type(orderListType)));
    appendTask(task);
    return task->context();
}

NetworkRequestContext *TavrelSynchronization::addFiltersListener()
{
    return addTask(SyncTaskType::FiltersListener)->context();
}

NetworkRequestContext *TavrelSynchronization::addFavouritesListener()
{
    return addTask(SyncTaskType::FavouritesListener)->context();
}

NetworkRequestContext *TavrelSynchronization::addRegionsListener()
{
    TavrelSynchronizationTask *task = addTask(SyncTaskType::DictionariesListener);
    if (NetworkRequestContext *mailbox = task->context())
        mailbox->parameters.insert(KEY_MODE, KEY_REGIONS);
    return task->context();
}

NetworkRequestContext *TavrelSynchronization::addBranchesListener()
{
    TavrelSynchronizationTask *task = addTask(SyncTaskType::DictionariesListener);
    if (NetworkRequestContext *mailbox = task->context())
        mailbox->parameters.insert(KEY_MODE, KEY_BRANCHES);
    return task->context();
}

NetworkRequestContext *TavrelSynchronization::addFavouritesLoadTask()
{
    TavrelSynchronizationTask *task = addTask(SyncTaskType::FavouritesLoad);
    NetworkRequestContext *mailbox = createMailbox();
    if (mailbox) {
        mailbox->result.insert(KEY_SYNC_RESULT, S_OK);
        mailbox->parameters.insert(KEY_WITH_ORDERS, true);
    }
    task->setContext(mailbox);
    return mailbox;
}

QList<QPointer<NetworkRequestContext>> TavrelSynchronization::listenerMailboxes(int listenerType)
{
    dropNullTasks();
    QList<QPointer<NetworkRequestContext>> mailboxes;
    for (const QPointer<TavrelSynchronizationTask> &task : qAsConst(m_tasks)) {
        if (task->type() == listenerType && task->context())
            mailboxes.append(task->context());
    }
    return mailboxes;
}

bool TavrelSynchronization::askListenersBeforeSync(int listenerType, TavrelSynchronizationTask *syncTask)
{
    bool delayed = false;
    const QList<QPointer<NetworkRequestContext>> mailboxes = listenerMailboxes(listenerType);
    for (const QPointer<NetworkRequestContext> &mailbox : mailboxes) {
        if (!mailbox)
            continue;
        if (!mailbox->result.contains(KEY_NOTIFY_BEFORE_SYNC))
            mailbox->result.insert(KEY_NOTIFY_BEFORE_SYNC, QVariant());
        mailbox->emitReplyFinished(syncTask);
        if (!mailbox)
            continue;
        mailbox->result.remove(KEY_NOTIFY_BEFORE_SYNC);
        if (mailbox->result.remove(KEY_DELAY_SYNC) > 0)
            delayed = true;
    }
    return delayed;
}

void TavrelSynchronization::notifyListeners(int listenerType, const QString &key, TavrelSynchronizationTask *syncTask,
                                            const QString &dictionary)
{
    const QList<QPointer<NetworkRequestContext>> mailboxes = listenerMailboxes(listenerType);
    for (const QPointer<NetworkRequestContext> &mailbox : mailboxes) {
        if (!mailbox)
            continue;
        const QString other = dictionary == KEY_REGIONS ? KEY_BRANCHES : KEY_REGIONS;
        if (!dictionary.isEmpty() && mailbox->parameters.contains(other) && !mailbox->parameters.contains(dictionary))
            continue;
        if (!mailbox->result.contains(key))
            mailbox->result.insert(key, QVariant());
        mailbox->emitReplyFinished(syncTask);
        if (mailbox)
            mailbox->result.remove(key);
    }
}

// --- favourites -----------------------------------------------------------------------

NetworkRequestContext *TavrelSynchronization::addFavourite(qint64 orderId)
{
    return changeFavourite(orderId, true);
}

NetworkRequestContext *TavrelSynchronization::removeFavourite(qint64 orderId)
{
    return changeFavourite(orderId, false);
}

NetworkRequestContext *TavrelSynchronization::changeFavourite(qint64 orderId, bool add)
{
    const int ownType = add ? SyncTaskType::FavouriteAdd : SyncTaskType::FavouriteRemove;
    const int oppositeType = add ? SyncTaskType::FavouriteRemove : SyncTaskType::FavouriteAdd;
    if (TavrelSynchronizationTask *opposite = findOrderTask(oppositeType, orderId))
        failTask(opposite, nullptr);
    if (TavrelSynchronizationTask *pending = findOrderTask(ownType, orderId))
        return pending->context();

    NetworkRequestConstructor *requests = constructor();
    TavrelDataBaseQuery *db = query();
    if (!requests || !db)
        return nullptr;

    auto *task = new TavrelSynchronizationTask(SyncTaskType::None, nullptr);
    task->init(ownType);
    NetworkRequestContext *request
        = add ? requests->createFavouriteRequest(orderId) : requests->deleteFavouriteRequest(orderId);
    task->setContext(wrapRequest(request));
    appendTask(task);

    const Entity::FavouriteItemList::State wanted
        = add ? Entity::FavouriteItemList::New : Entity::FavouriteItemList::Deleted;
    Entity::FavouriteItem *item = db->favouriteWithOrder(m_currentLogin, orderId, false);
    if (!item) {
        item = new Entity::FavouriteItem();
        item->id = orderId;
        item->login = m_currentLogin;
        item->state = wanted;
        item->changed = true;
        item->changeDate = Clock::currentDateTimeUtc();
    } else if (item->state != wanted) {
        item->state = wanted;
        item->changed = true;
        item->changeDate = Clock::currentDateTimeUtc();
    }
    const bool saved = db->saveFavourite(m_currentLogin, item);
    delete item;
    if (!saved) {
        failTask(task, nullptr);
        return nullptr;
    }

    TavrelSynchronizationTask *sync = ensureTask(SyncTaskType::FavouritesSync, false);
    NetworkRequestContext *listRequest = sync->context();
    if (listRequest && listRequest->isRunning()) {
        // The list would not carry this change; the synchronization waits for its push instead.
        disconnect(listRequest, nullptr, sync, nullptr);
        listRequest->abort();
        sync->requireImmediate();
        sync->setAlive(false);
    }
    return task->context();
}

// --- filters --------------------------------------------------------------------------

bool TavrelSynchronization::filterChanged(const Entity::FilterList &filters)
{
    if (!filters.hasChanges())
        return true;
    ensureTask(SyncTaskType::FiltersSync, false)->requireImmediate();
    // The copy shares the caller's records, so new local ids reach them.
    Entity::FilterList shared(filters);
    TavrelDataBaseQuery *db = query();
    return db && db->saveFilters(m_currentLogin, shared, false);
}

// --- search and order read ------------------------------------------------------------

NetworkRequestContext *TavrelSynchronization::requestSearch(const QString &searchArea, const QString &searchText,
                                                            bool morphology, bool wordsRequired)
{
    NetworkRequestConstructor *requests = constructor();
    if (!requests)
        return nullptr;
    NetworkRequestContext *wrapper
        = wrapRequest(requests->searchRequest(searchArea, searchText, morphology, wordsRequired));
    if (!wrapper)
        return nullptr;
    connect(wrapper, &NetworkRequestContext::replyFinished, this, &TavrelSynchronization::requestSearchResponseRecived);
    wrapper->start();
    return wrapper;
}

NetworkRequestContext *TavrelSynchronization::requestOrderRead(qint64 orderId)
{
    NetworkRequestConstructor *requests = constructor();
    if (!requests)
        return nullptr;
    NetworkRequestContext *wrapper = wrapRequest(requests->readOrderRequest(orderId));
    if (!wrapper)
        return nullptr;
    connect(wrapper, &NetworkRequestContext::replyFinished, this, &TavrelSynchronization::requestOrderReadFinished);
    return wrapper;
}

void TavrelSynchronization::requestSearchResponseRecived(QObject *sender)
{
    auto *context = TavrelSynchronizationTask::networkCompletion(sender, this->sender());
    if (!context)
        return;
    const QVariant code = context->result.value(KEY_RESULT);
    context->result.insert(KEY_RESULT, code);
    context->result.insert(KEY_SYNC_RESULT, code);
    if (code == QVariant(S_OK) && query()) {
        Entity::OrderList orders(Entity::OrderList::fromServiceMaps(context->result.value(KEY_ORDERS).toList()));
        for (Entity::Order *order : qAsConst(orders.items))
            order->type = Entity::OrderList::Search;
        query()->saveFoundOrders(m_currentLogin, orders.items, nullptr);
        orders.clear();
    }
    context->emitReplyFinished(this);
}

void TavrelSynchronization::requestOrderReadFinished(QObject *sender)
{
    auto *context = TavrelSynchronizationTask::networkCompletion(sender, this->sender());
    if (!context)
        return;
    TavrelDataBaseQuery *db = query();
    if (!context->result.contains(KEY_ORDERS) || !db) {
        context->emitReplyFinished(this);
        return;
    }
    // The wrapper carries a copy of the read request's parameters, so the id is there even
    // when the wrapped request is already gone.
    const qint64 orderId = context->parameters.value(KEY_ORDER_ID).toLongLong();
    const QVariantMap orderMap = context->result.value(KEY_ORDERS).toMap();
    Entity::Order *order = db->order(m_currentLogin, orderId);
    if (!order) {
        order = new Entity::Order();
        order->id = orderId;
        order->fromServiceMap(orderMap);
        db->saveOrdersWithType(m_currentLogin, QList<Entity::Order *>() << order, nullptr);
    }
    order->fromServiceMap(orderMap);
    order->id = orderId;
    db->updateOrder(m_currentLogin, order);
    context->emitReplyFinished(this);
    delete order;
}
