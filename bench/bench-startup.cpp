// Start-up of the real program: the time from main() to the main window's first exposure without
// a vehicle database and with the large carid.mdb beside the program (the same build, runs taken
// in turn), as medians, and their ratio.
// Usage: bench-startup [path of the large carid.mdb]

#include "main/StartupProbe.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A folder holding a copy of the program (it looks for carid.mdb beside its own file) and a
// configuration folder of its own.
struct ProgramCopy
{
    QTemporaryDir dir;
    QString program;

    ProgramCopy(const QString &built, const QString &database)
        : program(dir.filePath(QStringLiteral("w9can-config")))
    {
        if (!QFile::copy(built, program) ||
            (!database.isEmpty() && !QFile::copy(database, dir.filePath("carid.mdb"))))
            program.clear();
    }

    // Milliseconds from main() to the window's first exposure; none when the run failed.
    std::optional<double> Run() const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(TStartupProbe::Switch), QStringLiteral("1"));
        environment.insert(
            QStringLiteral("QT_QPA_PLATFORM"),
            environment.value(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath("config"));
        process.setProcessEnvironment(environment);
        process.start(program, {});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return std::nullopt;
        const QByteArray out = process.readAllStandardOutput();
        const qsizetype at = out.indexOf("startup_ms:");
        bool ok = false;
        const double ms = at < 0 ? 0 : out.mid(at + 11).split('\n').first().trimmed().toDouble(&ok);
        return ok ? std::optional(ms) : std::nullopt;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString database = QString::fromLocal8Bit(argc > 1 ? argv[1] : W9_BENCH_CARID_LARGE);
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/w9can-config");
    if (!QFile::exists(database) || !QFile::exists(built)) {
        std::fprintf(stderr, "need %s and %s\n", qPrintable(built), qPrintable(database));
        return 1;
    }
    const ProgramCopy without(built, QString());
    const ProgramCopy with(built, database);
    if (without.program.isEmpty() || with.program.isEmpty()) {
        std::fprintf(stderr, "cannot copy the program\n");
        return 1;
    }
    (void)without.Run(); // the libraries and the file once through the page cache
    (void)with.Run();
    constexpr int runs = 11;
    std::vector<double> bare;
    std::vector<double> loaded;
    for (int i = 0; i < runs; ++i) {
        const std::optional<double> a = without.Run();
        const std::optional<double> b = with.Run();
        if (!a || !b) {
            std::fprintf(stderr, "a run of the program failed\n");
            return 1;
        }
        bare.push_back(*a);
        loaded.push_back(*b);
    }
    std::printf("startup_ms: %.2f\n", Median(bare));
    std::printf("startup_large_db_ms: %.2f\n", Median(loaded));
    std::printf("startup_ratio: %.3f\n", Median(loaded) / Median(bare));
    return 0;
}
