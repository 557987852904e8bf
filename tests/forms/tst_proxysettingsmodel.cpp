#include "proxysettingsmodel.h"
#include "testapplication.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QtTest>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QString firefoxDir()
{
    return QDir::homePath() + QStringLiteral("/.mozilla/firefox");
}

QString operaFile()
{
    return QDir::homePath() + QStringLiteral("/.opera/operaprefs.ini");
}

struct Row
{
    QString caption;
    bool importable;
    QNetworkProxy proxy;
};

QList<Row> rowsOf(const ProxySettingsModel &model)
{
    QList<Row> rows;
    const QList<ProxySettingsModel::ProxyItem> items = model.importItems();
    for (const ProxySettingsModel::ProxyItem &item : items)
        rows.append({item.caption, item.importable, item.proxy});
    return rows;
}

} // namespace

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
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Choose from list..."));
        QVERIFY(!model.data(model.index(0, 0), ProxySettingsModel::ProxyRole).isValid());
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("Internet Explorer"));
        const auto proxy = model.data(model.index(1, 0), ProxySettingsModel::ProxyRole).value<QNetworkProxy>();
        QCOMPARE(proxy.type(), QNetworkProxy::NoProxy);
        QVERIFY(model.importItems().at(0).importable);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);
        QVERIFY(!model.data(model.index(1, 0), Qt::DecorationRole).isValid());
    }

    void firefoxPrefs_data()
    {
        QTest::addColumn<QByteArray>("prefs");
        QTest::addColumn<QNetworkProxy::ProxyType>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("importable");

        const QByteArray manual = "user_pref(\"network.proxy.type\", 1);\n";
        QTest::newRow("http wins over socks") << QByteArray(manual
                                                            + "user_pref(\"network.proxy.http\", \"web.proxy\");\n"
                                                              "user_pref(\"network.proxy.http_port\", 3128);\n"
                                                              "user_pref(\"network.proxy.socks\", \"socks.proxy\");\n"
                                                              "user_pref(\"network.proxy.socks_port\", 1080);\n")
                                              << QNetworkProxy::HttpProxy << "web.proxy" << 3128 << true;
        QTest::newRow("socks only") << QByteArray(manual
                                                  + "user_pref(\"network.proxy.socks\", \"socks.proxy\");\n"
                                                    "user_pref(\"network.proxy.socks_port\", 1080);\n")
                                    << QNetworkProxy::Socks5Proxy << "socks.proxy" << 1080 << true;
        QTest::newRow("empty http host, socks host")
            << QByteArray(manual
                          + "user_pref(\"network.proxy.http\", \"\");\n"
                            "user_pref(\"network.proxy.socks\", \"s.local\");\n")
            << QNetworkProxy::Socks5Proxy << "s.local" << 0 << true;
        QTest::newRow("type 0 drops hosts") << QByteArray("user_pref(\"network.proxy.type\", 0);\n"
                                                          "user_pref(\"network.proxy.http\", \"web.proxy\");\n")
                                            << QNetworkProxy::NoProxy << "" << 0 << true;
        QTest::newRow("no type line") << QByteArray("user_pref(\"network.proxy.http\", \"web.proxy\");\n")
                                      << QNetworkProxy::DefaultProxy << "web.proxy" << 0 << false;
        QTest::newRow("type 4") << QByteArray("user_pref(\"network.proxy.type\", 4);\n") << QNetworkProxy::DefaultProxy
                                << "" << 0 << false;
        QTest::newRow("port out of range reads as no port")
            << QByteArray(manual
                          + "user_pref(\"network.proxy.http\", \"h\");\n"
                            "user_pref(\"network.proxy.http_port\", 70000);\n")
            << QNetworkProxy::HttpProxy << "h" << 0 << true;
        QTest::newRow("unparsable port reads as no port")
            << QByteArray(manual
                          + "user_pref(\"network.proxy.http\", \"h\");\n"
                            "user_pref(\"network.proxy.http_port\", \"x\");\n")
            << QNetworkProxy::HttpProxy << "h" << 0 << true;
        QTest::newRow("http port ignored while socks")
            << QByteArray(manual
                          + "user_pref(\"network.proxy.socks\", \"s\");\n"
                            "user_pref(\"network.proxy.http_port\", 8080);\n")
            << QNetworkProxy::Socks5Proxy << "s" << 0 << true;
    }

    void firefoxPrefs()
    {
        QFETCH(QByteArray, prefs);
        QFETCH(QNetworkProxy::ProxyType, type);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, importable);

        writeFile(firefoxDir() + QStringLiteral("/profiles.ini"),
                  "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\n"
                  "Path=abc.default\n");
        writeFile(firefoxDir() + QStringLiteral("/abc.default/prefs.js"), prefs);

        ProxySettingsModel model;
        const QList<Row> rows = rowsOf(model);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).caption, QStringLiteral("Mozilla"));
        QCOMPARE(rows.at(0).proxy.type(), type);
        QCOMPARE(rows.at(0).proxy.hostName(), host);
        QCOMPARE(int(rows.at(0).proxy.port()), port);
        QCOMPARE(rows.at(0).importable, importable);
    }

    void firefoxProfiles()
    {
        const QString outside = QDir::homePath() + QStringLiteral("/elsewhere/profile");
        writeFile(firefoxDir() + QStringLiteral("/profiles.ini"),
                  QByteArray("[General]\nStartWithLastProfile=1\n\n"
                             "[Profile0]\nIsRelative=1\nPath=Profiles/x1.default\n\n"
                             "[Profile1]\nIsRelative=1\nPath=Profiles/work\n\n"
                             "[profile2]\nIsRelative=0\nPath=")
                      + outside.toUtf8() + "\n\n[Profile3]\nName=no path\n");
        writeFile(outside + QStringLiteral("/prefs.js"),
                  "user_pref(\"network.proxy.type\", 1);\nuser_pref(\"network.proxy.http\", \"far.proxy\");\n");

        ProxySettingsModel model;
        const QList<Row> rows = rowsOf(model);
        QStringList captions;
        for (const Row &row : rows)
            captions << row.caption;
        QCOMPARE(captions, (QStringList {"Mozilla", "Mozilla - Profile1", "Mozilla - profile2", "Internet Explorer"}));
        // No prefs.js: a direct connection.
        QCOMPARE(rows.at(1).proxy.type(), QNetworkProxy::NoProxy);
        // An absolute profile path is read where it is, not under the Firefox folder.
        QCOMPARE(rows.at(2).proxy.type(), QNetworkProxy::HttpProxy);
        QCOMPARE(rows.at(2).proxy.hostName(), QStringLiteral("far.proxy"));
    }

    void opera_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("importable");
        QTest::addColumn<QNetworkProxy::ProxyType>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");

        QTest::newRow("http wins") << QByteArray("[Proxy]\nUse HTTP=1\nUse HTTPS=1\nHTTP server=h1:81\n"
                                                 "HTTPS server=h2:8443\n")
                                   << true << QNetworkProxy::HttpProxy << "h1" << 81;
        QTest::newRow("https only") << QByteArray("[Proxy]\nUse HTTPS=1\nHTTPS server=h2:8443\n") << true
                                    << QNetworkProxy::HttpProxy << "h2" << 8443;
        QTest::newRow("switched off") << QByteArray("[Proxy]\nHTTP server=h1:81\n") << false
                                      << QNetworkProxy::DefaultProxy << "" << 0;
        QTest::newRow("no port") << QByteArray("[Proxy]\nUse HTTP=1\nHTTP server=h1\n") << true
                                 << QNetworkProxy::HttpProxy << "h1" << 0;
    }

    void opera()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, importable);
        QFETCH(QNetworkProxy::ProxyType, type);
        QFETCH(QString, host);
        QFETCH(int, port);

        writeFile(operaFile(), ini);
        ProxySettingsModel model;
        const QList<Row> rows = rowsOf(model);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).caption, QStringLiteral("Opera"));
        QCOMPARE(rows.at(0).importable, importable);
        QCOMPARE(rows.at(0).proxy.type(), type);
        QCOMPARE(rows.at(0).proxy.hostName(), host);
        QCOMPARE(int(rows.at(0).proxy.port()), port);
    }

    void internetExplorer_data()
    {
        QTest::addColumn<QVariant>("enable");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QNetworkProxy::ProxyType>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");

        QTest::newRow("enabled") << QVariant(1) << "corp.proxy:8080" << QNetworkProxy::HttpProxy << "corp.proxy"
                                 << 8080;
        QTest::newRow("disabled keeps host and port")
            << QVariant(0) << "corp.proxy:8080" << QNetworkProxy::NoProxy << "corp.proxy" << 8080;
        QTest::newRow("per protocol form")
            << QVariant(1) << "http=h:1;https=h:2" << QNetworkProxy::HttpProxy << "http=h" << 0;
        QTest::newRow("port beyond range") << QVariant(1) << "h:65536" << QNetworkProxy::HttpProxy << "h" << 0;
        QTest::newRow("absent") << QVariant() << "" << QNetworkProxy::NoProxy << "" << 0;
    }

    void internetExplorer()
    {
        QFETCH(QVariant, enable);
        QFETCH(QString, server);
        QFETCH(QNetworkProxy::ProxyType, type);
        QFETCH(QString, host);
        QFETCH(int, port);

        ProxySettingsModel::setInternetSettingsSource([=]() {
            QVariantMap values;
            if (enable.isValid())
                values.insert(QStringLiteral("ProxyEnable"), enable);
            values.insert(QStringLiteral("ProxyServer"), server);
            return values;
        });
        ProxySettingsModel model;
        const Row row = rowsOf(model).last();
        QCOMPARE(row.caption, QStringLiteral("Internet Explorer"));
        QVERIFY(row.importable);
        QCOMPARE(row.proxy.type(), type);
        QCOMPARE(row.proxy.hostName(), host);
        QCOMPARE(int(row.proxy.port()), port);
    }

    void prefsLineReaders_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");

        QTest::newRow("string") << "user_pref(\"network.proxy.http\", \"host\");"
                                << "host" << -1;
        QTest::newRow("integer") << "user_pref(\"network.proxy.http_port\", 8080);" << QString() << 8080;
        QTest::newRow("no comma") << "user_pref(\"x\");" << QString() << -1;
        QTest::newRow("one quote") << "user_pref(\"x\", \"abc);" << QString() << -1;
        QTest::newRow("empty string") << "user_pref(\"x\", \"\");"
                                      << "" << -1;
    }

    void prefsLineReaders()
    {
        QFETCH(QString, line);
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ProxySettingsModel::prefsStringValue(line), text);
        QCOMPARE(ProxySettingsModel::prefsStringValue(line).isNull(), text.isNull());
        QCOMPARE(ProxySettingsModel::prefsIntValue(line), number);
    }
};

TAVREL_TEST_MAIN(TestProxySettingsModel)
#include "tst_proxysettingsmodel.moc"
