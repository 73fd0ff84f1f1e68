#pragma once

// Page 3: which input transitions go into the history and raise flags, the operating mode with
// its sensor timings, the two outputs, the frequency and flow sensor inputs, the ignition signal
// from the CAN bus, and the unit's current flags with the two buttons that act at once. Converts
// between its controls and the unit's rows (EventsRows), checks the times before a write and
// colours the rows after a read or write.
//
// The sensor boxes and the CAN ignition box reach controls of the CAN page through the main
// window's hooks (SetCANParamEnabled, SetCANFormatSecond, CANPageControl); without them they
// change only this page.

#include "pages/EventsRows.h"
#include "pages/PageFrame.h"

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace Ui {
class TEventsSettingsFrame;
}

class TEventsSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 3;

    explicit TEventsSettingsFrame(QWidget *parent = nullptr);
    ~TEventsSettingsFrame() override;

    void SaveUISettings() override;
    void GetPageData(TPageData &v) override;
    void ShowWriteResults(const TWriteResults &results) override;

    // Applies the layout of ModeCombo's mode (the settings file calls it after setting the index).
    void ModeComboChange();

    // The ignition option as the CAN page's vehicle choice allows it: not allowed unticks and
    // disables it, allowed enables it.
    void SetCANIgnitionAllowed(bool allowed);
    bool CANIgnitionChecked() const;

    quint16 FlagStates() const { return flagStates; }

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &v) override;

private:
    using FlagGroup = std::array<QCheckBox *, EventsRows::FlagBoxCount>;

    void ConnectHandlers();
    void SetUpFlagsGrid();
    void SetUpSpeedButtonGlyph();

    void ApplyRow(int row, const QVariant &value);
    void ColourRow(int row, const QColor &color);
    EventsRows::EventsValues CurrentValues() const;
    bool ValidateValues();

    void SetFlagBoxes(const FlagGroup &group, const EventsRows::FlagBoxes &boxes);
    static EventsRows::FlagBoxes FlagBoxesOf(const FlagGroup &group);
    void SetGroupColor(const FlagGroup &group, const QColor &color);
    const FlagGroup &GroupOfRow(int row) const;

    void SetFlagHandlers(bool attach);
    void FlagBoxClick(const FlagGroup &group);
    bool TimeEditKeyPress(QLineEdit *edit, const QString &key);
    void CheckBoxClick(int sensor);
    void CANCheckBoxClick();
    void ClearAllClick();
    void SpeedButton1Click();
    void FrameResize();
    void ShowFlagStates(quint16 word);

    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<Ui::TEventsSettingsFrame> ui;
    FlagGroup hisSet{}, hisRest{}, flagSet{}, flagRest{};
    std::array<QCheckBox *, 4> sensorBoxes{};
    // Whether each sensor box, when its handler last acted, claimed its input.
    std::array<bool, 4> sensorClaims{};
    bool flagHandlersAttached = true;
    quint16 flagStates = 0;
};
