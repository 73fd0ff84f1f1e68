#pragma once

// The log's lines, kept compact for a whole day of traffic: root nodes (a connection's start and
// end, or entries made before the first connection), entries under a root, and one text line under
// each timed entry. A timed entry keeps its time as a number and its format as a small index, and
// its node text is made only when asked for. Which nodes are expanded is kept here too, one flag
// per node, together with the order of the lines a tree view shows, so that a view finds its rows
// without walking the tree.

#include <QAbstractItemModel>
#include <QDateTime>
#include <QStringList>

#include <functional>
#include <vector>

class TLogModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TLogModel(QObject *parent = nullptr);

    // A new root node after the last one, or right after `root` when that is valid.
    QModelIndex AddRoot(const QString &text);
    QModelIndex InsertRootAfter(const QModelIndex &root, const QString &text);
    // A new last entry under `parent`, a root made by AddRoot, or a root itself when `parent` is
    // invalid.
    QModelIndex AddLine(const QModelIndex &parent, const QString &text);
    // A timed entry: the node shows `fmt` with the date-time text of `at`; its one child, `text`.
    QModelIndex AddTimed(const QModelIndex &parent, const QString &fmt, const QDateTime &at,
                         const QString &text);
    void Clear();

    QString LineText(const QModelIndex &index) const;
    int LevelOf(const QModelIndex &index) const;
    // Every line in tree order, collapsed ones included, until `visit` returns false.
    void VisitAll(const std::function<bool(const QModelIndex &, int level)> &visit) const;

    bool IsExpanded(const QModelIndex &index) const;
    void SetExpanded(const QModelIndex &index, bool expanded);
    // Expands `index` and every node below it in one pass over its entries.
    void ExpandAllBelow(const QModelIndex &index);

    // The lines a tree view shows: those whose ancestors are all expanded, in tree order.
    int VisibleCount() const;
    QModelIndex VisibleLine(int row) const;
    int VisibleRowOf(const QModelIndex &index) const; // -1 when an ancestor is collapsed

    // A line's key: a small number that stays the line's own from its adding until Clear, however
    // many lines come before it (a row under the root level does not).
    static quintptr KeyOf(const QModelIndex &index) { return index.internalId(); }
    QModelIndex LineOfKey(quintptr key) const; // invalid for a key no line has

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

signals:
    // Shown lines came or went at `first` (a view keeps its top line in place with these).
    void VisibleLinesInserted(int first, int count);
    void VisibleLinesRemoved(int first, int count);

private:
    // A line is a node (id * 2) or the text line under a timed node (id * 2 + 1).
    using TLine = quint32;
    static constexpr quint32 NoParent = 0xFFFFFFFFu;

    struct TNode
    {
        QString Text;     // the node's text; for a timed entry the text of its child line
        qint64 Stamp = 0; // timed entry: milliseconds since the epoch
        quint32 Parent = NoParent;
        quint32 Row = 0;    // row under the parent, or root row
        quint16 Format = 0; // timed entry: index into Formats
        bool Timed = false;
        bool Expanded = false;
    };
    struct TRoot
    {
        quint32 Node = 0;
        std::vector<quint32> Children; // entry nodes, in row order
        std::vector<TLine> Lines;      // the shown lines under the root when it is expanded
    };

    QModelIndex LineIndex(TLine line) const;
    static TLine LineOf(const QModelIndex &index) { return TLine(index.internalId()); }
    const TNode &NodeOf(TLine line) const { return Nodes[line / 2]; }
    TRoot &RootOf(quint32 node);
    const TRoot &RootOf(quint32 node) const;
    quint16 FormatIndex(const QString &fmt);
    QModelIndex AddEntry(const QModelIndex &parent, TNode node);
    QModelIndex InsertRoot(int row, TNode node);
    const std::vector<int> &RootStarts() const;
    int ShownUnder(const TRoot &root) const;

    std::vector<TNode> Nodes;
    std::vector<TRoot> Roots;
    QStringList Formats;
    mutable std::vector<int> Starts; // visible row of each root; rebuilt when StartsValid is false
    mutable bool StartsValid = false;
};
