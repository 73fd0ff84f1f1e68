// The single-command service against the simulated unit: no connection at all, the reply record,
// answers in order to their own requesters, a silent unit, a requester that goes away.
// Requests made while a page read runs are the CAN page's auto-refresh test's.

#include "KeyPagesWindow.h"
#include "PageRig.h"
#include "TestConfigDir.h"
#include "main/ExecCommandService.h"

#include <QtTest>

namespace {

using TRequester = TAnswerCatcher;

struct Rig : TransferRig
{
    TExecCommandService Service{Engine};

    void Post(TRequester &requester, int code) { PostExecCommand(&Service, code, &requester); }
};

bool Answered(const TRequester &r, int count = 1)
{
    return QTest::qWaitFor([&] { return r.Answers.size() >= count; }, 5000);
}

} // namespace

class TestExecCommand : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void answersComeInOrderToTheirOwnRequesters()
    {
        // Without a connection the answers come at once, each with its own tick although both
        // come within a millisecond.
        Rig rig;
        TRequester unconnected, again;
        rig.Post(unconnected, 125);
        rig.Post(again, 125);
        QVERIFY(Answered(again));
        QCOMPARE(unconnected.Answers[0].Status, 0);
        QCOMPARE(unconnected.Answers[0].Text1, QStringLiteral("0"));
        QVERIFY(unconnected.Answers[0].Tick != again.Answers[0].Tick);
        QCOMPARE(rig.Service.Record().Tick, again.Answers[0].Tick);

        QVERIFY(rig.Connect());
        rig.Sim.setSetting(QStringLiteral("gprsname"), QByteArray(300, 'n'));
        rig.Sim.setSetting(QStringLiteral("disp"), "07");
        TRequester first, second;
        rig.Post(first, 43);
        rig.Post(second, 105);
        rig.Post(first, 43); // a repeat while the first is still waiting: dropped
        QVERIFY(Answered(second));
        QCOMPARE(first.Answers.size(), 1);
        QCOMPARE(first.Answers[0].Text1, QString(255, QLatin1Char('n')));
        QCOMPARE(first.Answers[0].Text2, QString(45, QLatin1Char('n')));
        QVERIFY(first.Answers[0].Text3.isEmpty());
        QCOMPARE(second.Answers[0].Text1, QStringLiteral("7"));
        QCOMPARE(second.Answers[0].Status, 1);
        QCOMPARE(first.Current, QList<bool>{true});
        QCOMPARE(second.Current, QList<bool>{true});
        QVERIFY(first.Answers[0].Tick != second.Answers[0].Tick);
        QCOMPARE(Sent(rig.Sim), (QStringList{"+gprsname", "+disp"}));
        // The keep-alive is on after a request, also when it was off before.
        QVERIFY(rig.Engine.Device->WakeUp());

        // A requester that is gone is not touched.
        rig.Sim.clearLog();
        NeverAnswer(rig.Sim, {QStringLiteral("+enaing")}); // held until its give-up
        auto early = std::make_unique<TRequester>();
        auto waiting = std::make_unique<TRequester>();
        TRequester last;
        rig.Post(*early, 107);
        rig.Post(*waiting, 111);
        rig.Post(last, 105);
        QVERIFY(WaitForSent(rig.Sim, QStringLiteral("+enaing"), 5000));
        early.reset();   // its command is under way: the answer goes nowhere
        waiting.reset(); // its turn has not come: its command is never sent
        QVERIFY(Answered(last));
        QCOMPARE(Sent(rig.Sim), (QStringList{"+enaing", "+enaing", "+disp"}));

        // A silent unit gets the default resends only, also after a give-up.
        rig.Sim.setSilent(true);
        const int heard = rig.Sim.commandCount();
        rig.Engine.ExecCommand(105, 0);
        QVERIFY(rig.Sim.waitForCommandCount(heard + 1, 5000)); // heard before the log is cleared
        rig.Sim.clearLog();
        TRequester silent;
        rig.Post(silent, 105);
        QVERIFY(Answered(silent));
        QCOMPARE(silent.Answers[0].Status, 0);
        QCOMPARE(Sent(rig.Sim).count(QStringLiteral("+disp")), rig.Engine.DefaultRetries + 1);
    }
};

QTEST_MAIN(TestExecCommand)
#include "tst_execcommand.moc"
