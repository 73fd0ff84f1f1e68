#pragma once

// One record of the unit's event history: 64 bytes handed over as 128 hex digits (either case),
// byte 0 first, every multi-byte value big-endian. Positions are 1-based character positions in
// that text. Every reader converts its digits as a 32-bit signed hex number and throws
// EConvertError on a character that is not a hex digit.
//
// Common fields: latitude (1-8), longitude (9-16), UTC date DDMMYY (17-22) and time HHMMSS
// (23-28) as decimal numbers, speed in tenths of a knot (29-32), the variant's part (33-122),
// inputs and power (123-124), event type and key number (125-126).

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace HistoryRecord {

constexpr int RecordLength = 128;

// The field table: entries 1..32 as (first, last) character positions in the record.
struct TFieldPos
{
    int First;
    int Last;
};
TFieldPos FieldPosition(int N);

// The 32-bit signed value of `count` hex digits from position P.
qint32 HexAt(const QString &Record, int P, int Count);
qint32 HexFieldByIndex(const QString &Record, int N);
int HexByteAt(const QString &Record, int P);
int HexWordAt(const QString &Record, int P);
qint32 HexDWordAt(const QString &Record, int P);

// Coordinates as 55°45'07.41"N; the raw fields keep bit 31 (a southern or western sign).
QString DecodeLatitude(const QString &Record);
QString DecodeLongitude(const QString &Record);
qint32 RawLatitude(const QString &Record);
qint32 RawLongitude(const QString &Record);
// The text of a raw field as DecodeLatitude/DecodeLongitude give it.
QString CoordinateFromRaw(bool IsLatitude, qint32 Raw);
QString FormatCoordinate(bool IsLatitude, int Sign, double Value);
// X mod D as at least two digits; X becomes X div D.
QString ModDivStr(qint64 &X, int D);

// The record's date and time in Zone (the system's time zone): the offset the zone had at that
// moment. An impossible date or time throws EConvertError.
QDateTime DecodeDateTime(const QString &Record,
                         const QTimeZone &Zone = QTimeZone::systemTimeZone());

// Tenths of a knot in km/h, "%8.3f".
QString DecodeSpeed(const QString &Record);

// CAN value N (1..8) of a type-504 record, signed decimal.
QString GetCANParam(const QString &Record, int N);
int GetExtKind(const QString &Record);
int GetInputsByte(const QString &Record);
int GetEventByte(const QString &Record);
// Extra block of a type-504 record: id N (1..4), value N as eight upper-case hex digits, half N
// (1..2) of the value part as stored.
int GetExtParamId(const QString &Record, int N);
QString GetExtValueHex(const QString &Record, int N);
QString GetExtHex64(const QString &Record, int N);

// Count characters (code page 1251) from Count hex pairs at P; 00 and FF give a blank; a pair
// that is not hex ends the text.
QString HexToText(const QString &Record, int P, int Count);

} // namespace HistoryRecord
