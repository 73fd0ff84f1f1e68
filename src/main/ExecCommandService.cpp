#include "main/ExecCommandService.h"

#include "device/Commands.h"
#include "device/Device.h"
#include "device/Tick.h"

#include <QCoreApplication>

namespace {

// Posted by the service to itself: serve the next request once the events before it are done
// (so an answer is delivered before the next request can replace the record).
const QEvent::Type ServeEventType = QEvent::Type(QEvent::registerEventType());

} // namespace

TExecCommandService::TExecCommandService(TCommandEngine &engine, QObject *parent)
    : TCommandAnswerer(parent), Engine(engine)
{}

TExecCommandService::~TExecCommandService() = default;

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
    serveScheduled = true;
    QCoreApplication::postEvent(this, new QEvent(ServeEventType));
}

// The request goes to the engine, which sends it in its turn with the page commands' resends;
// nothing here waits for the unit. The keep-alive is held while the command is pending (the
// device's silence alarm keeps watching) and switched on with the answer (it only turns on while
// the port is open).
void TExecCommandService::ServeNext()
{
    if (serving || queue.empty())
        return;
    const TRequest request = queue.front();
    queue.pop_front();
    if (request.requester.isNull()) {
        ScheduleServe();
        return;
    }
    serving = true;
    const QPointer<TExecCommandService> alive(this);
    Engine.RequestCommand(GetCommandText(request.code), request.code, Engine.DefaultRetries,
                          [this, alive, request](const TCommandValues &values) {
                              if (alive)
                                  Answer(request, values);
                          });
}

void TExecCommandService::Answer(const TRequest &request, const TCommandValues &values)
{
    serving = false;
    if (Engine.Device && !Engine.SendingSuspended()) // else the firmware dialog has the link
        Engine.Device->SetWakeUp(true);
    record = MainReplyRecord::FromValues(request.code, values, NextTick());
    if (!request.requester.isNull())
        QCoreApplication::postEvent(request.requester, new TCommandDoneEvent(record, this));
    ScheduleServe();
}

// The tick of a new record. Two answers within one millisecond still get different ticks, so
// the tick test never takes an older answer for the current one.
uint32_t TExecCommandService::NextTick()
{
    const uint32_t now = GetTickCount();
    const bool clockStill = record.Tick != 0 && int32_t(now - record.Tick) <= 0;
    return clockStill ? record.Tick + 1 : now;
}
