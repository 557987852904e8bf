// The date bounds of the filter panel keep the day the user picked or typed, in whatever time zone the
// program runs: CTest runs this executable once per zone (TZ set), and each run checks its zone first.
#include "datetimeeditballoon.h"
#include "filter.h"
#include "filterspanel.h"
#include "formtesthelpers.h"
#include "networkrequestconstructor.h"
#include "syncfixture.h"
#include "testapplication.h"
#include "valuehelpers.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QPushButton>
#include <QtTest>

class TestFilterDates : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    QString login;

    // Opens the balloon of the opening-from date, picks the day (invalid: none) and presses the button.
    static void pick(FiltersPanel &panel, const QDate &day, const char *button)
    {
        QTest::mouseClick(child<QPushButton>(&panel, "btnOpenDateFromConf"), Qt::LeftButton);
        DateTimeEditBalloon *shown = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets())
            shown = window->isVisible() && qobject_cast<DateTimeEditBalloon *>(window)
                ? static_cast<DateTimeEditBalloon *>(window)
                : shown;
        QVERIFY(shown);
        if (day.isValid())
            child<QCalendarWidget>(shown, "calendar")->setSelectedDate(day);
        QTest::mouseClick(child<QPushButton>(shown, button), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        // A zone that is not in effect (no tzdata) would pass every check below by accident of UTC.
        const QMap<QByteArray, int> offsets {{"Europe/Moscow", 3 * 3600},
                                             {"America/New_York", -5 * 3600},
                                             {"Asia/Vladivostok", 10 * 3600},
                                             {"America/Sao_Paulo", -3 * 3600}};
        const QByteArray zone = qgetenv("TZ");
        QVERIFY2(offsets.contains(zone), zone.constData());
        QCOMPARE(QDateTime(QDate(2024, 1, 15), QTime(12, 0)).offsetFromUtc(), offsets.value(zone));
        fixture.setUp();
        login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(login));
        Entity::FilterList list(QList<Entity::Filter *> {new Entity::Filter});
        list.items.first()->name = QStringLiteral("dates");
        QVERIFY(fixture.engine->filterChanged(list));
        list.clear();
    }
    void cleanupTestCase() { fixture.tearDown(); }

    void dayIsKept_data()
    {
        QTest::addColumn<QDate>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QDate>("after");
        const QDate day(2024, 3, 10);
        QTest::newRow("picked on an empty field") << QDate() << "btnSave" << day;
        QTest::newRow("picked on a set field") << QDate(2024, 3, 2) << "btnSave" << day;
        QTest::newRow("typed") << QDate(2024, 3, 2) << "type" << day;
        QTest::newRow("cleared") << day << "btnClear" << QDate();
        QTest::newRow("cleared when empty") << QDate() << "btnClear" << QDate();
        QTest::newRow("cancelled") << day.addDays(3) << "btnCancel" << day.addDays(3);
        // In Sao Paulo daylight saving began at the midnight that starts this day.
        const QDate noMidnight(2018, 11, 4);
        QTest::newRow("shown, no local midnight") << noMidnight << "btnCancel" << noMidnight;
        QTest::newRow("picked, no local midnight") << noMidnight.addDays(-2) << "btnSave" << noMidnight;
        QTest::newRow("typed, no local midnight") << noMidnight.addDays(-2) << "type" << noMidnight;
    }
    void dayIsKept()
    {
        QFETCH(QDate, before);
        QFETCH(QString, action);
        QFETCH(QDate, after);
        FiltersPanel panel;
        panel.show();
        panel.setDateControlsVisible(true);
        panel.rereadFilters();
        panel.selectFilter(1);
        panel.currentFilter()->openingTimeFrom = FiltersPanel::dayToBound(before);
        panel.showFilter();
        auto *edit = child<QDateEdit>(&panel, "dateTimeOpeningFrom");
        QCOMPARE(edit->isEnabled(), before.isValid());
        if (before.isValid())
            QCOMPARE(edit->date(), before);

        if (action == QLatin1String("type")) {
            edit->setFocus();
            edit->setSelectedSection(QDateTimeEdit::DaySection);
            QTest::keyClicks(edit, after.toString(QStringLiteral("dd")));
        } else {
            pick(panel, after.isValid() ? after : before.addDays(1), action.toLatin1().constData());
        }
        // Midnight of the service's day, whatever the zone.
        const QDateTime bound(after, QTime(0, 0), Qt::OffsetFromUTC, int(SERVER_TIME_SHIFT_SECONDS));
        QCOMPARE(panel.currentFilter()->openingTimeFrom, after.isValid() ? bound.toUTC() : QDateTime());
        QCOMPARE(edit->isEnabled(), after.isValid());
        if (after.isValid())
            QCOMPARE(edit->date(), after);
        QCOMPARE(panel.hasPendingChanges(), action != QLatin1String("btnCancel"));
        if (!panel.hasPendingChanges() || !after.isValid())
            return;

        // Stored and read again; the search sent for it carries the same day.
        panel.saveChanges();
        panel.rereadFilters();
        QCOMPARE(FiltersPanel::boundToDay(panel.currentFilter()->openingTimeFrom), after);
        QCOMPARE(edit->date(), after);
        QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> search(
            CoreHost::instance()->requestConstructor->searchAllPagesRequest(panel.currentFilter(), 10));
        // The first page of this search: an earlier row's search may still be fetching its later pages.
        const auto sent = [this] {
            for (const LocalServiceRequest &request : fixture.service()->requests(URL_SEARCH)) {
                if (request.xml.contains(QStringLiteral("<Page>1</Page>")))
                    return request.xml;
            }
            return QString();
        };
        fixture.service()->clearRequestLog();
        search->start();
        QTRY_VERIFY_WITH_TIMEOUT(!sent().isEmpty(), 10000);
        QVERIFY2(sent().contains(QStringLiteral("<OpeningTimeFrom>%1</OpeningTimeFrom>")
                                     .arg(after.toString(QStringLiteral("dd.MM.yyyy")))),
                 qPrintable(sent()));
    }
};

TAVREL_TEST_MAIN(TestFilterDates)
#include "tst_filterdates.moc"
