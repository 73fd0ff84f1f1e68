#pragma once

// Reading the unit's history, free of the window. The page asks for the last 50 records or a
// range of record numbers; the reader asks the unit for its record count ("+point", code 115)
// and then for each record ("+read%s", code 116) in increasing order.
//
// Request (the page's GetPageData): one row of three cells: [1,1] 1 for the last 50 records,
// 2 for a range, [1,2] From and [1,3] To for a range. Unassigned: nothing is to be read.
// Result: [1,1] the number of the newest record ("+point" minus one), [1,2] its status; from
// row 2 on, one row per record asked for: [r,1] its text, [r,2] its status, [r,3] its label.
// Rows after an interrupted read stay empty.

#include "pages/PageData.h"

#include <QString>

#include <functional>

namespace HistoryReading {

constexpr int LastCount = 50;
constexpr int PointCode = 115;
constexpr int ReadCode = 116;
constexpr int EraseCode = 117;

// "%.5d[x%s]": 00049[x0031].
QString RecordLabel(int Index);
// "+read0031": at least four upper-case hex digits.
QString ReadCommand(int Index);

TPageData LastRecordsRequest();
TPageData RangeRequest(int From, int To);

using ExecFn = std::function<void(int code, int row, TPageData &res)>;
using ExecTextFn = std::function<void(const QString &text, int code, int row, TPageData &res)>;
using StopFn = std::function<bool()>;

// Reads what the request asks for; `stop` is asked after "+point" and after each record.
// An unassigned request (or a range that would hold no row) sends nothing and gives an
// unassigned result.
TPageData ReadHistoryValues(const TPageData &Request, const ExecFn &Exec,
                            const ExecTextFn &ExecText, const StopFn &Stop);

} // namespace HistoryReading
