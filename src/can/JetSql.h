#pragma once

// Jet's meaning of SQL on SQLite: str(n) writes a blank in place of the sign of a number that is
// not negative, and LIKE ignores letter case in every alphabet (SQLite's own LIKE folds only
// ASCII letters). "%" matches any characters, "_" any one.

#include <QStringView>

struct sqlite3;

namespace JetImport {

// Gives the connection Jet's str() and LIKE; false when SQLite refuses.
bool AddJetFunctions(sqlite3 *db);

// `text` LIKE `pattern` as Jet takes it.
bool LikeIgnoringCase(QStringView pattern, QStringView text);

} // namespace JetImport
