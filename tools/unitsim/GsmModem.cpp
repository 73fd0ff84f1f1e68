#include "unitsim/GsmModem.h"

namespace unitsim {

GsmModem::GsmModem(const UnitSimOptions &options) : m_options(options) {}

void GsmModem::hangUp()
{
    m_mode = Mode::Command;
    m_registrationQueries = 0;
}

UnitReply GsmModem::handle(const QByteArray &command)
{
    if (m_mode == Mode::Online) {
        if (command != "+++")
            return UnitReply::none();
        m_mode = Mode::Command;
        return UnitReply::ok(m_options.escapeGuardMs);
    }
    if (command.isEmpty() || command == "+++")
        return UnitReply::none();
    const QByteArray upper = command.toUpper();
    if (upper == "ATZ" || upper == "AT" || upper == "ATE0" || upper == "ATE1")
        return UnitReply::ok();
    if (upper == "AT+CREG?") {
        ++m_registrationQueries;
        QByteArray state = "2"; // searching
        if (m_registrationQueries > m_options.registerAfter)
            state = m_options.roaming ? "5" : "1";
        return {"\r\n+CREG: 0," + state + "\r\n\r\nOK\r\n", 0};
    }
    if (upper.startsWith("AT+CBST="))
        return UnitReply::ok();
    if (upper == "ATH" || upper == "ATH0")
        return UnitReply::ok();
    if (upper.startsWith("ATD"))
        return dial(command.mid(3));
    return UnitReply::error();
}

UnitReply GsmModem::dial(const QByteArray &number)
{
    m_lastDialled = number;
    const QString result = m_options.dialResult.trimmed().toUpper();
    if (result.isEmpty())
        return UnitReply::none(); // the call hangs: neither connection nor failure
    if (result.startsWith(QLatin1String("CONNECT"))) {
        m_mode = Mode::Online;
        return UnitReply::text("CONNECT 9600", m_options.dialDelayMs);
    }
    return UnitReply::text(result.toLatin1(), m_options.dialDelayMs);
}

} // namespace unitsim
