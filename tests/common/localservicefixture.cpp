#include "localservicefixture.h"

#include "constants.h"

#include <QtGlobal>

LocalServiceFixture::LocalServiceFixture()
    : local(new LocalService)
{
}

LocalServiceFixture::~LocalServiceFixture() = default;

bool LocalServiceFixture::start()
{
    if (!local->isListening() && !local->start(0)) {
        qWarning("LocalServiceFixture: the stand-in service cannot listen on 127.0.0.1");
        return false;
    }
    qputenv("TAVREL_BASE_URL", local->url().toUtf8());
    // A system proxy of the test machine must not carry loopback traffic.
    qputenv("no_proxy", "127.0.0.1,localhost");
    if (baseUrl() != local->url()) {
        qWarning("LocalServiceFixture: baseUrl() was read before the service started and stays %s",
                 qPrintable(baseUrl()));
        return false;
    }
    return true;
}

QString LocalServiceFixture::url() const
{
    return local->url();
}
