#pragma once

// The sends the unit has not answered yet, oldest first, and which of them an answer belongs to.
// The unit answers its commands in the order it received them. An answer names its send by what
// it carries: a read's value comes under the command's own text ("+qsafe", ">FF"), the version
// carries "REV" (or the boot loader's "BootLdr"), an echo names the command echoed. Only an
// answer that carries none of these is placed by the order alone: it answers the oldest waiting
// send that is answered so. The send found and every older one are no longer waited for: the
// unit has moved past them.

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

    void Add(TSend send) { sends.push_back(std::move(send)); }
    // The exchange whose send `answer` answers; that send and every older one are no longer
    // waited for. Empty when no waiting send is answered so. An answer to an earlier send of the
    // very command `pending` sent is `pending`'s: it tells the same.
    std::optional<uint32_t> TakeAnswered(const QString &answer, uint32_t pending);
    bool Waits(uint32_t exchange) const;
    void Forget(uint32_t exchange);
    void Clear() { sends.clear(); }
    // A new connection, maybe to another unit: how it sends its values is not known yet.
    void ForgetUnit() { valueForm = TValueForm::Unknown; }
    bool Empty() const { return sends.empty(); }

private:
    template <typename TPred> std::optional<size_t> FindFirst(TPred pred) const
    {
        for (size_t i = 0; i < sends.size(); ++i)
            if (pred(sends[i]))
                return i;
        return std::nullopt;
    }
    std::optional<size_t> FindByShape(const QString &answer) const;
    std::optional<size_t> FindShape(TAnswerShape shape) const;

    void NoteValueForm(const QString &answer, const TSend &send);

    // How the unit sends a read's value: not seen yet, under its command, or alone after ">".
    enum class TValueForm : uint8_t
    {
        Unknown,
        Named,
        Bare,
    };

    std::deque<TSend> sends;
    TValueForm valueForm = TValueForm::Unknown;
};
