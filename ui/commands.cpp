// The main window's own commands: Stop, Exit, Include Subfolders, the three
// formats and About. The search and folder commands live with their dialogs.
#include <windows.h>
#include <commctrl.h>
#include "engine/search.h"
#include "res/resource.h"
#include "state/settings.h"
#include "ui/controls.h"
#include "ui/handlers.h"

void OnStopCommand()
{
    // Only asks: the worker sees the cleared flag at its next check and puts
    // the window back to idle itself. Closing the handle of a running thread
    // only drops our reference; nothing here may wait for the worker, which
    // talks to this thread through synchronous messages.
    SearchRunning.exchange(0);
    if (WorkerThread) {
        CloseHandle(WorkerThread);
        WorkerThread = nullptr;
    }
}

void OnExitCommand(HWND mainWindow)
{
    SendMessageW(mainWindow, WM_CLOSE, 0, 0);
}

void OnSubFoldersCommand(HWND mainWindow)
{
    SubFolders = SubFolders ? 0 : 1;
    CheckMenuItem(GetMenu(mainWindow), IDM_SUBFOLDERS, MF_BYCOMMAND | (SubFolders ? MF_CHECKED : MF_UNCHECKED));
    SendMessageW(Toolbar, TB_CHECKBUTTON, IDM_SUBFOLDERS, SubFolders ? TRUE : FALSE);
}

void OnFormatCommand(HWND mainWindow, WORD command)
{
    static const WORD formats[] = {IDM_ANSI, IDM_UNICODE, IDM_HEX};
    HMENU menu = GetMenu(mainWindow);
    for (DWORD type = 0; type < ARRAYSIZE(formats); ++type) {
        const bool chosen = formats[type] == command;
        if (chosen)
            StringType = type;
        CheckMenuItem(menu, formats[type], MF_BYCOMMAND | (chosen ? MF_CHECKED : MF_UNCHECKED));
    }
    // The buttons form a group, so Windows clears the other two when one is
    // checked; Wine does not for group buttons without BTNS_CHECK, hence the
    // explicit unchecks (no-ops on Windows).
    SendMessageW(Toolbar, TB_CHECKBUTTON, command, TRUE);
    for (WORD other : formats) {
        if (other != command)
            SendMessageW(Toolbar, TB_CHECKBUTTON, other, FALSE);
    }
}

void OnAboutCommand(HWND mainWindow)
{
    DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), mainWindow, AboutDialogProc, 0);
}
