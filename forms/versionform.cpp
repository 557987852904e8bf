#include "versionform.h"

#include "ui_versionform.h"

VersionForm::VersionForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::VersionForm)
{
    ui->setupUi(this);
    setWindowFlags(Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

VersionForm::~VersionForm()
{
    delete ui;
}

void VersionForm::retranslateUi()
{
    ui->retranslateUi(this);
}
