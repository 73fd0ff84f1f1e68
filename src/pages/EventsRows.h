#pragma once

// The events page without any widget: which command reads and writes each row, how the
// controls' values turn into the text on the wire and back, the layout each operating mode gives
// the page, the sensor inputs, the flag word's cells and the page's placement rules.
//
// Read rows (1-based):                        Write rows:
//   1 history events on triggering  (+zact)     1..10 as read rows 1..10
//   2 history events on restoring   (+zren)     11 frequency sensors
//   3 flags on triggering        (+flagact)     12 flow sensors
//   4 flags on restoring + mode  (+flagren)     13 ignition from the CAN bus (505 from 18)
//   5 sensor on-time             (+feedtime)
//   6 longest pulse pause, tenths (+feedpause)
//   7 period + output 1 inversion (+init5regim)
//   8 identification time        (+ident4time)
//   9 blocking by output 1       (+bsettings)
//  10 outputs                    (+OUTS)
//  11 current flag word          (+MFLAG, read only)
//  12 frequency sensors          (+freqsens)
//  13 flow sensors               (+sensflow)
//  14 ignition from the CAN bus  (+canignit, 505 from 18)

#include <QRect>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

namespace EventsRows {

enum ReadRow
{
    HisSetRow = 1,
    HisRestRow,
    FlagSetRow,
    FlagRestRow,
    OnTimeRow,
    PauseRow,
    PeriodRow,
    IdentTimeRow,
    BlockRow,
    OutputsRow,
    FlagWordRow,
    FreqRow,
    FlowRow,
    CANIgnitionRow
};

// Write rows 1..10 are read rows 1..10; these follow.
enum WriteRow
{
    FreqWriteRow = 11,
    FlowWriteRow,
    CANIgnitionWriteRow
};

constexpr int MaxReadRows = 14;
constexpr int MaxWriteRows = 13;

inline constexpr std::array<int, MaxReadRows> ReadCodes = {77, 79, 81, 83,  85,  87,  89,
                                                           91, 93, 95, 103, 127, 129, 138};
inline constexpr std::array<int, MaxWriteRows> WriteCodes = {78, 80, 82, 84,  86,  88, 90,
                                                             92, 94, 96, 128, 130, 139};

// The ignition row exists for type 505 from firmware 18.
bool HasCANIgnitionRow(int deviceType, int deviceVersion);
int ReadRowCount(int deviceType, int deviceVersion);  // 13 or 14
int WriteRowCount(int deviceType, int deviceVersion); // 12 or 13

QString WriteCommandText(int row, const QVariant &value);
int WriteCode(int row); // 0 outside 1..13

// --- Flag groups: seven boxes (inputs 1..6, power) carried as one byte ---

constexpr int FlagBoxCount = 7;
using FlagBoxes = std::array<bool, FlagBoxCount>;
inline constexpr std::array<int, FlagBoxCount> FlagMasks = {0x08, 0x04, 0x02, 0x01,
                                                            0x10, 0x20, 0x40};

int FlagByte(const FlagBoxes &boxes);
FlagBoxes FlagBoxesFromByte(int byte); // bit 7 ignored

// --- Row decodings: value of the read PageData -> control values ---

struct FlagRestAndMode
{
    FlagBoxes boxes{};
    int modeIndex = 0; // 0..255; only 0..4 name a mode
};
FlagRestAndMode FlagRestAndModeFromRaw(int raw);

// The pause in tenths shown in seconds with the locale's decimal separator: 7 -> "0,7".
QString PauseTextFromRaw(int raw);

struct PeriodSetting
{
    int period = 0;
    int inversIndex = 0; // 0 inversion on, 1 off
};
PeriodSetting PeriodFromRaw(int raw);

std::optional<int> BlockIndexFromRaw(int raw); // 1, 2, 255 -> items 1, 2, 0

struct BoxPair
{
    bool first = false;
    bool second = false;
};
std::optional<BoxPair> OutputsFromRaw(int raw); // 0..3 -> OUT1, OUT2
std::optional<BoxPair> FreqFromRaw(int raw);    // -> input 3, input 6
std::optional<BoxPair> FlowFromRaw(int raw);    // -> input 2, input 4

// --- Values as the page's controls hold them, checked and turned into write rows ---

struct EventsValues
{
    FlagBoxes hisSet{}, hisRest{}, flagSet{}, flagRest{};
    int modeIndex = 0; // -1: no mode chosen
    QString onTime, pause, period, identTime;
    int inversIndex = 0;
    int blockIndex = 0;
    BoxPair outputs, freq, flow;
    bool canIgnition = false;
};

// Which controls hold no value the unit can take; every check is always made.
struct EventsValidation
{
    bool onTimeBad = false;
    bool pauseBad = false;
    bool periodBad = false;
    bool identTimeBad = false;
    bool inversBad = false; // no inversion chosen

    bool ok() const { return !(onTimeBad || pauseBad || periodBad || identTimeBad || inversBad); }
};

// A whole number in 0..255 typed into a time edit; nothing otherwise.
std::optional<int> SecondsFromText(const QString &text);
// The pause typed in seconds (the locale's separator), in tenths with half to even: "0,05" -> 0,
// "0,15" -> 2, "25,5" -> 255; nothing when it is not a number or not in 0..255 tenths.
std::optional<int> PauseTenthsFromText(const QString &text);

EventsValidation ValidateEventsValues(const EventsValues &values);

struct EventsWriteRow
{
    QString text;
    bool send = true;
};

// Rows 1..12 (13 with the ignition row), or nothing when validation fails. Without a chosen
// mode row 4 is not sent.
std::optional<std::vector<EventsWriteRow>> EventsWriteValues(const EventsValues &values,
                                                             bool withCANIgnition);

// --- Operating modes ---

constexpr int ModeCount = 5;

struct ModeLayout
{
    FlagBoxes flagBoxDisabled{}; // the same boxes of both flag groups
    bool identTimeEnabled = false;
    bool onTimeAndPauseEnabled = false;
    bool periodEnabled = false;
    bool inversShown = false; // enabled as well
    bool ident4BoxShown = false;
    bool sensorBoxShown = false;
    bool blockShown = false;
};
// Any index outside 1..4 gives the base layout.
ModeLayout ModeLayoutFor(int modeIndex);

// --- Sensor inputs: CheckBox1..CheckBox4 ---

struct SensorInput
{
    int input;            // the input whose four flag boxes the sensor takes
    int param;            // the CAN user parameter it claims
    int partner;          // the other box claiming the same parameter
    const char *canIndex; // the parameter's identifier while claimed
};
inline constexpr std::array<SensorInput, 4> SensorInputs = {{
    {3, 1, 2, "65400"},
    {6, 1, 1, "65400"},
    {2, 2, 4, "65401"},
    {4, 2, 3, "65401"},
}};
// The firmware from which a sensor box claims its input and parameter.
constexpr int SensorFirmware = 500;

// --- The flag word (+MFLAG) on the grid: column 1..8 (inputs 1..7, power), row 1 triggering,
// row 2 restoring ---

constexpr int FlagGridColumns = 9;
constexpr int FlagGridRows = 3;
bool FlagCellSet(quint16 word, int column, int row);

// --- Placement of the page's groups inside a parent's client area ---

// i-th (1-based) of n side by side, shifted right by d.
QRect ColumnPlacement(QSize client, int n, int i, int d = 0);
// i-th of n stacked, at most 25 pixels apart, shifted down by d.
QRect RowPlacement(QSize client, int n, int i, int d = 0);
// i-th of n side by side below a title `textHeight` high.
QRect TitledColumnPlacement(QSize client, int n, int i, int textHeight);

} // namespace EventsRows
