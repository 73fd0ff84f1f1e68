#include "pages/UnitGeneralSettingsFrame.h"

#include "pages/ConstGeneralSettingsFrame.h"
#include "pages/TypingLimit.h"
#include "settings/Delphi.h"
#include "settings/SettingsRW.h"
#include "ui_UnitGeneralSettingsFrame.h"

#include <QKeyEvent>
#include <QPalette>

#include <exception>

using namespace GeneralRows;
namespace C = ConstGeneralSettingsFrame;

namespace {

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];

QString StrippedCaption(const QString &caption)
{
    QString text = caption;
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
}

} // namespace

TGeneralSettingsFrame::TGeneralSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GeneralSettingsFrame"), parent),
      ui(std::make_unique<Ui::TGeneralSettingsFrame>())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("GeneralSettingsFrame"));
    TTypingLimit::InstallAll(this);

    for (QLineEdit *edit : {ui->ObjectNumberEdit, ui->LatEdit, ui->LonEdit, ui->TimeIntervalEdit,
                            ui->TimeOffEdit, ui->TimeGSMOnEdit})
        edit->installEventFilter(this);
    for (QCheckBox *box : {ui->PathSmoothingCheckBox, ui->GPSOffBox, ui->GSMOffBox})
        connect(box, &QCheckBox::toggled, this,
                [this, box] { Guarded([&] { PathSmoothingCheckBoxClick(box); }); });
    connect(ui->RebootCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([&] { RebootCheckBoxClick(); }); });
    RebootCheckBoxClick();
    UpdateAccessibleNames();
}

TGeneralSettingsFrame::~TGeneralSettingsFrame() = default;

// --- Settings ---

void TGeneralSettingsFrame::LoadUISettings()
{
    ui->TimeCombo->clear();
    for (int minutes = RebootFirstMinutes; minutes <= RebootLastMinutes; ++minutes)
        ui->TimeCombo->addItem(QString::number(minutes));
    ui->TimeCombo->setCurrentIndex(-1);
    TPageFrame::LoadUISettings();
    LoadCaptions();
    LoadRememberedValues();
    UpdateAccessibleNames();
}

void TGeneralSettingsFrame::LoadCaptions()
{
    QWidget *const bound[C::GeneralCaptionCount] = {
        ui->ObjectNumberLabel, ui->LatLabel,    ui->LonLabel,    ui->LabelTimeInterval,
        ui->PathSmoothLabel,   ui->GPSOffLabel, ui->GSMOffLabel, ui->TimeOffLabel,
        ui->TimeGSMOnLabel,    ui->EnergyGroup};
    for (int k = 0; k < C::GeneralCaptionCount; ++k) {
        const QString text = ReadCaption(C::GeneralCaptions[k]);
        if (auto *label = qobject_cast<QLabel *>(bound[k]))
            label->setText(LabelText(text));
        else if (auto *group = qobject_cast<QGroupBox *>(bound[k]))
            group->setTitle(text);
    }
}

void TGeneralSettingsFrame::LoadRememberedValues()
{
    ui->ObjectNumberEdit->setText(
        QString::number(ReadStoredInt(C::DefObjectNumber, C::DefaultObjectNumber)));
    TTypingLimit::SetText(ui->LatEdit, QString::number(ReadStoredInt(C::DefLat, C::DefaultLat)));
    TTypingLimit::SetText(ui->LonEdit, QString::number(ReadStoredInt(C::DefLon, C::DefaultLon)));
    TTypingLimit::SetText(ui->TimeIntervalEdit,
                          QString::number(ReadStoredInt(C::DefTime, C::DefaultTime)));
    ui->PathSmoothingCheckBox->setChecked(ReadStoredBool(C::DefSmooth, C::DefaultSmooth));
    ui->GPSOffBox->setChecked(ReadStoredBool(C::DefGPSOff, C::DefaultGPSOff));
    ui->GSMOffBox->setChecked(ReadStoredBool(C::DefGSMOff, C::DefaultGSMOff));
    TTypingLimit::SetText(ui->TimeOffEdit,
                          QString::number(ReadStoredInt(C::DefTimeOff, C::DefaultTimeOff)));
    TTypingLimit::SetText(ui->TimeGSMOnEdit,
                          QString::number(ReadStoredInt(C::DefGSMOn, C::DefaultGSMOn)));
}

void TGeneralSettingsFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    SaveRememberedValues();
    SaveCaptions();
    TPageFrame::SaveUISettings();
}

void TGeneralSettingsFrame::SaveRememberedValues()
{
    // An edit that does not hold a number keeps what was stored before.
    const auto writeNumber = [&](const char *ident, const QLineEdit *edit) {
        if (const std::optional<int> n = EditNumber(edit->text()))
            WriteStored(ident, *n);
    };
    const auto writeFlag = [&](const char *ident, const QCheckBox *box) {
        WriteStored(ident, box->isChecked());
    };
    writeNumber(C::DefObjectNumber, ui->ObjectNumberEdit);
    writeNumber(C::DefLat, ui->LatEdit);
    writeNumber(C::DefLon, ui->LonEdit);
    writeNumber(C::DefTime, ui->TimeIntervalEdit);
    writeFlag(C::DefSmooth, ui->PathSmoothingCheckBox);
    writeFlag(C::DefGPSOff, ui->GPSOffBox);
    writeFlag(C::DefGSMOff, ui->GSMOffBox);
    writeNumber(C::DefTimeOff, ui->TimeOffEdit);
    writeNumber(C::DefGSMOn, ui->TimeGSMOnEdit);
}

void TGeneralSettingsFrame::SaveCaptions()
{
    SaveCaptionPairs(C::GeneralCaptions);
}

// --- Rows ---

QList<QLabel *> TGeneralSettingsFrame::RowLabels(int row) const
{
    switch (row) {
    case ObjectNumberRow:
        return {ui->ObjectNumberLabel};
    case LatRow:
        return {ui->LatLabel};
    case LonRow:
        return {ui->LonLabel};
    case TimeIntervalRow:
        return {ui->LabelTimeInterval};
    case PathSmoothingRow:
        return {ui->PathSmoothLabel};
    case GPSOffRow:
        return {ui->GPSOffLabel};
    case GSMOffRow:
        return {ui->GSMOffLabel};
    case TimeOffRow:
        return {ui->TimeOffLabel};
    case TimeGSMOnRow:
        return {ui->TimeGSMOnLabel};
    case RebootRow:
        return {ui->RebootLabel, ui->TimeLabel};
    default:
        return {};
    }
}

QLineEdit *TGeneralSettingsFrame::RowEdit(int row) const
{
    switch (row) {
    case ObjectNumberRow:
        return ui->ObjectNumberEdit;
    case LatRow:
        return ui->LatEdit;
    case LonRow:
        return ui->LonEdit;
    case TimeIntervalRow:
        return ui->TimeIntervalEdit;
    case TimeOffRow:
        return ui->TimeOffEdit;
    case TimeGSMOnRow:
        return ui->TimeGSMOnEdit;
    default:
        return nullptr;
    }
}

void TGeneralSettingsFrame::SetRowColor(int row, const QColor &color)
{
    for (QLabel *label : RowLabels(row)) {
        if (color.isValid())
            SetLabelColor(label, color);
        else
            ResetLabelColor(label);
    }
}

void TGeneralSettingsFrame::ResetRowColor(int row)
{
    SetRowColor(row, QColor());
    SetEditTextColor(RowEdit(row), QColor());
}

void TGeneralSettingsFrame::UpdateAccessibleNames()
{
    const std::pair<QCheckBox *, QLabel *> boxes[] = {
        {ui->PathSmoothingCheckBox, ui->PathSmoothLabel},
        {ui->GPSOffBox, ui->GPSOffLabel},
        {ui->GSMOffBox, ui->GSMOffLabel},
        {ui->RebootCheckBox, ui->RebootLabel}};
    for (const auto &[box, label] : boxes)
        box->setAccessibleName(StrippedCaption(label->text()));
}

// --- Page data ---

void TGeneralSettingsFrame::SetPageData(const TPageData &v)
{
    if (!v.IsAssigned()) {
        ApplyPageData(TPageData(RowCount, 2, 0));
        return;
    }
    ApplyPageData(v);
}

void TGeneralSettingsFrame::ApplyPageData(const TPageData &v)
{
    for (int r = 1; r <= RowCount; ++r) {
        const bool inside = r <= v.RowCount() && v.ColCount() >= 2;
        const bool read = inside && v(r, 2).toInt() != 0;
        bool shown = false;
        if (read)
            Guarded([&] {
                ApplyRow(r, v(r, 1));
                shown = true;
            });
        SetRowColor(r, shown ? clGreen : clRed);
    }
}

void TGeneralSettingsFrame::ApplyRow(int row, const QVariant &value)
{
    const int raw = value.toInt();
    switch (row) {
    case ObjectNumberRow:
        if (const std::optional<int> n = ObjectNumberFromReply(value))
            ui->ObjectNumberEdit->setText(QString::number(*n));
        else
            throw EConvertError(QStringLiteral("object number"));
        break;
    case LatRow:
        TTypingLimit::SetText(ui->LatEdit, QString::number(LatOffsetFromRaw(raw)));
        break;
    case LonRow:
        TTypingLimit::SetText(ui->LonEdit, QString::number(LonOffsetFromRaw(raw)));
        break;
    case TimeIntervalRow:
        TTypingLimit::SetText(ui->TimeIntervalEdit, QString::number(raw));
        break;
    case PathSmoothingRow:
        ui->PathSmoothingCheckBox->setChecked(SwitchFromRaw(raw));
        break;
    case GPSOffRow:
        ui->GPSOffBox->setChecked(SwitchFromRaw(raw));
        break;
    case GSMOffRow:
        ui->GSMOffBox->setChecked(SwitchFromRaw(raw));
        break;
    case TimeOffRow:
        TTypingLimit::SetText(ui->TimeOffEdit, QString::number(raw));
        break;
    case TimeGSMOnRow:
        TTypingLimit::SetText(ui->TimeGSMOnEdit, QString::number(raw));
        break;
    case RebootRow: {
        const RebootSetting reboot = RebootFromRaw(raw);
        ui->RebootCheckBox->setChecked(reboot.reboot);
        RebootCheckBoxClick();
        if (reboot.reboot)
            ui->TimeCombo->setCurrentIndex(reboot.itemIndex);
        break;
    }
    default:
        break;
    }
}

GeneralValues TGeneralSettingsFrame::CurrentValues() const
{
    GeneralValues v;
    v.objectNumber = ui->ObjectNumberEdit->text();
    v.lat = ui->LatEdit->text();
    v.lon = ui->LonEdit->text();
    v.timeInterval = ui->TimeIntervalEdit->text();
    v.pathSmoothing = ui->PathSmoothingCheckBox->isChecked();
    v.gpsOff = ui->GPSOffBox->isChecked();
    v.gsmOff = ui->GSMOffBox->isChecked();
    v.timeOff = ui->TimeOffEdit->text();
    v.timeGSMOn = ui->TimeGSMOnEdit->text();
    v.reboot = ui->RebootCheckBox->isChecked();
    v.rebootMinutes = ui->TimeCombo->currentIndex() >= 0 ? ui->TimeCombo->currentText() : QString();
    return v;
}

bool TGeneralSettingsFrame::ValidateValues()
{
    const GeneralValues values = CurrentValues();
    const GeneralValidation check = ValidateGeneralValues(values);
    if (check.objectNumberBad)
        SetLabelColor(ui->ObjectNumberLabel, clRed);
    const std::pair<bool, int> edits[] = {{check.latBad, LatRow},
                                          {check.lonBad, LonRow},
                                          {check.timeIntervalBad, TimeIntervalRow},
                                          {check.timeOffBad, TimeOffRow},
                                          {check.timeGSMOnBad, TimeGSMOnRow}};
    for (const auto &[bad, row] : edits)
        if (bad)
            SetEditTextColor(RowEdit(row), clRed);
    // An edit without a number has no text to show red: its caption turns red instead.
    for (int row : {ObjectNumberRow, LatRow, LonRow, TimeIntervalRow, TimeOffRow, TimeGSMOnRow})
        if (!EditNumber(RowEdit(row)->text()))
            SetRowColor(row, clRed);
    if (check.rebootBad)
        SetRowColor(RebootRow, clRed);
    return check.ok();
}

void TGeneralSettingsFrame::GetPageData(TPageData &v)
{
    if (!ValidateValues()) {
        v.Clear();
        return;
    }
    const auto values = GeneralWriteValues(CurrentValues());
    if (!values) {
        v.Clear();
        return;
    }
    v = TPageData(RowCount, 3);
    for (int r = 1; r <= RowCount; ++r) {
        v(r, 1) = r;
        v(r, 2) = (*values)[r - 1];
        v(r, 3) = false;
    }
}

void TGeneralSettingsFrame::ShowWriteResults(const TWriteResults &results)
{
    for (int i = 0; i < results.size() && i < RowCount; ++i) {
        const int result = results[i];
        if (i + 1 == RebootRow) {
            SetResultColor(ui->RebootLabel, result);
            if (ui->RebootCheckBox->isChecked())
                SetResultColor(ui->TimeLabel, result);
        } else {
            for (QLabel *label : RowLabels(i + 1))
                SetResultColor(label, result);
        }
    }
}

// --- Handlers ---

bool TGeneralSettingsFrame::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit == nullptr)
        return QWidget::eventFilter(watched, event);
    bool drop = false;
    Guarded([&] {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (IsTypedCharacter(*key))
                drop = !ObjectNumberEditKeyPress(edit, key->text());
            else if (key->key() == Qt::Key_Delete)
                ResetRowColor(edit->property("Tag").toInt()); // an edit of the row all the same
        } else if (event->type() == QEvent::FocusOut &&
                   (edit == ui->TimeIntervalEdit || edit == ui->TimeOffEdit ||
                    edit == ui->TimeGSMOnEdit)) {
            TimeIntervalEditExit(edit);
        }
    });
    return drop || QWidget::eventFilter(watched, event);
}

// Shared by the six edits: the row's colours return to normal; only digits and backspace pass.
bool TGeneralSettingsFrame::ObjectNumberEditKeyPress(QLineEdit *edit, const QString &key)
{
    ResetRowColor(edit->property("Tag").toInt());
    const QChar c = key.at(0);
    if (key.size() != 1)
        return false;
    if (c == QLatin1Char('\b'))
        return true;
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Shared by the three switch boxes of rows 5-7.
void TGeneralSettingsFrame::PathSmoothingCheckBoxClick(QCheckBox *box)
{
    SetRowColor(box->property("Tag").toInt(), QColor());
}

// Shared by the three time edits.
void TGeneralSettingsFrame::TimeIntervalEditExit(QLineEdit *edit)
{
    const QString clamped = ClampTimeText(edit->text());
    if (clamped != edit->text())
        edit->setText(clamped);
}

void TGeneralSettingsFrame::RebootCheckBoxClick()
{
    const bool on = ui->RebootCheckBox->isChecked();
    ui->TimeLabel->setEnabled(on);
    ui->TimeCombo->setEnabled(on);
}
