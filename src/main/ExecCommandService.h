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

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <deque>

// Request: requester -> main window. Answer: main window -> requester.
inline constexpr QEvent::Type WM_EXECCOMMAND = QEvent::Type(QEvent::User + 128);
inline constexpr QEvent::Type WM_COMMANDDONE = QEvent::Type(QEvent::User + 129);

// The answer to one request.
struct MainReplyRecord
{
    static constexpr int TextPartLength = 255;

    int32_t Code = 0;
    int32_t Status = 0; // 1 the reply came, 0 not
    QString Text1;      // characters 1..255 of the value text
    QString Text2;      // 256..510
    QString Text3;      // 511..765; anything beyond is dropped
    uint32_t Tick = 0;  // identifies the request's answer

    // The three parts joined.
    QString Text() const { return Text1 + Text2 + Text3; }

    // The record of a command's result: a number becomes its decimal text, a text stays text.
    static MainReplyRecord FromValues(int code, const TCommandValues &values, uint32_t tick);
};

class TExecCommandService;

class TExecCommandEvent : public QEvent
{
public:
    TExecCommandEvent(int code, QObject *requester)
        : QEvent(WM_EXECCOMMAND), Code(code), Requester(requester)
    {}
    const int Code;
    const QPointer<QObject> Requester;
};

class TCommandDoneEvent : public QEvent
{
public:
    TCommandDoneEvent(const MainReplyRecord &record, const TExecCommandService *service)
        : QEvent(WM_COMMANDDONE), Record(record), Tick(record.Tick), Service(service)
    {}
    const MainReplyRecord Record;
    const uint32_t Tick;

    // The tick test: true while the service's record is still this answer's.
    bool IsCurrent() const;

private:
    const QPointer<const TExecCommandService> Service;
};

// Posts a request for command `code` to `target` (the main window, or the service itself).
void PostExecCommand(QObject *target, int code, QObject *requester);

class TExecCommandService : public QObject
{
    Q_OBJECT
public:
    explicit TExecCommandService(TCommandEngine &engine, QObject *parent = nullptr);
    ~TExecCommandService() override;

    // The last answer, kept until the next request is answered.
    const MainReplyRecord &Record() const { return record; }
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
