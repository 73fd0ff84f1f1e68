#pragma once

// The one object through which the program talks to the unit: owns the serial port, hands the
// received text to the UI thread as OnData, sends commands and keeps a quiet link awake.
//
// Public interface fixed here so the command engine and the connection code can build on it;
// the implementation lives in Device.cpp next to ComPort.
//
// Lifetime: the owner may end the connection from inside any of the events below, but must then
// delete the device with deleteLater(), never directly: the device's own call (the open, a timer
// tick, the delivery of received text) is still running when the event fires.
//
// A port that disappears while open (USB adapter unplugged, the other end of a pseudo-terminal
// closed) is reported once through OnComCreateError with ComErrorPortLost (1024); reading stops
// and the owner is expected to close the connection. LastErrno()/LastErrorText() then give the
// system's reason, as they do after a failed open (EACCES: the user may not use the port).

#include "device/ComPort.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

class TDevice : public QObject
{
    Q_OBJECT
public:
    using TDataRecievEvent = std::function<void(QObject *sender, const QString &data)>;
    using TnComPortBeforeWrite = std::function<void(QObject *sender, const QString &cmd)>;
    using TnComPortWriteError =
        std::function<void(QObject *sender, uint32_t errorCode, const QString &cmd)>;
    using TnComPortCreateError = std::function<void(QObject *sender, int errorCode)>;
    using TnComPortEvent = std::function<void(QObject *sender, int event)>;
    using TNotifyEvent = std::function<void(QObject *sender)>;

    // Silence on the line for this long raises OnErrorWaitInterval on every tick.
    static constexpr uint32_t SilenceAlarmMs = 30000;

    // Creates the port object (closed); ComActive(true) opens it.
    TDevice(QObject *owner, const TNewInDcb &settings);
    ~TDevice() override;

    TnComPort *comportobject() const;

    bool ComActive() const;
    // The port went away under the connection (reported once through OnComCreateError).
    bool ComLost() const;
    void SetComActive(bool active);
    bool ComListen() const;
    void SetComListen(bool listen);

    QString WakeUpCommand() const;
    void SetWakeUpCommand(const QString &command); // ignored while WakeUp
    uint32_t WakeUpInterval() const;
    void SetWakeUpInterval(uint32_t ms); // ignored while WakeUp
    bool WakeUp() const;
    void SetWakeUp(bool on); // on takes effect only while the port is active

    uint32_t PortHandle() const; // 0xFFFFFFFF when the port is not active
    uint32_t LastSendTick() const;
    uint32_t LastReceiveTick() const;

    void SendCommand(const QString &cmd);

    // Hands text the receive thread has already gathered to OnData now, instead of when its
    // queued notice comes round (the command engine clears the line before each new command).
    void DeliverReceivedData();

    // The system's reason (errno and its text) for the port's last failed open step, write or loss.
    int LastErrno() const;
    QString LastErrorText() const;

    // The 1000 ms timer's handler (silence alarm and wake-up); public so that the timing can be
    // driven without waiting for the timer.
    void TimerTick();

    // Leaves every event unassigned (the owner lets go of the device, or hands it over).
    void UnbindEvents();

    // Events: an unassigned (empty) one is skipped. Sender is the TDevice.
    TDataRecievEvent OnData;
    TnComPortBeforeWrite OnBeforeWrite;
    TnComPortWriteError OnWriteError;
    TnComPortCreateError OnComCreateError;
    TnComPortEvent OnPortEvent;
    TNotifyEvent OnErrorWaitInterval;
    // The wake-up is due. When assigned, the owner sends the wake-up command itself (through its
    // own command queue, so that its answer is not taken for another command's); otherwise the
    // device sends it.
    TNotifyEvent OnWakeUp;

protected:
    bool event(QEvent *e) override; // the receive thread's posted notification

private:
    void CreateComPort();
    void ReceiveData();
    void PortLost(int errorNumber);
    // implementation details belong to Device.cpp
    struct Private;
    std::unique_ptr<Private> d;
};
