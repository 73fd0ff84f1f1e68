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

void TUnansweredSends::Expire(uint32_t now)
{
    std::erase_if(sends, [now](const TSend &s) { return uint32_t(now - s.SentTick) > s.LifeMs; });
}

std::optional<uint32_t> TUnansweredSends::TakeAnswered(const QString &answer, uint32_t onLine,
                                                       uint32_t now)
{
    Expire(now);
    if (answer.contains(QLatin1Char('>')) && ValueCommand(answer).isEmpty())
        valueForm = TValueForm::Bare;
    const TReading reading = Read(answer);
    const std::optional<size_t> found = FindCandidate(reading);
    if (!found) {
        doubt = true;
        return std::nullopt;
    }
    const TSend &send = sends[*found];
    NoteValueForm(answer, reading, send);
    const bool otherForm =
        (reading.Form == TAnswerForm::Bare && send.Shape == TAnswerShape::Version) ||
        (reading.Form == TAnswerForm::Plain && send.Shape == TAnswerShape::Value);
    const bool version =
        reading.Form == TAnswerForm::Version || send.Shape == TAnswerShape::Version;
    const std::optional<size_t> own = FindOwn(onLine, version, reading, send);
    const uint32_t exchange = version ? CreditVersion(*found, own) : CreditInOrder(*found, own);
    if (otherForm && exchange != onLine)
        doubt = true;
    return exchange;
}

TUnansweredSends::TReading TUnansweredSends::Read(const QString &answer) const
{
    if (answer.contains(QLatin1String("REV")) ||
        answer.contains(QLatin1String("BootLdr"), Qt::CaseInsensitive))
        return {TAnswerForm::Version, {}};
    if (QString command = ValueCommand(answer); !command.isEmpty())
        return {TAnswerForm::Named, std::move(command)};
    if (answer.contains(QLatin1Char('>')))
        return {TAnswerForm::Bare, {}};
    QString echoed;
    for (const QString &line : AnswerLines(answer)) {
        if (line.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0)
            continue;
        const bool isEcho =
            FindFirst([&](const TSend &s) { return SameCommand(s.Text, line); }).has_value();
        if (!isEcho)
            return {TAnswerForm::Text, {}};
        if (echoed.isEmpty())
            echoed = line;
    }
    if (!echoed.isEmpty())
        return {TAnswerForm::Named, echoed};
    return {TAnswerForm::Plain, {}};
}

// Which sends could have drawn an answer that reads so. A garbled version on older firmware reads
// as a value alone, so a version query could have drawn one too; text before the "OK" is a value
// without its ">", or a garbled answer run together with the next one.
bool TUnansweredSends::Fits(const TSend &send, const TReading &reading) const
{
    if (send.Shape == TAnswerShape::Any)
        return true;
    switch (reading.Form) {
    case TAnswerForm::Named:
        return SameCommand(send.Text, reading.Command);
    case TAnswerForm::Version:
        return send.Shape == TAnswerShape::Version;
    case TAnswerForm::Bare:
        return send.Shape == TAnswerShape::Value || send.Shape == TAnswerShape::Version;
    case TAnswerForm::Plain:
        return send.Shape == TAnswerShape::Plain;
    case TAnswerForm::Text:
        return send.Shape == TAnswerShape::Plain || send.Shape == TAnswerShape::Value;
    }
    return false;
}

// The oldest send that could have drawn the answer: the one it is due to. An answer that names
// its command is that command's, and a version a version query's, whatever was sent before them.
// "OK" with no write waiting goes to a read whose value came without its ">".
std::optional<size_t> TUnansweredSends::FindCandidate(const TReading &reading) const
{
    if (reading.Form == TAnswerForm::Named || reading.Form == TAnswerForm::Version) {
        if (const auto named = FindFirst(
                [&](const TSend &s) { return s.Shape != TAnswerShape::Any && Fits(s, reading); }))
            return named;
    }
    if (const auto found = FindFirst([&](const TSend &s) { return Fits(s, reading); }))
        return found;
    if (reading.Form == TAnswerForm::Plain)
        return FindFirst([](const TSend &s) { return s.Shape == TAnswerShape::Value; });
    return std::nullopt;
}

// The first send of the exchange on the line that the answer tells the same for as for `found`:
// a version query of its own while a version is credited, the very command `found` sent while a
// named value or echo is.
std::optional<size_t> TUnansweredSends::FindOwn(uint32_t onLine, bool version,
                                                const TReading &reading, const TSend &found) const
{
    if (onLine == 0)
        return std::nullopt;
    if (version)
        return FindFirst([&](const TSend &s) {
            return s.Exchange == onLine && s.Shape == TAnswerShape::Version && Fits(s, reading);
        });
    if (reading.Form != TAnswerForm::Named)
        return std::nullopt;
    return FindFirst(
        [&](const TSend &s) { return s.Exchange == onLine && SameCommand(s.Text, found.Text); });
}

// Version answers tell nothing of which query drew them: the oldest query waiting is taken as
// answered, as the unit's order has it, and the exchange on the line, while it asks for a version,
// has its answer. When that oldest query is the line's own, everything sent before it has been
// answered: the unit is in step again.
uint32_t TUnansweredSends::CreditVersion(size_t found, std::optional<size_t> own)
{
    const uint32_t exchange = own ? sends[*own].Exchange : sends[found].Exchange;
    if (own && *own == found)
        doubt = false;
    sends.erase(sends.begin(), sends.begin() + qsizetype(found) + 1);
    return exchange;
}

// Any other answer is the found send's, and the unit has moved past everything sent before it.
uint32_t TUnansweredSends::CreditInOrder(size_t found, std::optional<size_t> own)
{
    const uint32_t exchange = own ? sends[*own].Exchange : sends[found].Exchange;
    sends.erase(sends.begin(), sends.begin() + qsizetype(found) + 1);
    return exchange;
}

// A read's value under its command shows that the unit names its values; one value alone after
// ">" shows older firmware for good.
void TUnansweredSends::NoteValueForm(const QString &answer, const TReading &reading,
                                     const TSend &send)
{
    if (valueForm == TValueForm::Unknown && send.Shape == TAnswerShape::Value &&
        reading.Form == TAnswerForm::Named && !ValueCommand(answer).isEmpty())
        valueForm = TValueForm::Named;
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
