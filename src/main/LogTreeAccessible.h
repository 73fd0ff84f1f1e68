#pragma once

// What a screen reader sees of the log view: a tree with one row per line the view shows, each row
// one cell (TLogLineAccessible). A line keeps its cell however the lines above it come and go; the
// cells go when the log is cleared.

#include <QAccessibleWidget>
#include <QHash>

class QItemSelectionModel;
class TLogModel;
class TLogTreeView;

class TLogTreeAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TLogTreeAccessible(TLogTreeView *view);
    ~TLogTreeAccessible() override;

    // The factory to install with QAccessible::installFactory.
    static QAccessibleInterface *Create(const QString &className, QObject *object);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *focusChild() const override;

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int) const override { return {}; }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override { return 1; }
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override;

private:
    TLogTreeView *View() const;
    TLogModel *Log() const;
    QItemSelectionModel *Selection() const;
    void DropCells();

    mutable QHash<quintptr, QAccessible::Id> Cells; // by line key
};
