#pragma once

// What the identification chain ("+v", "+typepan", "+imei") learnt about the connected unit.

#include <QString>

struct TDeviceIdentity
{
    QString Firmware;     // "REV" and the next 11 characters of the "+v" reply
    QString FirmwareCopy; // kept across disconnects for the firmware dialog
    int DeviceType = 0;   // 504, 505; 0 when the reply names none
    int DeviceVersion = 0;
    QString DeviceName;
    QString Memory;     // "M45PE16", "AT45DB161D" or "Неизвестный тип памяти"
    QString MemoryCopy; // kept across disconnects so an interrupted upload can resume
    QString IMEI;

    // What the disconnect forgets; the copies, the IMEI, type and version stay.
    void ClearOnDisconnect()
    {
        Firmware.clear();
        Memory.clear();
        DeviceName.clear();
    }
};
