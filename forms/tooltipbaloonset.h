#ifndef TOOLTIPBALOONSET_H
#define TOOLTIPBALOONSET_H

#include <QList>
#include <QObject>
#include <QTimer>

class QWidget;

// The stack of notification balloons. It owns the balloons handed to it and is driven by a 500 ms timer.
class ToolTipBaloonSet : public QObject
{
    Q_OBJECT

public:
    explicit ToolTipBaloonSet(QObject *parent = nullptr);
    ~ToolTipBaloonSet() override;

    // Deletes every balloon at once.
    void clear();

    QTimer timer;
    QList<QWidget *> baloons;

public slots:
    void timeouted();
};

#endif // TOOLTIPBALOONSET_H
