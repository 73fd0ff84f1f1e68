#pragma once

// Captions and remembered values of the touch-memory keys page, stored in the section
// "TouchMemKeysFrame", and the key list both key pages start with.

#include "settings/SetInfo.h"

#include <array>

namespace ConstTouchMemKeysFrame {

inline constexpr const char *Section = "TouchMemKeysFrame";

inline constexpr const char *KeyTitles = "Ключ\r\nЗначение";
inline constexpr const char *DefaultKeys = "Ключ 1=A5A5A5A5A5A5A5A5\r\nКлюч 2=5A5A5A5A5A5A5A5A\r\n"
                                           "Ключ 3=A5A5A5A5A5A5A5A5\r\nКлюч 4=5A5A5A5A5A5A5A5A\r\n"
                                           "Ключ 5=A5A5A5A5A5A5A5A5\r\n";

inline constexpr int SetInfoCount = 5;
extern const std::array<TSetInfo, SetInfoCount> SetInfo;

// The row that stores the key list (its marker cells keep the value stored before).
inline constexpr int KeysRow = 1;

} // namespace ConstTouchMemKeysFrame
