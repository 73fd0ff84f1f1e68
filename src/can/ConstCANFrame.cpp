#include "can/ConstCANFrame.h"

namespace ConstCANFrame {

using K = TSetInfoKind;

// The standard sheet and the user sheet share one stored caption.
const std::array<TSetInfo, CANSetInfoCount> CANSetInfo = {{
    {"CANFormatGroup", K::RadioGroupCaption, "CANFormatGroupCaption", "Формат параметров"},
    {"CANFormatGroup", K::RadioGroupItems, "CANFormatGroupItems",
     "2 параметра по 8 байт\r\n4 параметра по 4 байта"},
    {"Par1IndexLabel", K::LabelCaption, "Par1IndexLabelCaption", "Идентификатор параметра #1"},
    {"Par2IndexLabel", K::LabelCaption, "Par2IndexLabelCaption", "Идентификатор параметра #2"},
    {"Par3IndexLabel", K::LabelCaption, "Par3IndexLabelCaption", "Идентификатор параметра #3"},
    {"Par4IndexLabel", K::LabelCaption, "Par4IndexLabelCaption", "Идентификатор параметра #4"},
    {"Par1ShiftLabel", K::LabelCaption, "Par1ShiftLabelCaption", "Смещение параметра #1"},
    {"Par2ShiftLabel", K::LabelCaption, "Par2ShiftLabelCaption", "Смещение параметра #2"},
    {"Par3ShiftLabel", K::LabelCaption, "Par3ShiftLabelCaption", "Смещение параметра #3"},
    {"Par4ShiftLabel", K::LabelCaption, "Par4ShiftLabelCaption", "Смещение параметра #4"},
    {"Par1IndexEdit", K::EditText, "defPar1IndexEdit", "0"},
    {"Par2IndexEdit", K::EditText, "defPar2IndexEdit", "0"},
    {"Par3IndexEdit", K::EditText, "defPar3IndexEdit", "0"},
    {"Par4IndexEdit", K::EditText, "defPar4IndexEdit", "0"},
    {"CANFormatGroup", K::RadioGroupIndex, "defCANGroupIndex", "0"},
    {"QLX", K::GroupBoxCaption, "QLXCaption", "Модуль QLX"},
    {"Label1", K::LabelCaption, "Label1Caption", "Режим работы модуля"},
    {"ComboBox1", K::ComboItems, "Combo1Items",
     "Охранный режим\r\nРежим добавления брелков\r\nРежим удаления брелков\r\n"
     "Включение охранного режима\r\n"},
    {"ActiveBit", K::RadioGroupCaption, "ActiveBitCaption", "Дискретный вход Калмира для QLX"},
    {"ActiveBit", K::RadioGroupItems, "ActiveBitItems",
     "Вход 1\r\nВход 2\r\nВход 3\r\nВход 4\r\nВход 5\r\nВход 6\r\nВход 7\r\n"},
    {"StandartSetSheet", K::TabSheetCaption, "StandartSetSheetCaption",
     "Настройки протокола J1939-71"},
    {"UserSetSheet", K::TabSheetCaption, "StandartSetSheetCaption", "Пользовательские настройки"},
}};

} // namespace ConstCANFrame
