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

QNetworkCookie sessionCookie(const QByteArray &name, const QByteArray &value, const QString &domain,
                             const QString &path = QStringLiteral("/"))
{
    return cookie(name, value, domain, path, 0);
}

QStringList names(const QList<QNetworkCookie> &cookies)
{
    QStringList result;
    for (const QNetworkCookie &c : cookies)
        result << QString::fromLatin1(c.name() + '=' + c.value() + '@' + c.path().toLatin1());
    return result;
}

} // namespace

class TestNetworkCookieJar : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TavrelNetworkCookieJar> jar;

    QString directory() const { return jar->cookieDirectory(); }
    QString filePath(const QString &domain) const { return directory() + QLatin1Char('/') + domain; }

    QList<QByteArray> fileLines(const QString &domain) const
    {
        QFile file(filePath(domain));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        if (!lines.isEmpty() && lines.constLast().isEmpty())
            lines.removeLast();
        return lines;
    }

    void restartJar() { jar = std::make_unique<TavrelNetworkCookieJar>(); }

private slots:
    void init()
    {
        Clock::setFixed(NOW);
        restartJar();
        QDir(directory()).removeRecursively();
        jar->setAllCookies({});
    }

    void cleanup()
    {
        jar.reset();
        Clock::reset();
    }

    void domainMatch_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same host") << "r.s" << QUrl("http://r.s/") << true;
        QTest::newRow("parent domain") << "r.s" << QUrl("http://q.r.s/") << true;
        QTest::newRow("parent with dot") << ".r.s" << QUrl("http://q.r.s/") << true;
        QTest::newRow("white space and case") << " .R.S " << QUrl("http://q.r.s/") << true;
        QTest::newRow("sibling") << "r.t" << QUrl("http://q.r.s/") << false;
        QTest::newRow("single label") << "s" << QUrl("http://q.r.s/") << false;
        QTest::newRow("dot") << "." << QUrl("http://q.r.s/") << false;
        QTest::newRow("child of host") << "p.q.r.s" << QUrl("http://q.r.s/") << false;
        QTest::newRow("longer than host") << "r.s.evil" << QUrl("http://r.s/") << false;
        QTest::newRow("host as prefix") << "q.r.s.evil" << QUrl("http://q.r.s/") << false;
        QTest::newRow("address itself") << "127.0.0.1" << QUrl("http://127.0.0.1:8765/") << true;
        QTest::newRow("address with dot") << ".127.0.0.1" << QUrl("http://127.0.0.1/") << true;
        QTest::newRow("tail of an address") << "0.0.1" << QUrl("http://127.0.0.1/") << false;
        QTest::newRow("localhost for file") << "localhost" << QUrl("file:///tmp/x") << true;
        QTest::newRow("localhost for a localhost host") << "localhost" << QUrl("http://a.localhost/") << true;
        QTest::newRow("localhost for another host") << "localhost" << QUrl("http://r.s/") << false;
    }

    void domainMatch()
    {
        QFETCH(QString, domain);
        QFETCH(QUrl, url);
        QFETCH(bool, matches);
        QCOMPARE(TavrelNetworkCookieJar::isDomainMatch(cookie("a", "1", domain), url), matches);
    }

    // Whether one cookie from a reply of url is taken; one that is refused reaches neither memory nor disk.
    void acceptance_data()
    {
        QTest::addColumn<QNetworkCookie>("given");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("accepted");
        const QString longest = QLatin1Char('/') + QString(999, QLatin1Char('p'));
        QTest::newRow("own host") << cookie("a", "1", "q.r.s") << QUrl("http://q.r.s/") << true;
        QTest::newRow("single label") << cookie("a", "1", "s") << QUrl("http://q.r.s/") << false;
        QTest::newRow("sibling") << cookie("a", "1", "r.t") << QUrl("http://q.r.s/") << false;
        QTest::newRow("longer than host") << cookie("a", "1", "q.r.s.evil") << QUrl("http://q.r.s/") << false;
        QTest::newRow("empty url") << cookie("a", "1", "r.s") << QUrl() << false;
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
        QCOMPARE(QDir(directory()).entryList(QDir::Files | QDir::Hidden).size(), accepted ? 1 : 0);
    }

    // Which cookies of one jar go with a request: domain, path (longest first), secure and file rules.
    void cookiesForUrl_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("path and its parent") << QUrl("http://r.s/a/b") << QStringList {"a=1@/a", "root=1@/"};
        QTest::newRow("the path itself") << QUrl("http://r.s/a") << QStringList {"a=1@/a", "root=1@/"};
        QTest::newRow("a path with a common prefix") << QUrl("http://r.s/ab") << QStringList {"ab=1@/ab", "root=1@/"};
        QTest::newRow("no path") << QUrl("http://r.s") << QStringList {"root=1@/"};
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
        const QList<QNetworkCookie> all = jar->allCookies();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first().domain(), QStringLiteral("q.r.s"));
        QCOMPARE(all.first().path(), QStringLiteral("/x/y/"));
        QCOMPARE(fileLines("q.r.s").size(), 1);

        QVERIFY(jar->setCookiesFromUrl({cookie("b", "1", QString(), QString())}, QUrl("http://q.r.s")));
        QCOMPARE(jar->cookiesForUrl(QUrl("http://q.r.s/")).first().path(), QStringLiteral("/"));
    }

    void expiredCookieIsDroppedFromMemoryButReloaded()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s", "/", 60)}, QUrl("http://r.s/")));
        Clock::advance(120 * 1000);
        QVERIFY(jar->cookiesForUrl(QUrl("http://r.s/")).isEmpty());
        QVERIFY(jar->allCookies().isEmpty());
        QCOMPARE(fileLines("r.s").size(), 1);

        restartJar();
        QCOMPARE(jar->allCookies().size(), 1);
        QVERIFY(jar->cookiesForUrl(QUrl("http://r.s/")).isEmpty());
        QVERIFY(jar->allCookies().isEmpty());
    }

    void persistentCookiesSurviveARestart()
    {
        QVERIFY(jar->setCookiesFromUrl(
            {cookie("plain", "1", "r.s"), cookie("dotted", "2", ".r.s"), sessionCookie("session", "3", "r.s")},
            QUrl("http://q.r.s/")));
        QCOMPARE(fileLines("r.s").size(), 1);
        QCOMPARE(fileLines(".r.s").size(), 1);

        restartJar();
        QCOMPARE(names(jar->cookiesForUrl(QUrl("http://q.r.s/"))).size(), 2);
        const QList<QNetworkCookie> all = jar->allCookies();
        QCOMPARE(all.size(), 2);
        for (const QNetworkCookie &c : all) {
            QVERIFY(!c.isSessionCookie());
            QCOMPARE(c.expirationDate(), NOW.addSecs(3600));
        }
    }

    void resettingACookieLeavesOneLineWithTheNewValue()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("other", "x", "r.s")}, QUrl("http://r.s/")));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "old", "r.s")}, QUrl("http://r.s/")));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "new", "r.s")}, QUrl("http://r.s/")));
        const QList<QByteArray> lines = fileLines("r.s");
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.first().startsWith("other=x"));
        QVERIFY(lines.last().startsWith("a=new"));
        QCOMPARE(names(jar->allCookies()), (QStringList {"other=x@/", "a=new@/"}));
    }

    void replacedCookieLeavesItsOldFile_data()
    {
        QTest::addColumn<QNetworkCookie>("replacement");
        QTest::addColumn<QStringList>("afterRestart");
        QTest::newRow("session cookie") << sessionCookie("a", "new", "r.s") << QStringList();
        QTest::newRow("domain without the dot") << cookie("a", "new", "r.s") << QStringList {"a=new@/"};
    }

    void replacedCookieLeavesItsOldFile()
    {
        QFETCH(QNetworkCookie, replacement);
        QFETCH(QStringList, afterRestart);
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "old", ".r.s")}, QUrl("http://r.s/")));
        QVERIFY(QFile::exists(filePath(".r.s")));
        QVERIFY(jar->setCookiesFromUrl({replacement}, QUrl("http://r.s/")));
        QCOMPARE(names(jar->allCookies()), QStringList {"a=new@/"});
        QVERIFY(!QFile::exists(filePath(".r.s")));

        restartJar();
        QCOMPARE(names(jar->allCookies()), afterRestart);
    }

    void expiredReplyCookieDeletesItsTwin()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s"), cookie("b", "1", "r.s")}, QUrl("http://r.s/")));
        QVERIFY(!jar->setCookiesFromUrl({cookie("a", "", "r.s", "/", -10)}, QUrl("http://r.s/")));
        QCOMPARE(names(jar->allCookies()), QStringList {"b=1@/"});
        QCOMPARE(fileLines("r.s").size(), 1);
        QVERIFY(fileLines("r.s").first().startsWith("b=1"));

        QVERIFY(!jar->setCookiesFromUrl({cookie("b", "", "r.s", "/", -10)}, QUrl("http://r.s/")));
        QVERIFY(jar->allCookies().isEmpty());
        QVERIFY(!QFile::exists(filePath("r.s")));
    }

    void singleSignOnCookieKeptWhileItsPageIsCached_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("cached");
        QTest::addColumn<QByteArray>("expectedValue");
        QTest::newRow("FedAuth cached") << QByteArray("FedAuth") << true << QByteArray("old");
        QTest::newRow("FedAuth not cached") << QByteArray("FedAuth") << false << QByteArray("new");
        QTest::newRow("FedAuth1 cached") << QByteArray("FedAuth1") << true << QByteArray("old");
        QTest::newRow("ASP.NET cached") << QByteArray("ASP.NET_SessionId") << true << QByteArray("old");
        QTest::newRow("other name cached") << QByteArray("fedauth") << true << QByteArray("new");
    }

    void singleSignOnCookieKeptWhileItsPageIsCached()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, cached);
        QFETCH(QByteArray, expectedValue);
        int asked = 0;
        connect(jar.get(), &TavrelNetworkCookieJar::getIsUrlCached, this, [&](const QUrl &url, bool &result) {
            QCOMPARE(url, QUrl("http://r.s/login"));
            ++asked;
            result = cached;
        });
        QVERIFY(jar->setCookiesFromUrl({cookie(name, "old", "r.s")}, QUrl("http://r.s/login")));
        QCOMPARE(asked, 0);
        jar->setCookiesFromUrl({cookie(name, "new", "r.s")}, QUrl("http://r.s/login"));
        const QList<QNetworkCookie> all = jar->allCookies();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first().value(), expectedValue);
        QVERIFY(fileLines("r.s").first().startsWith(name + '=' + expectedValue));
    }

    void setAllCookiesTouchesMemoryOnly()
    {
        QVERIFY(
            jar->setCookiesFromUrl({cookie("PHPSESSID", "1", "r.s"), cookie("keep", "1", "r.s")}, QUrl("http://r.s/")));
        jar->setAllCookies({cookie("keep", "1", "r.s")});
        QCOMPARE(names(jar->allCookies()), QStringList {"keep=1@/"});
        QCOMPARE(fileLines("r.s").size(), 2);
    }

    void clearing()
    {
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s"), cookie("b", "1", ".r.s")}, QUrl("http://r.s/")));
        jar->clearPersistentData();
        QCOMPARE(jar->allCookies().size(), 2);
        QVERIFY(QDir(directory()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(QDir(directory()).exists());

        QVERIFY(jar->setCookiesFromUrl({cookie("c", "1", "r.s")}, QUrl("http://r.s/")));
        jar->clearAll();
        QVERIFY(jar->allCookies().isEmpty());
        QVERIFY(QDir(directory()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void safeFileNames_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("safe");
        QTest::newRow("host") << "api.example.org" << true;
        QTest::newRow("leading dot") << ".example.org" << true;
        QTest::newRow("address") << "127.0.0.1" << true;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("climbing") << "../../etc" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("blank") << "a b" << false;
        QTest::newRow("unicode") << QString::fromUtf8("пример.рф") << false;
        QTest::newRow("empty") << "" << false;
    }

    void safeFileNames()
    {
        QFETCH(QString, domain);
        QFETCH(bool, safe);
        QCOMPARE(TavrelNetworkCookieJar::isSafeFileName(domain), safe);
    }

    void unsafeDomainStaysInMemory()
    {
        const QUrl url(QString::fromUtf8("http://сайт.пример.рф/"));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", QString())}, url));
        QCOMPARE(jar->cookiesForUrl(url).size(), 1);
        QVERIFY(QDir(directory()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void filesArePrivate()
    {
        QDir().mkpath(directory());
        QFile existing(filePath("r.s"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write(cookie("old", "1", "r.s").toRawForm() + '\n');
        existing.close();
        QFile::setPermissions(directory(), QFileDevice::Permissions(0x7755));
        QFile::setPermissions(filePath("r.s"), QFileDevice::Permissions(0x6644));

        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s"), cookie("b", "1", ".r.s")}, QUrl("http://r.s/")));
        const auto ownerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto ownerOnly = ownerReadWrite | QFileDevice::ExeOwner;
        const auto mask = QFileDevice::Permissions(0x0077) | ownerOnly;
        QCOMPARE(QFile(filePath("r.s")).permissions() & mask, ownerReadWrite);
        QCOMPARE(QFile(filePath(".r.s")).permissions() & mask, ownerReadWrite);
        QCOMPARE(QFile(directory()).permissions() & mask, ownerOnly);
        QCOMPARE(fileLines("r.s").size(), 2);
    }

    void unreadableFileIsNotRewritten()
    {
        // A folder where the domain's file should be can't be read as one.
        QVERIFY(QDir().mkpath(filePath("r.s")));
        QVERIFY(jar->setCookiesFromUrl({cookie("a", "1", "r.s")}, QUrl("http://r.s/")));
        QCOMPARE(jar->allCookies().size(), 1);
        QVERIFY(QFileInfo(filePath("r.s")).isDir());

        if (geteuid() == 0)
            QSKIP("The superuser reads files without read permission");
        QVERIFY(jar->setCookiesFromUrl({cookie("b", "1", "q.r.s")}, QUrl("http://q.r.s/")));
        QFile::setPermissions(filePath("q.r.s"), QFileDevice::WriteOwner);
        QVERIFY(jar->setCookiesFromUrl({cookie("c", "1", "q.r.s")}, QUrl("http://q.r.s/")));
        QFile::setPermissions(filePath("q.r.s"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(fileLines("q.r.s").size(), 1);
        QVERIFY(fileLines("q.r.s").first().startsWith("b=1"));
    }
};

TAVREL_CORE_TEST_MAIN(TestNetworkCookieJar)
#include "tst_networkcookiejar.moc"
