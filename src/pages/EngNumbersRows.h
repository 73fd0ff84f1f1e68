#pragma once

// The engineering-numbers page's device rows without any widget.
//
// Rows (1-based, as on the page):
//   1      dispatcher link ("+disp": 00 on, FF off, else minutes on)
//   2      engineering numbers on/off ("+enaing")
//   3..12  numbers 1..10 ("+ing0".."+ing9")
//   13     touch-memory keys on/off ("+touchon")
//   14..18 keys 1..5 ("+keyread0".."+keyread4" / "+keysafe0".."+keysafe4")
//   19     key number written into the history ("+idtm"), only on type 505 and on type 504
//          from firmware 41

#include "pages/PageData.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace EngNumbersRows {

enum Row
{
    DispRow = 1,
    NumbersOnRow = 2,
    FirstNumberRow = 3,
    LastNumberRow = 12,
    KeysOnRow = 13,
    FirstKeyRow = 14,
    LastKeyRow = 18,
    KeyHistoryRow = 19,
};

constexpr int NumberCount = 10;

int RowCount(int deviceType, int deviceVersion);

int ReadCode(int row);
QString ReadCommandText(int row);
int WriteCode(int row);
QString WriteCommandText(int row, const QVariant &value);

// The dispatcher link: off, on permanently, or on for 1..254 minutes.
enum class DispLink
{
    Off,
    On,
    OnTime
};
constexpr int DispMinutesMin = 1;
constexpr int DispMinutesMax = 254;

struct DispSetting
{
    DispLink link = DispLink::Off;
    int minutes = 0; // for OnTime
};
DispSetting DispFromRaw(int raw);

// The row 1 value: "FF", "00" or the minutes as two or more hex digits; nothing when OnTime is
// chosen and the minutes are not a number in 1..254 (0 and 255 would mean on and off).
std::optional<QString> DispWriteText(DispLink link, const QString &minutes);

// A number as it goes to the unit: blanks trimmed, an empty number as one blank.
QString NumberWriteText(const QString &cell);

struct EngNumbersValues
{
    DispLink disp = DispLink::Off;
    QString minutes;
    bool numbersOn = false;
    QStringList numbers; // 10 cells
    bool keysOn = false;
    QStringList keys; // 5 cells
    bool keyHistory = false;
};

// The write form of `rowCount` rows (18 or 19); nothing when the minutes are wrong. A number or
// key cell that shows a result marker is not sent; the keys only while they are on.
std::optional<TPageData> WriteRows(const EngNumbersValues &values, int rowCount);

} // namespace EngNumbersRows
