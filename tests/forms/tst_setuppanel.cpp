#include "appsettings.h"
#include "autostart.h"
#include "formtesthelpers.h"
#include "setuppanel.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QtTest>

class TestSetupPanel : public QObject
{
    Q_OBJECT

private slots:
    // A stored interval selects the entry at or below it; choosing an entry stores its own seconds.
    void intervals_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("899") << 899 << 0 << 600;
        QTest::newRow("900") << 900 << 1 << 900;
        QTest::newRow("1499") << 1499 << 2 << 1200;
        QTest::newRow("2099") << 2099 << 4 << 1800;
        QTest::newRow("2100") << 2100 << 5 << 3600;
    }

    void intervals()
    {
        QFETCH(int, stored);
        QFETCH(int, index);
        QFETCH(int, seconds);
        QCOMPARE(SetupPanel::secondsToIntervalIndex(stored), index);
        SetupPanel panel;
        panel.loadSettings();
        auto *combo = child<QComboBox>(&panel, "comboInterval");
        if (combo->currentIndex() == index)
            combo->setCurrentIndex(index == 0 ? 1 : 0);
        combo->setCurrentIndex(index);
        QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), seconds);
    }

    void autoEnterTogglesTheTimeout()
    {
        AppSettings::setUseAutoEnter(false);
        AppSettings::setAutoEnterTimeout(2);
        SetupPanel panel;
        panel.loadSettings();
        auto *check = child<QCheckBox>(&panel, "chkAutoEnter");
        auto *timeout = child<QSpinBox>(&panel, "edEnterTimeout");
        QCOMPARE(unnamedControls(&panel), QStringList());
        QVERIFY(!timeout->isEnabled());
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(check->isChecked() && timeout->isEnabled() && AppSettings::useAutoEnter());
        timeout->setValue(15);
        QCOMPARE(AppSettings::autoEnterTimeout(), 15);
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(!timeout->isEnabled() && !AppSettings::useAutoEnter() && timeout->value() == 15);
    }

    void workModeAndAutoRunAreStoredAtOnce()
    {
        SetupPanel panel;
        panel.loadSettings();
        auto *mode = child<QComboBox>(&panel, "comboWorkMode");
        auto *autoRun = child<QCheckBox>(&panel, "chkAutoRunProgram");
        // Each value is changed from its default (tray mode on, start with the desktop off), then back.
        for (const bool on : {true, false}) {
            mode->setCurrentIndex(on ? 0 : 1);
            autoRun->setChecked(on);
            QCOMPARE((QVector<bool> {!AppSettings::isTrayMode(), AppSettings::isAutoBootApp(), AutoStart::isEnabled()}),
                     QVector<bool>(3, on));
        }
    }
};

TAVREL_TEST_MAIN(TestSetupPanel)
#include "tst_setuppanel.moc"
