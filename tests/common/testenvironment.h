#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

// A fresh, private home for one test process: HOME, the XDG folders, the temporary folder and both
// user-scope settings paths point into a temporary folder that is removed at the end, Qt's standard
// paths run in test mode, and the working directory (where the database file is created) is that
// folder as well. Build it before the application object and keep it alive until after the object is gone.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment() { QDir::setCurrent(previousWorkingDirectory); }

    // The environment of a child process whose home is the given folder (this process's own when
    // empty): this process's variables with HOME, the XDG folders and TMPDIR inside that folder,
    // which are created, and the offscreen platform.
    static QProcessEnvironment childEnvironment(const QString &home = QString());

private:
    QTemporaryDir dir {QDir::tempPath() + QStringLiteral("/tavrel-test-XXXXXX")};
    QString previousWorkingDirectory = QDir::currentPath();
};

// Use instead of QTEST_MAIN, with the application class the test runs in, inside a TestEnvironment.
#define TAVREL_TEST_MAIN_IN(Application, TestClass)                                                                    \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TestEnvironment testEnvironment;                                                                               \
        Application app(argc, argv);                                                                                   \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi, true);                                                         \
        TestClass tc;                                                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

#endif // TESTENVIRONMENT_H
