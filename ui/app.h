// Start-up, message loop and exit path of the UI thread.
#pragma once
#include <windows.h>

// The whole life of the process: start-up, message loop, exit path.
// Returns the process exit code (0 on every path).
int RunApplication(HINSTANCE instance);

// Registers the "Pellux" window class; returns 0 on failure.
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates the main window at the stored placement (LoadSettings must have
// run) and stores it in MainWindow; returns nullptr on failure.
HWND CreateMainWindow(HINSTANCE instance);
// Gives a message to the shortcuts, then to the open Search dialog. TRUE
// when one of them consumed it and it must not be dispatched.
BOOL PreTranslateAppMessage(HACCEL accelerators, MSG* message);
// After the loop: stops a search that still runs and waits for its worker.
void StopSearchAtExit();
