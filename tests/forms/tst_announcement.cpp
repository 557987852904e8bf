#include "appsettings.h"
#include "formtesthelpers.h"
#include "mainwindow.h"
#include "soundplayer.h"
#include "syncfixture.h"
#include "testapplication.h"
#include "tooltipbaloon.h"

#include <QLabel>
#include <QTextDocument>
#include <QtTest>

// How the main window announces new orders: counters, tray tool tip, sound and balloons.
class TestAnnouncement : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    std::unique_ptr<MainWindow> window;

    // "title|message" of every balloon shown since the last clear, oldest first.
    static QStringList balloons()
    {
        QStringList shown;
        for (ToolTipBaloon *baloon : TavrelApplication::instance()->baloonSet.baloons) {
            QTextDocument title, text;
            title.setHtml(child<QLabel>(baloon, "lbHeader")->text());
            text.setHtml(child<QLabel>(baloon, "lbMessage")->text());
            shown.prepend(title.toPlainText().simplified() + "|" + text.toPlainText().simplified());
        }
        return shown;
    }
    static void clearBalloons()
    {
        TavrelApplication::instance()->baloonSet.clear();
        SoundPlayer::startRecording();
    }
    QString counter() const { return child<QLabel>(window.get(), "lbNewOrderCounter")->text(); }

    // A subscriber with `count` new orders on the service, the window shown and their first download done.
    bool startWithOrders(int count, bool newDay = false)
    {
        QList<qint64> ids;
        for (int i = 0; i < count; ++i)
            ids << fixture.service()->data().orders().at(i).id;
        fixture.service()->setNewOrderIds(ids);
        AppSettings::setTodayDate(Clock::currentDateTime().addDays(newDay ? -1 : 0));
        window.reset();
        if (!fixture.startAs(fixture.newSubscriber()))
            return false;
        window = std::make_unique<MainWindow>();
        window->show();
        return QTest::qWaitFor([&] { return counter() == QString::number(count); }, 20000);
    }
    void download(int newOrders, int pages)
    {
        fixture.service()->addNewOrders(newOrders);
        fixture.engine->newOrdersNow();
        QTRY_VERIFY_WITH_TIMEOUT(SoundPlayer::recorded().size() == pages, 30000);
        QTest::qWait(500); // nothing more comes
    }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        fixture.service()->generate(3200, 5);
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { clearBalloons(); }
    void cleanup()
    {
        window.reset();
        SoundPlayer::stopRecording();
        TavrelApplication::instance()->baloonSet.clear();
        fixture.destroyEngine();
    }

    void onePerPageThatBringsOrders()
    {
        QVERIFY(startWithOrders(5));
        // All five came with the first delivery: a first count, without a sound.
        QCOMPARE(balloons(), QStringList() << "Есть новые заявки|Всего: 5");
        QVERIFY(SoundPlayer::recorded().isEmpty());
        QCOMPARE(TavrelApplication::instance()->trayIcon.toolTip(), QStringLiteral("Таврел.\nНовых заявок: 5"));
        QCOMPARE(child<QLabel>(window.get(), "lbNewOrderCounter")->accessibleName(), QStringLiteral("Новые заявки: 5"));
        QTRY_COMPARE(child<QLabel>(window.get(), "lbFavouriteCount")->text(), QStringLiteral("0"));

        // Showing again announces what is stored at once, before any delivery.
        clearBalloons();
        window->hide();
        window->show();
        QCOMPARE(balloons(), QStringList() << "Есть новые заявки|Всего: 5");
        QTRY_VERIFY(!fixture.engine->findTask(SyncTaskType::NewOrders)->context()->isRunning());
        QTest::qWait(100);

        // Two pages of arrivals: a sound and a balloon for each, none from the download's own reports.
        clearBalloons();
        download(1500, 2);
        QCOMPARE(balloons(),
                 QStringList() << "Поступили новые заявки|Всего новых: 1005 Поступило: 1000"
                               << "Поступили новые заявки|Всего новых: 1505 Поступило: 500");
        QCOMPARE(SoundPlayer::recorded().first(), QStringLiteral(":/resources/message.wav"));

        // A failed page announces nothing.
        clearBalloons();
        fixture.service()->addFault(LocalServiceFault::failPage(2).onPath(URL_NEW_ORDERS_PAGE).once());
        download(1500, 1);
        QCOMPARE(balloons(), QStringList() << "Поступили новые заявки|Всего новых: 2505 Поступило: 1000");

        // Everything moved to Viewed: the next arrival is still news.
        QVERIFY(fixture.query->markAllOrdersViewed(fixture.engine->currentLogin()));
        window->showPage(MainWindow::WelcomePage);
        clearBalloons();
        fixture.service()->setNewOrderIds({});
        download(1, 1);
        QCOMPARE(balloons(), QStringList() << "Поступили новые заявки|Всего новых: 1 Поступило: 1");
    }

    void firstFetchOfTheDay()
    {
        QVERIFY(startWithOrders(5));
        clearBalloons();
        QVERIFY(startWithOrders(5, true));
        QTRY_COMPARE(balloons().size(), 2);
        QCOMPARE(balloons(),
                 QStringList() << "Синхронизация счетчика заявок|У вас было 5 новых заявок. Выполняется "
                                  "полное обновление списка новых заявок..."
                               << "Синхронизация завершена|Всего новых заявок: 5");
        window->showPage(MainWindow::WelcomePage);
        QCOMPARE(balloons().size(), 2);
    }

    void wideBadge()
    {
        QVERIFY(startWithOrders(100));
        auto *badge = child<QLabel>(window.get(), "lbNewOrderCounter");
        const int right = badge->geometry().right();
        for (int page : {1, 2}) {
            window->setPage(page);
            QVERIFY(badge->width() == 52 && badge->geometry().right() == right);
            QVERIFY(badge->styleSheet().contains(page == 2 ? "number-shape-1-2x.png" : "number-shape-2-2x.png"));
            QCOMPARE(badge->styleSheet().startsWith(QStringLiteral("color : white")), page == 2);
        }
    }
};

TAVREL_TEST_MAIN(TestAnnouncement)
#include "tst_announcement.moc"
