// Page figures against the simulated unit.
//
// Whole-page transfers, the unit in-process with the program's own timings: "read all pages"
// and "write all pages" (the General and GPRS pages), first with replies at once, then at the
// real line speed (19200 baud). For each: the time, the command count and
//   pacing_ratio: time / (commands x 250 ms)
// 250 ms between commands is the engine's floor; a ratio near 1 means the program adds nothing.
//
// The CAN page's auto-refresh, the unit as a process of its own so that only the program's own
// work is measured:
//   can_refresh_cpu_percent: CPU time of the program while the CAN page's auto-refresh runs at
//                            0,5 s for 30 s (the unit answers at once)
//   can_refresh_answers: live value answers shown in that time
//   can_refresh_most_waiting: the most live value requests ever waiting at once in that time
//   can_refresh_slow_most_waiting: the same on a real-speed line whose unit takes 600 ms to answer
// "--quick" shortens the auto-refresh runs.

#include "can/UnitCANFrame.h"
#include "device/ComPort.h"
#include "device/Device.h"
#include "main/CommandEngine.h"
#include "main/ExecCommandService.h"
#include "main/MainConnection.h"
#include "main/MainPageTransfer.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "pages/UnitGeneralSettingsFrame.h"
#include "unitsim/UnitSimulator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr double PacingMs = 250.0;
constexpr int RealLineBytesPerSecond = 1920;

struct Bench
{
    unitsim::UnitSimulator Sim;
    TCommandEngine Engine;
    QObject Owner;
    TMainConnection Connection{Engine, &Owner};
    TMainPageTransfer Transfer{Engine};
    std::array<std::unique_ptr<TPageFrame>, 9> Frames;
    TPageFrame *Current = nullptr;
    bool Connected = false;

    Bench()
    {
        Engine.Hooks.ClosePort = [this] { Connection.ClosePort(); };
        Engine.Hooks.DisconnectAction = [this] { Connection.DisconnectActionExecute(); };
        Engine.Hooks.SetActionsConnected = [this] { Connected = true; };
        Frames[0] = std::make_unique<TGeneralSettingsFrame>();
        Frames[1] = std::make_unique<TGPRSSettingsFrame>();
        for (int tag = 2; tag < 9; ++tag)
            Frames[tag] = std::make_unique<TPageFrame>(tag, QStringLiteral("Page%1").arg(tag));
        for (auto &frame : Frames)
            frame->Init(QStringLiteral("W9CAN"));
        Current = Frames[0].get();
        Transfer.Hooks.CurrentFrame = [this] { return Current; };
        Transfer.Hooks.ShowPage = [this](int tag) { Current = Frames[tag].get(); };
        Transfer.Hooks.ShowError = [](const QString &text) {
            std::fprintf(stderr, "error: %s\n", qPrintable(text));
        };
    }

    bool Connect()
    {
        QString error;
        if (!Sim.start({}, &error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return false;
        }
        TConnectChoice choice;
        choice.PortName = Sim.portPath();
        Connection.Connect(choice);
        QElapsedTimer waited;
        waited.start();
        while (!(Connected && !Engine.IsPending()) && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return Connected && Engine.State == StateConnected;
    }

    void SetLineSpeed(int bytesPerSecond)
    {
        auto faults = Sim.faults();
        faults.bytesPerSecond = bytesPerSecond;
        Sim.setFaults(faults);
    }

    // Runs one action and prints its figures under `name`; false when a command went unanswered.
    bool Measure(const char *name, void (TMainPageTransfer::*action)())
    {
        Sim.clearLog();
        QElapsedTimer elapsed;
        elapsed.start();
        (Transfer.*action)();
        const double ms = double(elapsed.nsecsElapsed()) / 1e6;
        const int commands = Sim.commandCount();
        std::printf("%s_ms: %.0f\n", name, ms);
        std::printf("%s_commands: %d\n", name, commands);
        std::printf("%s_pacing_ratio: %.4f\n", name, ms / (commands * PacingMs));
        std::fflush(stdout);
        return commands > 0;
    }
};

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
    page.Window.CommandTarget = &service;
    page.Window.DeviceModel = [&] {
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

// The whole-page transfer figures; false when the unit could not be reached or left a
// transfer without commands.
bool MeasureTransfers()
{
    Bench bench;
    if (!bench.Connect()) {
        std::fprintf(stderr, "could not connect to the simulated unit\n");
        return false;
    }
    bool ok = bench.Measure("read_all", &TMainPageTransfer::ReadAllPagesActionExecute);
    ok = bench.Measure("write_all", &TMainPageTransfer::WriteAllPagesActionExecute) && ok;
    bench.SetLineSpeed(RealLineBytesPerSecond);
    ok = bench.Measure("real_speed_read_all", &TMainPageTransfer::ReadAllPagesActionExecute) && ok;
    ok =
        bench.Measure("real_speed_write_all", &TMainPageTransfer::WriteAllPagesActionExecute) && ok;
    bench.Connection.ClosePort();
    return ok;
}

// The CAN page's auto-refresh figures; false when the unit could not be reached.
bool MeasureCanRefresh(bool quick)
{
    QTemporaryDir dir;

    {
        const QString link = dir.filePath(QStringLiteral("ttyFast"));
        TUnitProcess unit(link, {});
        const auto figures =
            unit.ready ? MeasureAutoRefresh(link, quick ? 5000 : 30000) : std::nullopt;
        if (!figures) {
            std::fprintf(stderr, "simulated unit not reachable\n");
            return false;
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
            return false;
        }
        std::printf("can_refresh_slow_most_waiting: %d\n", figures->mostWaiting);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The pages' stored captions and values go to a folder of the run, not the user's own.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // the figures are printed with a point
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const bool transfers = MeasureTransfers();
    const bool refresh = MeasureCanRefresh(quick);
    return transfers && refresh ? 0 : 1;
}
