#pragma once

// The firmware dialog: the unit's firmware version beside the version the program carries, the
// update with the carried image for the unit's memory chip or (with the "/A" switch) with an
// Intel HEX file the user picks, and the resume of an upload that broke off. The dialogue with
// the boot loader is TFirmwareUpdate's; the dialog shows its caption and progress.

#include "firmware/CarriedFirmware.h"
#include "firmware/FirmwareUpdate.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

class TDevice;

namespace Ui {
class TChangeFirmwareForm;
}

class TChangeFirmwareForm : public QDialog
{
    Q_OBJECT
public:
    // FirmwareCopy and MemoryCopy: what the last identification of this run learnt ("" when
    // none); FirmwareResumeBlock: the main window's first unacknowledged block, kept up to date.
    TChangeFirmwareForm(const QString &FirmwareCopy, const QString &MemoryCopy,
                        int &FirmwareResumeBlock, QWidget *parent = nullptr,
                        const QStringList &Arguments = QCoreApplication::arguments());
    ~TChangeFirmwareForm() override;

    bool Resume = false; // opened to go on with an upload that broke off
    int NextBlock = -1;  // where the resume goes on
    QString ImageFolder = TCarriedFirmware::DefaultFolder();

    void AttachDevice(TDevice *Device);
    void DetachDevice();
    TFirmwareUpdate &Update() { return update; }
    bool Updating() const { return updating; }

    // Tests record the messages and name the file instead of the message box and file dialog.
    std::function<void(const QString &Text)> MessageHook;
    std::function<QString()> ChooseFileHook;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public slots:
    void reject() override; // Esc and "Выход"

private:
    void FormShow();
    void ShowVersions();
    void OfferCarriedImage();
    void BChangeFirmwareClick();
    void Button1Click();
    void TimerTimer();
    void RunUpdate(const std::function<bool()> &Step);
    void SetButtonsEnabled(bool Enabled);
    void ShowMessage(const QString &Text);
    void Guarded(const std::function<void()> &Work) noexcept;

    std::unique_ptr<Ui::TChangeFirmwareForm> ui;
    TFirmwareUpdate update;
    QTimer Timer;
    QString firmwareCopy;
    QString ModelText;
    int &resumeBlock;
    TFwVersion DevVer;
    TFwVersion ImgVer;
    TBlockList CarriedBlocks;
    bool updating = false;
    bool shown = false;
    bool offerCarried = false;
};
