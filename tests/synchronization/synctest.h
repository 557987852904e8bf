#ifndef SYNCTEST_H
#define SYNCTEST_H

#include "mailboxspy.h"
#include "syncfixture.h"

// Waits on the stand-in, long enough for a loaded machine under the sanitizers.
#define TRY_VERIFY(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 20000)
#define TRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 20000)

#endif // SYNCTEST_H
