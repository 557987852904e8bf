#ifndef ORDERTABLEROW_H
#define ORDERTABLEROW_H

#include <QWidget>

class Ui_OrderTableRow;

// An order row of a list page: number, region, sector, title link, amount, dates, star and site link.
// The delegate of the order lists creates and fills it; its labels are reached through ui.
class OrderTableRow : public QWidget
{
    Q_OBJECT

public:
    explicit OrderTableRow(QWidget *parent = nullptr);
    ~OrderTableRow() override;

    Ui_OrderTableRow *ui;
};

#endif // ORDERTABLEROW_H
