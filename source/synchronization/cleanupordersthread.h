#ifndef CLEANUPORDERSTHREAD_H
#define CLEANUPORDERSTHREAD_H

#include <QThread>

// Deletes the orders opened more than a month ago that no live favourite keeps.
// The only work off the GUI thread: the query object runs the statement on a
// database connection of this thread, never on the GUI thread's one.
class CleanupOrdersThread : public QThread
{
    Q_OBJECT

public:
    explicit CleanupOrdersThread(QObject *parent = nullptr);

protected:
    void run() override;
};

#endif // CLEANUPORDERSTHREAD_H
