#include "onlinestate.h"

#include "corehost.h"

#include <QNetworkConfigurationManager>

namespace {
OnlineState::Forced forcedState = OnlineState::NotForced;
}

// The bearer API is the platform's online test here, deprecated or not.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
bool OnlineState::isOnline()
{
    if (forcedState != NotForced)
        return forcedState == ForcedOnline;
    CoreHost *app = CoreHost::instance();
    QNetworkConfigurationManager *manager = app ? app->networkConfigurationManager.data() : nullptr;
    if (!manager)
        return true;
    // Without a bearer back-end (a container, a minimal desktop) the manager knows no
    // configuration at all and reports offline for ever; the requests themselves then tell.
    if (manager->allConfigurations().isEmpty())
        return true;
    return manager->isOnline();
}
QT_WARNING_POP

void OnlineState::force(bool online)
{
    forcedState = online ? ForcedOnline : ForcedOffline;
}

void OnlineState::clearForced()
{
    forcedState = NotForced;
}

OnlineState::Forced OnlineState::forced()
{
    return forcedState;
}
