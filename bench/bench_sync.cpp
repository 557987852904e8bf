// Two measurements of the new-orders synchronization from the local stand-in.
//
// Speed: a full synchronization of 10,000 orders in pages of 1,000, from the task's start until every
// page is stored and announced, against the bare parts measured in the same run: the same pages
// downloaded with a plain QNetworkAccessManager loop, and the same orders written with one prepared
// INSERT in one transaction.
//
// Memory: a first synchronization of 100,000 orders in a process of its own, with the stand-in in
// another process, so that the resident set is the client's alone. It prints the resident set before
// the download, its peak, and what is left ten seconds after the last page is stored.
//
//     build/bench/bench_sync [orders] [repetitions]    the speed run, then the memory run
//     build/bench/bench_sync --memory [orders]         the memory run only
#include "benchsupport.h"
#include "constants.h"
#include "coregraph.h"
#include "corehost.h"
#include "database.h"
#include "headlessapplication.h"
#include "localservice/localservice.h"
#include "localservice/localservicerequest.h"
#include "localservice/localserviceuser.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "onlinestate.h"
#include "order.h"
#include "orderlist.h"
#include "pagerequestcontext.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <memory>

namespace {

const QString Login = QStringLiteral("bench");
const QString Password = QStringLiteral("bench");
const int MemoryRunOrders = 100000;
const double WindowedLoginMb = 92;
const double PeakTargetMb = 150;
const double SettledTargetMb = 110;

// The stand-in runs on a thread of its own, as the real service runs elsewhere: the client's
// measured time is the client's.
class ServiceThread
{
public:
    explicit ServiceThread(int orders)
    {
        anchor.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(
            &anchor,
            [this, orders]() {
                service = new LocalService();
                service->start(0);
                service->generate(orders, 42);
                service->addUser(Login, Password, true);
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServiceThread()
    {
        QMetaObject::invokeMethod(
            &anchor, [this]() { delete service; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    template<typename Function> auto call(Function function)
    {
        decltype(function()) result;
        QMetaObject::invokeMethod(
            &anchor, [&]() { result = function(); }, Qt::BlockingQueuedConnection);
        return result;
    }
    LocalService *service = nullptr;

private:
    QThread thread;
    QObject anchor;
};

using bench::statusMegabytes;
using bench::waitFor;

struct Client
{
    explicit Client(const QString &file)
        : graph(CoreHost::instance())
    {
        graph.build(file);
        query = CoreHost::instance()->dataBaseQuery;
        engine = graph.engine();
    }
    ~Client()
    {
        graph.clear();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    CoreGraph graph;
    TavrelDataBaseQuery *query = nullptr;
    TavrelSynchronization *engine = nullptr;
};

// One synchronization on a fresh database; returns the milliseconds, or -1.
double measureSync(const QString &file, int pages, QList<LocalServiceRequest> *pageRequests, ServiceThread &server)
{
    Client client(file);
    const QString outcome = bench::logIn(client.engine, Login, Password);
    if (outcome != S_OK) {
        std::fprintf(stderr, "login: %s\n", qPrintable(outcome));
        return -1;
    }
    QObject receiver;
    server.call([&]() {
        server.service->clearRequestLog();
        return true;
    });

    int announced = 0;
    NetworkRequestContext *download = client.engine->newOrdersNow();
    QObject::connect(download, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
        if (auto *page = qobject_cast<PageRequestContext *>(argument)) {
            // The engine announces a stored page with "SyncXMLResponseResult" in the download's map;
            // the download's own report of the page comes before it is stored.
            if (download->result.contains(KEY_SYNC_RESULT) && page->result.value(KEY_RESULT).toString() == S_OK)
                ++announced;
        }
    });
    QElapsedTimer timer;
    timer.start();
    client.engine->processTasks();
    if (!waitFor([&]() { return announced == pages; }, 120000)) {
        std::fprintf(stderr, "pages announced: %d of %d\n", announced, pages);
        return -1;
    }
    const double elapsed = timer.nsecsElapsed() / 1e6;
    const int stored = client.query->newOrdersCount(Login);
    if (stored != server.call([&]() { return server.service->newOrderIds().size(); })) {
        std::fprintf(stderr, "stored %d orders\n", stored);
        return -1;
    }
    *pageRequests = server.call([&]() { return server.service->requests(URL_NEW_ORDERS_PAGE); });
    return elapsed;
}

// The same page requests sent one after another by a bare access manager; returns the
// milliseconds and keeps the bodies.
double measureDownload(const QList<LocalServiceRequest> &requests, const QString &baseUrl, QList<QByteArray> *bodies)
{
    QNetworkAccessManager manager;
    QElapsedTimer timer;
    timer.start();
    for (const LocalServiceRequest &logged : requests) {
        QNetworkRequest request(QUrl(baseUrl + logged.path));
        for (const auto &header : logged.headers) {
            if (header.first.compare("Host", Qt::CaseInsensitive) != 0
                && header.first.compare("Content-Length", Qt::CaseInsensitive) != 0
                && header.first.compare("Connection", Qt::CaseInsensitive) != 0)
                request.setRawHeader(header.first, header.second);
        }
        QNetworkReply *reply = manager.post(request, logged.body);
        waitFor([reply]() { return reply->isFinished(); }, 60000);
        bodies->append(reply->readAll());
        reply->deleteLater();
    }
    return timer.nsecsElapsed() / 1e6;
}

// The orders of the downloaded pages written with one prepared statement in one transaction.
double measureInsert(const QString &file, const QList<QVariantList> &pages)
{
    DataBase dataBase(file);
    TavrelMigration(dataBase).upToLastMigration();
    QList<Entity::OrderList *> lists;
    for (const QVariantList &page : pages)
        lists << new Entity::OrderList(page);
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(dataBase.database);
    dataBase.database.transaction();
    query.prepare(QStringLiteral("INSERT INTO %1 (Id, Login, Type, Name, OpeningTime, ClosingTime, Amount, Region, "
                                 "Branch, PlacementMethod) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(TABLE_ORDERS));
    for (Entity::OrderList *list : qAsConst(lists)) {
        for (const Entity::Order *order : qAsConst(list->items)) {
            query.addBindValue(order->id);
            query.addBindValue(Login);
            query.addBindValue(QStringLiteral("New"));
            query.addBindValue(order->name);
            query.addBindValue(order->openingTime);
            query.addBindValue(order->closingTime);
            query.addBindValue(order->amount);
            query.addBindValue(order->region);
            query.addBindValue(order->branch);
            query.addBindValue(order->placementMethod);
            if (!query.exec())
                std::fprintf(stderr, "insert: %s\n", qPrintable(query.lastError().text()));
        }
    }
    dataBase.database.commit();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    for (Entity::OrderList *list : qAsConst(lists)) {
        list->clear();
        delete list;
    }
    return elapsed;
}

// The stand-in of the memory run, in a process of its own: it prints its address and serves until
// it is killed.
int serve(int argc, char *argv[], int orders)
{
    QCoreApplication app(argc, argv);
    LocalService service;
    service.generate(orders, 42);
    service.addUser(Login, Password, true);
    if (!service.start(0))
        return 1;
    std::printf("%s\n", qPrintable(service.url()));
    std::fflush(stdout);
    return app.exec();
}

// A first synchronization of `orders` orders; prints the resident set figures.
int measureMemory(int argc, char *argv[], int orders)
{
    const double atStart = statusMegabytes("VmRSS");
    bench::Home home;
    qputenv("HOME", QFile::encodeName(home.path()));
    HeadlessApplication app(argc, argv);
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve"), QString::number(orders)});
    if (!server.waitForStarted() || !waitFor([&]() { return server.canReadLine(); }, 120000)) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 1;
    }
    const QString url = QString::fromUtf8(server.readLine()).trimmed();
    qputenv("TAVREL_BASE_URL", url.toUtf8());
    OnlineState::force(true);
    int result = 1;
    {
        Client client(home.path(QStringLiteral("memory.Dat")));
        const QString outcome = bench::logIn(client.engine, Login, Password);
        QObject receiver;
        if (outcome != S_OK) {
            std::fprintf(stderr, "login: %s\n", qPrintable(outcome));
        } else {
            const double beforeSync = statusMegabytes("VmRSS");
            const double peakBeforeSync = statusMegabytes("VmHWM");
            const int pages = (orders - 1) / TavrelSynchronization::NewOrdersRowsPerPage + 1;
            int announced = 0;
            NetworkRequestContext *download = client.engine->newOrdersNow();
            QObject::connect(download, &NetworkRequestContext::replyFinished, &receiver, [&](QObject *argument) {
                auto *page = qobject_cast<PageRequestContext *>(argument);
                if (page && download->result.contains(KEY_SYNC_RESULT)
                    && page->result.value(KEY_RESULT).toString() == S_OK)
                    ++announced;
            });
            QElapsedTimer timer;
            timer.start();
            // The kernel updates its high-water mark lazily: the resident set is sampled as well.
            double sampledPeak = beforeSync;
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout,
                             [&]() { sampledPeak = std::max(sampledPeak, statusMegabytes("VmRSS")); });
            sampler.start(20);
            client.engine->processTasks();
            if (!waitFor([&]() { return announced == pages; }, 600000)) {
                std::fprintf(stderr, "pages announced: %d of %d\n", announced, pages);
            } else {
                const double elapsed = timer.nsecsElapsed() / 1e6;
                const double afterSync = statusMegabytes("VmRSS");
                // The client goes on as it would, idle: timers and deferred deletions run.
                waitFor([]() { return false; }, 10000);
                const double settled = statusMegabytes("VmRSS");
                const double peak = std::max(sampledPeak, statusMegabytes("VmHWM"));
                std::printf("first synchronization of %d orders (%d pages) in %.1f s, stored %d\n", orders, pages,
                            elapsed / 1000, client.query->newOrdersCount(Login));
                std::printf("resident set: %.1f MB at the start, %.1f MB after the login (peak so far %.1f MB)\n",
                            atStart, beforeSync, peakBeforeSync);
                // The windowed client holds about 92 MB at its login form; its targets are a peak of
                // 150 MB and 110 MB ten seconds after the synchronization, so the synchronization may add
                // 58 MB at its peak and leave 18 MB.
                std::printf("peak resident set: %.1f MB, %+.1f MB over the login (target +%.0f MB)\n", peak,
                            peak - beforeSync, PeakTargetMb - WindowedLoginMb);
                std::printf("resident set at the end of the synchronization: %.1f MB\n", afterSync);
                std::printf("settled resident set ten seconds later: %.1f MB, %+.1f MB over the login (target +%.0f "
                            "MB)\n",
                            settled, settled - beforeSync, SettledTargetMb - WindowedLoginMb);
                std::printf("heap in use: %.1f MB\n", bench::heapInUseMegabytes());
                result = 0;
            }
        }
    }
    server.kill();
    server.waitForFinished();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--serve") == 0)
        return serve(argc, argv, argc > 2 ? atoi(argv[2]) : MemoryRunOrders);
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0)
        return measureMemory(argc, argv, argc > 2 ? qMax(1000, atoi(argv[2])) : MemoryRunOrders);
    const int orders = argc > 1 ? qMax(1000, atoi(argv[1])) : 10000;
    const int repetitions = argc > 2 ? qMax(1, atoi(argv[2])) : 3;
    const int pages = (orders - 1) / TavrelSynchronization::NewOrdersRowsPerPage + 1;

    // The settings of a bench run stay out of the user's own.
    bench::Home home;
    qputenv("HOME", QFile::encodeName(home.path()));
    HeadlessApplication app(argc, argv);
    ServiceThread server(orders);
    const QString url = server.call([&]() { return server.service->url(); });
    qputenv("TAVREL_BASE_URL", url.toUtf8());
    OnlineState::force(true);
    // Parses the plain loop's pages outside the measurement.
    NetworkRequestConstructor constructor;

    QList<double> syncTimes, downloadTimes, insertTimes;
    for (int run = 0; run < repetitions; ++run) {
        QList<LocalServiceRequest> requests;
        const double sync = measureSync(home.path(QStringLiteral("sync%1.Dat").arg(run)), pages, &requests, server);
        if (sync < 0) {
            std::fprintf(stderr, "the synchronization did not complete\n");
            return 1;
        }
        QList<QByteArray> bodies;
        const double download = measureDownload(requests, url, &bodies);
        // The orders the bare loop received, parsed outside the measurement.
        QList<QVariantList> parsed;
        for (const QByteArray &body : qAsConst(bodies)) {
            NetworkRequestContext *page = constructor.createRequest(10);
            page->result.insert(KEY_BYTE_ARRAY, body);
            constructor.parseResponse(page);
            parsed << page->result.value(KEY_ORDERS).toList();
            delete page;
        }
        const double insert = measureInsert(home.path(QStringLiteral("raw%1.Dat").arg(run)), parsed);
        syncTimes << sync;
        downloadTimes << download;
        insertTimes << insert;
        std::printf("run %d: sync %.1f ms, bare download %.1f ms (%d pages), raw insert %.1f ms\n", run + 1, sync,
                    download, int(requests.size()), insert);
    }
    const double sync = bench::median(syncTimes);
    const double bare = bench::median(downloadTimes) + bench::median(insertTimes);
    std::printf("new-orders synchronization of %d orders in %d pages: %.1f ms, %.0f orders/s\n", orders, pages, sync,
                orders / (sync / 1000.0));
    std::printf("bare parts: download %.1f ms + insert %.1f ms = %.1f ms, %.0f orders/s\n",
                bench::median(downloadTimes), bench::median(insertTimes), bare, orders / (bare / 1000.0));
    std::printf("ratio (target <= 2): %.2f\n\n", sync / bare);
    std::fflush(stdout);
    // The memory run in a fresh process of its own.
    return QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory")});
}
