// The recent-folders popup as File > Recent Folders and the Open button's
// drop-down show it after each rebuild.
#include "main_window_fixture.h"
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

struct Item {
    UINT id;
    std::wstring text;
};

std::vector<Item> PopupItems()
{
    std::vector<Item> items;
    const int count = GetMenuItemCount(RecentMenu);
    for (int k = 0; k < count; ++k) {
        wchar_t text[1024] = {};
        GetMenuStringW(RecentMenu, k, text, ARRAYSIZE(text), MF_BYPOSITION);
        items.push_back({GetMenuItemID(RecentMenu, k), text});
    }
    return items;
}

// The File menu's item carries the popup and is grayed exactly when empty:
// the gray bit alone, never the disabled bit with it, and neither otherwise.
void ExpectRecentItem(bool grayed)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_SUBMENU;
    ASSERT_TRUE(GetMenuItemInfoW(GetMenu(MainWindow), IDM_RECENT, FALSE, &info));
    EXPECT_EQ(info.hSubMenu, RecentMenu);
    EXPECT_EQ(info.fState & (MF_GRAYED | MF_DISABLED), grayed ? static_cast<UINT>(MF_GRAYED) : 0u);
}

TEST_F(MainWindowTest, RecentMenuIsEmptyAndGrayedWithoutRecentFolders)
{
    ASSERT_NE(Create(), nullptr);
    ASSERT_NE(RecentMenu, nullptr);
    EXPECT_TRUE(PopupItems().empty());
    ExpectRecentItem(true);
}

TEST_F(MainWindowTest, RecentMenuFollowsTheListThroughFillRemoveAndEmpty)
{
    for (int k = 0; k < RECENT_SLOTS; ++k)
        wsprintfW(RecentFolders.slots[k], L"C:\\folder %d", k);
    wcscpy(RecentFolders.slots[4], L"C:\\Tom & Jerry");  // shown as a mnemonic, text unchanged
    ASSERT_NE(Create(), nullptr);

    std::vector<Item> items = PopupItems();
    ASSERT_EQ(items.size(), 10u);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(items[k].id, static_cast<UINT>(IDM_RECENT_FIRST + k));
        EXPECT_EQ(items[k].text, RecentFolders.slots[k]);
    }
    ExpectRecentItem(false);

    // A removed entry goes; the ones after it move up one identifier.
    RecentRemove(RecentFolders, L"C:\\folder 2");
    RebuildRecentMenu(MainWindow);
    items = PopupItems();
    ASSERT_EQ(items.size(), 9u);
    const wchar_t* expected[] = {L"C:\\folder 0", L"C:\\folder 1", L"C:\\folder 3", L"C:\\Tom & Jerry",
                                 L"C:\\folder 5", L"C:\\folder 6", L"C:\\folder 7", L"C:\\folder 8",
                                 L"C:\\folder 9"};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(items[k].id, static_cast<UINT>(IDM_RECENT_FIRST + k));
        EXPECT_EQ(items[k].text, expected[k]);
    }
    ExpectRecentItem(false);

    RecentFolders = {};
    RebuildRecentMenu(MainWindow);
    EXPECT_TRUE(PopupItems().empty());
    ExpectRecentItem(true);

    // The first folder chosen enables the item again.
    RecentPush(RecentFolders, L"D:\\new");
    RebuildRecentMenu(MainWindow);
    items = PopupItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, static_cast<UINT>(IDM_RECENT_FIRST));
    ExpectRecentItem(false);
}

}  // namespace
