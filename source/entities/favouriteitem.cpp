#include "favouriteitem.h"

#include "constants.h"
#include "order.h"
#include "recordmaphelpers.h"

namespace Entity {

FavouriteItem::FavouriteItem()
    : state(FavouriteItemList::New)
    , id(0)
    , changed(false)
    , order(nullptr)
{
}

FavouriteItem::~FavouriteItem()
{
    delete order;
}

void FavouriteItem::fromVariantMap(QVariantMap map, bool withOrder)
{
    const auto idIt = map.constFind(KEY_ID);
    id = (idIt != map.constEnd() ? *idIt : map.value(KEY_ORDER_ID)).toLongLong();
    login = map.value(KEY_LOGIN).toString();
    readIfPresent(map, KEY_STATE,
                  [this](const QVariant &value) { state = FavouriteItemList::stringToState(value.toString()); });
    if (!withOrder)
        return;
    const auto orderIt = map.constFind(KEY_ORDERS);
    if (orderIt == map.constEnd()) {
        delete order;
        order = nullptr;
        return;
    }
    if (!order)
        order = new Order;
    order->fromVariantMap(orderIt->toMap());
}

QVariantMap FavouriteItem::toVariantMap(bool withOrder) const
{
    QVariantMap map;
    map.insert(KEY_ID, qlonglong(id));
    map.insert(KEY_ORDER_ID, qlonglong(id));
    map.insert(KEY_LOGIN, login);
    map.insert(KEY_STATE, FavouriteItemList::stateToString(state));
    if (withOrder && order)
        map.insert(KEY_ORDERS, order->toVariantMap());
    return map;
}

} // namespace Entity
