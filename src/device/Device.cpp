#include "device/Device.h"

#include "device/Tick.h"
#include "settings/funcs.h"

#include <QEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>
#include <QtDebug>

namespace {

constexpr int TimerIntervalMs = 1000;

uint32_t DrawWakeUpInterval()
{
    return 10000 + 1000 * QRandomGenerator::global()->bounded(5u);
}

} // namespace

struct TDevice::Private
{
    explicit Private(const TNewInDcb &settings) : Settings(settings) {}

    TNewInDcb Settings;
    std::unique_ptr<TnComPort> comportobject;
    uint32_t LastReceiveTick = 0;
    uint32_t LastSendTick = 0;
    QString WakeUpCommand;
    uint32_t WakeUpInterval = 0;
    bool WakeUp = false;
    QTimer Timer;
};

TDevice::TDevice(QObject *owner, const TNewInDcb &settings)
    : QObject(owner), d(std::make_unique<Private>(settings))
{
    CreateComPort();
}

TDevice::~TDevice()
{
    d->Timer.stop();
    d->comportobject.reset(); // ends the receive thread and closes the port
}

void TDevice::CreateComPort()
{
    d->comportobject = std::make_unique<TnComPort>(d->Settings, false);
    TnComPort &port = *d->comportobject;
    port.NotifyWnd = this;
    port.OnComCreateError = [this](TnComPort *, int errorCode) {
        if (const auto handler = OnComCreateError)
            handler(this, errorCode);
    };
    port.OnBeforeWrite = [this](TnComPort *, const QString &cmd) {
        if (const auto handler = OnBeforeWrite)
            handler(this, cmd);
    };
    port.OnWriteError = [this](TnComPort *, uint32_t errorCode, const QString &cmd) {
        if (const auto handler = OnWriteError)
            handler(this, errorCode, cmd);
    };
    port.OnPortEvent = [this](TnComPort *, int event) {
        if (const auto handler = OnPortEvent)
            handler(this, event);
    };
    d->WakeUpCommand = QStringLiteral("+v");
    d->WakeUpInterval = DrawWakeUpInterval();
    d->Timer.setInterval(TimerIntervalMs);
    connect(&d->Timer, &QTimer::timeout, this,
            [this] { RunGuarded("device timer", [this] { TimerTick(); }); });
}

TnComPort *TDevice::comportobject() const
{
    return d->comportobject.get();
}

bool TDevice::ComActive() const
{
    return d->comportobject->Active();
}

bool TDevice::ComLost() const
{
    return d->comportobject->Lost();
}

void TDevice::SetComActive(bool active)
{
    if (active)
        d->comportobject->Open();
    else
        d->comportobject->Close();
}

bool TDevice::ComListen() const
{
    return d->comportobject->Listening();
}

void TDevice::SetComListen(bool listen)
{
    d->comportobject->SetListen(listen);
}

QString TDevice::WakeUpCommand() const
{
    return d->WakeUpCommand;
}

void TDevice::SetWakeUpCommand(const QString &command)
{
    if (!d->WakeUp)
        d->WakeUpCommand = command;
}

uint32_t TDevice::WakeUpInterval() const
{
    return d->WakeUpInterval;
}

void TDevice::SetWakeUpInterval(uint32_t ms)
{
    if (!d->WakeUp)
        d->WakeUpInterval = ms;
}

bool TDevice::WakeUp() const
{
    return d->WakeUp;
}

void TDevice::SetWakeUp(bool on)
{
    if (on == d->WakeUp)
        return;
    if (on) {
        if (!d->comportobject->Active())
            return;
        d->WakeUp = true;
        d->Timer.start();
    } else {
        d->Timer.stop();
        d->WakeUp = false;
    }
}

uint32_t TDevice::PortHandle() const
{
    const TnComPort &port = *d->comportobject;
    return port.Active() ? uint32_t(port.Handle()) : 0xFFFFFFFFu;
}

uint32_t TDevice::LastSendTick() const
{
    return d->LastSendTick;
}

uint32_t TDevice::LastReceiveTick() const
{
    return d->LastReceiveTick;
}

int TDevice::LastErrno() const
{
    return d->comportobject->LastErrno();
}

QString TDevice::LastErrorText() const
{
    return d->comportobject->LastErrorText();
}

void TDevice::SendCommand(const QString &cmd)
{
    const QPointer<TDevice> self(this);
    d->comportobject->Send(cmd);
    if (self)
        d->LastSendTick = GetTickCount();
}

void TDevice::UnbindEvents()
{
    OnData = nullptr;
    OnBeforeWrite = nullptr;
    OnWriteError = nullptr;
    OnComCreateError = nullptr;
    OnPortEvent = nullptr;
    OnErrorWaitInterval = nullptr;
    OnWakeUp = nullptr;
}

void TDevice::TimerTick()
{
    if (!d->comportobject->Active())
        return;
    const uint32_t now = GetTickCount();
    if (uint32_t(now - d->LastReceiveTick) >= SilenceAlarmMs) {
        if (const auto handler = OnErrorWaitInterval)
            handler(this);
        return;
    }
    if (d->WakeUp && uint32_t(now - d->LastSendTick) > d->WakeUpInterval) {
        const QPointer<TDevice> self(this);
        if (const auto handler = OnWakeUp)
            handler(this);
        else
            SendCommand(d->WakeUpCommand);
        if (self)
            d->WakeUpInterval = DrawWakeUpInterval();
    }
}

bool TDevice::event(QEvent *e)
{
    if (e->type() == WM_RECEIVEDATA) {
        RunGuarded("device receive", [this] { ReceiveData(); });
        return true;
    }
    if (e->type() == WM_PORTLOST) {
        const int errorNumber = static_cast<TPortLostEvent *>(e)->ErrorNumber;
        RunGuarded("device port lost", [this, errorNumber] { PortLost(errorNumber); });
        return true;
    }
    return QObject::event(e);
}

void TDevice::DeliverReceivedData()
{
    if (!d->comportobject->Active())
        return;
    const QString data = d->comportobject->ReadData();
    if (data.isEmpty())
        return;
    d->LastReceiveTick = GetTickCount();
    if (const auto handler = OnData)
        handler(this, data);
}

void TDevice::ReceiveData()
{
    // A notice still queued when the port was closed carries nothing of this connection.
    if (!d->comportobject->Active())
        return;
    d->LastReceiveTick = GetTickCount();
    const QString data = d->comportobject->ReadData();
    if (const auto handler = OnData)
        handler(this, data);
}

void TDevice::PortLost(int errorNumber)
{
    d->comportobject->HandlePortLost(errorNumber);
}
