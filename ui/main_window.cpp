// The main window: its procedure, its four controls and their layout, the
// tooltips, the Open button's drop-down and the caption.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shobjidl.h>
#include <strsafe.h>
#include <uxtheme.h>
#include "engine/search.h"
#include "res/resource.h"
#include "state/settings.h"
#include "ui/controls.h"
#include "ui/handlers.h"
#include "ui/result_feed.h"

// The tree always starts this far below the top of the client area, where
// the toolbar ends.
static const int TREE_TOP = 26;
// Width kept at the right of the status bar for the progress bar's part.
static const int STATUS_PROGRESS_PART = 122;

// The tooltip reads its text after the notification has returned.
static wchar_t TooltipText[260];

HWND CreateToolbar(HWND parent)
{
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | CCS_NODIVIDER | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT |
                                       TBSTYLE_TRANSPARENT,
                                   0, 0, 0, 0, parent, nullptr, AppInstance, nullptr);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    TBADDBITMAP bitmap = {AppInstance, IDB_TOOLBAR};
    SendMessageW(toolbar, TB_ADDBITMAP, 7, reinterpret_cast<LPARAM>(&bitmap));

    // No button has BTNS_CHECK: only the program sets the checked states.
    TBBUTTON buttons[] = {
        {0, IDM_OPEN, TBSTATE_ENABLED, BTNS_DROPDOWN, {}, 0, 0},
        {1, IDM_SEARCH, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {2, IDM_STOP, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {3, IDM_SUBFOLDERS, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {4, IDM_ANSI, TBSTATE_ENABLED, BTNS_GROUP, {}, 0, 0},
        {5, IDM_UNICODE, TBSTATE_ENABLED, BTNS_GROUP, {}, 0, 0},
        {6, IDM_HEX, TBSTATE_ENABLED, BTNS_GROUP, {}, 0, 0},
    };
    SendMessageW(toolbar, TB_ADDBUTTONSW, ARRAYSIZE(buttons), reinterpret_cast<LPARAM>(buttons));
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    ShowWindow(toolbar, SW_SHOWNORMAL);

    // A separate arrow on the Open button drops down the recent folders.
    const LRESULT extended = SendMessageW(toolbar, TB_GETEXTENDEDSTYLE, 0, 0);
    SendMessageW(toolbar, TB_SETEXTENDEDSTYLE, 0, extended | TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(toolbar, TB_ENABLEBUTTON, IDM_STOP, FALSE);
    return toolbar;
}

void LayoutStatusParts(HWND statusBar)
{
    RECT client = {};
    GetClientRect(GetParent(statusBar), &client);
    // Part 0 shows the file being scanned; part 1 holds the progress bar.
    int parts[2] = {client.right - STATUS_PROGRESS_PART, -1};
    SendMessageW(statusBar, SB_SETPARTS, ARRAYSIZE(parts), reinterpret_cast<LPARAM>(parts));
}

void UpdateTitle(const wchar_t* folder)
{
    wchar_t caption[520] = {};
    // Truncated to the buffer when the folder is very long.
    StringCchPrintfW(caption, ARRAYSIZE(caption), L"%ls %ls", L"Pellux", folder ? folder : L"");
    SetWindowTextW(MainWindow, caption);
}

static void OnCreate(HWND window)
{
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&classes);

    Toolbar = CreateToolbar(window);

    ResultTree = CreateWindowExW(0, WC_TREEVIEWW, nullptr,
                                 WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS |
                                     TVS_SHOWSELALWAYS | TVS_FULLROWSELECT,
                                 0, 0, 0, 0, window, nullptr, AppInstance, nullptr);
    SetWindowTheme(ResultTree, L"Explorer", nullptr);

    // 0x0010 is a class-specific bit, not the size grip (0x0100).
    StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | 0x0010, 0, 0, 0, 0,
                                window, nullptr, AppInstance, nullptr);
    LayoutStatusParts(StatusBar);

    ProgressBar = CreateWindowExW(WS_EX_CLIENTEDGE, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_MARQUEE,
                                  0, 0, 0, 0, StatusBar, nullptr, AppInstance, nullptr);
    ShowWindow(ProgressBar, SW_HIDE);

    RecentMenu = CreatePopupMenu();
    RebuildRecentMenu(window);

    // The format handler checks menu item and button and sets StringType; a
    // stored value outside 0-2 leaves all three unchecked.
    static const WORD formatCommands[] = {IDM_ANSI, IDM_UNICODE, IDM_HEX};
    if (StringType < ARRAYSIZE(formatCommands))
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(formatCommands[StringType], 0), 0);

    if (SubFolders) {
        SendMessageW(Toolbar, TB_CHECKBUTTON, IDM_SUBFOLDERS, TRUE);
        CheckMenuItem(GetMenu(window), IDM_SUBFOLDERS, MF_BYCOMMAND | MF_CHECKED);
    }

    // Without the object searches simply run without taskbar progress. It
    // lives in this thread's apartment and is only ever called from here.
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                   reinterpret_cast<void**>(&TaskbarProgress))) &&
        FAILED(TaskbarProgress->HrInit())) {
        TaskbarProgress->Release();
        TaskbarProgress = nullptr;
    }

    // No folder is chosen at start, whatever the recent list holds.
    StringCchCopyW(SearchPath, SEARCH_PATH_UNITS, L"\\\\?\\");
}

static void OnSize(HWND window)
{
    // Both bars place themselves along their edge of the parent.
    SendMessageW(StatusBar, WM_SIZE, 0, 0);
    SendMessageW(Toolbar, WM_SIZE, 0, 0);

    RECT status = {};
    GetClientRect(StatusBar, &status);
    const int statusHeight = status.bottom;
    LayoutStatusParts(StatusBar);
    MoveWindow(ProgressBar, status.right - 120, 3, 100, status.bottom - 5, TRUE);

    // A minimised or tiny window gives a negative height; the tree then
    // simply has no visible area.
    RECT client = {};
    GetClientRect(window, &client);
    MoveWindow(ResultTree, 0, TREE_TOP, client.right, client.bottom - statusHeight - TREE_TOP, TRUE);
}

static void OnToolbarDropDown(HWND window, const NMTOOLBARW* toolbar)
{
    if (toolbar->iItem != IDM_OPEN)
        return;
    RECT button = {};
    SendMessageW(Toolbar, TB_GETRECT, IDM_OPEN, reinterpret_cast<LPARAM>(&button));
    POINT origin = {0, 0};
    ClientToScreen(Toolbar, &origin);
    // Just below the button's bottom-left corner; a chosen folder arrives
    // as WM_COMMAND 4001-4010.
    TrackPopupMenuEx(RecentMenu, 0, origin.x + button.left, origin.y + button.bottom, window, nullptr);
}

static void OnNotify(HWND window, NMHDR* header)
{
    if (header->code == TTN_GETDISPINFOW) {
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        TooltipText[0] = L'\0';
        // String ids are 16-bit; a tool identified by a window handle has no string.
        if (header->idFrom <= 0xFFFF)
            LoadStringW(AppInstance, static_cast<UINT>(header->idFrom), TooltipText, ARRAYSIZE(TooltipText));
        info->lpszText = TooltipText;
    } else if (header->hwndFrom == Toolbar && Toolbar && header->code == TBN_DROPDOWN) {
        OnToolbarDropDown(window, reinterpret_cast<NMTOOLBARW*>(header));
    } else if (header->hwndFrom == ResultTree && ResultTree && header->code == NM_RCLICK) {
        OnTreeRightClick(window);
    }
    // Label edits are answered with 0 too, so an edited text is never kept.
}

static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    // The same command from menu, shortcut or button: only the id counts.
    const WORD command = LOWORD(wParam);
    switch (command) {
    case IDM_OPEN: OnOpenCommand(window); return 0;
    case IDM_SEARCH: OnSearchCommand(window); return 0;
    case IDM_STOP: OnStopCommand(); return 0;
    case IDM_EXIT: OnExitCommand(window); return 0;
    case IDM_EXPAND_ALL: ExpandOrCollapseAll(TVE_EXPAND); return 0;
    case IDM_COLLAPSE_ALL: ExpandOrCollapseAll(TVE_COLLAPSE); return 0;
    case IDM_SUBFOLDERS: OnSubFoldersCommand(window); return 0;
    case IDM_ANSI:
    case IDM_UNICODE:
    case IDM_HEX: OnFormatCommand(window, command); return 0;
    case IDM_ABOUT: OnAboutCommand(window); return 0;
    case IDM_JUMP_TO: OnJumpToCommand(); return 0;
    default:
        if (command >= IDM_RECENT_FIRST && command <= IDM_RECENT_LAST) {
            OnRecentFolderCommand(window, command - IDM_RECENT_FIRST);
            return 0;
        }
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

static void OnClose(HWND window)
{
    // Detach the popup before destroying it, so the menu bar, destroyed with
    // the window, never refers to a menu that is already gone.
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU;
    item.hSubMenu = nullptr;
    SetMenuItemInfoW(GetMenu(window), IDM_RECENT, FALSE, &item);
    if (RecentMenu) {
        DestroyMenu(RecentMenu);
        RecentMenu = nullptr;
    }
    // Saved while the window still exists: its placement is read now.
    SaveSettings(window);
    // The Search dialog, owned by this window, goes with it.
    DestroyWindow(window);
}

static void OnEndSession(HWND window, BOOL ending)
{
    // The session ends without a WM_CLOSE: keep this run's choices. Asked
    // once, and only when it really ends; a running search is told to stop.
    static bool saved = false;
    if (!ending || saved)
        return;
    saved = true;
    SearchRunning.exchange(0);
    SaveSettings(window);
}

static void OnDestroy()
{
    if (TaskbarProgress != nullptr) {
        TaskbarProgress->Release();
        TaskbarProgress = nullptr;
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_SIZE: OnSize(window); return 0;
    case WM_SETFOCUS: SetFocus(ResultTree); return 0;
    case WM_NOTIFY: OnNotify(window, reinterpret_cast<NMHDR*>(lParam)); return 0;
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_DROPFILES: OnDropFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CLOSE: OnClose(window); return 0;
    case WM_ENDSESSION: OnEndSession(window, static_cast<BOOL>(wParam)); return 0;
    case WM_TIMER: OnSearchTimer(window, wParam); return 0;
    case WM_SEARCH_STARTED: OnSearchStarted(window); return 0;
    case WM_SEARCH_RESULTS: OnSearchResults(window); return 0;
    case WM_SEARCH_ENDED: OnSearchEnded(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}
