#ifndef DATABASETESTHELPERS_H
#define DATABASETESTHELPERS_H

// Small helpers shared by the database tests: raw SQL on a connection, bypassing the code under test.

#include "testenvironment.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QtTest>

namespace DbTest {

// Runs one statement; fails the calling test (through the returned bool) when it does not run.
inline bool exec(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(db);
    if (!query.prepare(sql)) {
        qWarning() << "prepare failed:" << sql << query.lastError().text();
        return false;
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning() << "exec failed:" << sql << query.lastError().text();
        return false;
    }
    return true;
}

// The first column of every row, in row order.
inline QVariantList column(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QVariantList result;
    QSqlQuery query(db);
    if (!query.prepare(sql))
        return {QStringLiteral("<prepare failed: %1>").arg(query.lastError().text())};
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return {QStringLiteral("<exec failed: %1>").arg(query.lastError().text())};
    while (query.next())
        result << query.value(0);
    return result;
}

inline QStringList strings(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QStringList result;
    for (const QVariant &value : column(db, sql, values))
        result << value.toString();
    return result;
}

inline QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    const QVariantList values_ = column(db, sql, values);
    return values_.isEmpty() ? QVariant() : values_.first();
}

inline QStringList tableColumns(const QSqlDatabase &db, const QString &table)
{
    QStringList result;
    QSqlQuery query(db);
    query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    while (query.next())
        result << query.value(1).toString();
    return result;
}

inline QStringList tables(const QSqlDatabase &db)
{
    return strings(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
}

// A trigger that makes every matching statement on the table fail, since tests run as root and file
// permissions cannot make a write fail. when is an SQL condition on NEW/OLD, or empty.
inline bool addFailingTrigger(const QSqlDatabase &db, const QString &name, const QString &event, const QString &table,
                              const QString &when = QString())
{
    const QString condition = when.isEmpty() ? QString() : QStringLiteral(" WHEN ") + when;
    return exec(db,
                QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON \"%3\"%4 BEGIN SELECT RAISE(ABORT, 'injected "
                               "failure'); END")
                    .arg(name, event, table, condition));
}

// Makes the outermost COMMIT fail although every statement ran: a deferred foreign key, checked only
// then, that a row in CommitGuard breaks. With a table, a trigger writes that row after each matching
// event; without one, the caller inserts it.
inline bool addCommitGuard(const QSqlDatabase &db, const QString &event = QString(), const QString &table = QString(),
                           const QString &when = QStringLiteral("1"))
{
    if (!exec(db, QStringLiteral("PRAGMA foreign_keys = ON"))
        || !exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS CommitGuardParent (Id INTEGER PRIMARY KEY)"))
        || !exec(db,
                 QStringLiteral("CREATE TABLE IF NOT EXISTS CommitGuard (ParentId INTEGER REFERENCES "
                                "CommitGuardParent(Id) DEFERRABLE INITIALLY DEFERRED)")))
        return false;
    return table.isEmpty()
        || exec(db,
                QStringLiteral("CREATE TRIGGER break_commit AFTER %1 ON \"%2\" WHEN %3 BEGIN INSERT INTO "
                               "CommitGuard VALUES (1); END")
                    .arg(event, table, when));
}

inline void removeCommitGuard(const QSqlDatabase &db)
{
    exec(db, QStringLiteral("DROP TRIGGER IF EXISTS break_commit"));
    exec(db, QStringLiteral("DROP TABLE IF EXISTS CommitGuard"));
    exec(db, QStringLiteral("DROP TABLE IF EXISTS CommitGuardParent"));
    exec(db, QStringLiteral("PRAGMA foreign_keys = OFF"));
}

// Re-runs this test binary in a child mode chosen by environment variables and returns the finished
// process (the caller checks its exit code and output).
struct ChildResult
{
    int exitCode = 0;
    QProcess::ExitStatus exitStatus = QProcess::NormalExit;
    QString output;
};

inline ChildResult runChild(const QString &envName, const QString &mode, const QStringList &extraEnv = {})
{
    QProcess process;
    QProcessEnvironment env = TestEnvironment::childEnvironment();
    env.insert(envName, mode);
    for (const QString &entry : extraEnv) {
        const int eq = entry.indexOf(QLatin1Char('='));
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    // The child ends through _Exit on purpose; leak reports there would be noise.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(), QStringList());
    ChildResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.exitCode = -1000;
        return result;
    }
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

} // namespace DbTest

#endif // DATABASETESTHELPERS_H
