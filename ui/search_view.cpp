// The window's side of a search, all on the UI thread: the switch between
// the idle and running states, the batches of results put into the tree and
// the status bar's view of the file being scanned.
#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>
#include "engine/search.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/handlers.h"
#include "ui/result_feed.h"

namespace {

// The commands that would change a running search, and Stop; one table for
// both the toolbar and the menu.
struct SearchCommand {
    UINT id;
    bool onToolbar;
    bool enabledWhileRunning;
};
const SearchCommand SearchCommands[] = {
    {IDM_OPEN, true, false},       {IDM_SEARCH, true, false}, {IDM_RECENT, false, false},
    {IDM_SUBFOLDERS, true, false}, {IDM_STOP, true, true},
};

void ShowCommandStates(bool running)
{
    const HMENU menu = GetMenu(MainWindow);
    for (const SearchCommand& command : SearchCommands) {
        const bool enabled = command.enabledWhileRunning == running;
        if (command.onToolbar)
            SendMessageW(Toolbar, TB_ENABLEBUTTON, command.id, MAKELPARAM(enabled ? TRUE : FALSE, 0));
        EnableMenuItem(menu, command.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

// The timer serves both the batches that wait less than a full one and the
// status bar; a file entered longer ago than STATUS_STALE_MS and already left
// is no longer shown.
constexpr UINT_PTR SEARCH_TIMER = 1;
constexpr UINT SEARCH_TIMER_MS = 30;
constexpr DWORD STATUS_STALE_MS = 50;
// How long one turn may insert nodes while the user waits for an answer.
constexpr ULONGLONG INSERT_SLICE_MS = 15;

// The node the last file's offsets go under, by its number in the search.
UINT64 LastFileSerial = 0;
HTREEITEM LastFileNode = nullptr;
// The worker has reported its end; the window goes idle once the last of
// its results is in the tree.
bool SearchEnding = false;
UINT64 ShownStatusSerial = 0;
bool StatusShowing = false;
wchar_t StatusText[SEARCH_PATH_UNITS];

HTREEITEM InsertNode(HTREEITEM parent, wchar_t* text, int children)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    insert.item.pszText = text;
    insert.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessageW(ResultTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void InsertBatch(ResultBatch& batch)
{
    for (UINT32 f = 0; f < batch.fileCount; ++f) {
        const BatchFile& file = batch.files[f];
        if (file.serial != LastFileSerial) {
            LastFileSerial = file.serial;
            LastFileNode = nullptr;
        }
        for (UINT32 i = 0; i < file.offsetCount; ++i) {
            // A file node that could not be inserted is tried again at the
            // file's next match; that match alone is lost.
            if (LastFileNode == nullptr) {
                LastFileNode = InsertNode(TVI_ROOT, batch.paths + file.pathStart, 1);
                if (LastFileNode == nullptr)
                    continue;
            }
            wchar_t text[260] = {};
            StringCchPrintfW(text, ARRAYSIZE(text), L"%08I64X", batch.offsets[file.firstOffset + i]);
            InsertNode(LastFileNode, text, 0);
        }
    }
}

// Puts waiting batches into the tree and shows them. One turn lasts at most
// INSERT_SLICE_MS; the rest follows in the next turn, at once when no input
// or painting waits, else on the timer. True when some are left.
bool InsertWaitingResults()
{
    const ULONGLONG start = GetTickCount64();
    bool inserted = false;
    bool more = false;
    while (ResultBatch* batch = TakeResultBatch()) {
        if (!inserted) {
            SendMessageW(ResultTree, WM_SETREDRAW, FALSE, 0);
            inserted = true;
        }
        InsertBatch(*batch);
        FreeResultBatch(batch);
        if (GetTickCount64() - start >= INSERT_SLICE_MS) {
            more = true;
            break;
        }
    }
    if (inserted) {
        SendMessageW(ResultTree, WM_SETREDRAW, TRUE, 0);
        UpdateWindow(ResultTree);
    }
    // Still announced, so the worker does not post again meanwhile.
    if (more && GetQueueStatus(QS_INPUT | QS_PAINT) == 0)
        PostMessageW(MainWindow, WM_SEARCH_RESULTS, 0, 0);
    return more;
}

void ShowScanStatus()
{
    const ScanStatus status = ReadScanStatus(ShownStatusSerial, STATUS_STALE_MS, StatusText, ARRAYSIZE(StatusText));
    if (status.show && status.serial != ShownStatusSerial) {
        ShownStatusSerial = status.serial;
        StatusShowing = true;
        SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(StatusText));
    } else if (!status.show && StatusShowing) {
        // Walking folders with no file to read: the last name is old news.
        StatusShowing = false;
        SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
    }
}

}  // namespace

void OnSearchStarted(HWND window)
{
    ShowCommandStates(true);

    SendMessageW(ResultTree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(ResultTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    SendMessageW(ResultTree, WM_SETREDRAW, TRUE, 0);
    LastFileSerial = 0;
    LastFileNode = nullptr;
    SearchEnding = false;
    ShownStatusSerial = 0;
    StatusShowing = false;

    ShowWindow(ProgressBar, SW_SHOW);
    SendMessageW(ProgressBar, PBM_SETMARQUEE, TRUE, 0);
    if (TaskbarProgress != nullptr)
        TaskbarProgress->SetProgressState(window, TBPF_INDETERMINATE);
    SetTimer(window, SEARCH_TIMER, SEARCH_TIMER_MS, nullptr);
}

static void ShowIdleState(HWND window)
{
    KillTimer(window, SEARCH_TIMER);
    SearchEnding = false;

    if (TaskbarProgress != nullptr)
        TaskbarProgress->SetProgressState(window, TBPF_NOPROGRESS);
    if (GetForegroundWindow() != window)
        FlashWindow(window, TRUE);

    SendMessageW(ProgressBar, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(ProgressBar, SW_HIDE);
    const MatchCounts counts = LastMatchCounts();
    wchar_t text[260] = {};
    if (counts.notShown > 0)
        StringCchPrintfW(text, ARRAYSIZE(text), L"%I64u matches not shown (the tree holds at most %I64u)",
                         counts.notShown, static_cast<UINT64>(MAX_OFFSET_NODES));
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));

    ShowCommandStates(false);
    SearchWorkerDone();
}

static void TakeResults(HWND window)
{
    const bool more = InsertWaitingResults();
    if (SearchEnding && !more)
        ShowIdleState(window);
    else
        ShowScanStatus();
}

void OnSearchResults(HWND window)
{
    TakeResults(window);
}

void OnSearchTimer(HWND window, UINT_PTR timer)
{
    if (timer == SEARCH_TIMER)
        TakeResults(window);
}

void OnSearchEnded(HWND window)
{
    SearchEnding = true;
    TakeResults(window);
}

void StartSearchFromWindow(HWND window)
{
    StartSearch(WindowReport(window));
}
