// Benchmark of the order views (not a test), offscreen, on a temporary database of 100,000 orders for
// one subscriber (50,000 New, 50,000 Viewed) with 1,000 favourites. It prints, measured in the same run:
// opening the New list (ids and the first page's row widgets), switching to 200 random pages whose
// records were never read (row widgets built and the panel painted) against reading the same 10
// records into 10 plain labels, 500 PageDown presses, re-sorting by amount, and the growth of memory
// over 1,000 pages. The ratios come last.
//
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release && cmake --build build-release -j4 --target bench_orderviews
//   build-release/bench/bench_orderviews

#include "benchsupport.h"
#include "coregraph.h"
#include "tavrelapplication.h"
#include "vieworderspaginator.h"

#include <QKeyEvent>
#include <QLabel>
#include <QRandomGenerator>
#include <QTableView>
#include <QVBoxLayout>

#include <cstdio>

using bench::msSince;
using bench::percentile;
using bench::waitFor;

namespace {

const int ORDERS = 100000;
const int NEW_ORDERS = 50000;
const int FAVOURITES = 1000;

void flushEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// The same 10 orders read and shown as 10 plain labels: what a page costs without the row widgets.
double plainPageMs(TavrelDataBaseQuery *query, const QString &login, const QList<qint64> &ids)
{
    QElapsedTimer timer;
    timer.start();
    QWidget page;
    page.resize(1000, 700);
    auto *layout = new QVBoxLayout(&page);
    for (qint64 id : ids) {
        Entity::Order *order = query->order(login, id);
        if (!order)
            continue;
        layout->addWidget(new QLabel(QStringLiteral("%1 %2 %3 %4 %5")
                                         .arg(order->id)
                                         .arg(order->name, order->region, order->branch, order->amount)));
        delete order;
    }
    page.grab();
    return msSince(timer);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Home home;
    TavrelApplication app(argc, argv);

    LocalService service;
    if (!bench::startService(service, QStringLiteral("bench"), QStringLiteral("pw")))
        return 1;
    CoreGraph graph(&app);
    graph.build(home.path(QStringLiteral("bench.Dat")));
    TavrelSynchronization *engine = graph.engine();
    TavrelDataBaseQuery *query = app.dataBaseQuery.data();
    if (bench::logIn(engine, QStringLiteral("bench"), QStringLiteral("pw")) != S_OK) {
        std::fprintf(stderr, "no login\n");
        return 1;
    }
    const QString login = engine->currentLogin();
    std::printf("filling the database with %d orders ...\n", ORDERS);
    std::fflush(stdout);
    // Ids from 1; the favourites spread over both lists.
    QList<qint64> favourites;
    for (int i = 0; i < FAVOURITES; ++i)
        favourites << 1 + i * (ORDERS / FAVOURITES);
    if (!bench::storeOrders(query, login, 1, ORDERS, NEW_ORDERS, QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC), 37,
                            favourites)) {
        std::fprintf(stderr, "the database was not filled\n");
        return 1;
    }

    ViewOrdersPaginator paginator;
    paginator.panel.resize(1000, 700);
    paginator.panel.show();
    flushEvents();

    // Opening the New list: the ids and the first page, row widgets included.
    QVector<double> opening;
    int finished = 0;
    QObject::connect(&paginator, &ViewOrdersPaginator::loadingFinished, [&] { ++finished; });
    for (int round = 0; round < 5; ++round) {
        const int before = finished;
        QElapsedTimer timer;
        timer.start();
        paginator.requestNewOrders();
        engine->processTasks();
        if (!waitFor([&] { return finished > before; }, 10000))
            return 1;
        paginator.panel.grab();
        opening << msSince(timer);
        flushEvents();
    }
    const int pages = paginator.pageCount();

    // Switching to pages never read: 200 random pages, then the plain baseline for the same pages.
    QRandomGenerator random(11);
    QVector<int> targets;
    while (targets.size() < 200) {
        const int page = int(random.bounded(pages));
        if (page > 0 && !targets.contains(page))
            targets << page;
    }
    QVector<double> switching;
    QVector<double> baseline;
    for (int page : targets) {
        QList<qint64> ids;
        for (int i = 0; i < paginator.model.pageSize; ++i)
            ids << paginator.collection.ids.value(page * paginator.model.pageSize + i);
        QElapsedTimer timer;
        timer.start();
        paginator.setPage(page);
        paginator.panel.grab();
        switching << msSince(timer);
        flushEvents();
        // The plain reading may not profit from the records just read: the page's records are other
        // rows of the file's same pages, so it reads the following page's ids.
        QList<qint64> next;
        for (qint64 id : ids)
            next << id + paginator.model.pageSize;
        baseline << plainPageMs(query, login, next);
    }

    // PageDown on the last row, 500 times.
    paginator.setPage(0);
    QTableView *table = paginator.panel.tableView();
    QElapsedTimer keys;
    keys.start();
    for (int i = 0; i < 500; ++i) {
        table->setCurrentIndex(paginator.model.index(paginator.model.rowCount() - 1, 0));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(table, &press);
    }
    const double pageDownMs = msSince(keys) / 500;
    flushEvents();

    // Re-sorting by amount (the first click selects the amount, the second reverses it).
    QVector<double> sorting;
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer timer;
        timer.start();
        paginator.panel.topLineLabelClicked(LINK_SORT_BY_SUM);
        sorting << msSince(timer);
        flushEvents();
    }

    // Resident memory over 1,000 pages.
    paginator.panel.topLineLabelClicked(LINK_SORT_BY_ID);
    flushEvents();
    const double before = bench::statusMegabytes();
    const double heapBefore = bench::heapInUseMegabytes();
    for (int page = 0; page < 1000; ++page) {
        paginator.setPage(page);
        if (page % 50 == 0)
            flushEvents();
    }
    flushEvents();
    const double residentGrowth = bench::statusMegabytes() - before;
    const double growth = bench::heapInUseMegabytes() - heapBefore;

    const double openMedian = percentile(opening, 0.5);
    const double switchMedian = percentile(switching, 0.5);
    const double baseMedian = percentile(baseline, 0.5);
    const double sortWorst = *std::max_element(sorting.begin(), sorting.end());
    std::printf("\nopening the New list (%d ids, first page): median %.2f ms (target <= 80)\n", NEW_ORDERS, openMedian);
    std::printf("switching to an unread page, 200 pages: median %.2f ms, p95 %.2f ms (target median <= 16)\n",
                switchMedian, percentile(switching, 0.95));
    std::printf("baseline, 10 records into 10 plain labels: median %.2f ms\n", baseMedian);
    std::printf("PageDown on the last row: %.2f ms per press\n", pageDownMs);
    std::printf("re-sorting by amount: %.2f ms and %.2f ms (target <= 60)\n", sorting.at(0), sorting.at(1));
    std::printf("memory after 1,000 pages: heap in use +%.1f MB (target <= 40), resident +%.1f MB\n", growth,
                residentGrowth);
    std::printf("\nratios\n");
    std::printf("page switch / plain page: %.2f (target <= 3)\n", switchMedian / std::max(baseMedian, 1e-6));
    std::printf(
        "opening / target: %.2f, re-sorting / target: %.2f, page switch / target: %.2f, memory / target: %.2f\n",
        openMedian / 80, sortWorst / 60, switchMedian / 16, growth / 40);
    paginator.panel.hide();
    graph.clear();
    return 0;
}
