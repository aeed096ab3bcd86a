// Process entry point; the application itself lives in the core library.
#include <windows.h>
#include "ui/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return RunApplication(instance);
}
