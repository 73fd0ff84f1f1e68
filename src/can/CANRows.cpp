#include "can/CANRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

namespace CANRows {

namespace {

constexpr int FieldDigits = 4;
constexpr int UserParamDigits = 6 * FieldDigits;
constexpr int ShiftBits = 3;

// "$" + text as a signed 32-bit number; anything that is not hex gives nothing.
std::optional<qint32> HexValue(const QString &text)
{
    int value = 0;
    if (text.isEmpty() || !TryStrToInt(QLatin1Char('$') + text, value))
        return std::nullopt;
    return value;
}

bool IsHexText(const QString &text)
{
    for (const QChar c : text)
        if (HexDigitValue(c) < 0)
            return false;
    return !text.isEmpty();
}

// The live text's slices in order: width and the field it feeds (-1: not shown).
struct Slice
{
    int width;
    int field;
};
constexpr Slice LiveSlices[] = {
    {4, DistanceToService},
    {2, FuelPercent},
    {4, MomentaryConsumption},
    {4, EngineSpeed},
    {8, EngineHours},
    {8, TotalDistance},
    {4, -1},
    {2, CoolantTemperature},
    {2, -1},
    {4, FuelLitres},
    {8, FuelUsed},
};
constexpr int StatusDigits = 2;
constexpr int TailDigits = 8;

} // namespace

RowSet RowSetFor(int deviceType, int version)
{
    if (deviceType == 504)
        return RowSet::UserParam;
    if (deviceType != 505)
        return RowSet::None;
    if (version < 17)
        return RowSet::CarId;
    if (version >= 18 && version <= 999)
        return RowSet::Vehicle;
    return RowSet::None;
}

namespace {

struct RowCodes
{
    QVector<int> reads;
    QVector<int> writes;
};

const RowCodes &CodesOf(RowSet set)
{
    static const RowCodes none;
    static const RowCodes userParam{{118}, {119}};
    static const RowCodes carId{{131}, {132}};
    static const RowCodes vehicle{{131, 134, LiveValuesCode}, {132, 133, 135}};
    switch (set) {
    case RowSet::UserParam:
        return userParam;
    case RowSet::CarId:
        return carId;
    case RowSet::Vehicle:
        return vehicle;
    case RowSet::None:
        break;
    }
    return none;
}

} // namespace

QVector<int> ReadCodes(RowSet set)
{
    return CodesOf(set).reads;
}

QVector<int> WriteCodes(RowSet set)
{
    return CodesOf(set).writes;
}

QString WriteCommandText(RowSet set, int row, const QString &value)
{
    const QVector<int> codes = WriteCodes(set);
    if (row < 1 || row > codes.size())
        return {};
    return GetCommandText(codes[row - 1]).replace(QStringLiteral("%s"), value);
}

QString EncodeUserParams(const UserParams &params)
{
    int shifts = 0;
    for (int i = 0; i < ParamCount; ++i)
        shifts |= (params.shifts[i] & MaxShift) << (ShiftBits * i);
    QString text = IntToHex(params.format & 1, FieldDigits) + IntToHex(shifts, FieldDigits);
    for (const int id : params.ids)
        text += IntToHex(id, FieldDigits);
    return text;
}

std::optional<UserParams> DecodeUserParams(const QString &text)
{
    if (text.size() != UserParamDigits || !IsHexText(text))
        return std::nullopt;
    const auto field = [&text](int k) { return *HexValue(text.mid(k * FieldDigits, FieldDigits)); };
    UserParams params;
    params.format = field(0) & 1;
    const int shifts = field(1);
    for (int i = 0; i < ParamCount; ++i) {
        params.shifts[i] = (shifts >> (ShiftBits * i)) & MaxShift;
        params.ids[i] = field(2 + i);
    }
    return params;
}

std::optional<int> ParamIdFromText(const QString &text)
{
    bool ok = false;
    const int id = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text || id < 0 || id > MaxParamId)
        return std::nullopt;
    return id;
}

QString CarIdText(int carId)
{
    return IntToHex(carId, 4);
}

QString EventMaskText(quint32 mask)
{
    return IntToHex(mask, 6);
}

bool DeviceMaskHasBox(quint32 mask, int box)
{
    return box >= 0 && box < EventBoxCount && (mask >> box) & 1;
}

bool DatabaseMaskHasBox(quint32 mask, int box)
{
    return box >= 0 && box < EventBoxCount && (mask >> (EventBoxCount - 1 - box)) & 1;
}

std::optional<quint32> EventMaskFromReply(const QVariant &value)
{
    // A row the unit did not answer holds the number 0, not text.
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    if (const auto mask = HexValue(value.toString()); mask && IsHexText(value.toString()))
        return quint32(*mask) & EventMaskBits;
    return std::nullopt;
}

std::optional<int> CarIdFromReply(const QVariant &value)
{
    bool ok = false;
    const int carId = value.toInt(&ok);
    if (!ok || carId < 0)
        return std::nullopt;
    return carId;
}

LiveValues DecodeLiveText(const QString &text, bool withTail)
{
    LiveValues values;
    int pos = 0;
    const auto next = [&](int width) {
        const qint32 value = HexValue(text.mid(pos, width)).value_or(0);
        pos += width;
        return value;
    };
    for (const Slice &slice : LiveSlices) {
        const qint32 value = next(slice.width);
        if (slice.field >= 0)
            values.fields[slice.field] = value;
    }
    values.body = next(StatusDigits);
    values.drive = next(StatusDigits);
    values.engine = next(StatusDigits);
    if (withTail && text.size() - pos > TailDigits - 1) {
        const QString tail = text.mid(pos, TailDigits);
        bool ok = false;
        const int distance = tail.toInt(&ok, 10);
        values.fields[DistanceToService] = ok && tail.trimmed() == tail ? distance : 0;
    }
    return values;
}

quint32 LiveStatusBits(const LiveValues &values)
{
    return quint32(values.body & 0xFF) | quint32(values.drive & 0xFF) << 8 |
           quint32(values.engine & 0xFF) << 16;
}

const std::array<EventStateTexts, EventBoxCount> LiveStateTexts = {{
    {"lb0", "Открыта", "Закрыта"},   {"lb1", "Открыта", "Закрыта"}, {"lb2", "Открыта", "Закрыта"},
    {"lb3", "Открыта", "Закрыта"},   {"lb4", "Открыт", "Закрыт"},   {"lb5", "Открыт", "Закрыт"},
    {"lb6", "Взят", "Снят"},         {"lb7", "Тревога", "Норма"},   {"Label7", "Вкл.", "Выкл."},
    {"Label8", "Вкл.", "Выкл."},     {"Label9", "Вкл.", "Выкл."},   {"Label10", "Вкл.", "Выкл."},
    {"Label15", "Нажата", "Отжата"}, {"Label16", "Вкл.", "Выкл."},  {"Label17", "Да", "Нет"},
    {"Label18", "Вкл.", "Выкл."},    {"Label19", "Да", "Нет"},      {"Label20", "Вкл.", "Выкл."},
    {"Label21", "Вкл.", "Выкл."},    {"Label22", "Да", "Нет"},      {"Label23", "Вкл.", "Выкл."},
    {"Label24", "Вкл.", "Выкл."},    {"Label25", "Вкл.", "Выкл."},  {"Label26", "Вкл.", "Выкл."},
}};

int RefreshIntervalMs(int item)
{
    return item >= 1 ? item * 1000 : 500;
}

} // namespace CANRows
