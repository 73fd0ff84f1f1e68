#include "main/LogTreeView.h"

#include "main/LogModel.h"

#include <QHash>
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

} // namespace

TLogTreeView::TLogTreeView(QWidget *parent) : QAbstractItemView(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
}

void TLogTreeView::setModel(QAbstractItemModel *model)
{
    if (Log)
        disconnect(Log, nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    Log = qobject_cast<TLogModel *>(model);
    if (Log) {
        connect(Log, &TLogModel::VisibleLinesInserted, this, &TLogTreeView::LinesInserted);
        connect(Log, &TLogModel::VisibleLinesRemoved, this, &TLogTreeView::LinesRemoved);
    }
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

bool TLogTreeView::OnArrow(const QModelIndex &index, const QPoint &point) const
{
    const int right = Indentation(index);
    return model()->rowCount(index) > 0 &&
           point.x() >= right - style()->pixelMetric(QStyle::PM_TreeViewIndentation) &&
           point.x() < right;
}

QRect TLogTreeView::visualRect(const QModelIndex &index) const
{
    const int row = Log ? Log->VisibleRowOf(index) : -1;
    if (row < 0)
        return {};
    const int x = Indentation(index);
    return {x, (row - TopRow()) * RowHeight(), viewport()->width() - x, RowHeight()};
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
    return 0;
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
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(count - ShownRows(), 0));
    bar->setPageStep(ShownRows());
    bar->setSingleStep(1);
    QAbstractItemView::updateGeometries();
}

void TLogTreeView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TLogTreeView::LinesInserted(int first, int count)
{
    const int top = TopRow();
    updateGeometries();
    if (first <= top && top > 0)
        verticalScrollBar()->setValue(top + count);
    else if (first <= top + ShownRows())
        viewport()->update();
}

void TLogTreeView::LinesRemoved(int first, int count)
{
    const int top = TopRow();
    updateGeometries();
    if (first < top)
        verticalScrollBar()->setValue(top - std::min(count, top - first));
    viewport()->update();
}

// ---- moving and selecting ----------------------------------------------------------------------

QModelIndex TLogTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    if (!Log || Log->VisibleCount() == 0)
        return {};
    const QModelIndex current = currentIndex();
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

void TLogTreeView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!Log || !selectionModel())
        return;
    const QRect area = rect.normalized();
    const int last = Log->VisibleCount() - 1;
    const int from = std::clamp(TopRow() + FloorDiv(area.top(), RowHeight()), 0, last);
    const int to = std::clamp(TopRow() + FloorDiv(area.bottom(), RowHeight()), 0, last);
    // One range per run of neighbouring siblings.
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
    selectionModel()->select(selection, command);
}

QRegion TLogTreeView::visualRegionForSelection(const QItemSelection &) const
{
    return viewport()->rect();
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
    const int indent = Indentation(index);
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
    option.rect = QRect(indent, y, viewport()->width() - indent, RowHeight());
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
