#pragma once

#include <QByteArray>

namespace unitsim {

// One answer of the unit, its modem or its boot loader.
struct UnitReply
{
    QByteArray bytes; // empty: nothing is sent
    int delayMs = 0;  // time the work takes before the answer starts (erasing flash, dialling)

    static UnitReply none() { return {}; }
    static UnitReply text(const QByteArray &line, int delayMs = 0)
    {
        return {"\r\n" + line + "\r\n", delayMs};
    }
    static UnitReply ok(int delayMs = 0) { return text("OK", delayMs); }
    static UnitReply error() { return text("ERROR"); }
    // A value goes after ">" on a line of its own, then "OK" on the next line.
    static UnitReply value(const QByteArray &value, int delayMs = 0)
    {
        return {"\r\n>" + value + "\r\nOK\r\n", delayMs};
    }
};

} // namespace unitsim
