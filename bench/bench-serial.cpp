// Cost of the serial link on a pseudo-terminal: processor time of an open, idle port and the time
// from a byte written by the unit's side to the device object's OnData.

#include "device/Device.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <vector>

#include <pty.h>
#include <unistd.h>

namespace {

double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size())));
    return values[at];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // the figures are printed with a point
    const int idleMs = argc > 1 ? std::max(1000, atoi(argv[1]) * 1000) : 10000;
    constexpr int samples = 500;

    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const QString slavePath = QString::fromLocal8Bit(ttyname(slave));
    close(slave);

    TDevice device(nullptr, MakeNewInDcb(slavePath, 19200, 0, 8, 0));
    device.SetComActive(true);
    if (!device.ComActive()) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(slavePath),
                     qPrintable(device.LastErrorText()));
        return 1;
    }

    // Idle: the port open and listening, nothing on the line.
    QEventLoop loop;
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    QTimer::singleShot(idleMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
            .count();

    // Latency: one byte at a time from the unit's side to OnData.
    std::vector<double> latencies;
    bool arrived = false;
    device.OnData = [&](QObject *, const QString &data) {
        if (!data.isEmpty()) {
            arrived = true;
            loop.quit();
        }
    };
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    int lost = 0;
    for (int i = 0; i < samples; ++i) {
        arrived = false;
        const auto start = std::chrono::steady_clock::now();
        if (write(master, "x", 1) != 1)
            return 1;
        guard.start(1000);
        while (!arrived && guard.isActive())
            loop.exec();
        guard.stop();
        if (!arrived) {
            ++lost;
            continue;
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    close(master);

    std::printf("idle_seconds: %.1f\n", wallMs / 1000.0);
    std::printf("idle_cpu_ms: %.3f\n", cpuMs);
    std::printf("idle_cpu_percent: %.4f\n", cpuMs / wallMs * 100.0);
    std::printf("latency_samples: %zu\n", latencies.size());
    std::printf("latency_lost: %d\n", lost);
    if (!latencies.empty()) {
        std::printf("latency_median_ms: %.3f\n", Percentile(latencies, 0.5));
        std::printf("latency_p95_ms: %.3f\n", Percentile(latencies, 0.95));
        std::printf("latency_max_ms: %.3f\n", Percentile(latencies, 1.0));
    }
    return lost == 0 ? 0 : 1;
}
