// The results tree: Expand All, Collapse All, the right-click menu of a file
// node, Jump To and rejected label edits, on the real window.
#include "main_window_fixture.h"
#include <commctrl.h>
#include <cstring>
#include <vector>
#include "res/resource.h"
#include "support/fixtures.h"
#include "ui/handlers.h"

namespace {

struct ShellCall {
    HWND owner;
    std::wstring verb, file, parameters;
    bool directoryGiven;
    INT show;
};
std::vector<ShellCall> ShellCalls;

HINSTANCE WINAPI CaptureShellOpen(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                  INT show)
{
    ShellCalls.push_back({owner, verb ? verb : L"", file ? file : L"", parameters ? parameters : L"",
                          directory != nullptr, show});
    return reinterpret_cast<HINSTANCE>(42);
}

// Runs inside a popup's modal loop: notes which menu is up, then closes it.
struct PopupSeen {
    bool shown = false;
    std::wstring firstItem;
    UINT firstId = 0;
    int count = 0;
} Popup;

void CALLBACK DismissPopup(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (menuWindow && IsWindowVisible(menuWindow)) {
        const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        Popup.shown = true;
        Popup.count = GetMenuItemCount(menu);
        wchar_t text[128] = {};
        GetMenuStringW(menu, 0, text, ARRAYSIZE(text), MF_BYPOSITION);
        Popup.firstItem = text;
        Popup.firstId = GetMenuItemID(menu, 0);
    }
    KillTimer(nullptr, timer);
    EndMenu();
}

class ResultsTreeTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NE(Create(), nullptr);
        ShowWindow(MainWindow, SW_SHOWNORMAL);
        ShellCalls.clear();
        ShellOpen = CaptureShellOpen;
    }
    void TearDown() override
    {
        ShellOpen = ShellExecuteW;
        MainWindowTest::TearDown();
    }

    static HTREEITEM Insert(HTREEITEM parent, const std::wstring& text, int children)
    {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
        insert.item.pszText = const_cast<wchar_t*>(text.c_str());
        insert.item.cChildren = children;
        return reinterpret_cast<HTREEITEM>(
            SendMessageW(ResultTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    // Adds a file node with its offsets as a search shows them.
    static HTREEITEM AddFile(const std::wstring& path, int offsets)
    {
        const HTREEITEM node = Insert(TVI_ROOT, path, 1);
        for (int i = 0; i < offsets; ++i)
            Insert(node, OffsetText(16u * i), 0);
        return node;
    }
    static HTREEITEM Next(UINT relation, HTREEITEM item = nullptr)
    {
        return reinterpret_cast<HTREEITEM>(
            SendMessageW(ResultTree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
    static void Select(HTREEITEM item)
    {
        SendMessageW(ResultTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }
    static bool Expanded(HTREEITEM item)
    {
        return (SendMessageW(ResultTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
                TVIS_EXPANDED) != 0;
    }
    static void RightClickAt(POINT client)
    {
        POINT screen = client;
        ClientToScreen(ResultTree, &screen);
        SetCursorPos(screen.x, screen.y);
        Popup = {};
        const UINT_PTR timer = SetTimer(nullptr, 0, 300, DismissPopup);
        NMHDR notify = {ResultTree, 0, static_cast<UINT>(NM_RCLICK)};
        SendMessageW(MainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        // When no menu came up the timer is still pending: it must not fire
        // into a later test's menu.
        KillTimer(nullptr, timer);
    }
    static POINT CenterOf(HTREEITEM item)
    {
        RECT rect = {};
        std::memcpy(&rect, &item, sizeof(item));  // the item goes in, its rectangle comes out
        SendMessageW(ResultTree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
};

}  // namespace

TEST_F(ResultsTreeTest, ExpandAndCollapseAllMoveTheSelectionToTheTop)
{
    ExpandOrCollapseAll(TVE_EXPAND);  // an empty tree: nothing to do, no failure
    EXPECT_EQ(Next(TVGN_ROOT), nullptr);

    // A short window, so the tree has to scroll.
    SetWindowPos(MainWindow, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
    std::vector<HTREEITEM> files;
    for (int i = 0; i < 30; ++i)
        files.push_back(AddFile(L"C:\\data\\file" + std::to_wstring(i) + L".bin", 3));
    Select(files[12]);

    Command(IDM_EXPAND_ALL);
    for (HTREEITEM file : files)
        EXPECT_TRUE(Expanded(file));
    EXPECT_EQ(Next(TVGN_FIRSTVISIBLE), files[12]);

    Select(files[20]);
    Command(IDM_COLLAPSE_ALL);
    for (HTREEITEM file : files)
        EXPECT_FALSE(Expanded(file));
    EXPECT_EQ(Next(TVGN_FIRSTVISIBLE), files[20]);
}

TEST_F(ResultsTreeTest, RightClickOffersJumpToOnFileNodesOnly)
{
    const HTREEITEM file = AddFile(L"C:\\data\\one.bin", 2);
    const HTREEITEM second = AddFile(L"C:\\data\\two.bin", 1);
    SendMessageW(ResultTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(file));
    const HTREEITEM offset = Next(TVGN_CHILD, file);
    Select(second);

    RightClickAt(CenterOf(file));
    EXPECT_EQ(Next(TVGN_CARET), file);
    ASSERT_TRUE(Popup.shown);
    EXPECT_EQ(Popup.count, 1);
    EXPECT_EQ(Popup.firstItem, L"Jump To...\tCtrl+J");
    EXPECT_EQ(Popup.firstId, static_cast<UINT>(IDM_JUMP_TO));

    RightClickAt(CenterOf(offset));
    EXPECT_EQ(Next(TVGN_CARET), offset);
    EXPECT_FALSE(Popup.shown);

    // Below the last node: nothing changes.
    RECT client = {};
    GetClientRect(ResultTree, &client);
    RightClickAt({client.right / 2, client.bottom - 3});
    EXPECT_EQ(Next(TVGN_CARET), offset);
    EXPECT_FALSE(Popup.shown);
}

TEST_F(ResultsTreeTest, JumpToPassesTheWholeFilePath)
{
    Command(IDM_JUMP_TO);  // nothing selected: nothing started
    EXPECT_TRUE(ShellCalls.empty());

    const std::wstring plain = L"C:\\my data, old\\a file.bin";
    const std::wstring longPath = L"C:\\" + std::wstring(200, L'p') + L"\\" + std::wstring(200, L'q') + L".bin";
    const HTREEITEM plainNode = AddFile(plain, 1);
    const HTREEITEM longNode = AddFile(longPath, 2);

    Select(plainNode);
    Command(IDM_JUMP_TO);
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].owner, nullptr);
    EXPECT_EQ(ShellCalls[0].verb, L"open");
    EXPECT_EQ(ShellCalls[0].file, L"explorer");
    EXPECT_EQ(ShellCalls[0].parameters, L"/select, " + plain);
    EXPECT_FALSE(ShellCalls[0].directoryGiven);
    EXPECT_EQ(ShellCalls[0].show, SW_SHOWNORMAL);

    // Long paths go whole; an offset node stands for its file.
    Select(longNode);
    Command(IDM_JUMP_TO);
    SendMessageW(ResultTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(longNode));
    Select(Next(TVGN_CHILD, longNode));
    Command(IDM_JUMP_TO);
    ASSERT_EQ(ShellCalls.size(), 3u);
    EXPECT_EQ(ShellCalls[1].parameters, L"/select, " + longPath);
    EXPECT_EQ(ShellCalls[2].parameters, L"/select, " + longPath);
}

TEST_F(ResultsTreeTest, EditedLabelsKeepTheirText)
{
    const HTREEITEM file = AddFile(L"C:\\data\\keep.bin", 1);
    SetFocus(ResultTree);
    const HWND edit = reinterpret_cast<HWND>(SendMessageW(ResultTree, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(file)));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"C:\\renamed.bin");
    SendMessageW(ResultTree, TVM_ENDEDITLABELNOW, FALSE, 0);
    EXPECT_EQ(ReadResultTree(ResultTree)[0].path, L"C:\\data\\keep.bin");
}
