#include "clock.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "tooltipbaloon.h"
#include "tooltipbaloonset.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QtTest>

// The balloon stack: placement in the corner of the screen and expiry by the clock.
class TestBalloons : public QObject
{
    Q_OBJECT

    QList<QPointer<ToolTipBaloon>> addThree(ToolTipBaloonSet &set)
    {
        QList<QPointer<ToolTipBaloon>> added;
        for (int i = 0; i < 3; ++i) {
            auto *baloon = new ToolTipBaloon;
            baloon->setTexts(QStringLiteral("Заголовок %1").arg(i), QStringLiteral("Текст<br />%2").arg(i));
            set.addBaloon(baloon);
            added.prepend(baloon);
            Clock::advance(1000);
        }
        return added; // newest first
    }

    static void tick(ToolTipBaloonSet &set) { QMetaObject::invokeMethod(&set.timer, "timeout"); }

private slots:
    void init() { Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC)); }
    void cleanup() { Clock::reset(); }

    void stackInTheCorner()
    {
        QLineEdit typing;
        typing.show();
        typing.activateWindow();
        typing.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&typing));
        ToolTipBaloonSet set;
        const auto added = addThree(set);
        QCoreApplication::processEvents();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(added.first()->geometry().bottomRight(), area.bottomRight() - QPoint(10, 10));
        for (int i = 1; i < added.size(); ++i) {
            QCOMPARE(added.at(i)->geometry().right(), area.right() - 10);
            QCOMPARE(added.at(i)->geometry().bottom(), added.at(i - 1)->geometry().top() - 11);
        }
        // Typing elsewhere goes on: no balloon takes the focus.
        QCOMPARE(QApplication::activeWindow(), &typing);
        QCOMPARE(QApplication::focusWidget(), &typing);
        QVERIFY(child<QLabel>(added.first().data(), "lbMessage")->text().contains(QStringLiteral("Текст<br />2")));

        // A balloon handed over twice stays once.
        set.addBaloon(added.first());
        QCOMPARE(set.baloons.size(), 3);
    }

    // Shown at 0, 1 and 2 s: all stay until the newest has been up 6 whole seconds, then go one per tick.
    void expiryByTheClock()
    {
        ToolTipBaloonSet set;
        const auto added = addThree(set); // the clock now stands 1 s after the newest was shown
        Clock::advance(4000);
        tick(set);
        QCOMPARE(set.baloons.size(), 3);
        Clock::advance(1000);
        for (int left = 2; left >= 0; --left) {
            tick(set);
            QCOMPARE(set.baloons.size(), left);
            QVERIFY(!added.at(2 - left));
        }
        QVERIFY(set.timer.isActive());
        tick(set);
        QVERIFY(!set.timer.isActive());
    }

    void pressing_data()
    {
        QTest::addColumn<int>("pressed");
        QTest::addColumn<int>("leftAfterTick");
        QTest::newRow("newest goes at the next tick") << 0 << 2;
        QTest::newRow("an older one waits its turn") << 1 << 3;
    }
    void pressing()
    {
        QFETCH(int, pressed);
        QFETCH(int, leftAfterTick);
        ToolTipBaloonSet set;
        const auto added = addThree(set);
        QSignalSpy clicks(added.at(pressed).data(), &ToolTipBaloon::clicked);
        QTest::mousePress(added.at(pressed).data(), Qt::RightButton);
        QCOMPARE(clicks.count(), 1);
        tick(set);
        QCOMPARE(set.baloons.size(), leftAfterTick);
    }

    void clearDeletesAtOnce()
    {
        ToolTipBaloonSet set;
        const auto added = addThree(set);
        set.clear();
        for (const auto &baloon : added)
            QVERIFY(!baloon);
        tick(set);
        QVERIFY(!set.timer.isActive());
    }
};

TAVREL_TEST_MAIN(TestBalloons)
#include "tst_balloons.moc"
