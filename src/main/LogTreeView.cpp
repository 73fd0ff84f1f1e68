#include "main/LogTreeView.h"

#include "main/LogModel.h"
#include "main/LogTreeAccessible.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace {

int FloorDiv(int value, int by)
{
    return value >= 0 ? value / by : -((-value + by - 1) / by);
}

constexpr int MaxTextWidth = 0xFFFE;

} // namespace

TLogTreeView::TLogTreeView(QWidget *parent) : QAbstractItemView(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&TLogTreeAccessible::Create);
        return true;
    }();
    Q_UNUSED(accessible)
    setTextElideMode(Qt::ElideRight);
}

void TLogTreeView::setModel(QAbstractItemModel *model)
{
    if (Log)
        disconnect(Log, nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    Log = qobject_cast<TLogModel *>(model);
    TextWidths.clear();
    Widest = 0;
    if (Log) {
        // The base class tells screen readers of rows under each parent, where a reader of this
        // view counts shown lines: LinesInserted tells those.
        disconnect(Log, SIGNAL(rowsInserted(QModelIndex, int, int)), this,
                   SLOT(_q_rowsInserted(QModelIndex, int, int)));
        connect(Log, &TLogModel::VisibleLinesInserted, this, &TLogTreeView::LinesInserted);
        connect(Log, &TLogModel::VisibleLinesRemoved, this, &TLogTreeView::LinesRemoved);
        MeasureShownLines();
    }
}

void TLogTreeView::reset()
{
    TextWidths.clear();
    Widest = 0;
    QAbstractItemView::reset();
    updateGeometries();
}

bool TLogTreeView::isExpanded(const QModelIndex &index) const
{
    return Log && Log->IsExpanded(index);
}

void TLogTreeView::setExpanded(const QModelIndex &index, bool expanded)
{
    if (Log)
        Log->SetExpanded(index, expanded);
}

// ---- geometry ----------------------------------------------------------------------------------

int TLogTreeView::RowHeight() const
{
    return std::max(fontMetrics().height() + 2, 1);
}

int TLogTreeView::TopRow() const
{
    return verticalScrollBar()->value();
}

int TLogTreeView::ShownRows() const
{
    return std::max(viewport()->height() / RowHeight(), 1);
}

int TLogTreeView::Indentation(const QModelIndex &index) const
{
    return (Log->LevelOf(index) + 1) * style()->pixelMetric(QStyle::PM_TreeViewIndentation);
}

int TLogTreeView::ContentWidth() const
{
    return std::max(Widest, viewport()->width());
}

bool TLogTreeView::OnArrow(const QModelIndex &index, const QPoint &point) const
{
    const int right = Indentation(index);
    const int x = point.x() + horizontalOffset();
    return model()->rowCount(index) > 0 &&
           x >= right - style()->pixelMetric(QStyle::PM_TreeViewIndentation) && x < right;
}

QRect TLogTreeView::visualRect(const QModelIndex &index) const
{
    const int row = Log ? Log->VisibleRowOf(index) : -1;
    if (row < 0)
        return {};
    const int x = Indentation(index);
    return {x - horizontalOffset(), (row - TopRow()) * RowHeight(), ContentWidth() - x,
            RowHeight()};
}

QModelIndex TLogTreeView::indexAt(const QPoint &point) const
{
    if (!Log || point.y() < 0)
        return {};
    return Log->VisibleLine(TopRow() + point.y() / RowHeight());
}

void TLogTreeView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!Log || !index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        setExpanded(up, true);
    const int row = Log->VisibleRowOf(index);
    const int top = TopRow();
    const int shown = ShownRows();
    int wanted = top;
    switch (hint) {
    case PositionAtTop:
        wanted = row;
        break;
    case PositionAtBottom:
        wanted = row - shown + 1;
        break;
    case PositionAtCenter:
        wanted = row - shown / 2;
        break;
    case EnsureVisible:
        if (row < top)
            wanted = row;
        else if (row >= top + shown)
            wanted = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(wanted);
}

int TLogTreeView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int TLogTreeView::verticalOffset() const
{
    return TopRow() * RowHeight();
}

bool TLogTreeView::isIndexHidden(const QModelIndex &index) const
{
    return !Log || Log->VisibleRowOf(index) < 0;
}

void TLogTreeView::updateGeometries()
{
    const int count = Log ? Log->VisibleCount() : 0;
    QScrollBar *down = verticalScrollBar();
    down->setRange(0, std::max(count - ShownRows(), 0));
    down->setPageStep(ShownRows());
    down->setSingleStep(1);
    QScrollBar *across = horizontalScrollBar();
    across->setRange(0, std::max(Widest - viewport()->width(), 0));
    across->setPageStep(viewport()->width());
    across->setSingleStep(style()->pixelMetric(QStyle::PM_TreeViewIndentation));
    QAbstractItemView::updateGeometries();
}

void TLogTreeView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TLogTreeView::LinesInserted(int first, int count)
{
    const int top = TopRow();
    WidenFor(first, count);
    updateGeometries();
    if (first <= top && top > 0)
        verticalScrollBar()->setValue(top + count);
    else if (first <= top + ShownRows())
        viewport()->update();
    TellRowsChanged(true, first, count);
}

void TLogTreeView::LinesRemoved(int first, int count)
{
    const int top = TopRow();
    MeasureShownLines();
    updateGeometries();
    if (first < top)
        verticalScrollBar()->setValue(top - std::min(count, top - first));
    viewport()->update();
    TellRowsChanged(false, first, count);
}

// ---- widths ------------------------------------------------------------------------------------

// A line's text is measured the first time it is shown and remembered by its key, so that the
// widest shown line is known without walking the log as lines come.
int TLogTreeView::LineWidth(const QModelIndex &line)
{
    const quintptr key = TLogModel::KeyOf(line);
    if (key >= TextWidths.size())
        TextWidths.resize(key + 1);
    quint16 &known = TextWidths[key];
    if (known == 0) {
        // The delegate's margins on both sides, and a pixel either way for rounding.
        const int margins =
            2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 2);
        const int width = fontMetrics().horizontalAdvance(Log->LineText(line)) + margins;
        known = quint16(std::min(width, MaxTextWidth) + 1);
    }
    return Indentation(line) + known - 1;
}

void TLogTreeView::WidenFor(int first, int count)
{
    for (int row = first; row < first + count; ++row)
        Widest = std::max(Widest, LineWidth(Log->VisibleLine(row)));
}

void TLogTreeView::MeasureShownLines()
{
    Widest = 0;
    if (Log)
        WidenFor(0, Log->VisibleCount());
}

void TLogTreeView::changeEvent(QEvent *event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        TextWidths.clear();
        MeasureShownLines();
        updateGeometries();
    }
}

// ---- moving and selecting ----------------------------------------------------------------------

QModelIndex TLogTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    if (!Log || Log->VisibleCount() == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return Log->VisibleLine(0); // the first key or focus starts at the top, as in a tree view
    const int row = std::max(Log->VisibleRowOf(current), 0);
    int to = row;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        to = row - 1;
        break;
    case MoveDown:
    case MoveNext:
        to = row + 1;
        break;
    case MovePageUp:
        to = row - ShownRows();
        break;
    case MovePageDown:
        to = row + ShownRows();
        break;
    case MoveHome:
        to = 0;
        break;
    case MoveEnd:
        to = Log->VisibleCount() - 1;
        break;
    case MoveLeft:
        if (isExpanded(current)) {
            setExpanded(current, false);
            return current;
        }
        return current.parent().isValid() ? current.parent() : current;
    case MoveRight:
        if (model()->rowCount(current) > 0 && !isExpanded(current)) {
            setExpanded(current, true);
            return current;
        }
        to = isExpanded(current) ? row + 1 : row;
        break;
    }
    return Log->VisibleLine(std::clamp(to, 0, Log->VisibleCount() - 1));
}

void TLogTreeView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    if (Log && current.isValid() && Log->hasChildren(current)) {
        switch (event->key()) {
        case Qt::Key_Plus:
            setExpanded(current, true);
            event->accept();
            return;
        case Qt::Key_Minus:
            setExpanded(current, false);
            event->accept();
            return;
        case Qt::Key_Asterisk:
            Log->ExpandAllBelow(current);
            event->accept();
            return;
        default:
            break;
        }
    }
    QAbstractItemView::keyPressEvent(event);
}

// As a tree view searches: keys typed within the input interval add up; a new search, or one key
// typed again, starts at the line after the current one; the first shown line from there on whose
// text starts with what was typed becomes current.
void TLogTreeView::keyboardSearch(const QString &search)
{
    if (!Log || search.isEmpty() || Log->VisibleCount() == 0)
        return;
    const bool goesOn =
        SinceTyped.isValid() && SinceTyped.elapsed() <= QApplication::keyboardInputInterval();
    SinceTyped.start();
    Typed = goesOn ? Typed + search : search;
    const bool sameKey = Typed.size() > 1 && Typed.count(Typed.back()) == Typed.size();
    const QString wanted = sameKey ? QString(Typed.front()) : Typed;
    const int count = Log->VisibleCount();
    const int current = Log->VisibleRowOf(currentIndex());
    const int from = current < 0 ? 0 : (goesOn && !sameKey ? current : current + 1);
    for (int i = 0; i < count; ++i) {
        const QModelIndex line = Log->VisibleLine((from + i) % count);
        if (Log->LineText(line).startsWith(wanted, Qt::CaseInsensitive)) {
            setCurrentIndex(line);
            return;
        }
    }
}

// The shown lines `from` to `to` as selection ranges: one per run of neighbouring siblings.
QItemSelection TLogTreeView::ShownLines(int from, int to) const
{
    QItemSelection selection;
    QHash<QModelIndex, qsizetype> runOf;
    for (int row = from; row <= to; ++row) {
        const QModelIndex index = Log->VisibleLine(row);
        const QModelIndex parent = index.parent();
        const auto run = runOf.constFind(parent);
        if (run != runOf.cend() && selection[*run].bottom() + 1 == index.row()) {
            selection[*run] = QItemSelectionRange(selection[*run].topLeft(), index);
        } else {
            runOf.insert(parent, selection.size());
            selection.append(QItemSelectionRange(index));
        }
    }
    return selection;
}

void TLogTreeView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!Log || !selectionModel())
        return;
    const QRect area = rect.normalized();
    const int last = Log->VisibleCount() - 1;
    const int from = std::clamp(TopRow() + FloorDiv(area.top(), RowHeight()), 0, last);
    const int to = std::clamp(TopRow() + FloorDiv(area.bottom(), RowHeight()), 0, last);
    selectionModel()->select(ShownLines(from, to), command);
}

void TLogTreeView::selectAll()
{
    const SelectionMode mode = selectionMode();
    if (!Log || !selectionModel() || mode == NoSelection || mode == SingleSelection ||
        Log->VisibleCount() == 0)
        return;
    // Without the Rows flag, which the one column makes needless and which merges the ranges
    // one by one into each other.
    selectionModel()->select(ShownLines(0, Log->VisibleCount() - 1),
                             QItemSelectionModel::ClearAndSelect);
}

QRegion TLogTreeView::visualRegionForSelection(const QItemSelection &) const
{
    return viewport()->rect();
}

// ---- what screen readers are told --------------------------------------------------------------

void TLogTreeView::TellRowsChanged(bool inserted, int first, int count)
{
    if (!QAccessible::isActive() || count <= 0)
        return;
    QAccessibleTableModelChangeEvent event(
        this, inserted ? QAccessibleTableModelChangeEvent::RowsInserted
                       : QAccessibleTableModelChangeEvent::RowsRemoved);
    event.setFirstRow(first);
    event.setLastRow(first + count - 1);
    QAccessible::updateAccessibility(&event);
}

void TLogTreeView::TellLineEvent(QAccessible::Event type, const QModelIndex &line)
{
    if (!QAccessible::isActive() || !Log)
        return;
    const int row = Log->VisibleRowOf(line);
    if (row < 0)
        return;
    QAccessibleEvent event(this, type);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
}

void TLogTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (hasFocus())
        TellLineEvent(QAccessible::Focus, current);
}

void TLogTreeView::selectionChanged(const QItemSelection &selected,
                                    const QItemSelection &deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!selected.isEmpty())
        TellLineEvent(QAccessible::SelectionAdd, selected.first().topLeft());
    if (!deselected.isEmpty())
        TellLineEvent(QAccessible::SelectionRemove, deselected.first().topLeft());
}

// ---- painting and mouse ------------------------------------------------------------------------

void TLogTreeView::paintEvent(QPaintEvent *)
{
    if (!Log)
        return;
    QPainter painter(viewport());
    const int height = RowHeight();
    const int last = std::min(Log->VisibleCount(), TopRow() + viewport()->height() / height + 1);
    for (int row = TopRow(); row < last; ++row)
        DrawRow(painter, Log->VisibleLine(row), (row - TopRow()) * height);
}

void TLogTreeView::DrawRow(QPainter &painter, const QModelIndex &index, int y) const
{
    const int indent = Indentation(index) - horizontalOffset();
    const int step = style()->pixelMetric(QStyle::PM_TreeViewIndentation);
    if (model()->rowCount(index) > 0) {
        QStyleOption branch;
        branch.initFrom(this);
        branch.rect = QRect(indent - step, y, step, RowHeight());
        branch.state = QStyle::State_Item | QStyle::State_Children;
        if (isExpanded(index))
            branch.state |= QStyle::State_Open;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, &painter, this);
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.rect.moveTop(y);
    if (selectionModel() && selectionModel()->isSelected(index))
        option.state |= QStyle::State_Selected;
    if (index == currentIndex() && hasFocus())
        option.state |= QStyle::State_HasFocus;
    itemDelegateForIndex(index)->paint(&painter, option, index);
}

void TLogTreeView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && OnArrow(index, event->position().toPoint())) {
        setExpanded(index, !isExpanded(index));
        return;
    }
    QAbstractItemView::mousePressEvent(event);
}

void TLogTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QAbstractItemView::mouseDoubleClickEvent(event);
    if (index.isValid() && model()->rowCount(index) > 0)
        setExpanded(index, !isExpanded(index));
}
