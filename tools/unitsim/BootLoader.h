#pragma once

#include "unitsim/UnitReply.h"

#include <QByteArray>
#include <QMap>

namespace unitsim {

// The unit's boot loader: erases the flash, takes the new image in 128-byte blocks, each
// checked and acknowledged, and accepts the image when its signature matches.
class BootLoader
{
public:
    explicit BootLoader(int eraseDelayMs) : m_eraseDelayMs(eraseDelayMs) {}

    UnitReply handle(const QByteArray &command);
    // True once a good signature ended the upload; the caller restarts the unit's firmware.
    bool takeFinished();

    void setEraseDelayMs(int ms) { m_eraseDelayMs = ms; }
    // Refuses every n-th block (0: never), as a noisy line would make it.
    void setErrorEveryNthBlock(int n) { m_errorEvery = n; }

    // The blocks received, keyed by their four-digit position (position × 16 is the offset).
    const QMap<int, QByteArray> &blocks() const { return m_blocks; }
    // The received image: the blocks at their offsets, gaps as erased flash (FF).
    QByteArray image() const;
    int blocksAccepted() const { return m_accepted; }
    int blocksRefused() const { return m_refused; }
    bool erased() const { return m_erased; }
    // The signature of the blocks held: check bytes of blocks 0, 4, 8 ... XORed, then of
    // 1, 5, 9 ... and so on, as eight hex digits.
    QByteArray signature() const;

private:
    UnitReply writeBlock(const QByteArray &block);

    int m_eraseDelayMs;
    int m_errorEvery = 0;
    int m_blockCommands = 0;
    int m_accepted = 0;
    int m_refused = 0;
    bool m_erased = false;
    bool m_finished = false;
    QMap<int, QByteArray> m_blocks;
};

} // namespace unitsim
