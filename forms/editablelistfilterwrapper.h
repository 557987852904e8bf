#ifndef EDITABLELISTFILTERWRAPPER_H
#define EDITABLELISTFILTERWRAPPER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// One entry of the filter list editor: what the editor may change of one filter (name, position,
// removal) and the bookkeeping the filter panel needs to take the changes back. The editor never
// touches the filter records themselves. Entries are made without a parent; the editor owns those
// in its list.
class EditableListFilterWrapper : public QObject
{
    Q_OBJECT

public:
    explicit EditableListFilterWrapper(QObject *parent = nullptr);
    ~EditableListFilterWrapper() override;

    // A new entry (owned by the caller) that copies this one under `name` (this entry's own name when
    // empty), numbered so that it clashes with none of `names`, letter case ignored: "Тендеры" becomes
    // "Тендеры 1", "Тендеры 3" becomes "Тендеры 4" or the next free number. A name that clashes with
    // nothing stays exactly as given.
    EditableListFilterWrapper *uniqueName(const QStringList &names, const QString &name = QString()) const;
    EditableListFilterWrapper *uniqueName(const QList<EditableListFilterWrapper *> &entries,
                                          const QString &name = QString()) const;

    // -3: not a copy; otherwise the local id of the filter this copy was first copied from.
    qint64 copyOfLocalId = -3;
    // Position in the editor's full list, written whenever the editor rebuilds its rows.
    qint64 listIndex = -1;
    bool deleted = false;
    bool changed = false;
    // -1 for the new-filter entry and filters never stored; 0 in a copy until the panel stored it.
    qint64 localId = 0;
    qint64 displayOrder = 0;
    qint64 id = 0;
    QString name;
    QString copyOfName;
};

#endif // EDITABLELISTFILTERWRAPPER_H
