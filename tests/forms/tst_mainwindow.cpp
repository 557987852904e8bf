#include "appsettings.h"
#include "authorizationform.h"
#include "formtesthelpers.h"
#include "messageboxdriver.h"
#include "ordertablerow.h"
#include "soundplayer.h"
#include "synctasktype.h"
#include "testapplication.h"
#include "tooltipbaloon.h"
#include "tooltipbaloonset.h"
#include "urlcatcher.h"
#include "welcomepanel.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QUrlQuery>
#include <QtTest>

// The main window: pages, welcome page, layout, pointer, loading overlay and life; the links to the browser
// (a fresh web login first, the session only to the service's own pages, nothing but web addresses); and
// the announcement of new orders: counters, tray tool tip, sound and the balloon stack.
class TestMainWindow : public QObject
{
    Q_OBJECT

    WindowFixture fixture;
    UrlCatcher browser;
    EventCounter pageShown {QEvent::Show}; // its log also notes every opening, in order
    const QStringList schemes {"http", "https", "file", "tavrel", "javascript"};
    QList<qint64> newOrderIds; // the service's own

    int tasks(int type) const
    {
        int n = 0;
        for (TavrelSynchronizationTask *task : fixture.engine->taskList())
            n += task && task->type() == type ? 1 : 0;
        return n;
    }
    // The link's address as the label's rich text holds it, entities read back.
    QString href(const char *name) const
    {
        const QString text = child<QLabel>(fixture.window.get(), name)->text();
        const QString attribute = QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(text).captured(1);
        return QTextDocumentFragment::fromHtml(attribute).toPlainText();
    }
    QString session() const { return QString::fromUtf8(fixture.engine->sessionCookie()); }

    // "title|message" of every balloon shown since the last clear, oldest first.
    static QStringList balloons()
    {
        QStringList shown;
        for (ToolTipBaloon *baloon : TavrelApplication::instance()->baloonSet.baloons)
            shown.prepend(plainText(child<QLabel>(baloon, "lbHeader")) + "|"
                          + plainText(child<QLabel>(baloon, "lbMessage")));
        return shown;
    }
    static void clearBalloons()
    {
        TavrelApplication::instance()->baloonSet.clear();
        SoundPlayer::startRecording();
    }
    QLabel *badge() const { return child<QLabel>(fixture.window.get(), "lbNewOrderCounter"); }
    // A subscriber with `count` new orders on the service, the window shown and their first download done.
    bool startWithOrders(int count, bool newDay = false)
    {
        clearBalloons();
        fixture.service()->setNewOrderIds(newOrderIds.mid(0, count));
        AppSettings::setTodayDate(Clock::currentDateTime().addDays(newDay ? -1 : 0));
        return fixture.openWindow()
            && QTest::qWaitFor([&] { return badge()->text() == QString::number(count); }, 20000);
    }
    // `newOrders` arrive on the service and come in `pages` pages; returns the balloons they brought.
    QStringList download(int newOrders, int pages)
    {
        clearBalloons();
        fixture.service()->addNewOrders(newOrders);
        fixture.engine->newOrdersNow();
        const bool sounded = QTest::qWaitFor([&] { return SoundPlayer::recorded().size() == pages; }, 30000);
        QTest::qWait(500); // nothing more comes
        return sounded && SoundPlayer::recorded().size() == pages ? balloons() : QStringList("no sound");
    }

    // Three balloons shown 1 s apart on a clock that moves only when told; newest first.
    static QList<QPointer<ToolTipBaloon>> stackOfThree(ToolTipBaloonSet &set)
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC));
        QList<QPointer<ToolTipBaloon>> added;
        for (int i = 0; i < 3; ++i) {
            added.prepend(new ToolTipBaloon);
            set.addBaloon(added.first());
            Clock::advance(1000);
        }
        return added;
    }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        newOrderIds = fixture.service()->newOrderIds();
        browser.log = &pageShown.log;
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &browser, "open");
    }
    void cleanupTestCase()
    {
        for (const QString &scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
        fixture.tearDown();
    }
    void cleanup()
    {
        OnlineState::force(true);
        fixture.service()->clearFaults();
        fixture.closeWindow();
        browser.urls.clear();
        pageShown.log.clear();
        SoundPlayer::stopRecording();
        TavrelApplication::instance()->baloonSet.clear();
        fixture.service()->setNewOrderIds(newOrderIds);
        AppSettings::setUserName(QString());
    }

    void loadingHolds()
    {
        MainWindow window;
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
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("mode"); // of the page's list, -1 without one
        QTest::addColumn<QString>("panel");
        QTest::newRow("welcome") << 1 << QString() << -1 << "WelcomePanel";
        QTest::newRow("new orders") << 2 << "linkNewTasks" << 0 << "OrdersResultPanel";
        QTest::newRow("viewed") << 3 << "linkViewed" << 0 << "OrdersResultPanel";
        QTest::newRow("favourites") << 4 << "linkFavourites" << 1 << "OrdersResultPanel";
        QTest::newRow("text search") << 5 << QString() << 3 << "OrdersResultPanel";
        QTest::newRow("filter search") << 6 << QString() << 4 << "OrdersResultPanel";
        QTest::newRow("filters") << 8 << "linkFilters" << -1 << "FiltersPanel";
        QTest::newRow("settings") << 7 << "linkSetup" << -1 << "SetupPanel";
        QTest::newRow("advanced results") << 10 << QString() << 4 << "OrdersResultPanel";
        QTest::newRow("order") << 11 << QString() << -1 << "DetailedOrderPanel";
    }
    void pages()
    {
        QFETCH(int, page);
        QFETCH(QString, link);
        QFETCH(int, mode);
        QFETCH(QString, panel);
        MainWindow window;
        window.show();
        window.setPage(page == 7 ? 1 : 7);
        QWidget *before = window.pagePanel();
        window.setPage(page);
        QWidget *shown = window.pagePanel();
        QWidget *area = child<QWidget>(&window, "marketPlace");
        QCOMPARE(QString::fromLatin1(shown->metaObject()->className()), panel);
        QVERIFY(shown->parentWidget() == area && !shown->isHidden());
        // The welcome page greys the page area while it is shown, and gives the area its own look back.
        QCOMPARE(area->styleSheet().contains(QStringLiteral("#eeeeee")), page == 1);
        QVERIFY(!before->parentWidget() && before->isHidden());
        if (mode >= 0)
            QVERIFY(&window.paginator(page)->panel == shown && window.paginator(page)->mode == mode);
        QCOMPARE(child<QWidget>(&window, "wgSelection")->isHidden(), link.isEmpty());
        for (QLabel *label : child<QWidget>(&window, "leftTopMenuPlace")->findChildren<QLabel *>())
            QCOMPARE(label->text().contains(LINK_STYLE_SELECTED), label->objectName() == link);
    }

    // The greeting with the display name the service gave, the date in Russian, and the count with its
    // plural form as the link to the new orders.
    void welcome_data()
    {
        for (const char *column : {"name", "count", "greeting", "link"})
            QTest::addColumn<QString>(column);
        addTextRow("no count", {"", "", "Здравствуйте.", ""});
        addTextRow("zero", {"", "0", "Здравствуйте.", "0 новых заявок"});
        addTextRow("21", {"", "21", "Здравствуйте.", "21 новая заявка"});
        addTextRow("104", {"", "104", "Здравствуйте.", "104 новые заявки"});
        addTextRow("111", {"", "111", "Здравствуйте.", "111 новых заявок"});
        addTextRow("14", {"", "14", "Здравствуйте.", "14 новых заявок"});
        addTextRow("subject and name",
                   {"ООО Ромашка > Иван Петров (ID: 1)", "3", "Здравствуйте, Иван Петров.", "3 новые заявки"});
        addTextRow("name in a tag", {"<b>Иван Петров (организация)</b>", "", "Здравствуйте, Иван Петров.", ""});
        addTextRow("no subject", {"Иван Петров (ID: 1)", "", "Здравствуйте.", ""});
        addTextRow("no id", {"ООО > Иван", "", "Здравствуйте.", ""});
        addTextRow("markup and placeholders stay text",
                   {"<b>Иван %2 <a href='x' %4 (ID: 1)", "", "Здравствуйте, Иван %2 <a href='x' %4.", ""});
    }
    void welcome()
    {
        QFETCH(QString, name);
        QFETCH(QString, count);
        QFETCH(QString, greeting);
        QFETCH(QString, link);
        Clock::setFixed(QDateTime(QDate(2023, 1, 1), QTime(12, 0))); // a Sunday
        AppSettings::setUserName(name);
        WelcomePanel panel;
        panel.retranslateUi(count);
        auto *label = child<QLabel>(&panel, "lbMessage");
        const QString line = link.isEmpty() ? QString() : "У вас " + link + ". ";
        QCOMPARE(plainText(label), greeting + " Сегодня воскресенье, 1 января. " + line + "Приятной работы в сети.");
        QVERIFY(label->text().contains(QStringLiteral("color:#2191c9;\">%1</span></a>").arg(link)));
        QCOMPARE(label->text().count(QStringLiteral("<a ")), 1);
        QCOMPARE(child<QLabel>(&panel, "lbCR")->text(), QStringLiteral("© Таврел, 2023"));
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
            QVERIFY(window.currentPage() == 9 && area->isHidden() && button->isHidden() && arrow->isHidden());
            QVERIFY(!window.advancedSearch()->isHidden() && window.advancedSearch()->parentWidget() == &window);
            emit window.advancedSearch()->closeFormPressed();
            QVERIFY(window.currentPage() == from && !area->isHidden() && !button->isHidden() && !arrow->isHidden());
        }

        // The logo leads home, and its release goes no further; the counters lead to their lists.
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
        QVERIFY(fixture.openWindow());
        const qint64 id = fixture.service()->newOrderIds().first();
        LocalServiceUser user = *fixture.service()->user(fixture.engine->currentLogin());
        user.fullAccess = !AppSettings::isFullAccess();
        fixture.service()->addUser(user);
        fixture.service()->expireAllSessions();
        fixture.window->readOrder(id);
        QTRY_COMPARE_WITH_TIMEOUT(AppSettings::isFullAccess(), user.fullAccess, 20000);
        auto *panel = fixture.window->detailedOrderPanel();
        QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(panel, "lbLoading")->text().isEmpty(), 20000);
        QVERIFY(child<QLabel>(panel, "lbHeader")->text().contains(QString::number(id)));
    }

    void collapse()
    {
        MainWindow window;
        QWidget *menu = child<QWidget>(&window, "leftMenuPlace");
        QWidget *page = child<QWidget>(&window, "marketPlace");
        for (const char *width : {"leftMenuSmall", "leftTopMenuPlace"}) {
            QTest::mouseClick(child<QWidget>(&window, "pushButtonCollapse"), Qt::LeftButton);
            QVERIFY(menu->width() == child<QWidget>(&window, width)->width()
                    && page->x() == menu->x() + menu->width() + 5);
        }
    }

    // Hovering an edge of the shadow shows its cursor; a drag from it moves that edge, from inside the window.
    void edges_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QRect>("change"); // of the geometry's edges after a drag by (-30, 20)
        QTest::newRow("left") << QPoint(5, 100) << 1 << int(Qt::SizeHorCursor) << QRect(-30, 0, 0, 0);
        QTest::newRow("top-left by the side") << QPoint(5, 10) << 0 << int(Qt::SizeFDiagCursor) << QRect(-30, 20, 0, 0);
        QTest::newRow("bottom-left") << QPoint(5, 620) << 2 << int(Qt::SizeBDiagCursor) << QRect(-30, 0, 0, 20);
        QTest::newRow("top-right") << QPoint(995, 10) << 6 << int(Qt::SizeBDiagCursor) << QRect(0, 20, -30, 0);
        QTest::newRow("bottom") << QPoint(100, 645) << 3 << int(Qt::SizeVerCursor) << QRect(0, 0, 0, 20);
        QTest::newRow("bottom-right") << QPoint(990, 645) << 4 << int(Qt::SizeFDiagCursor) << QRect(0, 0, -30, 20);
        QTest::newRow("inside") << QPoint(500, 300) << -1 << int(Qt::ArrowCursor) << QRect(-30, 20, -30, 20);
    }
    void edges()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, edge);
        QFETCH(int, cursor);
        QFETCH(QRect, change);
        MainWindow window;
        window.show();
        const QRect start = window.geometry();
        QWidget *shadow = child<QWidget>(&window, "shadowLeft");
        WindowFixture::mouse(shadow, QEvent::MouseMove, pos, Qt::NoButton, &window);
        QVERIFY(window.hoveredEdge() == edge && shadow->cursor().shape() == cursor);
        WindowFixture::mouse(&window, QEvent::MouseButtonPress, pos, Qt::LeftButton, &window);
        WindowFixture::mouse(&window, QEvent::MouseMove, pos + QPoint(-30, 20), Qt::LeftButton, &window);
        WindowFixture::mouse(&window, QEvent::MouseButtonRelease, pos, Qt::NoButton, &window);
        QCOMPARE(window.geometry(), start.adjusted(change.x(), change.y(), change.width(), change.height()));
        WindowFixture::mouse(child<QWidget>(&window, "marketPlace"), QEvent::MouseMove, pos, Qt::NoButton, &window);
        QCOMPARE(window.hoveredEdge(), -1);
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
        emit child<QLabel>(window.welcome(), "lbMessage")->linkActivated(QStringLiteral("tavrel://newOrders"));
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
        // The pointer moves over another window while the last of the window's members goes: the
        // application's filters see that move, and the window, its form gone, must be none of them.
        QWidget other;
        other.setMouseTracking(true);
        EventCounter moves(QEvent::MouseMove);
        other.installEventFilter(&moves);
        connect(first->searchHeader(), &QObject::destroyed, &other, [&other] {
            QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&other, &move);
        });
        first.reset();
        QCOMPARE(moves.count, 1);
        QTRY_COMPARE(tasks(SyncTaskType::FavouritesListener), before);
        MainWindow second;
        second.show();
        QTRY_VERIFY_WITH_TIMEOUT(!child<QLabel>(&second, "lbNewOrderCounter")->text().isEmpty(), 20000);
    }

    // Two links share one web login; the session goes into the links percent-encoded.
    void twoLinksShareOneLoginAndCarryTheSessionEncoded()
    {
        QVERIFY(fixture.openWindow());
        const QString before = session();
        QCOMPARE(href("linkMyProfile"), baseUrl() + "/me?session=" + before);
        emit child<QLabel>(fixture.window.get(), "linkMyProfile")->linkActivated(href("linkMyProfile"));
        emit child<QLabel>(fixture.window.get(), "linkTarifs")->linkActivated(href("linkTarifs"));
        QTRY_COMPARE(browser.urls.size(), 2);
        QVERIFY(fixture.service()->requests(URL_LOGIN).size() == 1 && session() != before);
        QCOMPARE(browser.urls,
                 QList<QUrl>({baseUrl() + "/me?session=" + session(), baseUrl() + "/bills?session=" + session()}));
        // Ampersands, quotes and angle brackets of a session arrive as percent escapes, so nothing of it
        // can end the link's attribute, and the address decodes back to the session.
        fixture.engine->setSessionCookie("a&b=\"c\"<d>");
        fixture.window->hide();
        fixture.window->show();
        QVERIFY(
            child<QLabel>(fixture.window.get(), "linkMyProfile")->text().contains("session=a%26b%3D%22c%22%3Cd%3E\""));
        QCOMPARE(QUrlQuery(QUrl(href("linkMyProfile"))).queryItemValue("session", QUrl::FullyDecoded), session());
    }

    void paidAccessChangeReloadsThePageFirst()
    {
        QVERIFY(fixture.openWindow());
        fixture.window->welcome()->installEventFilter(&pageShown);
        LocalServiceUser user = *fixture.service()->user(fixture.engine->currentLogin());
        user.fullAccess = !AppSettings::isFullAccess();
        fixture.service()->addUser(user);
        fixture.window->browserLinkActivate(baseUrl() + URL_BILLS);
        QTRY_COMPARE(pageShown.log, QStringList({"event", "open"}));
        QCOMPARE(AppSettings::isFullAccess(), user.fullAccess);
    }

    void onlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened"); // empty: the address itself; SESSION: the new session
        QTest::addColumn<bool>("loginFails");
        const QString own = baseUrl() + "/order/5?x=1&session=old";
        QTest::newRow("own page") << own << baseUrl() + "/order/5?session=SESSION" << false;
        QTest::newRow("own page, failed login") << own << own << true;
        QTest::newRow("foreign host keeps its query") << "https://example.org/p?a=1" << QString() << false;
        QTest::newRow("look-alike host") << "http://127.0.0.1.example.org/x" << QString() << false;
        QTest::newRow("file") << "file:///etc/passwd" << QString() << false;
        QTest::newRow("script") << "javascript:alert(1)" << QString() << false;
        QTest::newRow("own scheme") << "tavrel://favourites/add" << QString() << false;
    }
    void onlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        QFETCH(bool, loginFails);
        QVERIFY(fixture.openWindow());
        if (loginFails)
            fixture.service()->addFault(LocalServiceFault::httpStatus(500).onPath(URL_LOGIN).once());
        fixture.window->browserLinkActivate(address);
        if (!address.startsWith("http")) {
            QTest::qWait(300);
            QVERIFY(browser.urls.isEmpty() && fixture.service()->requests(URL_LOGIN).isEmpty());
            return;
        }
        QTRY_COMPARE(browser.urls.size(), 1);
        QCOMPARE(browser.urls.first(),
                 QUrl(opened.isEmpty() ? address : opened.replace(QStringLiteral("SESSION"), session())));
    }

    void onePerPageThatBringsOrders()
    {
        QVERIFY(startWithOrders(5));
        // All five came with the first delivery: a first count, without a sound.
        QCOMPARE(balloons(), QStringList("Есть новые заявки|Всего: 5"));
        QVERIFY(SoundPlayer::recorded().isEmpty());
        QCOMPARE(TavrelApplication::instance()->trayIcon.toolTip(), QStringLiteral("Таврел.\nНовых заявок: 5"));
        QVERIFY(spokenName(badge()) == "5" && badge()->accessibleDescription() == "Новые заявки");
        QTRY_COMPARE(child<QLabel>(fixture.window.get(), "lbFavouriteCount")->text(), QStringLiteral("0"));

        // Showing again announces what is stored at once, before any delivery.
        clearBalloons();
        fixture.window->hide();
        fixture.window->show();
        QCOMPARE(balloons(), QStringList("Есть новые заявки|Всего: 5"));
        QTRY_VERIFY(!fixture.engine->findTask(SyncTaskType::NewOrders)->context()->isRunning());
        QTest::qWait(100);

        // Two pages of arrivals: a sound and a balloon for each, none from the download's own reports;
        // a failed page announces nothing.
        QCOMPARE(download(1500, 2),
                 QStringList({"Поступили новые заявки|Всего новых: 1005 Поступило: 1000",
                              "Поступили новые заявки|Всего новых: 1505 Поступило: 500"}));
        QCOMPARE(SoundPlayer::recorded().first(), QStringLiteral(":/resources/message.wav"));
        fixture.service()->addFault(LocalServiceFault::failPage(2).onPath(URL_NEW_ORDERS_PAGE).once());
        QCOMPARE(download(1500, 1), QStringList("Поступили новые заявки|Всего новых: 2505 Поступило: 1000"));

        // Everything moved to Viewed: the next arrival is still news.
        QVERIFY(fixture.query->markAllOrdersViewed(fixture.engine->currentLogin()));
        fixture.window->showPage(MainWindow::WelcomePage);
        fixture.service()->setNewOrderIds({});
        QCOMPARE(download(1, 1), QStringList("Поступили новые заявки|Всего новых: 1 Поступило: 1"));
    }

    void firstFetchOfTheDay()
    {
        QVERIFY(startWithOrders(5));
        QVERIFY(startWithOrders(5, true));
        QTRY_COMPARE(balloons(),
                     QStringList({"Синхронизация счетчика заявок|У вас было 5 новых заявок. Выполняется полное "
                                  "обновление списка новых заявок...",
                                  "Синхронизация завершена|Всего новых заявок: 5"}));
        fixture.window->showPage(MainWindow::WelcomePage);
        QCOMPARE(balloons().size(), 2);
    }

    void wideBadge()
    {
        QVERIFY(startWithOrders(100));
        const int right = badge()->geometry().right();
        for (int page : {1, 2}) {
            fixture.window->setPage(page);
            QVERIFY(badge()->width() == 52 && badge()->geometry().right() == right);
            QVERIFY(badge()->styleSheet().contains(page == 2 ? "number-shape-1-2x.png" : "number-shape-2-2x.png"));
            QCOMPARE(badge()->styleSheet().startsWith(QStringLiteral("color : white")), page == 2);
        }
    }

    // The tray icon and a balloon bring the window back from minimised or from the tray as it was,
    // maximised or not, raised and active; a balloon shows the new orders.
    void bringingTheWindowUp_data()
    {
        QTest::addColumn<bool>("byBalloon");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<bool>("inTray");
        QTest::newRow("tray, minimised") << false << false << false;
        QTest::newRow("tray, minimised when maximised") << false << true << false;
        QTest::newRow("balloon, minimised") << true << false << false;
        QTest::newRow("balloon, minimised when maximised") << true << true << false;
        QTest::newRow("balloon, in the tray") << true << false << true;
    }
    void bringingTheWindowUp()
    {
        QFETCH(bool, byBalloon);
        QFETCH(bool, maximised);
        QFETCH(bool, inTray);
        QVERIFY(startWithOrders(1));
        AuthorizationForm loginForm; // hidden: the user is logged in
        TavrelApplication *app = TavrelApplication::instance();
        app->authorizationForm = &loginForm;
        MainWindow *window = fixture.window.get();
        if (maximised)
            QTest::mouseClick(child<QPushButton>(window->searchHeader(), "pushButtonMaximize"), Qt::LeftButton);
        if (inTray)
            window->hide();
        else
            QTest::mouseClick(child<QPushButton>(window->searchHeader(), "pushButtonMinimize"), Qt::LeftButton);
        QVERIFY(window->isMinimized() != inTray);

        if (byBalloon)
            QTest::mousePress(app->baloonSet.baloons.first(), Qt::LeftButton);
        else
            app->trayActivated();
        QCOMPARE(window->windowState() & ~Qt::WindowActive, maximised ? Qt::WindowMaximized : Qt::WindowNoState);
        QVERIFY(window->isVisible() && QTest::qWaitForWindowActive(window));
        QCOMPARE(child<QPushButton>(window->searchHeader(), "pushButtonRestore")->isVisible(), maximised);
        QCOMPARE(window->currentPage(), byBalloon ? 2 : 1);
    }

    // When the service refuses the session the login form takes over: the balloons go with the window,
    // and a balloon still up leads to the form, never past it.
    void loginFormTakesOver()
    {
        QVERIFY(startWithOrders(1));
        AuthorizationForm loginForm;
        TavrelApplication *app = TavrelApplication::instance();
        app->authorizationForm = &loginForm;
        MainWindow *window = fixture.window.get();
        // The form up and the window hidden, while a balloon of the session is still shown.
        window->hide();
        loginForm.show(); // from now on the form also hears the engine's answers, as after start-up
        QTest::mousePress(app->baloonSet.baloons.first(), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowActive(&loginForm));
        QVERIFY(!window->isVisible());

        loginForm.hide();
        clearBalloons();
        window->show();
        QCOMPARE(balloons(), QStringList("Есть новые заявки|Всего: 1"));
        fixture.service()->setPassword(fixture.engine->currentLogin(), QStringLiteral("changed elsewhere"));
        fixture.service()->expireAllSessions();
        fixture.engine->newOrdersNow();
        QTRY_VERIFY_WITH_TIMEOUT(loginForm.isVisible(), 20000);
        QVERIFY(!window->isVisible());
        QCOMPARE(balloons(), QStringList());
        loginForm.hide(); // closing it would end the event loop
    }

    // A star on a row of any list counts in the favourites badge at once.
    void starCountsInTheBadge_data()
    {
        QTest::addColumn<int>("page");
        QTest::newRow("new orders") << 2;
        QTest::newRow("search results") << 5;
        QTest::newRow("advanced search results") << 10;
    }
    void starCountsInTheBadge()
    {
        QFETCH(int, page);
        QVERIFY(startWithOrders(1));
        MainWindow *window = fixture.window.get();
        QLabel *favourites = child<QLabel>(window, "lbFavouriteCount");
        QTRY_COMPARE(favourites->text(), QStringLiteral("0"));
        if (page == 2) {
            emit child<QLabel>(window, "linkNewTasks")->linkActivated(QString());
        } else if (page == 5) {
            QTest::mouseClick(child<QPushButton>(window->searchHeader(), "buttonSearch"), Qt::LeftButton);
        } else {
            QTest::mouseClick(child<QPushButton>(window->searchHeader(), "buttonSearchExtended"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(window->advancedSearch(), "btnResultShow"), Qt::LeftButton);
        }
        ViewOrdersPaginator *list = window->paginator(page);
        OrderTableRow *row = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(window->currentPage() == page && !list->isLoading()
                                     && (row = list->panel.findChild<OrderTableRow *>(QStringLiteral("0"))),
                                 20000);
        emit child<QLabel>(row, "lbFavourite")->linkActivated(LINK_FAVOURITE_ADD);
        QCOMPARE(favourites->text(), QStringLiteral("1"));
    }

    // A screen reader reads a label as it shows it: the title of the list shown with its count, the
    // account; a word of context is the description. Only a label without text has a name of its own.
    void labelsAreReadAsShown()
    {
        QVERIFY(startWithOrders(5));
        MainWindow *window = fixture.window.get();
        QLabel *link = child<QLabel>(window, "linkNewTasks");
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, link->height() / 2));
        QTRY_VERIFY(window->currentPage() == 2 && !window->paginator(2)->isLoading());
        QLabel *title = child<QLabel>(&window->paginator(2)->panel, "lblListName");
        QCOMPARE(spokenName(title), QStringLiteral("Новые заявки (5)"));
        QLabel *account = child<QLabel>(window, "lbUserName");
        QVERIFY(!account->text().isEmpty());
        QCOMPARE(spokenName(account), account->text());
        QCOMPARE(misnamedLabels(window), QStringList());
        QCOMPARE(unnamedControls(window), QStringList());
    }

    void balloonsStackInTheCornerWithoutTakingTheFocus()
    {
        QLineEdit typing;
        typing.show();
        typing.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&typing));
        auto set = std::make_unique<ToolTipBaloonSet>();
        const QList<QPointer<ToolTipBaloon>> added = stackOfThree(*set);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), &typing);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(added.first()->geometry().bottomRight(), area.bottomRight() - QPoint(10, 10));
        for (int i = 1; i < added.size(); ++i)
            QCOMPARE(added.at(i)->geometry().bottomRight(),
                     QPoint(area.right() - 10, added.at(i - 1)->geometry().top() - 11));
        set->addBaloon(added.first()); // handed over twice: kept once
        QCOMPARE(set->baloons.size(), 3);
        set.reset(); // deletes the balloons it holds
        QVERIFY(!added.at(0) && !added.at(1) && !added.at(2));
    }

    // Shown at 0, 1 and 2 s: all stay until the newest has been up 6 whole seconds, then go newest first,
    // one per tick; a pressed balloon goes at once when it is the newest, else in its turn.
    void balloonExpiry_data()
    {
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<int>("pressed");
        QTest::addColumn<QList<int>>("leftAfterTicks");
        QTest::newRow("newest up 5 s") << 4000 << -1 << QList<int> {3};
        QTest::newRow("newest up 6 s") << 5000 << -1 << QList<int> {2, 1, 0};
        QTest::newRow("newest pressed") << 0 << 0 << QList<int> {2, 2};
        QTest::newRow("older pressed") << 0 << 1 << QList<int> {3};
    }
    void balloonExpiry()
    {
        QFETCH(int, elapsed);
        QFETCH(int, pressed);
        QFETCH(QList<int>, leftAfterTicks);
        ToolTipBaloonSet set;
        const QList<QPointer<ToolTipBaloon>> added = stackOfThree(set);
        Clock::advance(elapsed);
        QSignalSpy clicks(added.at(qMax(0, pressed)).data(), &ToolTipBaloon::clicked);
        if (pressed >= 0)
            QTest::mousePress(added.at(pressed).data(), Qt::RightButton);
        QCOMPARE(clicks.count(), pressed >= 0 ? 1 : 0);
        for (int left : leftAfterTicks) {
            QMetaObject::invokeMethod(&set.timer, "timeout");
            QVERIFY(set.baloons.size() == left && (left == 3 || !added.at(2 - left)));
        }
        set.clear();
        QMetaObject::invokeMethod(&set.timer, "timeout");
        QVERIFY(!set.timer.isActive());
    }
};

TAVREL_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
