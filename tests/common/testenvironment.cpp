#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace {

QString ownHome;

// The variables of a private home in folder home, whose folders are made here.
QList<QPair<QString, QString>> homeVariables(const QString &home)
{
    const QList<QPair<QString, QString>> variables {
        {QStringLiteral("HOME"), home},
        {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config")},
        {QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data")},
        {QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache")},
        {QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime")},
        {QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp")}};
    for (const auto &variable : variables) {
        QDir().mkpath(variable.second);
    }
    QDir().mkpath(home + QStringLiteral("/work"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return variables;
}

} // namespace

TestEnvironment::TestEnvironment()
    : dir(QDir::tempPath() + QStringLiteral("/tavrel-test-XXXXXX"))
{
    if (!dir.isValid()) {
        std::fprintf(stderr, "Cannot create the temporary test folder\n");
        std::exit(EXIT_FAILURE);
    }
    ownHome = dir.path();
    for (const auto &variable : homeVariables(ownHome)) {
        // The temporary folder stays where it is: this one lives in it.
        if (variable.first != QLatin1String("TMPDIR")) {
            qputenv(variable.first.toLatin1().constData(), QFile::encodeName(variable.second));
        }
    }
    QStandardPaths::setTestModeEnabled(true);
    const QString config = ownHome + QStringLiteral("/config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);

    previousWorkingDirectory = QDir::currentPath();
    QDir::setCurrent(ownHome + QStringLiteral("/work"));
}

TestEnvironment::~TestEnvironment()
{
    QDir::setCurrent(previousWorkingDirectory);
}

QString TestEnvironment::homePath() const
{
    return dir.path();
}

QProcessEnvironment TestEnvironment::childEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto &variable : homeVariables(home.isEmpty() ? ownHome : home)) {
        environment.insert(variable.first, variable.second);
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}
