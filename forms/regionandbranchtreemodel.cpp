#include "regionandbranchtreemodel.h"
#include "regionandbranchtreeitem.h"

RegionAndBranchTreeModel::RegionAndBranchTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

RegionAndBranchTreeModel::~RegionAndBranchTreeModel()
{
    delete m_rootItem;
}

void RegionAndBranchTreeModel::setRootItem(RegionAndBranchTreeItem *root)
{
    if (root == m_rootItem)
        return;
    beginResetModel();
    delete m_rootItem;
    m_rootItem = root;
    endResetModel();
}

RegionAndBranchTreeItem *RegionAndBranchTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<RegionAndBranchTreeItem *>(index.internalPointer()) : m_rootItem;
}

QModelIndex RegionAndBranchTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_rootItem || !hasIndex(row, column, parent))
        return QModelIndex();
    RegionAndBranchTreeItem *child = nodeOf(parent)->child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex RegionAndBranchTreeModel::parent(const QModelIndex &index) const
{
    if (!m_rootItem || !index.isValid())
        return QModelIndex();
    RegionAndBranchTreeItem *parentNode = nodeOf(index)->parentItem();
    if (!parentNode || parentNode == m_rootItem)
        return QModelIndex();
    return createIndex(parentNode->row(), 0, parentNode);
}

int RegionAndBranchTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!m_rootItem || parent.column() > 0)
        return 0;
    return nodeOf(parent)->childCount();
}

int RegionAndBranchTreeModel::columnCount(const QModelIndex &parent) const
{
    return m_rootItem ? nodeOf(parent)->columnCount() : 0;
}

QVariant RegionAndBranchTreeModel::data(const QModelIndex &index, int role) const
{
    if (!m_rootItem || !index.isValid())
        return QVariant();
    const RegionAndBranchTreeItem *node = nodeOf(index);
    switch (role) {
    case Qt::CheckStateRole:
        return int(node->checked ? Qt::Checked : Qt::Unchecked);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return node->data(index.column());
    default:
        return QVariant();
    }
}

void RegionAndBranchTreeModel::emitNodeChanged(const QModelIndex &index, RegionAndBranchTreeItem *node)
{
    emit dataChanged(index, index);
    const int children = node->childCount();
    if (children == 0)
        return;
    emit dataChanged(this->index(0, 0, index), this->index(children - 1, 0, index));
    for (int row = 0; row < children; ++row) {
        const int grandchildren = node->child(row)->childCount();
        if (grandchildren == 0)
            continue;
        const QModelIndex childIndex = this->index(row, 0, index);
        emit dataChanged(this->index(0, 0, childIndex), this->index(grandchildren - 1, 0, childIndex));
    }
}

bool RegionAndBranchTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !m_rootItem || !index.isValid())
        return false;
    RegionAndBranchTreeItem *node = nodeOf(index);
    const bool checked = value.toInt() == Qt::Checked;
    if (node->checked == checked)
        return true;

    // The new state goes two levels down, no further.
    for (int row = 0; row < node->childCount(); ++row) {
        RegionAndBranchTreeItem *child = node->child(row);
        child->setChecked(checked);
        for (int grandRow = 0; grandRow < child->childCount(); ++grandRow)
            child->child(grandRow)->setChecked(checked);
    }
    node->setChecked(checked);
    // A parent is never ticked from below, only unticked with the last ticked node under it.
    RegionAndBranchTreeItem *parentNode = node->parentItem();
    if (parentNode && !parentNode->hasCheckedDescendant())
        parentNode->setChecked(false);

    emitNodeChanged(index, node);
    const QModelIndex parentIndex = index.parent();
    if (parentIndex.isValid())
        emit dataChanged(parentIndex, parentIndex);
    return true;
}

QVariant RegionAndBranchTreeModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

Qt::ItemFlags RegionAndBranchTreeModel::flags(const QModelIndex &index) const
{
    if (!m_rootItem || !index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
}
