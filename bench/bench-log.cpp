// Log figures, the log shown in a window as in the program (one exchange: a write and its read,
// each a timed entry with its text, four lines; the window updated after each):
//   add_us_at_0: microseconds per added exchange, the log starting empty
//   add_us_at_200000: microseconds per added exchange once the log holds 200,000 lines
//   add_ratio: the second against the first
//   (medians of nine rounds, each a run of 200 exchanges on either log in turn)
//   bytes_per_exchange: heap memory one logged exchange holds, window included
// Run it offscreen: QT_QPA_PLATFORM=offscreen build/bin/bench-log

#include "main/LogTreeView.h"
#include "main/LogView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

constexpr int FilledLines = 200000;
constexpr int LinesPerExchange = 4;
constexpr int MeasuredExchanges = 200;
constexpr int Rounds = 9;

// A history record read: the request and the unit's answer with its record in hex.
void AddExchange(TLogView &log, int n)
{
    const QString number = QString::number(n % 65536).rightJustified(5, QLatin1Char('0'));
    log.LogPortWrite(QStringLiteral("+HR") + number + QStringLiteral("\r"));
    log.LogPortRead(
        QStringLiteral("HR") + number + QLatin1Char(' ') +
        QStringLiteral("0A1B2C3D4E5F60718293A4B5C6D7E8F9%1").arg(n, 32, 16, QLatin1Char('0')) +
        QStringLiteral("\r\nOK\r\n"));
}

// Mean microseconds per exchange over one run, the window brought up to date after each.
double MicrosecondsPerExchange(TLogView &log, int &n)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < MeasuredExchanges; ++i) {
        AddExchange(log, n++);
        QCoreApplication::processEvents();
    }
    return timer.nsecsElapsed() / 1e3 / MeasuredExchanges;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

// A log shown in its own window, as the main window shows it.
struct TShownLog
{
    TLogTreeView View;
    TLogView Log{&View};

    TShownLog()
    {
        View.setSelectionMode(QAbstractItemView::ExtendedSelection);
        View.resize(900, 170);
        View.show();
        if (!QTest::qWaitForWindowExposed(&View))
            std::fprintf(stderr, "the log window was not shown\n");
        Log.LogSessionStart();
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TShownLog empty;
    TShownLog full;

    // Filled without a window update per exchange to keep the run short; the updates come after.
    int n = 0;
    const size_t heapBefore = HeapInUse();
    while (n * LinesPerExchange < FilledLines)
        AddExchange(full.Log, n++);
    QCoreApplication::processEvents();
    const double bytesPerExchange = double(HeapInUse() - heapBefore) / n;

    // Runs on the two logs take turns, so that other load on the machine meets both alike; the
    // empty one is cleared before each run. Medians of the runs count, the ratio taken per round.
    std::vector<double> atZero, atFull, ratios;
    for (int round = 0; round < Rounds; ++round) {
        empty.Log.ClearLog();
        empty.Log.LogSessionStart();
        atZero.push_back(MicrosecondsPerExchange(empty.Log, n));
        atFull.push_back(MicrosecondsPerExchange(full.Log, n));
        ratios.push_back(atFull.back() / atZero.back());
    }

    std::printf("add_us_at_0: %.1f\n", Median(atZero));
    std::printf("add_us_at_200000: %.1f\n", Median(atFull));
    std::printf("add_ratio: %.2f\n", Median(ratios));
    std::printf("bytes_per_exchange: %.0f\n", bytesPerExchange);
    return 0;
}
