#pragma once

// The program's main window: tool bar and menus with their actions, the page list on the left,
// the current settings page, the log below a splitter and the status bar with the connection
// facts. It owns the nine page frames and the store of its own window state and captions.

#include "pages/PageFrame.h"
#include "settings/SettingsRW.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <memory>

class QAction;
class QLabel;
class QTimer;
class QTreeWidget;

namespace Ui {
class TMainForm;
}

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 9;

    // Operation state (State): what a reply, a time-out or Esc means.
    enum TState : quint8
    {
        stIdle = 0,             // not connected
        stWaitUnitStart = 1,    // cable: waiting for the unit's own start-up output
        stUnitStarting = 2,     // the unit is printing its start-up output
        stModemHangUp = 3,      // modem hang-up finishing
        stCableConnect = 4,     // "CABLE CONNECT" sent
        stCableDisconnect = 5,  // "CABLE DISCONNECT" sent
        stIdentifying = 6,      // "+v" sent
        stReadingPages = 7,     // page read running
        stWritingPages = 8,     // page write running
        stIdentified = 9,       // identified and idle, or a stop requested
        stCloseAfterError = 10, // close requested after a modem error text
        stModemEscape = 11,     // modem escape "+++" sent
    };

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

    void SetActionsBusy();
    void SetActionsConnected();
    void SetActionsDisconnected();
    void UpdateStatusBar();
    void TerminalCommand();

    // Waiting for a reply runs the event loop, so the user may close the window meanwhile. The
    // engine brackets every such wait with EnterWait/LeaveWait; a close asked for inside is
    // carried out once the outermost wait has returned.
    void EnterWait();
    void LeaveWait();
    int WaitDepth() const { return waitDepth; }

    // Engine and connection state.
    quint8 State = stIdle;
    bool Done = false;
    bool Waiting = false;
    bool ClosePending = false;
    int RetriesLeft = -1;
    int DefaultRetries = 1;
    quint32 TimeoutMs = 5000;
    QString ReplyBuffer;
    QVariantList Values;
    QString ExpectedReply;
    QString LastCommand;
    int LastCode = 0;
    bool PortActive = false;
    int FirmwareResumeBlock = -1;

    // Connection facts shown on the status bar.
    QString PortName;
    QString Phone;
    QString Firmware;
    QString Memory;
    QString DeviceName;
    QString IMEI;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
    void CreateFrames();
    void DestroyFrames();
    void LoadFormState();
    void SaveFormState();
    bool VehicleDatabaseAvailable() const;

    void SetUpActions();
    void SetUpCategoryButtons();
    void SetUpStatusBar();
    void SetUpToolButtons();
    void ApplyCaptions(const QStringList &Captions);
    void ApplyLogHeight();
    void SetConnectionActions(bool Connect, bool Disconnect, bool Transfer);

    // Engine steps: send without waiting; close the port at once.
    void SendCommand(const QString &Cmd, const QString &Expected, int Code);
    void ClosePort();

    void TimerTimer();
    void ExitActionExecute();
    void ConnectActionExecute();
    void DisconnectActionExecute();
    void AboutActionExecute();
    void ChangeFirmwareExecute();
    void SaveSettingsToFileExecute();
    void LoadSettingsFromFileExecute();
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

    std::unique_ptr<Ui::TMainForm> ui;
    QString ownVersion;
    std::unique_ptr<TSettingsRW> Settings;
    QTimer *Timer;
    std::array<QLabel *, 6> StatusPanels{};
    QStringList StatusFormats;

    // Action lists: the three enabled sets work on these.
    QList<QAction *> ActionList;
    QList<QAction *> ReadWriteActionList;
    QList<QAction *> LogActions;
    QList<QAction *> PageActionList;

    int logHeight;
    int waitDepth = 0;
    bool closeWhenIdle = false;
    bool formDestroyed = false;
};
