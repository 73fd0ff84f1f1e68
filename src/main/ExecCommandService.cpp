#include "main/ExecCommandService.h"

#include "device/Device.h"
#include "device/Tick.h"

#include <QCoreApplication>

#include <exception>

namespace {

// Posted by the service to itself: serve the next request once the events before it are done
// (so an answer is delivered before the next request can replace the record).
const QEvent::Type ServeEventType = QEvent::Type(QEvent::registerEventType());

QString ValueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return QString::number(value.toLongLong());
}

} // namespace

MainReplyRecord MainReplyRecord::FromValues(int code, const TCommandValues &values, uint32_t tick)
{
    MainReplyRecord r;
    r.Tick = tick;
    r.Code = code;
    r.Status = values[1].toInt();
    const QString text = ValueText(values[0]);
    r.Text1 = text.mid(0, TextPartLength);
    r.Text2 = text.mid(TextPartLength, TextPartLength);
    r.Text3 = text.mid(2 * TextPartLength, TextPartLength);
    return r;
}

bool TCommandDoneEvent::IsCurrent() const
{
    return Service && Service->Record().Tick == Tick;
}

void PostExecCommand(QObject *target, int code, QObject *requester)
{
    if (target != nullptr)
        QCoreApplication::postEvent(target, new TExecCommandEvent(code, requester));
}

TExecCommandService::TExecCommandService(TCommandEngine &engine, QObject *parent)
    : QObject(parent), Engine(engine)
{}

TExecCommandService::~TExecCommandService()
{
    QObject::disconnect(transferWatch);
}

bool TExecCommandService::event(QEvent *e)
{
    if (e->type() == WM_EXECCOMMAND) {
        WMExecCommand(*static_cast<TExecCommandEvent *>(e));
        return true;
    }
    if (e->type() == ServeEventType) {
        serveScheduled = false;
        ServeNext();
        return true;
    }
    return QObject::event(e);
}

void TExecCommandService::WMExecCommand(const TExecCommandEvent &request)
{
    if (request.Requester.isNull())
        return;
    for (const TRequest &waiting : queue)
        if (waiting.code == request.Code && waiting.requester == request.Requester)
            return;
    queue.push_back({request.Code, request.Requester});
    ScheduleServe();
}

void TExecCommandService::ScheduleServe()
{
    if (serving || serveScheduled || queue.empty())
        return;
    if (Engine.TransferRunning()) {
        // Held back until the transfer is over; the transfer's commands keep their turn.
        if (!transferWatch)
            transferWatch = connect(&Engine, &TCommandEngine::TransferEnded, this, [this] {
                QObject::disconnect(transferWatch);
                ScheduleServe();
            });
        return;
    }
    serveScheduled = true;
    QCoreApplication::postEvent(this, new QEvent(ServeEventType));
}

void TExecCommandService::ServeNext()
{
    if (serving || queue.empty())
        return;
    if (Engine.TransferRunning()) {
        ScheduleServe();
        return;
    }
    const TRequest request = queue.front();
    queue.pop_front();
    if (!request.requester.isNull()) {
        serving = true;
        const QPointer<TExecCommandService> alive(this);
        // While the firmware dialog has the link, requests are answered at once, unanswered.
        const TCommandValues values =
            Engine.SendingSuspended() ? TCommandValues{0, 0} : Run(request.code);
        if (!alive)
            return;
        serving = false;
        record = MainReplyRecord::FromValues(request.code, values, NextTick());
        if (!request.requester.isNull())
            QCoreApplication::postEvent(request.requester, new TCommandDoneEvent(record, this));
    }
    ScheduleServe();
}

// Runs one command with the page commands' resends. The engine holds the keep-alive's send while
// the command is pending (the device's silence alarm keeps watching); the keep-alive is switched
// on afterwards (it only turns on while the port is open).
TCommandValues TExecCommandService::Run(int code)
{
    TCommandValues values{0, 0};
    try {
        values = Engine.ExecCommand(code, Engine.DefaultRetries);
    } catch (const std::exception &e) {
        qWarning("single command %d: %s", code, e.what());
        values = {0, 0};
    } catch (...) {
        values = {0, 0};
    }
    if (Engine.Device)
        Engine.Device->SetWakeUp(true);
    return values;
}

// The tick of a new record. Two answers within one millisecond still get different ticks, so
// the tick test never takes an older answer for the current one.
uint32_t TExecCommandService::NextTick()
{
    const uint32_t now = GetTickCount();
    const bool clockStill = record.Tick != 0 && int32_t(now - record.Tick) <= 0;
    return clockStill ? record.Tick + 1 : now;
}
