#pragma once

// The vehicle tables of a Jet (Access) file "carid.mdb", read with libmdb and copied in their
// stored row order into an SQLite database, where every query of the program runs. Reading and
// copying run in child processes, so that a damaged file cannot bring the program down, and the
// program takes in the finished databases as images.

#include <QString>

#include <memory>
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

// The reading of one Jet file by child processes, started by the constructor and taken in by
// Load (which reports children that could not be started); it holds the database images, so it
// must outlive the connection they were loaded into. Start it before the program starts any
// thread: a child forked while another thread holds a lock (the allocator's, a library's) can wait
// for it for ever. Ending it unused stops the children.
class Reading
{
public:
    explicit Reading(const QString &path);
    ~Reading();
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

private:
    class Workers;
    friend void Load(Reading &reading, QSqlDatabase &db);
    std::unique_ptr<Workers> workers;
    QString failure;
    bool taken = false;
};

// Gives `db` (open and empty) the tables Producer, Model, Years, spn and spn_on_pgn of the Jet
// file, rows in stored order (so "the first row" of a query without an order is the first
// stored), waiting for the reading's children to finish if they have not yet; and gives the
// connection Jet's str(n) (a leading blank for a number that is not negative) and LIKE (letter case
// ignored in every alphabet, not only for ASCII letters as SQLite's own). Throws Error for a file
// that cannot be read, is damaged, or lacks one of the tables or columns, and when the reading
// crashes or stalls. A reading is taken in once.
void Load(Reading &reading, QSqlDatabase &db);

// Reads every row of the same tables with libmdb, in this process, and does nothing with them;
// the number of rows. Throws Error as Load does. For measuring what the copy adds to the reading.
qint64 Scan(const QString &path);

} // namespace JetImport
