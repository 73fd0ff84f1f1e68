#pragma once

// What the command engine has pending, in one place: the exchange on the line (a command or the
// keep-alive), the synchronous call waiting for its result, the requests queued behind them and
// the holds that stop all sending. Nothing goes out while any of these is pending; a queued
// request starts from the event loop once the queue is free again, in the order it was queued.

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <array>
#include <deque>
#include <functional>
#include <memory>

using TCommandValues = std::array<QVariant, 2>; // [0] value, [1] status

class TRequestQueue
{
public:
    enum class TExchange : uint8_t
    {
        None,
        Command,   // a command of the engine, its reply awaited
        KeepAlive, // the device's wake-up or a direct command: its answer awaited by nobody
        Abandoned, // a modem command given up or answered only on its resend: the line is held
                   // for its other answers until its time-out has passed
        Sync,      // the engine's "+v" after sends whose answers cannot be told from the next
                   // command's: nothing else goes out until the unit has answered it
    };

    // The result a synchronous caller waits for.
    struct TCall
    {
        bool Done = false;
        TCommandValues Values{0, 0};
        // Runs from the event loop once the call is done (an asynchronous caller's answer).
        std::function<void(const TCommandValues &)> Answered;
    };

    using TJob = std::function<void()>;

    // Queued requests start through `context`'s event queue.
    explicit TRequestQueue(QObject *context);

    TExchange OnLine() const { return onLine; }
    void ExchangeSent(TExchange what) { onLine = what; }
    // The exchange on the line was answered, given up or dropped.
    void ExchangeEnded();

    const std::shared_ptr<TCall> &Call() const { return call; }
    void CallStarted(const std::shared_ptr<TCall> &started) { call = started; }
    // Completes the call in progress, if any, with `values`.
    void CallFinished(const TCommandValues &values);
    // Hands `values` to `answered` from the event loop (an exception it throws is reported).
    void PostAnswer(std::function<void(const TCommandValues &)> answered,
                    const TCommandValues &values) const;

    // Nothing on the line, no synchronous call, nothing held.
    bool Free() const;
    // Runs `job` now when the queue is free and empty, else once every earlier request has run.
    void RunWhenFree(TJob job);
    // Queued ahead of every other request (the goodbye of a disconnect).
    void RunFirst(TJob job);
    bool HasQueued() const { return !queued.empty(); }

    // While held, no queued request starts (the firmware dialog talks to the device itself).
    void Hold() { ++holds; }
    void Release();
    bool Held() const { return holds > 0; }

private:
    void ScheduleDrain();
    void Drain();

    QPointer<QObject> context;
    TExchange onLine = TExchange::None;
    std::shared_ptr<TCall> call;
    std::deque<TJob> queued;
    int holds = 0;
    bool drainScheduled = false;
};
