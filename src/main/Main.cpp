#include "main/Main.h"

#include "can/DMUnit.h"
#include "can/UnitCANFrame.h"
#include "firmware/UpdateFirmwareFormUnit.h"
#include "history/UnitHistoryFrame.h"
#include "main/ConnectFormUnit.h"
#include "main/FileChoice.h"
#include "main/LogView.h"
#include "main/MainConnection.h"
#include "main/MainConst.h"
#include "main/MainPageTransfer.h"
#include "main/SettingsFile.h"
#include "main/fAbout.h"
#include "pages/RadioGroup.h"
#include "pages/UnitEngNumbersFrame.h"
#include "pages/UnitEventsSettingsFrame.h"
#include "pages/UnitFlagsInfoFrame.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "pages/UnitGPSSettingsFrame.h"
#include "pages/UnitGeneralSettingsFrame.h"
#include "pages/UnitTouchMemKeysFrame.h"
#include "settings/Delphi.h"
#include "settings/funcs.h"

#include "ui_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <exception>

namespace {

QPointer<TMainForm> theMainForm;

// Runs a handler's work; an error is shown to the user instead of leaving the event loop.
void Guarded(TMainForm *form, const std::function<void()> &work)
{
    RunGuarded("main window", work, TGuardPolicy::Warn,
               [form](const QString &text) { form->ShowError(text); });
}

QString WithoutMnemonic(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

enum class ToolIcon
{
    Connect,
    Disconnect,
    ReadPage,
    ReadAll,
    WritePage,
    WriteAll
};

void DrawSheet(QPainter &p, QRectF r)
{
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 3)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void DrawArrow(QPainter &p, QPointF tip, bool down, const QColor &color)
{
    const qreal d = down ? -1 : 1;
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip.x() - 5, tip.y() + 5 * d);
    arrow.lineTo(tip.x() - 2, tip.y() + 5 * d);
    arrow.lineTo(tip.x() - 2, tip.y() + 10 * d);
    arrow.lineTo(tip.x() + 2, tip.y() + 10 * d);
    arrow.lineTo(tip.x() + 2, tip.y() + 5 * d);
    arrow.lineTo(tip.x() + 5, tip.y() + 5 * d);
    arrow.closeSubpath();
    p.setPen(QPen(color.darker(150), 1));
    p.setBrush(color);
    p.drawPath(arrow);
}

QIcon MakeToolIcon(ToolIcon kind)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(30, 90, 200), orange(220, 120, 20);
    switch (kind) {
    case ToolIcon::Connect:
        p.setPen(QPen(QColor(20, 110, 20), 2));
        p.setBrush(QColor(60, 180, 60));
        p.drawEllipse(QRectF(3, 3, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
        p.drawLine(QPointF(10, 7), QPointF(10, 13));
        break;
    case ToolIcon::Disconnect:
        p.setPen(QPen(QColor(140, 20, 20), 2));
        p.setBrush(QColor(210, 50, 50));
        p.drawEllipse(QRectF(3, 3, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
        break;
    case ToolIcon::ReadPage:
        DrawSheet(p, QRectF(2.5, 6.5, 11, 12));
        DrawArrow(p, QPointF(14, 12), true, blue);
        break;
    case ToolIcon::ReadAll:
        DrawSheet(p, QRectF(5.5, 3.5, 10, 11));
        DrawSheet(p, QRectF(2.5, 7.5, 10, 11));
        DrawArrow(p, QPointF(14, 12), true, blue);
        break;
    case ToolIcon::WritePage:
        DrawSheet(p, QRectF(2.5, 6.5, 11, 12));
        DrawArrow(p, QPointF(14, 2), false, orange);
        break;
    case ToolIcon::WriteAll:
        DrawSheet(p, QRectF(5.5, 3.5, 10, 11));
        DrawSheet(p, QRectF(2.5, 7.5, 10, 11));
        DrawArrow(p, QPointF(14, 2), false, orange);
        break;
    }
    return QIcon(pixmap);
}

} // namespace

TMainForm::TMainForm(const QString &OwnVersion, QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), ownVersion(OwnVersion),
      engine(std::make_unique<TCommandEngine>()),
      commandService(std::make_unique<TExecCommandService>(*engine)),
      logHeight(MainConst::DefaultLogHeight)
{
    ui->setupUi(this);
    theMainForm = this;
    logView = std::make_unique<TLogView>(ui->LogTree);
    connection = std::make_unique<TMainConnection>(*engine, this);
    pageTransfer = std::make_unique<TMainPageTransfer>(*engine);
    SetUpEngine();
    SetUpConnection();
    SetUpPageTransfer();
    SetUpLog();
    SetUpActions();
    SetUpCategoryButtons();
    SetUpStatusBar();
    SetUpToolButtons();
    FormCreate();
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    FormDestroy();
    DetachConnection();
}

QString TMainForm::ProgramFileVersion()
{
    return GetFileVersion(QCoreApplication::applicationFilePath());
}

TMainForm *TMainForm::MainForm()
{
    return theMainForm;
}

// ---- construction and destruction -----------------------------------------------------------

void TMainForm::FormCreate()
{
    // The engine starts with its defaults (5000 ms time-out, one retry for page commands) and
    // its 200 ms tick running.
    Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind,
                                             QString::fromLatin1(MainConst::SettingsKey));
    try {
        if (Settings->ReadVersion() != ownVersion) {
            Settings->ClearAll();
            Settings->WriteVersion(ownVersion);
        }
    } catch (const std::exception &error) {
        qWarning("%s", error.what());
    }

    LoadFormState();
    CreateFrames();
    ShowPage(TGeneralSettingsFrame::PageTag);
}

void TMainForm::FormDestroy()
{
    if (formDestroyed)
        return;
    formDestroyed = true;
    try {
        SaveFormState();
    } catch (const std::exception &error) {
        qWarning("%s", error.what());
    }
    Settings.reset();
    DestroyFrames();
}

// A connection still open when the window goes: its device closes the port without a goodbye,
// and nothing it reports reaches the window any more.
void TMainForm::DetachConnection()
{
    engine->Hooks = {};
    connection->Hooks = {};
    pageTransfer->Hooks = {};
    connection->ClosePort();
    engine->EngineTimer().stop();
}

void TMainForm::CreateFrames()
{
    const QString key = QString::fromLatin1(MainConst::SettingsKey);
    auto add = [this, &key](TPageFrame *frame) {
        frame->hide();
        Frames[frame->Tag()] = frame;
        frame->Window = PageHooks();
        if (auto *history = qobject_cast<THistoryFrame *>(frame))
            history->LoadGridLayout();
        frame->Init(key);
        if (auto *can = qobject_cast<TCANFrame *>(frame)) {
            can->RemoveStandartSetSheet();
            if (!VehicleDatabaseAvailable())
                can->SetCarSelectSheetTabVisible(false);
        }
    };
    add(new TGeneralSettingsFrame(this));
    add(new TGPRSSettingsFrame(this));
    add(new TGPSSettingsFrame(this));
    add(new TEventsSettingsFrame(this));
    auto *flags = new TFlagsInfoFrame(this);
    flags->MessageHook = [this](const QString &text) { ShowError(text); };
    add(flags);
    add(new TCANFrame(this));
    add(new THistoryFrame(this));
    add(new TEngNumbersFrame(this));
    add(new TTouchMemKeysFrame(this));
    if (Dm && Dm->TakeInPending()) {
        Dm->HoldTakeIn();
        connect(Dm, &TDm::TakenIn, this,
                [this] { Guarded(this, [this] { TakeInVehicleDatabase(); }); });
    }
}

TWindowHooks TMainForm::PageHooks()
{
    TWindowHooks hooks;
    hooks.DeviceModel = [this] {
        return std::pair(engine->Identity.DeviceType, engine->Identity.DeviceVersion);
    };
    hooks.Reading = [this] { return engine->State == StateReading; };
    hooks.CommandTarget = this;
    hooks.SendDirectCommand = [this](const QString &Text) { return SendDirectCommand(Text); };
    hooks.CANPageControl = [this](const QString &Name) { return CANPageControl(Name); };
    hooks.SetCANParamEnabled = [this](int Param, bool Enabled) {
        SetCANParamEnabled(Param, Enabled);
    };
    hooks.SetCANFormatSecond = [this] { SetCANFormatSecond(); };
    return hooks;
}

void TMainForm::DestroyFrames()
{
    for (int tag = FrameCount - 1; tag >= 0; --tag) {
        TPageFrame *frame = Frames[tag];
        if (!frame)
            continue;
        try {
            if (auto *history = qobject_cast<THistoryFrame *>(frame))
                history->SaveGridLayout();
            frame->SaveUISettings();
        } catch (const std::exception &error) {
            qWarning("%s: %s", qPrintable(frame->objectName()), error.what());
        }
    }
}

// The vehicle database is read by child processes while the window is built and used. It is let
// in once the window is first shown, or before that when the first input comes or the CAN page is
// shown, and comes as soon as the children are done, the window never waiting for them: the
// vehicle sheet and its lists come then. A unit identified meanwhile keeps the sheet as its model
// shows or hides it. A file that cannot be used is reported once, and the program goes on
// without it; missing SPN records go to "error.log".
void TMainForm::TakeInVehicleDatabase()
{
    auto *can = qobject_cast<TCANFrame *>(Frames[TCANFrame::PageTag]);
    if (Dm->DbAvailable()) {
        if (can) {
            const QList<TDeviceModelCell> cells =
                DeviceModelCells(engine->Identity.DeviceType, engine->Identity.DeviceVersion);
            if (std::none_of(cells.begin(), cells.end(), [](const TDeviceModelCell &cell) {
                    return cell.Control == QLatin1String("CarSelectSheet");
                }))
                can->SetCarSelectSheetTabVisible(true);
        }
        if (!Dm->SPNError().isEmpty())
            errorLog.WriteErrorLog(QStringLiteral("carid.mdb"), QStringLiteral("SPN"),
                                   Dm->SPNError());
    } else if (!Dm->OpenError().isEmpty()) {
        // Not from inside the delivery of the reading's pipes.
        QMetaObject::invokeMethod(
            this, [this, error = Dm->OpenError()] { ShowError(error); }, Qt::QueuedConnection);
    }
    if (can)
        can->AttachVehicleDatabase();
}

void TMainForm::AllowVehicleDatabaseWhenDue(const QObject *Watched, const QEvent *Event)
{
    switch (Event->type()) {
    case QEvent::Expose:
        if (Watched == windowHandle())
            QMetaObject::invokeMethod(
                this,
                [] {
                    if (Dm)
                        Dm->AllowTakeIn();
                },
                Qt::QueuedConnection);
        break;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        Dm->AllowTakeIn();
        break;
    default:
        break;
    }
}

bool TMainForm::VehicleDatabaseAvailable() const
{
    return Dm && Dm->DbAvailable();
}

// ---- window state and captions -----------------------------------------------------------------

void TMainForm::LoadFormState()
{
    using namespace MainConst;
    const QString section = QString::fromLatin1(Section);
    auto readInt = [&](const char *ident, int fallback) {
        return Settings->ReadOrDefault(MakeSetItem(section, QString::fromLatin1(ident), fallback))
            .toInt();
    };
    auto readBool = [&](const char *ident, bool fallback) {
        return Settings->ReadOrDefault(MakeSetItem(section, QString::fromLatin1(ident), fallback))
            .toBool();
    };

    const int designState = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    switch (readInt(FormState, designState)) {
    case 0:
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        break;
    case 1:
        setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
        break;
    case 2:
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    default:
        break;
    }
    if (!(windowState() & Qt::WindowMaximized)) {
        const QPoint position(readInt(FormLeftPos, x()), readInt(FormTopPos, y()));
        const QSize size(readInt(FormWidth, width()), readInt(FormHeight, height()));
        if (position != pos())
            move(position);
        if (size.isValid())
            resize(size);
    }

    logHeight = qMax(0, readInt(LogHeight, DefaultLogHeight));
    ApplyLogHeight();
    ui->AutoScrollAction->setChecked(readBool(LogAutoScroll, true));
    ui->AutoExpandAction->setChecked(readBool(LogAutoExpand, true));
    const bool logVisible = readBool(LogVisible, true);
    ui->LogIsVisibleAction->setChecked(logVisible);
    ui->PanelLog->setVisible(logVisible);

    ApplyCaptions(LoadCaptionPairs(*Settings, section, MainCaptions));
    UpdateStatusBar();
}

void TMainForm::ApplyCaptions(const QStringList &Captions)
{
    using namespace MainConst;
    setWindowTitle(FormatChecked(Captions[mcCaption], {ownVersion}));

    ui->MFile->setTitle(Captions[mcMFile]);
    ui->MConnection->setTitle(Captions[mcMConnection]);
    ui->MLogSettings->setTitle(Captions[mcMLogSettings]);
    ui->MMGeneralSettings->setTitle(Captions[mcMPages]);
    ui->MAbout->setTitle(Captions[mcMAbout]);

    auto captionAndHint = [&](QAction *action, int index) {
        action->setText(Captions[index]);
        action->setToolTip(WithoutMnemonic(Captions[index]));
    };
    captionAndHint(ui->ExitAction, mcExit);
    captionAndHint(ui->ConnectAction, mcConnect);
    captionAndHint(ui->DisconnectAction, mcDisconnect);
    ui->AboutAction->setText(Captions[mcAbout]);
    captionAndHint(ui->AutoScrollAction, mcAutoScroll);
    captionAndHint(ui->AutoExpandAction, mcAutoExpand);
    captionAndHint(ui->LogIsVisibleAction, mcLogVisible);
    captionAndHint(ui->SaveToFileAction, mcSaveToFile);
    ui->CopyToClipboard->setText(Captions[mcCopyToClipboard]);
    ui->ClearLogAction->setText(Captions[mcClearLog]);
    for (int page = 0; page < FrameCount; ++page)
        captionAndHint(PageActionList[page], mcGeneralPage + page);

    StatusFormats = Captions.mid(mcStatusPort, 5);
    SetUpToolButtons();
    FitCategoryPanel();
}

void TMainForm::FitCategoryPanel()
{
    // The design width, or what the longest page caption needs.
    const QMargins margins = ui->PanelCategoryLayout->contentsMargins();
    const int categoryWidth =
        qMax(185, ui->CategoryButtons->sizeHint().width() + margins.left() + margins.right());
    ui->PanelCategory->setMinimumWidth(categoryWidth);
    ui->Splitter2->setSizes({categoryWidth, MainConst::DesignWidth - categoryWidth});
}

void TMainForm::SaveFormState()
{
    using namespace MainConst;
    if (!Settings)
        return;
    const QString section = QString::fromLatin1(Section);
    auto write = [&](const char *ident, const QVariant &value) {
        Settings->Write(MakeSetItem(section, QString::fromLatin1(ident), value));
    };
    write(FormLeftPos, x());
    write(FormTopPos, y());
    write(FormWidth, width());
    write(FormHeight, height());
    const Qt::WindowStates state = windowState();
    write(FormState, (state & Qt::WindowMinimized) ? 0 : (state & Qt::WindowMaximized) ? 2 : 0);
    write(LogHeight, logHeight);
    write(LogAutoScroll, ui->AutoScrollAction->isChecked());
    write(LogAutoExpand, ui->AutoExpandAction->isChecked());
    write(LogVisible, ui->LogIsVisibleAction->isChecked());

    SaveCaptionPairs(*Settings, section, MainCaptions);
    Settings.reset();
}

void TMainForm::ApplyLogHeight()
{
    const int total = qMax(ui->Splitter1->height(), logHeight + 100);
    ui->Splitter1->setSizes({total - logHeight, logHeight});
}

void TMainForm::UpdateStatusBar()
{
    const TDeviceIdentity &identity = engine->Identity;
    const std::array<QString, 6> values{connection->PortName, engine->Phone,
                                        identity.Firmware,    identity.Memory,
                                        identity.DeviceName,  identity.IMEI};
    for (int i = 0; i < 6; ++i) {
        const QString format =
            i < 5 ? StatusFormats.value(i) : QString::fromLatin1(MainConst::ImeiFormat);
        const QString text = FormatChecked(format, {values[i]});
        QLabel *panel = StatusPanels[i];
        panel->setText(text);
        panel->setAccessibleName(text);
        panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(text) + 15);
    }
}

// ---- controls ----------------------------------------------------------------------------------

void TMainForm::SetUpActions()
{
    ActionList = {ui->ExitAction,          ui->ConnectAction,  ui->DisconnectAction,
                  ui->AboutAction,         ui->ChangeFirmware, ui->SaveSettingsToFile,
                  ui->LoadSettingsFromFile};
    ReadWriteActionList = {ui->ReadPageAction, ui->WritePageAction, ui->ReadAllPagesAction,
                           ui->WriteAllPagesAction};
    LogActions = {ui->SaveToFileAction,   ui->AutoScrollAction, ui->AutoExpandAction,
                  ui->LogIsVisibleAction, ui->CopyToClipboard,  ui->ClearLogAction};
    PageActionList = {ui->GeneralSettingAction, ui->GPRSSettingAction, ui->GPSSettingAction,
                      ui->EventSettingAction,   ui->FlagsAction,       ui->CANSettingAction,
                      ui->HistoryAction,        ui->EngNumbersAction,  ui->TouchMemoryKeysAction};

    ui->MFile->menuAction()->setVisible(false);
    ui->MMGeneralSettings->menuAction()->setVisible(false);

    auto bind = [this](QAction *action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { Guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    bind(ui->ExitAction, &TMainForm::ExitActionExecute);
    bind(ui->ConnectAction, &TMainForm::ConnectActionExecute);
    bind(ui->DisconnectAction, &TMainForm::DisconnectActionExecute);
    bind(ui->AboutAction, &TMainForm::AboutActionExecute);
    bind(ui->ChangeFirmware, &TMainForm::ChangeFirmwareExecute);
    bind(ui->SaveSettingsToFile, &TMainForm::SaveSettingsToFileExecute);
    bind(ui->LoadSettingsFromFile, &TMainForm::LoadSettingsFromFileExecute);
    bind(ui->ReadPageAction, &TMainForm::ReadPageActionExecute);
    bind(ui->WritePageAction, &TMainForm::WritePageActionExecute);
    bind(ui->ReadAllPagesAction, &TMainForm::ReadAllPagesActionExecute);
    bind(ui->WriteAllPagesAction, &TMainForm::WriteAllPagesActionExecute);
    bind(ui->GeneralSettingAction, &TMainForm::GeneralSettingActionExecute);
    bind(ui->GPRSSettingAction, &TMainForm::GPRSSettingActionExecute);
    bind(ui->GPSSettingAction, &TMainForm::GPSSettingActionExecute);
    bind(ui->EventSettingAction, &TMainForm::EventSettingActionExecute);
    bind(ui->FlagsAction, &TMainForm::FlagsActionExecute);
    bind(ui->CANSettingAction, &TMainForm::CANSettingActionExecute);
    bind(ui->HistoryAction, &TMainForm::HistoryActionExecute);
    bind(ui->EngNumbersAction, &TMainForm::EngNumbersActionExecute);
    bind(ui->TouchMemoryKeysAction, &TMainForm::TouchMemoryKeysActionExecute);
    bind(ui->ClearLogAction, &TMainForm::ClearLogActionExecute);
    bind(ui->CopyToClipboard, &TMainForm::CopyToClipboardExecute);
    bind(ui->SaveToFileAction, &TMainForm::SaveToFileActionExecute);

    auto *logPopupMenu = new QMenu(this);
    logPopupMenu->setObjectName(QStringLiteral("LogPopupMenu"));
    logPopupMenu->addActions(LogActions);
    connect(ui->LogTree, &QWidget::customContextMenuRequested, this,
            [this, logPopupMenu](const QPoint &at) {
                logPopupMenu->popup(ui->LogTree->viewport()->mapToGlobal(at));
            });
    connect(ui->Splitter1, &QSplitter::splitterMoved, this, [this] {
        if (ui->PanelLog->isVisible())
            logHeight = ui->Splitter1->sizes().value(1, logHeight);
    });
    ui->Splitter1->setStretchFactor(0, 1);
    ui->Splitter1->setStretchFactor(1, 0);
    ui->Splitter2->setStretchFactor(0, 0);
    ui->Splitter2->setStretchFactor(1, 1);
}

void TMainForm::SetUpCategoryButtons()
{
    const QList<QAction *> shown = {ui->GeneralSettingAction, ui->GPRSSettingAction,
                                    ui->EventSettingAction,   ui->CANSettingAction,
                                    ui->HistoryAction,        ui->EngNumbersAction};
    int row = 1; // below the category header
    for (QAction *action : shown) {
        auto *button = new QToolButton(ui->CategoryButtons);
        button->setObjectName(action->objectName() + QStringLiteral("Button"));
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setAutoRaise(true);
        ui->CategoryButtonsLayout->insertWidget(row++, button);
    }
}

void TMainForm::SetUpStatusBar()
{
    for (int i = 0; i < 6; ++i) {
        auto *panel = new QLabel(ui->StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        ui->StatusBar->addWidget(panel);
        StatusPanels[i] = panel;
    }
}

void TMainForm::SetUpToolButtons()
{
    const std::array<std::pair<QAction *, ToolIcon>, 6> icons{{
        {ui->ConnectAction, ToolIcon::Connect},
        {ui->DisconnectAction, ToolIcon::Disconnect},
        {ui->ReadPageAction, ToolIcon::ReadPage},
        {ui->ReadAllPagesAction, ToolIcon::ReadAll},
        {ui->WritePageAction, ToolIcon::WritePage},
        {ui->WriteAllPagesAction, ToolIcon::WriteAll},
    }};
    for (const auto &[action, icon] : icons) {
        if (action->icon().isNull())
            action->setIcon(MakeToolIcon(icon));
        if (QWidget *button = ui->ToolBar1->widgetForAction(action))
            button->setAccessibleName(action->toolTip());
    }
}

// ---- action sets ---------------------------------------------------------------------------

void TMainForm::SetConnectionActions(bool Connect, bool Disconnect, bool Transfer)
{
    ui->ConnectAction->setEnabled(Connect);
    ui->DisconnectAction->setEnabled(Disconnect);
    for (QAction *action : ReadWriteActionList)
        action->setEnabled(Transfer);
    ui->ChangeFirmware->setEnabled(Transfer);
}

void TMainForm::SetActionsBusy()
{
    SetConnectionActions(false, false, false);
}

void TMainForm::SetActionsConnected()
{
    SetConnectionActions(false, true, true);
}

void TMainForm::SetActionsDisconnected()
{
    SetConnectionActions(true, false, false);
}

// ---- pages ---------------------------------------------------------------------------------

void TMainForm::ShowPage(int Tag)
{
    if (Tag < 0 || Tag >= FrameCount || !Frames[Tag])
        return;
    if (Tag == TCANFrame::PageTag && Dm)
        Dm->AllowTakeIn();
    TPageFrame *target = Frames[Tag];
    if (CurrentFrame && CurrentFrame != target)
        CurrentFrame->hide();
    if (target->parentWidget() != ui->PanelForFrame)
        ui->PanelForFrameLayout->addWidget(target);
    target->show();
    CurrentFrame = target;
}

void TMainForm::GeneralSettingActionExecute()
{
    ShowPage(0);
}

void TMainForm::GPRSSettingActionExecute()
{
    ShowPage(1);
}

void TMainForm::GPSSettingActionExecute()
{
    ShowPage(2);
}

void TMainForm::EventSettingActionExecute()
{
    ShowPage(3);
}

void TMainForm::FlagsActionExecute()
{
    ShowPage(4);
}

void TMainForm::CANSettingActionExecute()
{
    ShowPage(5);
}

void TMainForm::HistoryActionExecute()
{
    ShowPage(6);
}

void TMainForm::EngNumbersActionExecute()
{
    ShowPage(7);
}

void TMainForm::TouchMemoryKeysActionExecute()
{
    ShowPage(8);
}

// ---- keyboard ------------------------------------------------------------------------------

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (Dm && Dm->TakeInHeldBack())
        Guarded(this, [&] { AllowVehicleDatabaseWhenDue(watched, event); });
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target || target->window() != this)
        return false;
    // A key event travels from the focus widget up to the window; act on its first delivery.
    QWidget *focus = QApplication::focusWidget();
    const QWidget *first = focus && focus->window() == this ? focus : this;
    if (target != first)
        return false;
    // Handled once the event has been delivered, so that a dialog opened here cannot move the
    // focus under the event's further delivery.
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const int key = keyEvent->key();
    const Qt::KeyboardModifiers modifiers = keyEvent->modifiers();
    QMetaObject::invokeMethod(
        this, [this, key, modifiers] { Guarded(this, [&] { FormKeyDown(key, modifiers); }); },
        Qt::QueuedConnection);
    return false;
}

void TMainForm::FormKeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    // An endless connection wait (start-up output, modem preparation, dial) is abandoned
    // first; otherwise Esc means what the operation state says.
    if (Key == Qt::Key_Escape && !connection->EscapeConnectionWait())
        engine->EscapePressed();
    if ((Shift & Qt::ControlModifier) && (Shift & Qt::AltModifier)) {
        if (Key == Qt::Key_H && CurrentFrame && CurrentFrame->Tag() == THistoryFrame::PageTag) {
            auto *history = static_cast<THistoryFrame *>(CurrentFrame);
            history->Panel2()->setHidden(!history->Panel2()->isHidden());
            history->Panel3()->setHidden(!history->Panel3()->isHidden());
        }
        if (Key == Qt::Key_T)
            TerminalCommand();
    }
}

void TMainForm::TerminalCommand()
{
    const QString initial = QStringLiteral("+");
    bool accepted = false;
    QString text =
        QInputDialog::getText(this, QStringLiteral("Terminal"), QStringLiteral("Input command"),
                              QLineEdit::Normal, initial, &accepted);
    if (!accepted)
        text = initial;
    if (text != initial)
        SendCommand(text, QStringLiteral("OK"), -1);
}

// ---- single commands for the pages and dialogs ------------------------------------------------

bool TMainForm::event(QEvent *event)
{
    if (event->type() == WM_EXECCOMMAND) {
        Guarded(this,
                [&] { commandService->WMExecCommand(*static_cast<TExecCommandEvent *>(event)); });
        return true;
    }
    return QMainWindow::event(event);
}

// ---- closing -------------------------------------------------------------------------------

void TMainForm::EnterWait()
{
    ++waitDepth;
}

void TMainForm::LeaveWait()
{
    if (waitDepth > 0)
        --waitDepth;
    if (waitDepth == 0 && closeWhenIdle) {
        closeWhenIdle = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (waitDepth > 0) {
        // The wait in progress must return first. An endless connection wait is abandoned and
        // a page read stops after its current row, so the close comes soon; a write finishes.
        closeWhenIdle = true;
        event->ignore();
        Guarded(this, [this] {
            if (!connection->EscapeConnectionWait() && engine->State == StateReading)
                engine->EscapePressed();
        });
        return;
    }
    FormDestroy();
    event->accept();
}

// ---- the engine, the connection, the page transfer and the log --------------------------------

void TMainForm::SetUpEngine()
{
    TEngineHooks &h = engine->Hooks;
    h.ClosePort = [this] { ClosePort(); };
    h.DisconnectAction = [this] { DisconnectActionExecute(); };
    h.SetActionsConnected = [this] { SetActionsConnected(); };
    h.RefreshStatusBar = [this] { UpdateStatusBar(); };
    h.ApplyDeviceModel = [this](int version, int type) { ApplyDeviceModel(version, type); };
    h.OpenFirmwareResume = [this] { StartBootloaderUpdate(); };
    h.ShowMessage = [this](const QString &text) { ShowMessage(text); };
    h.LogPortRead = [this](const QString &text) { logView->LogPortRead(text); };
    h.WriteErrorLog = [this](const QString &where, const QString &what, const QString &detail) {
        errorLog.WriteErrorLog(where, what, detail);
    };
    h.WaitStarted = [this] { EnterWait(); };
    h.WaitEnded = [this] { LeaveWait(); };
}

void TMainForm::SetUpConnection()
{
    TConnectionHooks &h = connection->Hooks;
    h.LogSessionStart = [this] {
        logView->LogSessionStart();
        SetActionsBusy();
    };
    h.LogSessionEnd = [this] { logView->LogSessionEnd(); };
    h.LogPortError = [this](const QString &text) { logView->LogPortError(text); };
    h.LogPortEvent = [this](const QString &text) { logView->LogPortEvent(text); };
    h.LogPortWrite = [this](const QString &text) { logView->LogPortWrite(text); };
    h.LogPortRead = [this](const QString &text) { logView->LogPortRead(text); };
    h.SetActionsBusy = [this] { SetActionsBusy(); };
    h.SetActionsDisconnected = [this] { SetActionsDisconnected(); };
    h.UpdateStatusBar = [this] { UpdateStatusBar(); };
    h.ShowMessage = [this](const QString &text) { ShowMessage(text); };
}

void TMainForm::SetUpPageTransfer()
{
    TPageTransferHooks &h = pageTransfer->Hooks;
    h.CurrentFrame = [this] { return CurrentFrame; };
    h.ShowPage = [this](int tag) { ShowPage(tag); };
    h.ShowError = [this](const QString &text) { ShowError(text); };
    h.Confirm = [this](const QString &question) {
        return QMessageBox::question(this, QApplication::applicationName(), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

void TMainForm::SetUpLog()
{
    ui->LogTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    logView->BindToggles(ui->AutoExpandAction, ui->AutoScrollAction, ui->LogIsVisibleAction,
                         ui->PanelLog);
    connect(ui->LogIsVisibleAction, &QAction::toggled, this, [this](bool shown) {
        if (shown)
            ApplyLogHeight();
    });
}

// ---- engine steps ------------------------------------------------------------------------------

void TMainForm::ExecCommand(int Code, int Retries, int Row, TPageData &Res)
{
    engine->ExecCommand(Code, Retries, Row, Res);
}

void TMainForm::ExecCommandText(const QString &Text, int Code, int Retries, int Row, TPageData &Res)
{
    engine->ExecCommandText(Text, Code, Retries, Row, Res);
}

void TMainForm::WaitReply()
{
    engine->WaitReply();
}

void TMainForm::WaitMs(uint32_t Ms)
{
    const QString caption = windowTitle();
    engine->WaitMs(Ms);
    setWindowTitle(caption);
}

void TMainForm::InitResultArray(TPageData &Res, int N)
{
    TCommandEngine::InitResultArray(Res, N);
}

void TMainForm::SendCommand(const QString &Cmd, const QString &Expected, int Code)
{
    engine->SendCommand(Cmd, Expected, Code);
}

void TMainForm::ClosePort()
{
    connection->ClosePort();
}

// ---- messages ----------------------------------------------------------------------------------

void TMainForm::ShowMessage(const QString &Text)
{
    ShowMessageBox(Text, false);
}

void TMainForm::ShowError(const QString &Text)
{
    ShowMessageBox(Text, true);
}

void TMainForm::ShowMessageBox(const QString &Text, bool IsError)
{
    if (MessageHook) {
        MessageHook(Text, IsError);
        return;
    }
    QWidget *const parent = isVisible() ? this : nullptr;
    if (IsError)
        QMessageBox::critical(parent, QApplication::applicationName(), Text);
    else
        QMessageBox::information(parent, QApplication::applicationName(), Text);
}

// ---- actions -------------------------------------------------------------------------------

void TMainForm::ExitActionExecute()
{
    if (engine->PortActive)
        DisconnectActionExecute();
    close();
}

void TMainForm::ConnectActionExecute()
{
    TConnectChoice choice;
    if (!TConnectForm::Ask(this, choice))
        return;
    connection->Connect(choice);
}

void TMainForm::DisconnectActionExecute()
{
    connection->DisconnectActionExecute();
}

// Shown without a loop of its own, so that a page transfer running meanwhile goes on.
void TMainForm::AboutActionExecute()
{
    auto *about = new TFormAbout(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void TMainForm::ChangeFirmwareExecute()
{
    RunFirmwareDialog(false);
}

void TMainForm::StartBootloaderUpdate()
{
    RunFirmwareDialog(true);
}

void TMainForm::RunFirmwareDialog(bool Resume)
{
    // The command that drew the boot loader's answer is given up, and nothing but the dialog
    // talks to the unit while it is open.
    engine->AbandonPending();
    const QPointer<TDevice> device = engine->Device;
    if (!device)
        return;
    const TDeviceIdentity &identity = engine->Identity;
    TChangeFirmwareForm form(identity.FirmwareCopy, identity.MemoryCopy, FirmwareResumeBlock, this);
    if (!FirmwareSetup.ImageFolder.isEmpty())
        form.ImageFolder = FirmwareSetup.ImageFolder;
    if (MessageHook)
        form.MessageHook = [this](const QString &text) { MessageHook(text, false); };
    TFirmwareUpdate &update = form.Update();
    update.Timings = FirmwareSetup.Timings;
    if (!FirmwareSetup.ResumeFilePath.isEmpty())
        update.ResumeFile = TResumeFile(FirmwareSetup.ResumeFilePath);
    update.LogPortRead = [this](const QString &text) { logView->LogPortRead(text); };
    update.LogPortWrite = [this](const QString &text) { logView->LogPortWrite(text); };
    if (Resume) {
        form.NextBlock = FirmwareResumeBlock;
        form.Resume = true;
    }
    const bool keepAlive = device->WakeUp();
    device->SetWakeUp(false);
    engine->SuspendSending();
    form.AttachDevice(device);
    const int result = form.exec();
    form.DetachDevice();
    engine->ResumeSending();
    connection->HookDeviceEvents();
    if (result == QDialog::Accepted) {
        DisconnectActionExecute();
    } else if (device) {
        device->SetWakeUp(keepAlive);
        if (Resume) // the connection the boot loader answered stays open for the user to end
            SetActionsConnected();
    }
}

TMainSettingsFile TMainForm::PagesSettingsFile()
{
    TMainSettingsFile file;
    file.Frame = [this](int tag) -> QWidget * {
        return tag >= 0 && tag < FrameCount ? Frames[tag] : nullptr;
    };
    file.ModeComboChange = [this] {
        if (auto *events =
                qobject_cast<TEventsSettingsFrame *>(Frames[TEventsSettingsFrame::PageTag]))
            events->ModeComboChange();
    };
    file.ValueBehindMarker = [this](const QString &list, int row) {
        const auto *numbers = qobject_cast<TEngNumbersFrame *>(Frames[TEngNumbersFrame::PageTag]);
        return numbers ? numbers->ValueBehindMarker(list, row) : QString();
    };
    return file;
}

// A value the file's code page cannot carry would be saved with "?" in its place, a control
// character would break its line: nothing is saved then, before a file is chosen, and the message
// names the fields.
void TMainForm::SaveSettingsToFileExecute()
{
    const TMainSettingsFile pages = PagesSettingsFile();
    const TSettingsFile file = pages.Collect();
    if (RefuseFieldsNotCarried(pages, file,
                               QStringLiteral("Файл настроек не сохранён: в этих значениях есть "
                                              "управляющие символы или символы, которых нет в "
                                              "кодировке файла (Windows-1251). Исправьте их и "
                                              "сохраните снова.")))
        return;
    const QByteArray bytes = file.Encode();
    AskFileName(this, QFileDialog::AcceptSave, {}, [this, bytes](const QString &path) {
        Guarded(this, [&] {
            QString error;
            if (!SaveWholeFile(path, bytes, true, error))
                ShowError(
                    QStringLiteral("Не удалось сохранить файл настроек %1: %2").arg(path, error));
        });
    });
}

void TMainForm::LoadSettingsFromFileExecute()
{
    AskFileName(this, QFileDialog::AcceptOpen, {},
                [this](const QString &path) { Guarded(this, [&] { LoadSettingsFile(path); }); });
}

void TMainForm::LoadSettingsFile(const QString &path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        ShowError(QStringLiteral("Не удалось открыть файл настроек %1: %2")
                      .arg(path, source.errorString()));
        return;
    }
    TSettingsFile file;
    if (!file.Parse(source.readAll())) {
        ShowMessage(QStringLiteral("Неверный формат файла настроек"));
        return;
    }
    // A value with a control character is damaged (the program saves none): taken, it would reach
    // the unit as two commands or raw. The file is refused as a whole, so that the pages never
    // hold a mix of this file and what was there.
    const TMainSettingsFile pages = PagesSettingsFile();
    if (!RefuseFieldsNotCarried(pages, file,
                                QStringLiteral("Файл настроек не загружен, страницы не изменены: "
                                               "в этих значениях есть управляющие символы "
                                               "(перевод строки, табуляция и другие). Исправьте "
                                               "файл и загрузите его снова.")))
        pages.Apply(file);
}

bool TMainForm::RefuseFieldsNotCarried(const TMainSettingsFile &Pages, const TSettingsFile &File,
                                       const QString &Refusal)
{
    const QStringList fields = Pages.FieldsNotCarriedInOneLine(File);
    if (fields.isEmpty())
        return false;
    ShowError(Refusal + QLatin1Char('\n') + fields.join(QLatin1Char('\n')));
    return true;
}

void TMainForm::ApplyDeviceModel(int Version, int DeviceType)
{
    if (auto *history = qobject_cast<THistoryFrame *>(Frames[THistoryFrame::PageTag]))
        history->SetDeviceModel(DeviceType, Version);
    for (const TDeviceModelCell &cell : DeviceModelCells(DeviceType, Version)) {
        QWidget *page = Frames[cell.PageTag];
        if (auto *control = page ? page->findChild<QWidget *>(cell.Control) : nullptr)
            ApplyDeviceModelCell(control, cell.Action);
    }
}

void TMainForm::ApplyDeviceModelCell(QWidget *Control, TDeviceModelCell::TAction Action)
{
    switch (Action) {
    case TDeviceModelCell::Show:
    case TDeviceModelCell::Hide: {
        const bool visible = Action == TDeviceModelCell::Show;
        Control->setVisible(visible);
        // A sheet of a tab control: its tab comes and goes with it.
        for (QWidget *parent = Control->parentWidget(); parent; parent = parent->parentWidget()) {
            if (auto *tabs = qobject_cast<QTabWidget *>(parent)) {
                if (const int index = tabs->indexOf(Control); index >= 0)
                    tabs->setTabVisible(index, visible);
                break;
            }
        }
        break;
    }
    case TDeviceModelCell::EnableFirstItem:
    case TDeviceModelCell::DisableFirstItem:
        Control->setEnabled(Action == TDeviceModelCell::EnableFirstItem);
        if (auto *combo = qobject_cast<QComboBox *>(Control)) {
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(0);
        }
        break;
    }
}

void TMainForm::ReadPageActionExecute()
{
    pageTransfer->ReadPageActionExecute();
}

void TMainForm::WritePageActionExecute()
{
    pageTransfer->WritePageActionExecute();
}

void TMainForm::ReadAllPagesActionExecute()
{
    pageTransfer->ReadAllPagesActionExecute();
}

void TMainForm::WriteAllPagesActionExecute()
{
    pageTransfer->WriteAllPagesActionExecute();
}

void TMainForm::ClearLogActionExecute()
{
    logView->ClearLog();
}

void TMainForm::CopyToClipboardExecute()
{
    logView->CopyToClipboard();
}

void TMainForm::SaveToFileActionExecute()
{
    AskFileName(this, QFileDialog::AcceptSave, TLogView::DefaultFileName(QDate::currentDate()),
                [this](const QString &path) { Guarded(this, [&] { logView->SaveToFile(path); }); });
}

// --- Controls of the CAN page that the events page drives ---

QWidget *TMainForm::CANPageControl(const QString &Name) const
{
    const TPageFrame *can = Frames[TCANFrame::PageTag];
    return can ? can->findChild<QWidget *>(Name) : nullptr;
}

void TMainForm::SetCANParamEnabled(int Param, bool Enabled)
{
    if (Param != 1 && Param != 2)
        return;
    const QString prefix = QStringLiteral("Par%1").arg(Param);
    for (const char *name : {"ShiftLabel", "IndexLabel", "IndexEdit", "Shift"})
        if (QWidget *control = CANPageControl(prefix + QLatin1String(name)))
            control->setEnabled(Enabled);
    if (auto *shift = qobject_cast<QComboBox *>(CANPageControl(prefix + QStringLiteral("Shift"))))
        shift->setCurrentIndex(0);
    if (auto *id = qobject_cast<QLineEdit *>(CANPageControl(prefix + QStringLiteral("IndexEdit"))))
        id->setText(Enabled ? QStringLiteral("0")
                            : QString::fromLatin1(Param == 1 ? "65400" : "65401"));
}

void TMainForm::SetCANFormatSecond()
{
    if (auto *format =
            qobject_cast<TRadioGroup *>(CANPageControl(QStringLiteral("CANFormatGroup"))))
        format->SetItemIndex(1);
}

// Goes out once nothing is pending, and holds the line until its answer is in, so that the
// answer cannot be taken for another command's reply.
bool TMainForm::SendDirectCommand(const QString &Text)
{
    if (engine->Device.isNull() || !engine->PortActive)
        return false;
    engine->SendDirect(Text);
    return true;
}
