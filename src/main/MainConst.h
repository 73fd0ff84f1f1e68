#pragma once

// Constants of the main window: its section in the store, the stored window-state names and the
// caption table.

#include "settings/SetInfo.h"

#include <array>

namespace MainConst {

inline constexpr const char *SettingsKey = "W9CAN";
inline constexpr const char *Section = "MainForm";

inline constexpr const char *FormState = "FORMSTATE";
inline constexpr const char *FormLeftPos = "FORMLEFTPOS";
inline constexpr const char *FormTopPos = "FORMTOPPOS";
inline constexpr const char *FormWidth = "FORMWIDTH";
inline constexpr const char *FormHeight = "FORMHEIGHT";
inline constexpr const char *LogHeight = "LOGHEIGHT";
inline constexpr const char *LogAutoScroll = "LOGAUTOSCROLL";
inline constexpr const char *LogAutoExpand = "LOGAUTOEXPAND";
inline constexpr const char *LogVisible = "LOGVISIBLE";

inline constexpr int DefaultLogHeight = 170;
inline constexpr int DesignWidth = 1039;
inline constexpr int DesignHeight = 705;

inline constexpr const char *ImeiFormat = "IMEI: %s";

// Indexes into MainCaptions.
enum TMainCaption : int
{
    mcCaption = 0,
    mcMFile,
    mcExit,
    mcMConnection,
    mcConnect,
    mcDisconnect,
    mcStatusPort,
    mcStatusPhone,
    mcStatusFirmware,
    mcStatusMemory,
    mcStatusDevice,
    mcMLogSettings,
    mcAutoExpand,
    mcAutoScroll,
    mcLogVisible,
    mcSaveToFile,
    mcGeneralPage,
    mcGPRSPage,
    mcGPSPage,
    mcEventsPage,
    mcFlagsPage,
    mcCANPage,
    mcHistoryPage,
    mcEngNumbersPage,
    mcTouchMemoryPage,
    mcMPages,
    mcMAbout,
    mcCopyToClipboard,
    mcAbout,
    mcClearLog,
    mcCount
};

extern const std::array<TCaptionPair, mcCount> MainCaptions;

} // namespace MainConst
