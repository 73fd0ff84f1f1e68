#pragma once

// Page 2: whether the unit reboots its GPS receiver after a while without a position fix, and
// after how many minutes. Sends its one row only when it was edited since the last write.

#include "pages/PageFrame.h"

#include <memory>

namespace Ui {
class TGPSSettingsFrame;
}

class TGPSSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 2;

    explicit TGPSSettingsFrame(QWidget *parent = nullptr);
    ~TGPSSettingsFrame() override;

    void SaveUISettings() override;
    void SetPageData(const TPageData &v) override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

    // The page counts as edited: the next write sends it.
    bool Modified() const { return modified; }

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    void RebootCheckBoxClick();
    void TimeComboChange();
    void SetLabelsColor(const QColor &color);

    std::unique_ptr<Ui::TGPSSettingsFrame> ui;
    int timeStart = 0; // minutes of the list's first item
    bool modified = false;
};
