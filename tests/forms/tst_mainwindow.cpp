#include "appsettings.h"
#include "formtesthelpers.h"
#include "mainwindow.h"
#include "messageboxdriver.h"
#include "syncfixture.h"
#include "synctasktype.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

// The frame of the main window: pages, layout, pointer handling, the loading overlay and its life.
class TestMainWindow : public QObject
{
    Q_OBJECT

    SyncFixture fixture;

    static void mouse(QWidget *target, QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons, QWidget *window)
    {
        const QPoint global = window->mapToGlobal(at);
        QMouseEvent event(type, target->mapFromGlobal(global), global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    int tasks(int type) const
    {
        int n = 0;
        for (TavrelSynchronizationTask *task : fixture.engine->taskList())
            n += task && task->type() == type ? 1 : 0;
        return n;
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void cleanup()
    {
        OnlineState::force(true);
        fixture.service()->clearFaults();
        fixture.destroyEngine();
    }

    // Runs first: the dot sequence belongs to the process.
    void loadingHolds()
    {
        MainWindow window;
        const QString dots = child<QLabel>(&window, "lbDataLoadingAnim")->text();
        QVERIFY(dots.indexOf(QStringLiteral("dot-2.png")) < dots.indexOf(QStringLiteral("dot.png")));
        QWidget *overlay = child<QWidget>(&window, "dataLoadingView");
        QCOMPARE(window.loadingHolds(), 1); // the first-loading hold
        window.showLoadingIndicator();
        window.stopLoadingIndicator();
        QVERIFY(!overlay->isHidden());
        window.stopLoadingIndicator();
        QVERIFY(overlay->isHidden());
        window.stopLoadingIndicator(); // one too many: no debt left for the next hold
        window.showLoadingIndicator();
        QVERIFY(window.isLoadingIndicatorActive() && !overlay->isHidden());
    }

    void pages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("mode"); // of the page's list, -1 without one
        QTest::newRow("welcome") << 1 << "WelcomePanel" << QString() << -1;
        QTest::newRow("new orders") << 2 << "OrdersResultPanel"
                                    << "linkNewTasks" << 0;
        QTest::newRow("viewed") << 3 << "OrdersResultPanel"
                                << "linkViewed" << 0;
        QTest::newRow("favourites") << 4 << "OrdersResultPanel"
                                    << "linkFavourites" << 1;
        QTest::newRow("text search") << 5 << "OrdersResultPanel" << QString() << 3;
        QTest::newRow("filter search") << 6 << "OrdersResultPanel" << QString() << 4;
        QTest::newRow("filters") << 8 << "FiltersPanel"
                                 << "linkFilters" << -1;
        QTest::newRow("settings") << 7 << "SetupPanel"
                                  << "linkSetup" << -1;
        QTest::newRow("advanced results") << 10 << "OrdersResultPanel" << QString() << 4;
        QTest::newRow("order") << 11 << "DetailedOrderPanel" << QString() << -1;
    }
    void pages()
    {
        QFETCH(int, page);
        QFETCH(QString, panel);
        QFETCH(QString, link);
        QFETCH(int, mode);
        MainWindow window;
        window.setPage(page == 7 ? 1 : 7);
        QWidget *before = window.pagePanel();
        window.setPage(page);
        QWidget *shown = window.pagePanel();
        QCOMPARE(QString::fromLatin1(shown->metaObject()->className()), panel);
        QVERIFY(shown->parentWidget() == child<QWidget>(&window, "marketPlace") && !shown->isHidden());
        QVERIFY(!before->parentWidget() && before->isHidden());
        if (mode >= 0)
            QVERIFY(&window.paginator(page)->panel == shown && window.paginator(page)->mode == mode);
        QWidget *marker = child<QWidget>(&window, "wgSelection");
        QCOMPARE(marker->isHidden(), link.isEmpty());
        for (QLabel *label : child<QWidget>(&window, "leftTopMenuPlace")->findChildren<QLabel *>()) {
            QCOMPARE(label->text().contains(LINK_STYLE_SELECTED), label->objectName() == link);
            if (label->objectName() == link)
                QCOMPARE(marker->geometry().center().y(), label->geometry().center().y());
        }
    }

    // Stored lists load on every visit; the page shown loads again only through showPage.
    void navigation()
    {
        MainWindow window;
        QSignalSpy loads(window.paginator(2), &ViewOrdersPaginator::loadingFinished);
        window.setPage(2);
        window.setPage(2);
        QCOMPARE(loads.count(), 1);
        window.showPage(2);
        QCOMPARE(loads.count(), 2);

        window.readOrder(5);
        window.readOrder(6); // from the detail page itself: the way back stays
        QCOMPARE(window.currentPage(), 11);
        emit child<QLabel>(window.detailedOrderPanel(), "lbBackLabel")->linkActivated(QString());
        QCOMPARE(window.currentPage(), 2);

        // The advanced search lies over the page area; leaving it puts the area and both of its header
        // buttons back, and its close returns to the page before it.
        QWidget *area = child<QWidget>(&window, "marketPlace");
        QWidget *button = child<QWidget>(window.searchHeader(), "buttonSearchExtended");
        QWidget *arrow = child<QWidget>(window.searchHeader(), "buttonSearchExtended_2");
        for (int from : {10, 11}) {
            window.setPage(from);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(window.currentPage(), 9);
            QVERIFY(area->isHidden() && button->isHidden() && arrow->isHidden());
            QVERIFY(!window.advancedSearch()->isHidden() && window.advancedSearch()->parentWidget() == &window);
            emit window.advancedSearch()->closeFormPressed();
            QVERIFY(window.currentPage() == from && !area->isHidden() && !button->isHidden() && !arrow->isHidden());
        }

        // The logo leads home, and its release goes no further.
        QWidget *logo = child<QWidget>(window.searchHeader(), "logo");
        EventCounter releases(QEvent::MouseButtonRelease);
        logo->installEventFilter(&releases);
        QTest::mouseRelease(logo, Qt::LeftButton);
        QVERIFY(window.currentPage() == 1 && releases.count == 0);
        for (const char *counter : {"lbNewOrderCounter", "lbFavouriteCount"}) {
            QTest::mouseRelease(child<QLabel>(&window, counter), Qt::LeftButton);
            QCOMPARE(window.currentPage(), counter[2] == 'N' ? 2 : 4);
        }
    }

    void quickSearch_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("page");
        QTest::newRow("current orders, empty line") << 0 << 5;
        QTest::newRow("archive") << 1 << 5;
        QTest::newRow("saved filter, none chosen") << 2 << 6;
    }
    void quickSearch()
    {
        QFETCH(int, tab);
        QFETCH(int, page);
        MainWindow window;
        child<QTabWidget>(window.searchHeader(), "tabWidget")->setCurrentIndex(tab);
        child<QCheckBox>(window.searchHeader(), "chkMorphology")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(window.searchHeader(), "buttonSearch"), Qt::LeftButton);
        ViewOrdersPaginator *list = window.paginator(page);
        QVERIFY(window.currentPage() == page && list->isLoading() == (page == 5));
        if (page == 5) {
            QCOMPARE(list->searchArea, tab == 0 ? SEARCH_AREA_CURRENT_ORDERS : SEARCH_AREA_ARCHIVE_ORDERS);
            QVERIFY(list->morphology && !list->wordsRequired && list->searchText.isEmpty());
        }
    }

    // The service forgets the session while the detail page reads its order: the read logs in again,
    // learns of another paid-access flag and so reloads the very page whose request is reporting.
    void paidAccessChangeDuringTheOrderRead()
    {
        const QString login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(login));
        MainWindow window;
        TavrelApplication::instance()->mainWindow = &window;
        window.show();
        const qint64 id = fixture.service()->newOrderIds().first();
        LocalServiceUser user = *fixture.service()->user(login);
        user.fullAccess = !AppSettings::isFullAccess();
        fixture.service()->addUser(user);
        fixture.service()->expireAllSessions();
        window.readOrder(id);
        QTRY_COMPARE_WITH_TIMEOUT(AppSettings::isFullAccess(), user.fullAccess, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(window.detailedOrderPanel(), "lbLoading")->text().isEmpty(), 20000);
        QVERIFY(child<QLabel>(window.detailedOrderPanel(), "lbHeader")->text().contains(QString::number(id)));
    }

    void chromeLayoutAndCollapse()
    {
        MainWindow window;
        window.resize(781, 700);
        window.adjustAdvancedSearchPanel();
        QCOMPARE(child<QWidget>(&window, "frame")->geometry(), QRect(6, 6, 768, 688));
        QWidget *menu = child<QWidget>(&window, "leftMenuPlace");
        QWidget *page = child<QWidget>(&window, "marketPlace");
        QWidget *button = child<QWidget>(&window, "pushButtonCollapse");
        const int pageRight = page->geometry().right();
        for (const char *width : {"leftMenuSmall", "leftTopMenuPlace"}) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(menu->width(), child<QWidget>(&window, width)->width());
            QCOMPARE(button->geometry(), QRect(menu->geometry().right() + 1, menu->y(), 5, menu->height()));
            QCOMPARE(page->x(), button->geometry().right() + 1);
            QCOMPARE(page->geometry().right(), pageRight);
        }
    }

    void hoverCursors_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("cursor");
        QTest::newRow("left") << QPoint(5, 100) << 1 << int(Qt::SizeHorCursor);
        QTest::newRow("top-left by the side") << QPoint(5, 10) << 0 << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom-left") << QPoint(5, 620) << 2 << int(Qt::SizeBDiagCursor);
        QTest::newRow("top-right") << QPoint(995, 10) << 6 << int(Qt::SizeBDiagCursor);
        QTest::newRow("bottom") << QPoint(100, 645) << 3 << int(Qt::SizeVerCursor);
        QTest::newRow("bottom-right") << QPoint(990, 645) << 4 << int(Qt::SizeFDiagCursor);
        QTest::newRow("inside") << QPoint(500, 300) << -1 << int(Qt::ArrowCursor);
    }
    void hoverCursors()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, edge);
        QFETCH(int, cursor);
        MainWindow window;
        window.show();
        QWidget *shadow = child<QWidget>(&window, "shadowLeft");
        mouse(shadow, QEvent::MouseMove, pos, Qt::NoButton, &window);
        QVERIFY(window.hoveredEdge() == edge && shadow->cursor().shape() == cursor);
        mouse(child<QWidget>(&window, "marketPlace"), QEvent::MouseMove, QPoint(500, 300), Qt::NoButton, &window);
        QCOMPARE(window.hoveredEdge(), -1);
    }

    void dragResizeAndMove()
    {
        MainWindow window;
        window.show();
        const QRect start = window.geometry();
        mouse(child<QWidget>(&window, "shadowLeft"), QEvent::MouseMove, QPoint(5, 100), Qt::NoButton, &window);
        mouse(&window, QEvent::MouseButtonPress, QPoint(5, 100), Qt::LeftButton, &window);
        mouse(&window, QEvent::MouseMove, QPoint(-25, 100), Qt::LeftButton, &window);
        mouse(&window, QEvent::MouseButtonRelease, QPoint(-25, 100), Qt::NoButton, &window);
        QCOMPARE(window.geometry(), start.adjusted(-30, 0, 0, 0));
        // No edge: the pressed point stays under the pointer.
        const QPoint before = window.pos();
        mouse(child<QWidget>(&window, "marketPlace"), QEvent::MouseMove, QPoint(500, 300), Qt::NoButton, &window);
        mouse(&window, QEvent::MouseButtonPress, QPoint(500, 300), Qt::LeftButton, &window);
        mouse(&window, QEvent::MouseMove, QPoint(540, 325), Qt::LeftButton, &window);
        QVERIFY(window.pos() == before + QPoint(40, 25) && window.width() == start.width() + 30);
    }

    void firstLoadingTimeout_data()
    {
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("downloading");
        QTest::addColumn<QString>("shown");
        QTest::newRow("offline at show: the stored count") << false << false << ">0 новых заявок</span></a>";
        QTest::newRow("no download running") << true << false << ">нет доступа к сети</span></a>";
        QTest::newRow("download running") << true << true << ">Идет загрузка заявок... </span><a";
    }
    void firstLoadingTimeout()
    {
        QFETCH(bool, online);
        QFETCH(bool, downloading);
        QFETCH(QString, shown);
        QVERIFY(fixture.startAs(fixture.newSubscriber()));
        if (downloading)
            fixture.service()->addFault(LocalServiceFault::hang().onPath(URL_NEW_ORDERS_PAGE));
        OnlineState::force(online);
        MainWindow window;
        window.show();
        TavrelSynchronizationTask *task = fixture.engine->findTask(SyncTaskType::NewOrders);
        QTRY_VERIFY_WITH_TIMEOUT(!downloading || task->context()->isRunning(), 10000);
        QTimer *timer = nullptr;
        for (QTimer *candidate : window.findChildren<QTimer *>())
            timer = candidate->isSingleShot() && candidate->interval() == 3000 ? candidate : timer;
        // Offline, the stored count is known at once and ends the first loading without the timer.
        QCOMPARE(timer->isActive(), online);
        if (online)
            QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(child<QLabel>(window.welcome(), "lbMessage")->text().contains(shown));
        QVERIFY(window.loadingHolds() == 0 && child<QWidget>(&window, "dataLoadingView")->isHidden());

        // The link explains the offline state, or opens the new orders once the count is known.
        MessageBoxDriver driver({QStringLiteral("OK")});
        emit window.welcome()->newOrdersClick();
        QCOMPARE(window.currentPage(), online ? 1 : 2);
        QCOMPARE(driver.seen(),
                 online ? QStringList("Сеть не доступна|Программа запущена в автономном режиме.") : QStringList());
    }

    // A show registers one favourites listener, however often the window is shown; a second window on
    // the same engine hears of new orders after the first is gone, with events still posted to it.
    void listenersAndDestruction()
    {
        QVERIFY(fixture.startAs(fixture.newSubscriber()));
        const int before = tasks(SyncTaskType::FavouritesListener);
        auto first = std::make_unique<MainWindow>();
        for (int i = 0; i < 3; ++i) {
            first->show();
            first->hide();
        }
        QCOMPARE(tasks(SyncTaskType::FavouritesListener), before + 1);
        first->show();
        first->filtersPage()->setModified(true); // hiding the window stores the filters' edits
        first->hide();
        QVERIFY(!first->filtersPage()->hasPendingChanges());
        first->show();
        QCoreApplication::postEvent(
            child<QWidget>(first.get(), "shadowLeft"),
            new QMouseEvent(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier));
        first.reset();
        QCoreApplication::processEvents();
        QTRY_COMPARE(tasks(SyncTaskType::FavouritesListener), before);
        MainWindow second;
        second.show();
        QTRY_VERIFY_WITH_TIMEOUT(!child<QLabel>(&second, "lbNewOrderCounter")->text().isEmpty(), 20000);
    }
};

TAVREL_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
