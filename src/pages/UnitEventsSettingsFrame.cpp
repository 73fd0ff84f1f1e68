#include "pages/UnitEventsSettingsFrame.h"

#include "device/Commands.h"
#include "pages/ConstEventsSettingsFrame.h"
#include "settings/Delphi.h"
#include "settings/SetInfoLoader.h"
#include "ui_UnitEventsSettingsFrame.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>

#include <exception>

using namespace EventsRows;
namespace C = ConstEventsSettingsFrame;

namespace {

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];

const QStringList FlagsGridTitles = {
    QStringLiteral("Флаги событий"), QStringLiteral("Вход 1"), QStringLiteral("Вход 2"),
    QStringLiteral("Вход 3"),        QStringLiteral("Вход 4"), QStringLiteral("Вход 5"),
    QStringLiteral("Вход 6"),        QStringLiteral("Вход 7"), QStringLiteral("Питание")};
const QString FlagSetMark = QStringLiteral("*");
const QString FlagClearMark = QStringLiteral(" ");
constexpr int FlagsGridRowHeight = 32;
constexpr int FlagMarkSize = 32;

// The mark drawn for a set flag: a red lamp on the grid's face.
QPixmap FlagMarkImage()
{
    QPixmap image(FlagMarkSize, FlagMarkSize);
    image.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(13, 13), 12);
    glow.setColorAt(0, QColor(255, 170, 150));
    glow.setColorAt(1, QColor(200, 20, 10));
    p.setPen(QPen(QColor(120, 10, 10), 1));
    p.setBrush(glow);
    p.drawEllipse(QRectF(6.5, 6.5, 19, 19));
    return image;
}

// The glyph of the button that switches the outputs at once: a lightning bolt.
QPixmap SwitchNowGlyph()
{
    QPixmap image(24, 24);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bolt;
    bolt.moveTo(14, 1);
    bolt.lineTo(4, 13);
    bolt.lineTo(11, 13);
    bolt.lineTo(8, 23);
    bolt.lineTo(20, 9);
    bolt.lineTo(13, 9);
    bolt.closeSubpath();
    p.setPen(QPen(QColor(150, 80, 0), 1));
    p.setBrush(QColor(250, 190, 30));
    p.drawPath(bolt);
    return image;
}

// Draws the flag cells: a blank face, and the mark where the flag is set.
class TFlagsGridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QString text = index.data().toString();
        if (!text.startsWith(FlagClearMark) && !text.startsWith(FlagSetMark)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->fillRect(option.rect, option.palette.button());
        if (text == FlagSetMark)
            painter->drawPixmap(option.rect.left() + (option.rect.width() - FlagMarkSize) / 2,
                                option.rect.top(), mark);
    }

private:
    QPixmap mark = FlagMarkImage();
};

constexpr int PauseEditTag = 3;

} // namespace

TEventsSettingsFrame::TEventsSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("EventsSettingsFrame"), parent),
      ui(std::make_unique<Ui::TEventsSettingsFrame>())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("EventsSettingsFrame"));
    hisSet = {ui->HisSetFlag1, ui->HisSetFlag2, ui->HisSetFlag3, ui->HisSetFlag4,
              ui->HisSetFlag5, ui->HisSetFlag6, ui->HisSetFlag7};
    hisRest = {ui->HisRestFlag1, ui->HisRestFlag2, ui->HisRestFlag3, ui->HisRestFlag4,
               ui->HisRestFlag5, ui->HisRestFlag6, ui->HisRestFlag7};
    flagSet = {ui->FlagSetFlag1, ui->FlagSetFlag2, ui->FlagSetFlag3, ui->FlagSetFlag4,
               ui->FlagSetFlag5, ui->FlagSetFlag6, ui->FlagSetFlag7};
    flagRest = {ui->FlagRestFlag1, ui->FlagRestFlag2, ui->FlagRestFlag3, ui->FlagRestFlag4,
                ui->FlagRestFlag5, ui->FlagRestFlag6, ui->FlagRestFlag7};
    sensorBoxes = {ui->CheckBox1, ui->CheckBox2, ui->CheckBox3, ui->CheckBox4};

    SetUpFlagsGrid();
    ui->SpeedButton1->setIcon(QIcon(SwitchNowGlyph()));
    ConnectHandlers();
    ModeComboChange();
    FrameResize();
}

TEventsSettingsFrame::~TEventsSettingsFrame() = default;

void TEventsSettingsFrame::ConnectHandlers()
{
    for (const FlagGroup *group : {&hisSet, &hisRest, &flagSet, &flagRest})
        for (QCheckBox *box : *group)
            connect(box, &QCheckBox::toggled, this,
                    [this, group] { Guarded([&] { FlagBoxClick(*group); }); });
    for (QCheckBox *box : {ui->OUT1, ui->OUT2})
        connect(box, &QCheckBox::toggled, this, [this] { ResetLabelColor(ui->OUTSBox); });
    connect(ui->InversGroup, &TRadioGroup::Click, this,
            [this] { ResetLabelColor(ui->InversGroup); });
    connect(ui->Block1, &TRadioGroup::Click, this, [this] { ResetLabelColor(ui->Block1); });
    connect(ui->ModeCombo, &QComboBox::activated, this,
            [this] { Guarded([&] { ModeComboChange(); }); });
    for (int i = 0; i < int(sensorBoxes.size()); ++i)
        connect(sensorBoxes[size_t(i)], &QCheckBox::toggled, this,
                [this, i] { Guarded([&] { CheckBoxClick(i); }); });
    connect(ui->CANCheckBox, &QCheckBox::toggled, this,
            [this] { Guarded([&] { CANCheckBoxClick(); }); });
    connect(ui->ClearAll, &QPushButton::clicked, this,
            [this] { Guarded([&] { ClearAllClick(); }); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this,
            [this] { Guarded([&] { SpeedButton1Click(); }); });
    for (QLineEdit *edit : {ui->IdentTimeEdit, ui->OnTimeEdit, ui->PauseEdit, ui->PeriodEdit})
        edit->installEventFilter(this);
    ui->Panel1->installEventFilter(this);
}

void TEventsSettingsFrame::SetUpFlagsGrid()
{
    QTableWidget *grid = ui->FlagsGrid;
    grid->setRowCount(FlagGridRows);
    grid->setColumnCount(FlagGridColumns);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = grid->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    grid->setPalette(palette);
    grid->setItemDelegate(new TFlagsGridDelegate(grid));
    for (int r = 0; r < FlagGridRows; ++r) {
        grid->setRowHeight(r, FlagsGridRowHeight);
        for (int c = 0; c < FlagGridColumns; ++c)
            grid->setItem(r, c, new QTableWidgetItem(r == 0 || c == 0 ? QString() : FlagClearMark));
    }
    const QFontMetrics metrics(grid->font());
    for (int c = 0; c < FlagGridColumns; ++c) {
        grid->item(0, c)->setText(FlagsGridTitles[c]);
        grid->setColumnWidth(c, metrics.horizontalAdvance(FlagsGridTitles[c]) + 10);
    }
    grid->item(1, 0)->setText(QStringLiteral("Срабатывание"));
    grid->item(2, 0)->setText(QStringLiteral("Восстановление"));
    grid->setColumnWidth(0, std::max(grid->columnWidth(0),
                                     metrics.horizontalAdvance(grid->item(2, 0)->text()) + 10));
    int width = 0;
    for (int c = 0; c < FlagGridColumns; ++c)
        width += grid->columnWidth(c);
    grid->setFixedSize(width + 2 * grid->frameWidth(),
                       FlagGridRows * FlagsGridRowHeight + 2 * grid->frameWidth());
}

// --- Settings ---

void TEventsSettingsFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    LoadSetInfoTable(this, *Settings, QString::fromLatin1(C::Section), C::EventsSetInfo);
    ModeComboChange();
    FrameResize();
}

void TEventsSettingsFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    SaveSetInfoTable(this, *Settings, QString::fromLatin1(C::Section), C::EventsSetInfo);
    TPageFrame::SaveUISettings();
}

// --- Rows ---

const TEventsSettingsFrame::FlagGroup &TEventsSettingsFrame::GroupOfRow(int row) const
{
    switch (row) {
    case HisSetRow:
        return hisSet;
    case HisRestRow:
        return hisRest;
    case FlagSetRow:
        return flagSet;
    default:
        return flagRest;
    }
}

void TEventsSettingsFrame::SetFlagBoxes(const FlagGroup &group, const FlagBoxes &boxes)
{
    for (int i = 0; i < FlagBoxCount; ++i)
        group[size_t(i)]->setChecked(boxes[size_t(i)]);
}

FlagBoxes TEventsSettingsFrame::FlagBoxesOf(const FlagGroup &group)
{
    FlagBoxes boxes{};
    for (int i = 0; i < FlagBoxCount; ++i)
        boxes[size_t(i)] = group[size_t(i)]->isChecked();
    return boxes;
}

void TEventsSettingsFrame::SetGroupColor(const FlagGroup &group, const QColor &color)
{
    for (QCheckBox *box : group) {
        if (color.isValid())
            SetLabelColor(box, color);
        else
            ResetLabelColor(box);
    }
}

// Read and write rows 1..10 colour the same controls; read rows 12..14 their own boxes.
void TEventsSettingsFrame::ColourRow(int row, const QColor &color)
{
    switch (row) {
    case HisSetRow:
    case HisRestRow:
    case FlagSetRow:
    case FlagRestRow:
        SetGroupColor(GroupOfRow(row), color);
        return;
    case OnTimeRow:
        SetLabelColor(ui->OnTimeLabel, color);
        return;
    case PauseRow:
        SetLabelColor(ui->PauseLabel, color);
        return;
    case PeriodRow:
        SetLabelColor(ui->PeriodLabel, color);
        SetLabelColor(ui->InversGroup, color);
        return;
    case IdentTimeRow:
        SetLabelColor(ui->IdentTimeLabel, color);
        return;
    case BlockRow:
        SetLabelColor(ui->Block1, color);
        return;
    case OutputsRow:
        SetLabelColor(ui->OUTSBox, color);
        return;
    case FreqRow:
        SetLabelColor(ui->FreqBox, color);
        return;
    case FlowRow:
        SetLabelColor(ui->SensFlowBox, color);
        return;
    case CANIgnitionRow:
        SetLabelColor(ui->CANCheckBox, color);
        return;
    default:
        return;
    }
}

void TEventsSettingsFrame::ApplyPageData(const TPageData &v)
{
    const auto read = [&v](int r) {
        return r <= v.RowCount() && v.ColCount() >= 2 && v(r, 2).toInt() == 1;
    };
    const auto apply = [&](int r) {
        bool shown = false;
        if (read(r))
            Guarded([&] {
                ApplyRow(r, v(r, 1));
                shown = true;
            });
        ColourRow(r, shown ? clGreen : clRed);
    };
    for (int r : {OnTimeRow, PauseRow, PeriodRow, IdentTimeRow, BlockRow, OutputsRow, FlagRestRow,
                  FlagSetRow, HisRestRow, HisSetRow})
        apply(r);
    for (int r : {FreqRow, FlowRow}) {
        apply(r);
        if (Window.DeviceVersion() > SensorFirmware)
            for (int sensor : r == FreqRow ? std::array{0, 1} : std::array{2, 3})
                Guarded([&] { CheckBoxClick(sensor); });
    }
    // A flag word or ignition row that did not come leaves the grid and the box as they are.
    if (v.RowCount() >= CANIgnitionRow)
        apply(CANIgnitionRow);
    if (read(FlagWordRow))
        Guarded([&] { ShowFlagStates(quint16(v(FlagWordRow, 1).toInt())); });
}

void TEventsSettingsFrame::ApplyRow(int row, const QVariant &value)
{
    const int raw = value.toInt();
    switch (row) {
    case HisSetRow:
    case HisRestRow:
    case FlagSetRow:
        SetFlagBoxes(GroupOfRow(row), FlagBoxesFromByte(raw));
        break;
    case FlagRestRow: {
        const FlagRestAndMode decoded = FlagRestAndModeFromRaw(raw);
        SetFlagBoxes(flagRest, decoded.boxes);
        ui->ModeCombo->setCurrentIndex(
            decoded.modeIndex < ui->ModeCombo->count() ? decoded.modeIndex : -1);
        ModeComboChange();
        break;
    }
    case OnTimeRow:
        ui->OnTimeEdit->setText(QString::number(raw));
        break;
    case PauseRow:
        ui->PauseEdit->setText(PauseTextFromRaw(raw));
        break;
    case PeriodRow: {
        const PeriodSetting period = PeriodFromRaw(raw);
        ui->InversGroup->SetItemIndex(period.inversIndex);
        ui->PeriodEdit->setText(QString::number(period.period));
        break;
    }
    case IdentTimeRow:
        ui->IdentTimeEdit->setText(QString::number(raw));
        break;
    case BlockRow:
        if (const auto index = BlockIndexFromRaw(raw))
            ui->Block1->SetItemIndex(*index);
        break;
    case OutputsRow:
        if (const auto outputs = OutputsFromRaw(raw)) {
            ui->OUT1->setChecked(outputs->first);
            ui->OUT2->setChecked(outputs->second);
        }
        break;
    case FreqRow:
        if (const auto freq = FreqFromRaw(raw)) {
            ui->CheckBox1->setChecked(freq->first);
            ui->CheckBox2->setChecked(freq->second);
        }
        break;
    case FlowRow:
        if (const auto flow = FlowFromRaw(raw)) {
            ui->CheckBox3->setChecked(flow->first);
            ui->CheckBox4->setChecked(flow->second);
        }
        break;
    case CANIgnitionRow:
        ui->CANCheckBox->setChecked(raw == 0);
        break;
    default:
        break;
    }
}

EventsValues TEventsSettingsFrame::CurrentValues() const
{
    EventsValues v;
    v.hisSet = FlagBoxesOf(hisSet);
    v.hisRest = FlagBoxesOf(hisRest);
    v.flagSet = FlagBoxesOf(flagSet);
    v.flagRest = FlagBoxesOf(flagRest);
    v.modeIndex = ui->ModeCombo->currentIndex();
    v.onTime = ui->OnTimeEdit->text();
    v.pause = ui->PauseEdit->text();
    v.period = ui->PeriodEdit->text();
    v.identTime = ui->IdentTimeEdit->text();
    v.inversIndex = ui->InversGroup->ItemIndex();
    v.blockIndex = ui->Block1->ItemIndex();
    v.outputs = {ui->OUT1->isChecked(), ui->OUT2->isChecked()};
    v.freq = {ui->CheckBox1->isChecked(), ui->CheckBox2->isChecked()};
    v.flow = {ui->CheckBox3->isChecked(), ui->CheckBox4->isChecked()};
    v.canIgnition = ui->CANCheckBox->isChecked();
    return v;
}

// A value the unit cannot take shows its label red; a page with one is not sent at all.
bool TEventsSettingsFrame::ValidateValues()
{
    const EventsValidation check = ValidateEventsValues(CurrentValues());
    const std::pair<bool, QLabel *> edits[] = {{check.onTimeBad, ui->OnTimeLabel},
                                               {check.pauseBad, ui->PauseLabel},
                                               {check.periodBad, ui->PeriodLabel},
                                               {check.identTimeBad, ui->IdentTimeLabel}};
    for (const auto &[bad, label] : edits)
        if (bad)
            SetLabelColor(label, clRed);
    if (check.inversBad)
        ColourRow(PeriodRow, clRed);
    return check.ok();
}

void TEventsSettingsFrame::GetPageData(TPageData &v)
{
    const auto rows =
        ValidateValues()
            ? EventsWriteValues(CurrentValues(),
                                HasCANIgnitionRow(Window.DeviceType(), Window.DeviceVersion()))
            : std::nullopt;
    if (!rows) {
        v.Clear();
        return;
    }
    v = TPageData(int(rows->size()), 3);
    for (int r = 1; r <= int(rows->size()); ++r) {
        const EventsWriteRow &row = (*rows)[size_t(r - 1)];
        v(r, 1) = r;
        v(r, 2) = row.text;
        v(r, 3) = row.send ? 0 : -1;
    }
    // A mode list with no mode chosen is not sent; its row shows why.
    if (!(*rows)[FlagRestRow - 1].send)
        SetGroupColor(flagRest, clRed);
}

void TEventsSettingsFrame::ShowWriteResults(const TWriteResults &results)
{
    for (int i = 0; i < results.size() && i < OutputsRow; ++i)
        if (results[i] == 0 || results[i] == 1)
            ColourRow(i + 1, ResultColors[results[i]]);
}

// --- Modes and sensor inputs ---

void TEventsSettingsFrame::ModeComboChange()
{
    const ModeLayout layout = ModeLayoutFor(ui->ModeCombo->currentIndex());
    // The ignition option is enabled or not by the vehicle chosen on the CAN page, not by a mode.
    for (QCheckBox *box : findChildren<QCheckBox *>())
        if (box != ui->CANCheckBox)
            box->setEnabled(true);
    if (!ui->CANCheckBox->isHidden()) {
        const bool fromCAN = ui->CANCheckBox->isChecked();
        for (QCheckBox *box : {ui->HisSetFlag1, ui->HisRestFlag1}) {
            if (fromCAN)
                box->setChecked(false);
            box->setEnabled(!fromCAN);
        }
    }
    for (int i = 0; i < FlagBoxCount; ++i) {
        flagSet[size_t(i)]->setEnabled(!layout.flagBoxDisabled[size_t(i)]);
        flagRest[size_t(i)]->setEnabled(!layout.flagBoxDisabled[size_t(i)]);
    }
    ui->IdentTimeEdit->setEnabled(layout.identTimeEnabled);
    ui->IdentTimeLabel->setEnabled(layout.identTimeEnabled);
    for (QWidget *w :
         {static_cast<QWidget *>(ui->OnTimeEdit), static_cast<QWidget *>(ui->OnTimeLabel),
          static_cast<QWidget *>(ui->PauseEdit), static_cast<QWidget *>(ui->PauseLabel)})
        w->setEnabled(layout.onTimeAndPauseEnabled);
    ui->PeriodEdit->setEnabled(layout.periodEnabled);
    ui->PeriodLabel->setEnabled(layout.periodEnabled);
    ui->InversGroup->setEnabled(layout.inversShown);
    ui->InversGroup->setVisible(layout.inversShown);
    ui->Ident4Box->setVisible(layout.ident4BoxShown);
    ui->SensorBox->setVisible(layout.sensorBoxShown);
    ui->Block1->setVisible(layout.blockShown);
}

void TEventsSettingsFrame::SetFlagHandlers(bool attach)
{
    flagHandlersAttached = attach;
}

// A sensor on an input takes the input's four flag boxes and one CAN user parameter.
void TEventsSettingsFrame::CheckBoxClick(int sensor)
{
    if (Window.DeviceVersion() < SensorFirmware)
        return;
    const SensorInput &input = SensorInputs[size_t(sensor)];
    const bool claimed = sensorBoxes[size_t(sensor)]->isChecked();
    SetFlagHandlers(false);
    struct Reattach
    {
        TEventsSettingsFrame *frame;
        ~Reattach() { frame->SetFlagHandlers(true); }
    } reattach{this};
    for (const FlagGroup *group : {&hisSet, &hisRest, &flagSet, &flagRest}) {
        QCheckBox *box = (*group)[size_t(input.input - 1)];
        // Clearing the sensor gives the boxes back as they are: a read that reports no sensor
        // keeps the events the unit reported for the input.
        if (claimed)
            box->setChecked(false);
        box->setEnabled(!claimed);
    }
    // The CAN page's parameter follows the input only when the input changes hands: a read that
    // confirms what was already so leaves the user's parameters alone.
    if (claimed == sensorClaims[size_t(sensor)])
        return;
    sensorClaims[size_t(sensor)] = claimed;
    const bool paramFree = !claimed && !sensorBoxes[size_t(input.partner - 1)]->isChecked();
    if (Window.SetCANParamEnabled)
        Window.SetCANParamEnabled(input.param, paramFree);
    if (Window.SetCANFormatSecond)
        Window.SetCANFormatSecond();
}

void TEventsSettingsFrame::CANCheckBoxClick()
{
    const bool fromCAN = ui->CANCheckBox->isChecked();
    QCheckBox *ignitionEvent = nullptr;
    if (Window.CANPageControl)
        ignitionEvent = qobject_cast<QCheckBox *>(Window.CANPageControl(QStringLiteral("c5")));
    for (QCheckBox *box : {ui->HisSetFlag1, ui->HisRestFlag1, ignitionEvent}) {
        if (box == nullptr)
            continue;
        if (fromCAN)
            box->setChecked(true);
        box->setEnabled(!fromCAN);
    }
}

void TEventsSettingsFrame::SetCANIgnitionAllowed(bool allowed)
{
    if (!allowed)
        ui->CANCheckBox->setChecked(false);
    ui->CANCheckBox->setEnabled(allowed);
}

bool TEventsSettingsFrame::CANIgnitionChecked() const
{
    return ui->CANCheckBox->isChecked();
}

// --- Flags and the direct commands ---

void TEventsSettingsFrame::ShowFlagStates(quint16 word)
{
    flagStates = word;
    for (int row = 1; row < FlagGridRows; ++row)
        for (int column = 1; column < FlagGridColumns; ++column)
            ui->FlagsGrid->item(row, column)
                ->setText(FlagCellSet(word, column, row) ? FlagSetMark : FlagClearMark);
    ui->FlagsGrid->viewport()->update();
}

// The grid is blanked only when the command went out; the next read shows what the unit did.
void TEventsSettingsFrame::ClearAllClick()
{
    if (Window.SendNow(QStringLiteral("+mflag")))
        ShowFlagStates(0);
}

void TEventsSettingsFrame::SpeedButton1Click()
{
    const int outputs = (ui->OUT1->isChecked() ? 1 : 0) + (ui->OUT2->isChecked() ? 2 : 0);
    Window.SendNow(Format(GetCommandText(WriteCode(OutputsRow)), {IntToHex(outputs, 2)}));
}

// --- Edits and layout ---

void TEventsSettingsFrame::FlagBoxClick(const FlagGroup &group)
{
    if (flagHandlersAttached)
        SetGroupColor(group, QColor());
}

// Shared by the four time edits, told apart by their Tag: digits and Backspace pass, and in the
// pause edit the decimal separator.
bool TEventsSettingsFrame::TimeEditKeyPress(QLineEdit *edit, const QString &key)
{
    const std::pair<QLineEdit *, QLabel *> labels[] = {{ui->IdentTimeEdit, ui->IdentTimeLabel},
                                                       {ui->OnTimeEdit, ui->OnTimeLabel},
                                                       {ui->PauseEdit, ui->PauseLabel},
                                                       {ui->PeriodEdit, ui->PeriodLabel}};
    for (const auto &[e, label] : labels)
        if (e == edit)
            ResetLabelColor(label);
    if (key.size() != 1)
        return false;
    const QChar c = key.at(0);
    return c == QLatin1Char('\b') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (edit->property("Tag").toInt() == PauseEditTag && c == DecimalSeparator());
}

void TEventsSettingsFrame::FrameResize()
{
    const QSize panel = ui->Panel1->size();
    const QList<QGroupBox *> columns = {ui->HistoryEventsBox, ui->FlagsEventsBox, ui->ModesBox};
    for (int i = 0; i < columns.size(); ++i)
        columns[i]->setGeometry(ColumnPlacement(panel, int(columns.size()), i + 1));
    const std::pair<QGroupBox *, std::array<QGroupBox *, 2>> parents[] = {
        {ui->HistoryEventsBox, {ui->HistorySetFlagsBox, ui->HistoryRestoreFlagsBox}},
        {ui->FlagsEventsBox, {ui->FlagSetFlagsBox, ui->FlagRestoreFlagsBox}}};
    for (const auto &[parentBox, groups] : parents) {
        const int textHeight = QFontMetrics(parentBox->font()).height();
        for (int i = 0; i < 2; ++i)
            groups[size_t(i)]->setGeometry(
                TitledColumnPlacement(parentBox->size(), 2, i + 1, textHeight));
    }
    const std::pair<QGroupBox *, const FlagGroup *> groups[] = {
        {ui->HistorySetFlagsBox, &hisSet},
        {ui->HistoryRestoreFlagsBox, &hisRest},
        {ui->FlagSetFlagsBox, &flagSet},
        {ui->FlagRestoreFlagsBox, &flagRest}};
    for (const auto &[groupBox, boxes] : groups)
        for (int i = 0; i < FlagBoxCount; ++i)
            (*boxes)[size_t(i)]->setGeometry(
                RowPlacement(groupBox->size(), FlagBoxCount, i + 1, 10));
}

bool TEventsSettingsFrame::eventFilter(QObject *watched, QEvent *event)
{
    bool drop = false;
    Guarded([&] {
        if (watched == ui->Panel1 && event->type() == QEvent::Resize) {
            FrameResize();
            return;
        }
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (edit == nullptr || event->type() != QEvent::KeyPress)
            return;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (IsTypedCharacter(*key))
            drop = !TimeEditKeyPress(edit, key->text());
        else
            TimeEditKeyPress(edit, QString());
    });
    return drop || TPageFrame::eventFilter(watched, event);
}
