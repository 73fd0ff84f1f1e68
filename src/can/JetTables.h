#pragma once

// The tables of "carid.mdb" the program uses, and their reading with libmdb. libmdb believes
// whatever the file says, so a damaged file can make it crash or loop: the rows are read in a
// child process (see JetImport.cpp).

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace JetImport {

enum class Kind
{
    Integer,
    Text
};

struct ColumnSpec
{
    const char *name;
    Kind kind;
};

struct TableSpec
{
    const char *name;
    std::vector<ColumnSpec> columns;
    const char *indexed = nullptr; // the column the program looks rows up by, if any
    bool spnOnly = false;          // only the SPN records use it: the vehicle lists do without it
};

// Producer, Model, Years, spn, spn_on_pgn with the columns the program uses.
const std::vector<TableSpec> &Tables();

// One value of a row: NULL, or an integer (Kind::Integer) or a text (Kind::Text).
struct Value
{
    bool null = true;
    qint64 integer = 0;
    std::u16string text;
};

// Called for every row with its values in the order of the table's spec.
using RowReader = std::function<void(const std::vector<Value> &row)>;

// Reads every row of Tables()[table] from the Jet file at `path`, in stored order. Throws Error for
// a file that cannot be read or is damaged, or that lacks the table or one of its columns (then
// before any row).
void ReadTable(const QString &path, size_t table, const RowReader &row);

} // namespace JetImport
