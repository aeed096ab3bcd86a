// The results tree's commands: expand or collapse every file node, the
// right-click menu of a file node, and Jump To.
#include "ui/handlers.h"
#include "ui/controls.h"
#include "engine/search.h"
#include "res/resource.h"
#include <commctrl.h>
#include <strsafe.h>

ShellOpenFunction ShellOpen = ShellExecuteW;

namespace {

constexpr wchar_t SELECT_PARAMETER[] = L"/select, ";

// A file node's text is a whole path, which can be far longer than the
// classic 260 units; both buffers take the longest path the walk can show.
wchar_t NodeText[SEARCH_PATH_UNITS];
wchar_t BrowserParameters[ARRAYSIZE(SELECT_PARAMETER) + SEARCH_PATH_UNITS];

HTREEITEM TreeItem(UINT relation, HTREEITEM item = nullptr)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(ResultTree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

void ExpandOrCollapseAll(UINT action)
{
    HTREEITEM item = TreeItem(TVGN_ROOT);
    SendMessageW(ResultTree, WM_SETREDRAW, FALSE, 0);
    for (; item != nullptr; item = TreeItem(TVGN_NEXT, item))
        SendMessageW(ResultTree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(item));
    SendMessageW(ResultTree, WM_SETREDRAW, TRUE, 0);
    const HTREEITEM selected = TreeItem(TVGN_CARET);
    SendMessageW(ResultTree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(selected));
    if (selected != nullptr && TreeItem(TVGN_FIRSTVISIBLE) != selected) {
        // Some tree views (Wine's) ignore this request for the selected node
        // itself; reach the same row through the node above it.
        const HTREEITEM above = TreeItem(TVGN_PREVIOUSVISIBLE, selected);
        if (above != nullptr) {
            SendMessageW(ResultTree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(above));
            SendMessageW(ResultTree, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
        }
    }
}

void OnTreeRightClick(HWND mainWindow)
{
    POINT screen = {};
    GetCursorPos(&screen);
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(ResultTree, &hit.pt);
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(ResultTree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item == nullptr)
        return;
    TVITEMW node = {};
    node.mask = TVIF_HANDLE | TVIF_CHILDREN;
    node.hItem = item;
    if (!SendMessageW(ResultTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&node)))
        return;
    SendMessageW(ResultTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    if (node.cChildren == 0)
        return;
    const HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    AppendMenuW(menu, MF_STRING, IDM_JUMP_TO, L"Jump To...\tCtrl+J");
    TrackPopupMenuEx(menu, 0, screen.x, screen.y, mainWindow, nullptr);
    DestroyMenu(menu);
}

void OnJumpToCommand()
{
    HTREEITEM item = TreeItem(TVGN_CARET);
    if (item == nullptr)
        return;
    // An offset node stands for its file: show the file it belongs to.
    const HTREEITEM parent = TreeItem(TVGN_PARENT, item);
    if (parent != nullptr)
        item = parent;

    NodeText[0] = L'\0';
    TVITEMW node = {};
    node.mask = TVIF_TEXT | TVIF_HANDLE;
    node.hItem = item;
    node.pszText = NodeText;
    node.cchTextMax = ARRAYSIZE(NodeText);
    if (!SendMessageW(ResultTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&node)))
        return;
    StringCchCopyW(BrowserParameters, ARRAYSIZE(BrowserParameters), SELECT_PARAMETER);
    StringCchCatW(BrowserParameters, ARRAYSIZE(BrowserParameters), NodeText);
    ShellOpen(nullptr, L"open", L"explorer", BrowserParameters, nullptr, SW_SHOWNORMAL);
}
