#include "pages/UnitGPRSSettingsFrame.h"

#include "pages/ConstGPRSSettingsFrame.h"
#include "pages/GPRSRows.h"
#include "pages/TypingLimit.h"
#include "settings/SetInfoLoader.h"
#include "ui_UnitGPRSSettingsFrame.h"

#include <QKeyEvent>

using namespace GPRSRows;
namespace C = ConstGPRSSettingsFrame;

namespace {

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];

constexpr int PortRow = 11;
constexpr int AltPortRow = 19;

} // namespace

TGPRSSettingsFrame::TGPRSSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GPRSSettingsFrame"), parent),
      ui(std::make_unique<Ui::TGPRSSettingsFrame>())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("GPRSSettingsFrame"));
    TTypingLimit::InstallAll(this);

    for (QLineEdit *edit : TextEdits()) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this,
                [this, edit] { Guarded([&] { AltPhoneNumberEditChange(edit); }); });
    }
    connect(ui->GPRSActiveCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([&] { GPRSActiveCheckBoxClick(); }); });
    connect(ui->RebootTimeCombo, &QComboBox::activated, this,
            [this] { Guarded([&] { RebootTimeComboChange(); }); });
    // The alarm controls start empty.
    ui->AlarmCombo1->setCurrentIndex(-1);
    ui->AlarmCombo2->setCurrentIndex(-1);
    ConnectAlarmFilling();
    GPRSActiveCheckBoxClick();
}

TGPRSSettingsFrame::~TGPRSSettingsFrame() = default;

// The alarm rows are not stored: until a read, the user or a settings file fills them, the page
// holds nothing of them to send. A change of a phone also puts back its text colour.
void TGPRSSettingsFrame::ConnectAlarmFilling()
{
    const auto fillLogic = [this] { AlarmLogicFilled = true; };
    connect(ui->AlarmCombo1, &QComboBox::currentIndexChanged, this, fillLogic);
    connect(ui->AlarmCombo2, &QComboBox::currentIndexChanged, this, fillLogic);
    connect(ui->AlarmAND, &QRadioButton::toggled, this, fillLogic);
    connect(ui->AlarmOR, &QRadioButton::toggled, this, fillLogic);
    connect(ui->AlarmPhone1, &QLineEdit::textChanged, this, [this] {
        AlarmPhone1Filled = true;
        SetEditTextColor(ui->AlarmPhone1, QColor());
    });
    connect(ui->AlarmPhone2, &QLineEdit::textChanged, this, [this] {
        AlarmPhone2Filled = true;
        SetEditTextColor(ui->AlarmPhone2, QColor());
    });
}

// --- Settings ---

void TGPRSSettingsFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    LoadCaptions();
    LoadRememberedValues();
    GPRSActiveCheckBoxClick();
}

void TGPRSSettingsFrame::LoadCaptions()
{
    QWidget *const bound[C::RebootValuesIndex] = {ui->CommonGPRSSettingsBox,
                                                  ui->MainGPRSSettingsBox,
                                                  ui->AlternativeGPRSSettingsBox,
                                                  ui->GPRSActiveLabel,
                                                  nullptr,
                                                  nullptr,
                                                  ui->RebootTimeLabel,
                                                  ui->GPRSPasswordLabel,
                                                  ui->PhoneNumberLabel,
                                                  ui->AccessPointLabel,
                                                  ui->UserNameLabel,
                                                  ui->PasswordLabel,
                                                  ui->IPAddressLabel,
                                                  ui->PortLabel,
                                                  ui->FirstDNSLabel,
                                                  ui->SecondDNSLabel,
                                                  ui->AltPhoneNumberLabel,
                                                  ui->AltAccessPointLabel,
                                                  ui->AltUserNameLabel,
                                                  ui->AltPasswordLabel,
                                                  ui->AltIPAddressLabel,
                                                  ui->AltPortLabel,
                                                  ui->AltFirstDNSLabel,
                                                  ui->AltSecondDNSLabel};
    for (int k = 0; k < C::RebootValuesIndex; ++k) {
        if (bound[k] == nullptr)
            continue;
        const QString text = ReadCaption(C::GPRSCaptions[k]);
        if (auto *label = qobject_cast<QLabel *>(bound[k]))
            label->setText(LabelText(text));
        else if (auto *group = qobject_cast<QGroupBox *>(bound[k]))
            group->setTitle(text);
    }
    ui->RebootTimeCombo->clear();
    ui->RebootTimeCombo->addItems(
        SplitStoredLines(ReadCaption(C::GPRSCaptions[C::RebootValuesIndex])));
    ui->RebootTimeCombo->setCurrentIndex(ui->RebootTimeCombo->count() > 0 ? 0 : -1);
}

void TGPRSSettingsFrame::LoadRememberedValues()
{
    ui->GPRSActiveCheckBox->setChecked(ReadStoredBool(C::DefGPRSActive, C::DefaultGPRSActive));
    const int index = ReadStoredInt(C::DefRebootTime, C::DefaultRebootTime);
    if (index >= 0 && index < ui->RebootTimeCombo->count())
        ui->RebootTimeCombo->setCurrentIndex(index);
    const QList<QLineEdit *> edits = TextEdits();
    for (int i = 0; i < C::TextValueCount; ++i)
        TTypingLimit::SetText(edits[i], ReadCaption(C::TextValues[i]));
}

void TGPRSSettingsFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    SaveCaptionPairs(C::GPRSCaptions);
    SaveRememberedValues();
    TPageFrame::SaveUISettings();
}

void TGPRSSettingsFrame::SaveRememberedValues()
{
    WriteStored(C::DefGPRSActive, ui->GPRSActiveCheckBox->isChecked());
    WriteStored(C::DefRebootTime, ui->RebootTimeCombo->currentIndex());
    const QList<QLineEdit *> edits = TextEdits();
    for (int i = 0; i < C::TextValueCount; ++i)
        WriteStored(C::TextValues[i].Ident, edits[i]->text());
}

// --- Rows ---

QList<QLineEdit *> TGPRSSettingsFrame::TextEdits() const
{
    return {ui->GPRSPasswordEdit,   ui->PhoneNumberEdit,    ui->AccessPointEdit,
            ui->UserNameEdit,       ui->PasswordEdit,       ui->IPAddressEdit,
            ui->PortEdit,           ui->FirstDNSEdit,       ui->SecondDNSEdit,
            ui->AltPhoneNumberEdit, ui->AltAccessPointEdit, ui->AltUserNameEdit,
            ui->AltPasswordEdit,    ui->AltIPAddressEdit,   ui->AltPortEdit,
            ui->AltFirstDNSEdit,    ui->AltSecondDNSEdit};
}

QLabel *TGPRSSettingsFrame::RowLabel(int row) const
{
    if (row == GPRSActiveRow)
        return ui->GPRSActiveLabel;
    if (row == RebootTimeRow)
        return ui->RebootTimeLabel;
    if (row < FirstTextRow || row > LastTextRow)
        return nullptr;
    // A text row's label has its edit's stem: "PortLabel" for "PortEdit".
    QString name = RowEdit(row)->objectName();
    name.replace(name.size() - 4, 4, QStringLiteral("Label"));
    return findChild<QLabel *>(name);
}

QLineEdit *TGPRSSettingsFrame::RowEdit(int row) const
{
    if (row == AlarmPhone1Row)
        return ui->AlarmPhone1;
    if (row == AlarmPhone2Row)
        return ui->AlarmPhone2;
    if (row < FirstTextRow || row > LastTextRow)
        return nullptr;
    return TextEdits()[row - FirstTextRow];
}

// --- Page data ---

void TGPRSSettingsFrame::SetPageData(const TPageData &v)
{
    ApplyPageData(v.IsAssigned() ? v : TPageData(RowCount, 2, 0));
}

void TGPRSSettingsFrame::ApplyPageData(const TPageData &v)
{
    const auto read = [&v](int r) {
        return r <= v.RowCount() && v.ColCount() >= 2 && v(r, 2).toInt() != 0;
    };
    const auto value = [&v](int r) { return v(r, 1); };

    if (read(GPRSActiveRow)) {
        ui->GPRSActiveCheckBox->setChecked(SwitchFromRaw(value(GPRSActiveRow).toInt()));
        SetLabelColor(ui->GPRSActiveLabel, clGreen);
    } else {
        SetLabelColor(ui->GPRSActiveLabel, clRed);
    }
    const QList<QLineEdit *> edits = TextEdits();
    for (int r = FirstTextRow; r <= LastTextRow; ++r)
        ShowField(edits[r - FirstTextRow], RowLabel(r), !read(r),
                  read(r) ? value(r).toString() : QString());
    if (read(RebootTimeRow)) {
        ui->RebootTimeCombo->setCurrentIndex(
            RebootItemFromRaw(value(RebootTimeRow).toInt(), ui->RebootTimeCombo->count()));
        SetLabelColor(ui->RebootTimeLabel, clGreen);
    } else {
        SetLabelColor(ui->RebootTimeLabel, clRed);
    }
    // A read fills an alarm row even when the unit's value is what the controls already show.
    if (read(AlarmLogicRow)) {
        ShowAlarmLogic(value(AlarmLogicRow).toInt());
        AlarmLogicFilled = true;
    }
    if (read(AlarmPhone1Row)) {
        TTypingLimit::SetText(ui->AlarmPhone1, value(AlarmPhone1Row).toString());
        AlarmPhone1Filled = true;
    }
    if (read(AlarmPhone2Row)) {
        TTypingLimit::SetText(ui->AlarmPhone2, value(AlarmPhone2Row).toString());
        AlarmPhone2Filled = true;
    }
}

void TGPRSSettingsFrame::ShowField(QLineEdit *edit, QLabel *label, bool failed, const QString &text)
{
    if (failed) {
        SetLabelColor(label, clRed);
        return;
    }
    TTypingLimit::SetText(edit, text); // its change handler resets the label first
    SetLabelColor(label, clGreen);
}

void TGPRSSettingsFrame::ShowAlarmLogic(int byte)
{
    const AlarmLogic logic = AlarmLogicFromByte(byte);
    (logic.alarmOr ? ui->AlarmOR : ui->AlarmAND)->setChecked(true);
    ui->AlarmCombo1->setCurrentIndex(logic.combo1);
    ui->AlarmCombo2->setCurrentIndex(logic.combo2);
}

int TGPRSSettingsFrame::AlarmLogicValue() const
{
    return AlarmLogicByte({ui->AlarmOR->isChecked(), ui->AlarmCombo1->currentIndex(),
                           ui->AlarmCombo2->currentIndex()});
}

void TGPRSSettingsFrame::GetPageData(TPageData &v)
{
    v = TPageData(RowCount, 3);
    for (int r = 1; r <= RowCount; ++r) {
        v(r, 1) = r;
        v(r, 2) = QVariant(); // rows 2 and 3 stay unassigned
        v(r, 3) = false;
    }
    v(GPRSActiveRow, 2) = ui->GPRSActiveCheckBox->isChecked() ? 1 : 0;
    const int reboot = RebootValueForItem(ui->RebootTimeCombo->currentIndex());
    if (reboot < 0) {
        // No item chosen: the row is not sent, and its label says so.
        v(RebootTimeRow, 1) = 0;
        SetLabelColor(ui->RebootTimeLabel, clRed);
    }
    v(RebootTimeRow, 2) = reboot;
    const QList<QLineEdit *> edits = TextEdits();
    for (int r = FirstTextRow; r <= LastTextRow; ++r)
        v(r, 2) = TextRowValue(edits[r - FirstTextRow]->text());
    v(AlarmLogicRow, 2) = AlarmLogicValue();
    v(AlarmPhone1Row, 2) = AlarmPhoneValue(ui->AlarmPhone1->text());
    v(AlarmPhone2Row, 2) = AlarmPhoneValue(ui->AlarmPhone2->text());
    const std::pair<int, bool> alarmRows[] = {{AlarmLogicRow, AlarmLogicFilled},
                                              {AlarmPhone1Row, AlarmPhone1Filled},
                                              {AlarmPhone2Row, AlarmPhone2Filled}};
    for (const auto &[row, filled] : alarmRows)
        if (!filled)
            v(row, 3) = -1; // the unit keeps its own
    if (MarkTextsNotCarried(v))
        v.Clear();
}

// A text that cannot go inside one command (a character the unit's code page cannot carry would
// reach the unit as "?", a control character would split the command) turns its row red (an alarm
// phone, which has no caption, its text), and the first such row is brought into view. True when
// there is such a text, and then nothing of the page is sent.
bool TGPRSSettingsFrame::MarkTextsNotCarried(const TPageData &v)
{
    const QList<int> rows = RowsNotCarriedInOneLine(v);
    for (const int row : rows) {
        if (row == AlarmPhone1Row || row == AlarmPhone2Row)
            SetEditTextColor(RowEdit(row), clRed);
        else if (QLabel *label = RowLabel(row))
            SetLabelColor(label, clRed);
    }
    if (!rows.isEmpty())
        ui->ScrollBox->ensureWidgetVisible(RowEdit(rows.first()));
    return !rows.isEmpty();
}

void TGPRSSettingsFrame::ShowWriteResults(const TWriteResults &results)
{
    for (int i = 0; i < results.size(); ++i)
        if (QLabel *label = RowLabel(i + 1))
            SetResultColor(label, results[i]);
}

// --- Handlers ---

bool TGPRSSettingsFrame::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    bool drop = false;
    if (edit != nullptr && event->type() == QEvent::KeyPress) {
        Guarded([&] {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (IsTypedCharacter(*key))
                drop = !GPRSPasswordEditKeyPress(edit, key->text());
        });
    }
    return drop || QWidget::eventFilter(watched, event);
}

// Shared by the 17 text edits: the row's label returns to normal; the two port edits take only
// digits and backspace.
bool TGPRSSettingsFrame::GPRSPasswordEditKeyPress(QLineEdit *edit, const QString &key)
{
    const int row = edit->property("Tag").toInt();
    ResetLabelColor(RowLabel(row));
    if (row != PortRow && row != AltPortRow)
        return true;
    return key.size() == 1 && (key.at(0) == QLatin1Char('\b') ||
                               (key.at(0) >= QLatin1Char('0') && key.at(0) <= QLatin1Char('9')));
}

// Shared by the 17 text edits.
void TGPRSSettingsFrame::AltPhoneNumberEditChange(QLineEdit *edit)
{
    if (QLabel *label = RowLabel(edit->property("Tag").toInt()))
        ResetLabelColor(label);
}

void TGPRSSettingsFrame::RebootTimeComboChange()
{
    ResetLabelColor(ui->RebootTimeLabel);
}

// The parameters of both sets take part only while GPRS is on.
void TGPRSSettingsFrame::GPRSActiveCheckBoxClick()
{
    const bool on = ui->GPRSActiveCheckBox->isChecked();
    for (QGroupBox *box : {ui->MainGPRSSettingsBox, ui->AlternativeGPRSSettingsBox})
        for (QWidget *child : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            child->setEnabled(on);
}
