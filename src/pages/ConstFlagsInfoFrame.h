#pragma once

// Titles of the flags page's grid, read from the section "FlagsInfoFrame" (never written).

#include "pages/ConstForFrames.h"

namespace ConstFlagsInfoFrame {

// Row 0: one line per column 0..8.
inline constexpr CaptionPair TableTop = {
    "TableTop", "Флаги событий\r\nВход 1\r\nВход 2\r\nВход 3\r\nВход 4\r\nВход 5\r\nВход 6\r\n"
                "Вход 7\r\nПитание\r\n"};
inline constexpr CaptionPair Line1 = {"Line1", "Срабатывание"};
inline constexpr CaptionPair Line2 = {"Line2", "Восстановление"};

} // namespace ConstFlagsInfoFrame
