#pragma once

// Caption pairs and remembered values of the GPRS page, stored in the section
// "GPRSSettingsFrame". Index k of GPRSCaptions is bound in the frame's code to one label or
// group box; pairs 5 and 6 (indices 4 and 5) name rows without a control and are only kept in
// the store; the last pair is the reboot list's items.

#include "pages/ConstForFrames.h"

#include <array>

namespace ConstGPRSSettingsFrame {

inline constexpr const char *Section = "GPRSSettingsFrame";

inline constexpr int GPRSCaptionCount = 25;
inline constexpr int EconomyCaptionIndex = 4;
inline constexpr int TimeSyncCaptionIndex = 5;
inline constexpr int RebootValuesIndex = 24;
extern const std::array<CaptionPair, GPRSCaptionCount> GPRSCaptions;

// Remembered values.
inline constexpr const char *DefGPRSActive = "defGPRSActive";
inline constexpr const char *DefRebootTime = "defRebootTime";
inline constexpr bool DefaultGPRSActive = true;
inline constexpr int DefaultRebootTime = 0;

// The 17 text rows' stored names and defaults, in row order (rows 5..21). The name
// "defGPRSRassword" keeps its spelling: values stored under it must still be found.
inline constexpr int TextValueCount = 17;
extern const std::array<CaptionPair, TextValueCount> TextValues;

} // namespace ConstGPRSSettingsFrame
