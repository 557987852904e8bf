#include "regionsform.h"
#include "branch.h"
#include "region.h"
#include "regionandbranchtreeitem.h"
#include "ui_regionsform.h"

#include <QPushButton>

namespace {

// Whether hanging `node` under `candidate` would close a loop: the node is the candidate or one of
// its ancestors so far.
bool wouldCycle(const RegionAndBranchTreeItem *node, const RegionAndBranchTreeItem *candidate)
{
    for (const RegionAndBranchTreeItem *above = candidate; above; above = above->parentItem()) {
        if (above == node)
            return true;
    }
    return false;
}

// One node per record in ascending id order, each record told its node's position; then every node
// hung under the node of its parent record, or at the top level when there is none or that would make
// a loop (a record naming itself or one of its descendants as parent).
template<class Record>
void buildTree(const QMap<qint64, Record *> &map, RegionAndBranchTreeItem *root,
               QList<RegionAndBranchTreeItem *> &allItems, QSet<qint64> &knownIds,
               Record *RegionAndBranchTreeItem::*recordField)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        Record *record = it.value();
        if (!record)
            continue;
        auto *node = new RegionAndBranchTreeItem();
        node->*recordField = record;
        node->recordId = record->id;
        node->itemData << record->name;
        record->itemIndex = allItems.size();
        allItems << node;
        knownIds.insert(record->id);
    }
    for (int i = 1; i < allItems.size(); ++i) {
        RegionAndBranchTreeItem *node = allItems.at(i);
        const Record *record = node->*recordField;
        RegionAndBranchTreeItem *parentNode = nullptr;
        if (record->parentId >= 0) {
            if (const Record *parentRecord = map.value(record->parentId)) {
                RegionAndBranchTreeItem *candidate = allItems.value(parentRecord->itemIndex);
                if (candidate && candidate->*recordField == parentRecord && !wouldCycle(node, candidate))
                    parentNode = candidate;
            }
        }
        (parentNode ? parentNode : root)->appendChild(node);
    }
}

} // namespace

RegionsForm::RegionsForm(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::RegionsForm)
{
    ui->setupUi(this);
    ui->treeView->setModel(&treeModel);
    setModal(true);
    connect(ui->btnSave, &QPushButton::pressed, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::pressed, this, &QDialog::reject);
}

RegionsForm::~RegionsForm()
{
    delete ui;
    allItems.clear();
}

int RegionsForm::mapStamp(Entity::FilterLinkList::LinkType type) const
{
    if (type == Entity::FilterLinkList::Region)
        return Entity::FilterLinkList::regionMapStamp();
    if (type == Entity::FilterLinkList::Branch)
        return Entity::FilterLinkList::branchMapStamp();
    return 0;
}

void RegionsForm::fillTree()
{
    allItems.clear();
    knownIds.clear();
    auto *root = new RegionAndBranchTreeItem();
    allItems << root;
    if (linkType == Entity::FilterLinkList::Region) {
        root->itemData << tr("Регионы");
        buildTree(Entity::FilterLinkList::regionMap(), root, allItems, knownIds, &RegionAndBranchTreeItem::region);
    } else if (linkType == Entity::FilterLinkList::Branch) {
        root->itemData << tr("Отрасли");
        buildTree(Entity::FilterLinkList::branchMap(), root, allItems, knownIds, &RegionAndBranchTreeItem::branch);
    }
    filledType = linkType;
    filledStamp = mapStamp(linkType);
    treeModel.setRootItem(root);
}

bool RegionsForm::isTreeCurrent() const
{
    return treeModel.rootItem() && filledType == linkType && filledStamp == mapStamp(linkType);
}

void RegionsForm::ensureTree()
{
    if (!isTreeCurrent())
        fillTree();
}

void RegionsForm::setTickedIds(const QList<qint64> &ids)
{
    // A tree rebuilt later, when the dialog shows, would drop these ticks.
    ensureTree();
    const QSet<qint64> wanted(ids.cbegin(), ids.cend());
    for (int i = 1; i < allItems.size(); ++i)
        allItems.at(i)->checked = wanted.contains(allItems.at(i)->recordId);
}

QList<qint64> RegionsForm::tickedIds(const QList<qint64> &previous) const
{
    QList<qint64> ids;
    for (int i = 1; i < allItems.size(); ++i) {
        if (allItems.at(i)->checked)
            ids << allItems.at(i)->recordId;
    }
    QSet<qint64> unknown;
    for (qint64 id : previous) {
        if (!knownIds.contains(id) && !unknown.contains(id)) {
            unknown.insert(id);
            ids << id;
        }
    }
    return ids;
}

void RegionsForm::showEvent(QShowEvent *event)
{
    if (linkType == Entity::FilterLinkList::Region)
        setWindowTitle(tr("Выберите регионы"));
    else if (linkType == Entity::FilterLinkList::Branch)
        setWindowTitle(tr("Выберите отрасли"));
    ensureTree();
    // Not the dialog's own handling, which would centre the chooser.
    QWidget::showEvent(event);
}
