// Settings that survive between runs, kept under HKCU\Software\Tavrin\Pellux.
#pragma once
#include <windows.h>

// The stored placement: rcNormal.right and .bottom hold width and height.
extern WINDOWPLACEMENT MainWindowPlacement;
extern DWORD StringType;  // 0 Ansi, 1 Unicode, 2 Hex
extern DWORD SubFolders;  // 0 or 1

void LoadSettings();
// Writes the settings and lists, with window's placement (or, without a
// window, the placement last loaded).
void SaveSettings(HWND window);
