// Builds, converts and frees large order lists, as the new-orders and search replies do.
// Usage: bench_entities [order count]

#include "constants.h"
#include "order.h"
#include "orderlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;

    QVariantList replies;
    replies.reserve(count);
    for (int i = 0; i < count; ++i) {
        QVariantMap map;
        map.insert(KEY_ID, qlonglong(i));
        map.insert(KEY_TYPE, QStringLiteral("New"));
        map.insert(KEY_NAME, QStringLiteral("Поставка щебня, лот %1").arg(i));
        map.insert(KEY_AMOUNT, QStringLiteral("%1.00").arg(i * 10));
        map.insert(KEY_OPENING_TIME, QStringLiteral("24.09.2015 10:15:00"));
        map.insert(KEY_CLOSING_TIME, QStringLiteral("2015-10-24T10:15:00Z"));
        map.insert(KEY_BRANCH, QStringLiteral("Строительство"));
        map.insert(KEY_REGION, QStringLiteral("Москва"));
        map.insert(KEY_URL, QStringLiteral("http://127.0.0.1/orders/%1").arg(i));
        replies.append(map);
    }

    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    Entity::OrderList list(replies);
    out << count << " orders built from maps: " << timer.restart() << " ms\n";
    const QVariantList maps = list.toVariantList();
    out << count << " orders written to maps: " << timer.restart() << " ms\n";
    {
        Entity::OrderList copy(list);
        Entity::OrderList assigned;
        assigned = copy;
    }
    out << "copies made and dropped: " << timer.restart() << " ms\n";
    list.clear();
    out << count << " orders freed: " << timer.restart() << " ms\n";
    return maps.size() == count ? 0 : 1;
}
