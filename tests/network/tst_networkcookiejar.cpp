#include "clock.h"
#include "coretestapplication.h"
#include "tavrelnetworkcookiejar.h"

#include <QDir>
#include <QFile>
#include <QNetworkCookie>

#include <unistd.h>

#include <memory>

namespace {

const QDateTime NOW(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);

// A cookie that expires the given seconds from now; 0 makes a session cookie.
QNetworkCookie cookie(const QByteArray &name, const QByteArray &value, const QString &domain,
                      const QString &path = QStringLiteral("/"), qint64 expiresInSecs = 3600)
{
    QNetworkCookie result(name, value);
    result.setDomain(domain);
    result.setPath(path);
    if (expiresInSecs != 0)
        result.setExpirationDate(NOW.addSecs(expiresInSecs));
    return result;
}

QStringList names(const QList<QNetworkCookie> &cookies)
{
    QStringList result;
    for (const QNetworkCookie &c : cookies)
        result << QString::fromLatin1(c.name() + '=' + c.value() + '@' + c.path().toLatin1());
    return result;
}

} // namespace

// The jar's rules, in memory and in its files of one domain each.
class TestNetworkCookieJar : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TavrelNetworkCookieJar> jar;
    const QUrl site {QStringLiteral("http://r.s/")};

    QString filePath(const QString &domain) const { return jar->cookieDirectory() + QLatin1Char('/') + domain; }
    int files() const { return QDir(jar->cookieDirectory()).entryList(QDir::Files | QDir::Hidden).size(); }

    QList<QByteArray> fileLines(const QString &domain) const
    {
        QFile file(filePath(domain));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray text = file.readAll();
        return text.isEmpty() ? QList<QByteArray>() : text.left(text.size() - 1).split('\n');
    }

    void restartJar() { jar = std::make_unique<TavrelNetworkCookieJar>(); }

private slots:
    void init()
    {
        Clock::setFixed(NOW);
        restartJar();
        QDir(jar->cookieDirectory()).removeRecursively();
        jar->setAllCookies({});
    }

    void cleanup()
    {
        jar.reset();
        Clock::reset();
    }

    // Whether one cookie from a reply of url is taken; one that is refused reaches neither memory nor disk.
    void acceptance_data()
    {
        QTest::addColumn<QNetworkCookie>("given");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("accepted");
        const QString longest = QLatin1Char('/') + QString(999, QLatin1Char('p'));
        QTest::newRow("own host") << cookie("a", "1", "q.r.s") << QUrl("http://q.r.s/") << true;
        QTest::newRow("parent domain") << cookie("a", "1", ".R.S") << QUrl("http://q.r.s/") << true;
        QTest::newRow("single label") << cookie("a", "1", "s") << QUrl("http://q.r.s/") << false;
        QTest::newRow("sibling") << cookie("a", "1", "r.t") << QUrl("http://q.r.s/") << false;
        QTest::newRow("longer than host") << cookie("a", "1", "q.r.s.evil") << QUrl("http://q.r.s/") << false;
        QTest::newRow("address") << cookie("a", "1", "127.0.0.1") << QUrl("http://127.0.0.1:8765/") << true;
        QTest::newRow("tail of an address") << cookie("a", "1", "0.0.1") << QUrl("http://127.0.0.1/") << false;
        QTest::newRow("file url") << cookie("a", "1", "r.s") << QUrl("file:///tmp/x") << false;
        QTest::newRow("path of 1000") << cookie("a", "1", "r.s", longest) << QUrl("http://r.s/") << true;
        QTest::newRow("path of 1001") << cookie("a", "1", "r.s", longest + 'p') << QUrl("http://r.s/") << false;
        QTest::newRow("already expired") << cookie("a", "1", "r.s", "/", -10) << QUrl("http://r.s/") << false;
    }

    void acceptance()
    {
        QFETCH(QNetworkCookie, given);
        QFETCH(QUrl, url);
        QFETCH(bool, accepted);
        QCOMPARE(jar->setCookiesFromUrl({given}, url), accepted);
        QCOMPARE(jar->allCookies().size(), accepted ? 1 : 0);
        QCOMPARE(files(), accepted ? 1 : 0);
    }

    // Which cookies go with a request: domain, path (longest first), secure and file rules.
    void cookiesForUrl_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("path and its parent") << QUrl("http://r.s/a/b") << QStringList {"a=1@/a", "root=1@/"};
        QTest::newRow("a path with a common prefix") << QUrl("http://r.s/ab") << QStringList {"ab=1@/ab", "root=1@/"};
        QTest::newRow("over https the secure one too")
            << QUrl("https://r.s/") << QStringList {"root=1@/", "secure=1@/"};
        QTest::newRow("a child domain gets the parent's")
            << QUrl("http://q.r.s/") << QStringList {"child=1@/", "root=1@/"};
        QTest::newRow("the parent's label alone") << QUrl("http://s/") << QStringList();
        QTest::newRow("file url: localhost, not secure") << QUrl("file:///tmp/page.html") << QStringList {"local=1@/"};
    }

    void cookiesForUrl()
    {
        QFETCH(QUrl, url);
        QFETCH(QStringList, sent);
        QNetworkCookie secure = cookie("secure", "1", "r.s");
        secure.setSecure(true);
        QNetworkCookie localSecure = cookie("localsecure", "1", "localhost");
        localSecure.setSecure(true);
        jar->setAllCookies({cookie("root", "1", "r.s", "/"), cookie("a", "1", "r.s", "/a"),
                            cookie("ab", "1", "r.s", "/ab"), secure, cookie("child", "1", "q.r.s"),
                            cookie("local", "1", "localhost"), localSecure});
        QCOMPARE(names(jar->cookiesForUrl(url)), sent);
    }

    void defaultsFromTheUrl()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", QString(), QString())}, QUrl("http://Q.R.S/x/y/page")));
        QCOMPARE(jar->allCookies().first().domain(), QStringLiteral("q.r.s"));
        QCOMPARE(jar->allCookies().first().path(), QStringLiteral("/x/y/"));
    }

    // The file of a domain follows what the replies set; a restart reads back the persistent cookies.
    void filesFollowTheReplies()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("other", "x", "r.s"), cookie("a", "old", ".r.s")}, site));
        QVERIFY(jar->setCookiesFromUrl({cookie("session", "1", "r.s", "/", 0), cookie("short", "1", "r.s", "/", 60)},
                                       site));
        // Set again for the domain without the dot: one line with the new value, the dotted file gone.
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "new", "r.s")}, site));
        QVERIFY(!QFile::exists(filePath(".r.s")));
        QCOMPARE(fileLines("r.s").size(), 3);
        // An expired cookie in a reply deletes its twin.
        QVERIFY(!jar->setCookiesFromUrl({cookie("other", "", "r.s", "/", -10)}, site));
        QCOMPARE(fileLines("r.s").size(), 2);
        // An expired cookie leaves memory, but stays in its file until it is read back.
        Clock::advance(120 * 1000);
        QCOMPARE(names(jar->cookiesForUrl(site)), (QStringList {"session=1@/", "a=new@/"}));

        restartJar();
        QCOMPARE(jar->allCookies().size(), 2);
        QCOMPARE(names(jar->cookiesForUrl(site)), QStringList {"a=new@/"});
        QCOMPARE(jar->allCookies().first().expirationDate(), NOW.addSecs(3600));
    }

    void singleSignOnCookieKeptWhileItsPageIsCached_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("cached");
        QTest::addColumn<QByteArray>("expectedValue");
        QTest::newRow("FedAuth cached") << QByteArray("FedAuth") << true << QByteArray("old");
        QTest::newRow("FedAuth not cached") << QByteArray("FedAuth") << false << QByteArray("new");
        QTest::newRow("ASP.NET cached") << QByteArray("ASP.NET_SessionId") << true << QByteArray("old");
        QTest::newRow("other name cached") << QByteArray("fedauth") << true << QByteArray("new");
    }

    void singleSignOnCookieKeptWhileItsPageIsCached()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, cached);
        QFETCH(QByteArray, expectedValue);
        connect(jar.get(), &TavrelNetworkCookieJar::getIsUrlCached, this,
                [&](const QUrl &, bool &result) { result = cached; });
        QVERIFY(jar->setCookiesFromUrl({cookie(name, "old", "r.s")}, QUrl("http://r.s/login")));
        jar->setCookiesFromUrl({cookie(name, "new", "r.s")}, QUrl("http://r.s/login"));
        QCOMPARE(names(jar->allCookies()), QStringList {name + '=' + expectedValue + "@/"});
        QVERIFY(fileLines("r.s").first().startsWith(name + '=' + expectedValue));
    }

    // Domain texts that could reach outside the folder or name something odd there stay in memory.
    void unsafeDomainsStayInMemory_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("safe");
        QTest::newRow("leading dot") << ".example.org" << true;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("climbing") << "../../etc" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("unicode") << QString::fromUtf8("пример.рф") << false;
        QTest::newRow("empty") << "" << false;
    }

    void unsafeDomainsStayInMemory()
    {
        QFETCH(QString, domain);
        QFETCH(bool, safe);
        QCOMPARE(TavrelNetworkCookieJar::isSafeFileName(domain), safe);
        const QUrl url(QString::fromUtf8("http://сайт.пример.рф/"));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", QString())}, url));
        QCOMPARE(jar->cookiesForUrl(url).size(), 1);
        QCOMPARE(files(), 0);
    }

    void filesArePrivate()
    {
        QDir().mkpath(jar->cookieDirectory());
        QFile existing(filePath("r.s"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QFile::setPermissions(jar->cookieDirectory(), QFileDevice::Permissions(0x7755));
        QFile::setPermissions(filePath("r.s"), QFileDevice::Permissions(0x6644));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s"), cookie("b", "1", ".r.s")}, site));
        const auto ownerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto mask = QFileDevice::Permissions(0x0077) | ownerReadWrite | QFileDevice::ExeOwner;
        QCOMPARE(QFile(filePath("r.s")).permissions() & mask, ownerReadWrite);
        QCOMPARE(QFile(filePath(".r.s")).permissions() & mask, ownerReadWrite);
        QCOMPARE(QFile(jar->cookieDirectory()).permissions() & mask, ownerReadWrite | QFileDevice::ExeOwner);
    }

    void unreadableFileIsNotRewritten()
    {
        // A folder where the domain's file should be can't be read as one.
        QVERIFY(QDir().mkpath(filePath("r.s")));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s")}, site));
        QCOMPARE(jar->allCookies().size(), 1);
        QVERIFY(QFileInfo(filePath("r.s")).isDir());

        if (geteuid() == 0)
            QSKIP("The superuser reads files without read permission");
        QVERIFY(jar->setCookiesFromUrl({cookie("b", "1", "q.r.s")}, QUrl("http://q.r.s/")));
        QFile::setPermissions(filePath("q.r.s"), QFileDevice::WriteOwner);
        QVERIFY(jar->setCookiesFromUrl({cookie("c", "1", "q.r.s")}, QUrl("http://q.r.s/")));
        QFile::setPermissions(filePath("q.r.s"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(fileLines("q.r.s").size(), 1);
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkCookieJar)
#include "tst_networkcookiejar.moc"
