#include "clock.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
// The purge worker reads the clock off the GUI thread, hence the lock.
QMutex clockMutex;
bool fixed = false;
qint64 fixedMSecs = 0;
qint64 offsetMSecs = 0;
} // namespace

QDateTime Clock::currentDateTimeUtc()
{
    return QDateTime::fromMSecsSinceEpoch(currentMSecsSinceEpoch(), Qt::UTC);
}

QDateTime Clock::currentDateTime()
{
    return QDateTime::fromMSecsSinceEpoch(currentMSecsSinceEpoch(), Qt::LocalTime);
}

QDate Clock::currentDate()
{
    return currentDateTime().date();
}

qint64 Clock::currentMSecsSinceEpoch()
{
    QMutexLocker locker(&clockMutex);
    if (fixed)
        return fixedMSecs;
    return QDateTime::currentMSecsSinceEpoch() + offsetMSecs;
}

void Clock::setFixed(const QDateTime &moment)
{
    QMutexLocker locker(&clockMutex);
    fixed = moment.isValid();
    fixedMSecs = moment.toMSecsSinceEpoch();
    offsetMSecs = 0;
}

void Clock::advance(qint64 msecs)
{
    QMutexLocker locker(&clockMutex);
    if (fixed)
        fixedMSecs += msecs;
    else
        offsetMSecs += msecs;
}

void Clock::reset()
{
    QMutexLocker locker(&clockMutex);
    fixed = false;
    fixedMSecs = 0;
    offsetMSecs = 0;
}
