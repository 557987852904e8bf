#ifndef DATABASETESTHELPERS_H
#define DATABASETESTHELPERS_H

// Raw SQL on a connection, bypassing the code under test, and the faults the database tests inject.

#include "testenvironment.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace DbTest {

// Runs one statement; false (with a warning saying why) when it does not run.
inline bool exec(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(db);
    bool ok = query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!(ok = ok && query.exec()))
        qWarning() << sql << query.lastError().text();
    return ok;
}

// The first column of every row as text ("NULL" for a null), in row order; "<error>" when the
// statement does not run.
inline QStringList rows(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return {QStringLiteral("<error>")};
    QStringList result;
    while (query.next())
        result << (query.isNull(0) ? QStringLiteral("NULL") : query.value(0).toString());
    return result;
}

// Every matching statement on the table fails (tests run as root, so file modes cannot make a write
// fail). when is an SQL condition on NEW/OLD, or empty.
inline bool failOn(const QSqlDatabase &db, const QString &event, const QString &table, const QString &when = {})
{
    static int count = 0;
    return exec(db,
                QStringLiteral("CREATE TRIGGER fail%1 BEFORE %2 ON %3 %4 BEGIN SELECT RAISE(ABORT, 'injected'); END")
                    .arg(++count)
                    .arg(event, table, when.isEmpty() ? QString() : QStringLiteral("WHEN ") + when));
}

// Makes the outermost COMMIT fail although every statement ran: a deferred foreign key, checked only
// then, that a row in CommitGuard breaks. With a table, a trigger writes that row after each matching
// event; without one, the caller inserts it. Must be set up outside a transaction.
inline bool addCommitGuard(const QSqlDatabase &db, const QString &event = {}, const QString &table = {},
                           const QString &when = {})
{
    return exec(db, QStringLiteral("PRAGMA foreign_keys = ON"))
        && exec(db, QStringLiteral("CREATE TABLE CommitGuardParent (Id INTEGER PRIMARY KEY)"))
        && exec(db,
                QStringLiteral("CREATE TABLE CommitGuard (ParentId INTEGER REFERENCES CommitGuardParent(Id) "
                               "DEFERRABLE INITIALLY DEFERRED)"))
        && (table.isEmpty()
            || exec(db,
                    QStringLiteral("CREATE TRIGGER break_commit AFTER %1 ON %2 WHEN %3 BEGIN INSERT INTO "
                                   "CommitGuard VALUES (1); END")
                        .arg(event, table, when)));
}

// Re-runs this test binary with envName=mode and fileEnv=file; its exit code (-1000 when it hangs or
// crashes) and output.
inline QPair<int, QString> runChild(const char *envName, const QString &mode, const char *fileEnv, const QString &file)
{
    QProcessEnvironment env = TestEnvironment::childEnvironment();
    env.insert(QLatin1String(envName), mode);
    env.insert(QLatin1String(fileEnv), file);
    // The child ends through _Exit on purpose; leak reports there would be noise.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(), QStringList());
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    process.kill();
    return {ended ? process.exitCode() : -1000, QString::fromLocal8Bit(process.readAll())};
}

} // namespace DbTest

#endif // DATABASETESTHELPERS_H
