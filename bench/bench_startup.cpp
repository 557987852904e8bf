// Start of the program to the login form shown, on a database of 100,000 stored orders (50,000 New,
// 49,000 Viewed, 1,000 favourites). The program runs as a process of its own, in a private home, and
// reports its first shown window on the developer channel "tavrel.startup"; the time from starting the
// process to that line is measured, five times, and the median printed.   target <= 150 ms
//
//     build/bench/bench_startup [runs]
// The program is taken from the build folder (../Tavrel beside bench/); the display is the one of the
// environment, offscreen when there is none.
#include "benchsupport.h"
#include "coregraph.h"
#include "headlessapplication.h"

#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    bench::Home home;
    HeadlessApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const QString data = home.path(QStringLiteral("data"));
    QDir::setCurrent(data);
    {
        CoreGraph graph(&app);
        graph.build(QDir(data).filePath(QStringLiteral("Tavrel.Dat")));
        const QString login = QStringLiteral("bench");
        bench::storeBusyDatabase(app.dataBaseQuery, login);
        std::printf("database: %d new, %d viewed, %d favourites\n", app.dataBaseQuery->newOrdersCount(login),
                    app.dataBaseQuery->viewedOrdersCount(login), app.dataBaseQuery->favouritesCount(login));
        graph.clear();
    }

    const QString program
        = QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../Tavrel")).absoluteFilePath();
    if (!QFileInfo::exists(program)) {
        std::fprintf(stderr, "no program at %s\n", qPrintable(program));
        return 1;
    }
    // The program runs in the benchmark's private home.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tavrel.startup.debug=true"));
    // Nothing answers here: the start-up's dictionary request fails at once and goes nowhere.
    environment.insert(QStringLiteral("TAVREL_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
    if (!environment.contains(QStringLiteral("DISPLAY")) && !environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer timer;
        timer.start();
        process.start(program, {QStringLiteral("-path"), data});
        QByteArray said;
        double shownAt = -1;
        while (shownAt < 0 && timer.elapsed() < 20000) {
            process.waitForReadyRead(20);
            said += process.readAllStandardError();
            if (said.contains("first form shown"))
                shownAt = timer.nsecsElapsed() / 1e6;
            if (process.state() == QProcess::NotRunning)
                break;
        }
        process.kill();
        process.waitForFinished(5000);
        if (shownAt < 0) {
            std::fprintf(stderr, "run %d: no first form reported\n%s\n", run, said.constData());
            return 1;
        }
        times.push_back(shownAt);
        std::printf("run %d: %.1f ms\n", run, shownAt);
    }
    std::printf("start to the login form shown: median %.1f ms (target <= 150 ms)\n", bench::median(times));
    return 0;
}
