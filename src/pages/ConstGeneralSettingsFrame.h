#pragma once

// Caption pairs and remembered values of the general page, stored in the section
// "GeneralSettingsFrame". Index k of GeneralCaptions is bound in the frame's code to one
// label or group box.

#include "pages/ConstForFrames.h"

#include <QString>

#include <array>

namespace ConstGeneralSettingsFrame {

inline constexpr const char *Section = "GeneralSettingsFrame";

using CaptionPair = ::CaptionPair;

inline constexpr int GeneralCaptionCount = 10;
extern const std::array<CaptionPair, GeneralCaptionCount> GeneralCaptions;

// Names of the remembered values and their defaults.
inline constexpr const char *DefObjectNumber = "defObjectNumber";
inline constexpr const char *DefLat = "defLat";
inline constexpr const char *DefLon = "defLon";
inline constexpr const char *DefTime = "defTime";
inline constexpr const char *DefSmooth = "defSmooth";
inline constexpr const char *DefGPSOff = "defGPSOff";
inline constexpr const char *DefGSMOff = "defGSMOff";
inline constexpr const char *DefTimeOff = "defTimeOff";
inline constexpr const char *DefGSMOn = "defGSMOn";

inline constexpr int DefaultObjectNumber = 917;
inline constexpr int DefaultLat = 50;
inline constexpr int DefaultLon = 50;
inline constexpr int DefaultTime = 1;
inline constexpr bool DefaultSmooth = true;
inline constexpr bool DefaultGPSOff = false;
inline constexpr bool DefaultGSMOff = false;
inline constexpr int DefaultTimeOff = 0;
inline constexpr int DefaultGSMOn = 10;

} // namespace ConstGeneralSettingsFrame
