#include "main/LogView.h"

#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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

int LevelOf(const QTreeWidgetItem *item)
{
    int level = 0;
    for (const QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        ++level;
    return level;
}

// Repaints the tree once for a burst of changes.
class TUpdateGuard
{
public:
    explicit TUpdateGuard(QTreeWidget *tree) : Tree(tree) { Tree->setUpdatesEnabled(false); }
    ~TUpdateGuard() { Tree->setUpdatesEnabled(true); }
    TUpdateGuard(const TUpdateGuard &) = delete;
    TUpdateGuard &operator=(const TUpdateGuard &) = delete;

private:
    QTreeWidget *Tree;
};

} // namespace

TLogView::TLogView(QTreeWidget *tree, QObject *parent) : QObject(parent), Tree(tree) {}

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

QTreeWidgetItem *TLogView::AddUnderSession(const QString &text)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    if (Session)
        Session->addChild(item);
    else
        Tree->addTopLevelItem(item);
    return item;
}

void TLogView::AddLogLine(const QString &text, const QString &fmt)
{
    if (!Tree)
        return;
    TUpdateGuard guard(Tree);
    QTreeWidgetItem *item = AddUnderSession(Apply(fmt, text));
    if (AutoScroll)
        Tree->scrollToItem(item);
}

void TLogView::AddLogTimed(const QString &text, const QString &fmt)
{
    if (!Tree)
        return;
    TUpdateGuard guard(Tree);
    QScrollBar *bar = Tree->verticalScrollBar();
    const int top = bar->value();
    QTreeWidgetItem *node = AddUnderSession(Apply(fmt, Now()));
    auto *child = new QTreeWidgetItem(node, QStringList{RemoveCtrlChars(text)});
    if (AutoExpand) {
        node->setExpanded(true);
        Tree->scrollToItem(node);
    } else {
        bar->setValue(top);
    }
    if (AutoScroll)
        Tree->scrollToItem(child);
    else
        bar->setValue(top);
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
    if (!Tree)
        return;
    TUpdateGuard guard(Tree);
    auto *node = new QTreeWidgetItem(QStringList{Apply(QStringLiteral("Начало работы %s"), Now())});
    Tree->addTopLevelItem(node);
    Session = node;
    Tree->scrollToItem(node);
    node->setExpanded(true);
}

void TLogView::LogSessionEnd()
{
    if (!Tree)
        return;
    TUpdateGuard guard(Tree);
    auto *node =
        new QTreeWidgetItem(QStringList{Apply(QStringLiteral("Окончание работы %s"), Now())});
    const int at = Session ? Tree->indexOfTopLevelItem(Session) : -1;
    if (at >= 0)
        Tree->insertTopLevelItem(at + 1, node);
    else
        Tree->addTopLevelItem(node);
    if (AutoScroll)
        Tree->scrollToItem(node);
}

void TLogView::ClearLog()
{
    if (!Tree)
        return;
    TUpdateGuard guard(Tree);
    Tree->clear();
    Session = new QTreeWidgetItem(QStringList{QString()});
    Tree->addTopLevelItem(Session);
}

QString TLogView::SelectedLinesText() const
{
    if (!Tree)
        return {};
    const qsizetype selected = Tree->selectedItems().size();
    if (selected == 0)
        return {};
    QString out;
    bool started = false;
    qsizetype added = 0;
    for (QTreeWidgetItemIterator it(Tree); *it && added < selected; ++it) {
        const QTreeWidgetItem *item = *it;
        if (item->isSelected()) {
            out += QString(2 * LevelOf(item), QLatin1Char(' ')) + item->text(0) +
                   QLatin1String("\r\n");
            started = true;
            ++added;
        } else if (started) {
            out += QLatin1String("\r\n");
        }
    }
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
    if (!Tree)
        return {};
    QString out;
    for (QTreeWidgetItemIterator it(Tree); *it; ++it)
        out += QString(LevelOf(*it), QLatin1Char('\t')) + (*it)->text(0) + QLatin1String("\r\n");
    return out;
}

void TLogView::SaveToFile(const QString &path) const
{
    const QByteArray bytes = EncodeCp1251(TreeText());
    const QFileInfo target(path);
    bool written = false;
    QString reason;
    if (target.exists() && !target.isFile()) {
        // A device or a pipe is written in place: there is no old file to keep.
        QFile file(path);
        written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                  file.flush(); // a full disk shows at the flush
        reason = file.errorString();
    } else {
        written = SaveWholeFile(path, bytes, false, reason);
    }
    if (!written)
        throw std::runtime_error(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason).toStdString());
}

void TLogView::SaveToFileAction(QWidget *dialogParent) const
{
    const QString path = QFileDialog::getSaveFileName(dialogParent, QString(),
                                                      DefaultFileName(QDate::currentDate()));
    if (!path.isEmpty())
        SaveToFile(path);
}

QString TLogView::DefaultFileName(const QDate &day)
{
    return Format(QStringLiteral("%.4d-%.2d-%.2d.log"),
                  QVariantList{day.year(), day.month(), day.day()});
}
