#pragma once

// Captions and remembered values of the CAN page, stored in the section "CANFrame".

#include "settings/SetInfo.h"

#include <array>

namespace ConstCANFrame {

inline constexpr const char *Section = "CANFrame";

inline constexpr int CANSetInfoCount = 22;
extern const std::array<TSetInfo, CANSetInfoCount> CANSetInfo;

} // namespace ConstCANFrame
