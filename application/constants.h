#ifndef CONSTANTS_H
#define CONSTANTS_H

// Every text that more than one part of the program must spell the same way lives in one of
// these three tables. Include this header rather than the tables themselves.
//
// The constants are namespace-scope objects with dynamic initialisation: never use one of them
// in the initialiser of another global object defined in a different source file.

#include "databaseconstants.h"
#include "networkconstants.h"
#include "uiconstants.h"

#endif // CONSTANTS_H
