#include "branchlist.h"

#include "branch.h"
#include "entitylisthelpers.h"

namespace Entity {

template class EntityList<Branch>;

BranchList::BranchList(const QVariantList &list)
    : EntityList<Branch>(ListHelpers::fromVariantList<Branch>(list))
{
}

bool BranchList::hasChanges() const
{
    return ListHelpers::hasChanges(items);
}

QVariantList BranchList::toVariantList() const
{
    return ListHelpers::toVariantList(items);
}

} // namespace Entity
