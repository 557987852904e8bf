#include "appsettings.h"
#include "constants.h"
#include "coregraph.h"
#include "corehost.h"
#include "database.h"
#include "formtesthelpers.h"
#include "proxysettingsmodel.h"
#include "proxysettingswidget.h"
#include "tavreldatabasequery.h"
#include "testapplication.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

#include <memory>

static QStringList describe(const QNetworkProxy &proxy)
{
    return {QString::number(proxy.type()), proxy.hostName(), QString::number(proxy.port()), proxy.user(),
            proxy.password()};
}

// The proxy form over a real database (and no synchronization engine: the stored proxy belongs to no login).
class TestProxySettingsWidget : public QObject
{
    Q_OBJECT

    CoreGraph graph {CoreHost::instance()};
    DataBase *db = nullptr;
    TavrelDataBaseQuery *query = nullptr;

private slots:
    void initTestCase()
    {
        graph.build(QStringLiteral("proxy.Dat"));
        db = CoreHost::instance()->dataBase;
        query = CoreHost::instance()->dataBaseQuery;
    }

    void cleanupTestCase() { graph.clear(); }

    void init()
    {
        ProxySettingsModel::setInternetSettingsSource({});
        QDir(QDir::homePath() + QStringLiteral("/.mozilla")).removeRecursively();
        QSqlQuery q(db->database);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(TABLE_PROXY_SETTINGS)));
        AppSettings::resetForTesting();
    }

    void saveStoresWhatTheControlsSay_data()
    {
        QTest::addColumn<bool>("detect");
        QTest::addColumn<int>("typeIndex");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QNetworkProxy>("saved");
        using P = QNetworkProxy;
        QTest::newRow("detection") << true << 1 << true << P(P::DefaultProxy);
        QTest::newRow("no type chosen") << false << -1 << false << P(P::DefaultProxy, "proxy.lan", 8080);
        QTest::newRow("direct keeps host and port") << false << 0 << false << P(P::NoProxy, "proxy.lan", 8080);
        QTest::newRow("http without auth") << false << 1 << false << P(P::HttpProxy, "proxy.lan", 8080);
        QTest::newRow("socks with auth") << false << 2 << true
                                         << P(P::Socks5Proxy, "proxy.lan", 8080, "ivan", "sekret");
    }

    void saveStoresWhatTheControlsSay()
    {
        QFETCH(bool, detect);
        QFETCH(int, typeIndex);
        QFETCH(bool, auth);
        QFETCH(QNetworkProxy, saved);

        ProxySettingsWidget widget;
        widget.show();
        if (detect) {
            // A default proxy only ticks detection: the fields keep what they held, and are locked.
            widget.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "h", 3128, "u", "p"));
            widget.setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
            QVERIFY(child<QCheckBox>(&widget, "detectSettingsCheckBox")->isChecked()
                    && !child<QComboBox>(&widget, "typeComboBox")->isEnabled()
                    && child<QLineEdit>(&widget, "loginLineEdit")->isReadOnly());
            QCOMPARE(child<QLineEdit>(&widget, "hostLineEdit")->text()
                         + QString::number(child<QSpinBox>(&widget, "portSpinBox")->value()),
                     QStringLiteral("h3128"));
            // A type the form does not offer leaves no entry chosen.
            child<QCheckBox>(&widget, "detectSettingsCheckBox")->setChecked(false);
            widget.setProxy(QNetworkProxy(QNetworkProxy::HttpCachingProxy, "c", 1));
            QCOMPARE(child<QComboBox>(&widget, "typeComboBox")->currentIndex(), -1);
        }
        auto *hostEdit = child<QLineEdit>(&widget, "hostLineEdit");
        hostEdit->clear();
        QTest::keyClicks(hostEdit, QStringLiteral("proxy.lan"));
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
        QCOMPARE(describe(AppSettings::proxy()), describe(saved));
        // It is what the next start reads (how it is stored is the settings' test).
        AppSettings::resetForTesting();
        AppSettings::loadProxySettings();
        QCOMPARE(describe(AppSettings::proxy()), describe(saved));
    }

    void everyButtonShowsItsWholeText()
    {
        ProxySettingsWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        for (const QAbstractButton *button : widget.findChildren<QAbstractButton *>())
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->objectName()));
    }

    void directConnectionDisablesServerFieldsAndImportOnlyFillsTheForm()
    {
        ProxySettingsModel::setInternetSettingsSource([]() {
            return QVariantMap {{"ProxyEnable", 0}, {"ProxyServer", "corp.proxy:8080"}};
        });
        ProxySettingsWidget widget;
        auto *detect = child<QCheckBox>(&widget, "detectSettingsCheckBox");
        auto *auth = child<QCheckBox>(&widget, "authCheckBox");
        auto *host = child<QLineEdit>(&widget, "hostLineEdit");
        auto *port = child<QSpinBox>(&widget, "portSpinBox");
        auto *combo = child<QComboBox>(&widget, "typeComboBox");
        detect->setChecked(true);
        auth->setChecked(true);
        auto *button = child<QToolButton>(&widget, "importToolButton");
        QSignalSpy changed(&widget, &ProxySettingsWidget::changed);
        // A direct connection: detection unticked, the server fields filled but disabled, the login unticked.
        emit button->triggered(button->menu()->actions().constLast());
        QVERIFY(!detect->isChecked() && !changed.isEmpty() && combo->currentIndex() == 0);
        QCOMPARE(host->text() + QString::number(port->value()), QStringLiteral("corp.proxy8080"));
        QVERIFY(!host->isEnabled() && !port->isEnabled() && !auth->isEnabled() && !auth->isChecked()
                && !child<QLineEdit>(&widget, "loginLineEdit")->isEnabled());
        // Importing only fills the form: nothing is stored until the user saves.
        QVERIFY(AppSettings::proxy().type() == QNetworkProxy::DefaultProxy && query->proxySettings().isEmpty());
        combo->setCurrentIndex(2);
        QVERIFY(host->isEnabled() && auth->isEnabled());

        // A change of language refills the types silently, keeping the choice and the wiring.
        changed.clear();
        QEvent event(QEvent::LanguageChange);
        QCoreApplication::sendEvent(&widget, &event);
        QCOMPARE((QVector<int> {combo->count(), combo->currentIndex(), changed.count()}), (QVector<int> {3, 2, 0}));
        combo->setCurrentIndex(1);
        QCOMPARE(changed.count(), 1);
    }
};

TAVREL_TEST_MAIN(TestProxySettingsWidget)
#include "tst_proxysettingswidget.moc"
