// Creates the real main window in-process, in a sandboxed HKCU, through the
// same registration and creation code as the product, and puts every global
// it touches back afterwards.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <string>
#include "engine/search.h"
#include "state/recent.h"
#include "state/settings.h"
#include "support/registry_sandbox.h"
#include "ui/app.h"
#include "ui/controls.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        AppInstance = GetModuleHandleW(nullptr);
        // One registration per process; later tests find it in place.
        if (!RegisterMainWindowClass(AppInstance)) {
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
        }
        LoadSettings();  // defaults: the sandbox is empty
    }

    // Creates the window from the current in-memory settings.
    HWND Create()
    {
        HWND window = CreateMainWindow(AppInstance);
        EXPECT_NE(window, nullptr);
        return window;
    }

    void TearDown() override
    {
        if (MainWindow && IsWindow(MainWindow))
            DestroyWindow(MainWindow);  // takes the menu bar and its popup with it
        DrainQuit();
        MainWindow = Toolbar = ResultTree = StatusBar = ProgressBar = SearchDialog = nullptr;
        RecentMenu = nullptr;
        if (TaskbarProgress) {
            TaskbarProgress->Release();
            TaskbarProgress = nullptr;
        }
        if (WorkerThread) {
            CloseHandle(WorkerThread);
            WorkerThread = nullptr;
        }
        SearchRunning.store(0);
        SearchPath[LONG_PATH_PREFIX_UNITS] = L'\0';
        RecentFolders = {};
        RecentSearches = {};
        RecentExtensions = {};
        StringType = 0;
        SubFolders = 1;
        CoUninitialize();
    }

    // Removes the quit message that WM_DESTROY posts; returns its exit code
    // or -1 when none was posted.
    static int DrainQuit()
    {
        MSG message;
        int code = -1;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                code = static_cast<int>(message.wParam);
        }
        return code;
    }

    static void Command(WORD id) { SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    static bool MenuChecked(UINT id)
    {
        return (GetMenuState(GetMenu(MainWindow), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    static bool MenuGrayed(UINT id)
    {
        return (GetMenuState(GetMenu(MainWindow), id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    static LRESULT ButtonState(UINT id) { return SendMessageW(Toolbar, TB_GETSTATE, id, 0); }
    static bool ButtonChecked(UINT id) { return (ButtonState(id) & TBSTATE_CHECKED) != 0; }

    static std::wstring WindowText(HWND window)
    {
        wchar_t text[1024] = {};
        GetWindowTextW(window, text, ARRAYSIZE(text));
        return text;
    }

    RegistrySandbox sandbox_;
};
