#include "clock.h"
#include "constants.h"
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
    Filters(const QStringList &names = {})
    {
        for (const QString &name : names) {
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
    QStringList stored() const
    {
        return f.rows(QStringLiteral("SELECT Login || '/' || Name FROM Filters ORDER BY Login, DisplayOrder, Name"));
    }
    Filters loaded() const { return Filters(f.query->filters(LOGIN)); }

private slots:
    void init() { QVERIFY(f.open()); }
    void cleanup() { Clock::reset(); }

    void roundTrip()
    {
        Filters saved({QStringLiteral("Ремонт")});
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
        filter->openingTimeFrom = QDateTime(QDate(2014, 5, 1), QTime(0, 0), Qt::UTC);
        filter->openingTimeTo = QDateTime(QDate(2014, 5, 31), QTime(23, 59), Qt::UTC);
        filter->closingTimeFrom = QDateTime(QDate(2014, 6, 1), QTime(8, 0), Qt::UTC);
        filter->filterChangeDate = QDateTime(QDate(2014, 4, 30), QTime(12, 0, 5), Qt::UTC);
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
        const qint64 localId = filter->localId;
        filter->wordsExceptions.clear();
        filter->regions = {3, 9};
        filter->branches.clear();
        filter->changed = true;
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        QCOMPARE(f.rows(QStringLiteral("SELECT LocalId || IFNULL(WordsExceptions, '-') FROM Filters")),
                 QStringList {QString::number(localId) + "-"});
        Filters again = loaded();
        QCOMPARE(again.at(0)->localId, localId);
        QVERIFY(again.at(0)->wordsExceptions.isEmpty() && again.at(0)->branches.isEmpty());
        std::sort(again.at(0)->regions.begin(), again.at(0)->regions.end());
        QCOMPARE(again.at(0)->regions, (QList<qint64> {3, 9}));
    }

    // "stored" of the subscriber first; then the given records saved for the login.
    void whatASaveWrites_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<bool>("replaceAll");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QStringList>("expected");
        const QStringList unchanged {"subscriber/stored"};
        QTest::newRow("merge, nothing changed") << QStringList {"=same"} << false << LOGIN << unchanged;
        QTest::newRow("replace-all, nothing changed") << QStringList {"=same"} << true << LOGIN << unchanged;
        QTest::newRow("replace-all, empty list") << QStringList {} << true << LOGIN << unchanged;
        QTest::newRow("merge adds") << QStringList {"new"} << false << LOGIN
                                    << QStringList {"subscriber/new", "subscriber/stored"};
        QTest::newRow("replace-all writes unchanged records too")
            << QStringList {"changed", "=same"} << true << LOGIN
            << QStringList {"subscriber/changed", "subscriber/same"};
        QTest::newRow("logins are compared exactly")
            << QStringList {"theirs"} << true << "SUBSCRIBER" << QStringList {"SUBSCRIBER/theirs", "subscriber/stored"};
    }

    void whatASaveWrites()
    {
        QFETCH(QStringList, given);
        QFETCH(bool, replaceAll);
        QFETCH(QString, login);
        QFETCH(QStringList, expected);
        Filters first({QStringLiteral("stored")});
        QVERIFY(f.query->saveFilters(LOGIN, first.list, false));
        Filters second(given);
        QVERIFY(f.query->saveFilters(login, second.list, replaceAll));
        QCOMPARE(stored(), expected);
        QCOMPARE(f.db->transactionDepth, 0);
    }

    void replaceAllCarriesDisplayOrderByName()
    {
        Filters mine({QStringLiteral("Gone"), QStringLiteral("MyFilter")});
        mine.at(0)->regions = {1};
        mine.at(1)->displayOrder = 5;
        QVERIFY(f.query->saveFilters(LOGIN, mine.list, false));
        Filters received({QStringLiteral("fresh"), QStringLiteral("myfilter")});
        received.at(0)->displayOrder = 2;
        for (Entity::Filter *filter : received.list.items)
            filter->state = Entity::FilterList::Sync;
        QVERIFY(f.query->saveFilters(LOGIN, received.list, true));
        QCOMPARE(received.at(1)->displayOrder, 5); // ignoring case
        QCOMPARE(stored(), (QStringList {"subscriber/fresh", "subscriber/myfilter"}));
        QVERIFY(received.at(0)->localId > 0 && received.at(1)->localId > 0);
        QVERIFY(received.at(0)->localId != received.at(1)->localId);
        for (const Entity::Filter *filter : loaded().list.items) // links of removed filters never come back
            QVERIFY(filter->state == Entity::FilterList::Sync && filter->regions.isEmpty());
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
        Filters given({QStringLiteral("stored")});
        QVERIFY(f.query->saveFilters(LOGIN, given.list, false));
        const qint64 storedId = given.at(0)->localId;
        if (table.isEmpty())
            QVERIFY(DbTest::addCommitGuard(f.sql(), QStringLiteral("INSERT"), TABLE_FILTERS, when));
        else
            QVERIFY(f.failOn(QStringLiteral("INSERT"), table, when));
        Filters added({QStringLiteral("good"), QStringLiteral("bad")});
        given.list.items << added.list.items;
        added.list.items.clear();
        given.at(0)->changed = true;
        given.at(2)->branches = {12, 13};
        Filters outer({QStringLiteral("outer")});
        if (insideTransaction) {
            QVERIFY(f.db->beginTransaction());
            QVERIFY(f.query->saveFilters(LOGIN, outer.list, false));
        }
        QVERIFY(!f.query->saveFilters(LOGIN, given.list, replaceAll));
        if (insideTransaction)
            QVERIFY(f.db->commitOrRollback());
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(stored().join(' '), insideTransaction ? "subscriber/outer subscriber/stored" : "subscriber/stored");
        QCOMPARE(f.value(QStringLiteral("SELECT COUNT(*) FROM FilterBranches")), QStringLiteral("0"));
        QList<qint64> ids;
        for (const Entity::Filter *filter : given.list.items)
            ids << (filter->changed ? filter->localId : -2);
        QCOMPARE(ids, (QList<qint64> {storedId, -1, -1}));
    }

    void unknownStateLoadsAsError()
    {
        Filters saved({QStringLiteral("odd")});
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        QVERIFY(f.exec(QStringLiteral("UPDATE Filters SET State = 'Bogus'")));
        Filters back = loaded();
        QCOMPARE(back.at(0)->state, Entity::FilterList::Error);
        back.at(0)->changed = true;
        QVERIFY(f.query->saveFilters(LOGIN, back.list, false));
        QCOMPARE(f.rows(QStringLiteral("SELECT State FROM Filters")), QStringList {"Error"});
    }

    void setFilterSynchronized()
    {
        Filters saved({QStringLiteral("pushed")});
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        const qint64 localId = saved.at(0)->localId;
        const QDateTime now(QDate(2026, 12, 6), QTime(21, 30), Qt::UTC);
        Clock::setFixed(now);
        QVERIFY(f.query->setFilterSynchronized(QStringLiteral("intruder"), localId, 999));
        QVERIFY(f.query->setFilterSynchronized(LOGIN, localId + 100, 999));
        QCOMPARE(f.rows(QStringLiteral("SELECT Id || State FROM Filters")), QStringList {"-1New"});
        QVERIFY(f.query->setFilterSynchronized(LOGIN, localId, 4242));
        Filters back = loaded();
        QCOMPARE(back.at(0)->id, 4242);
        QCOMPARE(back.at(0)->state, Entity::FilterList::Sync);
        QCOMPARE(back.at(0)->filterChangeDate, now);
    }

    void removeFilter()
    {
        Filters saved({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QVERIFY(f.query->saveFilters(LOGIN, saved.list, false));
        Filters other({QStringLiteral("theirs")});
        QVERIFY(f.query->saveFilters(QStringLiteral("other"), other.list, false));
        const QList<qint64> ids {saved.at(0)->localId, saved.at(1)->localId, 12345, other.at(0)->localId};

        // A failing delete deletes nothing.
        QVERIFY(f.failOn(QStringLiteral("DELETE"), TABLE_FILTERS, QStringLiteral("OLD.Name = 'b'")));
        QVERIFY(!f.query->removeFilter(LOGIN, ids));
        QCOMPARE(stored().size(), 4);
        QVERIFY(f.exec(QStringLiteral("UPDATE Filters SET Name = 'B' WHERE Name = 'b'")));
        QVERIFY(f.query->removeFilter(LOGIN, ids));
        QVERIFY(f.query->removeFilter(LOGIN, {}));
        QCOMPARE(stored(), (QStringList {"other/theirs", "subscriber/c"}));
        QCOMPARE(f.db->transactionDepth, 0);
    }
};

TAVREL_CORE_TEST_MAIN(TestFilterStorage)
#include "tst_filterstorage.moc"
