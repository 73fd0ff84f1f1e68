#pragma once

// Page 0: object number, coordinate offsets, track interval, path smoothing, power saving and
// the GPS receiver reboot. Converts between its controls and the unit's rows (GeneralRows),
// checks ranges before a write and colours the row labels after a read or write.

#include "pages/GeneralRows.h"
#include "pages/PageFrame.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace Ui {
class TGeneralSettingsFrame;
}

class TGeneralSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 0;

    explicit TGeneralSettingsFrame(QWidget *parent = nullptr);
    ~TGeneralSettingsFrame() override;

    void SaveUISettings() override;
    void SetPageData(const TPageData &v) override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

    bool ValidateValues();

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    void LoadCaptions();
    void LoadRememberedValues();
    void SaveRememberedValues();
    void SaveCaptions();
    void ApplyRow(int row, const QVariant &value);
    GeneralRows::GeneralValues CurrentValues() const;

    bool eventFilter(QObject *watched, QEvent *event) override;
    bool ObjectNumberEditKeyPress(QLineEdit *edit, const QString &key);
    void PathSmoothingCheckBoxClick(QCheckBox *box);
    void TimeIntervalEditExit(QLineEdit *edit);
    void RebootCheckBoxClick();

    QList<QLabel *> RowLabels(int row) const;
    QLineEdit *RowEdit(int row) const;
    void SetRowColor(int row, const QColor &color);
    void ResetRowColor(int row);
    void UpdateAccessibleNames();

    std::unique_ptr<Ui::TGeneralSettingsFrame> ui;
};
