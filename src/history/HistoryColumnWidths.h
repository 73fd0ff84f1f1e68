#pragma once

// The history grid's column widths, kept per layout in the store under "History/GRID1" ..
// "History/GRID4" as "Col0" .. "Col255" (pixels; -1 = not set, the grid sizes the column from
// its title). The store's product key is fixed: the widths do not follow the page's key.

#include "history/ConstHistoryFrame.h"

#include <array>

class THistoryColumnWidths
{
public:
    static constexpr int NotSet = -1;
    static constexpr int MaxColumns = 256;
    static constexpr int MinWidth = 5;

    THistoryColumnWidths();

    int Width(int Layout, int Column) const;
    void SetWidth(int Layout, int Column, int Width);

    // A missing value, or one that is not an integer, reads as NotSet.
    void LoadGridLayout();
    // Writes all 4 x 256 values; a set width below MinWidth is raised to it first.
    void SaveGridLayout();

private:
    static bool Inside(int Layout, int Column);

    std::array<std::array<int, MaxColumns>, ConstHistoryFrame::LayoutCount> widths;
};
