#include "tooltipbaloonset.h"

#include "clock.h"
#include "tooltipbaloon.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
const int BALOON_MARGIN = 10;
const int BALOON_LIFETIME_SECONDS = 5;
} // namespace

ToolTipBaloonSet::ToolTipBaloonSet(QObject *parent)
    : QObject(parent)
{
    timer.setInterval(500);
    timer.setSingleShot(false);
    connect(&timer, &QTimer::timeout, this, &ToolTipBaloonSet::timeouted);
}

ToolTipBaloonSet::~ToolTipBaloonSet()
{
    clear();
}

void ToolTipBaloonSet::addBaloon(ToolTipBaloon *baloon)
{
    if (!baloon || baloons.contains(baloon))
        return;
    baloon->adjustSize();
    baloons.prepend(baloon);
    timer.start();
    relayout();
    baloon->show();
}

void ToolTipBaloonSet::relayout()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    int y = area.bottom();
    for (ToolTipBaloon *baloon : qAsConst(baloons)) {
        QRect place(0, 0, baloon->width(), baloon->height());
        place.moveBottomRight(QPoint(area.right() - BALOON_MARGIN, y - BALOON_MARGIN));
        baloon->setGeometry(place);
        y -= baloon->height() + BALOON_MARGIN;
    }
}

void ToolTipBaloonSet::clear()
{
    const QList<ToolTipBaloon *> all = baloons;
    baloons.clear();
    qDeleteAll(all);
}

void ToolTipBaloonSet::timeouted()
{
    if (baloons.isEmpty()) {
        timer.stop();
        return;
    }
    ToolTipBaloon *newest = baloons.first();
    if (newest->shownAt.isValid()
        && qAbs(newest->shownAt.secsTo(Clock::currentDateTimeUtc())) <= BALOON_LIFETIME_SECONDS)
        return;
    newest->hide();
    baloons.removeFirst();
    delete newest;
    relayout();
}
