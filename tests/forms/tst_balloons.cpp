#include "clock.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "tooltipbaloon.h"
#include "tooltipbaloonset.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QtTest>

// The balloon stack: placement in the corner of the screen, expiry by the clock, presses.
class TestBalloons : public QObject
{
    Q_OBJECT

    ToolTipBaloonSet *set = nullptr;
    QList<QPointer<ToolTipBaloon>> added; // newest first, shown 1 s apart

    void tick() { QMetaObject::invokeMethod(&set->timer, "timeout"); }

private slots:
    void init()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC));
        set = new ToolTipBaloonSet;
        added.clear();
        for (int i = 0; i < 3; ++i) {
            auto *baloon = new ToolTipBaloon;
            baloon->setTexts(QStringLiteral("Заголовок"), QStringLiteral("Текст<br />%1").arg(i));
            set->addBaloon(baloon);
            added.prepend(baloon);
            Clock::advance(1000);
        }
    }
    void cleanup()
    {
        delete set; // deletes the balloons left
        for (const auto &baloon : qAsConst(added))
            QVERIFY(!baloon);
        Clock::reset();
    }

    void stackInTheCornerWithoutTakingTheFocus()
    {
        QLineEdit typing;
        typing.show();
        typing.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&typing));
        set->addBaloon(new ToolTipBaloon);
        added.prepend(set->baloons.first());
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), &typing);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(added.first()->geometry().bottomRight(), area.bottomRight() - QPoint(10, 10));
        for (int i = 1; i < added.size(); ++i)
            QCOMPARE(added.at(i)->geometry().bottomRight(),
                     QPoint(area.right() - 10, added.at(i - 1)->geometry().top() - 11));
        QVERIFY(child<QLabel>(added.at(1).data(), "lbMessage")->text().contains(QStringLiteral("Текст<br />2")));
        set->addBaloon(added.first()); // handed over twice: kept once
        QCOMPARE(set->baloons.size(), 4);
    }

    // Shown at 0, 1 and 2 s: all stay until the newest has been up 6 whole seconds, then go one per tick.
    void expiryByTheClock()
    {
        Clock::advance(4000); // the newest has been up 5 s
        tick();
        QCOMPARE(set->baloons.size(), 3);
        Clock::advance(1000);
        for (int left = 2; left >= 0; --left) {
            tick();
            QVERIFY(set->baloons.size() == left && !added.at(2 - left));
        }
        tick();
        QVERIFY(!set->timer.isActive());
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
        QSignalSpy clicks(added.at(pressed).data(), &ToolTipBaloon::clicked);
        QTest::mousePress(added.at(pressed).data(), Qt::RightButton);
        tick();
        QVERIFY(clicks.count() == 1 && set->baloons.size() == leftAfterTick);
        set->clear();
        tick();
        QVERIFY(!set->timer.isActive());
    }
};

TAVREL_TEST_MAIN(TestBalloons)
#include "tst_balloons.moc"
