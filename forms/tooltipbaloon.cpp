#include "tooltipbaloon.h"

#include "clock.h"
#include "ui_tooltipbaloon.h"

#include <QMouseEvent>

ToolTipBaloon::ToolTipBaloon(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ToolTipBaloon)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
    // A balloon never takes the focus from the window the user is typing in; as a tool-tip window it gets
    // no task-bar entry either.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
}

ToolTipBaloon::~ToolTipBaloon()
{
    delete ui;
}

void ToolTipBaloon::setTexts(const QString &title, const QString &message)
{
    // The texts may hold the line breaks of the announcement ("<br />"), nothing else of markup.
    ui->lbHeader->setText(ui->lbHeader->text().arg(title));
    ui->lbMessage->setText(ui->lbMessage->text().arg(message));
}

void ToolTipBaloon::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::NoButton)
        return;
    event->accept();
    shownAt = QDateTime();
    emit clicked();
}

void ToolTipBaloon::showEvent(QShowEvent *event)
{
    raise();
    shownAt = Clock::currentDateTimeUtc();
    QWidget::showEvent(event);
}
