#include "dictionaryentry.h"

#include "clock.h"
#include "constants.h"
#include "recordmaphelpers.h"

namespace Entity {

DictionaryEntry::DictionaryEntry()
    : id(-1)
    , parentId(-1)
    , changeDate(Clock::currentDateTimeUtc())
    , itemIndex(0)
    , changed(true)
{
}

void DictionaryEntry::setChanged(bool value)
{
    changed = value;
    if (value)
        changeDate = Clock::currentDateTimeUtc();
}

void DictionaryEntry::clearChanged()
{
    changed = false;
}

void DictionaryEntry::readMap(const QVariantMap &map, const QString &changeDateKey)
{
    id = map.value(KEY_ID).toLongLong();
    parentId = map.value(KEY_PARENT_ID).toLongLong();
    name = map.value(KEY_NAME).toString();
    readIfPresent(map, changeDateKey, [this](const QVariant &value) { changeDate = value.toDateTime(); });
}

QVariantMap DictionaryEntry::writeMap(const QString &changeDateKey) const
{
    QVariantMap map;
    map.insert(KEY_ID, qlonglong(id));
    map.insert(KEY_PARENT_ID, qlonglong(parentId));
    map.insert(KEY_NAME, name);
    map.insert(changeDateKey, changeDate);
    return map;
}

} // namespace Entity
