#pragma once

// The one engine through which every request reaches the unit: one exchange at a time through the
// device object (the keep-alive included), at least 250 ms between sends, a time-out per command
// with resends, and synchronous waits that keep the event loop running. It also decodes the
// replies, runs the connection and identification steps that follow from them and is the only
// writer of the operation state the main window steers by: the connection and the page transfer
// change it through named transitions. It needs no widget: the main window owns it, gives it the
// device of the current connection and supplies the window-side actions through `Hooks`.

#include "main/DeviceIdentity.h"
#include "main/ReplyDecoder.h"
#include "main/RequestQueue.h"
#include "main/UnansweredSends.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

class TDevice;

// Operation states.
enum TEngineState : uint8_t
{
    StateIdle = 0,
    StateWaitStartup = 1,
    StateStartupOutput = 2,
    StateModemHangUp = 3,
    StateCableConnect = 4,
    StateCableDisconnect = 5,
    StateIdentifying = 6,
    StateReading = 7,
    StateWriting = 8,
    StateConnected = 9,
    StateCloseRequested = 10,
    StateModemEscape = 11,
};

// Every time the engine waits or paces; tests shorten them.
struct TEngineTimings
{
    uint32_t PacingMs = 250;
    int TickMs = 200;
    uint32_t CommandTimeoutMs = 5000;
    uint32_t EraseTimeoutMs = 50000;
    uint32_t DialTimeoutMs = 60000;
    uint32_t StartupWaitMs = 3000;
    uint32_t DelAllPauseMs = 3000;
    uint32_t CableConnectPauseMs = 100;
    uint32_t DialPauseMs = 200;
    uint32_t ModemFlagPauseMs = 5000;
    uint32_t HangUpPauseMs = 1000;
    // How long a send may still be answered: as long as the line may stay silent before it is
    // taken for dead (a command with a longer time-out of its own, that long).
    uint32_t AnswerLifetimeMs = 30000;
};

// What the engine asks of the main window. An unset hook is skipped.
struct TEngineHooks
{
    std::function<void()> ClosePort;        // end the connection (calls ConnectionClosed)
    std::function<void()> DisconnectAction; // the user's Disconnect
    std::function<void()> SetActionsConnected;
    std::function<void()> RefreshStatusBar;
    std::function<void(int version, int type)> ApplyDeviceModel;
    // Both run from the event loop, never inside the reply processing that asked for them.
    std::function<void()> OpenFirmwareResume; // the boot loader answered: resume an upload
    std::function<void(const QString &text)> ShowMessage;
    std::function<void(const QString &text)> LogPortRead;
    std::function<void(const QString &where, const QString &what, const QString &detail)>
        WriteErrorLog;
    // Around every wait that runs the event loop (the window defers its close meanwhile).
    std::function<void()> WaitStarted;
    std::function<void()> WaitEnded;
};

class TCommandEngine : public QObject
{
    Q_OBJECT
public:
    explicit TCommandEngine(QObject *parent = nullptr);
    ~TCommandEngine() override;

    // --- the engine's state: read here, changed only through the transitions below ---
    const QString &ReplyBuffer = replyBuffer;
    const int &RetriesLeft = retriesLeft; // -1: resend without limit
    static constexpr int DefaultRetries = 1;
    const uint8_t &State = state;
    const uint8_t &ConnType = connType; // 0 cable, 1 modem
    const bool &PortActive = portActive;
    const uint32_t &TimeoutMs = timeoutMs;
    const QString &ExpectedReply = expectedReply;
    const uint32_t &LastSendTick = lastSendTick;
    const QString &LastCommand = lastCommand;
    const int &LastCode = lastCode;
    const bool &ClosePending = closePending;
    const TCommandValues &Values = values;
    const QPointer<TDevice> &Device = device;
    const QString &Phone = phone; // the number the modem dials

    TDeviceIdentity Identity;
    TEngineTimings Timings;
    TEngineHooks Hooks;

    bool Done() const { return done; }
    // A command of the engine is on the line and its reply awaited.
    bool Waiting() const;
    // Anything pending: a command or the keep-alive on the line, a synchronous call, a hold, a
    // queued request.
    bool IsPending() const;

    // --- sending and waiting ---
    // A new command with its own resend count; it goes out once everything before it is done.
    void SendCommand(const QString &cmd, const QString &expected, int code,
                     int retries = DefaultRetries);
    TCommandValues ExecCommand(int code, int retries);
    TCommandValues ExecCommandText(const QString &text, int code, int retries);
    // The same without waiting: `answered` runs from the event loop with the result once the
    // reply or the give-up has come (at once, unanswered, while sending is suspended).
    void RequestCommand(const QString &text, int code, int retries,
                        std::function<void(const TCommandValues &)> answered);
    void WaitReply();
    void WaitMs(uint32_t ms);
    // Runs the event loop until `finished` holds; every wait of the engine goes through here.
    void WaitUntil(const std::function<bool()> &finished);
    // Runs `job` now when nothing is pending, else once everything queued before it has run.
    void RunWhenFree(std::function<void()> job);
    // Ends the synchronous call in progress with the current `Values`.
    void MarkDone();
    // While suspended (counted), the engine sends, resends and gives up nothing; queued
    // requests wait and the pending command's time-out starts again on resuming. A synchronous
    // call made meanwhile ends at once, unanswered (status 0): the firmware dialog, which
    // suspends the engine, runs below it and could not go on while it waited.
    void SuspendSending();
    void ResumeSending();
    bool SendingSuspended() const { return Queue.Held(); }

    // Row forms over a caller's result array (a TPageData: res(row, col) is a QVariant&).
    template <typename TRes> void ExecCommand(int code, int retries, int row, TRes &res)
    {
        StoreRow(ExecCommand(code, retries), row, res);
    }
    template <typename TRes>
    void ExecCommandText(const QString &text, int code, int retries, int row, TRes &res)
    {
        StoreRow(ExecCommandText(text, code, retries), row, res);
    }
    template <typename TRes> static void InitResultArray(TRes &res, int rows)
    {
        for (int r = 1; r <= rows; ++r) {
            res(r, 1) = 0;
            res(r, 2) = 0;
        }
    }

    // --- transitions the connection calls ---
    void BeginConnection(uint8_t connType, const QString &phone);
    void ForgetPhone() { phone.clear(); }
    void AttachDevice(TDevice *opened);
    // The port's open call has returned: PortActive follows it and the pacing starts now.
    void PortOpened();
    TDevice *DetachDevice();
    void BeginStartupWait();
    // A chunk arrived (before it is logged and processed).
    void NoteReceived();
    void CableConnect();
    // The goodbye takes the line over; the port closes on its answer, on its give-up, or at
    // once when it cannot be sent.
    void CableDisconnect();
    // "+++" taking the line over; the caller closes the port shortly after.
    void BeginModemHangUp();
    // Drops the pending command and ends the synchronous call in progress.
    void AbandonPending();
    // The device's silence alarm: true when the connection is to be closed. A command with a
    // time-out of its own longer than the silence limit is decided by that time-out, and the
    // silence is counted again from its end.
    bool SilenceAlarm();
    // The wake-up is due: the keep-alive goes out when nothing else is pending.
    void KeepAliveDue();
    // A command sent without waiting for its answer, like the keep-alive, once nothing is
    // pending (the events page's direct commands).
    void SendDirect(const QString &text);
    // The main window's ClosePort calls this once the device is gone.
    void ConnectionClosed();

    // --- page transfers: one at a time; the state given holds while it runs ---
    bool BeginTransfer(uint8_t transferState); // false while another transfer runs
    // Puts the saved state back, unless the connection is ending or has ended meanwhile.
    void EndTransfer();
    bool TransferRunning() const { return transferring; }

signals:
    // A page transfer has ended (work held back for it may go now).
    void TransferEnded();

public:
    // --- received text, ticks, keys ---
    void ProcessReply(const QString &text);
    void TimerTimer();
    void EscapePressed();

    QTimer &EngineTimer() { return Timer; }
    TReplyDecoder &Decoder() { return ReplyDecoder; }

private:
    template <typename TRes> static void StoreRow(const TCommandValues &v, int row, TRes &res)
    {
        res(row, 1) = v[0];
        res(row, 2) = v[1];
    }

    TCommandValues RunCall(const QString &text, int code, int retries);
    void QueueCall(const std::shared_ptr<TRequestQueue::TCall> &call, const QString &text, int code,
                   int retries);
    void StartCall(const std::shared_ptr<TRequestQueue::TCall> &call, const QString &text, int code,
                   int retries);
    bool Transmit(const QString &cmd, const QString &expected, int code);
    bool PortUsable() const;
    void PaceAndClearLine(bool fresh);
    void SendUnawaited(const QString &text);
    void NoteSent(const QString &text, TAnswerShape shape, bool fresh, uint32_t timeout);
    void EndExchange();
    void NoteCommandEnded();
    void DropLine();
    void Pause(uint32_t ms) const;
    void SendGoodbye();
    bool StillUnansweredAfterTakingIn(TRequestQueue::TExchange exchange);
    void ResendOrGiveUp();
    void ShowMessageLater(const QString &text);

    void Decode(const QString &reply);
    void DecodeSequence(const QString &reply);
    void IdentifyVersion(const QString &reply);
    void IdentifyPanel(const QString &reply);
    void IdentifyImei(const QString &reply);
    void SendByCode(int code);
    void SendIdentificationStep(int code);
    void SendStep(const QString &text, const QString &expected, int code);
    void TakeAnswers();
    void HandleAnswer(const QString &answer);
    void CommandAnswered();
    void LeaveUnanswered(uint32_t from);
    void EndExchangeOrSync();
    void StartSync();
    void AskSync();
    uint32_t ExchangeOnLine() const;
    void ResendOrGiveUpSync();
    void HoldLine(uint32_t from, uint32_t ms);
    void ForgetUnanswered();
    bool StartupOutputEnded(const QString &text);
    void CloseForModemFailure(const QString &msg);
    void ClosePort();
    void GiveUp();
    void SetWakeUp(bool on);
    void ErrorLog(const QString &where, const QString &what, const QString &detail);

    QString replyBuffer;
    int retriesLeft = -1;
    uint8_t state = StateIdle;
    uint8_t connType = 0;
    bool portActive = false;
    uint32_t timeoutMs = 5000;
    QString expectedReply;
    uint32_t lastSendTick = 0;
    QString lastCommand;
    int lastCode = 0;
    bool closePending = false;
    TCommandValues values{0, 0};
    QPointer<TDevice> device;
    QString phone;

    bool done = true;
    uint32_t exchangeStart = 0; // the time-out of the exchange on the line counts from here
    uint32_t firstSendTick = 0; // its first send
    uint32_t lineExchange = 0;  // the exchange on the line (or the last one)
    uint32_t lastExchange = 0;
    uint32_t holdMs = 0; // how long a keep-alive or a modem command left unanswered holds the line
    int syncSends = 0;   // the sync's version queries sent so far
    TUnansweredSends Unanswered;
    uint32_t longCommandEnd = 0; // end of the last command that outlasts the silence limit
    bool longCommandEnded = false;
    bool transferring = false;
    uint8_t savedState = StateIdle;
    TRequestQueue Queue;
    QString StartupTail; // the last characters of the start-up output seen so far
    TModemWatch ModemWatch;
    TReplyDecoder ReplyDecoder;
    QTimer Timer;
};
