#include "setuppanel.h"
#include "ui_setuppanel.h"

#include "appsettings.h"

#include <QtGlobal>

SetupPanel::SetupPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SetupPanel)
{
    ui->setupUi(this);
    ui->comboInterval->setEditable(false);
    connect(ui->comboInterval, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SetupPanel::intervalIndexChanged);
    connect(ui->comboWorkMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SetupPanel::workModeChanged);
    connect(ui->chkAutoEnter, &QCheckBox::stateChanged, this, &SetupPanel::checkBoxChanged);
    connect(ui->chkAutoRunProgram, &QCheckBox::stateChanged, this, &SetupPanel::checkBoxChanged);
    connect(ui->edEnterTimeout, QOverload<int>::of(&QSpinBox::valueChanged), this, &SetupPanel::enterIntervalChanged);
}

SetupPanel::~SetupPanel()
{
    delete ui;
}

int SetupPanel::intervalIndexToSeconds(int index)
{
    return index == 5 ? 3600 : 600 + 300 * index;
}

int SetupPanel::secondsToIntervalIndex(int seconds)
{
    const int minutes = (seconds / 300) * 5;
    switch (minutes) {
    case 15:
        return 1;
    case 20:
        return 2;
    case 25:
        return 3;
    case 30:
        return 4;
    default:
        return minutes > 30 ? 5 : 0;
    }
}

void SetupPanel::loadSettings()
{
    ui->comboInterval->setCurrentIndex(secondsToIntervalIndex(AppSettings::newOrdersRefreshIntervalTime()));
    ui->comboWorkMode->setCurrentIndex(AppSettings::isTrayMode() ? 1 : 0);
    ui->chkAutoEnter->setChecked(AppSettings::useAutoEnter());
    ui->chkAutoRunProgram->setChecked(AppSettings::isAutoBootApp());
    ui->edEnterTimeout->setValue(qMax(AppSettings::autoEnterTimeout(), 2));
    refreshEnableState();
}

void SetupPanel::intervalIndexChanged(int index)
{
    if (index < 0)
        return;
    AppSettings::setNewOrdersRefreshIntervalTime(intervalIndexToSeconds(index));
    AppSettings::saveSettings();
}

void SetupPanel::workModeChanged(int index)
{
    if (index < 0)
        return;
    AppSettings::setTrayMode(index == 1);
    AppSettings::saveSettings();
}

void SetupPanel::checkBoxChanged()
{
    if (sender() == ui->chkAutoEnter) {
        AppSettings::setUseAutoEnter(ui->chkAutoEnter->isChecked());
        AppSettings::saveSettings();
        refreshEnableState();
    } else if (sender() == ui->chkAutoRunProgram) {
        AppSettings::setAutoBootApp(ui->chkAutoRunProgram->isChecked());
        AppSettings::saveSettings();
    }
}

void SetupPanel::enterIntervalChanged(int value)
{
    AppSettings::setAutoEnterTimeout(value);
    AppSettings::saveSettings();
}

void SetupPanel::refreshEnableState()
{
    ui->edEnterTimeout->setEnabled(ui->chkAutoEnter->isChecked());
}
