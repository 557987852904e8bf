#ifndef FILTERLIST_H
#define FILTERLIST_H

#include "entitylist.h"

#include <QString>
#include <QVariantList>

namespace Entity {

class Filter;

// The subscriber's filters held by pointer, under the ownership rule of EntityList.
class FilterList : public EntityList<Filter>
{
    Q_OBJECT

public:
    // How far a filter is in step with the service; every state but Sync still has to be sent.
    enum State { Error = -1, New = 0, Edited = 1, Deleted = 2, Sync = 3 };
    Q_ENUM(State)

    using EntityList<Filter>::EntityList;
    // One new record per element; the records keep their changed flag set.
    explicit FilterList(const QVariantList &list);

    bool hasChanges() const;
    // Also writes the defaults of Filter::toVariantMap into the records.
    QVariantList toVariantList() const;

    static QString stateToString(State state);
    static State stringToState(const QString &text);
};

} // namespace Entity

#endif // FILTERLIST_H
