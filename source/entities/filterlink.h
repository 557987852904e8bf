#ifndef FILTERLINK_H
#define FILTERLINK_H

#include "filterlinklist.h"

#include <QVariantMap>

namespace Entity {

// Ties one filter to one region or one economic sector, in the shape of a row of the filter link
// tables.
class FilterLink
{
public:
    explicit FilterLink(FilterLinkList::LinkType type);

    // An Undefined link takes its type from the keys present ("regionid" before "branchid").
    void fromVariantMap(const QVariantMap &map);
    QVariantMap toVariantMap() const;

    // The linked dictionary record, or null for a link of the other type or an id not loaded.
    Entity::Region *region() const;
    Entity::Branch *branch() const;

    qint64 filterId;
    qint64 linkedId;
    FilterLinkList::LinkType type;
};

} // namespace Entity

#endif // FILTERLINK_H
