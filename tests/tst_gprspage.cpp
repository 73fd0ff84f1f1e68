// The GPRS page against the simulated unit.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/OneLinePaste.h"
#include "pages/TypingLimit.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "settings/funcs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
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
    // longer text the program sets stays whole, and takes nothing more than its own length.
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
        QCOMPARE(password->text(), QStringLiteral("password123"));
        TTypingLimit::SetText(password, QStringLiteral("pass"));
        QTest::keyClicks(password, QStringLiteral("12345"));
        QCOMPARE(password->text(), QStringLiteral("pass1234"));
    }

    // After the user shortens a text longer than the edit's limit, what was there can be typed
    // back, and undo and redo work as in any edit; a paste is cut at that length and undone.
    // A text the program sets anew, also without the limit's own setter, sets the length again.
    void aShortenedLongTextTypesBackAndUndoes()
    {
        Rig rig;
        rig.Active()->setChecked(true);
        QLineEdit *apn = rig.Edit("AccessPointEdit"); // at most 20 characters
        const QString long33 = QStringLiteral("internet.operator-example.com.rus");
        QCOMPARE(long33.size(), 33);
        TTypingLimit::SetText(apn, long33); // as a read or a settings file sets it
        QCOMPARE(apn->text(), long33);
        QTest::keyClick(apn, Qt::Key_End);
        QTest::keyClick(apn, Qt::Key_Backspace);
        QTest::keyClicks(apn, QStringLiteral("xy"));
        QCOMPARE(apn->text(), long33.left(32) + QLatin1Char('x'));
        QTest::keySequence(apn, QKeySequence::Undo);
        QCOMPARE(apn->text(), long33.left(32));
        QTest::keySequence(apn, QKeySequence::Undo);
        QCOMPARE(apn->text(), long33);
        QTest::keySequence(apn, QKeySequence::Redo);
        QCOMPARE(apn->text(), long33.left(32));

        apn->setSelection(0, 8); // "internet"
        QApplication::clipboard()->setText(QStringLiteral("0123456789ABCDEF"));
        QTest::keySequence(apn, QKeySequence::Paste);
        QCOMPARE(apn->text(), QStringLiteral("012345678") + long33.mid(8, 24));
        QTest::keySequence(apn, QKeySequence::Undo);
        QCOMPARE(apn->text(), long33.left(32));

        apn->setText(QStringLiteral("short"));
        QTest::keyClick(apn, Qt::Key_End);
        QTest::keyClicks(apn, QString(20, QLatin1Char('z')));
        QCOMPARE(apn->text(), QStringLiteral("short") + QString(15, QLatin1Char('z')));
        QTest::keySequence(apn, QKeySequence::Undo);
        QCOMPARE(apn->text(), QStringLiteral("short"));
    }

    // After the user replaces a long text the program set, the program may set what the edit
    // holds already (a read giving the same back), or clear an empty edit: QLineEdit reports no
    // change, and the allowance must still follow that text, back to the edit's limit.
    void theAllowanceFollowsTheTextTheProgramSetLast()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        const QByteArray long33 = "internet.operator-example.com.rus";
        rig.Sim.setSetting(QStringLiteral("gprsena"), "00");
        rig.Sim.setSetting(QStringLiteral("GAPN"), long33);
        rig.Sim.setSetting(QStringLiteral("gprsname"), long33);
        rig.Read();
        QLineEdit *apn = rig.Edit("AccessPointEdit"); // both at most 20 characters
        QLineEdit *user = rig.Edit("UserNameEdit");
        QCOMPARE(apn->text(), QString::fromLatin1(long33));
        apn->selectAll();
        QTest::keyClicks(apn, QStringLiteral("internet"));
        user->selectAll();
        QTest::keyClick(user, Qt::Key_Backspace);
        QCOMPARE(apn->text(), QStringLiteral("internet"));
        QCOMPARE(user->text(), QString());

        rig.Sim.setSetting(QStringLiteral("GAPN"), "internet");
        rig.Sim.setSetting(QStringLiteral("gprsname"), "");
        rig.Read();
        const char *const readBack[] = {"AccessPointLabel", "UserNameLabel"};
        QCOMPARE(rig.NotIn(Green, readBack), QStringList());
        QList<qsizetype> typed;
        for (QLineEdit *edit : {apn, user}) {
            QTest::keyClick(edit, Qt::Key_End);
            QTest::keyClicks(edit, QString(30, QLatin1Char('z')));
            typed << edit->text().size();
        }
        QCOMPARE(typed, (QList<qsizetype>{20, 20}));
    }

    // A text pasted or dropped into an edit leaves its line breaks and other control characters
    // out (a spreadsheet cell comes as "internet\n"), by the keys, the edit's menu or a drop; the
    // rest lands at the cursor or over the selection, is cut by the edit's allowance and undoes
    // in one step, apart from the typing around it.
    void pastesAndDropsKeepToOneLine()
    {
        Rig rig;
        rig.Active()->setChecked(true);
        QLineEdit *user = rig.Edit("UserNameEdit"); // at most 20 characters
        user->clear();
        QTest::keyClicks(user, QStringLiteral("ab"));
        QApplication::clipboard()->setText(QStringLiteral("internet\n"));
        QTest::keySequence(user, QKeySequence::Paste);
        QTest::keyClicks(user, QStringLiteral("cd"));
        QTest::keySequence(user, QKeySequence::Undo);
        QCOMPARE(user->text(), QStringLiteral("abinternet"));
        QTest::keySequence(user, QKeySequence::Undo);
        QCOMPARE(user->text(), QStringLiteral("ab"));
        QTest::keySequence(user, QKeySequence::Redo);

        user->setSelection(0, 2);
        QApplication::clipboard()->setText(QStringLiteral("\tmts\r\n+object0001\r\n0123456789"));
        QContextMenuEvent menuAsked(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                    user->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(user, &menuAsked);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *item : menu->actions())
            if (item->text().startsWith(QLatin1String("&Paste")))
                item->trigger();
        menu->close();
        QCOMPARE(user->text(), QStringLiteral("mts+object00internet"));
        QTest::keySequence(user, QKeySequence::Undo);
        QCOMPARE(user->text(), QStringLiteral("abinternet"));

        // A drop as the application hands it to its target, the edit's filters first (sent
        // without a drag under way, it would find no target).
        QMimeData cell;
        cell.setText(QStringLiteral("internet\r\n"));
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &cell, Qt::LeftButton, Qt::NoModifier);
        QLineEdit *apn = rig.Edit("AccessPointEdit");
        apn->clear();
        QObject *filter = apn->findChild<TOneLinePaste *>();
        QVERIFY(filter && filter->eventFilter(apn, &drop) && drop.isAccepted());
        QCOMPARE(apn->text(), QStringLiteral("internet"));
    }

    // A line break, a tab or another control character inside a text would end its command
    // early, the rest reaching the unit as a command of its own ("+object0001" set the object
    // number), or reach the unit raw. However it came in (here the store of an earlier version),
    // its row turns red, the first red row comes into view and nothing of the page is sent; an
    // alarm phone's trim of its ends stays. Pasted anew, the texts go as shown.
    void controlCharactersInATextStopTheWrite()
    {
        Store(QStringLiteral("GPRSSettingsFrame/defUserName"), QStringLiteral("mts\r+object0001"));
        Store(QStringLiteral("GPRSSettingsFrame/defAltPassword"), QStringLiteral("pa\tss\x01"));
        Rig rig;
        QVERIFY(rig.Connect());
        rig.Active()->setChecked(true);
        QLineEdit *phone = rig.Edit("AlarmPhone2");
        phone->setText(QStringLiteral("\t+7900\x01") + QStringLiteral("1\r"));
        rig.Page.resize(500, 200); // the alarm phones lie below the view
        rig.Page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.Page));
        QCOMPARE(rig.Writing(), QStringList());
        const char *const broken[] = {"UserNameLabel", "AltPasswordLabel"};
        QCOMPARE(rig.NotIn(Red, broken), QStringList());
        QCOMPARE(rig.NotIn(Red, RowLabels).size(), int(std::size(RowLabels)) - 2);
        QCOMPARE(phone->palette().color(QPalette::Text), Red);

        for (const char *name : {"UserNameEdit", "AltPasswordEdit"}) {
            rig.Edit(name)->selectAll();
            QApplication::clipboard()->setText(rig.Edit(name)->text());
            QTest::keySequence(rig.Edit(name), QKeySequence::Paste);
        }
        QCOMPARE(rig.NotIn(Red, RowLabels).size(), int(std::size(RowLabels)));
        QVERIFY(phone->visibleRegion().isEmpty());
        QCOMPARE(rig.Writing(), QStringList());
        QVERIFY(!phone->visibleRegion().isEmpty());

        phone->setText(QStringLiteral("\t+79001\r"));
        QVERIFY(phone->palette().color(QPalette::Text) != Red);
        const QStringList sent = rig.Writing();
        for (const char *expected : {"+gprsnamemts+object0001", "+gprspsw1pass", "+alphon1+79001"})
            QVERIFY2(sent.contains(QLatin1String(expected)), expected);
        QCOMPARE(sent.size(), 21); // every row but the unfilled alarm logic and phone 1
        QCOMPARE(rig.Sim.setting(QStringLiteral("object")), QByteArray("0917"));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList());
    }

    // A text the unit's code page (Windows-1251) cannot carry, typed, pasted or stored, would
    // reach the unit with "?" in it: its row turns red and nothing of the page is sent. Once the
    // text is one the unit can take, the page goes as shown.
    void textsOutsideTheUnitsCodePageStopTheWrite()
    {
        Store(QStringLiteral("GPRSSettingsFrame/defAltPassword"), QStringLiteral("пасс✓"));
        Rig rig;
        QVERIFY(rig.Connect());
        QLineEdit *password = rig.Edit("PasswordEdit");
        QLineEdit *user = rig.Edit("UserNameEdit");
        QLineEdit *phone = rig.Edit("AlarmPhone2");
        for (const auto &[edit, text] : {std::pair{password, QStringLiteral("пароль✓€№ß")},
                                         {user, QStringLiteral("użytkownik™")}}) {
            edit->clear();
            QApplication::clipboard()->setText(text);
            QTest::keySequence(edit, QKeySequence::Paste);
            QCOMPARE(edit->text(), text);
        }
        QTest::keyClicks(phone, QStringLiteral("+7900ß"));
        QVERIFY(rig.Writing().isEmpty());
        const char *const outside[] = {"UserNameLabel", "PasswordLabel", "AltPasswordLabel"};
        QCOMPARE(rig.NotIn(Red, outside), QStringList());
        QCOMPARE(rig.NotIn(Red, RowLabels).size(), int(std::size(RowLabels)) - 3);
        QCOMPARE(phone->palette().color(QPalette::Text), Red);

        // Editing a row puts its colours back; what the unit can take is sent as shown.
        password->setText(QStringLiteral("пароль€№"));
        user->setText(QStringLiteral("uzytkownik™"));
        rig.Edit("AltPasswordEdit")->setText(QStringLiteral("пасс"));
        QTest::keyClick(phone, Qt::Key_Backspace);
        QVERIFY(phone->palette().color(QPalette::Text) != Red);
        QCOMPARE(rig.NotIn(Red, RowLabels).size(), int(std::size(RowLabels)));
        const QStringList sent = rig.Writing();
        QCOMPARE(sent.size(), 21);
        for (const QString &expected :
             {QStringLiteral("+gprspswdпароль€№"), QStringLiteral("+gprsnameuzytkownik™"),
              QStringLiteral("+gprspsw1пасс"), QStringLiteral("+alphon1+7900")})
            QVERIFY2(sent.contains(QString::fromLatin1(EncodeCp1251(expected))),
                     qPrintable(expected));
        QCOMPARE(rig.Sim.setting("gprspswd"), EncodeCp1251(QStringLiteral("пароль€№")));
        QCOMPARE(rig.NotIn(Green, RowLabels), QStringList());
    }
};

QTEST_MAIN(TestGPRSPage)
#include "tst_gprspage.moc"
