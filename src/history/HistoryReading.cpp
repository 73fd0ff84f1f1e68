#include "history/HistoryReading.h"

#include "settings/Delphi.h"

namespace HistoryReading {

QString RecordLabel(int Index)
{
    return Format(QStringLiteral("%.5d[x%s]"), {Index, IntToHex(Index, 4)});
}

QString ReadCommand(int Index)
{
    return QStringLiteral("+read") + IntToHex(Index, 4);
}

TPageData LastRecordsRequest()
{
    TPageData request(1, 3, QVariant());
    request(1, 1) = 1;
    return request;
}

TPageData RangeRequest(int From, int To)
{
    TPageData request(1, 3, QVariant());
    request(1, 1) = 2;
    request(1, 2) = From;
    request(1, 3) = To;
    return request;
}

TPageData ReadHistoryValues(const TPageData &Request, const ExecFn &Exec,
                            const ExecTextFn &ExecText, const StopFn &Stop)
{
    if (!Request.IsAssigned() || Request.ColCount() < 3)
        return {};
    const bool last = Request(1, 1).toInt() == 1;
    const qint64 from = Request(1, 2).toLongLong();
    const qint64 to = Request(1, 3).toLongLong();
    const qint64 rows = last ? LastCount + 1 : to - from + 2;
    if (rows < 1 || rows > std::numeric_limits<int>::max())
        return {};

    TPageData v(int(rows), 3, QVariant());
    Exec(PointCode, 1, v);
    if (Stop())
        return v;
    const int newest = v(1, 1).toInt() - 1;
    v(1, 1) = newest;

    const qint64 first = last ? qMax(newest - (LastCount - 1), 0) : from;
    const qint64 final = last ? newest : to;
    int row = 2;
    for (qint64 i = first; i <= final && row <= v.RowCount(); ++i, ++row) {
        ExecText(ReadCommand(int(i)), ReadCode, row, v);
        v(row, 3) = RecordLabel(int(i));
        if (Stop())
            break;
    }
    return v;
}

} // namespace HistoryReading
