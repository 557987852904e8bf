#ifndef VIEWSFIXTURE_H
#define VIEWSFIXTURE_H

// What the order-view tests share: a logged-in subscriber of the stand-in and a way to store orders
// of a given list for them.

#include "syncfixture.h"
#include "favouriteitem.h"
#include "order.h"
#include "testdata/realisticorders.h"
#include "vieworderspaginator.h"

#include <QSignalSpy>
#include <QSqlQuery>

struct StoredOrder
{
    qint64 id;
    int type;
    QString amount;
    int openingDay;
};

class ViewsFixture : public SyncFixture
{
public:
    // A fresh subscriber of the running test, logged in, with no orders.
    void startSubscriber()
    {
        login = newSubscriber();
        QVERIFY(startAs(login));
    }
    void store(const QList<StoredOrder> &orders)
    {
        QList<Entity::Order *> records;
        const QDateTime base(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
        for (const StoredOrder &stored : orders) {
            Entity::Order *order = realisticOrder(stored.id, stored.type, base.addDays(stored.openingDay));
            if (!stored.amount.isEmpty())
                order->amount = stored.amount;
            records << order;
        }
        query->saveOrdersWithType(login, records, nullptr);
        qDeleteAll(records);
    }
    // count orders of one list, ids first..first+count-1, opening one day apart.
    void storeRange(qint64 first, int count, int type)
    {
        QList<StoredOrder> orders;
        for (int i = 0; i < count; ++i)
            orders << StoredOrder {first + i, type, QString(), i};
        store(orders);
    }
    void favour(qint64 orderId, int state = Entity::FavouriteItemList::Sync)
    {
        Entity::FavouriteItem item;
        item.id = orderId;
        item.state = Entity::FavouriteItemList::State(state);
        item.login = login;
        item.changed = true;
        item.changeDate = QDateTime::currentDateTimeUtc();
        query->saveFavourite(login, &item);
    }
    bool removeRow(qint64 orderId)
    {
        QSqlQuery sql(dataBase->database);
        sql.prepare(QStringLiteral("DELETE FROM %1 WHERE Id = ?").arg(TABLE_ORDERS));
        sql.addBindValue(orderId);
        return sql.exec();
    }
    Entity::OrderList::Type storedType(qint64 orderId)
    {
        return query->orderType(login, orderId, Entity::OrderList::Error);
    }
    // Loads the paginator's list, shown at 1000 x 700 unless hidden, and waits for the end of the load.
    bool load(ViewOrdersPaginator &paginator, bool shown = true)
    {
        paginator.panel.resize(1000, 700);
        paginator.panel.setVisible(shown);
        QSignalSpy finished(&paginator, &ViewOrdersPaginator::loadingFinished);
        paginator.requestNewOrders();
        engine->processTasks();
        return finished.count() > 0 || finished.wait(15000);
    }

    QString login;
};

#endif // VIEWSFIXTURE_H
