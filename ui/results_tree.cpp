// Results tree commands (placeholder until the search UI lands).
#include "ui/handlers.h"

void ExpandOrCollapseAll(UINT) {}
void OnTreeRightClick(HWND) {}
void OnJumpToCommand() {}
