#include "can/JetImport.h"

#include "can/JetSql.h"
#include "can/JetTables.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace JetImport {

Error::Error(const QString &reason) : std::runtime_error(reason.toStdString()) {}

namespace {

// ---- SQLite, through a connection's own handle --------------------------------------

struct Finalize
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

[[noreturn]] void SqlFailed(sqlite3 *db)
{
    throw Error(QStringLiteral("ошибка SQLite: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
}

sqlite3 *Handle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw Error(QStringLiteral("нет соединения с SQLite"));
    sqlite3 *sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    if (!sqlite)
        throw Error(QStringLiteral("соединение с SQLite не открыто"));
    return sqlite;
}

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        SqlFailed(db);
}

Statement Prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        SqlFailed(db);
    return Statement(statement);
}

std::string Quoted(const char *name)
{
    return std::string("\"") + name + "\"";
}
void CreateTable(sqlite3 *db, const TableSpec &spec, const std::string &schema = "main")
{
    // No primary key: the row id keeps the stored order.
    std::string sql = "CREATE TABLE " + schema + "." + Quoted(spec.name) + " (";
    for (const ColumnSpec &column : spec.columns) {
        const char *type = column.kind == Kind::Integer ? " INTEGER, " : " TEXT, ";
        sql += Quoted(column.name) + type;
    }
    sql.resize(sql.size() - 2);
    Exec(db, sql + ")");
}

std::string InsertSql(const TableSpec &spec, size_t rows)
{
    std::string row = "(?";
    for (size_t i = 1; i < spec.columns.size(); ++i)
        row += ", ?";
    row += ")";
    std::string sql = "INSERT INTO " + Quoted(spec.name) + " VALUES " + row;
    for (size_t i = 1; i < rows; ++i)
        sql += ", " + row;
    return sql;
}

// ---- the reading child: the tables into an SQLite database of its own -------------------------

// Rows go in by batches, many to one statement: SQLite's cost is mostly per statement run.
class TableCopy
{
public:
    TableCopy(sqlite3 *db, const TableSpec &spec)
        : db(db), spec(&spec), full(Prepare(db, InsertSql(spec, BatchRows))),
          batch(BatchRows * spec.columns.size())
    {}

    void Add(const std::vector<Value> &row)
    {
        std::copy(row.begin(), row.end(), batch.begin() + std::ptrdiff_t(rows * row.size()));
        if (++rows == BatchRows)
            Flush();
    }

    void Flush()
    {
        if (rows == 0)
            return;
        const Statement rest = rows == BatchRows ? nullptr : Prepare(db, InsertSql(*spec, rows));
        sqlite3_stmt *statement = rest ? rest.get() : full.get();
        const size_t columns = spec->columns.size();
        for (size_t i = 0; i < rows * columns; ++i) {
            const Value &value = batch[i];
            const int parameter = int(i) + 1;
            if (value.null)
                sqlite3_bind_null(statement, parameter);
            else if (spec->columns[i % columns].kind == Kind::Integer)
                sqlite3_bind_int64(statement, parameter, value.integer);
            else
                sqlite3_bind_text16(statement, parameter, value.text.data(),
                                    int(value.text.size() * sizeof(char16_t)), SQLITE_STATIC);
        }
        if (sqlite3_step(statement) != SQLITE_DONE)
            SqlFailed(db);
        sqlite3_reset(statement);
        rows = 0;
    }

private:
    static constexpr size_t BatchRows = 64;
    sqlite3 *db;
    const TableSpec *spec;
    Statement full;
    std::vector<Value> batch;
    size_t rows = 0;
};

struct CloseDb
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};

// What a reading child writes to the program, in this machine's byte order: a ProgressTag now
// and then while it works (silence means it is stuck), then an ImageTag, a uint64 byte count and
// the database image; or, when it fails, an ErrorTag, a uint32 byte count and the reason in UTF-8.
constexpr char ProgressTag = 'P';
// Zero bytes after each image in its memory file, room for rows a test adds to the tables (the
// program only reads them); untouched, they take no memory.
constexpr quint64 ImageRoom = 16 << 20;
// The most a table's image may take (nothing near it is ever used).
constexpr quint64 ImageCapacity = quint64(1) << 30;
constexpr char ImageTag = 'I';
constexpr char ErrorTag = 'E';

void WriteAll(int fd, const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Error(QStringLiteral("поток данных прерван"));
        bytes += n;
        size -= size_t(n);
    }
}

template <typename T> void WriteValue(int fd, const T &value)
{
    WriteAll(fd, &value, sizeof value);
}

// Copies Tables()[table] of the Jet file at `path` into a new SQLite database, puts its image into
// the memory file `imageFd` and tells `fd` its size, with progress marks while it works.
void BuildImage(const QString &path, size_t table, int fd, int imageFd)
{
    // The database lives in the memory file itself, where SQLite writes its pages as the copy
    // commits; no other thread uses it. Texts are kept as UTF-8, which SQLite compares without
    // converting.
    if (ftruncate(imageFd, off_t(ImageCapacity)) != 0)
        throw Error(QStringLiteral("ошибка записи образа базы"));
    void *memory = mmap(nullptr, ImageCapacity, PROT_READ | PROT_WRITE, MAP_SHARED, imageFd, 0);
    if (memory == MAP_FAILED)
        throw Error(QStringLiteral("ошибка записи образа базы"));
    sqlite3 *opened = nullptr;
    const int result =
        sqlite3_open_v2(":memory:", &opened,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, CloseDb> db(opened);
    if (result != SQLITE_OK || !db ||
        sqlite3_deserialize(db.get(), "main", static_cast<unsigned char *>(memory), 0,
                            sqlite3_int64(ImageCapacity), 0) != SQLITE_OK)
        throw Error(QStringLiteral("ошибка SQLite: база в памяти не создаётся"));
    Exec(db.get(), "PRAGMA journal_mode = OFF");
    Exec(db.get(), "PRAGMA cache_size = -262144");
    Exec(db.get(), "BEGIN");
    const TableSpec &spec = Tables().at(table);
    CreateTable(db.get(), spec);
    {
        TableCopy copy(db.get(), spec);
        constexpr size_t rowsPerProgress = 4096;
        size_t rows = 0;
        ReadTable(path, table, [&](const std::vector<Value> &row) {
            copy.Add(row);
            if (++rows % rowsPerProgress == 0)
                WriteValue(fd, ProgressTag);
        });
        copy.Flush();
    }
    if (spec.indexed)
        Exec(db.get(), "CREATE INDEX " +
                           Quoted((std::string(spec.name) + "_" + spec.indexed).c_str()) + " ON " +
                           Quoted(spec.name) + " (" + Quoted(spec.indexed) + ")");
    Exec(db.get(), "COMMIT");
    sqlite3_int64 size = 0;
    if (!sqlite3_serialize(db.get(), "main", &size, SQLITE_SERIALIZE_NOCOPY))
        throw Error(QStringLiteral("ошибка SQLite: образ базы не создаётся"));
    WriteValue(fd, ImageTag);
    WriteValue(fd, quint64(size));
}

void WriteError(int fd, const char *reason) noexcept
{
    try {
        const size_t size = std::strlen(reason);
        WriteValue(fd, ErrorTag);
        WriteValue(fd, quint32(size));
        WriteAll(fd, reason, size);
    } catch (const std::exception &) {
        // The program is gone: nobody to tell.
    }
}

// A worker's work. Never throws.
void WriteImage(const QString &path, size_t table, int fd, int imageFd) noexcept
{
    try {
        BuildImage(path, table, fd, imageFd);
    } catch (const std::exception &error) {
        WriteError(fd, error.what());
    }
}

QString SystemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

void CloseFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

const QString &CorruptStream()
{
    static const QString reason = QStringLiteral("поток данных испорчен");
    return reason;
}

// One table's way from its worker to the program: a pipe for the progress and the outcome, and a
// memory file for the image, which the program maps without copying it. The program reads the
// pipe as it becomes readable, without waiting; a worker that crashes before its outcome makes it
// a failure here.
class Channel
{
public:
    Channel()
    {
        imageFd = memfd_create("carid", MFD_CLOEXEC);
        int fds[2];
        if (imageFd < 0 || pipe2(fds, O_CLOEXEC) != 0) {
            const Error error(SystemError(imageFd < 0 ? "memfd_create" : "pipe"));
            CloseFd(imageFd);
            throw error;
        }
        readFd = fds[0];
        writeFd = fds[1];
        // Only the program's end: the worker's writes wait for room in the pipe.
        fcntl(readFd, F_SETFL, fcntl(readFd, F_GETFL) | O_NONBLOCK);
    }

    ~Channel()
    {
        if (mapped != MAP_FAILED)
            munmap(mapped, mappedSize);
        CloseFd(imageFd);
        CloseFd(readFd);
        CloseFd(writeFd);
    }

    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    int WriteFd() const { return writeFd; }
    int ImageFd() const { return imageFd; }
    int ReadFd() const { return readFd; }
    void CloseWriteEnd() { CloseFd(writeFd); }
    void CloseReadEnd() { CloseFd(readFd); }

    // The image the worker built and the room it may grow into; it stays mapped while this object
    // lives, and what is written into it stays in this process.
    struct Image
    {
        unsigned char *data = nullptr;
        quint64 size = 0;
        quint64 room = 0;
    };

    bool HasOutcome() const { return image.data || !failure.isEmpty(); }
    bool Ended() const { return readFd < 0; }
    const Image &TakenImage() const { return image; }
    const QString &Failure() const { return failure; }
    void Fail(const QString &reason)
    {
        if (!HasOutcome())
            failure = reason;
    }

    // Takes in what the worker has written so far; at the pipe's end the worker is gone.
    void ReadAvailable()
    {
        std::array<char, 4096> chunk;
        while (!Ended()) {
            const ssize_t n = read(readFd, chunk.data(), chunk.size());
            if (n > 0) {
                if (!HasOutcome()) {
                    pending.append(chunk.data(), size_t(n));
                    Parse();
                }
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                return;
            } else {
                // The worker ended; without an outcome it crashed on the file or could not go on.
                Fail(QStringLiteral("файл повреждён: его чтение оборвалось"));
                CloseReadEnd();
            }
        }
    }

private:
    int readFd = -1;
    int writeFd = -1;
    int imageFd = -1;
    void *mapped = MAP_FAILED;
    size_t mappedSize = 0;
    std::string pending; // what came on the pipe and is not understood yet
    Image image;
    QString failure;

    // Takes the whole messages out of `pending`.
    void Parse()
    {
        size_t pos = 0;
        while (!HasOutcome() && pos < pending.size()) {
            const size_t left = pending.size() - pos;
            const char tag = pending[pos];
            if (tag == ProgressTag) {
                ++pos;
            } else if (tag == ImageTag) {
                if (left < 1 + sizeof(quint64))
                    break;
                quint64 size = 0;
                std::memcpy(&size, pending.data() + pos + 1, sizeof size);
                pos += 1 + sizeof size;
                MapImage(size);
            } else if (tag == ErrorTag) {
                quint32 size = 0;
                if (left < 1 + sizeof size)
                    break;
                std::memcpy(&size, pending.data() + pos + 1, sizeof size);
                if (size > 1 << 16) {
                    Fail(CorruptStream());
                } else if (left >= 1 + sizeof size + size) {
                    Fail(
                        QString::fromUtf8(pending.data() + pos + 1 + sizeof size, qsizetype(size)));
                    pos += 1 + sizeof size + size;
                } else {
                    break;
                }
            } else {
                Fail(CorruptStream());
            }
        }
        pending.erase(0, pos);
    }

    void MapImage(quint64 size)
    {
        struct stat file = {};
        const quint64 room = size + ImageRoom;
        if (size == 0 || fstat(imageFd, &file) != 0 || quint64(file.st_size) < room) {
            Fail(CorruptStream());
            return;
        }
        mapped = mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE, imageFd, 0);
        if (mapped == MAP_FAILED) {
            Fail(SystemError("mmap"));
            return;
        }
        mappedSize = room;
        image = {static_cast<unsigned char *>(mapped), size, room};
    }
};

// Keeps this process off the processor `cpu`, when it may run on another. A child starts on its
// parent's processor, and there it slows the program down as much as it works until the
// scheduler moves one of them.
void AvoidCpu(int cpu)
{
    cpu_set_t cpus;
    if (cpu < 0 || sched_getaffinity(0, sizeof cpus, &cpus) != 0 || CPU_COUNT(&cpus) < 2 ||
        !CPU_ISSET(cpu, &cpus))
        return;
    CPU_CLR(cpu, &cpus);
    sched_setaffinity(0, sizeof cpus, &cpus);
}

// A worker: copies each of `tables` through its channel, off the processor the program runs on,
// `programCpu`. It dies with the program.
[[noreturn]] void RunWorker(pid_t program, const QString &path, const std::vector<size_t> &tables,
                            const std::vector<std::unique_ptr<Channel>> &channels, int programCpu)
{
    FollowProgram(program);
    AvoidCpu(programCpu);
    // The window being built, and the display server that shows it, come first.
    setpriority(PRIO_PROCESS, 0, 19);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGPIPE})
        std::signal(signal, SIG_DFL);
    for (size_t table = 0; table < channels.size(); ++table) {
        channels[table]->CloseReadEnd();
        if (std::find(tables.begin(), tables.end(), table) == tables.end())
            channels[table]->CloseWriteEnd(); // so that the end of its own worker is seen
    }
    for (const size_t table : tables)
        WriteImage(path, table, channels[table]->WriteFd(), channels[table]->ImageFd());
    _exit(0);
}

// The tables each worker copies, all workers at the same time: the year list, by far the largest
// (some years for each model of each maker), alone; the others one after the other.
std::vector<std::vector<size_t>> WorkerTables()
{
    std::vector<std::vector<size_t>> workers(2);
    for (size_t table = 0; table < Tables().size(); ++table)
        workers[Tables()[table].indexed ? 0 : 1].push_back(table);
    return workers;
}

} // namespace

void FollowProgram(pid_t program)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Gone before the signal was asked for: nobody will send it.
    if (getppid() != program)
        _exit(1);
}

// ---- the program's side of the reading ---------------------------------------------------------

// The worker processes that build the database images of the tables.
class Reading::Workers
{
public:
    explicit Workers(const QString &path)
    {
        for (size_t table = 0; table < Tables().size(); ++table)
            channels.push_back(std::make_unique<Channel>());
        const pid_t program = getpid();
        const int programCpu = sched_getcpu();
        for (const std::vector<size_t> &tables : WorkerTables()) {
            const pid_t pid = fork();
            if (pid < 0) {
                const Error error(SystemError("fork"));
                Stop();
                throw error;
            }
            if (pid == 0)
                RunWorker(program, path, tables, channels, programCpu);
            workers.push_back({pid, tables});
        }
        for (const std::unique_ptr<Channel> &channel : channels)
            channel->CloseWriteEnd();
    }

    ~Workers() { Stop(); }

    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;

    std::vector<int> Pipes() const
    {
        std::vector<int> pipes;
        for (const std::unique_ptr<Channel> &channel : channels)
            if (!channel->Ended())
                pipes.push_back(channel->ReadFd());
        return pipes;
    }

    void ReadFrom(int pipe)
    {
        for (const std::unique_ptr<Channel> &channel : channels)
            if (!channel->Ended() && channel->ReadFd() == pipe)
                channel->ReadAvailable();
        ReapEnded();
    }

    bool Done() const
    {
        return std::all_of(
            channels.begin(), channels.end(),
            [](const std::unique_ptr<Channel> &channel) { return channel->HasOutcome(); });
    }

    void GiveUp(const QString &reason)
    {
        Stop();
        for (const std::unique_ptr<Channel> &channel : channels) {
            channel->Fail(reason);
            channel->CloseReadEnd();
        }
    }

    const Channel &TableChannel(size_t table) const { return *channels.at(table); }

private:
    struct Worker
    {
        pid_t pid;
        std::vector<size_t> tables;
    };
    std::vector<std::unique_ptr<Channel>> channels;
    std::vector<Worker> workers; // those not reaped yet

    // A worker whose pipes have all ended has closed them by ending: it is reaped at once.
    void ReapEnded()
    {
        std::erase_if(workers, [this](const Worker &worker) {
            const bool ended =
                std::all_of(worker.tables.begin(), worker.tables.end(),
                            [this](size_t table) { return channels[table]->Ended(); });
            if (ended)
                waitpid(worker.pid, nullptr, 0);
            return ended;
        });
    }

    void Stop()
    {
        for (const Worker &worker : workers) {
            kill(worker.pid, SIGKILL);
            waitpid(worker.pid, nullptr, 0);
        }
        workers.clear();
    }
};

Reading::Reading(const QString &path)
{
    try {
        workers = std::make_unique<Workers>(path);
    } catch (const Error &error) {
        failure = error.Reason();
    }
}

Reading::~Reading() = default;

std::vector<int> Reading::Pipes() const
{
    return workers ? workers->Pipes() : std::vector<int>();
}

void Reading::ReadFrom(int pipe)
{
    if (workers)
        workers->ReadFrom(pipe);
}

bool Reading::Done() const
{
    return !workers || workers->Done();
}

void Reading::Wait(int stallLimitMs)
{
    for (std::vector<int> pipes = Pipes(); !pipes.empty(); pipes = Pipes()) {
        std::vector<pollfd> waits;
        for (const int pipe : pipes)
            waits.push_back({pipe, POLLIN, 0});
        const int ready = poll(waits.data(), waits.size(), stallLimitMs);
        if (ready == 0) {
            GiveUp(stallLimitMs);
            return;
        }
        for (const pollfd &wait : waits)
            if (wait.revents != 0)
                ReadFrom(wait.fd);
    }
}

void Reading::GiveUp(int stallLimitMs)
{
    if (workers)
        workers->GiveUp(QStringLiteral("чтение файла остановилось: процесс чтения ничего не "
                                       "сообщал %1 с")
                            .arg(stallLimitMs / 1000.0));
}

QStringList Load(Reading &reading, QSqlDatabase &db)
{
    sqlite3 *sqlite = Handle(db);
    if (!reading.failure.isEmpty())
        throw Error(reading.failure);
    if (reading.taken)
        throw Error(QStringLiteral("чтение файла уже принято"));
    if (!reading.Done())
        throw Error(QStringLiteral("чтение файла не закончено"));
    reading.taken = true;
    QStringList lost;
    const Reading::Workers &workers = *reading.workers;
    for (size_t table = 0; table < Tables().size(); ++table) {
        const Channel &channel = workers.TableChannel(table);
        if (!channel.TakenImage().data && !Tables()[table].spnOnly)
            throw Error(channel.Failure());
    }
    if (!AddJetFunctions(sqlite))
        SqlFailed(sqlite);
    // The first table's database becomes the connection's own, the others are attached to it:
    // SQLite finds a table in any of them by its name. An SPN table that did not come is made
    // empty, so that its queries find nothing.
    for (size_t table = 0; table < Tables().size(); ++table) {
        const std::string schema = table == 0 ? "main" : "part" + std::to_string(table);
        if (table > 0)
            Exec(sqlite, "ATTACH DATABASE ':memory:' AS " + schema);
        const Channel &channel = workers.TableChannel(table);
        const Channel::Image &image = channel.TakenImage();
        if (!image.data) {
            CreateTable(sqlite, Tables()[table], schema);
            lost << QStringLiteral("%1 (%2)").arg(QString::fromLatin1(Tables()[table].name),
                                                  channel.Failure());
        } else if (sqlite3_deserialize(sqlite, schema.c_str(), image.data,
                                       sqlite3_int64(image.size), sqlite3_int64(image.room),
                                       0) != SQLITE_OK) {
            SqlFailed(sqlite);
        }
    }
    return lost;
}

} // namespace JetImport
