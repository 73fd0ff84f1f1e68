#include "main/DeviceModel.h"

namespace {

constexpr int EventsPage = 3;
constexpr int CANPage = 5;
constexpr int EngNumbersPage = 7;

using A = TDeviceModelCell::TAction;

// One table row: the action per column, or nothing for an empty cell.
struct TRow
{
    const A *CANCheckBox, *CarSelectSheet, *UserSetSheet, *Panel3, *TMemGroup, *SaveKeyToHistory,
        *FreqBox, *SensFlowBox, *ModeCombo;
};

constexpr A show = A::Show, hide = A::Hide, enable0 = A::EnableFirstItem,
            disable0 = A::DisableFirstItem;

QList<TDeviceModelCell> Cells(const TRow &row)
{
    QList<TDeviceModelCell> cells;
    const auto add = [&](int page, const char *name, const A *action) {
        if (action)
            cells.append({page, QString::fromLatin1(name), *action});
    };
    add(EventsPage, "CANCheckBox", row.CANCheckBox);
    add(CANPage, "CarSelectSheet", row.CarSelectSheet);
    add(CANPage, "UserSetSheet", row.UserSetSheet);
    add(CANPage, "Panel3", row.Panel3);
    add(EngNumbersPage, "TMemGroup", row.TMemGroup);
    add(EngNumbersPage, "SaveKeyToHistory", row.SaveKeyToHistory);
    add(EventsPage, "FreqBox", row.FreqBox);
    add(EventsPage, "SensFlowBox", row.SensFlowBox);
    add(EventsPage, "ModeCombo", row.ModeCombo);
    return cells;
}

TRow Row504(int v)
{
    if (v >= 36 && v <= 40)
        return {&hide, &hide, &show, nullptr, &show, &hide, &hide, &hide, &enable0};
    if (v == 41)
        return {&hide, &hide, &show, nullptr, &show, &show, &hide, &hide, &enable0};
    if (v >= 700 && v <= 703)
        return {&hide, &hide, &show, nullptr, &show, &hide, &show, &hide, &enable0};
    if (v >= 704 && v <= 799)
        return {&hide, &hide, &show, nullptr, &hide, nullptr, &show, &show, &disable0};
    if (v >= 42 && v <= 999)
        return {&hide, &hide, &show, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return {};
}

TRow Row505(int v)
{
    if ((v >= 1 && v <= 6) || (v >= 8 && v <= 16))
        return {&hide, &show, &hide, nullptr, &show, &show, &hide, &hide, &enable0};
    if (v == 7)
        return {nullptr, nullptr, nullptr, &hide, nullptr, nullptr, nullptr, nullptr, nullptr};
    if (v >= 18 && v <= 999)
        return {&show, &show, &hide, nullptr, &show, &show, &hide, &hide, &enable0};
    return {};
}

} // namespace

QList<TDeviceModelCell> DeviceModelCells(int DeviceType, int Version)
{
    if (DeviceType == 504)
        return Cells(Row504(Version));
    if (DeviceType == 505)
        return Cells(Row505(Version));
    return {};
}
