#include "editablelistfilterwrapper.h"

EditableListFilterWrapper::EditableListFilterWrapper(QObject *parent)
    : QObject(parent)
{
}

EditableListFilterWrapper::~EditableListFilterWrapper() = default;

EditableListFilterWrapper *EditableListFilterWrapper::uniqueName(const QStringList &names, const QString &name) const
{
    auto *entry = new EditableListFilterWrapper();
    entry->name = name.isEmpty() ? this->name : name;
    if (copyOfLocalId == -3) {
        entry->copyOfLocalId = localId;
        entry->copyOfName = this->name;
    } else {
        entry->copyOfLocalId = copyOfLocalId;
        entry->copyOfName = copyOfName;
    }
    entry->displayOrder = displayOrder;

    QStringList parts = entry->name.split(QLatin1Char(' '));
    bool numbered = false;
    // The number is read as an int but counted on in 64 bits, so "x 2147483647" still gets a successor.
    qint64 number = parts.last().toInt(&numbered, 10);
    if (numbered)
        parts.removeLast();
    else
        number = 0;
    const QString stem = parts.join(QLatin1Char(' '));

    QStringList lowered;
    lowered.reserve(names.size());
    for (const QString &other : names)
        lowered << other.toLower();
    while (lowered.contains(entry->name.toLower()))
        entry->name = stem + QLatin1Char(' ') + QString::number(++number);
    return entry;
}

EditableListFilterWrapper *EditableListFilterWrapper::uniqueName(const QList<EditableListFilterWrapper *> &entries,
                                                                 const QString &name) const
{
    QStringList names;
    names.reserve(entries.size());
    for (const EditableListFilterWrapper *entry : entries)
        names << entry->name;
    return uniqueName(names, name);
}
