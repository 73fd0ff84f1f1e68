#include "CaridFixture.h"
#include "TestConfigDir.h"
#include "WidgetDriver.h"
#include "can/DMUnit.h"
#include "history/UnitHistoryFrame.h"
#include "main/CommandEngine.h"
#include "main/LogView.h"
#include "main/Main.h"
#include "main/MainConst.h"
#include "pages/PageData.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kVersion = QStringLiteral("1.0.1.39");

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void firstStartDefaultsAndTheStoreAcrossVersions()
    {
        {
            TMainForm form(kVersion);
            form.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&form));

            QVERIFY(form.windowTitle().endsWith(kVersion));
            QCOMPARE(form.CurrentFrame->Tag(), 0);
            QVERIFY(FindAction(form, "ConnectAction")->isEnabled());
            for (const char *name : {"DisconnectAction", "ReadPageAction", "WritePageAction",
                                     "ReadAllPagesAction", "WriteAllPagesAction", "ChangeFirmware"})
                QVERIFY2(!FindAction(form, name)->isEnabled(), name);
            QVERIFY(!form.findChild<QMenu *>(QStringLiteral("MFile"))->menuAction()->isVisible());
        }
        // Exit wrote the captions with their defaults, and the window state.
        const TCaptionPair &caption = MainConst::MainCaptions[0];
        QCOMPARE(Stored(QStringLiteral("MainForm/") + QString::fromLatin1(caption.Ident)),
                 QString::fromUtf8(caption.Default));
        QCOMPARE(Stored(QStringLiteral("MainForm/LOGHEIGHT")), QStringLiteral("170"));
        QCOMPARE(Stored(QStringLiteral("VERINFO/ver")), kVersion);
        QCOMPARE(Stored(QStringLiteral("MainForm/FORMSTATE")), QStringLiteral("2"));

        // The store survives the same version and is wiped by another; a window closed minimized
        // is stored as a normal one.
        Store(QStringLiteral("MainForm/ALHistory"), QStringLiteral("Журнал"));
        Store(QStringLiteral("History/GRID1/Col0"), 77);
        {
            TMainForm form(kVersion);
            QCOMPARE(FindAction(form, "HistoryAction")->text(), QStringLiteral("Журнал"));
            QVERIFY(form.windowState() & Qt::WindowMaximized);
            form.setWindowState(Qt::WindowNoState);
            form.show();
            form.showMinimized();
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/FORMSTATE")), QStringLiteral("0"));
        QCOMPARE(Stored(QStringLiteral("MainForm/ALHistory")), QStringLiteral("Журнал"));
        QCOMPARE(Stored(QStringLiteral("History/GRID1/Col0")), QStringLiteral("77"));
        {
            TMainForm form(QStringLiteral("1.0.2.0"));
            QCOMPARE(FindAction(form, "HistoryAction")->text(), QStringLiteral("История"));
            QVERIFY(!RawStore().childGroups().contains(QStringLiteral("History")));
        }
        QCOMPARE(Stored(QStringLiteral("MainForm/ALHistory")), QStringLiteral("История"));
        QCOMPARE(Stored(QStringLiteral("VERINFO/ver")), QStringLiteral("1.0.2.0"));
    }

    // Stored log settings come back, damaged ones give the default and never stop the start;
    // the log actions work on the log tree.
    void storedLogSettingsAndDamagedStoreAndLogActions()
    {
        Store(QStringLiteral("VERINFO/ver"), kVersion);
        Store(QStringLiteral("MainForm/LOGAUTOEXPAND"), 0);
        Store(QStringLiteral("MainForm/LOGHEIGHT"), QStringLiteral("tall"));
        Store(QStringLiteral("MainForm/LOGVISIBLE"), QStringLiteral("maybe"));
        Store(QStringLiteral("MainForm/Caption"), QStringLiteral("Версия %d из %s"));
        Store(QStringLiteral("MainForm/MSBCom"), QStringLiteral("Порт %s %s"));
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *panelLog = form.findChild<QWidget *>(QStringLiteral("PanelLog"));
        QCOMPARE(panelLog->height(), 170);
        QVERIFY(panelLog->isVisible());
        QVERIFY(!form.Log().AutoExpand && form.Log().AutoScroll);
        QCOMPARE(form.windowTitle(), QStringLiteral("Версия %d из %s"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text(),
                 QStringLiteral("Порт %s %s"));

        FindAction(form, "LogIsVisibleAction")->trigger();
        QVERIFY(!panelLog->isVisible());
        FindAction(form, "AutoExpandAction")->trigger();
        QVERIFY(form.Log().AutoExpand);
        form.Log().LogPortEvent(QStringLiteral("Порт открыт успешно"));
        FindAction(form, "ClearLogAction")->trigger();
        const QAbstractItemModel *lines =
            form.findChild<QAbstractItemView *>(QStringLiteral("LogTree"))->model();
        QCOMPARE(lines->rowCount(), 1);
        QCOMPARE(lines->index(0, 0).data().toString(), QString());
    }

    // The keys reach the window whatever has the focus: Ctrl+Alt+H swaps the history page's two
    // views on that page only; Esc stops a read but never a write.
    void pagesSwitchAndKeysActByPageAndState()
    {
        TMainForm form(kVersion);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        FindAction(form, "CANSettingAction")->trigger();
        QCOMPARE(form.CurrentFrame->Tag(), 5);
        for (int other = 0; other < TMainForm::FrameCount; ++other)
            QCOMPARE(form.Frames[other]->isVisible(), other == 5);

        auto *history = static_cast<THistoryFrame *>(form.Frames[6]);
        const auto rawViewShown = [&] {
            return !history->Panel2()->isHidden() && history->Panel3()->isHidden();
        };
        FindAction(form, "GeneralSettingAction")->trigger();
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(history->Panel2()->isHidden() && !history->Panel3()->isHidden());
        FindAction(form, "HistoryAction")->trigger();
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(rawViewShown());
        PressKey(form, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!rawViewShown());
        PressKey(form, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(!rawViewShown());

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

        // Page data is one-based and refuses cells outside it.
        TPageData v(3, 2);
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, v(0, 1));
        QVERIFY_THROWS_EXCEPTION(EPageDataRange, v(1, 3));

        // A frame with nothing to send leaves the write form unassigned.
        TPageFrame rowless(8, QStringLiteral("Rowless"));
        rowless.GetPageData(v);
        QVERIFY(!v.IsAssigned());
    }

    // The vehicle database is read by children started before the window and taken in as they
    // deliver it: the vehicle sheet and its lists come then. A damaged file is reported
    // once, naming it and its fault, and the program runs without the vehicle sheet.
    void vehicleDatabaseReadWhileTheWindowIsBuilt()
    {
        // A sound file, one cut to its header page, and one without SPN placements.
        for (const int file : {0, 1, 2}) {
            const bool damaged = file == 1;
            QTemporaryDir dir;
            QFile carid(dir.filePath("carid.mdb"));
            QVERIFY(carid.open(QIODevice::WriteOnly));
            QFile source(damaged ? W9_TEST_DATA_DIR "/carid-broken.mdb"
                                 : W9_TEST_DATA_DIR "/carid.mdb");
            QVERIFY(source.open(QIODevice::ReadOnly));
            carid.write(file == 2 ? CaridWithout(QStringLiteral("spn_on_pgn")) : source.readAll());
            carid.close();
            TDm dm(dir.path(), TDm::StartReading(dir.path()));
            QVERIFY(!dm.DbAvailable());
            Dm = &dm;
            MessageBoxCatcher boxes;
            {
                TMainForm form(kVersion);
                QFile errors(form.ErrorLog().Path());
                const qint64 logged = errors.size();
                form.show();
                QVERIFY(QTest::qWaitForWindowExposed(&form));
                QTRY_VERIFY(!dm.TakeInPending());
                // Only the SPN dialog misses the table; error.log names it.
                const QByteArray added = errors.open(QIODevice::ReadOnly) && errors.seek(logged)
                                             ? errors.readAll()
                                             : QByteArray();
                QCOMPARE(added.contains("spn_on_pgn"), file == 2);
                FindAction(form, "CANSettingAction")->trigger();
                QWidget *can = form.CurrentFrame;
                auto *sheets = can->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
                const int carSheet = sheets->indexOf(can->findChild<QWidget *>("CarSelectSheet"));
                QCOMPARE(sheets->isTabVisible(carSheet), !damaged);
                const auto count = [&](const char *name) {
                    return can->findChild<QComboBox *>(QString::fromLatin1(name))->count();
                };
                if (damaged) {
                    QTRY_COMPARE(boxes.Texts.size(), 1);
                    QVERIFY(boxes.Texts[0].contains(dir.filePath("carid.mdb")));
                    QVERIFY(boxes.Texts[0].contains(QStringLiteral("повреждён")));
                    QCOMPARE(count("ProdDBL"), 0);
                } else {
                    QVERIFY(boxes.Texts.isEmpty());
                    QCOMPARE(count("ProdDBL"), 11);
                    QVERIFY(count("ModelDBL") > 0 && count("YearDBL") > 0);
                }
            }
            QCOMPARE(boxes.Texts.size(), damaged ? 1 : 0); // none more at exit
            Dm = nullptr;
        }
    }

    // Children held as a slow disk or a swapping machine holds them: the window answers
    // meanwhile, and a type 505 unit's car id read in the meantime is located as soon as the
    // lists are in; the children are reaped then.
    void vehicleDatabaseFromSlowChildren()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(W9_TEST_DATA_DIR "/carid-large.mdb", dir.filePath("carid.mdb")));
        std::unique_ptr<JetImport::Reading> reading = TDm::StartReading(dir.path());
        SignalChildren(SIGSTOP);
        TDm dm(dir.path(), std::move(reading));
        Dm = &dm;
        MessageBoxCatcher boxes;
        {
            TMainForm form(kVersion);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QElapsedTimer answered;
            answered.start();
            FindAction(form, "CANSettingAction")->trigger();
            PressKey(form, Qt::Key_Tab);
            QTest::qWait(100);
            // A window that waited for the children would answer only when it gave them up,
            // after their stall limit (10 s): half of it is room enough for a busy machine.
            QVERIFY(answered.elapsed() < JetImport::Reading::StallLimitMs / 2);
            QVERIFY(dm.TakeInPending());
            auto *can = static_cast<TPageFrame *>(form.CurrentFrame);
            auto *makers = can->findChild<QComboBox *>(QStringLiteral("ProdDBL"));
            QCOMPARE(makers->count(), 0);

            form.Engine().Identity.DeviceType = 505;
            form.Engine().Identity.DeviceVersion = 18;
            TPageData read(3, 2);
            read(1, 1) = 12345;
            read(1, 2) = 1;
            read(2, 1) = QStringLiteral("000001");
            read(2, 2) = 1;
            can->SetPageData(read);
            SignalChildren(SIGCONT);
            QTRY_VERIFY_WITH_TIMEOUT(!dm.TakeInPending(), 10000);
            QVERIFY(dm.DbAvailable());
            QCOMPARE(makers->count(), 300);
            QCOMPARE(dm.CarId(), std::optional<int>(12345));
            TPageData write; // the located car is the one written
            can->GetPageData(write);
            QCOMPARE(write(1, 2).toString(), QStringLiteral("3039"));
            QVERIFY(write(1, 3).toInt() != -1);
            QVERIFY(boxes.Texts.isEmpty());
            QTRY_COMPARE(ChildProcesses(), QList<pid_t>());
        }
        Dm = nullptr;
    }
};

QTEST_MAIN(MainFormTest)
#include "tst_mainform.moc"
