#ifndef LOCALSERVICEDATA_H
#define LOCALSERVICEDATA_H

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QRandomGenerator>
#include <QString>

// The generated content of the stand-in service: the region and economic-sector dictionaries and
// the orders. Everything is derived from a seed, so a seed and an order count always give the
// same data (dates are relative to the reference time given to generate()).
class LocalServiceData
{
public:
    struct Item // one entry of a dictionary
    {
        qint64 id = 0;
        qint64 parentId = -1; // -1 for a top-level entry
        QString name;
        QDateTime changeDate; // UTC
    };
    struct Document
    {
        QString name;
        QString path; // relative to the service's URL, e.g. "/files/5000013/1"
    };
    struct Contact
    {
        QString name;
        QString value;
    };
    struct Order
    {
        qint64 id = 0;
        QString name;
        QString originalTitle;
        QDateTime openingTime; // UTC
        QDateTime closingTime; // UTC
        QDateTime changeDate; // UTC
        qint64 regionId = 0;
        qint64 districtId = 0; // the region's parent in the dictionary
        QString region;
        qint64 branchId = 0;
        qint64 branchParentId = 0;
        QString branch;
        QString branchParent;
        QString placementMethod;
        QString amount; // as the service writes it: "1500", "1500.5" or "1500.50"
        QString startPrice;
        QString currencyName;
        bool commercial = false;
        QString customerFullName;
        QString customerShortName;
        QString legalFormName;
        QString ogrnInnKpp;
        QString gosId;
        QString financingSource;
        QString information; // several lines
        QString applicationGuarantee;
        QString contractGuarantee;
        QString sourceUri;
        QList<Document> documents;
        QList<Contact> contacts;
    };

    // Builds the dictionaries and orderCount orders (newest opening time first) from the seed;
    // dates lie within the weeks around `now` (UTC).
    void generate(int orderCount, quint32 seed, const QDateTime &now);
    // Generates further orders with higher ids, opened just before `now`, and returns them.
    QList<Order> appendOrders(int count, const QDateTime &now);

    const QList<Item> &regions() const { return regionList; }
    const QList<Item> &branches() const { return branchList; }
    const QList<Order> &orders() const { return orderList; }
    const Order *order(qint64 id) const; // null when unknown
    quint32 seed() const { return seedValue; }

private:
    Order makeOrder(const QDateTime &openingTime);
    int pick(int count) { return count > 0 ? int(random.bounded(quint32(count))) : 0; }
    QString person();

    QList<Item> regionList;
    QList<Item> branchList;
    QList<Order> orderList;
    QHash<qint64, int> indexById;
    QRandomGenerator random;
    quint32 seedValue = 1;
    qint64 nextId = 0;
};

#endif // LOCALSERVICEDATA_H
