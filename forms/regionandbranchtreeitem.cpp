#include "regionandbranchtreeitem.h"

RegionAndBranchTreeItem::~RegionAndBranchTreeItem()
{
    // Level by level rather than recursively, so that a very deep dictionary cannot exhaust the stack.
    QList<RegionAndBranchTreeItem *> pending;
    pending.swap(childItems);
    while (!pending.isEmpty()) {
        RegionAndBranchTreeItem *node = pending.takeLast();
        pending += node->childItems;
        node->childItems.clear();
        delete node;
    }
}

void RegionAndBranchTreeItem::appendChild(RegionAndBranchTreeItem *child)
{
    child->m_parentItem = this;
    child->m_row = childItems.size();
    childItems.append(child);
}

RegionAndBranchTreeItem *RegionAndBranchTreeItem::child(int row) const
{
    return row >= 0 && row < childItems.size() ? childItems.at(row) : nullptr;
}

QVariant RegionAndBranchTreeItem::data(int column) const
{
    return itemData.value(column);
}

bool RegionAndBranchTreeItem::hasCheckedDescendant() const
{
    // Depth first, children in order, each tested before its own descendants; no recursion.
    QList<const RegionAndBranchTreeItem *> pending;
    for (int i = childItems.size() - 1; i >= 0; --i)
        pending.append(childItems.at(i));
    while (!pending.isEmpty()) {
        const RegionAndBranchTreeItem *node = pending.takeLast();
        if (node->checked)
            return true;
        for (int i = node->childItems.size() - 1; i >= 0; --i)
            pending.append(node->childItems.at(i));
    }
    return false;
}
