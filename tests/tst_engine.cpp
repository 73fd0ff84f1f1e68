// The command engine against a unit on a real pseudo-terminal: pacing, time-outs and resends,
// give-ups, Esc by state, every decode kind, modem failure words and the identification chain.

#include "PtyPair.h"
#include "SimConnection.h"
#include "device/Tick.h"
#include "main/UnansweredSends.h"

#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

namespace {

// A TRes for the row forms of the engine.
struct TRows
{
    std::map<std::pair<int, int>, QVariant> cells;
    QVariant &operator()(int r, int c) { return cells[{r, c}]; }
};

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedUnit> unit;
    std::unique_ptr<TCommandEngine> engine;
    std::unique_ptr<TDevice> device;
    QStringList messages, errors, logged;
    int closes = 0, disconnects = 0, connected = 0;

    void Connect(const QString &path = {})
    {
        device = std::make_unique<TDevice>(
            nullptr, MakeNewInDcb(path.isEmpty() ? unit->Pty.SlavePath() : path, 19200, 0, 8, 0));
        FastControlLines(*device);
        device->OnData = [this](QObject *, const QString &data) { engine->ProcessReply(data); };
        device->OnWakeUp = [this](QObject *) { engine->KeepAliveDue(); };
        device->SetComActive(true);
        QVERIFY(device->ComActive());
        engine->AttachDevice(device.get());
        engine->PortOpened();
    }

    // Connected to a unit that ends its identification at "+v" (state 9, wake-up on).
    void Identify()
    {
        unit->Answer("CABLE CONNECT", "CABLE CONNECT\r\nOK\r\n");
        unit->Answer("+v", "+v\r\nREV 07.504.035\r\nOK\r\n");
        engine->CableConnect();
        QTRY_VERIFY(engine->State == StateConnected && !engine->IsPending());
        unit->Received.clear();
    }

    TCommandValues Exec(int code, int retries = 1) { return engine->ExecCommand(code, retries); }

private slots:
    void init()
    {
        unit = std::make_unique<ScriptedUnit>();
        engine = std::make_unique<TCommandEngine>();
        TEngineTimings &t = engine->Timings;
        t.PacingMs = t.DelAllPauseMs = t.CableConnectPauseMs = t.DialPauseMs = 5;
        t.ModemFlagPauseMs = t.HangUpPauseMs = 5;
        t.TickMs = 10;
        t.CommandTimeoutMs = 150;
        t.StartupWaitMs = 100;
        engine->EngineTimer().setInterval(t.TickMs);
        messages.clear();
        errors.clear();
        logged.clear();
        closes = disconnects = connected = 0;
        TEngineHooks &h = engine->Hooks;
        h.ShowMessage = [this](const QString &m) { messages << m; };
        h.WriteErrorLog = [this](const QString &a, const QString &b, const QString &c) {
            errors << a + "|" + b + "|" + c;
        };
        h.LogPortRead = [this](const QString &m) { logged << m; };
        h.ClosePort = [this] {
            ++closes;
            if (device)
                device.release()->deleteLater();
            engine->ConnectionClosed();
        };
        h.DisconnectAction = [this] { ++disconnects; };
        h.SetActionsConnected = [this] { ++connected; };
        Connect();
    }

    void cleanup()
    {
        SetTickOffsetForTesting(0);
        engine.reset();
        device.reset();
        unit.reset();
    }

    // Sends are kept apart; a time-out runs out across the tick's wrap.
    void pacingAndTimeoutAcrossTickWrap()
    {
        engine->Timings.PacingMs = 250;
        unit->AnswerValue("+object", "1");
        Exec(5);
        const uint32_t first = engine->LastSendTick;
        Exec(5);
        QVERIFY(uint32_t(engine->LastSendTick - first) >= 250);

        SetTickOffsetForTesting(uint32_t(0) - GetTickCount() - 60); // wraps 60 ms from now
        QCOMPARE(Exec(10, 0)[1].toInt(), 0);
        QCOMPARE(unit->Count("+timefix"), 1);
    }

    // A command typed after a give-up gets its own resend count, and what is queued behind it
    // runs once it is given up.
    void resendsAndGiveUp()
    {
        // One retry: two sends, then (0, 0); no state change for a page command.
        Identify();
        QCOMPARE(Exec(5, 1)[1].toInt(), 0);
        QCOMPARE(unit->Count("+object"), 2);
        QCOMPARE(engine->State, uint8_t(StateConnected));
        QCOMPARE(closes, 0);
        QCOMPARE(engine->RetriesLeft, -1);
        engine->SendCommand("+foo", "OK", -1);
        unit->AnswerValue("+object", "7");
        QCOMPARE(Exec(5)[0], QVariant(QString("7")));
        QCOMPARE(unit->Count("+foo"), TCommandEngine::DefaultRetries + 1);

        // Unlimited: resent until the unit answers.
        unit->Answer("+timefix", [](const QString &, int n) {
            return n >= 3 ? QString("+timefix\r\n>1E\r\nOK\r\n") : QString();
        });
        QCOMPARE(Exec(10, -1)[0].toInt(), 0x1E);
        QCOMPARE(unit->Count("+timefix"), 3);
    }

    // A silent "CABLE CONNECT" or "CABLE DISCONNECT": the connection's tests.
    void identificationGivenUpClosesWithTheMessage()
    {
        unit->Answer("CABLE CONNECT", "CABLE CONNECT\r\nOK\r\n");
        engine->CableConnect();
        QTRY_COMPARE_WITH_TIMEOUT(closes, 1, 5000);
        QCOMPARE(unit->Count("+v"), 2); // DefaultRetries 1
        QTRY_COMPARE(messages,
                     QStringList{"Не удалось подключиться к прибору, повторите попытку."});
        QCOMPARE(engine->State, uint8_t(StateIdle));
    }

    void escapeByState()
    {
        // Reading, writing and connected: the page transfer's and the main window's tests.
        // Identifying: disconnect.
        unit->Answer("CABLE CONNECT", "CABLE CONNECT\r\nOK\r\n");
        engine->CableConnect();
        QTRY_COMPARE(engine->State, uint8_t(StateIdentifying));
        engine->EscapePressed();
        QCOMPARE(disconnects, 1);
        QCOMPARE(closes, 0);

        // Cable connect or disconnect sent: closed at once.
        engine->CableConnect();
        engine->EscapePressed();
        QCOMPARE(closes, 1);
        QVERIFY(!engine->Waiting());
        Connect();
        engine->CableDisconnect();
        QCOMPARE(engine->State, uint8_t(StateCableDisconnect));
        engine->EscapePressed();
        QCOMPARE(closes, 2);

        // Idle: nothing.
        engine->EscapePressed();
        QCOMPARE(closes, 2);
        QCOMPARE(disconnects, 1);
    }

    // Delivered a byte at a time, as a slow line does.
    void decodeKinds()
    {
        unit->OneByteChunks = true;
        engine->Timings.CommandTimeoutMs = 2000;
        unit->AnswerValue("+gprsname", "internet.book.ru");
        unit->AnswerValue("+object", "OKTELECOM");
        unit->Answer("+alphon0", "5551234\r\nOK\r\n");
        unit->AnswerValue("+timefix", "0A3F");
        unit->AnswerValue("+latit", "0A3F");
        unit->Answer("+zact", "+zact\r\n0A\r\nOK\r\n");
        unit->Answer("+carid", "+carid\r\n>zz\r\nOK\r\n");
        unit->Answer("+latit%s", "+latit12\r\nOK\r\n");
        unit->Answer("+qlxfunc", "+qlxfunc\r\nOK\r\n");
        unit->Answer("+help", "ok\r\n");

        QCOMPARE(Exec(43), (TCommandValues{QString("internet.book.ru"), 1}));
        QCOMPARE(Exec(5), (TCommandValues{QString("OKTELECOM"), 1}));
        QCOMPARE(Exec(97), (TCommandValues{QString("5551234"), 1}));
        QCOMPARE(Exec(10), (TCommandValues{10, 1}));
        QCOMPARE(Exec(6), (TCommandValues{0x0A3F, 1}));
        QVERIFY(errors.isEmpty());
        QCOMPARE(Exec(77), (TCommandValues{-1, 0}));
        QCOMPARE(errors, QStringList{"GetByte|Convert|+zact0AOK"});
        QCOMPARE(Exec(131), (TCommandValues{-1, 1})); // "+carid" keeps status 1
        const TCommandValues text = Exec(7);
        // the whole gathered text; the CR LF after "OK" may still be on its way
        QVERIFY(text[0].toString().contains("+latit12\r\nOK"));
        QCOMPARE(text[1].toInt(), 1);
        QCOMPARE(Exec(120), (TCommandValues{0, 0})); // no decoding: ends with status 0
        engine->SendCommand("+help", "OK", -1);
        QTRY_VERIFY(!engine->Waiting());
        QCOMPARE(engine->Values, (TCommandValues{1, 1}));
        QCOMPARE(unit->Count("+gprsname"), 1); // nothing was resent
    }

    void modemFailureClosesConnection()
    {
        engine->Timings.CommandTimeoutMs = 2000;
        unit->OneByteChunks = true;
        unit->Answer("+object", "+object\r\nERR");
        QTimer::singleShot(300, this, [this] { unit->Write("OR\r\n"); });
        const TCommandValues v = Exec(5);
        QCOMPARE(v[1].toInt(), 0);
        QCOMPARE(logged, QStringList{"ОШИБКА! Неизвестная ошибка(ERROR)!"});
        QVERIFY(!engine->PortActive);
        // The close is left to the next engine tick, which a loaded machine may already have run.
        QVERIFY(engine->State == StateCloseRequested || closes == 1);
        QTRY_COMPARE(closes, 1);
        QCOMPARE(engine->State, uint8_t(StateIdle));
    }

    // "+typepan" from 504 build 36, "+imei" from 504 build 40 and on every 505. A type the
    // program does not know is identified and nothing more: no further command, no keep-alive,
    // the actions stay as they were.
    void identification_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("typepan");
        QTest::addColumn<QString>("memory");
        QTest::addColumn<bool>("hasImei");
        const auto row = [](const char *version, const char *typepan, const char *memory,
                            bool hasImei) {
            QTest::newRow(version)
                << QString(version) << QString(typepan) << QString::fromUtf8(memory) << hasImei;
        };
        row("REV 07.504.035", "", "", false);
        row("REV 07.504.036", "02", "M45PE16", false);
        row("REV 07.504.039", "3A", "AT45DB161D", false);
        row("REV 07.504.040", "3A", "AT45DB161D", true);
        row("REV 07.505.030", "zz", "Неизвестный тип памяти", true);
        row("REV 07.777.030", "", "", false);
    }
    void identification()
    {
        QFETCH(QString, version);
        QFETCH(QString, typepan);
        QFETCH(QString, memory);
        QFETCH(bool, hasImei);
        QStringList sent{"CABLE CONNECT", "+v"};
        if (!typepan.isEmpty())
            sent << "+typepan";
        if (hasImei)
            sent << "+imei";
        const QString imei = hasImei ? "351234567890123" : "";
        int models = 0;
        engine->Hooks.ApplyDeviceModel = [&](int, int) { ++models; };
        engine->Identity.MemoryCopy = "M45PE16"; // left from an interrupted upload
        unit->Answer("CABLE CONNECT", "CABLE CONNECT\r\nOK\r\n");
        unit->Answer("+v", "+v\r\n" + version + "\r\nOK\r\n");
        unit->AnswerValue("+typepan", typepan);
        unit->AnswerValue("+imei", "351234567890123");
        engine->CableConnect();
        QTRY_COMPARE(unit->Received, sent);
        QTRY_VERIFY(!engine->Waiting());
        QTRY_COMPARE(engine->Identity.IMEI, imei);
        const bool known = !version.contains("777");
        QCOMPARE(connected, version.contains("505") ? 2 : int(known));
        QCOMPARE(engine->State, uint8_t(StateConnected));
        QCOMPARE(engine->Identity.Memory, memory);
        QCOMPARE(engine->Identity.MemoryCopy, memory == "Неизвестный тип памяти" ? "" : memory);
        QCOMPARE(device->WakeUp(), known);
        QCOMPARE(models, 1); // every unit chooses its history layout
        QVERIFY(messages.isEmpty());
    }

    // A command asked for while another waits goes out once that one has its reply.
    void oneCommandAtATime()
    {
        engine->Timings.CommandTimeoutMs = 2000;
        unit->AnswerValue("+object", "1");
        unit->Answer("+timefix", [this](const QString &, int) {
            // answered late, so that the request below arrives during the wait
            QTimer::singleShot(150, this, [this] { unit->Write("+timefix\r\n>05\r\nOK\r\n"); });
            return QString();
        });
        TCommandValues nested;
        QTimer::singleShot(50, this, [&] { nested = Exec(5); });
        QCOMPARE(Exec(10)[0].toInt(), 5);
        QCOMPARE(nested[0], QVariant(QString("1")));
        QCOMPARE(unit->Received, (QStringList{"+timefix", "+object"}));
    }

    // The keep-alive is an exchange of the engine: nothing goes out while its answer is awaited
    // and that answer is never taken for the next command's; one never answered is forgotten
    // after a command's time-out.
    void keepAliveIsAnExchange()
    {
        Identify();
        engine->Timings.CommandTimeoutMs = 2000;
        unit->Answer("+v", [this](const QString &, int) {
            QTimer::singleShot(200, this,
                               [this] { unit->Write("+v\r\nREV 07.504.035\r\nOK\r\n"); });
            return QString();
        });
        unit->AnswerValue("+object", "42");
        SetTickOffsetForTesting(20000); // the wake-up interval has passed
        device->TimerTick();
        QVERIFY(engine->IsPending());
        QCOMPARE(Exec(5)[0], QVariant(QString("42")));
        QCOMPARE(unit->Received, (QStringList{"+v", "+object"}));

        engine->Timings.CommandTimeoutMs = 150;
        unit->Answer("+v", QString());
        unit->Received.clear();
        engine->KeepAliveDue();
        QCOMPARE(Exec(5)[0], QVariant(QString("42")));
        QCOMPARE(unit->Received, (QStringList{"+v", "+object"}));
        QVERIFY(!engine->IsPending());
    }

    // A command whose own time-out outlasts the silence limit is decided by that time-out; the
    // silence is counted again from its end.
    void longCommandsOutlastTheSilenceLimit()
    {
        Identify();
        int alarms = 0;
        uint32_t firstAlarm = 0;
        device->OnErrorWaitInterval = [&](QObject *) {
            if (engine->SilenceAlarm() && alarms++ == 0)
                firstAlarm = GetTickCount();
        };
        engine->Timings.CommandTimeoutMs = 5000;
        engine->Timings.EraseTimeoutMs = 50000;
        engine->Timings.DialTimeoutMs = 60000;
        TFastClock clock([this] { return device.get(); }, 100);
        const auto answerAfter = [this](uint32_t ms, const QString &reply) {
            const uint32_t from = GetTickCount();
            AfterThat(
                this, [from, ms] { return uint32_t(GetTickCount() - from) >= ms; },
                [this, reply] { unit->Write(reply); });
        };
        clock.Start();
        answerAfter(40000, "\r\nOK\r\n");
        QCOMPARE(engine->ExecCommand(117, 0)[1].toInt(), 1);
        QCOMPARE(unit->Count("+erase"), 1);

        answerAfter(45000, "\r\nCONNECT\r\n");
        engine->SendCommand("ATD5551234", "CONNECT", 1028, 0);
        QTRY_VERIFY_WITH_TIMEOUT(unit->Count("+v") == 1, 20000);
        QTRY_VERIFY(!engine->IsPending());
        QCOMPARE(alarms, 0);
        QCOMPARE(closes, 0);
        QCOMPARE(unit->Count("ATD5551234"), 1);

        unit->Answer("+v", QString());
        const uint32_t lastReply = device->LastReceiveTick();
        QTRY_VERIFY_WITH_TIMEOUT(alarms > 0, 20000);
        QVERIFY(uint32_t(firstAlarm - lastReply) >= 30000);
    }

    void closedOrLostPortCompletesAtOnce()
    {
        engine->ConnectionClosed();
        QCOMPARE(Exec(5)[1].toInt(), 0);
        QVERIFY(unit->Received.isEmpty());
        TRows rows;
        TCommandEngine::InitResultArray(rows, 2);
        engine->AttachDevice(device.get());
        engine->PortOpened();
        unit->AnswerValue("+object", "42");
        engine->ExecCommand(5, 1, 2, rows);
        QCOMPARE(rows(2, 1), QVariant(QString("42")));
        QCOMPARE(rows(2, 2).toInt(), 1);

        // A port whose other side has gone: once the loss is known nothing more is written to
        // it (the connection closes it later), and a command completes at once, unanswered.
        PtyPair pty;
        Connect(pty.SlavePath());
        QStringList writes;
        int writeErrors = 0;
        device->OnBeforeWrite = [&](QObject *, const QString &cmd) { writes << cmd; };
        device->OnWriteError = [&](QObject *, uint32_t, const QString &) { ++writeErrors; };
        pty.CloseMaster();
        QTRY_VERIFY(device->ComLost());
        QCOMPARE(Exec(5)[1].toInt(), 0);
        engine->KeepAliveDue();
        device->SendCommand(QStringLiteral("+v"));
        QVERIFY(writes.isEmpty());
        QCOMPARE(writeErrors, 0);
    }

    void startupEndSeenAcrossPieces()
    {
        // The start-up output reaches the program a byte at a time, as a slow line delivers it;
        // its closing "del all" still starts the cable handshake.
        unit->OneByteChunks = true;
        engine->Timings.StartupWaitMs = 60000;
        const auto outputBegins = [this] {
            engine->BeginStartupWait();
            engine->NoteReceived();
        };
        outputBegins();
        unit->Write("W9CAN start\r\ndel all\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(unit->Count("CABLE CONNECT") == 1, 5000);
        QCOMPARE(engine->State, uint8_t(StateCableConnect));

        // Pieces of an earlier connection's output do not join the next one's.
        for (const QString piece : {"del a", "ll"}) {
            engine->ConnectionClosed();
            outputBegins();
            engine->ProcessReply(piece);
        }
        QCOMPARE(engine->State, uint8_t(StateStartupOutput));
    }

    // The answer matcher says which answers it cannot place by what they carry; the version
    // query, whose answer names itself, places them. At the start of a connection it is not
    // known yet whether the unit puts the command before a value: a read left unanswered then
    // cannot be told from the next read's bare value (older firmware), until the version's
    // answer shows that everything sent before it is done with.
    void answerMatcherKnowsWhatItCannotTell()
    {
        using Taken = std::optional<uint32_t>;
        const auto value = TAnswerShape::Value, version = TAnswerShape::Version;
        const QString named = QStringLiteral("\r\n+v\r\n>REV 07.505.017\r\nOK\r\n");
        const QString ok = QStringLiteral("\r\nOK\r\n");
        TUnansweredSends sends;
        sends.Add({QStringLiteral("+latit"), value, 1});
        QVERIFY(!sends.TellsItsSend(value));
        QVERIFY(!sends.AllTellTheirSends());
        sends.Add({QStringLiteral("+v"), version, 2});
        QVERIFY(!sends.AllTellTheirSends());
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n>REV 07.504.030\r\nOK\r\n"), 0), Taken(2));
        QVERIFY(sends.Empty());
        sends.Add({QStringLiteral("+longit"), value, 3});
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n>012C\r\nOK\r\n"), 3), Taken(3));
        QVERIFY(!sends.TellsItsSend(value)); // older firmware, for the whole connection

        // A read's value under its command shows that values name their command; the version's
        // answer does not, and a bare "OK" never names its send.
        sends.ForgetUnit();
        sends.Add({QStringLiteral("+v"), version, 4});
        QCOMPARE(sends.TakeAnswered(named, 4), Taken(4));
        QVERIFY(!sends.TellsItsSend(value));
        sends.Add({QStringLiteral("+object"), value, 5});
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n+object\r\n>0042\r\nOK\r\n"), 5), Taken(5));
        QVERIFY(sends.TellsItsSend(value));
        sends.Add({QStringLiteral("+latit"), value, 6});
        QVERIFY(sends.AllTellTheirSends());
        sends.Add({QStringLiteral("+timefix05"), TAnswerShape::Plain, 7});
        QVERIFY(!sends.AllTellTheirSends());

        // Version answers go by order: the keep-alive's late one is its own, not the query's
        // that follows a write given up, and the write's late "OK" is the write's.
        sends.Clear();
        sends.Add({QStringLiteral("+v"), version, 8});
        sends.Add({QStringLiteral("+timefix05"), TAnswerShape::Plain, 9});
        sends.Add({QStringLiteral("+v"), version, 10});
        QCOMPARE(sends.TakeAnswered(named, 0), Taken(8));
        QCOMPARE(sends.TakeAnswered(ok, 0), Taken(9));
        QCOMPARE(sends.TakeAnswered(named, 0), Taken(10));
        QVERIFY(sends.Empty());

        // A bare "OK" placed on an unconfirmed write by the order alone is not taken for a later
        // write of the same text: only an answer that names its command tells the same for both.
        const auto plain = TAnswerShape::Plain;
        for (const uint32_t exchange : {6, 6})
            sends.Add({QStringLiteral("+timegps1E"), plain, exchange});
        for (const uint32_t exchange : {7, 7})
            sends.Add({QStringLiteral("+v"), version, exchange});
        sends.Add({QStringLiteral("+object0917"), plain, 8});
        sends.Add({QStringLiteral("+timegps1E"), plain, 10});
        QCOMPARE(sends.TakeAnswered(ok, 10), Taken(6));
        QCOMPARE(sends.TakeAnswered(ok, 10), Taken(6));
        QVERIFY(!sends.Doubt());

        // Older firmware: a value alone where a version is due may be the version, garbled. It is
        // not the read's, and it leaves doubt until a version answer of the line's own settles
        // it; the read's own value then is the read's.
        sends.Clear();
        sends.Add({QStringLiteral("+v"), version, 11});
        sends.Add({QStringLiteral("+latit"), value, 12});
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n>##############\r\nOK\r\n"), 12),
                 Taken(11));
        QVERIFY(sends.Doubt());
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n>0123\r\nOK\r\n"), 12), Taken(12));
        QVERIFY(sends.Doubt());
        sends.Add({QStringLiteral("+v"), version, 13});
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n>REV 07.504.030\r\nOK\r\n"), 13),
                 Taken(13));
        QVERIFY(!sends.Doubt());
        // An answer that fits no waiting send is doubt as well.
        sends.Add({QStringLiteral("+turn00"), plain, 14});
        QCOMPARE(sends.TakeAnswered(QStringLiteral("\r\n+qsafe\r\n>FF\r\nOK\r\n"), 14), Taken());
        QVERIFY(sends.Doubt());

        // No send is waited for longer than its lifetime, or its own longer time-out: a write
        // lost in a stall no longer takes the "OK" of a write sent after it.
        sends.Clear();
        sends.Add({QStringLiteral("+timefix05"), plain, 15, 1000, 30000});
        sends.Add({QStringLiteral("+BE"), plain, 16, 2000, 50000});
        sends.Add({QStringLiteral("+turn00"), plain, 17, 31100, 30000});
        QCOMPARE(sends.TakeAnswered(ok, 17, 31200), Taken(16));
        QCOMPARE(sends.TakeAnswered(ok, 17, 31300), Taken(17));
    }

    // Time-out 150 ms; the unit never answers "+timegps" nor its version, and the "OK" of the
    // write in between comes late, right after the same "+timegps" write is sent again: it is
    // not that write's confirmation.
    void aLateOkNeverConfirmsAWriteOnlyLikeOneGivenUp()
    {
        Identify();
        unit->Answer("+v", "");
        QCOMPARE(engine->ExecCommandText("+timegps1E", 22, 1)[1].toInt(), 0);
        QTRY_VERIFY(!engine->IsPending());
        QCOMPARE(engine->ExecCommandText("+tunfix05", 75, 1)[1].toInt(), 0);
        QTRY_VERIFY(!engine->IsPending());
        unit->Answer("+timegps1E", [](const QString &, int n) {
            return n == 3 ? QStringLiteral("\r\nOK\r\n") : QString();
        });
        QCOMPARE(engine->ExecCommandText("+timegps1E", 22, 1)[1].toInt(), 0);
        QCOMPARE(unit->Received.mid(0, 10),
                 (QStringList{"+timegps1E", "+timegps1E", "+v", "+v", "+tunfix05", "+tunfix05",
                              "+v", "+v", "+timegps1E", "+timegps1E"}));
    }

    // Older firmware, values without their command: the keep-alive's version comes garbled and
    // late, after the read behind it went out, and the read's own value later still. The
    // garbled answer is not the read's, and the read's value never goes to the next read.
    void aGarbledVersionNeverMovesAValueOntoTheNextRead()
    {
        Identify();
        unit->Answer("+v", [](const QString &, int n) {
            return n == 1 ? QString() : QStringLiteral("\r\n>REV 07.504.035\r\nOK\r\n");
        });
        const QString latitValue = QStringLiteral("\r\n>0123\r\nOK\r\n");
        unit->Answer("+latit", [latitValue](const QString &, int n) {
            return n == 1 ? QStringLiteral("\r\n>##############\r\nOK\r\n")
                          : latitValue + latitValue;
        });
        unit->Answer("+longit", [this, latitValue](const QString &, int) {
            const QString held = unit->Count("+latit") == 1 ? latitValue : QString();
            return held + QStringLiteral("\r\n>0456\r\nOK\r\n");
        });
        engine->KeepAliveDue();
        QTRY_COMPARE(unit->Received, QStringList{"+v"});
        const TCommandValues latit = Exec(6);
        const TCommandValues longit = Exec(8);
        QCOMPARE(latit[0].toInt(), 0x0123);
        QCOMPARE(latit[1].toInt(), 1);
        QCOMPARE(longit[0].toInt(), 0x0456);
        QCOMPARE(longit[1].toInt(), 1);
    }

    // A stall swallows a write and both sends of the version query after it. Once a send's
    // lifetime has passed, six writes answered at once are all confirmed, each with one send.
    void aLineThatLostStepIsBackInStepOnceItsSendsHaveAgedOut()
    {
        engine->Timings.AnswerLifetimeMs = 1500;
        Identify();
        unit->Answer("+v", "");
        QCOMPARE(engine->ExecCommandText("+timefix05", 11, 1)[1].toInt(), 0);
        QTRY_VERIFY(!engine->IsPending());
        QCOMPARE(unit->Count("+v"), 2);
        const uint32_t stallEnd = GetTickCount();
        unit->Answer("+v", "\r\n+v\r\n>REV 07.504.035\r\nOK\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(uint32_t(GetTickCount() - stallEnd) > 1500 + 150, 5000);
        unit->Received.clear();
        const QStringList writes = {"+latit00E6", "+longit0258", "+timefix01",
                                    "+turn00",    "+qsafe00",    "+timegps1E"};
        const int codes[] = {7, 9, 11, 13, 16, 22};
        for (int i = 0; i < writes.size(); ++i) {
            unit->Answer(writes[i], "\r\nOK\r\n");
            QCOMPARE(engine->ExecCommandText(writes[i], codes[i], 1)[1].toInt(), 1);
            QCOMPARE(unit->Count(writes[i]), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
