#include "pages/UnitGPSSettingsFrame.h"

#include "pages/ConstGPSSettingsFrame.h"
#include "pages/GPSRows.h"
#include "ui_UnitGPSSettingsFrame.h"

namespace C = ConstGPSSettingsFrame;

namespace {

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];

// A label's caption as stored: its line breaks as CR LF.
QString StoredCaption(const QLabel *label)
{
    QString text = label->text();
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace

TGPSSettingsFrame::TGPSSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GPSSettingsFrame"), parent),
      ui(std::make_unique<Ui::TGPSSettingsFrame>())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("GPSSettingsFrame"));
    connect(ui->RebootCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([this] { RebootCheckBoxClick(); }); });
    connect(ui->TimeCombo, &QComboBox::activated, this,
            [this] { Guarded([this] { TimeComboChange(); }); });
    ui->TimeCombo->setEnabled(false);
}

TGPSSettingsFrame::~TGPSSettingsFrame() = default;

// --- Settings ---

void TGPSSettingsFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    ui->RebootLabel->setText(LabelText(ReadCaption(C::RebootCaption)));
    ui->TimeLabel->setText(LabelText(ReadCaption(C::TimeCaption)));
    timeStart = ReadStoredInt(C::DefTimeComboValStart, C::DefaultTimeComboValStart);
    const int end = ReadStoredInt(C::DefTimeComboValEnd, C::DefaultTimeComboValEnd);
    ui->TimeCombo->clear();
    ui->TimeCombo->addItems(
        GPSRows::TimeItems(timeStart, end, ReadCaption(C::TimeComboValuesMask)));
    ui->TimeCombo->setCurrentIndex(ReadStoredInt(C::DefTimeComboIndex, C::DefaultTimeComboIndex));
    // A ticked box runs its handler: the page then starts as edited.
    ui->RebootCheckBox->setChecked(ReadStoredBool(C::DefRebootCheckBox, C::DefaultRebootCheckBox));
    ui->TimeCombo->setEnabled(ui->RebootCheckBox->isChecked());
}

void TGPSSettingsFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    WriteStored(C::RebootCaption.Ident, StoredCaption(ui->RebootLabel));
    WriteStored(C::TimeCaption.Ident, StoredCaption(ui->TimeLabel));
    WriteStored(C::DefRebootCheckBox, ui->RebootCheckBox->isChecked());
    WriteStored(C::DefTimeComboIndex, ui->TimeCombo->currentIndex());
    TPageFrame::SaveUISettings();
}

// --- Page data ---

void TGPSSettingsFrame::SetLabelsColor(const QColor &color)
{
    for (QLabel *label : {ui->RebootLabel, ui->TimeLabel}) {
        if (color.isValid())
            SetLabelColor(label, color);
        else
            ResetLabelColor(label);
    }
}

void TGPSSettingsFrame::SetPageData(const TPageData &v)
{
    ApplyPageData(v.IsAssigned() ? v : TPageData(1, 2, 0));
}

void TGPSSettingsFrame::ApplyPageData(const TPageData &v)
{
    if (v.ColCount() < 2 || v(1, 2).toInt() == 0) {
        SetLabelsColor(clRed);
        return;
    }
    const GPSRows::RebootSetting setting =
        GPSRows::RebootFromRaw(v(1, 1).toInt(), timeStart, ui->TimeCombo->count());
    ui->RebootCheckBox->setChecked(setting.reboot);
    if (setting.reboot)
        ui->TimeCombo->setCurrentIndex(setting.itemIndex);
    SetLabelsColor(clGreen);
}

void TGPSSettingsFrame::GetPageData(TPageData &v)
{
    v.Clear();
    if (!modified)
        return;
    // A ticked box without a chosen time has nothing to send.
    const std::optional<QString> text = GPSRows::RebootText(
        ui->RebootCheckBox->isChecked(), ui->TimeCombo->currentIndex(), timeStart);
    if (!text)
        return;
    v = TPageData(1, 3);
    v(1, 1) = 1;
    v(1, 2) = *text;
    v(1, 3) = QVariant();
}

// Anything but a confirmed write, a page that sent nothing included, shows red.
void TGPSSettingsFrame::ShowWriteResults(const TWriteResults &results)
{
    SetLabelsColor(!results.isEmpty() && results[0] == 0 ? clGreen : clRed);
    modified = false;
}

// --- Handlers ---

void TGPSSettingsFrame::RebootCheckBoxClick()
{
    ui->TimeCombo->setEnabled(ui->RebootCheckBox->isChecked());
    SetLabelsColor(QColor());
    modified = true;
}

void TGPSSettingsFrame::TimeComboChange()
{
    ResetLabelColor(ui->TimeLabel);
    modified = true;
}
