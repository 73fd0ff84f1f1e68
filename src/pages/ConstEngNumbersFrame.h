#pragma once

// Captions and remembered values of the engineering-numbers page, stored in the section
// "EngNumbersFrame".

#include "settings/SetInfo.h"

#include <array>

namespace ConstEngNumbersFrame {

inline constexpr const char *Section = "EngNumbersFrame";
inline constexpr int SetInfoCount = 11;
extern const std::array<TSetInfo, SetInfoCount> SetInfo;

// The row that stores the numbers list (its marker cells keep the value stored before).
inline constexpr int NumbersRow = 1;

} // namespace ConstEngNumbersFrame
