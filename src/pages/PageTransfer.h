#pragma once

// The loops every page reader and writer shares, free of the window: a reader sends one read
// command per row and gathers (value, status) rows; a writer sends the rows a frame asks for and
// turns the replies into one result per row.

#include "pages/PageData.h"

#include <QString>
#include <QVector>

#include <functional>

namespace PageTransfer {

// Result codes handed to a frame's ShowWriteResults.
constexpr int NotSent = -1;
constexpr int Written = 0;
constexpr int Failed = 1;

// Runs one command and stores [row,1] value and [row,2] status into `res`.
using ExecFn = std::function<void(int code, int row, TPageData &res)>;
using ExecTextFn = std::function<void(const QString &text, int code, int row, TPageData &res)>;
using StopFn = std::function<bool()>;

// A fresh read form: `rows` x 2, every cell 0.
TPageData NewReadData(int rows);

// Runs the read code of every row in turn; stops after the row during which `stop` became
// true. Rows not reached stay (0, 0).
TPageData ReadRows(const QVector<int> &codes, const ExecFn &exec, const StopFn &stop);

// What a write row turns into on the wire; a row with no text is not sent.
struct WriteCommand
{
    QString text;
    int code = 0;
};
using WriteCommandFn = std::function<WriteCommand(int row, const QVariant &value)>;

using GetDataFn = std::function<void(TPageData &v)>;

// Takes the write rows from `getData` ([r,1] row number 1..rows, [r,2] value, [r,3] -1 for a row
// not sent), sends them and
// gives one result per page row: -1 not sent, 0 written, 1 sent but not confirmed. An unassigned
// table sends nothing. An exception while the rows are gathered or sent ends the loop; the rows
// done so far keep their results and `onAbort` runs.
TWriteResults WriteRows(int rows, const GetDataFn &getData, const WriteCommandFn &command,
                        const ExecTextFn &exec, const std::function<void()> &onAbort = {});

} // namespace PageTransfer
