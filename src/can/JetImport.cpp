#include "can/JetImport.h"

#include "can/JetSql.h"
#include "can/JetTables.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace JetImport {

Error::Error(const QString &reason) : std::runtime_error(reason.toStdString()) {}

namespace {

// ---- the SQLite side, through the connection's own handle --------------------------------------

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

// ---- the reading child -------------------------------------------------------------------------

// How long the child may write nothing before its reading counts as stuck.
constexpr int SilenceLimitMs = 10000;

QString SystemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

// A child process that reads the Jet file with libmdb and streams its rows (JetTables.h). A
// crash or a stall there becomes an Error here.
class ReadingChild
{
public:
    explicit ReadingChild(const QString &path)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw Error(SystemError("pipe"));
        fcntl(fds[1], F_SETPIPE_SZ, 1 << 20); // fewer turns between writer and reader
        pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            throw Error(SystemError("fork"));
        }
        if (pid == 0) {
            for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGPIPE})
                std::signal(signal, SIG_DFL);
            close(fds[0]);
            StreamTables(path, fds[1]);
            _exit(0);
        }
        close(fds[1]);
        fd = fds[0];
    }

    ~ReadingChild()
    {
        close(fd);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    ReadingChild(const ReadingChild &) = delete;
    ReadingChild &operator=(const ReadingChild &) = delete;

    void Read(void *data, size_t size)
    {
        if (end - pos >= size) {
            std::memcpy(data, buffer.data() + pos, size);
            pos += size;
            return;
        }
        auto *out = static_cast<char *>(data);
        while (size > 0) {
            if (pos == end)
                Fill();
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
    quint32 Count(quint32 limit)
    {
        const auto count = Get<quint32>();
        if (count > limit)
            throw Error(QStringLiteral("поток строк испорчен"));
        return count;
    }

private:
    pid_t pid = -1;
    int fd = -1;
    std::array<char, 1 << 16> buffer;
    size_t pos = 0;
    size_t end = 0;

    void Fill()
    {
        for (;;) {
            pollfd wait{fd, POLLIN, 0};
            const int ready = poll(&wait, 1, SilenceLimitMs);
            if (ready == 0)
                throw Error(QStringLiteral("файл повреждён: его чтение остановилось"));
            const ssize_t n = ready > 0 ? read(fd, buffer.data(), buffer.size()) : -1;
            if (n > 0) {
                pos = 0;
                end = size_t(n);
                return;
            }
            if (n < 0 && errno == EINTR)
                continue;
            throw Error(Ended());
        }
    }

    // The child ended without finishing its stream: it crashed on the file or could not go on.
    QString Ended()
    {
        if (pid > 0 && waitpid(pid, nullptr, 0) == pid)
            pid = -1;
        return QStringLiteral("файл повреждён: его чтение оборвалось");
    }
};

// One value of a row waiting in a batch.
struct Value
{
    bool null = true;
    qint64 integer = 0;
    std::u16string text;
};

// The next row of the table into `row`; false after its last row. A failure the child reports
// comes out as the Error it was there.
bool NextRow(ReadingChild &in, const TableSpec &spec, Value *row)
{
    switch (in.Get<char>()) {
    case RowTag:
        break;
    case EndOfTableTag:
        return false;
    case ErrorTag: {
        std::string reason(in.Count(1 << 16), '\0');
        in.Read(reason.data(), reason.size());
        throw Error(QString::fromStdString(reason));
    }
    default:
        throw Error(QStringLiteral("поток строк испорчен"));
    }
    for (size_t column = 0; column < spec.columns.size(); ++column) {
        Value &value = row[column];
        value.null = in.Get<char>() == 0;
        if (value.null)
            continue;
        if (spec.columns[column].kind == Kind::Integer) {
            value.integer = in.Get<qint64>();
        } else {
            value.text.resize(in.Count(1 << 16));
            in.Read(value.text.data(), value.text.size() * sizeof(char16_t));
        }
    }
    return true;
}

// Rows go in by batches, many to one statement: SQLite's cost is mostly per statement run.
void CopyRows(sqlite3 *db, const TableSpec &spec, ReadingChild &in)
{
    constexpr size_t batchRows = 64;
    const size_t columns = spec.columns.size();
    const Statement full = Prepare(db, InsertSql(spec, batchRows));
    std::vector<Value> batch(batchRows * columns);
    auto insert = [&](size_t rows) {
        const Statement rest = rows == batchRows ? nullptr : Prepare(db, InsertSql(spec, rows));
        sqlite3_stmt *statement = rest ? rest.get() : full.get();
        for (size_t i = 0; i < rows * columns; ++i) {
            const Value &value = batch[i];
            const int parameter = int(i) + 1;
            if (value.null)
                sqlite3_bind_null(statement, parameter);
            else if (spec.columns[i % columns].kind == Kind::Integer)
                sqlite3_bind_int64(statement, parameter, value.integer);
            else
                sqlite3_bind_text16(statement, parameter, value.text.data(),
                                    int(value.text.size() * sizeof(char16_t)), SQLITE_STATIC);
        }
        if (sqlite3_step(statement) != SQLITE_DONE)
            SqlFailed(db);
        sqlite3_reset(statement);
    };
    size_t rows = 0;
    while (NextRow(in, spec, &batch[rows * columns])) {
        if (++rows == batchRows) {
            insert(rows);
            rows = 0;
        }
    }
    if (rows > 0)
        insert(rows);
}

} // namespace

void Load(const QString &path, QSqlDatabase &db)
{
    sqlite3 *sqlite = Handle(db);
    if (!AddJetFunctions(sqlite))
        SqlFailed(sqlite);
    ReadingChild child(path);
    Exec(sqlite, "BEGIN");
    try {
        for (const TableSpec &spec : Tables()) {
            CreateTable(sqlite, spec);
            CopyRows(sqlite, spec, child);
        }
        if (child.Get<char>() != EndTag)
            throw Error(QStringLiteral("поток строк испорчен"));
        // Every choice of a model lists its years: without this, a scan of the whole table.
        Exec(sqlite, "CREATE INDEX \"Years_id_model\" ON \"Years\" (\"id_model\")");
        Exec(sqlite, "COMMIT");
    } catch (...) {
        sqlite3_exec(sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace JetImport
