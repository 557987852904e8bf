#include "filterlist.h"

#include "entitylisthelpers.h"
#include "filter.h"
#include "recordmaphelpers.h"

namespace Entity {

template class EntityList<Filter>;

namespace {
const std::initializer_list<VocabularyWord> STATE_WORDS = {
    {FilterList::Sync, QLatin1String("Sync")},
    {FilterList::New, QLatin1String("New")},
    {FilterList::Deleted, QLatin1String("Deleted")},
    {FilterList::Edited, QLatin1String("Edited")},
};
} // namespace

FilterList::FilterList(const QVariantList &list)
    : EntityList<Filter>(ListHelpers::fromVariantList<Filter>(list))
{
}

bool FilterList::hasChanges() const
{
    return ListHelpers::hasChanges(items);
}

QVariantList FilterList::toVariantList() const
{
    return ListHelpers::toVariantList(items);
}

QString FilterList::stateToString(State state)
{
    return vocabularyText(state, STATE_WORDS, QLatin1String("Error"));
}

FilterList::State FilterList::stringToState(const QString &text)
{
    return State(vocabularyValue(text, STATE_WORDS, Error));
}

} // namespace Entity
