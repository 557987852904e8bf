#include "cleanupordersthread.h"

#include "tavreldatabasequery.h"

CleanupOrdersThread::CleanupOrdersThread(QObject *parent)
    : QThread(parent)
{
}

void CleanupOrdersThread::run()
{
    if (m_query)
        m_query->removeOldOrders();
}
