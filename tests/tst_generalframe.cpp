#include "TestConfigDir.h"
#include "pages/TypingLimit.h"
#include "pages/UnitGeneralSettingsFrame.h"
#include "settings/SettingsRW.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

// The general page as a widget: its stored captions and values, the key filter, the read and
// write colours and the checks before a write.
class TestGeneralFrame : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGeneralSettingsFrame> frame;

    template <typename T> T *child(const char *name)
    {
        T *w = frame->findChild<T *>(QString::fromLatin1(name));
        if (w == nullptr)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(name); }
    QLabel *label(const char *name) { return child<QLabel>(name); }
    QCheckBox *box(const char *name) { return child<QCheckBox>(name); }

    static void store(const char *ident, const QVariant &value)
    {
        TSettingsRW s(1, QStringLiteral("W9CAN"));
        s.Write(
            MakeSetItem(QStringLiteral("GeneralSettingsFrame"), QString::fromLatin1(ident), value));
    }
    static QVariant stored(const char *ident, const QVariant &def)
    {
        TSettingsRW s(1, QStringLiteral("W9CAN"));
        return s.Read(
            MakeSetItem(QStringLiteral("GeneralSettingsFrame"), QString::fromLatin1(ident), def));
    }

    // A read of every row as the unit answers it, with some rows' (value, status) replaced.
    static TPageData readResult(const QMap<int, QPair<QVariant, int>> &changed = {})
    {
        const QVariantList values{QStringLiteral("0042"), 0xE6, 0x12C, 5, 0, 0xFF, 0, 30, 255, 20};
        TPageData v(int(values.size()), 2);
        for (int r = 1; r <= values.size(); ++r) {
            const auto [value, status] = changed.value(r, {values[r - 1], 1});
            v(r, 1) = value;
            v(r, 2) = status;
        }
        return v;
    }

    static QColor clGreen() { return TPageFrame::ResultColors[0]; }
    static QColor clRed() { return TPageFrame::ResultColors[1]; }
    static QColor textColor(const QWidget *w) { return w->palette().color(QPalette::Text); }
    static void setColor(QWidget *w, QPalette::ColorRole role, const QColor &c)
    {
        QPalette p = w->palette();
        p.setColor(role, c);
        w->setPalette(p);
    }

    void newFrame()
    {
        frame = std::make_unique<TGeneralSettingsFrame>();
        frame->Init(QStringLiteral("W9CAN"));
    }

public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init()
    {
        ClearStore();
        newFrame();
    }
    void cleanup() { frame.reset(); }

    // The first start shows the defaults and the captions with their line breaks, each naming
    // its control; stored ones come back and are saved at exit.
    void storedCaptionsAndValuesComeBackAndAreSaved()
    {
        QCOMPARE(edit("ObjectNumberEdit")->text(), QStringLiteral("917"));
        QCOMPARE(child<QComboBox>("TimeCombo")->currentIndex(), -1);
        QVERIFY(!child<QComboBox>("TimeCombo")->isEnabled());
        const QString gsmOnCaption =
            QStringLiteral("Период включения GSM модема после выключения зажигания (мин.)\n255 - "
                           "не включать модем до включения зажигания:");
        QCOMPARE(label("TimeGSMOnLabel")->text(), gsmOnCaption);
        QCOMPARE(label("GPSOffLabel")->buddy(), box("GPSOffBox"));
        QCOMPARE(box("GPSOffBox")->accessibleName(),
                 QStringLiteral("Отключать GPS модуль в режиме \"Энергосбережения\":"));

        frame.reset();
        store("LatCaption", QStringLiteral("Широта:"));
        store("defObjectNumber", 1234);
        store("defSmooth", false);
        store("defGSMOn", QStringLiteral("not a number")); // a damaged store: default applies
        newFrame();
        QCOMPARE(label("LatLabel")->text(), QStringLiteral("Широта:"));
        QCOMPARE(edit("ObjectNumberEdit")->text(), QStringLiteral("1234"));
        QVERIFY(!box("PathSmoothingCheckBox")->isChecked());
        QCOMPARE(edit("TimeGSMOnEdit")->text(), QStringLiteral("10"));

        // At exit an edit without a number keeps the stored value; the rest is still written.
        edit("ObjectNumberEdit")->clear();
        edit("LatEdit")->setText(QStringLiteral("77"));
        box("GSMOffBox")->setChecked(true);
        label("LonLabel")->setText(QStringLiteral("shown only"));
        frame->SaveUISettings();
        QCOMPARE(stored("defObjectNumber", 0).toInt(), 1234);
        QCOMPARE(stored("defLat", 0).toInt(), 77);
        QCOMPARE(stored("defGSMOff", false).toBool(), true);
        QCOMPARE(stored("defGSMOn", 0).toInt(), 10);
        QCOMPARE(stored("LatCaption", QString()).toString(), QStringLiteral("Широта:"));
        QCOMPARE(stored("TimeGSMOnCaption", QString()).toString(),
                 QString(gsmOnCaption).replace('\n', QStringLiteral("\r\n")));
    }

    // Ordinary reads are the page-transfer test's; here the rows it does not reach.
    void readResultShowsValuesAndColours()
    {
        QMap<int, QPair<QVariant, int>> rows{{4, {0, 0}}, {10, {7, 1}}};
        frame->SetPageData(readResult(rows)); // interval not read; reboot time 7 clears the box
        QVERIFY(!box("RebootCheckBox")->isChecked());
        QVERIFY(!child<QComboBox>("TimeCombo")->isEnabled());
        QCOMPARE(TPageFrame::LabelColor(label("LabelTimeInterval")), clRed());
        QCOMPARE(TPageFrame::LabelColor(label("TimeLabel")), clGreen());
        rows[10] = {250, 1}; // ticks the box with no item
        frame->SetPageData(readResult(rows));
        QVERIFY(box("RebootCheckBox")->isChecked());
        QCOMPARE(child<QComboBox>("TimeCombo")->currentIndex(), -1);

        // An object number that is not a number leaves the edit as read last and marks only
        // that row.
        frame->SetPageData(readResult({{1, {QString(), 1}}}));
        QCOMPARE(edit("ObjectNumberEdit")->text(), QStringLiteral("42"));
        QCOMPARE(TPageFrame::LabelColor(label("ObjectNumberLabel")), clRed());
        QCOMPARE(TPageFrame::LabelColor(label("LatLabel")), clGreen());

        // No data at all: every row red, values kept.
        frame->SetPageData(TPageData());
        QCOMPARE(TPageFrame::LabelColor(label("LatLabel")), clRed());
        QCOMPARE(edit("LatEdit")->text(), QStringLiteral("50"));
    }

    void keysAndLeavingEdits()
    {
        frame->show();
        QApplication::setActiveWindow(frame.get());
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        QLineEdit *e = edit("TimeOffEdit");
        setColor(label("TimeOffLabel"), QPalette::WindowText, clRed());
        setColor(e, QPalette::Text, clRed());
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, QStringLiteral("3a007")); // digits only, three at most
        QCOMPARE(e->text(), QStringLiteral("300"));
        QVERIFY(TPageFrame::LabelColor(label("TimeOffLabel")) != clRed());
        QVERIFY(textColor(e) != clRed());
        edit("TimeGSMOnEdit")->setFocus(); // leaving the edit clamps it
        QCOMPARE(e->text(), QStringLiteral("255"));
        edit("TimeGSMOnEdit")->clear();
        e->setFocus(); // leaving an empty edit leaves it empty
        QCOMPARE(edit("TimeGSMOnEdit")->text(), QString());

        // A switch clicked puts its caption back to the window text colour.
        setColor(label("GSMOffLabel"), QPalette::WindowText, clGreen());
        box("GSMOffBox")->click();
        QVERIFY(TPageFrame::LabelColor(label("GSMOffLabel")) != clGreen());
        box("RebootCheckBox")->click();
        QVERIFY(child<QComboBox>("TimeCombo")->isEnabled());
        QVERIFY(label("TimeLabel")->isEnabled());

        // On X11 the Delete key carries the character 127 and Tab the character 9.
        QLineEdit *number = edit("ObjectNumberEdit");
        number->setFocus();
        number->setText("917");
        number->setCursorPosition(0);
        setColor(label("ObjectNumberLabel"), QPalette::WindowText, clGreen());
        QTest::sendKeyEvent(QTest::Click, number, Qt::Key_Delete, QString(QChar(0x7F)),
                            Qt::NoModifier);
        QCOMPARE(number->text(), QStringLiteral("17"));
        QVERIFY(TPageFrame::LabelColor(label("ObjectNumberLabel")) != clGreen());
        QTest::keyClick(number, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), edit("LatEdit"));
    }

    // Refused values colour the edit whose text is out of range and build nothing.
    void validationMarksRowsAndBuildsNothing()
    {
        TPageData v;
        edit("TimeOffEdit")->setText(QStringLiteral("300")); // set without leaving the edit
        // as a settings file may set it
        TTypingLimit::SetText(edit("LatEdit"), QStringLiteral("20000"));
        frame->GetPageData(v);
        QVERIFY(!v.IsAssigned());
        QCOMPARE(textColor(edit("TimeOffEdit")), clRed());
        QVERIFY(TPageFrame::LabelColor(label("TimeOffLabel")) != clRed());
        QCOMPARE(textColor(edit("LatEdit")), clRed());
        QVERIFY(textColor(edit("LonEdit")) != clRed());

        // Empty edits and a reboot without a time are refused with a red caption.
        newFrame();
        edit("TimeIntervalEdit")->clear();
        box("RebootCheckBox")->setChecked(true);
        QVERIFY(!frame->ValidateValues());
        QCOMPARE(TPageFrame::LabelColor(label("LabelTimeInterval")), clRed());
        QCOMPARE(TPageFrame::LabelColor(label("RebootLabel")), clRed());
        edit("TimeIntervalEdit")->setText(QStringLiteral("0"));
        child<QComboBox>("TimeCombo")->setCurrentIndex(0);
        QVERIFY(frame->ValidateValues());

        // Write results: a row not sent (-1) keeps the window text colour; the time caption
        // follows only while the reboot is on.
        newFrame();
        frame->ShowWriteResults({0, 1, -1, 0, 0, 0, 0, 0, 0, 1, 0, 1});
        QVERIFY(TPageFrame::LabelColor(label("LonLabel")) != clRed() &&
                TPageFrame::LabelColor(label("LonLabel")) != clGreen());
        QCOMPARE(TPageFrame::LabelColor(label("RebootLabel")), clRed());
        QVERIFY(TPageFrame::LabelColor(label("TimeLabel")) != clRed());
        box("RebootCheckBox")->setChecked(true);
        frame->ShowWriteResults({-1, -1, -1, -1, -1, -1, -1, -1, -1, 0});
        QCOMPARE(TPageFrame::LabelColor(label("TimeLabel")), clGreen());
    }
};

QTEST_MAIN(TestGeneralFrame)
#include "tst_generalframe.moc"
