// Process start-up, the UI thread's message loop and the exit path.
#include "ui/app.h"
#include <commctrl.h>
#include <objbase.h>
#include "engine/search.h"
#include "res/resource.h"
#include "state/settings.h"
#include "ui/controls.h"
#include "ui/handlers.h"
#include "ui/result_feed.h"

static const wchar_t MAIN_CLASS_NAME[] = L"Pellux";

ATOM RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PELLUX));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PELLUX));
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    windowClass.lpszClassName = MAIN_CLASS_NAME;
    return RegisterClassExW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    // The stored rectangle holds width and height in right and bottom.
    const RECT& normal = MainWindowPlacement.rcNormalPosition;
    MainWindow = CreateWindowExW(WS_EX_ACCEPTFILES, MAIN_CLASS_NAME, L"Pellux",
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, normal.left, normal.top, normal.right,
                                 normal.bottom, nullptr, nullptr, instance, nullptr);
    return MainWindow;
}

BOOL PreTranslateAppMessage(HACCEL accelerators, MSG* message)
{
    // Shortcuts first and always aimed at the main window, so they act even
    // while the Search dialog has the focus.
    if (accelerators && TranslateAcceleratorW(MainWindow, accelerators, message))
        return TRUE;
    // The dialog's handle may name a window that is already gone.
    if (SearchDialog && IsWindow(SearchDialog) && IsDialogMessageW(SearchDialog, message))
        return TRUE;
    return FALSE;
}

void StopSearchAtExit()
{
    // A search stopped with Stop has already let go of its worker; only a
    // search still running is waited for. The worker never waits for this
    // thread, so it ends at its next check of the flag.
    LONG expected = 1;
    if (SearchRunning.compare_exchange_strong(expected, 0) && WorkerThread) {
        WaitForSingleObject(WorkerThread, INFINITE);
        CloseHandle(WorkerThread);
        WorkerThread = nullptr;
        // No window is left to take its last results or its end report.
        DiscardResults();
        SearchWorkerDone();
    }
}

static int RunMainWindow(HINSTANCE instance)
{
    if (!RegisterMainWindowClass(instance)) {
        MessageBoxW(nullptr, L"RegisterClassEx failed!", L"Pellux", MB_ICONERROR | MB_OK);
        return 0;
    }
    // The window's creation reads the stored formats, subfolder switch and
    // recent folders, and is placed where the user left it.
    LoadSettings();
    if (!CreateMainWindow(instance)) {
        MessageBoxW(nullptr, L"CreateWindowEx failed!", L"Pellux", MB_ICONERROR | MB_OK);
        return 0;
    }
    ShowWindow(MainWindow, MainWindowPlacement.showCmd);
    UpdateWindow(MainWindow);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    MSG message = {};
    int exitCode = 0;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (PreTranslateAppMessage(accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // A retrieval error (-1) ends the loop like WM_QUIT, with exit code 0.
    if (result == 0)
        exitCode = static_cast<int>(message.wParam);

    StopSearchAtExit();
    return exitCode;
}

int RunApplication(HINSTANCE instance)
{
    AppInstance = instance;
    // The UI thread is a single-threaded apartment for the shell's folder
    // dialog and the taskbar progress object.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int exitCode = RunMainWindow(instance);
    CoUninitialize();
    return exitCode;
}
