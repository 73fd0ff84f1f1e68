// The real main window against the simulated unit: connecting through the connection dialog,
// identification on the status bar, the log of the session, reading and writing the general page,
// the terminal box, Esc, the disconnect while identification is still under way, and closing the
// window while a read waits for the unit.

#include "SimConnection.h"
#include "TestConfigDir.h"
#include "WidgetDriver.h"
#include "main/ConnectFormUnit.h"
#include "main/LogView.h"
#include "main/Main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <memory>

namespace {

bool Received(const unitsim::UnitSimulator &sim, const char *command, int timeoutMs = 2000)
{
    return WaitForSent(sim, QLatin1String(command), timeoutMs);
}

// The main window with its time-outs and the port's control-line pauses shortened, and its
// messages recorded instead of shown.
struct Window
{
    std::unique_ptr<TMainForm> Form = std::make_unique<TMainForm>(QStringLiteral("1.0.0.0"));
    QStringList Messages;

    Window()
    {
        SpeedUp(Form->Engine(), Form->Connection());
        Form->MessageHook = [this](const QString &text, bool) { Messages << text; };
        Form->show();
    }

    TMainForm *operator->() { return Form.get(); }

    QAction *Action(const char *name) const { return FindAction(*Form, name); }
    QString Panel(int i) const
    {
        return Form->findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    template <typename T> T *General(const char *name) const
    {
        return Form->Frames[0]->findChild<T *>(QString::fromLatin1(name));
    }

    bool Identified() const
    {
        TCommandEngine &engine = Form->Engine();
        return Action("DisconnectAction")->isEnabled() && !engine.Identity.IMEI.isEmpty() &&
               !engine.IsPending();
    }
    bool Disconnected() const
    {
        return Action("ConnectAction")->isEnabled() && !Action("DisconnectAction")->isEnabled() &&
               Form->Engine().Device.isNull();
    }

    // Connects by cable through the connection dialog, as the user does, once it shows; false
    // when it did not.
    bool ConnectThroughDialog(const QString &port)
    {
        bool filledIn = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<TConnectForm *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            dialog->findChild<QRadioButton *>(QStringLiteral("Cable"))->click();
            dialog->findChild<QCheckBox *>(QStringLiteral("CheckBox2"))->setChecked(false);
            dialog->findChild<QComboBox *>(QStringLiteral("PortCombo"))->setEditText(port);
            dialog->findChild<QPushButton *>(QStringLiteral("OkBtn"))->click();
            filledIn = true;
        });
        poll.start();
        Action("ConnectAction")->trigger();
        return filledIn;
    }

    void Connect(const QString &port)
    {
        TConnectChoice choice;
        choice.PortName = port;
        Form->Connection().Connect(choice);
    }

    // Every line of the log tree, top to bottom.
    QStringList LogLines() const
    {
        QStringList lines = Form->Log().TreeText().split(QStringLiteral("\r\n"));
        lines.removeLast();
        for (QString &line : lines)
            line.remove(QRegularExpression(QStringLiteral("^\t*")));
        return lines;
    }
};

// Answers the next modal input box with `text`, or leaves its text as it is when `text` is null
// (looking for it for up to ten seconds).
void AnswerInputBox(const QString &text, int attempts = 1000)
{
    QTimer::singleShot(10, [text, attempts] {
        auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts > 0)
                AnswerInputBox(text, attempts - 1);
            return;
        }
        if (!text.isNull())
            box->setTextValue(text);
        box->accept();
    });
}

} // namespace

class MainWindowE2ETest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:

    void connectIdentifyReadWriteEscapeDisconnectAndClose()
    {
        unitsim::UnitSimulator sim;
        QVERIFY(sim.start(CableUnit()));
        sim.setSetting(QStringLiteral("object"), "0042");
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.Form.get()));

        QVERIFY(w.ConnectThroughDialog(sim.portPath()));
        QTRY_VERIFY_WITH_TIMEOUT(w.Identified(), 5000);

        // The status bar shows what identification found.
        QCOMPARE(w.Panel(4), QStringLiteral("Устройство: Калмир 9-1"));
        QCOMPARE(w.Panel(5), QStringLiteral("IMEI: ") + kImei);

        // The log tree holds the port's events and the commands sent.
        const QStringList log = w.LogLines();
        QVERIFY(log.contains(QStringLiteral("Событие порта: Порт открыт успешно")));
        QVERIFY(log.contains(QStringLiteral("+imei")));

        // The page actions reach the general page (what they send is the page-transfer test's).
        w.Action("ReadPageAction")->trigger();
        QCOMPARE(w.General<QLineEdit>("ObjectNumberEdit")->text(), QStringLiteral("42"));
        w.General<QLineEdit>("ObjectNumberEdit")->setText(QStringLiteral("917"));
        w.Action("WritePageAction")->trigger();
        QCOMPARE(sim.setting(QStringLiteral("object")), QByteArray("0917"));

        // The terminal box sends a changed text with no wait; an unchanged "+" sends nothing.
        sim.clearLog();
        AnswerInputBox(QString());
        PressKey(*w.Form, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        AnswerInputBox(QStringLiteral("+v"));
        PressKey(*w.Form, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(Received(sim, "+v"));
        QTRY_VERIFY(!w->Engine().IsPending());
        QCOMPARE(Sent(sim), QStringList{"+v"});

        // Esc while identified disconnects; the IMEI stays on the status bar.
        w->activateWindow();
        PressKey(*w.Form, Qt::Key_Escape);
        QVERIFY(Received(sim, "CABLE DISCONNECT"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Disconnected(), 3000);
        QVERIFY(sim.waitForClose(2000));
        QVERIFY(!w.Action("ReadPageAction")->isEnabled());
        QCOMPARE(w.Panel(2), QStringLiteral("Прошивка: "));
        QCOMPARE(w.Panel(5), QStringLiteral("IMEI: ") + kImei);
        QCOMPARE(w->Engine().State, uint8_t(StateIdle));
        QVERIFY(w.LogLines().filter(QStringLiteral("Окончание работы ")).size() == 1);

        // The unit never answers "+imei": the disconnect takes the command slot over at once.
        sim.clearLog();
        auto faults = sim.faults();
        faults.neverAnswer = QStringList{QStringLiteral("+imei")};
        sim.setFaults(faults);
        w->Engine().Timings.CommandTimeoutMs = 3000;
        w.Connect(sim.portPath());
        QVERIFY(Received(sim, "+imei", 3000));
        QTRY_VERIFY(w.Action("DisconnectAction")->isEnabled());
        QVERIFY(w->Engine().Waiting());
        w.Action("DisconnectAction")->trigger();
        QVERIFY(Received(sim, "CABLE DISCONNECT", 1000));
        QTRY_VERIFY_WITH_TIMEOUT(w.Disconnected(), 1500);
        QVERIFY(sim.waitForClose(1000));
        QCOMPARE(Sent(sim).count(QStringLiteral("+imei")), 1);
        QVERIFY(!w->Engine().IsPending());

        // A late answer to the step the disconnect replaced does not count as the goodbye's. (The
        // unit answers in order: the goodbye's answer follows it. It comes long after the
        // disconnect, which follows the unit's hearing "+imei" at once, and well within the
        // time-out.)
        sim.clearLog();
        faults.neverAnswer.clear();
        faults.latencyMs = 150;
        faults.answerDelayMs = {{QStringLiteral("+imei"), 1000}};
        sim.setFaults(faults);
        w.Connect(sim.portPath());
        QVERIFY(Received(sim, "+imei", 5000));
        w.Action("DisconnectAction")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w.Disconnected(), 5000);
        QVERIFY(sim.commands().last().text == QByteArray("CABLE DISCONNECT"));
        QTest::qWait(200);
        QVERIFY(w.Disconnected());
        QVERIFY2(w.Messages.isEmpty(), qPrintable(w.Messages.join('\n')));

        // Closing the window while a read waits for the unit waits for the wait to end.
        faults.answerDelayMs.clear();
        sim.setFaults(faults);
        w.Connect(sim.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(w.Identified(), 5000);
        sim.clearLog();
        sim.setLatency(100);

        bool closedInside = true;
        bool visibleInside = false;
        int depthInside = 0;
        QTimer::singleShot(30, w.Form.get(), [&] {
            depthInside = w->WaitDepth();
            closedInside = w->close();
            visibleInside = w->isVisible();
        });
        w.Action("ReadPageAction")->trigger();
        QVERIFY(depthInside > 0);
        QVERIFY(!closedInside);
        QVERIFY(visibleInside);
        // The read stopped after the row it was waiting for; then the window closed.
        QVERIFY(Sent(sim).size() < GeneralReads.size());
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(w->WaitDepth(), 0);
        QVERIFY(RawStore().contains(QStringLiteral("MainForm/Caption")));

        // The window goes with the connection still open: its port closes with it.
        w.Form.reset();
        QVERIFY(sim.waitForClose(2000));
        QVERIFY(!Sent(sim).contains(QStringLiteral("CABLE DISCONNECT")));
        QTest::qWait(100); // nothing left behind fires into the destroyed window
    }
};

QTEST_MAIN(MainWindowE2ETest)
#include "tst_mainwindow_e2e.moc"
