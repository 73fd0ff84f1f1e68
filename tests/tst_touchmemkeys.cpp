// The touch-memory keys page and the key reader in the main window against the simulated unit:
// when a write sends anything, the key checks and filter, result markers, and the key fetched
// from the unit's reader.

#include "KeyPagesWindow.h"
#include "TestConfigDir.h"
#include "main/fAbout.h"
#include "pages/KeyEditorUnit.h"
#include "pages/UnitTouchMemKeysFrame.h"
#include "pages/ValueListEditor.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QStringList DefaultKeyWrites = {"+touchon00",
                                      "+keysafe0A5A5A5A5A5A5A5A5",
                                      "+keysafe15A5A5A5A5A5A5A5A",
                                      "+keysafe2A5A5A5A5A5A5A5A5",
                                      "+keysafe35A5A5A5A5A5A5A5A",
                                      "+keysafe4A5A5A5A5A5A5A5A5"};

// Opens the key reader for row `row` of the key list, runs `drive` on it and waits for it to close;
// false when it did not open or did not close.
[[nodiscard]] bool WithKeyReader(KeyPagesWindow &w, int row,
                                 const std::function<void(TKeyReaderForm &)> &drive)
{
    auto *keys = w.Child<QTableWidget>("TMemKeys");
    keys->setCurrentCell(row - 1, 1);
    w.Child<QAction>("ChangeKey")->trigger();
    const QPointer<TKeyReaderForm> reader =
        qobject_cast<TKeyReaderForm *>(QApplication::activeModalWidget());
    if (!reader)
        return false;
    drive(*reader);
    return QTest::qWaitFor([&reader] { return reader.isNull(); }, 5000);
}

QLineEdit &KeyEdit(TKeyReaderForm &reader)
{
    return *reader.findChild<QLineEdit *>(QStringLiteral("KeyEdit"));
}

void Click(TKeyReaderForm &reader, const char *button)
{
    reader.findChild<QPushButton *>(QLatin1String(button))->click();
}

} // namespace

class TestTouchMemKeys : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void writeSendsTheShownKeysOnceThePageChanged()
    {
        // The stored switch ("on" by default) counts as a change from start-up on.
        KeyPagesWindow w(TTouchMemKeysFrame::PageTag);
        QVERIFY(w.Connect());
        w.Write();
        QCOMPARE(Sent(w.Sim), DefaultKeyWrites);

        auto *box = w.Child<QCheckBox>("TMemCheckBox");
        box->setChecked(false);
        w.Sim.clearLog();
        w.Write();
        QCOMPARE(Sent(w.Sim), QStringList{"+touchonFF"});

        box->setChecked(true);
        w.SetCell("TMemKeys", 2, QString(17, QLatin1Char('1')));
        w.Sim.clearLog();
        w.Write();
        QVERIFY(Sent(w.Sim).isEmpty());
        QCOMPARE(w.Boxes.Texts,
                 QStringList{"Один из введенных ключей Touch Memory слишком длинный"});
        w.SetCell("TMemKeys", 2, QString(16, QLatin1Char('1')));
        w.Write();
        QVERIFY(Sent(w.Sim).contains(QStringLiteral("+keysafe11111111111111111")));

        // A key the unit did not give shows the marker; it is not written back nor stored.
        NeverAnswer(w.Sim, {QStringLiteral("+keyread3")});
        w.Read();
        QCOMPARE(w.Cell("TMemKeys", 4), QStringLiteral("Read error"));
        w.Sim.setFaults({});
        w.Sim.clearLog();
        w.Write();
        QCOMPARE(Sent(w.Sim).filter(QStringLiteral("+keysafe")).size(), 4);
        w.Form->Frames[TTouchMemKeysFrame::PageTag]->SaveUISettings();
        QVERIFY(Stored(QStringLiteral("TouchMemKeysFrame/VEValues"))
                    .contains(QStringLiteral("Ключ 4=5A5A5A5A5A5A5A5A\r\n")));

        // The key reader without an answer: the message, and the key stays as it was (a key
        // fetched is the busy-link test's).
        w.Sim.setSilent(true);
        w.Boxes.Texts.clear();
        bool messageShown = false;
        QString keyShown;
        QVERIFY(WithKeyReader(w, 3, [&](TKeyReaderForm &reader) {
            Click(reader, "ReadBtn");
            messageShown = QTest::qWaitFor([&] { return !w.Boxes.Texts.isEmpty(); }, 5000);
            keyShown = KeyEdit(reader).text();
            Click(reader, "OkBtn");
        }));
        QVERIFY(messageShown);
        QCOMPARE(w.Boxes.Texts, QStringList{"Ошибка чтения, попробуйте еще раз"});
        QCOMPARE(keyShown, QStringLiteral("A5A5A5A5A5A5A5A5"));
        QCOMPARE(w.Cell("TMemKeys", 3), QStringLiteral("A5A5A5A5A5A5A5A5"));

        // With the key name current the reader does not open.
        w.Child<QTableWidget>("TMemKeys")->setCurrentCell(0, 0);
        w.Child<QAction>("ChangeKey")->trigger();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // A key the unit's code page (Windows-1251) cannot carry, or one with a control character
    // (which would end its command early or reach the unit raw), typed in the list or taken from
    // the key reader, would not reach the unit as shown: its key name turns red and nothing of the
    // page is sent; a changed key puts its name back.
    void keysOutsideTheUnitsCodePageStopTheWrite()
    {
        KeyPagesWindow w(TTouchMemKeysFrame::PageTag);
        QVERIFY(w.Connect());
        auto *keys = w.Child<QTableWidget>("TMemKeys");
        w.SetCell("TMemKeys", 2, QStringLiteral("A5A5✓"));
        QVERIFY(WithKeyReader(w, 3, [](TKeyReaderForm &reader) {
            KeyEdit(reader).setText(QStringLiteral("12ß4"));
            Click(reader, "OkBtn");
        }));
        QVERIFY(WithKeyReader(w, 4, [](TKeyReaderForm &reader) {
            KeyEdit(reader).setText(QStringLiteral("12\t34\r"));
            Click(reader, "OkBtn");
        }));
        w.SetCell("TMemKeys", 5, QStringLiteral("A5\x01"));
        w.Write();
        QCOMPARE(Sent(w.Sim), QStringList());
        QCOMPARE(w.Boxes.Texts, QStringList());
        for (const int row : {2, 3, 4, 5})
            QCOMPARE(ValueListEditor::RowMark(*keys, row), TPageFrame::ResultColors[1]);
        QVERIFY(!ValueListEditor::RowMark(*keys, 1).isValid());

        w.SetCell("TMemKeys", 2, QStringLiteral("A5A5"));
        w.SetCell("TMemKeys", 3, QStringLiteral("1234"));
        w.SetCell("TMemKeys", 4, QStringLiteral("12"));
        w.SetCell("TMemKeys", 5, QStringLiteral("A5"));
        QVERIFY(!ValueListEditor::RowMark(*keys, 2).isValid());
        w.Write();
        for (const char *sent : {"+keysafe1A5A5", "+keysafe21234", "+keysafe312"})
            QVERIFY2(Sent(w.Sim).contains(QLatin1String(sent)), sent);
    }

    void onlyATypedKeyOrTheSwitchMakesThePageWritable()
    {
        Store(QStringLiteral("VERINFO/ver"), QStringLiteral("1.0.0.0"));
        Store(QStringLiteral("TouchMemKeysFrame/defTMemCheckBox"), QStringLiteral("0"));
        KeyPagesWindow w(TTouchMemKeysFrame::PageTag);
        QVERIFY(w.Connect());
        w.Child<QAction>("ClearKey")->trigger();
        w.Write();
        QVERIFY(Sent(w.Sim).isEmpty());

        // Typed keys pass the filter: hex digits upper-cased, "$" kept, anything else dropped.
        auto *keys = w.Child<QTableWidget>("TMemKeys");
        keys->setEnabled(true);
        keys->setCurrentCell(0, 1);
        keys->editItem(keys->item(0, 1));
        auto *editor = keys->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->clear();
        QTest::keyClicks(editor, QStringLiteral("a$g1f"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the list takes the text from a queued call
        QCOMPARE(w.Cell("TMemKeys", 1), QStringLiteral("A$1F"));
        w.Write();
        QCOMPARE(Sent(w.Sim), QStringList{"+touchonFF"});
    }

    // Whatever keeps the link busy when the reader opens, "Считать" ends with the key: behind a
    // history erase on a slow unit while another modal window is open, behind a mode check the
    // unit does not answer, and during a page read, which goes on while the reader is open.
    void theKeyReaderReadsWhileTheLinkIsBusy()
    {
        const QString key = QStringLiteral("00112233445566AA");
        auto options = CableUnit();
        options.historyEraseDelayMs = 800;
        options.presentedKey = key;
        KeyPagesWindow w(TTouchMemKeysFrame::PageTag);
        QVERIFY(w.Connect(options));
        int keysRead = 0;
        const auto readsTheKey = [&key, &keysRead](TKeyReaderForm &reader) {
            Click(reader, "ReadBtn");
            keysRead += QTest::qWaitFor([&] { return KeyEdit(reader).text() == key; }, 5000);
            Click(reader, "CancelBtn");
        };

        TAnswerCatcher eraser;
        bool keyReadOverTheBox = false;
        AfterSent(w.Sim, w.Form.get(), 1, [&] { // the erase waits: a modal box opens over it
            QTimer::singleShot(0, w.Form.get(), [&] {
                keyReadOverTheBox = WithKeyReader(w, 2, readsTheKey);
                if (QWidget *box = QApplication::activeModalWidget())
                    box->close();
            });
            QDialog(w.Form.get()).exec(); // returns once the box is closed
        });
        PostExecCommand(w.Form.get(), 117, &eraser);
        QVERIFY(QTest::qWaitFor([&] { return !eraser.Answers.isEmpty(); }, 5000));
        QVERIFY(keyReadOverTheBox);
        QCOMPARE(keysRead, 1);
        QCOMPARE(eraser.Answers[0].Status, 1);
        QCOMPARE(Sent(w.Sim), (QStringList{"+erase", "+keysafe"}));

        QVERIFY(w.Boxes.Texts.isEmpty());

        w.Sim.clearLog();
        NeverAnswer(w.Sim, {QStringLiteral("+flagren")});
        TAnswerCatcher modeCheck;
        PostExecCommand(w.Form.get(), 83, &modeCheck);
        QVERIFY(WaitForSent(w.Sim, QStringLiteral("+flagren"), 5000));
        QVERIFY(WithKeyReader(w, 2, readsTheKey));
        QCOMPARE(keysRead, 2);
        QCOMPARE(modeCheck.Answers.size(), 1);
        QCOMPARE(modeCheck.Answers[0].Status, 0);
        QCOMPARE(Sent(w.Sim), (QStringList{"+flagren", "+flagren", "+keysafe"}));

        w.Sim.setFaults({});
        w.Read();
        QStringList cells;
        for (int row = 1; row <= 5; ++row)
            cells << w.Cell("TMemKeys", row);
        w.Sim.setLatency(100);
        w.Sim.clearLog();
        QPointer<TKeyReaderForm> reader;
        const auto aboutBox = [&w] { return w.Form->findChild<TFormAbout *>(); };
        AfterSent(w.Sim, w.Form.get(), 2, [&] {
            QTimer::singleShot(10000, w.Form.get(), [&] { // were the read held by the box
                if (aboutBox())
                    aboutBox()->close();
            });
            FindAction(*w.Form, "AboutAction")->trigger(); // the read goes on under it too
            w.Child<QTableWidget>("TMemKeys")->setCurrentCell(1, 1);
            w.Child<QAction>("ChangeKey")->trigger();
            reader = qobject_cast<TKeyReaderForm *>(QApplication::activeModalWidget());
            if (reader)
                Click(*reader, "ReadBtn");
        });
        w.Read(); // ends while the reader and the about box stay open
        QVERIFY(reader && aboutBox() && aboutBox()->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return KeyEdit(*reader).text() == key; }, 5000));
        QCOMPARE(Sent(w.Sim).size(), 7);
        QCOMPARE(Sent(w.Sim).count(QStringLiteral("+keysafe")), 1);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(w.Cell("TMemKeys", row), cells[row - 1]);
        Click(*reader, "OkBtn");
        QTRY_VERIFY(reader.isNull());
        aboutBox()->close();
        QCOMPARE(w.Cell("TMemKeys", 2), key);
        QVERIFY(w.Boxes.Texts.isEmpty());
    }
};

QTEST_MAIN(TestTouchMemKeys)
#include "tst_touchmemkeys.moc"
