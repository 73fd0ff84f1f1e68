#include "pages/UnitTouchMemKeysFrame.h"

#include "pages/ConstTouchMemKeysFrame.h"
#include "pages/GeneralRows.h"
#include "pages/KeyEditorUnit.h"
#include "pages/ResultMarkers.h"
#include "pages/TouchKeysRows.h"
#include "pages/ValueListEditor.h"
#include "settings/SetInfoLoader.h"
#include "ui_UnitTouchMemKeysFrame.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace C = ConstTouchMemKeysFrame;
namespace VL = ValueListEditor;

namespace {

const char *const kKeyTooLong = "Один из введенных ключей Touch Memory слишком длинный";

bool RowRead(const TPageData &v, int row)
{
    return row <= v.RowCount() && v.ColCount() >= 2 && v(row, 2).toInt() == 1;
}

} // namespace

TTouchMemKeysFrame::TTouchMemKeysFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("TouchMemKeysFrame"), parent),
      ui(std::make_unique<Ui::TTouchMemKeysFrame>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TouchMemKeysFrame"));
    ui->TMemKeys->setItemDelegateForColumn(
        VL::ValueColumn,
        new TCellKeyFilter(
            &TouchKeysRows::KeyCharFilter, [this] { Modified = true; }, ui->TMemKeys));
    VL::ResetMarksOnChange(*ui->TMemKeys);
    connect(ui->TMemCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([this] { TMemCheckBoxClick(); }); });
    KeyListActions::Bind(*ui->TMemKeys, ui->AddKey, ui->ChangeKey, ui->ClearKey,
                         Window.CommandTarget);
}

TTouchMemKeysFrame::~TTouchMemKeysFrame() = default;

// --- Settings ---

// The stored switch is applied like a click, so a stored "on" makes the page writable at once.
void TTouchMemKeysFrame::LoadUISettings()
{
    Modified = false;
    TPageFrame::LoadUISettings();
    LoadSetInfoTable(this, *Settings, QString::fromLatin1(C::Section), C::SetInfo);
    VL::LockKeyColumn(*ui->TMemKeys);
    ui->TMemKeys->setEnabled(ui->TMemCheckBox->isChecked());
    ui->TMemKeys->setColumnWidth(VL::KeyColumn, 150);
    ui->TMemKeys->setColumnWidth(VL::ValueColumn, 493);
}

void TTouchMemKeysFrame::SaveUISettings()
{
    if (!Settings)
        TPageFrame::LoadUISettings();
    Guarded([&] {
        VL::SaveSetInfoTableKeepingMarkedRows(this, *Settings, QString::fromLatin1(C::Section),
                                              C::SetInfo, C::KeysRow, *ui->TMemKeys);
    });
    TPageFrame::SaveUISettings();
}

// --- Page data ---

void TTouchMemKeysFrame::SetPageData(const TPageData &v)
{
    ApplyPageData(v);
}

void TTouchMemKeysFrame::ApplyPageData(const TPageData &v)
{
    if (RowRead(v, 1)) {
        ui->TMemCheckBox->setChecked(GeneralRows::SwitchFromRaw(v(1, 1).toInt()));
        SetLabelColor(ui->TMemCheckBox, ResultColors[0]);
    } else {
        SetLabelColor(ui->TMemCheckBox, ResultColors[1]);
    }
    for (int row = 2; row <= TouchKeysRows::RowCount; ++row)
        VL::SetValue(*ui->TMemKeys, row - 1,
                     RowRead(v, row) ? v(row, 1).toString() : ResultMarkers::ReadError);
}

bool TTouchMemKeysFrame::ValidateKeys()
{
    if (!ui->TMemCheckBox->isChecked() || TouchKeysRows::KeysFit(VL::Values(*ui->TMemKeys)))
        return true;
    QMessageBox::critical(this, QApplication::applicationName(), QString::fromUtf8(kKeyTooLong));
    return false;
}

// A key the unit's code page cannot carry would reach the unit with "?" in it, one with a control
// character (typed, pasted or from the key reader) would split its command: its key name turns red
// and comes into view, and nothing is sent.
void TTouchMemKeysFrame::GetPageData(TPageData &v)
{
    if (!Modified) {
        v.Clear();
        return;
    }
    const TPageData rows =
        TouchKeysRows::WriteRows(ui->TMemCheckBox->isChecked(), VL::Values(*ui->TMemKeys));
    const QList<int> outside = RowsNotCarriedInOneLine(rows);
    VL::MarkRows(*ui->TMemKeys, outside, TouchKeysRows::FirstKeyRow, ResultColors[1]);
    if (!ValidateKeys() || !outside.isEmpty()) {
        v.Clear();
        return;
    }
    v = rows;
}

void TTouchMemKeysFrame::ShowWriteResults(const TWriteResults &results)
{
    for (int i = 0; i < results.size() && i < TouchKeysRows::RowCount; ++i) {
        if (i == 0)
            SetResultColor(ui->TMemCheckBox, results[i]);
        else if (results[i] == 1)
            VL::SetValue(*ui->TMemKeys, i, ResultMarkers::WriteError);
    }
}

// --- Handlers ---

void TTouchMemKeysFrame::TMemCheckBoxClick()
{
    Modified = true;
    ResetLabelColor(ui->TMemCheckBox);
    ui->TMemKeys->setEnabled(ui->TMemCheckBox->isChecked());
}
