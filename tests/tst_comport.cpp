#include "PtyPair.h"
#include "device/ComPort.h"
#include "settings/funcs.h"

#include <QtTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>

namespace {

// Stands in for the device object: takes the receive thread's notices on the test's thread.
class Receiver : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() == WM_RECEIVEDATA) {
            if (port)
                text += port->ReadData();
            return true;
        }
        if (e->type() == WM_PORTLOST) {
            ++lostEvents;
            if (port)
                port->HandlePortLost(static_cast<TPortLostEvent *>(e)->ErrorNumber);
            return true;
        }
        return QObject::event(e);
    }

    TnComPort *port = nullptr;
    int lostEvents = 0;
    QString text;
};

// The open codes in the order they came: +n progress, -n error.
struct CodeLog
{
    void Attach(TnComPort &port)
    {
        port.OnPortEvent = [this](TnComPort *, int code) { codes << code; };
        port.OnComCreateError = [this](TnComPort *, int code) { codes << -code; };
    }
    QList<int> codes;
};

TNewInDcb UnitSettings(const QString &name, int baud = 19200, int parity = 0)
{
    return MakeNewInDcb(name, baud, parity, 8, 0);
}

// A port on the pseudo-terminal with the control-line pulse shortened; its open codes go to `log`
// when given.
std::unique_ptr<TnComPort> OpenFast(const PtyPair &pty, Receiver &receiver, CodeLog *log = nullptr)
{
    auto port = std::make_unique<TnComPort>(UnitSettings(pty.SlavePath()));
    port->RtsSettleMs = 0;
    port->LinesLowMs = 0;
    port->NotifyWnd = &receiver;
    receiver.port = port.get();
    if (log)
        log->Attach(*port);
    port->Open();
    return port;
}

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT
private slots:
    // The open steps and the raw line; sends that stall fail, and every byte is received, also
    // after a reopening.
    void openSetsTheLineAndEveryByteIsReceivedAcrossAReopening()
    {
        PtyPair pty;
        Receiver receiver;
        CodeLog log;
        auto port = OpenFast(pty, receiver, &log);
        // opened, settings, queues, purged, thread, RTS cleared, RTS raised
        QCOMPARE(log.codes, (QList<int>{1, 4, 2, 8, 32, 16, 64}));
        QVERIFY(port->Active() && port->Listening() && port->ThreadStarted());

        termios tio{};
        QCOMPARE(tcgetattr(port->Handle(), &tio), 0);
        QVERIFY(cfgetospeed(&tio) == B19200 && cfgetispeed(&tio) == B19200);
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD), tcflag_t(CS8 | CREAD));
        QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));

        // Opening again changes nothing and reports nothing.
        const int handle = port->Handle();
        QVERIFY(port->Open());
        QCOMPARE(port->Handle(), handle);
        QCOMPARE(log.codes.size(), 7);

        QStringList announced;
        QList<TnComPort *> announcers;
        port->OnBeforeWrite = [&](TnComPort *sender, const QString &cmd) {
            announcers << sender;
            announced << cmd;
        };

        // Line endings and cp1251 as such are the device test's; here a NUL inside the text.
        QVERIFY(port->Send(QString(QStringLiteral("A") + QChar(0) + QStringLiteral("B"))));
        QCOMPARE(pty.Read(4), QByteArray("A\0B\r", 4));
        QCOMPARE(announced.size(), 1);
        QCOMPARE(announcers, QList<TnComPort *>{port.get()});
        QVERIFY(pty.ReadFor(50).isEmpty());

        // Nobody reads the master side: the terminal's buffer fills up and the write gives up.
        port->WriteStallTimeoutMs = 100;
        uint32_t writeError = 0;
        port->OnWriteError = [&](TnComPort *, uint32_t code, const QString &) {
            writeError = code;
        };
        QVERIFY(!port->Send(QString(256 * 1024, QLatin1Char('x'))));
        QCOMPARE(writeError, uint32_t(ETIMEDOUT));

        // Every byte is received.
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QVERIFY(pty.Write(all));
        QTRY_COMPARE(receiver.text, DecodeCp1251(all));

        // The text is taken once: a later notice may find nothing left.
        QCOMPARE(port->ReadData(), QString());

        // Close ends the thread; the port can be opened again with a fresh one.
        port->Close();
        QVERIFY(!port->Active() && !port->ThreadStarted());
        QCOMPARE(port->ReadData(), QStringLiteral("err"));
        QVERIFY(port->Open());
        QVERIFY(pty.Write("again"));
        QTRY_COMPARE(receiver.text, DecodeCp1251(all) + QStringLiteral("again"));
    }

    void openFailuresReportOneErrorAndLeaveThePortClosed()
    {
        PtyPair pty;
        Receiver receiver;
        std::unique_ptr<TnComPort> holder; // keeps the port busy for the row that needs it
        const auto busy = [&] {
            holder = OpenFast(pty, receiver);
            return holder->Active();
        };
        const auto noAccess = [&] {
            return chmod(QFile::encodeName(pty.SlavePath()).constData(), 0) == 0;
        };
        const QString slave = pty.SlavePath();
        const struct
        {
            TNewInDcb dcb;
            QList<int> codes;
            int error;
            std::function<bool()> before; // false when the case could not be set up
        } cases[] = {
            {UnitSettings(QStringLiteral("w9can-no-such-port")), {-1}, ENOENT, {}},
            // A path that is no terminal opens but has no line settings.
            {UnitSettings(QStringLiteral("/dev/null")), {1, -4}, 0, {}},
            {UnitSettings(slave, 12345), {1, -8}, EINVAL, {}},
            {UnitSettings(slave, 19200, 7), {1, -8}, EINVAL, {}},
            // One user of a port at a time, and a port the user may not use (the administrator
            // is held back by neither).
            {UnitSettings(slave), {-1}, EBUSY, busy},
            {UnitSettings(slave), {-1}, EACCES, noAccess},
        };
        for (const auto &c : cases) {
            if (c.before) {
                if (geteuid() == 0)
                    continue;
                QVERIFY(c.before());
            }
            TnComPort port(c.dcb);
            CodeLog log;
            log.Attach(port);
            uint32_t writeError = 0;
            port.OnWriteError = [&](TnComPort *, uint32_t code, const QString &) {
                writeError = code;
            };
            QVERIFY(!port.Open());
            QCOMPARE(log.codes, c.codes);
            QVERIFY(!port.Active() && !port.ThreadStarted());
            QCOMPARE(port.Handle(), -1);
            if (c.error)
                QCOMPARE(port.LastErrno(), c.error);
            QVERIFY(!port.LastErrorText().isEmpty());
            QCOMPARE(port.ReadData(), QStringLiteral("err"));
            QVERIFY(!port.Send(QStringLiteral("+v")));
            QCOMPARE(writeError, uint32_t(EBADF));
            holder.reset();
        }
    }

    void peerHangUpIsReportedOnceAndWritesFail()
    {
        PtyPair pty;
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        CodeLog log;
        log.Attach(*port);
        QList<uint32_t> writeErrors;
        QStringList failedWrites;
        port->OnWriteError = [&](TnComPort *, uint32_t code, const QString &cmd) {
            writeErrors << code;
            failedWrites << cmd;
        };

        QVERIFY(pty.Write("last words"));
        QTRY_COMPARE(receiver.text, QStringLiteral("last words"));
        pty.CloseMaster();
        QTRY_COMPARE(receiver.lostEvents, 1);
        QCOMPARE(log.codes, QList<int>{-ComErrorPortLost});
        QVERIFY(port->Lost() && !port->Listening() && port->LastErrno() != 0);
        QVERIFY(port->Active()); // still the owner's to close

        // Nothing more is written to a lost port, and no write error follows the loss.
        QVERIFY(!port->Send(QStringLiteral("+v")));
        QVERIFY2(writeErrors.isEmpty(), qPrintable(failedWrites.join(QLatin1Char(' '))));
        QTest::qWait(50);
        QCOMPARE(receiver.lostEvents, 1);
        port.reset(); // ends promptly although the line is dead
    }

    void destroyingThePortEndsTheThreadWhileDataArrives()
    {
        PtyPair pty;
        const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
        const auto descriptorsBefore = openDescriptors();
        for (int round = 0; round < 20; ++round) {
            Receiver receiver;
            auto port = OpenFast(pty, receiver);
            QVERIFY(port->Active());
            QVERIFY(pty.Write(QByteArray(3000, 'z')));
            if (round % 2)
                QCoreApplication::processEvents();
            port.reset();
            receiver.port = nullptr;
            QCoreApplication::processEvents(); // notices already queued find no port
            pty.ReadFor(0);
        }
        QCOMPARE(openDescriptors(), descriptorsBefore); // port and wake-up descriptors closed
    }
};

QTEST_GUILESS_MAIN(TestComPort)
#include "tst_comport.moc"
