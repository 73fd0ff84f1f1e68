#pragma once

// Captions, list settings and remembered values of the GPS page, stored in the section
// "GPSSettingsFrame".

#include "pages/ConstForFrames.h"

namespace ConstGPSSettingsFrame {

inline constexpr CaptionPair RebootCaption = {
    "RebootCaption", "Перезагрузка приемника в случае отсутствия фиксации:"};
inline constexpr CaptionPair TimeCaption = {"TimeCaption", "Время отсутствия фиксации:"};

// The list: read only.
inline constexpr const char *DefTimeComboValStart = "defTimeComboValStart";
inline constexpr const char *DefTimeComboValEnd = "defTimeComboValEnd";
inline constexpr CaptionPair TimeComboValuesMask = {"TimeComboValuesMask", "%d мин."};
inline constexpr int DefaultTimeComboValStart = 2;
inline constexpr int DefaultTimeComboValEnd = 60;

// Remembered values.
inline constexpr const char *DefTimeComboIndex = "defTimeComboIndex";
inline constexpr const char *DefRebootCheckBox = "defRebootCheckBox";
inline constexpr int DefaultTimeComboIndex = 0;
inline constexpr bool DefaultRebootCheckBox = false;

} // namespace ConstGPSSettingsFrame
