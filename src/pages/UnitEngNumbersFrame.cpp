#include "pages/UnitEngNumbersFrame.h"

#include "pages/ConstEngNumbersFrame.h"
#include "pages/ConstTouchMemKeysFrame.h"
#include "pages/ExecCommandEvents.h"
#include "pages/GeneralRows.h"
#include "pages/KeyEditorUnit.h"
#include "pages/ResultMarkers.h"
#include "pages/ValueListEditor.h"
#include "settings/SetInfoLoader.h"
#include "settings/SettingsRW.h"
#include "ui_UnitEngNumbersFrame.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>

#include <exception>

using namespace EngNumbersRows;
namespace C = ConstEngNumbersFrame;
namespace VL = ValueListEditor;

namespace {

const char *const kWrongMode = "Ключи TM можно активировать только во 2 или 3 режимах работы.";
constexpr int ModeCheckCode = 83; // the events word whose low byte is the operating mode

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];

std::optional<QChar> NumberCharFilter(QChar c)
{
    if (c == QLatin1Char('\b') || c == QLatin1Char(' ') || c == QLatin1Char('+') ||
        c == QLatin1Char(';') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
        return c;
    return std::nullopt;
}

bool RowRead(const TPageData &v, int row)
{
    return row <= v.RowCount() && v.ColCount() >= 2 && v(row, 2).toInt() == 1;
}

} // namespace

TEngNumbersFrame::TEngNumbersFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("EngNumbersFrame"), parent),
      ui(std::make_unique<Ui::TEngNumbersFrame>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("EngNumbersFrame"));
    ui->EngNumbers->setItemDelegateForColumn(
        VL::ValueColumn, new TCellKeyFilter(&NumberCharFilter, {}, ui->EngNumbers));
    VL::ResetMarksOnChange(*ui->EngNumbers);
    VL::ResetMarksOnChange(*ui->TMemKeys);
    ui->DispLinkTimeEdit->installEventFilter(this);
    for (QRadioButton *radio : {ui->DispLinkOff, ui->DispLinkOn, ui->DispLinkOnTime})
        connect(radio, &QRadioButton::toggled, this,
                [this, radio] { Guarded([&] { DispLinkOffClick(radio); }); });
    connect(ui->EngNumbersOnCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([this] { EngNumbersOnCheckBoxClick(); }); });
    connect(ui->TMemCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([this] { TMemCheckBoxClick(); }); });
    KeyListActions::Bind(*ui->TMemKeys, ui->AddKey, ui->ChangeKey, ui->ClearKey,
                         Window.CommandTarget);
}

TEngNumbersFrame::~TEngNumbersFrame() = default;

int TEngNumbersFrame::RowCount() const
{
    return Window.DeviceModel
               ? EngNumbersRows::RowCount(Window.DeviceType(), Window.DeviceVersion())
               : LastKeyRow;
}

// --- Settings ---

void TEngNumbersFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    const QString section = QString::fromLatin1(C::Section);
    LoadSetInfoTable(this, *Settings, section, C::SetInfo);
    VL::LockKeyColumn(*ui->EngNumbers);
    ui->DispLinkOff->setChecked(true);
    DispLinkOffClick(ui->DispLinkOff);
    EngNumbersOnCheckBoxClick();

    // Nothing of the keys is stored: every start shows the default keys, switched off.
    QTableWidget &keys = *ui->TMemKeys;
    keys.setHorizontalHeaderLabels(
        SplitStoredLines(QString::fromUtf8(ConstTouchMemKeysFrame::KeyTitles)));
    SetValueListRows(&keys,
                     SplitStoredLines(QString::fromUtf8(ConstTouchMemKeysFrame::DefaultKeys)));
    VL::LockKeyColumn(keys);
    keys.setEnabled(ui->TMemCheckBox->isChecked());
    ui->EngNumbers->setColumnWidth(VL::KeyColumn, 150);
    ui->EngNumbers->setColumnWidth(VL::ValueColumn, 106);
    keys.setColumnWidth(VL::KeyColumn, 150);
    keys.setColumnWidth(VL::ValueColumn, 285);
}

void TEngNumbersFrame::SaveUISettings()
{
    if (!Settings)
        TPageFrame::LoadUISettings();
    Guarded([&] {
        VL::SaveSetInfoTableKeepingMarkedRows(this, *Settings, QString::fromLatin1(C::Section),
                                              C::SetInfo, C::NumbersRow, *ui->EngNumbers);
    });
    TPageFrame::SaveUISettings();
}

QString TEngNumbersFrame::ValueBehindMarker(const QString &list, int row) const
{
    if (list == ui->TMemKeys->objectName())
        return ResultMarkers::LineValue(
            SplitStoredLines(QString::fromUtf8(ConstTouchMemKeysFrame::DefaultKeys)), row);
    if (list != ui->EngNumbers->objectName())
        return {};
    const auto storedNumber = [&](const TSettingsRW &store) {
        return ResultMarkers::LineValue(
            VL::StoredLines(store, QString::fromLatin1(C::Section), C::SetInfo, C::NumbersRow),
            row);
    };
    return Settings ? storedNumber(*Settings)
                    : storedNumber(TSettingsRW(TSettingsRW::RegistryKind, SettingsKey));
}

// --- Page data ---

void TEngNumbersFrame::SetPageData(const TPageData &v)
{
    ApplyPageData(v);
}

void TEngNumbersFrame::ApplyPageData(const TPageData &v)
{
    ui->Panel2->hide();
    ApplyDispRow(v);
    ApplySwitchRow(v, NumbersOnRow, ui->EngNumbersOnCheckBox);
    for (int i = 0; i < NumberCount; ++i) {
        const int row = FirstNumberRow + i;
        VL::SetValue(*ui->EngNumbers, i + 1,
                     RowRead(v, row) ? v(row, 1).toString() : ResultMarkers::ReadError);
    }
    ApplySwitchRow(v, KeysOnRow, ui->TMemCheckBox);
    for (int row = FirstKeyRow; row <= LastKeyRow; ++row)
        VL::SetValue(*ui->TMemKeys, row - KeysOnRow,
                     RowRead(v, row) ? v(row, 1).toString() : ResultMarkers::ReadError);
    if (RowCount() >= KeyHistoryRow)
        ApplySwitchRow(v, KeyHistoryRow, ui->SaveKeyToHistory);
}

void TEngNumbersFrame::ApplyDispRow(const TPageData &v)
{
    if (!RowRead(v, DispRow)) {
        SetLabelColor(ui->DispLinkGroup, clRed);
        return;
    }
    const DispSetting disp = DispFromRaw(v(DispRow, 1).toInt());
    switch (disp.link) {
    case DispLink::On:
        ui->DispLinkOn->setChecked(true);
        break;
    case DispLink::Off:
        ui->DispLinkOff->setChecked(true);
        break;
    case DispLink::OnTime:
        ui->DispLinkOnTime->setChecked(true);
        ui->Panel2->show();
        SetLabelColor(ui->DispLinkTimeLabel, clGreen);
        ui->DispLinkTimeEdit->setText(QString::number(disp.minutes));
        break;
    }
    SetLabelColor(ui->DispLinkGroup, clGreen);
}

// A switch row: the box is set first (its handler runs), then its caption shows the result.
void TEngNumbersFrame::ApplySwitchRow(const TPageData &v, int row, QCheckBox *box)
{
    if (!RowRead(v, row)) {
        SetLabelColor(box, clRed);
        return;
    }
    box->setChecked(GeneralRows::SwitchFromRaw(v(row, 1).toInt()));
    SetLabelColor(box, clGreen);
}

EngNumbersValues TEngNumbersFrame::CurrentValues() const
{
    EngNumbersValues values;
    values.disp = ui->DispLinkOnTime->isChecked() ? DispLink::OnTime
                  : ui->DispLinkOn->isChecked()   ? DispLink::On
                                                  : DispLink::Off;
    values.minutes = ui->DispLinkTimeEdit->text();
    values.numbersOn = ui->EngNumbersOnCheckBox->isChecked();
    values.numbers = VL::Values(*ui->EngNumbers);
    values.keysOn = ui->TMemCheckBox->isChecked();
    values.keys = VL::Values(*ui->TMemKeys);
    values.keyHistory = ui->SaveKeyToHistory->isChecked();
    return values;
}

// Minutes that are no number in 1..254 stop the write: their caption turns red; so does a number
// or key that cannot go inside one command, its key name red and in view.
void TEngNumbersFrame::GetPageData(TPageData &v)
{
    const std::optional<TPageData> rows = WriteRows(CurrentValues(), RowCount());
    if (!rows) {
        SetLabelColor(ui->DispLinkTimeLabel, clRed);
        v.Clear();
        return;
    }
    v = *rows;
    // A number or key the unit's code page cannot carry would reach the unit with "?" in it; one
    // with a control character would split its command.
    const QList<int> outside = RowsNotCarriedInOneLine(v);
    if (outside.isEmpty())
        return;
    VL::MarkRows(*ui->EngNumbers, outside, FirstNumberRow, clRed);
    VL::MarkRows(*ui->TMemKeys, outside, FirstKeyRow, clRed);
    v.Clear();
}

void TEngNumbersFrame::ShowWriteResults(const TWriteResults &results)
{
    for (int i = 0; i < results.size(); ++i) {
        const int row = i + 1;
        if (row == DispRow)
            SetResultColor(ui->DispLinkGroup, results[i]);
        else if (row == NumbersOnRow)
            SetResultColor(ui->EngNumbersOnCheckBox, results[i]);
        else if (row >= FirstNumberRow && row <= LastNumberRow && results[i] == 1)
            VL::SetValue(*ui->EngNumbers, row - NumbersOnRow, ResultMarkers::WriteError);
    }
}

// --- Handlers ---

void TEngNumbersFrame::DispLinkOffClick(QRadioButton *sender)
{
    ResetLabelColor(ui->DispLinkGroup);
    ResetLabelColor(ui->DispLinkTimeLabel);
    ui->Panel2->setVisible(sender->property("Tag").toInt() == 3 && sender->isChecked());
}

bool TEngNumbersFrame::eventFilter(QObject *watched, QEvent *event)
{
    bool drop = false;
    if (watched == ui->DispLinkTimeEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->text().size() == 1 && IsTypedCharacter(*key))
            Guarded([&] { drop = !DispLinkTimeEditKeyPress(key->text()[0]); });
    }
    return drop || TPageFrame::eventFilter(watched, event);
}

// Only digits and Backspace pass; typing puts the colours back.
bool TEngNumbersFrame::DispLinkTimeEditKeyPress(QChar key)
{
    ResetLabelColor(ui->DispLinkTimeEdit);
    ResetLabelColor(ui->DispLinkTimeLabel);
    return key == QLatin1Char('\b') || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

void TEngNumbersFrame::EngNumbersOnCheckBoxClick()
{
    ResetLabelColor(ui->EngNumbersOnCheckBox);
    const bool on = ui->EngNumbersOnCheckBox->isChecked();
    ui->EngNumbers->setEnabled(on);
    ui->DispLinkGroup->setEnabled(on);
    ui->Panel2->setEnabled(on);
}

// Ticking the box asks the unit for its mode, except while a page read sets the box.
void TEngNumbersFrame::TMemCheckBoxClick()
{
    const bool on = ui->TMemCheckBox->isChecked();
    ui->TMemKeys->setEnabled(on);
    ui->SaveKeyToHistory->setEnabled(on);
    if (!on) {
        ui->SaveKeyToHistory->setChecked(false);
        return;
    }
    if (!Window.Reading || !Window.Reading())
        PostExecCommand(Window.CommandTarget, ModeCheckCode, this);
}

void TEngNumbersFrame::customEvent(QEvent *event)
{
    if (event->type() == WM_COMMANDDONE)
        Guarded([&] { WMCommandDone(*static_cast<TCommandDoneEvent *>(event)); });
}

// Keys work in the second and third mode only; no answer counts as neither (the box goes off).
void TEngNumbersFrame::WMCommandDone(const TCommandDoneEvent &done)
{
    if (!done.IsCurrent())
        return;
    const int mode = done.Record.Text1.toInt() & 0xFF;
    if (mode == 1 || mode == 2)
        return;
    QMessageBox::information(this, QApplication::applicationName(), QString::fromUtf8(kWrongMode));
    ui->TMemCheckBox->setChecked(false);
}
