#include "main/Main.h"
#include "can/DMUnit.h"
#include "main/StartupProbe.h"

#include <QApplication>
#include <QFileInfo>

#include <chrono>
#include <memory>

namespace {

// The program's folder, found as QCoreApplication::applicationDirPath() finds it, but without
// the application object.
QString ExecutableDir(const char *argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString path = self.exists() ? self.canonicalFilePath() : QString::fromLocal8Bit(argv0);
    return QFileInfo(path).absolutePath();
}

} // namespace

int main(int argc, char *argv[])
{
    const auto started = std::chrono::steady_clock::now();
    // The vehicle database is read by child processes while the window is built. They are
    // forked here, before QApplication starts any thread.
    const QString exeDir = ExecutableDir(argv[0]);
    std::unique_ptr<JetImport::Reading> reading = TDm::StartReading(exeDir);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W9-CAN config"));
    // The vehicle database comes first and goes last; the main window reports a file that cannot
    // be opened, and the program runs without it.
    TDm dm(exeDir, std::move(reading));
    Dm = &dm;
    TMainForm mainForm;
    const std::unique_ptr<TStartupProbe> probe =
        TStartupProbe::Wanted() ? std::make_unique<TStartupProbe>(&mainForm, started) : nullptr;
    mainForm.show();
    return app.exec();
}
