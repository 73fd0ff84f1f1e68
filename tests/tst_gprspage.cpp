// The GPRS page against the simulated unit: its rows on the wire in both directions, the
// alarm controls, the reboot list, row colours, the key filter and the stored values.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/UnitGPRSSettingsFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

using Rig = PageRig<TGPRSSettingsFrame>;

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

    void readShowsEveryRowButTheTimeSynchronisation()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        sim.setSetting("gprsena", "FF");
        sim.setSetting("timegpres", "19"); // 25 minutes: beyond the list
        sim.setSetting("GAPN", "internet.beeline.ru");
        sim.setSetting("IPport", "5000");
        sim.setSetting("allogic", "C9");
        sim.setSetting("alphon0", "+79990001122");
        rig.Read();
        QCOMPARE(Sent(sim), GPRSReads);
        QVERIFY(!rig.Child<QCheckBox>("GPRSActiveCheckBox")->isChecked());
        QVERIFY(!rig.Child<QLineEdit>("AccessPointEdit")->isEnabled());
        QVERIFY(!rig.Child<QLabel>("AltSecondDNSLabel")->isEnabled());
        QVERIFY(rig.Child<QLineEdit>("GPRSPasswordEdit")->isEnabled());
        QCOMPARE(rig.Child<QComboBox>("RebootTimeCombo")->currentText(),
                 QStringLiteral("20 минут"));
        QCOMPARE(rig.Child<QLineEdit>("AccessPointEdit")->text(),
                 QStringLiteral("internet.beeline.ru"));
        QCOMPARE(rig.Child<QLineEdit>("PortEdit")->text(), QStringLiteral("5000"));
        QVERIFY(rig.Child<QRadioButton>("AlarmOR")->isChecked());
        QCOMPARE(rig.Child<QComboBox>("AlarmCombo1")->currentIndex(), 1);
        QCOMPARE(rig.Child<QComboBox>("AlarmCombo2")->currentIndex(), 1);
        QCOMPARE(rig.Child<QLineEdit>("AlarmPhone1")->text(), QStringLiteral("+79990001122"));
        for (const char *label : RowLabels)
            QCOMPARE(rig.Colour(label), Green);

        // GPRS on enables both sets; a row the unit leaves unanswered is red and keeps its text.
        rig.ClearLog();
        sim.setSetting("gprsena", "00");
        sim.setSetting("allogic", "04");
        sim.setSetting("IPport", "6000");
        rig.NeverAnswer({"+IPport"});
        rig.Read();
        QVERIFY(rig.Child<QLineEdit>("AccessPointEdit")->isEnabled());
        QVERIFY(rig.Child<QRadioButton>("AlarmAND")->isChecked());
        QCOMPARE(rig.Child<QComboBox>("AlarmCombo1")->currentIndex(), 0);
        QCOMPARE(rig.Child<QComboBox>("AlarmCombo2")->currentIndex(), 0);
        QCOMPARE(rig.Child<QLineEdit>("PortEdit")->text(), QStringLiteral("5000"));
        QCOMPARE(rig.Colour("PortLabel"), Red);
        for (const char *label : RowLabels)
            if (qstrcmp(label, "PortLabel") != 0)
                QCOMPARE(rig.Colour(label), Green);
    }

    void writeSendsEveryRowInItsEncoding()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        auto &sim = rig.Sim;
        rig.Child<QCheckBox>("GPRSActiveCheckBox")->setChecked(true);
        rig.Child<QComboBox>("RebootTimeCombo")->setCurrentIndex(0);
        rig.Child<QLineEdit>("AccessPointEdit")->clear();
        rig.Child<QRadioButton>("AlarmOR")->setChecked(true);
        rig.Child<QComboBox>("AlarmCombo1")->setCurrentIndex(1);
        rig.Child<QComboBox>("AlarmCombo2")->setCurrentIndex(2);
        rig.Child<QLineEdit>("AlarmPhone1")->setText(QStringLiteral("   "));
        rig.Child<QLineEdit>("AlarmPhone2")->setText(QStringLiteral(" +79990001122\t"));
        rig.Write();
        const QStringList sent = Sent(sim);
        QCOMPARE(sent.size(), 23);
        QCOMPARE(sent.mid(0, 3), (QStringList{"+gprsena00", "+cashbackFF", "+timegpres0A"}));
        QCOMPARE(sent[3], QStringLiteral("+servpswdquillmop"));
        QCOMPARE(sent[5], QStringLiteral("+GAPN "));
        QCOMPARE(sent.mid(20), (QStringList{"+allogicD1", "+alphon0 ", "+alphon1+79990001122"}));
        QVERIFY(!sent.join(QString()).contains(QStringLiteral("tsource")));
        // A phone of blanks clears the unit's phone: it is not the bare read command.
        QCOMPARE(sim.setting("alphon0"), QByteArray(" "));
        QCOMPARE(sim.setting("GAPN"), QByteArray(" "));
        for (const char *label : RowLabels)
            QCOMPARE(rig.Colour(label), Green);

        // GPRS off and "and" over two unused lists; a row the unit does not confirm is red.
        rig.ClearLog();
        rig.Child<QCheckBox>("GPRSActiveCheckBox")->setChecked(false);
        rig.Child<QRadioButton>("AlarmAND")->setChecked(true);
        rig.Child<QComboBox>("AlarmCombo1")->setCurrentIndex(0);
        rig.Child<QComboBox>("AlarmCombo2")->setCurrentIndex(0);
        rig.NeverAnswer({"+IPadr"});
        rig.Write();
        QCOMPARE(Sent(sim).first(), QStringLiteral("+gprsenaFF"));
        QVERIFY(Sent(sim).contains(QStringLiteral("+allogic3F")));
        QCOMPARE(rig.Colour("IPAddressLabel"), Red);
        QCOMPARE(rig.Colour("PortLabel"), Green);
    }

    void aRebootTimeBelowTheListIsNeverSent()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        rig.Sim.setSetting("timegpres", "09");
        rig.Read();
        QCOMPARE(rig.Child<QComboBox>("RebootTimeCombo")->currentIndex(), -1);
        rig.ClearLog();
        rig.Write();
        QCOMPARE(Sent(rig.Sim).size(), 22);
        QVERIFY(!Sent(rig.Sim).join(QString()).contains(QStringLiteral("timegpres")));
        QCOMPARE(rig.Colour("RebootTimeLabel"), Red);
        QCOMPARE(rig.Sim.setting("timegpres"), QByteArray("09"));
    }

    void editsResetTheirLabelAndPortsTakeDigits()
    {
        TGPRSSettingsFrame page;
        page.Init(QStringLiteral("W9CAN"));
        page.SetPageData(TPageData()); // nothing read: every row red, no control changed
        auto *port = page.findChild<QLineEdit *>(QStringLiteral("AltPortEdit"));
        auto *portLabel = page.findChild<QLabel *>(QStringLiteral("AltPortLabel"));
        QCOMPARE(port->text(), QStringLiteral("0"));
        QCOMPARE(TPageFrame::LabelColor(portLabel), Red);
        QCOMPARE(
            TPageFrame::LabelColor(page.findChild<QLabel *>(QStringLiteral("GPRSActiveLabel"))),
            Red);
        port->clear();
        QTest::keyClicks(port, QStringLiteral("8a0-8 1"));
        QCOMPARE(port->text(), QStringLiteral("8081"));
        QVERIFY(TPageFrame::LabelColor(portLabel) != Red);
        auto *user = page.findChild<QLineEdit *>(QStringLiteral("UserNameEdit"));
        QTest::keyClicks(user, QStringLiteral(" a-b"));
        QCOMPARE(user->text(), QStringLiteral("internet a-b"));
    }

    void storedValuesAndCaptions()
    {
        Store(QStringLiteral("GPRSSettingsFrame/defGPRSActive"), QStringLiteral("0"));
        Store(QStringLiteral("GPRSSettingsFrame/defRebootTime"), 3);
        Store(QStringLiteral("GPRSSettingsFrame/defGPRSRassword"), QStringLiteral("secret"));
        Store(QStringLiteral("GPRSSettingsFrame/PortCaption"), QStringLiteral("Порт:"));
        {
            TGPRSSettingsFrame page;
            page.Init(QStringLiteral("W9CAN"));
            QVERIFY(!page.findChild<QLineEdit *>(QStringLiteral("PhoneNumberEdit"))->isEnabled());
            QCOMPARE(page.findChild<QComboBox *>(QStringLiteral("RebootTimeCombo"))->currentText(),
                     QStringLiteral("13 минут"));
            QCOMPARE(page.findChild<QComboBox *>(QStringLiteral("RebootTimeCombo"))->count(), 11);
            QCOMPARE(page.findChild<QLineEdit *>(QStringLiteral("GPRSPasswordEdit"))->text(),
                     QStringLiteral("secret"));
            QCOMPARE(page.findChild<QLabel *>(QStringLiteral("PortLabel"))->text(),
                     QStringLiteral("Порт:"));
            QCOMPARE(page.findChild<QLabel *>(QStringLiteral("AltPortLabel"))->text(),
                     QStringLiteral("Порт сервера для GPRS соединения:"));
            page.findChild<QLineEdit *>(QStringLiteral("AltIPAddressEdit"))->setText("10.0.0.1");
            page.SaveUISettings();
        }
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/defAltIPAddress")),
                 QStringLiteral("10.0.0.1"));
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/defAltPort")), QStringLiteral("0"));
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/PortCaption")), QStringLiteral("Порт:"));
        // The captions of the two rows without a control are kept in the store all the same.
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/TimeSynchronizeCaption")),
                 QStringLiteral("Синхронизация времени с сервером:"));
    }
};

QTEST_MAIN(TestGPRSPage)
#include "tst_gprspage.moc"
