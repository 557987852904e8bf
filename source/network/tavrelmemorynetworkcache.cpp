#include "tavrelmemorynetworkcache.h"

#include <QBuffer>

#include <new>

TavrelMemoryNetworkCache::TavrelMemoryNetworkCache(QObject *parent)
    : QAbstractNetworkCache(parent)
{
}

TavrelMemoryNetworkCache::~TavrelMemoryNetworkCache()
{
    clear();
}

QNetworkCacheMetaData TavrelMemoryNetworkCache::metaData(const QUrl &url)
{
    return m_metaData.value(url);
}

void TavrelMemoryNetworkCache::updateMetaData(const QNetworkCacheMetaData &metaData)
{
    m_metaData.insert(metaData.url(), metaData);
}

QIODevice *TavrelMemoryNetworkCache::data(const QUrl &url)
{
    const auto it = m_bytes.constFind(url);
    if (it == m_bytes.constEnd())
        return nullptr;
    auto *buffer = new QBuffer;
    buffer->setData(it.value());
    buffer->open(QIODevice::ReadWrite);
    return buffer;
}

bool TavrelMemoryNetworkCache::remove(const QUrl &url)
{
    if (m_bytes.remove(url) == 0)
        return false;
    return m_metaData.remove(url) > 0;
}

qint64 TavrelMemoryNetworkCache::cacheSize() const
{
    qint64 size = 0;
    for (const QByteArray &bytes : m_bytes)
        size += bytes.size();
    return size;
}

QIODevice *TavrelMemoryNetworkCache::prepare(const QNetworkCacheMetaData &metaData)
{
    if (!metaData.isValid())
        return nullptr;
    auto *buffer = new QBuffer(this);
    buffer->open(QIODevice::ReadWrite);
    try {
        m_pending.insert(buffer, metaData);
    } catch (const std::bad_alloc &) {
        m_pending.remove(buffer);
        delete buffer;
        return nullptr;
    }
    return buffer;
}

void TavrelMemoryNetworkCache::insert(QIODevice *device)
{
    const auto it = m_pending.find(device);
    if (it == m_pending.end())
        return;
    const QNetworkCacheMetaData metaData = it.value();
    const QUrl url = metaData.url();
    m_pending.erase(it);
    try {
        const auto *buffer = static_cast<QBuffer *>(device);
        m_bytes.insert(url, buffer->data());
        m_metaData.insert(url, metaData);
    } catch (const std::bad_alloc &) {
        m_bytes.remove(url);
        m_metaData.remove(url);
    }
    delete device;
}

void TavrelMemoryNetworkCache::clear()
{
    m_pending.clear();
    m_metaData.clear();
    m_bytes.clear();
}
