#pragma once

#include "unitsim/UnitSimOptions.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <memory>

namespace unitsim {

// One command as the unit received it.
struct ReceivedCommand
{
    QByteArray text;   // the bytes before the carriage return (all of them for "+++")
    bool cr = false;   // a carriage return ended it
    qint64 timeMs = 0; // CLOCK_MONOTONIC milliseconds
};

// A W9CAN unit, optionally behind a GSM modem, with its boot loader, on a pseudo-terminal.
// It answers on its own thread from start() to stop(); every call is thread-safe. The program
// under test opens portPath() like any serial port, may close and open it again, and the unit
// keeps its state (settings, history, boot-loader state) across such reconnections. A close
// followed by a new open within the same instant may be taken as one opening.
class UnitSimulator
{
public:
    UnitSimulator();
    ~UnitSimulator();
    UnitSimulator(const UnitSimulator &) = delete;
    UnitSimulator &operator=(const UnitSimulator &) = delete;

    bool start(const UnitSimOptions &options, QString *error = nullptr);
    void stop();
    bool isRunning() const;

    // The path the program opens: the published link, or the pseudo-terminal itself.
    QString portPath() const;
    QString slavePath() const;
    // Whether the program has the port open now, and how often it has opened it.
    bool isPortOpen() const;
    int openCount() const;
    bool waitForOpen(int timeoutMs);
    bool waitForClose(int timeoutMs);

    // The log: every command and reply (and port events) as JSON objects, oldest first.
    // Keys: "t" (ms), "dir" ("rx", "tx", "event"), "text", "hex", "cr" (rx), "mode", "note".
    QList<QJsonObject> log() const;
    QList<ReceivedCommand> commands() const;
    int commandCount() const;
    void clearLog();
    // Waits until a command with exactly this text (carriage return not included) has come.
    bool waitForCommand(const QString &text, int timeoutMs);
    bool waitForCommand(const QByteArray &text, int timeoutMs);
    bool waitForCommand(const char *text, int timeoutMs)
    {
        return waitForCommand(QByteArray(text), timeoutMs);
    }
    // Waits until at least Count commands have come since the log was last cleared.
    bool waitForCommandCount(int count, int timeoutMs);
    // Every command the unit has heard since start(), however often the log was cleared.
    int commandsHeard() const;
    // Every byte the unit has put on the line since start(), or holds to put there once its time
    // comes (answers waiting out their latency included); bytes dropped unsent with a closing
    // port are not counted. A program that has read this many has every answer to what the unit
    // has heard.
    qint64 bytesToSend() const;

    // Faults, changeable at any time. Setting them restarts the silence count.
    UnitSimFaults faults() const;
    void setFaults(const UnitSimFaults &faults);
    void setLatency(int ms);
    void setSilent(bool silent);
    void setChunkSize(int bytes);

    // The unit's state.
    QByteArray setting(const QString &word) const;
    void setSetting(const QString &word, const QByteArray &value);
    quint16 flagWord() const;
    void setFlagWord(quint16 word);
    QByteArray key(int index) const;
    void setKey(int index, const QByteArray &key);
    void setPresentedKey(const QByteArray &key);
    int historyCount() const;
    void setHistoryCount(int count);
    QByteArray historyRecord(int index) const; // 128 hex digits

    // The boot loader.
    bool inBootLoader() const;
    void setInBootLoader(bool on);
    QByteArray receivedImage() const;
    int blocksAccepted() const;
    int blocksRefused() const;
    bool flashErased() const;
    int upgradesCompleted() const;

    // The modem.
    bool modemOnline() const;
    QByteArray lastDialled() const;
    void setDialResult(const QString &result);
    void setRegisterAfter(int tries);
    void setRoaming(bool roaming);
    // The call drops: the modem says "NO CARRIER" and returns to command mode.
    void dropCarrier();

    // Text the unit sends on its own (as if it printed something).
    void sendUnsolicited(const QByteArray &bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace unitsim
