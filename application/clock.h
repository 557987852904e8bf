#ifndef CLOCK_H
#define CLOCK_H

#include <QDate>
#include <QDateTime>

// The one source of "now" and "today" for the whole program, so that tests can fix or move time.
// Timers still run on real time; code that decides by elapsed time reads this clock.
class Clock
{
public:
    static QDateTime currentDateTime();
    static QDateTime currentDateTimeUtc();
    static QDate currentDate();
    static qint64 currentMSecsSinceEpoch();

    // Test seams: freeze the clock at a moment, move it (frozen or not), go back to real time.
    static void setFixed(const QDateTime &moment);
    static void advance(qint64 msecs);
    static void reset();

private:
    Clock() = delete;
};

#endif // CLOCK_H
