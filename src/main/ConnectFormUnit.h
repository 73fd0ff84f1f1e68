#pragma once

// The connection dialog: serial port, cable or GSM modem, the number to dial and the two wait
// options. Remembers its captions and the last choices in the settings store.

#include "main/MainConnection.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace Ui {
class ConnectForm;
}
class TSettingsRW;

// Serial ports known to the system: the ones Qt reports and the targets of the links in
// `byIdDir` (normally /dev/serial/by-id), each once, in the order found: a device right under /dev
// by its name ("ttyUSB0"), any other by its full path.
QStringList SystemSerialPortNames(const QString &byIdDir = QStringLiteral("/dev/serial/by-id"));

class TConnectForm : public QDialog
{
    Q_OBJECT
public:
    explicit TConnectForm(QWidget *parent = nullptr);
    ~TConnectForm() override;

    QString SettingsKey;

    // Results, valid after OK.
    uint8_t ConnectType = 0; // 0 cable, 1 modem
    QString PortName;
    QString PhoneNumber;
    bool WaitRegistration = false;
    bool WaitInit = false;

    // Where the by-id links are looked for; tests point it elsewhere.
    QString ByIdDir = QStringLiteral("/dev/serial/by-id");

    // The connect action's use: shows the dialog modally with the key "W9CAN"; true with the
    // choices filled after OK. The dialog stores its values after OK and after Cancel alike.
    static bool Ask(QWidget *parent, TConnectChoice &choice);

    void FormShow();
    void FormDestroy();
    void FillPortList();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void OkBtnClick();
    void CableClick();
    QString ReadText(const QString &ident, const QString &fallback) const;
    bool ReadTextBool(const QString &ident, bool fallback) const;

    std::unique_ptr<Ui::ConnectForm> m_ui;
    std::unique_ptr<TSettingsRW> Settings;
    bool m_shown = false;
};
