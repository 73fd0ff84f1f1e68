#include "pages/ConstEngNumbersFrame.h"

namespace ConstEngNumbersFrame {

using K = TSetInfoKind;

const std::array<TSetInfo, SetInfoCount> SetInfo = {{
    {"EngNumbers", K::ValueListTitles, "VETitle", "Номер п/п\r\nНомер телефона"},
    {"EngNumbers", K::ValueListRows, "VEValues",
     "Инж. номер 1=9876543210\r\nИнж. номер 2=9876543210\r\nИнж. номер 3=9876543210\r\n"
     "Инж. номер 4=9876543210\r\nИнж. номер 5=9876543210\r\nИнж. номер 6=9876543210\r\n"
     "Инж. номер 7=9876543210\r\nИнж. номер 8=9876543210\r\nИнж. номер 9=9876543210\r\n"
     "Инж. номер 10=9876543210\r\n"},
    {"EngNumbersGroup", K::GroupBoxCaption, "EngNumbersGroupCaption", "Инженерные номера"},
    {"EngNumbersOnCheckBox", K::CheckBoxCaption, "EngNumbersOnCheckBoxCaption",
     "Использовать инженерные номера"},
    {"DispLinkGroup", K::GroupBoxCaption, "DispLinkGroupCaption", "Диспетчерская связь"},
    {"DispLinkTimeLabel", K::LabelCaption, "DispLinkTimeLabelCaption", "Время (мин)"},
    {"DispLinkOff", K::RadioButtonCaption, "DispLinkOffCaption", "Отключена"},
    {"DispLinkOn", K::RadioButtonCaption, "DispLinkOnCaption", "Включена постоянно"},
    {"DispLinkOnTime", K::RadioButtonCaption, "DispLinkOnTimeCaption", "Включена на время"},
    {"DispLinkTimeEdit", K::EditText, "defDispLinkTimeEdit", "2"},
    {"EngNumbersOnCheckBox", K::CheckBoxChecked, "defEngNumbersOn", "-1"},
}};

} // namespace ConstEngNumbersFrame
