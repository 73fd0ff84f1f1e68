#include "PtyPair.h"
#include "device/ComPort.h"
#include "settings/funcs.h"

#include <QElapsedTimer>
#include <QtTest>

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
            ++dataEvents;
            if (port && autoRead)
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
    bool autoRead = true;
    int dataEvents = 0;
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

TNewInDcb UnitSettings(const QString &name)
{
    return MakeNewInDcb(name, 19200, 0, 8, 0);
}

// A port on the pair's slave side with the control-line pulse shortened.
std::unique_ptr<TnComPort> OpenFast(const PtyPair &pty, Receiver &receiver)
{
    auto port = std::make_unique<TnComPort>(UnitSettings(pty.SlavePath()));
    port->RtsSettleMs = 0;
    port->LinesLowMs = 0;
    port->NotifyWnd = &receiver;
    receiver.port = port.get();
    port->Open();
    return port;
}

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT
private slots:
    void openRunsTheStepsInOrderAndSetsTheLine()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        TnComPort port(UnitSettings(pty.SlavePath()));
        port.NotifyWnd = &receiver;
        CodeLog log;
        log.Attach(port);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(port.Open());
        const qint64 openMs = clock.elapsed();

        // opened, settings, queues, purged, thread, RTS cleared, RTS raised
        QCOMPARE(log.codes, (QList<int>{1, 4, 2, 8, 32, 16, 64}));
        QVERIFY(port.Active());
        QVERIFY(port.Listening());
        QVERIFY(port.ThreadStarted());
        QVERIFY(port.Handle() >= 0);
        QVERIFY(openMs >= 700); // both lines low 600 ms, then RTS high and settled

        termios tio{};
        QCOMPARE(tcgetattr(port.Handle(), &tio), 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        QCOMPARE(cfgetispeed(&tio), speed_t(B19200));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        QVERIFY(tio.c_cflag & CREAD);
        QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));

        // Opening again changes nothing and reports nothing.
        const int handle = port.Handle();
        QVERIFY(port.Open());
        QCOMPARE(port.Handle(), handle);
        QCOMPARE(log.codes.size(), 7);
    }

    void openFailuresReportOneErrorAndLeaveThePortClosed()
    {
        {
            TnComPort port(UnitSettings(QStringLiteral("w9can-no-such-port")));
            CodeLog log;
            log.Attach(port);
            QVERIFY(!port.Open());
            QCOMPARE(log.codes, QList<int>{-1});
            QVERIFY(!port.Active());
            QCOMPARE(port.LastErrno(), ENOENT);
            QVERIFY(!port.LastErrorText().isEmpty());
            QCOMPARE(port.ReadData(), QStringLiteral("err"));
            uint32_t writeError = 0;
            port.OnWriteError = [&](TnComPort *, uint32_t code, const QString &) {
                writeError = code;
            };
            QVERIFY(!port.Send(QStringLiteral("+v")));
            QCOMPARE(writeError, uint32_t(EBADF));
        }
        {
            // A path that is no terminal opens but has no line settings.
            TnComPort port(UnitSettings(QStringLiteral("/dev/null")));
            CodeLog log;
            log.Attach(port);
            QVERIFY(!port.Open());
            QCOMPARE(log.codes, (QList<int>{1, -4}));
            QVERIFY(!port.Active());
            QCOMPARE(port.Handle(), -1);
            QCOMPARE(port.ReadData(), QStringLiteral("err"));
        }
        PtyPair pty;
        QVERIFY(pty.Ok());
        for (const TNewInDcb &bad : {MakeNewInDcb(pty.SlavePath(), 12345, 0, 8, 0),
                                     MakeNewInDcb(pty.SlavePath(), 19200, 0, 9, 0),
                                     MakeNewInDcb(pty.SlavePath(), 19200, 7, 8, 0)}) {
            TnComPort port(bad);
            CodeLog log;
            log.Attach(port);
            QVERIFY(!port.Open());
            QCOMPARE(log.codes, (QList<int>{1, -8}));
            QVERIFY(!port.Active());
            QVERIFY(!port.ThreadStarted());
            QCOMPARE(port.LastErrno(), EINVAL);
        }
        if (geteuid() != 0) {
            // One user of a port at a time (the administrator is not held back by the system).
            Receiver receiver;
            auto first = OpenFast(pty, receiver);
            QVERIFY(first->Active());
            TnComPort second(UnitSettings(pty.SlavePath()));
            CodeLog secondLog;
            secondLog.Attach(second);
            QVERIFY(!second.Open());
            QCOMPARE(secondLog.codes, QList<int>{-1});
            QCOMPARE(second.LastErrno(), EBUSY);
            first.reset();
        }
        if (geteuid() != 0) {
            // A port the user may not use: the system's reason stays available for the log.
            const QByteArray path = QFile::encodeName(pty.SlavePath());
            QCOMPARE(chmod(path.constData(), 0), 0);
            TnComPort port(UnitSettings(pty.SlavePath()));
            CodeLog log;
            log.Attach(port);
            QVERIFY(!port.Open());
            QCOMPARE(log.codes, QList<int>{-1});
            QCOMPARE(port.LastErrno(), EACCES);
        }
    }

    void sendEndsCommandsWithCarriageReturn()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        QVERIFY(port->Active());
        QStringList announced;
        port->OnBeforeWrite = [&](TnComPort *sender, const QString &cmd) {
            QCOMPARE(sender, port.get());
            announced << cmd;
        };

        const struct
        {
            QString cmd;
            QByteArray line;
        } cases[] = {
            {QStringLiteral("+++"), "+++"},
            {QStringLiteral("+++ATH"), "+++ATH\r"},
            {QString(), "\r"},
            {QStringLiteral("CABLE CONNECT"), "CABLE CONNECT\r"},
            {QStringLiteral("+NAME=Трекер"), "+NAME=\xD2\xF0\xE5\xEA\xE5\xF0\r"},
            {QString(QStringLiteral("A") + QChar(0) + QStringLiteral("B")),
             QByteArray("A\0B\r", 4)},
        };
        for (const auto &c : cases) {
            QVERIFY(port->Send(c.cmd));
            QCOMPARE(pty.Read(c.line.size()), c.line);
        }
        QCOMPARE(announced.size(), std::size(cases));
        QCOMPARE(announced.first(), QStringLiteral("+++"));
        QCOMPARE(announced.at(2), QString());
        QVERIFY(pty.ReadFor(50).isEmpty());
    }

    void receivesEveryByteInChunks()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        QVERIFY(port->Active());

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        // The unit's text in cp1251, in three pieces with pauses between them.
        const QByteArray cp = EncodeCp1251(QStringLiteral("Версия 5.05\r\n")) + all;
        QVERIFY(pty.Write(cp.left(5)));
        QTRY_VERIFY(receiver.text.size() >= 5);
        QVERIFY(pty.Write(cp.mid(5, 100)));
        QTRY_VERIFY(receiver.text.size() >= 105);
        QVERIFY(pty.Write(cp.mid(105)));
        QTRY_COMPARE(receiver.text.size(), cp.size());
        QCOMPARE(receiver.text, DecodeCp1251(cp));
        QVERIFY(receiver.text.startsWith(QStringLiteral("Версия 5.05\r\n")));
        QCOMPARE(receiver.text.at(13), QChar(0));
        QVERIFY(receiver.dataEvents >= 3);

        // The text is taken once: a later notice may find nothing left.
        QCOMPARE(port->ReadData(), QString());
    }

    void pauseLeavesBytesWithTheDriverUntilResumed()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        QVERIFY(port->Listening());

        port->SetListen(false);
        QVERIFY(!port->Listening());
        QVERIFY(pty.Write("held back"));
        QTest::qWait(100);
        QCOMPARE(receiver.dataEvents, 0);
        QCOMPARE(port->ReadData(), QString());

        port->SetListen(true);
        QVERIFY(port->Listening());
        QTRY_COMPARE(receiver.text, QStringLiteral("held back"));

        // Close ends the thread; the port can be opened again with a fresh one.
        port->Close();
        QVERIFY(!port->Active());
        QVERIFY(!port->ThreadStarted());
        QCOMPARE(port->ReadData(), QStringLiteral("err"));
        QVERIFY(port->Open());
        QVERIFY(pty.Write("again"));
        QTRY_COMPARE(receiver.text, QStringLiteral("held backagain"));
    }

    void peerHangUpIsReportedOnceAndWritesFail()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        CodeLog log;
        log.Attach(*port);
        QList<uint32_t> writeErrors;
        port->OnWriteError = [&](TnComPort *, uint32_t code, const QString &cmd) {
            writeErrors << code;
            QCOMPARE(cmd, QStringLiteral("+v\r"));
        };

        QVERIFY(pty.Write("last words"));
        QTRY_COMPARE(receiver.text, QStringLiteral("last words"));
        pty.CloseMaster();
        QTRY_COMPARE(receiver.lostEvents, 1);
        QCOMPARE(log.codes, QList<int>{-ComErrorPortLost});
        QVERIFY(port->Lost());
        QVERIFY(port->Active()); // still the owner's to close
        QVERIFY(!port->Listening());
        QVERIFY(port->LastErrno() != 0);

        QVERIFY(!port->Send(QStringLiteral("+v")));
        QCOMPARE(writeErrors.size(), 1);
        QVERIFY(writeErrors.first() != 0);
        QTest::qWait(50);
        QCOMPARE(receiver.lostEvents, 1);
        port.reset(); // ends promptly although the line is dead
    }

    void stalledLineFailsTheWriteInsteadOfHanging()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
        Receiver receiver;
        auto port = OpenFast(pty, receiver);
        port->WriteStallTimeoutMs = 100;
        uint32_t writeError = 0;
        port->OnWriteError = [&](TnComPort *, uint32_t code, const QString &) {
            writeError = code;
        };
        // Nobody reads the master side: the terminal's buffer fills up.
        const QString huge(256 * 1024, QLatin1Char('x'));
        QVERIFY(!port->Send(huge));
        QCOMPARE(writeError, uint32_t(ETIMEDOUT));
    }

    void destroyingThePortEndsTheThreadWhileDataArrives()
    {
        PtyPair pty;
        QVERIFY(pty.Ok());
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
