#pragma once

// Page 7: the ten engineering telephone numbers with their switch, the dispatcher link (off, on,
// on for some minutes) and the touch-memory keys with their switch and, on later units, the key
// number in the history. Converts between its controls and the unit's rows (EngNumbersRows).
// Ticking the keys box asks the unit for its operating mode through the single-command service:
// keys work only in the second and third mode.

#include "pages/EngNumbersRows.h"
#include "pages/PageFrame.h"

#include <memory>

class QCheckBox;
class QRadioButton;
class TCommandDoneEvent;

namespace Ui {
class TEngNumbersFrame;
}

class TEngNumbersFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 7;

    explicit TEngNumbersFrame(QWidget *parent = nullptr);
    ~TEngNumbersFrame() override;

    void SaveUISettings() override;
    void SetPageData(const TPageData &v) override;
    // What stands for row `row` (from 1) of the list named `list` ("EngNumbers" or "TMemKeys")
    // where a value is wanted while the row shows a result marker: the number stored before, or
    // the key the page starts with (keys are not stored).
    QString ValueBehindMarker(const QString &list, int row) const;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;
    void customEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int RowCount() const;
    EngNumbersRows::EngNumbersValues CurrentValues() const;
    void ApplySwitchRow(const TPageData &v, int row, QCheckBox *box);
    void ApplyDispRow(const TPageData &v);

    void DispLinkOffClick(QRadioButton *sender);
    bool DispLinkTimeEditKeyPress(QChar key);
    void EngNumbersOnCheckBoxClick();
    void TMemCheckBoxClick();
    void WMCommandDone(const TCommandDoneEvent &done);

    std::unique_ptr<Ui::TEngNumbersFrame> ui;
};
