#pragma once

// The serial port to the unit: the open sequence with its control-line pulse, the write path that
// ends each command with CR, and the receive thread that gathers every received byte and tells
// the owner about it with a posted event.

#include <QByteArray>
#include <QEvent>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

// Port settings. Parity and StopBits keep the Windows DCB codes the stored settings use:
// parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 1 one and a half, 2 two.
struct TNewInDcb
{
    QString PortName; // "ttyUSB0" opens /dev/ttyUSB0; a name holding "/" is a path
    uint32_t BaudRate = 19200;
    uint8_t Parity = 0;
    uint8_t ByteSize = 8;
    uint8_t StopBits = 0;
};

TNewInDcb MakeNewInDcb(const QString &portName, uint32_t baudRate, uint8_t parity, uint8_t byteSize,
                       uint8_t stopBits);

// Events the receive thread posts to the port's NotifyWnd.
inline constexpr QEvent::Type WM_RECEIVEDATA = QEvent::Type(QEvent::User + 1024);
inline constexpr QEvent::Type WM_PORTLOST = QEvent::Type(QEvent::User + 1025);

// WM_PORTLOST: the device went away under the open port (adapter unplugged, peer hung up).
class TPortLostEvent : public QEvent
{
public:
    explicit TPortLostEvent(int errorNumber) : QEvent(WM_PORTLOST), ErrorNumber(errorNumber) {}
    const int ErrorNumber; // errno of the failed read, or 0 for a plain hang-up
};

// Progress codes of the open sequence (OnPortEvent), one bit per step.
enum TnComPortProgress : int
{
    PortEventOpened = 1,
    PortEventQueuesSet = 2,
    PortEventSettingsSet = 4,
    PortEventPurged = 8,
    PortEventRtsCleared = 16,
    PortEventThreadStarted = 32,
    PortEventRtsRaised = 64,
};

// Error codes (OnComCreateError). 128 and 256 (port time-outs) are never raised: no time-outs are
// set on the port. ComErrorPortLost is raised after the open, when the device disappears.
enum TnComPortError : int
{
    ComErrorCreate = 1,
    ComErrorQueues = 2,
    ComErrorGetSettings = 4,
    ComErrorSetSettings = 8,
    ComErrorPurge = 16,
    ComErrorClearRts = 32,
    ComErrorSetRts = 64,
    ComErrorGetTimeouts = 128,
    ComErrorSetTimeouts = 256,
    ComErrorThread = 512,
    ComErrorPortLost = 1024,
};

// Waits in poll() on the port and on a wake-up eventfd; appends what arrives to Buffer and posts
// WM_RECEIVEDATA per chunk read. Bound to one open descriptor: the port ends and joins it before
// closing the descriptor.
class TReceiveDataThread
{
public:
    // Throws std::system_error when the wake-up descriptor cannot be made.
    TReceiveDataThread(int portHandle, QObject *notifyWnd);
    ~TReceiveDataThread(); // ends and joins the thread
    TReceiveDataThread(const TReceiveDataThread &) = delete;
    TReceiveDataThread &operator=(const TReceiveDataThread &) = delete;

    void Start(); // throws std::system_error when the thread cannot be started
    void Terminate();

    QString GetData(); // takes and empties the buffer
    void StartRead();  // unpause and empty the buffer
    void StopRead();   // pause: the port is no longer read
    bool Paused() const { return paused.load(); }
    bool Lost() const { return lost.load(); }

private:
    void Execute();
    void Wake();
    bool ReadChunk(); // false when the device is gone
    void ReportLost(int errorNumber);

    const int PortHandle;
    QObject *const NotifyWnd;
    int wakeFd = -1;
    std::mutex ReadLock; // guards Buffer
    QByteArray Buffer;
    std::atomic<bool> paused{true};
    std::atomic<bool> terminated{false};
    std::atomic<bool> lost{false};
    std::thread thread;
};

class TnComPort
{
public:
    using TnComPortCreateError = std::function<void(TnComPort *sender, int errorCode)>;
    using TnComPortBeforeWrite = std::function<void(TnComPort *sender, const QString &cmd)>;
    using TnComPortWriteError =
        std::function<void(TnComPort *sender, uint32_t errorCode, const QString &cmd)>;
    using TnComPortEvent = std::function<void(TnComPort *sender, int event)>;

    explicit TnComPort(const TNewInDcb &settings, bool openNow = false);
    ~TnComPort();
    TnComPort(const TnComPort &) = delete;
    TnComPort &operator=(const TnComPort &) = delete;

    // The open sequence; true when the port is open (also when it already was).
    bool Open();
    // Stops listening, ends the receive thread and closes the descriptor.
    void Close();
    // Writes cmd and a CR ("+++" goes out bare). False, with OnWriteError, when the write fails;
    // false without a write or an event once the port is lost.
    bool Send(const QString &cmd);
    // The text received since the last call; "err" when the port is not active.
    QString ReadData();
    // Bytes handed to the driver; blocks until all are taken or the line stalls.
    uint32_t WriteBuf(const char *bytes, uint32_t count);

    void StartListen();
    void StopListen();
    void SetListen(bool listen);

    bool Active() const { return active; }
    bool Listening() const { return listening; }
    bool ThreadStarted() const { return thread != nullptr; }
    bool Lost() const { return lost; }
    int Handle() const { return handle; }
    const TNewInDcb &Settings() const { return settings; }

    // The system's reason for the last failed step, write or loss (errno and its text).
    int LastErrno() const { return lastErrno; }
    QString LastErrorText() const;

    // Called on the NotifyWnd's thread when it receives WM_PORTLOST: marks the port lost and
    // raises OnComCreateError with ComErrorPortLost.
    void HandlePortLost(int errorNumber);

    QObject *NotifyWnd = nullptr; // receives WM_RECEIVEDATA and WM_PORTLOST; set before Open
    uint32_t InQueueSize = 2048;
    uint32_t OutQueueSize = 2048;
    // The control-line pulse: RTS settle time after each change and the time both lines stay
    // low. Tests that are not about the pulse shorten them.
    uint32_t RtsSettleMs = 100;
    uint32_t LinesLowMs = 500;
    // A write fails when the line takes no byte for this long (no flow control is configured,
    // so a real port always drains; a stalled pseudo-terminal must not hang the program).
    int WriteStallTimeoutMs = 5000;

    TnComPortCreateError OnComCreateError;
    TnComPortBeforeWrite OnBeforeWrite;
    TnComPortWriteError OnWriteError;
    TnComPortEvent OnPortEvent;

private:
    bool OpenHandle();
    bool ApplySettings();
    bool Purge();
    bool StartThread();
    bool ClearLines();
    bool RaiseRts();
    bool Fail(int errorCode, int errorNumber);
    void Progress(int code);
    void ReportCreateError(int code);
    void CloseHandle();

    TNewInDcb settings;
    int handle = -1;
    bool active = false;
    bool listening = false;
    bool lost = false;
    int lastErrno = 0;
    std::unique_ptr<TReceiveDataThread> thread;
};
