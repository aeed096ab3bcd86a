// Start-up, message loop and exit path of the UI thread.
#pragma once
#include <windows.h>

int RunApplication(HINSTANCE instance);
