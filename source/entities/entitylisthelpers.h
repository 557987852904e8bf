#ifndef ENTITYLISTHELPERS_H
#define ENTITYLISTHELPERS_H

// For the entity sources only: the definitions that need complete record types.

#include "entitylist.h"

#include <QVariantList>
#include <QVariantMap>

namespace Entity {

template<class Record> void EntityList<Record>::clear()
{
    deleteItems(this);
}

template<class Record> void EntityList<Record>::deleteItems(EntityList *list)
{
    if (list)
        deleteAll(list->items);
}

template<class Record> void EntityList<Record>::deleteAll(QList<Record *> &items)
{
    // Walk a copy, so that a record's destructor cannot disturb the walk. Other holders of the
    // same pointers keep them, dangling: they must not use them any more.
    const QList<Record *> records = items;
    for (Record *record : records)
        delete record;
    items.clear();
}

namespace ListHelpers {

// One map per record, in list order; a null entry has no record to write and is skipped.
template<class Record, class Write> QVariantList toVariantList(const QList<Record *> &items, Write write)
{
    QVariantList list;
    list.reserve(items.size());
    for (Record *record : items) {
        if (record)
            list.append(QVariant(write(record)));
    }
    return list;
}

template<class Record> QVariantList toVariantList(const QList<Record *> &items)
{
    return toVariantList(items, [](Record *record) { return record->toVariantMap(); });
}

// One new record per element, in order; an element that is no map reads as an empty map.
template<class Record, class Create, class Fill>
QList<Record *> fromVariantList(const QVariantList &list, Create create, Fill fill)
{
    QList<Record *> items;
    items.reserve(list.size());
    for (const QVariant &element : list) {
        Record *record = create();
        items.append(record);
        fill(record, element.toMap());
    }
    return items;
}

template<class Record> QList<Record *> fromVariantList(const QVariantList &list)
{
    return fromVariantList<Record>(
        list, [] { return new Record; }, [](Record *record, const QVariantMap &map) { record->fromVariantMap(map); });
}

// Whether some record has its changed flag set; stops at the first.
template<class Record> bool hasChanges(const QList<Record *> &items)
{
    for (const Record *record : items) {
        if (record && record->changed)
            return true;
    }
    return false;
}

} // namespace ListHelpers
} // namespace Entity

#endif // ENTITYLISTHELPERS_H
