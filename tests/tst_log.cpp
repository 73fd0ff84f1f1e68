// The log tree (entries, sessions, toggles, copy, save) and the error.log file.

#include "main/ErrorLog.h"
#include "main/LogView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

class TestLog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTreeWidget> tree;
    std::unique_ptr<TLogView> log;

    static QByteArray ReadAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        tree = std::make_unique<QTreeWidget>();
        tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
        log = std::make_unique<TLogView>(tree.get());
    }

    void cleanup()
    {
        log.reset();
        tree.reset();
    }

    void entryTexts()
    {
        // Before the first connection entries go to the root level.
        log->LogPortError("Не могу создать файл");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("Ошибка порта: Не могу создать файл"));

        log->LogSessionStart();
        QTreeWidgetItem *session = log->SessionNode();
        QVERIFY(session->text(0).startsWith("Начало работы "));
        QVERIFY(session->isExpanded());
        log->LogPortEvent("Порт открыт успешно");
        log->LogPortWrite("CABLE CONNECT");
        log->LogPortRead("CABLE CONNECT\r\nOK\r\n");
        log->LogWriteError(5, "+v");
        QCOMPARE(session->childCount(), 4);
        QCOMPARE(session->child(0)->text(0), QString("Событие порта: Порт открыт успешно"));
        QVERIFY(session->child(1)->text(0).startsWith("Запись в порт: "));
        QCOMPARE(session->child(1)->child(0)->text(0), QString("CABLE CONNECT"));
        QVERIFY(session->child(2)->text(0).startsWith("Чтение из порта: "));
        // A received text with CR LF shows on one line without them.
        QCOMPARE(session->child(2)->child(0)->text(0), QString("CABLE CONNECTOK"));
        QCOMPARE(session->child(3)->text(0),
                 QString("Ошибка порта: Ошибка записи! Код: 5, Команда: +v"));

        // The end node is a root-level sibling right after the session's start node.
        log->LogSessionEnd();
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(1), session);
        QVERIFY(tree->topLevelItem(2)->text(0).startsWith("Окончание работы "));

        // After clearing, new entries go under an empty root node.
        log->ClearLog();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString());
        log->LogPortEvent("RTS установлен");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0),
                 QString("Событие порта: RTS установлен"));
    }

    void copySelectedNodes()
    {
        log->LogSessionStart();
        log->LogPortWrite("+v");
        log->LogPortRead("REV 07.505.030");
        QVERIFY(!log->CopyToClipboard()); // nothing selected
        // Tree order: 0 session, 1 write, 2 its text, 3 read, 4 its text.
        QTreeWidgetItem *session = log->SessionNode();
        session->child(0)->setSelected(true);
        session->child(1)->child(0)->setSelected(true);
        const QString expected =
            "  " + session->child(0)->text(0) + "\r\n\r\n\r\n    REV 07.505.030\r\n";
        QCOMPARE(log->SelectedLinesText(), expected);
        QVERIFY(log->CopyToClipboard());
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        // A selected root node and a node after it.
        tree->clearSelection();
        session->setSelected(true);
        session->child(0)->setSelected(true);
        QCOMPARE(log->SelectedLinesText(),
                 session->text(0) + "\r\n  " + session->child(0)->text(0) + "\r\n");
    }

    void savedFileBytes()
    {
        log->LogPortError("x");
        log->LogSessionStart();
        log->LogPortWrite("+v \u2713");
        QTemporaryDir dir;
        const QString path = dir.filePath("saved.log");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'Z')); // a longer old file is replaced, not overwritten in part
        old.close();
        log->SaveToFile(path);
        const QByteArray bytes = ReadAll(path);
        // "Ошибка порта: x" in cp1251, then the session with one TAB per level, CR LF line ends.
        const QByteArray firstLine("\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xEE\xF0\xF2\xE0: x\r\n");
        QVERIFY(bytes.startsWith(firstLine));
        QVERIFY(!bytes.contains('Z'));
        const QString text = QStringDecoder("windows-1251").decode(bytes);
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[1].startsWith("Начало работы "));
        QVERIFY(lines[2].startsWith("\tЗапись в порт: "));
        QCOMPARE(lines[3], QString("\t\t+v ?")); // no cp1251 code: "?"
        QCOMPARE(lines[4], QString());
        QVERIFY(!text.contains('\n' + QString("\n")));

        QCOMPARE(TLogView::DefaultFileName(QDate(2024, 3, 5)), QString("2024-03-05.log"));
        // A folder that is not there, and a disk that refuses the bytes at the flush (/dev/full
        // takes the open and refuses with "no space left", as a full disk or pulled stick does).
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 log->SaveToFile(dir.filePath("no/such/folder/x.log")));
        if (QFileInfo::exists("/dev/full"))
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, log->SaveToFile("/dev/full"));
    }

    void togglesKeepTheView()
    {
        // Showing the panel is the main form's test.
        QWidget panel;
        QAction expand, scroll, visible;
        log->BindToggles(&expand, &scroll, &visible, &panel);
        tree->resize(300, 120);
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        log->LogSessionStart();
        for (int i = 0; i < 40; ++i)
            log->LogPortRead(QString("line %1").arg(i));
        QCoreApplication::processEvents();
        QScrollBar *bar = tree->verticalScrollBar();
        QVERIFY(bar->value() > 0); // followed the new entries

        expand.setChecked(false);
        scroll.setChecked(false);
        bar->setValue(3);
        const int collapsedBefore = log->SessionNode()->childCount();
        for (int i = 0; i < 10; ++i)
            log->LogPortWrite(QString("cmd %1").arg(i));
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 3);
        QVERIFY(!log->SessionNode()->child(collapsedBefore)->isExpanded());
    }

    void errorLogFile()
    {
        QTemporaryDir dir;
        TErrorLog errors(dir.filePath("error.log"));
        QVERIFY(errors.WriteErrorLog("GetByte", "Convert", ">G1"));
        QVERIFY(errors.WriteErrorLog("GetStringValue", "Invalid length",
                                     "Command: +object Result: Объект"));
        const QString text = QStringDecoder("windows-1251").decode(ReadAll(errors.Path()));
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith('['));
        QVERIFY(lines[0].endsWith("] [GetByte] [Convert] [>G1]"));
        QVERIFY(lines[1].endsWith(
            "] [GetStringValue] [Invalid length] [Command: +object Result: Объект]"));
        QVERIFY(ReadAll(errors.Path()).contains("\xCE\xE1\xFA\xE5\xEA\xF2"));

        // A file that cannot be opened or written is reported, never thrown.
        QVERIFY(!TErrorLog(dir.filePath("missing/dir/error.log")).WriteErrorLog("GetWord", "", ""));
        if (QFileInfo::exists("/dev/full"))
            QVERIFY(!TErrorLog("/dev/full").WriteErrorLog("GetByte", "Convert", ">G1"));

        // Beside the program when that folder can be written.
        QCOMPARE(TErrorLog::DefaultPath(),
                 QDir(QCoreApplication::applicationDirPath()).filePath("error.log"));
    }
};

QTEST_MAIN(TestLog)
#include "tst_log.moc"
