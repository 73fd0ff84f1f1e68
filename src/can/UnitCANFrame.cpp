#include "can/UnitCANFrame.h"

#include "can/ConstCANFrame.h"
#include "can/SPNSelectUnit.h"
#include "can/ShownColumnProxy.h"
#include "pages/ExecCommandEvents.h"
#include "pages/TypingLimit.h"
#include "settings/Delphi.h"
#include "settings/SetInfoLoader.h"
#include "settings/funcs.h"
#include "ui_UnitCANFrame.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSqlQueryModel>
#include <QWheelEvent>

using namespace CANRows;

namespace {

const QColor &clGreen = TPageFrame::ResultColors[0];
const QColor &clRed = TPageFrame::ResultColors[1];
const QString NoData = QStringLiteral("н/д");

void SetBold(QLabel *label, bool bold)
{
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

bool AllWritten(const TWriteResults &results)
{
    return !results.isEmpty() &&
           std::all_of(results.begin(), results.end(), [](int r) { return r == 0; });
}

bool RowRead(const TPageData &v, int row)
{
    return row <= v.RowCount() && v.ColCount() >= 2 && v(row, 2).toInt() == 1;
}

} // namespace

TCANFrame::TCANFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("CANFrame"), parent), ui(std::make_unique<Ui::TCANFrame>())
{
    ui->setupUi(this);
    // The form's own name would replace the page's; the page keeps its class-derived name.
    setObjectName(QStringLiteral("CANFrame"));
    TTypingLimit::InstallAll(this);
    Timer.setObjectName(QStringLiteral("Timer"));
    Timer.setInterval(5000);

    connect(ui->CANFormatGroup, &TRadioGroup::Click, this,
            [this] { Guarded([&] { CANFormatGroupClick(); }); });
    for (int param = 1; param <= ParamCount; ++param) {
        IdEdit(param)->installEventFilter(this);
        connect(ShiftCombo(param), &QComboBox::activated, this,
                [this] { Guarded([&] { ResetResultColor(); }); });
    }
    for (QPushButton *button : {ui->SelSPN1, ui->SelSPN2, ui->SelSPN3, ui->SelSPN4})
        connect(button, &QPushButton::clicked, this,
                [this, button] { Guarded([&] { SelSPNClick(button); }); });
    connect(ui->CheckBox1, &QCheckBox::toggled, this,
            [this] { Guarded([&] { CheckBox1Click(); }); });
    connect(ui->ComboBox2, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([&] { ComboBox2Change(); }); });
    connect(&Timer, &QTimer::timeout, this, [this] { Guarded([&] { TimerTimer(); }); });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *old, QWidget *now) { Guarded([&] { FocusChanged(old, now); }); });
}

TCANFrame::~TCANFrame() = default;

// --- Sheets ---

QTabWidget *TCANFrame::PageControl1() const
{
    return ui->PageControl1;
}

QWidget *TCANFrame::UserSetSheet() const
{
    return ui->UserSetSheet;
}

QWidget *TCANFrame::CarSelectSheet() const
{
    return ui->CarSelectSheet;
}

void TCANFrame::RemoveStandartSetSheet()
{
    delete ui->StandartSetSheet;
    ui->StandartSetSheet = nullptr;
}

void TCANFrame::SetCarSelectSheetTabVisible(bool Visible)
{
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->CarSelectSheet), Visible);
}

// --- Settings ---

void TCANFrame::LoadUISettings()
{
    TPageFrame::LoadUISettings();
    LoadSetInfoTable(this, *Settings, QString::fromLatin1(ConstCANFrame::Section),
                     ConstCANFrame::CANSetInfo);
    CANFormatGroupClick();
    AttachVehicleDatabase();
}

void TCANFrame::AttachVehicleDatabase()
{
    if (Dm != nullptr && Dm->DbAvailable()) {
        BindVehicleLists();
        const int shownMaker = Dm->CurrentRow(TDm::ProdList);
        Dm->SelectId(TDm::ProdList, 1);
        // The database ran its cascade before the page listened: a maker that was current
        // already moves nothing, so its year's mask is applied here.
        if (Dm->CurrentRow(TDm::ProdList) == shownMaker)
            Dm->ApplyCarMask();
    }
    // A unit's car id read before the database came in, or failed to.
    if (const std::optional<int> carId = std::exchange(carToLocate, std::nullopt);
        carId && !LocateCar(*carId))
        SetResultColor(1);
}

void TCANFrame::SaveUISettings()
{
    if (!Settings)
        Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
    Guarded([&] {
        SaveSetInfoTable(this, *Settings, QString::fromLatin1(ConstCANFrame::Section),
                         ConstCANFrame::CANSetInfo);
    });
    TPageFrame::SaveUISettings();
}

// --- Controls by number ---

QCheckBox *TCANFrame::EventBox(int Box) const
{
    return findChild<QCheckBox *>(Format(QStringLiteral("c%d"), {Box}));
}

QLineEdit *TCANFrame::IdEdit(int Param) const
{
    const std::array<QLineEdit *, ParamCount> edits = {ui->Par1IndexEdit, ui->Par2IndexEdit,
                                                       ui->Par3IndexEdit, ui->Par4IndexEdit};
    return edits.at(Param - 1);
}

QComboBox *TCANFrame::ShiftCombo(int Param) const
{
    const std::array<QComboBox *, ParamCount> combos = {ui->Par1Shift, ui->Par2Shift, ui->Par3Shift,
                                                        ui->Par4Shift};
    return combos.at(Param - 1);
}

QLabel *TCANFrame::IdLabel(int Param) const
{
    const std::array<QLabel *, ParamCount> labels = {ui->Par1IndexLabel, ui->Par2IndexLabel,
                                                     ui->Par3IndexLabel, ui->Par4IndexLabel};
    return labels.at(Param - 1);
}

// --- Page data ---

RowSet TCANFrame::CurrentRowSet() const
{
    if (!Window.DeviceModel)
        return RowSet::None;
    const auto [type, version] = Window.DeviceModel();
    return RowSetFor(type, version);
}

void TCANFrame::ApplyPageData(const TPageData &V)
{
    switch (const RowSet set = CurrentRowSet()) {
    case RowSet::UserParam:
        ApplyUserParams(V);
        break;
    case RowSet::CarId:
    case RowSet::Vehicle:
        ApplyVehicle(V, set);
        break;
    case RowSet::None:
        break;
    }
}

// A value that is not 24 hex digits counts as a failed read: the controls keep their values.
void TCANFrame::ApplyUserParams(const TPageData &V)
{
    const std::optional<UserParams> params =
        RowRead(V, 1) ? DecodeUserParams(V(1, 1).toString()) : std::nullopt;
    if (!params) {
        SetResultColor(1);
        return;
    }
    ui->CANFormatGroup->SetItemIndex(params->format);
    CANFormatGroupClick();
    for (int param = 1; param <= ParamCount; ++param) {
        ShiftCombo(param)->setCurrentIndex(params->shifts[param - 1]);
        TTypingLimit::SetText(IdEdit(param), QString::number(params->ids[param - 1]));
    }
    SetResultColor(0);
}

// Each row is applied only when the unit answered it; a failed row changes nothing it feeds. A
// car id the database does not hold leaves the vehicle shown, which is not the unit's: red, and
// no longer one to write.
void TCANFrame::ApplyVehicle(const TPageData &V, RowSet Set)
{
    vehicleSettled = false;
    const std::optional<int> carId = RowRead(V, 1) ? CarIdFromReply(V(1, 1)) : std::nullopt;
    bool allRead = carId.has_value();
    if (Set == RowSet::Vehicle) {
        allRead = carId && LocateCar(*carId);
        const bool maskRead = RowRead(V, 2) && ApplyEventMask(V(2, 1));
        const bool liveRead = RowRead(V, 3);
        if (liveRead)
            ShowLiveValues(DecodeLiveText(V(3, 1).toString(), false));
        allRead = allRead && maskRead && liveRead;
    }
    SetResultColor(allRead ? 0 : 1);
}

bool TCANFrame::ApplyEventMask(const QVariant &Value)
{
    const std::optional<quint32> mask = EventMaskFromReply(Value);
    if (!mask)
        return false;
    for (int box = 0; box < EventBoxCount; ++box)
        if (QCheckBox *check = EventBox(box))
            check->setChecked(DeviceMaskHasBox(*mask, box));
    return true;
}

// Every identifier is checked; one that is empty, not a number or above 65535 turns its label
// red and nothing is built.
std::optional<UserParams> TCANFrame::CurrentUserParams()
{
    UserParams params;
    params.format = ui->CANFormatGroup->ItemIndex() & 1;
    bool ok = true;
    for (int param = 1; param <= ParamCount; ++param) {
        params.shifts[param - 1] = std::clamp(ShiftCombo(param)->currentIndex(), 0, MaxShift);
        const std::optional<int> id = ParamIdFromText(IdEdit(param)->text());
        if (id) {
            params.ids[param - 1] = *id;
        } else {
            SetLabelColor(IdLabel(param), clRed);
            ok = false;
        }
    }
    return ok ? std::optional(params) : std::nullopt;
}

quint32 TCANFrame::CheckedEventMask() const
{
    quint32 mask = 0;
    for (int box = 0; box < EventBoxCount; ++box)
        if (const QCheckBox *check = EventBox(box); check && check->isChecked())
            mask |= 1u << box;
    return mask;
}

void TCANFrame::GetPageData(TPageData &V)
{
    V.Clear();
    idRefused = false;
    switch (CurrentRowSet()) {
    case RowSet::UserParam:
        if (const std::optional<UserParams> params = CurrentUserParams()) {
            V = TPageData(2, 2, QVariant());
            V(1, 1) = 1;
            V(1, 2) = EncodeUserParams(*params);
        } else {
            idRefused = true;
        }
        break;
    case RowSet::CarId:
        V = TPageData(2, 3, QVariant());
        PutCarIdRow(V);
        break;
    case RowSet::Vehicle:
        V = TPageData(3, 3, QVariant());
        PutCarIdRow(V);
        V(2, 1) = 2;
        V(2, 2) = EventMaskText(CheckedEventMask());
        V(3, 1) = 3;
        V(3, 2) = QString();
        break;
    case RowSet::None:
        break;
    }
}

// The vehicle the lists show is written only when a read located it or the user chose it; any
// other is not the unit's, and the unit keeps its own car id.
void TCANFrame::PutCarIdRow(TPageData &V) const
{
    V(1, 1) = 1;
    V(1, 2) = CarIdText(SelectedCarId());
    if (!vehicleSettled)
        V(1, 3) = -1;
}

// Green only when every row was sent and confirmed. A write refused for an identifier keeps
// only that identifier's label red: a red group would colour every label in it.
void TCANFrame::ShowWriteResults(const TWriteResults &Results)
{
    if (idRefused) {
        for (QWidget *group : ResultGroups())
            ResetLabelColor(group);
        return;
    }
    SetResultColor(AllWritten(Results) ? 0 : 1);
}

void TCANFrame::SetResultColor(int Result)
{
    if (Result != 0 && Result != 1)
        return;
    ResetResultColor();
    for (QWidget *group : ResultGroups())
        SetLabelColor(group, ResultColors[Result]);
}

void TCANFrame::ResetResultColor()
{
    for (int param = 1; param <= ParamCount; ++param)
        ResetLabelColor(IdLabel(param));
    for (QWidget *group : ResultGroups())
        ResetLabelColor(group);
}

// The groups that show a read's or write's result: the user sheet's, and the vehicle group so
// that a type 505 unit's result is seen on its own sheet.
QList<QWidget *> TCANFrame::ResultGroups() const
{
    return {ui->CANFormatGroup, ui->Panel1, ui->Panel2, ui->CarGroup};
}

// --- Vehicle ---

void TCANFrame::SetCarMask(int Mask)
{
    // The option comes first: clearing it enables the ignition box again.
    if (auto *option = window()->findChild<QCheckBox *>(QStringLiteral("CANCheckBox"))) {
        if (DatabaseMaskHasBox(quint32(Mask), IgnitionBox)) {
            option->setEnabled(true);
        } else {
            option->setChecked(false);
            option->setEnabled(false);
        }
    }
    for (int box = 0; box < EventBoxCount; ++box)
        if (QCheckBox *check = EventBox(box))
            check->setEnabled(DatabaseMaskHasBox(quint32(Mask), box));
}

// --- Live values ---

void TCANFrame::ShowLiveData(const QString &Text)
{
    ShowLiveValues(DecodeLiveText(Text, true));
}

void TCANFrame::ShowLiveValues(const LiveValues &Values)
{
    const std::array<QLabel *, LiveFieldCount> labels = {ui->Label33, ui->Label31, ui->Label39,
                                                         ui->Label36, ui->Label43, ui->Label42,
                                                         ui->Label37, ui->Label30, ui->Label32};
    for (int field = 0; field < LiveFieldCount; ++field) {
        labels[field]->setText(QString::number(Values.fields[field]));
        SetBold(labels[field], true);
        SetLabelColor(labels[field], clGreen);
    }
    ShowBodyStatus(Values.body);
    ShowDriveStatus(Values.drive);
    ShowEngineStatus(Values.engine);
}

void TCANFrame::ShowBodyStatus(int Value)
{
    ShowStatusBits(Value, 0);
}

void TCANFrame::ShowDriveStatus(int Value)
{
    ShowStatusBits(Value, 8);
}

void TCANFrame::ShowEngineStatus(int Value)
{
    ShowStatusBits(Value, 16);
}

// Bit i of the byte is status bit FirstBit + i; only events the vehicle supports show a state.
void TCANFrame::ShowStatusBits(int Value, int FirstBit)
{
    for (int i = 0; i < 8; ++i) {
        const EventStateTexts &texts = LiveStateTexts[FirstBit + i];
        auto *label = findChild<QLabel *>(QString::fromLatin1(texts.label));
        const QCheckBox *box = EventBox(BoxOfStatusBit(FirstBit + i));
        if (label == nullptr || box == nullptr)
            continue;
        const bool supported = box->isEnabled();
        const bool set = (Value >> i) & 1;
        if (supported) {
            label->setText(QString::fromUtf8(set ? texts.set : texts.clear));
            SetLabelColor(label, set ? clRed : clGreen);
        } else {
            label->setText(NoData);
            ResetLabelColor(label);
        }
        SetBold(label, supported);
    }
}

// --- Handlers ---

void TCANFrame::CANFormatGroupClick()
{
    ui->Panel2->setVisible(ui->CANFormatGroup->ItemIndex() == 1);
    ResetResultColor();
}

bool TCANFrame::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit == nullptr || event->type() != QEvent::KeyPress)
        return TPageFrame::eventFilter(watched, event);
    bool drop = false;
    Guarded([&] { drop = !IdEditKeyPress(edit, static_cast<QKeyEvent *>(event)->text()); });
    return drop || TPageFrame::eventFilter(watched, event);
}

// Only digits and Backspace are typed; keys without a character (arrows, Tab, Delete) pass.
bool TCANFrame::IdEditKeyPress(QLineEdit *Edit, const QString &Key)
{
    ResetResultColor();
    ResetLabelColor(IdLabel(Edit->property("Tag").toInt()));
    if (Key.size() != 1 || Key.at(0) == QLatin1Char('\t') || Key.at(0).unicode() == 127)
        return true;
    const QChar c = Key.at(0);
    return c == QLatin1Char('\b') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

void TCANFrame::wheelEvent(QWheelEvent *event)
{
    event->accept();
    for (QComboBox *list : {ui->ProdDBL, ui->ModelDBL, ui->YearDBL}) {
        if (!list->hasFocus())
            continue;
        const Qt::Key key = event->angleDelta().y() >= 0 ? Qt::Key_Up : Qt::Key_Down;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &press);
        return;
    }
}

void TCANFrame::CheckBox1Click()
{
    if (ui->CheckBox1->isChecked())
        Timer.start();
    else
        Timer.stop();
}

void TCANFrame::ComboBox2Change()
{
    Timer.setInterval(RefreshIntervalMs(ui->ComboBox2->currentIndex()));
}

void TCANFrame::StopAutoRefresh()
{
    ui->CheckBox1->setChecked(false);
    Timer.stop();
}

void TCANFrame::FocusChanged(QWidget *Old, QWidget *Now)
{
    // A drop-down's list is a window of its own; it still belongs to the control that opened it.
    const auto inside = [this](const QWidget *w) {
        for (; w != nullptr; w = w->parentWidget()) {
            if (w == this)
                return true;
            if (w->isWindow() && w->windowType() != Qt::Popup)
                return false;
        }
        return false;
    };
    const bool wasInside = inside(Old);
    const bool isInside = inside(Now);
    if (wasInside && Now != nullptr && !isInside)
        StopAutoRefresh();
}

void TCANFrame::showEvent(QShowEvent *event)
{
    TPageFrame::showEvent(event);
    if (!event->spontaneous())
        Guarded([&] { StopAutoRefresh(); });
}

void TCANFrame::hideEvent(QHideEvent *event)
{
    TPageFrame::hideEvent(event);
    if (!event->spontaneous())
        Guarded([&] { StopAutoRefresh(); });
}

void TCANFrame::TimerTimer()
{
    PostExecCommand(Window.CommandTarget, LiveValuesCode, this);
}

void TCANFrame::customEvent(QEvent *event)
{
    if (event->type() == WM_COMMANDDONE)
        Guarded([&] { WMCommandDone(*static_cast<TCommandDoneEvent *>(event)); });
    else
        TPageFrame::customEvent(event);
}

// Only the current answer to a request the unit answered is shown; any other is dropped.
void TCANFrame::WMCommandDone(const TCommandDoneEvent &Done)
{
    if (Done.IsCurrent() && Done.Record.Status == 1)
        ShowLiveData(Done.Record.Text1);
}

// --- Vehicle database ---

// A "..." button of the standard sheet: the SPN dialog for the button's slot.
void TCANFrame::SelSPNClick(QWidget *Button)
{
    const int tag = Button->property("Tag").toInt();
    const std::array<QLineEdit *, 4> edits = {ui->SPNEdit1, ui->SPNEdit2, ui->SPNEdit3,
                                              ui->SPNEdit4};
    if (Dm != nullptr && tag > 100 && tag <= 100 + int(edits.size()))
        OpenSPNSelection(*Dm, tag, SPNs, *edits[size_t(tag - 101)], this);
}

QComboBox *TCANFrame::VehicleList(int List) const
{
    const std::array<QComboBox *, 3> lists = {ui->ProdDBL, ui->ModelDBL, ui->YearDBL};
    return lists.at(List);
}

// The maker, model and year lists show the database's lists; choosing in one runs the cascade,
// and every year that becomes current applies its mask.
void TCANFrame::BindVehicleLists()
{
    for (const TDm::TList list : {TDm::ProdList, TDm::ModelList, TDm::YearList}) {
        QComboBox *box = VehicleList(list);
        // The list offers only the column it shows, to the eye and to a screen reader alike.
        box->setModel(new TShownColumnProxy(Dm->ListModel(list), Dm->ListColumn(list), box));
        box->setCurrentIndex(Dm->CurrentRow(list));
        connect(box, &QComboBox::activated, Dm,
                [list](int row) { Guarded([&] { Dm->SelectRow(list, row); }); });
        // The user's choice is a vehicle of its own, no longer the one a read marked.
        connect(box, &QComboBox::activated, this, [this] {
            Guarded([&] {
                vehicleSettled = true;
                ResetLabelColor(ui->CarGroup);
            });
        });
    }
    connect(Dm, &TDm::CurrentRowChanged, this, [this](TDm::TList list, int row) {
        Guarded([&] { VehicleList(list)->setCurrentIndex(row); });
    });
    connect(Dm, &TDm::CarMaskSelected, this,
            [this](int mask) { Guarded([&] { SetCarMask(mask); }); });
}

// While the database is still coming in, the car is located once it is there.
bool TCANFrame::LocateCar(int CarId)
{
    if (Dm != nullptr && Dm->TakeInPending()) {
        carToLocate = CarId;
        return true;
    }
    vehicleSettled = Dm != nullptr && Dm->LocateCar(CarId);
    return vehicleSettled;
}

// The car id of the chosen year; without a database or a year there is nothing to write.
int TCANFrame::SelectedCarId() const
{
    const std::optional<int> carId = Dm != nullptr ? Dm->CarId() : std::nullopt;
    if (!carId)
        throw EConvertError(QStringLiteral("Не выбран автомобиль"));
    return *carId;
}
