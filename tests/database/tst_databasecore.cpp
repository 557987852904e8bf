#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
#include "database.h"
#include "databasetesthelpers.h"
#include "tavrelmigration.h"

#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <memory>

namespace {

const char CHILD_ENV[] = "TAVREL_DBCORE_CHILD";
const char CHILD_FILE_ENV[] = "TAVREL_DBCORE_FILE";

const QStringList ALL_MIGRATIONS = {
    QStringLiteral("20131029-0010-MigrationTable"),
    QStringLiteral("20131029-0020-AddUserTable"),
    QStringLiteral("20131101-0000-Orders"),
    QStringLiteral("20131111-0000-AddFavourites"),
    QStringLiteral("20131120-0000-AddFiltersWithBranchesAndRegions"),
    QStringLiteral("20131211-0000-AddAdditionInfoFieldsToOrders"),
    QStringLiteral("20131213-0000-AddUserSettingsOptions"),
    QStringLiteral("20131218-0000-AddUserAccountPaided"),
    QStringLiteral("20140425_0000_AddProxySettings"),
};

QMap<TavrelMigration::Name, QString> standardNames()
{
    QMap<TavrelMigration::Name, QString> names;
    names.insert(TavrelMigration::Empty, QStringLiteral("20131028-0000-Empty"));
    for (int i = 0; i < ALL_MIGRATIONS.size(); ++i)
        names.insert(static_cast<TavrelMigration::Name>(i + 2), ALL_MIGRATIONS.at(i));
    return names;
}

// Child modes: the process is expected to end inside the code under test; reaching the end of a mode
// exits with 0, which the parent reports as a failure.
[[noreturn]] void runChildMode(const QByteArray &mode)
{
    const QString file = QString::fromLocal8Bit(qgetenv(CHILD_FILE_ENV));
    DataBase dataBase(file, QString(), QString());
    if (mode == "open") {
        // Opening succeeded, which the parent does not expect.
    } else if (mode == "migrate") {
        TavrelMigration migration(dataBase);
        migration.upToLastMigration();
    } else if (mode == "swapped" || mode == "duplicate" || mode == "zero") {
        QMap<TavrelMigration::Name, QString> names = standardNames();
        if (mode == "swapped")
            std::swap(names[TavrelMigration::AddUserTable], names[TavrelMigration::Orders]);
        else if (mode == "duplicate")
            names[TavrelMigration::AddFavourites] = names.value(TavrelMigration::Orders);
        else
            names.insert(TavrelMigration::NoMigration, QStringLiteral("20000101-0000-Zero"));
        TavrelMigration migration(dataBase, names);
    }
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

private slots:
    void init();
    void cleanup();

    void connectionPragmas();
    void nestedTransactions_data();
    void nestedTransactions();
    void commitAndSetResults_data();
    void commitAndSetResults();
    void statementCacheIdentity();
    void failedPrepareIsNotKept();
    void namedQueryPreparesAgainOnlyWhenAsked();
    void tableExists();
    void workerConnectionRunsBesideTheMainOne();
    void workerConnectionOnMissingFolderDoesNotEndProcess();

    void freshFileReachesLastMigration();
    void oldFileReachesLastMigration_data();
    void oldFileReachesLastMigration();
    void emptyHistoryCountsAsFirstStep();
    void upMigrationBounds();
    void failingStepLeavesFileUntouched();

    void fatalExits_data();
    void fatalExits();

private:
    QString filePath() const { return dir->filePath(QStringLiteral("Tavrel.Dat")); }
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DataBase> db;
};

void TestDataBaseCore::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    db = std::make_unique<DataBase>(filePath());
    QVERIFY(db->isOpen());
    QVERIFY(DbTest::exec(db->database, QStringLiteral("CREATE TABLE T (v TEXT)")));
}

void TestDataBaseCore::cleanup()
{
    db.reset();
    dir.reset();
    Clock::reset();
}

void TestDataBaseCore::connectionPragmas()
{
    auto worker = DataBase::openWorkerConnection(filePath(), QStringLiteral("pragmas"));
    // The worker waits for the main connection's locks instead of failing at once.
    QCOMPARE(DbTest::scalar(worker->database, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    QVERIFY(DbTest::scalar(worker->database, QStringLiteral("PRAGMA busy_timeout")).toInt() >= 1000);
}

// A script of transaction calls: b = begin, c = commitOrRollback, C = commit, r = rollback, "+x"
// inserts the value x, "!" breaks the next outermost commit, "?n" checks that another connection sees n
// rows. The results of the closing calls are collected in order; the rows are what reached the file.
void TestDataBaseCore::nestedTransactions_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("expectedRows");
    QTest::addColumn<QList<bool>>("expectedResults");

    QTest::newRow("single level commits") << QStringList {"b", "+a", "c"} << QStringList {"a"} << QList<bool> {true};
    QTest::newRow("inner rollback undoes only its own writes")
        << QStringList {"b", "+a", "b", "+b", "r", "+c", "c"} << QStringList {"a", "c"} << QList<bool> {true, true};
    QTest::newRow("outer rollback undoes a committed inner level")
        << QStringList {"b", "+a", "b", "+b", "c", "r"} << QStringList {} << QList<bool> {true, true};
    QTest::newRow("sibling levels") << QStringList {"b", "b", "+a", "r", "b", "+b", "C", "c"} << QStringList {"b"}
                                    << QList<bool> {true, true, true};
    QTest::newRow("unpaired close is refused") << QStringList {"r", "+a"} << QStringList {"a"} << QList<bool> {false};
    QTest::newRow("inner levels are invisible until the outermost commit")
        << QStringList {"b", "b", "+x", "c", "?0", "c", "?1", "b", "+y", "?1", "r", "?1"} << QStringList {"x"}
        << QList<bool> {true, true, true};
    QTest::newRow("a failed outermost commit rolls back, and a new transaction begins")
        << QStringList {"b", "+lost", "b", "!", "c", "c", "?0", "b", "+kept", "c"} << QStringList {"kept"}
        << QList<bool> {true, false, true};
}

void TestDataBaseCore::nestedTransactions()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, expectedRows);
    QFETCH(QList<bool>, expectedResults);

    auto reader = DataBase::openWorkerConnection(filePath(), QStringLiteral("reader"));
    const auto seen
        = [&reader] { return DbTest::strings(reader->database, QStringLiteral("SELECT v FROM T ORDER BY v")); };
    if (script.contains(QStringLiteral("!"))) // foreign keys can only be switched on outside a transaction
        QVERIFY(DbTest::addCommitGuard(db->database));
    QList<bool> results;
    for (const QString &step : script) {
        if (step == QLatin1String("b"))
            QVERIFY(db->beginTransaction());
        else if (step == QLatin1String("c"))
            results << db->commitOrRollback();
        else if (step == QLatin1String("C"))
            results << db->commit();
        else if (step == QLatin1String("r"))
            results << db->rollback();
        else if (step == QLatin1String("!")) // a deferred foreign-key violation, seen only by COMMIT
            QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO CommitGuard VALUES (42)")));
        else if (step.startsWith(QLatin1Char('?')))
            QCOMPARE(seen().size(), step.mid(1).toInt());
        else
            QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO T (v) VALUES (?)"), {step.mid(1)}));
    }
    QCOMPARE(db->transactionDepth, 0);
    QCOMPARE(results, expectedResults);
    QCOMPARE(seen(), expectedRows);
}

void TestDataBaseCore::commitAndSetResults_data()
{
    QTest::addColumn<bool>("commitFails");
    QTest::addColumn<bool>("value");
    QTest::addColumn<bool>("expectedFlag");

    QTest::newRow("committed, value true") << false << true << true;
    QTest::newRow("failed, value true") << true << true << false;
}

void TestDataBaseCore::commitAndSetResults()
{
    QFETCH(bool, commitFails);
    QFETCH(bool, value);
    QFETCH(bool, expectedFlag);

    QVERIFY(DbTest::addCommitGuard(db->database));
    bool first = !expectedFlag;
    bool second = !expectedFlag;
    QVERIFY(db->beginTransaction());
    if (commitFails)
        QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO CommitGuard VALUES (7)")));
    QCOMPARE(db->commitAndSetResults({&first, nullptr, &second}, value), !commitFails);
    QCOMPARE(first, expectedFlag);
    QCOMPARE(second, expectedFlag);

    QVERIFY(db->beginTransaction());
    QCOMPARE(db->commitAndSetResults({}, value), true);
    QCOMPARE(db->transactionDepth, 0);
}

void TestDataBaseCore::statementCacheIdentity()
{
    const QString text = QStringLiteral("SELECT v FROM T WHERE v = :v");
    QSqlQuery *first = db->preparedQuery(text);
    QVERIFY(first);
    QCOMPARE(db->preparedQuery(text), first);
    QVERIFY(db->preparedQuery(QStringLiteral("SELECT v FROM T WHERE v =  :v")) != first);

    QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO T VALUES ('one'), ('two')")));
    QSqlQuery copy(*first);
    copy.bindValue(QStringLiteral(":v"), QStringLiteral("two"));
    QVERIFY(copy.exec());
    QVERIFY(copy.next());
    QCOMPARE(copy.value(0).toString(), QStringLiteral("two"));
    copy.finish();
}

void TestDataBaseCore::failedPrepareIsNotKept()
{
    const QString text = QStringLiteral("SELECT COUNT(*) FROM Later");
    QSqlQuery *early = db->preparedQuery(text);
    QVERIFY(early);
    {
        QSqlQuery query(*early);
        QVERIFY(!query.exec());
    }
    QVERIFY(DbTest::exec(db->database, QStringLiteral("CREATE TABLE Later (x)")));
    QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO Later VALUES (1), (2)")));
    QSqlQuery query(*db->preparedQuery(text));
    QVERIFY(query.exec());
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toInt(), 2);
    query.finish();
    // Once prepared it is the one cached statement for the text.
    QCOMPARE(db->preparedQuery(text), db->preparedQuery(text));
}

void TestDataBaseCore::namedQueryPreparesAgainOnlyWhenAsked()
{
    QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO T VALUES ('a'), ('b')")));
    auto firstValue = [](QSqlQuery *cached) {
        QSqlQuery query(*cached);
        query.exec();
        const QString value = query.next() ? query.value(0).toString() : QString();
        query.finish();
        return value;
    };
    QSqlQuery *named = db->namedQuery(QStringLiteral("Ids"), QStringLiteral("SELECT v FROM T WHERE v = 'a'"), false);
    QCOMPARE(firstValue(named), QStringLiteral("a"));
    QCOMPARE(db->namedQuery(QStringLiteral("Ids"), QStringLiteral("SELECT v FROM T WHERE v = 'b'"), false), named);
    QCOMPARE(firstValue(named), QStringLiteral("a"));
    QCOMPARE(db->namedQuery(QStringLiteral("Ids"), QStringLiteral("SELECT v FROM T WHERE v = 'b'"), true), named);
    QCOMPARE(firstValue(named), QStringLiteral("b"));
}

void TestDataBaseCore::tableExists()
{
    // A view of the name is no table.
    QVERIFY(DbTest::exec(db->database, QStringLiteral("CREATE VIEW MigrationHistory AS SELECT 1")));
    QVERIFY(!db->isTableExists(QStringLiteral("MigrationHistory")));
    QVERIFY(db->isTableExists(QStringLiteral("T")));
}

void TestDataBaseCore::workerConnectionRunsBesideTheMainOne()
{
    QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO T VALUES ('keep'), ('drop')")));
    const QString file = filePath();
    bool workerOk = false;
    std::unique_ptr<QThread> thread(QThread::create([file, &workerOk] {
        auto worker = DataBase::openWorkerConnection(file, QStringLiteral("worker-thread"));
        if (!worker->isOpen())
            return;
        worker->beginTransaction();
        QSqlQuery query(*worker->preparedQuery(QStringLiteral("DELETE FROM T WHERE v = :v")));
        query.bindValue(QStringLiteral(":v"), QStringLiteral("drop"));
        const bool deleted = query.exec();
        query.finish();
        workerOk = worker->commitOrRollback() && deleted;
    }));
    // The GUI connection holds an open read while the worker writes (WAL keeps both going).
    QSqlQuery reading(db->database);
    QVERIFY(reading.exec(QStringLiteral("SELECT v FROM T")));
    QVERIFY(reading.next());
    thread->start();
    QVERIFY(thread->wait(30000));
    reading.finish();
    QVERIFY(workerOk);
    QCOMPARE(DbTest::strings(db->database, QStringLiteral("SELECT v FROM T")), QStringList {"keep"});
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("worker-thread")));
}

void TestDataBaseCore::workerConnectionOnMissingFolderDoesNotEndProcess()
{
    auto worker = DataBase::openWorkerConnection(dir->filePath(QStringLiteral("missing/folder/Tavrel.Dat")),
                                                 QStringLiteral("missing"));
    QVERIFY(!worker->isOpen());
    QVERIFY(!worker->beginTransaction());
    QVERIFY(!worker->commitOrRollback());
    QCOMPARE(worker->transactionDepth, 0);
}

void TestDataBaseCore::freshFileReachesLastMigration()
{
    const QDateTime moment = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
    Clock::setFixed(moment);
    TavrelMigration migration(*db);
    QCOMPARE(migration.currentMigration(), TavrelMigration::Empty);
    QVERIFY(migration.upToLastMigration());
    QCOMPARE(migration.currentMigration(), TavrelMigration::AddProxySettings);
    QCOMPARE(db->transactionDepth, 0);

    QCOMPARE(DbTest::strings(db->database, QStringLiteral("SELECT MigrationName FROM MigrationHistory ORDER BY 1")),
             ALL_MIGRATIONS);
    QCOMPARE(DbTest::column(db->database, QStringLiteral("SELECT DISTINCT MigrationDate FROM MigrationHistory")),
             QVariantList {moment.toSecsSinceEpoch()});

    // The order key is per login.
    QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO OrderTable (Login, Id) VALUES ('a', 5), ('b', 5)")));
    QVERIFY(!DbTest::exec(db->database, QStringLiteral("INSERT INTO OrderTable (Login, Id) VALUES ('a', 5)")));

    // Date-times are stored as ISO text in INTEGER columns, and SQLite's DATETIME() reads them.
    QSqlQuery dated(db->database);
    QVERIFY(dated.prepare(QStringLiteral("INSERT INTO OrderTable (Login, Id, OpeningTime) VALUES ('c', 1, ?)")));
    dated.addBindValue(QDateTime(QDate(2014, 5, 3), QTime(22, 30), Qt::UTC));
    QVERIFY(dated.exec());
    QCOMPARE(
        DbTest::scalar(db->database, QStringLiteral("SELECT DATETIME(OpeningTime) FROM OrderTable WHERE Login = 'c'"))
            .toString(),
        QStringLiteral("2014-05-03 22:30:00"));

    // Running it again changes nothing.
    QVERIFY(migration.upToLastMigration());
    QCOMPARE(DbTest::scalar(db->database, QStringLiteral("SELECT COUNT(*) FROM MigrationHistory")).toInt(), 9);
}

void TestDataBaseCore::oldFileReachesLastMigration_data()
{
    QTest::addColumn<int>("reached");
    for (int k = TavrelMigration::Empty; k <= TavrelMigration::LastMigration; ++k)
        QTest::addRow("file at step %d", k) << k;
}

void TestDataBaseCore::oldFileReachesLastMigration()
{
    QFETCH(int, reached);
    const QDateTime then = QDateTime(QDate(2014, 1, 2), QTime(3, 4, 5), Qt::UTC);
    const QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(21, 0, 0), Qt::UTC);
    {
        Clock::setFixed(then);
        TavrelMigration old(*db);
        QVERIFY(old.upMigration(static_cast<TavrelMigration::Name>(reached)));
        QCOMPARE(old.currentMigration(), static_cast<TavrelMigration::Name>(reached));
    }
    // Data written by the old version survives the later steps.
    if (reached >= TavrelMigration::AddUserTable)
        QVERIFY(DbTest::exec(db->database, QStringLiteral("INSERT INTO User (Login, Password) VALUES ('old', 'p')")));

    Clock::setFixed(now);
    TavrelMigration migration(*db);
    QVERIFY(migration.upToLastMigration());
    QCOMPARE(migration.currentMigration(), TavrelMigration::LastMigration);
    QCOMPARE(DbTest::strings(db->database, QStringLiteral("SELECT MigrationName FROM MigrationHistory ORDER BY 1")),
             ALL_MIGRATIONS);
    // Steps recorded by the old run keep their dates; the rest carry the time of this run.
    QSqlQuery query(db->database);
    QVERIFY(query.exec(QStringLiteral("SELECT MigrationName, MigrationDate FROM MigrationHistory")));
    while (query.next()) {
        const int step = migration.valueOf(query.value(0).toString());
        const QDateTime expected = step <= reached ? then : now;
        QCOMPARE(query.value(1).toLongLong(), expected.toSecsSinceEpoch());
    }
    if (reached >= TavrelMigration::AddUserTable)
        QCOMPARE(DbTest::strings(db->database, QStringLiteral("SELECT Password FROM User WHERE Login = 'old'")),
                 QStringList {"p"});
}

void TestDataBaseCore::emptyHistoryCountsAsFirstStep()
{
    QVERIFY(DbTest::exec(db->database,
                         QStringLiteral("CREATE TABLE MigrationHistory (MigrationName TEXT PRIMARY KEY "
                                        "NOT NULL, MigrationDate INTEGER)")));
    TavrelMigration migration(*db);
    QCOMPARE(migration.currentMigration(), TavrelMigration::Empty);
    QVERIFY(migration.upToLastMigration());
    QCOMPARE(DbTest::strings(db->database, QStringLiteral("SELECT MigrationName FROM MigrationHistory ORDER BY 1")),
             ALL_MIGRATIONS);
}

void TestDataBaseCore::upMigrationBounds()
{
    TavrelMigration migration(*db);
    QVERIFY(migration.upMigration(TavrelMigration::Empty));
    QVERIFY(!db->isTableExists(TABLE_MIGRATION_HISTORY));

    QVERIFY(migration.upMigration(TavrelMigration::AddFavourites));
    QVERIFY(!migration.upMigration(TavrelMigration::Orders));
    QCOMPARE(migration.currentMigration(), TavrelMigration::AddFavourites);
    QVERIFY(migration.upMigration(TavrelMigration::AddFavourites));
    QVERIFY(!migration.upStep(TavrelMigration::NoMigration));
    QVERIFY(!migration.upStep(static_cast<TavrelMigration::Name>(11)));

    // A file written by a later version is left alone.
    QVERIFY(
        DbTest::exec(db->database, QStringLiteral("INSERT INTO MigrationHistory VALUES ('20990101-0000-Future', 0)")));
    QCOMPARE(migration.currentMigration(), TavrelMigration::NoMigration);
    QVERIFY(!migration.upMigration(TavrelMigration::LastMigration));
    QVERIFY(!db->isTableExists(TABLE_FILTERS));
    QCOMPARE(db->transactionDepth, 0);
}

void TestDataBaseCore::failingStepLeavesFileUntouched()
{
    TavrelMigration migration(*db);
    QVERIFY(migration.upMigration(TavrelMigration::AddFiltersWithBranchesAndRegions));
    // An order table that already has a column of step 7 makes that step fail.
    QVERIFY(DbTest::exec(db->database, QStringLiteral("ALTER TABLE OrderTable ADD COLUMN GosID TEXT")));
    const QStringList columnsBefore = DbTest::tableColumns(db->database, TABLE_ORDERS);

    QTest::ignoreMessage(QtDebugMsg, "Failed up migration step: \"20131211-0000-AddAdditionInfoFieldsToOrders\"");
    QVERIFY(!migration.upMigration(TavrelMigration::LastMigration));
    QCOMPARE(db->transactionDepth, 0);
    QCOMPARE(migration.currentMigration(), TavrelMigration::AddFiltersWithBranchesAndRegions);
    QCOMPARE(DbTest::tableColumns(db->database, TABLE_ORDERS), columnsBefore);
    QVERIFY(!db->isTableExists(TABLE_USER_SETTINGS));
    QVERIFY(!db->isTableExists(TABLE_PROXY_SETTINGS));
}

// How the parent prepares the file before the child runs, and what the child must print.
void TestDataBaseCore::fatalExits_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("stepAfter");

    QTest::newRow("file cannot be opened") << "open"
                                           << "missing-folder" << QStringList {"Failed open data-base !"} << -1;
    QTest::newRow("names out of order") << "swapped"
                                        << "" << QStringList {"Error in migration order."} << -1;
    QTest::newRow("two steps share a name") << "duplicate"
                                            << "" << QStringList {"Error in migration order."} << -1;
    QTest::newRow("a name for step 0") << "zero"
                                       << "" << QStringList {"Error in migration order."} << -1;
    QTest::newRow("recording step 8 fails")
        << "migrate"
        << "trigger"
        << QStringList {"Failed up migration step: \"20131213-0000-AddUserSettingsOptions\"",
                        "Migration fault. Terminating."}
        << 6;
    QTest::newRow("file of a later version") << "migrate"
                                             << "future" << QStringList {"Migration fault. Terminating."} << 0;
}

void TestDataBaseCore::fatalExits()
{
    QFETCH(QString, mode);
    QFETCH(QString, setup);
    QFETCH(QStringList, messages);
    QFETCH(int, stepAfter);

    QString file = filePath();
    if (setup == QLatin1String("missing-folder")) {
        file = dir->filePath(QStringLiteral("no/such/folder/Tavrel.Dat"));
    } else if (!setup.isEmpty()) {
        TavrelMigration migration(*db);
        QVERIFY(migration.upMigration(TavrelMigration::AddFiltersWithBranchesAndRegions));
        if (setup == QLatin1String("trigger"))
            QVERIFY(DbTest::addFailingTrigger(db->database, QStringLiteral("fail_record"), QStringLiteral("INSERT"),
                                              TABLE_MIGRATION_HISTORY,
                                              QStringLiteral("NEW.MigrationName LIKE '20131213%'")));
        else if (setup == QLatin1String("future"))
            QVERIFY(DbTest::exec(db->database,
                                 QStringLiteral("INSERT INTO MigrationHistory VALUES ('20990101-0000-Future', 0)")));
    }
    const QStringList before = DbTest::tables(db->database);

    const DbTest::ChildResult child
        = DbTest::runChild(QLatin1String(CHILD_ENV), mode, {QLatin1String(CHILD_FILE_ENV) + QLatin1Char('=') + file});
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 255); // exit code -1
    for (const QString &message : messages)
        QVERIFY2(child.output.contains(message), qPrintable(child.output));

    if (stepAfter >= 0) {
        TavrelMigration migration(*db);
        QCOMPARE(int(migration.currentMigration()), stepAfter);
        QCOMPARE(DbTest::tables(db->database), before);
    }
}

TAVREL_CORE_TEST_MAIN(TestDataBaseCore)
#include "tst_databasecore.moc"
