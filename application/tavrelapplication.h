#ifndef TAVRELAPPLICATION_H
#define TAVRELAPPLICATION_H

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>

class MainWindow;
class AuthorizationForm;
class TavrelNetworkAccessManager;
class NetworkRequestConstructor;
class DataBase;
class TavrelDataBaseQuery;
class QNetworkConfigurationManager;
class TavrelSynchronization;
class ProxySettingsWidget;

// The one application object: the meeting point through which every part of the program reaches
// the long-lived objects. It does not own them; each pointer turns null when its object goes.
class TavrelApplication : public QApplication
{
    Q_OBJECT

public:
    TavrelApplication(int &argc, char **argv);
    ~TavrelApplication() override;

    // The running application object, or null when there is none or it is of another class.
    static TavrelApplication *instance();

    // Records the paid-access flag the service reported for the logged-in user.
    void setFullAccess(bool value);
    void setTrayVisible(bool visible);
    // Copies settings left in a file without organisation name into the organisation's file, once.
    static void migrateSettings();

    QPointer<MainWindow> mainWindow;
    QPointer<AuthorizationForm> authorizationForm;
    QPointer<TavrelNetworkAccessManager> networkAccessManager;
    QPointer<NetworkRequestConstructor> requestConstructor;
    QPointer<DataBase> dataBase;
    QPointer<TavrelDataBaseQuery> dataBaseQuery;
    QPointer<QNetworkConfigurationManager> networkConfigurationManager;
    QPointer<TavrelSynchronization> synchronization;
    QPointer<ProxySettingsWidget> proxySettingsWidget;

    QSystemTrayIcon trayIcon;
    // True while the tray icon is really shown: never where the desktop has no tray.
    bool trayVisible = false;
    bool fullAccess = false;

public slots:
    // Reads the version status of a finished reply's context; false when the client must stop.
    bool processVersionStatus(QObject *sender);
};

#endif // TAVRELAPPLICATION_H
