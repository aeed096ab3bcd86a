// The main window and its controls, created once by the main window's
// WM_CREATE and used process-wide (the worker reaches them only through
// synchronous messages).
#pragma once
#include <windows.h>
#include <shobjidl.h>

extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern HWND Toolbar;
extern HWND ResultTree;
extern HWND StatusBar;
extern HWND ProgressBar;
extern HWND SearchDialog;     // the modeless Search dialog, or nullptr
extern HMENU RecentMenu;      // the recent-folders popup
extern ITaskbarList3* TaskbarProgress;
