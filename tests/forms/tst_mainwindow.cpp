#include "../synchronization/syncfixture.h"
#include "appsettings.h"
#include "mainwindow.h"
#include "setuppanel.h"
#include "testapplication.h"

#include <QComboBox>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

    SyncFixture fixture;

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }

    void showingStartsSynchronizationAndCountsOrders()
    {
        fixture.service()->addUser(QStringLiteral("shopper"), QStringLiteral("secret"), true);
        fixture.createEngine();
        QCOMPARE(fixture.login(QStringLiteral("shopper"), QStringLiteral("secret")), S_OK);
        const int expected = fixture.service()->newOrderIds().size();
        QVERIFY(expected > 0);

        MainWindow window;
        QVERIFY(window.countersText().isEmpty());
        window.show();
        const QString wanted = QStringLiteral("Новые заявки: %1 ").arg(expected);
        QTRY_VERIFY_WITH_TIMEOUT(window.countersText().startsWith(wanted), 20000);
        QCOMPARE(fixture.query->newOrdersCount(QStringLiteral("shopper")), expected);

        // A second show asks again but registers no second listener.
        const int tasksBefore = fixture.engine->taskList().size();
        window.hide();
        window.show();
        QVERIFY(fixture.engine->taskList().size() <= tasksBefore + 1);
    }

    void eachShowReloadsTheSettingsPage()
    {
        MainWindow window;
        AppSettings::setNewOrdersRefreshIntervalTime(1800);
        window.show();
        auto *interval = window.setupPanel()->findChild<QComboBox *>(QStringLiteral("comboInterval"));
        QVERIFY(interval);
        QCOMPARE(interval->currentIndex(), 4);
        window.hide();
        AppSettings::setNewOrdersRefreshIntervalTime(3600);
        window.show();
        QCOMPARE(interval->currentIndex(), 5);
    }
};

TAVREL_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
