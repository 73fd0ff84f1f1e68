#pragma once

// A vehicle database opened from one of the files in tests/data, placed as "carid.mdb" in a
// folder of its own, as the program finds it beside itself.

#include "can/DMUnit.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <unistd.h>

struct CaridFixture
{
    QTemporaryDir dir;
    std::unique_ptr<TDm> dm;

    // `file` in tests/data; an empty name opens a folder without "carid.mdb".
    explicit CaridFixture(const QString &file = QStringLiteral("carid.mdb"))
    {
        if (!file.isEmpty() &&
            !QFile::copy(QStringLiteral(W9_TEST_DATA_DIR "/") + file, dir.filePath("carid.mdb")))
            qFatal("cannot copy %s", qPrintable(file));
        dm = std::make_unique<TDm>(dir.path());
    }
};

// tests/data/carid.mdb with the catalogue's entry of `table` renamed: the file lacks that table
// only. Empty when the entry is not found.
inline QByteArray CaridWithout(const QString &table)
{
    QFile file(QStringLiteral(W9_TEST_DATA_DIR "/carid.mdb"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    // The name in UTF-16, not a part of a longer name such as "id_spn" or "spn_on_pgn".
    const QByteArray name(reinterpret_cast<const char *>(table.utf16()), table.size() * 2);
    const QByteArray underscore("_\0", 2);
    for (qsizetype at = bytes.indexOf(name); at >= 0; at = bytes.indexOf(name, at + 1)) {
        if (bytes.mid(at - 2, 2) != underscore && bytes.mid(at + name.size(), 2) != underscore) {
            bytes[at + name.size() - 2] = 'x';
            return bytes;
        }
    }
    return {};
}

// The processes this one has forked and not reaped yet (the reading children among them).
inline QList<pid_t> ChildProcesses()
{
    QFile list(QStringLiteral("/proc/self/task/%1/children").arg(getpid()));
    QList<pid_t> pids;
    if (list.open(QIODevice::ReadOnly))
        for (const QByteArray &pid : list.readAll().split(' '))
            if (!pid.trimmed().isEmpty())
                pids << pid_t(pid.trimmed().toInt());
    return pids;
}

// Those of them that have ended and wait to be reaped.
inline QList<pid_t> ZombieChildren()
{
    QList<pid_t> zombies;
    for (const pid_t pid : ChildProcesses()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly) && stat.readAll().split(')').last().startsWith(" Z"))
            zombies << pid;
    }
    return zombies;
}

// Holds (SIGSTOP) or lets go on (SIGCONT) every child of this process: a reading held as a slow
// disk or a swapping machine holds it.
inline void SignalChildren(int signal)
{
    for (const pid_t pid : ChildProcesses())
        kill(pid, signal);
}
