#include "branch.h"

#include "constants.h"

namespace Entity {

void Branch::fromVariantMap(const QVariantMap &map)
{
    readMap(map, KEY_BRANCH_CHANGE_DATE);
}

QVariantMap Branch::toVariantMap() const
{
    return writeMap(KEY_BRANCH_CHANGE_DATE);
}

} // namespace Entity
