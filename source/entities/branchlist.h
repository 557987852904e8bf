#ifndef BRANCHLIST_H
#define BRANCHLIST_H

#include "entitylist.h"

#include <QVariantList>

namespace Entity {

class Branch;

// Economic sectors held by pointer, under the ownership rule of EntityList.
class BranchList : public EntityList<Branch>
{
    Q_OBJECT

public:
    using EntityList<Branch>::EntityList;
    explicit BranchList(const QVariantList &list);

    bool hasChanges() const;
    QVariantList toVariantList() const;
};

} // namespace Entity

#endif // BRANCHLIST_H
