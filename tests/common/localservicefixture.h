#ifndef LOCALSERVICEFIXTURE_H
#define LOCALSERVICEFIXTURE_H

#include "localservice/localservice.h"

#include <QScopedPointer>
#include <QString>

// Runs the local stand-in of the service inside a test process. Typical use:
//
//     class TestSomething : public QObject {
//         Q_OBJECT
//         LocalServiceFixture server;
//     private slots:
//         void initTestCase() { QVERIFY(server.start()); }
//         void someCase() { server.service()->addFault(LocalServiceFault::hang().once()); ... }
//     };
//
// start() listens on a free port of 127.0.0.1 and sets TAVREL_BASE_URL to the service's URL, so
// baseUrl() and with it every request of the client reaches the stand-in. It must run before
// anything in the process has called baseUrl() (which reads the variable once); it fails when
// baseUrl() already answers another address.
class LocalServiceFixture
{
public:
    LocalServiceFixture();
    ~LocalServiceFixture();

    bool start();
    LocalService *service() const { return local.data(); }
    LocalService *operator->() const { return local.data(); }
    QString url() const;

private:
    QScopedPointer<LocalService> local;
};

#endif // LOCALSERVICEFIXTURE_H
