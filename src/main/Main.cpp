#include "main/Main.h"

#include "Version.h"
#include "can/UnitCANFrame.h"
#include "history/UnitHistoryFrame.h"
#include "main/MainConst.h"
#include "main/fAbout.h"
#include "pages/UnitEngNumbersFrame.h"
#include "pages/UnitEventsSettingsFrame.h"
#include "pages/UnitFlagsInfoFrame.h"
#include "pages/UnitGPRSSettingsFrame.h"
#include "pages/UnitGPSSettingsFrame.h"
#include "pages/UnitGeneralSettingsFrame.h"
#include "pages/UnitTouchMemKeysFrame.h"
#include "settings/Delphi.h"

#include "ui_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolButton>

#include <exception>

namespace {

QPointer<TMainForm> theMainForm;

// Runs a handler's work; an error is shown to the user instead of leaving the event loop.
template <typename Work> void Guarded(QWidget *parent, Work &&work) noexcept
{
    try {
        work();
    } catch (const std::exception &error) {
        QMessageBox::critical(parent, QApplication::applicationName(),
                              QString::fromUtf8(error.what()));
    } catch (...) {
        QMessageBox::critical(parent, QApplication::applicationName(),
                              QStringLiteral("Неизвестная ошибка"));
    }
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
      Timer(new QTimer(this)), logHeight(MainConst::DefaultLogHeight)
{
    ui->setupUi(this);
    theMainForm = this;
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
}

QString TMainForm::ProgramFileVersion()
{
    return QStringLiteral(W9CAN_VERSION);
}

TMainForm *TMainForm::MainForm()
{
    return theMainForm;
}

// ---- construction and destruction -----------------------------------------------------------

void TMainForm::FormCreate()
{
    FirmwareResumeBlock = -1;
    ReplyBuffer.clear();
    Values = QVariantList{0, 0};
    RetriesLeft = -1;
    DefaultRetries = 1;
    Waiting = false;
    ClosePending = false;
    TimeoutMs = 5000;

    Timer->setInterval(200);
    connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
    Timer->start();

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
    Timer->stop();
}

void TMainForm::CreateFrames()
{
    const QString key = QString::fromLatin1(MainConst::SettingsKey);
    auto add = [this, &key](TPageFrame *frame) {
        frame->hide();
        Frames[frame->Tag()] = frame;
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
    add(new TFlagsInfoFrame(this));
    add(new TCANFrame(this));
    add(new THistoryFrame(this));
    add(new TEngNumbersFrame(this));
    add(new TTouchMemKeysFrame(this));
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

bool TMainForm::VehicleDatabaseAvailable() const
{
    return false;
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
    const std::array<QString, 6> values{PortName, Phone, Firmware, Memory, DeviceName, IMEI};
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
    ui->Splitter2->setSizes({185, MainConst::DesignWidth - 185});
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
    const auto *key = static_cast<QKeyEvent *>(event);
    Guarded(this, [&] { FormKeyDown(key->key(), key->modifiers()); });
    return false;
}

void TMainForm::FormKeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    if (Key == Qt::Key_Escape) {
        switch (State) {
        case stCableConnect:
        case stCableDisconnect:
            Waiting = false;
            ClosePort();
            break;
        case stIdentifying:
        case stIdentified:
            Waiting = false;
            ui->DisconnectAction->trigger();
            break;
        case stReadingPages:
            Waiting = false;
            Done = true;
            State = stIdentified;
            break;
        default:
            break;
        }
    }
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
        closeWhenIdle = true;
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
}

// ---- engine steps (the command engine fills these in) ------------------------------------------

void TMainForm::SendCommand(const QString &, const QString &, int)
{
    // No port is open: nothing is sent and no caller waits.
    Waiting = false;
    Done = true;
}

void TMainForm::ClosePort()
{
    PortActive = false;
}

void TMainForm::TimerTimer() {}

// ---- actions -------------------------------------------------------------------------------

void TMainForm::ExitActionExecute()
{
    if (PortActive)
        ui->DisconnectAction->trigger();
    close();
}

void TMainForm::ConnectActionExecute() {}

void TMainForm::DisconnectActionExecute() {}

void TMainForm::AboutActionExecute()
{
    TFormAbout about(this);
    about.exec();
}

void TMainForm::ChangeFirmwareExecute() {}

void TMainForm::SaveSettingsToFileExecute() {}

void TMainForm::LoadSettingsFromFileExecute() {}

void TMainForm::ReadPageActionExecute() {}

void TMainForm::WritePageActionExecute() {}

void TMainForm::ReadAllPagesActionExecute() {}

void TMainForm::WriteAllPagesActionExecute() {}
