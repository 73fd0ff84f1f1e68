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

namespace {

const char *const kConnectFailed = "Не удалось подключиться к прибору, повторите попытку.";
const char *const kUnsupportedDevice = "Не поддерживаемое устройство";
const char *const kDeviceName = "Калмир 9-1";
const char *const kUnknownMemory = "Неизвестный тип памяти";

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

} // namespace

TCommandEngine::TCommandEngine(QObject *parent) : QObject(parent)
{
    ReplyDecoder.ErrorSink = [this](const QString &where, const QString &what,
                                    const QString &detail) { ErrorLog(where, what, detail); };
    Timer.setInterval(Timings.TickMs);
    connect(&Timer, &QTimer::timeout, this, [this] {
        try {
            TimerTimer();
        } catch (const std::exception &e) {
            qWarning("engine tick: %s", e.what());
        } catch (...) {
            qWarning("engine tick: unknown error");
        }
    });
    Timer.start();
}

TCommandEngine::~TCommandEngine() = default;

// ---------------------------------------------------------------- pending command bookkeeping

void TCommandEngine::SetWaiting(bool waiting)
{
    WaitingFlag = waiting;
    if (!waiting && InFlight)
        EndPending();
}

void TCommandEngine::MarkDone()
{
    DoneFlag = true;
    if (Call) {
        Call->values = Values;
        Call->done = true;
        Call.reset();
        ScheduleDrain();
    }
}

bool TCommandEngine::IsPending() const
{
    return (WaitingFlag && InFlight) || Call != nullptr;
}

void TCommandEngine::EndPending()
{
    InFlight = false;
    ReleaseWakeUp();
    ScheduleDrain();
}

// The device's wake-up command is held while a command is pending: the "OK" it draws would
// otherwise complete the pending command's wait.
void TCommandEngine::HoldWakeUp()
{
    if (Device && Device->WakeUp()) {
        Device->SetWakeUp(false);
        WakeUpHeld = true;
    }
}

void TCommandEngine::ReleaseWakeUp()
{
    if (!WakeUpHeld)
        return;
    WakeUpHeld = false;
    if (Device)
        Device->SetWakeUp(true);
}

void TCommandEngine::SetWakeUp(bool on)
{
    if (Device)
        Device->SetWakeUp(on);
}

void TCommandEngine::ScheduleDrain()
{
    if (DrainScheduled || Queue.empty())
        return;
    DrainScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            DrainScheduled = false;
            DrainQueue();
        },
        Qt::QueuedConnection);
}

void TCommandEngine::DrainQueue()
{
    while (!IsPending() && !Queue.empty()) {
        auto job = std::move(Queue.front());
        Queue.pop_front();
        try {
            job();
        } catch (const std::exception &e) {
            qWarning("queued command: %s", e.what());
        }
    }
}

void TCommandEngine::RunWhenFree(std::function<void()> job)
{
    if (!IsPending() && Queue.empty()) {
        job();
        return;
    }
    Queue.push_back(std::move(job));
    ScheduleDrain();
}

// ---------------------------------------------------------------- sending

bool TCommandEngine::PortUsable() const
{
    return PortActive && Device && Device->ComActive();
}

void TCommandEngine::SendCommand(const QString &cmd, const QString &expected, int code)
{
    if (IsPending()) {
        // Never overwrite the pending command: this one goes out once it has completed.
        Queue.push_back([this, cmd, expected, code] { SendCommand(cmd, expected, code); });
        ScheduleDrain();
        return;
    }
    Transmit(cmd, expected, code);
}

void TCommandEngine::Transmit(const QString &cmd, const QString &expected, int code)
{
    if (!PortUsable()) {
        SetWaiting(false);
        MarkDone();
        return;
    }
    // The device sends its wake-up on its own: the pacing counts from whichever send was last,
    // and whatever the unit said before this command is handled now, while nothing waits, so a
    // late answer to the wake-up cannot complete this command.
    uint32_t sinceLast = ElapsedSince(LastSendTick);
    if (Device->LastSendTick() != 0)
        sinceLast = std::min(sinceLast, ElapsedSince(Device->LastSendTick()));
    if (sinceLast < Timings.PacingMs)
        Pause(Timings.PacingMs - sinceLast);
    if (!WaitingFlag) {
        Device->DeliverReceivedData();
        if (!PortUsable()) {
            SetWaiting(false);
            MarkDone();
            return;
        }
    }
    LastCommand = cmd;
    LastCode = code;
    ExpectedReply = expected;
    LastSendTick = GetTickCount();
    if (cmd.contains(QLatin1String("erase")))
        TimeoutMs = Timings.EraseTimeoutMs;
    else if (cmd.contains(QLatin1String("ATD")))
        TimeoutMs = Timings.DialTimeoutMs;
    else
        TimeoutMs = Timings.CommandTimeoutMs;
    HoldWakeUp();
    WaitingFlag = true;
    InFlight = true;
    Device->SendCommand(LastCommand);
}

void TCommandEngine::SendByCode(int code)
{
    Transmit(GetCommandText(code), GetCommandReply(code), code);
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
    auto call = std::make_shared<TCall>();
    if (IsPending() || !Queue.empty()) {
        Queue.push_back(
            [this, call, text, code, retries] { StartCall(call, text, code, retries); });
        ScheduleDrain();
    } else {
        StartCall(call, text, code, retries);
    }
    WaitUntil([&call] { return call->done; });
    return call->values;
}

void TCommandEngine::StartCall(const std::shared_ptr<TCall> &call, const QString &text, int code,
                               int retries)
{
    DoneFlag = false;
    Values = {0, 0};
    RetriesLeft = retries;
    Call = call;
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
    WaitUntil([this] { return DoneFlag; });
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

// ---------------------------------------------------------------- transfers

bool TCommandEngine::BeginTransfer()
{
    if (Transferring)
        return false;
    Transferring = true;
    return true;
}

void TCommandEngine::EndTransfer()
{
    Transferring = false;
    emit TransferEnded();
}

// ---------------------------------------------------------------- tick, keys, connection

void TCommandEngine::TimerTimer()
{
    if (State == StateWaitStartup && ElapsedSince(LastSendTick) > Timings.StartupWaitMs)
        CableConnect();
    if (State == StateCloseRequested)
        ClosePort();
    if (WaitingFlag && TimeoutMs > 0 && ElapsedSince(LastSendTick) > TimeoutMs) {
        if (RetriesLeft == -1) {
            Transmit(LastCommand, ExpectedReply, LastCode);
        } else if (RetriesLeft > 0) {
            --RetriesLeft;
            Transmit(LastCommand, ExpectedReply, LastCode);
        } else {
            GiveUp();
        }
    }
}

void TCommandEngine::GiveUp()
{
    SetWaiting(false);
    MarkDone();
    RetriesLeft = -1;
    const bool connectionStep = LastCode == 1 || LastCode == 2 ||
                                (LastCode == 3 && State == StateIdentifying) ||
                                State == StateModemEscape;
    if (!connectionStep)
        return;
    const uint8_t was = State;
    ClosePort();
    if ((was == StateCableConnect || was == StateIdentifying) && Hooks.ShowMessage)
        Hooks.ShowMessage(QString::fromUtf8(kConnectFailed));
}

void TCommandEngine::EscapePressed()
{
    switch (State) {
    case StateCableConnect:
    case StateCableDisconnect:
        SetWaiting(false);
        ClosePort();
        break;
    case StateIdentifying:
    case StateConnected:
        SetWaiting(false);
        if (Hooks.DisconnectAction)
            Hooks.DisconnectAction();
        break;
    case StateReading:
        SetWaiting(false);
        MarkDone();
        State = StateConnected;
        break;
    default:
        break;
    }
}

void TCommandEngine::CableConnect()
{
    State = StateCableConnect;
    LastSendTick = GetTickCount();
    RetriesLeft = 3;
    SendByCode(1);
}

void TCommandEngine::CableDisconnect()
{
    State = StateCableDisconnect;
    RetriesLeft = 3;
    // The disconnect takes the slot over from whatever was pending (an identification step
    // still waiting for its reply included).
    SetWaiting(false);
    ReplyBuffer.clear();
    MarkDone();
    SendByCode(2);
    if (WaitingFlag)
        ClosePending = true;
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
    ClosePending = false;
    State = StateIdle;
    PortActive = false;
    WakeUpHeld = false;
    ModemWatch.Reset();
    ReplyBuffer.clear();
    StartupTail.clear();
    SetWaiting(false);
    MarkDone();
}

// ---------------------------------------------------------------- received text

void TCommandEngine::ProcessReply(const QString &text)
{
    try {
        QString failure;
        if (!ModemWatch.Feed(text, failure, LastCommand)) {
            CloseForModemFailure(failure);
            return;
        }
        if (State == StateStartupOutput && StartupOutputEnded(text)) {
            Pause(Timings.DelAllPauseMs);
            QCoreApplication::processEvents();
            CableConnect();
        }
        if (!WaitingFlag)
            return;
        const bool bootLoaderSeen =
            ReplyBuffer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive);
        ReplyBuffer += text;
        if (!bootLoaderSeen &&
            ReplyBuffer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive)) {
            State = StateConnected;
            if (Hooks.OpenFirmwareResume)
                Hooks.OpenFirmwareResume();
        }
        if (!WaitingFlag || !TReplyDecoder::HasTerminatingReply(ReplyBuffer, ExpectedReply))
            return;
        const QString reply = ReplyBuffer;
        ReplyBuffer.clear();
        SetWaiting(false);
        Decode(reply);
    } catch (const std::exception &e) {
        qWarning("reply decoding: %s", e.what());
        MarkDone();
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
    ReplyBuffer.clear();
    State = StateCloseRequested;
    PortActive = false;
    MarkDone();
}

void TCommandEngine::Decode(const QString &reply)
{
    switch (TReplyDecoder::DecodeKindOf(LastCode)) {
    case TDecodeKind::String:
        Values = {ReplyDecoder.GetStringValue(reply, LastCode), 1};
        break;
    case TDecodeKind::Byte: {
        const int b = ReplyDecoder.GetByte(reply);
        Values = {b, b == -1 ? 0 : 1};
        break;
    }
    case TDecodeKind::Word: {
        const int w = ReplyDecoder.GetWord(reply);
        Values = {w, (w == -1 && LastCode != 131) ? 0 : 1};
        if (LastCode == 103 && ConnType == 1)
            Pause(Timings.ModemFlagPauseMs);
        break;
    }
    case TDecodeKind::Text:
        Values = {reply, 1};
        break;
    case TDecodeKind::Terminal:
        Values = {1, 1};
        break;
    case TDecodeKind::None:
        Values = {0, 0};
        break;
    case TDecodeKind::Sequence:
        DecodeSequence(reply);
        return;
    }
    MarkDone();
}

void TCommandEngine::DecodeSequence(const QString &reply)
{
    switch (LastCode) {
    case 1:
        Pause(Timings.CableConnectPauseMs);
        State = StateIdentifying;
        RetriesLeft = DefaultRetries;
        SendByCode(3);
        break;
    case 2:
        if (ClosePending) {
            ClosePort();
            State = StateIdle;
            PortActive = false;
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
        ReplyBuffer.clear();
        Pause(Timings.DialPauseMs);
        MarkDone();
        Transmit(GetCommandText(1028).replace(QLatin1String("%s"), Phone), GetCommandReply(1028),
                 1028);
        Pause(Timings.DialPauseMs);
        break;
    case 1028:
        State = StateIdentifying;
        SendByCode(3);
        break;
    case 1029:
        SendByCode(1030);
        break;
    case 1030:
        State = StateModemHangUp;
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
    State = StateConnected;
    Identity.Firmware = RegExMatch(reply, QStringLiteral("REV.{11}"));
    Identity.FirmwareCopy = Identity.Firmware;
    if (!Identity.Firmware.isEmpty())
        Identity.MemoryCopy.clear(); // the unit's own firmware answered: no upload to resume
    Identity.DeviceVersion = SafeNumber(&ExtractNum3Crlf, reply);
    Identity.DeviceType = SafeNumber(&ExtractNum3Dot, reply);

    const int type = Identity.DeviceType;
    const int version = Identity.DeviceVersion;
    if (type == 504 && version < 36) {
        SetWakeUp(true);
        if (Hooks.SetActionsConnected)
            Hooks.SetActionsConnected();
    } else if (type == 504 && version <= 999) {
        if (Hooks.ApplyDeviceModel)
            Hooks.ApplyDeviceModel(version, type);
        SendByCode(4);
    } else if (type == 505) {
        SetWakeUp(true);
        if (Hooks.SetActionsConnected)
            Hooks.SetActionsConnected();
        if (Hooks.ApplyDeviceModel)
            Hooks.ApplyDeviceModel(version, type);
        SendByCode(4);
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
        if (Hooks.ShowMessage)
            Hooks.ShowMessage(QString::fromUtf8(kUnsupportedDevice));
        if (Hooks.DisconnectAction)
            Hooks.DisconnectAction();
        return;
    }
    const bool hasModem =
        (Identity.DeviceType == 504 && Identity.DeviceVersion >= 40) || Identity.DeviceType == 505;
    if (hasModem) {
        SendByCode(1032);
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
    Identity.IMEI = ReplyDecoder.GetStringValue(reply, LastCode);
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
