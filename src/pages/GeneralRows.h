#pragma once

// The general page's ten device rows without any widget: which command reads and writes each
// row, and how a control's value turns into the text on the wire and back.
//
// Rows (1-based, as on the page):
//   1 object number        6 GPS off in power saving   (switch)
//   2 latitude offset (m)  7 GSM off in power saving   (switch)
//   3 longitude offset (m) 8 GPS/GSM off time (s)
//   4 time interval (min)  9 GSM on period (min)
//   5 path smoothing (sw.) 10 receiver reboot after no fix (min)

#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace GeneralRows {

constexpr int RowCount = 10;

enum Row
{
    ObjectNumberRow = 1,
    LatRow,
    LonRow,
    TimeIntervalRow,
    PathSmoothingRow,
    GPSOffRow,
    GSMOffRow,
    TimeOffRow,
    TimeGSMOnRow,
    RebootRow
};

// Command codes that read rows 1..10 (index row - 1).
inline constexpr std::array<int, RowCount> ReadCodes = {5, 6, 8, 10, 12, 15, 18, 21, 23, 74};

// Command codes that write rows 1..10. For the three switch rows this is the "on" ("00")
// command; the "off" ("FF") command is the next code.
inline constexpr std::array<int, RowCount> WriteCodes = {76, 7, 9, 11, 13, 16, 19, 22, 24, 75};

// Accepted ranges of the numeric rows.
constexpr int ObjectNumberMax = 9999;
constexpr int LatOffsetLimit = 14246; // metres, exclusive
constexpr int LonOffsetLimit = 10922; // metres, exclusive
constexpr int ByteMax = 255;

// Items of the reboot time list: "4", "5" .. "60" minutes; item i shows i + 4 minutes.
constexpr int RebootFirstMinutes = 4;
constexpr int RebootLastMinutes = 60;
constexpr int RebootItemCount = RebootLastMinutes - RebootFirstMinutes + 1;

bool IsSwitchRow(int row);

// Write code of a row; for a switch row the value (on or off) picks the "00" or "FF" command.
int WriteCode(int row, bool switchOn = true);

// The complete command text for write row `row` with the value of the write PageData
// ([r,2]: the formatted text for numeric rows, 1 or 0 for switch rows).
QString WriteCommandText(int row, const QVariant &value);
int WriteCodeForValue(int row, const QVariant &value);

// --- Row encodings: control value -> value text of the write format ---

QString ObjectNumberText(int number);         // four decimal digits: 917 -> "0917"
QString LatOffsetText(int metres);            // metres x 230 / 50 as 4 hex digits: 50 -> "00E6"
QString LonOffsetText(int metres);            // metres x 300 / 50 as 4 hex digits: 50 -> "012C"
QString TimeIntervalText(int minutes);        // at least 1, 2 hex digits: 0 -> "01"
QString ByteText(int value);                  // 2 hex digits
QString RebootText(bool reboot, int minutes); // minutes x 4 as 2 hex digits, or "FF" when off

// --- Row decodings: value of the read PageData -> control value ---

// The object number reply is the unit's decimal text ("0917"); nothing when it is not a number.
std::optional<int> ObjectNumberFromReply(const QVariant &value);
int LatOffsetFromRaw(int raw); // Trunc(raw x 50 / 230)
int LonOffsetFromRaw(int raw); // Trunc(raw x 50 / 300)
bool SwitchFromRaw(int raw);   // on unless the low byte is $FF

// Row 10 as read: whether the reboot is on and which list item it selects (-1: none).
struct RebootSetting
{
    bool reboot = false;
    int itemIndex = -1;
};
RebootSetting RebootFromRaw(int raw);

// --- Values as the page's controls hold them, checked and turned into write rows ---

struct GeneralValues
{
    QString objectNumber;
    QString lat;
    QString lon;
    QString timeInterval;
    bool pathSmoothing = false;
    bool gpsOff = false;
    bool gsmOff = false;
    QString timeOff;
    QString timeGSMOn;
    bool reboot = false;
    QString rebootMinutes; // text of the selected list item, "" when none is selected
};

// Which checks failed; every check is always made.
struct GeneralValidation
{
    bool objectNumberBad = false;
    bool latBad = false;
    bool lonBad = false;
    bool timeIntervalBad = false;
    bool timeOffBad = false;
    bool timeGSMOnBad = false;
    bool rebootBad = false; // reboot ticked without a time

    bool ok() const
    {
        return !(objectNumberBad || latBad || lonBad || timeIntervalBad || timeOffBad ||
                 timeGSMOnBad || rebootBad);
    }
};

// A number typed into one of the page's edits; nothing when empty or not a number.
std::optional<int> EditNumber(const QString &text);

// What a time edit shows after the user leaves it: a number above 255 becomes "255"; anything
// else (empty text included) stays as typed.
QString ClampTimeText(const QString &text);

GeneralValidation ValidateGeneralValues(const GeneralValues &values);

// The value column ([r,2]) of the write rows 1..10, or nothing when validation fails.
std::optional<std::array<QVariant, RowCount>> GeneralWriteValues(const GeneralValues &values);

} // namespace GeneralRows
