#pragma once

// The dialogue with the unit's boot loader over the open device object: the boot loader's start
// and the flash erase ("+BL", "+v", "+BE"), the upload of 128-byte blocks ("+W"), each one
// acknowledged with "OK" and its own four position digits, and the final signature ("+EE"). It
// takes the device's six events over while it is attached and gives the device back detached
// (events unset); the owner binds them again afterwards. It needs no widget: the firmware dialog
// shows what it reports through its hooks.

#include "device/Device.h"
#include "firmware/ResumeFile.h"
#include "settings/funcs.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

// Every time the dialogue waits; tests shorten them.
struct TFirmwareTimings
{
    uint32_t StartPollMs = 100;
    uint32_t BootLoaderStartMs = 7000; // "BootLdr" after "+BL"; the start goes on without it
    uint32_t VersionAnswerMs = 7000;   // the boot loader's answer to "+v"
    uint32_t ErasePollMs = 500;
    uint32_t EraseMs = 120000; // "OK" after "+BE"
    uint32_t BlockPollMs = 250;
    uint32_t BlockTimeoutMs = 5000;
    uint32_t FinishPauseMs = 1000;
    uint32_t FinishPollMs = 250;
    uint32_t FinishRetryPauseMs = 1000;
    uint32_t FinishTimeoutMs = 40000; // since the last "+EE"
};

// Where an owner's firmware dialog finds its images and keeps its resume file ("" for the
// program's own), and its waits.
struct TFirmwareSetup
{
    QString ImageFolder;
    QString ResumeFilePath;
    TFirmwareTimings Timings;
};

class TFirmwareUpdate : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxBlockTimeouts = 3;
    static constexpr int MaxBlockErrors = 10; // one more "ERROR" on a block ends the upload
    static constexpr int FinishRetries = 10;

    explicit TFirmwareUpdate(QObject *parent = nullptr);
    ~TFirmwareUpdate() override;

    int NextBlock = -1; // the next block to upload; -1 once an upload has ended
    QString ReplyBuffer;
    TBlockList Blocks;
    TFirmwareTimings Timings;
    QString Caption;     // the status line the dialog shows
    QString FailureText; // why the last step failed, for a message; empty when a message was shown

    // Binds the device's six events to the dialogue (the unit's text goes to ReplyBuffer).
    void AttachDevice(TDevice *device);
    // Leaves the device's events unset.
    void DetachDevice();
    TDevice *Device() const { return device; }

    TResumeFile ResumeFile;
    bool Sent = false; // the last Update or Resume sent something to the unit

    // A whole update with these (checked) blocks: they replace the resume file, then the boot
    // loader is started, the blocks uploaded and the signature sent. True when the unit took it.
    bool Update(const TBlockList &blocks);
    // Goes on with the upload in progress (the resume file's blocks) from `block`: the unit is
    // taken to be in its boot loader with the blocks before it in place.
    bool Resume(int block);

    // Each step returns whether the update may go on.
    bool StartBootloader();
    bool UploadBlocks();
    bool FinishUpdate();

    // Waits with the event loop running, the caption kept.
    void WaitMs(uint32_t ms);

    // What the dialogue tells its owner. An unset hook is skipped.
    std::function<void(const QString &caption)> OnCaption;
    std::function<void(int position, int maximum)> OnProgress;
    // The first block not yet acknowledged, -1 when no upload can be resumed (after "+BE" until
    // the erase is confirmed).
    std::function<void(int block)> OnResumeBlock;
    std::function<void(const QString &text)> LogPortRead;
    std::function<void(const QString &text)> LogPortWrite;

private:
    void Send(const QString &text);
    void SetCaption(const QString &caption);
    void ResumeBlock(int block);
    // Polls ReplyBuffer every `pollMs` until `found` holds (true) or `limitMs` have passed since
    // `since` (false).
    bool PollUntil(const std::function<bool()> &found, uint32_t pollMs, uint32_t limitMs,
                   uint32_t since);
    bool Contains(const QString &text) const;
    void SendSignature();
    bool Completed();

    QPointer<TDevice> device;
};
