// Entry points of the main window's commands and notifications, one group
// per file: main_window.cpp dispatches to them.
#pragma once
#include <windows.h>
#include <shellapi.h>

// ui/main_window.cpp
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateToolbar(HWND parent);
void LayoutStatusParts(HWND statusBar);
void UpdateTitle(const wchar_t* folder);

// ui/commands.cpp
void OnStopCommand();
void OnExitCommand(HWND mainWindow);
void OnSubFoldersCommand(HWND mainWindow);
void OnFormatCommand(HWND mainWindow, WORD command);  // IDM_ANSI, IDM_UNICODE or IDM_HEX
void OnAboutCommand(HWND mainWindow);

// ui/search_view.cpp: the worker's posted reports, handled on this thread.
void OnSearchStarted(HWND mainWindow);
void OnSearchResults(HWND mainWindow);
void OnSearchTimer(HWND mainWindow, UINT_PTR timer);
void OnSearchEnded(HWND mainWindow);
// Starts the worker with the report that feeds this window.
void StartSearchFromWindow(HWND mainWindow);

// ui/recent_menu.cpp
void RebuildRecentMenu(HWND mainWindow);

// ui/about.cpp
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// "Pellux " followed by the version text (units long), cut to fit line.
void ComposeVersionLine(wchar_t* line, size_t lineUnits, const wchar_t* version, UINT units);

// ui/search_dialog.cpp
void OnSearchCommand(HWND mainWindow);
INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ui/folder_select.cpp
void OnOpenCommand(HWND mainWindow);
void OnRecentFolderCommand(HWND mainWindow, int index);  // index 0-9
void OnDropFiles(HWND mainWindow, HDROP drop);
void FolderChosen(HWND mainWindow);

// ui/results_tree.cpp
void ExpandOrCollapseAll(UINT action);  // TVE_EXPAND or TVE_COLLAPSE
void OnTreeRightClick(HWND mainWindow);
void OnJumpToCommand();

// How Jump To starts the file browser; tests replace it to see the call
// without starting one.
using ShellOpenFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern ShellOpenFunction ShellOpen;
