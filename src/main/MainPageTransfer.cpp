#include "main/MainPageTransfer.h"

#include "can/CANRows.h"
#include "history/HistoryReading.h"
#include "history/UnitHistoryFrame.h"
#include "main/CommandEngine.h"
#include "pages/EventsRows.h"
#include "pages/EngNumbersRows.h"
#include "pages/FlagsRows.h"
#include "pages/GPRSRows.h"
#include "pages/GPSRows.h"
#include "pages/GeneralRows.h"
#include "pages/PageFrame.h"
#include "pages/TouchKeysRows.h"

#include <exception>

namespace {

// "Read all pages" and "write all pages" show frames 0..7 in turn and read or write these.
constexpr int LastWalkedFrame = 7;

bool ReadInWalk(int tag)
{
    return tag == 0 || tag == 1 || tag == 3 || tag == 5 || tag == 6 || tag == 7;
}

bool WrittenInWalk(int tag)
{
    return tag == 0 || tag == 1 || tag == 3 || tag == 5 || tag == 7;
}

} // namespace

TMainPageTransfer::TMainPageTransfer(TCommandEngine &engine) : Engine(engine) {}

TPageFrame *TMainPageTransfer::CurrentFrame() const
{
    return Hooks.CurrentFrame ? Hooks.CurrentFrame() : nullptr;
}

// A read stops on Esc (state 9) and when the connection ends (state 0 or 10); a write only
// when something other than the user's Esc changed the state.
bool TMainPageTransfer::StopRequested(uint8_t transferState) const
{
    return Engine.State != transferState;
}

// --- The four actions ---

void TMainPageTransfer::ReadPageActionExecute()
{
    RunPageAction(StateReading, [this] { ReadPage(CurrentFrame()); });
}

void TMainPageTransfer::WritePageActionExecute()
{
    RunPageAction(StateWriting, [this] { WritePage(CurrentFrame()); });
}

void TMainPageTransfer::ReadAllPagesActionExecute()
{
    RunPageAction(StateReading, [this] { ReadAllPages(); });
}

void TMainPageTransfer::WriteAllPagesActionExecute()
{
    RunPageAction(StateWriting, [this] { WriteAllPages(); });
}

// One transfer at a time: an action started while another waits for the unit is refused. The
// engine holds `transferState` for the length of the action and puts its saved state back after,
// also when the action failed.
void TMainPageTransfer::RunPageAction(uint8_t transferState, const std::function<void()> &action)
{
    if (!Engine.BeginTransfer(transferState))
        return;
    try {
        action();
    } catch (const std::exception &e) {
        Engine.EndTransfer();
        if (Hooks.ShowError)
            Hooks.ShowError(QString::fromUtf8(e.what()));
        return;
    }
    Engine.EndTransfer();
}

void TMainPageTransfer::ReadAllPages()
{
    for (int tag = 0; tag <= LastWalkedFrame; ++tag) {
        if (Hooks.ShowPage)
            Hooks.ShowPage(tag);
        if (ReadInWalk(tag))
            ReadPage(CurrentFrame());
        if (StopRequested(StateReading))
            break;
    }
}

void TMainPageTransfer::WriteAllPages()
{
    for (int tag = 0; tag <= LastWalkedFrame; ++tag) {
        if (Hooks.ShowPage)
            Hooks.ShowPage(tag);
        if (WrittenInWalk(tag))
            WritePage(CurrentFrame());
        if (StopRequested(StateWriting))
            break;
    }
}

// --- Dispatch by the frame's Tag ---

void TMainPageTransfer::ReadPage(TPageFrame *frame)
{
    if (frame == nullptr || frame->Tag() < 0 || frame->Tag() > 8)
        return;
    TPageData v;
    switch (frame->Tag()) {
    case 0:
        v = ReadGeneralValues();
        break;
    case 3:
        v = ReadEventValues();
        break;
    case 1:
        v = ReadGPRSValues();
        break;
    case 2:
        v = ReadGPSValues();
        break;
    case 4:
        v = ReadFlagsValues();
        break;
    case 5:
        v = ReadCANValues();
        break;
    case THistoryFrame::PageTag:
        v = ReadHistoryValues();
        break;
    case 7:
        v = ReadEngNumbersValues();
        break;
    case 8:
        v = ReadTouchKeysValues();
        break;
    default:
        // A page without rows of its own shows an empty read.
        v = ReadPageRows({});
        break;
    }
    frame->SetPageData(v);
}

void TMainPageTransfer::WritePage(TPageFrame *frame)
{
    if (frame == nullptr || frame->Tag() < 0 || frame->Tag() > 8)
        return;
    switch (frame->Tag()) {
    case 0:
        WriteGeneralPage();
        break;
    case 3:
        WriteEventPage();
        break;
    case 1:
        WriteGPRSPage();
        break;
    case 2:
        WriteGPSPage();
        break;
    case 4:
        WriteFlagsPage();
        break;
    case 5:
        WriteCANPage();
        break;
    case THistoryFrame::PageTag:
        ClearHistory();
        break;
    case 7:
        WriteEngNumbersPage();
        break;
    case 8:
        WriteTouchKeysPage();
        break;
    default:
        WritePageRows(0, [](int, const QVariant &) { return PageTransfer::WriteCommand{}; });
        break;
    }
}

// --- The common loops ---

TPageData TMainPageTransfer::ReadPageRows(const QVector<int> &codes)
{
    return PageTransfer::ReadRows(
        codes,
        [this](int code, int row, TPageData &res) {
            Engine.ExecCommand(code, Engine.DefaultRetries, row, res);
        },
        [this] { return StopRequested(StateReading); });
}

TPageData TMainPageTransfer::ReadPageRows(int rows, int (*code)(int row), QString (*text)(int row))
{
    QVector<int> codes;
    for (int r = 1; r <= rows; ++r)
        codes << code(r);
    return PageTransfer::ReadRows(
        codes,
        [this, text](int code, int row, TPageData &res) {
            Engine.ExecCommandText(text(row), code, Engine.DefaultRetries, row, res);
        },
        [this] { return StopRequested(StateReading); });
}

void TMainPageTransfer::WritePageRows(int rows, const PageTransfer::WriteCommandFn &command)
{
    TPageFrame *const frame = CurrentFrame();
    const TWriteResults results = PageTransfer::WriteRows(
        rows,
        [frame](TPageData &v) {
            if (frame != nullptr)
                frame->GetPageData(v);
        },
        command,
        [this](const QString &text, int code, int row, TPageData &res) {
            Engine.ExecCommandText(text, code, Engine.DefaultRetries, row, res);
        },
        [this] { Engine.MarkDone(); });
    if (frame != nullptr)
        frame->ShowWriteResults(results);
}

// --- The general page ---

TPageData TMainPageTransfer::ReadGeneralValues()
{
    const auto &codes = GeneralRows::ReadCodes;
    return ReadPageRows(QVector<int>(codes.begin(), codes.end()));
}

void TMainPageTransfer::WriteGeneralPage()
{
    WritePageRows(GeneralRows::RowCount, [](int row, const QVariant &value) {
        return PageTransfer::WriteCommand{GeneralRows::WriteCommandText(row, value),
                                          GeneralRows::WriteCodeForValue(row, value)};
    });
}

// --- The events page ---

TPageData TMainPageTransfer::ReadEventValues()
{
    const auto &codes = EventsRows::ReadCodes;
    const int rows =
        EventsRows::ReadRowCount(Engine.Identity.DeviceType, Engine.Identity.DeviceVersion);
    return ReadPageRows(QVector<int>(codes.begin(), codes.begin() + rows));
}

void TMainPageTransfer::WriteEventPage()
{
    WritePageRows(
        EventsRows::WriteRowCount(Engine.Identity.DeviceType, Engine.Identity.DeviceVersion),
        [](int row, const QVariant &value) {
            return PageTransfer::WriteCommand{EventsRows::WriteCommandText(row, value),
                                              EventsRows::WriteCode(row)};
        });
}

// --- The engineering-numbers page ---

TPageData TMainPageTransfer::ReadEngNumbersValues()
{
    const TDeviceIdentity &unit = Engine.Identity;
    return ReadPageRows(EngNumbersRows::RowCount(unit.DeviceType, unit.DeviceVersion),
                        &EngNumbersRows::ReadCode, &EngNumbersRows::ReadCommandText);
}

void TMainPageTransfer::WriteEngNumbersPage()
{
    const TDeviceIdentity &unit = Engine.Identity;
    WritePageRows(EngNumbersRows::RowCount(unit.DeviceType, unit.DeviceVersion),
                  [](int row, const QVariant &value) {
                      return PageTransfer::WriteCommand{
                          EngNumbersRows::WriteCommandText(row, value),
                          EngNumbersRows::WriteCode(row)};
                  });
}

// --- The touch-memory keys page ---

TPageData TMainPageTransfer::ReadTouchKeysValues()
{
    return ReadPageRows(TouchKeysRows::RowCount, &TouchKeysRows::ReadCode,
                        &TouchKeysRows::ReadCommandText);
}

void TMainPageTransfer::WriteTouchKeysPage()
{
    WritePageRows(TouchKeysRows::RowCount, [](int row, const QVariant &value) {
        return PageTransfer::WriteCommand{TouchKeysRows::WriteCommandText(row, value),
                                          TouchKeysRows::WriteCode(row)};
    });
}

// --- The GPRS page ---

TPageData TMainPageTransfer::ReadGPRSValues()
{
    const auto codes = GPRSRows::ReadCodes();
    return PageTransfer::ReadRows(
        QVector<int>(codes.begin(), codes.end()),
        [this](int code, int row, TPageData &res) {
            if (code == 0) { // the time synchronisation row is never read
                res(row, 1) = GPRSRows::UnreadRowValue;
                res(row, 2) = 1;
                return;
            }
            Engine.ExecCommand(code, Engine.DefaultRetries, row, res);
        },
        [this] { return StopRequested(StateReading); });
}

void TMainPageTransfer::WriteGPRSPage()
{
    WritePageRows(GPRSRows::RowCount, GPRSRows::WriteCommandFor);
}

// --- The GPS page ---

TPageData TMainPageTransfer::ReadGPSValues()
{
    return ReadPageRows({GPSRows::ReadCode});
}

void TMainPageTransfer::WriteGPSPage()
{
    WritePageRows(1, GPSRows::WriteCommandFor);
}

// --- The flags page ---

TPageData TMainPageTransfer::ReadFlagsValues()
{
    return ReadPageRows({FlagsRows::ReadCode});
}

void TMainPageTransfer::WriteFlagsPage()
{
    WritePageRows(1, FlagsRows::WriteCommandFor);
}

// --- The CAN page ---

TPageData TMainPageTransfer::ReadCANValues()
{
    const CANRows::RowSet set =
        CANRows::RowSetFor(Engine.Identity.DeviceType, Engine.Identity.DeviceVersion);
    if (set == CANRows::RowSet::None)
        return {};
    return ReadPageRows(CANRows::ReadCodes(set));
}

void TMainPageTransfer::WriteCANPage()
{
    const CANRows::RowSet set =
        CANRows::RowSetFor(Engine.Identity.DeviceType, Engine.Identity.DeviceVersion);
    const QVector<int> codes = CANRows::WriteCodes(set);
    WritePageRows(int(codes.size()), [set, codes](int row, const QVariant &value) {
        return PageTransfer::WriteCommand{CANRows::WriteCommandText(set, row, value.toString()),
                                          codes[row - 1]};
    });
}

// --- The history page ---

TPageData TMainPageTransfer::ReadHistoryValues()
{
    TPageData request;
    if (auto *history = qobject_cast<THistoryFrame *>(CurrentFrame()))
        history->GetPageData(request);
    return HistoryReading::ReadHistoryValues(
        request,
        [this](int code, int row, TPageData &res) {
            Engine.ExecCommand(code, Engine.DefaultRetries, row, res);
        },
        [this](const QString &text, int code, int row, TPageData &res) {
            Engine.ExecCommandText(text, code, Engine.DefaultRetries, row, res);
        },
        [this] { return StopRequested(StateReading); });
}

void TMainPageTransfer::ClearHistory()
{
    const QString question = QStringLiteral("Вы уверены что хотите удалить все записи истории?");
    if (!Hooks.Confirm || !Hooks.Confirm(question))
        return;
    TPageData v(1, 2);
    Engine.ExecCommand(HistoryReading::EraseCode, Engine.DefaultRetries, 1, v);
    if (v(1, 2).toInt() == 1) {
        if (auto *history = qobject_cast<THistoryFrame *>(CurrentFrame()))
            history->ClearGrid();
    }
}
