#include "ordertablerow.h"

#include "ui_ordertablerow.h"

OrderTableRow::OrderTableRow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_OrderTableRow)
{
    ui->setupUi(this);
}

OrderTableRow::~OrderTableRow()
{
    delete ui;
}
