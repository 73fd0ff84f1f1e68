#pragma once

// The vehicle tables of a Jet (Access) file "carid.mdb", read with libmdb (in a child process, so
// that a damaged file cannot bring the program down) and copied in their stored row order into an
// SQLite database, where every query of the program runs.

#include <QString>

#include <stdexcept>

class QSqlDatabase;

namespace JetImport {

// Why a file could not be taken: the reason as the user reads it.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &reason);
    QString Reason() const { return QString::fromUtf8(what()); }
};

// Creates the tables Producer, Model, Years, spn and spn_on_pgn in `db` (open and empty) and
// fills them from the Jet file at `path`, rows in stored order (so "the first row" of a query
// without an order is the first stored), and gives the connection Jet's str(n) (a leading blank
// for a number that is not negative) and LIKE (letter case ignored in every alphabet, not only
// for ASCII letters as SQLite's own). Throws Error for a file that cannot be read, is damaged, or
// lacks one of the tables or columns, and when the reading crashes or stalls.
void Load(const QString &path, QSqlDatabase &db);

// Reads every row of the same tables with libmdb, in this process, and does nothing with them;
// the number of rows. Throws Error as Load does. For measuring what the copy adds to the reading.
qint64 Scan(const QString &path);

} // namespace JetImport
