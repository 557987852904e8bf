#include "mainwindow.h"

#include "appsettings.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->loadingOverlay->hide();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::switchPage()
{
    const QString name = AppSettings::userName();
    ui->lbUser->setText(name.isEmpty() ? tr("Добро пожаловать!") : tr("Добро пожаловать, %1!").arg(name));
    ui->lbAccess->setText(AppSettings::isFullAccess() ? tr("Полный доступ") : tr("Ограниченный доступ"));
    ui->lbVersion->setText(tr("Таврел %1").arg(AppSettings::shortVersion()));
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

void MainWindow::showEvent(QShowEvent *event)
{
    switchPage();
    QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    QCoreApplication::exit(0);
}
