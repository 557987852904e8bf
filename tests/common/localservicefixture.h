#ifndef LOCALSERVICEFIXTURE_H
#define LOCALSERVICEFIXTURE_H

#include "constants.h"
#include "localservice/localservice.h"

#include <memory>

// Runs the local stand-in of the service inside a test process: start() listens on a free port of
// 127.0.0.1 and sets TAVREL_BASE_URL to the service's URL, so baseUrl() and with it every request of
// the client reaches the stand-in. It must run before anything in the process has called baseUrl()
// (which reads the variable once); it fails when baseUrl() already answers another address.
class LocalServiceFixture
{
public:
    bool start()
    {
        if (!local->isListening() && !local->start(0))
            return false;
        qputenv("TAVREL_BASE_URL", local->url().toUtf8());
        // A system proxy of the test machine must not carry loopback traffic.
        qputenv("no_proxy", "127.0.0.1,localhost");
        return baseUrl() == local->url();
    }
    LocalService *service() const { return local.get(); }
    LocalService *operator->() const { return local.get(); }
    QString url() const { return local->url(); }

private:
    std::unique_ptr<LocalService> local = std::make_unique<LocalService>();
};

#endif // LOCALSERVICEFIXTURE_H
