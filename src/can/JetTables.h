#pragma once

// The tables of "carid.mdb" the program uses, and their reading with libmdb. libmdb believes
// whatever the file says, so a damaged file can make it crash or loop: the rows are read in a
// child process and streamed to the program through a pipe (see JetImport.cpp).

#include <QString>

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
};

// Producer, Model, Years, spn, spn_on_pgn with the columns the program uses.
const std::vector<TableSpec> &Tables();

// The stream a reading child writes: per table its rows, each a RowTag and per column a null
// flag byte (0 null, 1 not) followed for a value by an int64 (Integer) or a uint32 count and as
// many UTF-16 units (Text), in this machine's byte order; an EndOfTableTag after the last row of
// a table; an EndTag after the last table. A failure writes an ErrorTag, a uint32 byte count and
// the reason in UTF-8, and ends the stream.
constexpr char RowTag = 'R';
constexpr char EndOfTableTag = 'D';
constexpr char EndTag = 'Z';
constexpr char ErrorTag = 'E';

// Writes the tables of the Jet file at `path` to `fd` as described above. Never throws.
void StreamTables(const QString &path, int fd) noexcept;

} // namespace JetImport
