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
    hide();
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
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        finish(0);
    return QWidget::eventFilter(watched, event);
}

void DateTimeEditBalloon::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
}
