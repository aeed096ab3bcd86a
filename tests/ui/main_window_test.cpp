// The main window as the user meets it: its controls, the stored choices
// applied at creation, the commands it handles itself, tooltips, layout,
// caption, the Open button's drop-down and the close path.
#include "main_window_fixture.h"
#include <commctrl.h>
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

LONG_PTR Style(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyle(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

// A rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(MainWindowTest, CreatesItsFourControlsAsDescribed)
{
    wcscpy(SearchPath + LONG_PATH_PREFIX_UNITS, L"C:\\left over");
    wcscpy(RecentFolders.slots[0], L"C:\\recent");
    HWND window = Create();
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(WindowText(window), L"Pellux");
    EXPECT_EQ(ClassOf(window), L"Pellux");
    EXPECT_TRUE(ExStyle(window) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(Style(window) & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);

    const struct {
        HWND control;
        const wchar_t* className;
        HWND parent;
        LONG_PTR style;
    } controls[] = {
        {Toolbar, L"ToolbarWindow32", window,
         WS_CHILD | WS_VISIBLE | CCS_NODIVIDER | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT},
        {ResultTree, L"SysTreeView32", window,
         WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS |
             TVS_FULLROWSELECT},
        {StatusBar, L"msctls_statusbar32", window, WS_CHILD | WS_VISIBLE | 0x0010},
        {ProgressBar, L"msctls_progress32", StatusBar, WS_CHILD | PBS_MARQUEE},
    };
    for (const auto& entry : controls) {
        SCOPED_TRACE(testing::Message() << entry.className);
        ASSERT_NE(entry.control, nullptr);
        EXPECT_STREQ(ClassOf(entry.control).c_str(), entry.className);
        EXPECT_EQ(GetParent(entry.control), entry.parent);
        EXPECT_EQ(GetDlgCtrlID(entry.control), 0);
        EXPECT_EQ(Style(entry.control) & entry.style, entry.style);
    }
    EXPECT_FALSE(Style(ResultTree) & TVS_HASLINES);
    EXPECT_FALSE(Style(StatusBar) & SBARS_SIZEGRIP);
    EXPECT_FALSE(IsWindowVisible(ProgressBar));
    // (The progress control trades the client edge it is created with for a
    // static edge of its own, so its extended style is not checked here.)

    // Nothing chosen at start, whatever the recent list holds.
    EXPECT_STREQ(SearchPath, L"\\\\?\\");
    EXPECT_NE(TaskbarProgress, nullptr);
}

TEST_F(MainWindowTest, ToolbarHasItsNineButtonsWithStopDisabled)
{
    ASSERT_NE(Create(), nullptr);
    const struct {
        int image, command;
        BYTE style;
        bool enabled;
    } expected[] = {
        {0, IDM_OPEN, BTNS_DROPDOWN, true},   {1, IDM_SEARCH, BTNS_BUTTON, true}, {2, IDM_STOP, BTNS_BUTTON, false},
        {0, 0, BTNS_SEP, true},               {3, IDM_SUBFOLDERS, BTNS_BUTTON, true},
        {0, 0, BTNS_SEP, true},               {4, IDM_ANSI, BTNS_GROUP, true},
        {5, IDM_UNICODE, BTNS_GROUP, true},   {6, IDM_HEX, BTNS_GROUP, true},
    };
    ASSERT_EQ(SendMessageW(Toolbar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(ARRAYSIZE(expected)));
    for (int k = 0; k < static_cast<int>(ARRAYSIZE(expected)); ++k) {
        SCOPED_TRACE(k);
        TBBUTTON button = {};
        ASSERT_TRUE(SendMessageW(Toolbar, TB_GETBUTTON, k, reinterpret_cast<LPARAM>(&button)));
        EXPECT_EQ(button.idCommand, expected[k].command);
        EXPECT_EQ(button.fsStyle, expected[k].style);
        EXPECT_FALSE(button.fsStyle & BTNS_CHECK);
        EXPECT_EQ((button.fsState & TBSTATE_ENABLED) != 0, expected[k].enabled);
        if (expected[k].style != BTNS_SEP) {
            EXPECT_EQ(button.iBitmap, expected[k].image);
        }
    }
    EXPECT_TRUE(SendMessageW(Toolbar, TB_GETEXTENDEDSTYLE, 0, 0) & TBSTYLE_EX_DRAWDDARROWS);
    EXPECT_TRUE(MenuGrayed(IDM_STOP));
    EXPECT_TRUE(MenuGrayed(IDM_RECENT));  // the list is empty
}

TEST_F(MainWindowTest, StoredFormatAndSubfolderChoiceAreShownAtCreation)
{
    const struct {
        DWORD stringType, subFolders;
        int checkedFormat;  // -1: none
    } cases[] = {{0, 1, IDM_ANSI}, {1, 0, IDM_UNICODE}, {2, 1, IDM_HEX}, {7, 0, -1}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << "StringType " << entry.stringType << " SubFolders " << entry.subFolders);
        StringType = entry.stringType;
        SubFolders = entry.subFolders;
        ASSERT_NE(Create(), nullptr);
        for (UINT format : {IDM_ANSI, IDM_UNICODE, IDM_HEX}) {
            EXPECT_EQ(MenuChecked(format), static_cast<int>(format) == entry.checkedFormat) << format;
            EXPECT_EQ(ButtonChecked(format), static_cast<int>(format) == entry.checkedFormat) << format;
        }
        EXPECT_EQ(StringType, entry.stringType);  // an unknown value is kept as stored
        EXPECT_EQ(MenuChecked(IDM_SUBFOLDERS), entry.subFolders != 0);
        EXPECT_EQ(ButtonChecked(IDM_SUBFOLDERS), entry.subFolders != 0);
        DestroyWindow(MainWindow);
        DrainQuit();
    }
}

TEST_F(MainWindowTest, EachFormatCommandLeavesExactlyOneFormatChecked)
{
    StringType = 9;  // nothing checked to begin with
    ASSERT_NE(Create(), nullptr);
    const UINT formats[] = {IDM_ANSI, IDM_UNICODE, IDM_HEX};
    // Every transition between the three, including choosing the same again.
    const UINT sequence[] = {IDM_HEX, IDM_ANSI, IDM_UNICODE, IDM_UNICODE, IDM_HEX, IDM_UNICODE, IDM_ANSI, IDM_HEX};
    for (UINT chosen : sequence) {
        SCOPED_TRACE(chosen);
        Command(static_cast<WORD>(chosen));
        EXPECT_EQ(StringType, chosen - IDM_ANSI);
        for (UINT format : formats) {
            EXPECT_EQ(MenuChecked(format), format == chosen) << format;
            EXPECT_EQ(ButtonChecked(format), format == chosen) << format;
        }
    }
}

TEST_F(MainWindowTest, IncludeSubfoldersToggledTwiceReturnsToItsStart)
{
    SubFolders = 1;
    ASSERT_NE(Create(), nullptr);
    Command(IDM_SUBFOLDERS);
    EXPECT_EQ(SubFolders, 0u);
    EXPECT_FALSE(MenuChecked(IDM_SUBFOLDERS));
    EXPECT_FALSE(ButtonChecked(IDM_SUBFOLDERS));
    Command(IDM_SUBFOLDERS);
    EXPECT_EQ(SubFolders, 1u);
    EXPECT_TRUE(MenuChecked(IDM_SUBFOLDERS));
    EXPECT_TRUE(ButtonChecked(IDM_SUBFOLDERS));
}

TEST_F(MainWindowTest, TooltipsShowTheStringOfTheButtonsCommand)
{
    ASSERT_NE(Create(), nullptr);
    HWND tooltips = reinterpret_cast<HWND>(SendMessageW(Toolbar, TB_GETTOOLTIPS, 0, 0));
    const struct {
        UINT_PTR id;
        const wchar_t* text;
    } cases[] = {
        {IDM_OPEN, L"Open (Ctrl+O)"},
        {IDM_SEARCH, L"Search (Ctrl+F)"},
        {IDM_STOP, L"Stop (Ctrl+Q)"},
        {IDM_SUBFOLDERS, L"Include Subfolders (Ctrl+S)"},
        {IDM_ANSI, L"Ansi (Alt+1)"},
        {IDM_UNICODE, L"Unicode (Alt+2)"},
        {IDM_HEX, L"Hex (Alt+3)"},
        {IDM_EXIT, L""},  // no string: an empty tip, not the previous one
        {reinterpret_cast<UINT_PTR>(Toolbar), L""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.id);
        NMTTDISPINFOW info = {};
        info.hdr.hwndFrom = tooltips;
        info.hdr.idFrom = entry.id;
        info.hdr.code = TTN_GETDISPINFOW;
        EXPECT_EQ(SendMessageW(MainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), 0);
        ASSERT_NE(info.lpszText, nullptr);
        EXPECT_STREQ(info.lpszText, entry.text);
    }
}

void ExpectLayout()
{
    RECT client = {}, status = {};
    GetClientRect(MainWindow, &client);
    GetClientRect(StatusBar, &status);
    const RECT tree = ChildRect(ResultTree);
    const RECT statusInParent = ChildRect(StatusBar);
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.top, 26);
    EXPECT_EQ(tree.right, client.right);
    EXPECT_EQ(tree.bottom, statusInParent.top);
    EXPECT_EQ(statusInParent.bottom, client.bottom);

    const RECT progress = ChildRect(ProgressBar);
    EXPECT_EQ(progress.left, status.right - 120);
    EXPECT_EQ(progress.right - progress.left, 100);
    EXPECT_EQ(progress.top, 3);
    EXPECT_EQ(progress.bottom - progress.top, status.bottom - 5);

    int parts[4] = {};
    ASSERT_EQ(SendMessageW(StatusBar, SB_GETPARTS, ARRAYSIZE(parts), reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_EQ(parts[0], client.right - 122);
    EXPECT_EQ(parts[1], -1);
}

TEST_F(MainWindowTest, ControlsFollowTheWindowSizeAndSurviveMinimising)
{
    ASSERT_NE(Create(), nullptr);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    for (SIZE size : {SIZE{640, 480}, SIZE{900, 300}}) {
        SCOPED_TRACE(size.cx);
        SetWindowPos(MainWindow, nullptr, 10, 10, size.cx, size.cy, SWP_NOZORDER);
        ExpectLayout();
    }

    // Minimised and tiny windows give a negative tree height: the tree then
    // has no visible area, and nothing fails.
    ShowWindow(MainWindow, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(MainWindow));
    RECT tree = {};
    GetClientRect(ResultTree, &tree);
    EXPECT_EQ(tree.bottom, 0);
    ShowWindow(MainWindow, SW_RESTORE);
    SetWindowPos(MainWindow, nullptr, 10, 10, 150, 40, SWP_NOZORDER);
    GetClientRect(ResultTree, &tree);
    EXPECT_EQ(tree.bottom, 0);
    SetWindowPos(MainWindow, nullptr, 10, 10, 700, 500, SWP_NOZORDER);
    ExpectLayout();
}

TEST_F(MainWindowTest, CaptionNamesTheFolderAndIsCutToItsBuffer)
{
    ASSERT_NE(Create(), nullptr);
    UpdateTitle(L"C:\\Program Files\\Tools");
    EXPECT_EQ(WindowText(MainWindow), L"Pellux C:\\Program Files\\Tools");

    const std::wstring longFolder = L"C:\\" + std::wstring(700, L'x');
    UpdateTitle(longFolder.c_str());
    const std::wstring caption = WindowText(MainWindow);
    EXPECT_EQ(caption.size(), 519u);
    EXPECT_EQ(caption, (L"Pellux " + longFolder).substr(0, 519));
}

TEST_F(MainWindowTest, ActivatingTheWindowFocusesTheTree)
{
    ASSERT_NE(Create(), nullptr);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    SetFocus(Toolbar);
    SetFocus(MainWindow);
    EXPECT_EQ(GetFocus(), ResultTree);
}

// A stand-in for the worker: blocks until released, like a walk that has
// not yet reached its next check.
DWORD WINAPI BlockedWorker(LPVOID event)
{
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

TEST_F(MainWindowTest, StopClearsTheFlagAndLetsGoOfTheWorkerWithoutWaiting)
{
    ASSERT_NE(Create(), nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WorkerThread = CreateThread(nullptr, 0, BlockedWorker, release, 0, nullptr);
    ASSERT_NE(WorkerThread, nullptr);
    // A handle of our own, to watch the thread after Stop has closed its one.
    HANDLE observer = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), WorkerThread, GetCurrentProcess(), &observer, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    SearchRunning.store(1);

    Command(IDM_STOP);  // returns although the worker is still blocked
    EXPECT_EQ(SearchRunning.load(), 0);
    EXPECT_EQ(WorkerThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(observer, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    Command(IDM_STOP);  // twice is harmless
    EXPECT_EQ(SearchRunning.load(), 0);

    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(observer, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(observer);
    CloseHandle(release);
}

DWORD MainWindowValue(const wchar_t* name)
{
    DWORD value = 0xDEAD, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tavrin\\Pellux", name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// Counts the saves of one close. Before every message a window of this
// thread receives, and once more at the end, a placement record that has
// appeared since the last look is counted and deleted; a save made in a
// later step of the close writes it again and is counted again.
int SavesSeen = 0;

void TakeSavedPlacement()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tavrin\\Pellux", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (RegDeleteValueW(key, L"MainWindow") == ERROR_SUCCESS)
        ++SavesSeen;
    RegCloseKey(key);
}

LRESULT CALLBACK CountSavesBeforeEachMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        TakeSavedPlacement();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, ClosingOrExitSavesTheSettingsOnceAndEndsTheLoop)
{
    for (WORD how : {WORD(0), WORD(IDM_EXIT)}) {
        SCOPED_TRACE(how ? "File > Exit" : "WM_CLOSE");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tavrin");
        ASSERT_NE(Create(), nullptr);
        Command(IDM_UNICODE);
        Command(IDM_SUBFOLDERS);
        HMENU popup = RecentMenu;
        // Nothing is written before the close.
        EXPECT_FALSE(RegistryValueExists(L"Software\\Tavrin\\Pellux", L"StringType"));

        SavesSeen = 0;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountSavesBeforeEachMessage, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        if (how)
            Command(how);
        else
            SendMessageW(MainWindow, WM_CLOSE, 0, 0);
        UnhookWindowsHookEx(hook);
        TakeSavedPlacement();
        EXPECT_EQ(SavesSeen, 1);
        EXPECT_FALSE(IsWindow(MainWindow));
        EXPECT_FALSE(IsMenu(popup));
        EXPECT_EQ(DrainQuit(), 0);
        EXPECT_EQ(MainWindowValue(L"StringType"), 1u);
        EXPECT_EQ(MainWindowValue(L"SubFolders"), 0u);
        StringType = 0;
        SubFolders = 1;
    }
}

TEST_F(MainWindowTest, EndOfTheSessionSavesTheSettingsOnceItReallyEnds)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tavrin");
    ASSERT_NE(Create(), nullptr);
    Command(IDM_HEX);
    SearchRunning.store(1);
    // A shutdown that was cancelled saves nothing and stops nothing.
    SendMessageW(MainWindow, WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(RegistryValueExists(L"Software\\Tavrin\\Pellux", L"StringType"));
    EXPECT_EQ(SearchRunning.load(), 1);
    SendMessageW(MainWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(MainWindowValue(L"StringType"), 2u);
    EXPECT_EQ(SearchRunning.load(), 0);
    // Said twice, written once.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tavrin");
    SendMessageW(MainWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(RegistryValueExists(L"Software\\Tavrin\\Pellux", L"StringType"));
    StringType = 0;
}

// Runs on a timer inside the popup's modal loop: notes where the menu
// appeared and which menu it shows, then dismisses it.
struct PopupSeen {
    bool shown = false;
    RECT rect = {};
    HMENU menu = nullptr;
} Popup;

void CALLBACK DismissPopup(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (menuWindow && IsWindowVisible(menuWindow)) {
        Popup.shown = true;
        GetWindowRect(menuWindow, &Popup.rect);
        Popup.menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    }
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(MainWindowTest, OpenButtonArrowDropsDownTheRecentFoldersUnderTheButton)
{
    wcscpy(RecentFolders.slots[0], L"C:\\first");
    ASSERT_NE(Create(), nullptr);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    SetForegroundWindow(MainWindow);

    Popup = {};
    SetTimer(nullptr, 0, 200, DismissPopup);
    NMTOOLBARW notify = {};
    notify.hdr.hwndFrom = Toolbar;
    notify.hdr.code = TBN_DROPDOWN;
    notify.iItem = IDM_OPEN;
    EXPECT_EQ(SendMessageW(MainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify)), 0);

    ASSERT_TRUE(Popup.shown);
    EXPECT_EQ(Popup.menu, RecentMenu);
    RECT button = {};
    SendMessageW(Toolbar, TB_GETRECT, IDM_OPEN, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(Toolbar, nullptr, reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(Popup.rect.left, button.left);
    EXPECT_EQ(Popup.rect.top, button.bottom);

    // Another button's arrow shows nothing.
    Popup = {};
    notify.iItem = IDM_SEARCH;
    SetTimer(nullptr, 0, 200, DismissPopup);
    SendMessageW(MainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    MSG message;
    while (!Popup.shown && GetMessageW(&message, nullptr, 0, 0)) {
        DispatchMessageW(&message);
        if (message.message == WM_TIMER)
            break;
    }
    EXPECT_FALSE(Popup.shown);
}

}  // namespace
