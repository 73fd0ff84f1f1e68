#include "history/HistoryRows.h"

#include "history/HistoryRecord.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <array>

using namespace HistoryRecord;

namespace {

const QString On = QStringLiteral("Вкл.");
const QString Off = QStringLiteral("Откл.");

// Parameter ids whose 32-bit value carries two 16-bit counters (the frequency and flow inputs).
constexpr int CounterId1 = 65400;
constexpr int CounterId2 = 65401;

QString Unsigned(qint32 value)
{
    return QString::number(quint32(value));
}

QString ExtParam(int Id, const QString &Value)
{
    return QStringLiteral("[%1] %2").arg(Id, 5, 10, QLatin1Char('0')).arg(Value);
}

} // namespace

namespace HistoryRows {

THistoryVariant VariantFor(int DeviceType, int DeviceVersion)
{
    if (DeviceType == 504)
        return THistoryVariant::Type504;
    if (DeviceType != 505 || DeviceVersion < 0 || DeviceVersion >= 1000)
        return THistoryVariant::None;
    if (DeviceVersion == 7)
        return THistoryVariant::Type505Driver;
    if (DeviceVersion >= 30)
        return THistoryVariant::Type505v30;
    if (DeviceVersion >= 22)
        return THistoryVariant::Type505v22;
    return THistoryVariant::Type505;
}

int ColumnCount(THistoryVariant Variant)
{
    switch (Variant) {
    case THistoryVariant::Type504:
        return 31;
    case THistoryVariant::Type505:
        return 29;
    case THistoryVariant::Type505Driver:
        return 19;
    case THistoryVariant::Type505v22:
    case THistoryVariant::Type505v30:
        return 30;
    case THistoryVariant::None:
        break;
    }
    return 0;
}

bool RecordFits(THistoryVariant Variant, const QString &Record)
{
    if (Record.size() != RecordLength)
        return false;
    // The driver's surname and first name (71-118) end at a pair that is not hex.
    const bool names = Variant == THistoryVariant::Type505Driver;
    for (int p = 1; p <= RecordLength; ++p) {
        if (names && p >= 71 && p <= 118)
            continue;
        if (HexDigitValue(Record[p - 1]) < 0)
            return false;
    }
    return true;
}

QStringList InputTexts(int InputsByte)
{
    const auto clearMeansOn = [InputsByte](int bit) { return (InputsByte & bit) ? Off : On; };
    return {(InputsByte & 0x04) ? On : Off,
            clearMeansOn(0x01),
            clearMeansOn(0x08),
            clearMeansOn(0x02),
            clearMeansOn(0x10),
            clearMeansOn(0x20),
            (InputsByte & 0x40) ? QStringLiteral("Резервное") : QStringLiteral("Основное")};
}

QString UnusedExtParam()
{
    return ExtParam(0, QStringLiteral("Не исп."));
}

} // namespace HistoryRows

THistoryRowBuilder::THistoryRowBuilder()
    : Zone(QTimeZone::systemTimeZone()), Locale(QLocale::system()),
      DateFormat(Locale.dateFormat(QLocale::ShortFormat)), TimeFormat(LongTimeFormatWithoutZone())
{}

QStringList THistoryRowBuilder::DateTimeTexts(const QString &Record) const
{
    try {
        const QDateTime at = DecodeDateTime(Record, Zone);
        // Records come in time order, many on one day: the day's text is made once.
        if (at.date() != LastDate) {
            LastDate = at.date();
            LastDateText = Locale.toString(LastDate, DateFormat);
        }
        return {LastDateText, Locale.toString(at.time(), TimeFormat)};
    } catch (const EConvertError &) {
        return {QStringLiteral("Empty date"), QStringLiteral("Empty time")};
    }
}

QString THistoryRowBuilder::DecodeDateText(const QString &Record) const
{
    return DateTimeTexts(Record).at(0);
}

QString THistoryRowBuilder::DecodeTimeText(const QString &Record) const
{
    return DateTimeTexts(Record).at(1);
}

QStringList THistoryRowBuilder::ComposeRow(THistoryVariant Variant, const QString &Label,
                                           const QString &Record) const
{
    QStringList row;
    row.reserve(HistoryRows::ColumnCount(Variant));
    AppendCommon(row, Label, Record);
    switch (Variant) {
    case THistoryVariant::Type504:
        AppendType504(row, Record);
        break;
    case THistoryVariant::Type505:
    case THistoryVariant::Type505v22:
    case THistoryVariant::Type505v30:
        AppendType505(row, Variant, Record);
        break;
    case THistoryVariant::Type505Driver:
        AppendDriver(row, Record);
        break;
    case THistoryVariant::None:
        return {};
    }
    AppendInputsAndKey(row, Record);
    return row;
}

void THistoryRowBuilder::AppendCommon(QStringList &Row, const QString &Label,
                                      const QString &Record) const
{
    Row << Label << QString::number(GetEventByte(Record) & 0x0F) << DecodeLatitude(Record)
        << DecodeLongitude(Record);
    Row << DateTimeTexts(Record) << DecodeSpeed(Record);
}

void THistoryRowBuilder::AppendType504(QStringList &Row, const QString &Record) const
{
    for (int n = 1; n <= 8; ++n)
        Row << GetCANParam(Record, n);

    const QString zero = QStringLiteral("0");
    const QString unused = HistoryRows::UnusedExtParam();
    const auto param = [&Record](int n) {
        return ExtParam(GetExtParamId(Record, n), GetExtValueHex(Record, n));
    };
    switch (GetExtKind(Record)) {
    case 0:
        Row << zero << zero << zero << zero
            << ExtParam(GetExtParamId(Record, 1), GetExtHex64(Record, 1))
            << ExtParam(GetExtParamId(Record, 2), GetExtHex64(Record, 2)) << unused << unused;
        break;
    case 1: {
        const bool counters1 = GetExtParamId(Record, 1) == CounterId1;
        const bool counters2 = GetExtParamId(Record, 2) == CounterId2;
        const auto halves = [&](bool counters, int n) {
            if (!counters)
                return QStringList{zero, zero};
            const quint32 v = quint32(HexFieldByIndex(Record, 28 + n));
            return QStringList{QString::number(v >> 16), QString::number(v & 0xFFFF)};
        };
        Row << halves(counters1, 1) << halves(counters2, 2) << (counters1 ? zero : param(1))
            << (counters2 ? zero : param(2)) << param(3) << param(4);
        break;
    }
    default:
        Row << zero << zero << zero << zero << unused << unused << unused << unused;
        break;
    }
}

void THistoryRowBuilder::AppendType505(QStringList &Row, THistoryVariant Variant,
                                       const QString &Record) const
{
    const auto word = [&Record](int p) { return QString::number(HexWordAt(Record, p)); };
    const auto byte = [&Record](int p) { return QString::number(HexByteAt(Record, p)); };
    Row << word(33) << byte(37);
    if (Variant == THistoryVariant::Type505v30)
        Row << Format(QStringLiteral("%5.2f"), {HexWordAt(Record, 39) / 100.0});
    else
        Row << word(39);
    Row << word(43) << Unsigned(HexDWordAt(Record, 47)) << Unsigned(HexDWordAt(Record, 55))
        << word(63) << byte(67) << byte(71) << word(73) << Unsigned(HexDWordAt(Record, 77));
    for (const int p : {85, 87, 89})
        Row << IntToBin(HexByteAt(Record, p), 8);
    if (Variant != THistoryVariant::Type505)
        Row << QString::number(HexDWordAt(Record, 91));
}

void THistoryRowBuilder::AppendDriver(QStringList &Row, const QString &Record) const
{
    Row << Format(QStringLiteral("%8.1f"), {quint32(HexDWordAt(Record, 33)) / 10.0})
        << QString::number(HexByteAt(Record, 41)) << HexToText(Record, 71, 12)
        << HexToText(Record, 95, 12);
}

void THistoryRowBuilder::AppendInputsAndKey(QStringList &Row, const QString &Record) const
{
    Row << HistoryRows::InputTexts(GetInputsByte(Record))
        << QString::number((GetEventByte(Record) >> 4) & 0x0F);
}
