#ifndef REGIONSFORM_H
#define REGIONSFORM_H

#include "filterlinklist.h"
#include "regionandbranchtreemodel.h"

#include <QDialog>
#include <QList>
#include <QSet>

class RegionAndBranchTreeItem;
class QShowEvent;

namespace Ui {
class RegionsForm;
}

// The modal chooser of a filter's regions (linkType Region) or economic sectors (linkType Branch): the
// dictionary as a tree of check boxes, built from the process-wide dictionary map. Its buttons act as
// soon as they are pressed down; the window is left where the window system puts it.
//
// The owner's round trip: ensureTree(), setTickedIds(the filter's ids), exec(), and on Accepted
// tickedIds(the filter's ids) as the new list. ensureTree() rebuilds the tree whenever the dictionary
// was replaced since the fill (a dictionary synchronization frees the records the old tree refers to),
// so call it, not fillTree(), before touching allItems.
class RegionsForm : public QDialog
{
    Q_OBJECT

public:
    explicit RegionsForm(QWidget *parent = nullptr);
    ~RegionsForm() override;

    // Builds the tree anew from the current dictionary map of linkType.
    void fillTree();
    // Fills the tree unless one exists that was built from the current dictionary of linkType.
    void ensureTree();
    bool isTreeCurrent() const;

    // Ticks exactly the nodes of these ids, without model signals; call it while the dialog is hidden.
    // Brings the tree up to date with the dictionary first.
    void setTickedIds(const QList<qint64> &ids);
    // The ids of the ticked nodes in ascending order, followed by the ids of `previous` that the
    // dictionary does not know, in their order: an id without a node could not be shown, so it is kept.
    QList<qint64> tickedIds(const QList<qint64> &previous) const;

    Entity::FilterLinkList::LinkType linkType = Entity::FilterLinkList::Region;
    RegionAndBranchTreeModel treeModel;
    // Every node: the root first, then one per record in ascending id order. Not owned.
    QList<RegionAndBranchTreeItem *> allItems;
    Ui::RegionsForm *ui;

protected:
    void showEvent(QShowEvent *event) override;

private:
    int mapStamp(Entity::FilterLinkList::LinkType type) const;

    Entity::FilterLinkList::LinkType filledType = Entity::FilterLinkList::Error;
    int filledStamp = 0;
    QSet<qint64> knownIds;
};

#endif // REGIONSFORM_H
