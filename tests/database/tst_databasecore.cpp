#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
#include "database.h"
#include "databasetesthelpers.h"
#include "tavrelmigration.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

const char CHILD_ENV[] = "TAVREL_DBCORE_CHILD";
const char CHILD_FILE_ENV[] = "TAVREL_DBCORE_FILE";
using Migration = TavrelMigration;

// Child modes: the process is expected to end inside the code under test; reaching the end of a mode
// exits with 0, which the parent reports as a failure.
[[noreturn]] void runChildMode(const QByteArray &mode)
{
    DataBase dataBase(QString::fromLocal8Bit(qgetenv(CHILD_FILE_ENV)));
    Migration standard(dataBase);
    if (mode == "migrate")
        standard.upToLastMigration();
    QMap<Migration::Name, QString> names;
    for (int step = Migration::Empty; step <= Migration::LastMigration; ++step)
        names.insert(Migration::Name(step), standard.nameOf(Migration::Name(step)));
    if (mode == "swapped")
        std::swap(names[Migration::AddUserTable], names[Migration::Orders]);
    else if (mode == "zero")
        names.insert(Migration::NoMigration, QStringLiteral("20000101-0000-Zero"));
    if (mode != "open" && mode != "migrate")
        Migration checked(dataBase, names);
    std::_Exit(0);
}

} // namespace

class TestDataBaseCore : public QObject
{
    Q_OBJECT

public:
    TestDataBaseCore()
    {
        const QByteArray mode = qgetenv(CHILD_ENV);
        if (!mode.isEmpty())
            runChildMode(mode);
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DataBase> db;
    QString filePath() const { return dir->filePath(QStringLiteral("Tavrel.Dat")); }
    bool exec(const QString &sql) const { return DbTest::exec(db->database, sql); }
    QStringList rows(const QString &sql) const { return DbTest::rows(db->database, sql); }
    QStringList history() const
    {
        return rows(QStringLiteral("SELECT MigrationName FROM MigrationHistory ORDER BY 1"));
    }
    // The names of the steps after the first, in order: what a file at the last step has recorded.
    static QStringList allSteps(Migration &migration)
    {
        QStringList names;
        for (int step = Migration::MigrationTable; step <= Migration::LastMigration; ++step)
            names << migration.nameOf(Migration::Name(step));
        return names;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        db = std::make_unique<DataBase>(filePath());
        QVERIFY(db->isOpen());
        QVERIFY(exec(QStringLiteral("CREATE TABLE T (v TEXT)")));
    }

    void cleanup()
    {
        db.reset();
        dir.reset();
        Clock::reset();
    }

    // A script of transaction calls: b = begin, c = commitOrRollback, C = commit, r = rollback,
    // s = commitAndSetResults (its result, then the flags it set), "+x" inserts x, "!" breaks the next
    // outermost commit, "?n" checks that another connection sees n rows. The results of the closing
    // calls are collected as 1/0; the rows are what reached the file.
    void nestedTransactions_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expectedRows");
        QTest::addColumn<QString>("expectedResults");
        const auto row = [](const char *name, const char *script, const char *rows, const char *results) {
            QTest::newRow(name) << QString(script) << QString(rows) << QString(results);
        };
        row("single level commits", "b +a c", "a", "1");
        row("inner rollback undoes only its own writes", "b +a b +b r +c c", "a c", "11");
        row("outer rollback undoes a committed inner level", "b +a b +b c r", "", "11");
        row("sibling levels", "b b +a r b +b C c", "b", "111");
        row("unpaired close is refused", "r +a", "a", "0");
        row("inner levels are invisible until the outermost commit", "b b +x c ?0 c ?1 b +y ?1 r ?1", "x", "111");
        row("a failed outermost commit rolls back, and a new transaction begins", "b +lost b ! c c ?0 b +kept c",
            "kept", "101");
        row("flags set after a commit", "b +a s b s", "a", "111111");
        row("flags set after a failed commit", "b +a ! s", "", "000");
    }

    void nestedTransactions()
    {
        QFETCH(QString, script);
        QFETCH(QString, expectedRows);
        QFETCH(QString, expectedResults);

        auto reader = DataBase::openWorkerConnection(filePath(), QStringLiteral("reader"));
        const auto seen
            = [&reader] { return DbTest::rows(reader->database, QStringLiteral("SELECT v FROM T ORDER BY v")); };
        if (script.contains(QLatin1Char('!')))
            QVERIFY(DbTest::addCommitGuard(db->database));
        QString results;
        for (const QString &step : script.split(QLatin1Char(' '))) {
            bool flags[2] = {false, true};
            if (step == QLatin1String("b"))
                QVERIFY(db->beginTransaction());
            else if (step == QLatin1String("s")) {
                results += QString::number(db->commitAndSetResults({&flags[0], nullptr, &flags[1]}, true));
                results += QString::number(flags[0]) + QString::number(flags[1]);
            } else if (step == QLatin1String("c") || step == QLatin1String("C") || step == QLatin1String("r"))
                results += QString::number(step == QLatin1String("c")       ? db->commitOrRollback()
                                               : step == QLatin1String("C") ? db->commit()
                                                                            : db->rollback());
            else if (step == QLatin1String("!")) // a deferred foreign-key violation, seen only by COMMIT
                QVERIFY(exec(QStringLiteral("INSERT INTO CommitGuard VALUES (42)")));
            else if (step.startsWith(QLatin1Char('?')))
                QCOMPARE(seen().size(), step.mid(1).toInt());
            else
                QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO T (v) VALUES (?)"), {step.mid(1)}));
        }
        QCOMPARE(db->transactionDepth, 0);
        QCOMPARE(results, expectedResults);
        QCOMPARE(seen().join(QLatin1Char(' ')), expectedRows);
    }

    void statementCache()
    {
        // A failed preparation is not kept: the statement is prepared again once it can be.
        const QString text = QStringLiteral("SELECT COUNT(*) FROM Later");
        QVERIFY(!QSqlQuery(*db->preparedQuery(text)).exec());
        QVERIFY(exec(QStringLiteral("CREATE TABLE Later (x)")) && exec(QStringLiteral("INSERT INTO Later VALUES (1)")));
        QSqlQuery *prepared = db->preparedQuery(text);
        QCOMPARE(db->preparedQuery(text), prepared);
        QVERIFY(db->preparedQuery(text + QLatin1Char(' ')) != prepared);
        QSqlQuery copy(*prepared);
        QVERIFY(copy.exec() && copy.next());
        copy.finish();

        // A named statement is prepared again only when asked.
        const auto namedValue = [this](const char *text, bool reprepare) {
            QSqlQuery query(*db->namedQuery(QStringLiteral("Ids"), QString::fromLatin1(text), reprepare));
            const int value = query.exec() && query.next() ? query.value(0).toInt() : -1;
            query.finish();
            return value;
        };
        QCOMPARE(namedValue("SELECT 1", false), 1);
        QCOMPARE(namedValue("SELECT 2", false), 1);
        QCOMPARE(namedValue("SELECT 2", true), 2);

        // A view of the name is no table.
        QVERIFY(exec(QStringLiteral("CREATE VIEW MigrationHistory AS SELECT 1")));
        QVERIFY(!db->isTableExists(QStringLiteral("MigrationHistory")));
        QVERIFY(db->isTableExists(QStringLiteral("T")));
    }

    // A file at any step (0: one with an empty history table) reaches the last one; data written by
    // the old version survives, steps recorded by the old run keep their dates and the rest carry the
    // time of this run; running it again changes nothing.
    void fileReachesLastMigration_data()
    {
        QTest::addColumn<int>("reached");
        for (int step = 0; step <= Migration::LastMigration; ++step)
            QTest::addRow("file at step %d", step) << step;
    }

    void fileReachesLastMigration()
    {
        QFETCH(int, reached);
        const QDateTime then(QDate(2014, 1, 2), QTime(3, 4, 5), Qt::UTC);
        const QDateTime now(QDate(2026, 12, 6), QTime(21, 0, 0), Qt::UTC);
        Clock::setFixed(then);
        if (reached == 0)
            QVERIFY(exec(QStringLiteral("CREATE TABLE MigrationHistory (MigrationName TEXT PRIMARY KEY NOT NULL, "
                                        "MigrationDate INTEGER)")));
        else
            QVERIFY(Migration(*db).upMigration(Migration::Name(reached)));
        if (reached >= Migration::AddUserTable)
            QVERIFY(exec(QStringLiteral("INSERT INTO User (Login, Password) VALUES ('old', 'p')")));

        Clock::setFixed(now);
        Migration migration(*db);
        QCOMPARE(int(migration.currentMigration()), qMax(reached, int(Migration::Empty)));
        QVERIFY(migration.upToLastMigration());
        QVERIFY(migration.upToLastMigration());
        QCOMPARE(migration.currentMigration(), Migration::LastMigration);
        QCOMPARE(db->transactionDepth, 0);
        QCOMPARE(history(), allSteps(migration));
        QStringList dates;
        for (const QString &name : history())
            dates << QString::number((migration.valueOf(name) <= reached ? then : now).toSecsSinceEpoch());
        QCOMPARE(rows(QStringLiteral("SELECT MigrationDate FROM MigrationHistory ORDER BY MigrationName")), dates);
        if (reached >= Migration::AddUserTable)
            QCOMPARE(rows(QStringLiteral("SELECT Password FROM User WHERE Login = 'old'")), QStringList {"p"});
    }

    void upMigrationBounds()
    {
        Migration migration(*db);
        QVERIFY(migration.upMigration(Migration::Empty));
        QVERIFY(!db->isTableExists(TABLE_MIGRATION_HISTORY));
        QVERIFY(migration.upMigration(Migration::AddFavourites));
        QVERIFY(!migration.upMigration(Migration::Orders));
        QVERIFY(migration.upMigration(Migration::AddFavourites));
        QCOMPARE(migration.currentMigration(), Migration::AddFavourites);
        QVERIFY(!migration.upStep(Migration::NoMigration));
        QVERIFY(!migration.upStep(Migration::Name(11)));

        // A file written by a later version is left alone.
        QVERIFY(exec(QStringLiteral("INSERT INTO MigrationHistory VALUES ('20990101-0000-Future', 0)")));
        QCOMPARE(migration.currentMigration(), Migration::NoMigration);
        QVERIFY(!migration.upMigration(Migration::LastMigration));
        QVERIFY(!db->isTableExists(TABLE_FILTERS));
        QCOMPARE(db->transactionDepth, 0);
    }

    void failingStepLeavesFileUntouched()
    {
        Migration migration(*db);
        QVERIFY(migration.upMigration(Migration::AddFiltersWithBranchesAndRegions));
        // An order table that already has a column of step 7 makes that step fail.
        QVERIFY(exec(QStringLiteral("ALTER TABLE OrderTable ADD COLUMN GosID TEXT")));
        const QStringList schema = rows(QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name"));
        QTest::ignoreMessage(QtDebugMsg, "Failed up migration step: \"20131211-0000-AddAdditionInfoFieldsToOrders\"");
        QVERIFY(!migration.upMigration(Migration::LastMigration));
        QCOMPARE(db->transactionDepth, 0);
        QCOMPARE(migration.currentMigration(), Migration::AddFiltersWithBranchesAndRegions);
        QCOMPARE(rows(QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name")), schema);
    }

    // The child ends the process with exit code -1 and the message; the file stays at stepAfter.
    void fatalExits_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("setup"); // a statement run on a file at step 6 first, or "missing"
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("stepAfter");
        const auto row = [](const char *name, const char *mode, const char *setup, const char *message, int step) {
            QTest::newRow(name) << QString(mode) << QString(setup) << QString(message) << step;
        };
        const char *order = "Error in migration order.";
        row("file cannot be opened", "open", "missing", "Failed open data-base !", -1);
        row("names out of order", "swapped", "", order, -1);
        row("a name for step 0", "zero", "", order, -1);
        row("recording step 8 fails", "migrate",
            "CREATE TRIGGER f BEFORE INSERT ON MigrationHistory WHEN NEW.MigrationName LIKE '20131213%' BEGIN "
            "SELECT RAISE(ABORT, 'injected'); END",
            "Failed up migration step: \"20131213-0000-AddUserSettingsOptions\"", 6);
        row("file of a later version", "migrate", "INSERT INTO MigrationHistory VALUES ('20990101-0000-Future', 0)",
            "Migration fault. Terminating.", 0);
    }

    void fatalExits()
    {
        QFETCH(QString, mode);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(int, stepAfter);

        const bool missing = setup == QLatin1String("missing");
        if (stepAfter >= 0) {
            QVERIFY(Migration(*db).upMigration(Migration::AddFiltersWithBranchesAndRegions));
            QVERIFY(exec(setup));
        }
        const QStringList before = rows(QStringLiteral("SELECT name FROM sqlite_master ORDER BY name"));
        const QString file = missing ? dir->filePath(QStringLiteral("no/such/Tavrel.Dat")) : filePath();
        const auto child = DbTest::runChild(CHILD_ENV, mode, CHILD_FILE_ENV, file);
        QCOMPARE(child.first, 255); // exit code -1
        QVERIFY2(child.second.contains(message), qPrintable(child.second));
        if (stepAfter >= 0) {
            QCOMPARE(int(Migration(*db).currentMigration()), stepAfter);
            QCOMPARE(rows(QStringLiteral("SELECT name FROM sqlite_master ORDER BY name")), before);
        }
    }
};

TAVREL_CORE_TEST_MAIN(TestDataBaseCore)
#include "tst_databasecore.moc"
