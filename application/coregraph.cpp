#include "coregraph.h"

#include "corehost.h"
#include "database.h"
#include "networkrequestconstructor.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkConfigurationManager>

CoreGraph::CoreGraph(CoreHost *host)
    : m_host(host)
{
}

CoreGraph::~CoreGraph()
{
    clear();
}

void CoreGraph::build(const QString &databaseName, const std::function<void()> &beforeEngine)
{
    m_host->networkAccessManager = adopt(std::make_unique<TavrelNetworkAccessManager>());

    if (!QFileInfo::exists(databaseName)) {
        // Created owner-only before SQLite sees it: it holds the users' password digests.
        QFile file(databaseName);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    auto *db = adopt(std::make_unique<DataBase>(databaseName));
    QFile::setPermissions(databaseName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_migration = adopt(std::make_unique<TavrelMigration>(*db));
    // Qt marks the bearer classes deprecated; the engine still asks this one for the online state.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    auto *configurationManager = adopt(std::make_unique<QNetworkConfigurationManager>());
    QT_WARNING_POP
    auto *constructor = adopt(std::make_unique<NetworkRequestConstructor>());
    auto *query = adopt(std::make_unique<TavrelDataBaseQuery>(db));

    m_host->dataBase = db;
    m_host->dataBaseQuery = query;
    m_host->networkConfigurationManager = configurationManager;
    m_host->requestConstructor = constructor;

    if (beforeEngine)
        beforeEngine();

    m_engineSlot = m_objects.size();
    m_host->synchronization = adopt(std::make_unique<TavrelSynchronization>());
    m_migration->upToLastMigration();
}

TavrelSynchronization *CoreGraph::engine() const
{
    return m_engineSlot < m_objects.size() ? static_cast<TavrelSynchronization *>(m_objects[m_engineSlot].get())
                                           : nullptr;
}

void CoreGraph::dropEngine()
{
    if (m_engineSlot < m_objects.size())
        m_objects[m_engineSlot].reset();
}

TavrelSynchronization *CoreGraph::renewEngine()
{
    if (m_engineSlot >= m_objects.size())
        return nullptr;
    dropEngine();
    auto engine = std::make_unique<TavrelSynchronization>();
    m_host->synchronization = engine.get();
    m_objects[m_engineSlot] = std::move(engine);
    return m_host->synchronization;
}

void CoreGraph::clear()
{
    while (!m_objects.empty())
        m_objects.pop_back();
    m_migration = nullptr;
    m_engineSlot = 0;
}
