#include "main/LogTreeAccessible.h"

#include "main/LogLineAccessible.h"
#include "main/LogModel.h"
#include "main/LogTreeView.h"

#include <QItemSelectionModel>

#include <algorithm>

TLogTreeAccessible::TLogTreeAccessible(TLogTreeView *view)
    : QAccessibleWidget(view, QAccessible::Tree)
{}

TLogTreeAccessible::~TLogTreeAccessible()
{
    DropCells();
}

QAccessibleInterface *TLogTreeAccessible::Create(const QString &className, QObject *object)
{
    auto *view = qobject_cast<TLogTreeView *>(object);
    if (!view || className != QLatin1String(TLogTreeView::staticMetaObject.className()))
        return nullptr;
    return new TLogTreeAccessible(view); // the caller registers it: Qt's cache owns it
}

TLogTreeView *TLogTreeAccessible::View() const
{
    return static_cast<TLogTreeView *>(widget());
}

TLogModel *TLogTreeAccessible::Log() const
{
    return qobject_cast<TLogModel *>(View()->model());
}

QItemSelectionModel *TLogTreeAccessible::Selection() const
{
    return Log() ? View()->selectionModel() : nullptr;
}

void TLogTreeAccessible::DropCells()
{
    for (const QAccessible::Id id : std::as_const(Cells))
        QAccessible::deleteAccessibleInterface(id);
    Cells.clear();
}

void *TLogTreeAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

// ---- the rows ----------------------------------------------------------------------------------

QAccessibleInterface *TLogTreeAccessible::child(int index) const
{
    const QModelIndex line = Log() ? Log()->VisibleLine(index) : QModelIndex();
    if (!line.isValid())
        return nullptr;
    const quintptr key = TLogModel::KeyOf(line);
    const auto known = Cells.constFind(key);
    if (known != Cells.cend()) {
        if (QAccessibleInterface *cell = QAccessible::accessibleInterface(*known))
            return cell;
    }
    // Qt's interface cache owns the cell from here on.
    auto *cell = new TLogLineAccessible(View(), key);
    Cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int TLogTreeAccessible::childCount() const
{
    return rowCount();
}

int TLogTreeAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *cell = dynamic_cast<const TLogLineAccessible *>(child);
    if (!cell || !Log() || cell->table() != this)
        return -1;
    return Log()->VisibleRowOf(cell->Line());
}

QAccessibleInterface *TLogTreeAccessible::childAt(int x, int y) const
{
    const QPoint at = View()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!Log() || !View()->viewport()->rect().contains(at))
        return nullptr;
    return child(Log()->VisibleRowOf(View()->indexAt(at)));
}

QAccessibleInterface *TLogTreeAccessible::focusChild() const
{
    if (View()->hasFocus() && Log()) {
        if (QAccessibleInterface *current = child(Log()->VisibleRowOf(View()->currentIndex())))
            return current;
    }
    return QAccessibleWidget::focusChild();
}

int TLogTreeAccessible::rowCount() const
{
    return Log() ? Log()->VisibleCount() : 0;
}

QAccessibleInterface *TLogTreeAccessible::cellAt(int row, int column) const
{
    return column == 0 ? child(row) : nullptr;
}

void TLogTreeAccessible::modelChange(QAccessibleTableModelChangeEvent *event)
{
    // Lines keep their keys while others come and go; a reset gives the keys to new lines.
    if (event->modelChangeType() == QAccessibleTableModelChangeEvent::ModelReset)
        DropCells();
}

// ---- selection ---------------------------------------------------------------------------------

QList<int> TLogTreeAccessible::selectedRows() const
{
    QList<int> rows;
    if (!Selection())
        return rows;
    for (const QModelIndex &line : Selection()->selectedIndexes()) {
        const int row = Log()->VisibleRowOf(line);
        if (row >= 0)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TLogTreeAccessible::selectedRowCount() const
{
    return int(selectedRows().size());
}

int TLogTreeAccessible::selectedCellCount() const
{
    return selectedRowCount();
}

QList<QAccessibleInterface *> TLogTreeAccessible::selectedCells() const
{
    QList<QAccessibleInterface *> cells;
    for (const int row : selectedRows())
        cells.append(child(row));
    return cells;
}

bool TLogTreeAccessible::isRowSelected(int row) const
{
    const QModelIndex line = Log() ? Log()->VisibleLine(row) : QModelIndex();
    return line.isValid() && Selection() && Selection()->isSelected(line);
}

bool TLogTreeAccessible::selectRow(int row)
{
    const QModelIndex line = Log() ? Log()->VisibleLine(row) : QModelIndex();
    if (!line.isValid() || !Selection())
        return false;
    switch (View()->selectionMode()) {
    case QAbstractItemView::NoSelection:
        return false;
    case QAbstractItemView::SingleSelection:
        View()->clearSelection();
        break;
    case QAbstractItemView::ContiguousSelection:
        if (!isRowSelected(row - 1) && !isRowSelected(row + 1))
            View()->clearSelection();
        break;
    default:
        break;
    }
    Selection()->select(line, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return true;
}

bool TLogTreeAccessible::unselectRow(int row)
{
    if (!isRowSelected(row))
        return false;
    // In single and contiguous selection the user cannot take the last selected line away.
    const auto mode = View()->selectionMode();
    if ((mode == QAbstractItemView::SingleSelection ||
         mode == QAbstractItemView::ContiguousSelection) &&
        selectedRowCount() == 1)
        return false;
    Selection()->select(Log()->VisibleLine(row),
                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}
