#include "appsettings.h"
#include "autostart.h"
#include "formtesthelpers.h"
#include "setuppanel.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

class TestSetupPanel : public QObject
{
    Q_OBJECT

    static QVariant storedValue(const QString &key)
    {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                           QCoreApplication::applicationName());
        return settings.value(key);
    }

private slots:
    void choosingAnIntervalStoresItsSeconds_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("15 минут") << 1 << 900;
        QTest::newRow("1 час") << 5 << 3600;
        QTest::newRow("10 минут") << 0 << 600;
    }

    void choosingAnIntervalStoresItsSeconds()
    {
        QFETCH(int, index);
        QFETCH(int, seconds);
        SetupPanel panel;
        panel.loadSettings();
        auto *combo = child<QComboBox>(&panel, "comboInterval");
        if (combo->currentIndex() == index)
            combo->setCurrentIndex(index == 0 ? 1 : 0);
        combo->setCurrentIndex(index);
        QCOMPARE(AppSettings::newOrdersRefreshIntervalTime(), seconds);
        QCOMPARE(storedValue(QStringLiteral("newOrdersRefreshIntervalTime")).toInt(), seconds);
    }

    void storedIntervalSelectsItsEntry_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("index");
        QTest::newRow("899") << 899 << 0;
        QTest::newRow("900") << 900 << 1;
        QTest::newRow("1499") << 1499 << 2;
        QTest::newRow("2099") << 2099 << 4;
        QTest::newRow("2100") << 2100 << 5;
    }

    void storedIntervalSelectsItsEntry()
    {
        QFETCH(int, seconds);
        QFETCH(int, index);
        QCOMPARE(SetupPanel::secondsToIntervalIndex(seconds), index);
    }

    void autoEnterTogglesTheTimeout()
    {
        AppSettings::setUseAutoEnter(false);
        AppSettings::setAutoEnterTimeout(2);
        SetupPanel panel;
        panel.loadSettings();
        auto *check = child<QCheckBox>(&panel, "chkAutoEnter");
        auto *timeout = child<QSpinBox>(&panel, "edEnterTimeout");
        QCOMPARE(unnamedControls(&panel).join(QLatin1Char(' ')), QString());
        QVERIFY(!timeout->isEnabled());
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(check->isChecked());
        QVERIFY(timeout->isEnabled());
        QVERIFY(AppSettings::useAutoEnter());
        QCOMPARE(storedValue(QStringLiteral("UseAutoEnter")).toBool(), true);

        timeout->setValue(15);
        QCOMPARE(AppSettings::autoEnterTimeout(), 15);
        QCOMPARE(storedValue(QStringLiteral("AutoEnterTimeout")).toInt(), 15);

        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(!timeout->isEnabled());
        QVERIFY(!AppSettings::useAutoEnter());
        QCOMPARE(timeout->value(), 15);
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
            QCOMPARE(AppSettings::isTrayMode(), !on);
            QCOMPARE(storedValue(QStringLiteral("isTrayMode")).toBool(), !on);
            QCOMPARE(AppSettings::isAutoBootApp(), on);
            QCOMPARE(storedValue(QStringLiteral("AutoBootApp")).toBool(), on);
            QCOMPARE(AutoStart::isEnabled(), on);
        }
    }
};

TAVREL_TEST_MAIN(TestSetupPanel)
#include "tst_setuppanel.moc"
