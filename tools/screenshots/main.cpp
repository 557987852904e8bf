// tavrel-screenshots: runs the program's real start-up against an in-process stand-in of the service
// that reports an outdated client version, and saves pictures of the windows into a folder:
// login.png, version.png, proxy.png, mainwindow.png and settings.png. For looking at, not for tests; run it under a
// display server (scripts/screenshots.sh uses Xvfb).
#include "constants.h"
#include "mainwindow.h"
#include "proxysettingswidget.h"
#include "setuppanel.h"
#include "shotsupport.h"

int main(int argc, char *argv[])
{
    shots::Run run(argc, argv, shots::Run::StartUp);
    if (run.status)
        return run.status;
    TavrelApplication &app = *run.app;
    run.service->setVersionStatus(S_VERSION_OLD, run.service->url() + QStringLiteral("/download/Tavrel-1.3.exe"));

    // Each step returns true once it is done; the driver moves on to the next one.
    const std::vector<std::function<bool()>> steps {
        [&] { // the outdated-version notice comes up over the login form
            if (!app.versionForm.isVisible())
                return false;
            shots::save(&app.versionForm, QStringLiteral("version.png"));
            shots::save(app.authorizationForm, QStringLiteral("login.png"));
            app.versionForm.reject();
            return true;
        },
        [&] {
            if (app.proxySettingsWidget) {
                app.proxySettingsWidget->setProxy(
                    QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.example"), 3128));
                app.proxySettingsWidget->show();
            }
            return true;
        },
        [&] {
            shots::save(app.proxySettingsWidget, QStringLiteral("proxy.png"));
            if (app.proxySettingsWidget)
                app.proxySettingsWidget->hide();
            return true;
        },
        [&] { return shots::logInThroughTheForm(app); },
        [&] { return app.mainWindow && app.mainWindow->isVisible(); },
        [&] {
            shots::save(app.mainWindow, QStringLiteral("mainwindow.png"));
            SetupPanel settings;
            settings.loadSettings();
            settings.show();
            shots::save(&settings, QStringLiteral("settings.png"));
            return true;
        },
    };
    return run.drive(steps, 60000);
}
