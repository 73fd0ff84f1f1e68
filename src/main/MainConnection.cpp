#include "main/MainConnection.h"

#include "device/Commands.h"
#include "device/Device.h"
#include "device/Tick.h"
#include "main/CommandEngine.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QScopedValueRollback>
#include <QThread>
#include <QtDebug>

#include <cerrno>
#include <exception>

namespace {

const QString kNotConnectedModem =
    QStringLiteral("Не удалось подключиться через модемное соединение.");

enum : int
{
    CodeModemReset = 1024,        // "ATZ"
    CodeModemAttention = 1025,    // "AT"
    CodeModemRegistration = 1026, // "AT+CREG?"
    CodeModemBearer = 1027,       // "AT+CBST=7,0,1"
    CodeModemDial = 1028,         // "ATD%s"
    CodeModemEscape = 1029,       // "+++"
};

constexpr int kPortLost = 1024; // the device went away under the open port

// The system's reason for a failed open or a lost port, with what to do about a missing right.
QString SystemReasonText(int errorNumber, const QString &text)
{
    if (errorNumber == EACCES || errorNumber == EPERM)
        return text + QStringLiteral(" (нет прав на порт: добавьте пользователя в группу dialout "
                                     "и войдите в систему заново)");
    return text;
}

} // namespace

QString PortErrorText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Не могу создать файл");
    case 2:
        return QStringLiteral("Не установлена длина буферов");
    case 4:
        return QStringLiteral("Не могу прочитать настройки порта");
    case 8:
        return QStringLiteral("Не могу записать настпройки порта");
    case 16:
        return QStringLiteral("Не могу очистить порт");
    case 32:
        return QStringLiteral("Не могу сбросить RTS");
    case 64:
        return QStringLiteral("Не могу установить RTS");
    case 128:
        return QStringLiteral("Не могу прочитать значения таймаутов");
    case 256:
        return QStringLiteral("Не могу записать значения таймаутов");
    case 512:
        return QStringLiteral("Слушающий поток не смог стартовать");
    case kPortLost:
        return QStringLiteral("Порт пропал (устройство отключено)");
    default:
        return QStringLiteral("Неизвестная ошибка!");
    }
}

QString PortEventText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Порт открыт успешно");
    case 2:
        return QStringLiteral("Размер буферов установлен");
    case 4:
        return QStringLiteral("Настройки порта установлены");
    case 8:
        return QStringLiteral("Порт очищен");
    case 16:
        return QStringLiteral("RTS очищен");
    case 32:
        return QStringLiteral("Слушающий поток запущен");
    case 64:
        return QStringLiteral("RTS установлен");
    default:
        return QString();
    }
}

namespace {

int Status(const TCommandValues &values)
{
    return values[1].toInt();
}

} // namespace

TMainConnection::TMainConnection(TCommandEngine &engine, QObject *deviceOwner)
    : QObject(deviceOwner), Engine(engine), DeviceOwner(deviceOwner)
{}

TMainConnection::~TMainConnection() = default;

void TMainConnection::Message(const QString &text) const
{
    if (Hooks.ShowMessage)
        Hooks.ShowMessage(text);
}

void TMainConnection::Log(const std::function<void(const QString &)> &hook,
                          const QString &text) const
{
    if (hook)
        hook(text);
}

void TMainConnection::Connect(const TConnectChoice &choice)
{
    if (Hooks.LogSessionStart)
        Hooks.LogSessionStart();
    if (Hooks.SetActionsBusy)
        Hooks.SetActionsBusy();
    PortName = choice.PortName;
    Engine.BeginConnection(choice.ConnectType,
                           choice.ConnectType == 1 ? choice.PhoneNumber : QString());
    if (Hooks.UpdateStatusBar)
        Hooks.UpdateStatusBar();
    AbandonedByUser = false;

    if (choice.ConnectType == 0) {
        WaitDeviceStart = choice.WaitInit;
        if (!OpenDevice())
            return;
        if (WaitDeviceStart)
            Engine.BeginStartupWait(); // the engine tick and the receive handler go on
        else
            CableConnect();
        return;
    }

    if (!OpenDevice())
        return;
    CheckRegistration = choice.WaitRegistration;
    if (!ModemConnect()) {
        if (!AbandonedByUser)
            Message(kNotConnectedModem);
        ClosePort();
        return;
    }
    if (!WaitForDial()) {
        Message(kNotConnectedModem);
        ClosePort();
    }
}

bool TMainConnection::OpenDevice()
{
    auto *device = new TDevice(DeviceOwner, MakeNewInDcb(PortName, 19200, 0, 8, 0));
    Engine.AttachDevice(device);
    HookDeviceEvents();
    if (Hooks.DeviceCreated)
        Hooks.DeviceCreated(*device);
    CloseAfterOpen = false;
    {
        const QScopedValueRollback<bool> opening(OpeningDevice, true);
        device->SetComActive(true);
    }
    Engine.PortOpened();
    if (CloseAfterOpen || !Engine.PortActive) {
        ClosePort(); // the open's error has been logged; nothing is sent
        return false;
    }
    return true;
}

bool TMainConnection::ConnectionUsable() const
{
    return Engine.Device && Engine.PortActive && Engine.Device->ComActive() &&
           !Engine.Device->ComLost();
}

void TMainConnection::CableConnect()
{
    Engine.CableConnect();
}

bool TMainConnection::ModemConnect()
{
    const QScopedValueRollback<bool> busy(ModemConnecting, true);
    const auto stillOn = [this] { return ConnectionUsable() && !AbandonedByUser; };

    Engine.WaitMs(ModemStartPauseMs);
    if (!stillOn() || Status(Engine.ExecCommand(CodeModemReset, Engine.DefaultRetries)) != 1)
        return false;
    if (!stillOn() || Status(Engine.ExecCommand(CodeModemAttention, Engine.DefaultRetries)) != 1)
        return false;
    if (CheckRegistration) {
        // Only "0,1" (registered in the home network) ends the wait; Esc or a closed port
        // abandons it.
        do {
            if (!stillOn())
                return false;
        } while (Status(Engine.ExecCommand(CodeModemRegistration, Engine.DefaultRetries)) != 1);
    }
    if (!stillOn())
        return false;
    // The modem's "OK" to the bearer setting sends the dial at once; without it no dial follows.
    Engine.ExecCommand(CodeModemBearer, Engine.DefaultRetries);
    return DialPending();
}

bool TMainConnection::DialPending() const
{
    return ConnectionUsable() && Engine.Waiting() && Engine.LastCode == CodeModemDial;
}

// Waits for the dial's outcome. False only when the dial was given up with the port still open;
// "CONNECT" (identification under way), a failure word (the engine closes) and Esc give true.
bool TMainConnection::WaitForDial()
{
    const QScopedValueRollback<bool> busy(ModemConnecting, true);
    Engine.WaitUntil([this] { return !DialPending() || AbandonedByUser; });
    return AbandonedByUser || !ConnectionUsable() || Engine.LastCode != CodeModemDial;
}

bool TMainConnection::EscapeConnectionWait()
{
    if (!Engine.Device)
        return false;
    const bool endlessWait = Engine.State == StateWaitStartup ||
                             Engine.State == StateStartupOutput || ModemConnecting || DialPending();
    if (!endlessWait)
        return false;
    AbandonedByUser = true;
    Engine.AbandonPending();
    ClosePort();
    return true;
}

void TMainConnection::DisconnectActionExecute()
{
    if (Hooks.SetActionsBusy)
        Hooks.SetActionsBusy();
    Engine.MarkDone();
    if (!ConnectionUsable())
        ClosePort(); // the port is already gone: there is nobody to say goodbye to
    else if (Engine.ConnType == 0)
        CableDisconnect();
    else
        ModemHangUp();
    PortName.clear();
    Engine.ForgetPhone();
    Engine.Identity.ClearOnDisconnect();
    if (Hooks.UpdateStatusBar)
        Hooks.UpdateStatusBar();
}

void TMainConnection::CableDisconnect()
{
    Engine.CableDisconnect();
}

void TMainConnection::ModemHangUp()
{
    Engine.BeginModemHangUp();
    QThread::msleep(EscapeCloseMs);
    ClosePort();
}

void TMainConnection::ClosePort()
{
    if (TDevice *device = Engine.DetachDevice()) {
        device->UnbindEvents();
        device->SetWakeUp(false);
        if (!OpeningDevice)
            device->SetComActive(false);
        // The device may be inside one of its own calls (the open, a timer tick, the delivery
        // of received text): it goes once that call has returned.
        device->deleteLater();
        if (Hooks.LogSessionEnd)
            Hooks.LogSessionEnd();
    }
    Engine.ConnectionClosed();
    if (Hooks.SetActionsDisconnected)
        Hooks.SetActionsDisconnected();
}

void TMainConnection::CloseWhenDeviceReturns()
{
    if (OpeningDevice) {
        CloseAfterOpen = true; // the connect action closes once the open has returned
        return;
    }
    const QPointer<TDevice> device = Engine.Device;
    QMetaObject::invokeMethod(
        this,
        [this, device] {
            if (device && Engine.Device == device)
                RunGuarded("connection close", [this] { ClosePort(); });
        },
        Qt::QueuedConnection);
}

void TMainConnection::HookDeviceEvents()
{
    TDevice *device = Engine.Device.data();
    if (!device)
        return;
    if (DeviceOwner)
        device->setParent(DeviceOwner);
    device->OnPortEvent = [this](QObject *sender, int event) { DevicePortEvent(sender, event); };
    device->OnData = [this](QObject *sender, const QString &data) { DeviceReceive(sender, data); };
    device->OnBeforeWrite = [this](QObject *sender, const QString &cmd) {
        DeviceWrite(sender, cmd);
    };
    device->OnComCreateError = [this](QObject *sender, int code) { DevicePortError(sender, code); };
    device->OnWriteError = [this](QObject *sender, uint32_t code, const QString &cmd) {
        DeviceWriteError(sender, code, cmd);
    };
    device->OnErrorWaitInterval = [this](QObject *sender) { DeviceDisconnected(sender); };
    device->OnWakeUp = [this](QObject *) {
        RunGuarded("connection keep-alive", [this] { Engine.KeepAliveDue(); });
    };
}

void TMainConnection::DeviceWrite(QObject *, const QString &cmd)
{
    RunGuarded("connection write", [&] { Log(Hooks.LogPortWrite, cmd); });
}

void TMainConnection::DevicePortError(QObject *sender, int errorCode)
{
    RunGuarded("connection port error", [&] {
        Log(Hooks.LogPortError, PortErrorText(errorCode));
        if (auto *device = qobject_cast<TDevice *>(sender); device && device->LastErrno() != 0)
            Log(Hooks.LogPortError, SystemReasonText(device->LastErrno(), device->LastErrorText()));
        CloseWhenDeviceReturns();
    });
}

void TMainConnection::DevicePortEvent(QObject *, int event)
{
    RunGuarded("connection port event", [&] { Log(Hooks.LogPortEvent, PortEventText(event)); });
}

void TMainConnection::DeviceReceive(QObject *, const QString &data)
{
    RunGuarded("connection receive", [&] {
        Engine.NoteReceived();
        if (!data.isEmpty()) {
            Log(Hooks.LogPortRead, data);
            Engine.ProcessReply(data);
        }
    });
}

void TMainConnection::DeviceWriteError(QObject *, uint32_t errorCode, const QString &cmd)
{
    RunGuarded("connection write error", [&] {
        Log(Hooks.LogPortError, Format(QStringLiteral("Ошибка записи! Код: %d, Команда: %s"),
                                       {qint64(errorCode), cmd}));
    });
}

void TMainConnection::DeviceDisconnected(QObject *)
{
    RunGuarded("connection silence", [&] {
        if (Engine.SilenceAlarm())
            CloseWhenDeviceReturns();
    });
}
