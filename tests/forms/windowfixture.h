#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "mainwindow.h"
#include "syncfixture.h"
#include "tavrelapplication.h"

#include <QApplication>
#include <QMouseEvent>

#include <memory>

// The sync fixture with a main window on its engine, published as the application's window as the
// start-up does.
class WindowFixture : public SyncFixture
{
public:
    // A fresh subscriber logged in on a fresh engine, and a new window shown; the service's request log
    // starts after the login.
    bool openWindow()
    {
        closeWindow();
        if (!startAs(newSubscriber()))
            return false;
        service()->clearRequestLog();
        window = std::make_unique<MainWindow>();
        TavrelApplication::instance()->mainWindow = window.get();
        window->show();
        return true;
    }

    void closeWindow()
    {
        window.reset();
        destroyEngine();
    }

    // A mouse event for `target` at a point given in the window's coordinates.
    static void mouse(QWidget *target, QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons, QWidget *window)
    {
        const QPoint global = window->mapToGlobal(at);
        QMouseEvent event(type, target->mapFromGlobal(global), global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    std::unique_ptr<MainWindow> window;
};

#endif // WINDOWFIXTURE_H
