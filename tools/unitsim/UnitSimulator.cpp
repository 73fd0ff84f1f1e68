#include "unitsim/UnitSimulator.h"

#include "unitsim/BootLoader.h"
#include "unitsim/GsmModem.h"
#include "unitsim/PtyLink.h"
#include "unitsim/UnitFirmware.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace unitsim {

namespace {

qint64 monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Longest text kept without a carriage return before it is thrown away as line noise.
constexpr int kMaxPendingInput = 65536;
// How often the link is looked at while no program has the port open.
constexpr int kIdlePollMs = 10;

bool startsWithAny(const QByteArray &command, const QStringList &prefixes)
{
    for (const QString &prefix : prefixes) {
        if (!prefix.isEmpty() && command.startsWith(prefix.toLatin1()))
            return true;
    }
    return false;
}

// A garbled answer: a value turns into characters no parser takes; an answer without a value
// loses its "OK".
QByteArray garbled(QByteArray bytes)
{
    const int marker = bytes.indexOf('>');
    if (marker >= 0) {
        for (int i = marker + 1; i < bytes.size() && bytes[i] != '\r'; ++i)
            bytes[i] = '#';
        return bytes;
    }
    bytes.replace("OK", "0X");
    return bytes;
}

struct OutChunk
{
    qint64 due = 0;
    QByteArray bytes;
};

// A copy of `list` with an array of its own, for a caller on another thread: a shallow copy would
// share the array that the unit's thread clears and fills again in place, under its lock, while
// the caller still reads it without the lock.
template <typename T> QList<T> Unshared(const QList<T> &list)
{
    return QList<T>(list.cbegin(), list.cend());
}

} // namespace

struct UnitSimulator::Impl
{
    mutable std::mutex mutex;
    std::condition_variable changed;

    UnitSimOptions options;
    UnitSimFaults faults;
    std::unique_ptr<PtyLink> link;
    std::unique_ptr<UnitFirmware> firmware;
    std::unique_ptr<BootLoader> bootLoader;
    std::unique_ptr<GsmModem> modem;
    bool inBootLoader = false;
    int upgrades = 0;

    QList<QJsonObject> log;
    QList<ReceivedCommand> commands;
    std::unique_ptr<QFile> logFile;

    std::thread thread;
    std::atomic<bool> stopping{false};
    bool running = false;
    int wakeFd = -1;

    bool peerOpen = false;
    int openCount = 0;
    QByteArray input;
    std::deque<OutChunk> output;
    int commandsHeard = 0;  // since start(), the log's clearing aside
    qint64 bytesToSend = 0; // put on the line or queued for it, since start()
    qint64 lastDue = 0;
    int commandsSinceFaults = 0;
    QByteArray previousCommand; // the command heard before the one being handled

    void wake() const
    {
        if (wakeFd >= 0) {
            const quint64 one = 1;
            [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
    }

    const char *modeName() const
    {
        if (inBootLoader)
            return "bootloader";
        if (modem && !modem->online())
            return "modem";
        return "unit";
    }

    void addLog(const char *dir, const QByteArray &bytes, qint64 t, const QString &note = {},
                int cr = -1)
    {
        QJsonObject entry;
        entry.insert("t", double(t));
        entry.insert("dir", QString::fromLatin1(dir));
        entry.insert("mode", QString::fromLatin1(modeName()));
        if (!bytes.isEmpty() || qstrcmp(dir, "event") != 0) {
            entry.insert("text", QString::fromLatin1(bytes));
            entry.insert("hex", QString::fromLatin1(bytes.toHex()));
        }
        if (cr >= 0)
            entry.insert("cr", cr == 1);
        if (!note.isEmpty())
            entry.insert("note", note);
        log.append(entry);
        if (logFile) {
            logFile->write(QJsonDocument(entry).toJson(QJsonDocument::Compact));
            logFile->write("\n");
            logFile->flush();
        }
        changed.notify_all();
    }

    void addEvent(const QString &note, qint64 t) { addLog("event", {}, t, note); }

    // Puts an answer on the line, after the latency and behind what is still going out,
    // split into pieces as the faults ask.
    void schedule(const QByteArray &bytes, int extraDelayMs, qint64 now, bool paced = true)
    {
        if (bytes.isEmpty())
            return;
        if (!peerOpen) {
            addLog("tx", bytes, now, QStringLiteral("dropped: port closed"));
            return;
        }
        qint64 start = now + (paced ? faults.latencyMs : 0) + extraDelayMs;
        start = std::max(start, lastDue);
        int piece = bytes.size();
        if (faults.chunkSize > 0)
            piece = faults.chunkSize;
        else if (faults.bytesPerSecond > 0)
            piece = 16; // a UART FIFO's worth at a time
        double t = double(start);
        for (int offset = 0; offset < bytes.size(); offset += piece) {
            const QByteArray part = bytes.mid(offset, piece);
            if (faults.bytesPerSecond > 0)
                t += 1000.0 * part.size() / faults.bytesPerSecond;
            else if (offset > 0)
                t += faults.chunkGapMs;
            output.push_back({qint64(t + 0.5), part});
        }
        lastDue = output.back().due;
        bytesToSend += bytes.size();
        addLog("tx", bytes, now, QStringLiteral("due %1").arg(lastDue));
    }

    // What is still to go out is thrown away (the port closed, or the terminal refused it).
    void dropOutput()
    {
        for (const OutChunk &chunk : output)
            bytesToSend -= chunk.bytes.size();
        output.clear();
    }

    UnitReply route(const QByteArray &command, qint64 now)
    {
        if (modem && (!modem->online() || command == "+++")) {
            const bool wasOnline = modem->online();
            UnitReply reply = modem->handle(command);
            if (modem->online() != wasOnline)
                addEvent(modem->online() ? "modem online" : "modem command mode", now);
            return reply;
        }
        if (inBootLoader) {
            if (command.startsWith("+EE") && faults.refusedSignatures > 0) {
                --faults.refusedSignatures;
                return UnitReply::error();
            }
            UnitReply reply = bootLoader->handle(command);
            if (bootLoader->takeFinished()) {
                inBootLoader = false;
                ++upgrades;
                writeImage(now);
                addEvent("upload complete, unit restarts", now);
            }
            return reply;
        }
        UnitReply reply = firmware->handle(command);
        if (firmware->takeBootLoaderRequest() && !faults.bootLoaderFails) {
            inBootLoader = true;
            addEvent("boot loader started", now);
        }
        return reply;
    }

    void writeImage(qint64 now)
    {
        if (options.imageOutPath.isEmpty())
            return;
        QFile file(options.imageOutPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bootLoader->image());
        else
            addEvent("cannot write " + options.imageOutPath, now);
    }

    void dispatch(const QByteArray &command, bool cr, qint64 now)
    {
        commands.append({command, cr, now});
        ++commandsHeard;
        addLog("rx", command, now, {}, cr ? 1 : 0);
        ++commandsSinceFaults;
        // A silent unit hears nothing: its state stays as it was.
        if (faults.silent ||
            (faults.silentAfterCommands > 0 && commandsSinceFaults > faults.silentAfterCommands)) {
            addEvent(QStringLiteral("silent: command ignored"), now);
            return;
        }
        if (faults.echo)
            schedule(command + (cr ? "\r" : ""), 0, now, false);
        const bool firstSend = command != std::exchange(previousCommand, command);
        const UnitReply reply = route(command, now);
        if (reply.bytes.isEmpty())
            return;
        // A command that is never answered is carried out; only its answer is lost.
        const bool lost =
            firstSend && (faults.loseFirstSends || startsWithAny(command, faults.loseFirstSendsOf));
        if (startsWithAny(command, faults.neverAnswer) || lost) {
            addLog("tx", reply.bytes, now, QStringLiteral("withheld"));
            return;
        }
        QByteArray bytes =
            startsWithAny(command, faults.garble) ? garbled(reply.bytes) : reply.bytes;
        if (faults.valuesWithoutCommand && bytes.startsWith("\r\n" + command + "\r\n>"))
            bytes.remove(0, command.size() + 2);
        // At a real line speed the unit has the command only once its last byte has come.
        const int wireMs =
            faults.bytesPerSecond > 0 ? (command.size() + 1) * 1000 / faults.bytesPerSecond : 0;
        schedule(bytes, reply.delayMs + wireMs + answerDelay(command), now);
    }

    int answerDelay(const QByteArray &command) const
    {
        for (auto it = faults.answerDelayMs.cbegin(); it != faults.answerDelayMs.cend(); ++it) {
            if (startsWithAny(command, {it.key()}))
                return it.value();
        }
        return 0;
    }

    // Cuts the received bytes into commands: text up to a carriage return, or the bare "+++".
    void takeInput(qint64 now)
    {
        for (;;) {
            while (!input.isEmpty() && (input[0] == '\n' || input[0] == '\0'))
                input.remove(0, 1);
            if (input.startsWith("+++")) {
                const bool cr = input.size() > 3 && input[3] == '\r';
                input.remove(0, cr ? 4 : 3);
                dispatch("+++", cr, now);
                continue;
            }
            const int end = input.indexOf('\r');
            if (end < 0)
                break;
            const QByteArray command = input.left(end);
            input.remove(0, end + 1);
            dispatch(command, true, now);
        }
        if (input.size() > kMaxPendingInput) {
            addEvent(QStringLiteral("%1 bytes without a carriage return dropped").arg(input.size()),
                     now);
            input.clear();
        }
    }

    void portOpened(qint64 now)
    {
        peerOpen = true;
        ++openCount;
        input.clear();
        dropOutput();
        lastDue = 0;
        previousCommand.clear();
        addEvent("port opened", now);
        if (options.startupOutput && !inBootLoader)
            schedule(firmware->startupText(), options.startupDelayMs, now, false);
    }

    void portClosed(qint64 now)
    {
        peerOpen = false;
        if (!input.isEmpty())
            addLog("rx", input, now, QStringLiteral("unfinished command dropped"), 0);
        input.clear();
        dropOutput();
        lastDue = 0;
        if (modem && modem->online())
            addEvent("modem hangs up (DTR dropped)", now);
        if (modem)
            modem->hangUp();
        link->flushOutput();
        link->makeRaw();
        addEvent("port closed", now);
    }

    // Sends what is due; returns false when the terminal takes no more for now.
    bool sendDue(qint64 now)
    {
        while (!output.empty() && output.front().due <= now) {
            OutChunk &chunk = output.front();
            const qint64 n = link->write(chunk.bytes);
            if (n < 0) {
                dropOutput();
                return true;
            }
            if (n < chunk.bytes.size()) {
                chunk.bytes.remove(0, int(n));
                return false;
            }
            output.pop_front();
        }
        return true;
    }

    void run()
    {
        while (!stopping.load()) {
            bool writable = true;
            int timeout = kIdlePollMs;
            bool open = false;
            {
                std::lock_guard lock(mutex);
                const qint64 now = monotonicMs();
                if (!peerOpen && link->peerOpen())
                    portOpened(now);
                open = peerOpen;
                if (open) {
                    writable = sendDue(now);
                    timeout = 200;
                    if (!output.empty() && writable)
                        timeout = int(std::clamp<qint64>(output.front().due - now, 0, 200));
                }
            }
            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {link->masterFd(), short(POLLIN), 0}};
            if (!writable)
                fds[1].events |= POLLOUT;
            const int count = open ? 2 : 1;
            if (::poll(fds, nfds_t(count), timeout) < 0)
                continue;
            if (fds[0].revents & POLLIN) {
                quint64 value = 0;
                [[maybe_unused]] const ssize_t n = ::read(wakeFd, &value, sizeof value);
            }
            if (!open)
                continue;
            const short revents = fds[1].revents;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                QByteArray received;
                while (link->readAvailable(&received)) {
                }
                std::lock_guard lock(mutex);
                const qint64 now = monotonicMs();
                if (!received.isEmpty()) {
                    input.append(received);
                    takeInput(now);
                }
                if ((revents & (POLLHUP | POLLERR)) && !link->peerOpen())
                    portClosed(now);
            }
        }
    }
};

UnitSimulator::UnitSimulator() : d(std::make_unique<Impl>()) {}

UnitSimulator::~UnitSimulator()
{
    stop();
}

bool UnitSimulator::start(const UnitSimOptions &options, QString *error)
{
    stop();
    std::lock_guard lock(d->mutex);
    if (options.deviceType != 504 && options.deviceType != 505 && options.firmwareText.isEmpty()) {
        if (error)
            *error = QStringLiteral("device type must be 504 or 505");
        return false;
    }
    d->options = options;
    d->faults = options.faults;
    d->link = std::make_unique<PtyLink>();
    if (!d->link->open(options.linkPath, error))
        return false;
    d->firmware = std::make_unique<UnitFirmware>(options);
    d->bootLoader = std::make_unique<BootLoader>(options.eraseDelayMs);
    d->bootLoader->setErrorEveryNthBlock(options.faults.errorEveryNthBlock);
    d->modem = options.modem ? std::make_unique<GsmModem>(options) : nullptr;
    d->inBootLoader = options.startInBootLoader;
    d->upgrades = 0;
    d->log.clear();
    d->commands.clear();
    d->logFile.reset();
    if (!options.logPath.isEmpty()) {
        d->logFile = std::make_unique<QFile>(options.logPath);
        if (!d->logFile->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            if (error)
                *error = QStringLiteral("cannot write the log %1").arg(options.logPath);
            d->logFile.reset();
            d->link->close();
            return false;
        }
    }
    d->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->peerOpen = false;
    d->openCount = 0;
    d->input.clear();
    d->output.clear();
    d->commandsHeard = 0;
    d->bytesToSend = 0;
    d->commandsSinceFaults = 0;
    d->stopping = false;
    d->addEvent("unit ready on " + d->link->portPath(), monotonicMs());
    d->thread = std::thread([this] { d->run(); });
    d->running = true;
    return true;
}

void UnitSimulator::stop()
{
    {
        std::lock_guard lock(d->mutex);
        if (!d->running)
            return;
        d->stopping = true;
        d->wake();
    }
    if (d->thread.joinable())
        d->thread.join();
    std::lock_guard lock(d->mutex);
    d->link->close();
    ::close(d->wakeFd);
    d->wakeFd = -1;
    d->running = false;
    d->peerOpen = false;
    if (d->logFile)
        d->logFile->close();
}

bool UnitSimulator::isRunning() const
{
    std::lock_guard lock(d->mutex);
    return d->running;
}

QString UnitSimulator::portPath() const
{
    std::lock_guard lock(d->mutex);
    return d->link ? d->link->portPath() : QString();
}

QString UnitSimulator::slavePath() const
{
    std::lock_guard lock(d->mutex);
    return d->link ? d->link->slavePath() : QString();
}

bool UnitSimulator::isPortOpen() const
{
    std::lock_guard lock(d->mutex);
    return d->peerOpen;
}

int UnitSimulator::openCount() const
{
    std::lock_guard lock(d->mutex);
    return d->openCount;
}

bool UnitSimulator::waitForOpen(int timeoutMs)
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return d->peerOpen; });
}

bool UnitSimulator::waitForClose(int timeoutMs)
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return !d->peerOpen; });
}

QList<QJsonObject> UnitSimulator::log() const
{
    std::lock_guard lock(d->mutex);
    return Unshared(d->log);
}

QList<ReceivedCommand> UnitSimulator::commands() const
{
    std::lock_guard lock(d->mutex);
    return Unshared(d->commands);
}

int UnitSimulator::commandCount() const
{
    std::lock_guard lock(d->mutex);
    return int(d->commands.size());
}

void UnitSimulator::clearLog()
{
    std::lock_guard lock(d->mutex);
    d->log.clear();
    d->commands.clear();
}

bool UnitSimulator::waitForCommand(const QString &text, int timeoutMs)
{
    return waitForCommand(text.toLatin1(), timeoutMs);
}

bool UnitSimulator::waitForCommand(const QByteArray &text, int timeoutMs)
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this, &text] {
        return std::any_of(d->commands.cbegin(), d->commands.cend(),
                           [&text](const ReceivedCommand &c) { return c.text == text; });
    });
}

bool UnitSimulator::waitForCommandCount(int count, int timeoutMs)
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this, count] { return d->commands.size() >= count; });
}

int UnitSimulator::commandsHeard() const
{
    std::lock_guard lock(d->mutex);
    return d->commandsHeard;
}

qint64 UnitSimulator::bytesToSend() const
{
    std::lock_guard lock(d->mutex);
    return d->bytesToSend;
}

UnitSimFaults UnitSimulator::faults() const
{
    std::lock_guard lock(d->mutex);
    return d->faults;
}

void UnitSimulator::setFaults(const UnitSimFaults &faults)
{
    std::lock_guard lock(d->mutex);
    d->faults = faults;
    d->commandsSinceFaults = 0;
    if (d->bootLoader)
        d->bootLoader->setErrorEveryNthBlock(faults.errorEveryNthBlock);
    d->wake();
}

void UnitSimulator::setLatency(int ms)
{
    UnitSimFaults f = faults();
    f.latencyMs = ms;
    setFaults(f);
}

void UnitSimulator::setSilent(bool silent)
{
    UnitSimFaults f = faults();
    f.silent = silent;
    setFaults(f);
}

void UnitSimulator::setChunkSize(int bytes)
{
    UnitSimFaults f = faults();
    f.chunkSize = bytes;
    setFaults(f);
}

QByteArray UnitSimulator::setting(const QString &word) const
{
    std::lock_guard lock(d->mutex);
    return d->firmware ? d->firmware->settings().value(word.toLatin1()) : QByteArray();
}

void UnitSimulator::setSetting(const QString &word, const QByteArray &value)
{
    std::lock_guard lock(d->mutex);
    if (d->firmware)
        d->firmware->settings().setValue(word.toLatin1(), value);
}

quint16 UnitSimulator::flagWord() const
{
    std::lock_guard lock(d->mutex);
    return d->firmware ? d->firmware->flagWord() : 0;
}

void UnitSimulator::setFlagWord(quint16 word)
{
    std::lock_guard lock(d->mutex);
    if (d->firmware)
        d->firmware->setFlagWord(word);
}

QByteArray UnitSimulator::key(int index) const
{
    std::lock_guard lock(d->mutex);
    return d->firmware ? d->firmware->key(index) : QByteArray();
}

void UnitSimulator::setKey(int index, const QByteArray &key)
{
    std::lock_guard lock(d->mutex);
    if (d->firmware)
        d->firmware->setKey(index, key);
}

void UnitSimulator::setPresentedKey(const QByteArray &key)
{
    std::lock_guard lock(d->mutex);
    if (d->firmware)
        d->firmware->setPresentedKey(key);
}

int UnitSimulator::historyCount() const
{
    std::lock_guard lock(d->mutex);
    return d->firmware ? d->firmware->history().count() : 0;
}

void UnitSimulator::setHistoryCount(int count)
{
    std::lock_guard lock(d->mutex);
    if (d->firmware)
        d->firmware->history().setCount(count);
}

QByteArray UnitSimulator::historyRecord(int index) const
{
    std::lock_guard lock(d->mutex);
    return d->firmware ? d->firmware->history().recordHex(index) : QByteArray();
}

bool UnitSimulator::inBootLoader() const
{
    std::lock_guard lock(d->mutex);
    return d->inBootLoader;
}

void UnitSimulator::setInBootLoader(bool on)
{
    std::lock_guard lock(d->mutex);
    d->inBootLoader = on;
}

QByteArray UnitSimulator::receivedImage() const
{
    std::lock_guard lock(d->mutex);
    return d->bootLoader ? d->bootLoader->image() : QByteArray();
}

int UnitSimulator::blocksAccepted() const
{
    std::lock_guard lock(d->mutex);
    return d->bootLoader ? d->bootLoader->blocksAccepted() : 0;
}

int UnitSimulator::blocksRefused() const
{
    std::lock_guard lock(d->mutex);
    return d->bootLoader ? d->bootLoader->blocksRefused() : 0;
}

bool UnitSimulator::flashErased() const
{
    std::lock_guard lock(d->mutex);
    return d->bootLoader && d->bootLoader->erased();
}

int UnitSimulator::upgradesCompleted() const
{
    std::lock_guard lock(d->mutex);
    return d->upgrades;
}

bool UnitSimulator::modemOnline() const
{
    std::lock_guard lock(d->mutex);
    return d->modem && d->modem->online();
}

QByteArray UnitSimulator::lastDialled() const
{
    std::lock_guard lock(d->mutex);
    return d->modem ? d->modem->lastDialled() : QByteArray();
}

void UnitSimulator::setDialResult(const QString &result)
{
    std::lock_guard lock(d->mutex);
    if (d->modem)
        d->modem->setDialResult(result);
}

void UnitSimulator::setRegisterAfter(int tries)
{
    std::lock_guard lock(d->mutex);
    if (d->modem)
        d->modem->setRegisterAfter(tries);
}

void UnitSimulator::setRoaming(bool roaming)
{
    std::lock_guard lock(d->mutex);
    if (d->modem)
        d->modem->setRoaming(roaming);
}

void UnitSimulator::dropCarrier()
{
    std::lock_guard lock(d->mutex);
    if (!d->modem || !d->modem->online())
        return;
    d->modem->hangUp();
    const qint64 now = monotonicMs();
    d->addEvent("carrier lost", now);
    d->schedule("\r\nNO CARRIER\r\n", 0, now, false);
    d->wake();
}

void UnitSimulator::sendUnsolicited(const QByteArray &bytes)
{
    std::lock_guard lock(d->mutex);
    d->schedule(bytes, 0, monotonicMs(), false);
    d->wake();
}

} // namespace unitsim
