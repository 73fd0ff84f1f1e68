#pragma once

// The program's main window: tool bar and menus with their actions, the page list on the left,
// the current settings page, the log below a splitter and the status bar with the connection
// facts. It owns the nine page frames, the store of its own window state and captions, the command
// engine with the connection and the page transfer built on it, and the log.

#include "firmware/FirmwareUpdate.h"
#include "main/CommandEngine.h"
#include "main/DeviceModel.h"
#include "main/ErrorLog.h"
#include "main/ExecCommandService.h"
#include "main/MainSettingsFile.h"
#include "pages/PageFrame.h"
#include "settings/SettingsRW.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class TLogView;
class TMainConnection;
class TMainPageTransfer;
class TSettingsFile;

namespace Ui {
class TMainForm;
}

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 9;

    // OwnVersion is the program file's version the store is stamped with.
    explicit TMainForm(const QString &OwnVersion = ProgramFileVersion(), QWidget *parent = nullptr);
    ~TMainForm() override;

    static QString ProgramFileVersion();
    // The one main window while it exists (frames and dialogs reach it through this).
    static TMainForm *MainForm();

    // Page frames by Tag 0..8, and the one shown.
    std::array<TPageFrame *, FrameCount> Frames{};
    TPageFrame *CurrentFrame = nullptr;
    void ShowPage(int Tag);

    // The parts the window owns. The engine holds the operation state, the connection facts
    // (PortActive, Identity) and the pending command.
    TCommandEngine &Engine() { return *engine; }
    TMainConnection &Connection() { return *connection; }
    TMainPageTransfer &PageTransfer() { return *pageTransfer; }
    // Serves the single-command requests (WM_EXECCOMMAND) posted to the window.
    TExecCommandService &CommandService() { return *commandService; }
    TLogView &Log() { return *logView; }
    TErrorLog &ErrorLog() { return errorLog; }

    // The engine's single-command steps, for the pages and dialogs: each waits for the reply
    // and stores [Row, 1] value and [Row, 2] status into Res.
    void ExecCommand(int Code, int Retries, int Row, TPageData &Res);
    void ExecCommandText(const QString &Text, int Code, int Retries, int Row, TPageData &Res);
    void WaitReply();
    // Waits Ms milliseconds with the event loop running; the window caption comes back after.
    void WaitMs(uint32_t Ms);
    static void InitResultArray(TPageData &Res, int N);
    // Sends without waiting; closes the connection at once.
    void SendCommand(const QString &Cmd, const QString &Expected, int Code);
    void ClosePort();

    // The CAN page's controls that the events page drives, found by name: a name that finds no
    // control is skipped. A claimed parameter (1 or 2) is locked to its sensor's identifier.
    QWidget *CANPageControl(const QString &Name) const;
    void SetCANParamEnabled(int Param, bool Enabled);
    void SetCANFormatSecond();
    // Sends Text to the unit at once, without waiting for an answer; false (nothing sent)
    // without a connection.
    bool SendDirectCommand(const QString &Text);
    // Shows, hides and sets what the pages offer for the identified unit; the History page's
    // record layout first.
    void ApplyDeviceModel(int Version, int DeviceType);

    void SetActionsBusy();
    void SetActionsConnected();
    void SetActionsDisconnected();
    void UpdateStatusBar();
    void TerminalCommand();

    // A message to the user, and the general error message of a failed action. Both show a
    // message box unless MessageHook is set (tests record them instead).
    std::function<void(const QString &Text, bool IsError)> MessageHook;
    void ShowMessage(const QString &Text);
    void ShowError(const QString &Text);

    // The firmware update: the first block the boot loader has not acknowledged in the upload
    // in progress (-1: none to resume), and where the dialog finds its images and keeps its
    // resume file, and how long it waits (tests point and shorten them).
    int FirmwareResumeBlock = -1;
    TFirmwareSetup FirmwareSetup;
    // The unit answered from its boot loader: the firmware dialog goes on with the upload.
    void StartBootloaderUpdate();

    // Waiting for a reply runs the event loop, so the user may close the window meanwhile. The
    // engine brackets every such wait with EnterWait/LeaveWait; a close asked for inside is
    // carried out once the outermost wait has returned.
    void EnterWait();
    void LeaveWait();
    int WaitDepth() const { return waitDepth; }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
    void CreateFrames();
    TWindowHooks PageHooks();
    void DestroyFrames();
    void LoadFormState();
    void SaveFormState();
    void TakeInVehicleDatabase();
    void AllowVehicleDatabaseWhenDue(const QObject *Watched, const QEvent *Event);
    bool VehicleDatabaseAvailable() const;

    void SetUpEngine();
    void SetUpConnection();
    void SetUpPageTransfer();
    void SetUpLog();
    void SetUpActions();
    void SetUpCategoryButtons();
    void SetUpStatusBar();
    void SetUpToolButtons();
    void ApplyCaptions(const QStringList &Captions);
    void ApplyLogHeight();
    void FitCategoryPanel();
    void SetConnectionActions(bool Connect, bool Disconnect, bool Transfer);
    void ShowMessageBox(const QString &Text, bool IsError);
    void DetachConnection();

    void ExitActionExecute();
    void ConnectActionExecute();
    void DisconnectActionExecute();
    void AboutActionExecute();
    void ChangeFirmwareExecute();
    void RunFirmwareDialog(bool Resume);
    void SaveSettingsToFileExecute();
    void LoadSettingsFromFileExecute();
    void LoadSettingsFile(const QString &path);
    TMainSettingsFile PagesSettingsFile();
    // Shows `Refusal` with the fields of `File` that cannot stand in one line; false when none.
    bool RefuseFieldsNotCarried(const TMainSettingsFile &Pages, const TSettingsFile &File,
                                const QString &Refusal);
    static void ApplyDeviceModelCell(QWidget *Control, TDeviceModelCell::TAction Action);
    void ReadPageActionExecute();
    void WritePageActionExecute();
    void ReadAllPagesActionExecute();
    void WriteAllPagesActionExecute();
    void GeneralSettingActionExecute();
    void GPRSSettingActionExecute();
    void GPSSettingActionExecute();
    void EventSettingActionExecute();
    void FlagsActionExecute();
    void CANSettingActionExecute();
    void HistoryActionExecute();
    void EngNumbersActionExecute();
    void TouchMemoryKeysActionExecute();
    void ClearLogActionExecute();
    void CopyToClipboardExecute();
    void SaveToFileActionExecute();

    std::unique_ptr<Ui::TMainForm> ui;
    QString ownVersion;
    std::unique_ptr<TSettingsRW> Settings;
    std::array<QLabel *, 6> StatusPanels{};
    QStringList StatusFormats;

    // Action lists: the three enabled sets work on these.
    QList<QAction *> ActionList;
    QList<QAction *> ReadWriteActionList;
    QList<QAction *> LogActions;
    QList<QAction *> PageActionList;

    // Declared in the order they are built; torn down in reverse.
    TErrorLog errorLog;
    std::unique_ptr<TCommandEngine> engine;
    std::unique_ptr<TExecCommandService> commandService;
    std::unique_ptr<TLogView> logView;
    std::unique_ptr<TMainConnection> connection;
    std::unique_ptr<TMainPageTransfer> pageTransfer;

    int logHeight;
    int waitDepth = 0;
    bool closeWhenIdle = false;
    bool formDestroyed = false;
};
