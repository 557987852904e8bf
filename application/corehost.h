#ifndef COREHOST_H
#define COREHOST_H

#include <QPointer>
#include <QString>

class TavrelNetworkAccessManager;
class NetworkRequestConstructor;
class DataBase;
class TavrelDataBaseQuery;
class QNetworkConfigurationManager;
class TavrelSynchronization;
class QObject;

// What the core needs of the application object, with no widget in sight: the long-lived objects the
// start-up publishes, the paid-access flag, and the few things only the windows can do (the loading
// indicator, the version notice, the tray). The windowed program implements it in TavrelApplication;
// tests, benchmarks and tools without windows use HeadlessApplication.
class CoreHost
{
public:
    CoreHost(const CoreHost &) = delete;
    CoreHost &operator=(const CoreHost &) = delete;

    // The running host, or null before one exists and after it has gone.
    static CoreHost *instance();
    // The published engine and query object, or null while there is none.
    static TavrelSynchronization *currentSynchronization();
    static TavrelDataBaseQuery *currentDataBaseQuery();

    // Records the paid-access flag the service reported for the logged-in user, storing it for that
    // login; the windows are told when the stored flag changes.
    void setFullAccess(bool value);

    virtual void showLoadingIndicator() = 0;
    virtual void stopLoadingIndicator() = 0;
    // Reads the version status of a finished reply's context; false when the client must stop.
    virtual bool processVersionStatus(QObject *context) = 0;
    // Whether the service declared this client version unsupported; never reset during a run.
    virtual bool isVersionUnsupported() const = 0;
    virtual void setTrayVisible(bool visible) = 0;

    QPointer<TavrelNetworkAccessManager> networkAccessManager;
    QPointer<NetworkRequestConstructor> requestConstructor;
    QPointer<DataBase> dataBase;
    QPointer<TavrelDataBaseQuery> dataBaseQuery;
    QPointer<QNetworkConfigurationManager> networkConfigurationManager;
    QPointer<TavrelSynchronization> synchronization;
    bool fullAccess = false;

protected:
    CoreHost();
    virtual ~CoreHost();
    // The stored paid-access flag of the current login changed.
    virtual void fullAccessChanged() { }
};

#endif // COREHOST_H
