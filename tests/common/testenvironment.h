#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A fresh, private home for one test process: HOME, the XDG folders, the temporary folder and both
// user-scope settings paths point into a temporary folder that is removed at the end, Qt's standard
// paths run in test mode, and the working directory (where the database file is created) is that
// folder as well. Build it before the application object and keep it alive until after the object is gone.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    // The temporary folder that serves as HOME.
    QString homePath() const;

    // The environment of a child process whose home is the given folder (this process's own when
    // empty): this process's variables with HOME, the XDG folders and TMPDIR inside that folder,
    // which are created, and the offscreen platform.
    static QProcessEnvironment childEnvironment(const QString &home = QString());

private:
    QTemporaryDir dir;
    QString previousWorkingDirectory;
};

#endif // TESTENVIRONMENT_H
