#pragma once

// Page 4: the unit's event flags, triggered and restored, for inputs 1..7 and the power supply.
// The user marks set flags to be reset (a selected cell loses its mark, "Сбросить все" clears
// them all); a write sends the flags that were set when read and are clear now.

#include "pages/PageFrame.h"

#include <QPixmap>

#include <functional>
#include <memory>

class QTableWidgetItem;

namespace Ui {
class TFlagsInfoFrame;
}

class TFlagsInfoFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 4;
    static const QString ResetErrorText;

    explicit TFlagsInfoFrame(QWidget *parent = nullptr);
    ~TFlagsInfoFrame() override;

    void SetPageData(const TPageData &v) override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

    // The word with a bit set for every cell that shows the flag mark.
    quint16 GetFlagMask() const;
    quint16 LastFlags() const { return lastFlags; }
    bool Modified() const { return modified; }
    // The 32 x 32 mark drawn in a cell whose flag is set.
    const QPixmap &FlagMark() const { return flagMark; }

    // Takes the error message of a failed reset instead of the message box, when set.
    std::function<void(const QString &text)> MessageHook;

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    QTableWidgetItem *Cell(int column, int row) const;
    void FitColumns();
    void ShowReadFailed(bool failed);

    void FlagsGridSelectCell(int column, int row);
    void ClearAllClick();

    std::unique_ptr<Ui::TFlagsInfoFrame> ui;
    QPixmap flagMark;
    quint16 lastFlags = 0;
    bool flagsKnown = false; // lastFlags is the word of a read the unit answered
    bool modified = false;
};
