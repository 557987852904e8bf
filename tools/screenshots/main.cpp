// tavrel-screenshots: runs the program's real start-up against an in-process stand-in of the service
// that reports an outdated client version, and saves pictures of the windows into a folder:
// login.png, version.png, proxy.png, mainwindow.png and settings.png. For looking at, not for tests; run it under a
// display server (scripts/screenshots.sh uses Xvfb).
#include "authorizationform.h"
#include "constants.h"
#include "localservice/localservice.h"
#include "mainwindow.h"
#include "proxysettingswidget.h"
#include "setuppanel.h"
#include "tavrelapplication.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        QTextStream(stderr) << "usage: tavrel-screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(output);

    // A private home: the user's settings, database and running instance stay untouched.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    for (const char *sub : {"config", "data", "tmp"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("TMPDIR", QFile::encodeName(home.filePath(QStringLiteral("tmp"))));

    QByteArray program = argv[0];
    QByteArray pathOption = "-path";
    QByteArray dataDir = QFile::encodeName(home.filePath(QStringLiteral("data")));
    std::vector<char *> args {program.data(), pathOption.data(), dataDir.data(), nullptr};
    int appArgc = 3;
    TavrelApplication app(appArgc, args.data());
    app.setApplicationName(QStringLiteral("Tavrel"));

    LocalService service;
    if (!service.start()) {
        QTextStream(stderr) << "cannot start the stand-in service\n";
        return 1;
    }
    service.setVersionStatus(S_VERSION_OLD, service.url() + QStringLiteral("/download/Tavrel-1.3.exe"));
    qputenv("TAVREL_BASE_URL", service.url().toUtf8());

    QStringList saved;
    auto save = [&](QWidget *widget, const QString &name) {
        if (!widget)
            return;
        const QString path = QDir(output).filePath(name);
        if (widget->grab().save(path))
            saved << path;
    };

    int step = 0;
    QTimer driver;
    driver.setInterval(250);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        switch (step) {
        case 0: // the outdated-version notice comes up over the login form
            if (!app.versionForm.isVisible())
                return;
            save(&app.versionForm, QStringLiteral("version.png"));
            save(app.authorizationForm, QStringLiteral("login.png"));
            app.versionForm.reject();
            step = 1;
            return;
        case 1:
            if (app.proxySettingsWidget) {
                app.proxySettingsWidget->setProxy(
                    QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.example"), 3128));
                app.proxySettingsWidget->show();
            }
            step = 2;
            return;
        case 2:
            save(app.proxySettingsWidget, QStringLiteral("proxy.png"));
            if (app.proxySettingsWidget)
                app.proxySettingsWidget->hide();
            step = 3;
            return;
        case 3:
            if (!app.authorizationForm)
                return;
            app.authorizationForm->findChild<QComboBox *>(QStringLiteral("cbLogin"))
                ->setEditText(QStringLiteral("demo"));
            app.authorizationForm->findChild<QLineEdit *>(QStringLiteral("password"))->setText(QStringLiteral("demo"));
            app.authorizationForm->findChild<QPushButton *>(QStringLiteral("enterButton"))->click();
            step = 4;
            return;
        case 4:
            if (!app.mainWindow || !app.mainWindow->isVisible())
                return;
            step = 5;
            return;
        case 5: {
            save(app.mainWindow, QStringLiteral("mainwindow.png"));
            SetupPanel settings;
            settings.loadSettings();
            settings.show();
            QCoreApplication::processEvents();
            save(&settings, QStringLiteral("settings.png"));
            step = 6;
            return;
        }
        default:
            app.closeApp();
            return;
        }
    });
    driver.start();
    QTimer::singleShot(60000, &app, [&] {
        QTextStream(stderr) << "gave up waiting at step " << step << "\n";
        app.closeApp();
    });

    const int code = app.start();
    for (const QString &path : qAsConst(saved))
        QTextStream(stdout) << path << "\n";
    return code == 0 && saved.size() >= 3 ? 0 : 1;
}
