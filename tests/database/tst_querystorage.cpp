#include "branch.h"
#include "branchlist.h"
#include "clock.h"
#include "constants.h"
#include "coretestapplication.h"
#include "databasefixture.h"
#include "filterlinklist.h"
#include "region.h"
#include "regionlist.h"

namespace {

QVariantMap appSettings(int interval)
{
    return {{SETTING_AUTO_ENTER_TIMEOUT, 5},
            {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, interval},
            {SETTING_USE_AUTO_ENTER, 1},
            {SETTING_WORK_MODE_IN_BACKGROUND, 0}};
}

QVariantMap proxy(int type, const QString &host)
{
    return {{PROXY_AUTH_LOGIN, "me"},
            {PROXY_AUTH_PASSWORD, "secret"},
            {PROXY_HOST_NAME, host},
            {PROXY_PORT, 3128},
            {PROXY_TYPE, type}};
}

// A settings row as "key=value" by key ("NULL" for a null value).
QStringList asText(const QVariantMap &row)
{
    QStringList text;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        text << it.key() + QLatin1Char('=') + (it->isNull() ? QStringLiteral("NULL") : it->toString());
    return text;
}

// "id:name" entries as a dictionary list of the record type; the caller clears it.
template<class Record, class List> List dictionary(const QStringList &entries)
{
    List list(nullptr);
    for (const QString &entry : entries) {
        auto *record = new Record;
        record->id = entry.section(':', 0, 0).toLongLong();
        record->name = entry.section(':', 1);
        record->parentId = 20;
        record->changeDate = QDateTime(QDate(2014, 5, 3), QTime(10, 0), Qt::UTC);
        list.items << record;
    }
    return list;
}

} // namespace

class TestQueryStorage : public QObject
{
    Q_OBJECT

private:
    DatabaseFixture f;
    // Every User row as "Login|Password|PasswordSaveDate|Name|FullAccess", "-" for NULL.
    QStringList users() const
    {
        return f.rows(QStringLiteral("SELECT Login || '|' || IFNULL(Password, '-') || '|' || IFNULL(PasswordSaveDate, "
                                     "'-') || '|' || IFNULL(Name, '-') || '|' || IFNULL(FullAccess, '-') FROM User "
                                     "ORDER BY Login"));
    }

private slots:
    void init() { QVERIFY(f.open()); }
    void cleanup() { Clock::reset(); }

    // A known user keeps the stored full-access flag (a NULL one written back as 0), and the stored
    // name and digest when none is given; the remembered state follows the last save.
    void savedUsers()
    {
        Clock::setFixed(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC));
        QCOMPARE(f.query->lastRememberedUser(), (QPair<QString, QString>()));
        QVERIFY(f.query->lastRememberedUser().first.isNull() && f.query->userPassword("anna").isNull());
        QVERIFY(f.query->saveUser("new", QString(), false, "ignored for new users"));
        QVERIFY(f.query->saveUser("anna", "d1", true));
        QVERIFY(f.query->saveUser("anna", QString(), false));
        QVERIFY(f.query->saveUser("zoe", "dz", true));
        Clock::advance(60 * 1000);
        QVERIFY(f.query->saveUser("bob", "db", true));
        QVERIFY(f.query->saveUser("carl", "dc", false));
        f.query->setFullAccess("bob", true);
        f.query->setUserName("bob", "Анна");
        f.query->setFullAccess("ghost", true); // updates never create rows
        f.query->setUserName("ghost", "name");
        QVERIFY(f.query->saveUser("bob", "db2", true));
        QVERIFY(f.query->saveUser("carl", QString(), false, "Carl"));
        QCOMPARE(users(),
                 (QStringList {"anna|d1|-|-|0", "bob|db2|1060|Анна|1", "carl|dc|-|Carl|0", "new|-|-|-|-",
                               "zoe|dz|1000|-|-"}));

        QCOMPARE(f.query->lastRememberedUser(), qMakePair(QStringLiteral("bob"), QStringLiteral("db2")));
        QCOMPARE(f.query->rememberedLogins(), (QStringList {"bob", "zoe"}));
        QCOMPARE(f.query->userPassword("anna"), QStringLiteral("d1"));
        QCOMPARE(f.query->userName("bob"), QStringLiteral("Анна"));
        QVERIFY(f.query->userName("new").isEmpty() && !f.query->userName("new").isNull());
        QVERIFY(f.query->isFullAccess("bob") && !f.query->isFullAccess("carl"));
        QVERIFY(!f.query->isFullAccess("new") && !f.query->isFullAccess("ghost"));
        QVERIFY(f.query->isUserExists("anna", "d1"));
        QVERIFY(!f.query->isUserExists("anna", "d2"));
        QVERIFY(!f.query->isUserExists("new", QString())); // no digest given: never let in
    }

    void failedUserWritesAndReads()
    {
        QVERIFY(f.query->saveUser("u", "d", true));
        QVERIFY(f.failOn(QStringLiteral("INSERT"), TABLE_USER));
        QVERIFY(!f.query->saveUser("u", "other", false));
        QVERIFY(!f.query->saveUser("v", "d", false));
        QCOMPARE(f.query->rememberedLogins(), QStringList {"u"});
        QCOMPARE(f.query->userPassword("u"), QStringLiteral("d"));
        // A reader that failed runs again later.
        QVERIFY(f.exec(QStringLiteral("ALTER TABLE User RENAME TO UserAway")));
        QCOMPARE(f.query->rememberedLogins(), QStringList());
        QVERIFY(!f.query->saveUser("u", "d", true));
        QVERIFY(f.exec(QStringLiteral("ALTER TABLE UserAway RENAME TO User")));
        QCOMPARE(f.query->rememberedLogins(), QStringList {"u"});
    }

    // Each settings row is written whole or not at all; a key that is not a known column writes nothing.
    // The first map is saved, then the second; "row" is the row read back ("kept": the first one).
    void settingsRows_data()
    {
        QTest::addColumn<bool>("proxyRow");
        QTest::addColumn<QVariantMap>("second");
        QTest::addColumn<QString>("failing"); // a statement made to fail on the table
        QTest::addColumn<QVariantMap>("row");
        const QVariantMap nulls = {{SETTING_LOGIN, "me"},
                                   {SETTING_AUTO_ENTER_TIMEOUT, QVariant()},
                                   {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, QVariant()},
                                   {SETTING_USE_AUTO_ENTER, QVariant()},
                                   {SETTING_WORK_MODE_IN_BACKGROUND, QVariant()}};
        QVariantMap replaced = appSettings(900);
        replaced.insert(SETTING_LOGIN, "me");
        QVariantMap partial = nulls;
        partial.insert(SETTING_USE_AUTO_ENTER, 1);
        QVariantMap kept = appSettings(600);
        kept.insert(SETTING_LOGIN, "me");
        QVariantMap withBoot = appSettings(300);
        withBoot.insert(SETTING_AUTO_BOOT_APP, true);
        QVariantMap injected = appSettings(300);
        injected.insert(QStringLiteral("Login) VALUES ('x'); DROP TABLE User; --"), 1);
        QVariantMap unknown = proxy(2, "x");
        unknown.insert(QStringLiteral("Bogus"), 1);
        const QVariantMap keptProxy = proxy(3, "kept.local");

        QTest::newRow("user: a second save replaces the row") << false << appSettings(900) << "" << replaced;
        QTest::newRow("user: an empty map leaves only the login") << false << QVariantMap() << "" << nulls;
        QTest::newRow("user: missing keys become NULL")
            << false << QVariantMap {{SETTING_USE_AUTO_ENTER, true}} << "" << partial;
        QTest::newRow("user: a Login key of the map is overridden")
            << false << QVariantMap {{SETTING_LOGIN, "someone"}} << "" << nulls;
        QTest::newRow("user: a setting kept outside the database") << false << withBoot << "" << kept;
        QTest::newRow("user: a key that is SQL text") << false << injected << "" << kept;
        QTest::newRow("user: the write fails") << false << appSettings(300) << "INSERT" << kept;
        QTest::newRow("proxy: a second save replaces the row") << true << proxy(1, "other") << "" << proxy(1, "other");
        QTest::newRow("proxy: unknown key") << true << unknown << "" << keptProxy;
        QTest::newRow("proxy: an empty map") << true << QVariantMap() << "" << keptProxy;
        QTest::newRow("proxy: the insert fails") << true << proxy(2, "x") << "INSERT" << keptProxy;
        QTest::newRow("proxy: emptying the table fails") << true << proxy(2, "x") << "DELETE" << keptProxy;
    }

    void settingsRows()
    {
        QFETCH(bool, proxyRow);
        QFETCH(QVariantMap, second);
        QFETCH(QString, failing);
        QFETCH(QVariantMap, row);
        QVERIFY(f.query->proxySettings().isEmpty() && f.query->userSettings("me").isEmpty());
        const auto save = [&](const QVariantMap &values) {
            return proxyRow ? f.query->saveProxySettings(values) : f.query->saveUserSettings("me", values);
        };
        const auto read = [&] { return asText(proxyRow ? f.query->proxySettings() : f.query->userSettings("me")); };
        QVERIFY(save(proxyRow ? proxy(3, "kept.local") : appSettings(600)));
        const QStringList first = read();
        const QString table = proxyRow ? TABLE_PROXY_SETTINGS : TABLE_USER_SETTINGS;
        if (!failing.isEmpty())
            QVERIFY(f.failOn(failing, table));
        QCOMPARE(save(second), asText(row) != first);
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(read(), asText(row));
        QCOMPARE(f.value("SELECT COUNT(*) FROM " + table), QStringLiteral("1"));
        QVERIFY(f.db->isTableExists(TABLE_USER));
        QVERIFY(f.query->userSettings("someone").isEmpty());
    }

    void dictionariesOnFreshFileAreEmpty()
    {
        f.close();
        QTemporaryDir dir;
        DataBase db(dir.filePath(QStringLiteral("fresh.Dat")));
        const int regionStamp = Entity::FilterLinkList::regionMapStamp();
        const int branchStamp = Entity::FilterLinkList::branchMapStamp();
        TavrelDataBaseQuery query(&db);
        QVERIFY(query.cachedRegions().items.isEmpty() && query.cachedBranches().items.isEmpty());
        QVERIFY(Entity::FilterLinkList::regionMap().isEmpty() && Entity::FilterLinkList::branchMap().isEmpty());
        QCOMPARE(Entity::FilterLinkList::regionMapStamp(), regionStamp + 1);
        QCOMPARE(Entity::FilterLinkList::branchMapStamp(), branchStamp + 1);
    }

    void dictionariesLoadSortedByName()
    {
        auto regions = dictionary<Entity::Region, Entity::RegionList>({"20:b", "10:a", "30:c"});
        QVERIFY(f.query->replaceRegions(regions, true));
        regions.clear();
        auto branches = dictionary<Entity::Branch, Entity::BranchList>({"7:Строительство"});
        QVERIFY(f.query->replaceBranches(branches, true));
        branches.clear();

        f.reopenQuery(); // a dying query object empties the process-wide maps
        const QList<Entity::Region *> &loaded = f.query->cachedRegions().items;
        QStringList names;
        for (const Entity::Region *record : loaded)
            names << record->name + (record->changed ? "*" : "");
        QCOMPARE(names, (QStringList {"a", "b", "c"}));
        QCOMPARE(loaded.at(0)->parentId, 20);
        QCOMPARE(loaded.at(0)->changeDate, QDateTime(QDate(2014, 5, 3), QTime(10, 0), Qt::UTC));
        QCOMPARE(Entity::FilterLinkList::regionMap().keys(), (QList<qint64> {10, 20, 30}));
        QCOMPARE(Entity::FilterLinkList::regionMap().value(10), loaded.at(0));
        QCOMPARE(Entity::FilterLinkList::branchMap().value(7)->name, QStringLiteral("Строительство"));

        // A fresh read is a new list of new records owned by the caller.
        Entity::RegionList again = f.query->regions();
        QVERIFY(again.items.size() == 3 && again.items.at(0) != loaded.at(0));
        again.clear();
        f.query.reset();
        QVERIFY(Entity::FilterLinkList::regionMap().isEmpty() && Entity::FilterLinkList::branchMap().isEmpty());
    }

    // A failing insert undoes the whole call, the DELETE included; inside a caller's transaction only
    // its own level.
    void replaceDictionary_data()
    {
        QTest::addColumn<QStringList>("given"); // over "1:a", "2:b"
        QTest::addColumn<bool>("clearFirst");
        QTest::addColumn<bool>("fails"); // the insert of id 3 fails
        QTest::addColumn<bool>("insideTransaction");
        QTest::addColumn<QStringList>("expected");
        const QStringList stored {"1:a", "2:b"};
        QTest::newRow("clear first replaces") << QStringList {"3:c"} << true << false << false << QStringList {"3:c"};
        QTest::newRow("merge keeps others")
            << QStringList {"2:B", "3:c"} << false << false << false << QStringList {"1:a", "2:B", "3:c"};
        QTest::newRow("a failing insert") << QStringList {"1:x", "3:z"} << true << true << false << stored;
        QTest::newRow("a failing insert in a transaction")
            << QStringList {"1:x", "3:z"} << true << true << true << stored;
    }

    void replaceDictionary()
    {
        QFETCH(QStringList, given);
        QFETCH(bool, clearFirst);
        QFETCH(bool, fails);
        QFETCH(bool, insideTransaction);
        QFETCH(QStringList, expected);
        auto first = dictionary<Entity::Branch, Entity::BranchList>({"1:a", "2:b"});
        QVERIFY(f.query->replaceBranches(first, true));
        first.clear();
        if (fails)
            QVERIFY(f.failOn(QStringLiteral("INSERT"), TABLE_BRANCHES, QStringLiteral("NEW.Id = 3")));
        if (insideTransaction) {
            QVERIFY(f.db->beginTransaction());
            QVERIFY(f.query->saveProxySettings(proxy(1, "outer.local")));
        }
        auto second = dictionary<Entity::Branch, Entity::BranchList>(given);
        second.items << nullptr;
        QCOMPARE(f.query->replaceBranches(second, clearFirst), !fails);
        second.clear();
        if (insideTransaction) {
            QVERIFY(f.db->commitOrRollback());
            QCOMPARE(f.query->proxySettings().value(PROXY_HOST_NAME).toString(), QStringLiteral("outer.local"));
        }
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.rows(QStringLiteral("SELECT Id || ':' || Name FROM Branches ORDER BY Id")), expected);
    }
};

TAVREL_CORE_TEST_MAIN(TestQueryStorage)
#include "tst_querystorage.moc"
