#ifndef BRANCH_H
#define BRANCH_H

#include "dictionaryentry.h"

namespace Entity {

// One entry of the service's economic-sector dictionary.
class Branch : public DictionaryEntry
{
public:
    Branch() = default;

    void fromVariantMap(const QVariantMap &map);
    QVariantMap toVariantMap() const;
};

} // namespace Entity

#endif // BRANCH_H
