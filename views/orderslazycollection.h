#ifndef ORDERSLAZYCOLLECTION_H
#define ORDERSLAZYCOLLECTION_H

#include "sparsestore.h"

#include <QObject>
#include <QString>

namespace Entity {
class Order;
}

// The list behind a paged order view: the ids of the whole list at once, the order records only as
// rows ask for them. The owner (a paginator) fills it either from a database id query (listTypeText
// set, then reload) or by writing the two stores itself (favourites, server pages). The collection
// owns every record in `orders`. GUI thread only.
class OrdersLazyCollection : public QObject
{
    Q_OBJECT

public:
    explicit OrdersLazyCollection(QObject *parent = nullptr);
    ~OrdersLazyCollection() override;

    int count() const { return orders.count; }
    // The record at a list index, read from the database on first use; null when there is none.
    // An index outside the list reads nothing and changes nothing.
    Entity::Order *orderAt(int index);
    // Database lists: the ids of listTypeText in the sort order, with every record absent.
    // Owner-filled lists: the ids rebuilt from the cached records when the two counts differ.
    void reload();
    // Empties both stores and deletes every cached record.
    void clear();
    // Hands the record at an index to the caller and leaves the index absent.
    Entity::Order *takeOrder(int index);
    // Deletes every cached record; the count stays.
    void releaseOrders();

    SparseStore<Entity::Order *> orders {nullptr};
    SparseStore<qint64> ids {-1};
    QString listTypeText;
    int sortKey = 1;
    bool ascending = true;
};

#endif // ORDERSLAZYCOLLECTION_H
