// The flags page against the simulated unit.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/UnitFlagsInfoFrame.h"

#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

struct Rig : PageRig<TFlagsInfoFrame>
{
    QStringList Messages;

    Rig()
    {
        Page.MessageHook = [this](const QString &text) { Messages << text; };
    }
    QTableWidget *Grid() { return Child<QTableWidget>("FlagsGrid"); }
    QString Cell(int column, int row) { return Grid()->item(row, column)->text(); }
    // The cells that show the mark, as "column,row".
    QStringList Marked()
    {
        QStringList marked;
        for (int row = 1; row <= 2; ++row)
            for (int column = 1; column <= 8; ++column)
                if (Cell(column, row) == QStringLiteral("*"))
                    marked << QStringLiteral("%1,%2").arg(column).arg(row);
        return marked;
    }
    void Click(int column, int row)
    {
        const QRect rect = Grid()->visualItemRect(Grid()->item(row, column));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void ReadWord(quint16 word)
    {
        Sim.setFlagWord(word);
        Read();
    }
    QColor TitleColour() { return Grid()->item(0, 0)->foreground().color(); }
};

} // namespace

class TestFlagsPage : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void readShowsTheMarksAndAWriteResetsTheMarkedFlagsOnly()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        rig.ReadWord(0x5001);
        QCOMPARE(Sent(rig.Sim), QStringList{"+MFLAG"});
        QCOMPARE(rig.Marked(), (QStringList{"1,1", "7,1", "8,1"}));

        // Marked cells are drawn with the flag mark, blank ones are not.
        const QImage shot = rig.Grid()->grab().toImage();
        const auto hasMark = [&](int column, int row) {
            const QRect rect = rig.Grid()->visualItemRect(rig.Grid()->item(row, column));
            for (int y = rect.top(); y < rect.bottom(); ++y)
                for (int x = rect.left(); x < rect.right(); ++x)
                    if (const QColor c = shot.pixelColor(x, y); c.red() > 0xC0 && c.green() < 0x40)
                        return true;
            return false;
        };
        QVERIFY(hasMark(7, 1));
        QVERIFY(!hasMark(7, 2));

        // A selected cell loses its mark; a blank one stays blank.
        rig.ReadWord(0x0003);
        rig.Click(2, 1);
        rig.Click(1, 1);
        QCOMPARE(rig.Marked(), QStringList{"1,2"});
        QCOMPARE(rig.Writing(), QStringList{"+mflag0001"});
        QCOMPARE(rig.Sim.flagWord(), quint16(0x0002));
        QVERIFY(rig.Messages.isEmpty());
        QVERIFY(!rig.Page.Modified());

        // The word read stays the reference: the next write resets the earlier flag again.
        rig.Grid()->setFocus();
        QTest::keyClick(rig.Grid(), Qt::Key_Down); // from (1,1) to (1,2)
        QCOMPARE(rig.Writing(), QStringList{"+mflag0003"});

        // Tab leaves the grid and marks nothing on its way.
        rig.ReadWord(0xFFFF);
        rig.Page.show();
        rig.Page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.Page));
        rig.Grid()->setFocus();
        QTest::keyClick(rig.Grid(), Qt::Key_Tab);
        QVERIFY(rig.Child<QPushButton>("ClearAll")->hasFocus());
        QCOMPARE(rig.Marked().size(), 16);
        QVERIFY(rig.Writing().isEmpty());

        rig.ReadWord(0x3000);
        rig.Click(8, 1);
        QCOMPARE(rig.Writing(), QStringList{"+mflag1000"});

        rig.ReadWord(0xFFFF);
        rig.Child<QPushButton>("ClearAll")->click();
        QVERIFY(rig.Marked().isEmpty());
        QCOMPARE(rig.Writing(), QStringList{"+mflagFFFF"});
        QCOMPARE(rig.Sim.flagWord(), quint16(0));

        // Failures are reported and reset nothing.
        rig.Messages.clear();
        rig.ReadWord(0x0003);
        QVERIFY(rig.Writing().isEmpty()); // nothing marked
        QCOMPARE(rig.Messages, QStringList{TFlagsInfoFrame::ResetErrorText});
        rig.Click(1, 1);
        rig.NeverAnswer({"+mflag"});
        rig.Write();
        QCOMPARE(rig.Messages.size(), 2);
        QVERIFY(rig.Page.Modified()); // still marked for the next try

        // A read that failed changes no cell and gives nothing to reset: a write with cells
        // marked sends nothing and says it failed.
        rig.Sim.setFlagWord(0x0003);
        rig.Click(1, 1);
        QCOMPARE(rig.Marked(), QStringList{"1,2"});
        rig.NeverAnswer({"+MFLAG"});
        rig.ReadWord(0x0000);
        QCOMPARE(rig.Marked(), QStringList{"1,2"});
        QCOMPARE(rig.Page.LastFlags(), quint16(0));
        QCOMPARE(rig.TitleColour(), Red);
        rig.NeverAnswer({});
        rig.Click(2, 2);
        QVERIFY(rig.Writing().isEmpty());
        QCOMPARE(rig.Messages.size(), 3);
        QVERIFY(rig.Page.Modified());

        // A reply that is no word: the same. A good read clears the colour.
        auto faults = rig.Sim.faults();
        faults.garble = QStringList{"+MFLAG"};
        rig.Sim.setFaults(faults);
        rig.ReadWord(0xFFFF);
        QCOMPARE(rig.Marked(), QStringList{"1,2"});
        QCOMPARE(rig.TitleColour(), Red);
        rig.Sim.setFaults({});
        rig.ReadWord(0x0100);
        QCOMPARE(rig.Marked(), QStringList{"5,1"});
        QVERIFY(rig.TitleColour() != Red);

        // Before any read the unit's flags are unknown too.
        Rig fresh;
        QVERIFY(fresh.Connect());
        fresh.Child<QPushButton>("ClearAll")->click();
        QVERIFY(fresh.Writing().isEmpty());
        QCOMPARE(fresh.Messages, QStringList{TFlagsInfoFrame::ResetErrorText});
    }
};

QTEST_MAIN(TestFlagsPage)
#include "tst_flagspage.moc"
