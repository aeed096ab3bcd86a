// Settings that survive between runs, kept under HKCU\Software\Tavrin\Pellux.
#pragma once
#include <windows.h>

// The stored placement: rcNormal.right and .bottom hold width and height.
extern WINDOWPLACEMENT MainWindowPlacement;
extern DWORD StringType;  // 0 Ansi, 1 Unicode, 2 Hex
extern DWORD SubFolders;  // 0 or 1

void LoadSettings();
void SaveSettings();  // reads MainWindow's placement
