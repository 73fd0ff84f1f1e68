#include "PtyPair.h"
#include "device/Device.h"
#include "device/Tick.h"
#include "settings/funcs.h"

#include <QPointer>
#include <QThread>
#include <QtTest>

namespace {

constexpr uint32_t NearWrap = 0xFFFFFFFFu - 5000; // 10 s after this lies past the wrap

std::unique_ptr<TDevice> OpenDevice(const PtyPair &pty)
{
    auto device = std::make_unique<TDevice>(nullptr, MakeNewInDcb(pty.SlavePath(), 19200, 0, 8, 0));
    device->comportobject()->RtsSettleMs = 0;
    device->comportobject()->LinesLowMs = 0;
    device->SetComActive(true);
    return device;
}

// Moves the tick so that it reads about `base` now.
void SetTick(uint32_t base)
{
    SetTickOffsetForTesting(0);
    SetTickOffsetForTesting(base - GetTickCount());
}

// Runs `body` while the tick reads exactly `target`; false when a millisecond boundary slipped in
// (then the body saw target + 1 somewhere and the caller tries again).
template <typename Body> bool AtTick(uint32_t target, Body body)
{
    SetTickOffsetForTesting(0);
    const uint32_t start = GetTickCount();
    uint32_t raw = start;
    while (raw == start) // begin right after a boundary: a whole millisecond for the body
        raw = GetTickCount();
    SetTickOffsetForTesting(target - raw);
    body();
    return GetTickCount() == target;
}

// How often a caller tries: on a busy machine the body may lose its millisecond now and then.
constexpr int Attempts = 100;

// Collects what the device raises; every event must come from the device itself (what does not
// is listed in `Wrong`).
struct Events
{
    explicit Events(TDevice &device) : device(&device)
    {
        device.OnData = [this](QObject *sender, const QString &data) {
            Check(sender);
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                Wrong << QStringLiteral("data off the UI thread");
            text += data;
            ++dataCalls;
        };
        device.OnBeforeWrite = [this](QObject *sender, const QString &cmd) {
            Check(sender);
            written << cmd;
        };
        device.OnWriteError = [this](QObject *sender, uint32_t code, const QString &) {
            Check(sender);
            writeErrors << code;
        };
        device.OnErrorWaitInterval = [this](QObject *sender) {
            Check(sender);
            ++alarms;
        };
    }
    void Check(QObject *sender)
    {
        if (sender != device)
            Wrong << QStringLiteral("an event from another sender");
    }

    TDevice *device;
    QStringList Wrong;
    QString text;
    int dataCalls = 0;
    QStringList written;
    QList<uint32_t> writeErrors;
    int alarms = 0;
};

// Brings the link to a known moment: something received and something sent at `base`.
bool ReceiveAndSendAt(PtyPair &pty, TDevice &device, Events &events, uint32_t base)
{
    SetTick(base);
    pty.ReadFor(5); // what an earlier try sent
    const int before = events.dataCalls;
    if (!pty.Write("OK\r\n"))
        return false;
    if (!QTest::qWaitFor([&] { return events.dataCalls > before; }))
        return false;
    device.SendCommand(QStringLiteral("+v"));
    // An earlier try's wake-up may come through only now, ahead of it.
    return pty.ReadUntil("+v\r").endsWith("+v\r");
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { SetTickOffsetForTesting(0); }

    void sendsLinesAndReceivedTextReachesOnDataOnTheUiThread()
    {
        PtyPair pty;
        auto device = OpenDevice(pty);
        Events events(*device);
        SetTick(NearWrap);
        const uint32_t before = GetTickCount();
        device->SendCommand(QStringLiteral("CABLE CONNECT"));
        device->SendCommand(QStringLiteral("+++"));
        const uint32_t after = GetTickCount();
        QCOMPARE(pty.Read(17), QByteArray("CABLE CONNECT\r+++"));
        QCOMPARE(events.written, (QStringList{"CABLE CONNECT", "+++"}));
        QVERIFY(uint32_t(device->LastSendTick() - before) <= uint32_t(after - before));
        QVERIFY(events.writeErrors.isEmpty());
        // A character without a cp1251 code goes out as "?", one byte per character.
        device->SendCommand(QStringLiteral("+name Ж\u2713\U0001F600"));
        QCOMPARE(pty.Read(10), QByteArray("+name \xC6??\r"));

        QCOMPARE(device->LastReceiveTick(), 0u);

        const QByteArray reply = QByteArray("IMEI\0", 5) + EncodeCp1251(QStringLiteral("Ошибка")) +
                                 QByteArray("\r\nOK\r\n");
        for (qsizetype at = 0; at < reply.size(); at += 4) { // piece by piece
            QVERIFY(pty.Write(reply.mid(at, 4)));
            QTRY_COMPARE(events.text.size(), std::min(at + 4, reply.size()));
        }
        QTRY_COMPARE(events.text, QString(QStringLiteral("IMEI") + QChar(0) +
                                          QStringLiteral("Ошибка\r\nOK\r\n")));
        QVERIFY(events.dataCalls >= 2);
        QVERIFY(device->LastReceiveTick() != 0);

        // A notice still queued when the port closes brings no made-up text.
        events.text.clear();
        QVERIFY(pty.Write("late"));
        QThread::msleep(100);
        device->SetComActive(false);
        QTest::qWait(20);
        QCOMPARE(events.text, QString());
        QVERIFY2(events.Wrong.isEmpty(), qPrintable(events.Wrong.join(QStringLiteral(", "))));
    }

    // The owner may delete the device from inside its data, port-lost and alarm events.
    void ownerMayEndTheConnectionFromInsideTheEvents()
    {
        for (const int raised : {0, 1, 2}) {
            PtyPair pty;
            QPointer<TDevice> device = OpenDevice(pty).release();
            const auto end = [&] {
                device->SetWakeUp(false);
                device->deleteLater();
            };
            int error = 0;
            bool errorFromTheDevice = false, listeningAtTheError = false;
            device->OnData = [&](QObject *, const QString &) { end(); };
            device->OnComCreateError = [&](QObject *sender, int code) {
                errorFromTheDevice = sender == device.data();
                listeningAtTheError = device->ComListen();
                error = code;
                end();
            };
            device->OnErrorWaitInterval = [&](QObject *) { end(); };
            if (raised == 0) {
                QVERIFY(pty.Write("bye"));
            } else if (raised == 1) {
                pty.CloseMaster(); // the unit hangs up: the port is lost
            } else {
                SetTick(NearWrap);
                device->SetWakeUp(true);
                device->TimerTick(); // nothing ever received: the first tick raises the alarm
            }
            QTRY_VERIFY(device.isNull());
            QCOMPARE(error, raised == 1 ? 1024 : 0);
            if (raised == 1)
                QVERIFY(errorFromTheDevice && !listeningAtTheError);
        }
    }

    void silenceAlarmAfterThirtySecondsAndWakeUpAfterItsIntervalAcrossTheWrap()
    {
        PtyPair pty;
        auto device = OpenDevice(pty);
        Events events(*device);
        // (With nothing ever received the first tick raises it: the test above.)
        QVERIFY(ReceiveAndSendAt(pty, *device, events, NearWrap));
        const uint32_t received = device->LastReceiveTick();
        device->SetWakeUpInterval(40000); // due only after the alarm would already be up
        device->SetWakeUp(true); // the real timer stays idle: no events are processed below
        struct
        {
            uint32_t elapsed;
            int alarms;
        } const steps[] = {{29999, 0}, {30000, 1}, {45000, 1}};
        for (const auto &step : steps) {
            bool exact = false;
            for (int attempt = 0; attempt < Attempts && !exact; ++attempt) {
                events.alarms = 0;
                exact = AtTick(received + step.elapsed, [&] { device->TimerTick(); });
            }
            QVERIFY(exact);
            QCOMPARE(events.alarms, step.alarms);
        }
        QVERIFY(received + 30000 < received); // the silence crossed the 32-bit wrap
        QVERIFY(pty.ReadFor(20).isEmpty());   // at 45 s the alarm ends the tick: no wake-up

        // The wake-up goes out once its interval has strictly passed.
        device->SetWakeUp(false);
        events.alarms = 0;
        device->SetWakeUpInterval(10000);
        device->SetWakeUpCommand(QStringLiteral("+V"));
        // At exactly the interval nothing goes out.
        bool exact = false;
        for (int attempt = 0; attempt < Attempts && !exact; ++attempt) {
            device->SetWakeUp(false);
            QVERIFY(ReceiveAndSendAt(pty, *device, events, NearWrap));
            device->SetWakeUp(true);
            exact = AtTick(device->LastSendTick() + 10000, [&] { device->TimerTick(); });
        }
        QVERIFY(exact);
        QVERIFY(pty.ReadFor(20).isEmpty());

        // Settings are frozen while the wake-up runs.
        device->SetWakeUpCommand(QStringLiteral("+x"));
        device->SetWakeUpInterval(500);
        QCOMPARE(device->WakeUpCommand(), QStringLiteral("+V"));
        QCOMPARE(device->WakeUpInterval(), 10000u);

        // One millisecond later the wake-up command goes out and a new interval is drawn.
        const uint32_t sent = device->LastSendTick();
        const uint32_t due = sent + 10001;
        uint32_t after = 0;
        AtTick(due, [&] { // a slipped millisecond still sends
            device->TimerTick();
            after = GetTickCount();
        });
        QCOMPARE(pty.Read(3), QByteArray("+V\r"));
        QVERIFY(uint32_t(device->LastSendTick() - due) <= uint32_t(after - due));
        QVERIFY(device->LastSendTick() < sent); // the interval crossed the 32-bit wrap
        QCOMPARE(device->WakeUpInterval() % 1000, 0u);
        QVERIFY(device->WakeUpInterval() >= 10000 && device->WakeUpInterval() <= 14000);
        QCOMPARE(events.alarms, 0);

        // On a closed port there is no wake-up and the tick does nothing.
        device->SetWakeUp(false);
        device->SetComActive(false);
        device->SetWakeUp(true);
        QVERIFY(!device->WakeUp());
        SetTick(GetTickCount() + 60000);
        device->TimerTick();
        QCOMPARE(events.alarms, 0);
        QVERIFY2(events.Wrong.isEmpty(), qPrintable(events.Wrong.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
