#include "history/UnitHistoryFrame.h"

#include "history/ConstHistoryFrame.h"
#include "history/HistoryGridModel.h"
#include "history/HistoryRawModel.h"
#include "history/HistoryReading.h"
#include "pages/ExecCommandEvents.h"
#include "settings/Delphi.h"
#include "settings/SetInfoLoader.h"
#include "ui_UnitHistoryFrame.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>

#include <span>

namespace C = ConstHistoryFrame;

namespace {

const QString ColumnZeroSample = QStringLiteral("00000[xFFFF]");

// The keys the range edits take: Backspace, "$" and hex digits.
bool RangeKeyAllowed(const QString &text)
{
    if (text.size() != 1)
        return false;
    const QChar c = text[0];
    return c == QLatin1Char('\b') || c == QLatin1Char('$') || HexDigitValue(c) >= 0;
}

QVariant Cell(const TPageData &v, int row, int col)
{
    return row <= v.RowCount() && col <= v.ColCount() ? v(row, col) : QVariant();
}

std::span<const TSetInfo> CaptionsBelowTitles()
{
    return std::span<const TSetInfo>(C::HistoryCaptions).subspan(1);
}

} // namespace

THistoryFrame::THistoryFrame(QWidget *parent)
    : TPageFrame(PageTag, QString::fromLatin1(C::Section), parent),
      ui(std::make_unique<Ui::THistoryFrame>()), gridModel(new THistoryGridModel(this)),
      rawModel(new THistoryRawModel(this))
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QString::fromLatin1(C::Section));

    ui->HistoryGrid->setModel(gridModel);
    QHeaderView *columns = ui->HistoryGrid->horizontalHeader();
    columns->setMinimumSectionSize(THistoryColumnWidths::MinWidth);
    columns->setStretchLastSection(false);
    ui->HistoryGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { HistoryGridSectionResized(column, width); });

    ui->HistoryVE->setModel(rawModel);
    ui->HistoryVE->horizontalHeader()->resizeSection(0, 83);
    ui->HistoryVE->horizontalHeader()->resizeSection(1, 360);
    ui->HistoryVE->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    for (QRadioButton *radio : {ui->ReadLast50Radio, ui->ReadFromToRadio})
        connect(radio, &QRadioButton::toggled, this,
                [this] { Guarded([this] { ReadLast50RadioClick(); }); });
    for (QLineEdit *edit : {ui->FromEdit, ui->ToEdit}) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            SetEditTextColor(ui->FromEdit, QColor());
            SetEditTextColor(ui->ToEdit, QColor());
        });
    }
    connect(ui->ClearHisButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { ClearHisButtonClick(); }); });
    connect(ui->CoodrSystemCheck, &QCheckBox::toggled, this,
            [this] { Guarded([this] { CoodrSystemCheckClick(); }); });
}

THistoryFrame::~THistoryFrame() = default;

QWidget *THistoryFrame::Panel2() const
{
    return ui->Panel2;
}

QWidget *THistoryFrame::Panel3() const
{
    return ui->Panel3;
}

QTableView *THistoryFrame::HistoryGrid() const
{
    return ui->HistoryGrid;
}

QTableView *THistoryFrame::HistoryVE() const
{
    return ui->HistoryVE;
}

QStatusBar *THistoryFrame::InfoBar() const
{
    return ui->InfoBar;
}

// ---- settings ----

void THistoryFrame::LoadGridLayout()
{
    colWidths.LoadGridLayout();
}

void THistoryFrame::SaveGridLayout()
{
    colWidths.SaveGridLayout();
}

void THistoryFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    const TSetInfo &titles = C::HistoryCaptions[0];
    const QString section = QString::fromLatin1(C::Section);
    const QString stored =
        Settings
            ->ReadOrDefault(MakeSetItem(section, QString::fromLatin1(titles.Ident),
                                        QString::fromUtf8(titles.DefValue)))
            .toString();
    rawModel->SetTitles(SplitStoredLines(stored));
    LoadSetInfoTable(this, *Settings, section, CaptionsBelowTitles());
    SetupGrid(C::StartDeviceType, 0);
}

void THistoryFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    WriteStored(C::HistoryCaptions[0].Ident, JoinStoredLines(rawModel->Titles()));
    SaveSetInfoTable(this, *Settings, Section(), CaptionsBelowTitles());
    TPageFrame::SaveUISettings();
}

// ---- layouts ----

void THistoryFrame::SetDeviceModel(int DeviceType, int Version)
{
    SetupGrid(DeviceType, Version);
}

void THistoryFrame::SetupGrid(int DeviceType, int Version)
{
    deviceType = DeviceType;
    deviceVersion = Version;
    const int chosen = C::LayoutFor(DeviceType, Version);
    if (chosen == 0)
        return;
    layout = chosen;
    QTableView *grid = ui->HistoryGrid;
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 2);
    applyingLayout = true;
    gridModel->SetTitles(C::LayoutTitles(layout));
    ApplyColWidths(layout);
    applyingLayout = false;
}

void THistoryFrame::ApplyColWidths(int Layout)
{
    QTableView *grid = ui->HistoryGrid;
    QHeaderView *header = grid->horizontalHeader();
    const QFontMetrics metrics = grid->fontMetrics();
    // Room the toolkit keeps around a cell's text and a title's text.
    const int cellMargin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int titleMargin = 2 * grid->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int c = 0; c < gridModel->columnCount(); ++c) {
        int width = colWidths.Width(Layout, c);
        if (width == THistoryColumnWidths::NotSet)
            width = c == 0
                        ? metrics.horizontalAdvance(ColumnZeroSample) + 4 + cellMargin
                        : metrics.horizontalAdvance(gridModel->Titles().value(c)) + 4 + titleMargin;
        header->resizeSection(c, width);
        colWidths.SetWidth(Layout, c, header->sectionSize(c));
    }
}

void THistoryFrame::HistoryGridSectionResized(int Column, int NewWidth)
{
    if (!applyingLayout && layout != 0)
        colWidths.SetWidth(layout, Column, NewWidth);
}

// ---- reading ----

void THistoryFrame::GetPageData(TPageData &V)
{
    if (ui->ReadLast50Radio->isChecked()) {
        V = HistoryReading::LastRecordsRequest();
        return;
    }
    const int from = StrToInt(ui->FromEdit->text());
    const int to = StrToInt(ui->ToEdit->text());
    if (qint64(to) < qint64(from) - 1) {
        // No record lies in such a range, and the result would not even hold the count.
        SetEditTextColor(ui->FromEdit, ResultColors[1]);
        SetEditTextColor(ui->ToEdit, ResultColors[1]);
        V.Clear();
        return;
    }
    V = HistoryReading::RangeRequest(from, to);
}

void THistoryFrame::SetPageData(const TPageData &V)
{
    if (!V.IsAssigned())
        return;
    const THistoryVariant variant = HistoryRows::VariantFor(deviceType, deviceVersion);
    if (variant == THistoryVariant::None)
        return;

    const int count = qMax(Cell(V, 1, 1).toInt(), 0);
    ui->InfoBar->showMessage(
        Format(QStringLiteral("Всего записей %s"), {HistoryReading::RecordLabel(count)}));

    QVector<THistoryRecordText> records;
    records.reserve(qMax(V.RowCount() - 1, 0));
    for (int r = V.RowCount(); r >= 2; --r)
        records.append({Cell(V, r, 3).toString(), Cell(V, r, 1).toString()});
    rawModel->SetLines(records);
    gridModel->SetRecords(variant, records);
}

void THistoryFrame::ClearGrid()
{
    gridModel->Clear();
}

// ---- erasing ----

// Asks, then hands the erase to the main window's single-command service; the answer comes
// back as WM_COMMANDDONE.
void THistoryFrame::ClearHisButtonClick()
{
    const auto answer =
        QMessageBox::question(this, QApplication::applicationName(),
                              QStringLiteral("Вы уверены, что хотите очистить ВСЕ записи истории?"),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        PostExecCommand(Window.CommandTarget, HistoryReading::EraseCode, this);
}

void THistoryFrame::customEvent(QEvent *Event)
{
    if (Event->type() != WM_COMMANDDONE) {
        TPageFrame::customEvent(Event);
        return;
    }
    const auto &done = *static_cast<TCommandDoneEvent *>(Event);
    Guarded([&] { WMCommandDone(done); });
}

void THistoryFrame::WMCommandDone(const TCommandDoneEvent &Done)
{
    if (Done.IsCurrent() && Done.Record.Status == 1) {
        ClearGrid();
        return;
    }
    QMessageBox::critical(this, QApplication::applicationName(),
                          QStringLiteral("Ошибка при получении результата, попробуйте еще раз"),
                          QMessageBox::Ok);
}

// ---- controls ----

void THistoryFrame::CoodrSystemCheckClick()
{
    gridModel->SetCoordinatesAsDegrees(ui->CoodrSystemCheck->isChecked());
}

void THistoryFrame::ReadLast50RadioClick()
{
    const bool range = ui->ReadFromToRadio->isChecked();
    ui->ToLabel->setEnabled(range);
    ui->FromEdit->setEnabled(range);
    ui->ToEdit->setEnabled(range);
}

bool THistoryFrame::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Event->type() == QEvent::KeyPress && (Watched == ui->FromEdit || Watched == ui->ToEdit)) {
        const auto *key = static_cast<QKeyEvent *>(Event);
        if (IsTypedCharacter(*key) && !RangeKeyAllowed(key->text()))
            return true;
    }
    return TPageFrame::eventFilter(Watched, Event);
}
