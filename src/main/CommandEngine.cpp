#include "main/CommandEngine.h"

#include "device/Commands.h"
#include "device/Device.h"
#include "device/Tick.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

const char *const kConnectFailed = "Не удалось подключиться к прибору, повторите попытку.";
const char *const kUnsupportedDevice = "Не поддерживаемое устройство";
const char *const kDeviceName = "Калмир 9-1";
const char *const kUnknownMemory = "Неизвестный тип памяти";

using TExchange = TRequestQueue::TExchange;

uint32_t ElapsedSince(uint32_t tick)
{
    return uint32_t(GetTickCount() - tick);
}

// A number taken from the version reply; a text the extractor cannot convert reads 0.
int SafeNumber(int (*extract)(const QString &), const QString &reply)
{
    try {
        return extract(reply);
    } catch (const std::exception &) {
        return 0;
    }
}

// The operation states a transfer's own state may be put back over: its own and Esc's stop
// request. A disconnect, a close or a closed connection stand.
bool TransferMayRestoreOver(uint8_t state)
{
    return state == StateReading || state == StateWriting || state == StateConnected;
}

// The states of a connection on its way out: the goodbye, the modem's escape and hang-up, a
// close asked for.
bool ConnectionEnding(uint8_t state)
{
    return state == StateCableDisconnect || state == StateModemHangUp ||
           state == StateModemEscape || state == StateCloseRequested;
}

static_assert(TEngineTimings{}.AnswerLifetimeMs == TDevice::SilenceAlarmMs,
              "a send is waited for as long as the line may stay silent");

} // namespace

TCommandEngine::TCommandEngine(QObject *parent) : QObject(parent), Queue(this)
{
    ReplyDecoder.ErrorSink = [this](const QString &where, const QString &what,
                                    const QString &detail) { ErrorLog(where, what, detail); };
    Timer.setInterval(Timings.TickMs);
    connect(&Timer, &QTimer::timeout, this,
            [this] { RunGuarded("engine tick", [this] { TimerTimer(); }); });
    Timer.start();
}

TCommandEngine::~TCommandEngine() = default;

// ---------------------------------------------------------------- what is pending

bool TCommandEngine::Waiting() const
{
    return Queue.OnLine() == TExchange::Command;
}

bool TCommandEngine::IsPending() const
{
    return !Queue.Free() || Queue.HasQueued();
}

void TCommandEngine::MarkDone()
{
    done = true;
    Queue.CallFinished(values);
}

void TCommandEngine::NoteCommandEnded()
{
    if (timeoutMs > TDevice::SilenceAlarmMs) {
        longCommandEnd = GetTickCount();
        longCommandEnded = true;
    }
}

void TCommandEngine::EndExchange()
{
    if (Unanswered.Empty())
        replyBuffer.clear();
    if (Queue.OnLine() == TExchange::Command)
        NoteCommandEnded();
    Queue.ExchangeEnded();
}

void TCommandEngine::DropLine()
{
    if (Queue.OnLine() != TExchange::None)
        EndExchange();
}

void TCommandEngine::AbandonPending()
{
    if (Waiting())
        LeaveUnanswered(exchangeStart);
    MarkDone();
}

// The command on the line is over without its answer; its sends stay among the unanswered ones,
// so that what still comes for them is known for theirs. A modem command holds the line for its
// other answers until `from` plus its time-out.
void TCommandEngine::LeaveUnanswered(uint32_t from)
{
    if (TUnansweredSends::IsModemCode(lastCode))
        HoldLine(from, timeoutMs);
    else
        EndExchangeOrSync();
}

// The exchange on the line is over. Where an answer may still come that cannot be told from the
// next command's (a bare "OK", a value without its command), or an answer left doubt about what
// the unit has answered, the unit is asked for its version first: its answer names itself, and
// once it is in, everything sent before has been answered.
void TCommandEngine::EndExchangeOrSync()
{
    Unanswered.Expire(GetTickCount());
    if (Unanswered.AllTellTheirSends() && !Unanswered.Doubt()) {
        EndExchange();
        return;
    }
    NoteCommandEnded();
    StartSync();
}

void TCommandEngine::StartSync()
{
    syncSends = 0;
    Queue.ExchangeSent(TExchange::Sync);
    // Sent from the event loop: this may run inside the processing of an answer.
    QMetaObject::invokeMethod(
        this,
        [this] {
            RunGuarded("engine sync", [this] {
                if (syncSends == 0)
                    AskSync();
            });
        },
        Qt::QueuedConnection);
}

// The exchange whose answer the line waits for: 0 while none is (a version query not sent yet
// included).
uint32_t TCommandEngine::ExchangeOnLine() const
{
    switch (Queue.OnLine()) {
    case TExchange::Command:
    case TExchange::KeepAlive:
        return lineExchange;
    case TExchange::Sync:
        return syncSends > 0 ? lineExchange : 0;
    case TExchange::Abandoned:
    case TExchange::None:
        break;
    }
    return 0;
}

// The version query of a sync, or its resend: nothing else may go out before the unit has answered
// one of them. Nothing is sent while sending is suspended (the firmware dialog talks to the unit
// itself).
void TCommandEngine::AskSync()
{
    if (Queue.OnLine() != TExchange::Sync || Queue.Held())
        return;
    if (PortUsable())
        PaceAndClearLine(false);
    if (!PortUsable()) {
        EndExchange();
        return;
    }
    const QString query = GetCommandText(3);
    NoteSent(query, TAnswerShape::Version, syncSends++ == 0, Timings.CommandTimeoutMs);
    device->SendCommand(query);
}

// A version query unanswered after its resends is given up as any command is, so that a unit
// that answers but never its version (garbled replies) cannot stall the rows behind it. Its sends
// and the older ones stay listed until they are answered or age out: a late answer is still
// placed by order on the oldest send it can answer, never on a later command's.
void TCommandEngine::ResendOrGiveUpSync()
{
    if (syncSends <= DefaultRetries)
        AskSync();
    else
        EndExchange();
}

// A modem command's other answers may still come: the line stays held for them for `ms` from
// `from`.
void TCommandEngine::HoldLine(uint32_t from, uint32_t ms)
{
    NoteCommandEnded();
    exchangeStart = from;
    holdMs = ms;
    Queue.ExchangeSent(TExchange::Abandoned);
}

// The command on the line has its answer. When it was sent more than once, the answers to its
// other sends may still come. A modem command holds the line for them: they are overdue a
// time-out after this answer plus the time between its first and its last send.
void TCommandEngine::CommandAnswered()
{
    if (TUnansweredSends::IsModemCode(lastCode) && Unanswered.Waits(lineExchange))
        HoldLine(GetTickCount(), timeoutMs + uint32_t(lastSendTick - firstSendTick));
    else
        EndExchangeOrSync();
}

// The connection starts or ends, or a step takes the line over: nothing sent before is awaited.
void TCommandEngine::ForgetUnanswered()
{
    Unanswered.Clear();
    replyBuffer.clear();
}

void TCommandEngine::RunWhenFree(std::function<void()> job)
{
    Queue.RunWhenFree(std::move(job));
}

void TCommandEngine::SuspendSending()
{
    Queue.Hold();
}

void TCommandEngine::ResumeSending()
{
    exchangeStart = GetTickCount();
    Queue.Release();
}

// ---------------------------------------------------------------- sending

bool TCommandEngine::PortUsable() const
{
    return portActive && device && device->ComActive() && !device->ComLost();
}

// At least the pacing gap since whatever went out last (the device's own sends included). Before
// a fresh exchange, what the unit said earlier is handled now, while nothing awaits it, so that it
// cannot be taken for the new exchange's answer.
void TCommandEngine::PaceAndClearLine(bool fresh)
{
    uint32_t sinceLast = ElapsedSince(lastSendTick);
    if (device->LastSendTick() != 0)
        sinceLast = std::min(sinceLast, ElapsedSince(device->LastSendTick()));
    if (sinceLast < Timings.PacingMs)
        Pause(Timings.PacingMs - sinceLast);
    if (fresh)
        device->DeliverReceivedData();
}

// Sends a command into the slot (a resend when it is already there). False when the port is not
// usable: the command is then over with its current values.
bool TCommandEngine::Transmit(const QString &cmd, const QString &expected, int code)
{
    const bool resend = Waiting();
    if (PortUsable())
        PaceAndClearLine(!resend);
    if (!PortUsable()) {
        AbandonPending();
        return false;
    }
    lastCommand = cmd;
    lastCode = code;
    expectedReply = expected;
    if (cmd.contains(QLatin1String("erase")))
        timeoutMs = Timings.EraseTimeoutMs;
    else if (cmd.contains(QLatin1String("ATD")))
        timeoutMs = Timings.DialTimeoutMs;
    else
        timeoutMs = Timings.CommandTimeoutMs;
    NoteSent(cmd, TUnansweredSends::ShapeOf(code), !resend, timeoutMs);
    Queue.ExchangeSent(TExchange::Command);
    device->SendCommand(lastCommand);
    return true;
}

// A send goes on the list of the unanswered ones: a fresh one starts an exchange of its own, a
// resend joins the exchange on the line. With nothing else awaited, what the unit said before is
// forgotten. It is waited for until the line's lifetime of an answer, or its own time-out when
// that is longer, has passed.
void TCommandEngine::NoteSent(const QString &text, TAnswerShape shape, bool fresh, uint32_t timeout)
{
    lastSendTick = GetTickCount();
    exchangeStart = lastSendTick;
    if (fresh) {
        lineExchange = ++lastExchange;
        firstSendTick = lastSendTick;
        if (Unanswered.Empty())
            replyBuffer.clear();
    }
    Unanswered.Add(
        {text, shape, lineExchange, lastSendTick, std::max(Timings.AnswerLifetimeMs, timeout)});
}

void TCommandEngine::SendByCode(int code)
{
    SendStep(GetCommandText(code), GetCommandReply(code), code);
}

// Each step of the identification has a resend of its own: on a link slower than the time-out
// every command is answered only after its resend, and a step that inherited the resend "+v" used
// would be given up, leaving the unit's name, memory chip and IMEI unknown.
void TCommandEngine::SendIdentificationStep(int code)
{
    retriesLeft = DefaultRetries;
    SendByCode(code);
}

// A step of a connection sequence goes out at once, or ahead of every queued request once the
// late answers of a resent step are in; it is dropped when the connection has closed or is
// closing meanwhile.
void TCommandEngine::SendStep(const QString &text, const QString &expected, int code)
{
    if (Queue.OnLine() == TExchange::None) {
        Transmit(text, expected, code);
        return;
    }
    // A page action started meanwhile changes the state but waits behind the step.
    const int retries = retriesLeft;
    const QPointer<TDevice> stepDevice = device;
    Queue.RunFirst([=, this] {
        if (device != stepDevice || ConnectionEnding(state))
            return;
        retriesLeft = retries;
        Transmit(text, expected, code);
    });
}

void TCommandEngine::SendCommand(const QString &cmd, const QString &expected, int code, int retries)
{
    Queue.RunWhenFree([this, cmd, expected, code, retries] {
        retriesLeft = retries;
        Transmit(cmd, expected, code);
    });
}

void TCommandEngine::KeepAliveDue()
{
    if (!Queue.HasQueued() && PortUsable())
        SendUnawaited(device->WakeUpCommand());
}

void TCommandEngine::SendDirect(const QString &text)
{
    RunWhenFree([this, text] {
        if (PortUsable())
            SendUnawaited(text);
    });
}

// Nobody waits for the answer, but the line is held until it is in (or a command's time-out has
// passed); what comes for it later is still known for its own.
void TCommandEngine::SendUnawaited(const QString &text)
{
    if (!Queue.Free())
        return;
    PaceAndClearLine(true);
    if (!PortUsable() || !Queue.Free())
        return;
    holdMs = Timings.CommandTimeoutMs;
    NoteSent(text, TUnansweredSends::ShapeOfUnawaited(text), true, holdMs);
    Queue.ExchangeSent(TExchange::KeepAlive);
    device->SendCommand(text);
}

TCommandValues TCommandEngine::ExecCommand(int code, int retries)
{
    return RunCall(GetCommandText(code), code, retries);
}

TCommandValues TCommandEngine::ExecCommandText(const QString &text, int code, int retries)
{
    return RunCall(text, code, retries);
}

TCommandValues TCommandEngine::RunCall(const QString &text, int code, int retries)
{
    if (Queue.Held())
        return {0, 0};
    auto call = std::make_shared<TRequestQueue::TCall>();
    QueueCall(call, text, code, retries);
    WaitUntil([&call] { return call->Done; });
    return call->Values;
}

void TCommandEngine::RequestCommand(const QString &text, int code, int retries,
                                    std::function<void(const TCommandValues &)> answered)
{
    if (Queue.Held()) {
        Queue.PostAnswer(std::move(answered), {0, 0});
        return;
    }
    auto call = std::make_shared<TRequestQueue::TCall>();
    call->Answered = std::move(answered);
    QueueCall(call, text, code, retries);
}

void TCommandEngine::QueueCall(const std::shared_ptr<TRequestQueue::TCall> &call,
                               const QString &text, int code, int retries)
{
    Queue.RunWhenFree([this, call, text, code, retries] { StartCall(call, text, code, retries); });
}

void TCommandEngine::StartCall(const std::shared_ptr<TRequestQueue::TCall> &call,
                               const QString &text, int code, int retries)
{
    done = false;
    values = {0, 0};
    retriesLeft = retries;
    Queue.CallStarted(call);
    Transmit(text, GetCommandReply(code), code);
}

// ---------------------------------------------------------------- waiting

void TCommandEngine::WaitUntil(const std::function<bool()> &finished)
{
    if (Hooks.WaitStarted)
        Hooks.WaitStarted();
    struct TWaitEnd
    {
        const std::function<void()> &ended;
        ~TWaitEnd()
        {
            if (ended)
                ended();
        }
    } waitEnd{Hooks.WaitEnded};
    while (!finished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TCommandEngine::WaitReply()
{
    WaitUntil([this] { return done; });
}

void TCommandEngine::WaitMs(uint32_t ms)
{
    bool elapsed = false;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, [&elapsed] { elapsed = true; });
    timer.start(int(ms));
    WaitUntil([&elapsed] { return elapsed; });
}

void TCommandEngine::Pause(uint32_t ms) const
{
    if (ms > 0)
        QThread::msleep(ms);
}

void TCommandEngine::ShowMessageLater(const QString &text)
{
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            RunGuarded("message", [&] {
                if (Hooks.ShowMessage)
                    Hooks.ShowMessage(text);
            });
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- transfers

bool TCommandEngine::BeginTransfer(uint8_t transferState)
{
    if (transferring)
        return false;
    transferring = true;
    savedState = state;
    state = transferState;
    return true;
}

void TCommandEngine::EndTransfer()
{
    if (!transferring)
        return;
    transferring = false;
    if (TransferMayRestoreOver(state))
        state = savedState;
    emit TransferEnded();
}

// ---------------------------------------------------------------- tick, keys, connection

void TCommandEngine::TimerTimer()
{
    if (state == StateWaitStartup && ElapsedSince(lastSendTick) > Timings.StartupWaitMs)
        CableConnect();
    if (state == StateCloseRequested)
        ClosePort();
    if (Queue.Held())
        return;
    Unanswered.Expire(GetTickCount());
    switch (Queue.OnLine()) {
    case TExchange::KeepAlive:
        // The line is free again; the answer is still known for the keep-alive's when it comes
        // (a direct command's bare "OK" is not: the unit is asked where it stands first).
        if (ElapsedSince(exchangeStart) > holdMs)
            EndExchangeOrSync();
        break;
    case TExchange::Sync:
        if (syncSends == 0)
            AskSync();
        else if (ElapsedSince(exchangeStart) > Timings.CommandTimeoutMs &&
                 StillUnansweredAfterTakingIn(TExchange::Sync))
            ResendOrGiveUpSync();
        break;
    case TExchange::Abandoned:
        if (ElapsedSince(exchangeStart) > holdMs) {
            Unanswered.Forget(lineExchange);
            EndExchange();
        }
        break;
    case TExchange::Command:
        if (timeoutMs > 0 && ElapsedSince(exchangeStart) > timeoutMs &&
            StillUnansweredAfterTakingIn(TExchange::Command))
            ResendOrGiveUp();
        break;
    case TExchange::None:
        break;
    }
}

// What the unit has sent is taken in before a time-out is acted on: on a busy machine an answer
// that came in time may still be waiting to be handled when the tick comes.
bool TCommandEngine::StillUnansweredAfterTakingIn(TExchange exchange)
{
    const uint32_t waiting = lineExchange;
    if (PortUsable())
        device->DeliverReceivedData();
    return Queue.OnLine() == exchange && lineExchange == waiting;
}

void TCommandEngine::ResendOrGiveUp()
{
    if (retriesLeft == 0) {
        GiveUp();
        return;
    }
    if (retriesLeft > 0)
        --retriesLeft;
    Transmit(lastCommand, expectedReply, lastCode);
}

// The answers to a command given up may still come on a slow line: they stay known for its own.
void TCommandEngine::GiveUp()
{
    LeaveUnanswered(GetTickCount());
    MarkDone();
    retriesLeft = -1;
    const bool connectionStep = lastCode == 1 || lastCode == 2 ||
                                (lastCode == 3 && state == StateIdentifying) ||
                                state == StateModemEscape;
    if (!connectionStep)
        return;
    const uint8_t was = state;
    ClosePort();
    if (was == StateCableConnect || was == StateIdentifying)
        ShowMessageLater(QString::fromUtf8(kConnectFailed));
}

void TCommandEngine::EscapePressed()
{
    switch (state) {
    case StateCableConnect:
    case StateCableDisconnect:
        AbandonPending();
        ClosePort();
        break;
    case StateIdentifying:
    case StateConnected:
        AbandonPending();
        if (Hooks.DisconnectAction)
            Hooks.DisconnectAction();
        break;
    case StateReading:
        AbandonPending();
        state = StateConnected;
        break;
    default:
        break;
    }
}

void TCommandEngine::BeginConnection(uint8_t type, const QString &number)
{
    connType = type;
    phone = number;
}

void TCommandEngine::AttachDevice(TDevice *opened)
{
    device = opened;
}

void TCommandEngine::PortOpened()
{
    portActive = device && device->ComActive();
    lastSendTick = GetTickCount();
}

TDevice *TCommandEngine::DetachDevice()
{
    TDevice *const was = device.data();
    device = nullptr;
    portActive = false;
    return was;
}

void TCommandEngine::BeginStartupWait()
{
    state = StateWaitStartup;
}

void TCommandEngine::NoteReceived()
{
    if (state == StateWaitStartup && ElapsedSince(lastSendTick) < Timings.StartupWaitMs)
        state = StateStartupOutput;
}

void TCommandEngine::CableConnect()
{
    state = StateCableConnect;
    lastSendTick = GetTickCount();
    retriesLeft = 3;
    SendByCode(1);
}

void TCommandEngine::CableDisconnect()
{
    state = StateCableDisconnect;
    // The goodbye takes the line over from whatever is pending (an identification step still
    // waiting for its reply, the keep-alive) and goes ahead of every queued request: a late
    // answer to what it replaced can only close the port sooner.
    AbandonPending();
    DropLine();
    ForgetUnanswered();
    if (Queue.Free())
        SendGoodbye();
    else
        Queue.RunFirst([this] { SendGoodbye(); });
}

void TCommandEngine::SendGoodbye()
{
    if (state != StateCableDisconnect || !device)
        return; // closed meanwhile
    retriesLeft = 3;
    if (Transmit(GetCommandText(2), GetCommandReply(2), 2))
        closePending = true;
    else
        ClosePort(); // the goodbye could not be sent
}

void TCommandEngine::BeginModemHangUp()
{
    AbandonPending();
    DropLine(); // "+++" takes the line over: the port closes before any answer
    ForgetUnanswered();
    state = StateModemEscape;
    retriesLeft = 3;
    SendByCode(1029);
}

bool TCommandEngine::SilenceAlarm()
{
    if (Waiting() && timeoutMs > TDevice::SilenceAlarmMs)
        return false;
    if (longCommandEnded && ElapsedSince(longCommandEnd) < TDevice::SilenceAlarmMs)
        return false;
    // Nothing more goes out: the connection closes once the device's call has returned.
    portActive = false;
    AbandonPending();
    DropLine();
    ForgetUnanswered();
    state = StateIdle;
    return true;
}

void TCommandEngine::ClosePort()
{
    if (Hooks.ClosePort)
        Hooks.ClosePort();
    else
        ConnectionClosed();
}

void TCommandEngine::ConnectionClosed()
{
    closePending = false;
    state = StateIdle;
    portActive = false;
    device = nullptr;
    longCommandEnded = false;
    ModemWatch.Reset();
    StartupTail.clear();
    DropLine();
    ForgetUnanswered();
    Unanswered.ForgetUnit();
    MarkDone();
}

// ---------------------------------------------------------------- received text

void TCommandEngine::ProcessReply(const QString &text)
{
    try {
        QString failure;
        if (!ModemWatch.Feed(text, failure, lastCommand)) {
            CloseForModemFailure(failure);
            return;
        }
        if (state == StateStartupOutput && StartupOutputEnded(text)) {
            Pause(Timings.DelAllPauseMs);
            QCoreApplication::processEvents();
            // Esc or a lost port may have ended the connection meanwhile.
            if (PortUsable() && state == StateStartupOutput)
                CableConnect();
            return;
        }
        if (Queue.OnLine() == TExchange::None && Unanswered.Empty())
            return; // nothing awaited: the chunk was only logged
        const bool bootLoaderSeen =
            replyBuffer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive);
        replyBuffer += text;
        // The boot loader offers the resume to a connection being made, not to one ending (the
        // goodbye after a broken-off upload draws the same answer).
        if (Waiting() && !bootLoaderSeen && !ConnectionEnding(state) &&
            replyBuffer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive)) {
            state = StateConnected;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    RunGuarded("firmware resume", [this] {
                        if (Hooks.OpenFirmwareResume)
                            Hooks.OpenFirmwareResume();
                    });
                },
                Qt::QueuedConnection);
        }
        TakeAnswers();
    } catch (const std::exception &e) {
        qWarning("reply decoding: %s", e.what());
        MarkDone();
    }
}

// The modem's dial and registration end on words of their own and have the line to themselves;
// everything else ends on "OK" and is taken apart answer by answer.
void TCommandEngine::TakeAnswers()
{
    if (Waiting() && !TReplyDecoder::IsOkReply(expectedReply)) {
        if (!TReplyDecoder::HasTerminatingReply(replyBuffer, expectedReply))
            return;
        const QString reply = replyBuffer;
        Unanswered.Forget(lineExchange);
        replyBuffer.clear();
        EndExchange();
        Decode(reply);
        return;
    }
    QString answer;
    while (TReplyDecoder::TakeOkAnswer(replyBuffer, answer))
        HandleAnswer(answer);
    // The boot loader answers the version without "OK"; it has nothing else to answer.
    if (Queue.OnLine() == TExchange::Sync &&
        replyBuffer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive)) {
        ForgetUnanswered();
        EndExchange();
    }
}

// An answer completes the exchange on the line only when it is that exchange's own; one that
// belongs to an earlier send (a keep-alive, a resend, a command given up or abandoned) is dropped
// (the chunk has been logged as it came). One that leaves doubt while nothing is on the line has
// the unit asked for its version before the next command goes out.
void TCommandEngine::HandleAnswer(const QString &answer)
{
    const uint32_t onLine = ExchangeOnLine();
    const std::optional<uint32_t> owner = Unanswered.TakeAnswered(answer, onLine, GetTickCount());
    const bool own = onLine != 0 && owner == onLine;
    switch (Queue.OnLine()) {
    case TExchange::Command:
        if (own) {
            CommandAnswered();
            Decode(answer);
        }
        break;
    case TExchange::KeepAlive:
    case TExchange::Sync:
        if (own)
            EndExchange();
        break;
    case TExchange::Abandoned:
        if (!Unanswered.Waits(lineExchange))
            EndExchange();
        break;
    case TExchange::None:
        if (Unanswered.Doubt() && !Queue.Held() && PortUsable())
            StartSync();
        else if (Unanswered.Empty())
            replyBuffer.clear();
        break;
    }
}

// The unit's start-up output ends with "del all". The line delivers it in pieces of any size,
// so the end of the previous piece is looked at together with this one.
bool TCommandEngine::StartupOutputEnded(const QString &text)
{
    static const QString marker = QStringLiteral("del all");
    const QString seen = StartupTail + text;
    if (seen.contains(marker, Qt::CaseInsensitive)) {
        StartupTail.clear();
        return true;
    }
    StartupTail = seen.right(marker.size() - 1);
    return false;
}

void TCommandEngine::CloseForModemFailure(const QString &msg)
{
    if (Hooks.LogPortRead)
        Hooks.LogPortRead(msg);
    replyBuffer.clear();
    state = StateCloseRequested;
    portActive = false;
    MarkDone();
}

void TCommandEngine::Decode(const QString &reply)
{
    switch (TReplyDecoder::DecodeKindOf(lastCode)) {
    case TDecodeKind::String:
        values = {ReplyDecoder.GetStringValue(reply, lastCode), 1};
        break;
    case TDecodeKind::Byte: {
        const int b = ReplyDecoder.GetByte(reply);
        values = {b, b == -1 ? 0 : 1};
        break;
    }
    case TDecodeKind::Word: {
        const int w = ReplyDecoder.GetWord(reply);
        values = {w, (w == -1 && lastCode != 131) ? 0 : 1};
        if (lastCode == 103 && connType == 1)
            Pause(Timings.ModemFlagPauseMs);
        break;
    }
    case TDecodeKind::Text:
        values = {reply, 1};
        break;
    case TDecodeKind::Terminal:
        values = {1, 1};
        break;
    case TDecodeKind::None:
        values = {0, 0};
        break;
    case TDecodeKind::Sequence:
        DecodeSequence(reply);
        return;
    }
    MarkDone();
}

void TCommandEngine::DecodeSequence(const QString &reply)
{
    switch (lastCode) {
    case 1:
        Pause(Timings.CableConnectPauseMs);
        if (!PortUsable())
            return;
        state = StateIdentifying;
        retriesLeft = DefaultRetries;
        SendByCode(3);
        break;
    case 2:
        if (closePending) {
            ClosePort();
            state = StateIdle;
            portActive = false;
        }
        break;
    case 3:
        IdentifyVersion(reply);
        break;
    case 4:
        IdentifyPanel(reply);
        break;
    case 1032:
        IdentifyImei(reply);
        break;
    case 1027:
        if (Hooks.LogPortRead)
            Hooks.LogPortRead(reply);
        replyBuffer.clear();
        Pause(Timings.DialPauseMs);
        MarkDone();
        // The connection waits for the dial to be on the line; the bearer's resend may still draw
        // an "OK", which cannot end the dial (that ends on "CONNECT").
        DropLine();
        SendStep(GetCommandText(1028).replace(QLatin1String("%s"), phone), GetCommandReply(1028),
                 1028);
        Pause(Timings.DialPauseMs);
        break;
    case 1028:
        state = StateIdentifying;
        SendIdentificationStep(3);
        break;
    case 1029:
        SendByCode(1030);
        break;
    case 1030:
        state = StateModemHangUp;
        Pause(Timings.HangUpPauseMs);
        ClosePort();
        break;
    case 4096:
        Identity.Firmware = RegExMatch(reply, QStringLiteral("REV.{11}"));
        Identity.FirmwareCopy = Identity.Firmware;
        MarkDone();
        break;
    default:
        break;
    }
}

void TCommandEngine::IdentifyVersion(const QString &reply)
{
    state = StateConnected;
    Identity.Firmware = RegExMatch(reply, QStringLiteral("REV.{11}"));
    Identity.FirmwareCopy = Identity.Firmware;
    if (!Identity.Firmware.isEmpty())
        Identity.MemoryCopy.clear(); // the unit's own firmware answered: no upload to resume
    Identity.DeviceVersion = SafeNumber(&ExtractNum3Crlf, reply);
    Identity.DeviceType = SafeNumber(&ExtractNum3Dot, reply);

    const int type = Identity.DeviceType;
    const int version = Identity.DeviceVersion;
    // Every unit: the history layout follows it, whatever the previous unit was; the pages'
    // other adaptations exist only for some models.
    if (Hooks.ApplyDeviceModel)
        Hooks.ApplyDeviceModel(version, type);
    if (type == 504 && version < 36) {
        SetWakeUp(true);
        if (Hooks.SetActionsConnected)
            Hooks.SetActionsConnected();
    } else if (type == 504 && version <= 999) {
        SendIdentificationStep(4);
    } else if (type == 505) {
        SetWakeUp(true);
        if (Hooks.SetActionsConnected)
            Hooks.SetActionsConnected();
        SendIdentificationStep(4);
    }
    if (Hooks.RefreshStatusBar)
        Hooks.RefreshStatusBar();
}

void TCommandEngine::IdentifyPanel(const QString &reply)
{
    const int b = ReplyDecoder.GetByte(reply);
    if (b == -1) {
        // The unit did not name its chip: stay connected but offer no image for it.
        Identity.DeviceName = QString::fromUtf8(kDeviceName);
        Identity.Memory = QString::fromUtf8(kUnknownMemory);
        Identity.MemoryCopy.clear();
    } else if ((b & 2) == 2) {
        Identity.DeviceName = QString::fromUtf8(kDeviceName);
        Identity.Memory =
            (b & 0x38) == 0x38 ? QStringLiteral("AT45DB161D") : QStringLiteral("M45PE16");
        Identity.MemoryCopy = Identity.Memory;
    } else {
        ShowMessageLater(QString::fromUtf8(kUnsupportedDevice));
        if (Hooks.DisconnectAction)
            Hooks.DisconnectAction();
        return;
    }
    const bool hasModem =
        (Identity.DeviceType == 504 && Identity.DeviceVersion >= 40) || Identity.DeviceType == 505;
    if (hasModem) {
        SendIdentificationStep(1032);
        return;
    }
    SetWakeUp(true);
    if (Hooks.RefreshStatusBar)
        Hooks.RefreshStatusBar();
    if (Hooks.SetActionsConnected)
        Hooks.SetActionsConnected();
}

void TCommandEngine::IdentifyImei(const QString &reply)
{
    Identity.IMEI = ReplyDecoder.GetStringValue(reply, lastCode);
    SetWakeUp(true);
    if (Hooks.RefreshStatusBar)
        Hooks.RefreshStatusBar();
    if (Hooks.SetActionsConnected)
        Hooks.SetActionsConnected();
}

void TCommandEngine::ErrorLog(const QString &where, const QString &what, const QString &detail)
{
    if (!Hooks.WriteErrorLog)
        return;
    try {
        Hooks.WriteErrorLog(where, what, detail);
    } catch (...) {
        // error.log is a diagnostic aid; failing to write it never stops the decoding
    }
}

void TCommandEngine::SetWakeUp(bool on)
{
    if (device)
        device->SetWakeUp(on);
}
