#pragma once

// The vehicle tables of a Jet (Access) file "carid.mdb", read with libmdb and copied in their
// stored row order into an SQLite database, where every query of the program runs. Reading and
// copying run in child processes, so that a damaged file cannot bring the program down, and the
// program takes in the finished databases as images.

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <memory>
#include <stdexcept>
#include <vector>

class QSqlDatabase;

namespace JetImport {

// Why a file could not be taken: the reason as the user reads it.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &reason);
    QString Reason() const { return QString::fromUtf8(what()); }
};

// The reading of one Jet file by child processes, started by the constructor. Start it before the
// program starts any thread: a child forked while another thread holds a lock (the allocator's, a
// library's) can wait for it for ever. The program takes in what the children write on their
// pipes, as it comes (ReadFrom, from an event loop) or waiting for it (Wait); each child is reaped
// as soon as it has delivered its tables. The reading holds the database images, so it must
// outlive the connection they are loaded into. Ending it stops the children that still run.
class Reading
{
public:
    // How long the children may write nothing before the reading counts as stopped.
    static constexpr int StallLimitMs = 10000;

    explicit Reading(const QString &path);
    ~Reading();
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

    // The pipes the children still write to: each wants ReadFrom when it is readable.
    std::vector<int> Pipes() const;
    // Takes in what has come on `pipe`, without waiting.
    void ReadFrom(int pipe);
    // Every table has come in, or failed, or the reading could not start.
    bool Done() const;
    // Waits until every pipe has ended, giving up when all stay silent for `stallLimitMs`.
    void Wait(int stallLimitMs = StallLimitMs);
    // The children wrote nothing for `stallLimitMs`: they are stopped, and the tables that have
    // not come in count as not read, because the reading stopped.
    void GiveUp(int stallLimitMs);

private:
    class Workers;
    friend QStringList Load(Reading &reading, QSqlDatabase &db);
    std::unique_ptr<Workers> workers;
    QString failure;
    bool taken = false;
};

// Gives `db` (open and empty) the tables Producer, Model, Years, spn and spn_on_pgn of the Jet
// file, rows in stored order (so "the first row" of a query without an order is the first
// stored), from a reading that is Done; and gives the connection Jet's str(n) (a leading blank for
// a number that is not negative) and LIKE (letter case ignored in every alphabet, not only for
// ASCII letters as SQLite's own). Throws Error when the file cannot be read or is damaged, when
// the reading crashed or stopped, or when one of the vehicle tables or its columns is missing. An
// SPN table that could not be read is left empty: the reasons, one per such table. A reading is
// taken in once.
QStringList Load(Reading &reading, QSqlDatabase &db);

// A reading child's first step after the fork: it dies with `program`, the process that forked
// it, and ends at once when that one is gone already.
void FollowProgram(pid_t program);

// Reads every row of the same tables with libmdb, in this process, and does nothing with them;
// the number of rows. Throws Error as Load does. For measuring what the copy adds to the reading.
qint64 Scan(const QString &path);

} // namespace JetImport
