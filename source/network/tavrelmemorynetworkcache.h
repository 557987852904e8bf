#ifndef TAVRELMEMORYNETWORKCACHE_H
#define TAVRELMEMORYNETWORKCACHE_H

#include <QAbstractNetworkCache>
#include <QByteArray>
#include <QHash>
#include <QNetworkCacheMetaData>
#include <QUrl>

class QIODevice;

// Keeps replies in memory for the life of the process. It never evicts and
// never looks at expiry: the HTTP layer decides freshness from the metadata.
class TavrelMemoryNetworkCache : public QAbstractNetworkCache
{
    Q_OBJECT

public:
    explicit TavrelMemoryNetworkCache(QObject *parent = nullptr);
    ~TavrelMemoryNetworkCache() override;

    QNetworkCacheMetaData metaData(const QUrl &url) override;
    void updateMetaData(const QNetworkCacheMetaData &metaData) override;
    QIODevice *data(const QUrl &url) override;
    bool remove(const QUrl &url) override;
    qint64 cacheSize() const override;
    QIODevice *prepare(const QNetworkCacheMetaData &metaData) override;
    void insert(QIODevice *device) override;

public slots:
    void clear() override;

private:
    QHash<QUrl, QByteArray> m_bytes;
    QHash<QIODevice *, QNetworkCacheMetaData> m_pending;
    QHash<QUrl, QNetworkCacheMetaData> m_metaData;
};

#endif // TAVRELMEMORYNETWORKCACHE_H
