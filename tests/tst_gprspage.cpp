// The GPRS page against the simulated unit.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/TypingLimit.h"
#include "pages/UnitGPRSSettingsFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

struct Rig : PageRig<TGPRSSettingsFrame>
{
    QLineEdit *Edit(const char *name) { return Child<QLineEdit>(name); }
    QComboBox *Combo(const char *name) { return Child<QComboBox>(name); }
    QCheckBox *Active() { return Child<QCheckBox>("GPRSActiveCheckBox"); }
};

const QStringList GPRSReads = {"+gprsena",  "+cashback", "+timegpres", "+servpswd", "+gphone",
                               "+GAPN",     "+gprsname", "+gprspswd",  "+IPadr",    "+IPport",
                               "+maindns0", "+altdns0",  "+gphon1",    "+GAP1",     "+gprsnam1",
                               "+gprspsw1", "+IPad1",    "+IPpor1",    "+maindns1", "+altdns1",
                               "+allogic",  "+alphon0",  "+alphon1"};

const char *const RowLabels[] = {
    "GPRSActiveLabel",     "RebootTimeLabel",  "GPRSPasswordLabel", "PhoneNumberLabel",
    "AccessPointLabel",    "UserNameLabel",    "PasswordLabel",     "IPAddressLabel",
    "PortLabel",           "FirstDNSLabel",    "SecondDNSLabel",    "AltPhoneNumberLabel",
    "AltAccessPointLabel", "AltUserNameLabel", "AltPasswordLabel",  "AltIPAddressLabel",
    "AltPortLabel",        "AltFirstDNSLabel", "AltSecondDNSLabel"};

} // namespace

class TestGPRSPage : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void readAndWriteEveryRowButTheTimeSynchronisation()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        sim.setSetting("gprsena", "FF");
        sim.setSetting("timegpres", "19"); // 25 minutes: beyond the list
        sim.setSetting("GAPN", "internet.beeline.ru");
        sim.setSetting("allogic", "C9");
        sim.setSetting("alphon0", "+79990001122");
        rig.Read();
        QCOMPARE(Sent(sim), GPRSReads);
        QVERIFY(!rig.Active()->isChecked());
        QVERIFY(!rig.Edit("AccessPointEdit")->isEnabled());
        QVERIFY(rig.Edit("GPRSPasswordEdit")->isEnabled());
        QCOMPARE(rig.Combo("RebootTimeCombo")->currentText(), QStringLiteral("20 минут"));
        QCOMPARE(rig.Edit("AccessPointEdit")->text(), QStringLiteral("internet.beeline.ru"));
        QVERIFY(rig.Child<QRadioButton>("AlarmOR")->isChecked());
        QCOMPARE(rig.Combo("AlarmCombo1")->currentIndex(), 1);
        QCOMPARE(rig.Combo("AlarmCombo2")->currentIndex(), 1);
        QCOMPARE(rig.Edit("AlarmPhone1")->text(), QStringLiteral("+79990001122"));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList());

        // GPRS on enables both sets; a row the unit leaves unanswered is red and keeps its text.
        sim.setSetting("gprsena", "00");
        sim.setSetting("allogic", "04");
        sim.setSetting("IPport", "6000");
        rig.NeverAnswer({"+IPport"});
        rig.Read();
        QVERIFY(rig.Edit("AccessPointEdit")->isEnabled());
        QVERIFY(rig.Child<QRadioButton>("AlarmAND")->isChecked());
        QCOMPARE(rig.Combo("AlarmCombo1")->currentIndex(), 0);
        QCOMPARE(rig.Combo("AlarmCombo2")->currentIndex(), 0);
        QCOMPARE(rig.Edit("PortEdit")->text(), QStringLiteral("0"));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList{"PortLabel"});
        QCOMPARE(rig.Colour("PortLabel"), Red);

        // A reboot time below the list selects nothing, and nothing is written back for it.
        rig.NeverAnswer({});
        sim.setSetting("timegpres", "09");
        rig.Read();
        QCOMPARE(rig.Combo("RebootTimeCombo")->currentIndex(), -1);
        QStringList sent = rig.Writing();
        QCOMPARE(sent.size(), 22);
        QVERIFY(!sent.join(QString()).contains(QStringLiteral("timegpres")));
        QCOMPARE(rig.Colour("RebootTimeLabel"), Red);

        // A write sends every row in its encoding.
        rig.Active()->setChecked(true);
        rig.Combo("RebootTimeCombo")->setCurrentIndex(0);
        rig.Edit("AccessPointEdit")->clear();
        rig.Child<QRadioButton>("AlarmOR")->setChecked(true);
        rig.Combo("AlarmCombo1")->setCurrentIndex(1);
        rig.Combo("AlarmCombo2")->setCurrentIndex(2);
        rig.Edit("AlarmPhone1")->setText(QStringLiteral("   "));
        rig.Edit("AlarmPhone2")->setText(QStringLiteral(" +79990001122\t"));
        sent = rig.Writing();
        QCOMPARE(sent.size(), 23);
        QCOMPARE(sent.mid(0, 4),
                 (QStringList{"+gprsena00", "+cashbackFF", "+timegpres0A", "+servpswdquillmop"}));
        QCOMPARE(sent[5], QStringLiteral("+GAPN "));
        // A phone of blanks clears the unit's phone: it is not the bare read command.
        QCOMPARE(sent.mid(20), (QStringList{"+allogicD1", "+alphon0 ", "+alphon1+79990001122"}));
        QVERIFY(!sent.join(QString()).contains(QStringLiteral("tsource")));
        QCOMPARE(sim.setting("GAPN"), QByteArray(" "));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList());

        // GPRS off and "and" over two unused lists; a row the unit does not confirm is red.
        rig.Active()->setChecked(false);
        rig.Child<QRadioButton>("AlarmAND")->setChecked(true);
        rig.Combo("AlarmCombo1")->setCurrentIndex(0);
        rig.Combo("AlarmCombo2")->setCurrentIndex(0);
        rig.NeverAnswer({"+IPadr"});
        const QStringList again = rig.Writing();
        QCOMPARE(again.first(), QStringLiteral("+gprsenaFF"));
        QVERIFY(again.contains(QStringLiteral("+allogic3F")));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList{"IPAddressLabel"});
    }

    // The alarm rows are not stored: they go to the unit only once a read, the user or a
    // settings file has filled them, and then to any unit.
    void alarmRowsAreSentOnceFilled()
    {
        const auto alarmRows = [](const QStringList &sent) {
            return sent.filter(QRegularExpression(QStringLiteral("^\\+al(logic|phon)")));
        };
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        sim.setSetting("allogic", "C9");
        sim.setSetting("alphon0", "+79990001122");
        sim.setSetting("alphon1", "+79990003344");
        QStringList sent = rig.Writing();
        QCOMPARE(sent.size(), 20);
        QCOMPARE(alarmRows(sent), QStringList());
        QCOMPARE(sim.setting("alphon0"), QByteArray("+79990001122"));

        // What the user types or chooses goes, row by row.
        QTest::keyClicks(rig.Edit("AlarmPhone2"), QStringLiteral("112"));
        QCOMPARE(alarmRows(rig.Writing()), QStringList{"+alphon1112"});
        rig.Combo("AlarmCombo1")->setCurrentIndex(1);
        QCOMPARE(alarmRows(rig.Writing()), (QStringList{"+allogic01", "+alphon1112"}));

        // A read fills all three, even a phone as empty as the edit; what was read goes to the
        // next unit as well.
        sim.setSetting("allogic", "C9");
        sim.setSetting("alphon0", "");
        rig.Read();
        sim.setSetting("allogic", "3F");
        sim.setSetting("alphon0", "+79990005566");
        QCOMPARE(alarmRows(rig.Writing()), (QStringList{"+allogicC9", "+alphon0 ", "+alphon1112"}));
    }

    void storedValuesAndTheKeyFilter()
    {
        Store(QStringLiteral("GPRSSettingsFrame/defGPRSActive"), QStringLiteral("0"));
        Store(QStringLiteral("GPRSSettingsFrame/defRebootTime"), 3);
        Store(QStringLiteral("GPRSSettingsFrame/defGPRSRassword"), QStringLiteral("secret"));
        {
            Rig rig; // not connected
            QVERIFY(!rig.Edit("PhoneNumberEdit")->isEnabled());
            QCOMPARE(rig.Combo("RebootTimeCombo")->currentText(), QStringLiteral("13 минут"));
            QCOMPARE(rig.Edit("GPRSPasswordEdit")->text(), QStringLiteral("secret"));

            // Nothing read: every row red, no control changed. Typing puts a label back; the
            // port edits take digits only.
            rig.Page.SetPageData(TPageData());
            QCOMPARE(rig.NotIn(Red, RowLabels), QStringList());
            rig.Active()->setChecked(true);
            rig.Edit("AltPortEdit")->clear();
            QTest::keyClicks(rig.Edit("AltPortEdit"), QStringLiteral("8a0-8 1"));
            QCOMPARE(rig.Edit("AltPortEdit")->text(), QStringLiteral("8081"));
            QTest::keyClicks(rig.Edit("AltUserNameEdit"), QStringLiteral(" a-b"));
            QCOMPARE(rig.Edit("AltUserNameEdit")->text(), QStringLiteral("internet a-b"));
            QCOMPARE(rig.NotIn(Red, RowLabels), (QStringList{"AltUserNameLabel", "AltPortLabel"}));
            rig.Page.SaveUISettings();
        }
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/defAltPort")), QStringLiteral("8081"));
    }

    // A paste past an edit's limit keeps the leading characters that fit, where the cursor or
    // the selection is, even when it repeats the edit's text; undo and redo work after it. A
    // longer text the program sets stays whole, and takes nothing more.
    void pasteIsCutWhereItLandsAndCanBeUndone()
    {
        Store(QStringLiteral("GPRSSettingsFrame/defGPRSRassword"), QStringLiteral("password123"));
        Rig rig;
        rig.Active()->setChecked(true);
        QLineEdit *ip = rig.Edit("IPAddressEdit"); // at most 15 characters
        const struct
        {
            int start, length;
            const char *pasted, *result;
        } cases[] = {
            {0, 0, "10.0.0.100", "10.0.0.10.0.0.1"},
            {3, 0, "0.0.0.10", "10.0.0.0.10.0.1"},
            {3, 3, "10.0.0.100.0.0", "10.10.0.0.100.1"},
        };
        for (const auto &c : cases) {
            ip->setText(QStringLiteral("10.0.0.1"));
            ip->setSelection(c.start, c.length);
            QApplication::clipboard()->setText(QString::fromLatin1(c.pasted));
            QTest::keySequence(ip, QKeySequence::Paste);
            QCOMPARE(ip->text(), QString::fromLatin1(c.result));
        }
        QTest::keySequence(ip, QKeySequence::Undo);
        QCOMPARE(ip->text(), QStringLiteral("10.0.0.1"));
        QTest::keySequence(ip, QKeySequence::Redo);
        QCOMPARE(ip->text(), QStringLiteral("10.10.0.0.100.1"));

        QLineEdit *password = rig.Edit("GPRSPasswordEdit"); // at most 8
        QCOMPARE(password->text(), QStringLiteral("password123"));
        password->setCursorPosition(4);
        QTest::keySequence(password, QKeySequence::Paste);
        QCOMPARE(password->text(), QStringLiteral("password123"));
        QTest::keyClick(password, Qt::Key_Backspace);
        QTest::keyClicks(password, QStringLiteral("ss"));
        QCOMPARE(password->text(), QStringLiteral("pasword123"));
        TTypingLimit::SetText(password, QStringLiteral("pass"));
        QTest::keyClicks(password, QStringLiteral("12345"));
        QCOMPARE(password->text(), QStringLiteral("pass1234"));
    }
};

QTEST_MAIN(TestGPRSPage)
#include "tst_gprspage.moc"
