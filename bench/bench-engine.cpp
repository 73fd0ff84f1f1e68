// Command engine figures against the simulated unit:
//   pacing_ratio: elapsed time of N back-to-back commands / (N x 250 ms), replies without latency
//   pending_wait_cpu_percent: process CPU time while one command waits for a silent unit
//   keepalive_read_ratio: time of the general page's read at 500 ms reply latency with the
//     keep-alive going out just before it / the same read without it
//   lossy_unit_row_seconds: mean time per row of the general page's read against a unit that
//     loses the first send of every command, at the real time-outs
//   lossy_write_row_seconds: mean time per row of the general page's write against a unit that
//     loses the first send of each of the page's commands, at the real time-outs
//   after_stall_write_ratio: mean time per row of the general page's write on a healthy unit,
//     once the silence limit has passed after a stall (a write and the version query behind it
//     left unanswered), / the same write's before the stall, at the real time-outs
// "--quick" shortens the run.

#include "device/ComPort.h"
#include "device/Device.h"
#include "device/Tick.h"
#include "main/CommandEngine.h"
#include "pages/GeneralRows.h"
#include "pages/PageTransfer.h"
#include "unitsim/UnitSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

// Reads the general page's first `rows` rows; the milliseconds it took and whether every row was
// answered.
std::pair<double, bool> TimedPageRead(TCommandEngine &engine, int rows = GeneralRows::RowCount)
{
    const auto &codes = GeneralRows::ReadCodes;
    QElapsedTimer elapsed;
    elapsed.start();
    const TPageData v =
        PageTransfer::ReadRows(QVector<int>(codes.begin(), codes.begin() + rows),
                               [&engine](int code, int row, TPageData &res) {
                                   engine.ExecCommand(code, engine.DefaultRetries, row, res);
                               },
                               {});
    bool all = true;
    for (int r = 1; r <= v.RowCount(); ++r)
        all = all && v(r, 2).toInt() == 1;
    return {double(elapsed.nsecsElapsed()) / 1e6, all};
}

// Writes the general page's first `rows` rows; the milliseconds it took and whether every row was
// confirmed.
std::pair<double, bool> TimedPageWrite(TCommandEngine &engine, int rows = GeneralRows::RowCount)
{
    const QVariant values[GeneralRows::RowCount] = {"0917", "00E6", "012C", "05", 1,
                                                    0,      1,      "1E",   "0A", "14"};
    QElapsedTimer elapsed;
    elapsed.start();
    bool all = true;
    for (int row = 1; row <= rows; ++row) {
        const QVariant &value = values[row - 1];
        all = engine.ExecCommandText(GeneralRows::WriteCommandText(row, value),
                                     GeneralRows::WriteCodeForValue(row, value),
                                     engine.DefaultRetries)[1]
                      .toInt() == 1 &&
              all;
    }
    return {double(elapsed.nsecsElapsed()) / 1e6, all};
}

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // the figures are printed with a point
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int commands = quick ? 12 : 40;
    const int waitMs = quick ? 3000 : 30000;

    unitsim::UnitSimulator sim;
    unitsim::UnitSimOptions options;
    QString error;
    if (!sim.start(options, &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }

    TCommandEngine engine;
    auto device = std::make_unique<TDevice>(nullptr, MakeNewInDcb(sim.portPath(), 19200, 0, 8, 0));
    device->OnData = [&engine](QObject *, const QString &data) { engine.ProcessReply(data); };
    device->SetComActive(true);
    if (!device->ComActive()) {
        std::fprintf(stderr, "port did not open\n");
        return 1;
    }
    engine.AttachDevice(device.get());
    engine.PortOpened();

    // Paced commands: the first one also waits its 250 ms, as after a connect.
    QElapsedTimer elapsed;
    elapsed.start();
    int answered = 0;
    for (int i = 0; i < commands; ++i)
        answered += engine.ExecCommand(5, 1)[1].toInt();
    const double ratio = double(elapsed.nsecsElapsed()) / 1e6 / (commands * 250.0);
    std::printf("pacing_commands: %d\n", commands);
    std::printf("pacing_answered: %d\n", answered);
    std::printf("pacing_ratio: %.4f\n", ratio);

    // The page read over a slow link, alone and right behind a keep-alive.
    sim.setLatency(500);
    device->OnWakeUp = [&engine](QObject *) { engine.KeepAliveDue(); };
    device->SetWakeUp(true);
    engine.WaitMs(400); // both reads start on a quiet line, outside the pacing gap
    const auto plain = TimedPageRead(engine);
    engine.WaitMs(400);
    SetTickOffsetForTesting(20000); // the wake-up interval has passed
    device->TimerTick();            // the keep-alive goes out; the read starts right behind it
    const auto raced = TimedPageRead(engine);
    SetTickOffsetForTesting(0);
    device->SetWakeUp(false);
    sim.setLatency(0);
    std::printf("keepalive_read_plain_ms: %.0f\n", plain.first);
    std::printf("keepalive_read_raced_ms: %.0f\n", raced.first);
    std::printf("keepalive_read_all_answered: %d\n", plain.second && raced.second ? 1 : 0);
    std::printf("keepalive_read_ratio: %.3f\n", raced.first / plain.first);

    // Every command answered only after its resend.
    unitsim::UnitSimFaults lossy = sim.faults();
    lossy.loseFirstSends = true;
    sim.setFaults(lossy);
    const int lossyRows = quick ? 3 : GeneralRows::RowCount;
    const auto lossyRead = TimedPageRead(engine, lossyRows);
    std::printf("lossy_unit_rows: %d\n", lossyRows);
    std::printf("lossy_unit_all_answered: %d\n", lossyRead.second ? 1 : 0);
    std::printf("lossy_unit_row_seconds: %.2f\n", lossyRead.first / 1000.0 / lossyRows);

    // Each write answered only after its resend; its first send's answer may still come, so the
    // unit is asked for its version (answered at once) before the next row.
    lossy.loseFirstSends = false;
    lossy.loseFirstSendsOf = QStringList{"+object", "+latit",   "+longit",  "+timefix", "+turn",
                                         "+qsafe",  "+safemod", "+timegps", "+tunfix"};
    sim.setFaults(lossy);
    engine.WaitUntil([&engine] { return !engine.IsPending(); });
    const auto lossyWrite = TimedPageWrite(engine, lossyRows);
    engine.WaitUntil([&engine] { return !engine.IsPending(); }); // the last row's version query
    sim.setFaults(unitsim::UnitSimFaults());
    std::printf("lossy_write_all_confirmed: %d\n", lossyWrite.second ? 1 : 0);
    std::printf("lossy_write_row_seconds: %.2f\n", lossyWrite.first / 1000.0 / lossyRows);

    // The same write before and after a stall: a write the unit does not hear, then the version
    // query behind it unanswered too. The second write starts once every send of the stall has
    // outlived the silence limit; the keep-alive goes on meanwhile, as on a real connection.
    const TEngineTimings realTimings = engine.Timings;
    if (quick) {
        engine.Timings.CommandTimeoutMs = 500;
        engine.Timings.AnswerLifetimeMs = 3000;
    }
    device->SetWakeUp(true);
    engine.WaitMs(400);
    const auto beforeStall = TimedPageWrite(engine, lossyRows);
    engine.WaitUntil([&engine] { return !engine.IsPending(); });
    sim.setSilent(true);
    elapsed.restart();
    engine.ExecCommandText(GeneralRows::WriteCommandText(1, "0917"),
                           GeneralRows::WriteCodeForValue(1, "0917"), engine.DefaultRetries);
    engine.WaitUntil([&engine] { return !engine.IsPending(); }); // the version query given up
    const uint32_t stallLastSend = engine.LastSendTick;
    const double stallSeconds = double(elapsed.nsecsElapsed()) / 1e9;
    sim.setSilent(false);
    const uint32_t lifetimeMs = engine.Timings.AnswerLifetimeMs;
    engine.WaitUntil([&] { return uint32_t(GetTickCount() - stallLastSend) > lifetimeMs + 500; });
    const bool connected = engine.Device && device->ComActive() && !device->ComLost();
    if (connected) {
        const auto afterStall = TimedPageWrite(engine, lossyRows);
        engine.WaitUntil([&engine] { return !engine.IsPending(); });
        std::printf("after_stall_stall_seconds: %.2f\n", stallSeconds);
        std::printf("after_stall_write_before_row_seconds: %.2f\n",
                    beforeStall.first / 1000.0 / lossyRows);
        std::printf("after_stall_write_after_row_seconds: %.2f\n",
                    afterStall.first / 1000.0 / lossyRows);
        std::printf("after_stall_write_all_confirmed: %d\n", afterStall.second ? 1 : 0);
        std::printf("after_stall_write_ratio: %.3f\n", afterStall.first / beforeStall.first);
    } else {
        std::printf("after_stall_write: connection ended\n");
    }
    device->SetWakeUp(false);
    engine.Timings = realTimings;

    // One pending command that stays unanswered for the whole wait.
    sim.setSilent(true);
    engine.Timings.CommandTimeoutMs = uint32_t(waitMs);
    const double cpuBefore = ProcessCpuSeconds();
    elapsed.restart();
    engine.ExecCommand(5, 0);
    const double wallSeconds = double(elapsed.nsecsElapsed()) / 1e9;
    const double cpuSeconds = ProcessCpuSeconds() - cpuBefore;
    std::printf("pending_wait_seconds: %.2f\n", wallSeconds);
    std::printf("pending_wait_cpu_percent: %.3f\n", 100.0 * cpuSeconds / wallSeconds);

    device.reset();
    sim.stop();
    return 0;
}
