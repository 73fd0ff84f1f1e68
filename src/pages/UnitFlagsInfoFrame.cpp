#include "pages/UnitFlagsInfoFrame.h"

#include "pages/ConstFlagsInfoFrame.h"
#include "pages/FlagsRows.h"
#include "settings/SetInfoLoader.h"
#include "ui_UnitFlagsInfoFrame.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QStyledItemDelegate>

using namespace FlagsRows;
namespace C = ConstFlagsInfoFrame;

namespace {

const QString SetMark = QStringLiteral("*");
const QString ClearMark = QStringLiteral(" ");
constexpr int MarkSize = 32;
// Room beside a title's text: the cell's own margin and what the item view keeps around text.
constexpr int TitlePadding = 4 + 8;

// A flag on its pole.
QPixmap DrawFlagMark()
{
    QPixmap mark(MarkSize, MarkSize);
    mark.fill(Qt::transparent);
    QPainter p(&mark);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawRect(QRectF(8, 3, 2.5, 26)); // pole
    p.drawRect(QRectF(5, 28, 9, 2));   // foot
    p.setBrush(QColor(0xD0, 0x10, 0x10));
    p.drawPolygon(QPolygonF({QPointF(10.5, 4), QPointF(27, 10), QPointF(10.5, 16)}));
    return mark;
}

// Flag cells: "*" shows the mark at the cell's top, centred; " " an empty cell. Titles are
// drawn as text.
class TFlagCellDelegate : public QStyledItemDelegate
{
public:
    TFlagCellDelegate(const QPixmap &mark, QObject *parent)
        : QStyledItemDelegate(parent), mark(mark)
    {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QColor face = option.palette.color(QPalette::Button);
        if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus))
            painter->fillRect(option.rect, face);
        const QString text = index.data().toString();
        if (text.isEmpty() || !(text.startsWith(ClearMark) || text.startsWith(SetMark))) {
            QStyleOptionViewItem title(option);
            title.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            QStyledItemDelegate::paint(painter, title, index);
            return;
        }
        painter->fillRect(option.rect, face);
        if (text == SetMark)
            painter->drawPixmap(option.rect.left() + (option.rect.width() - MarkSize) / 2,
                                option.rect.top(), mark);
    }

private:
    const QPixmap &mark;
};

} // namespace

const QString TFlagsInfoFrame::ResetErrorText =
    QStringLiteral("Ошибка сброса флагов. Повторите попытку.");

TFlagsInfoFrame::TFlagsInfoFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("FlagsInfoFrame"), parent),
      ui(std::make_unique<Ui::TFlagsInfoFrame>()), flagMark(DrawFlagMark())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("FlagsInfoFrame"));

    QTableWidget *grid = ui->FlagsGrid;
    grid->setItemDelegate(new TFlagCellDelegate(flagMark, grid));
    QPalette palette = grid->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    grid->setPalette(palette);
    grid->setWordWrap(false);
    for (int row = 0; row < grid->rowCount(); ++row) {
        for (int column = 0; column < grid->columnCount(); ++column) {
            auto *item = new QTableWidgetItem(row == 0 || column == 0 ? QString() : ClearMark);
            if (row == 0 || column == 0)
                item->setFlags(Qt::ItemIsEnabled); // titles cannot be selected
            else
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grid->setItem(row, column, item);
        }
    }
    // A press marks the cell even when it is already the current one; moving with the keys
    // marks the cell reached. The first cell the grid makes current on taking the focus is not
    // the user's choice.
    connect(grid, &QTableWidget::cellPressed, this,
            [this](int row, int column) { Guarded([&] { FlagsGridSelectCell(column, row); }); });
    connect(grid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int previousRow, int previousColumn) {
                if (previousRow >= 0 && previousColumn >= 0)
                    Guarded([&] { FlagsGridSelectCell(column, row); });
            });
    grid->setCurrentItem(nullptr);
    // Tab leaves the grid for the next control: walking the cells would mark each one it reaches.
    grid->setTabKeyNavigation(false);
    connect(ui->ClearAll, &QPushButton::clicked, this,
            [this] { Guarded([this] { ClearAllClick(); }); });
}

TFlagsInfoFrame::~TFlagsInfoFrame() = default;

QTableWidgetItem *TFlagsInfoFrame::Cell(int column, int row) const
{
    return ui->FlagsGrid->item(row, column);
}

// --- Settings ---

void TFlagsInfoFrame::LoadUISettings()
{
    modified = false;
    TPageFrame::LoadUISettings();
    const QStringList titles = SplitStoredLines(ReadCaption(C::TableTop));
    for (int column = 0; column < ui->FlagsGrid->columnCount(); ++column)
        Cell(column, 0)->setText(column < titles.size() ? titles[column] : QString());
    Cell(0, 1)->setText(ReadCaption(C::Line1));
    Cell(0, 2)->setText(ReadCaption(C::Line2));
    FitColumns();
}

void TFlagsInfoFrame::FitColumns()
{
    QTableWidget *grid = ui->FlagsGrid;
    const QFontMetrics metrics(grid->font());
    const auto width = [&](int column, int row) {
        return metrics.horizontalAdvance(Cell(column, row)->text()) + TitlePadding;
    };
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->setColumnWidth(column, width(column, 0));
    grid->setColumnWidth(0, std::max({width(0, 0), width(0, 1), width(0, 2)}));
    int total = 0;
    for (int column = 0; column < grid->columnCount(); ++column)
        total += grid->columnWidth(column);
    grid->setFixedSize(total + 1, grid->rowCount() * grid->rowHeight(0) + 1);
}

// --- Page data ---

void TFlagsInfoFrame::SetPageData(const TPageData &v)
{
    ApplyPageData(v);
}

// A read that failed or did not parse shows nothing of the word: the cells stay as they were,
// the unit's flags are unknown until the next good read, and the grid's title cell turns red.
void TFlagsInfoFrame::ApplyPageData(const TPageData &v)
{
    const bool read = v.IsAssigned() && v.ColCount() >= 2 && v(1, 2).toInt() != 0;
    bool ok = false;
    const int word = read ? v(1, 1).toInt(&ok) : -1;
    if (!ok || word < 0 || word > 0xFFFF) {
        lastFlags = 0;
        flagsKnown = false;
        ShowReadFailed(true);
        return;
    }
    lastFlags = quint16(word);
    flagsKnown = true;
    for (int column = 1; column <= FlagColumns; ++column)
        for (int row = 1; row <= FlagRows; ++row)
            Cell(column, row)
                ->setText(lastFlags & (1u << FlagBit(column, row)) ? SetMark : ClearMark);
    ShowReadFailed(false);
}

void TFlagsInfoFrame::ShowReadFailed(bool failed)
{
    Cell(0, 0)->setForeground(failed ? QBrush(ResultColors[1]) : QBrush());
}

quint16 TFlagsInfoFrame::GetFlagMask() const
{
    quint16 mask = 0;
    for (int column = 1; column <= FlagColumns; ++column)
        for (int row = 1; row <= FlagRows; ++row)
            if (Cell(column, row)->text() == SetMark)
                mask |= quint16(1u << FlagBit(column, row));
    return mask;
}

// Only flags the unit reported set can be reset: while its flags are unknown (no good read yet,
// or the last read failed) nothing is sent and the write is reported as failed.
void TFlagsInfoFrame::GetPageData(TPageData &v)
{
    v.Clear();
    if (!modified || !flagsKnown)
        return;
    v = TPageData(1, 3);
    v(1, 1) = 1;
    v(1, 2) = ResetText(GetFlagMask(), lastFlags);
    v(1, 3) = QVariant();
}

// A confirmed reset ends the marking; anything else (not confirmed, nothing marked, or the
// unit's flags unknown) is reported and the marks stay for another try.
void TFlagsInfoFrame::ShowWriteResults(const TWriteResults &results)
{
    if (!results.isEmpty() && results[0] == 0) {
        modified = false;
        return;
    }
    if (MessageHook)
        MessageHook(ResetErrorText);
    else
        QMessageBox::critical(window(), QApplication::applicationName(), ResetErrorText);
}

// --- Handlers ---

// Flags can only be cleared from the page: a marked cell loses its mark, a blank one stays.
void TFlagsInfoFrame::FlagsGridSelectCell(int column, int row)
{
    if (FlagBit(column, row) < 0)
        return;
    modified = true;
    if (Cell(column, row)->text() == SetMark)
        Cell(column, row)->setText(ClearMark);
}

void TFlagsInfoFrame::ClearAllClick()
{
    for (int column = 1; column <= FlagColumns; ++column)
        for (int row = 1; row <= FlagRows; ++row)
            Cell(column, row)->setText(ClearMark);
    modified = true;
}
