#pragma once

// "error.log": one line per reply that could not be decoded, appended beside the program (or in
// the per-user data folder when the program's folder cannot be written).

#include <QString>

class TErrorLog
{
public:
    // Path chosen at construction: beside the program when that folder is writable.
    TErrorLog();
    explicit TErrorLog(QString path);

    const QString &Path() const { return FilePath; }

    // Appends "[date time] [where] [what] [detail]" with CR LF in cp1251; false when the file
    // cannot be written. Never throws.
    bool WriteErrorLog(const QString &where, const QString &what, const QString &detail) noexcept;

    static QString DefaultPath();

private:
    QString FilePath;
};
