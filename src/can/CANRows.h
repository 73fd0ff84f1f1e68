#pragma once

// The CAN page's device rows without any widget: which rows a unit has by its type and firmware,
// the "+canuser" value of the four user parameters, the event mask, and the live values of
// "+cancur" with their three status bytes.
//
// Event boxes c0..c23: in the unit's event mask bit i is box c(i); in the vehicle database's
// mask and in the live status bits bit i is box c(23 - i).

#include <QString>
#include <QVariant>
#include <QVector>

#include <array>
#include <optional>

namespace CANRows {

// The rows a unit takes, by device type and firmware number.
enum class RowSet
{
    None,      // nothing is read or written
    UserParam, // type 504: "+canuser"
    CarId,     // type 505 below 17: "+carid"
    Vehicle,   // type 505, 18 to 999: "+carid", "+zacc", "+cancur" / "+zrec"
};

RowSet RowSetFor(int deviceType, int version);

// Command codes of the read rows and of the write rows (row k of the write form uses entry k-1).
QVector<int> ReadCodes(RowSet set);
QVector<int> WriteCodes(RowSet set);

// The text sent for write row `row` of `set` with `value` in place of "%s"; an empty value gives
// the bare command ("+zrec").
QString WriteCommandText(RowSet set, int row, const QString &value);

constexpr int ParamCount = 4;
constexpr int MaxParamId = 0xFFFF;
constexpr int MaxShift = 7;

// The four user parameters as the user sheet holds them.
struct UserParams
{
    int format = 0; // 0: two parameters of 8 bytes, 1: four parameters of 4 bytes
    std::array<int, ParamCount> shifts{};
    std::array<int, ParamCount> ids{};

    bool operator==(const UserParams &) const = default;
};

// The 24-digit value: format, packed shifts, then the four identifiers, 4 upper-case hex digits
// each. Every identifier must be 0..65535 and every shift 0..7.
QString EncodeUserParams(const UserParams &params);
// Nothing unless the text is exactly 24 hex digits.
std::optional<UserParams> DecodeUserParams(const QString &text);

// An identifier typed into an id edit: nothing when empty, not a number or above 65535.
std::optional<int> ParamIdFromText(const QString &text);

// --- car id and event mask ---

constexpr int EventBoxCount = 24;
constexpr quint32 EventMaskBits = 0xFFFFFF;

QString CarIdText(int carId);        // 4 hex digits
QString EventMaskText(quint32 mask); // 6 hex digits
bool DeviceMaskHasBox(quint32 mask, int box);
bool DatabaseMaskHasBox(quint32 mask, int box);
// The box of the vehicle's ignition event ("Зажигание").
constexpr int IgnitionBox = 5;

// The event mask as read ("+zacc" text): nothing when the row holds no hex text.
std::optional<quint32> EventMaskFromReply(const QVariant &value);
// The car id as read ("+carid" word): nothing when the word did not parse.
std::optional<int> CarIdFromReply(const QVariant &value);

// --- live values ("+cancur") ---

constexpr int LiveValuesCode = 137;

enum LiveField
{
    DistanceToService,
    FuelPercent,
    MomentaryConsumption,
    EngineSpeed,
    EngineHours,
    TotalDistance,
    CoolantTemperature,
    FuelLitres,
    FuelUsed,
    LiveFieldCount
};

struct LiveValues
{
    std::array<qint32, LiveFieldCount> fields{};
    // The three status bytes in the order the unit sends them: body (A), drive (C), engine (B).
    int body = 0;
    int drive = 0;
    int engine = 0;
};

// Reads the hex slices from the front; a missing or non-hex slice gives 0. With `withTail`, eight
// characters after the status bytes replace the distance to service, read as decimal.
LiveValues DecodeLiveText(const QString &text, bool withTail);

// The 24 status bits in the database mask's order: body bits 0..7, drive 8..15, engine 16..23.
quint32 LiveStatusBits(const LiveValues &values);

// What the state label of one event shows for a set and a clear bit; index = status bit.
struct EventStateTexts
{
    const char *label; // object name of the state label
    const char *set;
    const char *clear;
};
extern const std::array<EventStateTexts, EventBoxCount> LiveStateTexts;
constexpr int BoxOfStatusBit(int bit)
{
    return EventBoxCount - 1 - bit;
}

// Auto-refresh period of list item k: 500 ms for item 0, k seconds otherwise.
int RefreshIntervalMs(int item);

} // namespace CANRows
