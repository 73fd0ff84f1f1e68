// Firmware update figures:
//   upload_s: the upload of a 1011-block image to the simulated unit at the real line speed
//     (1920 bytes/s both ways), acknowledgements polled every 250 ms as the unit needs
//   floor_s: blocks x 250 ms; upload_ratio: upload_s / floor_s
//   wire_s: the time the blocks and their acknowledgements take on the line itself
//   hex_ms: the check and block building of an 8088-line Intel HEX image (best of 5)
// "--quick" uploads 40 blocks instead.

#include "device/ComPort.h"
#include "device/Device.h"
#include "firmware/FirmwareUpdate.h"
#include "settings/funcs.h"
#include "unitsim/UnitSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>

namespace {

constexpr int kLineBytesPerSecond = 1920;

// Consecutive 16-byte data records of opaque data, as the carried images are made.
QStringList ImageLines(int records)
{
    QRandomGenerator random(7);
    QStringList lines;
    lines.reserve(records);
    for (int r = 0; r < records; ++r) {
        QByteArray bytes;
        bytes.append(char(16));
        bytes.append(char((r * 16) >> 8));
        bytes.append(char((r * 16) & 0xFF));
        bytes.append(char(0));
        for (int i = 0; i < 16; ++i)
            bytes.append(char(random.bounded(256)));
        quint8 sum = 0;
        for (const char b : std::as_const(bytes))
            sum += quint8(b);
        bytes.append(char(quint8(0x100 - sum)));
        lines.append(QLatin1Char(':') + QString::fromLatin1(bytes.toHex().toUpper()));
    }
    return lines;
}

double HexMs(const QStringList &lines)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const TBlockList blocks = HexImageToBlocks(lines);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        if (blocks.size() != lines.size() / 8)
            return -1;
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // the figures are printed with a point
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int blockCount = quick ? 40 : 1011;

    std::printf("hex_ms: %.2f\n", HexMs(ImageLines(8088)));
    std::fflush(stdout);

    unitsim::UnitSimulator sim;
    unitsim::UnitSimOptions options;
    options.startInBootLoader = true;
    options.faults.bytesPerSecond = kLineBytesPerSecond;
    QString error;
    if (!sim.start(options, &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    auto device = std::make_unique<TDevice>(nullptr, MakeNewInDcb(sim.portPath(), 19200, 0, 8, 0));
    device->SetComActive(true);
    if (!device->ComActive()) {
        std::fprintf(stderr, "port did not open\n");
        return 1;
    }

    TFirmwareUpdate update;
    update.AttachDevice(device.get());
    update.Blocks = HexImageToBlocks(ImageLines(blockCount * 8));
    update.NextBlock = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    const bool uploaded = update.UploadBlocks();
    const double uploadS = double(elapsed.nsecsElapsed()) / 1e9;
    if (!uploaded || sim.blocksAccepted() != blockCount) {
        std::fprintf(stderr, "upload failed: %d of %d blocks accepted\n", sim.blocksAccepted(),
                     blockCount);
        return 1;
    }
    // "+W", the block and CR out; "\r\n>PPPP\r\nOK\r\n" back.
    const double wireS = double(blockCount) * (2 + 264 + 1 + 13) / kLineBytesPerSecond;
    const double floorS = blockCount * update.Timings.BlockPollMs / 1000.0;
    std::printf("blocks: %d\n", blockCount);
    std::printf("upload_s: %.2f\n", uploadS);
    std::printf("floor_s: %.2f\n", floorS);
    std::printf("upload_ratio: %.4f\n", uploadS / floorS);
    std::printf("wire_s: %.2f\n", wireS);
    return 0;
}
