// The firmware dialog against the simulated unit's boot loader, with images the tests make: the
// image the unit stores equals the source, refused blocks and signatures are sent again, an upload
// that broke off goes on from its first unacknowledged block with its own blocks, and nothing is
// written to a unit whose boot loader did not start or erase, nor from a damaged image.

#include "HexImages.h"
#include "KeyPagesWindow.h"
#include "SimConnection.h"
#include "TestConfigDir.h"
#include "WidgetDriver.h"
#include "firmware/UpdateFirmwareFormUnit.h"
#include "main/Main.h"

#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <memory>

namespace {

// Opaque data, as a unit's image is to the program.
QByteArray Noise(int blocks, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray data(blocks * 128, Qt::Uninitialized);
    for (char &b : data)
        b = char(random.bounded(256));
    return data;
}

const QByteArray kAtImage = Noise(809, 1);
const QByteArray kMImage = Noise(1011, 2);
const QByteArray kFileImage = Noise(40, 3);

bool WriteLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n") > 0;
}

TFirmwareTimings FastTimings()
{
    TFirmwareTimings t;
    t.StartPollMs = t.ErasePollMs = t.BlockPollMs = t.FinishPollMs = 2;
    t.FinishPauseMs = t.FinishRetryPauseMs = 2;
    // Limits only the silent cases wait out; a loaded machine still answers well within them.
    t.BootLoaderStartMs = t.VersionAnswerMs = t.EraseMs = t.FinishTimeoutMs = 1000;
    t.BlockTimeoutMs = 400;
    return t;
}

int Count(const unitsim::UnitSimulator &sim, const char *prefix)
{
    return int(Sent(sim).filter(QRegularExpression(QStringLiteral("^\\") + prefix)).size());
}

// The unit on a pseudo-terminal, the folder of carried images as a build holds them, and the
// dialog on a device object of its own.
struct TRig
{
    QTemporaryDir Work;
    unitsim::UnitSimulator Sim;
    std::unique_ptr<TDevice> Device;
    std::unique_ptr<TChangeFirmwareForm> Form;
    int ResumeBlock = -1;
    QStringList Messages;
    bool Ready = false; // the images written and the unit started

    explicit TRig(const unitsim::UnitSimOptions &options = CableUnit())
    {
        Ready =
            WriteLines(Path("LIST"), {"VER=REV 07.505.030", "AT=AT4507504038", "M=M4507505030"}) &&
            WriteLines(Path("AT4507504038"), imageLines(kAtImage, 16)) &&
            WriteLines(Path("M4507505030"), imageLines(kMImage, 16)) &&
            WriteLines(Path("file.hex"), imageLines(kFileImage, 16)) && Sim.start(options);
    }
    QString Path(const char *name) const { return Work.filePath(QLatin1String(name)); }

    TChangeFirmwareForm &Open(const QString &memory = "AT45DB161D",
                              const QString &firmware = "REV 07.505.017",
                              const QStringList &arguments = {"w9", "/A"})
    {
        if (!Device) {
            Device =
                std::make_unique<TDevice>(nullptr, MakeNewInDcb(Sim.portPath(), 19200, 0, 8, 0));
            FastControlLines(*Device);
            Device->SetComActive(true);
        }
        Form = std::make_unique<TChangeFirmwareForm>(firmware, memory, ResumeBlock, nullptr,
                                                     arguments);
        Form->ImageFolder = Work.path();
        Form->MessageHook = [this](const QString &text) { Messages << text; };
        Form->ChooseFileHook = [this] { return Path("file.hex"); };
        Form->Update().Timings = FastTimings();
        Form->Update().ResumeFile = TResumeFile(Path("~fw.tmp"));
        Form->AttachDevice(Device.get());
        return *Form;
    }
    QPushButton *Button(const char *name) const
    {
        return Form->findChild<QPushButton *>(QLatin1String(name));
    }
    // Shows the dialog modally, presses `button` in it and gives the dialog's result.
    int Run(const char *button)
    {
        QTimer::singleShot(0, Form.get(), [this, button] {
            if (button)
                Button(button)->click();
        });
        return Form->exec();
    }
    bool FileKept() const { return QFile::exists(Path("~fw.tmp")); }
};

// Runs `act` on the next modal firmware dialog once it shows.
void OnDialog(QObject *context, const std::function<void(TChangeFirmwareForm *)> &act)
{
    const auto dialog = [] {
        return qobject_cast<TChangeFirmwareForm *>(QApplication::activeModalWidget());
    };
    AfterThat(
        context, [dialog] { return dialog() != nullptr; }, [dialog, act] { act(dialog()); });
}

} // namespace

class FirmwareTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void openingOffersTheImageThatFitsTheUnit()
    {
        TRig rig;
        QVERIFY(rig.Ready);
        const auto label = [&rig](const char *name) {
            return rig.Form->findChild<QLabel *>(QLatin1String(name))->text();
        };
        const struct
        {
            QString memory, firmware, shows, offers, argument;
            bool enabled;
        } cases[] = {
            {"AT45DB161D", "REV 07.505.017", "REV 07.505.017", "REV 07.505.030", "/a", true},
            {"M45PE16", "REV 07.505.031", "REV 07.505.031", "REV 07.505.030", "", false},
            // a unit this run has not identified: no version, no chip, no image
            {"", "", "00.000.000", "Нет доступной прошивки", "/B", false},
        };
        for (const auto &c : cases) {
            rig.Open(c.memory, c.firmware, {"w9", c.argument}).show();
            QCOMPARE(label("LCurVer"), c.shows);
            QCOMPARE(label("LIntVer"), c.offers);
            QCOMPARE(rig.Button("BChangeFirmware")->isEnabled(), c.enabled);
            QCOMPARE(rig.Button("Button1")->isVisible(), c.argument == "/a");
        }
        // a carried image that is damaged is not offered, a damaged file is refused before
        // anything is sent
        QStringList damaged = imageLines(kAtImage, 16);
        damaged[99][20] = QLatin1Char(damaged[99][20] == QLatin1Char('0') ? '1' : '0');
        QVERIFY(WriteLines(rig.Path("AT4507504038"), damaged));
        rig.Open().show();
        QVERIFY(!rig.Button("BChangeFirmware")->isEnabled());
        QVERIFY(rig.Messages.value(0).contains(QStringLiteral("line 100")));
        QStringList lines = imageLines(kFileImage, 16);
        lines.removeAt(30); // each way a file can be damaged is the image check's test
        QVERIFY(WriteLines(rig.Path("file.hex"), lines));
        rig.Messages.clear();
        rig.Button("Button1")->click();
        QVERIFY(rig.Messages.value(0).contains(QStringLiteral("line 31")));
        QVERIFY(rig.Button("BExit")->isEnabled());
        QCOMPARE(rig.Sim.commandCount(), 0);
    }

    // The M chip's image, with refused blocks sent again (the AT chip's is the main window
    // test's); then a broken-off upload resumes with its own blocks.
    void updateWritesTheImageTheChipNeeds()
    {
        TRig rig;
        QVERIFY(rig.Ready);
        unitsim::UnitSimFaults faults;
        faults.errorEveryNthBlock = 7;
        rig.Sim.setFaults(faults);
        TChangeFirmwareForm &form = rig.Open("M45PE16");
        // Nothing starts a second update or closes the dialog while one runs.
        bool checked = false, buttonsOff = false, stayedOpen = false;
        const auto progress = form.Update().OnProgress;
        form.Update().OnProgress = [&](int position, int maximum) {
            progress(position, maximum);
            if (position != 3 || std::exchange(checked, true))
                return;
            buttonsOff = !rig.Button("BChangeFirmware")->isEnabled() &&
                         !rig.Button("BExit")->isEnabled() && !rig.Button("Button1")->isEnabled();
            QTest::keyClick(&form, Qt::Key_Escape);
            form.close();
            stayedOpen = form.isVisible();
        };
        rig.ResumeBlock = 500; // left from an earlier upload
        QCOMPARE(rig.Run("BChangeFirmware"), int(QDialog::Accepted));
        QVERIFY(checked && buttonsOff && stayedOpen);
        QCOMPARE(rig.Sim.receivedImage(), kMImage);
        QCOMPARE(rig.Sim.upgradesCompleted(), 1);
        QVERIFY(rig.Sim.blocksRefused() > 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Успешно"));
        QVERIFY(rig.Messages.isEmpty());
        QCOMPARE(rig.ResumeBlock, -1);
        QVERIFY(!rig.FileKept());

        // An upload from a file breaks off right after the erase: the resume starts at block 0
        // (not where an earlier upload stopped) and sends the file's blocks, not the carried
        // image's.
        rig.Open();
        rig.ResumeBlock = 500;
        faults = {};
        faults.silentAfterCommands = 3;
        rig.Sim.setFaults(faults);
        QCOMPARE(rig.Run("Button1"), int(QDialog::Accepted));
        QCOMPARE(rig.ResumeBlock, 0);
        QCOMPARE(rig.Messages, QStringList{"Перепрошивка прервана: нет ответа на блок 1 из 40"});
        QVERIFY(rig.FileKept());

        rig.Sim.setFaults({});
        const auto resume = [&rig] {
            rig.Open().Resume = true;
            rig.Form->NextBlock = rig.ResumeBlock;
        };
        resume();
        QCOMPARE(rig.Run(nullptr), int(QDialog::Accepted));
        QCOMPARE(rig.Sim.receivedImage(), kFileImage);
        QVERIFY(!rig.FileKept());
        // nothing is left to resume: the dialog says so and stays
        resume();
        rig.Form->show();
        QTRY_COMPARE(rig.Messages.last(),
                     QStringLiteral("Не могу продолжить прерванную прошивку!!!"));
        QVERIFY(rig.Form->isVisible());
    }

    // Each step that fails says so before the dialog closes; nothing is written unless the boot
    // loader runs and has erased, and a unit that has every block keeps its resume.
    void failedStepsAreShownAndWriteNothingAhead()
    {
        const QString noStart = QStringLiteral("Не удалось запустить boot loader");
        const struct
        {
            bool inBootLoader, startFails;
            QString silentOn;
            int refusedSignatures;
            QString message;
            int erases, blocks, signatures, resumeBlock;
        } cases[] = {
            {false, true, "", 0, noStart, 0, 0, 0, -1},
            {true, false, "+v", 0, noStart, 0, 0, 0, -1},
            {true, false, "+BE", 0, "Boot loader не подтвердил очистку flash", 1, 0, 0, -1},
            {true, false, "", 11, "Ошибка, попробуем еще 0 раз", 1, 40, 11, 40},
            {true, false, "+EE", 0, "Нет ответа от порта более 20 секунд", 1, 40, 1, 40},
            {true, false, "", 1, "", 1, 40, 2, -1},
        };
        for (const auto &c : cases) {
            unitsim::UnitSimOptions options = CableUnit();
            options.startInBootLoader = c.inBootLoader;
            options.faults.bootLoaderFails = c.startFails;
            options.faults.refusedSignatures = c.refusedSignatures;
            if (!c.silentOn.isEmpty())
                options.faults.neverAnswer = QStringList{c.silentOn};
            TRig rig(options);
            QVERIFY(rig.Ready);
            rig.Open();
            QCOMPARE(rig.Run("Button1"), int(QDialog::Accepted)); // the main window disconnects
            QCOMPARE(rig.Messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
            QCOMPARE(Count(rig.Sim, "+BE"), c.erases);
            QCOMPARE(Count(rig.Sim, "+W"), c.blocks);
            QCOMPARE(Count(rig.Sim, "+EE"), c.signatures);
            QCOMPARE(rig.ResumeBlock, c.resumeBlock);
        }
    }

    void theMainWindowHandsTheLinkOverThenResumesOnTheNextConnection_data()
    {
        QTest::addColumn<int>("silentAfterBlocks");
        QTest::addColumn<int>("refusedSignatures");
        QTest::addColumn<int>("resumeBlock");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent after five blocks")
            << 5 << 0 << 5 << "Перепрошивка прервана: нет ответа на блок 6 из 809";
        // the goodbye then draws the boot loader's answer, which must not reopen the dialog
        QTest::newRow("signature refused") << 0 << 11 << 809 << "Ошибка, попробуем еще 0 раз";
    }
    void theMainWindowHandsTheLinkOverThenResumesOnTheNextConnection()
    {
        QFETCH(int, silentAfterBlocks);
        QFETCH(int, refusedSignatures);
        QFETCH(int, resumeBlock);
        QFETCH(QString, message);
        TRig rig;
        QVERIFY(rig.Ready);
        TMainForm form(QStringLiteral("1.0.0.0"));
        SpeedUp(form.Engine(), form.Connection());
        QStringList messages;
        form.MessageHook = [&messages](const QString &text, bool) { messages << text; };
        form.FirmwareSetup = {rig.Work.path(), rig.Path("~fw.tmp"), FastTimings()};
        form.show();
        QAction *change = FindAction(form, "ChangeFirmware");
        const auto connect = [&] { form.Connection().Connect({0, rig.Sim.portPath()}); };
        const auto disconnected = [&] {
            return FindAction(form, "ConnectAction")->isEnabled() && !form.Engine().Device;
        };
        connect();
        QTRY_VERIFY_WITH_TIMEOUT(change->isEnabled() && !form.Engine().IsPending(), 5000);

        unitsim::UnitSimFaults faults;
        faults.silentAfterCommands = silentAfterBlocks ? 3 + silentAfterBlocks : 0;
        faults.refusedSignatures = refusedSignatures;
        rig.Sim.setFaults(faults);
        // While the dialog is open only it talks to the unit; what does not hold is listed in
        // `talkers`.
        TAnswerCatcher requester;
        QStringList talkers;
        const auto onlyTheDialogTalks = [&](TChangeFirmwareForm *) {
            const int heard = rig.Sim.commandCount();
            PostExecCommand(&form, 137, &requester);
            if (!QTest::qWaitFor([&] { return !requester.Answers.isEmpty(); }, 5000))
                talkers << QStringLiteral("a request went unanswered");
            else if (requester.Answers.size() != 1 || requester.Answers[0].Status != 0)
                talkers << QStringLiteral("a request was carried out");
            if (form.Engine().Device->WakeUp())
                talkers << QStringLiteral("the keep-alive");
            for (const QString &text : Sent(rig.Sim).mid(heard)) // the resume may be under way
                if (!text.startsWith("+W") && !text.startsWith("+EE"))
                    talkers << text;
            requester.Answers.clear();
        };
        OnDialog(&form, [&](TChangeFirmwareForm *dialog) {
            onlyTheDialogTalks(dialog);
            dialog->findChild<QPushButton *>(QStringLiteral("BChangeFirmware"))->click();
        });
        change->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(disconnected(), 5000);
        QVERIFY2(talkers.isEmpty(), qPrintable(talkers.join(QStringLiteral(", "))));
        QCOMPARE(form.FirmwareResumeBlock, resumeBlock);
        QCOMPARE(messages, QStringList{message});
        QCOMPARE(rig.Sim.upgradesCompleted(), 0);

        // It answers from its boot loader: the window gives up its connect command and the
        // dialog goes on where the upload stopped.
        rig.Sim.setFaults({});
        QVERIFY(rig.Sim.waitForClose(2000)); // the unit has heard every command before the close
        rig.Sim.clearLog();
        OnDialog(&form, onlyTheDialogTalks);
        connect();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Sim.upgradesCompleted() == 1 && disconnected(), 10000);
        QVERIFY2(talkers.isEmpty(), qPrintable(talkers.join(QStringLiteral(", "))));
        QCOMPARE(rig.Sim.receivedImage(), kAtImage);
        QVERIFY(rig.Sim.waitForClose(2000));
        const QStringList sent = Sent(rig.Sim);
        QCOMPARE(sent.size(), 809 - resumeBlock + 3);
        QCOMPARE(sent.value(0), QStringLiteral("CABLE CONNECT"));
        QVERIFY(sent.value(1).startsWith(resumeBlock < 809 ? "+W0028" : "+EE"));
        QCOMPARE(sent.last(), QStringLiteral("CABLE DISCONNECT"));
        QCOMPARE(form.FirmwareResumeBlock, -1);
        QCOMPARE(messages.size(), 1);
    }
};

QTEST_MAIN(FirmwareTest)
#include "tst_firmware.moc"
