#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace unitsim {

// Faults the simulated unit shows on request; they can be changed while it runs.
struct UnitSimFaults
{
    int latencyMs = 0;            // delay before every reply starts
    int bytesPerSecond = 0;       // 0: replies leave at once; 1920 is the real 19200 baud line
    int chunkSize = 0;            // 0: a reply leaves in one piece; n: in pieces of n bytes
    int chunkGapMs = 2;           // pause between pieces when no line speed is set
    int silentAfterCommands = 0;  // 0: never; n: hears the next n commands, then nothing
    bool silent = false;          // hears nothing at all (commands are logged, not carried out)
    QStringList neverAnswer;      // commands beginning with one of these are carried out unanswered
    QStringList garble;           // commands beginning with one of these get a garbled answer
    int errorEveryNthBlock = 0;   // 0: never; n: every n-th boot-loader block is refused
    int refusedSignatures = 0;    // the next n "+EE" are answered "ERROR" whatever they carry
    bool bootLoaderFails = false; // "+BL" is answered, but the unit's firmware keeps running
    bool echo = false;            // sends every received command back before its answer
    // Commands beginning with a key are answered this much later than the others.
    QMap<QString, int> answerDelayMs;
    // A command is answered only when it repeats the one heard before it (its resend); every
    // other command is carried out unanswered.
    bool loseFirstSends = false;
    // The same for commands beginning with one of these only.
    QStringList loseFirstSendsOf;
    // Values go out after ">" alone, without the command that asked for them (older firmware).
    bool valuesWithoutCommand = false;
};

// What the simulated unit is and how its modem and boot loader behave.
struct UnitSimOptions
{
    // The published side of the link: a symbolic link made to the pseudo-terminal's unit
    // side. Empty: none, portPath() is the pseudo-terminal itself.
    QString linkPath;
    QString logPath; // JSON lines log of every command and reply; empty: memory only

    // Identity.
    int deviceType = 505;          // 504 or 505
    int firmwareBuild = 17;        // the last number of "REV 07.505.017"
    QString firmwareText;          // overrides the whole version text when not empty
    QString memory = "AT45DB161D"; // "AT45DB161D" or "M45PE16"
    int typepanByte = -1;          // overrides the "+typepan" byte when 0..255
    QString imei = "356938035643809";

    // Start-up output after the port opens (a unit powered by the cable restarts).
    bool startupOutput = false;
    int startupDelayMs = 300;

    // State of the unit.
    int historyRecords = 120;
    quint16 flagWord = 0x0003;
    QString presentedKey = "2D00000A1B2C3D01"; // the key held to the reader ("+keysafe")
    int historyEraseDelayMs = 0;

    // GSM modem in front of the unit.
    bool modem = false;
    int registerAfter = 0; // "AT+CREG?" answers "not registered" this many times first
    bool roaming = false;  // registration reported as roaming ("0,5") only
    QString dialResult =
        "CONNECT"; // or "BUSY", "NO CARRIER", "NO DIALTONE", "NO ANSWER", "" (silence)
    int dialDelayMs = 0;
    int escapeGuardMs = 0; // time before "+++" is acknowledged

    // Boot loader.
    bool startInBootLoader = false;
    int eraseDelayMs = 0;
    QString imageOutPath; // the received image is written here after a good signature

    UnitSimFaults faults;
};

// The version text the unit reports for "+v".
QString versionText(const UnitSimOptions &options);

// The "+typepan" byte: bit 1 marks a supported unit, bits 3 to 5 the AT45DB161D flash chip.
int typepanByte(const UnitSimOptions &options);

} // namespace unitsim
