#include "main/LogView.h"

#include "main/LogModel.h"
#include "main/LogTreeView.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <stdexcept>

namespace {

QString Now()
{
    return DateTimeToStr(QDateTime::currentDateTime());
}

QString Apply(const QString &fmt, const QString &text)
{
    return FormatChecked(fmt, QVariantList{text});
}

} // namespace

// The model belongs to the view, so neither outlives the other's use of it.
TLogView::TLogView(TLogTreeView *tree, QObject *parent)
    : QObject(parent), Tree(tree), Lines(new TLogModel(tree))
{
    tree->setModel(Lines);
}

void TLogView::BindToggles(QAction *autoExpand, QAction *autoScroll, QAction *logVisible,
                           QWidget *panel)
{
    for (QAction *a : {autoExpand, autoScroll, logVisible}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    AutoExpand = AutoScroll = true;
    connect(autoExpand, &QAction::toggled, this, [this](bool on) { AutoExpand = on; });
    connect(autoScroll, &QAction::toggled, this, [this](bool on) { AutoScroll = on; });
    QPointer<QWidget> shown(panel);
    connect(logVisible, &QAction::toggled, this, [shown](bool on) {
        if (shown)
            shown->setVisible(on);
    });
}

// The view keeps its top line where it is as lines come; it follows them only when asked to.
void TLogView::FollowNewLine(const QModelIndex &line)
{
    if (AutoScroll)
        Tree->scrollTo(line);
}

void TLogView::AddLogLine(const QString &text, const QString &fmt)
{
    if (!Tree || !Lines)
        return;
    FollowNewLine(Lines->AddLine(Session, Apply(fmt, text)));
}

void TLogView::AddLogTimed(const QString &text, const QString &fmt)
{
    if (!Tree || !Lines)
        return;
    const QModelIndex node =
        Lines->AddTimed(Session, fmt, QDateTime::currentDateTime(), RemoveCtrlChars(text));
    if (AutoExpand) {
        for (QModelIndex up = node; up.isValid(); up = up.parent())
            Tree->setExpanded(up, true);
    }
    FollowNewLine(Lines->index(0, 0, node));
}

void TLogView::LogPortError(const QString &text)
{
    AddLogLine(text, QStringLiteral("Ошибка порта: %s"));
}

void TLogView::LogPortEvent(const QString &text)
{
    AddLogLine(text, QStringLiteral("Событие порта: %s"));
}

void TLogView::LogPortRead(const QString &text)
{
    AddLogTimed(text, QStringLiteral("Чтение из порта: %s"));
}

void TLogView::LogPortWrite(const QString &text)
{
    AddLogTimed(text, QStringLiteral("Запись в порт: %s"));
}

void TLogView::LogWriteError(uint32_t errorCode, const QString &cmd)
{
    LogPortError(FormatChecked(QStringLiteral("Ошибка записи! Код: %d, Команда: %s"),
                               QVariantList{qint64(errorCode), cmd}));
}

void TLogView::LogSessionStart()
{
    if (!Tree || !Lines)
        return;
    const QModelIndex node = Lines->AddRoot(Apply(QStringLiteral("Начало работы %s"), Now()));
    Session = node;
    Tree->scrollTo(node);
    Tree->setExpanded(node, true);
}

void TLogView::LogSessionEnd()
{
    if (!Tree || !Lines)
        return;
    FollowNewLine(
        Lines->InsertRootAfter(Session, Apply(QStringLiteral("Окончание работы %s"), Now())));
}

void TLogView::ClearLog()
{
    if (!Tree || !Lines)
        return;
    Lines->Clear();
    Session = Lines->AddRoot(QString());
}

QString TLogView::SelectedLinesText() const
{
    if (!Tree || !Lines || !Tree->selectionModel())
        return {};
    // Looked up in a set: asking the selection model line by line costs a walk over all of its
    // ranges each time, one range per shown text line after a select-all.
    const QModelIndexList selectedList = Tree->selectionModel()->selectedIndexes();
    const QSet<QModelIndex> chosen(selectedList.cbegin(), selectedList.cend());
    const qsizetype selected = chosen.size();
    if (selected == 0)
        return {};
    QString out;
    bool started = false;
    qsizetype added = 0;
    Lines->VisitAll([&](const QModelIndex &line, int level) {
        if (chosen.contains(line)) {
            out += QString(2 * level, QLatin1Char(' ')) + Lines->LineText(line) +
                   QLatin1String("\r\n");
            started = true;
            ++added;
        } else if (started) {
            out += QLatin1String("\r\n");
        }
        return added < selected;
    });
    return out;
}

bool TLogView::CopyToClipboard() const
{
    const QString text = SelectedLinesText();
    if (text.isEmpty())
        return false;
    CopyTextToClipboard(text);
    return true;
}

QString TLogView::TreeText() const
{
    if (!Lines)
        return {};
    QString out;
    Lines->VisitAll([&](const QModelIndex &line, int level) {
        out += QString(level, QLatin1Char('\t')) + Lines->LineText(line) + QLatin1String("\r\n");
        return true;
    });
    return out;
}

void TLogView::SaveToFile(const QString &path) const
{
    const QByteArray bytes = EncodeCp1251(TreeText());
    QString reason;
    if (!SaveWholeFile(path, bytes, false, reason))
        throw std::runtime_error(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason).toStdString());
}

QString TLogView::DefaultFileName(const QDate &day)
{
    return Format(QStringLiteral("%.4d-%.2d-%.2d.log"),
                  QVariantList{day.year(), day.month(), day.day()});
}
