#include "tavrelsynchronizationtask.h"

#include "appsettings.h"
#include "branchlist.h"
#include "clock.h"
#include "constants.h"
#include "corehost.h"
#include "database.h"
#include "favouriteitem.h"
#include "filter.h"
#include "filterlinklist.h"
#include "filterlist.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "onlinestate.h"
#include "order.h"
#include "orderlist.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "regionlist.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "valuehelpers.h"

#include <QNetworkConfigurationManager>
#include <QNetworkReply>
#include <QSet>

#include <algorithm>

namespace {

const int FiltersSyncInterval = 150336;
const int FavouritesSyncInterval = 148608;
const int DictionariesSyncInterval = 146880;
const int OneDay = 86400;
const int LoginInterval = 15;
// A push that failed for a passing reason (no network, a server error, no answer) is tried
// again after this long, not on every tick.
const int TransientRetrySecs = 60;
// The change time of the filter version a push carries, kept beside the push (never sent), so
// that an edit made while the push was on its way is not taken for synchronized.
const QString PushedChangeDate = QStringLiteral("PushedChangeDate");

bool isResult(const NetworkRequestContext *context, const QString &code)
{
    return context && context->result.value(KEY_RESULT) == QVariant(code);
}

} // namespace

TavrelSynchronizationTask::TavrelSynchronizationTask(int type, QObject *parent)
    : QObject(parent)
{
    if (type != SyncTaskType::None)
        init(type);
}

TavrelSynchronizationTask::~TavrelSynchronizationTask()
{
    if (m_context)
        m_context->deleteLater();
}

NetworkRequestContext *TavrelSynchronizationTask::context() const
{
    return m_context.data();
}

void TavrelSynchronizationTask::setContext(NetworkRequestContext *context)
{
    m_context = context;
}

NetworkRequestConstructor *TavrelSynchronizationTask::appNetworkRequestConstructor()
{
    CoreHost *app = CoreHost::instance();
    return app ? app->requestConstructor.data() : nullptr;
}

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
QNetworkConfigurationManager *TavrelSynchronizationTask::appNetworkConfigurationManager()
{
    CoreHost *app = CoreHost::instance();
    return app ? app->networkConfigurationManager.data() : nullptr;
}
QT_WARNING_POP

TavrelDataBaseQuery *TavrelSynchronizationTask::appDataBase()
{
    CoreHost *app = CoreHost::instance();
    return app ? app->dataBaseQuery.data() : nullptr;
}

TavrelSynchronization *TavrelSynchronizationTask::appSynchronization()
{
    CoreHost *app = CoreHost::instance();
    return app ? app->synchronization.data() : nullptr;
}

NetworkRequestContext *TavrelSynchronizationTask::networkCompletion(QObject *argument, QObject *sender)
{
    return argument ? nullptr : qobject_cast<NetworkRequestContext *>(sender);
}

void TavrelSynchronizationTask::dropContext()
{
    if (!m_context)
        return;
    disconnect(m_context, nullptr, this, nullptr);
    m_context->deleteLater();
    m_context = nullptr;
}

bool TavrelSynchronizationTask::listenersDelaySync(TavrelSynchronization *engine, int listenerType)
{
    QPointer<TavrelSynchronizationTask> self(this);
    const bool delayed = engine->askListenersBeforeSync(listenerType, this);
    if (!self)
        return true;
    if (delayed)
        requireImmediate();
    return delayed;
}

void TavrelSynchronizationTask::init(int type)
{
    m_alive = true;
    m_phase = 1;
    m_hasRun = false;
    m_interval = 0;
    m_type = type;
    m_resultCode = SyncTaskResult::Keep;
    m_gatesLaterPhases = false;
    m_retryAt = QDateTime();
    if (m_context) {
        disconnect(m_context, nullptr, nullptr, nullptr);
        m_context->deleteLater();
        m_context = nullptr;
    }
    NetworkRequestConstructor *requests = appNetworkRequestConstructor();
    TavrelSynchronization *engine = appSynchronization();
    auto newMailbox
        = [requests]() -> NetworkRequestContext * { return requests ? requests->createRequest(0) : nullptr; };

    switch (type) {
    case SyncTaskType::Login:
        m_gatesLaterPhases = true;
        m_interval = LoginInterval;
        break;
    case SyncTaskType::NewOrders:
        m_interval = engine ? engine->newOrdersRefreshInterval() : TavrelSynchronization::DefaultRefreshIntervalSecs;
        m_phase = 2;
        if (requests) {
            m_context = requests->allNewOrdersRequest(TavrelSynchronization::NewOrdersRowsPerPage);
            connect(m_context, &NetworkRequestContext::replyFinished, this,
                    &TavrelSynchronizationTask::newOrdersTaskRequestResult);
        }
        break;
    case SyncTaskType::OrderListListenerOnce:
        m_resultCode = SyncTaskResult::Done;
        Q_FALLTHROUGH();
    case SyncTaskType::OrderListListener:
    case SyncTaskType::FiltersListener:
    case SyncTaskType::FavouritesListener:
    case SyncTaskType::DictionariesListener:
        m_context = newMailbox();
        if (m_context) {
            m_context->result.insert(KEY_SYNC_RESULT, S_OK);
            m_context->result.insert(KEY_RESULT, S_OK);
        }
        break;
    case SyncTaskType::CleanupOrders:
    case SyncTaskType::FavouritesLoad:
        m_interval = OneDay;
        break;
    case SyncTaskType::FiltersSync:
        m_context = newMailbox();
        m_phase = 2;
        m_interval = FiltersSyncInterval;
        break;
    case SyncTaskType::FavouritesSync:
        m_phase = 3;
        m_interval = FavouritesSyncInterval;
        break;
    case SyncTaskType::FavouriteAdd:
    case SyncTaskType::FavouriteRemove:
        m_resultCode = SyncTaskResult::Done;
        m_phase = 2;
        break;
    case SyncTaskType::DictionariesSync:
        m_interval = DictionariesSyncInterval;
        m_phase = 2;
        m_context = newMailbox();
        break;
    default:
        break;
    }
}

void TavrelSynchronizationTask::markRun()
{
    m_hasRun = true;
    m_lastRun = Clock::currentDateTimeUtc();
}

void TavrelSynchronizationTask::retryAfter(int seconds)
{
    m_retryAt = Clock::currentDateTimeUtc().addSecs(seconds);
}

int TavrelSynchronizationTask::tryRun()
{
    const QDateTime now = Clock::currentDateTimeUtc();
    const bool retryDue = m_retryAt.isValid() && now >= m_retryAt;
    if (m_hasRun && m_interval != 0 && m_lastRun.secsTo(now) < qint64(m_interval) && !retryDue)
        return SyncTaskResult::Keep;
    if (retryDue)
        m_retryAt = QDateTime();
    markRun();
    return process();
}

bool TavrelSynchronizationTask::isListenerType(int type)
{
    switch (type) {
    case SyncTaskType::OrderListListener:
    case SyncTaskType::OrderListListenerOnce:
    case SyncTaskType::FiltersListener:
    case SyncTaskType::FavouritesListener:
    case SyncTaskType::DictionariesListener:
        return true;
    default:
        return false;
    }
}

int TavrelSynchronizationTask::process()
{
    if (isListenerType(m_type))
        return runListenerDelivery();

    switch (m_type) {
    case SyncTaskType::CleanupOrders:
        if (TavrelSynchronization *engine = appSynchronization())
            engine->startCleanup();
        return m_resultCode;
    case SyncTaskType::FavouritesLoad:
        return runFavouritesLoad();
    case SyncTaskType::FavouritesSync:
        return runFavouritesSync();
    case SyncTaskType::FavouriteAdd:
    case SyncTaskType::FavouriteRemove:
        return runFavouriteChange();
    default:
        break;
    }

    if (!OnlineState::isOnline()) {
        // Filters and dictionaries look again on every pass, so they go out as soon as the
        // network is back rather than a day and a half later.
        if (m_type == SyncTaskType::FiltersSync || m_type == SyncTaskType::DictionariesSync)
            requireImmediate();
        return m_resultCode;
    }
    if (m_type == SyncTaskType::FiltersSync)
        return runFiltersSync();
    if (m_type == SyncTaskType::DictionariesSync)
        return runDictionariesSync();
    if (m_type == SyncTaskType::NewOrders && nobodyLoggedIn()) {
        // After a refusal only the login form's login may go out; the download follows the next
        // accepted login at once.
        requireImmediate();
        return m_resultCode;
    }
    return commonTail();
}

bool TavrelSynchronizationTask::nobodyLoggedIn()
{
    TavrelSynchronization *engine = appSynchronization();
    return !engine || engine->currentLogin().isEmpty();
}

int TavrelSynchronizationTask::runListenerDelivery()
{
    if (!m_context)
        return SyncTaskResult::Done;
    m_phase = 2;
    if (m_context->result.value(KEY_SYNC_RESULT) == QVariant(S_OK)) {
        QPointer<NetworkRequestContext> mailbox = m_context;
        mailbox->emitReplyFinished(mailbox.data());
        if (mailbox)
            mailbox->result.remove(KEY_SYNC_RESULT);
    }
    m_alive = false;
    return commonTail();
}

int TavrelSynchronizationTask::runFavouritesLoad()
{
    if (!m_context)
        return SyncTaskResult::Done;
    m_context->result.insert(KEY_SYNC_RESULT, S_OK);
    m_context->kind = 3;
    m_context->emitReplyFinished(m_context.data());
    return SyncTaskResult::Done;
}

int TavrelSynchronizationTask::commonTail()
{
    if (!m_context)
        return m_resultCode;
    if (m_type == SyncTaskType::Login) {
        if (m_context->isRunning()) {
            // A login or re-login still unanswered after its interval is given up: the abort
            // completes it as not answered. It is queued so that its handler, which may end
            // this task, runs outside the scheduler pass.
            QMetaObject::invokeMethod(
                m_context.data(),
                [context = m_context]() {
                    if (context)
                        context->abort();
                },
                Qt::QueuedConnection);
            return m_resultCode;
        }
        TavrelSynchronization *engine = appSynchronization();
        if (engine)
            disconnect(m_context, nullptr, engine, nullptr);
        disconnect(m_context, &NetworkRequestContext::replyFinished, this,
                   &TavrelSynchronizationTask::loginTaskRequestResult);
        connect(m_context, &NetworkRequestContext::replyFinished, this,
                &TavrelSynchronizationTask::loginTaskRequestResult);
        m_context->start();
    } else if (m_type == SyncTaskType::NewOrders) {
        if (m_context->isRunning()) {
            requireImmediate();
            return m_resultCode;
        }
        if (TavrelSynchronization *engine = appSynchronization())
            engine->m_newOrdersNextPage = 0;
        // Every download starts afresh: no page or page count kept from the last one.
        if (auto *manager = qobject_cast<PagedRequestManager *>(m_context.data())) {
            manager->setCurrentPage(-1);
            manager->totalCount = -1;
        }
        m_context->start();
    }
    return m_resultCode;
}

// --- login -------------------------------------------------------------------------------

void TavrelSynchronizationTask::loginTaskRequestResult(QObject *sender)
{
    auto *reply = networkCompletion(sender, this->sender());
    TavrelSynchronization *engine = appSynchronization();
    if (!reply || !engine || m_dead)
        return;
    const QVariant code = reply->result.value(KEY_RESULT);
    if (code == QVariant(S_OK) || code == QVariant(S_VERSION_OLD)) {
        engine->setSessionCookie(reply->result.value(KEY_SESSION).toString().toUtf8());
        if (CoreHost *app = CoreHost::instance())
            app->setFullAccess(variantIsTrue(reply->result.value(KEY_FULL_ACCESS)));
        if (reply->result.contains(KEY_NAME))
            AppSettings::setUserName(reply->result.value(KEY_NAME).toString());
        m_context = nullptr;
        requireImmediate();
        m_resultCode = SyncTaskResult::Done;
        reply->deleteLater();
        engine->finishTask(this, nullptr);
        return;
    }
    if (code == QVariant(E_INVALID_USERNAME_OR_PASSWORD)) {
        engine->m_currentLogin = QString();
        engine->m_sessionCookie = QByteArray("");
        AppSettings::setUserName(QString(""));
        m_resultCode = SyncTaskResult::Failed;
        requireImmediate();
        if (m_context)
            m_context->result.insert(KEY_SYNC_RESULT, code);
        QPointer<NetworkRequestContext> told = m_context ? m_context.data() : reply;
        reply->deleteLater();
        engine->failTask(this, nullptr);
        // The user is told, so the login form comes back with its message.
        if (told)
            emit engine->authorizationReceived(told.data());
        return;
    }
    m_resultCode = SyncTaskResult::Keep;
}

// --- new orders --------------------------------------------------------------------------

void TavrelSynchronizationTask::newOrdersTaskRequestResult(QObject *sender)
{
    if (m_delivering || m_dead)
        return;
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    if (!engine)
        return;
    auto *manager = qobject_cast<PagedRequestManager *>(this->sender());
    auto *page = qobject_cast<PageRequestContext *>(sender);
    // Any other argument is the engine delivering the download to its listeners.
    if (sender && !page)
        return;
    const bool paged = manager && page;
    NetworkRequestContext *reply
        = paged ? static_cast<NetworkRequestContext *>(page) : qobject_cast<NetworkRequestContext *>(this->sender());
    if (!reply)
        return;
    QPointer<TavrelSynchronizationTask> self(this);
    QPointer<NetworkRequestContext> own(m_context);

    if (!isResult(reply, S_OK)) {
        if (engine->m_newOrdersNextPage > 0 && !engine->m_newOrdersFoundInDownload)
            requireImmediate();
        engine->m_newOrdersFoundInDownload = false;
        engine->m_newOrdersNextPage = 0;
        if (manager)
            manager->abort();
        if (own) {
            m_delivering = true;
            own->result.insert(KEY_SYNC_RESULT, S_OK);
            own->emitReplyFinished(reply);
            if (self)
                m_delivering = false;
            if (own)
                own->result.remove(KEY_SYNC_RESULT);
        }
        return;
    }

    const int pageNumber = paged ? page->pageNumber : 0;
    if (paged && pageNumber != engine->m_newOrdersNextPage)
        return;
    const QVariant table = reply->result.value(KEY_ORDERS);
    if (own) {
        own->result.insert(KEY_SYNC_RESULT, S_OK);
        own->result.insert(KEY_ORDERS, table);
    }
    Entity::OrderList orders(Entity::OrderList::fromServiceMaps(table.toList()));

    engine->m_firstSyncDownloadRunning = engine->m_firstSyncDownloadRunning && paged;
    int count = 0;
    const QString login = engine->currentLogin();
    if (db) {
        if (engine->m_firstSyncToday) {
            engine->m_firstSyncToday = false;
            engine->m_firstSyncDownloadRunning = true;
            db->markAllOrdersViewed(login);
            db->saveOrdersWithType(login, orders.items, &count);
        } else if (engine->m_firstSyncDownloadRunning) {
            db->saveOrdersWithType(login, orders.items, &count);
        } else {
            db->saveOrders(login, orders.items, &count);
        }
    }
    engine->m_newOrdersFoundInDownload = engine->m_newOrdersFoundInDownload || count > 0;
    if (own)
        own->result.insert(KEY_ORDERS_NOT_IN_DB_COUNT, count);
    orders.clear();

    if (paged) {
        if (manager->pageCount() > pageNumber + 1) {
            engine->m_newOrdersNextPage = pageNumber + 1;
            // A page fetched ahead is handled inside this call, before the notices below.
            manager->setCurrentPage(pageNumber + 1);
        } else {
            engine->m_newOrdersFoundInDownload = false;
            engine->m_firstSyncDownloadRunning = false;
            engine->m_newOrdersNextPage = 0;
            manager->setCurrentPage(-1);
        }
    }
    if (!self)
        return;

    const QList<QPointer<NetworkRequestContext>> listeners = engine->listenerMailboxes(SyncTaskType::OrderListListener);
    for (const QPointer<NetworkRequestContext> &listener : listeners) {
        if (!listener)
            continue;
        m_delivering = true;
        listener->emitReplyFinished(this);
        if (!self)
            return;
        m_delivering = false;
    }
    if (own) {
        m_delivering = true;
        own->emitReplyFinished(reply);
        if (!self)
            return;
        m_delivering = false;
    }
    if (own)
        own->result.remove(KEY_SYNC_RESULT);
}

// --- favourites --------------------------------------------------------------------------

int TavrelSynchronizationTask::runFavouriteChange()
{
    TavrelSynchronization *engine = appSynchronization();
    TavrelSynchronizationTask *sync = engine ? engine->findTask(SyncTaskType::FavouritesSync) : nullptr;
    if (!OnlineState::isOnline() || !m_context || nobodyLoggedIn()) {
        // The row keeps its state; the synchronization pushes it when the network is back and
        // somebody is logged in.
        if (sync)
            sync->setAlive(true);
        return SyncTaskResult::Done;
    }
    disconnect(m_context, nullptr, this, nullptr);
    connect(m_context, &NetworkRequestContext::replyFinished, this,
            &TavrelSynchronizationTask::requestFavouriteAddReceived);
    m_context->start();
    m_alive = false;
    return SyncTaskResult::Keep;
}

void TavrelSynchronizationTask::requestFavouriteAddReceived(QObject *sender)
{
    auto *reply = networkCompletion(sender, this->sender());
    TavrelSynchronization *engine = appSynchronization();
    if (!reply || !engine || m_dead)
        return;
    TavrelSynchronizationTask *sync = engine->findTask(SyncTaskType::FavouritesSync);
    if (sync)
        sync->setAlive(true);
    QPointer<TavrelSynchronizationTask> syncGuard(sync);
    QPointer<NetworkRequestContext> guard(reply);
    const int type = m_type;
    reply->deleteLater();
    engine->destroyTask(this);
    reply->emitReplyFinished(this);
    if (!guard)
        return;
    if (!isResult(reply, S_OK))
        return;
    TavrelDataBaseQuery *db = appDataBase();
    if (!db)
        return;
    const qint64 orderId = reply->parameters.value(KEY_ID).toLongLong();
    Entity::FavouriteItem *item = db->favouriteWithOrder(engine->currentLogin(), orderId, false);
    if (!item)
        return;
    item->changed = true;
    item->changeDate = Clock::currentDateTimeUtc();
    item->state = Entity::FavouriteItemList::Sync;
    if (type == SyncTaskType::FavouriteAdd)
        db->saveFavourite(item->login, item);
    else
        db->removeFavourite(item->login, orderId);
    delete item;
    if (reply->parameters.contains(KEY_REQUIRE_IMMEDIATE_REACTION) && syncGuard)
        syncGuard->requireImmediate();
}

int TavrelSynchronizationTask::runFavouritesSync()
{
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    if (!engine || !db)
        return SyncTaskResult::Keep;
    TavrelSynchronizationTask *newOrders = engine->findTask(SyncTaskType::NewOrders);
    const bool newOrdersRunning = newOrders && newOrders->context() && newOrders->context()->isRunning();
    if (newOrdersRunning || engine->findTask(SyncTaskType::FavouriteAdd)
        || engine->findTask(SyncTaskType::FavouriteRemove) || engine->findTask(SyncTaskType::Login)
        || engine->currentLogin().isEmpty()) {
        requireImmediate();
        return SyncTaskResult::Keep;
    }
    if (listenersDelaySync(engine, SyncTaskType::FavouritesListener))
        return SyncTaskResult::Keep;

    Entity::FavouriteItemList favourites(db->favourites(engine->currentLogin(), false));
    dropContext();
    // The newest pending change goes first; a row in an unknown state is passed over so that it
    // cannot hold the synchronization back for ever.
    Entity::FavouriteItem *pending = nullptr;
    for (Entity::FavouriteItem *item : qAsConst(favourites.items)) {
        if (item
            && (item->state == Entity::FavouriteItemList::New || item->state == Entity::FavouriteItemList::Deleted)) {
            pending = item;
            break;
        }
    }
    if (pending) {
        const qint64 orderId = pending->id;
        const bool add = pending->state == Entity::FavouriteItemList::New;
        favourites.clear();
        NetworkRequestContext *push = add ? engine->addFavourite(orderId) : engine->removeFavourite(orderId);
        if (push)
            push->parameters.insert(KEY_REQUIRE_IMMEDIATE_REACTION, true);
        return SyncTaskResult::Keep;
    }
    favourites.clear();

    NetworkRequestConstructor *requests = appNetworkRequestConstructor();
    if (!requests)
        return SyncTaskResult::Keep;
    m_context = engine->wrapRequest(requests->favouritesRequest());
    if (m_context) {
        connect(m_context, &NetworkRequestContext::replyFinished, this,
                &TavrelSynchronizationTask::requestFavouriteSyncReceived);
        m_context->start();
    }
    return SyncTaskResult::Keep;
}

void TavrelSynchronizationTask::requestFavouriteSyncReceived(QObject *sender)
{
    auto *reply = networkCompletion(sender, this->sender());
    TavrelSynchronization *engine = appSynchronization();
    if (!reply || !engine || m_dead)
        return;
    reply->deleteLater();
    CoreHost *app = CoreHost::instance();
    TavrelDataBaseQuery *db = appDataBase();
    DataBase *database = app ? app->dataBase.data() : nullptr;
    if (!isResult(reply, S_OK) || !db || !database) {
        engine->notifyListeners(SyncTaskType::FavouritesListener, KEY_NOTIFY_ERROR, this);
        return;
    }
    const QString login = engine->currentLogin();
    const QDateTime now = Clock::currentDateTimeUtc();
    Entity::FavouriteItemList favourites;
    Entity::OrderList orders;
    const QVariantList list = reply->result.value(KEY_FAVOURITES).toList();
    for (const QVariant &value : list) {
        const QVariantMap map = value.toMap();
        auto *item = new Entity::FavouriteItem();
        item->fromVariantMap(map, false);
        item->login = login;
        item->changeDate = now;
        item->state = Entity::FavouriteItemList::Sync;
        item->changed = true;
        favourites.items.append(item);
        auto *order = new Entity::Order();
        order->fromServiceMap(map);
        order->type = Entity::OrderList::Viewed;
        orders.items.append(order);
    }
    // The server's list replaces the local one as a whole, or not at all.
    database->beginTransaction();
    bool ok = db->saveFavourites(login, favourites.items, true);
    if (ok && !orders.items.isEmpty())
        ok = db->saveFoundOrders(login, orders.items, nullptr);
    if (ok)
        ok = database->commitOrRollback();
    else
        database->rollback();
    favourites.clear();
    orders.clear();
    engine->notifyListeners(SyncTaskType::FavouritesListener, ok ? KEY_NOTIFY_AFTER_SYNC : KEY_NOTIFY_ERROR, this);
}

// --- dictionaries ------------------------------------------------------------------------

int TavrelSynchronizationTask::runDictionariesSync()
{
    TavrelSynchronization *engine = appSynchronization();
    NetworkRequestConstructor *requests = appNetworkRequestConstructor();
    if (!engine || !requests || engine->currentLogin().isEmpty()) {
        requireImmediate();
        return SyncTaskResult::Keep;
    }
    if (listenersDelaySync(engine, SyncTaskType::DictionariesListener))
        return SyncTaskResult::Keep;
    // Children of the task, so that requests still in flight at shut-down go with it.
    NetworkRequestContext *regions = requests->geoPlacesRequest();
    NetworkRequestContext *branches = requests->economicSectorsRequest();
    regions->setParent(this);
    branches->setParent(this);
    connect(regions, &NetworkRequestContext::replyFinished, this, &TavrelSynchronizationTask::regionsLoaded);
    connect(branches, &NetworkRequestContext::replyFinished, this, &TavrelSynchronizationTask::branchesLoaded);
    connect(regions, &NetworkRequestContext::replyFinished, regions, &QObject::deleteLater);
    connect(branches, &NetworkRequestContext::replyFinished, branches, &QObject::deleteLater);
    regions->start();
    branches->start();
    return SyncTaskResult::Keep;
}

void TavrelSynchronizationTask::regionsLoaded(QObject *sender)
{
    dictionaryLoaded(sender, true);
}

void TavrelSynchronizationTask::branchesLoaded(QObject *sender)
{
    dictionaryLoaded(sender, false);
}

void TavrelSynchronizationTask::dictionaryLoaded(QObject *sender, bool regions)
{
    auto *reply = networkCompletion(sender, this->sender());
    if (!reply)
        return;
    reply->deleteLater();
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    const QString key = regions ? KEY_REGIONS : KEY_BRANCHES;
    // Only a present, non-empty list replaces a dictionary: a reply that lost its list must not
    // wipe the table every filter refers to.
    const QVariantList list = reply->result.value(key).toList();
    if (!isResult(reply, S_OK) || list.isEmpty() || !db || !engine)
        return;
    bool stored = false;
    if (regions) {
        Entity::RegionList records(list);
        stored = db->replaceRegions(records, true);
        records.clear();
    } else {
        Entity::BranchList records(list);
        stored = db->replaceBranches(records, true);
        records.clear();
    }
    if (!stored)
        return;
    // The query object reads the new tables into its own records and points the process-wide id
    // indexes at them (their stamps advance), so filters and choosers resolve against them.
    db->reloadDictionaries();
    engine->notifyListeners(SyncTaskType::DictionariesListener, KEY_NOTIFY_AFTER_SYNC, this, key);
}

// --- filters -----------------------------------------------------------------------------

namespace {

bool anyFilterUnsynced(const Entity::FilterList &filters)
{
    for (const Entity::Filter *filter : filters.items) {
        if (filter && filter->state != Entity::FilterList::Sync)
            return true;
    }
    return false;
}

// Every unsynced filter is pushed in the same run; the count is kept for the callers' sake.
QList<Entity::Filter *> takeUnsynced(const Entity::FilterList &filters, int count)
{
    Q_UNUSED(count)
    QList<Entity::Filter *> unsynced;
    for (Entity::Filter *filter : filters.items) {
        if (filter && filter->state != Entity::FilterList::Sync)
            unsynced.append(filter);
    }
    return unsynced;
}

// A change the service has definitely refused, as opposed to one that failed on the way (no
// network, no answer, a server fault or a failed renewal of the session): only the former gives
// the filter back to the service's version.
bool isDefiniteRejection(const NetworkRequestContext *outcome, const NetworkRequestContext *push)
{
    const QString code = outcome->result.value(KEY_RESULT).toString();
    if (code.isEmpty() || push->networkError != QNetworkReply::NoError || push->httpStatus != 200)
        return false;
    static const QStringList transient
        = {S_OK, E_SERVER, E_LOGIN_NOT_RESPOND_SERVER, E_INVALID_USERNAME_OR_PASSWORD, E_ABORT_CLIENT};
    return !transient.contains(code);
}

} // namespace

int TavrelSynchronizationTask::runFiltersSync()
{
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    NetworkRequestConstructor *requests = appNetworkRequestConstructor();
    if (!engine || !db || !requests || engine->currentLogin().isEmpty()) {
        requireImmediate();
        return SyncTaskResult::Keep;
    }
    // A new batch waits for the one in flight: its New filters have no server id yet and would
    // be created twice.
    engine->m_filterPushes.removeAll(nullptr);
    if (!engine->m_filterPushes.isEmpty()) {
        requireImmediate();
        return SyncTaskResult::Keep;
    }
    if (listenersDelaySync(engine, SyncTaskType::FiltersListener))
        return SyncTaskResult::Keep;

    const QString login = engine->currentLogin();
    Entity::FilterList filters = db->filters(login);
    dropContext();
    // After a failed push the service's list comes first: it tells which changes arrived after
    // all, so that nothing is created twice.
    if (!anyFilterUnsynced(filters) || m_listBeforePush) {
        filters.clear();
        startFiltersListRequest();
        return SyncTaskResult::Keep;
    }

    m_context = requests->createRequest(0);
    m_batchFailedTransiently = false;
    const QList<Entity::Filter *> unsynced = takeUnsynced(filters, 10);
    for (Entity::Filter *filter : unsynced) {
        NetworkRequestContext *wrapper = engine->wrapRequest(requests->saveSubscriptionRequest(filter));
        if (!wrapper)
            continue;
        wrapper->setParent(this);
        wrapper->parameters.insert(PushedChangeDate, filter->filterChangeDate);
        connect(wrapper, &NetworkRequestContext::replyFinished, this,
                &TavrelSynchronizationTask::singleFilterChangeFinished);
        engine->m_filterPushes.append(wrapper);
        wrapper->start();
    }
    filters.clear();
    return SyncTaskResult::Keep;
}

void TavrelSynchronizationTask::startFiltersListRequest()
{
    TavrelSynchronization *engine = appSynchronization();
    NetworkRequestConstructor *requests = appNetworkRequestConstructor();
    if (!engine || !requests)
        return;
    m_context = engine->wrapRequest(requests->subscriptionsRequest());
    if (!m_context)
        return;
    connect(m_context, &NetworkRequestContext::replyFinished, this,
            &TavrelSynchronizationTask::requestFiltersSyncReceived);
    m_context->start();
}

void TavrelSynchronizationTask::singleFilterChangeFinished(QObject *sender)
{
    auto *wrapper = networkCompletion(sender, this->sender());
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    if (!wrapper || !engine || m_dead)
        return;
    wrapper->deleteLater();
    engine->m_filterPushes.removeAll(wrapper);
    engine->m_filterPushes.removeAll(nullptr);

    // The wrapper holds the final outcome (after a renewed session) and a copy of the push's
    // parameters; the kind is the wrapped request's.
    const NetworkRequestContext *push = wrapper->subRequest ? wrapper->subRequest.data() : wrapper;
    const bool isDelete = push->kind == 15;
    QString code = wrapper->result.value(KEY_RESULT).toString();
    if (code == E_INVALID_ID && isDelete)
        code = S_OK;
    const QVariantMap filterMap = wrapper->parameters.value(KEY_FILTERS).toMap();
    const QVariantMap &idSource = isDelete ? wrapper->parameters : filterMap;
    const qint64 localId = idSource.value(KEY_LOCAL_ID).toLongLong();
    const qint64 knownId = idSource.value(KEY_ID, -1).toLongLong();
    const QDateTime pushedChangeDate = wrapper->parameters.value(PushedChangeDate).toDateTime();
    const QString login = engine->currentLogin();

    if (db && code == S_OK) {
        if (isDelete) {
            db->removeFilter(login, QList<qint64>() << localId);
        } else {
            const qint64 serverId
                = wrapper->result.contains(KEY_ID) ? wrapper->result.value(KEY_ID).toLongLong() : knownId;
            db->setFilterSynchronized(login, localId, serverId, pushedChangeDate);
            // Without the service's id the filter is learned from the list.
            if (serverId < 0)
                m_listBeforePush = true;
        }
    } else {
        // The service definitely refused the change: the filter gives way to the service's
        // version. Any other failure keeps the change, to be pushed again.
        if (db && isDefiniteRejection(wrapper, push))
            db->setFilterSynchronized(login, localId, knownId, pushedChangeDate);
        else
            m_batchFailedTransiently = true;
        m_listBeforePush = true;
        if (m_context)
            m_context->parameters.insert(KEY_ERROR_PROCESS_UNSYNC_FILTER_REQUEST, true);
    }

    if (!engine->m_filterPushes.isEmpty())
        return;
    QPointer<TavrelSynchronizationTask> self(this);
    engine->notifyListeners(SyncTaskType::FiltersListener, KEY_NOTIFY_AFTER_SYNC, this);
    if (!self)
        return;
    if (!engine->m_filtersSyncedOnce || m_listBeforePush) {
        engine->m_filtersSyncedOnce = true;
        requireImmediate();
    }
    if (m_batchFailedTransiently)
        retryAfter(TransientRetrySecs);
}

void TavrelSynchronizationTask::requestFiltersSyncReceived(QObject *sender)
{
    auto *reply = networkCompletion(sender, this->sender());
    TavrelSynchronization *engine = appSynchronization();
    TavrelDataBaseQuery *db = appDataBase();
    CoreHost *app = CoreHost::instance();
    DataBase *database = app ? app->dataBase.data() : nullptr;
    if (!reply || !engine || !db || !database || m_dead)
        return;
    reply->deleteLater();
    if (!isResult(reply, S_OK)) {
        // Changes still wait for this list: look again a little later, not a day and a half later.
        if (m_listBeforePush)
            retryAfter(TransientRetrySecs);
        return;
    }
    engine->m_filtersSyncedOnce = true;
    m_listBeforePush = false;
    const QString login = engine->currentLogin();

    beginServerTimeShift();
    Entity::FilterList service(reply->result.value(KEY_FILTERS).toList());
    endServerTimeShift();

    // A local change the service has not accepted is not overwritten by the service's list: it
    // stays, to be pushed again. A new filter whose create did arrive after all (the service has
    // a filter of that name that no local filter stands for) is the service's one.
    Entity::FilterList local = db->filters(login);
    QSet<qint64> localIds;
    for (const Entity::Filter *filter : qAsConst(local.items))
        localIds.insert(filter->id);
    // Every filter keeps its local id (open windows and remembered selections name filters by it):
    // a received filter takes the id of the stored one with its server id, an arrived create that
    // of the local filter it stands for, and a pending change is written again under its own.
    QHash<qint64, qint64> localIdByServerId;
    for (const Entity::Filter *filter : qAsConst(local.items)) {
        if (filter->id >= 0)
            localIdByServerId.insert(filter->id, filter->localId);
    }
    QSet<qint64> pendingIds;
    QList<Entity::Filter *> pending;
    for (Entity::Filter *filter : takeUnsynced(local, 10)) {
        const auto remote
            = std::find_if(service.items.begin(), service.items.end(), [&](const Entity::Filter *candidate) {
                  return candidate->name == filter->name && !localIds.contains(candidate->id);
              });
        const bool arrived
            = filter->state == Entity::FilterList::New && filter->id < 0 && remote != service.items.end();
        if (arrived) {
            localIdByServerId.insert((*remote)->id, filter->localId);
            continue;
        }
        pending.append(filter);
        if (filter->id >= 0)
            pendingIds.insert(filter->id);
    }
    Entity::FilterList accepted;
    for (Entity::Filter *filter : qAsConst(pending)) {
        filter->changed = true;
        accepted.items.append(filter);
    }
    bool anyReceived = false;
    for (Entity::Filter *filter : qAsConst(service.items)) {
        if (pendingIds.contains(filter->id)) {
            delete filter;
            continue;
        }
        filter->localId = localIdByServerId.value(filter->id, -1);
        filter->state = Entity::FilterList::Sync;
        filter->changed = true;
        accepted.items.append(filter);
        anyReceived = true;
    }
    service.items.clear();

    // An empty list from the service replaces nothing.
    if (anyReceived) {
        database->beginTransaction();
        if (db->saveFilters(login, accepted, true))
            database->commitOrRollback();
        else
            database->rollback();
    }
    for (Entity::Filter *filter : qAsConst(pending))
        accepted.items.removeAll(filter);
    accepted.clear();
    local.clear();

    QPointer<TavrelSynchronizationTask> self(this);
    engine->notifyListeners(SyncTaskType::FiltersListener, KEY_NOTIFY_AFTER_SYNC, this);
    if (self && !pending.isEmpty() && !m_retryAt.isValid())
        requireImmediate();
}
