#pragma once

// A vehicle database opened from one of the files in tests/data, placed as "carid.mdb" in a
// folder of its own, as the program finds it beside itself.

#include "can/DMUnit.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

struct CaridFixture
{
    QTemporaryDir dir;
    std::unique_ptr<TDm> dm;

    // `file` in tests/data; an empty name opens a folder without "carid.mdb".
    explicit CaridFixture(const QString &file = QStringLiteral("carid.mdb"))
    {
        if (!file.isEmpty() &&
            !QFile::copy(QStringLiteral(W9_TEST_DATA_DIR "/") + file, dir.filePath("carid.mdb")))
            qFatal("cannot copy %s", qPrintable(file));
        dm = std::make_unique<TDm>(dir.path());
    }
};
