#ifndef CLEANUPORDERSTHREAD_H
#define CLEANUPORDERSTHREAD_H

#include <QPointer>
#include <QThread>

class TavrelDataBaseQuery;

// Deletes the orders opened more than a month ago that no live favourite keeps.
// The only work off the GUI thread: the query object runs the statement on a
// database connection of this thread, never on the GUI thread's one.
class CleanupOrdersThread : public QThread
{
    Q_OBJECT

public:
    explicit CleanupOrdersThread(QObject *parent = nullptr);

    // Set on the GUI thread before each start; the engine that owns the thread is
    // destroyed (and waits for it) before the query object goes.
    void setDataBaseQuery(TavrelDataBaseQuery *query) { m_query = query; }

protected:
    void run() override;

private:
    TavrelDataBaseQuery *m_query = nullptr;
};

#endif // CLEANUPORDERSTHREAD_H
