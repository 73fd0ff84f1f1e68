// The CAN page against the simulated unit on a real pseudo-terminal: the rows each device model
// reads and writes, the user parameters, the vehicle's car id and event mask, the live values,
// auto-refresh and the page's own handlers.

#include "CaridFixture.h"
#include "KeyPagesWindow.h"
#include "PageRig.h"
#include "TestConfigDir.h"
#include "can/UnitCANFrame.h"
#include "main/ExecCommandService.h"
#include "main/Main.h"
#include "pages/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QtTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

// The transfer rig with the single-command service, and the CAN page current in a window of
// its own.
struct Rig : TransferRig
{
    std::unique_ptr<CaridFixture> Carid;
    TExecCommandService Service{Engine};
    QWidget Window;
    TCANFrame *Page = new TCANFrame(&Window);

    // `database`: the file in tests/data the vehicle database is opened from; none when empty.
    explicit Rig(const QString &database = {})
    {
        if (!database.isEmpty()) {
            Carid = std::make_unique<CaridFixture>(database);
            Dm = Carid->dm.get();
        }
        Page->Init(QStringLiteral("W9CAN"));
        Page->RemoveStandartSetSheet();
        Page->Window.DeviceModel = [this] {
            return std::pair(Engine.Identity.DeviceType, Engine.Identity.DeviceVersion);
        };
        Transfer.Hooks.CurrentFrame = [this] { return Page; };
        Page->Window.CommandTarget = &Service;
    }
    ~Rig() { Dm = nullptr; }

    // Connects to a unit that then counts as `type` with firmware `version`.
    bool Connect(int type, int version)
    {
        if (!TransferRig::Connect())
            return false;
        SetModel(type, version);
        return true;
    }
    void SetModel(int type, int version)
    {
        Engine.Identity.DeviceType = type;
        Engine.Identity.DeviceVersion = version;
        Sim.clearLog();
    }

    template <typename T> T *Child(const QString &name) { return Page->findChild<T *>(name); }
    QLineEdit *Id(int n) { return Child<QLineEdit>(QStringLiteral("Par%1IndexEdit").arg(n)); }
    QComboBox *Shift(int n) { return Child<QComboBox>(QStringLiteral("Par%1Shift").arg(n)); }
    QCheckBox *Box(int n) { return Child<QCheckBox>(QStringLiteral("c%1").arg(n)); }
    QString Text(const char *label) { return Child<QLabel>(QString::fromLatin1(label))->text(); }
    TRadioGroup *Format() { return Child<TRadioGroup>(QStringLiteral("CANFormatGroup")); }
    QColor Colour(const char *name = "CANFormatGroup")
    {
        return TPageFrame::LabelColor(Child<QWidget>(QString::fromLatin1(name)));
    }
};

} // namespace

class TestCANFrame : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:

    // Which rows each device model reads and writes; a model outside every set, and a vehicle
    // write without a database, send nothing and show red.
    void rowSetsUserParametersAndAutoRefresh()
    {
        Rig rig;
        QVERIFY(rig.Connect(504, 41));
        const QStringList vehicleReads = {"+carid", "+zacc", "+cancur"};
        const struct
        {
            int type, version;
            QStringList reads;
        } models[] = {{504, 41, {"+canuser"}}, {505, 16, {"+carid"}},    {505, 17, {}},
                      {505, 18, vehicleReads}, {505, 999, vehicleReads}, {505, 1000, {}}};
        for (const auto &m : models) {
            rig.SetModel(m.type, m.version);
            rig.Transfer.ReadPageActionExecute();
            QCOMPARE(Sent(rig.Sim), m.reads);
        }
        QCOMPARE(rig.Child<QComboBox>(QStringLiteral("ProdDBL"))->count(), 0);
        for (const int version : {17, 18}) {
            rig.SetModel(505, version);
            rig.Page->SetResultColor(0);
            rig.Transfer.WritePageActionExecute();
            QVERIFY(Sent(rig.Sim).isEmpty());
            QCOMPARE(rig.Colour(), Red);
        }

        // The 24-digit user parameter value both ways; a value the page cannot decode and an
        // identifier that does not fit are failures that lose nothing.
        rig.SetModel(504, 41);
        rig.Sim.setSetting(QStringLiteral("canuser"), "000100490064006500000000");
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.Format()->ItemIndex(), 1);
        QVERIFY(!rig.Child<QWidget>(QStringLiteral("Panel2"))->isHidden());
        QStringList read;
        for (int n = 1; n <= 3; ++n)
            read << rig.Id(n)->text() + QLatin1Char('>') +
                        QString::number(rig.Shift(n)->currentIndex());
        QCOMPARE(read, (QStringList{"100>1", "101>1", "0>1"}));
        QCOMPARE(rig.Colour("Panel1"), Green);

        for (const QByteArray &bad :
             {QByteArray("12345"), QByteArray("0001004900640065000000XY")}) {
            rig.Sim.setSetting(QStringLiteral("canuser"), bad);
            rig.Transfer.ReadPageActionExecute();
            QCOMPARE(rig.Colour(), Red);
            QCOMPARE(rig.Id(2)->text(), QStringLiteral("101"));
        }

        rig.Format()->SetItemIndex(0);
        for (int n = 1; n <= 3; ++n)
            rig.Shift(n)->setCurrentIndex(0);
        rig.Sim.clearLog();
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(rig.Sim), QStringList{"+canuser000000000064006500000000"});
        QCOMPARE(rig.Colour(), Green);

        // A refused identifier is the one label shown red.
        for (const QString &bad : {QStringLiteral("65536"), QString(), QStringLiteral("1 2")}) {
            rig.Sim.clearLog();
            rig.Id(3)->setText(bad);
            rig.Transfer.WritePageActionExecute();
            QVERIFY(Sent(rig.Sim).isEmpty());
            QCOMPARE(rig.Colour("Par3IndexLabel"), Red);
            for (const char *other : {"Par1IndexLabel", "Par4IndexLabel", "Par2ShiftLabel"})
                QVERIFY(rig.Colour(other) != Red);
            QVERIFY(rig.Colour() != Red);
        }
        rig.Id(3)->setText(QStringLiteral("65535"));
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(rig.Sim).last(), QStringLiteral("+canuser0000000000640065FFFF0000"));

        // Auto-refresh through the single-command service: live values arrive, also between the
        // rows of a page read; on a unit slower than the period requests never pile up and an
        // unanswered request changes nothing.
        rig.SetModel(505, 18);
        rig.Window.show();
        auto *box = rig.Child<QCheckBox>(QStringLiteral("CheckBox1"));
        rig.Child<QComboBox>(QStringLiteral("ComboBox2"))->setCurrentIndex(0);
        box->setChecked(true);
        QVERIFY(QTest::qWaitFor([&] { return rig.Text("Label36") != QStringLiteral("н/д"); }));

        rig.Sim.setLatency(150); // half the time-out: answered in time
        rig.Sim.clearLog();
        rig.Transfer.ReadPageActionExecute();
        QVERIFY(WaitForSent(rig.Sim, QStringLiteral("+cancur"), 5000));
        const QStringList sent = Sent(rig.Sim);
        QVERIFY(sent.indexOf(QStringLiteral("+carid")) < sent.indexOf(QStringLiteral("+zacc")));
        QVERIFY(QTest::qWaitFor([&] { return Sent(rig.Sim).size() > sent.size(); }));

        box->setChecked(false);
        QVERIFY(QTest::qWaitFor(
            [&] { return !rig.Engine.IsPending() && rig.Service.WaitingCount() == 0; }));
        TAnswerCatcher last; // answered after every request before it
        PostExecCommand(&rig.Service, 105, &last);
        QVERIFY(QTest::qWaitFor([&] { return !last.Answers.isEmpty(); }));
        rig.Sim.setSilent(true);
        const QString shown = rig.Text("Label36");
        box->setChecked(true);
        int ticks = 0, mostWaiting = 0;
        QObject::connect(&rig.Page->Timer, &QTimer::timeout, &rig.Service, [&] {
            ++ticks;
            mostWaiting = std::max(mostWaiting, rig.Service.WaitingCount());
        });
        rig.Page->Timer.setInterval(1);
        QVERIFY(QTest::qWaitFor([&] { return ticks >= 100; }));
        QCOMPARE(mostWaiting, 1);
        box->setChecked(false);
        QVERIFY(QTest::qWaitFor([&] { return !rig.Engine.IsPending(); }));
        QCOMPARE(rig.Text("Label36"), shown);
    }

    // A type 505 unit's vehicle: a read locates the car and ticks the boxes of the unit's mask;
    // the write sends the chosen year's car id, the mask and the bare "+zrec". Only rows the
    // unit answered are applied, and only a write the unit confirmed in full shows green.
    void vehicleAgainstTheDatabase()
    {
        {
            // Maker 1 stored first is current before the page starts: its year's mask still
            // decides which events can be chosen.
            Rig large(QStringLiteral("carid-large.mdb"));
            QCOMPARE(Dm->CurrentRow(TDm::ProdList), 0);
            const int mask = Dm->CarMask().value();
            QVERIFY(mask != 0xFFFFFF);
            for (int bit = 0; bit < 24; ++bit)
                QCOMPARE(large.Box(23 - bit)->isEnabled(), bool(mask >> bit & 1));
        }
        Rig rig(QStringLiteral("carid.mdb"));
        QVERIFY(rig.Connect(505, 18));
        rig.Sim.setSetting(QStringLiteral("carid"), "001F");
        rig.Sim.setSetting(QStringLiteral("zacc"), "800001");
        rig.Transfer.ReadPageActionExecute();
        QVERIFY(rig.Child<QComboBox>(QStringLiteral("ProdDBL"))->currentText().startsWith("МАЗ"));
        QCOMPARE(rig.Child<QComboBox>(QStringLiteral("ModelDBL"))->currentText(), "5440");
        QVERIFY(rig.Box(0)->isChecked() && rig.Box(23)->isChecked() && !rig.Box(5)->isChecked());
        QVERIFY(rig.Box(1)->isEnabled() && !rig.Box(0)->isEnabled()); // mask 0x5A5A5A
        QCOMPARE(rig.Colour("CarGroup"), Green);
        QVERIFY(rig.Text("Label36") != QStringLiteral("н/д"));

        // A car id the database does not hold: the vehicle shown is not the unit's.
        rig.Sim.setSetting(QStringLiteral("carid"), "FFFE");
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.Colour("CarGroup"), Red);
        QCOMPARE(rig.Child<QComboBox>(QStringLiteral("ModelDBL"))->currentText(), "5440");
        auto *models = rig.Child<QComboBox>(QStringLiteral("ModelDBL"));
        emit models->activated(models->currentIndex()); // the user takes the vehicle shown
        QVERIFY(rig.Colour("CarGroup") != Red);
        rig.Sim.setSetting(QStringLiteral("carid"), "001F");

        rig.Sim.clearLog();
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(rig.Sim), (QStringList{"+carid001F", "+zacc800001", "+zrec"}));
        QCOMPARE(rig.Colour(), Green);
        rig.NeverAnswer({"+zacc"});
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(rig.Colour(), Red);

        Dm->LocateCar(11);
        rig.NeverAnswer({"+carid", "+zacc"});
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.Child<QComboBox>(QStringLiteral("YearDBL"))->currentText(), "2013-2018");
        QVERIFY(rig.Box(0)->isChecked() && rig.Box(23)->isChecked());
        QCOMPARE(rig.Colour("CarGroup"), Red);

        // The car id went unread, so the vehicle shown is not known to be the unit's: it is
        // written once the user takes it.
        rig.NeverAnswer({});
        rig.SetModel(505, 16);
        rig.Transfer.WritePageActionExecute();
        QVERIFY(Sent(rig.Sim).isEmpty());
        auto *years = rig.Child<QComboBox>(QStringLiteral("YearDBL"));
        emit years->activated(years->currentIndex());
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(rig.Sim), QStringList{"+carid000B"});
    }

    // "+carid" carries only a vehicle that a read located or the user chose. A unit whose car id
    // the database lacks, or whose car id read went unanswered, keeps its own when the page is
    // written, and when every page is written without the CAN page ever shown.
    void unitKeepsACarIdNobodyChose()
    {
        const QByteArray unknown = "0102";
        const auto carIds = [](const QStringList &sent) {
            return sent.filter(QRegularExpression(QStringLiteral("^\\+carid.")));
        };
        {
            Rig rig(QStringLiteral("carid.mdb"));
            QSqlQuery held(Dm->Connection());
            QVERIFY(held.exec(QStringLiteral("SELECT count(*) FROM Years WHERE carid = 258")));
            QVERIFY(held.next() && held.value(0).toInt() == 0);
            auto *makers = rig.Child<QComboBox>(QStringLiteral("ProdDBL"));
            const QString preselected = makers->currentText();
            QVERIFY(rig.Connect(505, 18));
            for (const QStringList &unanswered : {QStringList(), QStringList{"+carid"}}) {
                rig.Sim.setSetting(QStringLiteral("carid"), unknown);
                rig.Sim.setSetting(QStringLiteral("zacc"), "800001");
                rig.NeverAnswer(unanswered);
                rig.Transfer.ReadPageActionExecute();
                QCOMPARE(rig.Colour("CarGroup"), Red);
                QCOMPARE(makers->currentText(), preselected);
                rig.NeverAnswer({});
                rig.Sim.clearLog();
                rig.Transfer.WritePageActionExecute();
                QCOMPARE(Sent(rig.Sim), (QStringList{"+zacc800001", "+zrec"}));
                QCOMPARE(rig.Sim.setting(QStringLiteral("carid")), unknown);
                QCOMPARE(rig.Colour("CarGroup"), Red);
            }

            // The user's choice after such a read is written; so is a choice after a read that
            // located the unit's vehicle.
            const int kamaz = makers->currentIndex();
            emit makers->activated(kamaz);
            rig.Sim.clearLog();
            rig.Transfer.WritePageActionExecute();
            QCOMPARE(carIds(Sent(rig.Sim)), QStringList{"+carid000B"});
            QCOMPARE(rig.Colour("CarGroup"), Green);
            rig.Sim.setSetting(QStringLiteral("carid"), "001F");
            rig.Transfer.ReadPageActionExecute();
            QVERIFY(makers->currentIndex() != kamaz);
            rig.Sim.clearLog();
            rig.Transfer.WritePageActionExecute();
            QCOMPARE(carIds(Sent(rig.Sim)), QStringList{"+carid001F"});
            emit makers->activated(kamaz);
            rig.Transfer.WritePageActionExecute();
            QCOMPARE(carIds(Sent(rig.Sim)), (QStringList{"+carid001F", "+carid000B"}));

            // A unit below firmware 17: its car id is read but never looked up.
            rig.SetModel(505, 16);
            rig.Sim.setSetting(QStringLiteral("carid"), unknown);
            rig.Transfer.ReadPageActionExecute();
            rig.Sim.clearLog();
            rig.Transfer.WritePageActionExecute();
            QVERIFY(Sent(rig.Sim).isEmpty());
            QCOMPARE(rig.Sim.setting(QStringLiteral("carid")), unknown);
        }

        const CaridFixture carid;
        Dm = carid.dm.get();
        const auto noDm = qScopeGuard([] { Dm = nullptr; });
        KeyPagesWindow window(0);
        QVERIFY(window.Connect(CableUnit(505, 30)));
        for (const QStringList &unanswered : {QStringList(), QStringList{"+carid"}}) {
            window.Sim.setSetting(QStringLiteral("carid"), unknown);
            NeverAnswer(window.Sim, unanswered);
            FindAction(*window.Form, "ReadAllPagesAction")->trigger();
            NeverAnswer(window.Sim, {});
            window.Form->ShowPage(0);
            window.Sim.clearLog();
            FindAction(*window.Form, "WriteAllPagesAction")->trigger();
            QVERIFY(Sent(window.Sim).contains(QStringLiteral("+zrec")));
            QCOMPARE(carIds(Sent(window.Sim)), QStringList());
            QCOMPARE(window.Sim.setting(QStringLiteral("carid")), unknown);
        }
    }

    // The events page's sensor boxes claim user parameters 1 and 2 and the second format, and
    // its CAN ignition option ticks and locks the ignition box; a vehicle whose mask lacks the
    // ignition event takes the option away and leaves the box disabled.
    void couplingWithTheEventsPage()
    {
        CaridFixture carid;
        Dm = carid.dm.get();
        TMainForm form(QStringLiteral("1.0.0.0"));
        form.Engine().Identity.DeviceVersion = 700;
        const auto find = [&form](int tag, const char *name) {
            return form.Frames[tag]->findChild<QWidget *>(QString::fromLatin1(name));
        };
        const auto check = [&](const char *name, bool on) {
            static_cast<QCheckBox *>(find(3, name))->setChecked(on);
        };
        const auto id = [&](const char *name) { return static_cast<QLineEdit *>(find(5, name)); };
        auto *ignition = static_cast<QCheckBox *>(find(5, "c5"));
        auto *option = find(3, "CANCheckBox");

        check("CheckBox1", true);
        check("CheckBox3", true);
        QCOMPARE(id("Par1IndexEdit")->text(), QStringLiteral("65400"));
        QCOMPARE(id("Par2IndexEdit")->text(), QStringLiteral("65401"));
        QVERIFY(!id("Par1IndexEdit")->isEnabled() && !find(5, "Par2Shift")->isEnabled());
        QCOMPARE(static_cast<TRadioGroup *>(find(5, "CANFormatGroup"))->ItemIndex(), 1);
        check("CheckBox1", false);
        QCOMPARE(id("Par1IndexEdit")->text(), QStringLiteral("0"));

        check("CANCheckBox", true);
        Dm->LocateCar(15); // mask 0x000001: the ignition event is not supported
        QVERIFY(!option->isEnabled() && !static_cast<QCheckBox *>(option)->isChecked());
        QVERIFY(!ignition->isEnabled() && find(5, "c23")->isEnabled());
        Dm->LocateCar(12); // mask 0xFFFFFF
        QVERIFY(option->isEnabled() && ignition->isEnabled());

        // Locating the vehicle already shown applies its mask all the same: an option ticked
        // meanwhile (as a read of the events page does) goes where the vehicle lacks ignition.
        Dm->LocateCar(15);
        check("CANCheckBox", true);
        Dm->LocateCar(15);
        QVERIFY(!static_cast<QCheckBox *>(option)->isChecked());
        Dm = nullptr;
    }

    // A screen reader reads a vehicle list as a plain combo box: the names it shows and nothing
    // of the ids, car ids and masks behind them, also after the cascade filled it anew.
    void screenReaderReadsTheShownNames()
    {
        Rig rig(QStringLiteral("carid.mdb"));
        rig.Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.Window));
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        const auto inactive = qScopeGuard([] {
            QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
        });
        const auto read = [&rig](const char *name) {
            auto *box = rig.Child<QComboBox>(QString::fromLatin1(name));
            QAccessibleInterface *combo = QAccessible::queryAccessibleInterface(box);
            QStringList shown, heard;
            for (int row = 0; row < box->count(); ++row)
                shown << box->itemText(row);
            for (int child = 0; child < combo->childCount(); ++child) {
                QAccessibleInterface *list = combo->child(child);
                if (list->role() != QAccessible::List)
                    continue;
                for (int item = 0; item < list->childCount(); ++item)
                    heard << list->child(item)->text(QAccessible::Name);
            }
            return std::pair(shown, heard);
        };
        const auto [makers, makersHeard] = read("ProdDBL");
        QCOMPARE(makers.size(), 11);
        QCOMPARE(makersHeard, makers);
        auto *makerList = rig.Child<QComboBox>(QStringLiteral("ProdDBL"));
        emit makerList->activated(makers.indexOf(QRegularExpression(QStringLiteral("^МАЗ"))));
        for (const char *name : {"ModelDBL", "YearDBL"}) {
            const auto [shown, heard] = read(name);
            QVERIFY(!shown.isEmpty());
            QCOMPARE(heard, shown);
        }
    }

    // The page's own handlers: the stored identifiers and format come back at the next start
    // with the parameter panel following the format; identifier edits take digits and
    // Backspace only and typing puts the groups' colour back; the wheel steps the focused
    // vehicle list only; the period list sets the timer, and auto-refresh stops when the focus
    // leaves the page and when the page is hidden.
    void pageHandlers()
    {
        {
            TCANFrame stored;
            stored.Init(QStringLiteral("W9CAN"));
            stored.findChild<QLineEdit *>("Par4IndexEdit")->setText(QStringLiteral("4321"));
            stored.findChild<TRadioGroup *>("CANFormatGroup")->SetItemIndex(1);
            stored.SaveUISettings();
        }
        QWidget window;
        auto *page = new TCANFrame(&window);
        auto *outside = new QLineEdit(&window);
        page->Init(QStringLiteral("W9CAN"));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(page->findChild<QLineEdit *>("Par4IndexEdit")->text(), QStringLiteral("4321"));
        QVERIFY(!page->findChild<QWidget *>("Panel2")->isHidden());

        auto *edit = page->findChild<QLineEdit *>("Par2IndexEdit");
        edit->clear();
        page->SetResultColor(1);
        QTest::keyClicks(edit, "1a2-3");
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("12"));
        QCOMPARE(TPageFrame::LabelColor(page->findChild<QWidget *>("Panel1")),
                 TPageFrame::LabelColor(&window));

        auto *model = page->findChild<QComboBox *>("ModelDBL");
        model->addItems({"A", "B", "C"});
        const auto wheel = [page](int delta) {
            QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(page, &event);
        };
        wheel(-120);
        QCOMPARE(model->currentIndex(), 0);
        page->findChild<QTabWidget *>("PageControl1")->setCurrentIndex(2);
        model->setFocus();
        wheel(-120);
        QCOMPARE(model->currentIndex(), 1);

        // The 64-character live text with its decimal tail, and the status bytes shown only for
        // the events the vehicle supports.
        const auto text = [page](const char *label) {
            return page->findChild<QLabel *>(QString::fromLatin1(label))->text();
        };
        page->ShowLiveData(QStringList{"0123", "32", "0005", "0BB8", "00000064", "00001388", "0000",
                                       "5A", "00", "0028", "000001F4", "03", "10", "24", "00001000"}
                               .join(QString()));
        const char *labels[] = {"Label33", "Label31", "Label39", "Label36", "Label43",
                                "Label42", "Label37", "Label30", "Label32"};
        QStringList shown;
        for (const char *label : labels)
            shown << text(label);
        QCOMPARE(shown, (QStringList{"1000", "50", "5", "3000", "100", "5000", "90", "40", "500"}));
        QCOMPARE(TPageFrame::LabelColor(page->findChild<QLabel *>("Label31")), Green);

        page->findChild<QCheckBox *>("c22")->setEnabled(false);
        page->ShowBodyStatus(0x03);
        QCOMPARE(text("lb0"), QStringLiteral("Открыта"));
        QCOMPARE(TPageFrame::LabelColor(page->findChild<QLabel *>("lb0")), Red);
        QCOMPARE(text("lb1"), QStringLiteral("н/д"));
        QCOMPARE(text("lb2"), QStringLiteral("Закрыта"));

        // A short text shows what it holds and 0 for the rest.
        page->ShowLiveData(QStringLiteral("0010"));
        QCOMPARE(text("Label33"), QStringLiteral("16"));
        QCOMPARE(text("Label32"), QStringLiteral("0"));

        auto *box = page->findChild<QCheckBox *>("CheckBox1");
        auto *period = page->findChild<QComboBox *>("ComboBox2");
        period->setCurrentIndex(3);
        QCOMPARE(page->Timer.interval(), 3000);
        box->setChecked(true);
        QVERIFY(page->Timer.isActive());
        // A drop-down of the page takes the focus into its own list: that is not leaving.
        period->setFocus();
        period->showPopup();
        QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
        QVERIFY(QApplication::focusWidget() != period);
        QVERIFY(box->isChecked() && page->Timer.isActive());
        period->hidePopup();
        QVERIFY(box->isChecked() && page->Timer.isActive());
        outside->setFocus();
        QVERIFY(!box->isChecked() && !page->Timer.isActive());
        box->setChecked(true);
        page->hide();
        QVERIFY(!box->isChecked() && !page->Timer.isActive());
    }
};

QTEST_MAIN(TestCANFrame)
#include "tst_canframe.moc"
