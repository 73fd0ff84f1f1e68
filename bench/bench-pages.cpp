// Whole-page transfers against the simulated unit with the program's own timings: "read all
// pages" and "write all pages" (the General and GPRS pages), first with replies at once, then
// at the real line speed (19200 baud). For each: the time, the command count and
//   pacing_ratio: time / (commands x 250 ms)
// 250 ms between commands is the engine's floor; a ratio near 1 means the program adds nothing.

#include "device/ComPort.h"
#include "device/Device.h"
#include "main/CommandEngine.h"
#include "main/MainConnection.h"
#include "main/MainPageTransfer.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "pages/UnitGeneralSettingsFrame.h"
#include "unitsim/UnitSimulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The pages' stored captions and values go to a folder of the run, not the user's own.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);

    Bench bench;
    if (!bench.Connect()) {
        std::fprintf(stderr, "could not connect to the simulated unit\n");
        return 1;
    }
    bool ok = bench.Measure("read_all", &TMainPageTransfer::ReadAllPagesActionExecute);
    ok = bench.Measure("write_all", &TMainPageTransfer::WriteAllPagesActionExecute) && ok;
    bench.SetLineSpeed(RealLineBytesPerSecond);
    ok = bench.Measure("real_speed_read_all", &TMainPageTransfer::ReadAllPagesActionExecute) && ok;
    ok =
        bench.Measure("real_speed_write_all", &TMainPageTransfer::WriteAllPagesActionExecute) && ok;
    bench.Connection.ClosePort();
    return ok ? 0 : 1;
}
