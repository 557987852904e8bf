#ifndef TESTAPPLICATION_H
#define TESTAPPLICATION_H

#include "tavrelapplication.h"
#include "testenvironment.h"

// Use instead of QTEST_MAIN in the tests of windows.
#define TAVREL_TEST_MAIN(TestClass) TAVREL_TEST_MAIN_IN(TavrelApplication, TestClass)

#endif // TESTAPPLICATION_H
