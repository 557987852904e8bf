#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

// The main window. For now a plain window that greets the logged-in user and keeps the loading overlay
// that the order lists raise around their requests.
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

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    Ui::MainWindow *ui;
    int loadingHolds = 0;
};

#endif // MAINWINDOW_H
