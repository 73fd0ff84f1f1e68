#include "pages/GeneralRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

#include <algorithm>

namespace GeneralRows {

namespace {

// The unit keeps the offsets in its own units: 230 per 50 m of latitude, 300 per 50 m of
// longitude.
constexpr int LatUnitsPer50m = 230;
constexpr int LonUnitsPer50m = 300;

QString OffsetText(int metres, int unitsPer50m)
{
    return IntToHex(Trunc(double(metres) * unitsPer50m / 50), 4);
}

int OffsetFromRaw(int raw, int unitsPer50m)
{
    return int(Trunc(double(raw) * 50 / unitsPer50m));
}

bool InRange(const QString &text, int low, int high)
{
    const std::optional<int> n = EditNumber(text);
    return n && *n >= low && *n <= high;
}

} // namespace

bool IsSwitchRow(int row)
{
    return row == PathSmoothingRow || row == GPSOffRow || row == GSMOffRow;
}

int WriteCode(int row, bool switchOn)
{
    if (row < 1 || row > RowCount)
        return 0;
    const int code = WriteCodes[row - 1];
    return IsSwitchRow(row) && !switchOn ? code + 1 : code;
}

int WriteCodeForValue(int row, const QVariant &value)
{
    return WriteCode(row, IsSwitchRow(row) ? value.toInt() == 1 : true);
}

QString WriteCommandText(int row, const QVariant &value)
{
    const QString format = GetCommandText(WriteCodeForValue(row, value));
    if (IsSwitchRow(row))
        return format;
    return Format(format, {value.toString()});
}

QString ObjectNumberText(int number)
{
    return Format(QStringLiteral("%.4d"), {number});
}

QString LatOffsetText(int metres)
{
    return OffsetText(metres, LatUnitsPer50m);
}

QString LonOffsetText(int metres)
{
    return OffsetText(metres, LonUnitsPer50m);
}

QString TimeIntervalText(int minutes)
{
    return IntToHex(std::max(1, minutes), 2);
}

QString ByteText(int value)
{
    return IntToHex(value, 2);
}

QString RebootText(bool reboot, int minutes)
{
    return reboot ? IntToHex(minutes * 4, 2) : QStringLiteral("FF");
}

std::optional<int> ObjectNumberFromReply(const QVariant &value)
{
    if (value.typeId() == QMetaType::Int)
        return value.toInt();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    int number = 0;
    if (!TryStrToInt(value.toString(), number))
        return std::nullopt;
    return number;
}

int LatOffsetFromRaw(int raw)
{
    return OffsetFromRaw(raw, LatUnitsPer50m);
}

int LonOffsetFromRaw(int raw)
{
    return OffsetFromRaw(raw, LonUnitsPer50m);
}

bool SwitchFromRaw(int raw)
{
    return (raw & 0xFF) != 0xFF;
}

RebootSetting RebootFromRaw(int raw)
{
    if (raw == 255 || raw < 8)
        return {false, -1};
    const int index = std::max(0, raw / 4 - RebootFirstMinutes);
    return {true, index < RebootItemCount ? index : -1};
}

std::optional<int> EditNumber(const QString &text)
{
    int number = 0;
    if (!TryStrToInt(text, number))
        return std::nullopt;
    return number;
}

QString ClampTimeText(const QString &text)
{
    const std::optional<int> n = EditNumber(text);
    return n && *n > ByteMax ? QString::number(ByteMax) : text;
}

GeneralValidation ValidateGeneralValues(const GeneralValues &values)
{
    GeneralValidation v;
    v.objectNumberBad = !InRange(values.objectNumber, 0, ObjectNumberMax);
    v.latBad = !InRange(values.lat, 0, LatOffsetLimit - 1);
    v.lonBad = !InRange(values.lon, 0, LonOffsetLimit - 1);
    v.timeIntervalBad = !InRange(values.timeInterval, 0, ByteMax);
    v.timeOffBad = !InRange(values.timeOff, 0, ByteMax);
    v.timeGSMOnBad = !InRange(values.timeGSMOn, 0, ByteMax);
    v.rebootBad =
        values.reboot && !InRange(values.rebootMinutes, RebootFirstMinutes, RebootLastMinutes);
    return v;
}

std::optional<std::array<QVariant, RowCount>> GeneralWriteValues(const GeneralValues &values)
{
    if (!ValidateGeneralValues(values).ok())
        return std::nullopt;
    const auto number = [](const QString &text) { return *EditNumber(text); };
    const auto flag = [](bool on) { return QVariant(on ? 1 : 0); };
    return std::array<QVariant, RowCount>{
        ObjectNumberText(number(values.objectNumber)),
        LatOffsetText(number(values.lat)),
        LonOffsetText(number(values.lon)),
        TimeIntervalText(number(values.timeInterval)),
        flag(values.pathSmoothing),
        flag(values.gpsOff),
        flag(values.gsmOff),
        ByteText(number(values.timeOff)),
        ByteText(number(values.timeGSMOn)),
        RebootText(values.reboot, values.reboot ? number(values.rebootMinutes) : 0),
    };
}

} // namespace GeneralRows
