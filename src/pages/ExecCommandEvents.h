#pragma once

// The requests and answers of the single-command service, for the pages and dialogs that need
// one command outside a page transfer: a requester posts a request event with the command code
// and itself to the window that serves it, and gets the answer back as an event.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>

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

    // The record of a command's result ([0] value, [1] status): a number becomes its decimal
    // text, a text stays text.
    static MainReplyRecord FromValues(int code, const std::array<QVariant, 2> &values,
                                      uint32_t tick);
};

// What answers the requests; it knows which answer is the latest.
class TCommandAnswerer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual uint32_t LastAnswerTick() const = 0;
};

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
    TCommandDoneEvent(const MainReplyRecord &record, const TCommandAnswerer *service)
        : QEvent(WM_COMMANDDONE), Record(record), Tick(record.Tick), Service(service)
    {}
    const MainReplyRecord Record;
    const uint32_t Tick;

    // The tick test: true while no later request has been answered.
    bool IsCurrent() const;

private:
    const QPointer<const TCommandAnswerer> Service;
};

// Posts a request for command `code` to `target` (the main window, or the service itself).
void PostExecCommand(QObject *target, int code, QObject *requester);
