// The simulated unit's own behaviour that the program's tests do not reach through it: exact
// command bytes, the published link, what the boot loader refuses, faults and the
// unit's state, running as a program and the whole vocabulary.

#include "PtyPair.h"
#include "device/Commands.h"
#include "unitsim/UnitSimulator.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
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
    {}
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

QByteArray hexByte(quint8 b)
{
    return QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
}

} // namespace

class TestUnitSim : public QObject
{
    Q_OBJECT

private slots:
    // The link is published while the unit runs and gone after; the unit keeps its settings
    // across the program's reopenings and prints its start-up text again at each one.
    void publishesTheLinkAndSurvivesReopening()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("w9/ttyW9");
        UnitSimulator sim;
        UnitSimOptions options;
        options.linkPath = link;
        options.startupOutput = true;
        options.startupDelayMs = 20;
        QVERIFY(sim.start(options));
        QCOMPARE(sim.portPath(), link);
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath());

        QByteArray latitude = "00E6";
        for (const QByteArray next : {"0100", "0200", "0300"}) {
            Line line(link);
            QVERIFY(line.isOpen());
            const QByteArray startup = line.ReadUntil("del all\r\n");
            QVERIFY2(startup.endsWith("del all\r\n") && !startup.contains("OK"), startup);
            QCOMPARE(valueOf(line.exchange("+latit")), latitude);
            QCOMPARE(line.exchange("+latit" + next), QByteArray("\r\nOK\r\n"));
            latitude = next;
            line.close();
            QVERIFY(sim.waitForClose(2000));
        }
        QCOMPARE(sim.openCount(), 3);
        sim.stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // What makes the firmware tests meaningful: a block with a wrong check byte and a wrong
    // signature are refused, the right ones end the upload.
    void bootLoaderRefusesDamagedBlocksAndSignatures()
    {
        UnitSimulator sim;
        QVERIFY(sim.start(UnitSimOptions()));
        Line line(sim.portPath());
        QCOMPARE(line.exchange("+BL", "BootLdr\r\n"), QByteArray("\r\nBootLdr\r\n"));
        QCOMPARE(line.exchange("+BE"), QByteArray("\r\nOK\r\n"));

        // Four blocks: the signature is the check bytes folded over four places.
        QByteArray image, signature;
        for (int i = 0; i < 4; ++i) {
            QByteArray data(128, '\0');
            quint8 check = 0;
            for (int k = 0; k < data.size(); ++k)
                check ^= quint8(data[k] = char(i * 131 + k * 7));
            const QByteArray block =
                "+W" + hexByte(0) + hexByte(i * 8) + ":" + data.toHex().toUpper() + ":";
            if (i == 0)
                QVERIFY(line.refuses(block + hexByte(check ^ 1)));
            QVERIFY(line.exchange(block + hexByte(check)).contains("OK"));
            image += data;
            signature += hexByte(check);
        }
        QCOMPARE(sim.blocksRefused(), 1);
        QVERIFY(line.refuses("+EE00000000"));
        QVERIFY(sim.inBootLoader());
        QCOMPARE(line.exchange("+EE" + signature), QByteArray("\r\nOK\r\n"));
        QCOMPARE(sim.upgradesCompleted(), 1);
        QCOMPARE(sim.receivedImage(), image);
    }

    // The exact command bytes are recorded; a silent unit does not carry out what it did not hear;
    // an unanswered write is done; the real line speed (the benches') changes nothing in the
    // answer.
    void commandBytesAndFaultsKeepTheUnitsState()
    {
        UnitSimulator sim;
        QVERIFY(sim.start(UnitSimOptions()));
        Line line(sim.portPath());
        line.exchange("CABLE CONNECT");
        line.send("+++");
        QVERIFY(sim.waitForCommandCount(2, 2000));
        const QList<unitsim::ReceivedCommand> commands = sim.commands();
        QVERIFY(commands[0].text == "CABLE CONNECT" && commands[0].cr);
        QVERIFY(commands[1].text == "+++" && !commands[1].cr);

        unitsim::UnitSimFaults faults;
        faults.silent = true;
        sim.setFaults(faults);
        line.send("+timefix09\r");
        QCOMPARE(line.ReadFor(50), QByteArray());
        QCOMPARE(sim.setting("timefix"), QByteArray("01"));
        faults = {};
        faults.neverAnswer = {"+timefix"};
        sim.setFaults(faults);
        line.send("+timefix0A\r");
        QCOMPARE(line.ReadFor(50), QByteArray());
        QCOMPARE(sim.setting("timefix"), QByteArray("0A"));

        faults = {};
        faults.bytesPerSecond = 1920;
        sim.setFaults(faults);
        line.send("+object\r");
        QCOMPARE(line.ReadUntil("OK\r\n"), QByteArray("\r\n>0917\r\nOK\r\n"));
    }

    void runsAsAProgram()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyW9");
        const QString log = dir.filePath("unit.jsonl");
        QProcess unit;
        unit.start(W9_UNITSIM_PATH, {"--link", link, "--type", "504", "--firmware", "35", "--log",
                                     log, "--garble", "+latit"});
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

    // Every unit command the program knows gets the reply that ends its exchange, never a
    // refusal; what the unit does not know is refused.
    void answersTheWholeVocabulary()
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
            QVERIFY2(
                reply.endsWith(expected + "\r\n") && !reply.toLower().contains("error"),
                qPrintable(QString("%1 %2: %3").arg(code).arg(text, QString::fromLatin1(reply))));
            ++sent;
        }
        QVERIFY(sent > 140);
        QVERIFY(line.refuses("+nosuchthing"));
    }
};

QTEST_GUILESS_MAIN(TestUnitSim)
#include "tst_unitsim.moc"
