// The GPS page against the simulated unit.

#include "PageRig.h"
#include "TestConfigDir.h"
#include "pages/UnitGPSSettingsFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QtTest>

namespace {

struct Rig : PageRig<TGPSSettingsFrame>
{
    QComboBox *Combo() { return Child<QComboBox>("TimeCombo"); }
    QCheckBox *Box() { return Child<QCheckBox>("RebootCheckBox"); }
    void ReadValue(const QByteArray &value)
    {
        Sim.setSetting("tunfix", value);
        Read();
    }
    bool LabelsAre(const QColor &colour)
    {
        return NotIn(colour, std::array{"RebootLabel", "TimeLabel"}).isEmpty();
    }
};

} // namespace

class TestGPSPage : public QObject
{
    Q_OBJECT
public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(); }

    // Only an edited page is sent; reads set the box and the list.
    void readsSetTheBoxAndTheList()
    {
        Rig rig;
        QVERIFY(rig.Connect());
        QVERIFY(rig.Writing().isEmpty()); // nothing edited since the start
        QVERIFY(rig.LabelsAre(Red));
        rig.Box()->setChecked(true);
        rig.Combo()->setCurrentIndex(8);
        QCOMPARE(rig.Writing(), QStringList{"+tunfix28"});
        QVERIFY(rig.LabelsAre(Green));
        rig.Box()->setChecked(false);
        QCOMPARE(rig.Writing(), QStringList{"+tunfixFF"});
        QVERIFY(rig.Writing().isEmpty());

        rig.Sim.clearLog();
        rig.ReadValue("08");
        QCOMPARE(Sent(rig.Sim), QStringList{"+tunfix"});
        QVERIFY(rig.Box()->isChecked() && rig.Combo()->isEnabled());
        QCOMPARE(rig.Combo()->currentText(), QStringLiteral("2 мин."));
        QVERIFY(rig.LabelsAre(Green));
        rig.ReadValue("FC");
        QCOMPARE(rig.Combo()->currentIndex(), 58);
        rig.ReadValue("FF");
        QVERIFY(!rig.Box()->isChecked() && !rig.Combo()->isEnabled());
        QVERIFY(rig.LabelsAre(Green));

        // No answer: both labels red, nothing changes.
        rig.NeverAnswer({"+tunfix"});
        rig.ReadValue("08");
        QVERIFY(!rig.Box()->isChecked());
        QVERIFY(rig.LabelsAre(Red));

        // A value below the list ticks the box and selects nothing; nothing is written back.
        rig.NeverAnswer({});
        rig.ReadValue("04");
        QVERIFY(rig.Box()->isChecked());
        QCOMPARE(rig.Combo()->currentIndex(), -1);
        QVERIFY(rig.Page.Modified()); // the read ticked the box
        QVERIFY(rig.Writing().isEmpty());
        QVERIFY(rig.LabelsAre(Red));
    }

    void theStoredStartSetsTheItemsAndTheValues()
    {
        Store(QStringLiteral("GPSSettingsFrame/defTimeComboValStart"), 5);
        Store(QStringLiteral("GPSSettingsFrame/defTimeComboValEnd"), 10);
        Store(QStringLiteral("GPSSettingsFrame/TimeComboValuesMask"), QStringLiteral("%d min"));
        Store(QStringLiteral("GPSSettingsFrame/defRebootCheckBox"), QStringLiteral("true"));
        {
            Rig rig;
            QVERIFY(rig.Connect());
            QCOMPARE(rig.Combo()->count(), 6);
            QCOMPARE(rig.Combo()->itemText(0), QStringLiteral("5 min"));
            QCOMPARE(rig.Writing(), QStringList{"+tunfix14"}); // a loaded tick is an edit
            rig.ReadValue("18");
            QCOMPARE(rig.Combo()->currentText(), QStringLiteral("6 min"));
            rig.Page.SaveUISettings();
        }
        QCOMPARE(Stored(QStringLiteral("GPSSettingsFrame/defTimeComboIndex")), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestGPSPage)
#include "tst_gpspage.moc"
