// The modeless Search dialog (placeholder until the search UI lands).
#include "ui/handlers.h"

void OnSearchCommand(HWND) {}
INT_PTR CALLBACK SearchDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
