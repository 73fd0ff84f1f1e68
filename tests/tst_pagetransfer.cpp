// Reading and writing pages against the simulated unit on a real pseudo-terminal: the four page
// actions, the walk over the pages, the general page's rows on the wire, Esc and silent rows.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "main/MainPageTransfer.h"
#include "pages/PageTransfer.h"
#include "pages/UnitEventsSettingsFrame.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "pages/UnitGeneralSettingsFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <QJsonObject>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace {

const char *const RowLabels[10] = {
    "ObjectNumberLabel", "LatLabel",    "LonLabel",     "LabelTimeInterval", "PathSmoothLabel",
    "GPSOffLabel",       "GSMOffLabel", "TimeOffLabel", "TimeGSMOnLabel",    "RebootLabel"};

// A page without rows of its own that records what the transfer asked of it.
class TRecordingFrame : public TPageFrame
{
public:
    TRecordingFrame(int tag, QStringList &calls)
        : TPageFrame(tag, QStringLiteral("Page%1").arg(tag)), calls(calls)
    {}
    void SetPageData(const TPageData &) override { calls << QStringLiteral("read %1").arg(Tag()); }
    void GetPageData(TPageData &v) override
    {
        calls << QStringLiteral("write %1").arg(Tag());
        v.Clear();
    }

private:
    QStringList &calls;
};

// The general and GPRS pages and seven recording pages.
struct Rig : TransferRig
{
    TLineWatch Line{Connection, Engine, Sim};
    QStringList Calls; // page reads and writes of the recording pages
    QList<int> Shown;  // pages shown, in order
    std::array<std::unique_ptr<TPageFrame>, 9> Frames;
    TPageFrame *Current = nullptr;
    TGeneralSettingsFrame *General = nullptr;
    QStringList Errors;

    Rig()
    {
        auto general = std::make_unique<TGeneralSettingsFrame>();
        General = general.get();
        General->Init(QStringLiteral("W9CAN"));
        Frames[0] = std::move(general);
        Frames[1] = std::make_unique<TGPRSSettingsFrame>();
        Frames[1]->Init(QStringLiteral("W9CAN"));
        for (int tag = 2; tag < 9; ++tag)
            Frames[tag] = std::make_unique<TRecordingFrame>(tag, Calls);
        Current = Frames[0].get();

        Transfer.Hooks.CurrentFrame = [this] { return Current; };
        Transfer.Hooks.ShowPage = [this](int tag) {
            Shown << tag;
            Current = Frames[tag].get();
        };
        Transfer.Hooks.ShowError = [this](const QString &text) { Errors << text; };
    }

    // The unit's log cleared once the line is quiet.
    bool ClearLog() { return Line.ClearLog(); }

    template <typename T> T *Child(const char *name)
    {
        return General->findChild<T *>(QString::fromLatin1(name));
    }
    QColor Colour(const char *label) { return TPageFrame::LabelColor(Child<QLabel>(label)); }
    // The general page's row labels not in the colour.
    QStringList RowsNot(const QColor &colour)
    {
        QStringList others;
        for (const char *label : RowLabels)
            if (Colour(label) != colour)
                others << QString::fromLatin1(label);
        return others;
    }
    void GiveTheUnitValues()
    {
        Sim.setSetting(QStringLiteral("object"), "0042");
        Sim.setSetting(QStringLiteral("timefix"), "05");
        Sim.setSetting(QStringLiteral("tunfix"), "14");
    }
    void TypeValues()
    {
        Child<QLineEdit>("ObjectNumberEdit")->setText(QStringLiteral("917"));
        Child<QLineEdit>("TimeOffEdit")->setText(QStringLiteral("30"));
    }
};

// What a page shows, row by row, as its write form gives it.
QStringList Shown(TPageFrame &frame)
{
    TPageData v;
    frame.GetPageData(v);
    QStringList values;
    for (int r = 1; r <= v.RowCount(); ++r)
        values << v(r, 1).toString() + '=' + v(r, 2).toString();
    return values;
}

// The commands the unit received, without the version queries.
QStringList SentWithoutVersionQueries(const unitsim::UnitSimulator &sim)
{
    QStringList sent = Sent(sim);
    sent.removeAll(QStringLiteral("+v"));
    return sent;
}

// Each command went out once or, resent, twice, and nothing else but the version queries did.
// (A resend is not sent when the answer overtakes it on a busy machine.)
bool SentOnceOrTwiceEach(const unitsim::UnitSimulator &sim, const QStringList &commands)
{
    const QStringList sent = SentWithoutVersionQueries(sim);
    return std::all_of(
               commands.begin(), commands.end(),
               [&](const QString &c) { return sent.count(c) == 1 || sent.count(c) == 2; }) &&
           std::all_of(sent.begin(), sent.end(),
                       [&](const QString &c) { return commands.contains(c); });
}

// No command reached the unit before it had answered the one before.
bool OneExchangeAtATime(const unitsim::UnitSimulator &sim)
{
    bool awaiting = false;
    for (const QJsonObject &entry : sim.log()) {
        const QString dir = entry.value(QStringLiteral("dir")).toString();
        if (dir == QLatin1String("rx") && std::exchange(awaiting, true))
            return false;
        if (dir == QLatin1String("tx"))
            awaiting = false;
    }
    return true;
}

} // namespace

class TestPageTransfer : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void cleanup() { SetTickOffsetForTesting(0); }

    void readAndWriteTheGeneralPage()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        rig.GiveTheUnitValues();
        sim.setSetting(QStringLiteral("qsafe"), "00");
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Sent(sim), GeneralReads);
        QCOMPARE(rig.Child<QLineEdit>("ObjectNumberEdit")->text(), QStringLiteral("42"));
        QCOMPARE(rig.Child<QLineEdit>("TimeIntervalEdit")->text(), QStringLiteral("5"));
        QVERIFY(rig.Child<QCheckBox>("GPSOffBox")->isChecked());
        QVERIFY(rig.Child<QCheckBox>("RebootCheckBox")->isChecked());
        QCOMPARE(rig.Child<QComboBox>("TimeCombo")->currentText(), QStringLiteral("5"));
        QCOMPARE(rig.RowsNot(Green), QStringList());

        // A row the unit does not answer is red after its resend; the others are green.
        QVERIFY(rig.ClearLog());
        NeverAnswer(sim, {QStringLiteral("+timefix")});
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Sent(sim).count(QStringLiteral("+timefix")), 2);
        QCOMPARE(rig.RowsNot(Green), QStringList{"LabelTimeInterval"});
        QCOMPARE(rig.Colour("LabelTimeInterval"), Red);
        QCOMPARE(rig.Child<QLineEdit>("TimeIntervalEdit")->text(), QStringLiteral("5"));
        NeverAnswer(sim, {});

        for (const auto &[edit, text] : {std::pair{"ObjectNumberEdit", "917"},
                                         {"LatEdit", "50"},
                                         {"LonEdit", "100"},
                                         {"TimeIntervalEdit", "0"},
                                         {"TimeOffEdit", "30"},
                                         {"TimeGSMOnEdit", "255"}})
            rig.Child<QLineEdit>(edit)->setText(QString::fromLatin1(text));
        for (const auto &[box, on] : {std::pair{"PathSmoothingCheckBox", false},
                                      {"GPSOffBox", true},
                                      {"GSMOffBox", false},
                                      {"RebootCheckBox", true}})
            rig.Child<QCheckBox>(box)->setChecked(on);
        rig.Child<QComboBox>("TimeCombo")->setCurrentIndex(0); // "4"
        QVERIFY(rig.ClearLog());
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(sim), (QStringList{"+object0917", "+latit00E6", "+longit0258", "+timefix01",
                                         "+turnFF", "+qsafe00", "+safemodoffFF", "+timegps1E",
                                         "+safemodonFF", "+tunfix10"}));
        QCOMPARE(rig.RowsNot(Green), QStringList());

        // A read gives back what was written.
        const QStringList written = Shown(*rig.General);
        rig.Child<QLineEdit>("LonEdit")->setText(QStringLiteral("5"));
        rig.Child<QCheckBox>("GPSOffBox")->setChecked(false);
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Shown(*rig.General), written);

        // A row the unit does not confirm is red after its resend; every other row is written.
        // Before the next row the unit is asked for its version, whose answer names itself.
        QVERIFY(rig.ClearLog());
        NeverAnswer(sim, {QStringLiteral("+timegps")});
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(sim).size(), 12);
        QCOMPARE(Sent(sim).mid(7, 3), (QStringList{"+timegps1E", "+timegps1E", "+v"}));
        QCOMPARE(rig.RowsNot(Green), QStringList{"TimeOffLabel"});
        QCOMPARE(rig.Colour("TimeOffLabel"), Red);
        QCOMPARE(rig.Engine.State, uint8_t(StateConnected));

        // A unit that never answers its version either: the query is given up after its resend,
        // as any command is, so the rows behind it still go out and the link stays up. Their
        // "OK"s are placed by order on the unconfirmed row's sends first, so they may turn red
        // needlessly; the unconfirmed row never turns green.
        QStringList writes = Sent(sim);
        writes.removeAll(QStringLiteral("+v"));
        writes.removeDuplicates();
        QVERIFY(rig.ClearLog());
        NeverAnswer(sim, {QStringLiteral("+timegps"), QStringLiteral("+v")});
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(Sent(sim).mid(7, 4), (QStringList{"+timegps1E", "+timegps1E", "+v", "+v"}));
        QStringList rows = Sent(sim);
        rows.removeAll(QStringLiteral("+v"));
        rows.removeDuplicates();
        QCOMPARE(rows, writes);
        QCOMPARE(rig.Colour("TimeOffLabel"), Red);
        QCOMPARE(rig.RowsNot(Green).first(), QStringLiteral("TimeOffLabel"));
        QCOMPARE(rig.Engine.State, uint8_t(StateConnected));
        NeverAnswer(sim, {});
        QTRY_VERIFY(!rig.Engine.IsPending());

        // Read page started while a read is waiting sends nothing of its own.
        QVERIFY(rig.ClearLog());
        sim.setLatency(60);
        QTimer::singleShot(20, &rig.Engine, [&] { rig.Transfer.ReadPageActionExecute(); });
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Sent(sim), GeneralReads);

        // Reading and writing all pages walk the frames; Esc and the disconnect stop them.
        sim.setLatency(0);
        QVERIFY(rig.ClearLog());
        rig.Shown.clear();
        rig.Transfer.ReadAllPagesActionExecute();
        QCOMPARE(rig.Shown, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(rig.Calls, (QStringList{"read 3", "read 5", "read 6", "read 7"}));
        QCOMPARE(Sent(sim).mid(0, 10), GeneralReads);
        QCOMPARE(Sent(sim).size(), 10 + 23 + 13 + 19); // the GPRS, events, engineering pages
        QCOMPARE(Sent(sim).mid(10 + 23 + 13), EngNumbersReads);

        QVERIFY(rig.ClearLog());
        rig.Shown.clear();
        rig.Calls.clear();
        rig.Transfer.WriteAllPagesActionExecute();
        QCOMPARE(rig.Shown, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(rig.Calls, (QStringList{"write 3", "write 5", "write 7"}));
        QCOMPARE(Sent(sim).size(), 10 + 23);
        QCOMPARE(Sent(sim)[10], QStringLiteral("+gprsena00"));

        // Esc while row 2 of the general page waits: its late reply is dropped, the rows not
        // read are red, no later page is read or shown, and the connection stays. (The reply
        // comes well after the Esc, which follows the unit's hearing the row at once.)
        QVERIFY(rig.ClearLog());
        rig.Shown.clear();
        rig.Calls.clear();
        rig.Engine.Timings.CommandTimeoutMs = 5000;
        sim.setLatency(400);
        EscAfter(sim, rig.Engine, 2);
        rig.Transfer.ReadAllPagesActionExecute();
        QVERIFY(rig.Line.Quiet()); // the late reply is in
        QCOMPARE(Sent(sim), GeneralReads.mid(0, 2));
        QCOMPARE(rig.RowsNot(Red), QStringList{"ObjectNumberLabel"});
        QCOMPARE(rig.Colour("ObjectNumberLabel"), Green);
        QCOMPARE(rig.Shown, QList<int>{0});
        QVERIFY(rig.Calls.isEmpty());
        QCOMPARE(rig.Current, rig.Frames[0].get());
        QCOMPARE(rig.Engine.State, uint8_t(StateConnected));
        QVERIFY(sim.isPortOpen());

        // The disconnect takes over during a read; the read does not put its state back over
        // it, and Esc then closes at once instead of saying goodbye again.
        QVERIFY(rig.ClearLog());
        auto faults = sim.faults();
        faults.latencyMs = 50;
        faults.neverAnswer = QStringList{QStringLiteral("CABLE DISCONNECT")};
        sim.setFaults(faults);
        AfterSent(sim, &rig.Engine, 2, [&] { rig.Connection.DisconnectActionExecute(); });
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.Engine.State, uint8_t(StateCableDisconnect));
        QVERIFY(WaitForSent(sim, QStringLiteral("CABLE DISCONNECT"), 2000));
        rig.Engine.EscapePressed();
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QVERIFY(!rig.Engine.Device);
        QVERIFY(!rig.Engine.IsPending());
        QVERIFY(sim.waitForClose(2000));
        QCOMPARE(Sent(sim).count(QStringLiteral("CABLE DISCONNECT")), 1);
        QCOMPARE(Sent(sim).mid(0, 2), GeneralReads.mid(0, 2));
    }

    // A unit answering later than the command time-out: every command is resent and both sends
    // are answered. The first answer completes the command, the second is dropped and never
    // taken for the next command's: identification, a page read and a page write all come right.
    void repliesLaterThanTheTimeOutAreNotTakenForTheNextCommand()
    {
        Rig rig;
        // Answered one and a half time-outs after the send: half a time-out (200 ms, room for a
        // busy machine) after the resend and half a time-out before the give-up, the engine's
        // tick keeping its share of the time-out (200 ms of 5 s); the pacing keeps its share of
        // the time-out, as on the real line.
        constexpr int timeoutMs = 400, lateMs = timeoutMs * 3 / 2;
        rig.Engine.Timings.CommandTimeoutMs = timeoutMs;
        rig.Engine.Timings.PacingMs = 60;
        rig.Engine.EngineTimer().setInterval(timeoutMs / 25);
        auto options = CableUnit();
        options.faults.latencyMs = lateMs;
        QVERIFY(rig.Connect(options));
        const TDeviceIdentity &unit = rig.Engine.Identity;
        QCOMPARE(unit.Firmware, QStringLiteral("REV 07.505.017"));
        QCOMPARE(unit.DeviceVersion, 17);
        QTRY_VERIFY(!unit.IMEI.isEmpty());
        QVERIFY(!unit.DeviceName.isEmpty() && !unit.Memory.isEmpty());

        auto &sim = rig.Sim;
        rig.GiveTheUnitValues();
        QVERIFY(rig.Line.Quiet()); // the answers to the resends are in
        sim.setLatency(0);
        rig.Transfer.ReadPageActionExecute();
        const QStringList unitValues = Shown(*rig.General);

        sim.setLatency(lateMs);
        QVERIFY(rig.ClearLog());
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Shown(*rig.General), unitValues);
        QCOMPARE(rig.RowsNot(Green), QStringList());
        QVERIFY(rig.Line.Quiet()); // every send heard
        QVERIFY(SentOnceOrTwiceEach(sim, GeneralReads));

        rig.TypeValues();
        QVERIFY(rig.ClearLog());
        rig.Transfer.WritePageActionExecute();
        QVERIFY(rig.Line.Quiet()); // every send heard
        QStringList writes = SentWithoutVersionQueries(sim);
        writes.removeDuplicates();
        QCOMPARE(writes.size(), 10);
        QVERIFY(SentOnceOrTwiceEach(sim, writes));
        QCOMPARE(sim.setting(QStringLiteral("object")), QByteArray("0917"));
        QCOMPARE(sim.setting(QStringLiteral("timegps")), QByteArray("1E"));
        QCOMPARE(rig.RowsNot(Green), QStringList());
        QCOMPARE(rig.Engine.State, uint8_t(StateConnected));

        // The device's keep-alive going out just before the action, as over a modem call: its
        // answer is its own, every row gets the unit's own value.
        rig.Engine.Timings.CommandTimeoutMs = 5000;
        rig.GiveTheUnitValues();
        sim.setLatency(0);
        rig.Transfer.ReadPageActionExecute();
        const QStringList readBack = Shown(*rig.General);
        const std::pair<int, void (TMainPageTransfer::*)()> actions[] = {
            {700, &TMainPageTransfer::ReadPageActionExecute},
            {100, &TMainPageTransfer::ReadAllPagesActionExecute},
            {500, &TMainPageTransfer::WritePageActionExecute}};
        int wakeUps = 0;
        for (const auto &[latency, action] : actions) {
            const bool write = action == &TMainPageTransfer::WritePageActionExecute;
            if (write)
                rig.TypeValues();
            QVERIFY(rig.ClearLog());
            sim.setLatency(latency);
            SetTickOffsetForTesting(20000 * ++wakeUps); // the wake-up interval has passed
            rig.Engine.Device->TimerTick();
            (rig.Transfer.*action)();
            QCOMPARE(Sent(sim).first(), QStringLiteral("+v"));
            QVERIFY(OneExchangeAtATime(sim));
            QCOMPARE(rig.RowsNot(Green), QStringList());
            if (write) {
                QCOMPARE(Sent(sim).size(), 11);
                QCOMPARE(sim.setting(QStringLiteral("object")), QByteArray("0917"));
                QCOMPARE(sim.setting(QStringLiteral("timegps")), QByteArray("1E"));
            } else {
                QCOMPARE(Sent(sim).mid(1, 10), GeneralReads);
                QCOMPARE(Shown(*rig.General), readBack);
            }
            QCOMPARE(rig.Engine.State, uint8_t(StateConnected));
            rig.Current = rig.General;
        }
    }

    // Every answer goes to the send it answers on a link slower than the time-out: the
    // keep-alive's late answer is its own, a command given up keeps its late answers, and on a
    // unit that loses each first send identification ends before a read clicked during it.
    void answersGoToTheSendsTheyAnswer()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        auto &engine = rig.Engine;
        constexpr int timeoutMs = 400; // half of it is room for a busy machine
        engine.Timings.CommandTimeoutMs = timeoutMs;
        engine.EngineTimer().setInterval(timeoutMs / 25); // 200 ms of 5 s
        rig.GiveTheUnitValues();
        rig.Transfer.ReadPageActionExecute();
        const QStringList unitValues = Shown(*rig.General);
        const auto setGarbled = [&sim](const QStringList &commands) {
            auto faults = sim.faults();
            faults.garble = commands;
            sim.setFaults(faults);
        };

        // The idle keep-alive goes out just before the action. Every answer comes half a
        // time-out after its send (2.5 s on the real line): the keep-alive's is in before the
        // action's first send, and every row is answered in time. Or one and a half time-outs
        // after it (7.5 s): the keep-alive's comes half a time-out after the action's first send,
        // which goes out when the keep-alive is given up, and every row is answered half a
        // time-out after its resend and as long before its give-up. (Nearer the time-outs the
        // order would depend on the machine's speed.) A single-command request is served
        // between the read's rows; a write the unit refuses (its answer lacks the "OK") stays
        // red.
        int wakeUps = 0;
        // The action after the keep-alive, once the line is quiet; `meanwhile` runs before it.
        // False unless the keep-alive went out first.
        const auto afterKeepAlive = [&](int latency, void (TMainPageTransfer::*action)(),
                                        const std::function<void()> &meanwhile = {}) {
            if (!rig.ClearLog())
                return false;
            sim.setLatency(latency);
            if (meanwhile)
                meanwhile();
            SetTickOffsetForTesting(20000 * ++wakeUps); // the wake-up interval has passed
            engine.Device->TimerTick();
            (rig.Transfer.*action)();
            return Sent(sim).value(0) == QStringLiteral("+v");
        };
        TCommandValues live{0, 0};
        for (const int latency : {timeoutMs / 2, timeoutMs * 3 / 2}) {
            QVERIFY(afterKeepAlive(latency, &TMainPageTransfer::ReadPageActionExecute, [&] {
                AfterSent(sim, &engine, 4, [&] {
                    engine.RequestCommand(QStringLiteral("+cancur"), 137, 1,
                                          [&live](const TCommandValues &v) { live = v; });
                });
            }));
            QCOMPARE(Shown(*rig.General), unitValues);
            QCOMPARE(rig.RowsNot(Green), QStringList());
            QVERIFY(Sent(sim).contains(QStringLiteral("+cancur")));
            QTRY_COMPARE(live[1].toInt(), 1);
            QVERIFY2(live[0].toString().startsWith(QStringLiteral("10")),
                     qPrintable(live[0].toString()));
            live = {0, 0};

            rig.TypeValues();
            setGarbled({QStringLiteral("+object")});
            QVERIFY(afterKeepAlive(latency, &TMainPageTransfer::WritePageActionExecute));
            QCOMPARE(rig.RowsNot(Green), QStringList{"ObjectNumberLabel"});
            QCOMPARE(rig.Colour("ObjectNumberLabel"), Red);
            QCOMPARE(sim.setting(QStringLiteral("timegps")), QByteArray("1E"));
            setGarbled({});
            rig.GiveTheUnitValues();
            sim.setSetting(QStringLiteral("timegps"), "00");
        }

        // One command answered two and a half time-outs late (12.5 s on the real line): it is
        // given up, and the rows after it show the unit's values. (The unit answers in order: the
        // next row, sent at the give-up, has its answer after the late ones, half a time-out
        // after its resend.)
        QVERIFY(rig.Line.Quiet());
        sim.setLatency(0);
        sim.setSetting(QStringLiteral("timegps"), "1E");
        auto faults = sim.faults();
        faults.answerDelayMs = {{QStringLiteral("+timegps"), timeoutMs * 5 / 2}};
        sim.setFaults(faults);
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.RowsNot(Green), QStringList{"TimeOffLabel"});
        QCOMPARE(Shown(*rig.General).mid(8), unitValues.mid(8));

        // A unit that sends its values without the command before the ">" (older firmware) and
        // never answers one row: the rows after it still get their own answers.
        QVERIFY(rig.Line.Quiet()); // the late answers above are in
        faults.answerDelayMs.clear();
        faults.valuesWithoutCommand = true;
        faults.neverAnswer = QStringList{QStringLiteral("+timefix")};
        sim.setFaults(faults);
        sim.setSetting(QStringLiteral("timegps"), "00");
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(rig.RowsNot(Green), QStringList{"LabelTimeInterval"});
        QCOMPARE(Shown(*rig.General), unitValues);

        // A unit that loses each first send, with Read page clicked as soon as the firmware
        // shows: identification ends first, every row is right, and nothing holds the line once
        // the last answer is in.
        Rig lossy;
        lossy.Engine.Timings.CommandTimeoutMs = timeoutMs;
        auto options = CableUnit();
        options.faults.loseFirstSends = true;
        QVERIFY(lossy.Sim.start(options));
        lossy.GiveTheUnitValues();
        bool read = false, freeAfterRead = false;
        AfterThat(
            &lossy.Engine, [&lossy] { return !lossy.Engine.Identity.Firmware.isEmpty(); },
            [&] {
                lossy.Transfer.ReadPageActionExecute();
                freeAfterRead = !lossy.Engine.IsPending();
                read = true;
            });
        TConnectChoice choice;
        choice.PortName = lossy.Sim.portPath();
        lossy.Connection.Connect(choice);
        QTRY_VERIFY_WITH_TIMEOUT(read, 10000);
        QCOMPARE(lossy.Engine.Identity.IMEI, kImei);
        QCOMPARE(lossy.Engine.Identity.Memory, QStringLiteral("AT45DB161D"));
        QCOMPARE(Shown(*lossy.General), unitValues);
        QCOMPARE(lossy.RowsNot(Green), QStringList());
        QVERIFY(freeAfterRead);
    }

    // Answers later than a row's give-up are never taken by a later row. Where an answer cannot
    // name its send (a bare "OK", or a value without its command on older firmware), the unit is
    // asked for its version before the next row, and every answer before the version's is
    // dropped. A needless red row is allowed; a row green on another row's answer, a row showing
    // another row's value, or a write of a value the page did not hold never.
    void answersAfterAGiveUpAreNeverTakenByALaterRow()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        auto &engine = rig.Engine;
        // Short: the checks hold whatever the timing, only needless red rows depend on it. (The
        // grid's answers come 2.2 and 3.0 time-outs after their sends, some of them near a later
        // row's resend or give-up: on a busy machine either side of it.)
        int timeoutMs = 30;
        const auto setTimeOut = [&](int ms) {
            timeoutMs = ms;
            engine.Timings.CommandTimeoutMs = ms;
            engine.Timings.PacingMs = ms / 20;                      // 250 ms of 5 s
            engine.EngineTimer().setInterval(std::max(1, ms / 25)); // 200 ms of 5 s
        };
        setTimeOut(30);
        auto eventsFrame = std::make_unique<TEventsSettingsFrame>();
        eventsFrame->Init(QStringLiteral("W9CAN"));
        TPageFrame *const events = eventsFrame.get();
        rig.Frames[TEventsSettingsFrame::PageTag] = std::move(eventsFrame);
        rig.GiveTheUnitValues();
        for (const auto &[word, value] : {std::pair{"timegps", "1E"},
                                          {"feedtime", "14"},
                                          {"feedpause", "0C"},
                                          {"ident4time", "07"}})
            sim.setSetting(QString::fromLatin1(word), value);
        const auto colour = [](TPageFrame *page, const char *label) {
            return TPageFrame::LabelColor(page->findChild<QWidget *>(QString::fromLatin1(label)));
        };
        // The action with a time-out long enough for any machine: what the page holds after it
        // is the unit's, and what it writes the page's.
        const auto unhurried = [&](void (TMainPageTransfer::*action)()) {
            engine.Timings.CommandTimeoutMs = 5000;
            (rig.Transfer.*action)();
            engine.Timings.CommandTimeoutMs = timeoutMs;
        };
        int wakeUps = 0;
        // The action after the keep-alive, once the last action's late answers are in; false
        // unless the keep-alive went out first.
        const auto afterKeepAlive = [&](void (TMainPageTransfer::*action)()) {
            if (!rig.ClearLog())
                return false;
            SetTickOffsetForTesting(20000 * ++wakeUps);
            engine.Device->TimerTick();
            (rig.Transfer.*action)();
            return Sent(sim).value(0) == QStringLiteral("+v");
        };
        struct PageCase
        {
            TPageFrame *page;
            QString refused, lost; // a write the unit refuses, one it never confirms
            const char *refusedLabel, *lostLabel;
        };
        const PageCase pages[] = {
            {rig.General, "+turn", "+timefix", "PathSmoothLabel", "LabelTimeInterval"},
            {events, "+feedpause", "+ident4time", "PauseLabel", "IdentTimeLabel"}};
        QStringList generalValues;
        for (const bool olderFirmware : {false, true}) {
            for (const PageCase &c : pages) {
                rig.Current = c.page;
                unitsim::UnitSimFaults faults;
                faults.valuesWithoutCommand = olderFirmware;
                sim.setFaults(faults);
                unhurried(&TMainPageTransfer::ReadPageActionExecute);
                const QStringList unitValues = Shown(*c.page);
                if (c.page == rig.General)
                    generalValues = unitValues;
                QVERIFY(rig.ClearLog());
                unhurried(&TMainPageTransfer::WritePageActionExecute);
                QVERIFY(rig.Line.Quiet());
                const QStringList writes = Sent(sim);
                for (const double late : {2.2, 3.0}) {
                    const QString where = QStringLiteral("%1 %2 time-outs late, older firmware %3")
                                              .arg(c.page->objectName())
                                              .arg(late)
                                              .arg(olderFirmware);
                    faults.latencyMs = int(late * timeoutMs);
                    sim.setFaults(faults);
                    QVERIFY2(afterKeepAlive(&TMainPageTransfer::ReadPageActionExecute),
                             qPrintable(where));
                    QVERIFY2(Shown(*c.page) == unitValues, qPrintable(where));

                    auto refusing = faults;
                    refusing.garble = QStringList{c.refused};
                    refusing.neverAnswer = QStringList{c.lost};
                    sim.setFaults(refusing);
                    QVERIFY2(afterKeepAlive(&TMainPageTransfer::WritePageActionExecute),
                             qPrintable(where));
                    QVERIFY2(rig.Line.Quiet(), qPrintable(where)); // every send heard
                    for (const QString &sent : SentWithoutVersionQueries(sim))
                        QVERIFY2(writes.contains(sent), qPrintable(where + ": " + sent));
                    QVERIFY2(colour(c.page, c.refusedLabel) == Red, qPrintable(where));
                    QVERIFY2(colour(c.page, c.lostLabel) == Red, qPrintable(where));
                    sim.setFaults(faults);
                }
            }
        }

        // One write confirmed two and a half time-outs late, the next one refused: only these two
        // are red. Every other row is confirmed at once: well within its time-out even on a busy
        // machine. (The unit answers in order: the version query after the give-up has its
        // answer after the late ones, half a time-out after its resend.)
        rig.Current = rig.General;
        unitsim::UnitSimFaults faults;
        sim.setFaults(faults);
        setTimeOut(400); // half of it is room for a busy machine
        QVERIFY(rig.Line.Quiet());
        faults.answerDelayMs = {{QStringLiteral("+timefix"), timeoutMs * 5 / 2}};
        faults.garble = QStringList{QStringLiteral("+turn")};
        sim.setFaults(faults);
        rig.Transfer.WritePageActionExecute();
        QCOMPARE(rig.RowsNot(Green), (QStringList{"LabelTimeInterval", "PathSmoothLabel"}));

        // Older firmware, one read answered two and a half time-outs late: every later row its
        // own value.
        QVERIFY(rig.Line.Quiet());
        faults = {};
        faults.valuesWithoutCommand = true;
        faults.answerDelayMs = {{QStringLiteral("+latit"), timeoutMs * 5 / 2}};
        sim.setFaults(faults);
        rig.Transfer.ReadPageActionExecute();
        QCOMPARE(Shown(*rig.General), generalValues);
        QStringList notGreen = rig.RowsNot(Green);
        notGreen.removeOne(QStringLiteral("LatLabel")); // given up, unless the tick came late
        QCOMPARE(notGreen, QStringList());
    }

    // The silence alarm keeps watching while rows wait for their replies: the connection goes
    // 30 s (and at most one check) after the last reply, nothing is sent after that and the
    // transfer ends.
    void aUnitSilentFromTheMiddleOfATransferIsDroppedAfterThirtySeconds()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        rig.Engine.Timings.CommandTimeoutMs = 5000;
        auto &sim = rig.Sim;
        auto faults = sim.faults();
        faults.silentAfterCommands = 4;
        sim.setFaults(faults);
        TFastClock clock([&rig] { return rig.Engine.Device.data(); });
        uint32_t lastReply = 0, closedAt = 0;
        int written = 0, writtenAtClose = -1; // counted where the program writes, not where the
                                              // unit (on its own thread) has read
        rig.Connection.Hooks.LogPortWrite = [&](const QString &) { ++written; };
        rig.Connection.Hooks.LogSessionEnd = [&] {
            closedAt = GetTickCount();
            writtenAtClose = written;
        };
        rig.Connection.Hooks.LogPortRead = [&](const QString &) { lastReply = GetTickCount(); };
        AfterSent(sim, &rig.Engine, 5, [&] { clock.Start(); });
        rig.Transfer.ReadAllPagesActionExecute();
        QTRY_VERIFY(closedAt != 0);
        const uint32_t silence = closedAt - lastReply;
        QVERIFY2(silence >= 30000 && silence <= 31000 + clock.StepMs(),
                 qPrintable(QString::number(silence)));
        QTest::qWait(50);
        QCOMPARE(written, writtenAtClose);
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QVERIFY(!rig.Engine.IsPending());
        QVERIFY(!rig.Engine.TransferRunning());
    }

    // The shared write loop on its own: an error while sending ends the loop, and what was done
    // keeps its result (0 written, 1 not confirmed, -1 not sent).
    void writeLoopStopsAtAnError()
    {
        const auto fill = [](TPageData &v) {
            v = TPageData(4, 3);
            for (int r = 1; r <= 4; ++r) {
                v(r, 1) = r;
                v(r, 2) = QStringLiteral("v%1").arg(r);
                v(r, 3) = false;
            }
        };
        const auto command = [](int row, const QVariant &value) {
            return PageTransfer::WriteCommand{
                QStringLiteral("+w%1=%2").arg(row).arg(value.toString()), 100 + row};
        };
        QStringList sent;
        bool aborted = false;
        const TWriteResults results = PageTransfer::WriteRows(
            5, fill, command,
            [&](const QString &text, int code, int row, TPageData &res) {
                sent << QStringLiteral("%1/%2").arg(text).arg(code);
                if (row == 3)
                    throw std::runtime_error("port gone");
                res(row, 2) = row == 2 ? 0 : 1;
            },
            [&] { aborted = true; });
        QVERIFY(aborted);
        QCOMPARE(sent, (QStringList{"+w1=v1/101", "+w2=v2/102", "+w3=v3/103"}));
        QCOMPARE(results, (TWriteResults{0, 1, -1, -1, -1}));
    }
};

QTEST_MAIN(TestPageTransfer)
#include "tst_pagetransfer.moc"
