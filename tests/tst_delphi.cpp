#include "settings/Delphi.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>

// Number and text conversions: the exact texts the unit and the stored settings expect.
class TestDelphi : public QObject
{
    Q_OBJECT
private slots:
    void init() { SetDecimalSeparatorForTesting(QLatin1Char('.')); }
    void cleanupTestCase() { SetDecimalSeparatorForTesting(QChar()); }

    void integerConversions()
    {
        QCOMPARE(IntToHex(255, 4), QStringLiteral("00FF"));
        QCOMPARE(IntToHex(0xABCDE, 2), QStringLiteral("ABCDE")); // never cut
        QCOMPARE(IntToHex(-2, 10), QStringLiteral("00FFFFFFFE"));
        QCOMPARE(IntToHex(std::numeric_limits<qint32>::min(), 1), QStringLiteral("80000000"));

        constexpr int min = std::numeric_limits<qint32>::min();
        const QList<std::pair<const char *, int>> good = {
            {"   12", 12},       {"-12", -12},       {"+7", 7},
            {"$1f", 31},         {"0x1F", 31},       {"-$10", -16},
            {"$FFFFFFFF", -1},   {"$80000000", min}, {"2147483647", 2147483647},
            {"-2147483648", min}};
        for (const auto &[text, value] : good)
            QCOMPARE(StrToInt(QString::fromLatin1(text)), value);
        for (const char *bad : {"", " ", "-", "$", "0x", "12 ", "1a", "$1G", "2147483648",
                                "-2147483649", "$100000000", "1.5", "\t5", "$-1", "--1"}) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, StrToInt(QString::fromLatin1(bad)));
            int value = 99;
            QVERIFY(!TryStrToInt(QString::fromLatin1(bad), value));
            QCOMPARE(value, 99);
            QCOMPARE(StrToIntDef(QString::fromLatin1(bad), -7), -7);
        }

        QVERIFY(Round(2.5) == 2 && Round(3.5) == 4 && Round(-2.5) == -2 && Round(2.51) == 3);
        QCOMPARE(Trunc(-2.9), -2);
        QVERIFY_THROWS_EXCEPTION(EConvertError, Round(std::nan("")));
        QVERIFY_THROWS_EXCEPTION(EConvertError, Trunc(1e300));
    }

    void format_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero flag is width") << "[%05d]" << QVariantList{42} << "[   42]";
        QTest::newRow("width and precision") << "[%6.3d]" << QVariantList{-5} << "[  -005]";
        QTest::newRow("hex of negative") << "%x|%.4X" << QVariantList{-1, 255} << "FFFFFFFF|00FF";
        QTest::newRow("64-bit") << "%d" << QVariantList{qint64(-10000000000)} << "-10000000000";
        QTest::newRow("star") << "%*d|%-*d|" << QVariantList{4, 7, 3, 8} << "   7|8  |";
        QTest::newRow("texts") << "[%4s][%.3s]" << QVariantList{"ab", "cdef"} << "[  ab][cde]";
        QTest::newRow("indexes") << "%1:s %0:s %s" << QVariantList{"a", "b", "c"} << "b a b";
        QTest::newRow("percent, extra ignored") << "100%% %d" << QVariantList{1, 2} << "100% 1";
        QTest::newRow("half up, not banker's") << "%.0f" << QVariantList{2.5} << "3";
        QTest::newRow("negative zero") << "%.1f" << QVariantList{-0.04} << "0.0";
        QTest::newRow("carry") << "%.1f" << QVariantList{99.96} << "100.0";
        QTest::newRow("exponent") << "%e" << QVariantList{1234.5} << "1.23450000000000E+003";
        QTest::newRow("short exponent") << "%.3e" << QVariantList{-0.00012345} << "-1.23E-004";
    }
    void format()
    {
        QFETCH(QString, format);
        QFETCH(QVariantList, args);
        QFETCH(QString, text);
        QCOMPARE(Format(format, args), text);
        QCOMPARE(FormatChecked(format, args), text);
    }

    void formatSeparatorsAndMismatches()
    {
        const QString group = QLocale::system().groupSeparator();
        QCOMPARE(Format(QStringLiteral("%n"), {1234567.891}), QStringLiteral("1") + group +
                                                                  QStringLiteral("234") + group +
                                                                  QStringLiteral("567.89"));
        SetDecimalSeparatorForTesting(QLatin1Char(','));
        QCOMPARE(Format(QStringLiteral("[%8.3f]"), {3.14159}), QStringLiteral("[   3,142]"));

        const QList<QPair<QString, QVariantList>> bad = {
            {"%d", {"x"}}, {"%d", {}},  {"%s %s", {"x"}}, {"%s", {5}}, {"%f", {5}},
            {"%d", {1.5}}, {"%k", {1}}, {"50%", {}},      {"%5", {1}}, {"%3:d", {1}}};
        for (const auto &[format, args] : bad) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, Format(format, args));
            QCOMPARE(FormatChecked(format, args), format);
        }
    }

    void floatAndDateTimeTexts()
    {
        QCOMPARE(FloatToStr(0.00001), QStringLiteral("0.00001"));
        QCOMPARE(FloatToStr(0.000001), QStringLiteral("1E-6"));
        QCOMPARE(FloatToStr(1e15), QStringLiteral("1E15"));
        QCOMPARE(FloatToStr(123456789012345.0), QStringLiteral("123456789012345"));
        QCOMPARE(FloatToStr(1.0 / 3), QStringLiteral("0.333333333333333"));
        for (const auto &[text, value] : {std::pair{" 2.5 ", 2.5}, {"-1e3", -1000.0}, {".5", 0.5}})
            QCOMPARE(StrToFloat(QString::fromLatin1(text)), value);
        for (const char *bad : {"", "abc", "1,5", "1.5x", "1e", ".", "1e999"})
            QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat(QString::fromLatin1(bad)));

        SetDecimalSeparatorForTesting(QLatin1Char(','));
        QCOMPARE(FloatToStr(1.5), QStringLiteral("1,5"));
        QCOMPARE(StrToFloat(QStringLiteral("55,75")), 55.75);
        double value = 0;
        QVERIFY(!TryStrToFloat(QStringLiteral("55.75"), value));

        const QDate date(2024, 3, 5);
        const QString withTime = DateTimeToStr(QDateTime(date, QTime(13, 5, 7)));
        const QString midnight = DateTimeToStr(QDateTime(date, QTime(0, 0)));
        QCOMPARE(midnight, QLocale::system().toString(date, QLocale::ShortFormat));
        QVERIFY(withTime.startsWith(midnight + QLatin1Char(' ')));
        QVERIFY(withTime.contains(QStringLiteral(":05:07")));
        QVERIFY(!withTime.contains(QStringLiteral("UTC")));
        QVERIFY(DateTimeToStr(QDateTime(date, QTime(0, 0, 0, 1))).contains(QLatin1Char(':')));
        QCOMPARE(DateTimeToStr(QDateTime()), QString());
    }

    // A run of the suite under a named locale really has it: the C library, given the locale of
    // the environment, and Qt both use the decimal point the run expects.
    void runsLocaleIsReal()
    {
        const QByteArray expected = qgetenv("W9_EXPECT_DECIMAL_POINT");
        if (expected.isEmpty())
            QSKIP("W9_EXPECT_DECIMAL_POINT is not set");
        QVERIFY(std::setlocale(LC_ALL, "") != nullptr);
        QCOMPARE(QByteArray(std::localeconv()->decimal_point), expected);
        QCOMPARE(QLocale::system().decimalPoint(), QString::fromUtf8(expected));
    }
};

QTEST_GUILESS_MAIN(TestDelphi)
#include "tst_delphi.moc"
