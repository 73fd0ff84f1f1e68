// The connection dialog: stored captions and choices, the enabling rule, OK and Cancel, the port
// list.

#include "PtyPair.h"
#include "TestConfigDir.h"
#include "main/ConnectFormUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

QString FormValue(const QString &ident)
{
    return Stored(QStringLiteral("ConnectForm/") + ident);
}

template <typename T> T *Find(const QWidget *form, const char *name)
{
    auto *w = form->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

} // namespace

class TestConnectForm : public QObject
{
    Q_OBJECT
    QTemporaryDir m_byId;

    static QComboBox *Port(const QWidget *f) { return Find<QComboBox>(f, "PortCombo"); }
    static QRadioButton *Modem(const QWidget *f) { return Find<QRadioButton>(f, "Modem"); }
    static QCheckBox *WaitRegistration(const QWidget *f) { return Find<QCheckBox>(f, "CheckBox1"); }
    static QCheckBox *WaitInit(const QWidget *f) { return Find<QCheckBox>(f, "CheckBox2"); }
    static QLineEdit *Phone(const QWidget *f) { return Find<QLineEdit>(f, "PhoneNumberEdit"); }
    static QPushButton *Ok(const QWidget *f) { return Find<QPushButton>(f, "OkBtn"); }

    std::unique_ptr<TConnectForm> shownForm() const
    {
        auto form = std::make_unique<TConnectForm>();
        form->SettingsKey = QStringLiteral("W9CAN");
        form->ByIdDir = m_byId.path();
        form->show();
        return form;
    }

public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(QStringLiteral("ConnectForm")); }

    void firstShowEnterCancelsAndStoredOptions()
    {
        auto form = shownForm();
        QVERIFY(Find<QRadioButton>(form.get(), "Cable")->isChecked());
        QVERIFY(WaitInit(form.get())->isEnabled());
        QVERIFY(!Phone(form.get())->isEnabled() && !WaitRegistration(form.get())->isEnabled());
        QVERIFY(!Find<QLabel>(form.get(), "Label2")->isEnabled());
        Modem(form.get())->click();
        QVERIFY(Phone(form.get())->isEnabled() && WaitRegistration(form.get())->isEnabled());
        QVERIFY(!WaitInit(form.get())->isEnabled());

        // Cancel is the default button: Enter cancels wherever the focus is.
        for (const char *name : {"PortCombo", "PhoneNumberEdit", "OkBtn"}) {
            auto form = shownForm();
            Modem(form.get())->click();
            auto *target = Find<QWidget>(form.get(), name);
            target->setFocus();
            auto *combo = qobject_cast<QComboBox *>(target);
            QTest::keyClick(combo ? combo->lineEdit() : target, Qt::Key_Return);
            QCOMPARE(form->result(), int(QDialog::Rejected));
            QVERIFY(form->isHidden());
        }
        TConnectChoice choice;
        QTimer::singleShot(
            0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        QVERIFY(!TConnectForm::Ask(nullptr, choice));

        // Stored captions are shown; the wait options are Boolean texts (any non-zero number or
        // "True" ticks, anything else clears); a damaged index selects nothing.
        Store(QStringLiteral("ConnectForm/Caption"), QStringLiteral("Связь"));
        Store(QStringLiteral("ConnectForm/PortIndex"), QStringLiteral("garbage"));
        Store(QStringLiteral("ConnectForm/CheckValue"), QStringLiteral("1"));
        Store(QStringLiteral("ConnectForm/WaitValue"), QStringLiteral("True"));
        {
            auto form = shownForm();
            QCOMPARE(form->windowTitle(), QStringLiteral("Связь"));
            QVERIFY(WaitRegistration(form.get())->isChecked());
            QVERIFY(WaitInit(form.get())->isChecked());
        }
        QCOMPARE(FormValue(QStringLiteral("CheckValue")), QStringLiteral("-1"));
        QCOMPARE(FormValue(QStringLiteral("WaitValue")), QStringLiteral("-1"));

        for (const char *text : {"False", "yes"}) {
            Store(QStringLiteral("ConnectForm/WaitValue"), QString::fromLatin1(text));
            QVERIFY(!WaitInit(shownForm().get())->isChecked());
        }
    }

    void okGivesTheChoicesAndStoresThem()
    {
        {
            auto form = shownForm();
            WaitInit(form.get())->setChecked(true);
            Port(form.get())->setEditText(QStringLiteral("/tmp/w9-unit"));
            Ok(form.get())->click();
            QCOMPARE(form->result(), int(QDialog::Accepted));
            QCOMPARE(form->ConnectType, uint8_t(0));
            QVERIFY(form->WaitInit);
            QCOMPARE(form->PortName, QStringLiteral("/tmp/w9-unit"));
        }
        QCOMPARE(FormValue(QStringLiteral("WaitValue")), QStringLiteral("-1"));
        QCOMPARE(FormValue(QStringLiteral("CheckValue")), QStringLiteral("0"));
        QCOMPARE(FormValue(QStringLiteral("PortIndex")), QStringLiteral("-1"));
        {
            auto form = shownForm();
            QCOMPARE(Port(form.get())->currentText(), QStringLiteral("/tmp/w9-unit"));
            QVERIFY(WaitInit(form.get())->isChecked());
            Modem(form.get())->click();
            Phone(form.get())->setText(QStringLiteral("+79001234567"));
            WaitRegistration(form.get())->setChecked(true);
            Ok(form.get())->click();
            QCOMPARE(form->ConnectType, uint8_t(1));
            QCOMPARE(form->PhoneNumber, QStringLiteral("+79001234567"));
            QVERIFY(form->WaitRegistration);
            QVERIFY(!form->WaitInit); // only the chosen way's option is handed over
        }
        QCOMPARE(FormValue(QStringLiteral("CheckValue")), QStringLiteral("-1"));

        // With the modem chosen, the cable's option is disabled but keeps its stored value.
        auto form = shownForm();
        QVERIFY(Modem(form.get())->isChecked());
        QVERIFY(!WaitInit(form.get())->isEnabled() && WaitInit(form.get())->isChecked());
        QVERIFY(WaitRegistration(form.get())->isChecked());

        // Cancel stores the changes all the same.
        Phone(form.get())->setText(QStringLiteral("+71112223344"));
        Find<QPushButton>(form.get(), "CancelBtn")->click();
        QCOMPARE(form->result(), int(QDialog::Rejected));
        form.reset();
        QCOMPARE(FormValue(QStringLiteral("PhoneNum")), QStringLiteral("+71112223344"));
        QCOMPARE(RawStore().value(QStringLiteral("ConnectForm/CableChecked")).toBool(), false);
    }

    void portListAndStoredIndex()
    {
        const PtyPair pty(true);
        const QString slavePath = pty.SlavePath();
        QVERIFY(QFile::link(slavePath, m_byId.filePath(QStringLiteral("usb-W9-unit-if00"))));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB9"),
                            m_byId.filePath(QStringLiteral("usb-gone-if00"))));

        const QStringList names = SystemSerialPortNames(m_byId.path());
        QCOMPARE(names.count(slavePath), 1);
        QVERIFY(!names.contains(QStringLiteral("ttyUSB9")));

        const int listed = names.indexOf(slavePath);
        {
            auto form = shownForm();
            QCOMPARE(Port(form.get())->count(), names.size());
            Port(form.get())->setCurrentIndex(listed);
            Ok(form.get())->click();
            QCOMPARE(form->PortName, slavePath);
        }
        QCOMPARE(FormValue(QStringLiteral("PortIndex")).toInt(), listed);
        QCOMPARE(Port(shownForm().get())->currentIndex(), listed);
        // An index beyond the current list selects nothing.
        Store(QStringLiteral("ConnectForm/PortIndex"), names.size() + 3);
        {
            auto form = shownForm();
            QCOMPARE(Port(form.get())->currentIndex(), -1);
            QCOMPARE(Port(form.get())->currentText(), QString());
        }
    }
};

QTEST_MAIN(TestConnectForm)
#include "tst_connectform.moc"
