#include "branch.h"
#include "branchlist.h"
#include "clock.h"
#include "coretestapplication.h"
#include "databasefixture.h"

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

// "id:name ..." as a list of sectors; the caller clears it.
Entity::BranchList sectors(const QString &entries)
{
    Entity::BranchList list(nullptr);
    for (const QString &entry : entries.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto *record = new Entity::Branch;
        record->id = entry.section(':', 0, 0).toLongLong();
        record->name = entry.section(':', 1);
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
    QString users() const
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
        QCOMPARE(users(), "anna|d1|-|-|0 bob|db2|1060|Анна|1 carl|dc|-|Carl|0 new|-|-|-|- zoe|dz|1000|-|-");

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

    // Each settings row is written whole or not at all; a key that is not a known column writes nothing.
    // A first row is saved, then "second" ("failing": a statement made to fail on the table); "row" is
    // what is read back, the first row when the second save fails.
    void settingsRows_data()
    {
        QTest::addColumn<bool>("proxyRow");
        QTest::addColumn<QVariantMap>("second");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QVariantMap>("row");
        const auto user = [](QVariantMap values, const QString &key = {}, const QVariant &value = {}) {
            values.insert(SETTING_LOGIN, "me");
            values.insert(key, value);
            values.remove(QString());
            return values;
        };
        const QVariantMap kept = user(appSettings(600));
        const QVariantMap nulls = user({{SETTING_AUTO_ENTER_TIMEOUT, {}},
                                        {SETTING_USE_AUTO_ENTER, {}},
                                        {SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, {}},
                                        {SETTING_WORK_MODE_IN_BACKGROUND, {}}});
        QTest::newRow("user: a second save replaces the row")
            << false << appSettings(900) << "" << user(appSettings(900));
        QTest::newRow("user: the login argument wins, missing keys become NULL")
            << false << QVariantMap {{SETTING_LOGIN, "someone"}} << "" << nulls;
        QTest::newRow("user: a key that is SQL text")
            << false << user(appSettings(300), "Login) VALUES ('x'); DROP TABLE User; --", 1) << "" << kept;
        QTest::newRow("user: the write fails") << false << appSettings(300) << "INSERT" << kept;
        QTest::newRow("proxy: an empty map") << true << QVariantMap() << "" << proxy(3, "kept.local");
        QTest::newRow("proxy: emptying the table fails") << true << proxy(2, "x") << "DELETE" << proxy(3, "kept.local");
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
        QVERIFY(failing.isEmpty() || f.failOn(failing, table));
        QCOMPARE(save(second), asText(row) != first);
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(read(), asText(row));
        QCOMPARE(f.rows("SELECT COUNT(*) FROM " + table), "1");
        QVERIFY(f.db->isTableExists(TABLE_USER) && f.query->userSettings("someone").isEmpty());
    }

    // Over "1:a 2:b". A failing insert (of id 3) inside a caller's transaction undoes its own level,
    // the DELETE included, and only that.
    void replaceDictionary_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("clearFirst");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<QString>("expected");
        QTest::newRow("clear first replaces") << "3:c" << true << false << "3:c";
        QTest::newRow("merge keeps others") << "2:B 3:c" << false << false << "1:a 2:B 3:c";
        QTest::newRow("a failing insert in a transaction") << "1:x 3:z" << true << true << "1:a 2:b";
    }

    void replaceDictionary()
    {
        QFETCH(QString, given);
        QFETCH(bool, clearFirst);
        QFETCH(bool, inside);
        QFETCH(QString, expected);
        auto first = sectors("1:a 2:b");
        QVERIFY(f.query->replaceBranches(first, true));
        first.clear();
        QVERIFY(!inside || f.failOn("INSERT", TABLE_BRANCHES, "NEW.Id = 3"));
        QVERIFY(!inside || (f.db->beginTransaction() && f.query->saveProxySettings(proxy(1, "outer.local"))));
        auto second = sectors(given);
        second.items << nullptr;
        QCOMPARE(f.query->replaceBranches(second, clearFirst), !inside);
        second.clear();
        QVERIFY(!inside || f.db->commitOrRollback());
        QCOMPARE(f.db->transactionDepth, 0);
        QCOMPARE(f.rows(QStringLiteral("SELECT Id || ':' || Name FROM Branches ORDER BY Id")), expected);
        QCOMPARE(f.query->proxySettings().value(PROXY_HOST_NAME).toString(), inside ? "outer.local" : "");
    }
};

TAVREL_CORE_TEST_MAIN(TestQueryStorage)
#include "tst_querystorage.moc"
