// History records decoded without a window: records built field by field from the unit's
// record format, every variant's row and the layouts' columns.

#include "history/ConstHistoryFrame.h"
#include "history/HistoryRecord.h"
#include "history/HistoryRows.h"
#include "settings/Delphi.h"

#include <QtTest>

#include <ctime>

using namespace HistoryRecord;

namespace {

// 128 hex digits, all zero, with fields put at their character positions (1-based).
struct Rec
{
    QString text = QString(RecordLength, QLatin1Char('0'));

    Rec &put(int position, const QString &hex)
    {
        text.replace(position - 1, hex.size(), hex);
        return *this;
    }
    operator QString() const { return text; }
};

// A record with a known position, date, time, speed, inputs and event.
Rec Common()
{
    return Rec()
        .put(1, "210D2FD9") // 5545.12345 N
        .put(9, "9644AF00") // 03736.00000 W
        .put(17, "04BFAE")  // 311214
        .put(23, "01E240")  // 123456
        .put(29, "03E8")    // 100.0 knots
        .put(123, "44")     // input 1 on, others on, backup power
        .put(125, "37");    // key 3, event 7
}

QStringList Row(THistoryVariant variant, const QString &record)
{
    return THistoryRowBuilder().ComposeRow(variant, QStringLiteral("00001[x0001]"), record);
}

void SetZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class TestHistoryDecoding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SetDecimalSeparatorForTesting(QLatin1Char('.')); }
    void cleanup() { SetZone("UTC"); }

    void coordinatesDateAndTime()
    {
        const QString r = Common();
        QCOMPARE(DecodeLatitude(r), QStringLiteral("55°45'07.41\"N"));
        QCOMPARE(DecodeLongitude(r), QStringLiteral("37°36'00.00\"W"));
        // The raw field keeps the hemisphere bit: negative, and the same eight digits back.
        QVERIFY(RawLongitude(r) < 0);
        QCOMPARE(IntToHex(RawLongitude(r), 8), QStringLiteral("9644AF00"));
        QCOMPARE(CoordinateFromRaw(false, RawLongitude(r)), DecodeLongitude(r));
        // Lower-case digits read as well; 89°59.99999' S rounds up to a whole degree.
        QCOMPARE(DecodeLatitude(Rec().put(1, "b567dfff")), QStringLiteral("90°00'00.00\"S"));

        SetZone("UTC");
        QCOMPARE(DecodeDateTime(Common()).toUTC(),
                 QDateTime(QDate(2014, 12, 31), QTime(12, 34, 56), Qt::UTC));
        // East of Greenwich a time shortly before midnight shows the next day.
        SetZone("Europe/Berlin");
        const QDateTime late = DecodeDateTime(Rec().put(17, "04BFAE").put(23, "038E28")); // 23:30
        QCOMPARE(late.date(), QDate(2015, 1, 1));
        QCOMPARE(late.time(), QTime(0, 30));
        // Each record moves by the offset of its own season, whatever the season is now.
        const QString summer = Rec().put(17, "024CBA").put(23, "01D4C0"); // 15.07.14 12:00:00
        const QString winter = Rec().put(17, "024A62").put(23, "01D4C0"); // 15.01.14 12:00:00
        QCOMPARE(DecodeDateTime(summer).time(), QTime(14, 0));
        QCOMPARE(DecodeDateTime(winter).time(), QTime(13, 0));

        // Impossible values spoil both texts: day 0, month 13, hour 25, more than six digits
        // (1010124 and 1234567, whose first six digits would make a date and a time), erased
        // flash.
        const THistoryRowBuilder builder;
        for (const QString &bad :
             {Rec().put(23, "01E240").text, Rec().put(17, "002C32").text, // 011314
              Common().put(23, "03D090").text,                            // 250000
              Common().put(17, "0F69CC").text, Common().put(23, "12D687").text,
              Common().put(17, "FFFFFF").put(23, "FFFFFF").text}) {
            QCOMPARE(builder.DecodeDateText(bad), QStringLiteral("Empty date"));
            QCOMPARE(builder.DecodeTimeText(bad), QStringLiteral("Empty time"));
        }
    }

    void commonColumnsSpeedInputsAndEvent()
    {
        QCOMPARE(DecodeSpeed(Common()), QStringLiteral(" 185.200"));
        // Every speed the field can hold, against the floating-point format.
        for (int v = 0; v <= 0xFFFF; ++v)
            QCOMPARE(DecodeSpeed(Rec().put(29, IntToHex(v, 4))),
                     Format(QStringLiteral("%8.3f"), {v * 0.1852}));

        const QStringList row = Row(THistoryVariant::Type505, Common());
        QCOMPARE(row[1], QStringLiteral("7"));
        QCOMPARE(row[6], QStringLiteral(" 185.200"));
        // Inputs byte 44: input 1 on (bit 2 set), inputs 2-6 on (their bits clear), backup power.
        QCOMPARE(row.mid(21),
                 QStringList({"Вкл.", "Вкл.", "Вкл.", "Вкл.", "Вкл.", "Вкл.", "Резервное", "3"}));
        // Byte 28 (bits 3 and 5): input 1 off, inputs 3 and 6 off, the others on, main power.
        QCOMPARE(HistoryRows::InputTexts(0x28),
                 QStringList({"Откл.", "Вкл.", "Откл.", "Вкл.", "Вкл.", "Откл.", "Основное"}));
    }

    void rowsByTypeFirmwareAndDriver()
    {
        // CAN block: 2, 1, 2, 2, 4, 4, 2, 1 bytes; the 4-byte values may read negative.
        Rec r = Common();
        r.put(33, "3039").put(37, "50").put(39, "0190").put(43, "0BB8");
        r.put(47, "FFFFFFFE").put(55, "0001E240").put(63, "0FA0").put(67, "5A");
        r.put(75, "FF78FF79005F00BE"); // ids 65400, 65401, 95, 190
        r.put(91, "000A0014000B0016abcdef0100000001");

        r.put(69, "01");
        QStringList row = Row(THistoryVariant::Type504, r);
        QCOMPARE(row.mid(7, 8),
                 QStringList({"12345", "80", "400", "3000", "-2", "123456", "4000", "90"}));
        // Counters in both slots: high and low halves; their parameter cells read 0.
        QCOMPARE(row.mid(15, 8), QStringList({"10", "20", "11", "22", "0", "0", "[00095] ABCDEF01",
                                              "[00190] 00000001"}));
        QCOMPARE(row.mid(29), QStringList({"Резервное", "3"}));

        r.put(75, "00010002"); // ids 1 and 2: no counters
        row = Row(THistoryVariant::Type504, r);
        QCOMPARE(row.mid(15, 8),
                 QStringList({"0", "0", "0", "0", "[00001] 000A0014", "[00002] 000B0016",
                              "[00095] ABCDEF01", "[00190] 00000001"}));

        r.put(69, "00"); // kind 0: the two 8-byte halves as stored
        row = Row(THistoryVariant::Type504, r);
        QCOMPARE(row.mid(15, 8),
                 QStringList({"0", "0", "0", "0", "[00001] 000A0014000B0016",
                              "[00002] abcdef0100000001", "[00000] Не исп.", "[00000] Не исп."}));

        r = Common();
        r.put(33, "30D4").put(37, "4B").put(39, "04D2").put(43, "0A8C");
        r.put(47, "80000000").put(55, "FFFFFFFF").put(63, "0FA0").put(67, "55");
        r.put(71, "02")
            .put(73, "00C8")
            .put(77, "0000CB20")
            .put(85, "A5")
            .put(87, "01")
            .put(89, "FF");
        r.put(91, "FFFFFF9C"); // distance to service: -100

        const QStringList basic = Row(THistoryVariant::Type505, r);
        QCOMPARE(basic.mid(7, 14),
                 QStringList({"12500", "75", "1234", "2700", "2147483648", "4294967295", "4000",
                              "85", "2", "200", "52000", "10100101", "00000001", "11111111"}));
        QCOMPARE(basic[21], QStringLiteral("Вкл."));

        const QStringList v22 = Row(THistoryVariant::Type505v22, r);
        QCOMPARE(v22[9], QStringLiteral("1234"));
        QCOMPARE(v22[21], QStringLiteral("-100"));
        QCOMPARE(v22[29], QStringLiteral("3"));
        const QStringList v30 = Row(THistoryVariant::Type505v30, r);
        QCOMPARE(v30[9], QStringLiteral("12.34"));
        QCOMPARE(v30.mid(21), v22.mid(21));

        r = Common();
        r.put(33, "0017BB21").put(41, "02");
        // "Иванов" padded with 00, "Пётр" with FF; bytes 00 and FF read as blanks.
        r.put(71, "C8E2E0EDEEE2000000000000").put(95, "CFB8F2F0FFFFFFFFFFFFFFFF");
        row = Row(THistoryVariant::Type505Driver, r);
        QCOMPARE(row.mid(7, 4), QStringList({"155523.3", "2", "Иванов      ", "Пётр        "}));
        QCOMPARE(row.mid(17), QStringList({"Резервное", "3"}));

        // A name pair that is not hex ends that name only; the row still fits.
        r.put(75, "zz");
        QVERIFY(HistoryRows::RecordFits(THistoryVariant::Type505Driver, r));
        QCOMPARE(Row(THistoryVariant::Type505Driver, r)[9], QStringLiteral("Ив"));
        // Outside the names, or in another variant, such a record gets no row.
        QVERIFY(!HistoryRows::RecordFits(THistoryVariant::Type505, r));
        QVERIFY(!HistoryRows::RecordFits(THistoryVariant::Type505Driver, Rec().put(127, "G0")));
        QVERIFY(!HistoryRows::RecordFits(THistoryVariant::Type504, Rec().text.left(127)));
        QVERIFY(HistoryRows::RecordFits(THistoryVariant::Type504, Common()));
    }

    void layoutsAndVariantsByUnit()
    {
        namespace C = ConstHistoryFrame;
        struct Case
        {
            int type, version, layout, columns;
            THistoryVariant variant;
        };
        const Case cases[] = {
            {504, 0, 1, 31, THistoryVariant::Type504},
            {505, 7, 2, 19, THistoryVariant::Type505Driver},
            {505, 21, 3, 29, THistoryVariant::Type505},
            {505, 22, 4, 30, THistoryVariant::Type505v22},
            {505, 1000, 4, 30, THistoryVariant::None},
            {506, 22, 0, 0, THistoryVariant::None},
        };
        for (const Case &c : cases) {
            QCOMPARE(C::LayoutFor(c.type, c.version), c.layout);
            QCOMPARE(C::LayoutTitles(c.layout).size(), c.columns);
            QCOMPARE(HistoryRows::VariantFor(c.type, c.version), c.variant);
            if (c.variant != THistoryVariant::None)
                QCOMPARE(HistoryRows::ColumnCount(c.variant), c.columns);
        }
    }
};

QTEST_GUILESS_MAIN(TestHistoryDecoding)
#include "tst_historydecoding.moc"
