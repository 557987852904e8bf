#include "tooltipbaloonset.h"

#include <QWidget>

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

void ToolTipBaloonSet::clear()
{
    qDeleteAll(baloons);
    baloons.clear();
    timer.stop();
}

void ToolTipBaloonSet::timeouted()
{
    if (baloons.isEmpty())
        timer.stop();
}
