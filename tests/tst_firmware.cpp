// The firmware dialog against the simulated unit's boot loader, with images the tests make: the
// image the unit stores equals the source, refused blocks and signatures are sent again, an upload
// that broke off goes on from its first unacknowledged block, and nothing reaches a unit whose
// boot loader did not start or with an image that is damaged.

#include "HexImages.h"
#include "SimConnection.h"
#include "TestConfigDir.h"
#include "WidgetDriver.h"
#include "firmware/UpdateFirmwareFormUnit.h"
#include "main/Main.h"
#include "main/MainConnection.h"

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

void WriteLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
}

// A folder of carried images as a build holds them: the list and one image per memory chip.
struct TCarriedFolder
{
    QTemporaryDir Dir;
    explicit TCarriedFolder(const QString &version = QStringLiteral("REV 07.505.030"))
    {
        WriteLines(Path(QStringLiteral("LIST")),
                   {QStringLiteral("VER=") + version, QStringLiteral("AT=AT4507504038"),
                    QStringLiteral("M=M4507505030")});
        WriteLines(Path(QStringLiteral("AT4507504038")), imageLines(kAtImage, 16));
        WriteLines(Path(QStringLiteral("M4507505030")), imageLines(kMImage, 16));
    }
    QString Path(const QString &name) const { return Dir.filePath(name); }
};

TFirmwareTimings FastTimings()
{
    TFirmwareTimings t;
    t.StartPollMs = t.ErasePollMs = t.BlockPollMs = t.FinishPollMs = 2;
    t.FinishPauseMs = t.FinishRetryPauseMs = 2;
    t.BootLoaderStartMs = t.VersionAnswerMs = t.EraseMs = 300;
    t.BlockTimeoutMs = 100;
    t.FinishTimeoutMs = 300;
    return t;
}

int Count(const unitsim::UnitSimulator &sim, const QString &prefix)
{
    int n = 0;
    for (const QString &text : Sent(sim))
        n += text.startsWith(prefix) ? 1 : 0;
    return n;
}

// The dialog on a device object of its own, opened on the simulated unit.
struct TRig
{
    TCarriedFolder Carried;
    QTemporaryDir Work;
    unitsim::UnitSimulator Sim;
    std::unique_ptr<TDevice> Device;
    std::unique_ptr<TChangeFirmwareForm> Form;
    int ResumeBlock = -1;
    QStringList Messages;

    explicit TRig(const unitsim::UnitSimOptions &options = CableUnit())
    {
        QVERIFY(Sim.start(options));
        Device = std::make_unique<TDevice>(nullptr, MakeNewInDcb(Sim.portPath(), 19200, 0, 8, 0));
        FastControlLines(*Device);
        Device->SetComActive(true);
        QVERIFY(Device->ComActive());
    }

    TChangeFirmwareForm &Open(const QString &memory = QStringLiteral("AT45DB161D"),
                              const QString &firmware = QStringLiteral("REV 07.505.017"),
                              const QStringList &arguments = {QStringLiteral("w9"),
                                                              QStringLiteral("/A")})
    {
        Form = std::make_unique<TChangeFirmwareForm>(firmware, memory, ResumeBlock, nullptr,
                                                     arguments);
        Form->ImageFolder = Carried.Dir.path();
        Form->MessageHook = [this](const QString &text) { Messages << text; };
        Form->Update().Timings = FastTimings();
        Form->Update().ResumeFile = TResumeFile(Work.filePath(QStringLiteral("~fw.tmp")));
        Form->AttachDevice(Device.get());
        return *Form;
    }
    QPushButton *Button(const char *name) const
    {
        return Form->findChild<QPushButton *>(QLatin1String(name));
    }
    // Shows the dialog modally and presses `button` in it; the dialog's result.
    int Run(const char *button = "BChangeFirmware")
    {
        QTimer::singleShot(0, Form.get(), [this, button] {
            if (button)
                Button(button)->click();
        });
        return Form->exec();
    }
    bool FileKept() const { return Form->Update().ResumeFile.Exists(); }
};

void SetFaults(unitsim::UnitSimulator &sim, const std::function<void(unitsim::UnitSimFaults &)> &f)
{
    unitsim::UnitSimFaults faults;
    f(faults);
    sim.setFaults(faults);
}

// Runs `act` on the next modal dialog of type T once it shows.
template <typename T> void OnModal(std::function<void(T *)> act, int attempts = 500)
{
    QTimer::singleShot(10, [act, attempts] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget()))
            act(dialog);
        else if (attempts > 0)
            OnModal<T>(act, attempts - 1);
    });
}

// Records the single-command service's answers.
struct TRequester : QObject
{
    QList<int> Statuses;
    void customEvent(QEvent *e) override
    {
        if (e->type() == WM_COMMANDDONE)
            Statuses << static_cast<TCommandDoneEvent *>(e)->Record.Status;
    }
};

// The main window on the simulated unit, its firmware dialog using the test's images.
struct TWindow
{
    TCarriedFolder Carried;
    unitsim::UnitSimulator Sim;
    TMainForm Form{QStringLiteral("1.0.0.0")};
    QStringList Messages;

    TWindow()
    {
        QVERIFY(Sim.start(CableUnit()));
        SpeedUp(Form.Engine(), Form.Connection());
        Form.MessageHook = [this](const QString &text, bool) { Messages << text; };
        Form.FirmwareImageFolder = Carried.Dir.path();
        Form.FirmwareTimings = FastTimings();
        Form.show();
    }
    void Connect()
    {
        TConnectChoice choice;
        choice.PortName = Sim.portPath();
        Form.Connection().Connect(choice);
    }
    QAction *ChangeFirmware() const { return FindAction(Form, "ChangeFirmware"); }
    bool Disconnected()
    {
        return FindAction(Form, "ConnectAction")->isEnabled() && Form.Engine().Device.isNull();
    }
};

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
        const auto label = [&rig](const char *name) {
            return rig.Form->findChild<QLabel *>(QLatin1String(name))->text();
        };
        const struct
        {
            QString memory, firmware, shows, offers;
            bool enabled;
            QStringList arguments;
        } cases[] = {
            {"AT45DB161D",
             "REV 07.505.017",
             "REV 07.505.017",
             "REV 07.505.030",
             true,
             {"w9", "/a"}},
            {"M45PE16", "REV 07.505.031", "REV 07.505.031", "REV 07.505.030", false, {"w9"}},
            // a unit this run has not identified: no version, no chip, no image
            {"", "", "00.000.000", "Нет доступной прошивки", false, {"w9", "/B"}},
        };
        for (const auto &c : cases) {
            rig.Open(c.memory, c.firmware, c.arguments).show();
            QCOMPARE(label("LCurVer"), c.shows);
            QCOMPARE(label("LIntVer"), c.offers);
            QCOMPARE(rig.Button("BChangeFirmware")->isEnabled(), c.enabled);
            QCOMPARE(rig.Button("Button1")->isVisible(),
                     c.arguments.size() > 1 && c.arguments[1] == QLatin1String("/a"));
        }
        // a build without images, and a carried image that is damaged
        rig.Open().ImageFolder = rig.Work.path();
        rig.Form->show();
        QCOMPARE(label("LIntVer"), QStringLiteral("Нет доступной прошивки"));
        QStringList damaged = imageLines(kAtImage, 16);
        damaged[99].replace(20, 1, QLatin1Char(damaged[99][20] == QLatin1Char('0') ? '1' : '0'));
        WriteLines(rig.Carried.Path(QStringLiteral("AT4507504038")), damaged);
        rig.Open().show();
        QVERIFY(!rig.Button("BChangeFirmware")->isEnabled());
        QVERIFY(rig.Messages.value(0).contains(QStringLiteral("line 100")));
        QCOMPARE(rig.Sim.commandCount(), 0);
    }

    void updateWritesTheImageTheChipNeeds_data()
    {
        QTest::addColumn<QString>("memory");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("errorEvery");
        QTest::newRow("AT, 809 blocks") << "AT45DB161D" << kAtImage << 0;
        QTest::newRow("M, 1011 blocks, refused blocks") << "M45PE16" << kMImage << 7;
    }
    void updateWritesTheImageTheChipNeeds()
    {
        QFETCH(QString, memory);
        QFETCH(QByteArray, image);
        QFETCH(int, errorEvery);
        TRig rig;
        SetFaults(rig.Sim, [&](auto &f) { f.errorEveryNthBlock = errorEvery; });
        TChangeFirmwareForm &form = rig.Open(memory);
        // Nothing starts a second update or closes the dialog while one runs.
        bool checked = false;
        const auto progress = form.Update().OnProgress;
        form.Update().OnProgress = [&](int position, int maximum) {
            progress(position, maximum);
            if (position != 3 || checked)
                return;
            checked = true;
            QVERIFY(!rig.Button("BChangeFirmware")->isEnabled() &&
                    !rig.Button("BExit")->isEnabled() && !rig.Button("Button1")->isEnabled());
            QTest::keyClick(&form, Qt::Key_Escape);
            form.close();
            QVERIFY(form.isVisible());
        };
        rig.ResumeBlock = 500; // left from an earlier upload
        QCOMPARE(rig.Run(), int(QDialog::Accepted));
        QVERIFY(checked);
        QCOMPARE(rig.Sim.upgradesCompleted(), 1);
        QCOMPARE(rig.Sim.receivedImage(), image);
        QCOMPARE(rig.Sim.blocksRefused() > 0, errorEvery > 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Успешно"));
        QVERIFY(rig.Messages.isEmpty());
        QCOMPARE(rig.ResumeBlock, -1);
        QVERIFY(!rig.FileKept());
    }

    void finishIsRetriedThenGivenUp()
    {
        const struct
        {
            int refused;
            bool silent;
            int sends;
            QString message;
        } cases[] = {
            {1, false, 2, {}},
            {11, false, 11, "Ошибка, попробуем еще 0 раз"},
            {0, true, 1, "Нет ответа от порта более 20 секунд"},
        };
        for (const auto &c : cases) {
            unitsim::UnitSimOptions options = CableUnit();
            options.startInBootLoader = true;
            options.faults.refusedSignatures = c.refused;
            if (c.silent)
                options.faults.neverAnswer = QStringList{QStringLiteral("+EE")};
            TRig rig(options);
            const TBlockList blocks = HexImageToBlocks(imageLines(kFileImage.left(8 * 128), 16));
            const bool done = rig.Open().Update().Update(blocks);
            QCOMPARE(done, c.message.isEmpty());
            QCOMPARE(Count(rig.Sim, QStringLiteral("+EE")), c.sends);
            QCOMPARE(rig.Form->Update().FailureText, c.message);
            // a unit that has every block but did not confirm keeps its resume
            QCOMPARE(rig.ResumeBlock, done ? -1 : 8);
            QCOMPARE(rig.FileKept(), !done);
        }
    }

    void nothingIsWrittenUnlessTheBootLoaderRunsAndErased()
    {
        const struct
        {
            bool inBootLoader, fails;
            const char *silentOn;
            QString message;
            int erases;
        } cases[] = {
            {false, true, "", "Не удалось запустить boot loader", 0},
            {true, false, "+v", "Не удалось запустить boot loader", 0},
            {true, false, "+BE", "Boot loader не подтвердил очистку flash", 1},
        };
        for (const auto &c : cases) {
            unitsim::UnitSimOptions options = CableUnit();
            options.startInBootLoader = c.inBootLoader;
            options.faults.bootLoaderFails = c.fails;
            if (*c.silentOn)
                options.faults.neverAnswer = QStringList{QString::fromLatin1(c.silentOn)};
            TRig rig(options);
            rig.Open();
            QCOMPARE(rig.Run(), int(QDialog::Accepted)); // the main window disconnects
            QCOMPARE(rig.Messages, QStringList{c.message});
            QCOMPARE(Count(rig.Sim, QStringLiteral("+BE")), c.erases);
            QCOMPARE(Count(rig.Sim, QStringLiteral("+W")) + Count(rig.Sim, QStringLiteral("+EE")),
                     0);
        }
    }

    void aDamagedFileIsRefusedWithNothingSent()
    {
        TRig rig;
        const QStringList good = imageLines(kFileImage, 16);
        const struct
        {
            const char *fault;
            std::function<void(QStringList &)> spoil;
            QString line;
        } cases[] = {
            {"checksum", [](QStringList &l) { l[7].replace(l[7].size() - 2, 2, "00"); }, "line 8"},
            {"gap", [](QStringList &l) { l.removeAt(30); }, "line 31"},
            {"partial block", [](QStringList &l) { l.removeLast(); }, "line 319"},
        };
        const QString path = rig.Work.filePath(QStringLiteral("image.hex"));
        rig.Open().ChooseFileHook = [&path] { return path; };
        for (const auto &c : cases) {
            QStringList lines = good;
            c.spoil(lines);
            WriteLines(path, lines);
            rig.Messages.clear();
            rig.Button("Button1")->click();
            QVERIFY2(rig.Messages.value(0).contains(c.line), c.fault);
            QVERIFY(rig.Button("BExit")->isEnabled());
        }
        QCOMPARE(rig.Sim.commandCount(), 0);
        // the sound file goes to the unit as it is
        WriteLines(path, good);
        QCOMPARE(rig.Run("Button1"), int(QDialog::Accepted));
        QCOMPARE(rig.Sim.receivedImage(), kFileImage);
    }

    void aBrokenOffUploadResumesWithItsOwnBlocks_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<int>("acknowledged");
        QTest::newRow("carried, silent after the erase") << false << 0;
        QTest::newRow("from a file, silent after 5 blocks") << true << 5;
    }
    void aBrokenOffUploadResumesWithItsOwnBlocks()
    {
        QFETCH(bool, fromFile);
        QFETCH(int, acknowledged);
        TRig rig;
        const QString path = rig.Work.filePath(QStringLiteral("image.hex"));
        WriteLines(path, imageLines(kFileImage, 16));
        rig.Open().ChooseFileHook = [&path] { return path; };
        rig.ResumeBlock = 500;
        SetFaults(rig.Sim, [&](auto &f) { f.silentAfterCommands = 3 + acknowledged; });
        QCOMPARE(rig.Run(fromFile ? "Button1" : "BChangeFirmware"), int(QDialog::Accepted));
        QCOMPARE(rig.ResumeBlock, acknowledged);
        QVERIFY(rig.Messages.value(0).contains(
            QStringLiteral("нет ответа на блок %1").arg(acknowledged + 1)));
        QVERIFY(rig.FileKept());

        // The unit answers again from its boot loader: the upload goes on where it stopped.
        rig.Sim.setFaults({});
        rig.Sim.clearLog();
        TChangeFirmwareForm &form = rig.Open();
        form.Resume = true;
        form.NextBlock = rig.ResumeBlock;
        QCOMPARE(rig.Run(nullptr), int(QDialog::Accepted));
        QCOMPARE(Sent(rig.Sim).value(0).left(6),
                 QStringLiteral("+W") + IntToHex(acknowledged * 8, 4));
        QCOMPARE(rig.Sim.receivedImage(), fromFile ? kFileImage : kAtImage);
        QVERIFY(!rig.FileKept());

        // Nothing is left to resume.
        rig.Open().Resume = true;
        rig.Form->NextBlock = rig.ResumeBlock;
        rig.Form->show();
        QTRY_COMPARE(rig.Messages.value(1),
                     QStringLiteral("Не могу продолжить прерванную прошивку!!!"));
        QVERIFY(rig.Form->isVisible());
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
        TWindow w;
        QVERIFY(!w.ChangeFirmware()->isEnabled());
        w.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(w.ChangeFirmware()->isEnabled() && !w.Form.Engine().IsPending(),
                                 5000);
        SetFaults(w.Sim, [&](auto &f) {
            f.silentAfterCommands = silentAfterBlocks ? 3 + silentAfterBlocks : 0;
            f.refusedSignatures = refusedSignatures;
        });
        // While the dialog is open only it talks to the unit.
        TRequester requester;
        const auto checkHandOver = [&](TChangeFirmwareForm *) {
            const int heard = w.Sim.commandCount();
            PostExecCommand(&w.Form, 137, &requester);
            QTRY_COMPARE(requester.Statuses, QList<int>{0});
            QVERIFY(w.Form.Engine().SendingSuspended());
            QVERIFY(!w.Form.Engine().Device->WakeUp());
            QCOMPARE(w.Sim.commandCount(), heard);
            requester.Statuses.clear();
        };
        OnModal<TChangeFirmwareForm>([&](TChangeFirmwareForm *dialog) {
            checkHandOver(dialog);
            dialog->findChild<QPushButton *>(QStringLiteral("BChangeFirmware"))->click();
        });
        w.ChangeFirmware()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w.Disconnected(), 5000);
        QCOMPARE(w.Form.FirmwareResumeBlock, resumeBlock);
        QCOMPARE(w.Messages, QStringList{message});
        QCOMPARE(w.Sim.upgradesCompleted(), 0);

        // It answers from its boot loader: the window gives up its connect command and the
        // dialog goes on where the upload stopped.
        w.Sim.setFaults({});
        w.Sim.clearLog();
        OnModal<TChangeFirmwareForm>(checkHandOver);
        w.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(w.Sim.upgradesCompleted() == 1 && w.Disconnected(), 10000);
        QCOMPARE(w.Sim.receivedImage(), kAtImage);
        const QStringList sent = Sent(w.Sim);
        QCOMPARE(sent.size(), 809 - resumeBlock + 3);
        QCOMPARE(sent.value(0), QStringLiteral("CABLE CONNECT"));
        QVERIFY(sent.value(1).startsWith(resumeBlock < 809 ? "+W0028" : "+EE"));
        QCOMPARE(sent.last(), QStringLiteral("CABLE DISCONNECT"));
        QCOMPARE(w.Form.FirmwareResumeBlock, -1);
        QCOMPARE(w.Messages.size(), 1);
    }
};

QTEST_MAIN(FirmwareTest)
#include "tst_firmware.moc"
