// The region and economic-sector chooser: its tree built from the dictionary maps, the ticks, the
// owner's round trip and the rebuild after a dictionary reload.
#include "branch.h"
#include "branchlist.h"
#include "filterlinklist.h"
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

// "id:parent id:parent ..." as dictionary records named "<prefix><id>"; the list owns them.
template<class List, class Record> void fillList(List &list, const QString &records, const QString &prefix = {})
{
    list.clear();
    for (const QString &item : records.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto *record = new Record();
        record->id = item.section(QLatin1Char(':'), 0, 0).toLongLong();
        record->parentId = item.section(QLatin1Char(':'), 1, 1).toLongLong();
        record->name = prefix + QString::number(record->id);
        list.items << record;
    }
}

// The tree as the view sees it: "1(2(3)) 4".
QString render(const QAbstractItemModel &model, const QModelIndex &parent = {})
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const QString below = render(model, index);
        rows << index.data().toString() + (below.isEmpty() ? QString() : QLatin1Char('(') + below + QLatin1Char(')'));
    }
    return rows.join(QLatin1Char(' '));
}

QModelIndex find(const QAbstractItemModel &model, const QString &name)
{
    const QModelIndexList found
        = model.match(model.index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.value(0);
}

} // namespace

class TestRegionChooser : public QObject
{
    Q_OBJECT

    Entity::RegionList regions;
    Entity::BranchList branches;

    void useDictionaries(const QString &records, const QString &prefix = {})
    {
        fillList<Entity::RegionList, Entity::Region>(regions, records, prefix);
        fillList<Entity::BranchList, Entity::Branch>(branches, records, prefix);
        FilterLinkList::regionMap(&regions);
        FilterLinkList::branchMap(&branches);
    }

private slots:
    void cleanup() { useDictionaries({}); }

    void fill_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("records");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QString>("title");
        const int region = FilterLinkList::Region;
        QTest::newRow("flat") << region << "3:-1 1:-1 2:-1"
                              << "1 2 3"
                              << "Выберите регионы";
        QTest::newRow("missing parent") << region << "1:-1 2:99 3:-1"
                                        << "1 2 3"
                                        << "Выберите регионы";
        QTest::newRow("parent with a higher id") << region << "1:3 2:3 3:-1 4:1"
                                                 << "3(1(4) 2)"
                                                 << "Выберите регионы";
        QTest::newRow("own parent") << region << "1:1 2:-1"
                                    << "1 2"
                                    << "Выберите регионы";
        QTest::newRow("two-node loop") << region << "1:2 2:1 3:-1"
                                       << "2(1) 3"
                                       << "Выберите регионы";
        QTest::newRow("loop through a descendant") << region << "1:3 2:1 3:2"
                                                   << "3(1(2))"
                                                   << "Выберите регионы";
        QTest::newRow("sectors") << int(FilterLinkList::Branch) << "1:-1 2:1 3:2"
                                 << "1(2(3))"
                                 << "Выберите отрасли";
        QTest::newRow("other type") << int(FilterLinkList::Undefined) << "1:-1"
                                    << ""
                                    << "Form";
    }

    void fill()
    {
        QFETCH(int, type);
        QFETCH(QString, records);
        useDictionaries(records);
        RegionsForm form;
        QAbstractItemModelTester tester(&form.treeModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.linkType = FilterLinkList::LinkType(type);
        form.setWindowTitle(QStringLiteral("Form"));
        form.show();
        QTEST(render(form.treeModel), "tree");
        QTEST(form.windowTitle(), "title");
        // Every record has its node, the root first; the tree remembers each record's place.
        const int known = type == FilterLinkList::Undefined ? 0 : regions.items.size();
        QCOMPARE(form.allItems.size(), known + 1);
        for (int i = 1; i < form.allItems.size(); ++i) {
            const RegionAndBranchTreeItem *node = form.allItems.at(i);
            const Entity::DictionaryEntry *record
                = node->region ? static_cast<Entity::DictionaryEntry *>(node->region) : node->branch;
            QVERIFY(record && (node->region == nullptr) != (node->branch == nullptr));
            QCOMPARE(record->itemIndex, i);
        }
    }

    void ticking_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<bool>("lastSignals");
        // The tree is 1(2(3(4)) 5).
        QTest::newRow("two levels down") << QStringList {"1=2"} << "1 2 3 5" << true;
        QTest::newRow("child alone") << QStringList {"2=2"} << "2 3 4" << true;
        QTest::newRow("last ticked child unticks its parent only") << QStringList {"1=2", "3=0"} << "1 5" << true;
        QTest::newRow("parent stays while a child is ticked") << QStringList {"1=2", "5=0"} << "1 2 3" << true;
        QTest::newRow("parent goes with the last one") << QStringList {"1=2", "5=0", "2=0"} << "" << true;
        QTest::newRow("partly means unticked") << QStringList {"1=2", "1=1"} << "" << true;
        QTest::newRow("same state again") << QStringList {"2=2", "2=2"} << "2 3 4" << false;
    }

    void ticking()
    {
        QFETCH(QStringList, steps);
        useDictionaries(QStringLiteral("1:-1 2:1 3:2 4:3 5:1"));
        RegionsForm form;
        QAbstractItemModelTester tester(&form.treeModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.ensureTree();
        QSignalSpy changes(&form.treeModel, &QAbstractItemModel::dataChanged);
        for (const QString &step : steps) {
            changes.clear();
            const QModelIndex index = find(form.treeModel, step.section(QLatin1Char('='), 0, 0));
            QVERIFY(form.treeModel.setData(index, step.section(QLatin1Char('='), 1).toInt(), Qt::CheckStateRole));
        }
        QTEST(!changes.isEmpty(), "lastSignals");
        QStringList ticked;
        for (qint64 id : form.tickedIds({}))
            ticked << QString::number(id);
        QTEST(ticked.join(QLatin1Char(' ')), "ticked");
        QCOMPARE(find(form.treeModel, "1").data(Qt::CheckStateRole).toInt(), ticked.contains("1") ? 2 : 0);
        QVERIFY(!form.treeModel.setData(find(form.treeModel, "1"), Qt::Checked, Qt::DisplayRole));
    }

    void ownerRoundTrip_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("save") << "Сохранить" << int(QDialog::Accepted);
        QTest::newRow("cancel") << "Отмена" << int(QDialog::Rejected);
    }

    void ownerRoundTrip()
    {
        QFETCH(QString, answer);
        useDictionaries(QStringLiteral("1:-1 2:1 3:-1 5:3"));
        const QList<qint64> filterIds {5, 99, 2, 2, 77};
        RegionsForm form;
        form.ensureTree();
        form.setTickedIds(filterIds);
        // The user unticks 5 before answering.
        QTimer::singleShot(0, &form, [&] { form.treeModel.setData(find(form.treeModel, "5"), 0, Qt::CheckStateRole); });
        MessageBoxDriver driver({answer});
        QTEST(form.exec(), "result");
        QCOMPARE(driver.seen(), QStringList {"Выберите регионы|"});
        // Ids the dictionary does not know are kept, after the ticked ones; a double id comes back once.
        QCOMPARE(form.tickedIds(filterIds), (QList<qint64> {2, 99, 77}));
        form.setTickedIds(filterIds);
        QCOMPARE(form.tickedIds(filterIds), (QList<qint64> {2, 5, 99, 77}));
    }

    void rebuildAfterDictionaryReload()
    {
        useDictionaries(QStringLiteral("1:-1 2:1"), QStringLiteral("old "));
        RegionsForm form;
        QAbstractItemModelTester tester(&form.treeModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.show();
        form.hide();
        QCOMPARE(render(form.treeModel), QStringLiteral("old 1(old 2)"));
        // A dictionary synchronization replaces the map and frees the records the tree was built from.
        useDictionaries(QStringLiteral("1:-1 3:-1 2:3"), QStringLiteral("new "));
        QVERIFY(!form.isTreeCurrent());
        form.ensureTree();
        form.setTickedIds({2});
        QCOMPARE(render(form.treeModel), QStringLiteral("new 1 new 3(new 2)"));
        QCOMPARE(form.allItems.at(1)->region, regions.items.at(0));
        form.show();
        QVERIFY(form.isTreeCurrent());
        QCOMPARE(form.tickedIds({}), QList<qint64> {2});
    }
};

TAVREL_TEST_MAIN(TestRegionChooser)
#include "tst_regionchooser.moc"
