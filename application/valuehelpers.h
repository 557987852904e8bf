#ifndef VALUEHELPERS_H
#define VALUEHELPERS_H

#include <QDateTime>
#include <QVariant>

// Readers of the loosely typed values of server replies and database rows.

// A bool as it is, a number (or text reading as one) other than 0, or the word "true" in any case.
bool variantIsTrue(const QVariant &value);
// A bool as it is, a number (or text reading as one) equal to 0, or the word "false" in any case.
// A value can be neither true nor false (an empty text, "yes").
bool variantIsFalse(const QVariant &value);

// The server-time shift: while raised, dates sent to the service gain 4 hours and dates read from
// it lose 4 hours. Raise and lower it in pairs around one conversion, on the GUI thread only.
// Lowering it more often than it was raised is ignored (with a warning).
void beginServerTimeShift();
void endServerTimeShift();
// How many raises are still open; 0 between operations.
int serverTimeShiftDepth();

// Raises the shift for as long as it lives: around every reading of the service's order maps and
// every writing of a map for the service.
class ServerTimeShift
{
public:
    ServerTimeShift() { beginServerTimeShift(); }
    ~ServerTimeShift() { endServerTimeShift(); }
    ServerTimeShift(const ServerTimeShift &) = delete;
    ServerTimeShift &operator=(const ServerTimeShift &) = delete;
};

// The shift in seconds that applies while the server-time shift is raised.
constexpr qint64 SERVER_TIME_SHIFT_SECONDS = 14400;

// A date-time for sending to the service: the variant's own conversion (date-time value or ISO
// text), 4 hours later while the shift is raised. An invalid value is never shifted.
QDateTime variantToDateTime(const QVariant &value);

// A date-time received from the service: the variant's own conversion, else the service's
// "dd.MM.yyyy HH:mm:ss" text read at UTC offset 0. While the shift is raised the result loses
// 4 hours and is given offset 0 from UTC.
QDateTime parseServerDateTime(const QVariant &value);

#endif // VALUEHELPERS_H
