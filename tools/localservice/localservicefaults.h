#ifndef LOCALSERVICEFAULTS_H
#define LOCALSERVICEFAULTS_H

#include "localservicefault.h"
#include "localservicereply.h"
#include "localservicerequest.h"

#include <QList>

// The fault switches set on the stand-in service, with how often each has matched and fired.
class LocalServiceFaults
{
public:
    int add(const LocalServiceFault &fault); // returns an id for remove()
    void remove(int id);
    void clear();
    bool isEmpty() const { return entries.isEmpty(); }

    // The faults that fire for this request, in the order they were added; counts the match of
    // every fault whose conditions the request meets and spends one of its times when it fires.
    QList<LocalServiceFault> fire(const LocalServiceRequest &request);

    // Applies the reply faults among `fired` to a reply: first those that replace it (FailPage,
    // ResultCode), then the status and header ones, then those that spoil the body, in order.
    static void applyToReply(const QList<LocalServiceFault> &fired, LocalServiceReply *reply);

private:
    struct Entry
    {
        int id = 0;
        LocalServiceFault fault;
        int seen = 0;
    };
    QList<Entry> entries;
    int nextId = 1;
};

#endif // LOCALSERVICEFAULTS_H
