#include "pages/EventsRows.h"
#include "settings/Delphi.h"

#include <QtTest>

using namespace EventsRows;

// The events page's rows as the unit sees them, without any widget.
class TestEventsRows : public QObject
{
    Q_OBJECT

    static EventsValues valid()
    {
        EventsValues v;
        v.onTime = "40";
        v.pause = "0,5";
        v.period = "30";
        v.identTime = "30";
        return v;
    }
    static QStringList texts(const EventsValues &v, bool withCAN = false)
    {
        QStringList out;
        const auto rows = EventsWriteValues(v, withCAN);
        for (const EventsWriteRow &row : *rows)
            out << (row.send ? row.text : QStringLiteral("-"));
        return out;
    }

private slots:
    void initTestCase() { SetDecimalSeparatorForTesting(QLatin1Char(',')); }

    // The texts of ordinary values are pinned by the page's test on the wire; here the input
    // switches and the block and ignition choices it does not set.
    void writeRowsEncodeEveryControl()
    {
        EventsValues v = valid();
        v.freq = {true, false};
        v.flow = {false, true};
        QCOMPARE(texts(v).mid(10), (QStringList{"00", "0F"}));
        v.blockIndex = 2;
        v.freq = {true, true};
        v.flow = {true, true};
        v.canIgnition = true;
        QCOMPARE(texts(v, true).mid(8), (QStringList{"02", "00", "02", "00", "00"}));
    }

    // Every pause from 0,05 to 25,5 in steps of 0,05 gives its tenths, halves to the even one;
    // others are refused.
    void pauseTenthsRoundHalfToEven()
    {
        for (int hundredths = 5; hundredths <= 2550; hundredths += 5) {
            const QString text = QStringLiteral("%1,%2")
                                     .arg(hundredths / 100)
                                     .arg(hundredths % 100, 2, 10, QChar('0'));
            const int q = hundredths / 10, rest = hundredths % 10;
            const int expected = rest > 5 || (rest == 5 && q % 2 == 1) ? q + 1 : q;
            QCOMPARE(PauseTenthsFromText(text), std::optional<int>(expected));
        }
        QCOMPARE(PauseTextFromRaw(7), QStringLiteral("0,7"));
        QCOMPARE(PauseTextFromRaw(255), QStringLiteral("25,5"));
        for (const char *bad : {"25,6", "-0,1", "0.5", "x"})
            QVERIFY(!PauseTenthsFromText(QString::fromLatin1(bad)));
    }

    // Power takes bits 12 and 13, input 7 bits 14 and 15.
    void flagWordCells()
    {
        QStringList set;
        for (quint16 word : {quint16(0x4001), quint16(0x1000), quint16(0x0800)})
            for (int row = 1; row <= 2; ++row)
                for (int column = 1; column <= 8; ++column)
                    if (FlagCellSet(word, column, row))
                        set << QStringLiteral("%1:%2,%3").arg(word, 0, 16).arg(column).arg(row);
        QCOMPARE(set, (QStringList{"4001:1,1", "4001:7,1", "1000:8,1", "800:6,2"}));
    }
};

QTEST_APPLESS_MAIN(TestEventsRows)
#include "tst_eventsrows.moc"
