#pragma once

// The main window on one page, connected to the simulated unit, for the page tests that need the
// whole window: page actions, the page's controls by name and the single-command service drained
// before a check.

#include "WindowConnection.h"

#include <QTableWidget>

#include <memory>

// Keeps the answers posted to it, and the tick test of each when it arrived.
class TAnswerCatcher : public QObject
{
public:
    QList<MainReplyRecord> Answers;
    QList<bool> Current;

protected:
    void customEvent(QEvent *e) override
    {
        if (e->type() != WM_COMMANDDONE)
            return;
        const auto *done = static_cast<TCommandDoneEvent *>(e);
        Answers << done->Record;
        Current << done->IsCurrent();
    }
};

struct KeyPagesWindow
{
    unitsim::UnitSimulator Sim; // outlives the window's connection to it
    std::unique_ptr<TMainForm> Form = std::make_unique<TMainForm>(QStringLiteral("1.0.0.0"));
    MessageBoxCatcher Boxes;
    int Page;

    explicit KeyPagesWindow(int page) : Page(page)
    {
        SpeedUp(Form->Engine(), Form->Connection());
        Form->MessageHook = [this](const QString &text, bool) { Boxes.Texts << text; };
        Form->show();
        Form->ShowPage(page);
    }

    bool Connect(const unitsim::UnitSimOptions &options = CableUnit())
    {
        return ConnectWindow(*Form, Sim, options);
    }

    void Read() { FindAction(*Form, "ReadPageAction")->trigger(); }
    void Write() { FindAction(*Form, "WritePageAction")->trigger(); }

    // Every request posted before this one has been answered and its answer handled.
    bool ServiceDone()
    {
        TAnswerCatcher last;
        PostExecCommand(Form.get(), 105, &last);
        return QTest::qWaitFor([&] { return !last.Answers.isEmpty(); }, 5000);
    }

    template <typename T> T *Child(const char *name) const
    {
        return Form->Frames[Page]->findChild<T *>(QString::fromLatin1(name));
    }
    QString Cell(const char *list, int row) const
    {
        return Child<QTableWidget>(list)->item(row - 1, 1)->text();
    }
    void SetCell(const char *list, int row, const QString &text)
    {
        Child<QTableWidget>(list)->item(row - 1, 1)->setText(text);
    }
};
