#include "pages/GPSRows.h"

#include "device/Commands.h"
#include "settings/Delphi.h"

#include <algorithm>

namespace GPSRows {

namespace {

constexpr int UnitsPerMinute = 4;

} // namespace

PageTransfer::WriteCommand WriteCommandFor(int, const QVariant &value)
{
    return {Format(GetCommandText(WriteCode), {value.toString()}), WriteCode};
}

QStringList TimeItems(int start, int end, const QString &mask)
{
    QStringList items;
    for (int minutes = start; minutes <= end; ++minutes)
        items << FormatChecked(mask, {minutes});
    return items;
}

std::optional<QString> RebootText(bool reboot, int itemIndex, int start)
{
    if (!reboot)
        return QStringLiteral("FF");
    if (itemIndex < 0)
        return std::nullopt;
    return IntToHex((itemIndex + start) * UnitsPerMinute, 2);
}

RebootSetting RebootFromRaw(int raw, int start, int itemCount)
{
    if ((raw & 0xFF) == 0xFF)
        return {false, -1};
    const int index = raw / UnitsPerMinute - start;
    return {true, index < 0 ? -1 : std::min(itemCount - 1, index)};
}

} // namespace GPSRows
