#pragma once

// Turns the text the unit sent for one command into a value: how each command code is decoded,
// when the gathered text is complete, the value extractors and the modem failure words.

#include <QString>

#include <functional>

enum class TDecodeKind
{
    None,     // no sender; ends the wait with status 0
    String,   // the text between ">" and the terminating reply
    Byte,     // two hex digits after ">"
    Word,     // four hex digits after ">"
    Text,     // the whole gathered text (write acknowledgements)
    Terminal, // a command typed by the user
    Sequence  // a step of the connection or identification sequence
};

class TReplyDecoder
{
public:
    using TErrorSink =
        std::function<void(const QString &where, const QString &what, const QString &detail)>;

    // Receives the decoding failures ("GetByte", "Convert", reply); unset: they are dropped.
    TErrorSink ErrorSink;

    static TDecodeKind DecodeKindOf(int code);

    // True when the gathered text holds the terminating reply: "OK" only where it begins a line
    // (so a value such as "internet.book.ru" does not end the wait), any other reply anywhere;
    // letter case ignored.
    static bool HasTerminatingReply(const QString &gathered, const QString &expected);
    // Cuts the first answer ended by "OK" at the beginning of a line off the gathered text into
    // `answer`; false while no such answer is complete.
    static bool TakeOkAnswer(QString &gathered, QString &answer);
    static bool IsOkReply(const QString &expected);

    // False with `msg` set to the logged text when a complete line of `text` holds a modem
    // failure word. Value lines (beginning with ">") and the echo of `echo` are not looked at.
    static bool CheckModemReply(const QString &text, QString &msg, const QString &echo = {});

    // The extractors of the value kinds; `lastCode` is the code of the command answered.
    QString GetStringValue(const QString &reply, int lastCode) const;
    int GetByte(const QString &reply) const;
    int GetWord(const QString &reply) const;

private:
    int GetHex(const QString &reply, int digits, const QString &where) const;
    void ReportError(const QString &where, const QString &what, const QString &detail) const;
};

// Watches the received text for modem failure words line by line: a partial line is kept until
// its end arrives, so a word split across chunks is still seen.
class TModemWatch
{
public:
    // Feeds one received chunk; false with `msg` set when a completed line holds a failure word.
    bool Feed(const QString &chunk, QString &msg, const QString &echo);
    void Reset() { Partial.clear(); }

private:
    QString Partial;
};
