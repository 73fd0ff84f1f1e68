// History page figures for a full unit (65,536 records, from the simulated unit's generator):
//   decode_records_per_s: grid rows composed per second (every column of every record)
//   fill_ms: a read handed to the shown page until its grid and raw view are painted
//   fill_rss_mb: resident memory the filled page holds (the records included)
// Run it offscreen: QT_QPA_PLATFORM=offscreen build/bin/bench-history

#include "history/HistoryGridModel.h"
#include "history/HistoryReading.h"
#include "history/HistoryRows.h"
#include "history/UnitHistoryFrame.h"
#include "unitsim/HistoryRecords.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>

#include <clocale>
#include <cstdio>

namespace {

constexpr int RecordCount = 65536;

double ResidentMb()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.value(1).toDouble() * 4096.0 / (1024.0 * 1024.0);
}

TPageData FullRead(const unitsim::HistoryRecords &unit)
{
    TPageData v(RecordCount + 1, 3, QVariant());
    v(1, 1) = RecordCount - 1;
    v(1, 2) = 1;
    for (int i = 0; i < RecordCount; ++i) {
        v(i + 2, 1) = QString::fromLatin1(unit.recordHex(i));
        v(i + 2, 2) = 1;
        v(i + 2, 3) = HistoryReading::RecordLabel(i);
    }
    return v;
}

double DecodeRate(const TPageData &v, THistoryVariant variant)
{
    const THistoryRowBuilder builder;
    QElapsedTimer timer;
    timer.start();
    qsizetype cells = 0;
    for (int r = 2; r <= v.RowCount(); ++r)
        cells += builder.ComposeRow(variant, v(r, 3).toString(), v(r, 1).toString()).size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (cells == 0)
        std::fprintf(stderr, "no cells composed\n");
    return (v.RowCount() - 1) / seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // the figures are printed with a point

    THistoryFrame page;
    page.Init(QStringLiteral("W9CAN-bench"));
    page.SetDeviceModel(504, 41);
    page.resize(1000, 700);
    page.show();
    QCoreApplication::processEvents();

    const double before = ResidentMb();
    double fillMs = 0;
    double rate = 0;
    {
        const TPageData v = FullRead(unitsim::HistoryRecords(504, 41, RecordCount));
        rate = DecodeRate(v, THistoryVariant::Type504);

        QElapsedTimer timer;
        timer.start();
        page.SetPageData(v);
        page.HistoryGrid()->repaint();
        QCoreApplication::processEvents();
        fillMs = timer.nsecsElapsed() / 1e6;
        if (page.GridModel().rowCount() != RecordCount)
            std::fprintf(stderr, "only %d rows\n", page.GridModel().rowCount());
    }
    const double after = ResidentMb();

    std::printf("decode_records_per_s: %.0f\n", rate);
    std::printf("fill_ms: %.1f\n", fillMs);
    std::printf("fill_rss_mb: %.1f\n", after - before);
    return 0;
}
