#include "pages/ConstTouchMemKeysFrame.h"

namespace ConstTouchMemKeysFrame {

using K = TSetInfoKind;

const std::array<TSetInfo, SetInfoCount> SetInfo = {{
    {"TMemKeys", K::ValueListTitles, "VETitle", KeyTitles},
    {"TMemKeys", K::ValueListRows, "VEValues", DefaultKeys},
    {"TMemGroup", K::GroupBoxCaption, "TMemGroupCaption", "Ключи Touch Memory"},
    {"TMemCheckBox", K::CheckBoxCaption, "TMemCheckBoxCaption", "Использовать ключи Touch Memory"},
    {"TMemCheckBox", K::CheckBoxChecked, "defTMemCheckBox", "-1"},
}};

} // namespace ConstTouchMemKeysFrame
