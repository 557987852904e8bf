#include "syncfixture.h"
#include "appsettings.h"
#include "formtesthelpers.h"
#include "mainwindow.h"
#include "soundplayer.h"
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
    QString login;

    // "title|message" of every balloon shown, oldest first.
    static QStringList balloons()
    {
        QStringList shown;
        for (ToolTipBaloon *baloon : TavrelApplication::instance()->baloonSet.baloons) {
            QString texts;
            for (const char *name : {"lbHeader", "lbMessage"}) {
                QTextDocument document;
                document.setHtml(child<QLabel>(baloon, name)->text());
                texts += (texts.isEmpty() ? "" : "|") + document.toPlainText().simplified();
            }
            shown.prepend(texts);
        }
        return shown;
    }

    QList<qint64> storedIds(int count)
    {
        QList<qint64> ids;
        for (int i = 0; i < count; ++i)
            ids << fixture.service()->data().orders().at(i).id;
        return ids;
    }

    // Starts the subscriber with `count` new orders on the service and their first download done.
    MainWindow *startWithOrders(int count, bool newDay = false)
    {
        fixture.service()->setNewOrderIds(storedIds(count));
        AppSettings::setTodayDate(Clock::currentDateTime().addDays(newDay ? -1 : 0));
        if (!fixture.startAs(login))
            return nullptr;
        auto *window = new MainWindow;
        window->show();
        if (!QTest::qWaitFor([&] { return counter(window) == QString::number(count); }, 20000))
            return nullptr;
        return window;
    }

    static QString counter(MainWindow *window) { return child<QLabel>(window, "lbNewOrderCounter")->text(); }

    static void clearBalloons()
    {
        TavrelApplication::instance()->baloonSet.clear();
        SoundPlayer::startRecording();
    }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        fixture.service()->generate(3200, 5);
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        login = fixture.newSubscriber();
        clearBalloons();
    }
    void cleanup()
    {
        SoundPlayer::stopRecording();
        TavrelApplication::instance()->baloonSet.clear();
        fixture.destroyEngine();
    }

    void onePerPageThatBringsOrders()
    {
        std::unique_ptr<MainWindow> window(startWithOrders(5));
        QVERIFY(window);
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
        fixture.service()->addNewOrders(1500);
        fixture.engine->newOrdersNow();
        QTRY_COMPARE_WITH_TIMEOUT(counter(window.get()), QStringLiteral("1505"), 30000);
        QCOMPARE(balloons(),
                 QStringList() << "Поступили новые заявки|Всего новых: 1005 Поступило: 1000"
                               << "Поступили новые заявки|Всего новых: 1505 Поступило: 500");
        QCOMPARE(SoundPlayer::recorded(),
                 QStringList() << ":/resources/message.wav"
                               << ":/resources/message.wav");

        // A failed page announces nothing.
        clearBalloons();
        fixture.service()->addNewOrders(1500);
        fixture.service()->addFault(LocalServiceFault::failPage(2).onPath(URL_NEW_ORDERS_PAGE).once());
        fixture.engine->newOrdersNow();
        QTRY_COMPARE_WITH_TIMEOUT(counter(window.get()), QStringLiteral("2505"), 30000);
        QTest::qWait(1500);
        QCOMPARE(balloons(), QStringList() << "Поступили новые заявки|Всего новых: 2505 Поступило: 1000");
        QCOMPARE(SoundPlayer::recorded().size(), 1);

        // Everything moved to Viewed: the next arrival is still news.
        QVERIFY(fixture.query->markAllOrdersViewed(login));
        window->showPage(MainWindow::WelcomePage);
        clearBalloons();
        fixture.service()->setNewOrderIds(fixture.service()->addNewOrders(1));
        fixture.engine->newOrdersNow();
        QTRY_COMPARE_WITH_TIMEOUT(SoundPlayer::recorded().size(), 1, 30000);
        QCOMPARE(balloons(), QStringList() << "Поступили новые заявки|Всего новых: 1 Поступило: 1");
    }

    void firstFetchOfTheDay()
    {
        delete startWithOrders(5);
        clearBalloons();
        std::unique_ptr<MainWindow> window(startWithOrders(5, true));
        QVERIFY(window);
        QTRY_COMPARE(balloons().size(), 2);
        QCOMPARE(balloons(),
                 QStringList() << "Синхронизация счетчика заявок|У вас было 5 новых заявок. Выполняется "
                                  "полное обновление списка новых заявок..."
                               << "Синхронизация завершена|Всего новых заявок: 5");
        window->showPage(MainWindow::WelcomePage);
        QCOMPARE(balloons().size(), 2);
    }

    void wideBadge_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("picture");
        QTest::newRow("on another page") << 1 << "number-shape-2-2x.png";
        QTest::newRow("on the new orders") << 2 << "number-shape-1-2x.png";
    }
    void wideBadge()
    {
        QFETCH(int, page);
        QFETCH(QString, picture);
        std::unique_ptr<MainWindow> window(startWithOrders(100));
        QVERIFY(window);
        auto *badge = child<QLabel>(window.get(), "lbNewOrderCounter");
        const int right = badge->geometry().right();
        window->setPage(page);
        QCOMPARE(badge->width(), 52);
        QCOMPARE(badge->geometry().right(), right);
        QVERIFY(badge->styleSheet().contains(picture));
        QCOMPARE(badge->styleSheet().startsWith(QStringLiteral("color : white")), page == 2);
    }
};

TAVREL_TEST_MAIN(TestAnnouncement)
#include "tst_announcement.moc"
