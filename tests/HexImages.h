#pragma once

// Intel HEX images the tests make themselves: no image of a real unit is part of the project.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>

// One Intel HEX record with its checksum, upper-case digits.
inline QString record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes = QByteArray(1, char(data.size())) + char(address >> 8) +
                       char(address & 0xFF) + char(type) + data;
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

// The data from linear address `start` as the common tools write it, in records of `recordSize`
// bytes that never cross a 64 KiB boundary: objcopy (`segmented`) sets bases below 1 MiB with 02
// segment records and above it with a zero segment and then a 04 record, and ends with a 03 start
// record; srec_cat sets every base with 04 records, from the first line, and ends with a 05.
inline QStringList toolImageLines(const QByteArray &data, int recordSize, quint32 start,
                                  bool segmented)
{
    const auto word = [](quint32 value) {
        return QByteArray(1, char(value >> 8)) + QByteArray(1, char(value & 0xFF));
    };
    QStringList lines;
    quint32 segbase = 0;
    quint32 extbase = segmented ? 0 : start & 0xFFFF0000;
    if (!segmented)
        lines.append(record(4, 0, word(extbase >> 16)));
    for (qsizetype pos = 0; pos < data.size();) {
        const quint32 where = start + quint32(pos);
        if (where > segbase + extbase + 0xFFFF) {
            if (segmented && extbase == 0 && where <= 0xFFFFF) {
                segbase = where & 0xF0000;
                lines.append(record(2, 0, word(segbase >> 4)));
            } else {
                if (segbase != 0)
                    lines.append(record(2, 0, word(0)));
                segbase = 0;
                extbase = where & 0xFFFF0000;
                lines.append(record(4, 0, word(extbase >> 16)));
            }
        }
        const quint32 offset = where - segbase - extbase;
        const qsizetype size =
            std::min<qsizetype>({recordSize, data.size() - pos, qsizetype(0x10000 - offset)});
        lines.append(record(0, quint16(offset), data.mid(pos, size)));
        pos += size;
    }
    lines.append(segmented ? record(3, 0, QByteArray::fromHex("F0000000"))
                           : record(5, 0, word(start >> 16) + word(start & 0xFFFF)));
    lines.append(record(1, 0, {}));
    return lines;
}
