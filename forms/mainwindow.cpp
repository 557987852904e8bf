#include "mainwindow.h"

#include "appsettings.h"
#include "constants.h"
#include "detailedorderpanel.h"
#include "networkrequestcontext.h"
#include "order.h"
#include "orderlist.h"
#include "setuppanel.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_detailedorderpanel.h"
#include "ui_mainwindow.h"
#include "urlpolicy.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , settingsPage(new SetupPanel)
    , orderPanel(new DetailedOrderPanel)
{
    ui->setupUi(this);
    ui->settingsLayout->addWidget(settingsPage);
    ui->loadingOverlay->hide();
    // Until the window has pages of its own, an order opens in a window of its own.
    orderPanel->resize(640, 760);
    connect(orderPanel->ui->lbBackLabel, &QLabel::linkActivated, orderPanel, &QWidget::hide);
    connect(orderPanel, &DetailedOrderPanel::favouriteChanged, this, &MainWindow::refreshCounters);
}

MainWindow::~MainWindow()
{
    // The engine drops a listener whose mailbox is gone.
    delete favouritesListener.data();
    delete newOrdersListener.data();
    NetworkRequestContext::release(orderReadRequest.data());
    delete orderPanel;
    delete ui;
}

void MainWindow::readOrder(qint64 orderId)
{
    readOrderId = orderId;
    orderPanel->setWindowTitle(tr("Заявка № %1").arg(orderId));
    orderPanel->showLoadingLabel();
    updateReadOrderPanel();
    orderPanel->show();
    orderPanel->raise();

    // The request may be the one reporting right now: never delete it on the spot.
    NetworkRequestContext::release(orderReadRequest.data());
    orderReadRequest = nullptr;
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    NetworkRequestContext *request = engine ? engine->requestOrderRead(orderId) : nullptr;
    if (!request) {
        orderPanel->hideLoadingLabel();
        return;
    }
    orderReadRequest = request;
    connect(request, &NetworkRequestContext::replyFinished, this, &MainWindow::readOrderCompleted);
    request->start();
}

void MainWindow::updateReadOrderPanel()
{
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    TavrelDataBaseQuery *query = app ? app->dataBaseQuery.data() : nullptr;
    if (!engine || !query)
        return;
    Entity::Order *order = query->order(engine->currentLogin(), readOrderId);
    if (!order)
        return;
    orderPanel->setOrder(order);
    delete order;
}

void MainWindow::readOrderCompleted(QObject *sender)
{
    // The engine reports again, with itself as argument, once it has stored the order.
    if (!sender)
        return;
    orderPanel->hideLoadingLabel();
    updateReadOrderPanel();
}

void MainWindow::browserLinkActivate(const QString &link)
{
    const QUrl url(link, QUrl::TolerantMode);
    if (UrlPolicy::isBrowserUrl(url))
        QDesktopServices::openUrl(url);
}

void MainWindow::switchPage()
{
    const QString name = AppSettings::userName();
    ui->lbUser->setText(name.isEmpty() ? tr("Добро пожаловать!") : tr("Добро пожаловать, %1!").arg(name));
    ui->lbAccess->setText(AppSettings::isFullAccess() ? tr("Полный доступ") : tr("Ограниченный доступ"));
    ui->lbVersion->setText(tr("Таврел %1").arg(AppSettings::shortVersion()));
    refreshCounters();
}

void MainWindow::showLoadingIndicator()
{
    ++loadingHolds;
    ui->loadingOverlay->raise();
    ui->loadingOverlay->show();
}

void MainWindow::stopLoadingIndicator()
{
    --loadingHolds;
    if (loadingHolds <= 0)
        ui->loadingOverlay->hide();
}

QString MainWindow::countersText() const
{
    return ui->lbCounters->text();
}

void MainWindow::showEvent(QShowEvent *event)
{
    switchPage();
    settingsPage->loadSettings();
    QMainWindow::showEvent(event);
    startSynchronization();
}

// Every show asks for new orders at once and for the favourites, filters and the daily purge; the
// listeners are registered once, since the engine keeps them for as long as their contexts live.
void MainWindow::startSynchronization()
{
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    if (!engine)
        return;

    if (!favouritesListener) {
        favouritesListener = engine->addFavouritesListener();
        if (favouritesListener)
            connect(favouritesListener, &NetworkRequestContext::replyFinished, this, &MainWindow::refreshCounters);
    }
    if (!newOrdersListener) {
        newOrdersListener = engine->addOrderListListener(Entity::OrderList::New);
        if (newOrdersListener)
            connect(newOrdersListener, &NetworkRequestContext::replyFinished, this, &MainWindow::refreshCounters);
    }

    NetworkRequestContext *context = engine->newOrdersNow();
    if (context && context != newOrdersContext) {
        newOrdersContext = context;
        connect(context, &NetworkRequestContext::replyFinished, this, &MainWindow::newOrdersReceived,
                Qt::UniqueConnection);
    }
    engine->syncFavouritesNow();
    engine->syncFiltersNow();
    engine->ensureCleanupTask();
}

void MainWindow::newOrdersReceived(QObject *sender)
{
    // The network's own report (null) comes before the orders are stored; only the engine's
    // delivery after the write is worth counting.
    if (!sender)
        return;
    refreshCounters();
}

void MainWindow::refreshCounters()
{
    TavrelApplication *app = TavrelApplication::instance();
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    TavrelDataBaseQuery *query = app ? app->dataBaseQuery.data() : nullptr;
    if (!engine || !query || engine->currentLogin().isEmpty()) {
        ui->lbCounters->clear();
        return;
    }
    const QString login = engine->currentLogin();
    const int newCount = query->newOrdersCount(login);
    ui->lbCounters->setText(tr("Новые заявки: %1 · Просмотренные: %2 · Избранное: %3")
                                .arg(newCount)
                                .arg(query->viewedOrdersCount(login))
                                .arg(query->favouritesCount(login)));
    if (app->trayVisible)
        app->trayIcon.setToolTip(tr("Таврел: новых заявок %1").arg(newCount));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    QCoreApplication::exit(0);
}
