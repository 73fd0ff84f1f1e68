#include "can/JetTables.h"

#include "can/JetImport.h"

#include <QFile>
#include <QStringDecoder>

#include <glib.h>
#include <mdbtools.h>

#include <memory>
#include <string>

namespace JetImport {

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
          {"mask", Kind::Integer}},
         "id_model"},
        {"spn", {{"id_spn", Kind::Integer}, {"name_en", Kind::Text}}, nullptr, true},
        {"spn_on_pgn",
         {{"spn_id", Kind::Integer},
          {"pgn_id", Kind::Integer},
          {"offset", Kind::Integer},
          {"length", Kind::Integer}},
         nullptr,
         true},
    };
    return tables;
}

namespace {

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

    bool Next()
    {
        if (mdb_fetch_row(table.get()) == 0)
            return false;
        ++rowsRead;
        return true;
    }

    // After the last row: a file cut short, or with pages that do not read, ends the rows early
    // without a word from libmdb; the row count the table keeps tells.
    void CheckAllRead() const
    {
        if (rowsRead < qint64(table->num_rows))
            throw Error(QStringLiteral("таблица %1 повреждена: прочитано строк %2 из %3")
                            .arg(QString::fromLatin1(table->name))
                            .arg(rowsRead)
                            .arg(table->num_rows));
    }

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
    qint64 rowsRead = 0;
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

std::vector<JetTable> OpenTables(const JetFile &file)
{
    std::vector<JetTable> tables;
    for (const TableSpec &spec : Tables())
        tables.push_back(file.Open(spec));
    return tables;
}

} // namespace

void ReadTable(const QString &path, size_t table, const RowReader &row)
{
    const TableSpec &spec = Tables().at(table);
    const JetFile file(path);
    JetTable rows = file.Open(spec);
    std::vector<Value> values(spec.columns.size());
    while (rows.Next()) {
        for (size_t column = 0; column < values.size(); ++column) {
            Value &value = values[column];
            value.null = rows.IsNull(column);
            if (value.null)
                continue;
            if (spec.columns[column].kind == Kind::Integer)
                value.integer = rows.Integer(column);
            else
                rows.Text(column, value.text);
        }
        row(values);
    }
    rows.CheckAllRead();
}

qint64 Scan(const QString &path)
{
    const JetFile file(path);
    std::vector<JetTable> tables = OpenTables(file);
    qint64 rows = 0;
    for (JetTable &table : tables) {
        while (table.Next())
            ++rows;
        table.CheckAllRead();
    }
    return rows;
}

} // namespace JetImport
