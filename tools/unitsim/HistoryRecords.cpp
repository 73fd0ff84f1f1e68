#include "unitsim/HistoryRecords.h"

#include <QDateTime>
#include <QString>

namespace unitsim {

namespace {

void putBig(QByteArray &r, int offset, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        r[offset + i] = char(value & 0xFF);
        value >>= 8;
    }
}

// Decimal digits packed as the unit does for its date and time: DDMMYY read as one number.
quint32 decimalField(int a, int b, int c)
{
    return quint32(a * 10000 + b * 100 + c);
}

// Cyrillic text in the single-byte code page the unit uses for names (А..я are C0..FF).
QByteArray toCp1251(const QString &text)
{
    QByteArray out;
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u >= 0x0410 && u <= 0x044F)
            out.append(char(0xC0 + (u - 0x0410)));
        else if (u < 0x80)
            out.append(char(u));
        else
            out.append('?');
    }
    return out;
}

// A small deterministic mixer so each record looks different but is the same every time.
quint32 mix(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

} // namespace

HistoryRecords::HistoryRecords(int deviceType, int firmwareBuild, int count)
    : m_deviceType(deviceType), m_firmwareBuild(firmwareBuild), m_count(count < 0 ? 0 : count)
{}

QByteArray HistoryRecords::recordHex(int index) const
{
    return record(index).toHex().toUpper();
}

QByteArray HistoryRecords::record(int index) const
{
    QByteArray r(64, char(0xFF));
    if (index < 0 || index >= m_count)
        return r;
    r.fill(0);
    fillCommon(r, index);
    if (m_deviceType == 504)
        fillType504(r, index);
    else if (m_firmwareBuild == 7)
        fillType505Driver(r, index);
    else
        fillType505(r, index);
    return r;
}

void HistoryRecords::fillCommon(QByteArray &r, int index) const
{
    const quint32 h = mix(quint32(index) + 1);
    // Position: a car going round Moscow, ddmm.mmmmm and dddmm.mmmmm times 100000.
    const quint32 latitude = 554500000U + (h % 900000U);         // 55°45' .. 55°54'
    const quint32 longitude = 373600000U + ((h >> 8) % 900000U); // 37°36' .. 37°45'
    putBig(r, 0, latitude, 4);
    putBig(r, 4, longitude, 4);

    // One record every five minutes from 1 March 2024, 06:00 UTC.
    const QDateTime start(QDate(2024, 3, 1), QTime(6, 0), Qt::UTC);
    const QDateTime at = start.addSecs(qint64(index) * 300 + (h % 60));
    putBig(r, 8, decimalField(at.date().day(), at.date().month(), at.date().year() % 100), 3);
    putBig(r, 11, decimalField(at.time().hour(), at.time().minute(), at.time().second()), 3);

    putBig(r, 14, (h >> 4) % 700, 2); // tenths of a knot, up to 130 km/h

    // Inputs: bit 2 is input 1 (set = on), the others are on when clear; bit 6 reserve power.
    r[61] = char((h >> 12) & 0x7F);
    // Event type in bits 0-3, key number in bits 4-7.
    const int eventType = index % 11;
    const int key = (eventType == 9) ? 1 + (index % 5) : 0;
    r[62] = char((key << 4) | eventType);
    r[63] = char(0x00);
}

void HistoryRecords::fillType504(QByteArray &r, int index) const
{
    const quint32 h = mix(quint32(index) * 7 + 3);
    // CAN block: voltage, fuel %, instant consumption, rpm, engine hours, distance, axle load,
    // coolant temperature (2, 1, 2, 2, 4, 4, 2, 1 bytes).
    putBig(r, 16, 12000 + h % 2500, 2);
    putBig(r, 18, 20 + h % 80, 1);
    putBig(r, 19, h % 400, 2);
    putBig(r, 21, 700 + h % 2500, 2);
    putBig(r, 23, 1200 + quint32(index), 4);
    putBig(r, 27, 152000 + quint32(index) * 3, 4);
    putBig(r, 31, 3000 + h % 2000, 2);
    putBig(r, 33, 70 + h % 25, 1);

    // Extra block: kind 0 (two raw 8-byte values), kind 1 (four parameters, counters in the
    // first two slots every other time), or another kind (nothing).
    const int kind = index % 3;
    r[34] = char(kind);
    putBig(r, 35, 0, 2);
    if (kind == 2)
        return;
    const bool counters = (index % 2) == 0;
    const quint16 ids[4] = {quint16(counters ? 65400 : 190), quint16(counters ? 65401 : 110),
                            quint16(247), quint16(96)};
    for (int i = 0; i < 4; ++i)
        putBig(r, 37 + 2 * i, ids[i], 2);
    for (int i = 0; i < 4; ++i)
        putBig(r, 45 + 4 * i, mix(h + quint32(i)), 4);
}

void HistoryRecords::fillType505(QByteArray &r, int index) const
{
    const quint32 h = mix(quint32(index) * 5 + 11);
    putBig(r, 16, 12500 + h % 2000, 2);      // on-board voltage
    putBig(r, 18, 10 + h % 90, 1);           // fuel level, %
    putBig(r, 19, h % 3000, 2);              // instant consumption
    putBig(r, 21, 650 + h % 2800, 2);        // engine speed
    putBig(r, 23, 3400 + quint32(index), 4); // engine hours
    putBig(r, 27, 98000 + quint32(index) * 2, 4);
    putBig(r, 31, 4000 + h % 3000, 2); // axle load
    putBig(r, 33, 60 + h % 40, 1);     // coolant temperature
    r[34] = 0;
    putBig(r, 35, 1 + index % 3, 1);          // axle number
    putBig(r, 36, 40 + h % 160, 2);           // fuel, litres
    putBig(r, 38, 52000 + quint32(index), 4); // fuel used
    r[42] = char(h & 0x3F);
    r[43] = char((h >> 6) & 0x1F);
    r[44] = char((h >> 11) & 0x7F);
    if (m_firmwareBuild >= 22) {
        // Distance to service: negative once it is overdue.
        const qint32 toService = 15000 - index * 130;
        putBig(r, 45, quint32(toService), 4);
    }
}

void HistoryRecords::fillType505Driver(QByteArray &r, int index) const
{
    static const char16_t *const surnames[] = {u"Иванов", u"Петров", u"Сидоров"};
    static const char16_t *const names[] = {u"Иван", u"Павел", u"Сергей"};
    putBig(r, 16, 1520000 + quint32(index) * 17, 4); // odometer, tenths
    r[20] = char(index % 4);                         // driver mode
    QByteArray surname = toCp1251(QString::fromUtf16(surnames[index % 3])).left(12);
    QByteArray name = toCp1251(QString::fromUtf16(names[index % 3])).left(12);
    // Unused name bytes are blank: 00 in some records, erased FF in others.
    const char pad = (index % 2) ? char(0xFF) : char(0x00);
    surname.append(QByteArray(12 - surname.size(), pad));
    name.append(QByteArray(12 - name.size(), pad));
    r.replace(35, 12, surname);
    r.replace(47, 12, name);
}

} // namespace unitsim
