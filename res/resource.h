// Resource and command identifiers shared by the resource script and the code.
#pragma once

#define IDI_PELLUX          1
#define IDR_MAINMENU        2
#define IDR_ACCELERATORS    2
#define IDB_TOOLBAR         3

#define IDD_ABOUT           2000
#define IDD_SEARCH          2001

#define IDC_VERSION         1000
#define IDC_COPYRIGHT       1001
#define IDC_LINK            1002
#define IDC_SEARCH_TEXT     1003
#define IDC_FILE_TYPES      1004

// Commands are numbered by menu: 3000s File, 3100s View, 3200s Format,
// 3300 Help, 4000s the recent folders, 5000 the tree's context menu.
#define IDM_OPEN            3000
#define IDM_SEARCH          3001
#define IDM_STOP            3002
#define IDM_EXIT            3003
#define IDM_EXPAND_ALL      3100
#define IDM_COLLAPSE_ALL    3101
#define IDM_SUBFOLDERS      3102
#define IDM_ANSI            3200
#define IDM_UNICODE         3201
#define IDM_HEX             3202
#define IDM_ABOUT           3300
#define IDM_RECENT          4000
#define IDM_RECENT_FIRST    4001
#define IDM_RECENT_LAST     4010
#define IDM_JUMP_TO         5000
