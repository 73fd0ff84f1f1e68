#include "pages/GeneralRows.h"

#include <QtTest>

using namespace GeneralRows;

// The general page's rows as the unit sees them, without any widget.
class TestGeneralRows : public QObject
{
    Q_OBJECT

    static GeneralValues defaults()
    {
        GeneralValues v;
        v.objectNumber = "917";
        v.lat = "50";
        v.lon = "50";
        v.timeInterval = "1";
        v.pathSmoothing = true;
        v.timeOff = "0";
        v.timeGSMOn = "10";
        return v;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void numericRowsEncodeToTheUnitsText()
    {
        QCOMPARE(ObjectNumberText(917), QStringLiteral("0917"));
        QCOMPARE(ObjectNumberText(0), QStringLiteral("0000"));
        QCOMPARE(ObjectNumberText(9999), QStringLiteral("9999"));
        QCOMPARE(LatOffsetText(50), QStringLiteral("00E6"));
        QCOMPARE(LonOffsetText(50), QStringLiteral("012C"));
        // The largest accepted offsets still fit 16 bits.
        QCOMPARE(LatOffsetText(LatOffsetLimit - 1), QStringLiteral("FFF7"));
        QCOMPARE(LonOffsetText(LonOffsetLimit - 1), QStringLiteral("FFF6"));
        QCOMPARE(TimeIntervalText(0), QStringLiteral("01"));
        QCOMPARE(TimeIntervalText(255), QStringLiteral("FF"));
        QCOMPARE(ByteText(10), QStringLiteral("0A"));
    }

    void readValuesDecode()
    {
        QCOMPARE(ObjectNumberFromReply(QStringLiteral("0917")), std::optional<int>(917));
        QCOMPARE(ObjectNumberFromReply(QStringLiteral("")), std::optional<int>());
        QCOMPARE(ObjectNumberFromReply(QStringLiteral("12ab")), std::optional<int>());
        QCOMPARE(LatOffsetFromRaw(0xE6), 50);
        QCOMPARE(LonOffsetFromRaw(0x12C), 50);
        // Truncation: 1 m goes out as 4 and comes back as 0.
        QCOMPARE(LatOffsetText(1), QStringLiteral("0004"));
        QCOMPARE(LatOffsetFromRaw(4), 0);
        QVERIFY(SwitchFromRaw(0x00));
        QVERIFY(SwitchFromRaw(0x100));
        QVERIFY(!SwitchFromRaw(0xFF));
        QVERIFY(!SwitchFromRaw(-1));
    }

    void rebootRowDecodesToBoxAndItem()
    {
        QCOMPARE(RebootFromRaw(7).reboot, false);
        QCOMPARE(RebootFromRaw(255).reboot, false);
        QCOMPARE(RebootFromRaw(8).reboot, true);
        QCOMPARE(RebootFromRaw(8).itemIndex, 0);                     // "4"
        QCOMPARE(RebootFromRaw(19).itemIndex, 0);                    // "4"
        QCOMPARE(RebootFromRaw(20).itemIndex, 1);                    // "5"
        QCOMPARE(RebootFromRaw(240).itemIndex, RebootItemCount - 1); // "60"
        QCOMPARE(RebootFromRaw(243).itemIndex, RebootItemCount - 1);
        QCOMPARE(RebootFromRaw(244).reboot, true);
        QCOMPARE(RebootFromRaw(244).itemIndex, -1);
        QCOMPARE(RebootFromRaw(254).itemIndex, -1);
        // Every item written comes back as the same item.
        for (int minutes = RebootFirstMinutes; minutes <= RebootLastMinutes; ++minutes) {
            const int raw = RebootText(true, minutes).toInt(nullptr, 16);
            QCOMPARE(RebootFromRaw(raw).itemIndex, minutes - RebootFirstMinutes);
        }
    }

    void writeCommandsPerRow()
    {
        const auto values = GeneralWriteValues(defaults());
        QVERIFY(values);
        const QStringList expected = {"+object0917",  "+latit00E6", "+longit012C",   "+timefix01",
                                      "+turn00",      "+qsafeFF",   "+safemodoffFF", "+timegps00",
                                      "+safemodon0A", "+tunfixFF"};
        for (int row = 1; row <= RowCount; ++row)
            QCOMPARE(WriteCommandText(row, (*values)[row - 1]), expected[row - 1]);
        QCOMPARE(WriteCodeForValue(PathSmoothingRow, 1), 13);
        QCOMPARE(WriteCodeForValue(PathSmoothingRow, 0), 14);
        QCOMPARE(WriteCodeForValue(GPSOffRow, 0), 17);
        QCOMPARE(WriteCodeForValue(GSMOffRow, 1), 19);
        QCOMPARE(WriteCodeForValue(RebootRow, "FF"), 75);
    }

    void validationChecksEveryRowAndRejectsEmptyText()
    {
        QVERIFY(ValidateGeneralValues(defaults()).ok());

        GeneralValues v = defaults();
        v.objectNumber = "10000";
        v.lat = "20000";
        v.lon = "10922";
        v.timeInterval = "256";
        v.timeOff = "";
        v.timeGSMOn = "x";
        v.reboot = true; // ticked with no list item
        const GeneralValidation bad = ValidateGeneralValues(v);
        QVERIFY(bad.objectNumberBad && bad.latBad && bad.lonBad && bad.timeIntervalBad &&
                bad.timeOffBad && bad.timeGSMOnBad && bad.rebootBad);
        QVERIFY(!GeneralWriteValues(v));

        // Limits: the last accepted values pass, one more fails.
        v = defaults();
        v.objectNumber = "9999";
        v.lat = "14245";
        v.lon = "10921";
        v.timeInterval = "255";
        v.timeOff = "255";
        v.timeGSMOn = "255";
        QVERIFY(ValidateGeneralValues(v).ok());
        v.objectNumber = "-1";
        QVERIFY(ValidateGeneralValues(v).objectNumberBad);
    }

    void leavingATimeEditClampsOnlyLargeNumbers()
    {
        QCOMPARE(ClampTimeText("300"), QStringLiteral("255"));
        QCOMPARE(ClampTimeText("255"), QStringLiteral("255"));
        QCOMPARE(ClampTimeText("12"), QStringLiteral("12"));
        QCOMPARE(ClampTimeText(""), QString());
    }
};

QTEST_GUILESS_MAIN(TestGeneralRows)
#include "tst_generalrows.moc"
