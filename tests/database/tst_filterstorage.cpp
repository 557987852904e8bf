#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
#include "databasefixture.h"
#include "filter.h"
#include "filterlist.h"

namespace {

const QString LOGIN = QStringLiteral("subscriber");

Entity::Filter *newFilter(const QString &name, int displayOrder = 0)
{
    auto *filter = new Entity::Filter;
    filter->name = name;
    filter->displayOrder = displayOrder;
    return filter;
}

// Owns the records of a filter list for the length of a test.
struct Filters
{
    Entity::FilterList list {nullptr};
    ~Filters() { list.clear(); }
    Filters &operator<<(Entity::Filter *filter)
    {
        list.items << filter;
        return *this;
    }
    Entity::Filter *at(int i) const { return list.items.at(i); }
};

QStringList storedNames(QSqlDatabase &db, const QString &login = LOGIN)
{
    return DbTest::strings(db, QStringLiteral("SELECT Name FROM Filters WHERE Login = ? ORDER BY DisplayOrder, Name"),
                           {login});
}

} // namespace

class TestFilterStorage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip();
    void savedAgainKeepsLocalIdAndReplacesLinks();
    void duplicateLinkIdsAreStoredOnce();
    void nothingChangedWritesNothing_data();
    void nothingChangedWritesNothing();
    void replaceAll();
    void replaceAllWritesUnchangedRecords();
    void failedWriteRollsBack_data();
    void failedWriteRollsBack();
    void failedCommitMarksRecordsChanged();
    void failedSaveInsideCallerTransaction();
    void unknownStateLoadsAsError();
    void loginsAreComparedExactly();
    void setFilterSynchronized();
    void removeFilter();
    void failedRemoveDeletesNothing();

private:
    DatabaseFixture f;
};

void TestFilterStorage::init()
{
    QVERIFY(f.open());
}

void TestFilterStorage::cleanup()
{
    f.close();
    Clock::reset();
}

void TestFilterStorage::roundTrip()
{
    Filters saved;
    Entity::Filter *filter = newFilter(QStringLiteral("Ремонт"), 3);
    filter->login = QStringLiteral("someone else");
    filter->id = 77;
    filter->setWordsExceptions(QStringLiteral("a  b "));
    filter->wordSerch = QStringLiteral("ремонт кровли");
    filter->amountOrdersFrom = QStringLiteral("1000");
    filter->amountOrdersTo = QStringLiteral("50000.5");
    filter->orderType = QStringLiteral("COMMERCIAL");
    filter->searchArea = QStringLiteral("CURRENT_ORDERS");
    filter->withMorphology = true;
    filter->enabled = true;
    filter->priceQuotation = true;
    filter->easyPurchase = true;
    filter->openingTimeFrom = QDateTime(QDate(2014, 5, 1), QTime(0, 0), Qt::UTC);
    filter->openingTimeTo = QDateTime(QDate(2014, 5, 31), QTime(23, 59), Qt::UTC);
    filter->closingTimeFrom = QDateTime(QDate(2014, 6, 1), QTime(8, 0), Qt::UTC);
    filter->filterChangeDate = QDateTime(QDate(2014, 4, 30), QTime(12, 0, 5), Qt::UTC);
    filter->state = Entity::FilterList::Edited;
    filter->branches = {11, 12};
    filter->regions = {21, 22};
    saved << filter;

    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    QVERIFY(!filter->changed);
    QVERIFY(filter->localId >= 0);

    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QCOMPARE(loaded.list.items.size(), 1);
    Entity::Filter *back = loaded.at(0);
    QVERIFY(!back->changed);
    QVERIFY(back->closingTimeTo.isNull());
    QCOMPARE(back->wordsExceptions, (QStringList {"a", "b"}));
    filter->login = LOGIN; // the login argument decides the row's owner
    QCOMPARE(back->toVariantMap(), filter->toVariantMap());

    // No excluded words are stored as NULL and load as an empty list.
    filter->wordsExceptions.clear();
    filter->changed = true;
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    QVERIFY(DbTest::scalar(f.sql(), QStringLiteral("SELECT WordsExceptions FROM Filters")).isNull());
    Filters reloaded;
    reloaded.list = f.query()->filters(LOGIN);
    QVERIFY(reloaded.at(0)->wordsExceptions.isEmpty());
}

void TestFilterStorage::savedAgainKeepsLocalIdAndReplacesLinks()
{
    Filters saved;
    saved << newFilter(QStringLiteral("one"), 1) << newFilter(QStringLiteral("two"), 2);
    saved.at(0)->regions = {1, 2, 3};
    saved.at(0)->branches = {4};
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    const qint64 firstId = saved.at(0)->localId;
    QVERIFY(saved.at(1)->localId != firstId);

    saved.at(0)->regions = {3, 9};
    saved.at(0)->branches.clear();
    saved.at(0)->changed = true;
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    QCOMPARE(saved.at(0)->localId, firstId);
    QCOMPARE(DbTest::scalar(f.sql(), QStringLiteral("SELECT COUNT(*) FROM Filters")).toInt(), 2);

    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QCOMPARE(loaded.at(0)->localId, firstId);
    QList<qint64> regions = loaded.at(0)->regions;
    std::sort(regions.begin(), regions.end());
    QCOMPARE(regions, (QList<qint64> {3, 9}));
    QVERIFY(loaded.at(0)->branches.isEmpty());
}

void TestFilterStorage::duplicateLinkIdsAreStoredOnce()
{
    Filters saved;
    saved << newFilter(QStringLiteral("dup"));
    saved.at(0)->branches = {5, 6, 5, 7};
    saved.at(0)->regions = {8, 8};
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QList<qint64> branches = loaded.at(0)->branches;
    std::sort(branches.begin(), branches.end());
    QCOMPARE(branches, (QList<qint64> {5, 6, 7}));
    QCOMPARE(loaded.at(0)->regions, QList<qint64> {8});
}

void TestFilterStorage::nothingChangedWritesNothing_data()
{
    QTest::addColumn<bool>("replaceAll");
    QTest::addColumn<bool>("emptyList");
    QTest::newRow("merge, unchanged record") << false << false;
    QTest::newRow("replace-all, unchanged record") << true << false;
    QTest::newRow("replace-all, empty list") << true << true;
}

void TestFilterStorage::nothingChangedWritesNothing()
{
    QFETCH(bool, replaceAll);
    QFETCH(bool, emptyList);

    Filters stored;
    stored << newFilter(QStringLiteral("stored"));
    QVERIFY(f.query()->saveFilters(LOGIN, stored.list, false));

    Filters given;
    if (!emptyList) {
        given << newFilter(QStringLiteral("unchanged"));
        given.at(0)->changed = false;
    }
    QVERIFY(f.query()->saveFilters(LOGIN, given.list, replaceAll));
    QCOMPARE(storedNames(f.sql()), QStringList {"stored"});
    QCOMPARE(f.dataBase()->transactionDepth, 0);
}

void TestFilterStorage::replaceAll()
{
    Filters stored;
    stored << newFilter(QStringLiteral("MyFilter"), 5) << newFilter(QStringLiteral("Gone"), 1);
    stored.at(1)->regions = {1};
    QVERIFY(f.query()->saveFilters(LOGIN, stored.list, false));
    Filters otherLogin;
    otherLogin << newFilter(QStringLiteral("other"), 1);
    QVERIFY(f.query()->saveFilters(QStringLiteral("other"), otherLogin.list, false));

    Filters received;
    received << newFilter(QStringLiteral("fresh"), 2) << newFilter(QStringLiteral("myfilter"), 0);
    for (Entity::Filter *filter : received.list.items)
        filter->state = Entity::FilterList::Sync;
    QVERIFY(f.query()->saveFilters(LOGIN, received.list, true));

    QCOMPARE(storedNames(f.sql()), (QStringList {"fresh", "myfilter"}));
    QCOMPARE(received.at(1)->displayOrder, 5); // carried over by name, ignoring case
    QCOMPARE(received.at(0)->displayOrder, 2);
    QVERIFY(received.at(0)->localId > 0);
    QVERIFY(received.at(1)->localId > 0);
    QVERIFY(received.at(0)->localId != received.at(1)->localId);
    QCOMPARE(storedNames(f.sql(), QStringLiteral("other")), QStringList {"other"});

    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QCOMPARE(loaded.list.items.size(), 2);
    for (const Entity::Filter *filter : loaded.list.items) {
        QCOMPARE(filter->state, Entity::FilterList::Sync);
        QVERIFY(filter->regions.isEmpty()); // links of removed filters never come back
    }
}

void TestFilterStorage::replaceAllWritesUnchangedRecords()
{
    Filters received;
    received << newFilter(QStringLiteral("changed")) << newFilter(QStringLiteral("unchanged"));
    received.at(1)->changed = false;
    QVERIFY(f.query()->saveFilters(LOGIN, received.list, true));
    QCOMPARE(storedNames(f.sql()), (QStringList {"changed", "unchanged"}));
}

// A failing row or link write rolls the whole save back: nothing of it stays, every record stays
// marked changed and gets its previous local id (-1) back.
void TestFilterStorage::failedWriteRollsBack_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("replaceAll");
    QTest::newRow("row write, merge") << TABLE_FILTERS << "NEW.Name = 'bad'" << false;
    QTest::newRow("row write, replace-all") << TABLE_FILTERS << "NEW.Name = 'bad'" << true;
    QTest::newRow("link write") << TABLE_FILTER_BRANCHES << "NEW.BranchId = 13" << false;
}

void TestFilterStorage::failedWriteRollsBack()
{
    QFETCH(QString, table);
    QFETCH(QString, when);
    QFETCH(bool, replaceAll);

    Filters stored;
    stored << newFilter(QStringLiteral("stored"));
    QVERIFY(f.query()->saveFilters(LOGIN, stored.list, false));
    QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("fail"), QStringLiteral("INSERT"), table, when));
    Filters given;
    given << newFilter(QStringLiteral("good")) << newFilter(QStringLiteral("bad"));
    given.at(1)->branches = {12, 13};
    QVERIFY(!f.query()->saveFilters(LOGIN, given.list, replaceAll));
    QCOMPARE(f.dataBase()->transactionDepth, 0);
    QCOMPARE(storedNames(f.sql()), QStringList {"stored"});
    QCOMPARE(DbTest::scalar(f.sql(), QStringLiteral("SELECT COUNT(*) FROM FilterBranches")).toInt(), 0);
    for (const Entity::Filter *filter : given.list.items) {
        QVERIFY(filter->changed);
        QCOMPARE(filter->localId, -1);
    }
}

void TestFilterStorage::failedCommitMarksRecordsChanged()
{
    QVERIFY(
        DbTest::addCommitGuard(f.sql(), QStringLiteral("INSERT"), TABLE_FILTERS, QStringLiteral("NEW.Name = 'late'")));
    Filters stored;
    stored << newFilter(QStringLiteral("stored"));
    QVERIFY(f.query()->saveFilters(LOGIN, stored.list, false));
    const qint64 storedId = stored.at(0)->localId;

    Filters given;
    given << newFilter(QStringLiteral("late")) << stored.at(0);
    stored.list.items.clear();
    given.at(1)->changed = true;
    QVERIFY(!f.query()->saveFilters(LOGIN, given.list, false));
    QVERIFY(given.at(0)->changed);
    QVERIFY(given.at(1)->changed);
    QCOMPARE(given.at(0)->localId, -1);
    QCOMPARE(given.at(1)->localId, storedId);
    QCOMPARE(storedNames(f.sql()), QStringList {"stored"});
}

void TestFilterStorage::failedSaveInsideCallerTransaction()
{
    QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("fail"), QStringLiteral("INSERT"), TABLE_FILTERS,
                                      QStringLiteral("NEW.Name = 'bad'")));
    QVERIFY(f.dataBase()->beginTransaction());
    Filters first;
    first << newFilter(QStringLiteral("outer"));
    QVERIFY(f.query()->saveFilters(LOGIN, first.list, false));
    Filters second;
    second << newFilter(QStringLiteral("inner")) << newFilter(QStringLiteral("bad"));
    QVERIFY(!f.query()->saveFilters(LOGIN, second.list, true));
    QVERIFY(f.dataBase()->commitOrRollback());
    QCOMPARE(storedNames(f.sql()), QStringList {"outer"});
}

void TestFilterStorage::unknownStateLoadsAsError()
{
    Filters saved;
    saved << newFilter(QStringLiteral("odd"));
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    QVERIFY(DbTest::exec(f.sql(), QStringLiteral("UPDATE Filters SET State = 'Bogus'")));
    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QCOMPARE(loaded.at(0)->state, Entity::FilterList::Error);
    loaded.at(0)->changed = true;
    QVERIFY(f.query()->saveFilters(LOGIN, loaded.list, false));
    QCOMPARE(DbTest::strings(f.sql(), QStringLiteral("SELECT State FROM Filters")), QStringList {"Error"});
}

void TestFilterStorage::loginsAreComparedExactly()
{
    Filters saved;
    saved << newFilter(QStringLiteral("mine"));
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    Filters loaded;
    loaded.list = f.query()->filters(LOGIN.toUpper());
    QVERIFY(loaded.list.items.isEmpty());

    Filters received;
    received << newFilter(QStringLiteral("theirs"));
    QVERIFY(f.query()->saveFilters(LOGIN.toUpper(), received.list, true));
    QCOMPARE(storedNames(f.sql()), QStringList {"mine"});
}

void TestFilterStorage::setFilterSynchronized()
{
    Filters saved;
    saved << newFilter(QStringLiteral("pushed"));
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    const qint64 localId = saved.at(0)->localId;
    const QDateTime now(QDate(2026, 12, 6), QTime(21, 30), Qt::UTC);
    Clock::setFixed(now);

    QVERIFY(f.query()->setFilterSynchronized(QStringLiteral("intruder"), localId, 999));
    QVERIFY(f.query()->setFilterSynchronized(LOGIN, localId + 100, 999));
    Filters unchanged;
    unchanged.list = f.query()->filters(LOGIN);
    QCOMPARE(unchanged.at(0)->id, -1);
    QCOMPARE(unchanged.at(0)->state, Entity::FilterList::New);

    QVERIFY(f.query()->setFilterSynchronized(LOGIN, localId, 4242));
    Filters loaded;
    loaded.list = f.query()->filters(LOGIN);
    QCOMPARE(loaded.at(0)->id, 4242);
    QCOMPARE(loaded.at(0)->state, Entity::FilterList::Sync);
    QCOMPARE(loaded.at(0)->filterChangeDate, now);
}

void TestFilterStorage::removeFilter()
{
    Filters saved;
    saved << newFilter(QStringLiteral("a"), 1) << newFilter(QStringLiteral("b"), 2)
          << newFilter(QStringLiteral("c"), 3);
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    Filters other;
    other << newFilter(QStringLiteral("theirs"));
    QVERIFY(f.query()->saveFilters(QStringLiteral("other"), other.list, false));

    QVERIFY(f.query()->removeFilter(LOGIN, {saved.at(0)->localId, saved.at(2)->localId, 12345, other.at(0)->localId}));
    QCOMPARE(storedNames(f.sql()), QStringList {"b"});
    QCOMPARE(storedNames(f.sql(), QStringLiteral("other")), QStringList {"theirs"});
    QVERIFY(f.query()->removeFilter(LOGIN, {}));
    QCOMPARE(f.dataBase()->transactionDepth, 0);
}

void TestFilterStorage::failedRemoveDeletesNothing()
{
    Filters saved;
    saved << newFilter(QStringLiteral("a"), 1) << newFilter(QStringLiteral("b"), 2);
    QVERIFY(f.query()->saveFilters(LOGIN, saved.list, false));
    QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("fail"), QStringLiteral("DELETE"), TABLE_FILTERS,
                                      QStringLiteral("OLD.Name = 'b'")));
    QVERIFY(!f.query()->removeFilter(LOGIN, {saved.at(0)->localId, saved.at(1)->localId}));
    QCOMPARE(f.dataBase()->transactionDepth, 0);
    QCOMPARE(storedNames(f.sql()), (QStringList {"a", "b"}));
}

TAVREL_CORE_TEST_MAIN(TestFilterStorage)
#include "tst_filterstorage.moc"
