#ifndef AUTOSTART_H
#define AUTOSTART_H

#include <QString>

// Start with the user's session. On Windows it is a value under the current user's Run key; on other
// systems it is an XDG autostart entry in the user's configuration folder. Both hold the same command
// line: the program followed by "-path" and the program's directory, so that the database is found.
class AutoStart
{
public:
    // "Quorvin-<application name>-App": the name of the Run value and the base name of the desktop file.
    static QString entryName();
    // The command line that starts this program with its own directory as working directory.
    static QString commandLine();
    // Writes (on) or removes (off) the entry; removing an absent entry succeeds.
    static bool setEnabled(bool enabled);
    static bool isEnabled();

#ifndef Q_OS_WIN
    // The autostart desktop file (in the XDG configuration folder, "autostart" subfolder).
    static QString desktopFilePath();
    // Quotes one argument for the Exec key of a desktop entry.
    static QString quoteExecArgument(const QString &argument);
#endif
};

#endif // AUTOSTART_H
