#pragma once

// The flags page's device row without any widget: the unit's 16-bit event flag word, read with
// "+MFLAG", and the flags to reset, written with "+mflag" and four hex digits.
//
// The page shows the word as a grid: column 1..8 is input 1..7 or the power supply, row 1 the
// triggered flag, row 2 the restored flag. Input i (1..6) has bits 2(i-1) and 2(i-1)+1; input 7
// has bits 14 and 15, the power supply bits 12 and 13.

#include "pages/PageTransfer.h"

#include <QString>
#include <QVariant>

namespace FlagsRows {

constexpr int ReadCode = 103;  // "+MFLAG"
constexpr int WriteCode = 104; // "+mflag%s"

constexpr int FlagColumns = 8;
constexpr int FlagRows = 2;

// The bit of grid cell (column 1..8, row 1..2); -1 for any other cell.
int FlagBit(int column, int row);

// The value text of a write: the shown word xor the word read, a 1 for every flag that was set
// when read and is clear now. Flags the read did not report set are never reset, whatever the
// cells show.
QString ResetText(quint16 shown, quint16 lastRead);

PageTransfer::WriteCommand WriteCommandFor(int row, const QVariant &value);

} // namespace FlagsRows
