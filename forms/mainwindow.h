#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointer>

class NetworkRequestContext;
class DetailedOrderPanel;
class SetupPanel;

namespace Ui {
class MainWindow;
}

// The main window. For now a plain window: it greets the logged-in user, starts the synchronization of
// new orders, filters and favourites when shown, counts the stored orders, holds the settings page and
// keeps the loading overlay that the order lists raise around their requests.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows the current page again (after the paid-access flag changed, for example).
    void switchPage();
    void showLoadingIndicator();
    void stopLoadingIndicator();

    // Number of holders of the loading overlay.
    int loadingHoldCount() const { return loadingHolds; }

    // The counters line as shown ("Новые заявки: …").
    QString countersText() const;
    SetupPanel *setupPanel() const { return settingsPage; }

    // Opens the detail page of a stored order and asks the service for its details.
    void readOrder(qint64 orderId);
    DetailedOrderPanel *detailedOrderPanel() const { return orderPanel; }

public slots:
    // Opens an address in the browser; only http and https addresses are opened, and the session
    // goes only to the service's own pages.
    void browserLinkActivate(const QString &link);

private slots:
    void newOrdersReceived(QObject *sender);
    void refreshCounters();
    void updateReadOrderPanel();
    void readOrderCompleted(QObject *sender);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void startSynchronization();

    Ui::MainWindow *ui;
    SetupPanel *settingsPage;
    QPointer<NetworkRequestContext> newOrdersContext;
    QPointer<NetworkRequestContext> favouritesListener;
    QPointer<NetworkRequestContext> newOrdersListener;
    int loadingHolds = 0;
    DetailedOrderPanel *orderPanel;
    qint64 readOrderId = -1;
    QPointer<NetworkRequestContext> orderReadRequest;
};

#endif // MAINWINDOW_H
