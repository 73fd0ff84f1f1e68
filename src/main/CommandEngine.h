#pragma once

// The one engine through which every request reaches the unit: one command at a time through the
// device object, at least 250 ms between sends, a time-out per command with resends, and
// synchronous waits that keep the event loop running. It also decodes the replies, runs the
// connection and identification steps that follow from them and holds the operation state the
// main window steers by. It needs no widget: the main window owns it, gives it the device of the
// current connection and supplies the window-side actions through `Hooks`.

#include "main/DeviceIdentity.h"
#include "main/ReplyDecoder.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <array>
#include <cstdint>
#include <deque>
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
};

// What the engine asks of the main window. An unset hook is skipped.
struct TEngineHooks
{
    std::function<void()> ClosePort;        // end the connection (calls ConnectionClosed)
    std::function<void()> DisconnectAction; // the user's Disconnect
    std::function<void()> SetActionsConnected;
    std::function<void()> RefreshStatusBar;
    std::function<void(int version, int type)> ApplyDeviceModel;
    std::function<void()> OpenFirmwareResume; // the boot loader answered: resume an upload
    std::function<void(const QString &text)> ShowMessage;
    std::function<void(const QString &text)> LogPortRead;
    std::function<void(const QString &where, const QString &what, const QString &detail)>
        WriteErrorLog;
    // Around every wait that runs the event loop (the window defers its close meanwhile).
    std::function<void()> WaitStarted;
    std::function<void()> WaitEnded;
};

using TCommandValues = std::array<QVariant, 2>; // [0] value, [1] status

class TCommandEngine : public QObject
{
    Q_OBJECT
public:
    explicit TCommandEngine(QObject *parent = nullptr);
    ~TCommandEngine() override;

    // --- fields the main window and the connection steps read and set ---
    QString ReplyBuffer;
    int RetriesLeft = -1;
    int DefaultRetries = 1;
    uint8_t State = StateIdle;
    uint8_t ConnType = 0; // 0 cable, 1 modem
    bool PortActive = false;
    uint32_t TimeoutMs = 5000;
    QString ExpectedReply;
    uint32_t LastSendTick = 0;
    QString LastCommand;
    int LastCode = 0;
    bool ClosePending = false;
    TCommandValues Values{0, 0};
    QPointer<TDevice> Device;
    QString Phone; // the number the modem dials
    TDeviceIdentity Identity;
    TEngineTimings Timings;
    TEngineHooks Hooks;

    bool Done() const { return DoneFlag; }
    bool Waiting() const { return WaitingFlag; }
    // Clearing it drops the pending command (Esc, the connection steps).
    void SetWaiting(bool waiting);
    // Ends the synchronous call in progress with the current `Values`.
    void MarkDone();
    // A command has been sent and not yet answered, or a synchronous call is in progress.
    bool IsPending() const;

    // --- sending and waiting ---
    void SendCommand(const QString &cmd, const QString &expected, int code);
    TCommandValues ExecCommand(int code, int retries);
    TCommandValues ExecCommandText(const QString &text, int code, int retries);
    void WaitReply();
    void WaitMs(uint32_t ms);
    // Runs the event loop until `finished` holds; every wait of the engine goes through here.
    void WaitUntil(const std::function<bool()> &finished);
    // Runs `job` now when the engine is free, else once the pending command has completed.
    void RunWhenFree(std::function<void()> job);

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

    // --- page transfers: one at a time ---
    bool BeginTransfer(); // false while another transfer runs
    void EndTransfer();
    bool TransferRunning() const { return Transferring; }

signals:
    // A page transfer has ended (work held back for it may go now).
    void TransferEnded();

public:
    // --- received text, ticks, keys, connection ---
    void ProcessReply(const QString &text);
    void TimerTimer();
    void EscapePressed();
    void CableConnect();
    void CableDisconnect();
    // The main window's ClosePort calls this once the device is gone.
    void ConnectionClosed();

    QTimer &EngineTimer() { return Timer; }
    TReplyDecoder &Decoder() { return ReplyDecoder; }

private:
    struct TCall
    {
        bool done = false;
        TCommandValues values{0, 0};
    };

    template <typename TRes> static void StoreRow(const TCommandValues &v, int row, TRes &res)
    {
        res(row, 1) = v[0];
        res(row, 2) = v[1];
    }

    TCommandValues RunCall(const QString &text, int code, int retries);
    void StartCall(const std::shared_ptr<TCall> &call, const QString &text, int code, int retries);
    void Transmit(const QString &cmd, const QString &expected, int code);
    bool PortUsable() const;
    void EndPending();
    void HoldWakeUp();
    void ReleaseWakeUp();
    void ScheduleDrain();
    void DrainQueue();
    void Pause(uint32_t ms) const;

    void Decode(const QString &reply);
    void DecodeSequence(const QString &reply);
    void IdentifyVersion(const QString &reply);
    void IdentifyPanel(const QString &reply);
    void IdentifyImei(const QString &reply);
    void SendByCode(int code);
    bool StartupOutputEnded(const QString &text);
    void CloseForModemFailure(const QString &msg);
    void ClosePort();
    void GiveUp();
    void SetWakeUp(bool on);
    void ErrorLog(const QString &where, const QString &what, const QString &detail);

    bool DoneFlag = true;
    bool WaitingFlag = false;
    bool InFlight = false;
    bool WakeUpHeld = false;
    bool DrainScheduled = false;
    bool Transferring = false;
    std::shared_ptr<TCall> Call;
    std::deque<std::function<void()>> Queue;
    QString StartupTail; // the last characters of the start-up output seen so far
    TModemWatch ModemWatch;
    TReplyDecoder ReplyDecoder;
    QTimer Timer;
};
