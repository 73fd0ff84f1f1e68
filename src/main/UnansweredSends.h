#pragma once

// The sends the unit has not answered yet, oldest first, and which of them an answer belongs to.
// The unit answers its commands in the order it received them, but a send or its answer may be
// lost, late or garbled on the way. An answer is credited to a send only where that is certain:
// it names the send (a read's value under the command's own text, "+qsafe", ">FF"; an echo of
// the command), or it is the oldest waiting send that could have drawn an answer of this form
// (a bare "OK", a value alone after ">", a version). The send credited and every older one are
// no longer waited for: the unit has moved past them. An answer that fits no waiting send, or
// that is taken by a send of another form on the order alone, leaves doubt: the engine then asks
// the unit for its version before anything else, and the answer to that query, when no older
// query still waits, shows that everything sent before has been answered.
//
// Version answers all look alike, so one whose send was lost cannot be told from one that is
// late: a version answer completes the query on the line, but only the oldest query waiting is
// taken off the list. Nothing is waited for for ever: a send older than its lifetime (the silence
// limit of the line, or its own longer time-out) will not be answered any more and is forgotten, so
// a line that lost step is back in step once its lost sends have aged out.

#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

// What the answer to a send looks like.
enum class TAnswerShape : uint8_t
{
    Plain,   // "OK" alone: writes, the cable handshake, the erase
    Value,   // a value after ">"
    Version, // "REV ..." or "BootLdr"
    Any,     // the modem, a typed command: whatever comes
};

class TUnansweredSends
{
public:
    struct TSend
    {
        QString Text;
        TAnswerShape Shape = TAnswerShape::Any;
        uint32_t Exchange = 0; // the command (with its resends) or keep-alive it belongs to
        uint32_t SentTick = 0;
        uint32_t LifeMs = UINT32_MAX; // how long after SentTick it may still be answered
    };

    static TAnswerShape ShapeOf(int code);
    // A command sent without waiting for its answer (the keep-alive, a direct command).
    static TAnswerShape ShapeOfUnawaited(const QString &text);
    static bool IsModemCode(int code) { return code >= 1024 && code <= 1031; }
    // Whether answers of this shape can be told from the next command's by what they carry. A
    // value tells its send only once the unit has been seen to put the command before its ">":
    // older firmware sends the value alone, and then one read's answer looks like any other's.
    bool TellsItsSend(TAnswerShape shape) const
    {
        return shape == TAnswerShape::Version ||
               (shape == TAnswerShape::Value && valueForm == TValueForm::Named);
    }
    // Whether every send still waited for has answers that tell it from the next command's.
    bool AllTellTheirSends() const;
    // An answer fitted no waiting send, or was credited on the order alone to a send of another
    // form: what the unit answered is not known for certain until its version answer settles it.
    bool Doubt() const { return doubt; }

    void Add(TSend send) { sends.push_back(std::move(send)); }
    // Forgets the sends that have outlived their lifetime at `now`.
    void Expire(uint32_t now);
    // The exchange that `answer` is credited to; the send it answers and every older one are no
    // longer waited for. Empty when no waiting send is answered so. `onLine` is the exchange on
    // the line (0: none): where the answer tells the same whichever of several sends drew it (a
    // value under the very command `onLine` sent, a version while `onLine` asks for one), it is
    // `onLine`'s.
    std::optional<uint32_t> TakeAnswered(const QString &answer, uint32_t onLine, uint32_t now = 0);
    bool Waits(uint32_t exchange) const;
    void Forget(uint32_t exchange);
    void Clear()
    {
        sends.clear();
        doubt = false;
    }
    // A new connection, maybe to another unit: how it sends its values is not known yet.
    void ForgetUnit() { valueForm = TValueForm::Unknown; }
    bool Empty() const { return sends.empty(); }

private:
    // What an answer carries.
    enum class TAnswerForm : uint8_t
    {
        Named,   // a value under its command's text, or an echo of a send
        Version, // "REV ..." or "BootLdr"
        Bare,    // a value alone after ">"
        Plain,   // "OK" alone
        Text,    // other text before the "OK": a value without its ">", or a garbled answer
    };
    struct TReading
    {
        TAnswerForm Form = TAnswerForm::Text;
        QString Command; // the command a named answer names
    };

    TReading Read(const QString &answer) const;
    std::optional<size_t> FindCandidate(const TReading &reading) const;
    bool Fits(const TSend &send, const TReading &reading) const;
    std::optional<size_t> FindOwn(uint32_t onLine, bool version, const TReading &reading,
                                  const TSend &found) const;
    uint32_t CreditVersion(size_t found, std::optional<size_t> own);
    uint32_t CreditInOrder(size_t found, std::optional<size_t> own);
    void NoteValueForm(const QString &answer, const TReading &reading, const TSend &send);

    template <typename TPred> std::optional<size_t> FindFirst(TPred pred) const
    {
        for (size_t i = 0; i < sends.size(); ++i)
            if (pred(sends[i]))
                return i;
        return std::nullopt;
    }

    // How the unit sends a read's value: not seen yet, under its command, or alone after ">".
    enum class TValueForm : uint8_t
    {
        Unknown,
        Named,
        Bare,
    };

    std::deque<TSend> sends;
    TValueForm valueForm = TValueForm::Unknown;
    bool doubt = false;
};
