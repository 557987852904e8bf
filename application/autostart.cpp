#include "autostart.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

QString AutoStart::entryName()
{
    return QStringLiteral("%1-%2-App").arg(QStringLiteral("Quorvin"), QCoreApplication::applicationName());
}

#ifdef Q_OS_WIN

namespace {
const char *const kRunKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

QString AutoStart::commandLine()
{
    QString program = QCoreApplication::applicationFilePath();
    QString dir = QCoreApplication::applicationDirPath();
    program.replace(QLatin1Char('/'), QLatin1Char('\\'));
    dir.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("\"%1\" -path \"%2\"").arg(program, dir);
}

bool AutoStart::setEnabled(bool enabled)
{
    QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    if (enabled)
        run.setValue(entryName(), commandLine());
    else
        run.remove(entryName());
    run.sync();
    return run.status() == QSettings::NoError;
}

bool AutoStart::isEnabled()
{
    QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    return run.contains(entryName());
}

#else

QString AutoStart::desktopFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/") + entryName() + QStringLiteral(".desktop"));
}

QString AutoStart::quoteExecArgument(const QString &argument)
{
    // Inside a quoted Exec argument '"', '`', '$' and '\' take a backslash; '%' is doubled because
    // the launcher reads it as a field code.
    QString quoted;
    quoted.reserve(argument.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

QString AutoStart::commandLine()
{
    return quoteExecArgument(QCoreApplication::applicationFilePath()) + QStringLiteral(" -path ")
        + quoteExecArgument(QCoreApplication::applicationDirPath());
}

bool AutoStart::setEnabled(bool enabled)
{
    const QString path = desktopFilePath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);

    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qDebug() << "Cannot create the autostart folder for" << path;
        return false;
    }
    // A desktop entry's string values escape a backslash once more on top of the Exec quoting.
    QString exec = commandLine();
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    const QString name = QCoreApplication::applicationName();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(name, exec);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(entry.toUtf8()) < 0 || !file.commit()) {
        qDebug() << "Cannot write the autostart entry" << path << file.errorString();
        return false;
    }
    return true;
}

bool AutoStart::isEnabled()
{
    return QFileInfo::exists(desktopFilePath());
}

#endif
