#include "main/UnansweredSends.h"

#include "device/Commands.h"
#include "main/ReplyDecoder.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

QStringList AnswerLines(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]+"));
    QStringList lines;
    for (const QString &line : text.split(lineBreak, Qt::SkipEmptyParts))
        if (const QString t = line.trimmed(); !t.isEmpty())
            lines << t;
    return lines;
}

// The command a value comes under: the last line before the ">" ("+qsafe" in "+qsafe", ">FF").
QString ValueCommand(const QString &answer)
{
    const qsizetype gt = answer.indexOf(QLatin1Char('>'));
    if (gt < 0)
        return {};
    const QStringList lines = AnswerLines(answer.left(gt));
    return lines.isEmpty() ? QString() : lines.last();
}

bool SameCommand(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

TAnswerShape TUnansweredSends::ShapeOf(int code)
{
    switch (code) {
    case 3:
    case 4096:
        return TAnswerShape::Version;
    case 4:    // "+typepan"
    case 1032: // "+imei"
    case 125:  // "+keysafe", the key held to the reader
        return TAnswerShape::Value;
    case 1:
    case 2:
        return TAnswerShape::Plain;
    default:
        break;
    }
    if (IsModemCode(code))
        return TAnswerShape::Any;
    switch (TReplyDecoder::DecodeKindOf(code)) {
    case TDecodeKind::String:
    case TDecodeKind::Byte:
    case TDecodeKind::Word:
        return TAnswerShape::Value;
    case TDecodeKind::Text:
        return TAnswerShape::Plain;
    default:
        return TAnswerShape::Any;
    }
}

TAnswerShape TUnansweredSends::ShapeOfUnawaited(const QString &text)
{
    return SameCommand(text, GetCommandText(3)) ? TAnswerShape::Version : TAnswerShape::Plain;
}

std::optional<uint32_t> TUnansweredSends::TakeAnswered(const QString &answer, uint32_t pending)
{
    std::optional<size_t> found;
    if (const QString command = ValueCommand(answer); !command.isEmpty()) {
        found = FindFirst([&](const TSend &s) { return SameCommand(s.Text, command); });
        if (!found)
            found = FindShape(TAnswerShape::Any);
    } else {
        if (answer.contains(QLatin1Char('>')))
            valueForm = TValueForm::Bare;
        const QStringList lines = AnswerLines(answer);
        found = FindFirst([&](const TSend &s) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const QString &line) { return SameCommand(s.Text, line); });
        });
        if (!found)
            found = FindByShape(answer);
    }
    if (!found)
        return std::nullopt;
    const TSend &send = sends[*found];
    NoteValueForm(answer, send);
    const bool pendingSentItToo =
        FindFirst([&](const TSend &s) {
            return s.Exchange == pending && SameCommand(s.Text, send.Text);
        }).has_value();
    const uint32_t exchange = pendingSentItToo ? pending : send.Exchange;
    sends.erase(sends.begin(), sends.begin() + qsizetype(*found) + 1);
    return exchange;
}

// A read's value under its command shows that the unit names its values; one value alone after
// ">" shows older firmware for good.
void TUnansweredSends::NoteValueForm(const QString &answer, const TSend &send)
{
    if (valueForm == TValueForm::Unknown && send.Shape == TAnswerShape::Value &&
        !ValueCommand(answer).isEmpty())
        valueForm = TValueForm::Named;
}

// An answer that names no command goes to the oldest send answered so: the version to a version
// query, a value to a read, "OK" to a write (or, wanting one, to a read whose value came without
// its ">").
std::optional<size_t> TUnansweredSends::FindByShape(const QString &answer) const
{
    if (answer.contains(QLatin1String("REV")) ||
        answer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive))
        return FindShape(TAnswerShape::Version);
    if (answer.contains(QLatin1Char('>')))
        return FindShape(TAnswerShape::Value);
    if (const auto plain = FindShape(TAnswerShape::Plain))
        return plain;
    return FindShape(TAnswerShape::Value);
}

std::optional<size_t> TUnansweredSends::FindShape(TAnswerShape shape) const
{
    return FindFirst(
        [shape](const TSend &s) { return s.Shape == shape || s.Shape == TAnswerShape::Any; });
}

bool TUnansweredSends::Waits(uint32_t exchange) const
{
    return FindFirst([exchange](const TSend &s) { return s.Exchange == exchange; }).has_value();
}

void TUnansweredSends::Forget(uint32_t exchange)
{
    std::erase_if(sends, [exchange](const TSend &s) { return s.Exchange == exchange; });
}

bool TUnansweredSends::AllTellTheirSends() const
{
    return std::all_of(sends.begin(), sends.end(),
                       [this](const TSend &s) { return TellsItsSend(s.Shape); });
}
