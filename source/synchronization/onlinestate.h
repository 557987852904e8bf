#ifndef ONLINESTATE_H
#define ONLINESTATE_H

// The program's online test. It asks the application's network configuration
// manager; tests (and a developer tool) can force an answer instead.
class OnlineState
{
public:
    enum Forced { NotForced, ForcedOnline, ForcedOffline };

    static bool isOnline();
    static void force(bool online);
    static void clearForced();
    static Forced forced();
};

#endif // ONLINESTATE_H
