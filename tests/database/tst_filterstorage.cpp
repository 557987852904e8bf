#include "coretestapplication.h"
#include "databasefixture.h"
#include "filter.h"
#include "filterlist.h"

namespace {

const QString LOGIN = QStringLiteral("subscriber");

// Owns the records of a filter list for the length of a test; "=name" is an unchanged record.
struct Filters
{
    Entity::FilterList list {nullptr};
    explicit Filters(const QString &names = {})
    {
        for (const QString &name : names.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            auto *filter = new Entity::Filter;
            filter->changed = !name.startsWith(QLatin1Char('='));
            filter->name = name.mid(filter->changed ? 0 : 1);
            filter->displayOrder = list.items.size();
            list.items << filter;
        }
    }
    explicit Filters(const Entity::FilterList &from)
        : list(from)
    {
    }
    Filters(const Filters &) = delete;
    ~Filters() { list.clear(); }
    Entity::Filter *at(int i) const { return list.items.at(i); }
};

} // namespace

class TestFilterStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture f;
    // Every stored filter as "login/name", by login and display order.
    QString stored() const
    {
        return f.rows(QStringLiteral("SELECT Login || '/' || Name FROM Filters ORDER BY Login, DisplayOrder, Name"));
    }
    Filters loaded() const { return Filters(f.query->filters(LOGIN)); }

private slots:
    void init() { QVERIFY(f.open()); }

    void roundTrip()
    {
        Filters saved(QStringLiteral("Ремонт"));
        Entity::Filter *filter = saved.at(0);
        filter->login = QStringLiteral("someone else"); // the login argument decides the row's owner
        filter->id = 77;
        filter->displayOrder = 3;
        filter->setWordsExceptions(QStringLiteral("a  b "));
        filter->wordSerch = QStringLiteral("ремонт кровли");
        filter->amountOrdersFrom = QStringLiteral("1000");
        filter->amountOrdersTo = QStringLiteral("50000.5");
        filter->orderType = QStringLiteral("COMMERCIAL");
        filter->searchArea = QStringLiteral("CURRENT_ORDERS");
        filter->withMorphology = filter->enabled = filter->priceQuotation = filter->easyPurchase = true;
        filter->openingTimeFrom = BASE;
        filter->openingTimeTo = BASE.addDays(30);
        filter->closingTimeFrom = BASE.addDays(31);
        filter->filterChangeDate = BASE.addSecs(-5);
        filter->state = Entity::FilterList::Edited;
        filter->branches = {5, 6, 5, 7}; // a repeated link id is stored once
        filter->regions = {21};
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        QVERIFY(!filter->changed && filter->localId >= 0);
        filter->login = LOGIN;
        filter->branches = {5, 6, 7};
        Filters back = loaded();
        QCOMPARE(back.list.items.size(), 1);
        std::sort(back.at(0)->branches.begin(), back.at(0)->branches.end());
        QVERIFY(!back.at(0)->changed && back.at(0)->closingTimeTo.isNull());
        QCOMPARE(back.at(0)->wordsExceptions, (QStringList {"a", "b"}));
        QCOMPARE(back.at(0)->toVariantMap(), filter->toVariantMap());

        // Saved again: the local id stays, the links are replaced, no excluded words are stored as NULL.
        filter->wordsExceptions.clear();
        filter->regions = {3, 9};
        filter->branches.clear();
        filter->changed = true;
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        QCOMPARE(f.rows(QStringLiteral("SELECT LocalId || IFNULL(WordsExceptions, '-') FROM Filters")),
                 QString::number(filter->localId) + "-");
        Filters again = loaded();
        QVERIFY(again.at(0)->wordsExceptions.isEmpty() && again.at(0)->branches.isEmpty());
        std::sort(again.at(0)->regions.begin(), again.at(0)->regions.end());
        QCOMPARE(again.at(0)->regions, (Ids {3, 9}));
    }

    // "stored" of the subscriber first; then the given records saved for the login.
    void whatASaveWrites_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("replaceAll");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("expected");
        const auto row
            = [](const char *name, const char *given, bool replaceAll, const QString &login, const char *expected) {
                  QTest::newRow(name) << QString(given) << replaceAll << login << QString(expected);
              };
        row("merge, nothing changed", "=same", false, LOGIN, "subscriber/stored");
        row("replace-all, nothing changed", "=same", true, LOGIN, "subscriber/stored");
        row("replace-all, empty list", "", true, LOGIN, "subscriber/stored");
        row("merge adds", "new", false, LOGIN, "subscriber/new subscriber/stored");
        row("replace-all writes unchanged records too", "changed =same", true, LOGIN,
            "subscriber/changed subscriber/same");
        row("logins are compared exactly", "theirs", true, "SUBSCRIBER", "SUBSCRIBER/theirs subscriber/stored");
        row("no login: refused", "orphan", false, QString(), "subscriber/stored");
        row("no login, replace-all: refused", "orphan", true, QString(), "subscriber/stored");
    }

    void whatASaveWrites()
    {
        QFETCH(QString, given);
        QFETCH(bool, replaceAll);
        QFETCH(QString, login);
        QFETCH(QString, expected);
        Filters first(QStringLiteral("stored"));
        Filters second(given);
        QVERIFY(f.query->saveFilters(LOGIN, first.list, false));
        QCOMPARE(f.query->saveFilters(login, second.list, replaceAll), !login.isEmpty() || given.isEmpty());
        QCOMPARE(stored(), expected);
        QCOMPARE(f.db->transactionDepth, 0);
    }

    // A failing row or link write, or a failing commit, rolls the whole save back: nothing of it stays,
    // every record stays marked changed, the stored one keeps its local id and the new ones get -1 back.
    void failedWriteRollsBack_data()
    {
        QTest::addColumn<QString>("table"); // empty: the commit fails
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("replaceAll");
        QTest::addColumn<bool>("insideTransaction");
        QTest::newRow("row write, merge") << TABLE_FILTERS << "NEW.Name = 'bad'" << false << false;
        QTest::newRow("row write, replace-all") << TABLE_FILTERS << "NEW.Name = 'bad'" << true << false;
        QTest::newRow("link write") << TABLE_FILTER_BRANCHES << "NEW.BranchId = 13" << false << false;
        QTest::newRow("failedCommitMarksRecordsChanged") << QString() << "NEW.Name = 'bad'" << false << false;
        QTest::newRow("inside the caller's transaction") << TABLE_FILTERS << "NEW.Name = 'bad'" << true << true;
    }

    void failedWriteRollsBack()
    {
        QFETCH(QString, table);
        QFETCH(QString, when);
        QFETCH(bool, replaceAll);
        QFETCH(bool, insideTransaction);
        Filters given(QStringLiteral("stored"));
        QVERIFY(f.query->saveFilters(LOGIN, given.list, false));
        const qint64 storedId = given.at(0)->localId;
        if (table.isEmpty())
            QVERIFY(DbTest::addCommitGuard(f.sql(), "INSERT", TABLE_FILTERS, when));
        else
            QVERIFY(f.failOn("INSERT", table, when));
        Filters added(QStringLiteral("good bad"));
        given.list.items << added.list.items;
        added.list.items.clear();
        given.at(0)->changed = true;
        given.at(2)->branches = {12, 13};
        Filters outer(QStringLiteral("outer"));
        QVERIFY(!insideTransaction || (f.db->beginTransaction() && f.query->saveFilters(LOGIN, outer.list, false)));
        QVERIFY(!f.query->saveFilters(LOGIN, given.list, replaceAll));
        QVERIFY(!insideTransaction || f.db->commitOrRollback());
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(stored(), insideTransaction ? "subscriber/outer subscriber/stored" : "subscriber/stored");
        QCOMPARE(f.rows(QStringLiteral("SELECT COUNT(*) FROM FilterBranches")), "0");
        Ids ids;
        for (const Entity::Filter *filter : given.list.items)
            ids << (filter->changed ? filter->localId : -2);
        QCOMPARE(ids, (Ids {storedId, -1, -1}));
    }

    // A record still holding -1 written over a row that has its server id since: the id stays, and a New
    // record becomes an edit of the filter the service has.
    void writeKeepsTheServiceId_data()
    {
        QTest::addColumn<qint64>("storedId");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("expected");
        QTest::newRow("New over a synchronized row") << qint64(55) << int(Entity::FilterList::New) << "55:Edited";
        QTest::newRow("Deleted over a synchronized row")
            << qint64(55) << int(Entity::FilterList::Deleted) << "55:Deleted";
        QTest::newRow("New over a row not yet created") << qint64(-1) << int(Entity::FilterList::New) << "-1:New";
    }
    void writeKeepsTheServiceId()
    {
        QFETCH(qint64, storedId);
        QFETCH(int, written);
        Filters first(QStringLiteral("alpha"));
        first.at(0)->id = storedId;
        first.at(0)->state = storedId < 0 ? Entity::FilterList::New : Entity::FilterList::Sync;
        QVERIFY(f.query->saveFilters(LOGIN, first.list, false));
        Filters stale(QStringLiteral("alpha"));
        stale.at(0)->localId = first.at(0)->localId;
        stale.at(0)->state = Entity::FilterList::State(written);
        QVERIFY(f.query->saveFilters(LOGIN, stale.list, false));
        QTEST(f.rows(QStringLiteral("SELECT Id || ':' || State FROM Filters")), "expected");
        QTEST(QStringLiteral("%1:%2").arg(stale.at(0)->id).arg(Entity::FilterList::stateToString(stale.at(0)->state)),
              "expected");
    }

    void removeFilter()
    {
        Filters saved(QStringLiteral("a b c"));
        Filters other(QStringLiteral("theirs"));
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false) && f.query->saveFilters("other", other.list, false));
        const Ids ids {saved.at(0)->localId, saved.at(1)->localId, 12345, other.at(0)->localId};
        // A failing delete deletes nothing.
        QVERIFY(f.failOn("DELETE", TABLE_FILTERS, "OLD.Name = 'b'"));
        QVERIFY(!f.query->removeFilter(LOGIN, ids));
        QCOMPARE(stored(), "other/theirs subscriber/a subscriber/b subscriber/c");
        QVERIFY(f.exec(QStringLiteral("UPDATE Filters SET Name = 'B' WHERE Name = 'b'")));
        QVERIFY(f.query->removeFilter(LOGIN, ids) && f.query->removeFilter(LOGIN, {}));
        QCOMPARE(stored(), "other/theirs subscriber/c");
        QCOMPARE(f.db->transactionDepth, 0);
    }
};

TAVREL_CORE_TEST_MAIN(TestFilterStorage)
#include "tst_filterstorage.moc"
