#pragma once

// The connection side of the main window: opening the port for the programming cable or the GSM
// modem, the modem's preparation and dial, the disconnect, closing the port, and the handlers of
// the device object's events. It needs no widget: the main window owns it, hands it the user's
// choices from the connection dialog and supplies the log, the action sets, the status bar and
// the message box through `Hooks`.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

class TCommandEngine;
class TDevice;

// What the connection dialog hands over.
struct TConnectChoice
{
    uint8_t ConnectType = 0; // 0 cable, 1 modem
    QString PortName;
    QString PhoneNumber;
    bool WaitRegistration = false;
    bool WaitInit = false;
};

// What the connection asks of the main window. An unset hook is skipped.
struct TConnectionHooks
{
    std::function<void()> LogSessionStart; // also switches the actions to busy
    std::function<void()> LogSessionEnd;
    std::function<void(const QString &text)> LogPortError;
    std::function<void(const QString &text)> LogPortEvent;
    std::function<void(const QString &text)> LogPortWrite;
    std::function<void(const QString &text)> LogPortRead;
    std::function<void()> SetActionsBusy;
    std::function<void()> SetActionsDisconnected;
    std::function<void()> UpdateStatusBar;
    std::function<void(const QString &text)> ShowMessage;
    // A new device object before its port opens (tests shorten the control-line pulse here).
    std::function<void(TDevice &device)> DeviceCreated;
};

// Texts logged for the port's error and progress codes.
QString PortErrorText(int code);
QString PortEventText(int code);

class TMainConnection : public QObject
{
    Q_OBJECT
public:
    // `deviceOwner` becomes the parent of every device object (the main window).
    TMainConnection(TCommandEngine &engine, QObject *deviceOwner);
    ~TMainConnection() override;

    QString PortName;
    bool CheckRegistration = false;
    bool WaitDeviceStart = false;

    // The modem's settle time before "ATZ" and the pause between "+++" and closing the port.
    uint32_t ModemStartPauseMs = 2000;
    uint32_t EscapeCloseMs = 100;

    TConnectionHooks Hooks;

    // The connect action after the dialog's OK.
    void Connect(const TConnectChoice &choice);
    void CableConnect();
    bool ModemConnect();
    void DisconnectActionExecute();
    void CableDisconnect();
    void ModemHangUp();
    void ClosePort();
    void HookDeviceEvents();

    // Esc while waiting without a time limit (the unit's start-up output, the modem's
    // preparation, registration or dial): the attempt is abandoned and the port closed. False
    // when there is no such wait, so the engine's own Esc handling applies.
    bool EscapeConnectionWait();

    // A device exists, its port is open and no modem failure has been seen.
    bool ConnectionUsable() const;

    void DeviceWrite(QObject *sender, const QString &cmd);
    void DevicePortError(QObject *sender, int errorCode);
    void DevicePortEvent(QObject *sender, int event);
    void DeviceReceive(QObject *sender, const QString &data);
    void DeviceWriteError(QObject *sender, uint32_t errorCode, const QString &cmd);
    void DeviceDisconnected(QObject *sender);

private:
    bool OpenDevice();
    bool DialPending() const;
    bool WaitForDial();
    void CloseWhenDeviceReturns();
    void Message(const QString &text) const;
    void Log(const std::function<void(const QString &)> &hook, const QString &text) const;

    TCommandEngine &Engine;
    QPointer<QObject> DeviceOwner;
    bool OpeningDevice = false;
    bool CloseAfterOpen = false;
    bool ModemConnecting = false;
    bool AbandonedByUser = false;
};
