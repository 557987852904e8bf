#include "coretestapplication.h"
#include "tavrelmemorynetworkcache.h"
#include "tavrelnetworkdualcache.h"

#include <QBuffer>
#include <QDir>
#include <QNetworkCacheMetaData>
#include <QTemporaryDir>

#include <memory>

namespace {

using RawHeaders = QNetworkCacheMetaData::RawHeaderList;

QNetworkCacheMetaData metaData(const QUrl &url, const RawHeaders &headers = {})
{
    QNetworkCacheMetaData result;
    result.setUrl(url);
    result.setRawHeaders(headers);
    result.setSaveToDisk(true);
    result.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(1));
    return result;
}

const RawHeaders MEMORY_ONLY {{"Content-Type", "text/xml"}, {"cache-extension", "no-save"}};

// Stores body under the metadata's URL the way the HTTP layer does.
bool store(QAbstractNetworkCache &cache, const QNetworkCacheMetaData &meta, const QByteArray &body)
{
    QIODevice *device = cache.prepare(meta);
    if (!device)
        return false;
    device->write(body);
    cache.insert(device);
    return true;
}

QByteArray read(QAbstractNetworkCache &cache, const QUrl &url)
{
    std::unique_ptr<QIODevice> device(cache.data(url));
    return device ? device->readAll() : QByteArray("<none>");
}

} // namespace

class TestNetworkCache : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir diskDirectory;
    std::unique_ptr<TavrelNetworkDualCache> cache;

    void openCache()
    {
        cache = std::make_unique<TavrelNetworkDualCache>();
        cache->setCacheDirectory(diskDirectory.path());
    }

private slots:
    void init()
    {
        QVERIFY(diskDirectory.isValid());
        openCache();
        cache->clear();
    }

    void cleanup() { cache.reset(); }

    void routing_data()
    {
        QTest::addColumn<RawHeaders>("headers");
        QTest::addColumn<bool>("memoryOnly");
        QTest::newRow("no headers") << RawHeaders() << false;
        QTest::newRow("no-save") << RawHeaders {{"cache-extension", "no-save"}} << true;
        QTest::newRow("mixed case") << RawHeaders {{"Cache-EXTENSION", "No-Save"}} << true;
        QTest::newRow("further directive") << RawHeaders {{"cache-extension", "no-save, private"}} << false;
        QTest::newRow("first of two decides")
            << RawHeaders {{"cache-extension", "no-save"}, {"cache-extension", "keep"}} << true;
    }

    void routing()
    {
        QFETCH(RawHeaders, headers);
        QFETCH(bool, memoryOnly);
        const QUrl url("http://127.0.0.1:8765/api/orders/favorites");
        QVERIFY(store(*cache, metaData(url, headers), "body"));
        QCOMPARE(read(*cache, url), QByteArray("body"));

        // Only what went to disk is there after a restart.
        openCache();
        QCOMPARE(read(*cache, url), memoryOnly ? QByteArray("<none>") : QByteArray("body"));
    }

    void memoryEntryShadowsAndLeavesTheDiskAlone()
    {
        const QUrl url("http://127.0.0.1/a");
        QVERIFY(store(*cache, metaData(url), "disk"));
        const qint64 diskSize = cache->cacheSize();
        QVERIFY(store(*cache, metaData(url, MEMORY_ONLY), "memory"));
        QCOMPARE(cache->cacheSize(), diskSize + 6);
        QCOMPARE(read(*cache, url), QByteArray("memory"));
        QVERIFY(TavrelNetworkDualCache::isMemoryOnly(cache->metaData(url)));

        QVERIFY(cache->remove(url));
        QCOMPARE(read(*cache, url), QByteArray("disk"));
        QCOMPARE(cache->cacheSize(), diskSize);
        QVERIFY(store(*cache, metaData(url, MEMORY_ONLY), "memory"));
        cache->clear();
        QCOMPARE(cache->cacheSize(), 0);
        QCOMPARE(read(*cache, url), QByteArray("<none>"));
        QVERIFY(!cache->remove(url));
    }

    // Metadata without a valid URL is not stored; updated metadata alone, without a body, follows the route
    // of its headers and cannot be removed.
    void metaDataAlone()
    {
        QVERIFY(!cache->prepare(QNetworkCacheMetaData()));
        QVERIFY(!cache->prepare(metaData(QUrl("ht tp://x"), MEMORY_ONLY)));
        const QUrl url("http://127.0.0.1/meta");
        cache->updateMetaData(metaData(url, MEMORY_ONLY));
        QCOMPARE(read(*cache, url), QByteArray("<none>"));
        QVERIFY(!cache->remove(url));
        QVERIFY(cache->metaData(url).isValid());
        QCOMPARE(cache->cacheSize(), 0);
    }

    void partsAreDestroyedOnceWithAParent()
    {
        // Under the address sanitizer a second deletion of either part fails here.
        auto *parent = new QObject;
        auto *owned = new TavrelNetworkDualCache(parent);
        owned->setCacheDirectory(diskDirectory.path());
        QVERIFY(store(*owned, metaData(QUrl("http://127.0.0.1/p"), MEMORY_ONLY), "x"));
        QVERIFY(owned->prepare(metaData(QUrl("http://127.0.0.1/pending"), MEMORY_ONLY)));
        delete parent;
    }

    void memoryPartIgnoresDevicesItDidNotPrepare()
    {
        TavrelMemoryNetworkCache memory;
        QBuffer foreign;
        foreign.open(QIODevice::ReadWrite);
        foreign.write("x");
        memory.insert(&foreign);
        QCOMPARE(memory.cacheSize(), 0);

        const QUrl url("http://127.0.0.1/once");
        QIODevice *device = memory.prepare(metaData(url));
        QVERIFY(device);
        device->write("abc");
        memory.insert(device);
        QCOMPARE(memory.cacheSize(), 3);
        memory.insert(device); // already inserted and gone: must be a no-op
        QCOMPARE(memory.cacheSize(), 3);
        // What it hands out belongs to the caller.
        std::unique_ptr<QIODevice> stored(memory.data(url));
        QVERIFY(stored && !stored->parent());
        QVERIFY(memory.remove(url));
        QVERIFY(!memory.metaData(url).isValid());
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkCache)
#include "tst_networkcache.moc"
