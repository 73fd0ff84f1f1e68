#include "TestConfigDir.h"
#include "pages/RadioGroup.h"
#include "settings/SetInfo.h"
#include "settings/SetInfoLoader.h"
#include "settings/SettingsRW.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <array>

template <typename T> T *Make(QWidget &parent, const char *name)
{
    auto *w = new T(&parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

class SettingsRWTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void typedReadsFollowTheDefaultAndRefuseDamagedTexts()
    {
        TSettingsRW settings(1, QStringLiteral("W9CAN"));
        const QString s = QStringLiteral("GeneralSettingsFrame");
        auto read = [&](const char *ident, const QVariant &fallback) {
            return settings.Read(MakeSetItem(s, QString::fromLatin1(ident), fallback));
        };
        const QList<std::pair<const char *, QVariant>> values = {
            {"int", -5},
            {"bool", true},
            {"text", QStringLiteral("Порт, %s")},
            {"double", 0.25},
            {"lines", QStringLiteral("a\r\nb\r\n")}};
        for (const auto &[ident, value] : values) {
            settings.Write(MakeSetItem(s, QString::fromLatin1(ident), value));
            QCOMPARE(read(ident, QVariant(value.metaType())), value);
        }
        // A number read as text, and absent values giving the default.
        QCOMPARE(read("int", QString()), QVariant(QStringLiteral("-5")));
        QCOMPARE(read("missing", 42), QVariant(42));
        // An empty default comes back empty whatever is stored.
        QCOMPARE(read("int", QVariant()), QVariant());

        // Texts stored by hand: Boolean numbers, a list, and one that converts to nothing.
        for (const auto &[ident, text] : {std::pair{"two", "2"}, {"zero", "0"}, {"listed", "a, b"}})
            Store(s + QLatin1Char('/') + QLatin1String(ident), QString::fromUtf8(text));
        QCOMPARE(read("two", false), QVariant(true));
        QCOMPARE(read("zero", true), QVariant(false));
        QCOMPARE(read("listed", QString()).toString().remove(QLatin1Char(' ')),
                 QStringLiteral("a,b"));
        Store(QStringLiteral("MainForm/LOGHEIGHT"), QStringLiteral("tall"));
        const TSetItem height =
            MakeSetItem(QStringLiteral("MainForm"), QStringLiteral("LOGHEIGHT"), 170);
        QVERIFY_THROWS_EXCEPTION(ESettingsError, settings.Read(height));
        QCOMPARE(settings.ReadOrDefault(height), QVariant(170));
        const TSetItem visible =
            MakeSetItem(QStringLiteral("MainForm"), QStringLiteral("LOGHEIGHT"), true);
        QVERIFY_THROWS_EXCEPTION(ESettingsError, settings.Read(visible));

        // Stored lines split on any line end (Boolean texts are the connection dialog's test).
        QCOMPARE(SplitStoredLines(QStringLiteral("a\r\rb\n")),
                 QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
        QCOMPARE(SplitStoredLines(QStringLiteral("a\r\nb")), SplitStoredLines("a\nb\r\n"));
        QCOMPARE(JoinStoredLines({QStringLiteral("a"), QStringLiteral("b")}),
                 QStringLiteral("a\r\nb\r\n"));
    }

    void readingClearAllAndCaptionPairs()
    {
        TSettingsRW settings(1, QStringLiteral("W9CAN"));
        settings.Read(MakeSetItem(QStringLiteral("CANFrame"), QStringLiteral("x"), 1));
        QVERIFY(RawStore().childGroups().isEmpty());
        QCOMPARE(settings.ReadVersion(), QString());
        settings.WriteVersion(QStringLiteral("1.0.1.39"));
        QCOMPARE(settings.ReadVersion(), QStringLiteral("1.0.1.39"));
        for (const char *section : {"MainForm", "History/GRID1", "History/GRID4", "ConnectForm"})
            settings.Write(MakeSetItem(QString::fromLatin1(section), QStringLiteral("Col0"), 64));
        Store(QStringLiteral("TopValue"), 3);

        settings.ClearAll();

        QSettings after = RawStore();
        QCOMPARE(after.childGroups(), QStringList());
        QCOMPARE(after.value(QStringLiteral("TopValue")).toInt(), 3);
        QCOMPARE(settings.ReadVersion(), QString());
        QCOMPARE(
            settings.Read(MakeSetItem(QStringLiteral("History/GRID1"), QStringLiteral("Col0"), 10)),
            QVariant(10));

        static constexpr std::array<TCaptionPair, 2> pairs{{
            {"Caption1", "Первый"},
            {"Caption2", "Второй"},
        }};
        const QString section = QStringLiteral("GPRSSettingsFrame");
        QCOMPARE(LoadCaptionPairs(settings, section, pairs),
                 QStringList({QStringLiteral("Первый"), QStringLiteral("Второй")}));
        settings.Write(MakeSetItem(section, QStringLiteral("Caption2"), QStringLiteral("Иной")));
        SaveCaptionPairs(settings, section, pairs);
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/Caption1")), QStringLiteral("Первый"));
        QCOMPARE(Stored(QStringLiteral("GPRSSettingsFrame/Caption2")), QStringLiteral("Иной"));
    }

    void setInfoTableLoadsAndSaves()
    {
        QWidget frame;
        auto *box = Make<QCheckBox>(frame, "ActiveBox");
        auto *edit = Make<QLineEdit>(frame, "LatEdit");
        auto *combo = Make<QComboBox>(frame, "ModeCombo");
        auto *group = Make<TRadioGroup>(frame, "InversGroup");
        auto *label = Make<QLabel>(frame, "LatLabel");
        auto *tabs = Make<QTabWidget>(frame, "Tabs");
        tabs->addTab(Make<QWidget>(*tabs, "UserSheet"), QStringLiteral("x"));
        QSignalSpy toggled(box, &QCheckBox::toggled);
        QSignalSpy groupClicked(group, &TRadioGroup::Click);

        static constexpr std::array<TSetInfo, 10> table{{
            {"ActiveBox", TSetInfoKind::CheckBoxCaption, "ActiveCaption", "Активен"},
            {"ActiveBox", TSetInfoKind::CheckBoxChecked, "defActive", "0"},
            {"LatEdit", TSetInfoKind::EditText, "defLat", "0#5"},
            {"ModeCombo", TSetInfoKind::ComboItems, "ModeItems", "один\r\nдва\r\nтри"},
            {"ModeCombo", TSetInfoKind::ComboIndex, "defMode", "1"},
            {"InversGroup", TSetInfoKind::RadioGroupItems, "InversItems", "нет\r\nда\r\n"},
            {"InversGroup", TSetInfoKind::RadioGroupIndex, "defInvers", "0"},
            {"LatLabel", TSetInfoKind::LabelCaption, "LatCaption", "Широта"},
            {"UserSheet", TSetInfoKind::TabSheetCaption, "SheetCaption", "Лист"},
            {"NoSuchControl", TSetInfoKind::LabelCaption, "Nothing", "ничего"},
        }};
        const QString section = QStringLiteral("EventsSettingsFrame");
        Store(QStringLiteral("EventsSettingsFrame/defActive"), QStringLiteral("1"));
        Store(QStringLiteral("EventsSettingsFrame/defMode"), QStringLiteral("два"));
        Store(QStringLiteral("EventsSettingsFrame/LatCaption"), QStringLiteral("Шир."));

        TSettingsRW settings(1, QStringLiteral("W9CAN"));
        LoadSetInfoTable(&frame, settings, section, table);

        const QString dp = QLocale::system().decimalPoint();
        QVERIFY(box->isChecked());
        QCOMPARE(toggled.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("0") + dp + QStringLiteral("5"));
        QCOMPARE(combo->currentIndex(), 1); // the damaged index fell back to its default
        QCOMPARE(group->Items(), QStringList({QStringLiteral("нет"), QStringLiteral("да")}));
        QCOMPARE(group->ItemIndex(), 0);
        QCOMPARE(groupClicked.count(), 1);
        QCOMPARE(label->text(), QStringLiteral("Шир."));
        QCOMPARE(tabs->tabText(0), QStringLiteral("Лист"));

        box->setChecked(false);
        edit->setText(QStringLiteral("1") + dp + QStringLiteral("5"));
        group->SetItemIndex(1);
        SaveSetInfoTable(&frame, settings, section, table);
        auto stored = [&](const char *ident) {
            return Stored(section + QLatin1Char('/') + QString::fromLatin1(ident));
        };
        QCOMPARE(stored("defActive"), QStringLiteral("0"));
        QCOMPARE(stored("defLat"), QStringLiteral("1#5"));
        QCOMPARE(stored("defInvers"), QStringLiteral("1"));
        QCOMPARE(stored("Nothing"), QString());

        box->setChecked(true);
        SaveSetInfoTable(&frame, settings, section, table);
        QCOMPARE(stored("defActive"), QStringLiteral("-1"));

        // A row naming a control of another class is refused.
        static constexpr std::array<TSetInfo, 1> wrong{{
            {"LatLabel", TSetInfoKind::CheckBoxChecked, "defThing", "0"},
        }};
        QVERIFY_THROWS_EXCEPTION(ESettingsError,
                                 LoadSetInfoTable(&frame, settings, section, wrong));
    }
};

QTEST_MAIN(SettingsRWTest)
#include "tst_settingsrw.moc"
