#include "history/HistoryRecord.h"

#include "settings/Delphi.h"

#include <QStringDecoder>

#include <array>
#include <cmath>

namespace HistoryRecord {

namespace {

// Entries 1..12 are absolute; 13..20 lie in the CAN block (from 33), 21..22 in the extra block
// (from 75), 23..26 in its id part (from 75), 27..32 in its value part (from 91).
constexpr std::array<TFieldPos, 32> FieldTable{{
    {1, 8},    {9, 16},    {17, 22},   {23, 28},   {29, 32}, {33, 68},  {69, 70},   {71, 74},
    {75, 122}, {123, 124}, {125, 126}, {127, 128}, {33, 36}, {37, 38},  {39, 42},   {43, 46},
    {47, 54},  {55, 62},   {63, 66},   {67, 68},   {75, 90}, {91, 122}, {75, 78},   {79, 82},
    {83, 86},  {87, 90},   {91, 106},  {107, 122}, {91, 98}, {99, 106}, {107, 114}, {115, 122},
}};

[[noreturn]] void ThrowNotHex(const QString &Record, int P, int Count)
{
    throw EConvertError(
        QStringLiteral("'$%1' is not a valid integer value").arg(Record.mid(P - 1, Count)));
}

// The characters of code page 1251 by byte value.
const std::array<QChar, 256> &Cp1251Table()
{
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> chars{};
        QByteArray bytes(256, '\0');
        for (int b = 0; b < 256; ++b)
            bytes[b] = char(b);
        QStringDecoder decoder("windows-1251");
        const QString text = decoder.decode(bytes);
        for (int b = 0; b < 256 && b < text.size(); ++b)
            chars[b] = text[b];
        return chars;
    }();
    return table;
}

QString CoordinateText(bool IsLatitude, const QString &Record, int P)
{
    return CoordinateFromRaw(IsLatitude, HexAt(Record, P, 8));
}

} // namespace

TFieldPos FieldPosition(int N)
{
    if (N < 1 || N > int(FieldTable.size()))
        throw EConvertError(QStringLiteral("no history field %1").arg(N));
    return FieldTable[N - 1];
}

qint32 HexAt(const QString &Record, int P, int Count)
{
    if (P < 1 || Count < 1 || Count > 8 || P - 1 + Count > Record.size())
        ThrowNotHex(Record, P, Count);
    quint32 value = 0;
    const QChar *c = Record.constData() + (P - 1);
    for (int i = 0; i < Count; ++i) {
        const int digit = HexDigitValue(c[i]);
        if (digit < 0)
            ThrowNotHex(Record, P, Count);
        value = (value << 4) | quint32(digit);
    }
    return qint32(value);
}

qint32 HexFieldByIndex(const QString &Record, int N)
{
    const TFieldPos pos = FieldPosition(N);
    return HexAt(Record, pos.First, pos.Last - pos.First + 1);
}

int HexByteAt(const QString &Record, int P)
{
    return HexAt(Record, P, 2);
}

int HexWordAt(const QString &Record, int P)
{
    return HexAt(Record, P, 4);
}

qint32 HexDWordAt(const QString &Record, int P)
{
    return HexAt(Record, P, 8);
}

// ---- coordinates ----

qint32 RawLatitude(const QString &Record)
{
    return HexFieldByIndex(Record, 1);
}

qint32 RawLongitude(const QString &Record)
{
    return HexFieldByIndex(Record, 2);
}

QString DecodeLatitude(const QString &Record)
{
    return CoordinateText(true, Record, FieldPosition(1).First);
}

QString DecodeLongitude(const QString &Record)
{
    return CoordinateText(false, Record, FieldPosition(2).First);
}

QString CoordinateFromRaw(bool IsLatitude, qint32 Raw)
{
    const int sign = (quint32(Raw) & 0x80000000U) != 0 ? -1 : 1;
    const qint32 magnitude = qint32(quint32(Raw) & 0x7FFFFFFFU);
    return FormatCoordinate(IsLatitude, sign, magnitude / 100000.0);
}

QString FormatCoordinate(bool IsLatitude, int Sign, double Value)
{
    const QChar hemisphere =
        Sign < 0 ? QLatin1Char(IsLatitude ? 'S' : 'W') : QLatin1Char(IsLatitude ? 'N' : 'E');
    const double x = Value / 100;
    const double whole = double(Trunc(x));
    const double degrees = whole + (x - whole) * 100 / 60;
    qint64 t = Round(degrees * 60 * 60 * 100);
    const QString hundredths = ModDivStr(t, 100);
    const QString seconds = ModDivStr(t, 60);
    const QString minutes = ModDivStr(t, 60);
    return QString::number(t) + QChar(0x00B0) + minutes + QLatin1Char('\'') + seconds +
           QLatin1Char('.') + hundredths + QLatin1Char('"') + hemisphere;
}

QString ModDivStr(qint64 &X, int D)
{
    const qint64 rest = X % D;
    X /= D;
    QString text = QString::number(rest);
    if (text.size() < 2)
        text.prepend(QLatin1Char('0'));
    return text;
}

// ---- date, time, speed ----

QDateTime DecodeDateTime(const QString &Record, const QTimeZone &Zone)
{
    // Both fields are 24 bits wide, so "%.6d" never meets a sign; but a damaged field may hold
    // seven or eight digits, and no date or time is made of their first six.
    const QString d = QString::number(HexFieldByIndex(Record, 3)).rightJustified(6, u'0');
    const QString t = QString::number(HexFieldByIndex(Record, 4)).rightJustified(6, u'0');
    if (d.size() > 6 || t.size() > 6)
        throw EConvertError(QStringLiteral("'%1 %2' is not a valid date and time").arg(d, t));
    const QDate date(2000 + d.mid(4, 2).toInt(), d.mid(2, 2).toInt(), d.mid(0, 2).toInt());
    const QTime time(t.mid(0, 2).toInt(), t.mid(2, 2).toInt(), t.mid(4, 2).toInt());
    if (!date.isValid() || !time.isValid())
        throw EConvertError(QStringLiteral("'%1 %2' is not a valid date and time").arg(d, t));
    const QDateTime utc(date, time, Qt::UTC);
    // A system without zone data still has the C library's local time.
    return Zone.isValid() ? utc.toTimeZone(Zone) : utc.toLocalTime();
}

// "%8.3f" of tenths of a knot x 0.1852, worked in whole ten-thousandths of a km/h: the product
// has at most four decimals and, 1852 being even, never ends in a 5, so rounding to three
// decimals meets no tie and gives what the floating-point format gives.
QString DecodeSpeed(const QString &Record)
{
    const quint32 tenthsOfKnot = quint16(HexFieldByIndex(Record, 5));
    const quint32 thousandths = (tenthsOfKnot * 1852 + 5) / 10;
    const QString text = QString::number(thousandths / 1000) + DecimalSeparator() +
                         QString::number(thousandths % 1000).rightJustified(3, u'0');
    return text.rightJustified(8, u' ');
}

// ---- bytes and the type-504 blocks ----

QString GetCANParam(const QString &Record, int N)
{
    if (N < 1 || N > 8)
        throw EConvertError(QStringLiteral("no CAN value %1").arg(N));
    return QString::number(HexFieldByIndex(Record, 12 + N));
}

int GetExtKind(const QString &Record)
{
    return HexFieldByIndex(Record, 7);
}

int GetInputsByte(const QString &Record)
{
    return HexFieldByIndex(Record, 10);
}

int GetEventByte(const QString &Record)
{
    return HexFieldByIndex(Record, 11);
}

int GetExtParamId(const QString &Record, int N)
{
    if (N < 1 || N > 4)
        throw EConvertError(QStringLiteral("no extra parameter %1").arg(N));
    return HexFieldByIndex(Record, 22 + N);
}

QString GetExtValueHex(const QString &Record, int N)
{
    if (N < 1 || N > 4)
        throw EConvertError(QStringLiteral("no extra value %1").arg(N));
    return IntToHex(HexFieldByIndex(Record, 28 + N), 8);
}

QString GetExtHex64(const QString &Record, int N)
{
    if (N < 1 || N > 2)
        throw EConvertError(QStringLiteral("no extra half %1").arg(N));
    const TFieldPos pos = FieldPosition(26 + N);
    return Record.mid(pos.First - 1, pos.Last - pos.First + 1);
}

QString HexToText(const QString &Record, int P, int Count)
{
    const auto &table = Cp1251Table();
    QString text;
    text.reserve(Count);
    for (int i = 0; i < Count; ++i) {
        const int at = P - 1 + 2 * i;
        if (at + 2 > Record.size())
            break;
        const int high = HexDigitValue(Record[at]);
        const int low = HexDigitValue(Record[at + 1]);
        if (high < 0 || low < 0)
            break;
        const int b = high * 16 + low;
        text += (b == 0x00 || b == 0xFF) ? QChar(QLatin1Char(' ')) : table[b];
    }
    return text;
}

} // namespace HistoryRecord
