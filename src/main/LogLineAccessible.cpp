#include "main/LogLineAccessible.h"

#include "main/LogModel.h"
#include "main/LogTreeView.h"

#include <QItemSelectionModel>

TLogLineAccessible::TLogLineAccessible(TLogTreeView *view, quintptr key) : View(view), Key(key) {}

TLogModel *TLogLineAccessible::Log() const
{
    return View ? qobject_cast<TLogModel *>(View->model()) : nullptr;
}

QModelIndex TLogLineAccessible::Line() const
{
    return Log() ? Log()->LineOfKey(Key) : QModelIndex();
}

bool TLogLineAccessible::isValid() const
{
    return Line().isValid() && View->selectionModel();
}

void *TLogLineAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface *>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface *>(this);
    return nullptr;
}

QAccessibleInterface *TLogLineAccessible::table() const
{
    return View ? QAccessible::queryAccessibleInterface(View) : nullptr;
}

QString TLogLineAccessible::text(QAccessible::Text t) const
{
    const QModelIndex line = Line();
    if (t != QAccessible::Name || !line.isValid())
        return {};
    const QString told = line.data(Qt::AccessibleTextRole).toString();
    return told.isEmpty() ? line.data(Qt::DisplayRole).toString() : told;
}

QRect TLogLineAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect shown = View->visualRect(Line());
    if (shown.isEmpty())
        return {};
    return shown.translated(View->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::State TLogLineAccessible::state() const
{
    QAccessible::State state;
    if (!isValid())
        return state;
    const QModelIndex line = Line();
    const QRect onScreen(View->mapToGlobal(QPoint(0, 0)), View->size());
    state.invisible = !onScreen.intersects(rect());
    state.selected = isSelected();
    state.focused = View->selectionModel()->currentIndex() == line;
    if (line.flags() & Qt::ItemIsSelectable) {
        state.selectable = true;
        state.focusable = true;
        state.multiSelectable = View->selectionMode() == QAbstractItemView::MultiSelection;
        state.extSelectable = View->selectionMode() == QAbstractItemView::ExtendedSelection;
    }
    state.expandable = Log()->hasChildren(line);
    state.expanded = state.expandable && View->isExpanded(line);
    return state;
}

bool TLogLineAccessible::isSelected() const
{
    return isValid() && View->selectionModel()->isSelected(Line());
}

int TLogLineAccessible::rowIndex() const
{
    return Log() ? Log()->VisibleRowOf(Line()) : -1;
}

QStringList TLogLineAccessible::actionNames() const
{
    return {toggleAction()};
}

void TLogLineAccessible::doAction(const QString &actionName)
{
    if (actionName != toggleAction() || !isValid())
        return;
    if (QAccessibleTableInterface *rows = table()->tableInterface()) {
        const int row = rowIndex();
        if (isSelected())
            rows->unselectRow(row);
        else
            rows->selectRow(row);
    }
}
