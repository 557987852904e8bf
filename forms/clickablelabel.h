#ifndef CLICKABLELABEL_H
#define CLICKABLELABEL_H

#include <QLabel>

// A label that reports a mouse press as a signal.
class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

#endif // CLICKABLELABEL_H
