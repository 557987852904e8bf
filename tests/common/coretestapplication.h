#ifndef CORETESTAPPLICATION_H
#define CORETESTAPPLICATION_H

#include "headlessapplication.h"
#include "testenvironment.h"

#include <QtTest>

// Use instead of QTEST_MAIN in the core's tests: the test runs inside a HeadlessApplication (no
// window, no widget module) whose home, settings and working directory are a fresh temporary folder.
#define TAVREL_CORE_TEST_MAIN(TestClass)                                                                               \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TestEnvironment testEnvironment;                                                                               \
        HeadlessApplication app(argc, argv);                                                                           \
        TestClass tc;                                                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

#endif // CORETESTAPPLICATION_H
