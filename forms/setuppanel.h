#ifndef SETUPPANEL_H
#define SETUPPANEL_H

#include <QWidget>

namespace Ui {
class SetupPanel;
}

// The settings page of the main window. Every change takes effect and is saved at once.
class SetupPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SetupPanel(QWidget *parent = nullptr);
    ~SetupPanel() override;

    void loadSettings();

    static int intervalIndexToSeconds(int index);
    static int secondsToIntervalIndex(int seconds);

private slots:
    void intervalIndexChanged(int index);
    void workModeChanged(int index);
    void checkBoxChanged();
    void enterIntervalChanged(int value);
    void refreshEnableState();

private:
    Ui::SetupPanel *ui;
};

#endif // SETUPPANEL_H
