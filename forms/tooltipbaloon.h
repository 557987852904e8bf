#ifndef TOOLTIPBALOON_H
#define TOOLTIPBALOON_H

#include <QDateTime>
#include <QWidget>

namespace Ui {
class ToolTipBaloon;
}

// One notification balloon: a small frameless window with a title and a message. The caller fills the
// form's labels (setTexts does it for the usual case) and hands the balloon to the balloon stack.
// A balloon never takes the keyboard focus, so typing elsewhere goes on undisturbed.
class ToolTipBaloon : public QWidget
{
    Q_OBJECT

public:
    explicit ToolTipBaloon(QWidget *parent = nullptr);
    ~ToolTipBaloon() override;

    // Puts the title and the message into the form's templates. Both are the program's own texts
    // (numbers and line breaks); nothing from the service goes into a balloon.
    void setTexts(const QString &title, const QString &message);

    Ui::ToolTipBaloon *ui;
    // UTC time of the last show; invalid before the first show and after a press.
    QDateTime shownAt;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

#endif // TOOLTIPBALOON_H
