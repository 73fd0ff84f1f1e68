#pragma once

// The simulated unit and the program's side of the line as the main window wires them, with the
// time-outs and the port's control-line pauses shortened for the tests.

#include "device/ComPort.h"
#include "device/Device.h"
#include "main/CommandEngine.h"
#include "main/MainConnection.h"
#include "unitsim/UnitSimulator.h"

#include "device/Tick.h"

#include <QTest>
#include <QTimer>

#include <functional>

inline const QString kImei = QStringLiteral("356938035643809");

inline const QStringList GeneralReads = {"+object",    "+latit", "+longit",     "+timefix",
                                         "+turn",      "+qsafe", "+safemodoff", "+timegps",
                                         "+safemodon", "+tunfix"};

// The engineering-numbers page's reads on a 505 unit (the last is only on later units).
inline const QStringList EngNumbersReads = {
    "+disp",     "+enaing",   "+ing0",     "+ing1",     "+ing2", "+ing3",    "+ing4",
    "+ing5",     "+ing6",     "+ing7",     "+ing8",     "+ing9", "+touchon", "+keyread0",
    "+keyread1", "+keyread2", "+keyread3", "+keyread4", "+idtm"};

// A unit on the cable with a known IMEI (a 505 with build 17 unless told).
inline unitsim::UnitSimOptions CableUnit(int type = 505, int firmware = 17)
{
    unitsim::UnitSimOptions options;
    options.deviceType = type;
    options.firmwareBuild = firmware;
    options.imei = kImei;
    return options;
}

// The command texts the unit has received, in order.
inline QStringList Sent(const unitsim::UnitSimulator &sim)
{
    QStringList texts;
    for (const auto &c : sim.commands())
        texts << QString::fromLatin1(c.text);
    return texts;
}

// Waits with the event loop running (the program answers the unit meanwhile).
inline bool WaitForSent(const unitsim::UnitSimulator &sim, const QString &command, int timeoutMs)
{
    return QTest::qWaitFor([&] { return Sent(sim).contains(command); }, timeoutMs);
}

// The unit hears `commands` and carries them out but never answers them; other faults stay.
inline void NeverAnswer(unitsim::UnitSimulator &sim, const QStringList &commands)
{
    auto faults = sim.faults();
    faults.neverAnswer = commands;
    sim.setFaults(faults);
}

// The port's control lines settle at once.
inline void FastControlLines(TDevice &device)
{
    device.comportobject()->RtsSettleMs = 1;
    device.comportobject()->LinesLowMs = 1;
}

// Short waits for the page and window tests, which are not about time-outs.
inline void SpeedUp(TCommandEngine &engine, TMainConnection &connection)
{
    engine.Timings.PacingMs = 5;
    engine.Timings.CommandTimeoutMs = 300;
    engine.Timings.CableConnectPauseMs = 5;
    engine.EngineTimer().setInterval(20);
    connection.Hooks.DeviceCreated = FastControlLines;
}

// Starts the unit, connects to it by cable and waits until `identified` is set and nothing is
// pending; the unit's log then starts empty.
inline bool ConnectCable(unitsim::UnitSimulator &sim, TMainConnection &connection,
                         TCommandEngine &engine, const bool &identified,
                         const unitsim::UnitSimOptions &options = CableUnit())
{
    if (!sim.start(options))
        return false;
    TConnectChoice choice;
    choice.PortName = sim.portPath();
    connection.Connect(choice);
    if (!QTest::qWaitFor([&] { return identified && !engine.IsPending(); }, 10000))
        return false;
    sim.clearLog();
    return engine.State == StateConnected;
}

// The line between the program and the unit watched from both ends: the commands the program
// writes and the bytes it reads, counted where it does so (the connection's log hooks, which are
// still called), against what the unit has heard and has to send. The unit's thread reads a
// command a little after the program has written it, and its answers leave after their latency:
// an idle engine does not mean that the unit has heard the last command, nor that its late
// answers are in. Made while the line is quiet (before the unit starts, or once it is quiet).
class TLineWatch
{
public:
    TLineWatch(TMainConnection &connection, TCommandEngine &engine, unitsim::UnitSimulator &sim)
        : connection(connection), engine(engine), sim(sim), heardBefore(sim.commandsHeard()),
          sentBefore(sim.bytesToSend()), logWrite(connection.Hooks.LogPortWrite),
          logRead(connection.Hooks.LogPortRead)
    {
        connection.Hooks.LogPortWrite = [this](const QString &text) {
            ++written;
            if (logWrite)
                logWrite(text);
        };
        connection.Hooks.LogPortRead = [this](const QString &text) {
            read += text.size(); // a character a byte (cp1251)
            if (logRead)
                logRead(text);
        };
    }
    ~TLineWatch()
    {
        connection.Hooks.LogPortWrite = logWrite;
        connection.Hooks.LogPortRead = logRead;
    }
    TLineWatch(const TLineWatch &) = delete;
    TLineWatch &operator=(const TLineWatch &) = delete;

    // Nothing is pending, the unit has heard every command and the program has read every answer
    // the unit has given so far.
    bool IsQuiet() const
    {
        return !engine.IsPending() && sim.commandsHeard() - heardBefore >= written &&
               read >= sim.bytesToSend() - sentBefore;
    }
    bool Quiet(int timeoutMs = 5000) const
    {
        return QTest::qWaitFor([this] { return IsQuiet(); }, timeoutMs);
    }
    // Clears the unit's log once the line is quiet: a command still on its way would land in the
    // fresh log. False, with the log cleared all the same, when it did not get quiet.
    bool ClearLog(int timeoutMs = 5000)
    {
        const bool quiet = Quiet(timeoutMs);
        sim.clearLog();
        return quiet;
    }

private:
    TMainConnection &connection;
    TCommandEngine &engine;
    unitsim::UnitSimulator &sim;
    const int heardBefore;   // commands the unit had heard when the watch began
    const qint64 sentBefore; // bytes the unit had sent or queued when the watch began
    int written = 0;         // commands written since
    qint64 read = 0;         // bytes read since
    std::function<void(const QString &)> logWrite, logRead;
};

// Runs `action` from the event loop once `due` holds (checked every couple of milliseconds).
inline void AfterThat(QObject *context, std::function<bool()> due, std::function<void()> action)
{
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, due, action] {
        if (due()) {
            poll->stop();
            poll->deleteLater();
            action();
        }
    });
    poll->start(2);
}

// Runs `action` from the event loop once the unit has received `count` commands.
inline void AfterSent(unitsim::UnitSimulator &sim, QObject *context, int count,
                      std::function<void()> action)
{
    AfterThat(
        context, [&sim, count] { return sim.commandCount() >= count; }, std::move(action));
}

// Presses Esc (as the main window passes it on) once the unit has received `count` commands.
inline void EscAfter(unitsim::UnitSimulator &sim, TCommandEngine &engine, int count)
{
    AfterSent(sim, &engine, count, [&engine] { engine.EscapePressed(); });
}

// The tick clock run fast: while running, every couple of real milliseconds it moves on by
// `StepMs` and, once per moved second, runs the device's own check (silence alarm and wake-up)
// as its 1000 ms timer would, that is while the timer runs (the device's WakeUp). Everything that
// measures time by the tick (time-outs, pacing, the silence alarm) sees minutes pass in seconds.
// The clock is put back when it goes.
class TFastClock
{
public:
    explicit TFastClock(std::function<TDevice *()> device, uint32_t stepMs = 250)
        : device(std::move(device)), stepMs(stepMs)
    {
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [this] { Step(); });
    }
    ~TFastClock() { SetTickOffsetForTesting(0); }

    void Start() { timer.start(); }
    void Stop() { timer.stop(); }
    uint32_t StepMs() const { return stepMs; }

private:
    void Step()
    {
        offset += stepMs;
        SetTickOffsetForTesting(offset);
        sinceCheck += stepMs;
        if (sinceCheck < 1000)
            return;
        sinceCheck -= 1000;
        if (TDevice *d = device(); d && d->WakeUp())
            d->TimerTick();
    }

    std::function<TDevice *()> device;
    uint32_t stepMs;
    uint32_t offset = 0;
    uint32_t sinceCheck = 0;
    QTimer timer;
};
