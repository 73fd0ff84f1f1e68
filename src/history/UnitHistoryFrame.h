#pragma once

// The history page: the unit's event history records.

#include "pages/PageFrame.h"

class THistoryFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 6;

    explicit THistoryFrame(QWidget *parent = nullptr);

    // Raw record view and record grid; Ctrl+Alt+H in the main window toggles both.
    QWidget *Panel2() const { return panel2; }
    QWidget *Panel3() const { return panel3; }

    // Column widths of the record grid, loaded before Init and saved before SaveUISettings.
    void LoadGridLayout();
    void SaveGridLayout();

private:
    QWidget *panel2;
    QWidget *panel3;
};
