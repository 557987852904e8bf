#ifndef SHOTSUPPORT_H
#define SHOTSUPPORT_H

// What every screenshot program does around its pictures: the output folder from the command line, a
// private home, the application object in it, the stand-in of the service, the login on a core of its own,
// waiting, and saving the pictures.
#include "authorizationform.h"
#include "coregraph.h"
#include "localservice/localservice.h"
#include "localservice/localserviceuser.h"
#include "tavrelapplication.h"
#include "tavrelsynchronization.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace shots {

// The folder the pictures go to.
inline QString output;

// Lets pending events run for about `msecs`.
inline void settle(int msecs = 50)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while (timer.elapsed() < msecs);
}

// Runs the event loop until done() holds or the time is up; returns done().
inline bool waitFor(const std::function<bool()> &done, int msecs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < msecs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Saves a picture into the output folder and says so on the standard output.
inline bool savePicture(const QPixmap &picture, const QString &name)
{
    const bool saved = picture.save(QDir(output).filePath(name));
    QTextStream(stdout) << (saved ? "saved " : "FAILED ") << name << "\n";
    return saved;
}

// The widget's picture once pending events have run; with `caption`, a strip with its window title above
// it, as the display server has no window manager to draw one.
inline bool save(QWidget *widget, const QString &name, bool caption = false)
{
    if (!widget)
        return false;
    settle();
    const QPixmap content = widget->grab();
    const int strip = caption ? 26 : 0;
    QImage image(content.width(), content.height() + strip, QImage::Format_ARGB32);
    image.fill(QColor(214, 219, 225));
    QPainter painter(&image);
    painter.drawText(QRect(8, 0, image.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft, widget->windowTitle());
    painter.drawPixmap(0, strip, content);
    painter.end();
    return savePicture(QPixmap::fromImage(image), name);
}

// Logs in as the stand-in's "demo" through the login form once it is shown; false while it is not.
inline bool logInThroughTheForm(TavrelApplication &app)
{
    if (!app.authorizationForm || !app.authorizationForm->isVisible())
        return false;
    app.authorizationForm->findChild<QComboBox *>(QStringLiteral("cbLogin"))->setEditText(QStringLiteral("demo"));
    app.authorizationForm->findChild<QLineEdit *>(QStringLiteral("password"))->setText(QStringLiteral("demo"));
    app.authorizationForm->findChild<QPushButton *>(QStringLiteral("enterButton"))->click();
    return true;
}

// One run of a screenshot program: the output folder (argv[1]), a private home in which the user's
// settings, database and running instance stay untouched, the application object living in it and the
// stand-in of the service the client is pointed at. `status` is 0 once all is ready, else the exit code.
class Run
{
public:
    enum Kind {
        // The program's real start-up follows, with the home's data folder as its database folder.
        StartUp,
        // Windows are made one by one, on the desktop of a Russian-speaking subscriber (the display
        // server's speaks English), the stand-in's "demo" with a plain account.
        Standalone
    };

    Run(int argc, char *argv[], Kind kind)
    {
        if (argc < 2) {
            QTextStream(stderr) << "usage: " << QFileInfo(QString::fromLocal8Bit(argv[0])).fileName()
                                << " OUTPUT_FOLDER\n";
            return;
        }
        status = 1;
        output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
        QDir().mkpath(output);
        if (!home.isValid())
            return;
        for (const char *sub : {"config", "data", "tmp"})
            QDir(home.path()).mkpath(QString::fromLatin1(sub));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(homePath("config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(homePath("data")));
        qputenv("TMPDIR", QFile::encodeName(homePath("tmp")));
        words << QByteArray(argv[0]);
        if (kind == StartUp)
            words << QByteArray("-path") << QFile::encodeName(homePath("data"));
        for (QByteArray &word : words)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
        count = int(words.size());
        app = std::make_unique<TavrelApplication>(count, pointers.data());
        app->setApplicationName(QStringLiteral("Tavrel"));
        service = std::make_unique<LocalService>();
        if (!service->start()) {
            QTextStream(stderr) << "cannot start the stand-in service\n";
            return;
        }
        qputenv("TAVREL_BASE_URL", service->url().toUtf8());
        if (kind == Standalone) {
            QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
            service->addUser(QStringLiteral("demo"), QStringLiteral("demo"));
        }
        status = 0;
    }

    QString homePath(const char *name) const { return home.filePath(QString::fromLatin1(name)); }

    // Builds the client's core on a database in the home and logs in as the stand-in's "demo"; the engine,
    // or null when the login went unanswered.
    TavrelSynchronization *logIn(CoreGraph &graph)
    {
        graph.build(homePath("Tavrel.Dat"));
        TavrelSynchronization *engine = graph.engine();
        bool answered = false;
        QObject receiver;
        QObject::connect(engine, &TavrelSynchronization::authorizationReceived, &receiver, [&] { answered = true; });
        engine->login(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), true);
        return waitFor([&] { return answered; }) ? engine : nullptr;
    }

    // Drives the program's own loop through `steps`, each tried every 250 ms until it says it is done;
    // then ends the program. Gives up after `giveUpMsecs`. Returns the exit code: 0 when every step was done.
    int drive(const std::vector<std::function<bool()>> &steps, int giveUpMsecs)
    {
        size_t step = 0;
        QTimer driver;
        driver.setInterval(250);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (step < steps.size()) {
                if (steps[step]())
                    ++step;
                return;
            }
            app->closeApp();
        });
        driver.start();
        QTimer::singleShot(giveUpMsecs, app.get(), [&] {
            QTextStream(stderr) << "gave up waiting at step " << step << "\n";
            app->closeApp();
        });
        const int code = app->start();
        return code == 0 && step == steps.size() ? 0 : 1;
    }

    int status = 2;

private:
    QTemporaryDir home;
    QList<QByteArray> words;
    std::vector<char *> pointers;
    int count = 0;

public:
    std::unique_ptr<TavrelApplication> app;
    std::unique_ptr<LocalService> service;
};

} // namespace shots

#endif // SHOTSUPPORT_H
