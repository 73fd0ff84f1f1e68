// Log figures, the log shown in a window as in the program (one exchange: a write and its read,
// each a timed entry with its text, four lines; the window updated after each):
//   add_us_at_0: time per added exchange with an empty log
//   add_us_at_200000: time per added exchange once the log holds 200,000 lines
//   add_ratio: the second against the first
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

namespace {

constexpr int FilledLines = 200000;
constexpr int LinesPerExchange = 4;
constexpr int MeasuredExchanges = 500;

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

// Mean microseconds per exchange, the window brought up to date after each; best of three runs.
double MicrosecondsPerExchange(TLogView &log, int &n)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < MeasuredExchanges; ++i) {
            AddExchange(log, n++);
            QCoreApplication::processEvents();
        }
        best = std::min(best, timer.nsecsElapsed() / 1e3 / MeasuredExchanges);
    }
    return best;
}

size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    TLogTreeView view;
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.resize(900, 170);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        std::fprintf(stderr, "the log window was not shown\n");
    TLogView log(&view);
    log.LogSessionStart();

    int n = 0;
    const double atZero = MicrosecondsPerExchange(log, n);

    // Filled without a window update per exchange to keep the run short; the updates come after.
    const size_t heapBefore = HeapInUse();
    const int exchangesBefore = n;
    while (n * LinesPerExchange < FilledLines)
        AddExchange(log, n++);
    QCoreApplication::processEvents();
    const double bytesPerExchange = double(HeapInUse() - heapBefore) / double(n - exchangesBefore);

    const double atFull = MicrosecondsPerExchange(log, n);

    std::printf("add_us_at_0: %.1f\n", atZero);
    std::printf("add_us_at_200000: %.1f\n", atFull);
    std::printf("add_ratio: %.2f\n", atFull / atZero);
    std::printf("bytes_per_exchange: %.0f\n", bytesPerExchange);
    return 0;
}
