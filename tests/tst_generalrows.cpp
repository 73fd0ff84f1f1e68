#include "pages/GeneralRows.h"

#include <QtTest>

using namespace GeneralRows;

// The general page's rows as the unit sees them, without any widget. The texts of ordinary values
// are pinned by the page-transfer test on the wire; here the limits and the lossy conversions.
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

    void offsetsSwitchesAndTheRebootByteAtTheirLimits()
    {
        QCOMPARE(ObjectNumberFromReply(QStringLiteral("12ab")), std::optional<int>());
        // The largest accepted offsets still fit 16 bits.
        QCOMPARE(LatOffsetText(LatOffsetLimit - 1), QStringLiteral("FFF7"));
        QCOMPARE(LonOffsetText(LonOffsetLimit - 1), QStringLiteral("FFF6"));
        // Truncation: 1 m goes out as 4 and comes back as 0.
        QCOMPARE(LatOffsetText(1), QStringLiteral("0004"));
        QCOMPARE(LatOffsetFromRaw(4), 0);
        QVERIFY(SwitchFromRaw(0x100) && !SwitchFromRaw(0xFF) && !SwitchFromRaw(-1));

        // The reboot byte: the box and the list item.
        QVERIFY(!RebootFromRaw(7).reboot && !RebootFromRaw(255).reboot);
        QVERIFY(RebootFromRaw(244).reboot);
        QCOMPARE(RebootFromRaw(244).itemIndex, -1);
        // Every item written comes back as the same item.
        for (int minutes = RebootFirstMinutes; minutes <= RebootLastMinutes; ++minutes) {
            const int raw = RebootText(true, minutes).toInt(nullptr, 16);
            QCOMPARE(RebootFromRaw(raw).itemIndex, minutes - RebootFirstMinutes);
        }
    }

    void validationChecksEveryRowAndRejectsEmptyText()
    {
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

        // Limits: the last accepted values pass.
        v = defaults();
        v.objectNumber = "9999";
        v.lat = "14245";
        v.lon = "10921";
        v.timeInterval = v.timeOff = v.timeGSMOn = "255";
        QVERIFY(GeneralWriteValues(v));
    }
};

QTEST_GUILESS_MAIN(TestGeneralRows)
#include "tst_generalrows.moc"
