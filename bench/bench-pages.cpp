// Page figures against the simulated unit, which runs as a process of its own so that only the
// program's own work is measured:
//   can_refresh_cpu_percent: CPU time of the program while the CAN page's auto-refresh runs at
//                            0,5 s for 30 s (the unit answers at once)
//   can_refresh_answers: live value answers shown in that time
//   can_refresh_most_waiting: the most live value requests ever waiting at once in that time
//   can_refresh_slow_most_waiting: the same on a real-speed line whose unit takes 600 ms to answer
// "--quick" shortens the runs.

#include "can/UnitCANFrame.h"
#include "main/CommandEngine.h"
#include "main/ExecCommandService.h"
#include "main/MainConnection.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// The simulated unit as a child process serving `link`.
class TUnitProcess
{
public:
    TUnitProcess(const QString &link, const QStringList &extra)
    {
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/w9can-unitsim"),
                      QStringList{"--link", link, "--type", "505", "--firmware", "18"} + extra);
        ready = process.waitForStarted() && WaitFor([&] { return QFileInfo::exists(link); }, 5000);
    }
    ~TUnitProcess()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    bool ready = false;

private:
    QProcess process;
};

// Counts the answered live value requests that reach the page.
class TAnswerCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == WM_COMMANDDONE &&
            static_cast<TCommandDoneEvent *>(event)->Record.Status == 1)
            ++count;
        return false;
    }
};

struct TRefreshFigures
{
    double cpuPercent = 0;
    int answers = 0;
    int mostWaiting = 0;
};

// Connects to the unit at `link`, runs the CAN page's auto-refresh at 0,5 s for `ms` and gives
// the figures; nothing when the unit could not be reached.
std::optional<TRefreshFigures> MeasureAutoRefresh(const QString &link, int ms)
{
    TCommandEngine engine;
    QObject owner;
    TMainConnection connection(engine, &owner);
    TExecCommandService service(engine);
    bool connected = false;
    engine.Hooks.SetActionsConnected = [&] { connected = true; };
    TConnectChoice choice;
    choice.PortName = link;
    connection.Connect(choice);
    if (!WaitFor([&] { return connected && !engine.IsPending(); }, 10000))
        return std::nullopt;

    TCANFrame page;
    page.CommandTarget = &service;
    page.DeviceModel = [&] {
        return std::pair(engine.Identity.DeviceType, engine.Identity.DeviceVersion);
    };
    TRefreshFigures figures;
    // Sampled after each tick's request has reached the service.
    QObject::connect(
        &page.Timer, &QTimer::timeout, &service,
        [&] { figures.mostWaiting = std::max(figures.mostWaiting, service.WaitingCount()); },
        Qt::QueuedConnection);
    TAnswerCounter answers;
    page.installEventFilter(&answers);
    page.findChild<QComboBox *>(QStringLiteral("ComboBox2"))->setCurrentIndex(0);

    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    page.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(true);
    RunFor(ms);
    page.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
    figures.cpuPercent = 100.0 * (ProcessCpuSeconds() - cpuBefore) / (elapsed.elapsed() / 1000.0);
    figures.answers = answers.count;
    WaitFor([&] { return !engine.IsPending() && service.WaitingCount() == 0; }, 10000);
    connection.ClosePort();
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    QTemporaryDir dir;

    {
        const QString link = dir.filePath(QStringLiteral("ttyFast"));
        TUnitProcess unit(link, {});
        const auto figures =
            unit.ready ? MeasureAutoRefresh(link, quick ? 5000 : 30000) : std::nullopt;
        if (!figures) {
            std::fprintf(stderr, "simulated unit not reachable\n");
            return 1;
        }
        std::printf("can_refresh_cpu_percent: %.3f\n", figures->cpuPercent);
        std::printf("can_refresh_answers: %d\n", figures->answers);
        std::printf("can_refresh_most_waiting: %d\n", figures->mostWaiting);
    }
    {
        const QString link = dir.filePath(QStringLiteral("ttySlow"));
        TUnitProcess unit(link, {"--latency", "600", "--real-speed"});
        const auto figures =
            unit.ready ? MeasureAutoRefresh(link, quick ? 5000 : 15000) : std::nullopt;
        if (!figures) {
            std::fprintf(stderr, "slow simulated unit not reachable\n");
            return 1;
        }
        std::printf("can_refresh_slow_most_waiting: %d\n", figures->mostWaiting);
    }
    return 0;
}
