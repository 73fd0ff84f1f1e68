// The simulated unit's own behaviour that the program's tests rely on without reaching it: exact
// command bytes, what the boot loader refuses, faults and the unit's state, the whole vocabulary.

#include "PtyPair.h"
#include "device/Commands.h"
#include "unitsim/UnitSimulator.h"

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
    ~Line() { ::close(fd); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

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

QByteArray hexByte(quint8 b)
{
    return QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
}

} // namespace

class TestUnitSim : public QObject
{
    Q_OBJECT

private slots:
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
        QByteArray signature;
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
            signature += hexByte(check);
        }
        QCOMPARE(sim.blocksRefused(), 1);
        QVERIFY(line.refuses("+EE00000000"));
        QVERIFY(sim.inBootLoader());
        QCOMPARE(line.exchange("+EE" + signature), QByteArray("\r\nOK\r\n"));
        QCOMPARE(sim.upgradesCompleted(), 1);
    }

    // The exact command bytes are recorded; a silent unit does not carry out what it did not hear;
    // an unanswered write is done.
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
