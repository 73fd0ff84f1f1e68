#pragma once

#include "unitsim/UnitReply.h"
#include "unitsim/UnitSimOptions.h"

#include <QByteArray>

namespace unitsim {

// The GSM modem on the PC's serial port: takes AT commands until a data call to the unit's
// modem is up, then passes everything through until "+++" brings it back to command mode.
class GsmModem
{
public:
    enum class Mode
    {
        Command,
        Online
    };

    explicit GsmModem(const UnitSimOptions &options);

    Mode mode() const { return m_mode; }
    bool online() const { return m_mode == Mode::Online; }

    // Answers a command in command mode, or the escape in online mode.
    UnitReply handle(const QByteArray &command);
    // The PC closed the port: the modem drops the call and forgets the registration tries.
    void hangUp();

    void setDialResult(const QString &result) { m_options.dialResult = result; }
    void setRegisterAfter(int tries) { m_options.registerAfter = tries; }
    void setRoaming(bool roaming) { m_options.roaming = roaming; }
    QByteArray lastDialled() const { return m_lastDialled; }

private:
    UnitReply dial(const QByteArray &number);

    UnitSimOptions m_options;
    Mode m_mode = Mode::Command;
    int m_registrationQueries = 0;
    QByteArray m_lastDialled;
};

} // namespace unitsim
