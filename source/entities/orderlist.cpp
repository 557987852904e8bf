#include "orderlist.h"

#include "entitylisthelpers.h"
#include "order.h"
#include "recordmaphelpers.h"
#include "valuehelpers.h"

namespace Entity {

template class EntityList<Order>;

namespace {
const std::initializer_list<VocabularyWord> TYPE_WORDS = {
    {OrderList::All, QLatin1String("All")},       {OrderList::New, QLatin1String("New")},
    {OrderList::Viewed, QLatin1String("Viewed")}, {OrderList::NewViewed, QLatin1String("NewViewed")},
    {OrderList::Search, QLatin1String("Search")},
};
} // namespace

OrderList::OrderList(const QVariantList &list)
    : EntityList<Order>(ListHelpers::fromVariantList<Order>(list))
{
}

QList<Order *> OrderList::fromServiceMaps(const QVariantList &list)
{
    const ServerTimeShift shift;
    return ListHelpers::fromVariantList<Order>(list);
}

QVariantList OrderList::toVariantList() const
{
    return ListHelpers::toVariantList(items);
}

QString OrderList::typeToString(Type type)
{
    return vocabularyText(type, TYPE_WORDS, QLatin1String("Error"));
}

OrderList::Type OrderList::stringToType(const QString &text)
{
    return Type(vocabularyValue(text, TYPE_WORDS, Error));
}

} // namespace Entity
