#pragma once

// Page 8: the touch-memory keys switch and the five keys the unit accepts. Only the single-page
// actions reach it. A write sends something only after the page has been changed (the switch
// changed, also by loading or reading, or a key typed into the list).

#include "pages/PageFrame.h"

#include <memory>

namespace Ui {
class TTouchMemKeysFrame;
}

class TTouchMemKeysFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 8;

    explicit TTouchMemKeysFrame(QWidget *parent = nullptr);
    ~TTouchMemKeysFrame() override;

    void SaveUISettings() override;
    void SetPageData(const TPageData &v) override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

    // False, after telling the user, when a key is longer than the unit keeps.
    bool ValidateKeys();
    bool IsModified() const { return Modified; }

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    void TMemCheckBoxClick();

    std::unique_ptr<Ui::TTouchMemKeysFrame> ui;
    bool Modified = false;
};
