#include "orderslazycollection.h"

#include "order.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"

namespace {

QString currentLogin()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app && app->synchronization ? app->synchronization->currentLogin() : QString();
}

TavrelDataBaseQuery *databaseQuery()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app ? app->dataBaseQuery.data() : nullptr;
}

} // namespace

OrdersLazyCollection::OrdersLazyCollection(QObject *parent)
    : QObject(parent)
{
}

OrdersLazyCollection::~OrdersLazyCollection()
{
    clear();
}

Entity::Order *OrdersLazyCollection::orderAt(int index)
{
    if (index < 0 || index >= orders.count)
        return nullptr;
    if (listTypeText.isEmpty() && ids.count < orders.count)
        return orders.value(index);
    if (Entity::Order *cached = orders.value(index))
        return cached;
    TavrelDataBaseQuery *query = databaseQuery();
    if (!query)
        return nullptr;
    Entity::Order *record = query->order(currentLogin(), ids.value(index));
    orders.set(index, record);
    return record;
}

void OrdersLazyCollection::reload()
{
    if (!listTypeText.isEmpty()) {
        TavrelDataBaseQuery *query = databaseQuery();
        const QList<qint64> list
            = query ? query->orderIds(currentLogin(), listTypeText, sortKey, ascending) : QList<qint64>();
        ids.clear();
        for (qint64 id : list)
            ids.append(id);
        // The owner cleared the cache before; nothing is deleted here.
        orders.reset(ids.count);
        return;
    }
    if (ids.count == orders.count)
        return;
    ids.clear();
    for (int i = 0; i < orders.count; ++i) {
        const Entity::Order *record = orders.value(i);
        const qint64 id = record ? record->id : -1;
        ids.append(id == 0 ? -1 : id);
    }
}

void OrdersLazyCollection::clear()
{
    ids.clear();
    qDeleteAll(orders.map);
    orders.clear();
}

Entity::Order *OrdersLazyCollection::takeOrder(int index)
{
    if (index < 0)
        return nullptr;
    Entity::Order *record = orders.value(index);
    if (record)
        orders.set(index, nullptr);
    return record;
}

void OrdersLazyCollection::releaseOrders()
{
    const int n = orders.count;
    qDeleteAll(orders.map);
    orders.reset(n);
}
