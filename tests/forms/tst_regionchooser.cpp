// The region and economic-sector chooser: its tree built from the dictionary maps and its ticks, the
// owner's round trip and the rebuild after a dictionary reload.
#include "branch.h"
#include "branchlist.h"
#include "filterlinklist.h"
#include "formtesthelpers.h"
#include "messageboxdriver.h"
#include "region.h"
#include "regionandbranchtreeitem.h"
#include "regionlist.h"
#include "regionsform.h"
#include "testapplication.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using Entity::FilterLinkList;

namespace {

// "id:parent ..." as records named "<prefix><id>"; the list owns them.
template<class List, class Record> void fillList(List &list, const QString &records, const QString &prefix)
{
    list.clear();
    for (const QString &item : records.split(' ', Qt::SkipEmptyParts)) {
        auto *record = new Record();
        record->id = item.section(':', 0, 0).toLongLong();
        record->parentId = item.section(':', 1).toLongLong();
        record->name = prefix + QString::number(record->id);
        list.items << record;
    }
}

// The tree as the view sees it, "1(2(3)) 4", a "+" after each ticked node.
QString render(const QAbstractItemModel &model, const QModelIndex &parent = {})
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const QString below = render(model, index);
        rows << index.data().toString() + (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? "+" : "")
                + (below.isEmpty() ? QString() : '(' + below + ')');
    }
    return rows.join(' ');
}

QModelIndex find(const QAbstractItemModel &model, const QString &name)
{
    return model.match(model.index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

} // namespace

class TestRegionChooser : public QObject
{
    Q_OBJECT

    Entity::RegionList regions;
    Entity::BranchList branches;

    // Replaces both dictionaries, as a dictionary synchronization does (the old records are freed).
    void useDictionaries(const QString &records, const QString &prefix = {})
    {
        fillList<Entity::RegionList, Entity::Region>(regions, records, prefix);
        fillList<Entity::BranchList, Entity::Branch>(branches, records, prefix);
        FilterLinkList::regionMap(&regions);
        FilterLinkList::branchMap(&branches);
    }

private slots:
    void cleanup() { useDictionaries({}); }

    void tree_data()
    {
        // The link type, the dictionary records "id:parent", the ticks set one after the other ("id=state"), the
        // tree then ("+" marks a ticked node), and whether the last tick changed anything.
        for (const char *column : {"type", "records", "steps", "tree", "lastSignals"})
            QTest::addColumn<QString>(column);
        addTextRow("flat", {"2", "3:-1 1:-1 2:-1", "", "1 2 3", "0"});
        addTextRow("missing parent", {"2", "1:-1 2:99 3:-1", "", "1 2 3", "0"});
        addTextRow("parent with a higher id", {"2", "1:3 2:3 3:-1 4:1", "", "3(1(4) 2)", "0"});
        addTextRow("own parent", {"2", "1:1 2:-1", "", "1 2", "0"});
        addTextRow("two-node loop", {"2", "1:2 2:1 3:-1", "", "2(1) 3", "0"});
        addTextRow("loop through a descendant", {"2", "1:3 2:1 3:2", "", "3(1(2))", "0"});
        addTextRow("sectors", {"3", "1:-1 2:1 3:2", "", "1(2(3))", "0"});
        addTextRow("other type", {"1", "1:-1", "", "", "0"});
        const QString chain = QStringLiteral("1:-1 2:1 3:2 4:3 5:1");
        addTextRow("tick two levels down", {"2", chain, "1=2", "1+(2+(3+(4)) 5+)", "1"});
        addTextRow("tick a child alone", {"2", chain, "2=2", "1(2+(3+(4+)) 5)", "1"});
        addTextRow("last ticked child unticks its parent only", {"2", chain, "1=2 5=0 3=0", "1+(2(3(4)) 5)", "1"});
        addTextRow("parent stays while a child is ticked", {"2", chain, "1=2 5=0", "1+(2+(3+(4)) 5)", "1"});
        addTextRow("parent goes with the last one", {"2", chain, "1=2 5=0 2=0", "1(2(3(4)) 5)", "1"});
        addTextRow("partly means unticked", {"2", chain, "1=2 1=1", "1(2(3(4)) 5)", "1"});
        addTextRow("same state again", {"2", chain, "2=2 2=2", "1(2+(3+(4+)) 5)", "0"});
    }

    void tree()
    {
        QFETCH(QString, records);
        QFETCH(QString, type);
        QFETCH(QString, steps);
        useDictionaries(records);
        RegionsForm form;
        QAbstractItemModelTester tester(&form.treeModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.linkType = FilterLinkList::LinkType(type.toInt());
        form.show();
        QSignalSpy changes(&form.treeModel, &QAbstractItemModel::dataChanged);
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            changes.clear();
            const QModelIndex index = find(form.treeModel, step.section('=', 0, 0));
            QVERIFY(form.treeModel.setData(index, step.section('=', 1).toInt(), Qt::CheckStateRole));
        }
        QTEST(QString::number(!changes.isEmpty()), "lastSignals");
        QTEST(render(form.treeModel), "tree");
        QVERIFY(!form.treeModel.setData(find(form.treeModel, "1"), Qt::Checked, Qt::DisplayRole));
    }

    void ownerRoundTrip()
    {
        useDictionaries("1:-1 2:1 3:-1 5:3");
        const QList<qint64> filterIds {5, 99, 2, 2, 77};
        RegionsForm form;
        form.setTickedIds(filterIds);
        QTimer::singleShot(0, &form, [&] { form.treeModel.setData(find(form.treeModel, "5"), 0, Qt::CheckStateRole); });
        MessageBoxDriver driver({"Сохранить"});
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(driver.seen(), QStringList {"Выберите регионы|"});
        // Ids the dictionary does not know are kept after the ticked ones; a double id comes back once.
        QCOMPARE(form.tickedIds(filterIds), (QList<qint64> {2, 99, 77}));
        form.setTickedIds(filterIds); // the next opening shows the filter's ticks again
        MessageBoxDriver cancel({"Отмена"});
        QCOMPARE(form.exec(), int(QDialog::Rejected));
        QCOMPARE(form.tickedIds(filterIds), (QList<qint64> {2, 5, 99, 77}));
    }

    void rebuildAfterDictionaryReload()
    {
        useDictionaries("1:-1 2:1", "old ");
        RegionsForm form;
        form.show();
        form.hide();
        useDictionaries("1:-1 3:-1 2:3", "new ");
        QVERIFY(!form.isTreeCurrent());
        form.setTickedIds({2});
        QCOMPARE(render(form.treeModel), QStringLiteral("new 1 new 3(new 2+)"));
        form.show();
        QVERIFY(form.isTreeCurrent());
    }
};

TAVREL_TEST_MAIN(TestRegionChooser)
#include "tst_regionchooser.moc"
