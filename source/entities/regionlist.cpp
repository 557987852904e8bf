#include "regionlist.h"

#include "entitylisthelpers.h"
#include "region.h"

namespace Entity {

template class EntityList<Region>;

RegionList::RegionList(const QVariantList &list)
    : EntityList<Region>(ListHelpers::fromVariantList<Region>(list))
{
}

bool RegionList::hasChanges() const
{
    return ListHelpers::hasChanges(items);
}

QVariantList RegionList::toVariantList() const
{
    return ListHelpers::toVariantList(items);
}

} // namespace Entity
