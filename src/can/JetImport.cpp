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
void CreateTable(sqlite3 *db, const TableSpec &spec)
{
    // No primary key: the row id keeps the stored order.
    std::string sql = "CREATE TABLE " + Quoted(spec.name) + " (";
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

// How long a worker may write nothing before its reading counts as stuck.
constexpr int SilenceLimitMs = 10000;

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

// One table's way from its worker to the program: a pipe for the progress and the outcome, and a
// memory file for the image, which the program maps without copying it. A worker that crashes or
// stalls becomes an Error here.
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
    void CloseWriteEnd() { CloseFd(writeFd); }
    void CloseReadEnd() { CloseFd(readFd); }

    // The image the worker built, once it is all there, and the room it may grow into; it stays
    // mapped while this object lives, and what is written into it stays in this process.
    struct Image
    {
        unsigned char *data;
        quint64 size;
        quint64 room;
    };
    Image TakeImage()
    {
        for (;;) {
            switch (Get<char>()) {
            case ProgressTag:
                continue;
            case ImageTag:
                break;
            case ErrorTag: {
                std::string reason(Count<quint32>(1 << 16), '\0');
                Read(reason.data(), reason.size());
                throw Error(QString::fromStdString(reason));
            }
            default:
                throw Error(QStringLiteral("поток данных испорчен"));
            }
            const auto size = Get<quint64>();
            struct stat file = {};
            const quint64 room = size + ImageRoom;
            if (size == 0 || fstat(imageFd, &file) != 0 || quint64(file.st_size) < room)
                throw Error(QStringLiteral("поток данных испорчен"));
            mapped = mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE, imageFd, 0);
            if (mapped == MAP_FAILED)
                throw Error(SystemError("mmap"));
            mappedSize = room;
            return {static_cast<unsigned char *>(mapped), size, room};
        }
    }

private:
    int readFd = -1;
    int writeFd = -1;
    int imageFd = -1;
    void *mapped = MAP_FAILED;
    size_t mappedSize = 0;
    std::array<char, 256> buffer;
    size_t pos = 0;
    size_t end = 0;

    void Read(void *data, size_t size)
    {
        auto *out = static_cast<char *>(data);
        while (size > 0) {
            if (pos == end) {
                end = ReadSome(buffer.data(), buffer.size());
                pos = 0;
            }
            const size_t n = std::min(size, end - pos);
            std::memcpy(out, buffer.data() + pos, n);
            pos += n;
            out += n;
            size -= n;
        }
    }

    template <typename T> T Get()
    {
        T value;
        Read(&value, sizeof value);
        return value;
    }

    // A count that a sound stream never exceeds.
    template <typename T> T Count(T limit)
    {
        const T count = Get<T>();
        if (count > limit)
            throw Error(QStringLiteral("поток данных испорчен"));
        return count;
    }

    size_t ReadSome(char *into, size_t size)
    {
        for (;;) {
            pollfd wait{readFd, POLLIN, 0};
            const int ready = poll(&wait, 1, SilenceLimitMs);
            if (ready == 0)
                throw Error(QStringLiteral("файл повреждён: его чтение остановилось"));
            const ssize_t n = ready > 0 ? read(readFd, into, size) : -1;
            if (n > 0)
                return size_t(n);
            if (n < 0 && errno == EINTR)
                continue;
            // The worker ended without finishing: it crashed on the file or could not go on.
            throw Error(QStringLiteral("файл повреждён: его чтение оборвалось"));
        }
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
[[noreturn]] void RunWorker(const QString &path, const std::vector<size_t> &tables,
                            const std::vector<std::unique_ptr<Channel>> &channels, int programCpu)
{
    AvoidCpu(programCpu);
    // The window being built, and the display server that shows it, come first.
    setpriority(PRIO_PROCESS, 0, 19);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
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

// ---- the program's side of the reading ---------------------------------------------------------

// The worker processes that build the database images of the tables.
class Reading::Workers
{
public:
    explicit Workers(const QString &path)
    {
        for (size_t table = 0; table < Tables().size(); ++table)
            channels.push_back(std::make_unique<Channel>());
        const int programCpu = sched_getcpu();
        for (const std::vector<size_t> &tables : WorkerTables()) {
            const pid_t pid = fork();
            if (pid < 0) {
                const Error error(SystemError("fork"));
                Stop();
                throw error;
            }
            if (pid == 0)
                RunWorker(path, tables, channels, programCpu);
            pids.push_back(pid);
        }
        for (const std::unique_ptr<Channel> &channel : channels)
            channel->CloseWriteEnd();
    }

    ~Workers() { Stop(); }

    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;

    // The images of the tables in their order, waiting for the workers that are not done.
    std::vector<Channel::Image> TakeImages()
    {
        std::vector<Channel::Image> images;
        for (const std::unique_ptr<Channel> &channel : channels)
            images.push_back(channel->TakeImage());
        return images;
    }

private:
    std::vector<std::unique_ptr<Channel>> channels;
    std::vector<pid_t> pids;

    void Stop()
    {
        for (const pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pids.clear();
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

void Load(Reading &reading, QSqlDatabase &db)
{
    sqlite3 *sqlite = Handle(db);
    if (!reading.failure.isEmpty())
        throw Error(reading.failure);
    if (reading.taken)
        throw Error(QStringLiteral("чтение файла уже принято"));
    reading.taken = true;
    std::vector<Channel::Image> images;
    try {
        images = reading.workers->TakeImages();
    } catch (const Error &) {
        reading.workers.reset();
        throw;
    }
    if (!AddJetFunctions(sqlite))
        SqlFailed(sqlite);
    // The first table's database becomes the connection's own, the others are attached to it:
    // SQLite finds a table in any of them by its name.
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string schema = i == 0 ? "main" : "part" + std::to_string(i);
        if (i > 0)
            Exec(sqlite, "ATTACH DATABASE ':memory:' AS " + schema);
        const Channel::Image &image = images[i];
        if (sqlite3_deserialize(sqlite, schema.c_str(), image.data, sqlite3_int64(image.size),
                                sqlite3_int64(image.room), 0) != SQLITE_OK)
            SqlFailed(sqlite);
    }
}

} // namespace JetImport
