#include "tavrelapplication.h"

#include "appsettings.h"

#include <QDir>
#include <QIcon>
#include <QSettings>

static void initTavrelResources()
{
    // The resources live in a static library, so their registration has to be asked for.
    Q_INIT_RESOURCE(resources);
}

TavrelApplication::TavrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    initTavrelResources();
    setOrganizationName(AppSettings::organizationNameUpper());
    migrateSettings();
    const QStringList args = arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("-path"))
        QDir::setCurrent(args.at(2));
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

void TavrelApplication::setTrayVisible(bool visible)
{
    trayVisible = visible && QSystemTrayIcon::isSystemTrayAvailable();
    if (trayVisible) {
        trayIcon.setIcon(QIcon(QStringLiteral(":/resources/tray_icon.png")));
        trayIcon.setToolTip(tr("Таврел"));
        trayIcon.show();
    } else {
        trayIcon.hide();
    }
}

TavrelApplication::~TavrelApplication()
{
    trayIcon.hide();
}

TavrelApplication *TavrelApplication::instance()
{
    return qobject_cast<TavrelApplication *>(QCoreApplication::instance());
}

void TavrelApplication::setFullAccess(bool value)
{
    fullAccess = value;
}

bool TavrelApplication::processVersionStatus(QObject *sender)
{
    Q_UNUSED(sender)
    return true;
}
