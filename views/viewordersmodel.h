#ifndef VIEWORDERSMODEL_H
#define VIEWORDERSMODEL_H

#include "favouriteitemlist.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QSize>

class OrdersLazyCollection;

// The model of one page of an order list. It carries no cell data: every row is a persistent row
// widget that the delegate builds from the collection. It keeps the page, the page size, the loading
// flag, the row sizes the delegate measured, and the favourite record of every list index. Links of a
// row widget arrive at rowActionActivated.
class ViewOrdersModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ViewOrdersModel(QObject *parent = nullptr);
    ~ViewOrdersModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Clears the collection held so far, then holds the new one.
    void setCollection(OrdersLazyCollection *newCollection);
    OrdersLazyCollection *orderCollection() const { return collection.data(); }
    const Entity::FavouriteItemList &favouriteItems() const { return favourites; }
    int currentPage() const { return page; }
    // Refreshes only when the page changes.
    void setCurrentPage(int newPage);
    // Stores the page without refreshing; the caller refreshes next.
    void selectPage(int newPage);
    int pageCount() const;
    // The list index of a row of the current page.
    int absoluteIndex(int row) const { return pageSize * page + row; }
    void refreshRow(int row);
    // Re-clamps the page to the list and re-reads the favourite marks, inside a model reset.
    void refresh();

    int pageSize;
    bool loading = false;
    int rowWidth = 800;
    QList<QSize> rowSizes;
    QPointer<OrdersLazyCollection> collection;
    // Entry i is the favourite record of the order at list index i, or null; owned.
    Entity::FavouriteItemList favourites;

signals:
    void favouriteCountChanged();
    void subItemMouseEaterClicked();

public slots:
    void rowActionActivated(const QString &url);

private:
    void setFavouriteEntry(int index, Entity::FavouriteItem *item);

    int page = 0;
};

#endif // VIEWORDERSMODEL_H
