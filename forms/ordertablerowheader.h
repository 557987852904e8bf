#ifndef ORDERTABLEROWHEADER_H
#define ORDERTABLEROWHEADER_H

#include <QWidget>

class Ui_OrderTableRowHeader;

// The only row of a list without orders: "no orders", or the column titles with the total.
// The delegate of the order lists creates and fills it; its labels are reached through ui.
class OrderTableRowHeader : public QWidget
{
    Q_OBJECT

public:
    explicit OrderTableRowHeader(QWidget *parent = nullptr);
    ~OrderTableRowHeader() override;

    Ui_OrderTableRowHeader *ui;
};

#endif // ORDERTABLEROWHEADER_H
