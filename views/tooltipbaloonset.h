#ifndef TOOLTIPBALOONSET_H
#define TOOLTIPBALOONSET_H

#include <QList>
#include <QObject>
#include <QTimer>

class ToolTipBaloon;

// The stack of notification balloons in the bottom-right corner of the screen. It owns the balloons
// handed to it; a 500 ms timer removes the newest one once it has been shown for more than 5 seconds
// (or was pressed), and the others follow one per tick.
class ToolTipBaloonSet : public QObject
{
    Q_OBJECT

public:
    explicit ToolTipBaloonSet(QObject *parent = nullptr);
    ~ToolTipBaloonSet() override;

    // Takes ownership of the balloon, places it on top of the stack and shows it.
    void addBaloon(ToolTipBaloon *baloon);
    // Places every balloon, newest at the bottom.
    void relayout();
    // Deletes every balloon at once.
    void clear();

    QTimer timer;
    // Newest first.
    QList<ToolTipBaloon *> baloons;

public slots:
    void timeouted();
};

#endif // TOOLTIPBALOONSET_H
