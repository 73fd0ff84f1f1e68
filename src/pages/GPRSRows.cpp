#include "pages/GPRSRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

#include <algorithm>

namespace GPRSRows {

namespace {

// Rows 5..21 and 23, 24 are read with code c and written with c + 1; these are their read
// codes, in row order.
constexpr int PasswordReadCode = 37;   // rows 5..21: 37, 39, .. 69
constexpr int AlarmPhoneReadCode = 97; // rows 23, 24: 97, 99
constexpr int AlarmLogicReadCode = 101;

constexpr int AlarmOrBits = 0xC0;
constexpr int UnusedCode = 7;

int ComboCode(int index)
{
    if (index == 0)
        return UnusedCode;
    return index >= 1 && index <= 3 ? index : 0;
}

int ComboIndex(int code)
{
    return code >= 1 && code <= 3 ? code : 0;
}

} // namespace

std::array<int, RowCount> ReadCodes()
{
    std::array<int, RowCount> codes{26, 29, 0, 35};
    for (int row = FirstTextRow; row <= LastTextRow; ++row)
        codes[row - 1] = PasswordReadCode + 2 * (row - FirstTextRow);
    codes[AlarmLogicRow - 1] = AlarmLogicReadCode;
    codes[AlarmPhone1Row - 1] = AlarmPhoneReadCode;
    codes[AlarmPhone2Row - 1] = AlarmPhoneReadCode + 2;
    return codes;
}

int WriteCode(int row)
{
    switch (row) {
    case GPRSActiveRow:
        return 71;
    case EconomyRow:
        return 72;
    case TimeSyncRow:
        return 73;
    case RebootTimeRow:
        return 36;
    default:
        return row >= 1 && row <= RowCount ? ReadCodes()[row - 1] + 1 : 0;
    }
}

PageTransfer::WriteCommand WriteCommandFor(int row, const QVariant &value)
{
    const int code = WriteCode(row);
    const QString format = GetCommandText(code);
    switch (row) {
    case TimeSyncRow:
        return {};
    case GPRSActiveRow:
    case EconomyRow: // left unassigned by the page: always "FF"
        return {format + (value.toInt() == 1 ? QStringLiteral("00") : QStringLiteral("FF")), code};
    case RebootTimeRow:
    case AlarmLogicRow:
        return {Format(format, {IntToHex(value.toInt(), 2)}), code};
    default:
        return {Format(format, {value.toString()}), code};
    }
}

bool SwitchFromRaw(int raw)
{
    return (raw & 0xFF) != 0xFF;
}

int RebootItemFromRaw(int raw, int itemCount)
{
    const int index = raw - RebootFirstMinutes;
    return index < 0 ? -1 : std::min(itemCount - 1, index);
}

int RebootValueForItem(int index)
{
    return index < 0 ? -1 : index + RebootFirstMinutes;
}

QString TextRowValue(const QString &text)
{
    return text.isEmpty() ? QStringLiteral(" ") : text;
}

QString AlarmPhoneValue(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size() - 1;
    while (first <= last && text.at(first).unicode() < 33)
        ++first;
    while (last >= first && text.at(last).unicode() < 33)
        --last;
    const QString trimmed = text.mid(first, last - first + 1);
    return trimmed.isEmpty() ? QStringLiteral(" ") : trimmed;
}

int AlarmLogicByte(const AlarmLogic &logic)
{
    return (logic.alarmOr ? AlarmOrBits : 0) | ComboCode(logic.combo1) |
           (ComboCode(logic.combo2) << 3);
}

AlarmLogic AlarmLogicFromByte(int byte)
{
    return {(byte & AlarmOrBits) == AlarmOrBits, ComboIndex(byte & 7), ComboIndex((byte >> 3) & 7)};
}

} // namespace GPRSRows
