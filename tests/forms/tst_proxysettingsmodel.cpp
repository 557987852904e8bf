#include "formtesthelpers.h"
#include "proxysettingsmodel.h"
#include "testapplication.h"

#include <QDir>
#include <QNetworkProxy>
#include <QtTest>

Q_DECLARE_METATYPE(QNetworkProxy::ProxyType)

class TestProxySettingsModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir(QDir::homePath() + QStringLiteral("/.mozilla")).removeRecursively();
        QDir(QDir::homePath() + QStringLiteral("/.opera")).removeRecursively();
        ProxySettingsModel::setInternetSettingsSource({});
    }

    void noBrowsersGivesPromptAndDirectInternetExplorerRow()
    {
        ProxySettingsModel model;
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!model.index(0, 0).data(ProxySettingsModel::ProxyRole).isValid());
        QCOMPARE(model.index(1, 0).data(ProxySettingsModel::ProxyRole).value<QNetworkProxy>().type(),
                 QNetworkProxy::NoProxy);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    }

    void browserImport_data()
    {
        // The browser ("Mozilla": prefs.js of one profile, "Opera": operaprefs.ini, "Internet Explorer": the
        // internet settings values), what it holds, and the row it gives.
        QTest::addColumn<QString>("browser");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QVariantMap>("internetSettings");
        QTest::addColumn<QNetworkProxy::ProxyType>("type");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("importable");

        const QVariantMap none;
        const QByteArray manual = "user_pref(\"network.proxy.type\", 1);\n";
        const QByteArray http = "user_pref(\"network.proxy.http\", \"web.proxy\");\n";
        const QByteArray socks = "user_pref(\"network.proxy.socks\", \"socks.proxy\");\n"
                                 "user_pref(\"network.proxy.socks_port\", 1080);\n";
        auto row = [&](const char *name, const char *browser, const QByteArray &file,
                       const QVariantMap &values) -> QTestData & {
            return QTest::newRow(name) << QString::fromLatin1(browser) << file << values;
        };
        row("ff: http wins over socks", "Mozilla",
            manual + http + "user_pref(\"network.proxy.http_port\", 3128);\n" + socks, none)
            << QNetworkProxy::HttpProxy << "web.proxy:3128" << true;
        row("ff: socks only", "Mozilla", manual + socks, none)
            << QNetworkProxy::Socks5Proxy << "socks.proxy:1080" << true;
        row("ff: type 0 drops hosts", "Mozilla", "user_pref(\"network.proxy.type\", 0);\n" + http, none)
            << QNetworkProxy::NoProxy << ":0" << true;
        row("ff: a host with one quote is none", "Mozilla",
            manual + "user_pref(\"network.proxy.http\", \"abc);\n" + socks, none)
            << QNetworkProxy::Socks5Proxy << "socks.proxy:1080" << true;
        row("ff: no type line", "Mozilla", http, none) << QNetworkProxy::DefaultProxy << "web.proxy:0" << false;
        row("ff: port out of range reads as no port", "Mozilla",
            manual + http + "user_pref(\"network.proxy.http_port\", 70000);\n", none)
            << QNetworkProxy::HttpProxy << "web.proxy:0" << true;
        row("opera: http wins", "Opera", "[Proxy]\nUse HTTP=1\nUse HTTPS=1\nHTTP server=h1:81\nHTTPS server=h2:8443\n",
            none)
            << QNetworkProxy::HttpProxy << "h1:81" << true;
        row("opera: https only", "Opera", "[Proxy]\nUse HTTPS=1\nHTTPS server=h2:8443\n", none)
            << QNetworkProxy::HttpProxy << "h2:8443" << true;
        row("opera: switched off", "Opera", "[Proxy]\nHTTP server=h1:81\n", none)
            << QNetworkProxy::DefaultProxy << ":0" << false;
        const char *ie = "Internet Explorer";
        row("ie: enabled", ie, {}, {{"ProxyEnable", 1}, {"ProxyServer", "corp.proxy:8080"}})
            << QNetworkProxy::HttpProxy << "corp.proxy:8080" << true;
        row("ie: disabled keeps host and port", ie, {}, {{"ProxyEnable", 0}, {"ProxyServer", "corp.proxy:8080"}})
            << QNetworkProxy::NoProxy << "corp.proxy:8080" << true;
        row("ie: absent", ie, {}, {{"ProxyServer", ""}}) << QNetworkProxy::NoProxy << ":0" << true;
    }

    void browserImport()
    {
        QFETCH(QString, browser);
        QFETCH(QByteArray, file);
        QFETCH(QVariantMap, internetSettings);
        QFETCH(QNetworkProxy::ProxyType, type);
        QFETCH(QString, server);
        QFETCH(bool, importable);

        if (browser == QLatin1String("Mozilla"))
            QVERIFY(writeFirefoxProfile(file));
        else if (browser == QLatin1String("Opera"))
            QVERIFY(writeFixture(QDir::homePath() + QStringLiteral("/.opera/operaprefs.ini"), file));
        ProxySettingsModel::setInternetSettingsSource([=]() { return internetSettings; });

        ProxySettingsModel model;
        const QList<ProxySettingsModel::ProxyItem> rows = model.importItems();
        const bool fromFile = !file.isEmpty();
        QCOMPARE(rows.size(), fromFile ? 2 : 1);
        const ProxySettingsModel::ProxyItem &row = fromFile ? rows.first() : rows.last();
        QCOMPARE(row.caption, browser);
        QVERIFY(row.proxy.type() == type && row.importable == importable);
        QCOMPARE(QStringLiteral("%1:%2").arg(row.proxy.hostName()).arg(row.proxy.port()), server);
    }

    void firefoxProfiles()
    {
        const QString outside = QDir::homePath() + QStringLiteral("/elsewhere/profile");
        QVERIFY(writeFixture(firefoxFixtureDir() + QStringLiteral("/profiles.ini"),
                             QByteArray("[General]\nStartWithLastProfile=1\n\n"
                                        "[Profile0]\nIsRelative=1\nPath=Profiles/x1.default\n\n"
                                        "[Profile1]\nIsRelative=1\nPath=Profiles/work\n\n"
                                        "[profile2]\nIsRelative=0\nPath=")
                                 + outside.toUtf8() + "\n\n[Profile3]\nName=no path\n"));
        QVERIFY(
            writeFixture(outside + QStringLiteral("/prefs.js"),
                         "user_pref(\"network.proxy.type\", 1);\nuser_pref(\"network.proxy.http\", \"far.proxy\");\n"));

        ProxySettingsModel model;
        const QList<ProxySettingsModel::ProxyItem> rows = model.importItems();
        QStringList captions;
        for (const ProxySettingsModel::ProxyItem &row : rows)
            captions << row.caption;
        QCOMPARE(captions, (QStringList {"Mozilla", "Mozilla - Profile1", "Mozilla - profile2", "Internet Explorer"}));
        // No prefs.js: a direct connection; an absolute profile path is read where it is.
        QCOMPARE(rows.at(1).proxy.type(), QNetworkProxy::NoProxy);
        QCOMPARE(rows.at(2).proxy.hostName(), QStringLiteral("far.proxy"));
    }
};

TAVREL_TEST_MAIN(TestProxySettingsModel)
#include "tst_proxysettingsmodel.moc"
