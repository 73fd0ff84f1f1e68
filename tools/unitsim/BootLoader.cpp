#include "unitsim/BootLoader.h"

#include <cctype>

namespace unitsim {

namespace {

bool allHex(const QByteArray &text)
{
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return !text.isEmpty();
}

quint8 xorOf(const QByteArray &data)
{
    quint8 x = 0;
    for (const char c : data)
        x ^= quint8(c);
    return x;
}

constexpr int kBlockData = 128;
constexpr int kBlockText = 4 + 1 + 2 * kBlockData + 1 + 2; // 264

} // namespace

bool BootLoader::takeFinished()
{
    const bool finished = m_finished;
    m_finished = false;
    return finished;
}

UnitReply BootLoader::handle(const QByteArray &command)
{
    if (command == "+v")
        return UnitReply::text("BootLdr v1.0");
    if (command == "+BE") {
        m_blocks.clear();
        m_erased = true;
        return UnitReply::ok(m_eraseDelayMs);
    }
    if (command.startsWith("+W"))
        return writeBlock(command.mid(2));
    if (command.startsWith("+EE")) {
        const QByteArray given = command.mid(3).toUpper();
        if (given.size() != 8 || !allHex(given) || m_blocks.isEmpty() || given != signature())
            return UnitReply::error();
        m_finished = true;
        return UnitReply::ok();
    }
    if (command.isEmpty() || command == "+++")
        return UnitReply::none();
    // Anything else, the cable handshake included, tells that the boot loader is running.
    return UnitReply::text("BootLdr");
}

UnitReply BootLoader::writeBlock(const QByteArray &block)
{
    ++m_blockCommands;
    const bool wellFormed = block.size() == kBlockText && block[4] == ':' &&
                            block[5 + 2 * kBlockData] == ':' && allHex(block.left(4)) &&
                            allHex(block.mid(5, 2 * kBlockData)) && allHex(block.right(2));
    if (!wellFormed) {
        ++m_refused;
        return UnitReply::error();
    }
    const QByteArray data = QByteArray::fromHex(block.mid(5, 2 * kBlockData));
    const int check = block.right(2).toInt(nullptr, 16);
    if (xorOf(data) != check || (m_errorEvery > 0 && m_blockCommands % m_errorEvery == 0)) {
        ++m_refused;
        return UnitReply::error();
    }
    const QByteArray position = block.left(4).toUpper();
    m_blocks.insert(position.toInt(nullptr, 16), data);
    ++m_accepted;
    return UnitReply::value(position);
}

QByteArray BootLoader::image() const
{
    QByteArray image;
    for (auto it = m_blocks.cbegin(); it != m_blocks.cend(); ++it) {
        const int offset = it.key() * 16;
        if (image.size() < offset + it.value().size())
            image.append(QByteArray(offset + it.value().size() - image.size(), char(0xFF)));
        image.replace(offset, it.value().size(), it.value());
    }
    return image;
}

QByteArray BootLoader::signature() const
{
    quint8 a[4] = {0, 0, 0, 0};
    int i = 0;
    for (const QByteArray &data : m_blocks)
        a[i++ % 4] ^= xorOf(data);
    if (m_blocks.size() < 4)
        return "00000000";
    QByteArray text;
    for (const quint8 b : a)
        text += QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    return text;
}

} // namespace unitsim
