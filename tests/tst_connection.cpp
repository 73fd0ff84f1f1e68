// Connecting and disconnecting over the cable and the GSM modem, against the simulated unit on a
// real pseudo-terminal.

#include "SimConnection.h"

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

    Rig()
    {
        Engine.Timings.PacingMs = 10;
        Engine.Timings.CommandTimeoutMs = 400;
        Engine.Timings.DialTimeoutMs = 800;
        Engine.Timings.StartupWaitMs = 600;
        Engine.Timings.DelAllPauseMs = 100;
        Engine.Timings.CableConnectPauseMs = 10;
        Engine.Timings.DialPauseMs = 10;
        Connection.ModemStartPauseMs = 50;
        auto &h = Connection.Hooks;
        h.LogSessionStart = [this] { Log << QStringLiteral("start"); };
        h.LogSessionEnd = [this] { Log << QStringLiteral("end"); };
        h.LogPortError = [this](const QString &t) { Log << QStringLiteral("error: ") + t; };
        h.LogPortEvent = [this](const QString &t) { Log << QStringLiteral("event: ") + t; };
        h.LogPortWrite = [this](const QString &t) { Log << QStringLiteral("write: ") + t; };
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

    void Cable(const QString &port, bool waitInit = false)
    {
        TConnectChoice choice;
        choice.PortName = port;
        choice.WaitInit = waitInit;
        Connection.Connect(choice);
    }

    void Modem(const QString &port, const QString &phone, bool waitRegistration = false)
    {
        TConnectChoice choice;
        choice.ConnectType = 1;
        choice.PortName = port;
        choice.PhoneNumber = phone;
        choice.WaitRegistration = waitRegistration;
        Connection.Connect(choice);
    }

    // Connected and the identification chain through "+imei" answered.
    bool Identified() const
    {
        return Actions == QLatin1String("connected") && !Engine.Identity.IMEI.isEmpty() &&
               !Engine.IsPending();
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

// A unit that prints its start-up output, ending with "del all", once the port opens.
unitsim::UnitSimOptions StartupUnit()
{
    auto options = CableUnit();
    options.startupOutput = true;
    options.startupDelayMs = 50;
    return options;
}

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
    void cableConnectIdentifiesAndDisconnectCloses()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        rig.Cable(sim.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
        QCOMPARE(rig.Engine.State, uint8_t(StateConnected));
        QCOMPARE(rig.Engine.Identity.DeviceType, 505);
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);
        QCOMPARE(Sent(sim).mid(0, 4), (QStringList{"CABLE CONNECT", "+v", "+typepan", "+imei"}));
        QVERIFY(rig.Logged(QStringLiteral("event: Порт открыт успешно")));
        QVERIFY(rig.Logged(QStringLiteral("write: CABLE CONNECT")));
        QCOMPARE(rig.Log.first(), QStringLiteral("start"));

        rig.Connection.DisconnectActionExecute();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("disconnected"), 3000);
        QVERIFY(sim.waitForClose(2000));
        QCOMPARE(sim.commands().last().text, QByteArray("CABLE DISCONNECT"));
        QCOMPARE(rig.Count(QStringLiteral("write: CABLE DISCONNECT")), 1);
        QCOMPARE(rig.Log.last(), QStringLiteral("end"));
        QVERIFY(rig.Engine.Device.isNull());
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        // The IMEI stays until the next identification; the port, firmware and name go.
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);
        QVERIFY(rig.Engine.Identity.Firmware.isEmpty());
        QVERIFY(rig.Connection.PortName.isEmpty());
        QVERIFY(rig.Messages.isEmpty());

        // A unit that does not answer the goodbye: closed after the resends, without a message.
        rig.Cable(sim.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
        sim.setSilent(true);
        rig.Connection.DisconnectActionExecute();
        QCOMPARE(rig.Actions, QStringLiteral("busy"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("disconnected"), 5000);
        QCOMPARE(rig.Count(QStringLiteral("write: CABLE DISCONNECT")), 5); // one answered above
        QVERIFY(rig.Messages.isEmpty());
        QVERIFY(sim.waitForClose(2000));
    }

    void silentUnitGetsFourConnectsThenTheMessage()
    {
        unitsim::UnitSimulator sim;
        auto options = CableUnit();
        options.faults.silent = true;
        QVERIFY(sim.start(options));
        Rig rig;
        rig.Cable(sim.portPath());
        QCOMPARE(rig.Actions, QStringLiteral("busy"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Messages, QStringList{kCableFailed}, 6000);
        QCOMPARE(rig.Count(QStringLiteral("write: CABLE CONNECT")), 4);
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QVERIFY(rig.Engine.Device.isNull());
        QVERIFY(sim.waitForClose(2000));
    }

    void startupOutputThenDelAllStartsTheHandshake()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(StartupUnit()));
        Rig rig;
        rig.Cable(sim.portPath(), true);
        QCOMPARE(rig.Engine.State, uint8_t(StateWaitStartup));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 6000);
        QCOMPARE(Sent(sim).first(), QStringLiteral("CABLE CONNECT"));
        // The handshake went out only after the start-up output had ended with "del all".
        const int handshake = int(rig.Log.indexOf(QStringLiteral("write: CABLE CONNECT")));
        const QString before = rig.Log.mid(0, handshake).join(QLatin1Char('\n'));
        QVERIFY2(before.contains(QLatin1String("del all"), Qt::CaseInsensitive),
                 qPrintable(before));
    }

    void escapeAbandonsTheStartupWaitAndAQuietUnitWaitsItOut()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        rig.Engine.Timings.StartupWaitMs = 1500; // room for a loaded machine
        rig.Cable(sim.portPath(), true);
        QVERIFY(sim.waitForOpen(2000));
        sim.sendUnsolicited("W9CAN boot\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(rig.Engine.State, uint8_t(StateStartupOutput), 2000);
        QVERIFY(rig.Connection.EscapeConnectionWait());
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QVERIFY(rig.Engine.Device.isNull());
        QVERIFY(sim.waitForClose(2000));
        QTest::qWait(1700); // the start-up wait's end finds nothing to start
        QCOMPARE(sim.commandCount(), 0);
        // A unit that stays quiet: the handshake starts only when the wait is over.
        rig.Cable(sim.portPath(), true);
        QTest::qWait(300);
        QCOMPARE(rig.Engine.State, uint8_t(StateWaitStartup));
        QCOMPARE(sim.commandCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("connected"), 5000);
        // Once connected, Esc is the engine's again.
        QVERIFY(!rig.Connection.EscapeConnectionWait());
    }

    // The unsupported-unit box opens from the event loop, not inside the reply processing; the
    // port lost while it is open ends the connection cleanly and the next one works.
    void unsupportedUnitBoxAndALostPortLeaveNothingBehind()
    {
        auto options = CableUnit();
        options.typepanByte = 0x38; // bit 1 clear
        auto sim = std::make_unique<unitsim::UnitSimulator>();
        QVERIFY(sim->start(options));
        Rig rig;
        rig.Engine.Hooks.ShowMessage = [&](const QString &text) {
            rig.Messages << text;
            sim.reset(); // the adapter is pulled while the box is open
            QVERIFY(QTest::qWaitFor([&] { return rig.Engine.Device.isNull(); }, 3000));
        };
        rig.Cable(sim ? sim->portPath() : QString());
        QTRY_COMPARE_WITH_TIMEOUT(rig.Messages, QStringList{"Не поддерживаемое устройство"}, 5000);
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QVERIFY(!rig.Engine.IsPending());
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);

        unitsim::UnitSimulator next;
        QVERIFY(next.start(CableUnit()));
        rig.Cable(next.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(rig.Identified(), 5000);
    }

    // Esc while the handshake waits out its pause after "del all" (the event loop runs once in
    // it): nothing is started on the closed connection.
    void escapeDuringTheDelAllPauseStartsNothing()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(StartupUnit()));
        Rig rig;
        QString seen;
        rig.Connection.Hooks.LogPortRead = [&](const QString &text) {
            seen += text;
            if (seen.contains(QLatin1String("del all"), Qt::CaseInsensitive))
                QMetaObject::invokeMethod(
                    &rig.Engine, [&] { rig.Connection.EscapeConnectionWait(); },
                    Qt::QueuedConnection);
        };
        rig.Cable(sim.portPath(), true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Engine.Device.isNull(), 5000);
        QTest::qWait(50);
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QCOMPARE(sim.commandCount(), 0);
        QVERIFY(rig.Messages.isEmpty());
    }

    // Minutes of keep-alives the unit answers keep the connection; once it falls silent it is
    // dropped 30 s (and at most one check) after its last reply, without a message.
    void silenceDropsAnIdleConnectionAndAnAnsweringUnitStays()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        Rig rig;
        rig.Engine.Timings.CommandTimeoutMs = 5000;
        rig.Cable(sim.portPath());
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

    void portThatDoesNotExist()
    {
        Rig rig;
        rig.Cable(QStringLiteral("/nonexistent/ttyW9"));
        QVERIFY(rig.Logged(QStringLiteral("error: Не могу создать файл")));
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QVERIFY(!rig.Logged(QStringLiteral("write: ")));
        QCOMPARE(rig.Log.last(), QStringLiteral("end"));
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);
        QVERIFY(rig.Engine.Device.isNull());
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QTest::qWait(50); // no queued second close
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);
        QVERIFY(rig.Messages.isEmpty());
    }

    void vanishingPortEndsTheConnection()
    {
        auto sim = std::make_unique<unitsim::UnitSimulator>();
        QVERIFY(sim->start(CableUnit()));
        Rig rig;
        rig.Cable(sim->portPath());
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("connected"), 5000);
        sim.reset(); // the pseudo-terminal goes away under the open port
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("disconnected"), 3000);
        QVERIFY(rig.Logged(QStringLiteral("error: Порт пропал")));
        QVERIFY(rig.Engine.Device.isNull());
        // The disconnect action on a port that is gone closes at once.
        rig.Connection.DisconnectActionExecute();
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
    }

    void modemConnectsDialsAndHangsUp()
    {
        unitsim::UnitSimulator sim;
        auto options = ModemUnit();
        options.registerAfter = 2;
        QVERIFY(sim.start(options));
        Rig rig;
        rig.Modem(sim.portPath(), QStringLiteral("+79001234567"), true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("connected"), 6000);
        QCOMPARE(sim.lastDialled(), QByteArray("+79001234567"));
        const QStringList sent = Sent(sim);
        QCOMPARE(sent.mid(0, 2), (QStringList{"ATZ", "AT"}));
        QCOMPARE(sent.count(QStringLiteral("AT+CREG?")), 3);
        QVERIFY(sent.indexOf(QStringLiteral("AT+CBST=7,0,1")) > sent.lastIndexOf("AT+CREG?"));
        QVERIFY(sent.contains(QStringLiteral("ATD+79001234567")));
        QVERIFY(sent.indexOf(QStringLiteral("+v")) > sent.indexOf("ATD+79001234567"));
        QCOMPARE(rig.Engine.Identity.IMEI, kImei);

        rig.Connection.DisconnectActionExecute();
        QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
        QVERIFY(rig.Engine.Device.isNull());
        QVERIFY(sim.waitForClose(2000));
        QVERIFY(sim.waitForCommand(QByteArray("+++"), 1000));
        QVERIFY(!sim.commands().last().cr);
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QVERIFY(rig.Messages.isEmpty());
    }

    void modemFailureWordsEndTheConnection_data()
    {
        QTest::addColumn<QString>("dialResult");
        QTest::addColumn<QString>("logged");
        QTest::newRow("busy") << "BUSY"
                              << "read: ОШИБКА! Линия занята(BUSY)!";
        QTest::newRow("no carrier")
            << "NO CARRIER"
            << "read: ОШИБКА! Не могу установить соединение или оно разорвано(NO CARRIER)!";
        QTest::newRow("no answer") << "NO ANSWER"
                                   << "read: ОШИБКА! Нет ответа(NO ANSWER)!";
    }

    void modemFailureWordsEndTheConnection()
    {
        QFETCH(QString, dialResult);
        QFETCH(QString, logged);
        unitsim::UnitSimulator sim;
        auto options = ModemUnit();
        options.dialResult = dialResult;
        QVERIFY(sim.start(options));
        Rig rig;
        rig.Modem(sim.portPath(), QStringLiteral("+79001234567"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Actions, QStringLiteral("disconnected"), 5000);
        QVERIFY2(rig.Log.contains(logged), qPrintable(rig.Log.join('\n')));
        QVERIFY(rig.Engine.Device.isNull());
        QCOMPARE(rig.Engine.State, uint8_t(StateIdle));
        QCOMPARE(rig.Count(QStringLiteral("end")), 1);
        QVERIFY(!Sent(sim).contains(QStringLiteral("+v")));
    }

    void modemPreparationFailures()
    {
        // No answer to "ATZ".
        {
            unitsim::UnitSimulator sim;
            auto options = ModemUnit();
            options.faults.neverAnswer = QStringList{QStringLiteral("ATZ")};
            QVERIFY(sim.start(options));
            Rig rig;
            rig.Modem(sim.portPath(), QStringLiteral("+79001234567"));
            QCOMPARE(rig.Messages, QStringList{kModemFailed});
            QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
            QCOMPARE(Sent(sim).count(QStringLiteral("ATZ")), 2);
            QVERIFY(!Sent(sim).contains(QStringLiteral("AT")));
        }
        // Esc ends a registration wait that would never end.
        {
            unitsim::UnitSimulator sim;
            auto options = ModemUnit();
            options.registerAfter = 1000000;
            QVERIFY(sim.start(options));
            Rig rig;
            QTimer::singleShot(700, [&] { QVERIFY(rig.Connection.EscapeConnectionWait()); });
            rig.Modem(sim.portPath(), QStringLiteral("+79001234567"), true);
            QVERIFY(rig.Messages.isEmpty());
            QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
            QVERIFY(Sent(sim).count(QStringLiteral("AT+CREG?")) >= 1);
            QVERIFY(!Sent(sim).contains(QStringLiteral("AT+CBST=7,0,1")));
        }
        // Esc ends a dial that nobody answers, without the message.
        {
            unitsim::UnitSimulator sim;
            auto options = ModemUnit();
            options.dialResult = QString();
            QVERIFY(sim.start(options));
            Rig rig;
            rig.Engine.Timings.DialTimeoutMs = 60000;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (Sent(sim).contains(QStringLiteral("ATD+79001234567"))) {
                    poll.stop();
                    QVERIFY(rig.Connection.EscapeConnectionWait());
                }
            });
            poll.start(50);
            rig.Modem(sim.portPath(), QStringLiteral("+79001234567"));
            QVERIFY(rig.Messages.isEmpty());
            QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
            QVERIFY(rig.Engine.Device.isNull());
        }
        // The dial that gets no answer is given up: the port closes with the modem message.
        {
            unitsim::UnitSimulator sim;
            auto options = ModemUnit();
            options.dialResult = QString();
            QVERIFY(sim.start(options));
            Rig rig;
            rig.Modem(sim.portPath(), QStringLiteral("+79001234567"));
            QCOMPARE(rig.Messages, QStringList{kModemFailed});
            QCOMPARE(rig.Actions, QStringLiteral("disconnected"));
            QVERIFY(rig.Engine.Device.isNull());
            QVERIFY(Sent(sim).contains(QStringLiteral("ATD+79001234567")));
        }
    }
};

QTEST_GUILESS_MAIN(TestConnection)

#include "tst_connection.moc"
