#ifndef REGION_H
#define REGION_H

#include "dictionaryentry.h"

namespace Entity {

// One entry of the service's region dictionary.
class Region : public DictionaryEntry
{
public:
    Region() = default;

    void fromVariantMap(const QVariantMap &map);
    QVariantMap toVariantMap() const;
};

} // namespace Entity

#endif // REGION_H
