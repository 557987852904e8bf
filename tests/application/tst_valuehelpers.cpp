#include "clock.h"
#include "constants.h"
#include "testapplication.h"
#include "valuehelpers.h"

class TestValueHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void booleanReaders_data();
    void booleanReaders();

    void shiftNestsAndIgnoresExtraLowers();

    void parseServerDateTime_data();
    void parseServerDateTime();

    void variantToDateTime_data();
    void variantToDateTime();

    void baseUrlComesFromTheEnvironmentWithoutTrailingSlash();
    void cookiesDirIsBelowCacheDir();

    void clockCanBeFixedAdvancedAndReset();
};

void TestValueHelpers::initTestCase()
{
    qputenv("TAVREL_BASE_URL", "http://127.0.0.1:4321//");
}

void TestValueHelpers::cleanup()
{
    while (serverTimeShiftDepth() > 0)
        endServerTimeShift();
    Clock::reset();
}

void TestValueHelpers::booleanReaders_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("isTrue");
    QTest::addColumn<bool>("isFalse");

    QTest::newRow("bool true") << QVariant(true) << true << false;
    QTest::newRow("bool false") << QVariant(false) << false << true;
    QTest::newRow("int 1") << QVariant(1) << true << false;
    QTest::newRow("int 0") << QVariant(0) << false << true;
    QTest::newRow("double -2.5") << QVariant(-2.5) << true << false;
    QTest::newRow("longlong big") << QVariant(qlonglong(1) << 40) << true << false;
    QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << true << false;
    QTest::newRow("text 0") << QVariant(QStringLiteral("0")) << false << true;
    QTest::newRow("text 0.0") << QVariant(QStringLiteral("0.0")) << false << true;
    QTest::newRow("text true") << QVariant(QStringLiteral("true")) << true << false;
    QTest::newRow("text TrUe") << QVariant(QStringLiteral("TrUe")) << true << false;
    QTest::newRow("text false") << QVariant(QStringLiteral("false")) << false << true;
    QTest::newRow("text FALSE") << QVariant(QStringLiteral("FALSE")) << false << true;
    QTest::newRow("empty text") << QVariant(QString()) << false << false;
    QTest::newRow("text yes") << QVariant(QStringLiteral("yes")) << false << false;
    QTest::newRow("text no") << QVariant(QStringLiteral("no")) << false << false;
    QTest::newRow("text abc") << QVariant(QStringLiteral("abc")) << false << false;
    QTest::newRow("text with blank") << QVariant(QStringLiteral(" true")) << false << false;
    QTest::newRow("null variant") << QVariant() << false << false;
}

void TestValueHelpers::booleanReaders()
{
    QFETCH(QVariant, value);
    QFETCH(bool, isTrue);
    QFETCH(bool, isFalse);
    QCOMPARE(variantIsTrue(value), isTrue);
    QCOMPARE(variantIsFalse(value), isFalse);
}

void TestValueHelpers::shiftNestsAndIgnoresExtraLowers()
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

void TestValueHelpers::parseServerDateTime_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("shifted");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime at1015Utc(QDate(2015, 9, 24), QTime(10, 15), Qt::OffsetFromUTC, 0);
    const QDateTime at0615Utc(QDate(2015, 9, 24), QTime(6, 15), Qt::OffsetFromUTC, 0);

    QTest::newRow("service text") << QVariant(QStringLiteral("24.09.2015 10:15:00")) << false << at1015Utc;
    QTest::newRow("service text, shifted") << QVariant(QStringLiteral("24.09.2015 10:15:00")) << true << at0615Utc;
    QTest::newRow("iso text") << QVariant(QStringLiteral("2015-09-24T10:15:00Z")) << false << at1015Utc;
    QTest::newRow("iso text, shifted") << QVariant(QStringLiteral("2015-09-24T10:15:00Z")) << true << at0615Utc;
    QTest::newRow("date-time value") << QVariant(at1015Utc) << false << at1015Utc;
    QTest::newRow("date-time value, shifted") << QVariant(at1015Utc) << true << at0615Utc;
    QTest::newRow("no time") << QVariant(QStringLiteral("24.09.2015")) << false << QDateTime();
    QTest::newRow("empty part") << QVariant(QStringLiteral("24.09.2015  10:15")) << false << QDateTime();
    QTest::newRow("point in the time") << QVariant(QStringLiteral("10:15:00.5 24.09.2015")) << false << QDateTime();
    QTest::newRow("empty text, shifted") << QVariant(QString()) << true << QDateTime();
    QTest::newRow("null variant") << QVariant() << false << QDateTime();
}

void TestValueHelpers::parseServerDateTime()
{
    QFETCH(QVariant, value);
    QFETCH(bool, shifted);
    QFETCH(QDateTime, expected);

    if (shifted)
        beginServerTimeShift();
    const QDateTime result = ::parseServerDateTime(value);
    if (shifted)
        endServerTimeShift();

    QCOMPARE(result.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(result, expected);
        QCOMPARE(result.time(), expected.time());
        QCOMPARE(result.offsetFromUtc(), 0);
    }
}

void TestValueHelpers::variantToDateTime_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("shifted");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime moment(QDate(2015, 9, 24), QTime(10, 15), Qt::UTC);
    QTest::newRow("value") << QVariant(moment) << false << moment;
    QTest::newRow("value, shifted") << QVariant(moment) << true << moment.addSecs(SERVER_TIME_SHIFT_SECONDS);
    QTest::newRow("iso text, shifted") << QVariant(QStringLiteral("2015-09-24T10:15:00Z")) << true
                                       << moment.addSecs(SERVER_TIME_SHIFT_SECONDS);
    QTest::newRow("invalid, shifted") << QVariant(QDateTime()) << true << QDateTime();
    QTest::newRow("empty, shifted") << QVariant() << true << QDateTime();
    QTest::newRow("service text is not read")
        << QVariant(QStringLiteral("24.09.2015 10:15:00")) << false << QDateTime();
}

void TestValueHelpers::variantToDateTime()
{
    QFETCH(QVariant, value);
    QFETCH(bool, shifted);
    QFETCH(QDateTime, expected);

    if (shifted)
        beginServerTimeShift();
    const QDateTime result = ::variantToDateTime(value);
    if (shifted)
        endServerTimeShift();

    QCOMPARE(result.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(result, expected);
}

void TestValueHelpers::baseUrlComesFromTheEnvironmentWithoutTrailingSlash()
{
    QCOMPARE(baseUrl(), QStringLiteral("http://127.0.0.1:4321"));
    QCOMPARE(baseUrl() + URL_LOGIN, QStringLiteral("http://127.0.0.1:4321/api/login"));
    // Read once: a later change of the variable does not move the running program.
    qputenv("TAVREL_BASE_URL", "http://127.0.0.1:9");
    QCOMPARE(baseUrl(), QStringLiteral("http://127.0.0.1:4321"));
}

void TestValueHelpers::cookiesDirIsBelowCacheDir()
{
    QCOMPARE(COOKIES_DIR, CACHE_DIR + QDir::separator() + QStringLiteral("Cookies"));
}

void TestValueHelpers::clockCanBeFixedAdvancedAndReset()
{
    const QDateTime moment(QDate(2020, 2, 29), QTime(23, 59, 30), Qt::UTC);
    Clock::setFixed(moment);
    QCOMPARE(Clock::currentDateTimeUtc(), moment);
    QCOMPARE(Clock::currentDateTimeUtc().timeSpec(), Qt::UTC);
    QCOMPARE(Clock::currentDateTime(), moment);
    QCOMPARE(Clock::currentDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(Clock::currentMSecsSinceEpoch(), moment.toMSecsSinceEpoch());

    Clock::advance(60 * 1000);
    QCOMPARE(Clock::currentDateTimeUtc(), moment.addSecs(60));
    QCOMPARE(Clock::currentDate(), moment.addSecs(60).toLocalTime().date());

    // Advancing a running clock moves it too, without freezing it.
    Clock::reset();
    Clock::advance(qint64(24) * 3600 * 1000);
    const qint64 ahead = Clock::currentMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch();
    QVERIFY2(ahead > qint64(23) * 3600 * 1000, QByteArray::number(ahead).constData());

    Clock::reset();
    const qint64 difference = Clock::currentMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch();
    QVERIFY(qAbs(difference) < 60 * 1000);
}

TAVREL_TEST_MAIN(TestValueHelpers)
#include "tst_valuehelpers.moc"
