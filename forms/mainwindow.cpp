#include "mainwindow.h"

#include "appsettings.h"
#include "browserurlclick.h"
#include "constants.h"
#include "filter.h"
#include "formattedtextpatterns.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "onlinestate.h"
#include "order.h"
#include "orderlist.h"
#include "soundplayer.h"
#include "synctasktype.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "tavrelsynchronizationtask.h"
#include "tooltipbaloon.h"
#include "ui_detailedorderpanel.h"
#include "ui_filterspanel.h"
#include "ui_mainwindow.h"
#include "ui_searchpanel.h"
#include "urlpolicy.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMouseEvent>

namespace {
const int EDGE_BAND = 12;
const int CORNER_ZONE = 24;
const int WIDE_BADGE_WIDTH = 52;
const QString SOUND_NEW_ORDERS = QStringLiteral(":/resources/message.wav");

TavrelSynchronization *engine()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app ? app->synchronization.data() : nullptr;
}

TavrelDataBaseQuery *database()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app ? app->dataBaseQuery.data() : nullptr;
}

QString currentLogin()
{
    TavrelSynchronization *sync = engine();
    return sync ? sync->currentLogin() : QString();
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , loadingAnimTimer(this)
    , firstLoadingTimer(this)
{
    ui->setupUi(this);
    loadingHoldCount = 0;
    fullRefreshPending = false;
    hoverEdge = -1;
    pressEdge = -1;
    counterBadgeWidth = ui->lbNewOrderCounter->width();
    setAttribute(Qt::WA_MouseTracking);
    // The hover marker shows only under the pointer.
    ui->wgHighlight->hide();

    // The shadow metrics are read from the form while the window still has the form's size.
    cornerWidth = ui->shadowTopLeft->width();
    cornerHeight = ui->shadowTopLeft->height();
    leftShadowX = ui->shadowLeft->x();
    topShadowY = ui->shadowTop->y();
    rightShadowInset = width() - ui->shadowRight->x();
    bottomShadowInset = height() - ui->shadowBottom->y();
    lastCount = -1;

    searchPanel.setParent(ui->searchPanelPlace);
    ui->verticalLayout_3->addWidget(&searchPanel);

    connect(ui->pushButtonCollapse, &QPushButton::clicked, this, &MainWindow::collapseButtonPressed);
    connect(ui->linkNewTasks, &QLabel::linkActivated, this, &MainWindow::newTasksClick);
    connect(ui->linkViewed, &QLabel::linkActivated, this, &MainWindow::viewedClick);
    connect(ui->linkFavourites, &QLabel::linkActivated, this, &MainWindow::favouritesClick);
    connect(ui->linkSetup, &QLabel::linkActivated, this, &MainWindow::setupClick);
    connect(ui->linkFilters, &QLabel::linkActivated, this, &MainWindow::filtersClick);
    for (QLabel *link : {ui->linkAddOrder, ui->linkBankGuarantee, ui->linkCompany, ui->linkMyOrders, ui->linkMyProfile,
                         ui->linkSubscription, ui->linkTarifs})
        connect(link, &QLabel::linkActivated, this, &MainWindow::browserLinkActivate);
    Ui::SearchPanel *header = searchPanel.ui;
    connect(header->pushButtonClose, &QPushButton::released, this, &MainWindow::closeButtonPressed);
    connect(header->pushButtonMaximize, &QPushButton::released, this, &QWidget::showMaximized);
    connect(header->pushButtonMinimize, &QPushButton::released, this, &MainWindow::customMinimize);
    connect(header->pushButtonRestore, &QPushButton::released, this, &QWidget::showNormal);
    connect(header->buttonSearch, &QPushButton::clicked, this, &MainWindow::searchButtonClicked);
    connect(header->buttonSearchExtended, &QPushButton::clicked, this, &MainWindow::advSearchClicked);
    connect(header->buttonSearchExtended_2, &QPushButton::clicked, this, &MainWindow::advSearchClicked);
    connect(&advancedSearchPanel, &AdvancedSearchPanel::searchFormComplete, this, &MainWindow::advSearchFinished);
    connect(&advancedSearchPanel, &AdvancedSearchPanel::closeFormPressed, this, &MainWindow::closeAdvSearchClick);
    connect(&advancedSearchPanel, &AdvancedSearchPanel::notifyState, this, &MainWindow::notifyShow);
    connect(&newOrdersPaginator, &ViewOrdersPaginator::dbCounterChanged, this, &MainWindow::refreshFavouriteLabelState);
    connect(&viewedPaginator, &ViewOrdersPaginator::dbCounterChanged, this, &MainWindow::refreshFavouriteLabelState);
    connect(&newOrdersPaginator, &ViewOrdersPaginator::dbCounterChanged, this, [this] { refreshNewTasksLabelState(); });
    connect(&favouritesPaginator, &ViewOrdersPaginator::dbCounterChanged, this,
            &MainWindow::refreshFavouriteLabelState);
    connect(&detailPanel, &DetailedOrderPanel::favouriteChanged, this, &MainWindow::refreshFavouriteLabelState);
    for (ViewOrdersPaginator *list : {&favouritesPaginator, &searchResultsPaginator, &advancedResultsPaginator,
                                      &viewedPaginator, &newOrdersPaginator})
        connect(list, &ViewOrdersPaginator::favouriteCountChanged, this, &MainWindow::refreshFavouriteLabelState);
    connect(detailPanel.ui->lbBackLabel, &QLabel::linkActivated, this, &MainWindow::orderReadBackPress);
    for (ViewOrdersPaginator *list : {&newOrdersPaginator, &viewedPaginator, &favouritesPaginator})
        connect(list, &ViewOrdersPaginator::favouritesRemovedQueryRequests, this,
                &MainWindow::favouritesRemoveRequestReceived);
    header->logo->installEventFilter(this);
    header->lbBeta->installEventFilter(this);
    connect(&newOrdersPaginator, &ViewOrdersPaginator::loadingFinished, this,
            &MainWindow::newOrdersPanelReceivedResult);
    connect(&filtersPagePanel, &FiltersPanel::filtersSaved, &searchPanel, qOverload<>(&SearchPanel::newFiltersEvent));
    connect(&welcomePanel, &WelcomePanel::newOrdersClick, this, &MainWindow::welcomeMsgClicked);

    readOrderId = -1;
    newOrdersPaginator.setListName(tr("Новые заявки"));
    viewedPaginator.setListName(tr("Просмотренные заявки"));
    viewedPaginator.listType = Entity::OrderList::Viewed;
    favouritesPaginator.mode = 1;
    favouritesPaginator.setListName(tr("Избранное"));
    advancedResultsPaginator.mode = 4;
    advancedResultsPaginator.setListName(tr("Результаты расширенного поиска"));
    searchResultsPaginator.mode = 3;
    searchResultsPaginator.setListName(tr("Результаты поиска"));
    searchFormPanel.advancedMode = true;
    advancedSearchPanel.paginator = &advancedResultsPaginator;
    advancedSearchPanel.filtersPanel = &searchFormPanel;
    advancedSearchPanel.setParent(this);
    advancedSearchPanel.hide();

    refreshNewTasksLabelState(true, false);

    for (QWidget *shadow : {static_cast<QWidget *>(ui->frame), static_cast<QWidget *>(ui->shadowTopLeft),
                            static_cast<QWidget *>(ui->shadowTopRight), static_cast<QWidget *>(ui->shadowBottomLeft),
                            static_cast<QWidget *>(ui->shadowBottomRight), static_cast<QWidget *>(ui->shadowLeft),
                            static_cast<QWidget *>(ui->shadowRight), static_cast<QWidget *>(ui->shadowBottom),
                            static_cast<QWidget *>(ui->shadowTop)})
        shadow->lower();

    webLoginRequest = nullptr;
    menuCollapsed = false;
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint);

    setPage(WelcomePage);
    resize(1000, height() - 50);
    adjustAdvancedSearchPanel();

    // The window sees every event of the program: the resize cursors over the shadow, the hover marker
    // of the menu and the clicks on the counters depend on it.
    qApp->installEventFilter(this);

    loadingAnimTimer.setInterval(100);
    loadingAnimTimer.setSingleShot(false);
    connect(&loadingAnimTimer, &QTimer::timeout, this, &MainWindow::dataLoadingAnimTimeout);
    ui->dataLoadingView->hide();

    firstLoading = true;
    firstLoadingTimer.setSingleShot(true);
    connect(&firstLoadingTimer, &QTimer::timeout, this, &MainWindow::firstLoadingTimeOverflow);
    showLoadingIndicator();
}

MainWindow::~MainWindow()
{
    // First of all: no event may reach the filter while the form and the panels go.
    qApp->removeEventFilter(this);
    // The lists that go with the window give their loading holds back through the application, which
    // must no longer reach a window half gone.
    if (TavrelApplication *app = TavrelApplication::instance(); app && app->mainWindow == this)
        app->mainWindow = nullptr;
    delete favouritesListenerContext.data();
    // The new-orders download belongs to the engine's task, which outlives this window.
    if (newOrdersContext)
        disconnect(newOrdersContext, nullptr, this, nullptr);
    if (webLoginRequest)
        disconnect(webLoginRequest, nullptr, this, nullptr);
    NetworkRequestContext::release(orderReadRequest.data());
    setPage(NoPage);
    delete ui;
    ui = nullptr;
}

// --- loading overlay ------------------------------------------------------------------------

void MainWindow::showLoadingIndicator()
{
    ++loadingHoldCount;
    if (loadingHoldCount == 1) {
        loadingAnimTimer.start();
        dataLoadingAnimTimeout();
    }
    raiseLoadingIndicator();
    ui->dataLoadingView->show();
}

void MainWindow::stopLoadingIndicator()
{
    // An unbalanced release must not leave the count below zero: the next hold would show the
    // overlay without its animation.
    loadingHoldCount = qMax(0, loadingHoldCount - 1);
    if (loadingHoldCount < 1)
        hideLoadingIndicator();
}

void MainWindow::hideLoadingIndicator()
{
    loadingAnimTimer.stop();
    ui->dataLoadingView->hide();
}

void MainWindow::raiseLoadingIndicator()
{
    ui->dataLoadingView->raise();
}

void MainWindow::dataLoadingAnimTimeout()
{
    // One sequence for the whole process: a restarted overlay goes on where the last one stopped.
    static int frameCounter = 0;
    const int frame = frameCounter++ % 3;
    QString dots[3];
    dots[frame] = QStringLiteral("-2");
    if (loadingAnimTemplate.isEmpty())
        loadingAnimTemplate = ui->lbDataLoadingAnim->text();
    ui->lbDataLoadingAnim->setText(loadingAnimTemplate.arg(dots[0], dots[1], dots[2]));
}

void MainWindow::endFirstLoading()
{
    firstLoadingTimer.stop();
    firstLoading = false;
    loadingHoldCount = qMax(0, loadingHoldCount - 1);
    if (loadingHoldCount <= 0)
        hideLoadingIndicator();
}

void MainWindow::firstLoadingTimeOverflow()
{
    if (newOrdersCounterKnown) {
        welcomePanel.message.clear();
    } else {
        bool missing = true;
        if (TavrelSynchronization *sync = engine()) {
            TavrelSynchronizationTask *task = sync->findTask(SyncTaskType::NewOrders);
            NetworkRequestContext *context = task ? task->context() : nullptr;
            missing = !(context && context->isRunning());
        }
        missing = missing || !OnlineState::isOnline();
        welcomePanel.messageAsLink = missing;
        welcomePanel.message = missing ? tr("нет доступа к сети") : tr("Идет загрузка заявок...");
    }
    welcomePanel.retranslateUi(QString());
    endFirstLoading();
}

void MainWindow::reloadSetupPanel()
{
    setupPanel.loadSettings();
}

// --- pages ----------------------------------------------------------------------------------

QWidget *MainWindow::panelForPage(int pageId)
{
    switch (pageId) {
    case WelcomePage:
        return &welcomePanel;
    case NewOrdersPage:
    case ViewedPage:
    case FavouritesPage:
    case TextSearchPage:
    case FilterSearchPage:
    case AdvancedResultsPage:
        return &paginator(pageId)->panel;
    case SettingsPage:
        return &setupPanel;
    case FiltersPage:
        return &filtersPagePanel;
    case AdvancedSearchPage:
        return &advancedSearchPanel;
    case OrderPage:
        return &detailPanel;
    default:
        return nullptr;
    }
}

ViewOrdersPaginator *MainWindow::paginator(int pageId)
{
    switch (pageId) {
    case NewOrdersPage:
        return &newOrdersPaginator;
    case ViewedPage:
        return &viewedPaginator;
    case FavouritesPage:
        return &favouritesPaginator;
    case TextSearchPage:
    case FilterSearchPage:
        return &searchResultsPaginator;
    case AdvancedResultsPage:
        return &advancedResultsPaginator;
    default:
        return nullptr;
    }
}

QLabel *MainWindow::linkForPage(int pageId) const
{
    switch (pageId) {
    case NewOrdersPage:
        return ui->linkNewTasks;
    case ViewedPage:
        return ui->linkViewed;
    case FavouritesPage:
        return ui->linkFavourites;
    case SettingsPage:
        return ui->linkSetup;
    case FiltersPage:
        return ui->linkFilters;
    default:
        return nullptr;
    }
}

void MainWindow::setPage(int pageId)
{
    if (pageId == currentPageId)
        return;
    previousPageId = currentPageId;
    currentPageId = pageId;
    if (previousPageId == AdvancedSearchPage)
        onLeaveAdvancedSearch();
    switchPage();
}

void MainWindow::showPage(int pageId)
{
    if (pageId == currentPageId)
        switchPage();
    else
        setPage(pageId);
}

void MainWindow::switchPage()
{
    if (currentPanel) {
        ui->gridLayout_3->removeWidget(currentPanel);
        currentPanel->hide();
        currentPanel->setParent(nullptr);
        currentPanel = nullptr;
    }
    // Page 0 only takes the page out (the window is going).
    if (currentPageId == NoPage)
        return;

    refreshNavigationLinks(linkForPage(currentPageId));
    currentPanel = panelForPage(currentPageId);
    switch (currentPageId) {
    case NewOrdersPage:
        newOrdersPaginator.requestNewOrders();
        refreshNewTasksLabelState(false, false);
        break;
    case ViewedPage:
    case FavouritesPage:
        paginator(currentPageId)->requestNewOrders();
        break;
    case TextSearchPage:
        searchResultsPaginator.mode = 3;
        break;
    case FilterSearchPage:
        searchResultsPaginator.mode = 4;
        break;
    case FiltersPage:
        // The filters page holds the synchronization of the filters back while it is in search mode.
        if (filtersPagePanel.advancedMode) {
            filtersPagePanel.advancedMode = false;
            filtersPagePanel.resumeSyncReload();
        }
        break;
    case OrderPage:
        enterOrderPage();
        break;
    case AdvancedSearchPage:
        enterAdvancedSearch();
        break;
    default:
        break;
    }
    if (currentPanel && currentPageId != AdvancedSearchPage) {
        currentPanel->setParent(ui->marketPlace);
        ui->gridLayout_3->addWidget(currentPanel, 0, 0);
        currentPanel->show();
    }
    refreshNewTasksLabelState(false, false);
    refreshFavouriteLabelState();
    adjustAdvancedSearchPanel();
}

// The advanced search lies over the place of the page area instead of inside it.
void MainWindow::enterAdvancedSearch()
{
    ui->marketPlace->setVisible(false);
    advancedSearchPanel.hide();
    advancedSearchPanel.setParent(this);
    searchPanel.ui->buttonSearchExtended->setVisible(false);
    searchPanel.ui->buttonSearchExtended_2->hide();
    adjustAdvancedSearchPanel();
    QTimer::singleShot(0, this, &MainWindow::advPanelAdjustSize);
    advancedSearchPanel.refreshVisibleState();
    advancedSearchPanel.refreshGeoState();
    advancedSearchPanel.setVisible(true);
}

void MainWindow::onLeaveAdvancedSearch()
{
    advancedSearchPanel.hide();
    searchPanel.ui->buttonSearchExtended->setVisible(true);
    searchPanel.ui->buttonSearchExtended_2->show();
    ui->marketPlace->show();
}

void MainWindow::advPanelAdjustSize()
{
    advancedSearchPanel.refreshVisibleState();
    advancedSearchPanel.refreshGeoState();
}

void MainWindow::advSearchClicked()
{
    setPage(AdvancedSearchPage);
}

void MainWindow::advSearchFinished()
{
    setPage(AdvancedResultsPage);
}

void MainWindow::closeAdvSearchClick()
{
    setPage(previousPageId);
}

void MainWindow::notifyShow(QString) { }

void MainWindow::enterOrderPage()
{
    // The request may be the very one whose re-login changed the paid-access flag and brought us
    // here: it is let go with a deferred deletion, never deleted on the spot.
    NetworkRequestContext::release(orderReadRequest.data());
    orderReadRequest = nullptr;
    updateReadOrderPanel();
    TavrelSynchronization *sync = engine();
    NetworkRequestContext *request = sync ? sync->requestOrderRead(readOrderId) : nullptr;
    orderReadRequest = request;
    if (request) {
        connect(request, &NetworkRequestContext::replyFinished, this, &MainWindow::readOrderCompleted);
        request->start();
    }
    detailPanel.showLoadingLabel();
}

void MainWindow::readOrder(qint64 orderId)
{
    if (currentPageId != OrderPage)
        returnPageId = currentPageId;
    readOrderId = orderId;
    setPage(OrderPage);
}

void MainWindow::updateReadOrderPanel()
{
    TavrelDataBaseQuery *query = database();
    Entity::Order *order = query ? query->order(currentLogin(), readOrderId) : nullptr;
    if (!order)
        return;
    detailPanel.setOrder(order);
    delete order;
}

void MainWindow::readOrderCompleted(QObject *sender)
{
    // The request reports its own reply (null), then the engine once it has stored the order.
    if (!sender)
        return;
    detailPanel.hideLoadingLabel();
    updateReadOrderPanel();
}

void MainWindow::orderReadBackPress()
{
    setPage(returnPageId);
}

void MainWindow::favouritesRemoveRequestReceived()
{
    if (TavrelSynchronization *sync = engine())
        sync->syncFavouritesNow();
}

void MainWindow::newOrdersPanelReceivedResult()
{
    refreshNewTasksLabelState(false, false);
}

void MainWindow::onLeaveNewOrdersPage() { }

void MainWindow::newTasksClick()
{
    show();
    raise();
    showPage(NewOrdersPage);
}

void MainWindow::viewedClick()
{
    setPage(ViewedPage);
}

void MainWindow::favouritesClick()
{
    showPage(FavouritesPage);
}

void MainWindow::setupClick()
{
    setPage(SettingsPage);
}

void MainWindow::filtersClick()
{
    setPage(FiltersPage);
}

void MainWindow::welcomeClicked()
{
    searchPanel.ui->searchLineEdit->clear();
    if (Entity::Filter *criteria = searchFormPanel.currentFilter()) {
        criteria->resetSearchCriteria();
        searchFormPanel.showFilter();
    }
    setPage(WelcomePage);
}

void MainWindow::searchButtonClicked()
{
    Ui::SearchPanel *header = searchPanel.ui;
    QWidget *tab = header->tabWidget->currentWidget();
    if (tab == header->tabArchiveOrders || tab == header->tabCurrentOrders) {
        searchResultsPaginator.searchArea
            = tab == header->tabArchiveOrders ? SEARCH_AREA_ARCHIVE_ORDERS : SEARCH_AREA_CURRENT_ORDERS;
        searchResultsPaginator.wordsRequired = header->chkAllWordsRequire->isChecked();
        searchResultsPaginator.morphology = header->chkMorphology->isChecked();
        searchResultsPaginator.searchText = header->searchLineEdit->text();
        setPage(TextSearchPage);
        searchResultsPaginator.requestNewOrders();
        return;
    }
    setPage(FilterSearchPage);
    const bool morphology = header->chkMorphology->isChecked();
    const bool allWords = header->chkAllWordsRequire->isChecked();
    startSearch(searchPanel.selectedFilter(), allWords, morphology);
}

void MainWindow::startSearch(Entity::Filter *filter, bool allWordsRequired, bool morphology)
{
    if (!filter)
        return;
    Entity::Filter copy;
    copy.fromVariantMap(filter->toVariantMap());
    copy.allWordsRequired = allWordsRequired;
    copy.withMorphology = morphology;
    searchResultsPaginator.filter = &copy;
    searchResultsPaginator.requestNewOrders();
    searchResultsPaginator.filter = nullptr;
    delete filter;
}

void MainWindow::welcomeMsgClicked()
{
    if (newOrdersCounterKnown) {
        newTasksClick();
        return;
    }
    QMessageBox::warning(this, tr("Сеть не доступна"), tr("Программа запущена в автономном режиме."), QMessageBox::Ok,
                         QMessageBox::NoButton);
}

void MainWindow::closeButtonPressed()
{
    if (TavrelApplication *app = TavrelApplication::instance())
        app->baloonSet.clear();
    close();
}

void MainWindow::customMinimize()
{
    TavrelApplication *app = TavrelApplication::instance();
    if (app && app->trayVisible)
        hide();
    else
        showMinimized();
}

void MainWindow::collapseButtonPressed()
{
    if (!menuCollapsed) {
        ui->leftTopMenuPlace->hide();
        ui->leftBottomMenuPlace->hide();
        ui->leftMenuPlace->setMinimumSize(ui->leftMenuSmall->width(), ui->leftMenuSmall->height());
        ui->pushButtonCollapse->setIcon(QIcon(QStringLiteral(":/resources/arrow-right.png")));
        ui->pushButtonCollapse->setAccessibleName(tr("Развернуть меню"));
        menuCollapsed = true;
    } else {
        ui->leftTopMenuPlace->show();
        ui->leftBottomMenuPlace->show();
        ui->leftMenuPlace->setMinimumSize(ui->leftTopMenuPlace->width(), ui->leftMenuSmall->height());
        ui->pushButtonCollapse->setIcon(QIcon(QStringLiteral(":/resources/arrow-left.png")));
        ui->pushButtonCollapse->setAccessibleName(tr("Свернуть меню"));
        menuCollapsed = false;
    }
    adjustAdvancedSearchPanel();
}

void MainWindow::adjustAdvancedSearchPanel()
{
    if (!ui)
        return;
    const int W = width();
    const int H = height();
    const int cw = cornerWidth;
    const int ch = cornerHeight;
    ui->shadowTopLeft->setGeometry(0, 0, cw, ch);
    ui->shadowTopRight->setGeometry(W - cw, 0, cw, ch);
    ui->shadowBottomRight->setGeometry(W - cw, H - ch, cw, ch);
    ui->shadowBottomLeft->setGeometry(0, H - ch, cw, ch);
    ui->shadowLeft->setGeometry(leftShadowX, ch, ui->shadowLeft->width(), H - 2 * ch);
    ui->shadowRight->setGeometry(W - rightShadowInset, ch, ui->shadowRight->width(), H - 2 * ch);
    ui->shadowTop->setGeometry(cw, topShadowY, W - 2 * cw, ui->shadowTop->height());
    ui->shadowBottom->setGeometry(cw, H - bottomShadowInset, W - 2 * cw, ui->shadowBottom->height());

    const QRect frame(int(cw * 0.5), int(ch * 0.5), W - cw, H - ch);
    ui->frame->setGeometry(frame);
    ui->searchPanelPlace->setGeometry(frame.x(), frame.y(), frame.width(), ui->searchPanelPlace->minimumHeight());
    const QRect header = ui->searchPanelPlace->geometry();

    QWidget *overlayParent = currentPageId == AdvancedSearchPage ? static_cast<QWidget *>(&advancedSearchPanel) : this;
    if (ui->dataLoadingView->parentWidget() != overlayParent) {
        const bool visible = !ui->dataLoadingView->isHidden();
        ui->dataLoadingView->setParent(overlayParent);
        ui->dataLoadingView->setVisible(visible);
    }

    const int menuWidth = ui->leftMenuPlace->minimumWidth();
    const int top = frame.y() + header.height();
    ui->leftMenuPlace->setGeometry(frame.x(), top, menuWidth, frame.height() - header.height());
    ui->pushButtonCollapse->setGeometry(frame.x() + menuWidth, top, 5, ui->leftMenuPlace->height());

    const int pageX = frame.x() + ui->leftMenuPlace->width() + ui->pushButtonCollapse->width();
    const QRect page(pageX, top, frame.width() - ui->leftMenuPlace->width() - ui->pushButtonCollapse->width(),
                     ui->leftMenuPlace->height());
    if (currentPageId != AdvancedSearchPage) {
        ui->marketPlace->setGeometry(page);
        ui->dataLoadingView->setGeometry(ui->marketPlace->geometry());
    } else {
        advancedSearchPanel.setGeometry(page);
        advancedSearchPanel.refreshGeoState();
        ui->dataLoadingView->setGeometry(0, 0, advancedSearchPanel.width(), advancedSearchPanel.height());
    }

    QWidget *strip = ui->wgUserNamePlace;
    strip->setGeometry(header.x(), header.y() + header.height() - 1 - strip->height(), header.width(), strip->height());
    const int shadowHeight = ui->shadowTopPanelBottom->height();
    ui->shadowTopPanelBottom->setGeometry(strip->x(), strip->y() + strip->height() - shadowHeight / 4, strip->width(),
                                          shadowHeight);
    ui->lbUserName->setGeometry(0, 0, strip->width(), 30);
    strip->raise();
    strip->show();
    ui->dataLoadingView->raise();
    ui->lbDataLoadingAnim->raise();
    ui->lbDataLoadingText->raise();

    QWidget *overlay = ui->dataLoadingView;
    QLabel *text = ui->lbDataLoadingText;
    QLabel *anim = ui->lbDataLoadingAnim;
    text->move((overlay->width() - text->width()) / 2, (overlay->height() - text->height()) / 2);
    anim->move((overlay->width() - anim->width()) / 2, text->y() - anim->height());
}

// --- counters and the announcement ----------------------------------------------------------

int MainWindow::newOrdersCount()
{
    TavrelDataBaseQuery *query = database();
    const int stored = query ? query->newOrdersCount(currentLogin()) : 0;
    if (currentPageId == NewOrdersPage && !newOrdersPaginator.isLoading())
        return qMax(stored, newOrdersPaginator.collection.count());
    return stored;
}

int MainWindow::favouritesCount()
{
    TavrelDataBaseQuery *query = database();
    return query ? query->favouritesCount(currentLogin()) : 0;
}

void MainWindow::setCounterBadge(QLabel *label, bool selected)
{
    const QString colour = selected ? QStringLiteral("white") : QStringLiteral("black");
    const QString shape = selected ? QStringLiteral("1") : QStringLiteral("2");
    const bool wide = label->text().size() > 2;
    const QString tail = wide
        ? QStringLiteral("-2x.png) no-repeat;background-repeat: no-repeat;background-position: right;")
        : QStringLiteral(".png) no-repeat;background-repeat: no-repeat;background-position: right;");
    label->setStyleSheet(QStringLiteral("color : ") + colour
                         + QStringLiteral(";background-image: url(:/resources/number-shape-") + shape + tail);
    const QRect old = label->geometry();
    const int newWidth = wide ? WIDE_BADGE_WIDTH : counterBadgeWidth;
    label->setGeometry(old.right() + 1 - newWidth, old.y(), newWidth, old.height());
    // A badge that shows its number is read out with it, the description naming its list; only an
    // empty badge takes the list's name as its own.
    label->setAccessibleName(label->text().isEmpty() ? label->accessibleDescription() : QString());
}

void MainWindow::showBaloon(const QString &title, const QString &text)
{
    TavrelApplication *app = TavrelApplication::instance();
    if (!app)
        return;
    auto *baloon = new ToolTipBaloon(nullptr);
    baloon->setTexts(title, text);
    connect(baloon, &ToolTipBaloon::clicked, this, &MainWindow::baloonClicked);
    app->baloonSet.addBaloon(baloon);
}

void MainWindow::baloonClicked()
{
    // A balloon left over from a session that has ended leads to the login form, never past it.
    TavrelApplication *app = TavrelApplication::instance();
    if (app && app->raiseLoginForm())
        return;
    // The window may be minimised or in the tray: the new orders must come into view with it.
    TavrelApplication::bringToFront(this);
    showPage(NewOrdersPage);
}

void MainWindow::refreshNewTasksLabelState(bool noCounter, bool received)
{
    if (!ui)
        return;
    const int n = newOrdersCount();
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *sync = engine();
    if (app)
        app->trayIcon.setToolTip(n > 0 ? tr("Таврел.\nНовых заявок: %1").arg(n) : tr("Таврел.\nНовых заявок нет."));

    // Nothing is announced before the window has first been shown: the show announces what is stored.
    if (n > lastCount && n > 0 && !noCounter && shownOnce) {
        if (lastCount < 0) {
            if (sync && sync->firstSyncToday()) {
                showBaloon(
                    tr("Синхронизация счетчика заявок"),
                    tr("У вас было %1 новых заявок.<br />Выполняется полное обновление списка новых заявок...").arg(n));
                fullRefreshPending = true;
            } else {
                showBaloon(tr("Есть новые заявки"), tr("Всего: %1").arg(n));
            }
            lastCount = n;
        } else if (received) {
            SoundPlayer::play(SOUND_NEW_ORDERS);
            showBaloon(tr("Поступили новые заявки"),
                       tr("Всего новых: %1 <br />Поступило: %2").arg(n).arg(n - lastCount));
            lastCount = n;
        }
    }
    if (fullRefreshPending && sync && !sync->firstSyncToday() && !sync->firstSyncDownloadRunning()) {
        fullRefreshPending = false;
        showBaloon(tr("Синхронизация завершена"), tr("Всего новых заявок: %1").arg(n));
    }

    QString counter;
    if (!noCounter && newOrdersCounterKnown)
        counter = QString::number(n);
    if (!counter.isEmpty()) {
        if (firstLoading)
            endFirstLoading();
        welcomePanel.message.clear();
    }
    ui->lbNewOrderCounter->setText(counter);
    welcomePanel.retranslateUi(counter);
    setCounterBadge(ui->lbNewOrderCounter, currentPageId == NewOrdersPage);
    newOrdersPaginator.setTitle(counter);
}

void MainWindow::newOrdersReceived(QObject *sender)
{
    // The download reports each page twice: once itself, and once more through the engine after the
    // page has been stored. Only the engine's report (its map then holds the sync result) says how many
    // orders the page brought, and only a page that the service answered with success brings any.
    auto *download = qobject_cast<NetworkRequestContext *>(this->sender());
    if (download && !download->result.contains(KEY_SYNC_RESULT))
        return;
    auto *page = qobject_cast<NetworkRequestContext *>(sender);
    const bool stored = download && page && page->result.value(KEY_RESULT).toString() == S_OK;
    if (stored && download->result.contains(KEY_ORDERS_NOT_IN_DB_COUNT)) {
        const int n = newOrdersCount();
        const int old = lastCount;
        lastCount = n - download->result.value(KEY_ORDERS_NOT_IN_DB_COUNT).toInt();
        if (old < 0 && lastCount == 0)
            lastCount = -1;
    }
    newOrdersCounterKnown = true;
    refreshNewTasksLabelState(false, stored);
}

void MainWindow::refreshFavouriteLabelState()
{
    if (!ui)
        return;
    const int count = favouritesCount();
    const QString text = favouritesCounterKnown ? QString::number(count) : QString();
    ui->lbFavouriteCount->setText(text);
    setCounterBadge(ui->lbFavouriteCount, currentPageId == FavouritesPage);
    favouritesPaginator.setTitle(text);
}

void MainWindow::favouritesReceivedEvent(QObject *sender)
{
    if (!sender)
        return;
    auto *listener = qobject_cast<NetworkRequestContext *>(this->sender());
    if (!listener)
        return;
    if (listener->result.contains(KEY_NOTIFY_AFTER_SYNC) || listener->result.contains(KEY_NOTIFY_ERROR)) {
        favouritesCounterKnown = true;
        refreshFavouriteLabelState();
    }
}

void MainWindow::refreshNavigationLinks(QLabel *link)
{
    selectedLink = link;
    ui->wgSelection->hide();
    const QObjectList children = ui->leftTopMenuPlace->children();
    for (QObject *child : children) {
        auto *label = qobject_cast<QLabel *>(child);
        if (!label)
            continue;
        if (label == link) {
            QWidget *marker = ui->wgSelection;
            marker->move(0, link->y() + (link->height() - marker->height()) / 2);
            marker->show();
            setLinkSelected(label);
        } else {
            setLinkUnselected(label);
        }
    }
    refreshNewTasksLabelState();
    refreshFavouriteLabelState();
}

void MainWindow::showEvent(QShowEvent *event)
{
    if (firstLoading)
        firstLoadingTimer.start(3000);
    shownOnce = true;
    ui->retranslateUi(this);
    ui->pushButtonCollapse->setAccessibleName(menuCollapsed ? tr("Развернуть меню") : tr("Свернуть меню"));
    ui->lbUserName->setText(AppSettings::userName());
    refreshUserLabel();
    lastCount = -1;

    TavrelSynchronization *sync = engine();
    if (newOrdersContext)
        disconnect(newOrdersContext, nullptr, this, nullptr);
    newOrdersContext = sync ? sync->newOrdersNow() : nullptr;
    if (newOrdersContext)
        connect(newOrdersContext, &NetworkRequestContext::replyFinished, this, &MainWindow::newOrdersReceived);

    refreshNewTasksLabelState();
    refreshFavouriteLabelState();
    if (!OnlineState::isOnline()) {
        newOrdersCounterKnown = true;
        favouritesCounterKnown = true;
        refreshNewTasksLabelState();
        refreshFavouriteLabelState();
    }
    if (sync) {
        sync->syncFavouritesNow();
        sync->syncFiltersNow();
        sync->ensureCleanupTask();
    }
    setupPanel.loadSettings();
    adjustAdvancedSearchPanel();
    refreshNavigationLinks(selectedLink);

    if (!favouritesListenerContext && sync) {
        favouritesListenerContext = sync->addFavouritesListener();
        if (favouritesListenerContext)
            connect(favouritesListenerContext, &NetworkRequestContext::replyFinished, this,
                    &MainWindow::favouritesReceivedEvent);
    }
    QMainWindow::showEvent(event);
}

// --- browser links --------------------------------------------------------------------------

void MainWindow::refreshUserLabel()
{
    TavrelSynchronization *sync = engine();
    const QString session = sync ? UrlPolicy::sessionText(sync->sessionCookie()) : QString();
    const std::pair<QLabel *, const QString *> links[]
        = {{ui->linkAddOrder, &URL_ORDER_CREATE}, {ui->linkBankGuarantee, &URL_BANK_GUARANTEE},
           {ui->linkCompany, &URL_COMPANY},       {ui->linkMyOrders, &URL_MY_ORDERS},
           {ui->linkMyProfile, &URL_PROFILE},     {ui->linkSubscription, &URL_ORDER_SUBSCRIPTIONS},
           {ui->linkTarifs, &URL_BILLS}};
    for (const auto &link : links) {
        const QString address
            = NetworkRequestConstructor::urlWithQuery(baseUrl() + *link.second, QUERY_ITEM_SESSION, session);
        link.first->setText(link.first->text().arg(address.toHtmlEscaped()));
    }
}

void MainWindow::browserLinkActivate(const QString &s)
{
    // Only web addresses leave the program, and only for them is a web login worth its while.
    if (!UrlPolicy::isBrowserUrl(QUrl(s, QUrl::TolerantMode)))
        return;
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *sync = engine();
    NetworkRequestConstructor *constructor = app ? app->requestConstructor.data() : nullptr;
    if (!webLoginRequest && sync && constructor) {
        NetworkRequestContext *login
            = constructor->loginWrapperRequest(sync->currentLogin(), sync->passwordHash(), nullptr);
        webLoginRequest = login;
        if (login) {
            connect(login, &NetworkRequestContext::replyFinished, login, &QObject::deleteLater);
            login->start();
        }
    }
    auto *click = new BrowserUrlClick(s);
    if (webLoginRequest)
        connect(webLoginRequest, &NetworkRequestContext::replyFinished, click, &BrowserUrlClick::loginComplete);
    else
        click->loginComplete();
}

// --- frame: mouse and events ----------------------------------------------------------------

bool MainWindow::isShadowFrame(const QObject *obj) const
{
    return obj == ui->shadowTop || obj == ui->shadowBottom || obj == ui->shadowLeft || obj == ui->shadowRight
        || obj == ui->shadowTopLeft || obj == ui->shadowTopRight || obj == ui->shadowBottomLeft
        || obj == ui->shadowBottomRight;
}

void MainWindow::updateHoverEdge(QWidget *shadow, const QPoint &globalPos)
{
    const QPoint p = mapFromGlobal(globalPos);
    const int W = width();
    const int H = height();
    const int FW = ui->frame->width();
    const int FH = ui->frame->height();
    hoverEdge = -1;
    if (p.x() < EDGE_BAND) {
        hoverEdge = p.y() < CORNER_ZONE ? 0 : 1;
        if (p.y() > FH - CORNER_ZONE)
            hoverEdge = 2;
    }
    if (p.x() > W - EDGE_BAND) {
        hoverEdge = p.y() < CORNER_ZONE ? 6 : 5;
        if (p.y() > FH - CORNER_ZONE)
            hoverEdge = 4;
    }
    if (p.y() < EDGE_BAND) {
        hoverEdge = p.x() < CORNER_ZONE ? 0 : 7;
        if (p.x() > FW - CORNER_ZONE)
            hoverEdge = 6;
    }
    if (p.y() > H - EDGE_BAND) {
        hoverEdge = p.x() < CORNER_ZONE ? 2 : 3;
        if (p.x() > FW - CORNER_ZONE)
            hoverEdge = 4;
    }
    static const Qt::CursorShape cursors[]
        = {Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
           Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor};
    shadow->setCursor(hoverEdge < 0 ? Qt::ArrowCursor : cursors[hoverEdge]);
}

bool MainWindow::eventFilter(QObject *obj, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!ui || (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return QMainWindow::eventFilter(obj, event);

    auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseMove) {
        QWidget *marker = ui->wgHighlight;
        auto *label = obj->parent() == ui->leftTopMenuPlace ? qobject_cast<QLabel *>(obj) : nullptr;
        if (label) {
            marker->move(0, label->y() + (label->height() - marker->height()) / 2);
            marker->show();
        } else if (!marker->isHidden()) {
            marker->hide();
        }
        if (!(mouse->buttons() & Qt::LeftButton)) {
            hoverEdge = -1;
            dragPressed = false;
        }
        if (!dragPressed && isShadowFrame(obj))
            updateHoverEdge(static_cast<QWidget *>(obj), mouse->globalPos());
        return false;
    }

    if (obj == ui->lbNewOrderCounter) {
        newTasksClick();
    } else if (obj == ui->lbFavouriteCount) {
        showPage(FavouritesPage);
    } else if (obj == searchPanel.ui->logo || obj == searchPanel.ui->lbBeta) {
        welcomeClicked();
        return true;
    }
    dragPressed = false;
    return false;
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The filter box opens its list on a press; the window stays where it is.
    if (hoverEdge == -1 && childAt(event->pos()) == searchPanel.ui->comboFilters)
        return;
    pressGeometry = geometry();
    pressEdge = hoverEdge;
    dragPressed = true;
    dragOffset = hoverEdge == -1 ? event->globalPos() - frameGeometry().topLeft() : event->globalPos();
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !dragPressed)
        return;
    showNormal();
    searchPanel.restoreButtonClicked();
    const QPoint global = event->globalPos();
    if (pressEdge == -1) {
        move(global - dragOffset);
        event->accept();
        return;
    }
    const QPoint d = global - dragOffset;
    const QRect p = pressGeometry;
    QRect g = geometry();
    if (pressEdge == 0 || pressEdge == 1 || pressEdge == 2) {
        setGeometry(p.x() + d.x(), g.y(), p.width() - d.x(), g.height());
    } else if (pressEdge == 4 || pressEdge == 5 || pressEdge == 6) {
        setGeometry(p.x(), g.y(), p.width() + d.x(), g.height());
    }
    g = geometry();
    if (pressEdge == 0 || pressEdge == 6 || pressEdge == 7) {
        setGeometry(g.x(), p.y() + d.y(), g.width(), p.height() - d.y());
    } else if (pressEdge == 2 || pressEdge == 3 || pressEdge == 4) {
        setGeometry(g.x(), g.y(), g.width(), p.height() + d.y());
    }
    event->accept();
}

void MainWindow::mouseReleaseEvent(QMouseEvent *)
{
    dragPressed = false;
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    adjustAdvancedSearchPanel();
    QMainWindow::resizeEvent(event);
}

void MainWindow::hideEvent(QHideEvent *event)
{
    filtersPagePanel.saveChanges();
    QMainWindow::hideEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    QCoreApplication::exit(0);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}
