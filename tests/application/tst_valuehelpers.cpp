#include "clock.h"
#include "constants.h"
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
    // raised shift; variantToDateTime reads values and ISO text and adds the shift.
    void dateReaders_data()
    {
        QTest::addColumn<bool>("serviceReader");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("shifted");
        QTest::addColumn<QDateTime>("expected");

        const QDateTime at1015Utc(QDate(2015, 9, 24), QTime(10, 15), Qt::OffsetFromUTC, 0);
        const QDateTime at0615Utc(QDate(2015, 9, 24), QTime(6, 15), Qt::OffsetFromUTC, 0);

        QTest::newRow("parse: service text")
            << true << QVariant(QStringLiteral("24.09.2015 10:15:00")) << false << at1015Utc;
        QTest::newRow("parse: service text, shifted")
            << true << QVariant(QStringLiteral("24.09.2015 10:15:00")) << true << at0615Utc;
        QTest::newRow("parse: iso text, shifted")
            << true << QVariant(QStringLiteral("2015-09-24T10:15:00Z")) << true << at0615Utc;
        QTest::newRow("parse: point in the time")
            << true << QVariant(QStringLiteral("10:15:00.5 24.09.2015")) << false << QDateTime();
        QTest::newRow("parse: empty text, shifted") << true << QVariant(QString()) << true << QDateTime();

        const QDateTime moment(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC);
        QTest::newRow("variant: iso text, shifted") << false << QVariant(QStringLiteral("2015-09-24T10:15:00Z")) << true
                                                    << moment.addSecs(SERVER_TIME_SHIFT_SECONDS);
        QTest::newRow("variant: invalid, shifted") << false << QVariant(QDateTime()) << true << QDateTime();
        QTest::newRow("variant: service text is not read")
            << false << QVariant(QStringLiteral("24.09.2015 10:15:00")) << false << QDateTime();
    }

    void dateReaders()
    {
        QFETCH(bool, serviceReader);
        QFETCH(QVariant, value);
        QFETCH(bool, shifted);
        QFETCH(QDateTime, expected);

        if (shifted)
            beginServerTimeShift();
        const QDateTime result = serviceReader ? ::parseServerDateTime(value) : ::variantToDateTime(value);
        if (shifted)
            endServerTimeShift();

        QCOMPARE(result.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(result, expected);
            if (serviceReader) {
                QCOMPARE(result.time(), expected.time());
                QCOMPARE(result.offsetFromUtc(), 0);
            }
        }
    }

    void baseUrlComesFromTheEnvironmentWithoutTrailingSlash()
    {
        QCOMPARE(baseUrl(), QStringLiteral("http://127.0.0.1:4321"));
        QCOMPARE(baseUrl() + URL_LOGIN, QStringLiteral("http://127.0.0.1:4321/api/login"));
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
