#ifndef ORDERLIST_H
#define ORDERLIST_H

#include "entitylist.h"

#include <QString>
#include <QVariantList>

namespace Entity {

class Order;

// Orders held by pointer, under the ownership rule of EntityList.
class OrderList : public EntityList<Order>
{
    Q_OBJECT

public:
    // The list an order belongs to; its name is the text stored in the order table.
    enum Type { Error = -1, All = 0, New = 1, Viewed = 2, Search = 3, NewViewed = 4 };
    Q_ENUM(Type)

    using EntityList<Order>::EntityList;
    // One new record per element, filled from the element's map; whoever clears the list owns them.
    explicit OrderList(const QVariantList &list);
    // New records from the service's order maps, whose times run on the service's clock.
    static QList<Order *> fromServiceMaps(const QVariantList &list);

    QVariantList toVariantList() const;

    static QString typeToString(Type type);
    static Type stringToType(const QString &text);
};

} // namespace Entity

#endif // ORDERLIST_H
