#include "pages/ValueListEditor.h"

#include "pages/OneLinePaste.h"
#include "pages/ResultMarkers.h"
#include "settings/SetInfoLoader.h"
#include "settings/SettingsRW.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>

#include <exception>

namespace ValueListEditor {

QString Value(const QTableWidget &list, int row)
{
    const QTableWidgetItem *item = list.item(row - 1, ValueColumn);
    return item ? item->text() : QString();
}

void SetValue(QTableWidget &list, int row, const QString &value)
{
    if (row < 1 || row > list.rowCount())
        return;
    if (QTableWidgetItem *item = list.item(row - 1, ValueColumn))
        item->setText(value);
    else
        list.setItem(row - 1, ValueColumn, new QTableWidgetItem(value));
}

QString KeyName(const QTableWidget &list, int row)
{
    const QTableWidgetItem *item = list.item(row - 1, KeyColumn);
    return item ? item->text() : QString();
}

QStringList Values(const QTableWidget &list)
{
    QStringList values;
    for (int r = 1; r <= list.rowCount(); ++r)
        values << Value(list, r);
    return values;
}

void LockKeyColumn(QTableWidget &list)
{
    for (int r = 0; r < list.rowCount(); ++r)
        if (QTableWidgetItem *item = list.item(r, KeyColumn))
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
}

void MarkRows(QTableWidget &list, const QList<int> &pageRows, int firstPageRow, const QColor &color)
{
    QTableWidgetItem *first = nullptr;
    for (const int pageRow : pageRows)
        if (pageRow >= firstPageRow)
            if (QTableWidgetItem *key = list.item(pageRow - firstPageRow, KeyColumn)) {
                key->setForeground(color);
                if (first == nullptr || key->row() < first->row())
                    first = key;
            }
    if (first != nullptr)
        list.scrollToItem(first);
}

void ResetMarksOnChange(QTableWidget &list)
{
    QObject::connect(&list, &QTableWidget::itemChanged, &list, [&list](QTableWidgetItem *item) {
        if (item->column() != ValueColumn)
            return;
        if (QTableWidgetItem *key = list.item(item->row(), KeyColumn))
            key->setData(Qt::ForegroundRole, QVariant());
    });
}

QColor RowMark(const QTableWidget &list, int row)
{
    const QTableWidgetItem *key = list.item(row - 1, KeyColumn);
    return key && key->data(Qt::ForegroundRole).isValid() ? key->foreground().color() : QColor();
}

QStringList StoredLines(const TSettingsRW &settings, const QString &section, TSetInfoTable table,
                        int listRow)
{
    const TSetInfo &row = table[size_t(listRow)];
    return SplitStoredLines(settings
                                .ReadOrDefault(MakeSetItem(section, QString::fromLatin1(row.Ident),
                                                           QString::fromUtf8(row.DefValue)))
                                .toString());
}

void SaveSetInfoTableKeepingMarkedRows(QWidget *owner, TSettingsRW &settings,
                                       const QString &section, TSetInfoTable table, int listRow,
                                       const QTableWidget &list)
{
    const QStringList storedBefore = StoredLines(settings, section, table, listRow);
    SaveSetInfoTable(owner, settings, section, table);
    QStringList shown;
    for (int r = 1; r <= list.rowCount(); ++r)
        shown << KeyName(list, r) + QLatin1Char('=') + Value(list, r);
    const QStringList lines = ResultMarkers::LinesToStore(shown, storedBefore);
    settings.Write(MakeSetItem(section, QString::fromLatin1(table[size_t(listRow)].Ident),
                               JoinStoredLines(lines)));
}

} // namespace ValueListEditor

TCellKeyFilter::TCellKeyFilter(TFilter filter, std::function<void()> keyPressed, QObject *parent)
    : QStyledItemDelegate(parent), Filter(std::move(filter)), KeyPressed(std::move(keyPressed))
{}

QWidget *TCellKeyFilter::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                      const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->installEventFilter(const_cast<TCellKeyFilter *>(this));
    TOneLinePaste::Install(editor);
    return editor;
}

bool TCellKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *editor = qobject_cast<QLineEdit *>(watched);
    if (editor == nullptr || event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString text = key->text();
    // Only keys that type one character; Tab and Delete may carry control characters too.
    if (text.size() != 1 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
        key->key() == Qt::Key_Delete || (text[0] < QLatin1Char(' ') && text[0] != '\b'))
        return QStyledItemDelegate::eventFilter(watched, event);
    try {
        if (KeyPressed)
            KeyPressed();
        const std::optional<QChar> passed = Filter ? Filter(text[0]) : text[0];
        if (!passed)
            return true;
        if (*passed != text[0]) {
            editor->insert(QString(*passed));
            return true;
        }
    } catch (const std::exception &) {
        return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}
