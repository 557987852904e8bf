#include "testenvironment.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

QString ownHome;

// The variables of a private home with their folders in it; the last folder is the working directory.
const char *const FOLDERS = "HOME= XDG_CONFIG_HOME=/config XDG_DATA_HOME=/data XDG_CACHE_HOME=/cache "
                            "XDG_RUNTIME_DIR=/runtime TMPDIR=/tmp =/work";

// Makes the folders of a private home in home and hands each variable with its folder to set.
template<typename Set> void makeHome(const QString &home, Set set)
{
    for (const QString &entry : QString::fromLatin1(FOLDERS).split(QLatin1Char(' '))) {
        const QString folder = home + entry.section(QLatin1Char('='), 1);
        QDir().mkpath(folder);
        if (!entry.startsWith(QLatin1Char('=')))
            set(entry.section(QLatin1Char('='), 0, 0), folder);
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

TestEnvironment::TestEnvironment()
{
    if (!dir.isValid())
        qFatal("Cannot create the temporary test folder");
    ownHome = dir.path();
    makeHome(ownHome, [](const QString &name, const QString &folder) {
        // The temporary folder stays where it is: this one lives in it.
        if (name != QLatin1String("TMPDIR"))
            qputenv(name.toLatin1().constData(), QFile::encodeName(folder));
    });
    QStandardPaths::setTestModeEnabled(true);
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, ownHome + QStringLiteral("/config"));
    QDir::setCurrent(ownHome + QStringLiteral("/work"));
}

QProcessEnvironment TestEnvironment::childEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    makeHome(home.isEmpty() ? ownHome : home,
             [&](const QString &name, const QString &folder) { environment.insert(name, folder); });
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}
