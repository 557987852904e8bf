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

Entity::Region *region(qint64 id, const QString &name, qint64 parentId = -1)
{
    auto *record = new Entity::Region;
    record->id = id;
    record->name = name;
    record->parentId = parentId;
    record->changeDate = QDateTime(QDate(2014, 5, 3), QTime(10, 0), Qt::UTC);
    return record;
}

Entity::Branch *branch(qint64 id, const QString &name)
{
    auto *record = new Entity::Branch;
    record->id = id;
    record->name = name;
    return record;
}

QVariantMap appSettings(int interval)
{
    return {{SETTING_AUTO_ENTER_TIMEOUT, 5},
            {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, interval},
            {SETTING_USE_AUTO_ENTER, 1},
            {SETTING_WORK_MODE_IN_BACKGROUND, 0}};
}

QVariantMap proxy(int type, const QString &host)
{
    return {{PROXY_AUTH_LOGIN, QStringLiteral("me")},
            {PROXY_AUTH_PASSWORD, QStringLiteral("secret")},
            {PROXY_HOST_NAME, host},
            {PROXY_PORT, 3128},
            {PROXY_TYPE, type}};
}

} // namespace

class TestQueryStorage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // users
    void rememberedStateFollowsLastSave();
    void newestRememberedUser();
    void savingKnownUserKeepsStoredValues();
    void newUserStoresNulls();
    void isUserExists_data();
    void isUserExists();
    void updatesNeverCreateRows();
    void failedUserWriteKeepsRow();

    // settings rows
    void userSettingsRow_data();
    void userSettingsRow();
    void proxyRowIsReplaced();
    void failedSettingsWriteKeepsOldRow_data();
    void failedSettingsWriteKeepsOldRow();

    // dictionaries
    void dictionariesOnFreshFileAreEmpty();
    void dictionariesLoadSortedByName();
    void replaceDictionary_data();
    void replaceDictionary();
    void failedReplaceUndoesOnlyItsOwnLevel();
    void failedReaderRunsAgainLater();

private:
    DatabaseFixture f;
};

void TestQueryStorage::init()
{
    QVERIFY(f.open());
}

void TestQueryStorage::cleanup()
{
    f.close();
    Clock::reset();
}

void TestQueryStorage::rememberedStateFollowsLastSave()
{
    QVERIFY(f.query()->lastRememberedUser().first.isNull());
    QVERIFY(f.query()->lastRememberedUser().second.isNull());
    QVERIFY(f.query()->userPassword(QStringLiteral("anna")).isNull());

    QVERIFY(f.query()->saveUser(QStringLiteral("anna"), QStringLiteral("d1"), true));
    QCOMPARE(f.query()->rememberedLogins(), QStringList {"anna"});
    QCOMPARE(f.query()->lastRememberedUser(), qMakePair(QStringLiteral("anna"), QStringLiteral("d1")));

    QVERIFY(f.query()->saveUser(QStringLiteral("anna"), QString(), false));
    QCOMPARE(f.query()->rememberedLogins(), QStringList());
    QVERIFY(f.query()->lastRememberedUser().first.isNull());
    QCOMPARE(f.query()->userPassword(QStringLiteral("anna")), QStringLiteral("d1")); // a null digest keeps it
    QVERIFY(DbTest::scalar(f.sql(), QStringLiteral("SELECT PasswordSaveDate FROM User")).isNull());
}

void TestQueryStorage::newestRememberedUser()
{
    Clock::setFixed(QDateTime(QDate(2026, 1, 1), QTime(10, 0), Qt::UTC));
    QVERIFY(f.query()->saveUser(QStringLiteral("zoe"), QStringLiteral("dz"), true));
    Clock::advance(60 * 1000);
    QVERIFY(f.query()->saveUser(QStringLiteral("bob"), QStringLiteral("db"), true));
    QVERIFY(f.query()->saveUser(QStringLiteral("carl"), QStringLiteral("dc"), false));

    QCOMPARE(f.query()->lastRememberedUser(), qMakePair(QStringLiteral("bob"), QStringLiteral("db")));
    QCOMPARE(f.query()->rememberedLogins(), (QStringList {"bob", "zoe"}));
    QCOMPARE(
        DbTest::scalar(f.sql(), QStringLiteral("SELECT PasswordSaveDate FROM User WHERE Login = 'bob'")).toLongLong(),
        Clock::currentDateTimeUtc().toSecsSinceEpoch());
}

void TestQueryStorage::savingKnownUserKeepsStoredValues()
{
    QVERIFY(f.query()->saveUser(QStringLiteral("paid"), QStringLiteral("d"), true));
    f.query()->setFullAccess(QStringLiteral("paid"), true);
    f.query()->setUserName(QStringLiteral("paid"), QStringLiteral("Анна"));
    QVERIFY(f.query()->saveUser(QStringLiteral("paid"), QStringLiteral("d2"), true));
    QVERIFY(f.query()->isFullAccess(QStringLiteral("paid")));
    QCOMPARE(f.query()->userName(QStringLiteral("paid")), QStringLiteral("Анна"));
    QCOMPARE(f.query()->userPassword(QStringLiteral("paid")), QStringLiteral("d2"));

    QVERIFY(f.query()->saveUser(QStringLiteral("paid"), QString(), true, QStringLiteral("Anna")));
    QCOMPARE(f.query()->userName(QStringLiteral("paid")), QStringLiteral("Anna"));
    QCOMPARE(f.query()->userPassword(QStringLiteral("paid")), QStringLiteral("d2"));

    // A stored NULL flag is written back as 0.
    QVERIFY(f.query()->saveUser(QStringLiteral("free"), QStringLiteral("d"), false));
    QVERIFY(DbTest::scalar(f.sql(), QStringLiteral("SELECT FullAccess FROM User WHERE Login = 'free'")).isNull());
    QVERIFY(f.query()->saveUser(QStringLiteral("free"), QStringLiteral("d"), false));
    const QVariant flag = DbTest::scalar(f.sql(), QStringLiteral("SELECT FullAccess FROM User WHERE Login = 'free'"));
    QVERIFY(!flag.isNull());
    QCOMPARE(flag.toInt(), 0);
}

void TestQueryStorage::newUserStoresNulls()
{
    QVERIFY(f.query()->saveUser(QStringLiteral("new"), QString(), false, QStringLiteral("ignored for new users")));
    QSqlQuery row(f.sql());
    QVERIFY(row.exec(QStringLiteral("SELECT Name, Password, PasswordSaveDate, FullAccess FROM User")));
    QVERIFY(row.next());
    for (int i = 0; i < 4; ++i)
        QVERIFY2(row.value(i).isNull(), qPrintable(QString::number(i)));
    QCOMPARE(f.query()->userName(QStringLiteral("new")), QString(""));
    QVERIFY(!f.query()->userName(QStringLiteral("new")).isNull());
    QVERIFY(!f.query()->isFullAccess(QStringLiteral("new")));
}

void TestQueryStorage::isUserExists_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, const QString &stored, const char *login, const QString &given,
                        bool expected) { QTest::newRow(name) << stored << QString(login) << given << expected; };
    row("right digest", "abc", "u", "abc", true);
    row("wrong digest", "abc", "u", "abd", false);
    row("null digest, none stored", QString(), "u", QString(), false);
    row("null digest, one stored", "abc", "u", QString(), false);
}

void TestQueryStorage::isUserExists()
{
    QFETCH(QString, stored);
    QFETCH(QString, login);
    QFETCH(QString, given);
    QFETCH(bool, expected);
    QVERIFY(f.query()->saveUser(QStringLiteral("u"), stored, false));
    QCOMPARE(f.query()->isUserExists(login, given), expected);
}

void TestQueryStorage::updatesNeverCreateRows()
{
    f.query()->setUserName(QStringLiteral("ghost"), QStringLiteral("name"));
    f.query()->setFullAccess(QStringLiteral("ghost"), true);
    QCOMPARE(DbTest::scalar(f.sql(), QStringLiteral("SELECT COUNT(*) FROM User")).toInt(), 0);
    QVERIFY(!f.query()->isFullAccess(QStringLiteral("ghost")));
}

void TestQueryStorage::failedUserWriteKeepsRow()
{
    QVERIFY(f.query()->saveUser(QStringLiteral("u"), QStringLiteral("d"), true));
    QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("no_replace"), QStringLiteral("INSERT"), TABLE_USER));
    QVERIFY(!f.query()->saveUser(QStringLiteral("u"), QStringLiteral("other"), false));
    QVERIFY(!f.query()->saveUser(QStringLiteral("v"), QStringLiteral("d"), false));
    QCOMPARE(f.query()->userPassword(QStringLiteral("u")), QStringLiteral("d"));
    QCOMPARE(f.query()->rememberedLogins(), QStringList {"u"});
}

void TestQueryStorage::userSettingsRow_data()
{
    QTest::addColumn<QVariantMap>("first");
    QTest::addColumn<QVariantMap>("second");
    QTest::addColumn<QVariantMap>("expected");

    const QVariantMap nulls = {{SETTING_LOGIN, QStringLiteral("me")},
                               {SETTING_AUTO_ENTER_TIMEOUT, QVariant()},
                               {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, QVariant()},
                               {SETTING_USE_AUTO_ENTER, QVariant()},
                               {SETTING_WORK_MODE_IN_BACKGROUND, QVariant()}};
    QVariantMap replaced = appSettings(900);
    replaced.insert(SETTING_LOGIN, QStringLiteral("me"));
    QVariantMap partial = nulls;
    partial.insert(SETTING_USE_AUTO_ENTER, 1);

    QTest::newRow("second save replaces the row") << appSettings(600) << appSettings(900) << replaced;
    QTest::newRow("empty map leaves only the login") << appSettings(600) << QVariantMap() << nulls;
    QTest::newRow("missing keys become NULL")
        << appSettings(600) << QVariantMap {{SETTING_USE_AUTO_ENTER, true}} << partial;
    QTest::newRow("a Login key of the map is overridden")
        << QVariantMap() << QVariantMap {{SETTING_LOGIN, QStringLiteral("someone")}} << nulls;
}

void TestQueryStorage::userSettingsRow()
{
    QFETCH(QVariantMap, first);
    QFETCH(QVariantMap, second);
    QFETCH(QVariantMap, expected);

    QVERIFY(f.query()->saveUserSettings(QStringLiteral("me"), first));
    const QVariantMap passed = second;
    QVERIFY(f.query()->saveUserSettings(QStringLiteral("me"), second));
    QCOMPARE(second, passed); // the caller's map is not changed
    QCOMPARE(DbTest::scalar(f.sql(), QStringLiteral("SELECT COUNT(*) FROM UserSettings")).toInt(), 1);

    const QVariantMap row = f.query()->userSettings(QStringLiteral("me"));
    QCOMPARE(row.keys(), expected.keys());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        QCOMPARE(row.value(it.key()).isNull(), it.value().isNull());
        if (!it.value().isNull())
            QCOMPARE(row.value(it.key()).toString(), it.value().toString());
    }
    QVERIFY(f.query()->userSettings(QStringLiteral("someone")).isEmpty());
}

void TestQueryStorage::proxyRowIsReplaced()
{
    QVERIFY(f.query()->proxySettings().isEmpty());
    QVERIFY(f.query()->saveProxySettings(proxy(3, QStringLiteral("proxy.local"))));
    QVariantMap row = f.query()->proxySettings();
    QCOMPARE(row.value(PROXY_HOST_NAME).toString(), QStringLiteral("proxy.local"));
    QCOMPARE(row.value(PROXY_PORT).toInt(), 3128);

    QVERIFY(f.query()->saveProxySettings(proxy(1, QStringLiteral("other.local"))));
    QCOMPARE(DbTest::scalar(f.sql(), QStringLiteral("SELECT COUNT(*) FROM ProxySettings")).toInt(), 1);
    row = f.query()->proxySettings();
    QCOMPARE(row.value(PROXY_TYPE).toInt(), 1);
    QCOMPARE(row.value(PROXY_HOST_NAME).toString(), QStringLiteral("other.local"));
}

// Each settings row is written whole or not at all; a key that is not a known column writes nothing.
void TestQueryStorage::failedSettingsWriteKeepsOldRow_data()
{
    QTest::addColumn<bool>("proxyRow");
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("trigger");

    QVariantMap withBoot = appSettings(300);
    withBoot.insert(SETTING_AUTO_BOOT_APP, true);
    QVariantMap injected = appSettings(300);
    injected.insert(QStringLiteral("Login) VALUES ('x'); DROP TABLE User; --"), 1);
    QVariantMap unknown = proxy(2, QStringLiteral("x"));
    unknown.insert(QStringLiteral("Bogus"), 1);
    QTest::newRow("user: a setting kept outside the database") << false << withBoot << QString();
    QTest::newRow("user: a key that is SQL text") << false << injected << QString();
    QTest::newRow("user: the write fails") << false << appSettings(300) << QStringLiteral("INSERT");
    QTest::newRow("proxy: unknown key") << true << unknown << QString();
    QTest::newRow("proxy: insert fails") << true << proxy(2, QStringLiteral("x")) << QStringLiteral("INSERT");
}

void TestQueryStorage::failedSettingsWriteKeepsOldRow()
{
    QFETCH(bool, proxyRow);
    QFETCH(QVariantMap, values);
    QFETCH(QString, trigger);

    const auto save = [&](const QVariantMap &row) {
        return proxyRow ? f.query()->saveProxySettings(row) : f.query()->saveUserSettings(QStringLiteral("me"), row);
    };
    QVERIFY(save(proxyRow ? proxy(3, QStringLiteral("kept.local")) : appSettings(600)));
    if (!trigger.isEmpty())
        QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("fail"), trigger,
                                          proxyRow ? TABLE_PROXY_SETTINGS : TABLE_USER_SETTINGS));
    QVERIFY(!save(values));
    QCOMPARE(f.dataBase()->transactionDepth, 0);
    if (proxyRow)
        QCOMPARE(f.query()->proxySettings().value(PROXY_HOST_NAME).toString(), QStringLiteral("kept.local"));
    else
        QCOMPARE(f.query()->userSettings(QStringLiteral("me")).value(SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME).toInt(),
                 600);
    QVERIFY(f.dataBase()->isTableExists(TABLE_USER));
}

void TestQueryStorage::dictionariesOnFreshFileAreEmpty()
{
    f.close();
    QTemporaryDir dir;
    DataBase db(dir.filePath(QStringLiteral("fresh.Dat")));
    const int regionStamp = Entity::FilterLinkList::regionMapStamp();
    const int branchStamp = Entity::FilterLinkList::branchMapStamp();
    TavrelDataBaseQuery query(&db);
    QVERIFY(query.cachedRegions().items.isEmpty());
    QVERIFY(query.cachedBranches().items.isEmpty());
    QVERIFY(Entity::FilterLinkList::regionMap().isEmpty());
    QVERIFY(Entity::FilterLinkList::branchMap().isEmpty());
    QCOMPARE(Entity::FilterLinkList::regionMapStamp(), regionStamp + 1);
    QCOMPARE(Entity::FilterLinkList::branchMapStamp(), branchStamp + 1);
}

void TestQueryStorage::dictionariesLoadSortedByName()
{
    Entity::RegionList regions(nullptr);
    regions.items << region(20, QStringLiteral("b")) << region(10, QStringLiteral("a"), 20)
                  << region(30, QStringLiteral("c"));
    QVERIFY(f.query()->replaceRegions(regions, true));
    Entity::BranchList branches(nullptr);
    branches.items << branch(7, QStringLiteral("Строительство"));
    QVERIFY(f.query()->replaceBranches(branches, true));
    regions.clear();
    branches.clear();

    f.reopenQuery(); // a dying query object empties the process-wide maps
    const QList<Entity::Region *> &loaded = f.query()->cachedRegions().items;
    QCOMPARE(loaded.size(), 3);
    QCOMPARE(loaded.at(0)->name, QStringLiteral("a"));
    QCOMPARE(loaded.at(0)->parentId, 20);
    QCOMPARE(loaded.at(1)->name, QStringLiteral("b"));
    QCOMPARE(loaded.at(2)->name, QStringLiteral("c"));
    QCOMPARE(loaded.at(0)->changeDate, QDateTime(QDate(2014, 5, 3), QTime(10, 0), Qt::UTC));
    for (const Entity::Region *record : loaded)
        QVERIFY(!record->changed);
    const auto regionMap = Entity::FilterLinkList::regionMap();
    QCOMPARE(regionMap.keys(), (QList<qint64> {10, 20, 30}));
    QCOMPARE(regionMap.value(10), loaded.at(0));
    QCOMPARE(Entity::FilterLinkList::branchMap().value(7)->name, QStringLiteral("Строительство"));

    // A fresh read is a new list of new records owned by the caller.
    Entity::RegionList again = f.query()->regions();
    QCOMPARE(again.items.size(), 3);
    QVERIFY(again.items.at(0) != loaded.at(0));
    again.clear();

    f.dropQuery();
    QVERIFY(Entity::FilterLinkList::regionMap().isEmpty());
    QVERIFY(Entity::FilterLinkList::branchMap().isEmpty());
}

void TestQueryStorage::replaceDictionary_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("given"); // "id:name"
    QTest::addColumn<bool>("clearFirst");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("clear first replaces")
        << QStringList {"1:a", "2:b"} << QStringList {"3:c"} << true << QStringList {"3:c"};
    QTest::newRow("merge keeps others") << QStringList {"1:a", "2:b"} << QStringList {"2:B", "3:c"} << false
                                        << QStringList {"1:a", "2:B", "3:c"};
    QTest::newRow("later duplicate wins")
        << QStringList {} << QStringList {"5:first", "5:second"} << true << QStringList {"5:second"};
    QTest::newRow("empty list empties") << QStringList {"1:a"} << QStringList {} << true << QStringList {};
}

void TestQueryStorage::replaceDictionary()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, given);
    QFETCH(bool, clearFirst);
    QFETCH(QStringList, expected);

    const auto toList = [](const QStringList &entries) {
        Entity::BranchList list(nullptr);
        for (const QString &entry : entries)
            list.items << branch(entry.section(':', 0, 0).toLongLong(), entry.section(':', 1));
        return list;
    };
    Entity::BranchList first = toList(stored);
    QVERIFY(f.query()->replaceBranches(first, true));
    first.clear();
    Entity::BranchList second = toList(given);
    QVERIFY(f.query()->replaceBranches(second, clearFirst));
    QCOMPARE(second.items.size(), given.size()); // the caller keeps its records
    second.clear();
    QCOMPARE(DbTest::strings(f.sql(), QStringLiteral("SELECT Id || ':' || Name FROM Branches ORDER BY Id")), expected);
}

void TestQueryStorage::failedReplaceUndoesOnlyItsOwnLevel()
{
    Entity::RegionList before(nullptr);
    before.items << region(1, QStringLiteral("kept"));
    QVERIFY(f.query()->replaceRegions(before, true));
    before.clear();
    QVERIFY(DbTest::addFailingTrigger(f.sql(), QStringLiteral("fail"), QStringLiteral("INSERT"), TABLE_REGIONS,
                                      QStringLiteral("NEW.Id = 3")));
    Entity::RegionList regions(nullptr);
    regions.items << region(1, QStringLiteral("x")) << region(2, QStringLiteral("y")) << region(3, QStringLiteral("z"));

    // On its own: nothing of the call remains, the DELETE included.
    QVERIFY(!f.query()->replaceRegions(regions, true));
    QCOMPARE(f.dataBase()->transactionDepth, 0);
    QCOMPARE(DbTest::strings(f.sql(), QStringLiteral("SELECT Name FROM Regions")), QStringList {"kept"});

    // Inside a caller's transaction: the caller's own writes still commit.
    QVERIFY(f.dataBase()->beginTransaction());
    QVERIFY(f.query()->saveProxySettings(proxy(1, QStringLiteral("outer.local"))));
    QVERIFY(!f.query()->replaceRegions(regions, true));
    QVERIFY(f.dataBase()->commitOrRollback());
    QCOMPARE(DbTest::strings(f.sql(), QStringLiteral("SELECT Name FROM Regions")), QStringList {"kept"});
    QCOMPARE(f.query()->proxySettings().value(PROXY_HOST_NAME).toString(), QStringLiteral("outer.local"));
    regions.clear();
}

void TestQueryStorage::failedReaderRunsAgainLater()
{
    QVERIFY(f.query()->saveUser(QStringLiteral("u"), QStringLiteral("d"), true));
    QVERIFY(DbTest::exec(f.sql(), QStringLiteral("ALTER TABLE User RENAME TO UserAway")));
    QCOMPARE(f.query()->rememberedLogins(), QStringList());
    QVERIFY(DbTest::exec(f.sql(), QStringLiteral("ALTER TABLE UserAway RENAME TO User")));
    QCOMPARE(f.query()->rememberedLogins(), QStringList {"u"});
}

TAVREL_CORE_TEST_MAIN(TestQueryStorage)
#include "tst_querystorage.moc"
