#include "filterlink.h"

#include "constants.h"

namespace Entity {

FilterLink::FilterLink(FilterLinkList::LinkType type)
    : filterId(-1)
    , linkedId(-1)
    , type(type)
{
}

void FilterLink::fromVariantMap(const QVariantMap &map)
{
    filterId = map.value(KEY_FILTER_ID).toLongLong();
    if (type == FilterLinkList::Undefined) {
        if (map.contains(FilterLinkList::typeToString(FilterLinkList::Region)))
            type = FilterLinkList::Region;
        else if (map.contains(FilterLinkList::typeToString(FilterLinkList::Branch)))
            type = FilterLinkList::Branch;
        else
            type = FilterLinkList::Error;
    }
    if (type != FilterLinkList::Region && type != FilterLinkList::Branch) {
        linkedId = -1;
        return;
    }
    linkedId = map.value(FilterLinkList::typeToString(type)).toLongLong();
}

QVariantMap FilterLink::toVariantMap() const
{
    QVariantMap map;
    map.insert(KEY_FILTER_ID, qlonglong(filterId));
    map.insert(FilterLinkList::typeToString(type), qlonglong(linkedId));
    return map;
}

Entity::Region *FilterLink::region() const
{
    if (type != FilterLinkList::Region)
        return nullptr;
    return FilterLinkList::regionMap().value(linkedId, nullptr);
}

Entity::Branch *FilterLink::branch() const
{
    if (type != FilterLinkList::Branch)
        return nullptr;
    return FilterLinkList::branchMap().value(linkedId, nullptr);
}

} // namespace Entity
