#include "appsettings.h"
#include "proxysettingsmodel.h"
#include "proxysettingswidget.h"
#include "testapplication.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(QNetworkProxy::ProxyType)

class TestProxySettingsWidget : public QObject
{
    Q_OBJECT

    template<typename T> static T *child(QWidget *widget, const char *name)
    {
        T *found = widget->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }

private slots:
    void init() { ProxySettingsModel::setInternetSettingsSource({}); }

    void defaultProxyOnlyTicksDetection()
    {
        ProxySettingsWidget widget;
        widget.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "h", 3128, "u", "p"));
        QVERIFY(child<QCheckBox>(&widget, "authCheckBox")->isChecked());
        widget.setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        QVERIFY(child<QCheckBox>(&widget, "detectSettingsCheckBox")->isChecked());
        QCOMPARE(child<QLineEdit>(&widget, "hostLineEdit")->text(), QStringLiteral("h"));
        QCOMPARE(child<QSpinBox>(&widget, "portSpinBox")->value(), 3128);
        QVERIFY(!child<QComboBox>(&widget, "typeComboBox")->isEnabled());
        QVERIFY(child<QLineEdit>(&widget, "loginLineEdit")->isReadOnly());
    }

    void saveStoresWhatTheControlsSay_data()
    {
        QTest::addColumn<bool>("detect");
        QTest::addColumn<int>("typeIndex");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QNetworkProxy::ProxyType>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");

        QTest::newRow("detection") << true << 1 << true << QNetworkProxy::DefaultProxy << "" << 0 << "";
        QTest::newRow("no type chosen") << false << -1 << false << QNetworkProxy::DefaultProxy << "proxy.lan" << 8080
                                        << "";
        QTest::newRow("direct keeps host and port")
            << false << 0 << false << QNetworkProxy::NoProxy << "proxy.lan" << 8080 << "";
        QTest::newRow("http without auth")
            << false << 1 << false << QNetworkProxy::HttpProxy << "proxy.lan" << 8080 << "";
        QTest::newRow("socks with auth") << false << 2 << true << QNetworkProxy::Socks5Proxy << "proxy.lan" << 8080
                                         << "ivan";
    }

    void saveStoresWhatTheControlsSay()
    {
        QFETCH(bool, detect);
        QFETCH(int, typeIndex);
        QFETCH(bool, auth);
        QFETCH(QNetworkProxy::ProxyType, type);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, user);

        ProxySettingsWidget widget;
        widget.show();
        auto *host_ = child<QLineEdit>(&widget, "hostLineEdit");
        host_->clear();
        QTest::keyClicks(host_, QStringLiteral("proxy.lan"));
        child<QSpinBox>(&widget, "portSpinBox")->setValue(8080);
        child<QComboBox>(&widget, "typeComboBox")->setCurrentIndex(typeIndex);
        if (typeIndex != 0) {
            child<QCheckBox>(&widget, "authCheckBox")->setChecked(true);
            QTest::keyClicks(child<QLineEdit>(&widget, "loginLineEdit"), QStringLiteral("ivan"));
            QTest::keyClicks(child<QLineEdit>(&widget, "passwordLineEdit"), QStringLiteral("sekret"));
            child<QCheckBox>(&widget, "authCheckBox")->setChecked(auth);
        }
        child<QCheckBox>(&widget, "detectSettingsCheckBox")->setChecked(detect);

        QTest::mouseClick(child<QPushButton>(&widget, "saveButton"), Qt::LeftButton);
        QVERIFY(!widget.isVisible());
        const QNetworkProxy saved = AppSettings::proxy();
        QCOMPARE(saved.type(), type);
        QCOMPARE(saved.hostName(), host);
        QCOMPARE(int(saved.port()), port);
        QCOMPARE(saved.user(), user);
        QCOMPARE(saved.password(), user.isEmpty() ? QString() : QStringLiteral("sekret"));
    }

    void directConnectionDisablesServerFields()
    {
        ProxySettingsWidget widget;
        auto *combo = child<QComboBox>(&widget, "typeComboBox");
        auto *auth = child<QCheckBox>(&widget, "authCheckBox");
        combo->setCurrentIndex(1);
        auth->setChecked(true);
        combo->setCurrentIndex(0);
        QVERIFY(!child<QLineEdit>(&widget, "hostLineEdit")->isEnabled());
        QVERIFY(!child<QSpinBox>(&widget, "portSpinBox")->isEnabled());
        QVERIFY(!auth->isEnabled());
        QVERIFY(!auth->isChecked());
        QVERIFY(!child<QLineEdit>(&widget, "loginLineEdit")->isEnabled());
        combo->setCurrentIndex(2);
        QVERIFY(child<QLineEdit>(&widget, "hostLineEdit")->isEnabled());
        QVERIFY(auth->isEnabled());
    }

    void importFillsTheFormAndLeavesDetection()
    {
        ProxySettingsModel::setInternetSettingsSource([]() {
            return QVariantMap {{"ProxyEnable", 0}, {"ProxyServer", "corp.proxy:8080"}};
        });
        AppSettings::setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        ProxySettingsWidget widget;
        auto *detect = child<QCheckBox>(&widget, "detectSettingsCheckBox");
        detect->setChecked(true);
        auto *button = child<QToolButton>(&widget, "importToolButton");
        QVERIFY(button->isEnabled());
        const QList<QAction *> actions = button->menu()->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Internet Explorer"));

        QSignalSpy changed(&widget, &ProxySettingsWidget::changed);
        emit button->triggered(actions.at(0));
        QVERIFY(!detect->isChecked());
        QCOMPARE(child<QComboBox>(&widget, "typeComboBox")->currentText(), QStringLiteral("Direct connection"));
        QCOMPARE(child<QLineEdit>(&widget, "hostLineEdit")->text(), QStringLiteral("corp.proxy"));
        QCOMPARE(child<QSpinBox>(&widget, "portSpinBox")->value(), 8080);
        QVERIFY(!child<QLineEdit>(&widget, "hostLineEdit")->isEnabled());
        QVERIFY(!changed.isEmpty());
        QCOMPARE(AppSettings::proxy().type(), QNetworkProxy::DefaultProxy); // import does not save
    }

    void languageChangeKeepsTypeSilently()
    {
        ProxySettingsWidget widget;
        auto *combo = child<QComboBox>(&widget, "typeComboBox");
        combo->setCurrentIndex(2);
        QSignalSpy changed(&widget, &ProxySettingsWidget::changed);
        QEvent event(QEvent::LanguageChange);
        QCoreApplication::sendEvent(&widget, &event);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), 2);
        QCOMPARE(changed.count(), 0);
        combo->setCurrentIndex(1);
        QCOMPARE(changed.count(), 1); // still wired after the refill
    }

    void unknownTypeLeavesNoEntry()
    {
        ProxySettingsWidget widget;
        child<QComboBox>(&widget, "typeComboBox")->setCurrentIndex(1);
        widget.setProxy(QNetworkProxy(QNetworkProxy::HttpCachingProxy, "c", 1));
        QCOMPARE(child<QComboBox>(&widget, "typeComboBox")->currentIndex(), -1);
    }

    void proxyToString_data()
    {
        QTest::addColumn<QNetworkProxy>("proxy");
        QTest::addColumn<QString>("text");
        QTest::newRow("http") << QNetworkProxy(QNetworkProxy::HttpProxy, "h", 3128, "u", "secret")
                              << "caption=A,type=HttpProxy,host=h,port=3128,user=u;";
        QTest::newRow("default") << QNetworkProxy(QNetworkProxy::DefaultProxy)
                                 << "caption=A,type=UnknownProxy,host=,port=0,user=;";
    }

    void proxyToString()
    {
        QFETCH(QNetworkProxy, proxy);
        QFETCH(QString, text);
        QCOMPARE(ProxySettingsWidget::proxyToString(QStringLiteral("A"), proxy), text);
    }
};

TAVREL_TEST_MAIN(TestProxySettingsWidget)
#include "tst_proxysettingswidget.moc"
