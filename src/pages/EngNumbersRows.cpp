#include "pages/EngNumbersRows.h"

#include "device/Commands.h"
#include "pages/ResultMarkers.h"
#include "pages/TouchKeysRows.h"
#include "settings/Delphi.h"

namespace EngNumbersRows {

namespace {

// Read and write codes by row; rows 3..12 and 14..18 share one code with an index.
constexpr int ReadCodes[] = {105, 107, 109, 109, 109, 109, 109, 109, 109, 109,
                             109, 109, 111, 113, 113, 113, 113, 113, 257};
constexpr int WriteCodes[] = {106, 108, 110, 110, 110, 110, 110, 110, 110, 110,
                              110, 110, 112, 114, 114, 114, 114, 114, 256};

constexpr int DispOn = 0x00;
constexpr int DispOff = 0xFF;

bool Indexed(int row)
{
    return (row >= FirstNumberRow && row <= LastNumberRow) ||
           (row >= FirstKeyRow && row <= LastKeyRow);
}

// The "%d" of an indexed row's command.
int IndexOf(int row)
{
    return row <= LastNumberRow ? row - FirstNumberRow : row - FirstKeyRow;
}

QVariantList Args(int row, const QVariantList &rest)
{
    return Indexed(row) ? QVariantList{IndexOf(row)} + rest : rest;
}

void SetRow(TPageData &v, int row, const QString &text)
{
    v(row, 1) = row;
    v(row, 2) = text;
    v(row, 3) = Indexed(row) ? IndexOf(row) : 1;
}

} // namespace

int RowCount(int deviceType, int deviceVersion)
{
    return deviceVersion >= 41 || deviceType == 505 ? KeyHistoryRow : LastKeyRow;
}

int ReadCode(int row)
{
    return row >= 1 && row <= KeyHistoryRow ? ReadCodes[row - 1] : 0;
}

QString ReadCommandText(int row)
{
    return Format(GetCommandText(ReadCode(row)), Args(row, {}));
}

int WriteCode(int row)
{
    return row >= 1 && row <= KeyHistoryRow ? WriteCodes[row - 1] : 0;
}

QString WriteCommandText(int row, const QVariant &value)
{
    return Format(GetCommandText(WriteCode(row)), Args(row, {value.toString()}));
}

DispSetting DispFromRaw(int raw)
{
    if (raw == DispOn)
        return {DispLink::On, 0};
    if (raw == DispOff || raw < 0)
        return {DispLink::Off, 0};
    return {DispLink::OnTime, raw};
}

std::optional<QString> DispWriteText(DispLink link, const QString &minutes)
{
    if (link == DispLink::On)
        return QStringLiteral("00");
    if (link == DispLink::Off)
        return QStringLiteral("FF");
    int n = 0;
    if (!TryStrToInt(minutes, n) || n < DispMinutesMin || n > DispMinutesMax)
        return std::nullopt;
    return IntToHex(n, 2);
}

QString NumberWriteText(const QString &cell)
{
    const QString trimmed = cell.trimmed();
    return trimmed.isEmpty() ? QStringLiteral(" ") : trimmed;
}

std::optional<TPageData> WriteRows(const EngNumbersValues &values, int rowCount)
{
    const std::optional<QString> disp = DispWriteText(values.disp, values.minutes);
    if (!disp)
        return std::nullopt;
    TPageData v(rowCount, 3, QVariant());
    for (int r = 1; r <= rowCount; ++r)
        v(r, 3) = -1;
    SetRow(v, DispRow, *disp);
    SetRow(v, NumbersOnRow, TouchKeysRows::SwitchText(values.numbersOn));
    for (int i = 0; i < NumberCount && i < values.numbers.size(); ++i)
        if (!ResultMarkers::IsMarker(values.numbers[i]))
            SetRow(v, FirstNumberRow + i, NumberWriteText(values.numbers[i]));
    SetRow(v, KeysOnRow, TouchKeysRows::SwitchText(values.keysOn));
    if (values.keysOn)
        TouchKeysRows::FillKeyRows(v, FirstKeyRow, values.keys);
    if (rowCount >= KeyHistoryRow)
        SetRow(v, KeyHistoryRow, TouchKeysRows::SwitchText(values.keyHistory));
    return v;
}

} // namespace EngNumbersRows
