#include "editwordsform.h"
#include "ui_editwordsform.h"

EditWordsForm::EditWordsForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::EditWordsForm)
{
    ui->setupUi(this);
    connect(ui->btnSave, &QPushButton::pressed, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::pressed, this, &QDialog::reject);
}

EditWordsForm::~EditWordsForm()
{
    delete ui;
}
