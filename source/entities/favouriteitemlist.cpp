#include "favouriteitemlist.h"

#include "entitylisthelpers.h"
#include "favouriteitem.h"
#include "recordmaphelpers.h"

namespace Entity {

template class EntityList<FavouriteItem>;

namespace {
const std::initializer_list<VocabularyWord> STATE_WORDS = {
    {FavouriteItemList::Sync, QLatin1String("Sync")},
    {FavouriteItemList::New, QLatin1String("New")},
    {FavouriteItemList::Deleted, QLatin1String("Deleted")},
};
} // namespace

FavouriteItemList::FavouriteItemList(const QVariantList &list, bool withOrder)
    : EntityList<FavouriteItem>(ListHelpers::fromVariantList<FavouriteItem>(
        list, [] { return new FavouriteItem; },
        [withOrder](FavouriteItem *item, const QVariantMap &map) { item->fromVariantMap(map, withOrder); }))
{
}

QVariantList FavouriteItemList::toVariantList(bool withOrder) const
{
    return ListHelpers::toVariantList(items,
                                      [withOrder](const FavouriteItem *item) { return item->toVariantMap(withOrder); });
}

QString FavouriteItemList::stateToString(State state)
{
    return vocabularyText(state, STATE_WORDS, QLatin1String("Error"));
}

FavouriteItemList::State FavouriteItemList::stringToState(const QString &text)
{
    return State(vocabularyValue(text, STATE_WORDS, Error));
}

} // namespace Entity
