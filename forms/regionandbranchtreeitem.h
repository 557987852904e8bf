#ifndef REGIONANDBRANCHTREEITEM_H
#define REGIONANDBRANCHTREEITEM_H

#include <QList>
#include <QVariant>

namespace Entity {
class Region;
class Branch;
} // namespace Entity

// One node of the region or economic-sector chooser's tree. A node owns its children; deleting the
// root deletes the whole tree. The record pointers are borrowed from the dictionary the tree was
// filled from and are valid only while that dictionary is (the chooser refills when it is replaced).
class RegionAndBranchTreeItem
{
public:
    RegionAndBranchTreeItem() = default;
    ~RegionAndBranchTreeItem();
    RegionAndBranchTreeItem(const RegionAndBranchTreeItem &) = delete;
    RegionAndBranchTreeItem &operator=(const RegionAndBranchTreeItem &) = delete;

    void appendChild(RegionAndBranchTreeItem *child);
    // Null when row is out of range.
    RegionAndBranchTreeItem *child(int row) const;
    int childCount() const { return childItems.size(); }
    int columnCount() const { return itemData.size(); }
    // Invalid when column is out of range.
    QVariant data(int column) const;
    // The position among the parent's children; 0 for a node without parent.
    int row() const { return m_row; }
    RegionAndBranchTreeItem *parentItem() const { return m_parentItem; }
    void setChecked(bool value) { checked = value; }
    // Whether any node below this one is ticked.
    bool hasCheckedDescendant() const;

    Entity::Region *region = nullptr;
    Entity::Branch *branch = nullptr;
    // The id of the record at the fill, readable even after the dictionary has gone.
    qint64 recordId = -1;
    bool checked = false;
    QList<QVariant> itemData;

private:
    RegionAndBranchTreeItem *m_parentItem = nullptr;
    int m_row = 0;
    QList<RegionAndBranchTreeItem *> childItems;
};

#endif // REGIONANDBRANCHTREEITEM_H
