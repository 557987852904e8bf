#include "tavrelapplication.h"

#include "appsettings.h"
#include "authorizationform.h"
#include "constants.h"
#include "coregraph.h"
#include "database.h"
#include "formattedtextpatterns.h"
#include "mainwindow.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "proxysettingswidget.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"
#include "tavrelnetworkaccessmanager.h"
#include "tavrelsynchronization.h"
#include "ui_versionform.h"

#include <QDataStream>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QNetworkConfigurationManager>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <memory>

static void initTavrelResources()
{
    // The resources live in a static library, so their registration has to be asked for.
    Q_INIT_RESOURCE(resources);
}

namespace {

const int kProbeTimeoutMs = 1000;
const int kListenRetryMs = 2000;
// A later start sends its two bytes at once; a connection that stays silent is dropped after this.
const int kIncomingMessageTimeoutMs = 2000;
// The second instance leaves even if the running one never closes the connection.
const int kSecondInstanceExitMs = 3000;
const qint16 kActivateMessage = 1;

#ifndef Q_OS_WIN
// On Unix the server is a socket file that outlives a crashed process. A file that refuses connections
// belongs to nobody: it may be removed, so that the guard keeps working after a crash.
bool isStaleServer(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.abort();
        return false;
    }
    return probe.error() == QLocalSocket::ConnectionRefusedError;
}
#endif

Q_LOGGING_CATEGORY(startupLog, "tavrel.startup", QtWarningMsg)

} // namespace

TavrelApplication::TavrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    initTavrelResources();
    // The windows are drawn for "Segoe UI". Where it is missing, the condensed face of the usual
    // fallback family comes closest to its widths, so that no caption is clipped.
    QFont::insertSubstitution(QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans Condensed"));
    setOrganizationName(AppSettings::organizationNameUpper());
    migrateSettings();

    const QStringList args = arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("-path"))
        QDir::setCurrent(args.at(2));

    connect(&trayIcon, &QSystemTrayIcon::activated, this, &TavrelApplication::trayActivated);

    fullAccess = false;
    versionDialogScheduled = false;

    versionTimer.setInterval(0);
    versionTimer.setSingleShot(true);
    connect(&versionTimer, &QTimer::timeout, this, &TavrelApplication::showVersionStatusDialog);
}

TavrelApplication::~TavrelApplication()
{
    // The hidden template form is a widget: it must go while the GUI is still there.
    FormattedTextPatterns::release();
    trayIcon.hide();
    if (localServer) {
        localServer->close();
        delete localServer;
        localServer = nullptr;
    }
}

TavrelApplication *TavrelApplication::instance()
{
    return qobject_cast<TavrelApplication *>(QCoreApplication::instance());
}

QString TavrelApplication::localServerName()
{
    return QStringLiteral("QUORVIN_") + QCoreApplication::applicationName();
}

QString TavrelApplication::localServerAddress()
{
#ifdef Q_OS_WIN
    return localServerName();
#else
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? localServerName() : QDir(runtime).filePath(localServerName());
#endif
}

void TavrelApplication::writeActivateMessage(QByteArray *data)
{
    QDataStream out(data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_6); // stream version 12
    out << kActivateMessage;
}

void TavrelApplication::migrateSettings()
{
    QSettings oldSettings(QSettings::IniFormat, QSettings::UserScope, QString(), applicationName());
    const QStringList oldKeys = oldSettings.allKeys();
    if (oldKeys.isEmpty())
        return;
    QSettings newSettings(QSettings::IniFormat, QSettings::UserScope, organizationName(), applicationName());
    if (!newSettings.allKeys().isEmpty())
        return;
    for (const QString &key : oldKeys)
        newSettings.setValue(key, oldSettings.value(key));
    oldSettings.clear();
    newSettings.sync();
    oldSettings.sync();
}

bool TavrelApplication::activateRunningInstance()
{
    const QString name = localServerAddress();
    auto *probe = new QLocalSocket(this);
    probe->connectToServer(name, QIODevice::ReadWrite);
    if (probe->waitForConnected(kProbeTimeoutMs)) {
        QByteArray message;
        writeActivateMessage(&message);
        probe->write(message);
        probe->flush();
        probe->waitForBytesWritten(kProbeTimeoutMs);
        connect(probe, &QLocalSocket::disconnected, probe, &QObject::deleteLater);
        connect(probe, &QObject::destroyed, this, [] { QCoreApplication::exit(0); });
        QTimer::singleShot(kSecondInstanceExitMs, this, [] { QCoreApplication::exit(0); });
        probe->disconnectFromServer();
        return true;
    }

    const QLocalSocket::LocalSocketError error = probe->error();
    delete probe;
    if (error == QLocalSocket::ServerNotFoundError) {
        tryListenNamedPipe();
    }
#ifndef Q_OS_WIN
    else if (error == QLocalSocket::ConnectionRefusedError) {
        QLocalServer::removeServer(name);
        tryListenNamedPipe();
    }
#endif
    return false;
}

void TavrelApplication::tryListenNamedPipe()
{
    const QString name = localServerAddress();
    localServer = new QLocalServer(this);
    localServer->setSocketOptions(QLocalServer::UserAccessOption);
    bool listening = localServer->listen(name);
#ifndef Q_OS_WIN
    if (!listening && localServer->serverError() == QAbstractSocket::AddressInUseError && isStaleServer(name)) {
        QLocalServer::removeServer(name);
        listening = localServer->listen(name);
    }
#endif
    if (listening) {
        connect(localServer, &QLocalServer::newConnection, this, &TavrelApplication::acceptIncomingMessage);
        return;
    }
    qDebug() << "Cannot listen as" << name << localServer->errorString();
    delete localServer;
    localServer = nullptr;
    QTimer::singleShot(kListenRetryMs, this, &TavrelApplication::tryListenNamedPipe);
}

void TavrelApplication::acceptIncomingMessage()
{
    if (!localServer)
        return;
    while (QLocalSocket *socket = localServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readActivationMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kIncomingMessageTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readActivationMessage(socket);
    }
}

void TavrelApplication::readActivationMessage(QLocalSocket *socket)
{
    if (socket->bytesAvailable() < 2)
        return;
    QDataStream in(socket);
    in.setVersion(QDataStream::Qt_4_6);
    while (socket->bytesAvailable() >= 2) {
        qint16 value = 0;
        in >> value;
        if (value == kActivateMessage) {
            qDebug() << "Another start asked this instance to come to the front.";
            trayActivated();
        }
    }
    socket->close();
    socket->deleteLater();
}

int TavrelApplication::start()
{
    if (activateRunningInstance())
        return exec();

    setQuitOnLastWindowClosed(false);

    CoreGraph graph(this);
    AuthorizationForm *loginForm = graph.adopt(std::make_unique<AuthorizationForm>(nullptr));
    authorizationForm = loginForm;
    ProxySettingsWidget *proxyWidget = nullptr;
    graph.build(applicationName() + QStringLiteral(".Dat"),
                [&] { proxyWidget = graph.adopt(std::make_unique<ProxySettingsWidget>(nullptr)); });
    loginForm->loadLastSavedUser();

    mainWindow = graph.adopt(std::make_unique<MainWindow>(nullptr));

    proxySettingsWidget = proxyWidget;
    proxyWidget->setWindowFlags(Qt::WindowCloseButtonHint);

    loginForm->show();
    // A developer channel (enable "tavrel.startup.debug"): the moment the first window is up, which the
    // start-up benchmark waits for.
    QTimer::singleShot(0, this, [] { qCDebug(startupLog, "first form shown"); });
    AppSettings::loadSettings();
    synchronization->syncDictionariesNow();
    setTrayVisible(AppSettings::isTrayMode());

    const int exitCode = exec();
    graph.clear();
    return exitCode;
}

void TavrelApplication::setTrayVisible(bool visible)
{
    // Where the desktop has no tray the icon is never shown, and nothing may hide a window into it.
    trayVisible = visible && QSystemTrayIcon::isSystemTrayAvailable();
    if (trayVisible) {
        trayIcon.setIcon(QIcon(QStringLiteral(":/resources/tray_icon.png")));
        trayIcon.setToolTip(tr("Таврел"));
        trayIcon.show();
    } else {
        trayIcon.hide();
    }
}

void TavrelApplication::bringToFront(QWidget *window)
{
    window->show();
    // Only the minimised flag goes: a window that was maximised comes back maximised.
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
}

bool TavrelApplication::raiseLoginForm()
{
    if (!authorizationForm || !authorizationForm->isVisible())
        return false;
    authorizationForm->setFocus(Qt::ActiveWindowFocusReason);
    bringToFront(authorizationForm);
    return true;
}

void TavrelApplication::trayActivated()
{
    if (!authorizationForm || raiseLoginForm() || !mainWindow)
        return;
    bringToFront(mainWindow);
}

void TavrelApplication::fullAccessChanged()
{
    if (mainWindow && mainWindow->isVisible())
        mainWindow->switchPage();
}

void TavrelApplication::showLoadingIndicator()
{
    if (mainWindow)
        mainWindow->showLoadingIndicator();
}

void TavrelApplication::stopLoadingIndicator()
{
    if (mainWindow)
        mainWindow->stopLoadingIndicator();
}

void TavrelApplication::closeApp()
{
    versionForm.done(0);
    if (authorizationForm)
        authorizationForm->close();
    if (mainWindow)
        mainWindow->close();
    QCoreApplication::exit(0);
}

bool TavrelApplication::processVersionStatus(QObject *senderObject)
{
    auto *context = qobject_cast<NetworkRequestContext *>(sender());
    if (!context)
        context = qobject_cast<NetworkRequestContext *>(senderObject);
    if (!context)
        return !unsupportedVersion;

    const QString previous = versionStatus;
    // A reply without a result code stays without one: its readers tell "absent" from "empty".
    versionStatus = context->result.value(KEY_RESULT).toString();

    // Once the service has declared this version unsupported, nothing that arrives later revives it.
    if (unsupportedVersion)
        return false;

    if (versionDialogScheduled) {
        if (versionStatus == previous || versionStatus != E_VERSION_BAD) {
            if (versionStatus == S_VERSION_GOOD)
                context->result.insert(KEY_RESULT, S_OK);
            return true;
        }
        // An unsupported version reported after an outdated one: the new dialog replaces the old.
        versionTimer.stop();
        versionForm.done(0);
    }

    Ui::VersionForm *ui = versionForm.ui;
    ui->lbBadVersion->disconnect(this);
    ui->lbOldVersion->disconnect(this);
    versionForm.setResult(0);

    const bool bad = versionStatus == E_VERSION_BAD;
    if (bad || versionStatus == S_VERSION_OLD) {
        versionForm.retranslateUi();
        versionForm.setModal(true);
        QLabel *shown = bad ? ui->lbBadVersion : ui->lbOldVersion;
        QLabel *hidden = bad ? ui->lbOldVersion : ui->lbBadVersion;
        shown->show();
        hidden->hide();
        // The link comes from the server: escaped before it goes into rich text.
        const QString link = context->result.value(KEY_UPDATE_URL).toString().toHtmlEscaped();
        QString text = shown->text();
        text.replace(QStringLiteral("%1"), AppSettings::appVersion());
        text.replace(QStringLiteral("%2"), link);
        shown->setText(text);
        connect(shown, &QLabel::linkActivated, this, &TavrelApplication::execUpdateUrl);
        versionDialogScheduled = true;
        versionTimer.start();
        if (bad) {
            unsupportedVersion = true;
            return false;
        }
    }

    if (versionStatus == S_VERSION_GOOD)
        context->result.insert(KEY_RESULT, S_OK);
    return true;
}

void TavrelApplication::resetVersionCheckForTesting()
{
    versionTimer.stop();
    versionForm.done(0);
    versionForm.ui->lbBadVersion->disconnect(this);
    versionForm.ui->lbOldVersion->disconnect(this);
    versionDialogScheduled = false;
    unsupportedVersion = false;
    versionStatus.clear();
}

void TavrelApplication::showVersionStatusDialog()
{
    // A dialog that was closed to make way for another has not returned from its own loop yet: wait
    // for it, since a dialog cannot run twice at once.
    if (versionDialogRunning) {
        versionTimer.start();
        return;
    }
    versionDialogRunning = true;
    versionForm.exec();
    versionDialogRunning = false;
    // When an unsupported version was reported while the outdated notice was up, the notice was closed
    // to make way: the unsupported dialog follows on the timer and ends the program itself.
    if (versionTimer.isActive())
        return;
    if (unsupportedVersion)
        closeApp();
}

void TavrelApplication::execUpdateUrl(const QString &url)
{
    QUrl target(url, QUrl::TolerantMode);
    const QString scheme = target.scheme().toLower();
    // Only web links are opened: a link of any other scheme could start a local program.
    if (!target.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        target = QUrl(baseUrl());
    QDesktopServices::openUrl(target);
    versionForm.done(0);
    closeApp();
}
