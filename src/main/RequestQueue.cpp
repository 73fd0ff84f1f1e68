#include "main/RequestQueue.h"

#include "settings/funcs.h"

TRequestQueue::TRequestQueue(QObject *context) : context(context) {}

void TRequestQueue::ExchangeEnded()
{
    onLine = TExchange::None;
    ScheduleDrain();
}

void TRequestQueue::CallFinished(const TCommandValues &values)
{
    if (!call)
        return;
    call->Values = values;
    call->Done = true;
    if (call->Answered)
        PostAnswer(std::move(call->Answered), values);
    call.reset();
    ScheduleDrain();
}

void TRequestQueue::PostAnswer(std::function<void(const TCommandValues &)> answered,
                               const TCommandValues &values) const
{
    if (!context)
        return;
    QMetaObject::invokeMethod(
        context,
        [answered = std::move(answered), values] {
            RunGuarded("command answer", [&] { answered(values); });
        },
        Qt::QueuedConnection);
}

bool TRequestQueue::Free() const
{
    return onLine == TExchange::None && !call && holds == 0;
}

void TRequestQueue::RunWhenFree(TJob job)
{
    if (Free() && queued.empty()) {
        job();
        return;
    }
    queued.push_back(std::move(job));
    ScheduleDrain();
}

void TRequestQueue::RunFirst(TJob job)
{
    queued.push_front(std::move(job));
    ScheduleDrain();
}

void TRequestQueue::Release()
{
    if (holds > 0)
        --holds;
    ScheduleDrain();
}

void TRequestQueue::ScheduleDrain()
{
    if (drainScheduled || queued.empty() || !context)
        return;
    drainScheduled = true;
    QMetaObject::invokeMethod(
        context,
        [this] {
            drainScheduled = false;
            Drain();
        },
        Qt::QueuedConnection);
}

void TRequestQueue::Drain()
{
    while (Free() && !queued.empty()) {
        TJob job = std::move(queued.front());
        queued.pop_front();
        RunGuarded("queued request", job);
    }
}
