#include "main/ReplyDecoder.h"

#include "device/Commands.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

// The failure words in the order they are tested, with the text that is logged.
const std::array<std::pair<const char *, const char *>, 6> kModemFailures{{
    {"busy", "ОШИБКА! Линия занята(BUSY)!"},
    {"no carrier", "ОШИБКА! Не могу установить соединение или оно разорвано(NO CARRIER)!"},
    {"no dialtone", "ОШИБКА! Нет сигнала в линии(NO DIALTONE)!"},
    {"disconnect", "ОШИБКА! Обрыв соединения(DISCONNECT)!"},
    {"no answer", "ОШИБКА! Нет ответа(NO ANSWER)!"},
    {"error", "ОШИБКА! Неизвестная ошибка(ERROR)!"},
}};

// Longest partial line kept while waiting for its end (start-up output may carry none).
constexpr qsizetype kMaxPartialLine = 4096;

// Position of an "OK" that begins a line at or after `from`, or -1.
qsizetype FindOkLine(const QString &text, qsizetype from)
{
    for (qsizetype i = text.indexOf(QLatin1String("OK"), from, Qt::CaseInsensitive); i >= 0;
         i = text.indexOf(QLatin1String("OK"), i + 1, Qt::CaseInsensitive)) {
        if (i == 0 || text[i - 1] == QLatin1Char('\r') || text[i - 1] == QLatin1Char('\n'))
            return i;
    }
    return -1;
}

QString FirstMatch(const QString &text, const QString &pattern)
{
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(0) : QString();
}

} // namespace

TDecodeKind TReplyDecoder::DecodeKindOf(int code)
{
    switch (code) {
    case -1:
        return TDecodeKind::Terminal;
    case 1:
    case 2:
    case 3:
    case 4:
    case 1027:
    case 1028:
    case 1029:
    case 1030:
    case 1032:
    case 4096:
        return TDecodeKind::Sequence;
    case 5:
    case 37:
    case 39:
    case 41:
    case 43:
    case 45:
    case 47:
    case 49:
    case 51:
    case 53:
    case 55:
    case 57:
    case 59:
    case 61:
    case 63:
    case 65:
    case 67:
    case 69:
    case 97:
    case 99:
    case 109:
    case 113:
    case 116:
    case 118:
    case 134:
    case 136:
    case 137:
        return TDecodeKind::String;
    case 10:
    case 12:
    case 15:
    case 18:
    case 21:
    case 23:
    case 26:
    case 29:
    case 32:
    case 35:
    case 74:
    case 77:
    case 79:
    case 81:
    case 85:
    case 87:
    case 91:
    case 93:
    case 95:
    case 101:
    case 105:
    case 107:
    case 111:
    case 127:
    case 129:
    case 138:
    case 257:
        return TDecodeKind::Byte;
    case 6:
    case 8:
    case 83:
    case 89:
    case 103:
    case 115:
    case 131:
        return TDecodeKind::Word;
    case 7:
    case 9:
    case 11:
    case 13:
    case 14:
    case 16:
    case 17:
    case 19:
    case 20:
    case 22:
    case 24:
    case 71:
    case 72:
    case 73:
    case 75:
    case 76:
    case 104:
    case 106:
    case 108:
    case 110:
    case 112:
    case 114:
    case 117:
    case 119:
    case 125:
    case 128:
    case 130:
    case 132:
    case 133:
    case 135:
    case 139:
    case 256:
    case 1024:
    case 1025:
    case 1026:
        return TDecodeKind::Text;
    default:
        break;
    }
    if ((code >= 36 && code <= 70 && code % 2 == 0) || (code >= 78 && code <= 102 && code % 2 == 0))
        return TDecodeKind::Text;
    return TDecodeKind::None;
}

bool TReplyDecoder::HasTerminatingReply(const QString &gathered, const QString &expected)
{
    if (IsOkReply(expected))
        return FindOkLine(gathered, 0) >= 0;
    return gathered.contains(expected, Qt::CaseInsensitive);
}

bool TReplyDecoder::IsOkReply(const QString &expected)
{
    return expected.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0;
}

bool TReplyDecoder::TakeOkAnswer(QString &gathered, QString &answer)
{
    const qsizetype ok = FindOkLine(gathered, 0);
    if (ok < 0)
        return false;
    answer = gathered.left(ok + 2);
    gathered.remove(0, ok + 2);
    return true;
}

bool TReplyDecoder::CheckModemReply(const QString &text, QString &msg, const QString &echo)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]+"));
    QStringList lines;
    const QString trimmedEcho = echo.trimmed();
    for (const QString &line : text.split(lineBreak, Qt::SkipEmptyParts)) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('>')))
            continue;
        if (!trimmedEcho.isEmpty() && t.compare(trimmedEcho, Qt::CaseInsensitive) == 0)
            continue;
        lines.append(t.toLower());
    }
    for (const auto &[word, logged] : kModemFailures) {
        for (const QString &line : lines) {
            if (line.contains(QLatin1String(word))) {
                msg = QString::fromUtf8(logged);
                return false;
            }
        }
    }
    return true;
}

QString TReplyDecoder::GetStringValue(const QString &reply, int lastCode) const
{
    const QString terminator = GetCommandReply(lastCode);
    const qsizetype gt = reply.indexOf(QLatin1Char('>'));
    const qsizetype start = gt < 0 ? 0 : gt + 1;
    const qsizetype end =
        IsOkReply(terminator) ? FindOkLine(reply, start) : reply.indexOf(terminator, start);
    const QString value = end < 0 ? QString() : RemoveCtrlChars(reply.mid(start, end - start));
    if (value.isEmpty()) {
        ReportError(QStringLiteral("GetStringValue"), QStringLiteral("Invalid length"),
                    QStringLiteral("Command: %1 Result: %2")
                        .arg(GetCommandText(lastCode), RemoveCtrlChars(reply)));
        return {};
    }
    return value;
}

int TReplyDecoder::GetByte(const QString &reply) const
{
    return GetHex(reply, 2, QStringLiteral("GetByte"));
}

int TReplyDecoder::GetWord(const QString &reply) const
{
    return GetHex(reply, 4, QStringLiteral("GetWord"));
}

int TReplyDecoder::GetHex(const QString &reply, int digits, const QString &where) const
{
    const QString s = RemoveCtrlChars(reply);
    const QString hexDigits = QStringLiteral("[0-9a-fA-F]{%1}").arg(digits);
    const QString hex = FirstMatch(FirstMatch(s, QLatin1Char('>') + hexDigits), hexDigits);
    int value = -1;
    if (hex.isEmpty() || !TryStrToInt(QLatin1Char('$') + hex, value)) {
        ReportError(where, QStringLiteral("Convert"), s);
        return -1;
    }
    return value;
}

void TReplyDecoder::ReportError(const QString &where, const QString &what,
                                const QString &detail) const
{
    if (!ErrorSink)
        return;
    try {
        ErrorSink(where, what, detail);
    } catch (...) {
        // A log that cannot be written must not stop the decoding.
    }
}

bool TModemWatch::Feed(const QString &chunk, QString &msg, const QString &echo)
{
    Partial += chunk;
    const qsizetype lastBreak =
        std::max(Partial.lastIndexOf(QLatin1Char('\r')), Partial.lastIndexOf(QLatin1Char('\n')));
    if (lastBreak < 0) {
        if (Partial.size() > kMaxPartialLine)
            Partial = Partial.right(kMaxPartialLine);
        return true;
    }
    const QString complete = Partial.left(lastBreak + 1);
    Partial = Partial.mid(lastBreak + 1);
    return TReplyDecoder::CheckModemReply(complete, msg, echo);
}
