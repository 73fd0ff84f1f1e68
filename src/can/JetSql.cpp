#include "can/JetSql.h"

#include <QByteArray>

#include <sqlite3.h>

#include <string>

namespace JetImport {

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

namespace {

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

} // namespace

bool AddJetFunctions(sqlite3 *db)
{
    constexpr int flags = SQLITE_UTF16 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function(db, "str", 1, flags, nullptr, JetStr, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "like", 2, flags, nullptr, JetLike, nullptr, nullptr) ==
               SQLITE_OK;
}

} // namespace JetImport
