#ifndef CORETESTAPPLICATION_H
#define CORETESTAPPLICATION_H

#include "headlessapplication.h"
#include "testenvironment.h"

// Use instead of QTEST_MAIN in the core's tests: no window, no widget module.
#define TAVREL_CORE_TEST_MAIN(TestClass) TAVREL_TEST_MAIN_IN(HeadlessApplication, TestClass)

#endif // CORETESTAPPLICATION_H
