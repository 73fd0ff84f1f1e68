#pragma once

#include <QByteArray>

namespace unitsim {

// The unit's event history: 64-byte records handed over as 128 upper-case hex digits. The
// records are made up on demand from their index, so any number of them costs nothing; their
// fields hold plausible positions near Moscow, dates, speeds, inputs and events, and the
// middle part has the layout the unit's type and firmware use.
class HistoryRecords
{
public:
    HistoryRecords(int deviceType, int firmwareBuild, int count);

    int count() const { return m_count; }
    void setCount(int count) { m_count = count < 0 ? 0 : count; }

    // Record Index as 128 hex digits; an index past the end reads as erased flash (all F).
    QByteArray recordHex(int index) const;
    // The same record as 64 bytes.
    QByteArray record(int index) const;

private:
    void fillCommon(QByteArray &r, int index) const;
    void fillType504(QByteArray &r, int index) const;
    void fillType505(QByteArray &r, int index) const;
    void fillType505Driver(QByteArray &r, int index) const;

    int m_deviceType;
    int m_firmwareBuild;
    int m_count;
};

} // namespace unitsim
