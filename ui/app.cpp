// Placeholder start-up until the main window lands.
#include "ui/app.h"

int RunApplication(HINSTANCE)
{
    return 0;
}
