// tavrel-shots-mainwindow: runs the program's real start-up against an in-process stand-in of the service,
// logs in as the stand-in's demo subscriber and saves pictures of every page of the main window into a
// folder. For looking at, not for tests; run it under a display server (scripts/screenshots.sh uses Xvfb).
#include "authorizationform.h"
#include "mainwindow.h"
#include "shotsupport.h"
#include "tooltipbaloon.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

int main(int argc, char *argv[])
{
    shots::Run run(argc, argv, shots::Run::StartUp);
    if (run.status)
        return run.status;
    TavrelApplication &app = *run.app;
    const QList<qint64> ids = run.service->newOrderIds();
    run.service->setFavourites(QStringLiteral("demo"), ids.mid(3, 4));

    auto save = [](const QPixmap &picture, const QString &name) { shots::savePicture(picture, name); };
    auto window = [&] { return app.mainWindow.data(); };
    auto part = [&](const char *name) { return window()->findChild<QWidget *>(QString::fromLatin1(name)); };
    auto settle = [] { shots::settle(); };
    // A step that waits for the page (and its list) to be shown, takes its picture and goes to the next page.
    auto shoot = [&](int page, const char *picture, int next) -> std::function<bool()> {
        return [=] {
            ViewOrdersPaginator *list = window()->paginator(page);
            if (window()->currentPage() != page || (list && list->isLoading()))
                return false;
            settle();
            save(window()->grab(), QString::fromLatin1(picture));
            window()->setPage(next);
            return true;
        };
    };

    // Each step returns true once it is done; the driver moves on to the next one.
    int waited = 0;
    const std::vector<std::function<bool()>> steps {
        [&] { return shots::logInThroughTheForm(app); },
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
        shoot(MainWindow::NewOrdersPage, "mainwindow-neworders.png", MainWindow::ViewedPage),
        shoot(MainWindow::ViewedPage, "mainwindow-viewed.png", MainWindow::FavouritesPage),
        shoot(MainWindow::FavouritesPage, "mainwindow-favourites.png", MainWindow::NewOrdersPage),
        [&] {
            window()->readOrder(ids.value(3));
            return true;
        },
        [&] {
            if (++waited < 6)
                return false;
            save(window()->grab(), QStringLiteral("detail-in-window.png"));
            window()->setPage(MainWindow::SettingsPage);
            return true;
        },
        shoot(MainWindow::SettingsPage, "settings-in-window.png", MainWindow::FiltersPage),
        shoot(MainWindow::FiltersPage, "filters-in-window.png", MainWindow::AdvancedSearchPage),
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

    return run.drive(steps, 90000);
}
