// The connection dialog: stored captions and choices, the enabling rule, OK and Cancel, the port
// list.

#include "TestConfigDir.h"
#include "main/ConnectFormUnit.h"
#include "settings/SettingsRW.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <memory>

namespace {

QVariant FormValue(const QString &ident)
{
    return RawStore().value(QStringLiteral("ConnectForm/") + ident);
}

std::unique_ptr<TConnectForm> ShownForm(const QString &byIdDir)
{
    auto form = std::make_unique<TConnectForm>();
    form->SettingsKey = QStringLiteral("W9CAN");
    form->ByIdDir = byIdDir;
    form->show();
    return form;
}

// The dialog's controls by their names.
struct Controls
{
    explicit Controls(QWidget *form)
        : Label1(form->findChild<QLabel *>(QStringLiteral("Label1"))),
          Label2(form->findChild<QLabel *>(QStringLiteral("Label2"))),
          PortCombo(form->findChild<QComboBox *>(QStringLiteral("PortCombo"))),
          GroupBox1(form->findChild<QGroupBox *>(QStringLiteral("GroupBox1"))),
          Cable(form->findChild<QRadioButton *>(QStringLiteral("Cable"))),
          Modem(form->findChild<QRadioButton *>(QStringLiteral("Modem"))),
          CheckBox1(form->findChild<QCheckBox *>(QStringLiteral("CheckBox1"))),
          CheckBox2(form->findChild<QCheckBox *>(QStringLiteral("CheckBox2"))),
          PhoneNumberEdit(form->findChild<QLineEdit *>(QStringLiteral("PhoneNumberEdit"))),
          OkBtn(form->findChild<QPushButton *>(QStringLiteral("OkBtn"))),
          CancelBtn(form->findChild<QPushButton *>(QStringLiteral("CancelBtn")))
    {}
    QLabel *Label1, *Label2;
    QComboBox *PortCombo;
    QGroupBox *GroupBox1;
    QRadioButton *Cable, *Modem;
    QCheckBox *CheckBox1, *CheckBox2;
    QLineEdit *PhoneNumberEdit;
    QPushButton *OkBtn, *CancelBtn;
};

} // namespace

class TestConnectForm : public QObject
{
    Q_OBJECT
    QTemporaryDir m_byId;

public:
    static void initMain() { UseTemporaryConfigDir(); }

private slots:
    void init() { ClearStore(QStringLiteral("ConnectForm")); }

    void firstShowGivesBuiltInTextsAndCableChoice()
    {
        auto form = ShownForm(m_byId.path());
        const Controls c(form.get());
        const Controls *ui = &c;
        QCOMPARE(form->windowTitle(), QStringLiteral("Подключение"));
        QCOMPARE(ui->Label1->text(), QStringLiteral("Com-порт:"));
        QCOMPARE(ui->Label2->text(), QStringLiteral("Телефон:"));
        QCOMPARE(ui->GroupBox1->title(), QStringLiteral("Параметры подключения"));
        QCOMPARE(ui->CancelBtn->text(), QStringLiteral("Отмена"));
        QCOMPARE(ui->Label1->buddy(), ui->PortCombo);
        QCOMPARE(ui->Label2->buddy(), ui->PhoneNumberEdit);
        QVERIFY(ui->Cable->isChecked());
        QVERIFY(ui->CheckBox2->isEnabled());
        QVERIFY(!ui->PhoneNumberEdit->isEnabled());
        QVERIFY(!ui->Label2->isEnabled());
        QVERIFY(!ui->CheckBox1->isEnabled());
        QVERIFY(ui->PhoneNumberEdit->text().startsWith(QLatin1Char('+')));
        QCOMPARE(ui->PhoneNumberEdit->text().size(), 12);
        QVERIFY(ui->CancelBtn->isDefault());
        QVERIFY(!ui->OkBtn->isDefault());

        ui->Modem->click();
        QVERIFY(ui->PhoneNumberEdit->isEnabled());
        QVERIFY(ui->CheckBox1->isEnabled());
        QVERIFY(!ui->CheckBox2->isEnabled());
    }

    void enterCancelsWhereverTheFocusIs()
    {
        for (const char *name : {"PortCombo", "PhoneNumberEdit", "OkBtn"}) {
            auto form = ShownForm(m_byId.path());
            Controls(form.get()).Modem->click();
            auto *target = form->findChild<QWidget *>(QLatin1String(name));
            QVERIFY(target);
            target->setFocus();
            QWidget *keyTarget = target;
            if (auto *combo = qobject_cast<QComboBox *>(target))
                keyTarget = combo->lineEdit();
            QTest::keyClick(keyTarget, Qt::Key_Return);
            QCOMPARE(form->result(), int(QDialog::Rejected));
            QVERIFY(form->isHidden());
        }
    }

    void okGivesTheChoicesAndStoresThem()
    {
        {
            auto form = ShownForm(m_byId.path());
            const Controls c(form.get());
            const Controls *ui = &c;
            ui->CheckBox2->setChecked(true);
            ui->PortCombo->setEditText(QStringLiteral("/tmp/w9-unit"));
            ui->OkBtn->click();
            QCOMPARE(form->result(), int(QDialog::Accepted));
            QCOMPARE(form->ConnectType, uint8_t(0));
            QVERIFY(form->WaitInit);
            QCOMPARE(form->PortName, QStringLiteral("/tmp/w9-unit"));
        }
        QCOMPARE(FormValue(QStringLiteral("WaitValue")).toString(), QStringLiteral("-1"));
        QCOMPARE(FormValue(QStringLiteral("CheckValue")).toString(), QStringLiteral("0"));
        QCOMPARE(FormValue(QStringLiteral("PortIndex")).toInt(), -1);
        {
            auto form = ShownForm(m_byId.path());
            const Controls c(form.get());
            const Controls *ui = &c;
            QCOMPARE(ui->PortCombo->currentText(), QStringLiteral("/tmp/w9-unit"));
            QVERIFY(ui->CheckBox2->isChecked());
            ui->Modem->click();
            ui->PhoneNumberEdit->setText(QStringLiteral("+79001234567"));
            ui->CheckBox1->setChecked(true);
            ui->OkBtn->click();
            QCOMPARE(form->ConnectType, uint8_t(1));
            QCOMPARE(form->PhoneNumber, QStringLiteral("+79001234567"));
            QVERIFY(form->WaitRegistration);
            QVERIFY(!form->WaitInit); // only the chosen way's option is handed over
        }
        QCOMPARE(FormValue(QStringLiteral("CableChecked")).toBool(), false);
        QCOMPARE(FormValue(QStringLiteral("CheckValue")).toString(), QStringLiteral("-1"));
        QCOMPARE(FormValue(QStringLiteral("PhoneNum")).toString(), QStringLiteral("+79001234567"));

        // With the modem chosen, the cable's option is disabled but keeps its stored value.
        auto form = ShownForm(m_byId.path());
        QVERIFY(Controls(form.get()).Modem->isChecked());
        QVERIFY(!Controls(form.get()).CheckBox2->isEnabled());
        QVERIFY(Controls(form.get()).CheckBox2->isChecked());
        QVERIFY(Controls(form.get()).CheckBox1->isChecked());
    }

    void cancelStillStoresTheChanges()
    {
        {
            auto form = ShownForm(m_byId.path());
            Controls(form.get()).Modem->click();
            Controls(form.get()).PhoneNumberEdit->setText(QStringLiteral("+71112223344"));
            Controls(form.get()).CancelBtn->click();
            QCOMPARE(form->result(), int(QDialog::Rejected));
        }
        QCOMPARE(FormValue(QStringLiteral("PhoneNum")).toString(), QStringLiteral("+71112223344"));
        QCOMPARE(FormValue(QStringLiteral("CableChecked")).toBool(), false);
        QCOMPARE(FormValue(QStringLiteral("Caption")).toString(), QStringLiteral("Подключение"));
        QCOMPARE(FormValue(QStringLiteral("GroupName")).toString(),
                 QStringLiteral("Параметры подключения"));
    }

    void storedCaptionsAndDamagedValues()
    {
        Store(QStringLiteral("ConnectForm/Caption"), QStringLiteral("Связь"));
        Store(QStringLiteral("ConnectForm/OkCaption"), QStringLiteral("Да"));
        Store(QStringLiteral("ConnectForm/PortIndex"), QStringLiteral("garbage"));
        Store(QStringLiteral("ConnectForm/WaitValue"), QStringLiteral("yes"));
        auto form = ShownForm(m_byId.path());
        QCOMPARE(form->windowTitle(), QStringLiteral("Связь"));
        QCOMPARE(Controls(form.get()).OkBtn->text(), QStringLiteral("Да"));
        QVERIFY(!Controls(form.get()).CheckBox2->isChecked());
    }

    void askRunsTheDialogModally()
    {
        TConnectChoice choice;
        QTimer::singleShot(0, [] {
            auto *form = qobject_cast<TConnectForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            const Controls c(form);
            c.Modem->click();
            c.PhoneNumberEdit->setText(QStringLiteral("+79005556677"));
            c.PortCombo->setEditText(QStringLiteral("/tmp/w9-modem"));
            c.OkBtn->click();
        });
        QVERIFY(TConnectForm::Ask(nullptr, choice));
        QCOMPARE(choice.ConnectType, uint8_t(1));
        QCOMPARE(choice.PortName, QStringLiteral("/tmp/w9-modem"));
        QCOMPARE(choice.PhoneNumber, QStringLiteral("+79005556677"));

        QTimer::singleShot(
            0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        QVERIFY(!TConnectForm::Ask(nullptr, choice));
        QCOMPARE(FormValue(QStringLiteral("PortName")).toString(), QStringLiteral("/tmp/w9-modem"));
    }

    void portListAndStoredIndex()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        const QString slavePath = QString::fromLocal8Bit(name);
        QVERIFY(QFile::link(slavePath, m_byId.filePath(QStringLiteral("usb-W9-unit-if00"))));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB9"),
                            m_byId.filePath(QStringLiteral("usb-gone-if00"))));

        const QStringList names = SystemSerialPortNames(m_byId.path());
        QVERIFY(names.contains(slavePath));
        QVERIFY(!names.contains(QStringLiteral("ttyUSB9")));
        QCOMPARE(names.count(slavePath), 1);

        const int listed = names.indexOf(slavePath);
        {
            auto form = ShownForm(m_byId.path());
            QCOMPARE(Controls(form.get()).PortCombo->count(), names.size());
            Controls(form.get()).PortCombo->setCurrentIndex(listed);
            Controls(form.get()).OkBtn->click();
            QCOMPARE(form->PortName, slavePath);
        }
        QCOMPARE(FormValue(QStringLiteral("PortIndex")).toInt(), listed);
        {
            auto form = ShownForm(m_byId.path());
            QCOMPARE(Controls(form.get()).PortCombo->currentIndex(), listed);
        }
        // An index beyond the current list selects nothing.
        Store(QStringLiteral("ConnectForm/PortIndex"), names.size() + 3);
        {
            auto form = ShownForm(m_byId.path());
            QCOMPARE(Controls(form.get()).PortCombo->currentIndex(), -1);
            QCOMPARE(Controls(form.get()).PortCombo->currentText(), QString());
        }
        ::close(slave);
        ::close(master);
    }

    // The wait options are Boolean texts: any non-zero number or "True" ticks, "False" clears.
    void storedWaitOptionsReadAsBooleanTexts()
    {
        Store(QStringLiteral("ConnectForm/CheckValue"), QStringLiteral("1"));
        Store(QStringLiteral("ConnectForm/WaitValue"), QStringLiteral("True"));
        {
            auto form = ShownForm(m_byId.path());
            QVERIFY(Controls(form.get()).CheckBox1->isChecked());
            QVERIFY(Controls(form.get()).CheckBox2->isChecked());
        }
        QCOMPARE(FormValue(QStringLiteral("CheckValue")).toString(), QStringLiteral("-1"));
        QCOMPARE(FormValue(QStringLiteral("WaitValue")).toString(), QStringLiteral("-1"));

        Store(QStringLiteral("ConnectForm/WaitValue"), QStringLiteral("False"));
        auto form = ShownForm(m_byId.path());
        QVERIFY(!Controls(form.get()).CheckBox2->isChecked());
    }
};

QTEST_MAIN(TestConnectForm)
#include "tst_connectform.moc"
