#pragma once

// A tree view for the log: one row per shown line of a TLogModel, all rows of one height. It asks
// the model for the rows it paints only, so a new line costs the same however long the log has
// grown. Lines added above the top row keep the top row's line in place; a click on a node's arrow
// or a double click expands or collapses it, and so do the keys a tree answers (Left, Right, "+",
// "-", "*"). A line wider than the view scrolls sideways: each line's width is measured once, when
// it is first shown. Screen readers see it through TLogTreeAccessible.

#include <QAbstractItemView>
#include <QAccessible>
#include <QElapsedTimer>
#include <QPointer>

#include <vector>

class TLogModel;

class TLogTreeView : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit TLogTreeView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void reset() override;

    bool isExpanded(const QModelIndex &index) const;
    void setExpanded(const QModelIndex &index, bool expanded);

    QRect visualRect(const QModelIndex &index) const override;
    // Expands the collapsed nodes above `index`, as a tree view does, and scrolls it into view.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    // Selects every shown line.
    void selectAll() override;
    // Type-ahead over every shown line, not only the current line's siblings.
    void keyboardSearch(const QString &search) override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int RowHeight() const;
    int TopRow() const;
    int ShownRows() const; // rows that fit the viewport whole
    int Indentation(const QModelIndex &index) const;
    int ContentWidth() const;
    bool OnArrow(const QModelIndex &index, const QPoint &point) const;
    QItemSelection ShownLines(int from, int to) const;
    void LinesInserted(int first, int count);
    void LinesRemoved(int first, int count);
    void TellRowsChanged(bool inserted, int first, int count);
    void TellLineEvent(QAccessible::Event event, const QModelIndex &line);
    int LineWidth(const QModelIndex &line);
    void WidenFor(int first, int count);
    void MeasureShownLines();
    void DrawRow(QPainter &painter, const QModelIndex &index, int y) const;

    QPointer<TLogModel> Log;
    std::vector<quint16> TextWidths; // by line key; 0 until measured, else the width + 1
    int Widest = 0;                  // the widest shown line with its indentation
    QString Typed;                   // the type-ahead search so far
    QElapsedTimer SinceTyped;
};
