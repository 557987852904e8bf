#ifndef DICTIONARYENTRY_H
#define DICTIONARYENTRY_H

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace Entity {

// The fields and map reading shared by the two dictionary records, Region and Branch, which
// differ only in the map key of their change date. Never held or deleted through this class.
class DictionaryEntry
{
public:
    // changed := value; raising the flag also moves changeDate to now (UTC).
    void setChanged(bool value);
    void clearChanged();

    qint64 id;
    qint64 parentId;
    QString name;
    QDateTime changeDate;
    // Scratch position of the record's item in the region and sector chooser's tree.
    int itemIndex;
    bool changed;

protected:
    DictionaryEntry();
    ~DictionaryEntry() = default;

    // A missing id or parent id reads as 0; the change date only under its own key.
    void readMap(const QVariantMap &map, const QString &changeDateKey);
    QVariantMap writeMap(const QString &changeDateKey) const;
};

} // namespace Entity

#endif // DICTIONARYENTRY_H
