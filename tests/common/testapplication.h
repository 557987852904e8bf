#ifndef TESTAPPLICATION_H
#define TESTAPPLICATION_H

#include "tavrelapplication.h"
#include "testenvironment.h"

#include <QtTest>

// Use instead of QTEST_MAIN: the test runs inside a TavrelApplication whose home, settings and
// working directory are a fresh temporary folder (see TestEnvironment).
#define TAVREL_TEST_MAIN(TestClass)                                                                                    \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TestEnvironment testEnvironment;                                                                               \
        TavrelApplication app(argc, argv);                                                                             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestClass tc;                                                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

#endif // TESTAPPLICATION_H
