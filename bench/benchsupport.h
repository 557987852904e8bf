#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

// What the benchmarks share: a private home, the stand-in and the login, the stored orders they measure
// on, waiting without an event loop, and the figures (times, percentiles, memory).
#include "constants.h"
#include "favouriteitem.h"
#include "localservice/localservice.h"
#include "localservice/localserviceuser.h"
#include "networkrequestcontext.h"
#include "order.h"
#include "orderlist.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "testdata/realisticorders.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace bench {

// A private home for the run: the user's settings and data stay untouched, and a program started from the
// benchmark inherits it. Made before the application object.
class Home
{
public:
    Home()
    {
        for (const char *sub : {"config", "data", "tmp", "runtime"})
            QDir(dir.path()).mkpath(QString::fromLatin1(sub));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("runtime")));
        qputenv("TMPDIR", QFile::encodeName(path("tmp")));
    }
    QString path(const QString &name = QString()) const { return name.isEmpty() ? dir.path() : dir.filePath(name); }

private:
    QTemporaryDir dir;
};

inline double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// The value below which the share `p` of the values lie (0.5: the median).
template<typename Values> double percentile(Values values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::min<size_t>(values.size() - 1, static_cast<size_t>(p * values.size()));
    return double(values[index]);
}

template<typename Values> double median(const Values &values)
{
    return percentile(values, 0.5);
}

// A figure of /proc/self/status in MB ("VmRSS", "VmHWM"), or -1 where there is none.
inline double statusMegabytes(const char *name = "VmRSS")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The bytes the allocator has handed out and not got back, in MB: unlike the resident set it does not
// hide growth behind memory freed earlier. -1 where the allocator does not tell.
inline double heapInUseMegabytes()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
    const struct mallinfo2 info = mallinfo2();
    return (info.uordblks + info.hblkhd) / 1048576.0;
#else
    return -1;
#endif
}

// Runs the events until done() holds or the time is up, as the program's loop would: deferred deletions
// are carried out too, and with an engine its due tasks run as well.
inline bool waitFor(const std::function<bool()> &done, int msecs, TavrelSynchronization *engine = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > msecs)
            return false;
        if (engine)
            engine->processTasks();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Starts the stand-in with the subscriber and points the client at it.
inline bool startService(LocalService &service, const QString &login, const QString &password)
{
    if (!service.start())
        return false;
    service.addUser(login, password, true);
    qputenv("TAVREL_BASE_URL", service.url().toUtf8());
    return true;
}

// Logs in and waits for the engine's answer: "SyncXMLResponseResult", or "no answer". With `runTasks` the
// engine's due tasks run meanwhile, as in the program; without, nothing starts before the measurement.
inline QString logIn(TavrelSynchronization *engine, const QString &login, const QString &password,
                     bool runTasks = false)
{
    QString outcome;
    QObject receiver;
    QObject::connect(engine, &TavrelSynchronization::authorizationReceived, &receiver,
                     [&](NetworkRequestContext *reply) { outcome = reply->result.value(KEY_SYNC_RESULT).toString(); });
    engine->login(login, LocalServiceUser::digest(password), false);
    return waitFor([&] { return !outcome.isEmpty(); }, 20000, runTasks ? engine : nullptr)
        ? outcome
        : QStringLiteral("no answer");
}

// Stores `count` realistic orders from `firstId` on, opened `spacing` seconds apart from `start`, in batches:
// the first `newOrders` New, the rest Viewed; then the favourites (ids among them). False when any write
// failed.
inline bool storeOrders(TavrelDataBaseQuery *query, const QString &login, qint64 firstId, int count, int newOrders,
                        const QDateTime &start, int spacing, const QList<qint64> &favouriteIds)
{
    for (int first = 0; first < count; first += 10000) {
        QList<Entity::Order *> batch;
        for (int i = first; i < std::min(count, first + 10000); ++i)
            batch << realisticOrder(firstId + i, i < newOrders ? Entity::OrderList::New : Entity::OrderList::Viewed,
                                    start.addSecs(qint64(i) * spacing));
        query->saveOrdersWithType(login, batch, nullptr);
        qDeleteAll(batch);
    }
    QList<Entity::FavouriteItem *> favourites;
    for (qint64 id : favouriteIds) {
        auto *item = new Entity::FavouriteItem;
        item->id = id;
        item->login = login;
        item->state = Entity::FavouriteItemList::Sync;
        item->changeDate = start;
        favourites << item;
    }
    const bool saved = query->saveFavourites(login, favourites, true);
    qDeleteAll(favourites);
    return saved && query->newOrdersCount(login) == newOrders;
}

// The database of a busy subscriber: 100,000 orders, 50,000 New and 50,000 Viewed, of which the last 1,000
// are favourites.
inline bool storeBusyDatabase(TavrelDataBaseQuery *query, const QString &login)
{
    QList<qint64> favourites;
    for (int i = 0; i < 1000; ++i)
        favourites << 1000000 + 99999 - i;
    return storeOrders(query, login, 1000000, 100000, 50000, QDateTime::currentDateTimeUtc().addDays(-5), 1,
                       favourites);
}

} // namespace bench

#endif // BENCHSUPPORT_H
