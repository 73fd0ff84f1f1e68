#pragma once

// Intel HEX images the tests make themselves: no image of a real unit is part of the project.

#include <QByteArray>
#include <QString>
#include <QStringList>

// One Intel HEX record with its checksum, upper-case digits.
inline QString record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char b : std::as_const(bytes))
        sum += quint8(b);
    bytes.append(char(quint8(0x100 - sum)));
    return QLatin1Char(':') + QString::fromLatin1(bytes.toHex().toUpper());
}

// Data bytes that differ from block to block, so a shifted or lost record shows.
inline QByteArray imageData(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(char((i * 7 + i / 128 * 13 + 1) & 0xFF));
    return data;
}

// The data as consecutive data records of `recordSize` bytes from `start`, running from FFFF
// into 0000 without extended records, as the carried images do.
inline QStringList imageLines(const QByteArray &data, int recordSize, quint16 start = 0)
{
    QStringList lines;
    quint16 address = start;
    for (qsizetype pos = 0; pos < data.size(); pos += recordSize) {
        const QByteArray chunk = data.mid(pos, recordSize);
        lines.append(record(0, address, chunk));
        address = quint16(address + chunk.size());
    }
    return lines;
}
