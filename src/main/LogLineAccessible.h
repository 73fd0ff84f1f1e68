#pragma once

// One line of the log view as a screen reader sees it: a tree item with the line's text, whether
// it can be and is expanded, selected and current, and a toggle that selects or unselects it. It
// follows its line by the line's key, so rows coming above it do not change which line it is.

#include <QAccessible>
#include <QPointer>

class TLogModel;
class TLogTreeView;

class TLogLineAccessible : public QAccessibleInterface,
                           public QAccessibleTableCellInterface,
                           public QAccessibleActionInterface
{
public:
    TLogLineAccessible(TLogTreeView *view, quintptr key);

    QModelIndex Line() const; // invalid once the log is cleared

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return table(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override;

    bool isSelected() const override;
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override;
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    TLogModel *Log() const;

    QPointer<TLogTreeView> View;
    const quintptr Key;
};
