#pragma once

// A tree view for the log: one row per shown line of a TLogModel, all rows of one height, texts
// cut at the right edge. It asks the model for the rows it paints only, so a new line costs the
// same however long the log has grown. Lines added above the top row keep the top row's line in
// place; a click on a node's arrow or a double click expands or collapses it.

#include <QAbstractItemView>
#include <QPointer>

class TLogModel;

class TLogTreeView : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit TLogTreeView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    bool isExpanded(const QModelIndex &index) const;
    void setExpanded(const QModelIndex &index, bool expanded);

    QRect visualRect(const QModelIndex &index) const override;
    // Expands the collapsed nodes above `index`, as a tree view does, and scrolls it into view.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int RowHeight() const;
    int TopRow() const;
    int ShownRows() const; // rows that fit the viewport whole
    int Indentation(const QModelIndex &index) const;
    bool OnArrow(const QModelIndex &index, const QPoint &point) const;
    void LinesInserted(int first, int count);
    void LinesRemoved(int first, int count);
    void DrawRow(QPainter &painter, const QModelIndex &index, int y) const;

    QPointer<TLogModel> Log;
};
