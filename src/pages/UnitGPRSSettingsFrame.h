#pragma once

// Page 1: GPRS on or off, the modem reboot time, the server password, the main and the
// alternative connection parameters and the two alarm phones with their logic. Converts between
// its controls and the unit's rows (GPRSRows) and colours the row labels after a read or write.

#include "pages/PageFrame.h"

#include <memory>

class QLabel;
class QLineEdit;

namespace Ui {
class TGPRSSettingsFrame;
}

class TGPRSSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 1;

    explicit TGPRSSettingsFrame(QWidget *parent = nullptr);
    ~TGPRSSettingsFrame() override;

    void SaveUISettings() override;
    void SetPageData(const TPageData &v) override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    void LoadCaptions();
    void LoadRememberedValues();
    void SaveRememberedValues();

    void ConnectAlarmFilling();
    void ShowField(QLineEdit *edit, QLabel *label, bool failed, const QString &text);
    void ShowAlarmLogic(int byte);
    int AlarmLogicValue() const;
    bool MarkTextsNotCarried(const TPageData &v);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void GPRSActiveCheckBoxClick();
    void RebootTimeComboChange();
    bool GPRSPasswordEditKeyPress(QLineEdit *edit, const QString &key);
    void AltPhoneNumberEditChange(QLineEdit *edit);

    // The label that shows row `row`'s status (rows 1 and 4..21), else nullptr.
    QLabel *RowLabel(int row) const;
    // The edit of text row `row` (rows 5..21) or of an alarm phone (rows 23, 24), else nullptr.
    QLineEdit *RowEdit(int row) const;
    // The edits of rows 5..21 in row order.
    QList<QLineEdit *> TextEdits() const;

    std::unique_ptr<Ui::TGPRSSettingsFrame> ui;
    // Whether the alarm logic and the two alarm phones hold something to send: a read of them, the
    // user's choice or typing, or a settings file since the program started.
    bool AlarmLogicFilled = false;
    bool AlarmPhone1Filled = false;
    bool AlarmPhone2Filled = false;
};
