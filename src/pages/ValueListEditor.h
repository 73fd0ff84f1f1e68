#pragma once

// A two-column QTableWidget used as a name/value list (key column read-only, value column
// edited in place), as the engineering-numbers and touch-memory keys pages show their numbers
// and keys.

#include "settings/SetInfo.h"

#include <QColor>
#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>
#include <optional>

class QTableWidget;
class TSettingsRW;

namespace ValueListEditor {

constexpr int KeyColumn = 0;
constexpr int ValueColumn = 1;

// The value of 1-based row `row`; "" when the row has none.
QString Value(const QTableWidget &list, int row);
void SetValue(QTableWidget &list, int row, const QString &value);
QString KeyName(const QTableWidget &list, int row);
QStringList Values(const QTableWidget &list);

// Makes the key column read-only (after the rows have been loaded).
void LockKeyColumn(QTableWidget &list);

// Shows the keys of the list rows that hold page rows `pageRows` in `color`, as a caption shows
// its row's status (list row 1 holds page row `firstPageRow`; other page rows are left alone), and
// scrolls the first of them into view. A key returns to its normal colour when its row's value
// changes (see ResetMarksOnChange).
void MarkRows(QTableWidget &list, const QList<int> &pageRows, int firstPageRow,
              const QColor &color);
// Lets every change of a value put its row's key back to the normal colour.
void ResetMarksOnChange(QTableWidget &list);
// The key's colour of 1-based row `row` (invalid while it has its normal colour).
QColor RowMark(const QTableWidget &list, int row);

// The "key=value" lines the store keeps for row `listRow` of a caption table (the row's default
// when nothing is stored).
QStringList StoredLines(const TSettingsRW &settings, const QString &section, TSetInfoTable table,
                        int listRow);

// Saves a caption table as SaveSetInfoTable does, except that in the lines of its row `listRow`
// (the "key=value" lines of `list`) a row showing a result marker keeps the value stored before.
void SaveSetInfoTableKeepingMarkedRows(QWidget *owner, TSettingsRW &settings,
                                       const QString &section, TSetInfoTable table, int listRow,
                                       const QTableWidget &list);

} // namespace ValueListEditor

// Edits a value list's cells through a line edit whose typed characters pass `Filter` (a
// character mapped to another, or nothing to drop it); `KeyPressed` runs for every typed key.
class TCellKeyFilter : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using TFilter = std::function<std::optional<QChar>(QChar)>;

    TCellKeyFilter(TFilter filter, std::function<void()> keyPressed, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TFilter Filter;
    std::function<void()> KeyPressed;
};
