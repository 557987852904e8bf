// Fills an economic-sector chooser from a three-level dictionary and opens it with many ids ticked,
// against building the same checkable tree as a QStandardItemModel in the same run.
// Usage: bench_chooser [records] [ticked ids]. Targets: fill at most 1.5 times the plain model, opening
// pass at most 5 ms. The exit status is 1 when a target is missed.

#include "benchsupport.h"
#include "branch.h"
#include "branchlist.h"
#include "filterlinklist.h"
#include "regionsform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

// 1 % top level, 9 % second level, the rest third level; parents are drawn from the level above, so
// many a parent has a higher id than its child.
void makeDictionary(Entity::BranchList &list, int count)
{
    QRandomGenerator random(7);
    std::vector<qint64> ids(count);
    for (int i = 0; i < count; ++i)
        ids[i] = i + 1;
    std::shuffle(ids.begin(), ids.end(), random);
    const int top = qMax(1, count / 100);
    const int middle = qMax(top + 1, count / 10);
    for (int i = 0; i < count; ++i) {
        auto *branch = new Entity::Branch();
        branch->id = ids[i];
        branch->parentId = i < top ? -1 : ids[i < middle ? random.bounded(top) : top + random.bounded(middle - top)];
        branch->name = QStringLiteral("Отрасль %1").arg(branch->id);
        list.items << branch;
    }
}

qint64 plainModelNs(const Entity::FilterLinkList::BranchMap &map)
{
    QElapsedTimer timer;
    timer.start();
    QStandardItemModel model;
    QHash<qint64, QStandardItem *> items;
    items.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        auto *item = new QStandardItem(it.value()->name);
        item->setCheckable(true);
        items.insert(it.key(), item);
    }
    QList<QStandardItem *> topLevel;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        QStandardItem *parent = items.value(it.value()->parentId);
        if (parent)
            parent->appendRow(items.value(it.key()));
        else
            topLevel << items.value(it.key());
    }
    model.invisibleRootItem()->appendRows(topLevel);
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;
    const int ticked = argc > 2 ? QByteArray(argv[2]).toInt() : 2000;
    Entity::BranchList dictionary;
    makeDictionary(dictionary, count);
    Entity::FilterLinkList::branchMap(&dictionary);
    QList<qint64> filterIds;
    for (int i = 0; i < ticked; ++i)
        filterIds << dictionary.items.at((i * 7919) % count)->id;

    std::vector<qint64> fills, plains, openings, accepts;
    for (int run = 0; run < 7; ++run) {
        RegionsForm form;
        form.linkType = Entity::FilterLinkList::Branch;
        QElapsedTimer timer;
        timer.start();
        form.ensureTree();
        fills.push_back(timer.nsecsElapsed());
        plains.push_back(plainModelNs(Entity::FilterLinkList::branchMap()));
        timer.restart();
        form.ensureTree();
        form.setTickedIds(filterIds);
        openings.push_back(timer.nsecsElapsed());
        timer.restart();
        const QList<qint64> result = form.tickedIds(filterIds);
        accepts.push_back(timer.nsecsElapsed());
        if (result.size() != QSet<qint64>(filterIds.cbegin(), filterIds.cend()).size())
            return 2;
    }

    const double fillMs = bench::median(fills) / 1e6;
    const double plainMs = bench::median(plains) / 1e6;
    const double openingMs = bench::median(openings) / 1e6;
    const double ratio = fillMs / plainMs;
    QTextStream out(stdout);
    out << "chooser fill, " << count << " records: " << fillMs << " ms\n";
    out << "QStandardItemModel, same tree: " << plainMs << " ms\n";
    out << "opening pass, " << ticked << " ids ticked: " << openingMs << " ms (target <= 5)\n";
    out << "accept pass: " << bench::median(accepts) / 1e6 << " ms\n";
    out << "fill / plain model: " << ratio << " (target <= 1.5)\n";
    dictionary.clear();
    return ratio <= 1.5 && openingMs <= 5.0 ? 0 : 1;
}
