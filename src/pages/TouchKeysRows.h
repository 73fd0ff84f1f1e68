#pragma once

// The touch-memory keys page's six device rows without any widget, and the key texts the
// engineering-numbers page and the key reader share with it.
//
// Rows: 1 keys on/off ("+touchon"), 2..6 keys 1..5 ("+keyread0".."+keyread4" /
// "+keysafe0<key>".."+keysafe4<key>").

#include "pages/PageData.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace TouchKeysRows {

constexpr int RowCount = 6;
constexpr int FirstKeyRow = 2; // the page row of key 1
constexpr int KeyCount = 5;
constexpr int KeyLength = 16; // hexadecimal characters the unit keeps

constexpr int SwitchReadCode = 111;
constexpr int SwitchWriteCode = 112;
constexpr int KeyReadCode = 113;
constexpr int KeyWriteCode = 114;
constexpr int PresentedKeyCode = 125; // the key held to the unit's reader now

// "00" on, "FF" off.
QString SwitchText(bool on);

// A key as it goes to the unit: as typed (not trimmed, not padded); a blank key is sixteen zeros.
QString KeyWriteText(const QString &cell);

// A character typed into a key cell: hexadecimal digits (lower case turned to upper), "$" and
// Backspace pass; nothing for any other.
std::optional<QChar> KeyCharFilter(QChar c);

// False when a key is longer than the unit keeps (measured as typed).
bool KeysFit(const QStringList &keys);

// The key in the unit's reply to a key request: the characters after the first ">" (from the
// start when there is none) up to the next CR; empty when no CR follows.
QString ExtractKeyText(const QString &reply);

// Read and write commands of a page row (the key rows with their index filled in).
int ReadCode(int row);
QString ReadCommandText(int row);
int WriteCode(int row);
QString WriteCommandText(int row, const QVariant &value);

// The write rows: row 1 always; rows 2..6 only when the keys are on. A key cell that shows a
// result marker is not sent.
TPageData WriteRows(bool keysOn, const QStringList &keys);

// The key rows of a write form from page row `firstRow` on (shared with the engineering-numbers
// page, whose key rows begin at 14).
void FillKeyRows(TPageData &v, int firstRow, const QStringList &keys);

} // namespace TouchKeysRows
