#ifndef ENTITYLIST_H
#define ENTITYLIST_H

#include <QList>
#include <QObject>

namespace Entity {

// The ownership rule shared by every entity list. A list holds its records by pointer; copying,
// assigning or destroying a list object never copies or deletes a record, so several holders can
// share records cheaply. Records die only through clear, deleteItems or deleteAll: clear a list
// only where no other holder still uses its records, and have a side that hands records over
// destroy its list object instead.
//
// The deleting members are instantiated once per record type in that list's source file, where
// the record type is complete.
template<class Record> class EntityList : public QObject
{
public:
    explicit EntityList(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
    // Shares the given records; the new list has no parent.
    EntityList(const QList<Record *> &items)
        : QObject(nullptr)
        , items(items)
    {
    }
    // Shares the other list's records; the parent is never copied.
    EntityList(const EntityList &other)
        : QObject(nullptr)
        , items(other.items)
    {
    }
    ~EntityList() override = default;

    EntityList &operator=(const EntityList &other)
    {
        items = other.items;
        return *this;
    }

    // Deletes the records and empties items.
    void clear();
    static void deleteItems(EntityList *list);
    // Deletes every non-null record of a bare pointer list, in order, then empties it.
    static void deleteAll(QList<Record *> &items);

    QList<Record *> items;
};

} // namespace Entity

#endif // ENTITYLIST_H
