#include "cleanupordersthread.h"

CleanupOrdersThread::CleanupOrdersThread(QObject *parent)
    : QThread(parent)
{
}

void CleanupOrdersThread::run() { }
