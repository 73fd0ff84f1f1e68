#include "pages/PageTransfer.h"

#include <exception>

namespace PageTransfer {

TPageData NewReadData(int rows)
{
    return TPageData(rows, 2, 0);
}

TPageData ReadRows(const QVector<int> &codes, const ExecFn &exec, const StopFn &stop)
{
    TPageData v = NewReadData(int(codes.size()));
    for (int r = 1; r <= codes.size(); ++r) {
        exec(codes[r - 1], r, v);
        if (stop && stop())
            break;
    }
    return v;
}

TWriteResults WriteRows(int rows, const GetDataFn &getData, const WriteCommandFn &command,
                        const ExecTextFn &exec, const std::function<void()> &onAbort)
{
    TPageData res(rows, 2, 0);
    for (int r = 1; r <= rows; ++r)
        res(r, 2) = -1;
    TWriteResults results(rows, NotSent);
    try {
        TPageData v;
        getData(v);
        if (v.IsAssigned()) {
            for (int r = 1; r <= v.RowCount(); ++r) {
                const int row = v(r, 1).toInt();
                if (row < 1 || row > rows || (v.ColCount() >= 3 && v(r, 3).toInt() == -1))
                    continue;
                const WriteCommand cmd = command(row, v(r, 2));
                if (cmd.text.isEmpty())
                    continue; // a row the page keeps but never sends
                exec(cmd.text, cmd.code, row, res);
                results[row - 1] = Failed;
            }
        }
    } catch (const std::exception &) {
        if (onAbort)
            onAbort();
    }
    for (int r = 1; r <= rows; ++r)
        if (res(r, 2).toInt() == 1)
            results[r - 1] = Written;
    return results;
}

} // namespace PageTransfer
