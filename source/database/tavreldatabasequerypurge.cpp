// The daily purge of old orders. It runs on the purge worker thread, so it never touches the GUI
// thread's connection or statement cache: it opens a connection of its own to the same file.

#include "tavreldatabasequery.h"

#include "clock.h"
#include "constants.h"
#include "database.h"

#include <QAtomicInt>
#include <QSqlQuery>

#include <memory>

namespace {

// The old rows are found first and then deleted in the table's order.
const QString PURGE_OLD_ORDERS = QStringLiteral(
    "DELETE FROM %1 WHERE rowid IN (SELECT rowid FROM %1 WHERE DATETIME(OpeningTime) < DATETIME(:MonthAgo) AND "
    "NOT EXISTS (SELECT 1 FROM %2 WHERE [%2].[OrderId] = [%1].[Id] AND [%2].[State] <> 'Deleted'))");

const int PURGE_CACHE_KB = 16384;

QAtomicInt purgeConnectionCounter;

} // namespace

QDateTime TavrelDataBaseQuery::purgeCutOff(const QDateTime &nowUtc)
{
    return nowUtc.toUTC().addMonths(-1);
}

int TavrelDataBaseQuery::purgeOldOrders(const QString &databaseFile, const QDateTime &nowUtc)
{
    // A connection name of its own per purge: two purges never share one, nor the GUI's.
    const QString connectionName = QStringLiteral("TavrelPurge-%1").arg(purgeConnectionCounter.fetchAndAddOrdered(1));
    std::unique_ptr<DataBase> connection = DataBase::openWorkerConnection(databaseFile, connectionName);
    if (!connection->isOpen())
        return -1;
    // The purge looks up the favourites of every old order by its id; make sure that is indexed.
    createOrderIndexes(connection->database);
    QSqlQuery query(connection->database);
    // Old orders lie scattered over the amount and opening-time indexes: with the default cache of
    // 2 MB their pages are read and written again and again. The connection and its cache last only
    // as long as this purge.
    query.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(PURGE_CACHE_KB));
    int deleted = -1;
    if (query.prepare(PURGE_OLD_ORDERS.arg(TABLE_ORDERS, TABLE_FAVOURITES))) {
        query.bindValue(QStringLiteral(":MonthAgo"), purgeCutOff(nowUtc));
        if (query.exec())
            deleted = query.numRowsAffected();
    }
    query.finish();
    return deleted;
}

void TavrelDataBaseQuery::removeOldOrders()
{
    if (dataBase)
        purgeOldOrders(dataBase->databaseName(), Clock::currentDateTimeUtc());
}
