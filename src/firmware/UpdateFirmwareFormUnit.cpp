#include "firmware/UpdateFirmwareFormUnit.h"

#include "ui_UpdateFirmwareFormUnit.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>

TChangeFirmwareForm::TChangeFirmwareForm(const QString &FirmwareCopy, const QString &MemoryCopy,
                                         int &FirmwareResumeBlock, QWidget *parent,
                                         const QStringList &Arguments)
    : QDialog(parent), ui(std::make_unique<Ui::TChangeFirmwareForm>()), firmwareCopy(FirmwareCopy),
      ModelText(MemoryCopy), resumeBlock(FirmwareResumeBlock)
{
    ui->setupUi(this);
    ui->Button1->setVisible(Arguments.value(1).toUpper() == QLatin1String("/A"));
    Timer.setObjectName(QStringLiteral("Timer"));
    Timer.setInterval(500);
    Timer.setSingleShot(true);

    connect(ui->BChangeFirmware, &QPushButton::clicked, this,
            [this] { Guarded([this] { BChangeFirmwareClick(); }); });
    connect(ui->Button1, &QPushButton::clicked, this,
            [this] { Guarded([this] { Button1Click(); }); });
    connect(ui->BExit, &QPushButton::clicked, this, &TChangeFirmwareForm::reject);
    connect(&Timer, &QTimer::timeout, this, [this] { Guarded([this] { TimerTimer(); }); });

    update.OnCaption = [this](const QString &caption) { setWindowTitle(caption); };
    update.OnProgress = [this](int position, int maximum) {
        ui->Progress->setRange(0, maximum);
        ui->Progress->setValue(position);
    };
    update.OnResumeBlock = [this](int block) { resumeBlock = block; };
}

TChangeFirmwareForm::~TChangeFirmwareForm() = default;

void TChangeFirmwareForm::AttachDevice(TDevice *Device)
{
    update.AttachDevice(Device);
}

void TChangeFirmwareForm::DetachDevice()
{
    update.DetachDevice();
}

// ---- opening -----------------------------------------------------------------------------------

void TChangeFirmwareForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (shown)
        return;
    shown = true;
    Guarded([this] { FormShow(); });
}

void TChangeFirmwareForm::FormShow()
{
    if (Resume)
        Timer.start();
    ShowVersions();
    OfferCarriedImage();
}

void TChangeFirmwareForm::ShowVersions()
{
    // A unit not identified in this run has no version to show: it reads as all zeros.
    try {
        DevVer = ParseVersion(firmwareCopy);
    } catch (const EConvertError &) {
        DevVer = TFwVersion{};
    }
    ui->LCurVer->setText(VersionToStr(DevVer));
}

void TChangeFirmwareForm::OfferCarriedImage()
{
    ui->LIntVer->setText(QStringLiteral("Нет доступной прошивки"));
    ui->BChangeFirmware->setEnabled(false);
    const TCarriedFirmware carried(ImageFolder);
    // Only a unit whose memory chip this run identified gets an image: the chip decides which.
    if (!carried.Listed() || carried.ImageName(ModelText).isEmpty())
        return;
    ImgVer = ParseVersion(carried.Version());
    CarriedBlocks = HexImageToBlocks(carried.ImageLines(ModelText));
    ui->LIntVer->setText(carried.Version());
    ui->BChangeFirmware->setEnabled(IsVersionOlder(DevVer, ImgVer));
}

// ---- the updates -----------------------------------------------------------------------------

void TChangeFirmwareForm::BChangeFirmwareClick()
{
    RunUpdate([this] { return update.Update(CarriedBlocks); });
}

void TChangeFirmwareForm::Button1Click()
{
    const QString path = ChooseFileHook ? ChooseFileHook() : QFileDialog::getOpenFileName(this);
    if (path.isEmpty())
        return;
    // A damaged or partial image never reaches a unit whose flash is about to be erased.
    const TBlockList blocks = HexImageToBlocks(ReadTextLines(path));
    RunUpdate([this, &blocks] { return update.Update(blocks); });
}

void TChangeFirmwareForm::TimerTimer()
{
    Timer.stop();
    RunUpdate([this] { return update.Resume(NextBlock); });
}

void TChangeFirmwareForm::RunUpdate(const std::function<bool()> &Step)
{
    updating = true;
    SetButtonsEnabled(false);
    bool succeeded = false;
    try {
        succeeded = Step();
    } catch (...) {
        updating = false;
        SetButtonsEnabled(true);
        throw;
    }
    updating = false;
    // The final caption stays on screen until the user has seen it.
    if (!succeeded && !update.FailureText.isEmpty())
        ShowMessage(update.FailureText);
    if (update.Sent)
        accept();
    else
        SetButtonsEnabled(true);
}

void TChangeFirmwareForm::SetButtonsEnabled(bool Enabled)
{
    ui->BChangeFirmware->setEnabled(Enabled && !CarriedBlocks.isEmpty() &&
                                    IsVersionOlder(DevVer, ImgVer));
    ui->BExit->setEnabled(Enabled);
    ui->Button1->setEnabled(Enabled);
}

// ---- closing -----------------------------------------------------------------------------------

void TChangeFirmwareForm::reject()
{
    if (!updating)
        QDialog::reject();
}

void TChangeFirmwareForm::closeEvent(QCloseEvent *event)
{
    if (updating)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

// Runs a handler's work; an error becomes a message instead of leaving the event loop.
void TChangeFirmwareForm::Guarded(const std::function<void()> &Work) noexcept
{
    try {
        try {
            Work();
        } catch (const std::exception &error) {
            ShowMessage(QString::fromUtf8(error.what()));
        }
    } catch (...) {
        qWarning("firmware dialog: an error could not be shown");
    }
}

void TChangeFirmwareForm::ShowMessage(const QString &Text)
{
    if (MessageHook)
        MessageHook(Text);
    else
        QMessageBox::information(this, windowTitle(), Text);
}
