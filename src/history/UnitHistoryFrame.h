#pragma once

// The history page (Tag 6): reads the unit's event history into a grid laid out for the
// identified unit, shows the raw records on demand (Ctrl+Alt+H in the main window swaps the two
// views) and erases the history. The records are decoded by HistoryRows; the grid's layouts and
// their column widths come from ConstHistoryFrame and THistoryColumnWidths.

#include "history/HistoryColumnWidths.h"
#include "pages/PageFrame.h"

#include <memory>

class QStatusBar;
class QTableView;
class TCommandDoneEvent;
class THistoryGridModel;
class THistoryRawModel;

namespace Ui {
class THistoryFrame;
}

class THistoryFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 6;

    explicit THistoryFrame(QWidget *parent = nullptr);
    ~THistoryFrame() override;

    // Grid view and raw view.
    QWidget *Panel2() const;
    QWidget *Panel3() const;
    QTableView *HistoryGrid() const;
    QTableView *HistoryVE() const;
    QStatusBar *InfoBar() const;
    THistoryGridModel &GridModel() const { return *gridModel; }
    THistoryRawModel &RawModel() const { return *rawModel; }

    // Column widths of the record grid, loaded before Init and saved before SaveUISettings.
    void LoadGridLayout();
    void SaveGridLayout();

    // The layout for the identified unit; a type other than 504 and 505 keeps the layout shown.
    void SetDeviceModel(int DeviceType, int Version);
    int DeviceType() const { return deviceType; }
    int DeviceVersion() const { return deviceVersion; }
    int Layout() const { return layout; }

    void SaveUISettings() override;
    // The read request; a range that cannot be read turns both edits red and leaves V
    // unassigned. A From or To that is not a number throws EConvertError.
    void GetPageData(TPageData &V) override;
    // Shows a read in the unit's layout; an unassigned read, or a unit without a row builder,
    // leaves the page as it is.
    void SetPageData(const TPageData &V) override;
    void ClearGrid();

protected:
    void LoadUISettings() override;
    // The answer to the page's own erase request.
    void customEvent(QEvent *Event) override;

private:
    void SetupGrid(int DeviceType, int Version);
    void ApplyColWidths(int Layout);
    void HistoryGridSectionResized(int Column, int NewWidth);
    void ClearHisButtonClick();
    void WMCommandDone(const TCommandDoneEvent &Done);
    void CoodrSystemCheckClick();
    void ReadLast50RadioClick();
    bool eventFilter(QObject *Watched, QEvent *Event) override;

    std::unique_ptr<Ui::THistoryFrame> ui;
    THistoryGridModel *gridModel;
    THistoryRawModel *rawModel;
    THistoryColumnWidths colWidths;
    int deviceType = 0;
    int deviceVersion = 0;
    int layout = 0;
    bool applyingLayout = false;
};
