#include "main/MainSettingsFile.h"

#include "main/SettingsFile.h"
#include "pages/RadioGroup.h"
#include "pages/ResultMarkers.h"
#include "pages/TypingLimit.h"
#include "pages/ValueListEditor.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QRadioButton>
#include <QTableWidget>

struct TMainSettingsFile::TKey
{
    enum TForm
    {
        Text,
        Boolean,
        Index,
        ListRow
    };

    int Page;
    QString Key;
    QString Control;
    TForm Form;
    int Row = 0; // ListRow: the row of the value list, from 1
};

namespace {

constexpr int GeneralPage = 0, GPRSPage = 1, EventsPage = 3, CANPage = 5, EngNumbersPage = 7;
using K = TMainSettingsFile::TKey;

} // namespace

// Every key in the order the file holds them.
static const QList<K> &Keys()
{
    static const QList<K> keys = [] {
        QList<K> k;
        const auto add = [&k](int page, const char *key, const char *control, K::TForm form,
                              int row = 0) {
            k.append({page, QString::fromLatin1(key), QString::fromLatin1(control), form, row});
        };
        add(GeneralPage, "object", "ObjectNumberEdit", K::Text);
        add(GeneralPage, "lat", "LatEdit", K::Text);
        add(GeneralPage, "lon", "LonEdit", K::Text);
        add(GeneralPage, "ti", "TimeIntervalEdit", K::Text);
        add(GeneralPage, "gpsoff", "GPSOffBox", K::Boolean);
        add(GeneralPage, "gsmoff", "GSMOffBox", K::Boolean);
        add(GeneralPage, "reboot", "RebootCheckBox", K::Boolean);
        add(GeneralPage, "rebtime", "TimeCombo", K::Index);

        add(GPRSPage, "gprsactive", "GPRSActiveCheckBox", K::Boolean);
        add(GPRSPage, "rebtime1", "RebootTimeCombo", K::Index);
        for (const auto &[key, control] : {std::pair{"pwd", "GPRSPasswordEdit"},
                                           {"phone", "PhoneNumberEdit"},
                                           {"atlphone", "AltPhoneNumberEdit"},
                                           {"accpoint", "AccessPointEdit"},
                                           {"altaccpoint", "AltAccessPointEdit"},
                                           {"user", "UserNameEdit"},
                                           {"altuser", "AltUserNameEdit"},
                                           {"pass", "PasswordEdit"},
                                           {"altpass", "AltPasswordEdit"},
                                           {"ip", "IPAddressEdit"},
                                           {"altip", "AltIPAddressEdit"},
                                           {"port", "PortEdit"},
                                           {"altport", "AltPortEdit"},
                                           {"fdns", "FirstDNSEdit"},
                                           {"altfdns", "AltFirstDNSEdit"},
                                           {"sdns", "SecondDNSEdit"},
                                           {"altsdns", "AltSecondDNSEdit"},
                                           {"alphone1", "AlarmPhone1"},
                                           {"alphone2", "AlarmPhone2"}})
            add(GPRSPage, key, control, K::Text);
        add(GPRSPage, "allog1", "AlarmCombo1", K::Index);
        add(GPRSPage, "allog2", "AlarmCombo2", K::Index);
        add(GPRSPage, "alOR", "AlarmOR", K::Boolean);
        add(GPRSPage, "alAND", "AlarmAND", K::Boolean);

        for (int i = 1; i <= 7; ++i) {
            for (const char *group : {"HisSetFlag", "HisRestFlag", "FlagSetFlag", "FlagRestFlag"}) {
                const QByteArray name = group + QByteArray::number(i);
                add(EventsPage, name.constData(), name.constData(), K::Boolean);
            }
        }
        add(EventsPage, "reg", "ModeCombo", K::Index);
        add(EventsPage, "ontime", "OnTimeEdit", K::Text);
        add(EventsPage, "pause", "PauseEdit", K::Text);
        add(EventsPage, "period", "PeriodEdit", K::Text);
        add(EventsPage, "invers", "InversGroup", K::Index);
        add(EventsPage, "block", "Block1", K::Index);
        add(EventsPage, "identtime", "IdentTimeEdit", K::Text);
        add(EventsPage, "out1", "OUT1", K::Boolean);
        add(EventsPage, "out2", "OUT2", K::Boolean);

        add(CANPage, "can", "CANFormatGroup", K::Index);
        for (int i = 1; i <= 4; ++i) {
            const QByteArray n = QByteArray::number(i);
            add(CANPage, "canpar" + n, "Par" + n + "IndexEdit", K::Text);
            add(CANPage, "canshift" + n, "Par" + n + "Shift", K::Index);
        }

        add(EngNumbersPage, "engen", "EngNumbersOnCheckBox", K::Boolean);
        for (int i = 1; i <= 10; ++i)
            add(EngNumbersPage, QByteArray("numb" + QByteArray::number(i)).constData(),
                "EngNumbers", K::ListRow, i);
        add(EngNumbersPage, "displinkoff", "DispLinkOff", K::Boolean);
        add(EngNumbersPage, "displinkon", "DispLinkOn", K::Boolean);
        add(EngNumbersPage, "displinkontime", "DispLinkOnTime", K::Boolean);
        add(EngNumbersPage, "displinktime", "DispLinkTimeEdit", K::Text);
        add(EngNumbersPage, "touch", "TMemCheckBox", K::Boolean);
        for (int i = 1; i <= 5; ++i)
            add(EngNumbersPage, QByteArray("key" + QByteArray::number(i)).constData(), "TMemKeys",
                K::ListRow, i);
        return k;
    }();
    return keys;
}

QWidget *TMainSettingsFile::Control(const TKey &Key) const
{
    QWidget *page = Frame ? Frame(Key.Page) : nullptr;
    if (!page)
        return nullptr;
    return page->objectName() == Key.Control ? page : page->findChild<QWidget *>(Key.Control);
}

namespace {

QString ReadIndex(QWidget *control)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return QString::number(combo->currentIndex());
    if (auto *group = qobject_cast<TRadioGroup *>(control))
        return QString::number(group->ItemIndex());
    return {};
}

void WriteIndex(QWidget *control, int index)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        combo->setCurrentIndex(index);
    else if (auto *group = qobject_cast<TRadioGroup *>(control))
        group->SetItemIndex(index);
}

void WriteBoolean(QAbstractButton *button, bool checked)
{
    // An exclusive radio button cannot be cleared by itself; the file may clear both of a pair.
    auto *radio = qobject_cast<QRadioButton *>(button);
    if (radio && !checked && radio->isChecked() && radio->autoExclusive()) {
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(true);
        return;
    }
    button->setChecked(checked);
}

QString BuddyCaption(const QWidget *page, const QWidget *control)
{
    if (!page || !control)
        return {};
    for (const QLabel *label : page->findChildren<QLabel *>())
        if (label->buddy() == control)
            return label->text();
    return {};
}

QString GroupTitle(const QWidget *control)
{
    for (const QWidget *w = control; w; w = w->parentWidget())
        if (const auto *group = qobject_cast<const QGroupBox *>(w))
            return group->title();
    return {};
}

} // namespace

QString TMainSettingsFile::Read(const TKey &Key) const
{
    QWidget *control = Control(Key);
    switch (Key.Form) {
    case TKey::Text:
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            return edit->text();
        return {};
    case TKey::Boolean:
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        return {};
    case TKey::Index:
        return ReadIndex(control);
    case TKey::ListRow:
        if (auto *list = qobject_cast<QTableWidget *>(control)) {
            const QString value = ValueListEditor::Value(*list, Key.Row);
            if (!ResultMarkers::IsMarker(value))
                return value;
            return ValueBehindMarker ? ValueBehindMarker(Key.Control, Key.Row) : QString();
        }
        return {};
    }
    return {};
}

// What the page shows as the field's name: a value list row's key, else the label that names the
// control, else the title of the group that holds it; the file's key when there is none.
QString TMainSettingsFile::Caption(const TKey &Key) const
{
    QWidget *control = Control(Key);
    QString caption;
    if (auto *list = qobject_cast<QTableWidget *>(control); list && Key.Form == TKey::ListRow)
        caption = ValueListEditor::KeyName(*list, Key.Row);
    if (caption.isEmpty())
        caption = BuddyCaption(Frame ? Frame(Key.Page) : nullptr, control);
    if (caption.isEmpty())
        caption = GroupTitle(control);
    caption = caption.simplified();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption.isEmpty() ? Key.Key : caption;
}

QStringList TMainSettingsFile::FieldsNotCarriedInOneLine(const TSettingsFile &File) const
{
    QStringList fields;
    for (const TKey &key : Keys()) {
        const QStringList outside = CharsNotCarriedInOneLine(File.Value(key.Key));
        if (!outside.isEmpty())
            fields << QStringLiteral("«%1» (%2): %3")
                          .arg(Caption(key), key.Key, outside.join(QLatin1Char(' ')));
    }
    return fields;
}

void TMainSettingsFile::Write(const TKey &Key, const QString &Value) const
{
    QWidget *control = Control(Key);
    if (!control)
        return;
    switch (Key.Form) {
    case TKey::Text:
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            TTypingLimit::SetText(edit, Value);
        break;
    case TKey::Boolean:
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            WriteBoolean(button, Value == QLatin1String("1"));
        break;
    case TKey::Index:
        WriteIndex(control, StrToInt(Value));
        break;
    case TKey::ListRow:
        if (auto *list = qobject_cast<QTableWidget *>(control))
            ValueListEditor::SetValue(*list, Key.Row, Value);
        break;
    }
}

TSettingsFile TMainSettingsFile::Collect() const
{
    TSettingsFile file;
    for (const TKey &key : Keys()) {
        if (Control(key))
            file.Add(key.Key, Read(key));
    }
    return file;
}

void TMainSettingsFile::ApplyKey(const TSettingsFile &File, const TKey &Key) const
{
    Write(Key, File.Value(Key.Key));
    if (Key.Control == QLatin1String("ModeCombo") && ModeComboChange)
        ModeComboChange(); // the mode's layout first, then the times it governs
}

void TMainSettingsFile::ApplyPage(const TSettingsFile &File, int Page) const
{
    // The alarm logic pair goes last, AND before OR: a file with both set ends with OR.
    const auto isAlarmLogic = [](const TKey &key) {
        return key.Key == QLatin1String("alOR") || key.Key == QLatin1String("alAND");
    };
    for (const TKey &key : Keys()) {
        if (key.Page == Page && !isAlarmLogic(key))
            ApplyKey(File, key);
    }
    for (const char *name : {"alAND", "alOR"}) {
        for (const TKey &key : Keys()) {
            if (key.Page == Page && key.Key == QLatin1String(name))
                ApplyKey(File, key);
        }
    }
}

void TMainSettingsFile::Apply(const TSettingsFile &File) const
{
    for (const int page : {EngNumbersPage, CANPage, EventsPage, GPRSPage, GeneralPage})
        ApplyPage(File, page);
}
