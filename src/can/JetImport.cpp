#include "can/JetImport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringDecoder>
#include <QVariant>

#include <glib.h>
#include <mdbtools.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace JetImport {

Error::Error(const QString &reason) : std::runtime_error(reason.toStdString()) {}

namespace {

enum class Kind
{
    Integer,
    Text
};

struct ColumnSpec
{
    const char *name;
    Kind kind;
};

struct TableSpec
{
    const char *name;
    std::vector<ColumnSpec> columns;
};

const std::vector<TableSpec> &Tables()
{
    static const std::vector<TableSpec> tables{
        {"Producer", {{"id", Kind::Integer}, {"Name", Kind::Text}}},
        {"Model", {{"id", Kind::Integer}, {"id_prod", Kind::Integer}, {"Model", Kind::Text}}},
        {"Years",
         {{"id", Kind::Integer},
          {"id_model", Kind::Integer},
          {"Years", Kind::Text},
          {"carid", Kind::Integer},
          {"mask", Kind::Integer}}},
        {"spn", {{"id_spn", Kind::Integer}, {"name_en", Kind::Text}}},
        {"spn_on_pgn",
         {{"spn_id", Kind::Integer},
          {"pgn_id", Kind::Integer},
          {"offset", Kind::Integer},
          {"length", Kind::Integer}}},
    };
    return tables;
}

QString Name(const char *name)
{
    return QString::fromLatin1(name);
}

struct MdbClose
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};

struct TableFree
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

// One table of the Jet file, positioned on a row by Next(); values are read from the page the
// row sits on, in the order of the table's spec.
class JetTable
{
public:
    JetTable(MdbHandle *mdb, MdbTableDef *table, std::vector<MdbColumn *> columns)
        : mdb(mdb), table(table), columns(std::move(columns))
    {
        mdb_rewind_table(table);
    }

    bool Next() { return mdb_fetch_row(table.get()) != 0; }

    bool IsNull(size_t column) const { return columns[column]->cur_value_len == 0; }

    qint64 Integer(size_t column) const
    {
        const MdbColumn *col = columns[column];
        const unsigned char *data = mdb->pg_buf + col->cur_value_start;
        switch (col->col_type) {
        case MDB_BYTE:
            return data[0];
        case MDB_INT:
            return qint16(data[0] | data[1] << 8);
        default:
            return qint32(quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 |
                          quint32(data[3]) << 24);
        }
    }

    // The text as UTF-16 into `out`. Jet 4 and later keep UTF-16LE, "compressed" when it starts
    // with FF FE: then one byte per character (Latin-1) until a zero byte switches to UTF-16LE
    // pairs, and the next zero byte back. Jet 3 keeps the code page of the system that wrote
    // it: Windows-1251 for the files this program reads.
    void Text(size_t column, std::u16string &out) const
    {
        const MdbColumn *col = columns[column];
        const unsigned char *data = mdb->pg_buf + col->cur_value_start;
        const int size = col->cur_value_len;
        out.clear();
        if (mdb->f->jet_version == MDB_VER_JET3) {
            QStringDecoder cp1251("windows-1251");
            const QString text = cp1251(QByteArrayView(data, size));
            out.assign(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size()));
        } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
            bool compressed = true;
            for (int i = 2; i < size;) {
                if (data[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    out.push_back(data[i++]);
                } else if (i + 1 < size) {
                    out.push_back(char16_t(data[i] | data[i + 1] << 8));
                    i += 2;
                } else {
                    break;
                }
            }
        } else {
            for (int i = 0; i + 1 < size; i += 2)
                out.push_back(char16_t(data[i] | data[i + 1] << 8));
        }
    }

private:
    MdbHandle *mdb;
    std::unique_ptr<MdbTableDef, TableFree> table;
    std::vector<MdbColumn *> columns;
};

bool Accepts(Kind kind, int type)
{
    if (kind == Kind::Text)
        return type == MDB_TEXT;
    return type == MDB_BYTE || type == MDB_INT || type == MDB_LONGINT;
}

class JetFile
{
public:
    explicit JetFile(const QString &path)
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("файл не читается (%1)").arg(probe.errorString()));
        probe.close();
        mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
        if (!mdb)
            throw Error(QStringLiteral("файл не является базой данных Access"));
        if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
            throw Error(QStringLiteral("файл повреждён: список его таблиц не читается"));
    }

    JetTable Open(const TableSpec &spec) const
    {
        MdbCatalogEntry *entry = Find(spec.name);
        if (!entry)
            throw Error(QStringLiteral("в базе нет таблицы %1").arg(Name(spec.name)));
        std::unique_ptr<MdbTableDef, TableFree> table(mdb_read_table(entry));
        if (!table || !mdb_read_columns(table.get()))
            throw Error(QStringLiteral("таблица %1 не читается").arg(Name(spec.name)));
        std::vector<MdbColumn *> columns;
        for (const ColumnSpec &wanted : spec.columns)
            columns.push_back(Column(*table, spec.name, wanted));
        return JetTable(mdb.get(), table.release(), std::move(columns));
    }

private:
    std::unique_ptr<MdbHandle, MdbClose> mdb;

    MdbCatalogEntry *Find(const char *name) const
    {
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type == MDB_TABLE &&
                g_ascii_strcasecmp(entry->object_name, name) == 0)
                return entry;
        }
        return nullptr;
    }

    static MdbColumn *Column(const MdbTableDef &table, const char *tableName,
                             const ColumnSpec &wanted)
    {
        for (unsigned i = 0; i < table.num_cols; ++i) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table.columns, i));
            if (g_ascii_strcasecmp(col->name, wanted.name) != 0)
                continue;
            if (!Accepts(wanted.kind, col->col_type))
                throw Error(QStringLiteral("столбец %1.%2 имеет не тот тип (%3)")
                                .arg(Name(tableName), Name(wanted.name))
                                .arg(col->col_type));
            return col;
        }
        throw Error(
            QStringLiteral("в таблице %1 нет столбца %2").arg(Name(tableName), Name(wanted.name)));
    }
};

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

// ---- Jet's meaning of str() and LIKE ------------------------------------------------------------

// str(n): the number in decimal, a blank in place of the sign when it is not negative.
void JetStr(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_value *value = arguments[0];
    switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 n = sqlite3_value_int64(value);
        const std::string text = (n < 0 ? "" : " ") + std::to_string(n);
        sqlite3_result_text(context, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
    case SQLITE_FLOAT: {
        const double n = sqlite3_value_double(value);
        const QByteArray text = (n < 0 ? "" : " ") + QByteArray::number(n, 'g', 15);
        sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_result_null(context);
    }
}

// `text` LIKE `pattern` with "%" for any characters and "_" for one, letter case ignored in every
// alphabet (SQLite's own LIKE folds only ASCII letters).
bool LikeIgnoringCase(QStringView pattern, QStringView text)
{
    auto same = [](QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); };
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype afterPercent = -1; // where the pattern resumes after the last "%"
    qsizetype retryFrom = 0;     // the text position that "%" swallows up to, on a mismatch
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'%') {
            afterPercent = ++p;
            retryFrom = t;
        } else if (p < pattern.size() && (pattern[p] == u'_' || same(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (afterPercent >= 0) {
            p = afterPercent;
            t = ++retryFrom;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

QStringView Utf16(sqlite3_value *value)
{
    const auto *text = static_cast<const char16_t *>(sqlite3_value_text16(value));
    return text ? QStringView(text, sqlite3_value_bytes16(value) / 2) : QStringView();
}

// like(pattern, text), as SQLite calls it for "text LIKE pattern".
void JetLike(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
        sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int(context, LikeIgnoringCase(Utf16(arguments[0]), Utf16(arguments[1])));
}

void AddJetFunctions(sqlite3 *db)
{
    constexpr int flags = SQLITE_UTF16 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function(db, "str", 1, flags, nullptr, JetStr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function(db, "like", 2, flags, nullptr, JetLike, nullptr, nullptr) !=
            SQLITE_OK)
        SqlFailed(db);
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

// One value of a row waiting in a batch.
struct Value
{
    bool null = true;
    qint64 integer = 0;
    std::u16string text;
};

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

// Rows go in by batches, many to one statement: SQLite's cost is mostly per statement run.
void CopyRows(sqlite3 *db, const TableSpec &spec, JetTable &table)
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
    while (table.Next()) {
        for (size_t column = 0; column < columns; ++column) {
            Value &value = batch[rows * columns + column];
            value.null = table.IsNull(column);
            if (value.null)
                continue;
            if (spec.columns[column].kind == Kind::Integer)
                value.integer = table.Integer(column);
            else
                table.Text(column, value.text);
        }
        if (++rows == batchRows) {
            insert(rows);
            rows = 0;
        }
    }
    if (rows > 0)
        insert(rows);
}

std::vector<JetTable> OpenTables(const JetFile &file)
{
    std::vector<JetTable> tables;
    for (const TableSpec &spec : Tables())
        tables.push_back(file.Open(spec));
    return tables;
}

} // namespace

void Load(const QString &path, QSqlDatabase &db)
{
    const JetFile file(path);
    std::vector<JetTable> tables = OpenTables(file);
    sqlite3 *sqlite = Handle(db);
    AddJetFunctions(sqlite);
    Exec(sqlite, "BEGIN");
    try {
        for (size_t t = 0; t < tables.size(); ++t) {
            CreateTable(sqlite, Tables()[t]);
            CopyRows(sqlite, Tables()[t], tables[t]);
        }
        Exec(sqlite, "COMMIT");
    } catch (...) {
        sqlite3_exec(sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

qint64 Scan(const QString &path)
{
    const JetFile file(path);
    std::vector<JetTable> tables = OpenTables(file);
    qint64 rows = 0;
    for (JetTable &table : tables)
        while (table.Next())
            ++rows;
    return rows;
}

} // namespace JetImport
