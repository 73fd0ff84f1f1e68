// w9can-unitsim: a simulated W9CAN unit (with its GSM modem and boot loader) on a
// pseudo-terminal, for trying the configuration program without hardware.

#include "unitsim/UnitSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

using unitsim::UnitSimOptions;

namespace {

struct IntOption
{
    const char *name;
    const char *description;
    int *target;
};

QStringList splitList(const QString &text)
{
    QStringList items;
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        items << item;
    return items;
}

bool parseInt(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 0);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // The signals that end the simulator are taken by sigwait below, on this thread only.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("w9can-unitsim");

    UnitSimOptions o;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A simulated W9CAN unit on a pseudo-terminal. Start it, then give the program the link "
        "path as its port. Stop it with Ctrl+C or SIGTERM (the link is removed).");
    parser.addHelpOption();

    const QCommandLineOption link("link", "Publish the unit's side of the link at <path>.", "path");
    const QCommandLineOption log("log", "Write every command and reply as JSON lines to <file>.",
                                 "file");
    const QCommandLineOption type("type", "Device type, 504 or 505 (default 505).", "type", "505");
    const QCommandLineOption firmware("firmware", "Firmware number (default 17).", "n", "17");
    const QCommandLineOption version("version-text",
                                     "The whole \"+v\" text, e.g. \"REV 07.505.017\".", "text");
    const QCommandLineOption memory("memory", "Flash chip: AT45DB161D (default) or M45PE16.",
                                    "chip", "AT45DB161D");
    const QCommandLineOption typepan("typepan", "The \"+typepan\" byte itself (0..255).", "byte");
    const QCommandLineOption imei("imei", "IMEI.", "digits", o.imei);
    const QCommandLineOption startup("startup",
                                     "Print the start-up text ending with \"del all\" when the "
                                     "port opens.");
    const QCommandLineOption startupDelay("startup-delay", "Delay of the start-up text (ms).", "ms",
                                          QString::number(o.startupDelayMs));
    const QCommandLineOption history("history", "Number of history records.", "n",
                                     QString::number(o.historyRecords));
    const QCommandLineOption flags("flags", "Event flag word (hex).", "hex", "0003");
    const QCommandLineOption presentedKey("key", "Key held to the reader (16 hex digits).", "hex",
                                          o.presentedKey);
    const QCommandLineOption historyErase("history-erase-delay", "Time \"+erase\" takes (ms).",
                                          "ms", "0");
    const QCommandLineOption modem("modem", "Put a GSM modem in front of the unit.");
    const QCommandLineOption registerAfter("register-after",
                                           "\"AT+CREG?\" reports registration only after <n> "
                                           "queries.",
                                           "n", "0");
    const QCommandLineOption roaming("roaming", "Registration reported as roaming (0,5) only.");
    const QCommandLineOption dialResult(
        "dial-result",
        "Answer to ATD: CONNECT, BUSY, \"NO CARRIER\", \"NO DIALTONE\", \"NO "
        "ANSWER\" or \"\" for silence.",
        "word", "CONNECT");
    const QCommandLineOption dialDelay("dial-delay", "Time the call takes to connect (ms).", "ms",
                                       "0");
    const QCommandLineOption escapeGuard("escape-guard", "Time before \"+++\" is answered (ms).",
                                         "ms", "0");
    const QCommandLineOption bootLoader("bootloader", "Start in the boot loader (as after an "
                                                      "interrupted upload).");
    const QCommandLineOption eraseDelay("erase-delay", "Time \"+BE\" takes before its OK (ms).",
                                        "ms", "0");
    const QCommandLineOption imageOut("image-out", "Write the received firmware image to <file>.",
                                      "file");
    const QCommandLineOption latency("latency", "Delay before every reply (ms).", "ms", "0");
    const QCommandLineOption realSpeed("real-speed", "Send replies at the real line speed "
                                                     "(1920 bytes/s).");
    const QCommandLineOption speed("bytes-per-second", "Send replies at <n> bytes per second.", "n",
                                   "0");
    const QCommandLineOption chunk("chunk", "Send replies in pieces of <n> bytes.", "n", "0");
    const QCommandLineOption silentAfter("silent-after", "Answer nothing after <n> commands.", "n",
                                         "0");
    const QCommandLineOption neverAnswer("never-answer",
                                         "Never answer commands beginning with these texts "
                                         "(comma-separated).",
                                         "texts");
    const QCommandLineOption garble("garble",
                                    "Garble the answers to commands beginning with these texts "
                                    "(comma-separated).",
                                    "texts");
    const QCommandLineOption errorEvery("error-every", "Refuse every <n>-th firmware block.", "n",
                                        "0");
    const QCommandLineOption echo("echo", "Echo every command back before its answer.");
    const QCommandLineOption answerDelay("answer-delay",
                                         "Answer commands beginning with <text> <ms> later "
                                         "(text=ms, comma-separated).",
                                         "list");
    const QCommandLineOption loseFirst("lose-first-sends",
                                       "Answer a command only when it repeats the one before "
                                       "(its resend).");
    const QCommandLineOption loseFirstOf("lose-first-sends-of",
                                         "The same for commands beginning with these texts "
                                         "(comma-separated).",
                                         "texts");

    parser.addOptions({link,          log,        type,         firmware,     version,
                       memory,        typepan,    imei,         startup,      startupDelay,
                       history,       flags,      presentedKey, historyErase, modem,
                       registerAfter, roaming,    dialResult,   dialDelay,    escapeGuard,
                       bootLoader,    eraseDelay, imageOut,     latency,      realSpeed,
                       speed,         chunk,      silentAfter,  neverAnswer,  garble,
                       errorEvery,    echo,       answerDelay,  loseFirst,    loseFirstOf});
    parser.process(app);

    const auto fail = [](const QString &message) {
        std::fprintf(stderr, "w9can-unitsim: %s\n", qPrintable(message));
        return 2;
    };

    const IntOption ints[] = {
        {"type", "device type", &o.deviceType},
        {"firmware", "firmware number", &o.firmwareBuild},
        {"startup-delay", "start-up delay", &o.startupDelayMs},
        {"history", "history records", &o.historyRecords},
        {"history-erase-delay", "history erase delay", &o.historyEraseDelayMs},
        {"register-after", "registration tries", &o.registerAfter},
        {"dial-delay", "dial delay", &o.dialDelayMs},
        {"escape-guard", "escape guard", &o.escapeGuardMs},
        {"erase-delay", "erase delay", &o.eraseDelayMs},
        {"latency", "latency", &o.faults.latencyMs},
        {"bytes-per-second", "line speed", &o.faults.bytesPerSecond},
        {"chunk", "chunk size", &o.faults.chunkSize},
        {"silent-after", "silence count", &o.faults.silentAfterCommands},
        {"error-every", "block error interval", &o.faults.errorEveryNthBlock},
    };
    for (const IntOption &option : ints) {
        const QString name = QString::fromLatin1(option.name);
        if (!parseInt(parser.value(name), option.target) || *option.target < 0)
            return fail(QStringLiteral("bad %1: %2").arg(option.description, parser.value(name)));
    }
    if (o.deviceType != 504 && o.deviceType != 505)
        return fail("the device type is 504 or 505");
    if (parser.isSet(typepan) && (!parseInt(parser.value(typepan), &o.typepanByte) ||
                                  o.typepanByte < 0 || o.typepanByte > 255))
        return fail("bad +typepan byte: " + parser.value(typepan));
    bool ok = false;
    const uint flagWord = parser.value(flags).toUInt(&ok, 16);
    if (!ok || flagWord > 0xFFFF)
        return fail("bad flag word: " + parser.value(flags));
    o.flagWord = quint16(flagWord);

    o.linkPath = parser.value(link);
    o.logPath = parser.value(log);
    o.firmwareText = parser.value(version);
    o.memory = parser.value(memory);
    o.imei = parser.value(imei);
    o.startupOutput = parser.isSet(startup);
    o.presentedKey = parser.value(presentedKey);
    o.modem = parser.isSet(modem);
    o.roaming = parser.isSet(roaming);
    o.dialResult = parser.value(dialResult);
    o.startInBootLoader = parser.isSet(bootLoader);
    o.imageOutPath = parser.value(imageOut);
    if (parser.isSet(realSpeed))
        o.faults.bytesPerSecond = 1920;
    o.faults.neverAnswer = splitList(parser.value(neverAnswer));
    o.faults.garble = splitList(parser.value(garble));
    o.faults.echo = parser.isSet(echo);
    o.faults.loseFirstSends = parser.isSet(loseFirst);
    o.faults.loseFirstSendsOf = splitList(parser.value(loseFirstOf));
    for (const QString &item : splitList(parser.value(answerDelay))) {
        const qsizetype eq = item.lastIndexOf(QLatin1Char('='));
        int ms = 0;
        if (eq <= 0 || !parseInt(item.mid(eq + 1), &ms) || ms < 0)
            return fail("bad answer delay: " + item);
        o.faults.answerDelayMs.insert(item.left(eq), ms);
    }

    unitsim::UnitSimulator simulator;
    QString error;
    if (!simulator.start(o, &error))
        return fail(error);
    std::printf("w9can-unitsim: unit %s ready on %s (%s)\n", qPrintable(unitsim::versionText(o)),
                qPrintable(simulator.portPath()), qPrintable(simulator.slavePath()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    std::printf("w9can-unitsim: stopped\n");
    return 0;
}
