#include "firmware/FirmwareUpdate.h"

#include "device/Device.h"
#include "device/Tick.h"

#include <QCoreApplication>
#include <QTimer>

#include <cmath>

namespace {

const char *const kBootLoaderNotStarted = "Не удалось запустить boot loader";
const char *const kEraseNotConfirmed = "Boot loader не подтвердил очистку flash";
const char *const kCannotResume = "Не могу продолжить прерванную прошивку!!!";
const char *const kFinishSilent = "Нет ответа от порта более 20 секунд";

uint32_t Since(uint32_t tick)
{
    return GetTickCount() - tick;
}

} // namespace

TFirmwareUpdate::TFirmwareUpdate(QObject *parent) : QObject(parent) {}

TFirmwareUpdate::~TFirmwareUpdate()
{
    DetachDevice();
}

void TFirmwareUpdate::AttachDevice(TDevice *newDevice)
{
    DetachDevice();
    device = newDevice;
    if (!device)
        return;
    device->OnData = [this](QObject *, const QString &data) {
        ReplyBuffer += data;
        if (LogPortRead)
            LogPortRead(data);
    };
    device->OnBeforeWrite = [this](QObject *, const QString &cmd) {
        if (LogPortWrite)
            LogPortWrite(cmd);
    };
    device->OnWriteError = [](QObject *, uint32_t, const QString &) {};
    device->OnComCreateError = [](QObject *, int) {};
    device->OnPortEvent = [](QObject *, int) {};
    device->OnErrorWaitInterval = [](QObject *) {};
    device->OnWakeUp = [](QObject *) {}; // no keep-alive goes into the boot-loader dialogue
}

void TFirmwareUpdate::DetachDevice()
{
    if (!device)
        return;
    device->UnbindEvents();
    device = nullptr;
}

// ---- the update and its resume -----------------------------------------------------------

bool TFirmwareUpdate::Update(const TBlockList &blocks)
{
    Sent = false;
    FailureText.clear();
    Blocks = blocks;
    if (Blocks.isEmpty()) {
        FailureText = QStringLiteral("Нет блоков для прошивки");
        return false;
    }
    try {
        ResumeFile.Write(Blocks);
    } catch (const EConvertError &e) {
        FailureText = e.message();
        return false;
    }
    ResumeBlock(-1); // the resume file no longer holds what an earlier upload sent
    Sent = true;
    return StartBootloader() && UploadBlocks() && FinishUpdate() && Completed();
}

bool TFirmwareUpdate::Resume(int block)
{
    Sent = false;
    FailureText = QString::fromUtf8(kCannotResume);
    if (block < 0 || !ResumeFile.Exists())
        return false;
    try {
        Blocks = ResumeFile.Read();
    } catch (const EConvertError &e) {
        FailureText += QStringLiteral("\n") + e.message();
        return false;
    }
    if (block > Blocks.size())
        return false;
    if (device)
        device->SetWakeUp(false);
    Sent = true;
    NextBlock = block;
    return UploadBlocks() && FinishUpdate() && Completed();
}

bool TFirmwareUpdate::Completed()
{
    ResumeFile.Remove();
    ResumeBlock(-1);
    return true;
}

// ---- the three steps ---------------------------------------------------------------------

bool TFirmwareUpdate::StartBootloader()
{
    FailureText.clear();
    if (device)
        device->SetWakeUp(false);

    ReplyBuffer.clear();
    Send(QStringLiteral("+BL"));
    PollUntil([this] { return Contains(QStringLiteral("BootLdr")); }, Timings.StartPollMs,
              Timings.BootLoaderStartMs, GetTickCount());

    // The unit's own firmware answers "+v" with its "REV" text; only the boot loader may erase.
    ReplyBuffer.clear();
    Send(QStringLiteral("+v"));
    PollUntil(
        [this] {
            return Contains(QStringLiteral("BootLdr v1.0")) || Contains(QStringLiteral("REV"));
        },
        Timings.StartPollMs, Timings.VersionAnswerMs, GetTickCount());
    if (!Contains(QStringLiteral("BootLdr v1.0"))) {
        FailureText = QString::fromUtf8(kBootLoaderNotStarted);
        return false;
    }

    ReplyBuffer.clear();
    ResumeBlock(-1); // from here on the flash no longer holds what an earlier upload left
    Send(QStringLiteral("+BE"));
    SetCaption(QStringLiteral("Ожидание очистки flash"));
    if (!PollUntil([this] { return Contains(QStringLiteral("OK")); }, Timings.ErasePollMs,
                   Timings.EraseMs, GetTickCount())) {
        FailureText = QString::fromUtf8(kEraseNotConfirmed);
        return false;
    }
    SetCaption(QStringLiteral("Перепрошивка"));
    NextBlock = 0;
    ResumeBlock(0);
    return true;
}

bool TFirmwareUpdate::UploadBlocks()
{
    FailureText.clear();
    const int count = int(Blocks.size());
    if (NextBlock < 0 || NextBlock > count)
        return false;
    int timeouts = 0;
    int errors = 0;
    const uint32_t start = GetTickCount();
    while (NextBlock < count && timeouts < MaxBlockTimeouts) {
        const QString &block = Blocks[NextBlock].line;
        const QString position = block.left(4);
        ReplyBuffer.clear();
        Send(QStringLiteral("+W") + block);
        const uint32_t sent = GetTickCount();

        const uint32_t elapsed = sent - start;
        const auto estimate =
            quint64(std::trunc(double(quint64(elapsed) * quint64(count)) / double(NextBlock + 1)));
        SetCaption(Format(QStringLiteral("До конца примерно: %s"),
                          {MsToMinSec(quint32(estimate - elapsed))}));

        for (;;) {
            WaitMs(Timings.BlockPollMs);
            if (Contains(QStringLiteral("OK")) && Contains(position)) {
                timeouts = 0;
                errors = 0;
                ++NextBlock;
                ResumeBlock(NextBlock);
                break;
            }
            if (Contains(QStringLiteral("ERROR"))) {
                if (++errors > MaxBlockErrors) {
                    FailureText = Format(QStringLiteral("Перепрошивка прервана: блок %d из %d "
                                                        "не принят"),
                                         {NextBlock + 1, count});
                    SetCaption(FailureText);
                    return false;
                }
                break;
            }
            if (Since(sent) > Timings.BlockTimeoutMs) {
                ++timeouts;
                break;
            }
        }
        if (OnProgress)
            OnProgress(NextBlock, count - 1);
    }
    const bool uploaded = timeouts == 0;
    if (!uploaded) {
        FailureText = Format(QStringLiteral("Перепрошивка прервана: нет ответа на блок %d из %d"),
                             {NextBlock + 1, count});
        SetCaption(FailureText);
    }
    NextBlock = -1;
    return uploaded;
}

bool TFirmwareUpdate::FinishUpdate()
{
    FailureText.clear();
    WaitMs(Timings.FinishPauseMs);
    ReplyBuffer.clear();
    uint32_t lastSend = GetTickCount();
    SendSignature();
    SetCaption(QStringLiteral("Ожидание завершения перепрошивки"));
    int tries = FinishRetries;
    for (;;) {
        WaitMs(Timings.FinishPollMs);
        if (Contains(QStringLiteral("OK"))) {
            SetCaption(QStringLiteral("Успешно"));
            return true;
        }
        if (Contains(QStringLiteral("ERROR"))) {
            ReplyBuffer.clear();
            lastSend = GetTickCount();
            SetCaption(Format(QStringLiteral("Ошибка, попробуем еще %d раз"), {tries}));
            if (tries == 0) {
                FailureText = Caption;
                return false;
            }
            --tries;
            WaitMs(Timings.FinishRetryPauseMs);
            SendSignature();
        } else if (Since(lastSend) > Timings.FinishTimeoutMs) {
            FailureText = QString::fromUtf8(kFinishSilent);
            return false;
        }
    }
}

// ---- helpers ---------------------------------------------------------------------------------

void TFirmwareUpdate::WaitMs(uint32_t ms)
{
    bool elapsed = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [&elapsed] { elapsed = true; });
    timer.start(int(ms));
    while (!elapsed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool TFirmwareUpdate::PollUntil(const std::function<bool()> &found, uint32_t pollMs,
                                uint32_t limitMs, uint32_t since)
{
    for (;;) {
        WaitMs(pollMs);
        if (found())
            return true;
        if (Since(since) >= limitMs)
            return false;
    }
}

bool TFirmwareUpdate::Contains(const QString &text) const
{
    return ReplyBuffer.contains(text, Qt::CaseSensitive);
}

void TFirmwareUpdate::Send(const QString &text)
{
    if (device)
        device->SendCommand(text);
}

void TFirmwareUpdate::SendSignature()
{
    Send(QStringLiteral("+EE") + HexLinesSignature(BlockLines(Blocks)));
}

void TFirmwareUpdate::SetCaption(const QString &caption)
{
    Caption = caption;
    if (OnCaption)
        OnCaption(caption);
}

void TFirmwareUpdate::ResumeBlock(int block)
{
    if (OnResumeBlock)
        OnResumeBlock(block);
}
