// The GPS page against the simulated unit: the reboot byte in both directions, the page sent
// only when edited, and the list built from the stored start.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/UnitGPSSettingsFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QtTest>

namespace {

using Rig = PageRig<TGPSSettingsFrame>;

QComboBox *Combo(Rig &rig)
{
    return rig.Child<QComboBox>("TimeCombo");
}

QCheckBox *Box(Rig &rig)
{
    return rig.Child<QCheckBox>("RebootCheckBox");
}

void ReadValue(Rig &rig, const QByteArray &value)
{
    rig.Sim.setSetting("tunfix", value);
    rig.Read();
}

bool LabelsAre(Rig &rig, const QColor &colour)
{
    return rig.Colour("RebootLabel") == colour && rig.Colour("TimeLabel") == colour;
}

} // namespace

class TestGPSPage : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    void readsSetTheBoxAndTheList()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        QCOMPARE(Combo(rig)->count(), 59);
        ReadValue(rig, "08");
        QCOMPARE(Sent(rig.Sim), QStringList{"+tunfix"});
        QVERIFY(Box(rig)->isChecked());
        QVERIFY(Combo(rig)->isEnabled());
        QCOMPARE(Combo(rig)->currentText(), QStringLiteral("2 мин."));
        QVERIFY(LabelsAre(rig, Green));
        ReadValue(rig, "F0");
        QCOMPARE(Combo(rig)->currentText(), QStringLiteral("60 мин."));
        ReadValue(rig, "FC");
        QCOMPARE(Combo(rig)->currentIndex(), 58);
        ReadValue(rig, "FF");
        QVERIFY(!Box(rig)->isChecked());
        QVERIFY(!Combo(rig)->isEnabled());
        QVERIFY(LabelsAre(rig, Green));

        // No answer: both labels red, nothing changes.
        rig.NeverAnswer({"+tunfix"});
        ReadValue(rig, "08");
        QVERIFY(!Box(rig)->isChecked());
        QVERIFY(LabelsAre(rig, Red));
    }

    void onlyAnEditedPageIsSent()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        rig.Write(); // nothing edited since the start
        QVERIFY(Sent(rig.Sim).isEmpty());
        QVERIFY(LabelsAre(rig, Red));

        Box(rig)->setChecked(true);
        Combo(rig)->setCurrentIndex(8);
        rig.Write();
        QCOMPARE(Sent(rig.Sim), QStringList{"+tunfix28"});
        QVERIFY(LabelsAre(rig, Green));
        QVERIFY(!rig.Page.Modified());

        rig.ClearLog();
        Box(rig)->setChecked(false);
        rig.Write();
        QCOMPARE(Sent(rig.Sim), QStringList{"+tunfixFF"});
        rig.ClearLog();
        rig.Write();
        QVERIFY(Sent(rig.Sim).isEmpty());
        QVERIFY(LabelsAre(rig, Red));
    }

    void aValueBelowTheListIsNotWrittenBack()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        ReadValue(rig, "04");
        QVERIFY(Box(rig)->isChecked());
        QCOMPARE(Combo(rig)->currentIndex(), -1);
        QVERIFY(rig.Page.Modified()); // the read ticked the box
        rig.ClearLog();
        rig.Write();
        QVERIFY(Sent(rig.Sim).isEmpty());
        QVERIFY(LabelsAre(rig, Red));
        QCOMPARE(rig.Sim.setting("tunfix"), QByteArray("04"));
    }

    void theStoredStartSetsTheItemsAndTheValues()
    {
        Store(QStringLiteral("GPSSettingsFrame/defTimeComboValStart"), 5);
        Store(QStringLiteral("GPSSettingsFrame/defTimeComboValEnd"), 10);
        Store(QStringLiteral("GPSSettingsFrame/TimeComboValuesMask"), QStringLiteral("%d min"));
        Store(QStringLiteral("GPSSettingsFrame/defRebootCheckBox"), QStringLiteral("true"));
        Store(QStringLiteral("GPSSettingsFrame/TimeCaption"), QStringLiteral("Время:"));
        {
            Rig rig;
            QVERIFY(rig.Connect());
            QCOMPARE(Combo(rig)->count(), 6);
            QCOMPARE(Combo(rig)->itemText(0), QStringLiteral("5 min"));
            QCOMPARE(rig.Child<QLabel>("TimeLabel")->text(), QStringLiteral("Время:"));
            QVERIFY(rig.Page.Modified()); // a ticked box loaded counts as an edit
            rig.Write();
            QCOMPARE(Sent(rig.Sim), QStringList{"+tunfix14"});
            ReadValue(rig, "18");
            QCOMPARE(Combo(rig)->currentText(), QStringLiteral("6 min"));
            rig.Page.SaveUISettings();
        }
        QCOMPARE(Stored(QStringLiteral("GPSSettingsFrame/defTimeComboIndex")), QStringLiteral("1"));
        QCOMPARE(Stored(QStringLiteral("GPSSettingsFrame/RebootCaption")),
                 QStringLiteral("Перезагрузка приемника в случае отсутствия фиксации:"));
    }
};

QTEST_MAIN(TestGPSPage)
#include "tst_gpspage.moc"
