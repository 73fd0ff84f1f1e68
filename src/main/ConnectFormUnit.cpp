#include "main/ConnectFormUnit.h"

#include "settings/SetInfo.h"
#include "settings/SettingsRW.h"
#include "ui_ConnectFormUnit.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QShowEvent>

#include <exception>

namespace {

const QString kSection = QStringLiteral("ConnectForm");
const QString kDefaultPhone = QStringLiteral("+70000000000");

QString BoolText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

} // namespace

QStringList SystemSerialPortNames(const QString &byIdDir)
{
    QStringList names;
    const auto add = [&names](const QString &name) {
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    };
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        add(info.portName());
    const QDir dir(byIdDir);
    const QFileInfoList links =
        dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink())
            continue;
        const QFileInfo target(link.symLinkTarget());
        if (!target.exists())
            continue;
        // A device right under /dev goes by its name, like the ports Qt lists; anything else
        // (a pseudo-terminal, a device in a subfolder) by its full path.
        if (target.absolutePath() == QLatin1String("/dev"))
            add(target.fileName());
        else
            add(target.absoluteFilePath());
    }
    return names;
}

TConnectForm::TConnectForm(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ConnectForm>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    connect(m_ui->OkBtn, &QPushButton::clicked, this, [this] {
        OkBtnClick();
        accept();
    });
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->Cable, &QRadioButton::toggled, this, [this] { CableClick(); });
    connect(m_ui->Modem, &QRadioButton::toggled, this, [this] { CableClick(); });
    CableClick();
}

TConnectForm::~TConnectForm()
{
    FormDestroy();
}

void TConnectForm::showEvent(QShowEvent *event)
{
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

QString TConnectForm::ReadText(const QString &ident, const QString &fallback) const
{
    try {
        return Settings->Read(MakeSetItem(kSection, ident, fallback)).toString();
    } catch (const std::exception &) {
        return fallback; // a damaged stored value counts as absent
    }
}

bool TConnectForm::ReadTextBool(const QString &ident, bool fallback) const
{
    // "-1" and "0" as written; any other number, "True" and "False" read as the store's
    // Boolean texts do. Anything else counts as absent.
    bool value = fallback;
    return TryStoredTextToBool(ReadText(ident, BoolText(fallback)), value) ? value : fallback;
}

void TConnectForm::FormShow()
{
    Settings = std::make_unique<TSettingsRW>(1, SettingsKey);

    setWindowTitle(ReadText(QStringLiteral("Caption"), QStringLiteral("Подключение")));
    m_ui->Label1->setText(ReadText(QStringLiteral("PortLabel"), QStringLiteral("Com-порт:")));
    m_ui->Label2->setText(ReadText(QStringLiteral("PhoneLabel"), QStringLiteral("Телефон:")));
    m_ui->Cable->setText(
        ReadText(QStringLiteral("CableCheck"), QStringLiteral("Кабель программирования")));
    m_ui->Modem->setText(ReadText(QStringLiteral("PhoneCheck"), QStringLiteral("GSM-модем")));
    m_ui->PhoneNumberEdit->setText(ReadText(QStringLiteral("PhoneNum"), kDefaultPhone));

    bool cable = true;
    try {
        cable =
            Settings->Read(MakeSetItem(kSection, QStringLiteral("CableChecked"), true)).toBool();
    } catch (const std::exception &) {
    }
    (cable ? m_ui->Cable : m_ui->Modem)->setChecked(true);
    CableClick();

    m_ui->GroupBox1->setTitle(
        ReadText(QStringLiteral("GroupName"), QStringLiteral("Параметры подключения")));
    m_ui->OkBtn->setText(ReadText(QStringLiteral("OkCaption"), QStringLiteral("Ok")));
    m_ui->CancelBtn->setText(ReadText(QStringLiteral("CancelCaption"), QStringLiteral("Отмена")));
    m_ui->CheckBox1->setText(
        ReadText(QStringLiteral("CheckCaption"), QStringLiteral("Ждать регистрации в сети")));
    m_ui->CheckBox1->setChecked(ReadTextBool(QStringLiteral("CheckValue"), false));
    m_ui->CheckBox2->setText(
        ReadText(QStringLiteral("WaitCaption"), QStringLiteral("Ждать инициализации")));
    m_ui->CheckBox2->setChecked(ReadTextBool(QStringLiteral("WaitValue"), false));

    FillPortList();

    int index = 0;
    try {
        index = Settings->Read(MakeSetItem(kSection, QStringLiteral("PortIndex"), 0)).toInt();
    } catch (const std::exception &) {
    }
    const int count = m_ui->PortCombo->count();
    if (count > 0)
        m_ui->PortCombo->setCurrentIndex(index >= 0 && index < count ? index : -1);
    // A port typed by hand (a virtual port that no system list knows) comes back as typed.
    if (index == -1) {
        const QString typed = ReadText(QStringLiteral("PortName"), QString());
        if (!typed.isEmpty())
            m_ui->PortCombo->setEditText(typed);
    }
}

bool TConnectForm::Ask(QWidget *parent, TConnectChoice &choice)
{
    TConnectForm form(parent);
    form.SettingsKey = QStringLiteral("W9CAN");
    if (form.exec() != QDialog::Accepted)
        return false;
    choice.ConnectType = form.ConnectType;
    choice.PortName = form.PortName;
    choice.PhoneNumber = form.PhoneNumber;
    choice.WaitRegistration = form.WaitRegistration;
    choice.WaitInit = form.WaitInit;
    return true;
}

void TConnectForm::FillPortList()
{
    m_ui->PortCombo->clear();
    m_ui->PortCombo->addItems(SystemSerialPortNames(ByIdDir));
}

void TConnectForm::CableClick()
{
    const bool modem = m_ui->Modem->isChecked();
    m_ui->Label2->setEnabled(modem);
    m_ui->PhoneNumberEdit->setEnabled(modem);
    m_ui->CheckBox1->setEnabled(modem);
    m_ui->CheckBox2->setEnabled(m_ui->Cable->isChecked());
}

void TConnectForm::OkBtnClick()
{
    if (m_ui->Cable->isChecked()) {
        ConnectType = 0;
        WaitInit = m_ui->CheckBox2->isChecked();
    } else {
        ConnectType = 1;
        PhoneNumber = m_ui->PhoneNumberEdit->text();
        WaitRegistration = m_ui->CheckBox1->isChecked();
    }
    PortName = m_ui->PortCombo->currentText().trimmed();
}

void TConnectForm::FormDestroy()
{
    if (!Settings)
        return;
    try {
        const auto write = [this](const QString &ident, const QVariant &value) {
            Settings->Write(MakeSetItem(kSection, ident, value));
        };
        write(QStringLiteral("Caption"), windowTitle());
        write(QStringLiteral("PortLabel"), m_ui->Label1->text());
        write(QStringLiteral("PhoneLabel"), m_ui->Label2->text());
        write(QStringLiteral("CableCheck"), m_ui->Cable->text());
        write(QStringLiteral("PhoneCheck"), m_ui->Modem->text());
        write(QStringLiteral("PhoneNum"), m_ui->PhoneNumberEdit->text());
        write(QStringLiteral("GroupName"), m_ui->GroupBox1->title());
        write(QStringLiteral("OkCaption"), m_ui->OkBtn->text());
        write(QStringLiteral("CancelCaption"), m_ui->CancelBtn->text());
        write(QStringLiteral("CableChecked"), m_ui->Cable->isChecked());
        // The index of the listed port the text names; a typed name that no list holds is -1.
        const QString text = m_ui->PortCombo->currentText().trimmed();
        write(QStringLiteral("PortIndex"), m_ui->PortCombo->findText(text, Qt::MatchExactly));
        write(QStringLiteral("CheckCaption"), m_ui->CheckBox1->text());
        write(QStringLiteral("CheckValue"), BoolText(m_ui->CheckBox1->isChecked()));
        write(QStringLiteral("WaitCaption"), m_ui->CheckBox2->text());
        write(QStringLiteral("WaitValue"), BoolText(m_ui->CheckBox2->isChecked()));
        write(QStringLiteral("PortName"), text);
    } catch (const std::exception &) {
        // The store could not be written; the dialog closes all the same.
    }
    Settings.reset();
}
