#include "history/ConstHistoryFrame.h"

#include "settings/Delphi.h"

namespace ConstHistoryFrame {

namespace {

// Each layout's titles as one text of CR LF separated lines.
const char *const LayoutTexts[LayoutCount] = {
    "RID\r\nТип\r\nШирота\r\nДолгота\r\nДата\r\nВремя\r\nСкорость\r\nНапряжение\r\n"
    "Уровень топлива\r\nМгновенный расход\r\nОбороты двигателя\r\nМоточасы\r\n"
    "Общий пробег\r\nОсевой вес\r\nТемпература охл. жидк.\r\nЧ/Д 3 вх.\r\nЧ/Д 6 вх.\r\n"
    "П/Д 2 вх.\r\nП/Д 4 вх.\r\nДоп. парам. %d\r\nДоп. парам. %d\r\nДоп. парам. %d\r\n"
    "Доп. парам. %d\r\nВход 1\r\nВход 2\r\nВход 3\r\nВход 4\r\nВход 5\r\nВход 6\r\n"
    "Питание\r\nКлюч",

    "RID\r\nТип\r\nШирота\r\nДолгота\r\nДата\r\nВремя\r\nСкорость\r\nОдометр\r\n"
    "Водительский режим\r\nФамилия\r\nИмя\r\nВход 1\r\nВход 2\r\nВход 3\r\nВход 4\r\n"
    "Вход 5\r\nВход 6\r\nПитание\r\nКлюч",

    "RID\r\nТип\r\nШирота\r\nДолгота\r\nДата\r\nВремя\r\nСкорость\r\n"
    "Бортовое напряжение (В)\r\nУровень топлива (%)\r\nМгновенный расход топлава (л)\r\n"
    "Обороты двигателя (об/м)\r\nМоточасы (ч)\r\nОбщий пробег (км)\r\nНагрузка на ось (кг)\r\n"
    "Температура охл. жидкости (C)\r\nНомер оси для измерения нагр. на ось\r\n"
    "Уровень топлива (л)\r\nОбщий расход топлава (л)\r\nПериметр\r\nТрансмиссия\r\n"
    "Режимы работы двигателя и светотехники\r\nВход 1\r\nВход 2\r\nВход 3\r\nВход 4\r\n"
    "Вход 5\r\nВход 6\r\nПитание\r\nКлюч",

    "RID\r\nТип\r\nШирота\r\nДолгота\r\nДата\r\nВремя\r\nСкорость\r\n"
    "Бортовое напряжение (В)\r\nУровень топлива (%)\r\nМгновенный расход топлива (л)\r\n"
    "Обороты двигателя (об/м)\r\nМоточасы (ч)\r\nОбщий пробег (км)\r\nНагрузка на ось (кг)\r\n"
    "Температура охл. жидкости (C)\r\nНомер оси для измерения нагр. на ось\r\n"
    "Уровень топлива (л)\r\nОбщий расход топлива (л)\r\nПериметр\r\nТрансмиссия\r\n"
    "Режимы работы двигателя и светотехники\r\nПробег до ТО\r\nВход 1\r\nВход 2\r\n"
    "Вход 3\r\nВход 4\r\nВход 5\r\nВход 6\r\nПитание\r\nКлюч",
};

} // namespace

const TSetInfo HistoryCaptions[7] = {
    {"HistoryVE", TSetInfoKind::ValueListTitles, "VETitle", "Номер\r\nЗначение"},
    {"ReadLast50Radio", TSetInfoKind::RadioButtonCaption, "ReadLast50Caption",
     "Читать последние 50 записей"},
    {"ReadFromToRadio", TSetInfoKind::RadioButtonCaption, "ReadFromToCaption", "Читать записи с "},
    {"ToLabel", TSetInfoKind::LabelCaption, "ToLabelCaption", "по"},
    {"CoodrSystemCheck", TSetInfoKind::CheckBoxCaption, "CoordSystemCheckCaption",
     "Формат координат: XX°XX'XX.XX''X"},
    {"CoodrSystemCheck", TSetInfoKind::CheckBoxChecked, "defCoordSystemCheck", "0"},
    {"ClearHisButton", TSetInfoKind::ButtonCaption, "ClearHisButtonCaption", "Очистить"},
};

int LayoutFor(int DeviceType, int DeviceVersion)
{
    if (DeviceType == 504)
        return 1;
    if (DeviceType != 505)
        return 0;
    if (DeviceVersion == 7)
        return 2;
    return DeviceVersion >= 22 ? 4 : 3;
}

QStringList LayoutTitles(int Layout)
{
    if (Layout < 1 || Layout > LayoutCount)
        return {};
    QString text = QString::fromUtf8(LayoutTexts[Layout - 1]);
    if (Layout == 1)
        text = Format(text, {1, 2, 3, 4});
    return text.split(QStringLiteral("\r\n"));
}

} // namespace ConstHistoryFrame
