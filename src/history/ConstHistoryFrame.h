#pragma once

// The history page's grid layouts and its caption table.
//
// Layout 1 (31 columns) serves type 504 and is shown until a unit is identified; layout 2
// (19) type 505 with firmware 7 (driver records); layout 3 (29) type 505 with firmware 0..6 and
// 8..21; layout 4 (30) type 505 with firmware 22 and above. Column widths are kept per layout.

#include "settings/SetInfo.h"

#include <QStringList>

namespace ConstHistoryFrame {

constexpr int LayoutCount = 4;
constexpr int StartLayout = 1;
constexpr int StartDeviceType = 504;

inline constexpr char Section[] = "HistoryFrame";

// The layout for a unit, 0 for a type that has none (the grid keeps the layout it has).
int LayoutFor(int DeviceType, int DeviceVersion);
// Column titles of layout 1..4, column 0 first.
QStringList LayoutTitles(int Layout);

// Captions and the coordinate box's state; the raw view's titles come first.
extern const TSetInfo HistoryCaptions[7];

} // namespace ConstHistoryFrame
