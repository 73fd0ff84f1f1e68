#include "history/HistoryColumnWidths.h"

#include "settings/SettingsRW.h"

namespace {

const QString ProductKey = QStringLiteral("W9CAN");

QString GridSection(int Layout)
{
    return QStringLiteral("History/GRID%1").arg(Layout);
}

QString ColumnIdent(int Column)
{
    return QStringLiteral("Col%1").arg(Column);
}

} // namespace

THistoryColumnWidths::THistoryColumnWidths()
{
    for (auto &layout : widths)
        layout.fill(NotSet);
}

bool THistoryColumnWidths::Inside(int Layout, int Column)
{
    return Layout >= 1 && Layout <= ConstHistoryFrame::LayoutCount && Column >= 0 &&
           Column < MaxColumns;
}

int THistoryColumnWidths::Width(int Layout, int Column) const
{
    return Inside(Layout, Column) ? widths[Layout - 1][Column] : NotSet;
}

void THistoryColumnWidths::SetWidth(int Layout, int Column, int Width)
{
    if (Inside(Layout, Column))
        widths[Layout - 1][Column] = Width;
}

void THistoryColumnWidths::LoadGridLayout()
{
    const TSettingsRW store(TSettingsRW::RegistryKind, ProductKey);
    for (int layout = 1; layout <= ConstHistoryFrame::LayoutCount; ++layout) {
        const QString section = GridSection(layout);
        for (int c = 0; c < MaxColumns; ++c) {
            bool ok = false;
            const int width =
                store.ReadOrDefault(MakeSetItem(section, ColumnIdent(c), NotSet)).toInt(&ok);
            widths[layout - 1][c] = ok ? width : NotSet;
        }
    }
}

void THistoryColumnWidths::SaveGridLayout()
{
    TSettingsRW store(TSettingsRW::RegistryKind, ProductKey);
    for (int layout = 1; layout <= ConstHistoryFrame::LayoutCount; ++layout) {
        const QString section = GridSection(layout);
        for (int c = 0; c < MaxColumns; ++c) {
            int &width = widths[layout - 1][c];
            if (width != NotSet && width < MinWidth)
                width = MinWidth;
            store.Write(MakeSetItem(section, ColumnIdent(c), width));
        }
    }
}
