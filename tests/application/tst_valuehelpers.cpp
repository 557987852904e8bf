#include "clock.h"
#include "constants.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "valuehelpers.h"

class TestValueHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("TAVREL_BASE_URL", "http://127.0.0.1:4321//"); }

    void cleanup()
    {
        while (serverTimeShiftDepth() > 0)
            endServerTimeShift();
        Clock::reset();
    }

    void booleanReaders_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("isTrue");
        QTest::addColumn<bool>("isFalse");

        QTest::newRow("bool true") << QVariant(true) << true << false;
        QTest::newRow("double -2.5") << QVariant(-2.5) << true << false;
        QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << true << false;
        QTest::newRow("text 0.0") << QVariant(QStringLiteral("0.0")) << false << true;
        QTest::newRow("text TrUe") << QVariant(QStringLiteral("TrUe")) << true << false;
        QTest::newRow("text FALSE") << QVariant(QStringLiteral("FALSE")) << false << true;
        QTest::newRow("empty text") << QVariant(QString()) << false << false;
        QTest::newRow("text yes") << QVariant(QStringLiteral("yes")) << false << false;
        QTest::newRow("null variant") << QVariant() << false << false;
    }

    void booleanReaders()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, isTrue);
        QFETCH(bool, isFalse);
        QCOMPARE(variantIsTrue(value), isTrue);
        QCOMPARE(variantIsFalse(value), isFalse);
    }

    void shiftNestsAndIgnoresExtraLowers()
    {
        const QVariant text = QStringLiteral("2015-09-24T10:15:00Z");
        const QDateTime unshifted = ::parseServerDateTime(text);

        beginServerTimeShift();
        beginServerTimeShift();
        endServerTimeShift();
        QCOMPARE(::parseServerDateTime(text), unshifted.addSecs(-SERVER_TIME_SHIFT_SECONDS));
        endServerTimeShift();
        QCOMPARE(::parseServerDateTime(text), unshifted);

        // An unmatched lower must not leave a negative counter that shifts every later conversion.
        QTest::ignoreMessage(QtWarningMsg, "endServerTimeShift without a matching beginServerTimeShift");
        endServerTimeShift();
        QCOMPARE(serverTimeShiftDepth(), 0);
        QCOMPARE(::parseServerDateTime(text), unshifted);
    }

    // parseServerDateTime reads the service's "dd.MM.yyyy HH:mm:ss" and ISO texts as UTC and lowers a
    // raised shift; variantToDateTime reads values and ISO text and adds the shift. Expected: UTC, "" for none.
    void dateReaders_data()
    {
        for (const char *column : {"reader", "value", "shift", "expected"})
            QTest::addColumn<QString>(column);
        addTextRow("parse: service text", {"parse", "24.09.2015 10:15:00", "", "2015-09-24T10:15:00Z"});
        addTextRow("parse: service text, shifted", {"parse", "24.09.2015 10:15:00", "up", "2015-09-24T06:15:00Z"});
        addTextRow("parse: iso text, shifted", {"parse", "2015-09-24T10:15:00Z", "up", "2015-09-24T06:15:00Z"});
        addTextRow("parse: point in the time", {"parse", "10:15:00.5 24.09.2015", "", ""});
        addTextRow("parse: empty text, shifted", {"parse", "", "up", ""});
        addTextRow("variant: iso text, shifted", {"variant", "2015-09-24T10:15:00Z", "up", "2015-09-24T14:15:00Z"});
        addTextRow("variant: empty text, shifted", {"variant", "", "up", ""});
        addTextRow("variant: service text is not read", {"variant", "24.09.2015 10:15:00", "", ""});
    }

    void dateReaders()
    {
        QFETCH(QString, reader);
        QFETCH(QString, value);
        QFETCH(QString, shift);
        QFETCH(QString, expected);
        if (!shift.isEmpty())
            beginServerTimeShift();
        const QDateTime result = reader == "parse" ? ::parseServerDateTime(value) : ::variantToDateTime(value);
        cleanup();
        QCOMPARE(result, QDateTime::fromString(expected, Qt::ISODate));
        if (reader == "parse" && result.isValid())
            QCOMPARE(result.offsetFromUtc(), 0);
    }

    void baseUrlComesFromTheEnvironmentWithoutTrailingSlash()
    {
        QCOMPARE(baseUrl(), QStringLiteral("http://127.0.0.1:4321"));
        // Read once: a later change of the variable does not move the running program.
        qputenv("TAVREL_BASE_URL", "http://127.0.0.1:9");
        QCOMPARE(baseUrl(), QStringLiteral("http://127.0.0.1:4321"));
    }

    void clockAdvancesWhetherFixedOrRunning()
    {
        const QDateTime moment(QDate(2020, 2, 29), QTime(23, 59, 30), Qt::UTC);
        Clock::setFixed(moment);
        Clock::advance(60 * 1000);
        QCOMPARE(Clock::currentDate(), moment.addSecs(60).toLocalTime().date());
        Clock::reset();
        Clock::advance(qint64(24) * 3600 * 1000);
        QVERIFY(Clock::currentMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch() > qint64(23) * 3600 * 1000);
    }
};

TAVREL_TEST_MAIN(TestValueHelpers)
#include "tst_valuehelpers.moc"
