#include "localservicefault.h"

LocalServiceFault LocalServiceFault::make(Kind kind, int value, const QString &text)
{
    LocalServiceFault fault;
    fault.kind = kind;
    fault.value = value;
    fault.text = text;
    return fault;
}

LocalServiceFault LocalServiceFault::delay(int msecs)
{
    return make(Delay, msecs);
}

LocalServiceFault LocalServiceFault::hang()
{
    return make(Hang);
}

LocalServiceFault LocalServiceFault::closeConnection()
{
    return make(CloseConnection);
}

LocalServiceFault LocalServiceFault::stopListening(int relistenAfterMsecs)
{
    return make(StopListening, relistenAfterMsecs);
}

LocalServiceFault LocalServiceFault::httpStatus(int status)
{
    return make(HttpStatus, status);
}

LocalServiceFault LocalServiceFault::emptyBody()
{
    return make(EmptyBody);
}

LocalServiceFault LocalServiceFault::malformedXml()
{
    return make(MalformedXml);
}

LocalServiceFault LocalServiceFault::truncatedXml()
{
    return make(TruncatedXml);
}

LocalServiceFault LocalServiceFault::partialBody(int bytes)
{
    return make(PartialBody, bytes);
}

LocalServiceFault LocalServiceFault::whitespacePadding()
{
    return make(WhitespacePadding);
}

LocalServiceFault LocalServiceFault::dorvaltMarker()
{
    return make(DorvaltMarker);
}

LocalServiceFault LocalServiceFault::resultCode(const QString &code)
{
    return make(ResultCode, 0, code);
}

LocalServiceFault LocalServiceFault::expireSessions()
{
    return make(ExpireSessions);
}

LocalServiceFault LocalServiceFault::changePassword(const QString &login, const QString &password)
{
    return make(ChangePassword, 0, login + QLatin1Char(':') + password);
}

LocalServiceFault LocalServiceFault::failPage(int page)
{
    LocalServiceFault fault = make(FailPage, page);
    fault.page = page;
    return fault;
}

LocalServiceFault LocalServiceFault::extraHeader(const QByteArray &name, const QByteArray &value)
{
    return make(ExtraHeader, 0, QString::fromLatin1(name + ": " + value));
}

LocalServiceFault LocalServiceFault::dictionaryWithoutList()
{
    return make(DictionaryWithoutList);
}

LocalServiceFault LocalServiceFault::dictionaryWithTwoLists()
{
    return make(DictionaryWithTwoLists);
}

LocalServiceFault LocalServiceFault::orderCount(int count)
{
    return make(OrderCount, count);
}

LocalServiceFault &LocalServiceFault::onPath(const QString &requestPath)
{
    path = requestPath;
    return *this;
}

LocalServiceFault &LocalServiceFault::onMethod(const QByteArray &requestMethod)
{
    method = requestMethod;
    return *this;
}

LocalServiceFault &LocalServiceFault::onRequest(int number)
{
    requestNumber = number;
    return *this;
}

LocalServiceFault &LocalServiceFault::onNth(int n)
{
    nth = n;
    return *this;
}

LocalServiceFault &LocalServiceFault::onPage(int pageNumber)
{
    page = pageNumber;
    if (kind == FailPage)
        value = pageNumber;
    return *this;
}

LocalServiceFault &LocalServiceFault::setTimes(int count)
{
    times = count;
    return *this;
}
