#include "ordertablerowheader.h"

#include "ui_ordertablerowheader.h"

OrderTableRowHeader::OrderTableRowHeader(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_OrderTableRowHeader)
{
    ui->setupUi(this);
}

OrderTableRowHeader::~OrderTableRowHeader()
{
    delete ui;
}
