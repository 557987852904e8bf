#ifndef DATETIMEEDITBALLOON_H
#define DATETIMEEDITBALLOON_H

#include <QWidget>

namespace Ui {
class DateTimeEditBalloon;
}

// A small frameless window with a month calendar that the filter panel places over the calendar
// button of one of its date fields. It does not run a loop of its own: every way out hides it and then
// reports through finished(int), once per opening: 1 save, 2 clear, 0 cancel, which includes the shown
// balloon losing the activation (a click elsewhere). The owner reads ui->calendar's selected date afterwards.
class DateTimeEditBalloon : public QWidget
{
    Q_OBJECT

public:
    explicit DateTimeEditBalloon(QWidget *parent = nullptr);
    ~DateTimeEditBalloon() override;

    // Which date field of the owner the balloon edits; the balloon itself never reads it.
    int fieldIndex = 0;
    Ui::DateTimeEditBalloon *ui;

signals:
    void finished(int result);

public slots:
    void clickCancel();
    void clickSave();
    void clickReset();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The balloon stays open when the mouse leaves it.
    void leaveEvent(QEvent *event) override;

private:
    void finish(int result);

    bool closing = false;
};

#endif // DATETIMEEDITBALLOON_H
