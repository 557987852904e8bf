#ifndef TAVRELAPPLICATION_H
#define TAVRELAPPLICATION_H

#include "corehost.h"
#include "tooltipbaloonset.h"
#include "versionform.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

class MainWindow;
class AuthorizationForm;
class ProxySettingsWidget;
class QLocalServer;
class QLocalSocket;

// The one application object of the windowed program: the meeting point through which every part of the
// program reaches the long-lived objects. Those objects belong to start(), which builds them as one graph
// in a fixed order and destroys them in reverse order when the event loop ends; each pointer turns null
// when its object goes. The application object itself owns the tray icon, the balloon stack, the version
// dialog and the single-instance server.
class TavrelApplication : public QApplication, public CoreHost
{
    Q_OBJECT

public:
    TavrelApplication(int &argc, char **argv);
    ~TavrelApplication() override;

    // The running application object, or null when there is none or it is of another class.
    static TavrelApplication *instance();

    // The start-up, the event loop and the tear-down; returns the loop's exit code.
    int start();

    void setTrayVisible(bool visible) override;
    void showLoadingIndicator() override;
    void stopLoadingIndicator() override;

    // "QUORVIN_" followed by the application name.
    static QString localServerName();
    // Where the guard listens: on Unix the name in the user's runtime folder, so that every user of
    // a machine has a guard of his own; on Windows the name itself.
    static QString localServerAddress();
    // The message a later start sends: a 16-bit value 1 in a data stream of version 12 (bytes 00 01).
    static void writeActivateMessage(QByteArray *data);
    // Copies settings left in a file without organisation name into the organisation's file, once.
    static void migrateSettings();

    // Whether the service declared this client version unsupported; never reset during a run.
    bool isVersionUnsupported() const override { return unsupportedVersion; }
    // Test seam: forgets the version status seen so far and closes the dialog.
    void resetVersionCheckForTesting();

    // Shows a top-level window, brings it back from minimised (still maximised or full screen when it
    // was), raises it and makes it the active window.
    static void bringToFront(QWidget *window);
    // While nobody is logged in the login form is the one window that may come up: brings it to the
    // front when it is shown, and says whether it was.
    bool raiseLoginForm();

    QPointer<MainWindow> mainWindow;
    QPointer<AuthorizationForm> authorizationForm;
    QPointer<ProxySettingsWidget> proxySettingsWidget;

    ToolTipBaloonSet baloonSet;
    bool versionDialogScheduled = false;
    VersionForm versionForm;
    QSystemTrayIcon trayIcon;
    // True while the tray icon is really shown: never where the desktop has no tray.
    bool trayVisible = false;
    QString versionStatus;
    QTimer versionTimer;
    QLocalServer *localServer = nullptr;

public slots:
    void execUpdateUrl(const QString &url);
    // Reads the version status of a finished reply's context; false when the client must stop.
    bool processVersionStatus(QObject *sender) override;
    void trayActivated();
    void closeApp();

private slots:
    void showVersionStatusDialog();
    void acceptIncomingMessage();
    void tryListenNamedPipe();

protected:
    void fullAccessChanged() override;

private:
    // Probes for a running instance. Returns true when one answered and was asked to come to the front.
    bool activateRunningInstance();
    void readActivationMessage(QLocalSocket *socket);

    bool unsupportedVersion = false;
    bool versionDialogRunning = false;
};

#endif // TAVRELAPPLICATION_H
