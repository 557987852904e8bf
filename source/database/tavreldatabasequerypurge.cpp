// The daily purge of old orders. It runs on the purge worker thread, so it never touches the GUI
// thread's connection or statement cache: it opens a connection of its own to the same file.

#include "tavreldatabasequery.h"

#include "clock.h"
#include "constants.h"
#include "database.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

namespace {

const QString PURGE_OLD_ORDERS = QStringLiteral(
    "DELETE FROM %1 WHERE (DATETIME(OpeningTime) < DATETIME(:MonthAgo) AND (SELECT COUNT([%2].[OrderId]) FROM %2 "
    "WHERE [%2].[OrderId] = [%1].[Id] AND  [%2].[State] <> 'Deleted') = 0) ");

// Long enough to outwait a bulk save of the GUI thread, short enough not to hang a shut-down.
const int PURGE_BUSY_TIMEOUT_MS = 30000;

QAtomicInt purgeConnectionCounter;

} // namespace

QDateTime TavrelDataBaseQuery::purgeCutOff(const QDateTime &nowUtc)
{
    return nowUtc.toUTC().addMonths(-1);
}

int TavrelDataBaseQuery::purgeOldOrders(const QString &databaseFile, const QDateTime &nowUtc)
{
    const QString connectionName = QStringLiteral("TavrelPurge-%1").arg(purgeConnectionCounter.fetchAndAddOrdered(1));
    int deleted = -1;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        connection.setDatabaseName(databaseFile);
        connection.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(PURGE_BUSY_TIMEOUT_MS));
        if (connection.open()) {
            QSqlQuery query(connection);
            if (query.prepare(PURGE_OLD_ORDERS.arg(TABLE_ORDERS, TABLE_FAVOURITES))) {
                query.bindValue(QStringLiteral(":MonthAgo"), purgeCutOff(nowUtc));
                if (query.exec())
                    deleted = query.numRowsAffected();
            }
            query.finish();
        }
        connection.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return deleted;
}

QString TavrelDataBaseQuery::databaseFileName() const
{
    return dataBase ? dataBase->database.databaseName() : QString();
}

void TavrelDataBaseQuery::removeOldOrders()
{
    purgeOldOrders(databaseFileName(), Clock::currentDateTimeUtc());
}
