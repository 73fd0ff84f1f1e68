#pragma once

// Pseudo-terminals and raw descriptors for the serial tests: the program opens the slave side by
// its path like any serial device, the test plays the unit on the master side.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// Bytes from a descriptor, kept until asked for: a count of them, up to a terminator, or
// whatever comes within a time.
class ByteReader
{
public:
    explicit ByteReader(int fd = -1) : fd(fd) {}

    // Until `count` bytes have come or `timeoutMs` has passed.
    QByteArray Read(qsizetype count, int timeoutMs = 3000)
    {
        Gather([&] { return buffer.size() >= count; }, timeoutMs);
        return Take(count);
    }
    // Until `terminator` has come (after what was already read); the rest stays for later.
    QByteArray ReadUntil(const QByteArray &terminator, int timeoutMs = 2000)
    {
        Gather([&] { return buffer.contains(terminator); }, timeoutMs);
        const qsizetype end = buffer.indexOf(terminator);
        return Take(end < 0 ? buffer.size() : end + terminator.size());
    }
    // Whatever arrives within `waitMs` (and whatever is there already).
    QByteArray ReadFor(int waitMs)
    {
        Gather([] { return false; }, waitMs);
        while (Fill(0)) {
        }
        return Take(buffer.size());
    }
    int fd = -1;

private:
    template <typename Done> void Gather(Done done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs && Fill(int(timeoutMs - clock.elapsed()))) {
        }
    }
    bool Fill(int timeoutMs)
    {
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, timeoutMs) <= 0)
            return false;
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(chunk, n);
        return true;
    }
    QByteArray Take(qsizetype size)
    {
        const QByteArray taken = buffer.left(size);
        buffer.remove(0, taken.size());
        return taken;
    }

    QByteArray buffer;
};

// The master side reads through the byte reader.
class PtyPair : public ByteReader
{
public:
    // With `keepSlave` the slave side stays open in raw mode, so the master side outlives the
    // program's closes and reopens of the port.
    explicit PtyPair(bool keepSlave = false)
    {
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&fd, &slaveFd, nullptr, keepSlave ? &raw : nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(::ttyname(slaveFd));
            if (!keepSlave)
                CloseFd(slaveFd);
        }
    }
    ~PtyPair()
    {
        CloseMaster();
        CloseFd(slaveFd);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool Ok() const { return fd >= 0 && !path.isEmpty(); }
    QString SlavePath() const { return path; }

    bool Write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    void CloseMaster() { CloseFd(fd); }

private:
    static int CloseFd(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        return fd = -1;
    }

    int slaveFd = -1;
    QString path;
};

// A unit on a pseudo-terminal that answers each command (text up to CR) from a table, either at
// once or one byte every few milliseconds. Unknown commands get no answer.
class ScriptedUnit : public QObject
{
public:
    using TAnswer = std::function<QString(const QString &cmd, int count)>;

    ScriptedUnit()
    {
        notifier = std::make_unique<QSocketNotifier>(Pty.fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this] { ReadCommands(); });
        trickle.setInterval(3);
        connect(&trickle, &QTimer::timeout, this, [this] {
            Pty.Write(outgoing.left(1));
            outgoing.remove(0, 1);
            if (outgoing.isEmpty())
                trickle.stop();
        });
    }

    void Answer(const QString &cmd, const QString &reply)
    {
        Answer(cmd, [reply](const QString &, int) { return reply; });
    }
    void Answer(const QString &cmd, TAnswer answer) { answers[cmd] = std::move(answer); }
    // A value reply as the unit gives it: echo, ">value", "OK".
    void AnswerValue(const QString &cmd, const QString &value)
    {
        Answer(cmd, cmd + "\r\n>" + value + "\r\nOK\r\n");
    }
    void Write(const QString &text)
    {
        if (!OneByteChunks) {
            Pty.Write(text.toUtf8());
            return;
        }
        outgoing += text.toUtf8();
        if (!trickle.isActive())
            trickle.start();
    }
    int Count(const QString &cmd) const { return int(Received.count(cmd)); }

    PtyPair Pty{true};
    QStringList Received;
    bool OneByteChunks = false;

private:
    void ReadCommands()
    {
        pending += Pty.ReadFor(0);
        for (qsizetype cr = pending.indexOf('\r'); cr >= 0; cr = pending.indexOf('\r')) {
            const QString cmd = QString::fromLatin1(pending.left(cr));
            pending.remove(0, cr + 1);
            Received << cmd;
            const auto it = answers.find(cmd);
            const QString reply = it == answers.end() ? QString() : it->second(cmd, Count(cmd));
            if (!reply.isEmpty())
                Write(reply);
        }
    }

    QByteArray pending;
    QByteArray outgoing; // bytes still to go out one at a time
    QTimer trickle;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<QString, TAnswer> answers;
};
