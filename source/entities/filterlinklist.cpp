#include "filterlinklist.h"

#include "branch.h"
#include "branchlist.h"
#include "entitylisthelpers.h"
#include "filterlink.h"
#include "recordmaphelpers.h"
#include "region.h"
#include "regionlist.h"

namespace Entity {

template class EntityList<FilterLink>;

namespace {
const std::initializer_list<VocabularyWord> TYPE_WORDS = {
    {FilterLinkList::Branch, QLatin1String("branchid")},
    {FilterLinkList::Region, QLatin1String("regionid")},
    {FilterLinkList::Undefined, QLatin1String("FilterLinkTypeUndefined")},
};

int regionStamp = 0;
int branchStamp = 0;

template<class Map, class Record> void rebuild(Map &map, int &stamp, const QList<Record *> &records)
{
    ++stamp;
    map.clear();
    for (Record *record : records) {
        if (record)
            map.insert(record->id, record);
    }
}

int stampOf(int &stamp, const int *value)
{
    if (value)
        stamp = *value;
    return stamp;
}
} // namespace

FilterLinkList::FilterLinkList(const QVariantList &list)
    : EntityList<FilterLink>(ListHelpers::fromVariantList<FilterLink>(
        list, [] { return new FilterLink(Undefined); },
        [](FilterLink *link, const QVariantMap &map) { link->fromVariantMap(map); }))
{
}

QVariantList FilterLinkList::toVariantList() const
{
    return ListHelpers::toVariantList(items);
}

QString FilterLinkList::typeToString(LinkType type)
{
    return vocabularyText(type, TYPE_WORDS, QLatin1String("FilterLinkTypeError"));
}

FilterLinkList::LinkType FilterLinkList::stringToType(const QString &text)
{
    return LinkType(vocabularyValue(text, TYPE_WORDS, Error));
}

const FilterLinkList::RegionMap &FilterLinkList::regionMap(RegionList *list)
{
    static RegionMap map;
    if (list)
        rebuild(map, regionStamp, list->items);
    return map;
}

const FilterLinkList::BranchMap &FilterLinkList::branchMap(BranchList *list)
{
    static BranchMap map;
    if (list)
        rebuild(map, branchStamp, list->items);
    return map;
}

int FilterLinkList::regionMapStamp(int *value)
{
    return stampOf(regionStamp, value);
}

int FilterLinkList::branchMapStamp(int *value)
{
    return stampOf(branchStamp, value);
}

} // namespace Entity
