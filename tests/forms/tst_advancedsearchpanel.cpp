// The advanced search page with the real paginator against the stand-in: what it shows and tells the
// main window as a search goes, a failure, leaving the page or hiding the window during a search, and
// the main window's order of destruction while the page is shown.
#include "advancedsearchpanel.h"
#include "filterspanel.h"
#include "formtesthelpers.h"
#include "localservice/localservicefault.h"
#include "messageboxdriver.h"
#include "syncfixture.h"
#include "testapplication.h"
#include "vieworderspaginator.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The main window's share, in its member order: the page goes before the filter panel, also while it
// is shown and holds the panel (as every test leaves it).
struct Host
{
    Host()
    {
        paginator.mode = 4;
        panel.advancedMode = true;
        page.paginator = &paginator;
        page.filtersPanel = &panel;
        page.setParent(&window);
        page.hide();
        page.setGeometry(0, 0, 800, 600);
        window.resize(800, 600);
        window.show();
    }
    QWidget window;
    ViewOrdersPaginator paginator;
    FiltersPanel panel;
    AdvancedSearchPanel page;
};

class TestAdvancedSearchPanel : public QObject
{
    Q_OBJECT

    SyncFixture fixture;

    // The amount of the dearest current order: searched "from" it, it is the one order found.
    QString largestAmount()
    {
        double largest = 0;
        for (const auto &order : fixture.service()->data().orders()) {
            if (order.closingTime > QDateTime::currentDateTimeUtc())
                largest = qMax(largest, order.amount.toDouble());
        }
        return QString::number(largest, 'f', 2);
    }
    static void search(Host &host, const char *field, const QString &text)
    {
        QWidget *edit = child<QWidget>(&host.panel, field);
        edit->setFocus();
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(edit))
            spin->selectAll();
        QTest::keyClicks(edit, text);
        QTest::mouseClick(child<QPushButton>(&host.page, "btnResultShow"), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        QVERIFY(fixture.startAs(fixture.newSubscriber()));
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { fixture.service()->clearFaults(); }

    void search_data()
    {
        QTest::addColumn<bool>("found");
        QTest::newRow("nothing found") << false;
        QTest::newRow("found") << true;
    }
    void search()
    {
        QFETCH(bool, found);
        Host host;
        QSignalSpy states(&host.page, &AdvancedSearchPanel::notifyState);
        QSignalSpy complete(&host.page, &AdvancedSearchPanel::searchFormComplete);
        host.page.show();
        QCOMPARE(states.takeLast().first().toString(), QStringLiteral("Выберите параметры поиска"));
        const QRect filterPlace = host.page.findChild<QWidget *>("placeFilter")->geometry();
        QCOMPARE(filterPlace, QRect(0, 0, 800, qMax(430, filterPlace.height())));
        const QString amount = largestAmount();
        if (found)
            search(host, "spinAmountOrdersFrom", amount);
        else
            search(host, "edKeyWord", QStringLiteral("zzqxjw"));
        QCOMPARE(states.takeLast().first().toString(), QStringLiteral("Идет поиск ..."));
        QCOMPARE(host.page.findChild<QWidget *>("placeSearchButtons")->geometry(),
                 QRect(0, host.page.findChild<QWidget *>("placeFilter")->height() + 40, 800, 30));
        QTRY_VERIFY_WITH_TIMEOUT(host.page.isSearchDone(), 10000);
        // The criteria typed in the panel are the ones sent.
        QVERIFY(fixture.service()->lastRequest(URL_SEARCH).xml.contains(found ? amount : "zzqxjw"));
        QCOMPARE(complete.count(), found ? 1 : 0);
        const QString status = found ? QStringLiteral("Найдено заявок: 1") : QStringLiteral("Поиск не дал результатов");
        QCOMPARE(states.last().first().toString(), status);
        if (found)
            QCOMPARE(host.page.findChild<QWidget *>("placeSearchButtons")->geometry(), QRect(0, 0, 800, 600));

        // A failed search after it is no success, whatever the list still holds.
        fixture.service()->addFault(LocalServiceFault::httpStatus(500).onPath(URL_SEARCH));
        MessageBoxDriver driver({QStringLiteral("OK")});
        QTest::mouseClick(child<QPushButton>(&host.page, found ? "btnFilterShow" : "btnResultShow"), Qt::LeftButton);
        if (found)
            QTest::mouseClick(child<QPushButton>(&host.page, "btnResultShow"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!host.page.isSearching(), 10000);
        QCOMPARE(complete.count(), found ? 1 : 0);
        QVERIFY(!host.page.isSearchDone());
        QVERIFY(host.page.findChild<QWidget *>("placeFilter")->isVisible());
    }

    void searchUnderWay_data()
    {
        QTest::addColumn<bool>("pageLeft");
        QTest::newRow("page left") << true;
        QTest::newRow("window hidden") << false;
    }
    void searchUnderWay()
    {
        QFETCH(bool, pageLeft);
        fixture.service()->addFault(LocalServiceFault::delay(700).onPath(URL_SEARCH));
        Host host;
        QSignalSpy complete(&host.page, &AdvancedSearchPanel::searchFormComplete);
        host.page.show();
        search(host, "edKeyWord", QString());
        QVERIFY(host.page.isSearching());
        if (pageLeft)
            host.page.hide();
        else
            host.window.hide();
        QTRY_VERIFY_WITH_TIMEOUT(!host.page.isSearching(), 10000);
        QCOMPARE(complete.count(), pageLeft ? 0 : 1);
        QCOMPARE(host.panel.parentWidget() == nullptr, pageLeft);
    }
};

TAVREL_TEST_MAIN(TestAdvancedSearchPanel)
#include "tst_advancedsearchpanel.moc"
