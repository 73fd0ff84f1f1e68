#pragma once

#include "unitsim/HistoryRecords.h"
#include "unitsim/UnitReply.h"
#include "unitsim/UnitSettings.h"
#include "unitsim/UnitSimOptions.h"

#include <QByteArray>
#include <array>

namespace unitsim {

// The unit's own firmware: answers the command vocabulary from its stored state.
class UnitFirmware
{
public:
    explicit UnitFirmware(const UnitSimOptions &options);

    // Answers one command (its text without the carriage return).
    UnitReply handle(const QByteArray &command);
    // True once "+BL" asked for the boot loader; the caller switches and clears it.
    bool takeBootLoaderRequest();

    // What the unit prints when it starts; the last line is "del all".
    QByteArray startupText() const;

    UnitSettings &settings() { return m_settings; }
    const UnitSettings &settings() const { return m_settings; }
    HistoryRecords &history() { return m_history; }
    quint16 flagWord() const { return m_flagWord; }
    void setFlagWord(quint16 word) { m_flagWord = word; }
    QByteArray key(int index) const;
    void setKey(int index, const QByteArray &key);
    void setPresentedKey(const QByteArray &key) { m_presentedKey = key; }
    // The live CAN text of "+cancur" at this moment.
    QByteArray liveCanText();
    int liveCanRequests() const { return m_liveCanRequests; }

private:
    UnitReply handleCommand(const QByteArray &command);
    UnitReply handleSpecial(const QByteArray &command, bool *handled);
    UnitReply handleKeys(const QByteArray &command, bool *handled);
    UnitReply handleSetting(const QByteArray &command);

    UnitSimOptions m_options;
    UnitSettings m_settings;
    HistoryRecords m_history;
    quint16 m_flagWord;
    std::array<QByteArray, 5> m_keys;
    QByteArray m_presentedKey;
    int m_liveCanRequests = 0;
    bool m_bootLoaderRequested = false;
};

} // namespace unitsim
