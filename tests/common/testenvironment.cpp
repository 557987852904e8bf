#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

TestEnvironment::TestEnvironment()
    : dir(QDir::tempPath() + QStringLiteral("/tavrel-test-XXXXXX"))
{
    if (!dir.isValid()) {
        std::fprintf(stderr, "Cannot create the temporary test folder\n");
        std::exit(EXIT_FAILURE);
    }
    const QString home = dir.path();
    const QString config = home + QStringLiteral("/config");
    const QString data = home + QStringLiteral("/data");
    const QString cache = home + QStringLiteral("/cache");
    const QString runtime = home + QStringLiteral("/runtime");
    const QString work = home + QStringLiteral("/work");
    for (const QString &path : {config, data, cache, runtime, work})
        QDir().mkpath(path);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);

    previousWorkingDirectory = QDir::currentPath();
    QDir::setCurrent(work);
}

TestEnvironment::~TestEnvironment()
{
    QDir::setCurrent(previousWorkingDirectory);
}

QString TestEnvironment::homePath() const
{
    return dir.path();
}
