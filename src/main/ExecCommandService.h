#pragma once

// The single-command service: a page or dialog that needs one command outside a page transfer
// (a key from the reader, the unit's mode, the live CAN values, the history erase) posts a
// request event to the main window with the command code and itself as the requester; the main
// window runs the command through the engine and posts the answer back to the requester.
//
// Requests are served one at a time in arrival order, from the event loop: each goes to the
// engine's queue (behind what is pending there, a page transfer's current row included) and is
// answered when its reply or its give-up comes, so that nothing waits below a modal dialog. A
// request that repeats a (requester, code) pair still waiting is dropped, and a
// requester that is gone by the time its turn or its answer comes gets nothing.
//
// The answer event carries a copy of the reply record. The service keeps the last record; an
// answer is current (the tick test) while no later request has been answered.

#include "main/CommandEngine.h"
#include "pages/ExecCommandEvents.h"

#include <QObject>

#include <deque>

class TExecCommandService : public TCommandAnswerer
{
    Q_OBJECT
public:
    explicit TExecCommandService(TCommandEngine &engine, QObject *parent = nullptr);
    ~TExecCommandService() override;

    // The last answer, kept until the next request is answered.
    const MainReplyRecord &Record() const { return record; }
    uint32_t LastAnswerTick() const override { return record.Tick; }
    // Requests waiting for their turn (the one being served not counted).
    int WaitingCount() const { return int(queue.size()); }

    // Takes a request; it is served from the event loop.
    void WMExecCommand(const TExecCommandEvent &request);

protected:
    bool event(QEvent *e) override;

private:
    struct TRequest
    {
        int code = 0;
        QPointer<QObject> requester;
    };

    void ScheduleServe();
    void ServeNext();
    void Answer(const TRequest &request, const TCommandValues &values);
    uint32_t NextTick();

    TCommandEngine &Engine;
    std::deque<TRequest> queue;
    MainReplyRecord record;
    bool serving = false;
    bool serveScheduled = false;
};
