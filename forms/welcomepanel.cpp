#include "welcomepanel.h"

#include "appsettings.h"
#include "clock.h"
#include "ui_welcomepanel.h"

#include <QHideEvent>
#include <QShowEvent>

QString pluralForm(int n, const QString &one, const QString &few, const QString &many)
{
    const int m = qAbs(n % 100);
    if (m >= 11 && m <= 19)
        return many;
    const int d = m % 10;
    if (d >= 2 && d <= 4)
        return few;
    return d == 1 ? one : many;
}

QString numberWithNoun(const QString &numberText, const QString &prefix, const QString &one, const QString &few,
                       const QString &many)
{
    if (numberText.isEmpty())
        return QString();
    return prefix + pluralForm(numberText.toInt(nullptr, 10), one, few, many);
}

WelcomePanel::WelcomePanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::WelcomePanel)
{
    ui->setupUi(this);
    connect(ui->lbMessage, &QLabel::linkActivated, this, &WelcomePanel::newOrdersClick);
    messageAsLink = false;
}

WelcomePanel::~WelcomePanel()
{
    delete ui;
}

QString WelcomePanel::extractLabelText(const QString &text)
{
    const QStringList pieces = text.split(QLatin1Char('>'));
    if (pieces.size() < 2)
        return QString();
    const QStringList parts = pieces.at(1).split(QLatin1Char('('));
    if (parts.size() < 2)
        return QString();
    return QStringLiteral(", ") + parts.first().trimmed();
}

void WelcomePanel::retranslateUi(const QString &newOrdersCount)
{
    ui->retranslateUi(this);
    const QDateTime now = Clock::currentDateTime();
    ui->lbCR->setText(ui->lbCR->text().arg(now.date().year()));

    const QString weekdays[] = {tr("понедельник"), tr("вторник"), tr("среда"),      tr("четверг"),
                                tr("пятница"),     tr("суббота"), tr("воскресенье")};
    const QString months[] = {tr("января"), tr("февраля"), tr("марта"),    tr("апреля"),  tr("мая"),    tr("июня"),
                              tr("июля"),   tr("августа"), tr("сентября"), tr("октября"), tr("ноября"), tr("декабря")};
    const QDate today = now.date();
    const QString weekday = weekdays[today.dayOfWeek() - 1];
    const QString date = QString::number(today.day()) + QLatin1Char(' ') + months[today.month() - 1];

    QString linkText;
    QString before;
    QString after;
    if (message.isEmpty()) {
        linkText = newOrdersCount
            + numberWithNoun(newOrdersCount, QStringLiteral(" "), QStringLiteral("новая"), QStringLiteral("новые"),
                             QStringLiteral("новых"))
            + numberWithNoun(newOrdersCount, QStringLiteral(" "), QStringLiteral("заявка"), QStringLiteral("заявки"),
                             QStringLiteral("заявок"));
        if (!newOrdersCount.isEmpty()) {
            before = tr("У вас");
            after = QStringLiteral(".");
        }
    } else if (messageAsLink) {
        linkText = message;
        before = tr("У вас");
        after = QStringLiteral(".");
    } else {
        before = message;
    }

    // The display name comes from the service: it is shown as text, and it is filled in one pass with
    // the rest, so that a "%2" inside it stays as it is.
    const QString name = extractLabelText(AppSettings::userName()).toHtmlEscaped();
    ui->lbMessage->setText(
        ui->lbMessage->text().arg(name, weekday, date, linkText.toHtmlEscaped(), before.toHtmlEscaped(), after));
    ui->lbVersion->setText(ui->lbVersion->text().arg(AppSettings::shortVersion()));
}

void WelcomePanel::resizeEvent(QResizeEvent *)
{
    const QSize moving = ui->movingWidget->size();
    ui->movingWidget->move((width() - moving.width()) / 2, (height() - moving.height()) / 2);
    ui->lbCR->move(width() - ui->lbCR->width(), height() - ui->lbCR->height());
}

void WelcomePanel::showEvent(QShowEvent *event)
{
    if (QWidget *parent = parentWidget()) {
        parentStyleSheet = parent->styleSheet();
        parent->setStyleSheet(
            QStringLiteral("#%1 { background: #eeeeee; border-bottom-right-radius: 10px; }").arg(parent->objectName()));
    }
    retranslateUi(QString());
    QWidget::showEvent(event);
}

void WelcomePanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (QWidget *parent = parentWidget())
        parent->setStyleSheet(parentStyleSheet);
}
