#pragma once

// The GPS page's one device row without any widget: the receiver reboot after a time without a
// position fix, one byte of minutes x 4, "FF" for no reboot. The page's list shows the minutes
// from a stored start value; both directions convert with that same start, so the item shown is
// the value sent.

#include "pages/PageTransfer.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace GPSRows {

constexpr int ReadCode = 74;  // "+tunfix"
constexpr int WriteCode = 75; // "+tunfix%s"

// The write row's command: "+tunfix" and the value text.
PageTransfer::WriteCommand WriteCommandFor(int row, const QVariant &value);

// The list's items: the mask (a stored format such as "%d мин.") applied to every minute value
// from start to end; none when end is below start. A mask that does not take one number is used
// as it is.
QStringList TimeItems(int start, int end, const QString &mask);

// The value text for the page's controls; nothing when the reboot is on but no item is chosen.
std::optional<QString> RebootText(bool reboot, int itemIndex, int start);

struct RebootSetting
{
    bool reboot = false;
    int itemIndex = -1; // -1: no item (a value below the list), or reboot off
};
// The setting a read value gives, among `itemCount` items starting at `start` minutes.
RebootSetting RebootFromRaw(int raw, int start, int itemCount);

} // namespace GPSRows
