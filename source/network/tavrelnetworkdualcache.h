#ifndef TAVRELNETWORKDUALCACHE_H
#define TAVRELNETWORKDUALCACHE_H

#include <QAbstractNetworkCache>

#include <memory>

class QNetworkDiskCache;
class TavrelMemoryNetworkCache;

// The access manager's HTTP cache: replies the server marks
// "cache-extension: no-save" stay in memory for this run only, every other
// reply goes to the disk cache and survives a restart. Lookups ask memory first.
class TavrelNetworkDualCache : public QAbstractNetworkCache
{
    Q_OBJECT

public:
    explicit TavrelNetworkDualCache(QObject *parent = nullptr);
    ~TavrelNetworkDualCache() override;

    QNetworkCacheMetaData metaData(const QUrl &url) override;
    void updateMetaData(const QNetworkCacheMetaData &metaData) override;
    QIODevice *data(const QUrl &url) override;
    bool remove(const QUrl &url) override;
    qint64 cacheSize() const override;
    QIODevice *prepare(const QNetworkCacheMetaData &metaData) override;
    void insert(QIODevice *device) override;

    void setCacheDirectory(const QString &directory);
    QString cacheDirectory() const;

    // True when the first "cache-extension" header of the reply says "no-save".
    static bool isMemoryOnly(const QNetworkCacheMetaData &metaData);

public slots:
    void clear() override;

private:
    // Both parts are owned here alone (no QObject parent), so each is
    // destroyed exactly once, memory part first.
    std::unique_ptr<QNetworkDiskCache> m_disk;
    std::unique_ptr<TavrelMemoryNetworkCache> m_memory;
};

#endif // TAVRELNETWORKDUALCACHE_H
