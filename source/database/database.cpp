#include "database.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdlib>

namespace {

// How long a connection waits for a lock held by another connection (the purge worker) before a
// statement fails with "database is locked".
const int BUSY_TIMEOUT_MS = 5000;

} // namespace

DataBase::DataBase(const QString &databaseName, const QString &userName, const QString &password, QObject *parent)
    : QObject(parent)
    , fileName(databaseName)
{
    if (!open(QLatin1String(QSqlDatabase::defaultConnection), userName, password)) {
        qDebug() << "Failed open data-base !";
        std::_Exit(-1);
    }
}

DataBase::DataBase(const QString &databaseName, const QString &connectionName, QObject *parent)
    : QObject(parent)
    , fileName(databaseName)
{
    open(connectionName, QString(), QString());
}

std::unique_ptr<DataBase> DataBase::openWorkerConnection(const QString &databaseName, const QString &connectionName)
{
    return std::unique_ptr<DataBase>(new DataBase(databaseName, connectionName, nullptr));
}

bool DataBase::open(const QString &connectionName, const QString &userName, const QString &password)
{
    database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    database.setDatabaseName(fileName);
    if (!userName.isNull())
        database.setUserName(userName);
    if (!password.isNull())
        database.setPassword(password);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BUSY_TIMEOUT_MS));
    if (!database.open())
        return false;
    // WAL lets the GUI connection read while the purge worker writes; NORMAL is durable enough with
    // WAL (a power cut can lose the last commits, never corrupt the file).
    execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // Some SQLite builds overwrite every freed page with zeros and write it out again, which makes the
    // clearing of a long list or the purge several times slower. Deleted rows are still overwritten on
    // the pages that are written anyway; freed pages keep their old bytes until they are reused.
    execute(QStringLiteral("PRAGMA secure_delete=FAST"));
    return true;
}

DataBase::~DataBase()
{
    tableExistsQuery = nullptr;
    qDeleteAll(queries);
    queries.clear();
    const QString connectionName = database.connectionName();
    database.close();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

bool DataBase::isOpen() const
{
    return database.isOpen();
}

bool DataBase::execute(const QString &statement)
{
    QSqlQuery query(database);
    const bool ok = query.exec(statement);
    query.finish();
    return ok;
}

QString DataBase::savepointName(int level)
{
    return QStringLiteral("tavrel_level_%1").arg(level);
}

bool DataBase::beginTransaction()
{
    ++transactionDepth;
    if (transactionDepth <= 1) {
        // IMMEDIATE takes the write lock at once (waiting through the busy timeout), so a transaction
        // that reads first never fails later on a snapshot another connection has moved on from.
        return execute(QStringLiteral("BEGIN IMMEDIATE"));
    }
    return execute(QStringLiteral("SAVEPOINT ") + savepointName(transactionDepth));
}

bool DataBase::closeLevel(bool commitLevel)
{
    const int level = transactionDepth;
    --transactionDepth;
    if (transactionDepth < 0) {
        qWarning() << "Unpaired transaction close";
        transactionDepth = 0;
    }
    if (level <= 1)
        return commitLevel ? database.commit() : database.rollback();
    const QString name = savepointName(level);
    if (commitLevel)
        return execute(QStringLiteral("RELEASE SAVEPOINT ") + name);
    const bool undone = execute(QStringLiteral("ROLLBACK TRANSACTION TO SAVEPOINT ") + name);
    return execute(QStringLiteral("RELEASE SAVEPOINT ") + name) && undone;
}

bool DataBase::commit()
{
    return closeLevel(true);
}

bool DataBase::rollback()
{
    return closeLevel(false);
}

bool DataBase::commitOrRollback()
{
    const int level = transactionDepth;
    if (closeLevel(true))
        return true;
    if (level <= 1) {
        database.rollback();
    } else {
        const QString name = savepointName(level);
        execute(QStringLiteral("ROLLBACK TRANSACTION TO SAVEPOINT ") + name);
        execute(QStringLiteral("RELEASE SAVEPOINT ") + name);
    }
    return false;
}

bool DataBase::commitAndSetResults(const QList<bool *> &flags, bool value)
{
    const bool ok = commitOrRollback();
    for (bool *flag : flags) {
        if (flag)
            *flag = ok ? value : !value;
    }
    return ok;
}

QSqlQuery *DataBase::cachedStatement(const QString &key, const QString &text, bool reprepare)
{
    QSqlQuery *query = queries.value(key, nullptr);
    if (query && !reprepare && !unprepared.contains(key))
        return query;
    if (!query) {
        query = new QSqlQuery(database);
        queries.insert(key, query);
    }
    // A failed preparation (a table not there yet, a lock held at that moment) must not disable the
    // statement for the rest of the run: remember it and prepare again on the next use.
    if (query->prepare(text))
        unprepared.remove(key);
    else
        unprepared.insert(key);
    return query;
}

QSqlQuery *DataBase::preparedQuery(const QString &text)
{
    return cachedStatement(text, text, false);
}

QSqlQuery *DataBase::namedQuery(const QString &name, const QString &text, bool reprepare)
{
    return cachedStatement(name, text, reprepare);
}

bool DataBase::isTableExists(const QString &tableName)
{
    if (!tableExistsQuery)
        tableExistsQuery = preparedQuery(
            QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = :table AND name = :tablename"));
    QSqlQuery query(*tableExistsQuery);
    query.bindValue(QStringLiteral(":table"), QStringLiteral("table"));
    query.bindValue(QStringLiteral(":tablename"), tableName);
    bool exists = false;
    if (query.exec() && query.next())
        exists = query.value(0).toInt() == 1;
    query.finish();
    return exists;
}
