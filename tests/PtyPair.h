#pragma once

// A pseudo-terminal pair for the serial tests: the program opens the slave side by its path like
// any serial device, the test plays the unit on the master side.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        if (::openpty(&masterFd, &slave, nullptr, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(::ttyname(slave));
            ::close(slave);
        }
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool Ok() const { return masterFd >= 0 && !path.isEmpty(); }
    QString SlavePath() const { return path; }
    int Master() const { return masterFd; }

    bool Write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(masterFd, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    // Reads until `count` bytes have come or `timeoutMs` has passed.
    QByteArray Read(qsizetype count, int timeoutMs = 3000) const
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            pollfd in{masterFd, POLLIN, 0};
            if (::poll(&in, 1, int(timeoutMs - clock.elapsed())) <= 0)
                break;
            char chunk[4096];
            const ssize_t n = ::read(masterFd, chunk, sizeof chunk);
            if (n <= 0)
                break;
            got.append(chunk, n);
        }
        return got;
    }

    // Whatever arrives within `waitMs`.
    QByteArray ReadFor(int waitMs) const { return Read(1 << 30, waitMs); }

    void CloseMaster()
    {
        if (masterFd >= 0)
            ::close(masterFd);
        masterFd = -1;
    }

private:
    int masterFd = -1;
    QString path;
};
