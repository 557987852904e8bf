#include "tavrelapplication.h"

int main(int argc, char *argv[])
{
    int exitCode = 0;
    {
        TavrelApplication app(argc, argv);
        exitCode = app.start();
    }
    return exitCode;
}
