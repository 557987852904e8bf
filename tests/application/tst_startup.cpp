#include "testapplication.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <vector>

// Starts the real program in child processes, each test in a private home (settings, XDG folders and the
// temporary folder that holds the single-instance socket), against an address where nothing listens.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void activationMessageAndServerName();
    void secondStartActivatesTheFirstAndOpensNoDatabase();
    void staleSocketFileDoesNotDisableTheGuard();
    void otherMessagesAndSilentClientsAreIgnoredWithoutBlocking();
    void pathOptionIsExactAndCaseSensitive();
    void unopenableDatabaseEndsWithMinusOne();
    void failedMigrationEndsWithMinusOne();

private:
    QProcess *startProgram(const QStringList &arguments, const QString &workingDirectory = QString());
    QString makeDir(const QString &name);
    QString socketPath() const;
    bool waitUntilListening(QProcess *process, int timeoutMs);
    static int exitCodeOf(QProcess *process) { return process->exitCode(); }

    QString program;
    QString unusedBaseUrl;
    std::unique_ptr<QTemporaryDir> home;
    std::vector<std::unique_ptr<QProcess>> processes;
};

void TestStartup::initTestCase()
{
    program = qEnvironmentVariable("TAVREL_PROGRAM");
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        QSKIP("TAVREL_PROGRAM does not name the program");
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    unusedBaseUrl = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
}

void TestStartup::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    for (const char *sub : {"config", "data", "cache", "runtime", "tmp", "work"})
        QVERIFY(QDir(home->path()).mkpath(QString::fromLatin1(sub)));
    QFile::setPermissions(home->filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestStartup::cleanup()
{
    for (auto &process : processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    processes.clear();
    home.reset();
}

QString TestStartup::makeDir(const QString &name)
{
    const QString path = home->filePath(name);
    QDir().mkpath(path);
    return path;
}

QString TestStartup::socketPath() const
{
    return home->filePath(QStringLiteral("tmp/QUORVIN_Tavrel"));
}

QProcess *TestStartup::startProgram(const QStringList &arguments, const QString &workingDirectory)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString h = home->path();
    env.insert(QStringLiteral("HOME"), h);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), h + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), h + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), h + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), h + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("TMPDIR"), h + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TAVREL_BASE_URL"), unusedBaseUrl);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workingDirectory.isEmpty() ? home->filePath(QStringLiteral("work"))
                                                            : workingDirectory);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, arguments);
    process->waitForStarted(10000);
    processes.push_back(std::move(process));
    return processes.back().get();
}

bool TestStartup::waitUntilListening(QProcess *process, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (process->state() == QProcess::NotRunning)
            return false;
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(200)) {
            socket.abort();
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

void TestStartup::activationMessageAndServerName()
{
    QByteArray message;
    TavrelApplication::writeActivateMessage(&message);
    QCOMPARE(message, QByteArray("\x00\x01", 2));
    QCOMPARE(TavrelApplication::localServerName(), QStringLiteral("QUORVIN_") + QCoreApplication::applicationName());
}

void TestStartup::secondStartActivatesTheFirstAndOpensNoDatabase()
{
    const QString firstDir = makeDir(QStringLiteral("first"));
    const QString secondDir = makeDir(QStringLiteral("second"));
    QProcess *first = startProgram({QStringLiteral("-path"), firstDir});
    QVERIFY(waitUntilListening(first, 30000));
    // The guard listens before the database is opened, so the file may come a moment later.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(firstDir + QStringLiteral("/Tavrel.Dat")), 30000);
    QVERIFY(!QFileInfo::exists(home->filePath(QStringLiteral("work/Tavrel.Dat"))));
    QCOMPARE(
        QFileInfo(firstDir + QStringLiteral("/Tavrel.Dat")).permissions()
            & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
        QFileDevice::Permissions());

    QProcess *second = startProgram({QStringLiteral("-path"), secondDir});
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(exitCodeOf(second), 0);
    QVERIFY(!QFileInfo::exists(secondDir + QStringLiteral("/Tavrel.Dat")));

    QByteArray firstLog;
    QTRY_VERIFY_WITH_TIMEOUT((firstLog += first->readAllStandardError()).contains("come to the front"), 10000);
    QCOMPARE(first->state(), QProcess::Running);
}

void TestStartup::staleSocketFileDoesNotDisableTheGuard()
{
    const QString dir = makeDir(QStringLiteral("db"));
    QProcess *crashed = startProgram({QStringLiteral("-path"), dir});
    QVERIFY(waitUntilListening(crashed, 30000));
    ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(10000));
    QVERIFY2(QFileInfo::exists(socketPath()), "a killed instance leaves its socket file behind");

    QProcess *next = startProgram({QStringLiteral("-path"), dir});
    QVERIFY(waitUntilListening(next, 30000));

    const QString otherDir = makeDir(QStringLiteral("other"));
    QProcess *later = startProgram({QStringLiteral("-path"), otherDir});
    QVERIFY(later->waitForFinished(30000));
    QCOMPARE(exitCodeOf(later), 0);
    QVERIFY(!QFileInfo::exists(otherDir + QStringLiteral("/Tavrel.Dat")));
    QCOMPARE(next->state(), QProcess::Running);
}

void TestStartup::otherMessagesAndSilentClientsAreIgnoredWithoutBlocking()
{
    QProcess *first = startProgram({QStringLiteral("-path"), makeDir(QStringLiteral("first"))});
    QVERIFY(waitUntilListening(first, 30000));

    QLocalSocket silent;
    silent.connectToServer(socketPath());
    QVERIFY(silent.waitForConnected(2000));
    QLocalSocket other;
    other.connectToServer(socketPath());
    QVERIFY(other.waitForConnected(2000));
    other.write(QByteArray("\x00\x02", 2)); // a value the channel does not know
    other.write(QByteArray("\x00", 1)); // and a lone byte
    QVERIFY(other.waitForBytesWritten(2000));
    QTest::qWait(500);

    // While a client stays silent, a later start is still served at once.
    QElapsedTimer timer;
    timer.start();
    QProcess *second = startProgram({QStringLiteral("-path"), makeDir(QStringLiteral("second"))});
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(exitCodeOf(second), 0);
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += first->readAllStandardError()).contains("come to the front"), 10000);
    QCOMPARE(log.count("come to the front"), 1);
    QVERIFY2(timer.elapsed() < 20000, "the running instance must not wait for silent clients");
    QCOMPARE(first->state(), QProcess::Running);
}

void TestStartup::pathOptionIsExactAndCaseSensitive()
{
    const QString dir = makeDir(QStringLiteral("upper"));
    const QString work = home->filePath(QStringLiteral("work"));
    QProcess *process = startProgram({QStringLiteral("-PATH"), dir}, work);
    QVERIFY(waitUntilListening(process, 30000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(work + QStringLiteral("/Tavrel.Dat")), 30000);
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/Tavrel.Dat")));
}

void TestStartup::unopenableDatabaseEndsWithMinusOne()
{
    const QString dir = makeDir(QStringLiteral("broken"));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("Tavrel.Dat"))); // a folder where the file should be
    QProcess *process = startProgram({QStringLiteral("-path"), dir});
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(exitCodeOf(process), 255); // -1
}

void TestStartup::failedMigrationEndsWithMinusOne()
{
    const QString dir = makeDir(QStringLiteral("migration"));
    {
        // A file whose order table already has a column that a later step adds: that step cannot run.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepare"));
        db.setDatabaseName(dir + QStringLiteral("/Tavrel.Dat"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE OrderTable (Type TEXT, Id INTEGER, Login TEXT, GosID TEXT)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prepare"));
    QProcess *process = startProgram({QStringLiteral("-path"), dir});
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(exitCodeOf(process), 255);
    QVERIFY(process->readAllStandardError().contains("Migration fault"));
}

TAVREL_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
