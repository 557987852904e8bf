#include "datetimeeditballoon.h"
#include "ui_datetimeeditballoon.h"

#include <QEvent>

DateTimeEditBalloon::DateTimeEditBalloon(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DateTimeEditBalloon)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    connect(ui->btnCancel, &QPushButton::clicked, this, &DateTimeEditBalloon::clickCancel);
    connect(ui->btnClear, &QPushButton::clicked, this, &DateTimeEditBalloon::clickReset);
    connect(ui->btnSave, &QPushButton::clicked, this, &DateTimeEditBalloon::clickSave);
    installEventFilter(this);
}

DateTimeEditBalloon::~DateTimeEditBalloon()
{
    delete ui;
}

void DateTimeEditBalloon::finish(int result)
{
    closing = true;
    hide();
    closing = false;
    emit finished(result);
}

void DateTimeEditBalloon::clickCancel()
{
    finish(0);
}

void DateTimeEditBalloon::clickSave()
{
    finish(1);
}

void DateTimeEditBalloon::clickReset()
{
    finish(2);
}

bool DateTimeEditBalloon::eventFilter(QObject *watched, QEvent *event)
{
    // Only a shown balloon has anything to report: hiding it through a button deactivates it too, and
    // that must not add a second report.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible() && !closing)
        finish(0);
    return QWidget::eventFilter(watched, event);
}

void DateTimeEditBalloon::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
}
