// tavrel-shots-mainwindow: runs the program's real start-up against an in-process stand-in of the service,
// logs in as the stand-in's demo subscriber and saves pictures of every page of the main window into a
// folder. For looking at, not for tests; run it under a display server (scripts/screenshots.sh uses Xvfb).
#include "authorizationform.h"
#include "constants.h"
#include "localservice/localservice.h"
#include "mainwindow.h"
#include "tavrelapplication.h"
#include "tooltipbaloon.h"

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        QTextStream(stderr) << "usage: tavrel-shots-mainwindow OUTPUT_FOLDER\n";
        return 2;
    }
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(output);

    // A private home: the user's settings, database and running instance stay untouched.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    for (const char *sub : {"config", "data", "tmp"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("TMPDIR", QFile::encodeName(home.filePath(QStringLiteral("tmp"))));

    QByteArray program = argv[0];
    QByteArray pathOption = "-path";
    QByteArray dataDir = QFile::encodeName(home.filePath(QStringLiteral("data")));
    std::vector<char *> args {program.data(), pathOption.data(), dataDir.data(), nullptr};
    int appArgc = 3;
    TavrelApplication app(appArgc, args.data());
    app.setApplicationName(QStringLiteral("Tavrel"));

    LocalService service;
    if (!service.start()) {
        QTextStream(stderr) << "cannot start the stand-in service\n";
        return 1;
    }
    qputenv("TAVREL_BASE_URL", service.url().toUtf8());
    const QList<qint64> ids = service.newOrderIds();
    service.setFavourites(QStringLiteral("demo"), ids.mid(3, 4));

    QStringList saved;
    auto save = [&](const QPixmap &picture, const QString &name) {
        const QString path = QDir(output).filePath(name);
        if (picture.save(path))
            saved << path;
    };
    auto window = [&] { return app.mainWindow.data(); };
    auto part = [&](const char *name) { return window()->findChild<QWidget *>(QString::fromLatin1(name)); };
    auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    auto listLoaded
        = [&](int page) { return window()->currentPage() == page && !window()->paginator(page)->isLoading(); };

    // Each step returns true once it is done; the driver moves on to the next one.
    int waited = 0;
    const std::vector<std::function<bool()>> steps {
        [&] {
            if (!app.authorizationForm || !app.authorizationForm->isVisible())
                return false;
            app.authorizationForm->findChild<QComboBox *>(QStringLiteral("cbLogin"))
                ->setEditText(QStringLiteral("demo"));
            app.authorizationForm->findChild<QLineEdit *>(QStringLiteral("password"))->setText(QStringLiteral("demo"));
            app.authorizationForm->findChild<QPushButton *>(QStringLiteral("enterButton"))->click();
            return true;
        },
        [&] {
            if (!window() || !window()->isVisible() || window()->isLoadingIndicatorActive())
                return false;
            save(window()->grab(), QStringLiteral("mainwindow-welcome.png"));
            save(part("leftTopMenuPlace")->grab(), QStringLiteral("badge-wide.png"));
            // The hover marker behind a link of the menu.
            QWidget *viewed = part("linkViewed");
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewed, &move);
            save(part("leftMenuPlace")->grab(), QStringLiteral("hover-marker.png"));
            window()->showPage(MainWindow::NewOrdersPage);
            return true;
        },
        [&] {
            if (!listLoaded(MainWindow::NewOrdersPage))
                return false;
            settle();
            save(window()->grab(), QStringLiteral("mainwindow-neworders.png"));
            window()->setPage(MainWindow::ViewedPage);
            return true;
        },
        [&] {
            if (!listLoaded(MainWindow::ViewedPage))
                return false;
            settle();
            save(window()->grab(), QStringLiteral("mainwindow-viewed.png"));
            window()->setPage(MainWindow::FavouritesPage);
            return true;
        },
        [&] {
            if (!listLoaded(MainWindow::FavouritesPage))
                return false;
            settle();
            save(window()->grab(), QStringLiteral("mainwindow-favourites.png"));
            window()->setPage(MainWindow::NewOrdersPage);
            window()->readOrder(ids.value(3));
            waited = 0;
            return true;
        },
        [&] {
            if (++waited < 6)
                return false;
            save(window()->grab(), QStringLiteral("detail-in-window.png"));
            window()->setPage(MainWindow::SettingsPage);
            return true;
        },
        [&] {
            settle();
            save(window()->grab(), QStringLiteral("settings-in-window.png"));
            window()->setPage(MainWindow::FiltersPage);
            return true;
        },
        [&] {
            settle();
            save(window()->grab(), QStringLiteral("filters-in-window.png"));
            window()->setPage(MainWindow::AdvancedSearchPage);
            return true;
        },
        [&] {
            settle();
            save(window()->grab(), QStringLiteral("advanced-search.png"));
            window()->setPage(MainWindow::WelcomePage);
            window()->collapseButtonPressed();
            return true;
        },
        [&] {
            settle();
            save(window()->grab(), QStringLiteral("menu-collapsed.png"));
            window()->collapseButtonPressed();
            window()->showLoadingIndicator();
            return true;
        },
        [&] {
            save(window()->grab(), QStringLiteral("loading-overlay.png"));
            window()->stopLoadingIndicator();
            for (int i = 0; i < 3; ++i) {
                auto *baloon = new ToolTipBaloon;
                baloon->setTexts(QStringLiteral("Поступили новые заявки"),
                                 QStringLiteral("Всего новых: %1 <br />Поступило: %2").arg(203 + i).arg(1));
                app.baloonSet.addBaloon(baloon);
            }
            return true;
        },
        [&] {
            settle();
            if (QScreen *screen = QGuiApplication::primaryScreen())
                save(screen->grabWindow(0), QStringLiteral("balloons.png"));
            app.baloonSet.clear();
            // A window whose first three seconds pass while no download runs: the welcome page says so.
            MainWindow offline;
            offline.show();
            for (QTimer *timer : offline.findChildren<QTimer *>())
                if (timer->isSingleShot() && timer->isActive())
                    QMetaObject::invokeMethod(timer, "timeout");
            save(offline.grab(), QStringLiteral("offline-welcome.png"));
            return true;
        },
    };

    size_t step = 0;
    QTimer driver;
    driver.setInterval(250);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (step < steps.size()) {
            if (steps[step]())
                ++step;
            return;
        }
        app.closeApp();
    });
    driver.start();
    QTimer::singleShot(90000, &app, [&] {
        QTextStream(stderr) << "gave up waiting at step " << step << "\n";
        app.closeApp();
    });

    const int code = app.start();
    for (const QString &path : qAsConst(saved))
        QTextStream(stdout) << path << "\n";
    return code == 0 && step == steps.size() ? 0 : 1;
}
