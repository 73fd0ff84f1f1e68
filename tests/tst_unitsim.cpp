#include "PtyPair.h"
#include "device/Commands.h"
#include "unitsim/UnitSimulator.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using unitsim::UnitSimOptions;
using unitsim::UnitSimulator;

namespace {

// The program's side of the line, opened the way the program opens a serial port, with
// nothing but POSIX calls.
class Line : public ByteReader
{
public:
    explicit Line(const QString &path)
        : ByteReader(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (fd >= 0)
            ::ioctl(fd, TIOCEXCL);
    }
    ~Line() { close(); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    bool isOpen() const { return fd >= 0; }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void send(const QByteArray &bytes) const
    {
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // One command and the reply up to its closing terminator.
    QByteArray exchange(const QByteArray &command, const QByteArray &terminator = "OK\r\n")
    {
        send(command + "\r");
        return ReadUntil(terminator);
    }
    // True when the unit refuses the command; the rest of the refusal is read away.
    bool refuses(const QByteArray &command)
    {
        const bool refused = exchange(command, "ERROR\r\n").startsWith("\r\nERROR");
        ReadFor(10);
        return refused;
    }
};

// The value between ">" and the line end, as the program takes it.
QByteArray valueOf(const QByteArray &reply)
{
    const int start = int(reply.indexOf('>'));
    if (start < 0)
        return {};
    return reply.mid(start + 1, reply.indexOf('\r', start) - start - 1);
}

QByteArray blockLine(int index, const QByteArray &data, int checkAdjust = 0)
{
    quint8 x = 0;
    for (const char c : data)
        x ^= quint8(c);
    x ^= quint8(checkAdjust);
    const QByteArray position = QByteArray::number(index * 8, 16).toUpper().rightJustified(4, '0');
    return position + ":" + data.toHex().toUpper() + ":" +
           QByteArray::number(x, 16).toUpper().rightJustified(2, '0');
}

QByteArray signatureOf(const QList<QByteArray> &blocks)
{
    quint8 a[4] = {0, 0, 0, 0};
    for (int i = 0; i < blocks.size(); ++i)
        a[i % 4] ^= quint8(blocks[i].right(2).toInt(nullptr, 16));
    QByteArray text;
    for (const quint8 b : a)
        text += QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    return text;
}

} // namespace

class TestUnitSim : public QObject
{
    Q_OBJECT

private slots:
    void identifiesAsTheConfiguredUnit_data();
    void identifiesAsTheConfiguredUnit();
    void keepsWrittenSettings();
    void logsExactCommandBytes();
    void survivesReconnectionAndPublishesLink();
    void printsStartupOutputWhenThePortOpens();
    void deliversHistoryRecordsOfEachVariant();
    void servesTheModemPath();
    void reportsModemFailures();
    void takesAFirmwareUploadAndRejectsBadBlocks();
    void showsFaultsOnRequest();
    void runsAsAProgram();
    void answersTheWholeVocabulary();
};

void TestUnitSim::identifiesAsTheConfiguredUnit_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("build");
    QTest::addColumn<QString>("memory");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<int>("typepan");
    QTest::newRow("505 AT45") << 505 << 17 << "AT45DB161D" << QByteArray("REV 07.505.017") << 0x3A;
    QTest::newRow("504 M45") << 504 << 41 << "M45PE16" << QByteArray("REV 07.504.041") << 0x02;
}

void TestUnitSim::identifiesAsTheConfiguredUnit()
{
    QFETCH(int, type);
    QFETCH(int, build);
    QFETCH(QString, memory);
    QFETCH(QByteArray, version);
    QFETCH(int, typepan);

    UnitSimulator sim;
    UnitSimOptions options;
    options.deviceType = type;
    options.firmwareBuild = build;
    options.memory = memory;
    options.imei = "351234567890123";
    QString error;
    QVERIFY2(sim.start(options, &error), qPrintable(error));
    Line line(sim.portPath());
    QVERIFY(line.isOpen());

    QCOMPARE(line.exchange("CABLE CONNECT"), QByteArray("\r\nOK\r\n"));
    const QByteArray v = line.exchange("+v");
    // What the program takes from it: the "REV" text, the type and the firmware number.
    QCOMPARE(QRegularExpression("REV.{11}", QRegularExpression::DotMatchesEverythingOption)
                 .match(QString::fromLatin1(v))
                 .captured(),
             QString::fromLatin1(version));
    QCOMPARE(QRegularExpression("\\d{3}\r\n").match(QString::fromLatin1(v)).captured().left(3),
             QString::number(build).rightJustified(3, '0'));
    QCOMPARE(QRegularExpression("\\d{3}.").match(QString::fromLatin1(v)).captured().left(3),
             QString::number(type));
    QVERIFY(v.endsWith("\r\nOK\r\n"));

    const QByteArray t = line.exchange("+typepan");
    QCOMPARE(valueOf(t).toInt(nullptr, 16), typepan);
    QCOMPARE(valueOf(line.exchange("+imei")), QByteArray("351234567890123"));
    QCOMPARE(line.exchange("CABLE DISCONNECT"), QByteArray("\r\nOK\r\n"));
}

// Each command and what comes back: the value of a read, or "ok" for an acknowledged write.
using Script = QList<QPair<QByteArray, QByteArray>>;
void run(Line &line, const Script &script)
{
    for (const auto &[command, expected] : script) {
        const QByteArray reply = line.exchange(command);
        if (expected == "ok")
            QCOMPARE(reply, QByteArray("\r\nOK\r\n"));
        else
            QVERIFY2(valueOf(reply) == expected, command + ": " + reply);
    }
}

void TestUnitSim::keepsWrittenSettings()
{
    UnitSimulator sim;
    QVERIFY(sim.start(UnitSimOptions()));
    Line line(sim.portPath());

    // Defaults a fresh unit reports, then writes of each kind (byte, word, text, switch, indexed)
    // read back unchanged; engineering numbers and keys by index.
    Script script = {{"+latit", "00E6"}, {"+object", "0917"}, {"+tunfix", "FF"}};
    const QByteArrayList written = {
        "+latit",   "0100",         "+timefix", "05",
        "+object",  "1234",         "+GAPN",    " ",
        "+gphone",  "+79001234567", "+IPadr",   "192.168.001.010",
        "+turn",    "FF",           "+gprsena", "00",
        "+flagren", "0A02",         "+alphon0", "+7900",
        "+carid",   "0456",         "+canuser", "000100090064006500000000",
        "+zacc",    "00F00F",       "+idtm",    "00",
        "+ing3",    "+79005556677"}; // command, value
    for (qsizetype i = 0; i < written.size(); i += 2)
        script << Script{{written[i] + written[i + 1], "ok"}, {written[i], written[i + 1]}};
    script << Script{
        {"+ing4", " "}, {"+keysafe20123456789ABCDEF", "ok"}, {"+keyread2", "0123456789ABCDEF"}};
    run(line, script);
    QCOMPARE(sim.setting("GAPN"), QByteArray(" "));
    QCOMPARE(sim.key(2), QByteArray("0123456789ABCDEF"));
    sim.setPresentedKey("0F0E0D0C0B0A0901");
    // The event flag word: chosen flags and then all of them cleared.
    sim.setFlagWord(0x300F);
    run(line, {{"+keysafe", "0F0E0D0C0B0A0901"},
               {"+MFLAG", "300F"},
               {"+mflag0003", "ok"},
               {"+MFLAG", "300C"},
               {"+mflag", "ok"}});
    QCOMPARE(sim.flagWord(), quint16(0));

    // Live CAN values: 56 hex digits and, on newer firmware, the decimal tail.
    const QByteArray live = valueOf(line.exchange("+cancur"));
    QVERIFY2(QRegularExpression("^[0-9A-F]{56}$").match(QString::fromLatin1(live)).hasMatch(),
             live.constData());

    // What the unit does not know is refused; a setting set from outside is read back.
    QVERIFY(line.refuses("+nosuchthing"));
    sim.setSetting("feedtime", "2D");
    run(line, {{"+feedtime", "2D"}});
}

void TestUnitSim::logsExactCommandBytes()
{
    QTemporaryDir dir;
    UnitSimulator sim;
    UnitSimOptions options;
    options.logPath = dir.filePath("unit.jsonl");
    QVERIFY(sim.start(options));
    Line line(sim.portPath());
    line.exchange("CABLE CONNECT");
    line.send("+++");
    QVERIFY(sim.waitForCommandCount(2, 2000));
    line.exchange("+v");

    const QList<unitsim::ReceivedCommand> commands = sim.commands();
    QCOMPARE(commands.size(), 3);
    QCOMPARE(commands[0].text, QByteArray("CABLE CONNECT"));
    QVERIFY(commands[0].cr);
    QCOMPARE(commands[1].text, QByteArray("+++"));
    QVERIFY(!commands[1].cr);
    QCOMPARE(commands[2].text, QByteArray("+v"));
    QVERIFY(commands[0].timeMs <= commands[2].timeMs);

    // Every command and reply is also a JSON line, in memory and in the file.
    int rx = 0;
    int tx = 0;
    for (const QJsonObject &entry : sim.log()) {
        rx += entry.value("dir").toString() == "rx";
        tx += entry.value("dir").toString() == "tx";
    }
    QCOMPARE(rx, 3);
    QCOMPARE(tx, 2); // "+++" on a cable unit has no answer
    QFile file(options.logPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() >= 5);
    QVERIFY(lines.join().contains(R"("cr":false)"));
    QVERIFY(sim.waitForCommand("+v", 0));
    QVERIFY(!sim.waitForCommand("+w", 0));
}

void TestUnitSim::survivesReconnectionAndPublishesLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("w9/ttyW9");
    UnitSimulator sim;
    UnitSimOptions options;
    options.linkPath = link;
    QVERIFY(sim.start(options));
    QCOMPARE(sim.portPath(), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath());

    for (int round = 1; round <= 3; ++round) {
        Line line(link);
        QVERIFY(line.isOpen());
        QVERIFY(sim.waitForOpen(2000));
        QCOMPARE(line.exchange("+latit0" + QByteArray::number(round) + "00"),
                 QByteArray("\r\nOK\r\n"));
        QCOMPARE(valueOf(line.exchange("+latit")), "0" + QByteArray::number(round) + "00");
        line.close();
        QVERIFY(sim.waitForClose(2000));
    }
    QCOMPARE(sim.openCount(), 3);
    // The unit's side is exclusive while the program has it.
    {
        Line first(link);
        QVERIFY(first.isOpen());
        if (::geteuid() != 0) {
            Line second(link);
            QVERIFY(!second.isOpen());
        }
    }
    sim.stop();
    QVERIFY(!QFileInfo::exists(link));
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestUnitSim::printsStartupOutputWhenThePortOpens()
{
    UnitSimulator sim;
    UnitSimOptions options;
    options.startupOutput = true;
    options.startupDelayMs = 20;
    QVERIFY(sim.start(options));
    for (int round = 0; round < 2; ++round) {
        Line line(sim.portPath());
        const QByteArray text = line.ReadUntil("del all\r\n");
        QVERIFY2(text.endsWith("del all\r\n"), text.constData());
        QVERIFY(text.contains("REV 07.505.017"));
        QVERIFY(!text.toLower().contains("error") && !text.contains("OK"));
        line.close();
        QVERIFY(sim.waitForClose(2000));
    }
}

void TestUnitSim::deliversHistoryRecordsOfEachVariant()
{
    struct Variant
    {
        int type;
        int build;
    };
    for (const Variant variant : {Variant{504, 41}, Variant{505, 17}, Variant{505, 7},
                                  Variant{505, 22}, Variant{505, 30}}) {
        UnitSimulator sim;
        UnitSimOptions options;
        options.deviceType = variant.type;
        options.firmwareBuild = variant.build;
        options.historyRecords = 30;
        QVERIFY(sim.start(options));
        Line line(sim.portPath());
        QCOMPARE(valueOf(line.exchange("+point")), QByteArray("001E"));

        const QByteArray record = valueOf(line.exchange("+read001D"));
        QCOMPARE(record.size(), 128);
        QVERIFY(
            QRegularExpression("^[0-9A-F]{128}$").match(QString::fromLatin1(record)).hasMatch());
        QCOMPARE(record, sim.historyRecord(29));
        // The fields follow the record format: the history decoding test reads them back.

        // Past the end the flash is erased; erasing empties the history.
        QCOMPARE(valueOf(line.exchange("+read001E")), QByteArray(128, 'F'));
        QCOMPARE(line.exchange("+erase"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(valueOf(line.exchange("+point")), QByteArray("0000"));
    }
}

void TestUnitSim::servesTheModemPath()
{
    UnitSimulator sim;
    UnitSimOptions options;
    options.modem = true;
    options.registerAfter = 2;
    QVERIFY(sim.start(options));
    Line line(sim.portPath());

    QCOMPARE(line.exchange("ATZ"), QByteArray("\r\nOK\r\n"));
    QCOMPARE(line.exchange("AT"), QByteArray("\r\nOK\r\n"));
    // Not registered at first, then registered at home.
    QVERIFY(!line.exchange("AT+CREG?").contains("0,1"));
    QVERIFY(!line.exchange("AT+CREG?").contains("0,1"));
    QVERIFY(line.exchange("AT+CREG?").contains("0,1"));
    QCOMPARE(line.exchange("AT+CBST=7,0,1"), QByteArray("\r\nOK\r\n"));
    // Unit commands do not reach the unit before the call is up.
    QVERIFY(line.refuses("+v"));
    QVERIFY(line.exchange("ATD+79161234567", "CONNECT").contains("CONNECT"));
    line.ReadFor(20);
    QVERIFY(sim.modemOnline());
    QCOMPARE(sim.lastDialled(), QByteArray("+79161234567"));
    QVERIFY(line.exchange("+v").contains("REV 07.505.017"));

    // "+++" without a carriage return brings the modem back; "ATH" hangs up.
    line.send("+++");
    QCOMPARE(line.ReadUntil("OK\r\n"), QByteArray("\r\nOK\r\n"));
    QVERIFY(!sim.modemOnline());
    QCOMPARE(line.exchange("ATH"), QByteArray("\r\nOK\r\n"));

    // Closing the port drops the call, and a dropped carrier says so.
    QVERIFY(line.exchange("ATD123", "CONNECT").contains("CONNECT"));
    line.close();
    QVERIFY(sim.waitForClose(2000));
    QVERIFY(!sim.modemOnline());
    Line again(sim.portPath());
    QVERIFY(sim.waitForOpen(2000));
    QVERIFY(again.exchange("ATD123", "CONNECT").contains("CONNECT"));
    again.ReadFor(20);
    sim.dropCarrier();
    QVERIFY(again.ReadUntil("NO CARRIER\r\n").contains("NO CARRIER"));

    // Roaming never reads as registered at home.
    sim.setRoaming(true);
    QVERIFY(!again.exchange("AT+CREG?").contains("0,1"));
}

void TestUnitSim::reportsModemFailures()
{
    for (const QString word : {"BUSY", "NO CARRIER", "NO DIALTONE", "NO ANSWER"}) {
        UnitSimulator sim;
        UnitSimOptions options;
        options.modem = true;
        options.dialResult = word;
        QVERIFY(sim.start(options));
        Line line(sim.portPath());
        QCOMPARE(line.exchange("ATZ"), QByteArray("\r\nOK\r\n"));
        const QByteArray reply = line.exchange("ATD+79161234567", word.toLatin1() + "\r\n");
        QCOMPARE(reply, "\r\n" + word.toLatin1() + "\r\n");
        QVERIFY(!sim.modemOnline());
    }
}

void TestUnitSim::takesAFirmwareUploadAndRejectsBadBlocks()
{
    QTemporaryDir dir;
    UnitSimulator sim;
    UnitSimOptions options;
    options.eraseDelayMs = 30;
    options.imageOutPath = dir.filePath("image.bin");
    QVERIFY(sim.start(options));
    Line line(sim.portPath());

    QCOMPARE(line.exchange("+BL", "BootLdr\r\n"), QByteArray("\r\nBootLdr\r\n"));
    QVERIFY(sim.inBootLoader());
    QCOMPARE(line.exchange("+v", "v1.0\r\n"), QByteArray("\r\nBootLdr v1.0\r\n"));
    line.ReadFor(20);
    QCOMPARE(line.exchange("+BE"), QByteArray("\r\nOK\r\n"));
    QVERIFY(sim.flashErased());

    QByteArray image;
    QList<QByteArray> blocks;
    for (int i = 0; i < 6; ++i) {
        QByteArray data(128, '\0');
        for (int k = 0; k < 128; ++k)
            data[k] = char((i * 131 + k * 7) & 0xFF);
        image += data;
        blocks << blockLine(i, data);
    }
    // A damaged check byte, a short block and a bad separator are refused.
    QVERIFY(line.refuses("+W" + blockLine(0, image.left(128), 1)));
    QVERIFY(line.refuses("+W" + blocks[0].left(200)));
    QByteArray badSeparator = blocks[0];
    badSeparator[4] = '-';
    QVERIFY(line.refuses("+W" + badSeparator));
    QCOMPARE(sim.blocksRefused(), 3);

    // Good blocks are acknowledged with their position.
    for (const QByteArray &block : blocks) {
        const QByteArray reply = line.exchange("+W" + block);
        QVERIFY2(reply.contains("OK") && reply.contains(block.left(4)), reply.constData());
    }
    QCOMPARE(sim.blocksAccepted(), 6);
    QCOMPARE(sim.receivedImage(), image);

    // A wrong signature is refused; the right one ends the upload and the unit restarts.
    QVERIFY(line.refuses("+EE00000000"));
    QVERIFY(sim.inBootLoader());
    QCOMPARE(line.exchange("+EE" + signatureOf(blocks)), QByteArray("\r\nOK\r\n"));
    QVERIFY(!sim.inBootLoader());
    QCOMPARE(sim.upgradesCompleted(), 1);
    QFile out(options.imageOutPath);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), image);
    QVERIFY(line.exchange("+v").contains("REV"));
}

void TestUnitSim::showsFaultsOnRequest()
{
    UnitSimulator sim;
    QVERIFY(sim.start(UnitSimOptions()));
    Line line(sim.portPath());

    // Replies in one-byte pieces arrive whole, in many reads.
    sim.setChunkSize(1);
    const int readsBefore = line.Reads();
    QCOMPARE(line.exchange("+latit"), QByteArray("\r\n>00E6\r\nOK\r\n"));
    QVERIFY(line.Reads() - readsBefore > 3);
    sim.setChunkSize(0);

    // Echo of the command before the answer.
    unitsim::UnitSimFaults faults;
    faults.echo = true;
    sim.setFaults(faults);
    QCOMPARE(line.exchange("+turn"), QByteArray("+turn\r\r\n>00\r\nOK\r\n"));

    // Silence after a number of commands, until the faults change again.
    faults = {};
    faults.silentAfterCommands = 1;
    sim.setFaults(faults);
    QVERIFY(line.exchange("+turn").contains("OK"));
    line.send("+turn\r");
    QCOMPARE(line.ReadFor(100), QByteArray());
    // A silent unit does not carry out what it did not hear.
    faults.silentAfterCommands = 0;
    faults.silent = true;
    sim.setFaults(faults);
    line.send("+timefix09\r");
    QCOMPARE(line.ReadFor(50), QByteArray());
    QCOMPARE(sim.setting("timefix"), QByteArray("01"));
    sim.setFaults({});

    // A command that is never answered, and a garbled answer that no parser takes.
    faults = {};
    faults.neverAnswer = {"+point"};
    faults.garble = {"+latit", "CABLE"};
    sim.setFaults(faults);
    faults.neverAnswer << "+timefix";
    sim.setFaults(faults);
    line.send("+point\r");
    QCOMPARE(line.ReadFor(100), QByteArray());
    // An unanswered write is still carried out.
    line.send("+timefix0A\r");
    QCOMPARE(line.ReadFor(50), QByteArray());
    QCOMPARE(sim.setting("timefix"), QByteArray("0A"));
    const QByteArray garbled = line.exchange("+latit");
    QVERIFY(garbled.endsWith("OK\r\n"));
    QVERIFY(!QRegularExpression(">[0-9a-fA-F]{2}").match(QString::fromLatin1(garbled)).hasMatch());
    line.send("CABLE CONNECT\r");
    QVERIFY(!line.ReadFor(100).contains("OK"));
    QVERIFY(sim.waitForCommand("+point", 0));

    // Latency and the real line speed delay the answer without changing it.
    faults = {};
    faults.latencyMs = 60;
    faults.bytesPerSecond = 1920;
    sim.setFaults(faults);
    line.send("+object\r");
    QCOMPARE(line.ReadFor(30), QByteArray());
    QCOMPARE(line.ReadUntil("OK\r\n"), QByteArray("\r\n>0917\r\nOK\r\n"));
}

void TestUnitSim::runsAsAProgram()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyW9");
    const QString log = dir.filePath("unit.jsonl");
    QProcess unit;
    unit.start(W9_UNITSIM_PATH, {"--link", link, "--type", "504", "--firmware", "35", "--log", log,
                                 "--garble", "+latit"});
    QVERIFY(unit.waitForStarted());
    QVERIFY(unit.waitForReadyRead(5000));
    QVERIFY(unit.readAllStandardOutput().contains(link.toLocal8Bit()));
    {
        Line line(link);
        QVERIFY(line.isOpen());
        QVERIFY(line.exchange("+v").contains("REV 07.504.035\r\n"));
        QVERIFY(valueOf(line.exchange("+latit")).startsWith("##"));
    }
    unit.terminate(); // SIGTERM
    QVERIFY(unit.waitForFinished(5000));
    QCOMPARE(unit.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(R"("text":"+v")"));

    // Bad options are refused with a message.
    QProcess bad;
    bad.start(W9_UNITSIM_PATH, {"--type", "506"});
    QVERIFY(bad.waitForFinished(5000));
    QVERIFY(bad.exitCode() != 0);
    QVERIFY(bad.readAllStandardError().contains("504 or 505"));
}

// Every unit command the program knows gets the reply that ends its exchange, never a refusal.
void TestUnitSim::answersTheWholeVocabulary()
{
    UnitSimulator sim;
    QVERIFY(sim.start(UnitSimOptions()));
    Line line(sim.portPath());
    int sent = 0;
    for (int code = 1; code <= 4096; ++code) {
        QString text = GetCommandText(code);
        if (text.isEmpty() || (code >= 1024 && code <= 1031))
            continue; // the modem's commands are tested with the modem
        const QString value = text.startsWith("+keysafe") ? "0000000000000000"
                              : text.startsWith("+mflag") ? "0000"
                              : text.startsWith("+read")  ? "0001"
                                                          : "01";
        text.replace("%d", "1").replace("%s", value);
        const QByteArray expected = GetCommandReply(code).toLatin1();
        const QByteArray reply = line.exchange(text.toLatin1(), expected + "\r\n");
        QVERIFY2(reply.endsWith(expected + "\r\n") && !reply.toLower().contains("error"),
                 qPrintable(QString("%1 %2: %3").arg(code).arg(text, QString::fromLatin1(reply))));
        ++sent;
    }
    QVERIFY(sent > 140);
}

QTEST_GUILESS_MAIN(TestUnitSim)
#include "tst_unitsim.moc"
