#ifndef REGIONANDBRANCHTREEMODEL_H
#define REGIONANDBRANCHTREEMODEL_H

#include <QAbstractItemModel>

class RegionAndBranchTreeItem;

// The checkable tree of the region or economic-sector chooser. The root is never shown: its children
// are the top-level rows; its one column value is what gives the model its one column. Ticking a
// node ticks its children and grandchildren; a parent left with nothing ticked below it is unticked.
class RegionAndBranchTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit RegionAndBranchTreeModel(QObject *parent = nullptr);
    ~RegionAndBranchTreeModel() override;

    // Takes ownership of the tree and deletes the previous one (a model reset); null until the first fill.
    void setRootItem(RegionAndBranchTreeItem *root);
    RegionAndBranchTreeItem *rootItem() const { return m_rootItem; }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    RegionAndBranchTreeItem *nodeOf(const QModelIndex &index) const;
    void emitNodeChanged(const QModelIndex &index, RegionAndBranchTreeItem *node);

    RegionAndBranchTreeItem *m_rootItem = nullptr;
};

#endif // REGIONANDBRANCHTREEMODEL_H
