// Connecting and disconnecting over the cable and the GSM modem, against the simulated unit on a
// real pseudo-terminal.

#include "SimConnection.h"

#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

const QString kCableFailed =
    QStringLiteral("Не удалось подключиться к прибору, повторите попытку.");
const QString kModemFailed = QStringLiteral("Не удалось подключиться через модемное соединение.");

// The engine and the connection as the main window wires them, with the window's side recorded.
struct Rig
{
    TCommandEngine Engine;
    QObject Owner;
    TMainConnection Connection{Engine, &Owner};
    QStringList Log;
    QStringList Messages;
    QString Actions = QStringLiteral("disconnected");
    int Written = 0; // commands written, counted where the program writes them

    Rig()
    {
        TEngineTimings &t = Engine.Timings;
        t.PacingMs = t.CableConnectPauseMs = t.DialPauseMs = 10;
        t.CommandTimeoutMs = 400;
        t.DialTimeoutMs = 800;
        t.StartupWaitMs = 600;
        t.DelAllPauseMs = 100;
        Connection.ModemStartPauseMs = 50;
        auto &h = Connection.Hooks;
        h.LogSessionEnd = [this] { Log << QStringLiteral("end"); };
        h.LogPortError = [this](const QString &t) { Log << QStringLiteral("error: ") + t; };
        h.LogPortWrite = [this](const QString &t) {
            Log << QStringLiteral("write: ") + t;
            ++Written;
        };
        h.LogPortRead = [this](const QString &t) { Log << QStringLiteral("read: ") + t; };
        h.SetActionsBusy = [this] { Actions = QStringLiteral("busy"); };
        h.SetActionsDisconnected = [this] { Actions = QStringLiteral("disconnected"); };
        h.ShowMessage = [this](const QString &t) { Messages << t; };
        h.DeviceCreated = FastControlLines;
        Engine.Hooks.ShowMessage = h.ShowMessage;
        Engine.Hooks.LogPortRead = h.LogPortRead;
        Engine.Hooks.ClosePort = [this] { Connection.ClosePort(); };
        Engine.Hooks.DisconnectAction = [this] { Connection.DisconnectActionExecute(); };
        Engine.Hooks.SetActionsConnected = [this] { Actions = QStringLiteral("connected"); };
    }

    // By cable, or through the modem when a phone number is given; `wait` for the unit's
    // start-up output (cable) or for the network registration (modem).
    void Connect(const QString &port, const QString &phone = {}, bool wait = false)
    {
        TConnectChoice choice;
        choice.ConnectType = phone.isEmpty() ? 0 : 1;
        choice.PortName = port;
        choice.PhoneNumber = phone;
        choice.WaitInit = choice.WaitRegistration = wait;
        Connection.Connect(choice);
    }

    // Connected and the identification chain through "+imei" answered.
    bool Identified() const
    {
        return Actions == QLatin1String("connected") && !Engine.Identity.IMEI.isEmpty() &&
               !Engine.IsPending();
    }

    // Disconnected, the port closed and the engine idle.
    bool Closed() const
    {
        return Actions == QLatin1String("disconnected") && Engine.Device.isNull() &&
               Engine.State == StateIdle;
    }

    // The unit has heard every command written (its thread reads each a little later).
    bool Heard(const unitsim::UnitSimulator &sim) const
    {
        return QTest::qWaitFor([&] { return sim.commandsHeard() >= Written; }, 5000);
    }

    int Count(const QString &line) const { return int(Log.count(line)); }
    bool Logged(const QString &prefix) const
    {
        for (const QString &line : Log)
            if (line.startsWith(prefix))
                return true;
        return false;
    }
};

unitsim::UnitSimOptions ModemUnit()
{
    auto options = CableUnit();
    options.modem = true;
    return options;
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    // Identified over the cable; a unit that stops answering is closed after the goodbye's resends
    // without a message, and one silent from the start gets the message.
    void cableConnectIdentifiesAndDisconnectCloses()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        rig.Connect(sim.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);
        QCOMPARE(Sent(sim), (QStringList{"CABLE CONNECT", "+v", "+typepan", "+imei"}));

        sim.setSilent(true);
        rig.Connection.DisconnectActionExecute();
        QCOMPARE(rig.Actions, QStringLiteral("busy"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("disconnected"), 5000);
        QCOMPARE(rig.Count(QStringLiteral("write: CABLE DISCONNECT")), 4);
        QCOMPARE(rig.Log.last(), QStringLiteral("end"));
        QCOMPARE(rig.Engine.Identity.IMEI, kImei); // kept until the next identification
        QVERIFY(rig.Messages.isEmpty());
        QVERIFY(sim.waitForClose(2000));

        // A unit that stays silent gets four handshakes, then the message.
        rig.Log.clear();
        rig.Connect(sim.portPath());
        QCOMPARE(rig.Actions, QStringLiteral("busy"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Messages, QStringList{kCableFailed}, 6000);
        QCOMPARE(rig.Count(QStringLiteral("write: CABLE CONNECT")), 4);
        QVERIFY(rig.Closed());
        QVERIFY(sim.waitForClose(2000));
    }

    // Esc while the unit prints its start-up output, or in the pause after its "del all" (the
    // event loop runs once in it), starts nothing on the closed connection, also when the wait
    // would have ended; the handshake goes out once the output has ended, or when a quiet unit's
    // wait is over.
    void startupWaitEndsWithDelAllOrItsTimeAndEscAbandonsIt()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        // Connects waiting for the start-up output, which the unit prints once the port is open;
        // false unless the connection waits for it.
        const auto connectAndPrint = [&](const QByteArray &output) {
            rig.Log.clear();
            rig.Connect(sim.portPath(), {}, true);
            if (rig.Engine.State != StateWaitStartup || !sim.waitForOpen(2000))
                return false;
            sim.sendUnsolicited(output);
            return true;
        };
        rig.Engine.Timings.StartupWaitMs = 1500; // room for a loaded machine
        QVERIFY(connectAndPrint("W9CAN boot\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Engine.State, uint8_t(StateStartupOutput), 2000);
        QVERIFY(rig.Connection.EscapeConnectionWait());
        QVERIFY(rig.Closed());
        // The start-up wait's end finds nothing to start: once the wait is over, the engine's
        // tick comes twice and writes nothing.
        rig.Engine.Timings.StartupWaitMs = 100;
        QElapsedTimer escaped;
        escaped.start();
        int ticksAfterTheWait = 0;
        const QMetaObject::Connection tick =
            QObject::connect(&rig.Engine.EngineTimer(), &QTimer::timeout, [&] {
                if (escaped.elapsed() > 100)
                    ++ticksAfterTheWait;
            });
        QTRY_VERIFY(ticksAfterTheWait >= 2);
        QObject::disconnect(tick);
        QVERIFY(!rig.Logged(QStringLiteral("write: ")));
        QCOMPARE(sim.commandCount(), 0);
        QVERIFY(sim.waitForClose(2000));

        bool escape = true;
        const auto logRead = rig.Connection.Hooks.LogPortRead;
        rig.Connection.Hooks.LogPortRead = [&](const QString &text) {
            logRead(text);
            if (escape &&
                rig.Log.join(QString()).contains(QLatin1String("del all"), Qt::CaseInsensitive))
                QMetaObject::invokeMethod(
                    &rig.Engine, [&] { rig.Connection.EscapeConnectionWait(); },
                    Qt::QueuedConnection);
        };
        rig.Engine.Timings.StartupWaitMs = 1500;
        QVERIFY(connectAndPrint("W9CAN start\r\ndel all\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Engine.Device.isNull(), 5000);
        QTest::qWait(50); // nothing queued opens it again
        QVERIFY(rig.Closed());
        QVERIFY(!rig.Logged(QStringLiteral("write: ")));
        QCOMPARE(sim.commandCount(), 0);
        QVERIFY(rig.Messages.isEmpty());
        QVERIFY(sim.waitForClose(2000));

        escape = false;
        QVERIFY(connectAndPrint("W9CAN start\r\ndel all\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 6000);
        const int handshake = int(rig.Log.indexOf(QStringLiteral("write: CABLE CONNECT")));
        const QString before = rig.Log.mid(0, handshake).join(QLatin1Char('\n'));
        QVERIFY2(before.contains(QLatin1String("del all"), Qt::CaseInsensitive),
                 qPrintable(before));
        rig.Connection.DisconnectActionExecute();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Closed(), 5000);
        QVERIFY(sim.waitForClose(2000));

        // A unit that stays quiet: the handshake starts only when the wait is over.
        rig.Engine.Timings.StartupWaitMs = 600;
        uint32_t handshakeAt = 0;
        rig.Connection.Hooks.LogPortWrite = [&](const QString &) {
            if (!handshakeAt)
                handshakeAt = GetTickCount();
        };
        const uint32_t connectedAt = GetTickCount();
        rig.Connect(sim.portPath(), {}, true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("connected"), 5000);
        QVERIFY(uint32_t(handshakeAt - connectedAt) >= 600);
        // Once connected, Esc is the engine's again.
        QVERIFY(!rig.Connection.EscapeConnectionWait());
    }

    // The unsupported-unit box opens from the event loop, not inside the reply processing; the
    // port lost while it is open ends the connection cleanly, as does one lost while idle or one
    // that never opens.
    void unsupportedUnitBoxAndALostPortLeaveNothingBehind()
    {
        auto options = CableUnit();
        options.typepanByte = 0x38; // bit 1 clear
        auto sim = std::make_unique<unitsim::UnitSimulator>();
        QVERIFY(sim->start(options));
        Rig rig;
        bool closedUnderTheBox = false;
        rig.Engine.Hooks.ShowMessage = [&](const QString &text) {
            rig.Messages << text;
            sim.reset(); // the adapter is pulled while the box is open
            closedUnderTheBox = QTest::qWaitFor([&] { return rig.Engine.Device.isNull(); }, 3000);
        };
        rig.Connect(sim ? sim->portPath() : QString());
        QTRY_COMPARE_WITH_TIMEOUT(rig.Messages, QStringList{"Не поддерживаемое устройство"}, 5000);
        QVERIFY(closedUnderTheBox);
        QVERIFY(rig.Closed());
        QVERIFY(!rig.Engine.IsPending());
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);

        // The next connection works; its port vanishing while idle ends it too.
        sim = std::make_unique<unitsim::UnitSimulator>();
        QVERIFY(sim->start(CableUnit()));
        rig.Connect(sim->portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
        sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Closed(), 3000);
        QVERIFY(rig.Logged(QStringLiteral("error: Порт пропал")));
        rig.Connection.DisconnectActionExecute(); // on a port that is gone: closes at once
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));

        // A port that cannot be opened closes once, without a command or a message.
        rig.Log.clear();
        rig.Connect(QStringLiteral("/nonexistent/ttyW9"));
        QVERIFY(rig.Logged(QStringLiteral("error: Не могу создать файл")));
        QVERIFY(rig.Closed() && !rig.Logged(QStringLiteral("write: ")));
        QTest::qWait(50); // no queued second close
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);
        QCOMPARE(rig.Messages.size(), 1); // the box's above
    }

    // Minutes of keep-alives the unit answers keep the connection; once it falls silent it is
    // dropped 30 s (and at most one check) after its last reply, without a message.
    void silenceDropsAnIdleConnectionAndAnAnsweringUnitStays()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        rig.Engine.Timings.CommandTimeoutMs = 5000;
        rig.Connect(sim.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
        uint32_t lastReply = 0, closedAt = 0;
        rig.Connection.Hooks.LogPortRead = [&](const QString &) { lastReply = GetTickCount(); };
        rig.Connection.Hooks.LogSessionEnd = [&] { closedAt = GetTickCount(); };
        TFastClock clock([&rig] { return rig.Engine.Device.data(); });
        const uint32_t start = GetTickCount();
        clock.Start();
        QTRY_VERIFY_WITH_TIMEOUT(uint32_t(GetTickCount() - start) > 180000, 20000);
        QCOMPARE(rig.Actions, QStringLiteral("connected"));
        QVERIFY(Sent(sim).count(QStringLiteral("+v")) >= 12);

        sim.setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(closedAt != 0, 20000);
        const uint32_t silence = closedAt - lastReply;
        QVERIFY2(silence >= 30000 && silence <= 31000 + clock.StepMs(),
                 qPrintable(QString::number(silence)));
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QVERIFY(rig.Messages.isEmpty());
    }

    void modemConnectsDialsAndHangsUp()
    {
        unitsim::UnitSimulator sim;
        auto options = ModemUnit();
        options.registerAfter = 2;
        QVERIFY(sim.start(options));
        Rig rig;
        rig.Connect(sim.portPath(), QStringLiteral("+79001234567"), true);
        // A type 505 unit is connected on its version; its IMEI is asked for after that.
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified() || rig.Closed(), 6000);
        QCOMPARE(rig.Actions, QStringLiteral("connected"));
        QCOMPARE(sim.lastDialled(), QByteArray("+79001234567"));
        QCOMPARE(Sent(sim).mid(0, 8), (QStringList{"ATZ", "AT", "AT+CREG?", "AT+CREG?", "AT+CREG?",
                                                   "AT+CBST=7,0,1", "ATD+79001234567", "+v"}));
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);

        rig.Connection.DisconnectActionExecute();
        QVERIFY(rig.Closed());
        QVERIFY(sim.waitForClose(2000));
        QVERIFY(sim.waitForCommand(QByteArray("+++"), 1000));
        QVERIFY(!sim.commands().last().cr);
        QVERIFY(rig.Messages.isEmpty());

        // A modem and unit answering every command only after its resend (the dial, with its
        // longer time-out, in time): the bearer's answer still sends the dial, and the version
        // query after "CONNECT" has a resend of its own. Each answer comes half a time-out
        // (200 ms, room for a busy machine) after the resend and half a time-out before the
        // give-up; the engine's tick keeps its share of the time-out (200 ms of 5 s).
        constexpr int timeoutMs = 400;
        rig.Engine.Timings.CommandTimeoutMs = timeoutMs;
        rig.Engine.Timings.DialTimeoutMs = 4 * timeoutMs; // the dial is answered in time
        rig.Engine.EngineTimer().setInterval(timeoutMs / 25);
        rig.Engine.Identity.IMEI.clear();
        sim.setLatency(timeoutMs * 3 / 2);
        sim.clearLog();
        rig.Connect(sim.portPath(), QStringLiteral("+79001234567"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified() || rig.Closed(), 30000);
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);
        QCOMPARE(Sent(sim).count(QStringLiteral("+v")), 2);
    }

    // Every way the modem's side fails ends the connection once, with nothing sent after the
    // step that failed: a modem that stops answering gets the modem message, the failure words
    // (their texts are the decoding test's) and Esc in a wait that would never end (registration,
    // dial) get none.
    void modemFailuresEndTheConnection_data()
    {
        QTest::addColumn<QString>("dialResult");
        QTest::addColumn<QString>("stuckAt"); // unanswered, or Esc pressed after it
        QTest::addColumn<bool>("escape");
        QTest::addColumn<bool>("modemMessage");
        const QString dial = QStringLiteral("ATD+79001234567");
        QTest::newRow("busy") << "BUSY" << dial << false << false;
        QTest::newRow("ATZ unanswered") << "CONNECT"
                                        << "ATZ" << false << true;
        QTest::newRow("dial unanswered") << QString() << dial << false << true;
        QTest::newRow("Esc in registration") << "CONNECT"
                                             << "AT+CREG?" << true << false;
        QTest::newRow("Esc in dial") << QString() << dial << true << false;
    }

    void modemFailuresEndTheConnection()
    {
        QFETCH(QString, dialResult);
        QFETCH(QString, stuckAt);
        QFETCH(bool, escape);
        QFETCH(bool, modemMessage);
        unitsim::UnitSimulator sim;
        auto options = ModemUnit();
        options.dialResult = dialResult;
        const bool registration = stuckAt == QLatin1String("AT+CREG?");
        options.registerAfter = registration ? 1000000 : 0;
        if (stuckAt == QLatin1String("ATZ"))
            options.faults.neverAnswer = QStringList{stuckAt};
        QVERIFY(sim.start(options));
        Rig rig;
        bool escaped = false;
        if (escape) {
            rig.Engine.Timings.DialTimeoutMs = 60000;
            AfterThat(
                &rig.Owner, [&] { return Sent(sim).contains(stuckAt); },
                [&] { escaped = rig.Connection.EscapeConnectionWait(); });
        }
        rig.Connect(sim.portPath(), QStringLiteral("+79001234567"), registration);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Closed(), 5000);
        QCOMPARE(escaped, escape);
        QCOMPARE(rig.Messages, modemMessage ? QStringList{kModemFailed} : QStringList());
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);
        QVERIFY(rig.Heard(sim));
        QCOMPARE(Sent(sim).last(), stuckAt);
    }
};

QTEST_GUILESS_MAIN(TestConnection)

#include "tst_connection.moc"
