#include "corehost.h"

#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"

namespace {
CoreHost *g_host = nullptr;
}

CoreHost::CoreHost()
{
    g_host = this;
}

CoreHost::~CoreHost()
{
    if (g_host == this)
        g_host = nullptr;
}

CoreHost *CoreHost::instance()
{
    return g_host;
}

TavrelSynchronization *CoreHost::currentSynchronization()
{
    return g_host ? g_host->synchronization.data() : nullptr;
}

TavrelDataBaseQuery *CoreHost::currentDataBaseQuery()
{
    return g_host ? g_host->dataBaseQuery.data() : nullptr;
}

void CoreHost::setFullAccess(bool value)
{
    if (!synchronization || !dataBaseQuery) {
        fullAccess = value;
        return;
    }
    const QString login = synchronization->currentLogin();
    if (dataBaseQuery->isFullAccess(login) == value) {
        // The stored flag already says so; keep the in-memory flag in step with it.
        fullAccess = value;
        return;
    }
    dataBaseQuery->setFullAccess(login, value);
    fullAccess = value;
    fullAccessChanged();
}
