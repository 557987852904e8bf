#ifndef HTMLDELEGATE_H
#define HTMLDELEGATE_H

#include <QList>
#include <QPointer>
#include <QStyledItemDelegate>

class OrderTableRow;
class ViewOrdersModel;

// The delegate of the order tables: each row is a persistent row widget (an OrderTableRow filled from
// one order, or the OrderTableRowHeader of an empty list). It paints only the tint of rows that are
// neither new nor search results, and answers size hints from the model's row-size cache.
class HTMLDelegate : public QStyledItemDelegate
{
public:
    explicit HTMLDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Order rows released by the view are kept for the next page instead of being deleted.
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

    // Fills the header row of a list from the model; any other widget is left alone.
    static void updateHeaderRow(QWidget *header, ViewOrdersModel *model);

    QPointer<ViewOrdersModel> model;

private:
    QWidget *createOrderRow(QWidget *parent, int row) const;
    OrderTableRow *spareRow(QWidget *parent) const;

    mutable QList<QPointer<OrderTableRow>> spareRows;
};

#endif // HTMLDELEGATE_H
