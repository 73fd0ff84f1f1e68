#include "pages/FlagsRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

namespace FlagsRows {

namespace {

constexpr int Input7Column = 7;
constexpr int PowerColumn = 8;
constexpr int Input7Bit = 14;
constexpr int PowerBit = 12;

} // namespace

int FlagBit(int column, int row)
{
    if (column < 1 || column > FlagColumns || row < 1 || row > FlagRows)
        return -1;
    const int restored = row - 1;
    if (column == Input7Column)
        return Input7Bit + restored;
    if (column == PowerColumn)
        return PowerBit + restored;
    return 2 * (column - 1) + restored;
}

QString ResetText(quint16 shown, quint16 lastRead)
{
    return IntToHex((shown ^ lastRead) & lastRead, 4);
}

PageTransfer::WriteCommand WriteCommandFor(int, const QVariant &value)
{
    return {Format(GetCommandText(WriteCode), {value.toString()}), WriteCode};
}

} // namespace FlagsRows
