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
// runtime folder that holds the single-instance socket), against an address where nothing listens.
class TestStartup : public QObject
{
    Q_OBJECT

    QString program;
    QString unusedBaseUrl;
    std::unique_ptr<QTemporaryDir> home;
    std::vector<std::unique_ptr<QProcess>> processes;

    QString makeDir(const QString &name)
    {
        const QString path = home->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QString socketPath() const { return home->filePath(QStringLiteral("runtime/QUORVIN_Tavrel")); }
    bool databaseIn(const QString &dir) const { return QFileInfo::exists(dir + QStringLiteral("/Tavrel.Dat")); }

    // userHome: another user's home, who shares this home's temporary folder.
    QProcess *startProgram(const QStringList &arguments, const QString &userHome = QString())
    {
        QProcessEnvironment env = TestEnvironment::childEnvironment(userHome.isEmpty() ? home->path() : userHome);
        env.insert(QStringLiteral("TMPDIR"), home->filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("TAVREL_BASE_URL"), unusedBaseUrl);
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(home->filePath(QStringLiteral("work")));
        process->start(program, arguments);
        process->waitForStarted(10000);
        processes.push_back(std::move(process));
        return processes.back().get();
    }

    // Waits until the single-instance server of `process` accepts connections.
    bool waitUntilListening(QProcess *process)
    {
        bool listening = false;
        return QTest::qWaitFor(
                   [&] {
                       QLocalSocket socket;
                       socket.connectToServer(socketPath());
                       listening = socket.waitForConnected(200);
                       return listening || process->state() == QProcess::NotRunning;
                   },
                   30000)
            && listening;
    }

    // Starts a later instance and checks that it only activated the running one.
    void startSecondAndExpectActivation(QProcess *first, const QString &dir)
    {
        QProcess *second = startProgram({QStringLiteral("-path"), dir});
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!databaseIn(dir));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += first->readAllStandardError()).contains("come to the front"), 10000);
        QCOMPARE(log.count("come to the front"), 1);
        QCOMPARE(first->state(), QProcess::Running);
    }

private slots:
    void initTestCase()
    {
        program = qEnvironmentVariable("TAVREL_PROGRAM");
        if (program.isEmpty() || !QFileInfo(program).isExecutable())
            QSKIP("TAVREL_PROGRAM does not name the program");
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        unusedBaseUrl = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
    }

    void cleanup()
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

    void secondStartActivatesTheFirstAndOpensNoDatabase()
    {
        // The path option is exact and case-sensitive: "-PATH" leaves the database in the working folder.
        const QString work = home->filePath(QStringLiteral("work"));
        QProcess *first = startProgram({QStringLiteral("-PATH"), makeDir(QStringLiteral("upper"))});
        QVERIFY(waitUntilListening(first));
        // The guard listens before the database is opened, so the file may come a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(databaseIn(work), 30000);
        QVERIFY(!databaseIn(home->filePath(QStringLiteral("upper"))));
        QCOMPARE(
            QFileInfo(work + QStringLiteral("/Tavrel.Dat")).permissions()
                & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
            QFileDevice::Permissions());
        startSecondAndExpectActivation(first, makeDir(QStringLiteral("second")));
    }

    void staleSocketFileDoesNotDisableTheGuard()
    {
        const QString dir = makeDir(QStringLiteral("db"));
        QProcess *crashed = startProgram({QStringLiteral("-path"), dir});
        QVERIFY(waitUntilListening(crashed));
        ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY2(QFileInfo::exists(socketPath()), "a killed instance leaves its socket file behind");

        QProcess *next = startProgram({QStringLiteral("-path"), dir});
        QVERIFY(waitUntilListening(next));
        startSecondAndExpectActivation(next, makeDir(QStringLiteral("other")));
    }

    // The guard is per user: another user's start on the same machine is not taken for a second
    // instance of the first user's program.
    void anotherUserRunsAnInstanceOfHisOwn()
    {
        QProcess *first = startProgram({QStringLiteral("-path"), makeDir(QStringLiteral("first"))});
        QVERIFY(waitUntilListening(first));
        const QString otherHome = makeDir(QStringLiteral("otheruser"));
        const QString otherDir = makeDir(QStringLiteral("otheruser/db"));
        QProcess *other = startProgram({QStringLiteral("-path"), otherDir}, otherHome);
        QTRY_VERIFY_WITH_TIMEOUT(databaseIn(otherDir), 30000);
        QCOMPARE(other->state(), QProcess::Running);
        QVERIFY(!first->readAllStandardError().contains("come to the front"));
    }

    void otherMessagesAndSilentClientsAreIgnoredWithoutBlocking()
    {
        QProcess *first = startProgram({QStringLiteral("-path"), makeDir(QStringLiteral("first"))});
        QVERIFY(waitUntilListening(first));

        QLocalSocket silent;
        silent.connectToServer(socketPath());
        QVERIFY(silent.waitForConnected(2000));
        QLocalSocket other;
        other.connectToServer(socketPath());
        QVERIFY(other.waitForConnected(2000));
        other.write(QByteArray("\x00\x02", 2)); // a value the channel does not know
        other.write(QByteArray("\x00", 1)); // and a lone byte
        QVERIFY(other.waitForBytesWritten(2000));

        // While a client stays silent, a later start is still served, and only its message activates.
        QElapsedTimer timer;
        timer.start();
        startSecondAndExpectActivation(first, makeDir(QStringLiteral("second")));
        QVERIFY2(timer.elapsed() < 25000, "the running instance must not wait for silent clients");
        // The silent client is dropped after a short while.
        QTRY_VERIFY_WITH_TIMEOUT(silent.state() == QLocalSocket::UnconnectedState, 20000);
    }

    void brokenDatabaseEndsWithMinusOne_data()
    {
        QTest::addColumn<bool>("folderInTheWay");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unopenable file") << true << QByteArray();
        QTest::newRow("failed migration") << false << QByteArray("Migration fault");
    }

    void brokenDatabaseEndsWithMinusOne()
    {
        QFETCH(bool, folderInTheWay);
        QFETCH(QByteArray, message);
        const QString dir = makeDir(QStringLiteral("broken"));
        // A folder where the file should be; or a file whose order table already has a column that a later
        // step adds, so that step cannot run.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepare"));
        db.setDatabaseName(dir + QStringLiteral("/Tavrel.Dat"));
        QVERIFY(folderInTheWay ? QDir(dir).mkdir(QStringLiteral("Tavrel.Dat"))
                               : db.open()
                        && QSqlQuery(db).exec(
                            QStringLiteral("CREATE TABLE OrderTable (Type TEXT, Id INTEGER, Login TEXT, GosID TEXT)")));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("prepare"));
        QProcess *process = startProgram({QStringLiteral("-path"), dir});
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 255); // -1
        QVERIFY(process->readAllStandardError().contains(message));
    }
};

TAVREL_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
