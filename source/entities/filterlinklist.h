#ifndef FILTERLINKLIST_H
#define FILTERLINKLIST_H

#include "entitylist.h"

#include <QMap>
#include <QString>
#include <QVariantList>

namespace Entity {

class FilterLink;
class Region;
class RegionList;
class Branch;
class BranchList;

// Filter links held by pointer (under the ownership rule of EntityList), plus the process-wide
// dictionary maps from region or economic-sector id to record.
//
// The maps own no record. Every rebuild raises the map's stamp; a holder that caches record
// pointers remembers the stamp it took them under and drops its cache when the stamp moved.
// Whoever rebuilds a map from a list keeps that list's records alive until the next rebuild.
class FilterLinkList : public EntityList<FilterLink>
{
    Q_OBJECT

public:
    // The texts of Region and Branch are also the record-map keys of the linked id.
    enum LinkType { Error = 0, Undefined = 1, Region = 2, Branch = 3 };
    Q_ENUM(LinkType)

    using RegionMap = QMap<qint64, Entity::Region *>;
    using BranchMap = QMap<qint64, Entity::Branch *>;

    using EntityList<FilterLink>::EntityList;
    // Links built here start as Undefined, so each takes its type from the keys of its map.
    explicit FilterLinkList(const QVariantList &list);

    QVariantList toVariantList() const;

    static QString typeToString(LinkType type);
    static LinkType stringToType(const QString &text);

    // With a list: rebuilds the map from it (the stamp grows by one). Always returns the map.
    // Do not keep references to its entries across a call that may rebuild it; copy it instead.
    static const RegionMap &regionMap(RegionList *list = nullptr);
    static const BranchMap &branchMap(BranchList *list = nullptr);
    // Without a value: the current stamp. With one: sets the stamp to it and returns it.
    static int regionMapStamp(int *value = nullptr);
    static int branchMapStamp(int *value = nullptr);
};

} // namespace Entity

#endif // FILTERLINKLIST_H
