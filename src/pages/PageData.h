#pragma once

// The values of one page on their way between the main window and a page frame: a table with
// 1-based rows and columns of QVariant, or unassigned (no dimensions) when there is nothing.
//
// Read form: rows 1..N of (value, status), status 1 when the reply came, 0 when not.
// Write form: rows 1..M of (row number, value text, flag or sub-index; -1 = row not sent).
// Write results (TWriteResults): one code per write row: 0 written, 1 failed, -1 not sent.

#include <QList>
#include <QVariant>

#include <stdexcept>

class EPageDataRange : public std::out_of_range
{
public:
    using std::out_of_range::out_of_range;
};

class TPageData
{
public:
    TPageData() = default; // unassigned
    // Rows x Cols cells, each holding Fill. Zero or negative sizes give an unassigned table.
    TPageData(int Rows, int Cols, const QVariant &Fill = 0);

    bool IsAssigned() const { return rows > 0 && cols > 0; }
    int RowCount() const { return rows; } // the upper row bound; 0 when unassigned
    int ColCount() const { return cols; }

    // Cells by 1-based row and column; out-of-range access throws EPageDataRange.
    QVariant &operator()(int Row, int Col);
    const QVariant &operator()(int Row, int Col) const;

    void Fill(const QVariant &Value);
    void Clear(); // back to unassigned

private:
    qsizetype IndexOf(int Row, int Col) const;

    int rows = 0;
    int cols = 0;
    QList<QVariant> cells;
};

using TWriteResults = QList<int>;

// The page rows (column 1) of the write form's rows that are sent and whose value text cannot go
// inside one command: the unit would get "?" for a character its code page cannot carry, and a
// control character would end the command early (the rest going out as a command of its own) or
// reach the unit raw.
QList<int> RowsNotCarriedInOneLine(const TPageData &Write);
