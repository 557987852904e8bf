#include "tavrelnetworkdualcache.h"

#include "constants.h"
#include "tavrelmemorynetworkcache.h"

#include <QIODevice>
#include <QNetworkDiskCache>

TavrelNetworkDualCache::TavrelNetworkDualCache(QObject *parent)
    : QAbstractNetworkCache(parent)
    , m_disk(std::make_unique<QNetworkDiskCache>())
    , m_memory(std::make_unique<TavrelMemoryNetworkCache>())
{
}

TavrelNetworkDualCache::~TavrelNetworkDualCache()
{
    m_memory.reset();
    m_disk.reset();
}

bool TavrelNetworkDualCache::isMemoryOnly(const QNetworkCacheMetaData &metaData)
{
    const QByteArray extension = CACHE_CONTROL_EXTENSION.toLatin1();
    const QByteArray noSave = CACHE_CONTROL_NO_SAVE.toLatin1();
    const auto headers = metaData.rawHeaders();
    for (const auto &header : headers) {
        if (header.first.toLower() == extension)
            return header.second.toLower() == noSave;
    }
    return false;
}

QNetworkCacheMetaData TavrelNetworkDualCache::metaData(const QUrl &url)
{
    const QNetworkCacheMetaData inMemory = m_memory->metaData(url);
    return inMemory.isValid() ? inMemory : m_disk->metaData(url);
}

void TavrelNetworkDualCache::updateMetaData(const QNetworkCacheMetaData &metaData)
{
    if (isMemoryOnly(metaData))
        m_memory->updateMetaData(metaData);
    else
        m_disk->updateMetaData(metaData);
}

QIODevice *TavrelNetworkDualCache::data(const QUrl &url)
{
    if (QIODevice *device = m_memory->data(url))
        return device;
    return m_disk->data(url);
}

bool TavrelNetworkDualCache::remove(const QUrl &url)
{
    if (m_memory->remove(url))
        return true;
    return m_disk->remove(url);
}

qint64 TavrelNetworkDualCache::cacheSize() const
{
    return m_memory->cacheSize() + m_disk->cacheSize();
}

QIODevice *TavrelNetworkDualCache::prepare(const QNetworkCacheMetaData &metaData)
{
    if (!metaData.isValid() || !metaData.url().isValid())
        return nullptr;
    if (isMemoryOnly(metaData))
        return m_memory->prepare(metaData);
    return m_disk->prepare(metaData);
}

void TavrelNetworkDualCache::insert(QIODevice *device)
{
    if (device && device->parent() == m_memory.get())
        m_memory->insert(device);
    else
        m_disk->insert(device);
}

void TavrelNetworkDualCache::clear()
{
    m_memory->clear();
    m_disk->clear();
}

void TavrelNetworkDualCache::setCacheDirectory(const QString &directory)
{
    m_disk->setCacheDirectory(directory);
}

QString TavrelNetworkDualCache::cacheDirectory() const
{
    return m_disk->cacheDirectory();
}
