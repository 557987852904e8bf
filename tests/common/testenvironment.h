#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include <QString>
#include <QTemporaryDir>

// A fresh, private home for one test process: HOME, the XDG folders and both user-scope settings
// paths point into a temporary folder that is removed at the end, Qt's standard paths run in test
// mode, and the working directory (where the database file is created) is that folder as well.
// Build it before the application object and keep it alive until after the object is gone.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    // The temporary folder that serves as HOME.
    QString homePath() const;

private:
    QTemporaryDir dir;
    QString previousWorkingDirectory;
};

#endif // TESTENVIRONMENT_H
