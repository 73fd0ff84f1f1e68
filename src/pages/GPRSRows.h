#pragma once

// The GPRS page's 24 device rows without any widget: which command reads and writes each row
// and how a control's value turns into the text on the wire and back.
//
// Rows (1-based):
//   1 GPRS on (switch)            2 traffic economy (switch, no control, always written off)
//   3 time synchronisation with the server (no control, never read or written)
//   4 modem reboot time in GPRS mode (list of 10..20 minutes)
//   5 identification password     6..13 main set: phone, access point, user, password, server
//   14..21 alternative set, as 6..13                    address, port, primary and secondary DNS
//   22 alarm logic byte           23, 24 alarm phones 1 and 2

#include "pages/PageTransfer.h"

#include <QString>
#include <QVariant>

#include <array>

namespace GPRSRows {

constexpr int RowCount = 24;

enum Row
{
    GPRSActiveRow = 1,
    EconomyRow = 2,
    TimeSyncRow = 3,
    RebootTimeRow = 4,
    GPRSPasswordRow = 5,
    FirstTextRow = GPRSPasswordRow,
    LastTextRow = 21,
    AlarmLogicRow = 22,
    AlarmPhone1Row = 23,
    AlarmPhone2Row = 24
};

// Command codes that read rows 1..24 (index row - 1); 0 for the time synchronisation row,
// which is never read.
std::array<int, RowCount> ReadCodes();

// Command code that writes `row`; 0 outside 1..24.
int WriteCode(int row);

// The value the read form holds for the row that is never read: (255, 1).
constexpr int UnreadRowValue = 255;

// The command a write row turns into, from the write form's value ([r,2]). The time
// synchronisation row gives an empty text: it is never sent.
PageTransfer::WriteCommand WriteCommandFor(int row, const QVariant &value);

// --- Encodings ---

bool SwitchFromRaw(int raw); // on unless the low byte is $FF

// The reboot list holds "10 минут" .. "20 минут"; item i is i + 10 minutes, sent as that number.
constexpr int RebootFirstMinutes = 10;
// The item a read value selects among `itemCount` items: capped at the last, -1 (none) below
// the first item's minutes.
int RebootItemFromRaw(int raw, int itemCount);
// The value written for item `index`; -1 when no item is selected (nothing is sent then).
int RebootValueForItem(int index);

// A text row's value: the edit's text unchanged, one blank when empty.
QString TextRowValue(const QString &text);
// An alarm phone's value: the text without leading and trailing characters below code 33; one
// blank when nothing is left (a bare command word would read the phone instead of clearing it).
QString AlarmPhoneValue(const QString &text);

// The alarm logic byte: bits 7-6 $C0 for "or", bits 2-0 the first list's code, bits 5-3 the
// second's. List index 0 ("not used") is code 7, indices 1..3 codes 1..3, no selection 0.
struct AlarmLogic
{
    bool alarmOr = false;
    int combo1 = -1; // list index, -1 none
    int combo2 = -1;
};
int AlarmLogicByte(const AlarmLogic &logic);
AlarmLogic AlarmLogicFromByte(int byte);

} // namespace GPRSRows
