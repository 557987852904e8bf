#include "region.h"

#include "constants.h"

namespace Entity {

void Region::fromVariantMap(const QVariantMap &map)
{
    readMap(map, KEY_REGION_CHANGE_DATE);
}

QVariantMap Region::toVariantMap() const
{
    return writeMap(KEY_REGION_CHANGE_DATE);
}

} // namespace Entity
