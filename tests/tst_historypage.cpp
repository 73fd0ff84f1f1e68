// The history page in the real main window against the simulated unit: reading the newest
// records, both erase paths with their questions, ranges, records that do not come, Esc, the
// layout that follows the identified unit and the column widths kept across a restart; and,
// unconnected, filling, bad records and the coordinate switch.

#include "TestConfigDir.h"
#include "WindowConnection.h"
#include "history/HistoryGridModel.h"
#include "history/HistoryRawModel.h"
#include "history/HistoryReading.h"
#include "history/UnitHistoryFrame.h"
#include "main/Main.h"
#include "settings/Delphi.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>

#include <memory>

namespace {

// The main window on the history page, connected to a simulated unit.
struct Window
{
    unitsim::UnitSimulator Sim;
    std::unique_ptr<TMainForm> Form = std::make_unique<TMainForm>(QStringLiteral("1.0.0.0"));
    QStringList Messages;
    MessageBoxCatcher Boxes; // the erase's questions and its error box
    std::unique_ptr<TLineWatch> Line;

    Window()
    {
        SpeedUp(Form->Engine(), Form->Connection());
        Form->MessageHook = [this](const QString &text, bool) { Messages << text; };
        Form->show();
        FindAction(*Form, "HistoryAction")->trigger();
    }

    THistoryFrame &Page() const { return *static_cast<THistoryFrame *>(Form->Frames[6]); }
    template <typename T> T *Child(const char *name) const
    {
        return Page().findChild<T *>(QString::fromLatin1(name));
    }

    bool Connect(int type, int firmware, int records)
    {
        auto options = CableUnit(type, firmware);
        options.historyRecords = records;
        if (!ConnectWindow(*Form, Sim, options))
            return false;
        Line = std::make_unique<TLineWatch>(Form->Connection(), Form->Engine(), Sim);
        return true;
    }
    // The unit's log cleared once the line is quiet (the version query after an unconfirmed
    // erase, or the read an Esc dropped, may still be on its way).
    bool ClearLog() { return Line->ClearLog(); }

    void Trigger(const char *action) { FindAction(*Form, action)->trigger(); }

    QString Cell(int row, int column) const
    {
        return Page().GridModel().index(row, column).data().toString();
    }
    int Rows() const { return Page().GridModel().rowCount(); }
    void ChooseRange(const QString &from, const QString &to) const
    {
        Child<QRadioButton>("ReadFromToRadio")->click();
        Child<QLineEdit>("FromEdit")->setText(from);
        Child<QLineEdit>("ToEdit")->setText(to);
    }
};

QStringList ReadCommands(int first, int last)
{
    QStringList commands;
    for (int i = first; i <= last; ++i)
        commands << QStringLiteral("+read") + IntToHex(i, 4);
    return commands;
}

QColor TextColor(const QLineEdit *edit)
{
    return edit->palette().color(QPalette::Text);
}

// 128 hex digits: a position, a valid date and time, with `tail` at the end.
QString Record(const char *tail = "0000")
{
    return QStringLiteral("210D2FD99644AF0004BFAE01E24003E8") + QString(92, QLatin1Char('0')) +
           QLatin1String(tail);
}

} // namespace

class TestHistoryPage : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void initTestCase() { SetDecimalSeparatorForTesting(QLatin1Char('.')); }
    void init() { ClearStore(); }

    // Then records that do not come, Esc, ranges and their limits.
    void readsTheNewestRecordsAndErasesAfterAsking()
    {
        Window w;
        QVERIFY(w.Connect(505, 17, 30));

        w.Trigger("ReadPageAction");
        QCOMPARE(Sent(w.Sim), QStringList{"+point"} + ReadCommands(0, 29));
        QCOMPARE(w.Page().InfoBar()->currentMessage(),
                 QStringLiteral("Всего записей 00029[x001D]"));
        QCOMPARE(w.Rows(), 30);
        QCOMPARE(w.Cell(29, 0), QStringLiteral("00000[x0000]"));
        // The raw view lists every row the read had room for, the 20 never asked for first.
        const QAbstractItemModel &raw = w.Page().RawModel();
        QCOMPARE(raw.rowCount(), 50);
        QCOMPARE(raw.index(19, 0).data().toString(), QString());
        QCOMPARE(raw.index(20, 0).data().toString(), QStringLiteral("00029[x001D]"));
        QCOMPARE(raw.index(20, 1).data().toString(),
                 THistoryRawModel::Pairs(QString::fromLatin1(w.Sim.historyRecord(29))));

        // With 100 records only the newest 50 are read.
        w.Sim.setHistoryCount(100);
        QVERIFY(w.ClearLog());
        w.Trigger("ReadPageAction");
        QCOMPARE(Sent(w.Sim), QStringList{"+point"} + ReadCommands(50, 99));
        QCOMPARE(w.Cell(0, 0), QStringLiteral("00099[x0063]"));
        QVERIFY2(w.Messages.isEmpty(), qPrintable(w.Messages.join('\n')));

        // Both erase paths ask first; No sends nothing.
        w.Form->Engine().Timings.EraseTimeoutMs = 300;
        QVERIFY(w.ClearLog());
        w.Boxes.Answer = QMessageBox::No;
        w.Trigger("WritePageAction");
        auto *button = w.Child<QPushButton>("ClearHisButton");
        button->click();
        QCoreApplication::processEvents();
        QVERIFY(Sent(w.Sim).isEmpty());
        QCOMPARE(w.Boxes.Texts.size(), 2);
        QCOMPARE(w.Rows(), 50);

        // The page's erase: a unit that does not confirm it gets the error box, the rows stay.
        NeverAnswer(w.Sim, {QStringLiteral("+erase")});
        w.Boxes.Answer = QMessageBox::Yes;
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Boxes.Texts.size(), 4, 5000);
        QCOMPARE(w.Boxes.Texts.last(),
                 QStringLiteral("Ошибка при получении результата, попробуйте еще раз"));
        QCOMPARE(w.Rows(), 50);

        // Confirmed by the unit: the grid empties, the raw view stays.
        w.Sim.setFaults({});
        QVERIFY(w.ClearLog());
        button->click();
        QTRY_COMPARE(w.Rows(), 0);
        QCOMPARE(Sent(w.Sim), QStringList{"+erase"});
        QCOMPARE(w.Page().RawModel().rowCount(), 50);

        // The write action's erase.
        w.Sim.setHistoryCount(30);
        QVERIFY(w.ClearLog());
        w.Trigger("WritePageAction");
        QCOMPARE(Sent(w.Sim), QStringList{"+erase"});
        QCOMPARE(w.Sim.historyCount(), 0);

        w.Sim.setHistoryCount(30);
        NeverAnswer(w.Sim, {QStringLiteral("+read001B")});

        // The record that does not come has a raw line but no grid row.
        w.Trigger("ReadPageAction");
        QCOMPARE(w.Rows(), 29);
        QCOMPARE(w.Cell(2, 0), QStringLiteral("00026[x001A]"));
        QCOMPARE(w.Page().RawModel().index(22, 0).data().toString(),
                 QStringLiteral("00027[x001B]"));

        // Esc stops the read after the record it waits for; what came is shown.
        w.Sim.setFaults({});
        QVERIFY(w.ClearLog());
        EscAfter(w.Sim, w.Form->Engine(), 5);
        w.Trigger("ReadPageAction");
        // The record whose answer the Esc dropped has no row.
        QVERIFY(w.Line->Quiet());
        const int sent = Sent(w.Sim).size() - 1;
        QVERIFY(sent >= 4 && sent < 30);
        QVERIFY(w.Rows() == sent || w.Rows() == sent - 1);
        QCOMPARE(w.Cell(0, 0), HistoryReading::RecordLabel(w.Rows() - 1));
        QVERIFY(w.ClearLog());

        // The edits take hex digits, "$" and Backspace only.
        auto *from = w.Child<QLineEdit>("FromEdit");
        auto *to = w.Child<QLineEdit>("ToEdit");
        w.ChooseRange(QString(), QString());
        QVERIFY(from->isEnabled() && to->isEnabled());
        QTest::keyClicks(from, QStringLiteral("$1x0-"));
        QTest::keyClicks(to, QStringLiteral("$12"));
        QCOMPARE(from->text(), QStringLiteral("$10"));

        w.Trigger("ReadPageAction");
        QCOMPARE(Sent(w.Sim), QStringList({"+point", "+read0010", "+read0011", "+read0012"}));
        QCOMPARE(w.Rows(), 3);
        QCOMPARE(w.Cell(0, 0), QStringLiteral("00018[x0012]"));

        // To = From - 1: only the count is asked for and the grid empties.
        QVERIFY(w.ClearLog());
        w.ChooseRange(QStringLiteral("5"), QStringLiteral("4"));
        w.Trigger("ReadPageAction");
        QCOMPARE(Sent(w.Sim), QStringList{"+point"});
        QCOMPARE(w.Rows(), 0);

        // Below that nothing can be read: both edits turn red, nothing is sent, no error box.
        w.ChooseRange(QStringLiteral("5"), QStringLiteral("3"));
        QVERIFY(w.ClearLog());
        w.Trigger("ReadPageAction");
        QVERIFY(Sent(w.Sim).isEmpty());
        QVERIFY(TextColor(from) == TPageFrame::ResultColors[1] &&
                TextColor(to) == TPageFrame::ResultColors[1]);
        to->setText(QStringLiteral("6"));
        QVERIFY(TextColor(from) != TPageFrame::ResultColors[1]);

        // A From that is not a number ends the read before anything is sent.
        w.ChooseRange(QStringLiteral("$"), QStringLiteral("4"));
        w.Messages.clear();
        w.Trigger("ReadPageAction");
        QVERIFY(Sent(w.Sim).isEmpty());
        QCOMPARE(w.Messages.size(), 1);
        QCOMPARE(w.Form->Engine().State, uint8_t(StateConnected));
    }

    void layoutFollowsTheUnitAndWidthsSurviveARestart()
    {
        Store(QStringLiteral("VERINFO/ver"), QStringLiteral("1.0.0.0")); // no version wipe
        Store(QStringLiteral("History/GRID1/Col2"), QStringLiteral("wide"));
        Store(QStringLiteral("History/GRID1/Col3"), 2);
        {
            Window w;
            THistoryFrame &page = w.Page();
            QHeaderView *header = page.HistoryGrid()->horizontalHeader();
            // At start layout 1; a stored width that is not a number sizes from the title.
            QCOMPARE(page.Layout(), 1);
            QVERIFY(header->sectionSize(2) > 20);
            QVERIFY(header->sectionSize(0) > header->fontMetrics().horizontalAdvance("00000[x"));

            QVERIFY(w.Connect(505, 7, 3));
            QCOMPARE(page.Layout(), 2);
            header->resizeSection(9, 150);
            // A read keeps the widths.
            w.Trigger("ReadPageAction");
            QCOMPARE(w.Rows(), 3);
            QCOMPARE(header->sectionSize(9), 150);
            // A type the page has no layout for keeps the one shown, and its rows.
            page.SetDeviceModel(506, 3);
            QVERIFY(page.Layout() == 2 && w.Rows() == 3);
            QCOMPARE(header->sectionSize(9), 150);

            // A 504 below firmware 36 connected next gets its own layout and records.
            w.Trigger("DisconnectAction");
            QVERIFY(QTest::qWaitFor([&] { return w.Form->Engine().Device.isNull(); }, 5000));
            w.Sim.stop();
            QVERIFY(w.Connect(504, 20, 2));
            QCOMPARE(w.Form->Engine().Identity.DeviceType, 504);
            QCOMPARE(page.Layout(), 1);
            w.Trigger("ReadPageAction");
            QCOMPARE(w.Rows(), 2);
            QCOMPARE(page.GridModel().columnCount(), 31);
        }
        QCOMPARE(Stored(QStringLiteral("History/GRID2/Col9")), QStringLiteral("150"));
        QCOMPARE(Stored(QStringLiteral("History/GRID1/Col3")), QStringLiteral("5"));
        QCOMPARE(Stored(QStringLiteral("History/GRID4/Col255")), QStringLiteral("-1"));

        Window again;
        again.Page().SetDeviceModel(505, 7);
        QCOMPARE(again.Page().HistoryGrid()->horizontalHeader()->sectionSize(9), 150);

        // Filling skips bad records; the coordinate switch.
        THistoryFrame &page = again.Page();
        page.SetDeviceModel(505, 17);

        TPageData v(4, 3, QVariant());
        v(1, 1) = 2;
        v(2, 1) = Record();
        v(3, 1) = Record("G000"); // not hex outside the names
        v(4, 1) = Record("0001");
        for (int r = 2; r <= 4; ++r)
            v(r, 3) = QStringLiteral("label%1").arg(r);
        page.SetPageData(v);
        QCOMPARE(page.GridModel().rowCount(), 2);
        QCOMPARE(page.GridModel().index(1, 0).data().toString(), QStringLiteral("label2"));
        QCOMPARE(page.RawModel().rowCount(), 3);

        // Degrees after a read whatever the box shows; unticked it shows the raw fields.
        auto *box = page.findChild<QCheckBox *>(QStringLiteral("CoodrSystemCheck"));
        QVERIFY(!box->isChecked());
        const QModelIndex latitude = page.GridModel().index(0, 2);
        QCOMPARE(latitude.data().toString(), QStringLiteral("55°45'07.41\"N"));
        box->setChecked(true);
        QCOMPARE(latitude.data().toString(), QStringLiteral("55°45'07.41\"N"));
        box->setChecked(false);
        QCOMPARE(latitude.data().toString(), QStringLiteral("210D2FD9"));

        // Clearing the grid keeps the raw view; a unit the page has no rows for leaves the page
        // as it is.
        page.ClearGrid();
        QCOMPARE(page.GridModel().rowCount(), 0);
        page.SetDeviceModel(505, 1000);
        page.SetPageData(TPageData(1, 3, 0));
        QCOMPARE(page.RawModel().rowCount(), 3);
        QCOMPARE(page.InfoBar()->currentMessage(), QStringLiteral("Всего записей 00002[x0002]"));
    }
};

QTEST_MAIN(TestHistoryPage)
#include "tst_historypage.moc"
