// The recent-folders popup: submenu of File > Recent Folders and the Open
// button's drop-down, refilled from RecentFolders.
#include <windows.h>
#include "res/resource.h"
#include "state/recent.h"
#include "ui/controls.h"
#include "ui/handlers.h"

void RebuildRecentMenu(HWND mainWindow)
{
    if (!RecentMenu)
        return;
    // The items always carry 4001, 4002, ... in order.
    const int count = GetMenuItemCount(RecentMenu);
    for (int k = 0; k < count; ++k)
        DeleteMenu(RecentMenu, IDM_RECENT_FIRST + k, MF_BYCOMMAND);

    int added = 0;
    for (; added < RECENT_SLOTS && RecentFolders.slots[added][0]; ++added)
        AppendMenuW(RecentMenu, MF_STRING, IDM_RECENT_FIRST + added, RecentFolders.slots[added]);

    // Found by command, not position; grayed exactly when the list is empty.
    // MF_GRAYED alone: MFS_GRAYED would add the disabled bit as well.
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE | MIIM_SUBMENU;
    item.fState = added ? MFS_ENABLED : MF_GRAYED;
    item.hSubMenu = RecentMenu;
    SetMenuItemInfoW(GetMenu(mainWindow), IDM_RECENT, FALSE, &item);
}
