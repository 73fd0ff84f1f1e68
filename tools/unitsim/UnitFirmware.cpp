#include "unitsim/UnitFirmware.h"

#include <cctype>

namespace unitsim {

namespace {

bool isHex(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

QByteArray hex(quint32 value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

} // namespace

UnitFirmware::UnitFirmware(const UnitSimOptions &options)
    : m_options(options), m_settings(options.deviceType),
      m_history(options.deviceType, options.firmwareBuild, options.historyRecords),
      m_flagWord(options.flagWord), m_presentedKey(options.presentedKey.toLatin1())
{
    m_keys = {"A5A5A5A5A5A5A5A5", "5A5A5A5A5A5A5A5A", "0000000000000000", "0000000000000000",
              "0000000000000000"};
}

bool UnitFirmware::takeBootLoaderRequest()
{
    const bool requested = m_bootLoaderRequested;
    m_bootLoaderRequested = false;
    return requested;
}

QByteArray UnitFirmware::startupText() const
{
    return "\r\nW9CAN\r\n" + versionText(m_options).toLatin1() +
           "\r\nGSM init\r\nGPS init\r\nhistory " + QByteArray::number(m_history.count()) +
           "\r\ndel all\r\n";
}

QByteArray UnitFirmware::key(int index) const
{
    return (index >= 0 && index < int(m_keys.size())) ? m_keys[size_t(index)] : QByteArray();
}

void UnitFirmware::setKey(int index, const QByteArray &key)
{
    if (index >= 0 && index < int(m_keys.size()))
        m_keys[size_t(index)] = key;
}

QByteArray UnitFirmware::liveCanText()
{
    const quint32 n = quint32(m_liveCanRequests++);
    QByteArray text;
    text += hex(4200 - (n % 100), 4);       // distance to service, km
    text += hex(63 - (n / 10) % 20, 2);     // fuel level, %
    text += hex(150 + (n * 37) % 90, 4);    // momentary consumption
    text += hex(800 + (n * 113) % 2200, 4); // engine speed
    text += hex(3456 + n / 60, 8);          // engine hours
    text += hex(123456 + n / 10, 8);        // total distance
    text += hex(0, 4);
    text += hex(88, 2); // coolant temperature
    text += hex(0, 2);
    text += hex(45, 4);                  // fuel, litres
    text += hex(52000 + n, 8);           // fuel used
    text += hex(0x03, 2);                // status A: body
    text += hex(0x10, 2);                // status C: drive
    text += hex(n % 2 ? 0x81 : 0x80, 2); // status B: engine
    if (m_options.deviceType == 505 && m_options.firmwareBuild >= 22)
        text += QByteArray::number(4200 - int(n % 100)).rightJustified(8, '0');
    return text;
}

// A value the unit reports goes out under the command that asked for it ("+qsafe", ">FF", "OK").
UnitReply UnitFirmware::handle(const QByteArray &command)
{
    if (command.isEmpty() || command == "+++")
        return UnitReply::none();
    UnitReply reply = handleCommand(command);
    if (reply.bytes.startsWith("\r\n>"))
        reply.bytes.prepend("\r\n" + command);
    return reply;
}

UnitReply UnitFirmware::handleCommand(const QByteArray &command)
{
    bool handled = false;
    UnitReply reply = handleSpecial(command, &handled);
    if (handled)
        return reply;
    reply = handleKeys(command, &handled);
    if (handled)
        return reply;
    return handleSetting(command);
}

UnitReply UnitFirmware::handleSpecial(const QByteArray &command, bool *handled)
{
    *handled = true;
    if (command == "CABLE CONNECT" || command == "CABLE DISCONNECT")
        return UnitReply::ok();
    if (command == "+v")
        return UnitReply::value(versionText(m_options).toLatin1());
    if (command == "+typepan")
        return UnitReply::value(hex(quint32(typepanByte(m_options)), 2));
    if (command == "+imei")
        return UnitReply::value(m_options.imei.toLatin1());
    if (command == "+BL") {
        m_bootLoaderRequested = true;
        return UnitReply::text("BootLdr");
    }
    if (command == "+MFLAG")
        return UnitReply::value(hex(m_flagWord, 4));
    if (command == "+mflag") {
        m_flagWord = 0;
        return UnitReply::ok();
    }
    if (command.startsWith("+mflag")) {
        const QByteArray mask = command.mid(6);
        if (!isHex(mask) || mask.size() > 4)
            return UnitReply::error();
        m_flagWord &= quint16(~mask.toUInt(nullptr, 16));
        return UnitReply::ok();
    }
    if (command == "+point")
        return UnitReply::value(hex(quint32(m_history.count()), 4));
    if (command.startsWith("+read")) {
        const QByteArray index = command.mid(5);
        if (!isHex(index) || index.size() > 8)
            return UnitReply::error();
        return UnitReply::value(m_history.recordHex(int(index.toUInt(nullptr, 16))));
    }
    if (command == "+erase") {
        m_history.setCount(0);
        return UnitReply::ok(m_options.historyEraseDelayMs);
    }
    if (command == "+cancur")
        return UnitReply::value(liveCanText());
    *handled = false;
    return UnitReply::none();
}

UnitReply UnitFirmware::handleKeys(const QByteArray &command, bool *handled)
{
    *handled = true;
    if (command == "+keysafe")
        return UnitReply::value(m_presentedKey);
    const bool read = command.startsWith("+keyread");
    const bool write = command.startsWith("+keysafe");
    if (!read && !write) {
        *handled = false;
        return UnitReply::none();
    }
    const QByteArray rest = command.mid(8);
    if (rest.isEmpty() || rest[0] < '0' || rest[0] > '4')
        return UnitReply::error();
    const int index = rest[0] - '0';
    if (read)
        return rest.size() == 1 ? UnitReply::value(m_keys[size_t(index)]) : UnitReply::error();
    const QByteArray key = rest.mid(1);
    if (key.size() > 16)
        return UnitReply::error();
    m_keys[size_t(index)] = key;
    return UnitReply::ok();
}

UnitReply UnitFirmware::handleSetting(const QByteArray &command)
{
    if (!command.startsWith('+'))
        return UnitReply::error();
    const QByteArray text = command.mid(1);
    const QByteArray word = m_settings.matchWord(text);
    if (word.isEmpty())
        return UnitReply::error();
    const QByteArray value = text.mid(word.size());
    if (value.isEmpty())
        return UnitReply::value(m_settings.value(word));
    m_settings.setValue(word, value);
    return UnitReply::ok();
}

} // namespace unitsim
