#pragma once

// The main window's page transfer: the four page actions (read page, write page, read all
// pages, write all pages), the walk over the pages and each page's reader and writer. The main
// window owns one next to its command engine and lets its four action handlers call it; the
// frames are reached through `Hooks`.

#include "pages/PageData.h"
#include "pages/PageTransfer.h"

#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>

class TCommandEngine;
class TPageFrame;

struct TPageTransferHooks
{
    std::function<TPageFrame *()> CurrentFrame;
    // Hides the current frame, shows frame Tag in the page panel and makes it current.
    std::function<void(int tag)> ShowPage;
    // The general error message of an action that failed.
    std::function<void(const QString &text)> ShowError;
    // A Yes/No question; unset counts as No.
    std::function<bool(const QString &question)> Confirm;
};

class TMainPageTransfer
{
public:
    explicit TMainPageTransfer(TCommandEngine &engine);

    TPageTransferHooks Hooks;

    void ReadPageActionExecute();
    void WritePageActionExecute();
    void ReadAllPagesActionExecute();
    void WriteAllPagesActionExecute();

    // The walks over the pages; the actions above run them as one transfer.
    void ReadAllPages();
    void WriteAllPages();

    // The general page.
    TPageData ReadGeneralValues();
    void WriteGeneralPage();
    // The engineering-numbers page (18 or 19 rows by the unit's type and firmware).
    TPageData ReadEngNumbersValues();
    void WriteEngNumbersPage();
    // The touch-memory keys page.
    TPageData ReadTouchKeysValues();
    void WriteTouchKeysPage();

    // The events page.
    TPageData ReadEventValues();
    void WriteEventPage();
    // The GPRS page.
    TPageData ReadGPRSValues();
    void WriteGPRSPage();

    // The GPS page (single-page actions only).
    TPageData ReadGPSValues();
    void WriteGPSPage();

    // The flags page (single-page actions only).
    TPageData ReadFlagsValues();
    void WriteFlagsPage();

    // The CAN page: its rows follow the connected unit's type and firmware.
    TPageData ReadCANValues();
    void WriteCANPage();

    // The history page: its read, and its "write", which erases the unit's history.
    TPageData ReadHistoryValues();
    void ClearHistory();

private:
    void RunPageAction(uint8_t transferState, const std::function<void()> &action);
    bool StopRequested(uint8_t transferState) const;
    TPageFrame *CurrentFrame() const;

    void ReadPage(TPageFrame *frame);
    void WritePage(TPageFrame *frame);

    // The loops every page's reader and writer share.
    TPageData ReadPageRows(const QVector<int> &codes);
    // Rows whose read command text is made per row (an index filled in).
    TPageData ReadPageRows(int rows, int (*code)(int row), QString (*text)(int row));
    void WritePageRows(int rows, const PageTransfer::WriteCommandFn &command);

    TCommandEngine &Engine;
};
