// The settings file: its text (marker, cp1251, CR LF, keys in any letter case), a save that never
// leaves a damaged file, and the main window saving the pages and loading them back; and the pages
// adapting to the identified unit.

#include "PtyPair.h"
#include "TestConfigDir.h"
#include "WindowConnection.h"
#include "can/UnitCANFrame.h"
#include "main/Main.h"
#include "main/SettingsFile.h"
#include "pages/RadioGroup.h"
#include "pages/ResultMarkers.h"
#include "settings/funcs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Triggers `action` and answers the file dialog it opens with `path`, or cancels it when `path`
// is empty; returns once the dialog is gone.
void TriggerWithFileDialog(QAction *action, const QString &path)
{
    QTimer answer;
    answer.callOnTimeout([&answer, &path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        if (!path.isEmpty())
            dialog->selectFile(path);
        path.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
    });
    answer.start(5);
    action->trigger();
    QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 5000));
}

// Gives `key` of a saved file the value `value`.
void SetKey(QByteArray &file, const char *key, const QByteArray &value)
{
    const QByteArray start = "\r\n" + QByteArray(key) + '=';
    const qsizetype at = file.indexOf(start);
    QVERIFY2(at >= 0, key);
    const qsizetype from = at + start.size();
    file.replace(from, file.indexOf("\r\n", from) - from, value);
}

constexpr int SettingsPages[] = {0, 1, 3, 5, 7};

// Changes every value control of the pages the file carries.
void ChangeEverything(TMainForm &form)
{
    for (const int tag : SettingsPages) {
        QWidget *page = form.Frames[tag];
        for (auto *edit : page->findChildren<QLineEdit *>())
            if (!edit->parent()->inherits("QAbstractSpinBox") &&
                !edit->parent()->inherits("QComboBox"))
                edit->setText(QStringLiteral("7"));
        // Not the CAN page's refresh of its live values: it would ask the unit on a timer.
        for (auto *box : page->findChildren<QCheckBox *>())
            if (tag != 5 || box->objectName() != QLatin1String("CheckBox1"))
                box->setChecked(!box->isChecked());
        for (auto *combo : page->findChildren<QComboBox *>())
            if (combo->count() > 1)
                combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        for (auto *group : page->findChildren<TRadioGroup *>())
            if (!group->Items().isEmpty())
                group->SetItemIndex((group->ItemIndex() + 1) % group->Items().size());
        for (auto *radio : page->findChildren<QRadioButton *>())
            if (!radio->isChecked() && !qobject_cast<TRadioGroup *>(radio->parentWidget()))
                radio->setChecked(true);
        for (auto *list : page->findChildren<QTableWidget *>())
            for (int row = 0; row < list->rowCount(); ++row)
                list->setItem(row, 1, new QTableWidgetItem(QStringLiteral("1234")));
    }
}

// The main window with message boxes recorded, optionally connected to a simulated unit.
struct Window
{
    std::unique_ptr<TMainForm> Form = std::make_unique<TMainForm>(QStringLiteral("1.0.0.0"));
    QStringList Messages;
    MessageBoxCatcher Boxes;

    Window()
    {
        SpeedUp(Form->Engine(), Form->Connection());
        Form->MessageHook = [this](const QString &text, bool) { Messages << text; };
        Form->show();
    }

    template <typename T> T *Child(int tag, const char *name) const
    {
        auto *w = Form->Frames[tag]->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    QByteArray Save(const QString &path)
    {
        TriggerWithFileDialog(FindAction(*Form, "SaveSettingsToFile"), path);
        return ReadAll(path);
    }

    void Load(const QString &path)
    {
        TriggerWithFileDialog(FindAction(*Form, "LoadSettingsFromFile"), path);
    }
};

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void textRoundTripAndSavesThatNeverDamage()
    {
        TSettingsFile file;
        file.Add(QStringLiteral("pwd"), QStringLiteral("пароль=1"));
        file.Add(QStringLiteral("object"), QString());
        const QByteArray bytes = file.Encode();
        QCOMPARE(bytes,
                 QByteArray("CAN settings file\r\npwd=\xEF\xE0\xF0\xEE\xEB\xFC=1\r\nobject=\r\n"));

        TSettingsFile read;
        QVERIFY(read.Parse(bytes));
        QCOMPARE(read.Value(QStringLiteral("PWD")), QStringLiteral("пароль=1"));
        QVERIFY(read.Has(QStringLiteral("Object")) && !read.Has(QStringLiteral("missing")));
        QVERIFY(read.Parse("CAN settings file\nti=30\n"));
        QCOMPARE(read.Value(QStringLiteral("ti")), QStringLiteral("30"));

        for (const QByteArray &wrong :
             {QByteArray(), QByteArray("\r\n"), QByteArray("CAN settings file \r\nti=1\r\n"),
              QByteArray("can settings file\r\n"), QByteArray("ti=1\r\nCAN settings file\r\n")}) {
            QVERIFY2(!read.Parse(wrong), wrong.constData());
            QVERIFY(read.Lines().isEmpty());
        }

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.txt"));
        QString error;
        QVERIFY(SaveWholeFile(path, "old\r\n", true, error));
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions());

        // A disk that fills up halfway: the file size limit makes the write come up short.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = SaveWholeFile(path, QByteArray(4096, 'x'), true, error);
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(ReadAll(path), QByteArray("old\r\n"));

        // A device or a pipe is written in place and stays what it was; one that does not take
        // the bytes (a pipe nobody reads) fails at once.
        PtyPair line(true);
        QVERIFY(line.Ok());
        const auto linePermissions = QFile::permissions(line.SlavePath());
        QVERIFY2(SaveWholeFile(line.SlavePath(), "CAN settings file\r\n", true, error),
                 qPrintable(error));
        QCOMPARE(line.Read(19), QByteArray("CAN settings file\r\n"));
        QCOMPARE(QFile::permissions(line.SlavePath()), linePermissions);
        const QString pipe = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!SaveWholeFile(pipe, "old\r\n", true, error));
        QVERIFY(!error.isEmpty());
        ByteReader reader(::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK));
        QVERIFY(SaveWholeFile(pipe, "new\r\n", true, error));
        QCOMPARE(reader.Read(5), QByteArray("new\r\n"));
        ::close(reader.fd);
        QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    }

    void saveLoadAndThePagesOfTheIdentifiedUnit()
    {
        Store(QStringLiteral("VERINFO/ver"), QStringLiteral("1.0.0.0")); // no version wipe
        QString numbers;
        for (int i = 1; i <= 10; ++i)
            numbers += QStringLiteral("Инж. номер %1=%2\r\n").arg(i).arg(i * 111);
        Store(QStringLiteral("EngNumbersFrame/VEValues"), numbers);
        Window w;
        w.Child<QLineEdit>(0, "ObjectNumberEdit")->setText(QStringLiteral("1234"));
        w.Child<QCheckBox>(0, "GPSOffBox")->setChecked(true);
        w.Child<QCheckBox>(0, "GSMOffBox")->setChecked(false);
        w.Child<QComboBox>(0, "TimeCombo")->setCurrentIndex(-1);
        w.Child<QLineEdit>(1, "AccessPointEdit")->setText(QStringLiteral("точка.ru"));
        w.Child<QComboBox>(1, "AlarmCombo2")->setCurrentIndex(2);
        w.Child<TRadioGroup>(5, "CANFormatGroup")->SetItemIndex(1);
        // A number or key cell showing a failed read or write saves what stands behind it: the
        // number stored before, the key the page starts with.
        w.Child<QTableWidget>(7, "EngNumbers")->item(1, 1)->setText(ResultMarkers::ReadError);
        w.Child<QTableWidget>(7, "EngNumbers")->item(2, 1)->setText(ResultMarkers::WriteError);
        w.Child<QTableWidget>(7, "TMemKeys")->item(3, 1)->setText(ResultMarkers::ReadError);

        QTemporaryDir dir;
        const QByteArray bytes = w.Save(dir.filePath(QStringLiteral("a.txt")));
        QVERIFY(bytes.startsWith("CAN settings file\r\nobject=1234\r\nlat="));
        QVERIFY(!bytes.contains("\n\n") && bytes.count('\n') == bytes.count("\r\n"));
        for (const char *line :
             {"\r\ngpsoff=1\r\ngsmoff=0\r\n", "\r\nrebtime=-1\r\n",
              "\r\naccpoint=\xF2\xEE\xF7\xEA\xE0.ru\r\n", "\r\nallog2=2\r\n", "\r\ncan=1\r\n",
              "\r\nnumb1=111\r\nnumb2=222\r\nnumb3=333\r\n", "\r\nkey4=5A5A5A5A5A5A5A5A\r\n"})
            QVERIFY2(bytes.contains(line), line);

        QCOMPARE(bytes.count("\r\n"), 101); // the marker and 100 keys

        // The window reports a location it cannot write.
        w.Save(dir.filePath(QStringLiteral("no/such/unit.txt")));
        QCOMPARE(w.Messages.size(), 1);
        QVERIFY(w.Messages[0].contains(QStringLiteral("no/such/unit.txt")));
        w.Messages.clear();

        // Loading follows the file's rules.
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        auto *object = w.Child<QLineEdit>(0, "ObjectNumberEdit");
        auto *phone = w.Child<QLineEdit>(1, "PhoneNumberEdit");
        object->setText(QStringLiteral("55"));
        phone->setText(QStringLiteral("+70000000000"));

        // A marker with a trailing blank: nothing changes.
        WriteAll(path, "CAN settings file \r\nobject=1\r\n");
        w.Load(path);
        QCOMPARE(w.Messages.value(0), QStringLiteral("Неверный формат файла настроек"));
        QCOMPARE(object->text(), QStringLiteral("55"));

        // No "reg": the engineering numbers, the CAN page and the event flags load, then the load
        // stops with the conversion error; GPRS and General stay as they were.
        WriteAll(path, "CAN settings file\r\nENGEN=1\r\nnumb3=777\r\ncan=0\r\ncanpar2=65\r\n"
                       "canshift1=0\r\ncanshift2=1\r\ncanshift3=0\r\ncanshift4=0\r\n"
                       "HISSETFLAG2=1\r\nHisRestFlag2=true\r\nphone=+71111111111\r\nobject=9\r\n");
        w.Child<QCheckBox>(3, "HisRestFlag2")->setChecked(true);
        w.Messages.clear();
        w.Load(path);
        QCOMPARE(w.Messages.size(), 1);
        QVERIFY(w.Child<QCheckBox>(7, "EngNumbersOnCheckBox")->isChecked());
        QCOMPARE(w.Child<QTableWidget>(7, "EngNumbers")->item(2, 1)->text(), QStringLiteral("777"));
        QCOMPARE(w.Child<TRadioGroup>(5, "CANFormatGroup")->ItemIndex(), 0);
        QCOMPARE(w.Child<QLineEdit>(5, "Par2IndexEdit")->text(), QStringLiteral("65"));
        QVERIFY(w.Child<QCheckBox>(3, "HisSetFlag2")->isChecked());
        QVERIFY(!w.Child<QCheckBox>(3, "HisRestFlag2")->isChecked()); // only "1" is true
        QCOMPARE(phone->text(), QStringLiteral("+70000000000"));
        QCOMPARE(object->text(), QStringLiteral("55"));

        // Both alarm logics set: OR is applied last and wins. A radio group's index beyond its
        // last item chooses the last, one below -1 none.
        QByteArray full = w.Save(dir.filePath(QStringLiteral("g.txt")));
        full.replace("alOR=0", "alOR=1").replace("alAND=0", "alAND=1");
        SetKey(full, "invers", "9");
        SetKey(full, "can", "-4");
        WriteAll(path, full);
        w.Load(path);
        QVERIFY(w.Child<QRadioButton>(1, "AlarmOR")->isChecked());
        QVERIFY(!w.Child<QRadioButton>(1, "AlarmAND")->isChecked());
        QCOMPARE(w.Child<TRadioGroup>(3, "InversGroup")->ItemIndex(), 1);
        QCOMPARE(w.Child<TRadioGroup>(5, "CANFormatGroup")->ItemIndex(), -1);
        // The file filled the alarm logic, so a write sends it; its empty phones filled nothing.
        TPageData gprs;
        w.Form->Frames[1]->GetPageData(gprs);
        QCOMPARE(gprs(22, 3).toInt(), 0);
        QCOMPARE(gprs(23, 3).toInt(), -1);

        TMainForm &form = *w.Form;
        auto *can = static_cast<TCANFrame *>(form.Frames[5]);
        auto *panel3 = w.Child<QWidget>(5, "Panel3");
        auto *mode = w.Child<QComboBox>(3, "ModeCombo");
        auto *saveKey = w.Child<QCheckBox>(7, "SaveKeyToHistory");
        const auto carTabVisible = [can] {
            return can->PageControl1()->isTabVisible(
                can->PageControl1()->indexOf(can->CarSelectSheet()));
        };

        // Without a vehicle database the car sheet is hidden at start and shown for a 505 unit.
        QVERIFY(!carTabVisible());
        form.ApplyDeviceModel(3, 505);
        QVERIFY(carTabVisible());

        // 505/17 changes only the history layout.
        form.ApplyDeviceModel(17, 505);
        QVERIFY(carTabVisible());

        // 505/7 hides the CAN page's content for good; 505/18 shows the car sheet inside it.
        form.ApplyDeviceModel(7, 505);
        QVERIFY(panel3->isHidden());
        form.ApplyDeviceModel(18, 505);
        QVERIFY(panel3->isHidden());
        QVERIFY(!can->CarSelectSheet()->isHidden() && carTabVisible());
        QVERIFY(!w.Child<QCheckBox>(3, "CANCheckBox")->isHidden());

        // 504/704: the mode list disabled at its first mode without its handler; the key switch
        // left as it was.
        mode->setCurrentIndex(2);
        saveKey->setChecked(true);
        int changes = 0;
        connect(mode, &QComboBox::currentIndexChanged, [&changes] { ++changes; });
        form.ApplyDeviceModel(704, 504);
        QVERIFY(!mode->isEnabled() && mode->currentIndex() == 0);
        QCOMPARE(changes, 0);
        QVERIFY(saveKey->isChecked() && !carTabVisible());
        QVERIFY(w.Child<QCheckBox>(3, "CANCheckBox")->isHidden());
        form.ApplyDeviceModel(40, 504);
        QVERIFY(mode->isEnabled());
        QVERIFY(saveKey->isHidden());
    }

    // A value the file's code page (Windows-1251) cannot carry would be saved with "?" in its
    // place, a control character would break its line: nothing is saved, no file is asked for,
    // the old file stays and the message names each such field with its characters, control
    // characters by name. Once the values can be carried the file holds them.
    void valuesOutsideTheFilesCodePageAreNotSaved()
    {
        Window w;
        auto *password = w.Child<QLineEdit>(1, "PasswordEdit");
        auto *user = w.Child<QLineEdit>(1, "UserNameEdit");
        auto *altUser = w.Child<QLineEdit>(1, "AltUserNameEdit");
        auto *phone = w.Child<QLineEdit>(1, "PhoneNumberEdit");
        auto *alarmPhone = w.Child<QLineEdit>(1, "AlarmPhone1");
        auto *numbers = w.Child<QTableWidget>(7, "EngNumbers");
        password->setText(QStringLiteral("пароль✓€№ß"));
        user->setText(QStringLiteral("użytkownik™"));
        altUser->setText(QStringLiteral("A\rB"));
        phone->setText(QStringLiteral("+7\t900\x01"));
        alarmPhone->setText(QStringLiteral("+7✓✓"));
        numbers->item(0, 1)->setText(QStringLiteral("12✓"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.txt"));
        WriteAll(path, "old\r\n");
        QCOMPARE(w.Save(path), QByteArray("old\r\n"));
        QCOMPARE(w.Messages,
                 QStringList{QStringLiteral(
                     "Файл настроек не сохранён: в этих значениях есть управляющие символы или "
                     "символы, которых нет в кодировке файла (Windows-1251). Исправьте их и "
                     "сохраните снова.\n"
                     "«Номер телефона GPRS» (phone): TAB U+0001\n"
                     "«Имя пользователя GPRS» (user): ż\n"
                     "«Имя пользователя GPRS» (altuser): CR\n"
                     "«Пароль GPRS» (pass): ✓ ß\n"
                     "«Телефоны приема тревожных сообщений» (alphone1): ✓\n"
                     "«Инж. номер 1» (numb1): ✓")});

        w.Messages.clear();
        password->setText(QStringLiteral("пароль€№"));
        user->setText(QStringLiteral("uzytkownik™"));
        altUser->setText(QStringLiteral("AB"));
        phone->setText(QStringLiteral("+7900"));
        alarmPhone->setText(QStringLiteral("+7"));
        numbers->item(0, 1)->setText(QStringLiteral("12"));
        const QByteArray bytes = w.Save(dir.filePath(QStringLiteral("new.txt")));
        QCOMPARE(w.Messages, QStringList());
        for (const QString &line :
             {QStringLiteral("pass=пароль€№"), QStringLiteral("user=uzytkownik™"),
              QStringLiteral("altuser=AB"), QStringLiteral("phone=+7900"),
              QStringLiteral("alphone1=+7"), QStringLiteral("numb1=12")})
            QVERIFY2(bytes.contains("\r\n" + EncodeCp1251(line) + "\r\n"), qPrintable(line));
    }

    // A value with a control character (a bare CR inside a line, bytes 1..31 and 127) is damaged:
    // taken, it would reach the unit as two commands or raw. The file is not loaded, no page
    // changes, and the message names each such field with its characters. Mended, it loads.
    void filesWithControlCharactersInAValueAreNotLoaded()
    {
        Window w;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.txt"));
        const QByteArray shown = w.Save(dir.filePath(QStringLiteral("shown.txt")));
        QByteArray everyByte; // but LF, which ends the line
        for (int b = 1; b < 256; ++b)
            if (b != '\n')
                everyByte += char(b);
        QByteArray file = shown;
        SetKey(file, "altuser", "A\rB");
        SetKey(file, "user", everyByte);
        SetKey(file, "numb2", "+7900\t1");
        WriteAll(path, file);
        w.Load(path);
        QCOMPARE(w.Messages.size(), 1);
        for (const char *part :
             {"Файл настроек не загружен, страницы не изменены: в этих значениях есть управляющие "
              "символы (перевод строки, табуляция и другие). Исправьте файл и загрузите его "
              "снова.\n«Имя пользователя GPRS» (user): U+0001 U+0002 ",
              " U+0008 TAB U+000B U+000C CR U+000E ",
              " U+001F U+007F\n«Имя пользователя GPRS» "
              "(altuser): CR\n«Инж. номер 2» (numb2): TAB"})
            QVERIFY2(w.Messages[0].contains(QString::fromUtf8(part)), part);
        QCOMPARE(w.Save(dir.filePath(QStringLiteral("after.txt"))), shown);

        w.Messages.clear();
        SetKey(file, "altuser", "AB");
        SetKey(file, "user", "internet");
        SetKey(file, "numb2", "+79001");
        WriteAll(path, file);
        w.Load(path);
        QCOMPARE(w.Messages, QStringList());
        QCOMPARE(w.Save(dir.filePath(QStringLiteral("mended.txt"))), file);
    }

    // A load restores what was saved and sends nothing. An edit's length limit stops only the
    // user's typing: longer texts from the unit, a settings file and the store are shown whole
    // and go back whole.
    void loadRestoresAndLongTextsStayWhole()
    {
        const QString apn = QStringLiteral("internet.operator-example.com"); // limit 20
        const QString password = QStringLiteral("password123");              // limit 8
        const QString altPassword = QStringLiteral("a-very-long-gprs-password-1");
        unitsim::UnitSimulator sim;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.txt"));
        {
            // Connected to a 505/7 unit: its identification hid the CAN page's content.
            Window w;
            QVERIFY(ConnectWindow(*w.Form, sim, CableUnit(505, 7)));
            QVERIFY(w.Child<QWidget>(5, "Panel3")->isHidden());
            const QString first = dir.filePath(QStringLiteral("a.txt"));
            const QByteArray saved = w.Save(first);
            ChangeEverything(*w.Form);
            w.Load(first);
            QCOMPARE(w.Save(dir.filePath(QStringLiteral("c.txt"))), saved);

            // Only the touch-memory switch's mode check may ask the unit anything.
            QTest::qWait(300);
            for (const QString &command : Sent(sim))
                QCOMPARE(command, QStringLiteral("+flagren"));

            // Cancelling either dialog changes nothing.
            ChangeEverything(*w.Form);
            const QByteArray changed = w.Save(dir.filePath(QStringLiteral("d.txt")));
            w.Load(QString());
            TriggerWithFileDialog(FindAction(*w.Form, "SaveSettingsToFile"), QString());
            QCOMPARE(w.Save(dir.filePath(QStringLiteral("e.txt"))), changed);

            sim.setSetting(QStringLiteral("GAPN"), apn.toLatin1());
            sim.setSetting(QStringLiteral("servpswd"), password.toLatin1());
            w.Form->ShowPage(1);
            FindAction(*w.Form, "ReadPageAction")->trigger();
            auto *access = w.Child<QLineEdit>(1, "AccessPointEdit");
            auto *server = w.Child<QLineEdit>(1, "GPRSPasswordEdit");
            QCOMPARE(access->text(), apn);
            QCOMPARE(server->text(), password);
            QCOMPARE(TPageFrame::LabelColor(w.Child<QLabel>(1, "AccessPointLabel")),
                     TPageFrame::ResultColors[0]);
            sim.clearLog();
            FindAction(*w.Form, "WritePageAction")->trigger();
            QVERIFY(Sent(sim).contains(QStringLiteral("+GAPN") + apn));
            QVERIFY(Sent(sim).contains(QStringLiteral("+servpswd") + password));
            QCOMPARE(sim.setting(QStringLiteral("GAPN")), apn.toLatin1());

            // Typing: nothing is added to a long text the unit gave, a long text still shortens,
            // and what is typed or pasted stops at that text's length.
            QTest::keyClicks(server, QStringLiteral("4"));
            QCOMPARE(server->text(), password);
            QTest::keyClick(server, Qt::Key_Backspace);
            QCOMPARE(server->text(), QStringLiteral("password12"));
            server->selectAll();
            QTest::keyClicks(server, QStringLiteral("abcdefghijkl"));
            QCOMPARE(server->text(), QStringLiteral("abcdefghijk"));
            QApplication::clipboard()->setText(QStringLiteral("0123456789"));
            server->setSelection(2, 3);
            server->paste();
            QCOMPARE(server->text(), QStringLiteral("ab012fghijk"));
            auto *lat = w.Child<QLineEdit>(0, "LatEdit");

            // A settings file: long texts of the GPRS, General and CAN pages, loaded and saved
            // back whole.
            QByteArray file = w.Save(path);
            SetKey(file, "pwd", password.toLatin1());
            SetKey(file, "altpass", altPassword.toLatin1());
            SetKey(file, "lat", "123456");
            SetKey(file, "canpar1", "1234567");
            SetKey(file, "altaccpoint", (apn + "abcd").toLatin1()); // 33 characters, limit 20
            WriteAll(path, file);
            w.Load(path);
            QCOMPARE(server->text(), password);
            // The user shortens the long text and types the character back, and can undo both.
            auto *altAccess = w.Child<QLineEdit>(1, "AltAccessPointEdit");
            QTest::keyClick(altAccess, Qt::Key_End);
            QTest::keyClick(altAccess, Qt::Key_Backspace);
            QTest::keyClicks(altAccess, QStringLiteral("xy"));
            QCOMPARE(altAccess->text(), apn + QStringLiteral("abcx"));
            QTest::keySequence(altAccess, QKeySequence::Undo);
            QTest::keySequence(altAccess, QKeySequence::Undo);
            QCOMPARE(altAccess->text(), apn + QStringLiteral("abcd"));
            QCOMPARE(lat->text(), QStringLiteral("123456"));
            QCOMPARE(w.Child<QLineEdit>(5, "Par1IndexEdit")->text(), QStringLiteral("1234567"));
            QCOMPARE(w.Save(dir.filePath(QStringLiteral("again.txt"))), file);
        }
        // The store keeps them whole and gives them back whole at the next start.
        Window next;
        QCOMPARE(next.Child<QLineEdit>(1, "AccessPointEdit")->text(), apn);
        QCOMPARE(next.Child<QLineEdit>(1, "GPRSPasswordEdit")->text(), password);
        QCOMPARE(next.Child<QLineEdit>(1, "AltPasswordEdit")->text(), altPassword);
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
