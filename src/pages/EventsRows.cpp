#include "pages/EventsRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace EventsRows {

namespace {

constexpr int ByteMax = 255;

QString SwitchText(bool on)
{
    return on ? QStringLiteral("00") : QStringLiteral("FF");
}

// "both", "first only", "second only", "neither" of a pair of boxes.
QString PairText(const BoxPair &pair, const char *both, const char *first, const char *second)
{
    if (pair.first && pair.second)
        return QString::fromLatin1(both);
    if (pair.first)
        return QString::fromLatin1(first);
    if (pair.second)
        return QString::fromLatin1(second);
    return QStringLiteral("FF");
}

std::optional<BoxPair> PairFromRaw(int raw, int both, int first, int second)
{
    if (raw == both)
        return BoxPair{true, true};
    if (raw == first)
        return BoxPair{true, false};
    if (raw == second)
        return BoxPair{false, true};
    if (raw == 0xFF)
        return BoxPair{false, false};
    return std::nullopt;
}

QString ByteHex(int value)
{
    return IntToHex(value, 2);
}

} // namespace

bool HasCANIgnitionRow(int deviceType, int deviceVersion)
{
    return deviceType == 505 && deviceVersion >= 18;
}

int ReadRowCount(int deviceType, int deviceVersion)
{
    return HasCANIgnitionRow(deviceType, deviceVersion) ? MaxReadRows : MaxReadRows - 1;
}

int WriteRowCount(int deviceType, int deviceVersion)
{
    return HasCANIgnitionRow(deviceType, deviceVersion) ? MaxWriteRows : MaxWriteRows - 1;
}

int WriteCode(int row)
{
    return row >= 1 && row <= MaxWriteRows ? WriteCodes[size_t(row - 1)] : 0;
}

QString WriteCommandText(int row, const QVariant &value)
{
    return Format(GetCommandText(WriteCode(row)), {value.toString()});
}

int FlagByte(const FlagBoxes &boxes)
{
    int byte = 0;
    for (int i = 0; i < FlagBoxCount; ++i)
        if (boxes[size_t(i)])
            byte |= FlagMasks[size_t(i)];
    return byte;
}

FlagBoxes FlagBoxesFromByte(int byte)
{
    FlagBoxes boxes{};
    for (int i = 0; i < FlagBoxCount; ++i)
        boxes[size_t(i)] = (byte & FlagMasks[size_t(i)]) != 0;
    return boxes;
}

FlagRestAndMode FlagRestAndModeFromRaw(int raw)
{
    return {FlagBoxesFromByte((raw & 0xFFFF) >> 8), raw & 0xFF};
}

QString PauseTextFromRaw(int raw)
{
    return FloatToStr(double(raw * 0.1L));
}

PeriodSetting PeriodFromRaw(int raw)
{
    return {int(quint32(raw) >> 8), (raw & 0xFF) == 0xFF ? 1 : 0};
}

std::optional<int> BlockIndexFromRaw(int raw)
{
    switch (raw) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 0xFF:
        return 0;
    default:
        return std::nullopt;
    }
}

std::optional<BoxPair> OutputsFromRaw(int raw)
{
    if (raw < 0 || raw > 3)
        return std::nullopt;
    return BoxPair{(raw & 1) != 0, (raw & 2) != 0};
}

std::optional<BoxPair> FreqFromRaw(int raw)
{
    return PairFromRaw(raw, 0x02, 0x00, 0x01);
}

std::optional<BoxPair> FlowFromRaw(int raw)
{
    return PairFromRaw(raw, 0x00, 0xF0, 0x0F);
}

std::optional<int> SecondsFromText(const QString &text)
{
    int value = 0;
    if (!TryStrToInt(text, value) || value < 0 || value > ByteMax)
        return std::nullopt;
    return value;
}

// The unit keeps the pause in tenths; the typed seconds are taken with the 64-bit mantissa the
// page's arithmetic was defined with, then rounded half to even.
std::optional<int> PauseTenthsFromText(const QString &text)
{
    double checked = 0;
    if (!TryStrToFloat(text, checked))
        return std::nullopt;
    // The text is read here with a point, whatever separator the C library's locale has.
    QByteArray normalized = text.trimmed().replace(DecimalSeparator(), QLatin1Char('.')).toLatin1();
    if (normalized.startsWith('+'))
        normalized.remove(0, 1);
    long double seconds = 0;
    const auto [end, error] = std::from_chars(normalized.cbegin(), normalized.cend(), seconds);
    if (error != std::errc() || end != normalized.cend())
        return std::nullopt;
    const long double tenths = std::nearbyintl(seconds * 10.0L);
    if (!(tenths >= 0 && tenths <= ByteMax))
        return std::nullopt;
    return int(tenths);
}

EventsValidation ValidateEventsValues(const EventsValues &values)
{
    EventsValidation v;
    v.onTimeBad = !SecondsFromText(values.onTime);
    v.pauseBad = !PauseTenthsFromText(values.pause);
    v.periodBad = !SecondsFromText(values.period);
    v.identTimeBad = !SecondsFromText(values.identTime);
    v.inversBad = values.inversIndex != 0 && values.inversIndex != 1;
    return v;
}

std::optional<std::vector<EventsWriteRow>> EventsWriteValues(const EventsValues &values,
                                                             bool withCANIgnition)
{
    if (!ValidateEventsValues(values).ok())
        return std::nullopt;
    const bool modeChosen = values.modeIndex >= 0 && values.modeIndex < ModeCount;
    const int blockCode = values.blockIndex == 1 ? 0x01 : (values.blockIndex == 2 ? 0x02 : 0xFF);
    const int outputs = (values.outputs.first ? 1 : 0) + (values.outputs.second ? 2 : 0);
    const int inversion = (values.inversIndex * 255) & 0xFF;
    std::vector<EventsWriteRow> rows = {
        {ByteHex(FlagByte(values.hisSet))},
        {ByteHex(FlagByte(values.hisRest))},
        {ByteHex(FlagByte(values.flagSet))},
        {IntToHex((modeChosen ? values.modeIndex : 0) + (FlagByte(values.flagRest) << 8), 4),
         modeChosen},
        {ByteHex(*SecondsFromText(values.onTime))},
        {ByteHex(*PauseTenthsFromText(values.pause))},
        {IntToHex((*SecondsFromText(values.period) << 8) + inversion, 4)},
        {ByteHex(*SecondsFromText(values.identTime))},
        {ByteHex(blockCode)},
        {ByteHex(outputs)},
        {PairText(values.freq, "02", "00", "01")},
        {PairText(values.flow, "00", "F0", "0F")},
    };
    if (withCANIgnition)
        rows.push_back({SwitchText(values.canIgnition)});
    return rows;
}

ModeLayout ModeLayoutFor(int modeIndex)
{
    ModeLayout layout;
    auto disable = [&layout](std::initializer_list<int> boxes) {
        for (int box : boxes)
            layout.flagBoxDisabled[size_t(box - 1)] = true;
    };
    switch (modeIndex) {
    case 1:
    case 2:
        disable({1, 2});
        break;
    case 3:
        disable({1, 2, 4, 5});
        layout.identTimeEnabled = true;
        layout.onTimeAndPauseEnabled = true;
        layout.ident4BoxShown = true;
        layout.sensorBoxShown = true;
        break;
    case 4:
        disable({1, 2, 3});
        layout.onTimeAndPauseEnabled = true;
        layout.periodEnabled = true;
        layout.inversShown = true;
        layout.sensorBoxShown = true;
        layout.blockShown = true;
        break;
    default:
        break;
    }
    return layout;
}

// Inputs 1..6 take bits 0..11 in pairs; power takes bits 12 and 13 and input 7 bits 14 and 15.
bool FlagCellSet(quint16 word, int column, int row)
{
    if (column < 1 || column > 8 || row < 1 || row > 2)
        return false;
    const int pairBit = column <= 6 ? 2 * (column - 1) : (column == 7 ? 14 : 12);
    return (word >> (pairBit + row - 1)) & 1;
}

QRect ColumnPlacement(QSize client, int n, int i, int d)
{
    const int w = client.width() / std::max(n, 1) - 4;
    return {(i - 1) * w + 4 + d, 4, w, client.height() - 8};
}

QRect RowPlacement(QSize client, int n, int i, int d)
{
    const int h = std::min(client.height() / std::max(n, 1), 25) - 4;
    return {4, (i - 1) * h + 4 + d, client.width() - 8, h};
}

QRect TitledColumnPlacement(QSize client, int n, int i, int textHeight)
{
    const int w = client.width() / std::max(n, 1) - 4;
    const int top = textHeight + 4;
    return {(i - 1) * w + 4, top, w, client.height() - top - 4};
}

} // namespace EventsRows
