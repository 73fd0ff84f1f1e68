#include "main/LogModel.h"

#include "settings/Delphi.h"

#include <algorithm>

TLogModel::TLogModel(QObject *parent) : QAbstractItemModel(parent) {}

// ---- adding ------------------------------------------------------------------------------------

QModelIndex TLogModel::AddRoot(const QString &text)
{
    return InsertRootAfter({}, text);
}

QModelIndex TLogModel::InsertRootAfter(const QModelIndex &root, const QString &text)
{
    TNode node;
    node.Text = text;
    return InsertRoot(root.isValid() ? root.row() + 1 : int(Roots.size()), std::move(node));
}

QModelIndex TLogModel::InsertRoot(int row, TNode node)
{
    const int visibleAt = row < int(Roots.size()) ? RootStarts()[size_t(row)] : VisibleCount();
    beginInsertRows({}, row, row);
    const auto id = quint32(Nodes.size());
    node.Parent = NoParent;
    node.Row = quint32(row);
    TRoot root{id, {}, {}};
    if (node.Timed)
        root.Lines.push_back(id * 2 + 1);
    Nodes.push_back(std::move(node));
    Roots.insert(Roots.begin() + row, std::move(root));
    for (size_t r = size_t(row) + 1; r < Roots.size(); ++r)
        Nodes[Roots[r].Node].Row = quint32(r);
    StartsValid = false;
    endInsertRows();
    emit VisibleLinesInserted(visibleAt, 1);
    return LineIndex(id * 2);
}

QModelIndex TLogModel::AddLine(const QModelIndex &parent, const QString &text)
{
    TNode node;
    node.Text = text;
    return AddEntry(parent, std::move(node));
}

QModelIndex TLogModel::AddTimed(const QModelIndex &parent, const QString &fmt, const QDateTime &at,
                                const QString &text)
{
    TNode node;
    node.Text = text;
    node.Stamp = at.toMSecsSinceEpoch();
    node.Format = FormatIndex(fmt);
    node.Timed = true;
    return AddEntry(parent, std::move(node));
}

QModelIndex TLogModel::AddEntry(const QModelIndex &parent, TNode node)
{
    if (!parent.isValid())
        return InsertRoot(int(Roots.size()), std::move(node));
    const quint32 parentId = LineOf(parent) / 2;
    Q_ASSERT(Nodes[parentId].Parent == NoParent && !Nodes[parentId].Timed);
    TRoot &root = RootOf(parentId);
    const bool shown = Nodes[parentId].Expanded;
    const int visibleAt =
        shown ? RootStarts()[Nodes[parentId].Row] + 1 + int(root.Lines.size()) : 0;
    const int row = int(root.Children.size());
    beginInsertRows(parent, row, row);
    const auto id = quint32(Nodes.size());
    node.Parent = parentId;
    node.Row = quint32(row);
    Nodes.push_back(std::move(node));
    root.Children.push_back(id);
    root.Lines.push_back(id * 2);
    StartsValid = false;
    endInsertRows();
    if (shown)
        emit VisibleLinesInserted(visibleAt, 1);
    return createIndex(row, 0, quintptr(id * 2));
}

void TLogModel::Clear()
{
    beginResetModel();
    Nodes.clear();
    Nodes.shrink_to_fit();
    Roots.clear();
    Roots.shrink_to_fit();
    Formats.clear();
    StartsValid = false;
    endResetModel();
}

quint16 TLogModel::FormatIndex(const QString &fmt)
{
    qsizetype at = Formats.indexOf(fmt);
    if (at < 0) {
        Formats.append(fmt);
        at = Formats.size() - 1;
    }
    return quint16(at);
}

// ---- reading -----------------------------------------------------------------------------------

QString TLogModel::LineText(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    const TLine line = LineOf(index);
    const TNode &node = NodeOf(line);
    if (line % 2 == 1 || !node.Timed)
        return node.Text;
    return FormatChecked(Formats.at(node.Format),
                         QVariantList{DateTimeToStr(QDateTime::fromMSecsSinceEpoch(node.Stamp))});
}

int TLogModel::LevelOf(const QModelIndex &index) const
{
    const TLine line = LineOf(index);
    const TNode &node = NodeOf(line);
    return (node.Parent == NoParent ? 0 : 1) + int(line % 2);
}

void TLogModel::VisitAll(const std::function<bool(const QModelIndex &, int)> &visit) const
{
    for (const TRoot &root : Roots) {
        if (!visit(LineIndex(root.Node * 2), 0))
            return;
        if (Nodes[root.Node].Timed && !visit(LineIndex(root.Node * 2 + 1), 1))
            return;
        for (const quint32 id : root.Children) {
            if (!visit(LineIndex(id * 2), 1))
                return;
            if (Nodes[id].Timed && !visit(LineIndex(id * 2 + 1), 2))
                return;
        }
    }
}

// ---- expanding ---------------------------------------------------------------------------------

bool TLogModel::IsExpanded(const QModelIndex &index) const
{
    return index.isValid() && LineOf(index) % 2 == 0 && NodeOf(LineOf(index)).Expanded;
}

void TLogModel::SetExpanded(const QModelIndex &index, bool expanded)
{
    if (!index.isValid() || LineOf(index) % 2 == 1)
        return;
    const quint32 id = LineOf(index) / 2;
    TNode &node = Nodes[id];
    if (node.Expanded == expanded)
        return;
    const int at = VisibleRowOf(index);
    int count = 0;
    if (node.Parent == NoParent) {
        count = int(RootOf(id).Lines.size());
    } else if (node.Timed) {
        // An entry under a root: its text line joins or leaves the root's shown lines.
        std::vector<TLine> &lines = RootOf(node.Parent).Lines;
        const auto entry = std::lower_bound(lines.begin(), lines.end(), id * 2);
        if (expanded)
            lines.insert(entry + 1, id * 2 + 1);
        else
            lines.erase(entry + 1);
        count = 1;
    }
    node.Expanded = expanded;
    StartsValid = false;
    if (at < 0 || count == 0)
        return;
    if (expanded)
        emit VisibleLinesInserted(at + 1, count);
    else
        emit VisibleLinesRemoved(at + 1, count);
}

void TLogModel::ExpandAllBelow(const QModelIndex &index)
{
    if (!index.isValid() || LineOf(index) % 2 == 1)
        return;
    const quint32 id = LineOf(index) / 2;
    if (Nodes[id].Parent != NoParent || Nodes[id].Timed) {
        SetExpanded(index, true);
        return;
    }
    // The root's lines are built anew with every entry's text line; the lines that come are
    // announced in tree order, each at its final row.
    TRoot &root = RootOf(id);
    std::vector<TLine> lines;
    lines.reserve(root.Children.size() * 2);
    std::vector<int> added;
    for (const quint32 child : root.Children) {
        lines.push_back(child * 2);
        if (!Nodes[child].Timed)
            continue;
        if (!Nodes[child].Expanded)
            added.push_back(int(lines.size()));
        Nodes[child].Expanded = true;
        lines.push_back(child * 2 + 1);
    }
    root.Lines = std::move(lines);
    StartsValid = false;
    if (!Nodes[id].Expanded) {
        SetExpanded(index, true);
        return;
    }
    const int first = RootStarts()[Nodes[id].Row] + 1;
    for (const int offset : added)
        emit VisibleLinesInserted(first + offset, 1);
}

int TLogModel::ShownUnder(const TRoot &root) const
{
    return Nodes[root.Node].Expanded ? int(root.Lines.size()) : 0;
}

const std::vector<int> &TLogModel::RootStarts() const
{
    if (!StartsValid) {
        Starts.resize(Roots.size());
        int row = 0;
        for (size_t r = 0; r < Roots.size(); ++r) {
            Starts[r] = row;
            row += 1 + ShownUnder(Roots[r]);
        }
        StartsValid = true;
    }
    return Starts;
}

int TLogModel::VisibleCount() const
{
    if (Roots.empty())
        return 0;
    return RootStarts().back() + 1 + ShownUnder(Roots.back());
}

QModelIndex TLogModel::VisibleLine(int row) const
{
    if (row < 0 || row >= VisibleCount())
        return {};
    const std::vector<int> &starts = RootStarts();
    const auto r = size_t(std::upper_bound(starts.begin(), starts.end(), row) - starts.begin() - 1);
    const int offset = row - starts[r];
    return LineIndex(offset == 0 ? Roots[r].Node * 2 : Roots[r].Lines[size_t(offset - 1)]);
}

int TLogModel::VisibleRowOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return -1;
    const TLine line = LineOf(index);
    const TNode &node = NodeOf(line);
    const quint32 rootNode = node.Parent == NoParent ? line / 2 : node.Parent;
    const int start = RootStarts()[Nodes[rootNode].Row];
    if (line == rootNode * 2)
        return start;
    if (!Nodes[rootNode].Expanded)
        return -1;
    const std::vector<TLine> &lines = RootOf(rootNode).Lines;
    const auto at = std::lower_bound(lines.begin(), lines.end(), line);
    if (at == lines.end() || *at != line)
        return -1;
    return start + 1 + int(at - lines.begin());
}

QModelIndex TLogModel::LineOfKey(quintptr key) const
{
    if (key / 2 >= Nodes.size() || (key % 2 == 1 && !Nodes[key / 2].Timed))
        return {};
    return LineIndex(TLine(key));
}

TLogModel::TRoot &TLogModel::RootOf(quint32 node)
{
    return Roots[Nodes[node].Row];
}

const TLogModel::TRoot &TLogModel::RootOf(quint32 node) const
{
    return Roots[Nodes[node].Row];
}

// ---- the item model ----------------------------------------------------------------------------

QModelIndex TLogModel::LineIndex(TLine line) const
{
    const TNode &node = NodeOf(line);
    return createIndex(line % 2 == 1 ? 0 : int(node.Row), 0, quintptr(line));
}

QModelIndex TLogModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return LineIndex(Roots[size_t(row)].Node * 2);
    const quint32 id = LineOf(parent) / 2;
    if (Nodes[id].Timed)
        return createIndex(0, 0, quintptr(id * 2 + 1));
    return createIndex(row, 0, quintptr(RootOf(id).Children[size_t(row)] * 2));
}

QModelIndex TLogModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const TLine line = LineOf(child);
    if (line % 2 == 1)
        return LineIndex(line - 1);
    const quint32 parentId = NodeOf(line).Parent;
    return parentId == NoParent ? QModelIndex() : LineIndex(parentId * 2);
}

int TLogModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(Roots.size());
    if (parent.column() != 0 || LineOf(parent) % 2 == 1)
        return 0;
    const quint32 id = LineOf(parent) / 2;
    if (Nodes[id].Timed)
        return 1;
    return Nodes[id].Parent == NoParent ? int(RootOf(id).Children.size()) : 0;
}

int TLogModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant TLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return LineText(index);
}
