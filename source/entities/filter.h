#ifndef FILTER_H
#define FILTER_H

#include "filterlist.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace Entity {

class Region;
class Branch;

// One saved search of the subscriber, kept by the service as a subscription.
class Filter
{
public:
    Filter();

    // Raising the flag stamps the change time and turns a Sync filter into an Edited one.
    void setChanged(bool value);
    // Back to the editor's defaults; identity, name, state and change time stay.
    void resetSearchCriteria();

    // The excluded words in their one-line form: words separated by blanks.
    void setWordsExceptions(const QString &text);
    QString wordsExceptionsText() const;

    // The dictionary record of the index-th region or sector id, or null. Resolved records are
    // cached under the dictionary map's stamp and dropped when the map has been rebuilt.
    Entity::Region *regionAt(int index);
    Entity::Branch *branchAt(int index);

    // Keys missing from the map read as 0, empty, false or invalid, except localid,
    // filterchangedate, state, wordsexceptions, branches and regions, which are kept.
    void fromVariantMap(const QVariantMap &map);
    // Also writes the defaults of an empty search area and order type into the record.
    QVariantMap toVariantMap();

    int displayOrder;
    qint64 id;
    qint64 localId;
    QString name;
    QString login;
    QString searchArea;
    bool withMorphology;
    bool allWordsRequired;
    bool changed;
    QString amountOrdersFrom;
    QString amountOrdersTo;
    QDateTime openingTimeFrom;
    QDateTime openingTimeTo;
    QDateTime closingTimeFrom;
    QDateTime closingTimeTo;
    QDateTime filterChangeDate;
    FilterList::State state;
    QString wordSerch;
    bool enabled;
    QStringList wordsExceptions;
    QList<qint64> branches;
    QList<qint64> regions;
    QString orderType;
    bool openCompetition;
    bool priceQuotation;
    bool electronicAuction;
    bool preselection;
    bool easyPurchase;
    int branchStamp;
    int regionStamp;
    QList<Entity::Branch *> branchCache;
    QList<Entity::Region *> regionCache;

private:
    void readWordsExceptions(const QVariant &value);
};

} // namespace Entity

#endif // FILTER_H
