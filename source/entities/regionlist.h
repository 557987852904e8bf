#ifndef REGIONLIST_H
#define REGIONLIST_H

#include "entitylist.h"

#include <QVariantList>

namespace Entity {

class Region;

// Regions held by pointer, under the ownership rule of EntityList.
class RegionList : public EntityList<Region>
{
    Q_OBJECT

public:
    using EntityList<Region>::EntityList;
    explicit RegionList(const QVariantList &list);

    bool hasChanges() const;
    QVariantList toVariantList() const;
};

} // namespace Entity

#endif // REGIONLIST_H
