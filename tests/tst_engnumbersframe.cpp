// The engineering-numbers page in the main window against the simulated unit.

#include "KeyPagesWindow.h"
#include "TestConfigDir.h"
#include "pages/UnitEngNumbersFrame.h"
#include "pages/ValueListEditor.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

const QString WrongMode =
    QStringLiteral("Ключи TM можно активировать только во 2 или 3 режимах работы.");

} // namespace

class TestEngNumbersFrame : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void readShowsTheUnitsRowsByTypeAndFirmware()
    {
        KeyPagesWindow w(TEngNumbersFrame::PageTag);
        QVERIFY(w.Connect());
        w.Sim.setSetting(QStringLiteral("disp"), "07");
        w.Sim.setSetting(QStringLiteral("ing3"), "+79005556677");
        w.Sim.setSetting(QStringLiteral("touchon"), "00");
        w.Sim.setSetting(QStringLiteral("idtm"), "00");
        w.Sim.setKey(1, "0102030405060708");
        w.Read();
        QVERIFY(w.ServiceDone()); // the box the read ticked asked nothing of the unit
        QCOMPARE(Sent(w.Sim), EngNumbersReads + QStringList{"+disp"});
        QVERIFY(w.Child<QRadioButton>("DispLinkOnTime")->isChecked());
        QVERIFY(w.Child<QWidget>("Panel2")->isVisible());
        QCOMPARE(w.Child<QLineEdit>("DispLinkTimeEdit")->text(), QStringLiteral("7"));
        QCOMPARE(w.Cell("EngNumbers", 4), QStringLiteral("+79005556677"));
        QVERIFY(w.Child<QCheckBox>("TMemCheckBox")->isChecked());
        QVERIFY(w.Child<QCheckBox>("SaveKeyToHistory")->isChecked());
        QCOMPARE(w.Cell("TMemKeys", 2), QStringLiteral("0102030405060708"));

        for (const auto &[raw, radio] : {std::pair{"00", "DispLinkOn"}, {"FF", "DispLinkOff"}}) {
            w.Sim.setSetting(QStringLiteral("disp"), raw);
            w.Read();
            QVERIFY(w.Child<QRadioButton>(radio)->isChecked());
            QVERIFY(!w.Child<QWidget>("Panel2")->isVisible());
        }

        KeyPagesWindow old(TEngNumbersFrame::PageTag);
        QVERIFY(old.Connect(CableUnit(504, 40)));
        old.Read();
        QCOMPARE(Sent(old.Sim), EngNumbersReads.mid(0, 18));
        old.Sim.clearLog();
        old.Write();
        QVERIFY(!Sent(old.Sim).join(' ').contains(QStringLiteral("idtm")));
    }

    // A number or key the unit's code page (Windows-1251) cannot carry would reach the unit with
    // "?" in it, one with a control character would end its command early (the rest going out as
    // a command of its own) or reach the unit raw: its key name turns red and nothing of the page
    // is sent. A key is not sent while the keys are off, so then it stops nothing; a changed
    // value puts its key name back.
    void numbersAndKeysOutsideTheUnitsCodePageStopTheWrite()
    {
        KeyPagesWindow w(TEngNumbersFrame::PageTag);
        QVERIFY(w.Connect());
        auto *numbers = w.Child<QTableWidget>("EngNumbers");
        auto *keys = w.Child<QTableWidget>("TMemKeys");
        w.Child<QCheckBox>("TMemCheckBox")->setChecked(true);
        QVERIFY(w.ServiceDone()); // the unit's mode (1) keeps the box
        w.SetCell("EngNumbers", 2, QStringLiteral("+7900✓"));
        w.SetCell("EngNumbers", 9, QStringLiteral("+7900\r+object0001"));
        w.SetCell("TMemKeys", 4, QStringLiteral("A5ß5"));
        w.SetCell("TMemKeys", 5, QStringLiteral("A5A5\tA5A5"));
        w.Sim.clearLog();
        w.Write();
        QCOMPARE(Sent(w.Sim), QStringList());
        for (const auto &[list, row] : {std::pair{numbers, 2}, {numbers, 9}, {keys, 4}, {keys, 5}})
            QCOMPARE(ValueListEditor::RowMark(*list, row), TPageFrame::ResultColors[1]);
        QVERIFY(!ValueListEditor::RowMark(*numbers, 1).isValid());

        w.Child<QCheckBox>("TMemCheckBox")->setChecked(false);
        w.SetCell("EngNumbers", 2, QStringLiteral("+7900"));
        w.SetCell("EngNumbers", 9, QStringLiteral("+79001"));
        QVERIFY(!ValueListEditor::RowMark(*numbers, 2).isValid());
        w.Write();
        QVERIFY(Sent(w.Sim).contains(QStringLiteral("+ing1+7900")));
        QVERIFY(Sent(w.Sim).contains(QStringLiteral("+ing8+79001")));
        QVERIFY(Sent(w.Sim).filter(QStringLiteral("object")).isEmpty());
        QVERIFY(Sent(w.Sim).filter(QStringLiteral("+keysafe")).isEmpty());
    }

    // Dispatcher minutes out of range stop the write; then the rows go as the unit keeps them;
    // the keys box asks for the unit's mode.
    void writeSendsTheRowsAsTheUnitKeepsThemAndTheKeysBoxAsksForTheMode()
    {
        KeyPagesWindow w(TEngNumbersFrame::PageTag);
        QVERIFY(w.Connect());
        w.Child<QRadioButton>("DispLinkOnTime")->setChecked(true);
        auto *label = w.Child<QLabel>("DispLinkTimeLabel");
        for (const char *minutes : {"0", "255", "300", ""}) {
            w.Child<QLineEdit>("DispLinkTimeEdit")->setText(QLatin1String(minutes));
            w.Write();
            QVERIFY2(Sent(w.Sim).isEmpty(), minutes);
            QCOMPARE(TPageFrame::LabelColor(label), TPageFrame::ResultColors[1]);
        }
        w.Child<QLineEdit>("DispLinkTimeEdit")->setText(QStringLiteral("10"));
        w.SetCell("EngNumbers", 4, QStringLiteral("  "));
        w.Child<QCheckBox>("TMemCheckBox")->setChecked(true);
        QVERIFY(w.ServiceDone()); // the unit's mode (1) keeps the box
        QVERIFY(w.Child<QCheckBox>("TMemCheckBox")->isChecked());
        w.SetCell("TMemKeys", 1, QStringLiteral("12$4"));
        w.SetCell("TMemKeys", 3, QString());
        w.Sim.clearLog();
        w.Write();
        const QStringList sent = Sent(w.Sim);
        QCOMPARE(sent.size(), 19);
        for (const char *expected :
             {"+disp0A", "+ing3 ", "+touchon00", "+keysafe012$4", "+keysafe20000000000000000"})
            QVERIFY2(sent.contains(QLatin1String(expected)), expected);

        w.Child<QCheckBox>("TMemCheckBox")->setChecked(false);
        w.Sim.clearLog();
        w.Write();
        QCOMPARE(Sent(w.Sim).filter(QStringLiteral("+touchon")), QStringList{"+touchonFF"});
        QVERIFY(Sent(w.Sim).filter(QStringLiteral("+keysafe")).isEmpty());

        // Cells marked unread are neither sent nor stored.
        NeverAnswer(w.Sim, {QStringLiteral("+ing5")});
        w.Read();
        QCOMPARE(w.Cell("EngNumbers", 6), QStringLiteral("Read error"));
        w.Sim.setFaults({});
        w.Sim.clearLog();
        w.Write();
        QVERIFY(Sent(w.Sim).filter(QStringLiteral("+ing5")).isEmpty());
        QCOMPARE(Sent(w.Sim).filter(QStringLiteral("+ing")).size(), 9);
        w.Form->Frames[TEngNumbersFrame::PageTag]->SaveUISettings();
        QVERIFY(Stored(QStringLiteral("EngNumbersFrame/VEValues"))
                    .contains(QStringLiteral("Инж. номер 6=9876543210\r\n")));

        // The keys box asks for the unit's mode.
        w.Sim.clearLog();
        auto *box = w.Child<QCheckBox>("TMemCheckBox");
        const std::pair<const char *, bool> modes[] = {
            {"0001", true}, {"0102", true}, {"0003", false}, {"0100", false}};
        for (const auto &[flagren, keeps] : modes) {
            w.Sim.setSetting(QStringLiteral("flagren"), flagren);
            box->setChecked(true);
            QVERIFY(w.ServiceDone());
            QCOMPARE(box->isChecked(), keeps);
            QCOMPARE(w.Boxes.Texts, keeps ? QStringList() : QStringList{WrongMode});
            box->setChecked(false);
            w.Boxes.Texts.clear();
        }
        QCOMPARE(Sent(w.Sim).count(QStringLiteral("+flagren")), 4);

        // Without a connection no mode comes back: the box goes off again.
        FindAction(*w.Form, "DisconnectAction")->trigger();
        QVERIFY(QTest::qWaitFor([&] { return w.Form->Engine().Device.isNull(); }, 5000));
        box->setChecked(true);
        QVERIFY(w.ServiceDone());
        QVERIFY(!box->isChecked());
        QCOMPARE(w.Boxes.Texts, QStringList{WrongMode});
    }
};

QTEST_MAIN(TestEngNumbersFrame)
#include "tst_engnumbersframe.moc"
