#ifndef FAVOURITEITEMLIST_H
#define FAVOURITEITEMLIST_H

#include "entitylist.h"

#include <QString>
#include <QVariantList>

namespace Entity {

class FavouriteItem;

// Favourites held by pointer, under the ownership rule of EntityList. Clearing destroys each
// record and with it the order it owns.
class FavouriteItemList : public EntityList<FavouriteItem>
{
    Q_OBJECT

public:
    // A live favourite is one that is not Deleted.
    enum State { Error = -1, New = 0, Deleted = 1, Sync = 2 };
    Q_ENUM(State)

    using EntityList<FavouriteItem>::EntityList;
    FavouriteItemList(const QVariantList &list, bool withOrder);

    QVariantList toVariantList(bool withOrder) const;

    static QString stateToString(State state);
    static State stringToState(const QString &text);
};

} // namespace Entity

#endif // FAVOURITEITEMLIST_H
