#pragma once

// A realistic order as the service sends it (Russian texts of typical length, amounts with a currency
// word, every list column filled), for the large lists of tests and benchmarks.

#include "order.h"

#include <QDateTime>
#include <QStringList>
#include <QUrl>

inline Entity::Order *realisticOrder(qint64 id, int type, const QDateTime &openingTime)
{
    static const QStringList branches
        = {QStringLiteral("Строительство зданий и сооружений"), QStringLiteral("Поставка медицинского оборудования"),
           QStringLiteral("Услуги связи и информационные технологии")};
    static const QStringList regions
        = {QStringLiteral("Москва"), QStringLiteral("Санкт-Петербург"), QStringLiteral("Новосибирская область"),
           QStringLiteral("Республика Татарстан")};
    static const QStringList methods = {QStringLiteral("Электронный аукцион"), QStringLiteral("Запрос котировок"),
                                        QStringLiteral("Открытый конкурс")};
    auto *order = new Entity::Order;
    order->id = id;
    order->type = static_cast<Entity::OrderList::Type>(type);
    order->openingTime = openingTime;
    order->closingTime = openingTime.addDays(10 + id % 20);
    order->changeDate = openingTime.addSecs(3600);
    order->branch = branches.at(id % branches.size());
    order->region = regions.at(id % regions.size());
    order->placementMethod = methods.at(id % methods.size());
    order->name = QStringLiteral("Поставка товаров для государственных нужд, лот № %1: оборудование, расходные "
                                 "материалы и сопутствующие услуги")
                      .arg(id);
    order->amount
        = QStringLiteral("%1.%2 руб.").arg(1000 + (id * 7919) % 9000000).arg(id % 100, 2, 10, QLatin1Char('0'));
    order->currencyName = QStringLiteral("Российский рубль");
    order->fullAccess = id % 3 == 0;
    order->url = QUrl(QStringLiteral("http://127.0.0.1:8765/order/%1").arg(id));
    return order;
}
