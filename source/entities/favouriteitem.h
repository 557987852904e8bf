#ifndef FAVOURITEITEM_H
#define FAVOURITEITEM_H

#include "favouriteitemlist.h"

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace Entity {

class Order;

// A subscriber's mark on one order. The record owns the order attached to it.
class FavouriteItem
{
public:
    FavouriteItem();
    ~FavouriteItem();

    // The id comes from "id", else from "orderid" (the column of a stored row). With withOrder the
    // map's nested "OrderTable" fills the attached order, creating it if needed; without that key
    // the attached order is destroyed. changeDate and changed are never read.
    void fromVariantMap(QVariantMap map, bool withOrder);
    QVariantMap toVariantMap(bool withOrder) const;

    FavouriteItemList::State state;
    QDateTime changeDate;
    qint64 id;
    QString login;
    bool changed;
    Order *order;

private:
    Q_DISABLE_COPY(FavouriteItem)
};

} // namespace Entity

#endif // FAVOURITEITEM_H
