// Folder selection (placeholder until the search UI lands).
#include "ui/handlers.h"

void OnOpenCommand(HWND) {}
void OnRecentFolderCommand(HWND, int) {}
void OnDropFiles(HWND, HDROP drop) { DragFinish(drop); }
void FolderChosen(HWND) {}
