#include "TestConfigDir.h"
#include "WidgetDriver.h"
#include "history/UnitHistoryFrame.h"
#include "main/CommandEngine.h"
#include "main/LogView.h"
#include "main/Main.h"
#include "main/MainConst.h"
#include "main/fAbout.h"
#include "pages/PageData.h"

#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

namespace {

const QString kVersion = QStringLiteral("1.0.1.39");

QAction *Action(const QWidget &form, const char *name)
{
    return FindAction(form, name);
}

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void firstStartShowsTheDefaults()
    {
        {
            TMainForm form(kVersion);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));

            QCOMPARE(form.windowTitle(),
                     QStringLiteral("Программа настройки Kalmir 9 CAN ver. 1.0.1.39"));
            QVERIFY(form.CurrentFrame);
            QCOMPARE(form.CurrentFrame->Tag(), 0);
            QVERIFY(form.CurrentFrame->isVisible());
            auto *panelLog = form.findChild<QWidget *>(QStringLiteral("PanelLog"));
            QVERIFY(panelLog->isVisible());
            QCOMPARE(panelLog->height(), 170);
            QCOMPARE(form.findChild<QTreeWidget *>(QStringLiteral("LogTree"))->topLevelItemCount(),
                     0);

            QVERIFY(Action(form, "ConnectAction")->isEnabled());
            for (const char *name : {"DisconnectAction", "ReadPageAction", "WritePageAction",
                                     "ReadAllPagesAction", "WriteAllPagesAction", "ChangeFirmware"})
                QVERIFY2(!Action(form, name)->isEnabled(), name);
            QCOMPARE(Action(form, "ConnectAction")->shortcut(), QKeySequence(0x4000043));
            QCOMPARE(Action(form, "DisconnectAction")->shortcut(), QKeySequence(0x4000044));
            for (const char *name : {"AutoScrollAction", "AutoExpandAction", "LogIsVisibleAction"})
                QVERIFY2(Action(form, name)->isChecked(), name);
            QVERIFY(!form.findChild<QMenu *>(QStringLiteral("MFile"))->menuAction()->isVisible());
            QVERIFY(!form.findChild<QMenu *>(QStringLiteral("MMGeneralSettings"))
                         ->menuAction()
                         ->isVisible());
            QCOMPARE(form.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text(),
                     QStringLiteral("Порт: "));
            QCOMPARE(form.findChild<QLabel *>(QStringLiteral("StatusPanel5"))->text(),
                     QStringLiteral("IMEI: "));

            QCOMPARE(form.Frames[8]->objectName(), QStringLiteral("TouchMemKeysFrame"));
            QVERIFY(!form.Frames[5]->findChild<QWidget *>(QStringLiteral("StandartSetSheet")));
        }
        // Exit wrote every caption with its default, and the window state.
        QSettings raw = RawStore();
        for (const TCaptionPair &pair : MainConst::MainCaptions)
            QCOMPARE(
                raw.value(QStringLiteral("MainForm/") + QString::fromLatin1(pair.Ident)).toString(),
                QString::fromUtf8(pair.Default));
        QCOMPARE(raw.value(QStringLiteral("MainForm/LOGHEIGHT")).toInt(), 170);
        QCOMPARE(raw.value(QStringLiteral("VERINFO/ver")).toString(), kVersion);
    }

    void storeSurvivesTheSameVersionAndIsWipedByAnother()
    {
        {
            TMainForm form(kVersion);
        }
        Store(QStringLiteral("MainForm/ALHistory"), QStringLiteral("Журнал"));
        Store(QStringLiteral("History/GRID1/Col0"), 77);
        {
            TMainForm form(kVersion);
            QCOMPARE(Action(form, "HistoryAction")->text(), QStringLiteral("Журнал"));
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/ALHistory")), QStringLiteral("Журнал"));
        QCOMPARE(Stored(QStringLiteral("History/GRID1/Col0")), QStringLiteral("77"));
        {
            TMainForm form(QStringLiteral("1.0.2.0"));
            QCOMPARE(Action(form, "HistoryAction")->text(), QStringLiteral("История"));
            QVERIFY(!RawStore().childGroups().contains(QStringLiteral("History")));
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/ALHistory")), QStringLiteral("История"));
        QCOMPARE(Stored(QStringLiteral("VERINFO/ver")), QStringLiteral("1.0.2.0"));
    }

    void damagedStoreNeverStopsTheStart()
    {
        {
            TMainForm form(kVersion);
        }
        Store(QStringLiteral("MainForm/LOGHEIGHT"), QStringLiteral("tall"));
        Store(QStringLiteral("MainForm/LOGVISIBLE"), QStringLiteral("maybe"));
        Store(QStringLiteral("MainForm/Caption"), QStringLiteral("Версия %d из %s"));
        Store(QStringLiteral("MainForm/MSBCom"), QStringLiteral("Порт %s %s"));
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.findChild<QWidget *>(QStringLiteral("PanelLog"))->height(), 170);
        QVERIFY(Action(form, "LogIsVisibleAction")->isChecked());
        QCOMPARE(form.windowTitle(), QStringLiteral("Версия %d из %s"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text(),
                 QStringLiteral("Порт %s %s"));
    }

    void logActionsWorkOnTheLogTree()
    {
        {
            TMainForm form(kVersion);
        }
        Store(QStringLiteral("MainForm/LOGAUTOEXPAND"), 0);
        Store(QStringLiteral("MainForm/LOGVISIBLE"), 0);
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *panelLog = form.findChild<QWidget *>(QStringLiteral("PanelLog"));
        auto *tree = form.findChild<QTreeWidget *>(QStringLiteral("LogTree"));
        QVERIFY(!form.Log().AutoExpand);
        QVERIFY(form.Log().AutoScroll);
        QVERIFY(!panelLog->isVisible());
        Action(form, "LogIsVisibleAction")->trigger();
        QVERIFY(panelLog->isVisible());
        Action(form, "AutoExpandAction")->trigger();
        QVERIFY(form.Log().AutoExpand);

        form.Log().LogPortEvent(QStringLiteral("Порт открыт успешно"));
        Action(form, "ClearLogAction")->trigger();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString());
        form.Log().LogPortWrite(QStringLiteral("+v"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    }

    void windowStateComesBack()
    {
        {
            TMainForm form(kVersion);
            form.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/FORMSTATE")), QStringLiteral("2"));
        {
            TMainForm form(kVersion);
            QVERIFY(form.windowState() & Qt::WindowMaximized);
            form.setWindowState(Qt::WindowNoState);
            form.show();
            form.showMinimized();
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/FORMSTATE")), QStringLiteral("0"));
        TMainForm form(kVersion);
        QCOMPARE(form.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized),
                 Qt::WindowStates());
    }

    void pagesSwitchAndHistoryKeysActOnlyThere()
    {
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const char *pageActions[] = {
            "GeneralSettingAction", "GPRSSettingAction", "GPSSettingAction",
            "EventSettingAction",   "FlagsAction",       "CANSettingAction",
            "HistoryAction",        "EngNumbersAction",  "TouchMemoryKeysAction"};
        for (int tag = 0; tag < TMainForm::FrameCount; ++tag) {
            Action(form, pageActions[tag])->trigger();
            QCOMPARE(form.CurrentFrame->Tag(), tag);
            for (int other = 0; other < TMainForm::FrameCount; ++other)
                QCOMPARE(form.Frames[other]->isVisible(), other == tag);
        }

        auto *history = static_cast<THistoryFrame *>(form.Frames[6]);
        // The raw view starts hidden; Ctrl+Alt+H swaps the two views on the history page only.
        Action(form, "GeneralSettingAction")->trigger();
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(history->Panel2()->isHidden());
        QVERIFY(!history->Panel3()->isHidden());

        Action(form, "HistoryAction")->trigger();
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!history->Panel2()->isHidden());
        QVERIFY(history->Panel3()->isHidden());
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(history->Panel2()->isHidden());
        PressKey(form, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(history->Panel2()->isHidden());
    }

    void escapeActsByState()
    {
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TCommandEngine &engine = form.Engine();
        QVERIFY(engine.BeginTransfer(StateWriting));
        PressKey(form, Qt::Key_Escape);
        QCOMPARE(engine.State, uint8_t(StateWriting));
        engine.EndTransfer();

        QVERIFY(engine.BeginTransfer(StateReading));
        PressKey(form, Qt::Key_Escape);
        QCOMPARE(engine.State, uint8_t(StateConnected));
        QVERIFY(engine.Done());
        engine.EndTransfer();
        QCOMPARE(engine.State, uint8_t(StateIdle));
    }

    void closeWaitsForAPendingReply()
    {
        auto form = std::make_unique<TMainForm>(kVersion);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->EnterWait();
        form->EnterWait();
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QVERIFY(!RawStore().contains(QStringLiteral("MainForm/Caption")));
        form->LeaveWait();
        QCoreApplication::processEvents();
        QVERIFY(form->isVisible());
        form->LeaveWait();
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(RawStore().contains(QStringLiteral("MainForm/Caption")));
    }

    void pageDataIsOneBasedAndMayBeUnassigned()
    {
        TPageData none;
        QVERIFY(!none.IsAssigned());
        QCOMPARE(none.RowCount(), 0);
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, none(1, 1));

        TPageData v(3, 2);
        QVERIFY(v.IsAssigned());
        QCOMPARE(v(3, 2), QVariant(0));
        v(1, 1) = QStringLiteral("OK");
        v(3, 2) = 1;
        QCOMPARE(v(1, 1).toString(), QStringLiteral("OK"));
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, v(0, 1));
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, v(4, 1));
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, v(1, 3));
        QVERIFY(!TPageData(0, 3).IsAssigned());

        // A frame with nothing to send leaves the write form unassigned.
        TPageFrame rowless(8, QStringLiteral("Rowless"));
        rowless.GetPageData(v);
        QVERIFY(!v.IsAssigned());
    }

    void aboutBoxLinksToTheMakersSite()
    {
        TFormAbout about;
        about.show();
        QCOMPARE(about.size(), QSize(269, 225));
        const QUrl link(about.LinkAddress());
        QVERIFY(link.isValid());
        QVERIFY(link.scheme().startsWith(QLatin1String("http")));
        QVERIFY(!link.host().isEmpty());
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
        QVERIFY(!about.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().isNull());
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("Label1"))
                    ->text()
                    .contains(TMainForm::ProgramFileVersion()));
    }
};

QTEST_MAIN(MainFormTest)
#include "tst_mainform.moc"
