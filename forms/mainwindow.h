#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "advancedsearchpanel.h"
#include "detailedorderpanel.h"
#include "filterspanel.h"
#include "searchpanel.h"
#include "setuppanel.h"
#include "vieworderspaginator.h"
#include "welcomepanel.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class NetworkRequestContext;
class QLabel;

namespace Ui {
class MainWindow;
}

// The main window: a frameless, translucent window that draws its own shadow and is moved and resized
// by its edges. A menu of pages with two counters on the left, the search header on top and one page
// at a time in the page area. It announces new orders (badge, tray tool tip, sound and balloons) and
// opens the service's web pages in the browser after a fresh web login.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Page ids.
    enum Page {
        NoPage = 0,
        WelcomePage = 1,
        NewOrdersPage = 2,
        ViewedPage = 3,
        FavouritesPage = 4,
        TextSearchPage = 5,
        FilterSearchPage = 6,
        SettingsPage = 7,
        FiltersPage = 8,
        AdvancedSearchPage = 9,
        AdvancedResultsPage = 10,
        OrderPage = 11
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The loading overlay is shared by holds: it shows while at least one is taken.
    void showLoadingIndicator();
    void stopLoadingIndicator();
    void hideLoadingIndicator();
    void raiseLoadingIndicator();
    bool isLoadingIndicatorActive() const { return loadingHoldCount > 0; }
    int loadingHolds() const { return loadingHoldCount; }

    int currentPage() const { return currentPageId; }
    void reloadSetupPanel();

    // Changes the page; asking for the page shown changes nothing.
    void setPage(int pageId);
    // Like setPage, but asking for the page shown loads it again.
    void showPage(int pageId);
    // Shows the page currentPage() again.
    void switchPage();
    // Places every part of the window for its current size.
    void adjustAdvancedSearchPanel();

    int newOrdersCount();
    int favouritesCount();
    void setCounterBadge(QLabel *label, bool selected);
    void refreshNavigationLinks(QLabel *link);
    // Writes the current session into the links to the service's web pages.
    void refreshUserLabel();

    // Opens the detail page of an order; the back link returns to the page it was opened from.
    void readOrder(qint64 orderId);

    // Test seams: the panels the pages show, and the state of the pointer and of the announcement.
    WelcomePanel *welcome() { return &welcomePanel; }
    SetupPanel *settings() { return &setupPanel; }
    FiltersPanel *filtersPage() { return &filtersPagePanel; }
    FiltersPanel *searchForm() { return &searchFormPanel; }
    AdvancedSearchPanel *advancedSearch() { return &advancedSearchPanel; }
    DetailedOrderPanel *detailedOrderPanel() { return &detailPanel; }
    ViewOrdersPaginator *paginator(int pageId);
    SearchPanel *searchHeader() { return &searchPanel; }

    // A search on the service by a saved filter; takes the filter (may be null: nothing is searched).
    void startSearch(Entity::Filter *filter, bool allWordsRequired, bool morphology);
    QWidget *pagePanel() const { return currentPanel; }
    int hoveredEdge() const { return hoverEdge; }
    int announcedCount() const { return lastCount; }

public slots:
    void browserLinkActivate(const QString &s);
    void closeButtonPressed();
    void collapseButtonPressed();

private slots:
    void welcomeMsgClicked();
    void firstLoadingTimeOverflow();
    void refreshNewTasksLabelState(bool noCounter = false, bool received = false);
    void dataLoadingAnimTimeout();
    void customMinimize();
    void newOrdersReceived(QObject *sender);
    void favouritesReceivedEvent(QObject *sender);
    void refreshFavouriteLabelState();
    void setupClick();
    void newTasksClick();
    void viewedClick();
    void favouritesClick();
    void filtersClick();
    void welcomeClicked();
    void favouritesRemoveRequestReceived();
    void newOrdersPanelReceivedResult();
    void orderReadBackPress();
    void updateReadOrderPanel();
    void readOrderCompleted(QObject *sender);
    void onLeaveNewOrdersPage();
    void searchButtonClicked();
    void advSearchClicked();
    void advSearchFinished();
    void closeAdvSearchClick();
    void onLeaveAdvancedSearch();
    void advPanelAdjustSize();
    void notifyShow(QString s);

protected:
    bool eventFilter(QObject *obj, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *panelForPage(int pageId);
    QLabel *linkForPage(int pageId) const;
    void updateHoverEdge(QWidget *shadow, const QPoint &globalPos);
    bool isShadowFrame(const QObject *obj) const;
    void endFirstLoading();
    void enterOrderPage();
    void enterAdvancedSearch();
    void showBaloon(const QString &title, const QString &text);
    void baloonClicked();

    Ui::MainWindow *ui;
    QPoint dragOffset;
    bool menuCollapsed = false;
    int hoverEdge = -1;
    int pressEdge = -1;
    QRect pressGeometry;
    int counterBadgeWidth = 0;
    QLabel *selectedLink = nullptr;

    SearchPanel searchPanel;
    WelcomePanel welcomePanel;
    SetupPanel setupPanel;
    FiltersPanel filtersPagePanel;
    // The criteria form of the advanced search.
    FiltersPanel searchFormPanel;
    AdvancedSearchPanel advancedSearchPanel;
    DetailedOrderPanel detailPanel;
    ViewOrdersPaginator newOrdersPaginator;
    ViewOrdersPaginator viewedPaginator;
    ViewOrdersPaginator favouritesPaginator;
    ViewOrdersPaginator advancedResultsPaginator;
    ViewOrdersPaginator searchResultsPaginator;

    int currentPageId = 0;
    int previousPageId = 0;
    int returnPageId = 0;
    QWidget *currentPanel = nullptr;
    QPointer<NetworkRequestContext> newOrdersContext;
    QPointer<NetworkRequestContext> webLoginRequest;
    QPointer<NetworkRequestContext> orderReadRequest;

    int cornerWidth = 0;
    int cornerHeight = 0;
    int leftShadowX = 0;
    int topShadowY = 0;
    int rightShadowInset = 0;
    int bottomShadowInset = 0;

    int lastCount = -1;
    bool fullRefreshPending = false;
    bool firstLoading = false;
    int loadingHoldCount = 0;
    qint64 readOrderId = -1;
    // Owned: the engine ends the favourites listener when its mailbox goes.
    QPointer<NetworkRequestContext> favouritesListenerContext;
    bool newOrdersCounterKnown = false;
    bool favouritesCounterKnown = false;
    bool dragPressed = false;
    bool shownOnce = false;

    QTimer loadingAnimTimer;
    QTimer firstLoadingTimer;
    QString loadingAnimTemplate;
};

#endif // MAINWINDOW_H
