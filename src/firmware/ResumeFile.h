#pragma once

// "~fw.tmp": the block list of the upload in progress, one block per line, so that an upload
// that broke off can go on from its first unacknowledged block when the unit next answers from
// its boot loader. It is written when an update starts and removed once an update has ended
// with the unit's acceptance.

#include "settings/funcs.h"

#include <QString>

class TResumeFile
{
public:
    // Beside the program, or in the per-user data folder when that cannot be written.
    TResumeFile();
    explicit TResumeFile(QString path);

    const QString &Path() const { return FilePath; }
    bool Exists() const;

    // Throws EConvertError naming the file when it cannot be written whole.
    void Write(const TBlockList &blocks) const;
    // The blocks, each checked (layout, position in sequence, check byte): a damaged file must
    // never reach the unit. Throws EConvertError naming the line and the fault.
    TBlockList Read() const;
    void Remove() const;

private:
    QString FilePath;
};
