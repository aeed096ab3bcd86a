// Owns the process-wide window handles declared in controls.h.
#include "ui/controls.h"

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
HWND Toolbar = nullptr;
HWND ResultTree = nullptr;
HWND StatusBar = nullptr;
HWND ProgressBar = nullptr;
HWND SearchDialog = nullptr;
HMENU RecentMenu = nullptr;
ITaskbarList3* TaskbarProgress = nullptr;
