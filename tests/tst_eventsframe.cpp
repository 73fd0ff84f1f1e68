// The events page in the real main window against the simulated unit, in the run's locale.

#include "KeyPagesWindow.h"
#include "TestConfigDir.h"
#include "main/Main.h"
#include "main/MainPageTransfer.h"
#include "pages/RadioGroup.h"
#include "pages/UnitEventsSettingsFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>

namespace {

const QColor Green = TPageFrame::ResultColors[0];
const QColor Red = TPageFrame::ResultColors[1];

// A decimal text in the run's locale: "0,5" under ru_RU, "0.5" under C.
QString Decimal(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1Char(','), QLocale::system().decimalPoint());
}

const QStringList EventReads = {
    "+zact",       "+zren",      "+flagact", "+flagren", "+feedtime", "+feedpause", "+init5regim",
    "+ident4time", "+bsettings", "+OUTS",    "+MFLAG",   "+freqsens", "+sensflow",  "+canignit"};

struct Window : KeyPagesWindow
{
    Window() : KeyPagesWindow(TEventsSettingsFrame::PageTag) {}

    TEventsSettingsFrame &Page() const
    {
        return *static_cast<TEventsSettingsFrame *>(Form->Frames[TEventsSettingsFrame::PageTag]);
    }
    template <typename T = QCheckBox> T *Get(const QString &name) const
    {
        auto *found = Page().findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QColor Colour(const QString &name) const { return TPageFrame::LabelColor(Get<QWidget>(name)); }
};

} // namespace

class TestEventsFrame : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    // Without stored values the page starts on its defaults (the pause in the locale's form);
    // what the user leaves is there after a restart, and a stored value that does not convert
    // gives its row's default.
    void storedValuesSurviveARestart()
    {
        {
            Window w;
            QCOMPARE(w.Get<QLineEdit>("PauseEdit")->text(), Decimal("0,5"));
            w.Get<QComboBox>("ModeCombo")->setCurrentIndex(4);
            w.Get<QLineEdit>("PauseEdit")->setText(Decimal("1,5"));
            w.Get("HisRestFlag7")->setChecked(true);
        }
        QCOMPARE(Stored("EventsSettingsFrame/defPause"), QStringLiteral("1#5"));
        Store("EventsSettingsFrame/defHisSetFlag2", "yes");
        Store("EventsSettingsFrame/defMode", "x");
        Store("EventsSettingsFrame/defInvers", "5");  // beyond the last item: the last
        Store("EventsSettingsFrame/defBlock1", "-3"); // below -1: none
        Window w;
        QVERIFY(w.Get<TRadioGroup>("InversGroup")->Button(1)->isChecked());
        QCOMPARE(w.Get<TRadioGroup>("Block1")->ItemIndex(), -1);
        QCOMPARE(w.Get<QComboBox>("ModeCombo")->currentIndex(), 0);
        QCOMPARE(w.Get<QLineEdit>("PauseEdit")->text(), Decimal("1,5"));
        QVERIFY(w.Get("HisRestFlag7")->isChecked());
        QVERIFY(!w.Get("HisSetFlag2")->isChecked());

        // The pause edit takes the locale's separator; a key colours the label back even when
        // dropped.
        auto *pause = w.Get<QLineEdit>("PauseEdit");
        auto *onTime = w.Get<QLineEdit>("OnTimeEdit");
        w.Get<QComboBox>("ModeCombo")->setCurrentIndex(3);
        w.Page().ModeComboChange();
        pause->clear();
        onTime->clear();
        TPageData refused;
        w.Page().GetPageData(refused);
        QVERIFY(!refused.IsAssigned());
        QCOMPARE(w.Colour("OnTimeLabel"), Red);
        QTest::keyClicks(pause, "1a.,5");
        QTest::keyClicks(onTime, "4,x2");
        QCOMPARE(pause->text(), Decimal("1,5"));
        QCOMPARE(onTime->text(), QStringLiteral("42"));
        QVERIFY(w.Colour("OnTimeLabel") != Red);
    }

    // 13 reads and 12 writes, 14 and 13 from type 505 firmware 18, with the values on the wire.
    void rowsOnTheWireByTypeAndFirmware()
    {
        for (const auto &[type, firmware] : {std::pair{505, 17}, {505, 18}}) {
            Window w;
            QVERIFY(w.Connect(CableUnit(type, firmware)));
            const bool canIgnition = firmware == 18;
            w.Read();
            QCOMPARE(Sent(w.Sim), EventReads.mid(0, canIgnition ? 14 : 13));
            w.Sim.clearLog();
            for (int box : {1, 3, 7})
                w.Get(QStringLiteral("HisSetFlag%1").arg(box))->setChecked(true);
            w.Get<QComboBox>("ModeCombo")->setCurrentIndex(3);
            w.Get("FlagRestFlag2")->setChecked(true);
            w.Get<QLineEdit>("PauseEdit")->setText(Decimal("0,5"));
            w.Get<QLineEdit>("PeriodEdit")->setText(QStringLiteral("30"));
            w.Get<TRadioGroup>("InversGroup")->SetItemIndex(1);
            for (const char *out : {"OUT1", "OUT2"})
                w.Get(out)->setChecked(true);
            w.Write();
            QStringList expected = {"+zact4A",         "+zren00",       "+flagact00",
                                    "+flagren0403",    "+feedtime1E",   "+feedpause05",
                                    "+init5regim1EFF", "+ident4time05", "+bsettingsFF",
                                    "+OUTS03",         "+freqsensFF",   "+sensflowFF"};
            if (canIgnition)
                expected << "+canignitFF";
            QCOMPARE(Sent(w.Sim), expected);
            QCOMPARE(w.Colour("PeriodLabel"), Green);
            QCOMPARE(w.Colour("FlagRestFlag2"), Green);
        }
    }

    // Reads set the controls and each mode's layout; a value with no meaning colours its row only;
    // the pause read goes back to the unit as it came. The flags grid shows the unit's word; the
    // two direct buttons send at once, and nothing without a connection.
    void readsApplyValuesAndModeLayoutsAndTheDirectButtons()
    {
        Window w;
        auto *grid = w.Get<QTableWidget>("FlagsGrid");
        const auto marks = [grid] {
            QString text;
            for (int row = 1; row <= 2; ++row)
                for (int column = 1; column <= 8; ++column)
                    text += grid->item(row, column)->text();
            return text;
        };
        w.Get<QPushButton>("ClearAll")->click();
        w.Get<QToolButton>("SpeedButton1")->click();
        QVERIFY(w.Form->Engine().Device.isNull());

        QVERIFY(w.Connect(CableUnit(505, 17)));
        w.Sim.setSetting("init5regim", "1E01");
        w.Sim.setSetting("feedpause", "07");
        w.Sim.setSetting("bsettings", "03");
        w.Get<TRadioGroup>("Block1")->SetItemIndex(2);
        for (int mode = 0; mode < 5; ++mode) {
            w.Sim.setSetting("flagren", QByteArray("010") + QByteArray::number(mode));
            w.Read();
            QCOMPARE(w.Get<QComboBox>("ModeCombo")->currentIndex(), mode);
            QCOMPARE(!w.Get<QWidget>("Ident4Box")->isHidden(), mode == 3);
            QCOMPARE(!w.Get<QWidget>("SensorBox")->isHidden(), mode >= 3);
            QCOMPARE(!w.Get<QWidget>("InversGroup")->isHidden(), mode == 4);
            QCOMPARE(!w.Get<QWidget>("Block1")->isHidden(), mode == 4);
            QCOMPARE(w.Get("FlagSetFlag4")->isEnabled(), mode != 3);
            QCOMPARE(w.Get<QWidget>("PeriodEdit")->isEnabled(), mode == 4);
            QCOMPARE(w.Get("FlagRestFlag1")->isEnabled(), mode == 0);
            QVERIFY(w.Get("FlagRestFlag4")->isChecked());
        }
        QCOMPARE(w.Get<QLineEdit>("PeriodEdit")->text(), QStringLiteral("30"));
        QCOMPARE(w.Get<TRadioGroup>("InversGroup")->ItemIndex(), 0);
        QCOMPARE(w.Get<QLineEdit>("PauseEdit")->text(), Decimal("0,7"));
        QCOMPARE(w.Get<TRadioGroup>("Block1")->ItemIndex(), 2);
        QCOMPARE(w.Colour("Block1"), Green);
        w.Sim.clearLog();
        w.Write();
        QVERIFY(Sent(w.Sim).contains("+feedpause07"));

        w.Sim.setFlagWord(0x4001);
        w.Read();
        w.Sim.clearLog();
        QCOMPARE(marks(), QStringLiteral("*     *         "));
        w.Get<QPushButton>("ClearAll")->click();
        QCOMPARE(marks().trimmed(), QString());
        w.Get("OUT2")->setChecked(true);
        w.Get<QToolButton>("SpeedButton1")->click();
        QVERIFY(WaitForSent(w.Sim, "+OUTS02", 2000));
        QCOMPARE(Sent(w.Sim), (QStringList{"+mflag", "+OUTS02"}));
        QCOMPARE(w.Sim.flagWord(), quint16(0));

        // On a slow line the answer to a direct command is not taken for the next reply.
        w.Sim.setLatency(100);
        w.Sim.setSetting("zact", "4A");
        w.Get<QPushButton>("ClearAll")->click();
        w.Read();
        QVERIFY(w.Get("HisSetFlag1")->isChecked() && w.Get("HisSetFlag7")->isChecked());
        QCOMPARE(w.Colour("HisSetFlag1"), Green);
    }

    // From firmware 500 a sensor box takes its input's flag boxes and a CAN user parameter (what
    // the CAN page shows for it is that page's test); the ignition box takes input 1's history
    // boxes and the CAN page's ignition event; a mode change leaves the ignition option as the
    // vehicle allows it.
    void sensorAndIgnitionBoxesDriveTheCANPage()
    {
        Window w;
        auto *par1 = qobject_cast<QLineEdit *>(w.Form->CANPageControl("Par1IndexEdit"));
        auto *format = qobject_cast<TRadioGroup *>(w.Form->CANPageControl("CANFormatGroup"));
        auto *c5 = qobject_cast<QCheckBox *>(w.Form->CANPageControl("c5"));
        QVERIFY(par1 && format && c5);
        const int formatBefore = format->ItemIndex();
        w.Form->Engine().Identity.DeviceVersion = 41;
        w.Get("HisSetFlag3")->setChecked(true);
        w.Get("CheckBox1")->setChecked(true);
        QVERIFY(w.Get("HisSetFlag3")->isChecked() && w.Get("HisSetFlag3")->isEnabled());
        QCOMPARE(format->ItemIndex(), formatBefore);
        w.Get("CheckBox1")->setChecked(false);

        w.Form->Engine().Identity.DeviceVersion = 700;
        w.Get("CheckBox1")->setChecked(true);
        w.Get("CheckBox2")->setChecked(true);
        for (const char *box : {"HisSetFlag3", "HisRestFlag3", "FlagSetFlag3", "FlagRestFlag6"})
            QVERIFY(!w.Get(box)->isChecked() && !w.Get(box)->isEnabled());
        w.Get("CheckBox1")->setChecked(false);
        QVERIFY(w.Get("FlagRestFlag3")->isEnabled() && !w.Get("FlagRestFlag3")->isChecked());
        QVERIFY(!par1->isEnabled()); // input 6 still holds parameter 1
        w.Get("CheckBox2")->setChecked(false);
        QVERIFY(par1->isEnabled());

        w.Get("CANCheckBox")->setChecked(true);
        for (QCheckBox *box : {w.Get("HisSetFlag1"), w.Get("HisRestFlag1"), c5})
            QVERIFY(box->isChecked() && !box->isEnabled());
        w.Get("CANCheckBox")->setChecked(false);
        for (QCheckBox *box : {w.Get("HisSetFlag1"), w.Get("HisRestFlag1"), c5})
            QVERIFY(box->isChecked() && box->isEnabled());
        w.Get("CANCheckBox")->setChecked(true);
        w.Page().SetCANIgnitionAllowed(false);
        w.Page().ModeComboChange();
        QVERIFY(!w.Page().CANIgnitionChecked() && !w.Get("CANCheckBox")->isEnabled());
        QVERIFY(c5->isEnabled());
    }

    // What is refused keeps the page back and shows why; rows that did not come change nothing.
    void refusedValuesAndMissingRows()
    {
        Window w;
        QVERIFY(w.Connect(CableUnit(505, 18)));
        for (const auto &[edit, text] : {std::pair<const char *, QString>{"OnTimeEdit", "300"},
                                         {"PauseEdit", Decimal("25,6")},
                                         {"PeriodEdit", "256"},
                                         {"IdentTimeEdit", ""}}) {
            const QString label = QString::fromLatin1(edit).replace("Edit", "Label");
            const QString before = w.Get<QLineEdit>(edit)->text();
            w.Get<QLineEdit>(edit)->setText(text);
            w.Write();
            QVERIFY(Sent(w.Sim).isEmpty());
            QCOMPARE(w.Colour(label), Red);
            w.Get<QLineEdit>(edit)->setText(before);
        }
        // So is an inversion group with no choice; a choice beyond the last is the last.
        auto *invers = w.Get<TRadioGroup>("InversGroup");
        invers->SetItemIndex(-1);
        w.Write();
        QVERIFY(Sent(w.Sim).isEmpty());
        QCOMPARE(w.Colour("InversGroup"), Red);
        QCOMPARE(w.Colour("PeriodLabel"), Red);
        invers->SetItemIndex(7);
        w.Write();
        QVERIFY(Sent(w.Sim).contains(QStringLiteral("+init5regim1EFF")));

        // A mode the list does not hold is not written back; the other rows are.
        w.Sim.setSetting("flagren", "0207");
        w.Read();
        QCOMPARE(w.Get<QComboBox>("ModeCombo")->currentIndex(), -1);
        w.Sim.clearLog();
        w.Write();
        QCOMPARE(Sent(w.Sim).size(), 12);
        QVERIFY(!Sent(w.Sim).join(' ').contains("+flagren"));
        QCOMPARE(w.Colour("FlagRestFlag2"), Red);
        QCOMPARE(w.Sim.setting("flagren"), QByteArray("0207"));

        // A flag word or ignition row that does not come leaves the grid and the box alone.
        w.Sim.setFlagWord(0x0003);
        w.Read();
        w.Sim.setFlagWord(0);
        auto faults = w.Sim.faults();
        faults.neverAnswer = QStringList{"+canignit"};
        faults.garble = QStringList{"+MFLAG"};
        w.Sim.setFaults(faults);
        w.Read();
        QVERIFY(!w.Get("CANCheckBox")->isChecked());
        QCOMPARE(w.Colour("CANCheckBox"), Red);
        QCOMPARE(w.Page().FlagStates(), quint16(0x0003));

        // A unit from firmware 500 reporting no sensors keeps the events it reports for their
        // inputs, and the CAN page's user parameters as they are.
        auto *par1 = qobject_cast<QLineEdit *>(w.Form->CANPageControl("Par1IndexEdit"));
        auto *par2 = qobject_cast<QLineEdit *>(w.Form->CANPageControl("Par2IndexEdit"));
        auto *format = qobject_cast<TRadioGroup *>(w.Form->CANPageControl("CANFormatGroup"));
        const auto canParams = [&] {
            return QStringList{par1->text(), par2->text(), QString::number(format->ItemIndex())};
        };
        par1->setText("190");
        par2->setText("91");
        format->SetItemIndex(0);
        w.Form->Engine().Identity.DeviceVersion = 700;
        w.Sim.setSetting("zact", "02");
        w.Read();
        QVERIFY(w.Get("HisSetFlag3")->isChecked() && w.Get("HisSetFlag3")->isEnabled());
        QCOMPARE(canParams(), (QStringList{"190", "91", "0"}));

        // A sensor the read finds claims its parameter once; reads that confirm it change
        // nothing the user set since.
        w.Sim.setSetting("freqsens", "00");
        w.Read();
        QCOMPARE(canParams(), (QStringList{"65400", "91", "1"}));
        format->SetItemIndex(0);
        w.Read();
        QCOMPARE(canParams(), (QStringList{"65400", "91", "0"}));
        w.Sim.setSetting("freqsens", "FF");
        w.Read();
        QCOMPARE(canParams(), (QStringList{"0", "91", "1"}));
    }
};

QTEST_MAIN(TestEventsFrame)
#include "tst_eventsframe.moc"
