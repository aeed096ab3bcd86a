// The process frame run in-process: start-up, the message loop until the
// window closes, the exit path's one wait, and the two start-up failures.
#include "main_window_fixture.h"
#include <atomic>
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

const wchar_t SETTINGS_KEY[] = L"Software\\Tavrin\\Pellux";

// A worker that, like the real one, finishes a little after it has seen the
// cleared flag.
std::atomic<bool> WorkerFinished{false};
DWORD WINAPI SlowToStopWorker(LPVOID)
{
    while (SearchRunning.load() != 0)
        Sleep(5);
    Sleep(300);
    WorkerFinished.store(true);
    return 0;
}

DWORD WINAPI BlockedWorker(LPVOID event)
{
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

TEST_F(MainWindowTest, ExitPathWaitsForARunningSearchToFinish)
{
    WorkerFinished.store(false);
    SearchRunning.store(1);
    WorkerThread = CreateThread(nullptr, 0, SlowToStopWorker, nullptr, 0, nullptr);
    ASSERT_NE(WorkerThread, nullptr);
    StopSearchAtExit();
    EXPECT_TRUE(WorkerFinished.load());
    EXPECT_EQ(SearchRunning.load(), 0);
    EXPECT_EQ(WorkerThread, nullptr);
}

DWORD WINAPI CallStopSearchAtExit(LPVOID)
{
    StopSearchAtExit();
    return 0;
}

TEST_F(MainWindowTest, ExitPathDoesNotWaitWhenTheFlagIsAlreadyClear)
{
    // After Stop the flag is clear while the worker may still be busy.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE busy = CreateThread(nullptr, 0, BlockedWorker, release, 0, nullptr);
    for (HANDLE held : {static_cast<HANDLE>(nullptr), busy}) {
        SCOPED_TRACE(held ? "handle still held" : "handle released by Stop");
        WorkerThread = held;
        HANDLE caller = CreateThread(nullptr, 0, CallStopSearchAtExit, nullptr, 0, nullptr);
        EXPECT_EQ(WaitForSingleObject(caller, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
        CloseHandle(caller);
    }
    WorkerThread = nullptr;
    SetEvent(release);
    WaitForSingleObject(busy, INFINITE);
    CloseHandle(busy);
    CloseHandle(release);
}

void PutOptionsValue()
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(key, L"Options", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
}

// Waits on its own thread for the visible main window, starts a stand-in
// search, then closes the window as the caption's close button would.
DWORD WINAPI CloseWhileSearching(LPVOID)
{
    for (int k = 0; k < 200; ++k) {
        HWND window = FindWindowW(L"Pellux", nullptr);
        if (window && IsWindowVisible(window)) {
            SearchRunning.store(1);
            WorkerThread = CreateThread(nullptr, 0, SlowToStopWorker, nullptr, 0, nullptr);
            PostMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        }
        Sleep(50);
    }
    return 1;
}

TEST_F(MainWindowTest, RunsUntilClosedThenSavesWaitsForTheSearchAndReturnsZero)
{
    UnregisterClassW(L"Pellux", AppInstance);  // the product registers it itself
    PutOptionsValue();
    WorkerFinished.store(false);
    HANDLE closer = CreateThread(nullptr, 0, CloseWhileSearching, nullptr, 0, nullptr);

    EXPECT_EQ(RunApplication(AppInstance), 0);

    DWORD closerResult = 1;
    WaitForSingleObject(closer, INFINITE);
    GetExitCodeThread(closer, &closerResult);
    CloseHandle(closer);
    ASSERT_EQ(closerResult, 0u) << "the main window never showed";
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_TRUE(WorkerFinished.load());  // the exit path waited for it
    EXPECT_EQ(WorkerThread, nullptr);
    EXPECT_TRUE(RegistryValueExists(SETTINGS_KEY, L"MainWindow"));
    EXPECT_FALSE(RegistryValueExists(SETTINGS_KEY, L"Options"));  // settings were loaded
}

// What a helper thread saw of the start-up failure box before answering it.
struct FailureBox {
    bool seen = false;
    std::wstring caption, text;
    HWND owner = nullptr;
} Box;

DWORD WINAPI AnswerFailureBox(LPVOID)
{
    for (int k = 0; k < 200; ++k) {
        HWND box = FindWindowW(L"#32770", L"Pellux");
        if (box && IsWindowVisible(box)) {
            wchar_t text[260] = {};
            GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
            Box.text = text;
            GetWindowTextW(box, text, ARRAYSIZE(text));
            Box.caption = text;
            Box.owner = GetWindow(box, GW_OWNER);
            Box.seen = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(50);
    }
    return 1;
}

void RunExpectingFailureBox(const wchar_t* text)
{
    Box = {};
    HANDLE answerer = CreateThread(nullptr, 0, AnswerFailureBox, nullptr, 0, nullptr);
    EXPECT_EQ(RunApplication(AppInstance), 0);
    WaitForSingleObject(answerer, INFINITE);
    CloseHandle(answerer);
    ASSERT_TRUE(Box.seen);
    EXPECT_EQ(Box.text, text);
    EXPECT_EQ(Box.caption, L"Pellux");
    EXPECT_EQ(Box.owner, nullptr);
}

TEST_F(MainWindowTest, FailedClassRegistrationIsReportedAndNothingElseRuns)
{
    // The class is already registered (by the fixture), so registering fails.
    PutOptionsValue();
    RunExpectingFailureBox(L"RegisterClassEx failed!");
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_TRUE(RegistryValueExists(SETTINGS_KEY, L"Options"));  // settings never loaded
}

LRESULT CALLBACK RefusePelluxWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        wchar_t name[16] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, ARRAYSIZE(name));
        if (lstrcmpW(name, L"Pellux") == 0)
            return 1;  // the creation fails
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, FailedWindowCreationIsReportedAndNothingIsSaved)
{
    UnregisterClassW(L"Pellux", AppInstance);
    PutOptionsValue();
    HHOOK hook = SetWindowsHookExW(WH_CBT, RefusePelluxWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    RunExpectingFailureBox(L"CreateWindowEx failed!");
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_FALSE(RegistryValueExists(SETTINGS_KEY, L"Options"));  // loaded...
    EXPECT_FALSE(RegistryValueExists(SETTINGS_KEY, L"MainWindow"));  // ...but not saved
}

}  // namespace
