#pragma once

// The events page's captions and remembered values, stored in the section "EventsSettingsFrame"
// and applied to the page's controls by name. The rows naming alarm controls find none on the page
// and so never apply; they stay for the store's sake.

#include "settings/SetInfo.h"

#include <array>

namespace ConstEventsSettingsFrame {

inline constexpr const char *Section = "EventsSettingsFrame";

inline constexpr int EventsSetInfoCount = 94;
extern const std::array<TSetInfo, EventsSetInfoCount> EventsSetInfo;

} // namespace ConstEventsSettingsFrame
