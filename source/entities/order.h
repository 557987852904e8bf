#ifndef ORDER_H
#define ORDER_H

#include "orderlist.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace Entity {

// One procurement tender as the service describes it. Its record map is keyed by the lower-cased
// column names of the order table, which are also the keys of the service's order replies.
class Order
{
public:
    Order();

    // Applies only the keys the map holds, so a reply map can be laid over a stored order.
    void fromVariantMap(QVariantMap map);
    // The same for a map read from the service, whose times run on the service's clock.
    void fromServiceMap(const QVariantMap &map);
    QVariantMap toVariantMap() const;

    QString regionDisplayName() const;
    // The parent economic sector's name: the service's text, else looked up by the sector's name.
    QString economicSectorParentDisplayName() const;

    // The document and contact texts hold one entry per line.
    QStringList docNamesList() const;
    QStringList docUrlsList() const;
    QStringList contactNamesList() const;
    QStringList contactValuesList() const;

    // The text shown for details the service did not send.
    static QString noDataText();
    // Sets field to the value's text when the map holds the key; otherwise leaves it.
    static void textOrEmpty(const QVariantMap &map, const QString &key, QString &field);
    // The same, and an empty field becomes the no-data text.
    static void textOrNoData(const QVariantMap &map, const QString &key, QString &field);

    OrderList::Type type;
    qint64 id;
    QDateTime openingTime;
    QDateTime closingTime;
    QDateTime changeDate;
    QString branch;
    QString region;
    QString placementMethod;
    QString name;
    QString amount;
    QString login;
    QString originalTitle;
    QString gosId;
    QString financingSource;
    QString currencyName;
    QString information;
    QString applicationGuarantee;
    QString contractGuarantee;
    QString subjectFullName;
    QString subjectShortName;
    QString legalFormName;
    QString ogrnInnKpp;
    QString orderSourceUri;
    QString docNames;
    QString docUrls;
    QString commercial;
    QString economicSectorParentName;
    QString geoPlaceName;
    QString contactNames;
    QString contactValues;
    bool fullAccess;
    QUrl url;
};

} // namespace Entity

#endif // ORDER_H
