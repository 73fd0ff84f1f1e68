#pragma once

// Page 5: the unit's CAN bus interface. A type 504 unit takes four user parameters (identifier
// and bit shift each, in one of two data formats); a type 505 unit takes a vehicle chosen from the
// vehicle database, the events it records into its history, and shows the vehicle's live values.
// The rows on the wire are CANRows'; the forms' control names are relied on by the events page,
// the settings file and the device model adaptation.

#include "can/CANRows.h"
#include "can/DMUnit.h"
#include "pages/PageFrame.h"

#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class TCommandDoneEvent;

namespace Ui {
class TCANFrame;
}

class TCANFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 5;

    explicit TCANFrame(QWidget *parent = nullptr);
    ~TCANFrame() override;

    void SaveUISettings() override;
    void GetPageData(TPageData &V) override;
    void ShowWriteResults(const TWriteResults &Results) override;

    // The result colour (0 green, 1 red) of the page's groups.
    void SetResultColor(int Result);
    // Which events the selected vehicle supports (database mask); also enables or clears the
    // events page's CAN ignition option.
    void SetCarMask(int Mask);

    // Live values: one "+cancur" text, and the three status bytes.
    void ShowLiveData(const QString &Text);
    void ShowBodyStatus(int Value);
    void ShowDriveStatus(int Value);
    void ShowEngineStatus(int Value);

    // The sheets of the page control: the J1939 standard sheet (removed at start), the user
    // parameters sheet and the vehicle selection sheet.
    QTabWidget *PageControl1() const;
    QWidget *UserSetSheet() const;
    QWidget *CarSelectSheet() const;
    void RemoveStandartSetSheet();
    void SetCarSelectSheetTabVisible(bool Visible);
    // Shows the vehicle database's lists on the vehicle sheet; the database may come after Init,
    // and then also locates a car id read before it came.
    void AttachVehicleDatabase();

    QTimer Timer; // auto-refresh of the live values

protected:
    void LoadUISettings() override;
    void ApplyPageData(const TPageData &V) override;

    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void customEvent(QEvent *event) override;

private:
    CANRows::RowSet CurrentRowSet() const;
    void ApplyUserParams(const TPageData &V);
    void ApplyVehicle(const TPageData &V, CANRows::RowSet Set);
    bool ApplyEventMask(const QVariant &Value);
    std::optional<CANRows::UserParams> CurrentUserParams();
    quint32 CheckedEventMask() const;
    int SelectedCarId() const;
    void PutCarIdRow(TPageData &V) const;
    bool LocateCar(int CarId);
    void BindVehicleLists();
    QComboBox *VehicleList(int List) const;
    QList<QWidget *> ResultGroups() const;

    QCheckBox *EventBox(int Box) const;
    QLineEdit *IdEdit(int Param) const;
    QComboBox *ShiftCombo(int Param) const;
    QLabel *IdLabel(int Param) const;
    void ShowLiveValues(const CANRows::LiveValues &Values);
    void ShowStatusBits(int Value, int FirstBit);

    void CANFormatGroupClick();
    void ResetResultColor();
    bool IdEditKeyPress(QLineEdit *Edit, const QString &Key);
    void CheckBox1Click();
    void ComboBox2Change();
    void TimerTimer();
    void WMCommandDone(const TCommandDoneEvent &Done);
    void StopAutoRefresh();
    void FocusChanged(QWidget *Old, QWidget *Now);

    void SelSPNClick(QWidget *Button);

    std::unique_ptr<Ui::TCANFrame> ui;
    TSPNSlots SPNs;                 // the SPN chosen for each slot of the standard sheet
    bool idRefused = false;         // the last write request was refused for an identifier
    std::optional<int> carToLocate; // a car id read while the database was coming in
    bool vehicleSettled = false;    // a read located the vehicle shown, or the user chose it
};
