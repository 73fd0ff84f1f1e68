#include "settings/Delphi.h"

#include <QtTest>

#include <cmath>
#include <limits>

// Number and text conversions: the exact texts the unit and the stored settings expect.
class TestDelphi : public QObject
{
    Q_OBJECT
private slots:
    void init() { SetDecimalSeparatorForTesting(QLatin1Char('.')); }
    void cleanupTestCase() { SetDecimalSeparatorForTesting(QChar()); }

    void intToHexPadsAndWrapsNegatives()
    {
        QCOMPARE(IntToHex(255, 2), QStringLiteral("FF"));
        QCOMPARE(IntToHex(255, 4), QStringLiteral("00FF"));
        QCOMPARE(IntToHex(0xABCDE, 2), QStringLiteral("ABCDE")); // never cut
        QCOMPARE(IntToHex(10, 0), QStringLiteral("A"));
        QCOMPARE(IntToHex(0, 2), QStringLiteral("00"));
        QCOMPARE(IntToHex(-1, 2), QStringLiteral("FFFFFFFF"));
        QCOMPARE(IntToHex(-2, 10), QStringLiteral("00FFFFFFFE"));
        QCOMPARE(IntToHex(std::numeric_limits<qint32>::min(), 1), QStringLiteral("80000000"));
        QCOMPARE(IntToHex(0xFFFFFFFFll, 8), QStringLiteral("FFFFFFFF"));
    }

    void strToIntAcceptsTheOriginalForms()
    {
        QCOMPARE(StrToInt(QStringLiteral("12")), 12);
        QCOMPARE(StrToInt(QStringLiteral("   12")), 12);
        QCOMPARE(StrToInt(QStringLiteral("-12")), -12);
        QCOMPARE(StrToInt(QStringLiteral("+7")), 7);
        QCOMPARE(StrToInt(QStringLiteral("007")), 7);
        QCOMPARE(StrToInt(QStringLiteral("$1F")), 31);
        QCOMPARE(StrToInt(QStringLiteral("$1f")), 31);
        QCOMPARE(StrToInt(QStringLiteral("0x1F")), 31);
        QCOMPARE(StrToInt(QStringLiteral("-$10")), -16);
        QCOMPARE(StrToInt(QStringLiteral("$FFFFFFFF")), -1);
        QCOMPARE(StrToInt(QStringLiteral("$80000000")), std::numeric_limits<qint32>::min());
        QCOMPARE(StrToInt(QStringLiteral("2147483647")), 2147483647);
        QCOMPARE(StrToInt(QStringLiteral("-2147483648")), std::numeric_limits<qint32>::min());
    }

    void strToIntRejectsEverythingElse()
    {
        for (const char *bad : {"", " ", "-", "$", "0x", "12 ", "1a", "$1G", "2147483648",
                                "-2147483649", "$100000000", "1.5", "\t5", "$-1", "--1"}) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, StrToInt(QString::fromLatin1(bad)));
            int value = 99;
            QVERIFY(!TryStrToInt(QString::fromLatin1(bad), value));
            QCOMPARE(value, 99);
            QCOMPARE(StrToIntDef(QString::fromLatin1(bad), -7), -7);
        }
        try {
            StrToInt(QStringLiteral("abc"));
            QFAIL("no error");
        } catch (const EConvertError &e) {
            QVERIFY(e.message().contains(QStringLiteral("abc")));
        }
    }

    void roundIsBankersAndTruncCutsTowardZero()
    {
        QCOMPARE(Round(2.5), 2);
        QCOMPARE(Round(3.5), 4);
        QCOMPARE(Round(-2.5), -2);
        QCOMPARE(Round(-3.5), -4);
        QCOMPARE(Round(0.5), 0);
        QCOMPARE(Round(2.51), 3);
        QCOMPARE(Round(-2.6), -3);
        QCOMPARE(Trunc(2.9), 2);
        QCOMPARE(Trunc(-2.9), -2);
        QVERIFY_THROWS_EXCEPTION(EConvertError, Round(std::nan("")));
        QVERIFY_THROWS_EXCEPTION(EConvertError, Trunc(1e300));
    }

    void formatIntegers()
    {
        QCOMPARE(Format(QStringLiteral("%.4d"), {-5}), QStringLiteral("-0005"));
        QCOMPARE(Format(QStringLiteral("%.2d.%.3d.%.3d"), {7, 505, 30}),
                 QStringLiteral("07.505.030"));
        QCOMPARE(Format(QStringLiteral("[%5d]"), {42}), QStringLiteral("[   42]"));
        QCOMPARE(Format(QStringLiteral("[%-5d]"), {42}), QStringLiteral("[42   ]"));
        QCOMPARE(Format(QStringLiteral("[%2d]"), {12345}), QStringLiteral("[12345]"));
        QCOMPARE(Format(QStringLiteral("[%05d]"), {42}), QStringLiteral("[   42]"));
        QCOMPARE(Format(QStringLiteral("[%6.3d]"), {-5}), QStringLiteral("[  -005]"));
        QCOMPARE(Format(QStringLiteral("%x"), {255}), QStringLiteral("FF"));
        QCOMPARE(Format(QStringLiteral("%.4X"), {255}), QStringLiteral("00FF"));
        QCOMPARE(Format(QStringLiteral("%x"), {-1}), QStringLiteral("FFFFFFFF"));
        QCOMPARE(Format(QStringLiteral("%u"), {-1}), QStringLiteral("4294967295"));
        QCOMPARE(Format(QStringLiteral("%d"), {qint64(-10000000000)}),
                 QStringLiteral("-10000000000"));
        QCOMPARE(Format(QStringLiteral("%d"), {quint32(4000000000u)}),
                 QStringLiteral("4000000000"));
        QCOMPARE(Format(QStringLiteral("%*d|%-*d|"), {4, 7, 3, 8}), QStringLiteral("   7|8  |"));
        QCOMPARE(Format(QStringLiteral("%p"), {0x1234}), QStringLiteral("00001234"));
    }

    void formatTextsIndexesAndPercent()
    {
        QCOMPARE(Format(QStringLiteral("%s=%s"), {QStringLiteral("a"), QStringLiteral("б")}),
                 QStringLiteral("a=б"));
        QCOMPARE(Format(QStringLiteral("%.3s"), {QStringLiteral("abcdef")}), QStringLiteral("abc"));
        QCOMPARE(
            Format(QStringLiteral("[%4s][%-4s]"), {QStringLiteral("ab"), QStringLiteral("cd")}),
            QStringLiteral("[  ab][cd  ]"));
        QCOMPARE(Format(QStringLiteral("%1:s %0:s %s"),
                        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
                 QStringLiteral("b a b"));
        QCOMPARE(Format(QStringLiteral("100%% %s"), {QChar(u'x')}), QStringLiteral("100% x"));
        QCOMPARE(Format(QStringLiteral("no args"), {}), QStringLiteral("no args"));
        QCOMPARE(Format(QStringLiteral("%d"), {1, 2}), QStringLiteral("1")); // extra ignored
    }

    void formatFloatsUseTheDecimalSeparator()
    {
        QCOMPARE(Format(QStringLiteral("[%8.3f]"), {3.14159}), QStringLiteral("[   3.142]"));
        QCOMPARE(Format(QStringLiteral("%f"), {1.0}), QStringLiteral("1.00"));
        QCOMPARE(Format(QStringLiteral("%.0f"), {2.5}), QStringLiteral("3")); // not banker's
        QCOMPARE(Format(QStringLiteral("%.2f"), {0.125}), QStringLiteral("0.13"));
        QCOMPARE(Format(QStringLiteral("%.0f"), {0.6}), QStringLiteral("1"));
        QCOMPARE(Format(QStringLiteral("%.1f"), {-0.04}), QStringLiteral("0.0"));
        QCOMPARE(Format(QStringLiteral("%.6f"), {-55.755831}), QStringLiteral("-55.755831"));
        QCOMPARE(Format(QStringLiteral("%.1f"), {99.96}), QStringLiteral("100.0"));
        QCOMPARE(Format(QStringLiteral("%e"), {1234.5}), QStringLiteral("1.23450000000000E+003"));
        QCOMPARE(Format(QStringLiteral("%.3e"), {-0.00012345}), QStringLiteral("-1.23E-004"));
        QCOMPARE(Format(QStringLiteral("%g"), {0.5}), QStringLiteral("0.5"));
        const QString group = QLocale::system().groupSeparator();
        QCOMPARE(Format(QStringLiteral("%n"), {1234567.891}), QStringLiteral("1") + group +
                                                                  QStringLiteral("234") + group +
                                                                  QStringLiteral("567.89"));
        SetDecimalSeparatorForTesting(QLatin1Char(','));
        QCOMPARE(Format(QStringLiteral("[%8.3f]"), {3.14159}), QStringLiteral("[   3,142]"));
    }

    void formatMismatchIsAnErrorAndCheckedFormatKeepsTheText()
    {
        const QList<QPair<QString, QVariantList>> bad = {
            {QStringLiteral("%d"), {QStringLiteral("x")}},
            {QStringLiteral("%d"), {}},
            {QStringLiteral("%s %s"), {QStringLiteral("x")}},
            {QStringLiteral("%s"), {5}},
            {QStringLiteral("%f"), {5}},
            {QStringLiteral("%d"), {1.5}},
            {QStringLiteral("%k"), {1}},
            {QStringLiteral("50%"), {}},
            {QStringLiteral("%5"), {1}},
            {QStringLiteral("%3:d"), {1}},
        };
        for (const auto &[format, args] : bad) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, Format(format, args));
            QCOMPARE(FormatChecked(format, args), format);
        }
        QCOMPARE(FormatChecked(QStringLiteral("W9-CAN config %s"), {QStringLiteral("1.0")}),
                 QStringLiteral("W9-CAN config 1.0"));
    }

    void floatTexts()
    {
        QCOMPARE(FloatToStr(1.5), QStringLiteral("1.5"));
        QCOMPARE(FloatToStr(0.1), QStringLiteral("0.1"));
        QCOMPARE(FloatToStr(100.0), QStringLiteral("100"));
        QCOMPARE(FloatToStr(-0.0001), QStringLiteral("-0.0001"));
        QCOMPARE(FloatToStr(0.00001), QStringLiteral("0.00001"));
        QCOMPARE(FloatToStr(0.000001), QStringLiteral("1E-6"));
        QCOMPARE(FloatToStr(1e15), QStringLiteral("1E15"));
        QCOMPARE(FloatToStr(123456789012345.0), QStringLiteral("123456789012345"));
        QCOMPARE(FloatToStr(1.0 / 3), QStringLiteral("0.333333333333333"));
        QCOMPARE(FloatToStr(0.0), QStringLiteral("0"));
        QCOMPARE(StrToFloat(QStringLiteral(" 2.5 ")), 2.5);
        QCOMPARE(StrToFloat(QStringLiteral("-1e3")), -1000.0);
        QCOMPARE(StrToFloat(QStringLiteral(".5")), 0.5);
        for (const char *bad : {"", "abc", "1,5", "1.5x", "1e", ".", "1e999"})
            QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat(QString::fromLatin1(bad)));

        SetDecimalSeparatorForTesting(QLatin1Char(','));
        QCOMPARE(FloatToStr(1.5), QStringLiteral("1,5"));
        QCOMPARE(StrToFloat(QStringLiteral("55,75")), 55.75);
        double value = 0;
        QVERIFY(!TryStrToFloat(QStringLiteral("55.75"), value));
    }

    void dateTimeLeavesOutMidnightAndTimeZone()
    {
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
};

QTEST_GUILESS_MAIN(TestDelphi)
#include "tst_delphi.moc"
