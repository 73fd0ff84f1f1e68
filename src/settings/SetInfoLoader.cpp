#include "settings/SetInfoLoader.h"

#include "pages/RadioGroup.h"
#include "pages/TypingLimit.h"
#include "settings/Delphi.h"
#include "settings/SettingsRW.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>

namespace {

bool IsKnownKind(TSetInfoKind kind)
{
    const int value = static_cast<int>(kind);
    return value >= 0 && value <= 16 && value != 9;
}

QTabWidget *TabWidgetOf(QWidget *sheet)
{
    // A page of a QTabWidget sits in the tab widget's internal stack.
    QWidget *stack = sheet->parentWidget();
    return stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
}

bool HasExpectedClass(QWidget *control, TSetInfoKind kind)
{
    switch (kind) {
    case TSetInfoKind::CheckBoxCaption:
    case TSetInfoKind::CheckBoxChecked:
        return qobject_cast<QCheckBox *>(control);
    case TSetInfoKind::GroupBoxCaption:
        return qobject_cast<QGroupBox *>(control);
    case TSetInfoKind::LabelCaption:
        return qobject_cast<QLabel *>(control);
    case TSetInfoKind::RadioGroupCaption:
    case TSetInfoKind::RadioGroupItems:
    case TSetInfoKind::RadioGroupIndex:
        return qobject_cast<TRadioGroup *>(control);
    case TSetInfoKind::RadioButtonCaption:
    case TSetInfoKind::RadioButtonChecked:
        return qobject_cast<QRadioButton *>(control);
    case TSetInfoKind::ButtonCaption:
        return qobject_cast<QAbstractButton *>(control);
    case TSetInfoKind::EditText:
        return qobject_cast<QLineEdit *>(control);
    case TSetInfoKind::ComboItems:
    case TSetInfoKind::ComboIndex:
        return qobject_cast<QComboBox *>(control);
    case TSetInfoKind::ValueListTitles:
    case TSetInfoKind::ValueListRows:
        return qobject_cast<QTableWidget *>(control);
    case TSetInfoKind::TabSheetCaption:
        return TabWidgetOf(control) != nullptr;
    }
    return false;
}

[[noreturn]] void ThrowWrongClass(const TSetInfo &row)
{
    throw ESettingsError(QStringLiteral("Элемент \"%1\" не подходит для строки \"%2\" (вид %3)")
                             .arg(QString::fromLatin1(row.CompName), QString::fromLatin1(row.Ident))
                             .arg(static_cast<int>(row.Kind)));
}

bool IsBooleanKind(TSetInfoKind kind)
{
    return kind == TSetInfoKind::CheckBoxChecked || kind == TSetInfoKind::RadioButtonChecked;
}

bool IsIndexKind(TSetInfoKind kind)
{
    return kind == TSetInfoKind::ComboIndex || kind == TSetInfoKind::RadioGroupIndex;
}

bool Converts(TSetInfoKind kind, const QString &text)
{
    if (IsBooleanKind(kind)) {
        bool value = false;
        return TryStoredTextToBool(text, value);
    }
    if (IsIndexKind(kind)) {
        bool ok = false;
        text.trimmed().toInt(&ok);
        return ok;
    }
    return true;
}

// The stored text of a row; a text that does not convert for the row's kind counts as absent.
QString StoredTextFor(const TSettingsRW &settings, const QString &section, const TSetInfo &row)
{
    const QString fallback = QString::fromUtf8(row.DefValue);
    const QString text =
        settings.ReadOrDefault(MakeSetItem(section, QString::fromLatin1(row.Ident), fallback))
            .toString();
    if (Converts(row.Kind, text))
        return text;
    if (!Converts(row.Kind, fallback))
        throw ESettingsError(QStringLiteral("Значение по умолчанию \"%1\" строки \"%2\" неверно")
                                 .arg(fallback, QString::fromLatin1(row.Ident)));
    return fallback;
}

bool ToBool(const QString &text)
{
    bool value = false;
    TryStoredTextToBool(text, value);
    return value;
}

} // namespace

void SetValueListRows(QTableWidget *table, const QStringList &lines)
{
    table->setColumnCount(2);
    table->setRowCount(static_cast<int>(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const qsizetype eq = lines[r].indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? lines[r] : lines[r].left(eq);
        const QString value = eq < 0 ? QString() : lines[r].mid(eq + 1);
        table->setItem(r, 0, new QTableWidgetItem(key));
        table->setItem(r, 1, new QTableWidgetItem(value));
    }
}

namespace {

QStringList TableRows(const QTableWidget *table)
{
    QStringList lines;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QTableWidgetItem *key = table->item(r, 0);
        const QTableWidgetItem *value = table->item(r, 1);
        lines << (key ? key->text() : QString()) + QLatin1Char('=') +
                     (value ? value->text() : QString());
    }
    return lines;
}

QStringList TableTitles(const QTableWidget *table)
{
    QStringList titles;
    for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem *title = table->horizontalHeaderItem(c);
        titles << (title ? title->text() : QString());
    }
    return titles;
}

void ApplyText(QWidget *control, TSetInfoKind kind, const QString &text)
{
    switch (kind) {
    case TSetInfoKind::CheckBoxCaption:
    case TSetInfoKind::RadioButtonCaption:
    case TSetInfoKind::ButtonCaption:
        static_cast<QAbstractButton *>(control)->setText(text);
        break;
    case TSetInfoKind::GroupBoxCaption:
    case TSetInfoKind::RadioGroupCaption:
        static_cast<QGroupBox *>(control)->setTitle(text);
        break;
    case TSetInfoKind::LabelCaption:
        static_cast<QLabel *>(control)->setText(text);
        break;
    case TSetInfoKind::EditText:
        TTypingLimit::SetText(static_cast<QLineEdit *>(control),
                              QString(text).replace(QLatin1Char('#'), DecimalSeparator()));
        break;
    case TSetInfoKind::CheckBoxChecked:
    case TSetInfoKind::RadioButtonChecked:
        static_cast<QAbstractButton *>(control)->setChecked(ToBool(text));
        break;
    case TSetInfoKind::ComboItems: {
        auto *combo = static_cast<QComboBox *>(control);
        combo->clear();
        combo->addItems(SplitStoredLines(text));
        break;
    }
    case TSetInfoKind::RadioGroupItems:
        static_cast<TRadioGroup *>(control)->SetItems(SplitStoredLines(text));
        break;
    case TSetInfoKind::ValueListTitles: {
        auto *table = static_cast<QTableWidget *>(control);
        table->setColumnCount(2);
        table->setHorizontalHeaderLabels(SplitStoredLines(text));
        break;
    }
    case TSetInfoKind::ValueListRows:
        SetValueListRows(static_cast<QTableWidget *>(control), SplitStoredLines(text));
        break;
    case TSetInfoKind::ComboIndex:
        static_cast<QComboBox *>(control)->setCurrentIndex(text.trimmed().toInt());
        break;
    case TSetInfoKind::RadioGroupIndex:
        static_cast<TRadioGroup *>(control)->SetItemIndex(text.trimmed().toInt());
        break;
    case TSetInfoKind::TabSheetCaption: {
        QTabWidget *tabs = TabWidgetOf(control);
        tabs->setTabText(tabs->indexOf(control), text);
        break;
    }
    }
}

QString TakeText(QWidget *control, TSetInfoKind kind)
{
    switch (kind) {
    case TSetInfoKind::CheckBoxCaption:
    case TSetInfoKind::RadioButtonCaption:
    case TSetInfoKind::ButtonCaption:
        return static_cast<QAbstractButton *>(control)->text();
    case TSetInfoKind::GroupBoxCaption:
    case TSetInfoKind::RadioGroupCaption:
        return static_cast<QGroupBox *>(control)->title();
    case TSetInfoKind::LabelCaption:
        return static_cast<QLabel *>(control)->text();
    case TSetInfoKind::EditText:
        return static_cast<QLineEdit *>(control)->text().replace(DecimalSeparator(),
                                                                 QStringLiteral("#"));
    case TSetInfoKind::CheckBoxChecked:
    case TSetInfoKind::RadioButtonChecked:
        return BoolToStoredText(static_cast<QAbstractButton *>(control)->isChecked());
    case TSetInfoKind::ComboItems: {
        const auto *combo = static_cast<QComboBox *>(control);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return JoinStoredLines(items);
    }
    case TSetInfoKind::RadioGroupItems:
        return JoinStoredLines(static_cast<TRadioGroup *>(control)->Items());
    case TSetInfoKind::ValueListTitles:
        return JoinStoredLines(TableTitles(static_cast<QTableWidget *>(control)));
    case TSetInfoKind::ValueListRows:
        return JoinStoredLines(TableRows(static_cast<QTableWidget *>(control)));
    case TSetInfoKind::ComboIndex:
        return QString::number(static_cast<QComboBox *>(control)->currentIndex());
    case TSetInfoKind::RadioGroupIndex:
        return QString::number(static_cast<TRadioGroup *>(control)->ItemIndex());
    case TSetInfoKind::TabSheetCaption: {
        QTabWidget *tabs = TabWidgetOf(control);
        return tabs->tabText(tabs->indexOf(control));
    }
    }
    return {};
}

template <typename Action> void ForEachMatch(QWidget *owner, TSetInfoTable table, Action action)
{
    const QList<QWidget *> controls = owner->findChildren<QWidget *>();
    for (const TSetInfo &row : table) {
        if (!IsKnownKind(row.Kind))
            continue;
        const QString name = QString::fromLatin1(row.CompName);
        for (QWidget *control : controls) {
            if (control->objectName() != name)
                continue;
            if (!HasExpectedClass(control, row.Kind))
                ThrowWrongClass(row);
            action(row, control);
        }
    }
}

} // namespace

void LoadSetInfoTable(QWidget *Owner, const TSettingsRW &Settings, const QString &Section,
                      TSetInfoTable Table)
{
    ForEachMatch(Owner, Table, [&](const TSetInfo &row, QWidget *control) {
        ApplyText(control, row.Kind, StoredTextFor(Settings, Section, row));
    });
}

void SaveSetInfoTable(QWidget *Owner, TSettingsRW &Settings, const QString &Section,
                      TSetInfoTable Table)
{
    ForEachMatch(Owner, Table, [&](const TSetInfo &row, QWidget *control) {
        Settings.Write(
            MakeSetItem(Section, QString::fromLatin1(row.Ident), TakeText(control, row.Kind)));
    });
}

QStringList SplitStoredLines(const QString &Text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = Text.split(lineBreak);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString JoinStoredLines(const QStringList &Lines)
{
    QString text;
    for (const QString &line : Lines)
        text += line + QStringLiteral("\r\n");
    return text;
}
