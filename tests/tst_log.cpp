// The log tree (entries, sessions, toggles, copy, save) and the error.log file.

#include "main/ErrorLog.h"
#include "main/LogTreeView.h"
#include "main/LogView.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <memory>

class TestLog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TLogTreeView> tree;
    std::unique_ptr<TLogView> log;

    static QByteArray ReadAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The line at `rows`, one row per level from the root.
    QModelIndex Line(std::initializer_list<int> rows) const
    {
        QModelIndex at;
        for (const int row : rows)
            at = tree->model()->index(row, 0, at);
        return at;
    }
    QModelIndex Child(const QModelIndex &parent, int row) const
    {
        return tree->model()->index(row, 0, parent);
    }
    static QString Text(const QModelIndex &line) { return line.data().toString(); }
    int RootCount() const { return tree->model()->rowCount(); }
    void Select(const QModelIndex &line)
    {
        tree->selectionModel()->select(line, QItemSelectionModel::Select);
    }
    void ShowTree(int width)
    {
        tree->resize(width, 200);
        tree->show();
        tree->activateWindow();
        tree->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(tree.get()));
    }

    // What the view tells screen readers, one line per event: "focus 3", "selected 3",
    // "rows in 4-4", "rows out 2-2" (shown rows).
    static inline QStringList told;
    // As a screen reader's bridge does when the reader starts and ends.
    static void SetReaderActive(bool active)
    {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(active);
    }
    static void Record(QAccessibleEvent *event)
    {
        switch (event->type()) {
        case QAccessible::Focus:
            told.append(QString("focus %1").arg(event->child()));
            break;
        case QAccessible::SelectionAdd:
            told.append(QString("selected %1").arg(event->child()));
            break;
        case QAccessible::TableModelChanged: {
            const auto *rows = static_cast<QAccessibleTableModelChangeEvent *>(event);
            const auto change = rows->modelChangeType();
            if (change != QAccessibleTableModelChangeEvent::RowsInserted &&
                change != QAccessibleTableModelChangeEvent::RowsRemoved)
                break;
            told.append(
                QString("rows %1 %2-%3")
                    .arg(change == QAccessibleTableModelChangeEvent::RowsInserted ? "in" : "out")
                    .arg(rows->firstRow())
                    .arg(rows->lastRow()));
            break;
        }
        default:
            break;
        }
    }

private slots:
    void init()
    {
        tree = std::make_unique<TLogTreeView>();
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
        QCOMPARE(Text(Line({0})), QString("Ошибка порта: Не могу создать файл"));

        log->LogSessionStart();
        const QModelIndex session = log->SessionNode();
        QVERIFY(tree->isExpanded(session));
        log->LogPortWrite("CABLE CONNECT");
        log->LogPortRead("CABLE CONNECT\r\nOK\r\n");
        log->LogWriteError(5, "+v");
        QCOMPARE(tree->model()->rowCount(session), 3);
        QCOMPARE(Text(Line({1, 0, 0})), QString("CABLE CONNECT"));
        QCOMPARE(Text(Line({1, 1, 0})), QString("CABLE CONNECTOK")); // without CR LF
        QCOMPARE(Text(Child(session, 2)),
                 QString("Ошибка порта: Ошибка записи! Код: 5, Команда: +v"));

        // The end node is a root-level sibling right after the session's start node.
        log->LogSessionEnd();
        QCOMPARE(RootCount(), 3);
        QVERIFY(Text(Line({2})).startsWith("Окончание работы "));

        // After clearing, new entries go under an empty root node.
        log->ClearLog();
        log->LogPortEvent("RTS установлен");
        QCOMPARE(RootCount(), 1);
        QCOMPARE(Text(Line({0})), QString());
        QCOMPARE(Text(Line({0, 0})), QString("Событие порта: RTS установлен"));
    }

    void copyAndTogglesKeepTheView()
    {
        log->LogSessionStart();
        log->LogPortWrite("+v");
        log->LogPortRead("REV 07.505.030");
        QVERIFY(!log->CopyToClipboard()); // nothing selected
        // Tree order: 0 session, 1 write, 2 its text, 3 read, 4 its text.
        const QModelIndex session = log->SessionNode();
        Select(Child(session, 0));
        Select(Line({0, 1, 0}));
        const QString expected =
            "  " + Text(Child(session, 0)) + "\r\n\r\n\r\n    REV 07.505.030\r\n";
        QCOMPARE(log->SelectedLinesText(), expected);
        QVERIFY(log->CopyToClipboard());
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        // A selected root node and a node after it.
        tree->clearSelection();
        Select(session);
        Select(Child(session, 0));
        QCOMPARE(log->SelectedLinesText(),
                 Text(session) + "\r\n  " + Text(Child(session, 0)) + "\r\n");

        // With the mouse: a click on the write and a shift-click on the read's text select the
        // shown lines between; a click on the write's arrow hides its text, which is still copied.
        tree->clearSelection();
        tree->resize(300, 200);
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        const QRect write = tree->visualRect(Child(session, 0));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, write.center());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          tree->visualRect(Line({0, 1, 0})).center());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(write.left() - 5, write.center().y()));
        QVERIFY(!tree->isExpanded(Child(session, 0)));
        QVERIFY(tree->visualRect(Line({0, 0, 0})).isEmpty());
        QCOMPARE(log->SelectedLinesText(), "  " + Text(Child(session, 0)) + "\r\n    +v\r\n  " +
                                               Text(Child(session, 1)) +
                                               "\r\n    REV 07.505.030\r\n");

        // Showing the panel is the main form's test.
        QWidget panel;
        QAction expand, scroll, visible;
        log->BindToggles(&expand, &scroll, &visible, &panel);
        tree->resize(300, 120);
        log->LogSessionStart();
        for (int i = 0; i < 40; ++i)
            log->LogPortRead(QString("line %1").arg(i));
        QCoreApplication::processEvents();
        QScrollBar *bar = tree->verticalScrollBar();
        QVERIFY(bar->value() > 0); // followed the new entries

        expand.setChecked(false);
        scroll.setChecked(false);
        bar->setValue(3);
        const int collapsedBefore = tree->model()->rowCount(log->SessionNode());
        for (int i = 0; i < 10; ++i)
            log->LogPortWrite(QString("cmd %1").arg(i));
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 3);
        QVERIFY(!tree->isExpanded(Child(log->SessionNode(), collapsedBefore)));
    }

    void screenReaderSeesTheShownLines()
    {
        log->LogSessionStart();
        log->LogPortWrite("+v");
        log->LogPortRead("REV 07.505.030");
        const QModelIndex session = log->SessionNode();
        ShowTree(400);
        // Shown rows: 0 session, 1 write, 2 its text, 3 read, 4 its text.
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(tree.get());
        QVERIFY(view);
        QCOMPARE(view->role(), QAccessible::Tree);
        QAccessibleTableInterface *rows = view->tableInterface();
        QVERIFY(rows);
        QCOMPARE(rows->rowCount(), 5);
        QCOMPARE(view->childCount(), 5);
        QAccessibleInterface *write = rows->cellAt(1, 0);
        QCOMPARE(write->role(), QAccessible::TreeItem);
        QCOMPARE(write->text(QAccessible::Name), Text(Child(session, 0)));
        QCOMPARE(rows->cellAt(2, 0)->text(QAccessible::Name), QString("+v"));
        QVERIFY(write->state().expandable && write->state().expanded);
        QVERIFY(write->state().selectable && !write->state().selected);
        QVERIFY(!rows->cellAt(2, 0)->state().expandable);

        // Focus and selection moving, lines hidden and added, as a tree view tells them.
        SetReaderActive(true);
        const auto before = QAccessible::installUpdateHandler(&TestLog::Record);
        told.clear();
        tree->setCurrentIndex(Child(session, 1));
        QAccessibleInterface *read = rows->cellAt(3, 0);
        QVERIFY(read->state().selected && read->state().focused);
        tree->setExpanded(Child(session, 0), false);
        QCOMPARE(rows->rowCount(), 4);
        QCOMPARE(view->indexOfChild(read), 2); // the same cell, one row up
        QVERIFY(!write->state().expanded);
        log->LogPortWrite("+n");
        QAccessible::installUpdateHandler(before);
        SetReaderActive(false);
        QCOMPARE(told, QStringList({"selected 3", "focus 3", "rows out 2-2", "rows in 4-4",
                                    "rows in 5-5"}));
        QCOMPARE(rows->cellAt(5, 0)->text(QAccessible::Name), QString("+n"));
    }

    void treeKeysSelectAllAndSideways()
    {
        log->LogSessionStart();
        log->LogPortWrite("+v");
        log->LogPortRead("REV");
        const QModelIndex session = log->SessionNode();
        const QModelIndex write = Child(session, 0);
        const QModelIndex read = Child(session, 1);
        ShowTree(300);
        QCOMPARE(tree->currentIndex(), session); // focus comes in at the first line
        tree->setCurrentIndex(write);
        QTest::keyClick(tree.get(), Qt::Key_Minus);
        QVERIFY(!tree->isExpanded(write));
        QTest::keyClick(tree.get(), Qt::Key_Plus);
        QVERIFY(tree->isExpanded(write));
        // "*" expands a node and all below it, whether the node itself was collapsed or not.
        for (const bool rootCollapsed : {true, false}) {
            tree->setExpanded(write, false);
            tree->setExpanded(read, false);
            tree->setExpanded(session, !rootCollapsed);
            tree->setCurrentIndex(session);
            QTest::keyClick(tree.get(), Qt::Key_Asterisk);
            QVERIFY(tree->isExpanded(session) && tree->isExpanded(write) && tree->isExpanded(read));
            const QModelIndex readText = Child(read, 0);
            QCOMPARE(tree->indexAt(tree->visualRect(readText).center()), readText);
            QCOMPARE(tree->visualRect(readText).top(), 4 * tree->visualRect(session).height());
        }

        // Typing searches every shown line, from the one after the current line, round the end.
        tree->setCurrentIndex(read);
        QTest::keyClicks(tree.get(), "re");
        QCOMPARE(tree->currentIndex(), Child(read, 0));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        tree->keyboardSearch(Text(read).left(3).toLower());
        QCOMPARE(tree->currentIndex(), read);

        // Ctrl+A selects every shown line, so that all of them are copied.
        QTest::keyClick(tree.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(log->SelectedLinesText(), Text(session) + "\r\n  " + Text(write) +
                                               "\r\n    +v\r\n  " + Text(read) + "\r\n    REV\r\n");

        // A shown line wider than the view scrolls sideways; a hidden one does not.
        QScrollBar *across = tree->horizontalScrollBar();
        QCOMPARE(across->maximum(), 0);
        const QString command = "+LONG" + QString("000-001-").repeated(37);
        log->LogPortWrite(command);
        QCoreApplication::processEvents();
        QVERIFY(across->isVisible());
        QVERIFY(across->maximum() + tree->viewport()->width() >
                tree->fontMetrics().horizontalAdvance(command));
        tree->setExpanded(Child(session, 2), false);
        QCOMPARE(across->maximum(), 0);
    }

    void savedFileBytesAndTheErrorLog()
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

        // A folder that is not there, and a disk that refuses the bytes at the flush (/dev/full
        // takes the open and refuses with "no space left", as a full disk or pulled stick does).
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 log->SaveToFile(dir.filePath("no/such/folder/x.log")));
        if (QFileInfo::exists("/dev/full"))
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, log->SaveToFile("/dev/full"));

        // The error.log file.
        TErrorLog errors(dir.filePath("error.log"));
        QVERIFY(errors.WriteErrorLog("GetByte", "Convert", ">G1"));
        QVERIFY(errors.WriteErrorLog("GetStringValue", "Invalid length",
                                     "Command: +object Result: Объект"));
        const QStringList errorLines =
            QString(QStringDecoder("windows-1251").decode(ReadAll(errors.Path()))).split("\r\n");
        QCOMPARE(errorLines.size(), 3);
        QVERIFY(errorLines[0].endsWith("] [GetByte] [Convert] [>G1]"));
        QVERIFY(errorLines[1].endsWith(
            "] [GetStringValue] [Invalid length] [Command: +object Result: Объект]"));

        // A file that cannot be opened or written is reported, never thrown.
        QVERIFY(!TErrorLog(dir.filePath("missing/dir/error.log")).WriteErrorLog("GetWord", "", ""));
        if (QFileInfo::exists("/dev/full"))
            QVERIFY(!TErrorLog("/dev/full").WriteErrorLog("GetByte", "Convert", ">G1"));
    }
};

QTEST_MAIN(TestLog)
#include "tst_log.moc"
