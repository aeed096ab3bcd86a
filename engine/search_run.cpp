// The search run: starts the worker and switches the window between its
// idle and running states around the walk.
#include "engine/search.h"
#include "res/resource.h"
#include "ui/controls.h"

namespace {

void SetToolbarButton(int command, BOOL enabled)
{
    SendMessageW(Toolbar, TB_ENABLEBUTTON, command, MAKELPARAM(enabled, 0));
}

void SetMenuCommand(HMENU menu, UINT command, bool enabled)
{
    EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void ShowRunningState()
{
    SetToolbarButton(IDM_OPEN, FALSE);
    SetToolbarButton(IDM_SEARCH, FALSE);
    SetToolbarButton(IDM_SUBFOLDERS, FALSE);
    SetToolbarButton(IDM_STOP, TRUE);

    const HMENU menu = GetMenu(MainWindow);
    SetMenuCommand(menu, IDM_OPEN, false);
    SetMenuCommand(menu, IDM_SEARCH, false);
    SetMenuCommand(menu, IDM_RECENT, false);
    SetMenuCommand(menu, IDM_SUBFOLDERS, false);
    SetMenuCommand(menu, IDM_STOP, true);

    SendMessageW(ResultTree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(ResultTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    SendMessageW(ResultTree, WM_SETREDRAW, TRUE, 0);

    ShowWindow(ProgressBar, SW_SHOW);
    SendMessageW(ProgressBar, PBM_SETMARQUEE, TRUE, 0);
    if (TaskbarProgress != nullptr)
        TaskbarProgress->SetProgressState(MainWindow, TBPF_INDETERMINATE);
}

void ShowIdleState()
{
    if (TaskbarProgress != nullptr)
        TaskbarProgress->SetProgressState(MainWindow, TBPF_NOPROGRESS);
    if (GetForegroundWindow() != MainWindow)
        FlashWindow(MainWindow, TRUE);

    SendMessageW(ProgressBar, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(ProgressBar, SW_HIDE);
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));

    const HMENU menu = GetMenu(MainWindow);
    SetMenuCommand(menu, IDM_STOP, false);
    SetMenuCommand(menu, IDM_SUBFOLDERS, true);
    SetMenuCommand(menu, IDM_RECENT, true);
    SetMenuCommand(menu, IDM_SEARCH, true);
    SetMenuCommand(menu, IDM_OPEN, true);

    SetToolbarButton(IDM_STOP, FALSE);
    SetToolbarButton(IDM_SUBFOLDERS, TRUE);
    SetToolbarButton(IDM_SEARCH, TRUE);
    SetToolbarButton(IDM_OPEN, TRUE);
}

}  // namespace

DWORD WINAPI SearchWorker(LPVOID)
{
    SearchRunning.exchange(1);
    ShowRunningState();
    ScanFolder();
    ShowIdleState();
    SearchRunning.exchange(0);
    WorkerBusy.exchange(0);
    return 0;
}

void StartSearch()
{
    // Only one worker at a time, and none while the last one winds down.
    LONG idle = 0;
    if (!WorkerBusy.compare_exchange_strong(idle, 1))
        return;
    if (WorkerThread != nullptr) {
        // Closing the handle of a finished worker only drops our reference.
        CloseHandle(WorkerThread);
        WorkerThread = nullptr;
    }
    // Set before the thread exists, so the exit path waits for a worker that
    // has not reached its first step yet, and Search stays refused meanwhile.
    SearchRunning.exchange(1);
    WorkerThread = CreateThread(nullptr, 0, SearchWorker, nullptr, 0, nullptr);
    if (WorkerThread == nullptr) {
        SearchRunning.exchange(0);
        WorkerBusy.exchange(0);
    }
}
