// Times Pellux's own search path under the conditions of the product: a
// hidden main window with the real toolbar, tree view, status bar and
// progress bar on this (UI) thread, which pumps messages while the worker
// runs. Prints key=value lines that bench/run.sh turns into a table.
//
//   pellux_bench files  DIR HEX   the walk's per-file steps timed one by one,
//                                  on a worker thread, with nothing else in
//                                  the loop: the platform's floor per file;
//                                  the scan alone gives the kernel's throughput
//   pellux_bench search DIR HEX   whole searches: StartSearch, SearchWorker,
//                                  ScanFolder, AddMatch into the tree
//   pellux_bench stop   DIR HEX   Stop pressed mid-file: time until the
//                                  worker has put the window back to idle
//
// DIR is a Windows path (Z:\tmp\... under Wine); HEX the pattern's bytes.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <strsafe.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

#include "engine/scan.h"
#include "engine/search.h"
#include "res/resource.h"
#include "state/settings.h"
#include "ui/controls.h"
#include "ui/app.h"
#include "ui/handlers.h"

namespace {

constexpr int kRounds = 5;  // best of, since the machine is shared

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ParseHex(const wchar_t* hex, SearchPatternBuffer& out)
{
    const size_t digits = std::wcslen(hex);
    if (digits == 0 || digits % 2 != 0 || digits / 2 > PATTERN_CAPACITY)
        return false;
    for (size_t i = 0; i < digits / 2; ++i) {
        unsigned value = 0;
        if (swscanf(hex + 2 * i, L"%2x", &value) != 1)
            return false;
        out.bytes[i] = static_cast<BYTE>(value);
    }
    out.length = static_cast<UINT32>(digits / 2);
    return true;
}

// --- The window -------------------------------------------------------------

// Timestamps of every 10,000th node insertion, to show whether insertion
// slows down as the tree grows.
constexpr int kInsertMarks = 64;
double InsertMarks[kInsertMarks];
int InsertMarkCount = 0;
long InsertCount = 0;
WNDPROC TreeProc = nullptr;

LRESULT CALLBACK CountingTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TVM_INSERTITEMW && ++InsertCount % 10000 == 0 && InsertMarkCount < kInsertMarks)
        InsertMarks[InsertMarkCount++] = Now();
    return CallWindowProcW(TreeProc, window, message, wParam, lParam);
}

// When the first file's path and the final empty text reach the status bar:
// the search's start-up and wind-down around the walk.
double FirstStatus = 0;
double IdleStatus = 0;
WNDPROC StatusProc = nullptr;

LRESULT CALLBACK TimingStatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == SB_SETTEXTW) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        if (text != nullptr && text[0] == L'\0')
            IdleStatus = Now();
        else if (FirstStatus == 0)
            FirstStatus = Now();
    }
    return CallWindowProcW(StatusProc, window, message, wParam, lParam);
}

// The product's own main window, created through the product's code, kept
// hidden; only the tree and the status bar are watched for timing. It is
// destroyed without WM_CLOSE, so no settings are written.
bool CreateBenchWindow()
{
    if (!RegisterMainWindowClass(AppInstance))
        return false;
    MainWindowPlacement.rcNormalPosition = {0, 0, 800, 600};  // right and bottom hold the size
    if (CreateMainWindow(AppInstance) == nullptr)
        return false;
    TreeProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(ResultTree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingTreeProc)));
    StatusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(StatusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimingStatusProc)));
    return ResultTree != nullptr && StatusBar != nullptr && Toolbar != nullptr;
}

// Runs this thread's message loop until the thread ends, or until deadline
// (in Now() seconds) passes; true when the thread has ended.
bool PumpUntil(HANDLE thread, double deadline = 0)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD wait = INFINITE;
        if (deadline > 0) {
            const double left = deadline - Now();
            if (left <= 0)
                return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
            wait = static_cast<DWORD>(left * 1000) + 1;
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, wait, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r == WAIT_FAILED)
            return false;
    }
}

void ClearTree()
{
    SendMessageW(ResultTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    InsertCount = 0;
    InsertMarkCount = 0;
}

bool SetFolder(const wchar_t* dir)
{
    return SUCCEEDED(StringCchPrintfW(SearchPath, SEARCH_PATH_UNITS, L"\\\\?\\%ls", dir));
}

// --- files: the walk's steps one by one ------------------------------------

struct StepTimes {
    double open, mapping, view, status, scan, close, roundTrip;
    unsigned long long files, bytes, matches;
};
StepTimes Steps;

bool CountMatch(void* context, uint64_t)
{
    ++*static_cast<unsigned long long*>(context);
    return true;
}

unsigned char SmallFile[64 * 1024];

void TimeFile(const wchar_t* path, UINT64 listedSize)
{
    double t0 = Now();
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    double t1 = Now();
    Steps.open += t1 - t0;
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (listedSize > 0 && listedSize <= sizeof(SmallFile)) {
        // The walk reads small files in one call instead of mapping them;
        // the read is counted as the view step.
        DWORD read = 0;
        const BOOL ok = ReadFile(file, SmallFile, static_cast<DWORD>(listedSize), &read, nullptr);
        double t3 = Now();
        Steps.view += t3 - t1;
        if (ok && read > 0) {
            double t4 = Now();
            Steps.status += t4 - t3;
            ScanBytes(SmallFile, read, SearchPattern.bytes, SearchPattern.length, CountMatch, &Steps.matches);
            Steps.scan += Now() - t4;
            ++Steps.files;
            Steps.bytes += read;
        }
        t1 = Now();
        CloseHandle(file);
        Steps.close += Now() - t1;
        return;
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    double t2 = Now();
    Steps.mapping += t2 - t1;
    if (mapping != nullptr) {
        void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        double t3 = Now();
        Steps.view += t3 - t2;
        if (view != nullptr) {
            double t4 = Now();
            Steps.status += t4 - t3;
            ScanBytes(static_cast<const unsigned char*>(view), listedSize, SearchPattern.bytes, SearchPattern.length,
                      CountMatch, &Steps.matches);
            double t5 = Now();
            Steps.scan += t5 - t4;
            ++Steps.files;
            Steps.bytes += listedSize;
            UnmapViewOfFile(view);
        }
        t2 = Now();
        CloseHandle(mapping);
    }
    CloseHandle(file);
    Steps.close += Now() - t2;
}

void TimeFolder(wchar_t* path, size_t length)
{
    if (FAILED(StringCchCopyW(path + length, SEARCH_PATH_UNITS - length, L"\\*")))
        return;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(path, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
            continue;
        if (FAILED(StringCchCopyW(path + length + 1, SEARCH_PATH_UNITS - length - 1, entry.cFileName)))
            continue;
        const size_t end = length + 1 + std::wcslen(entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            TimeFolder(path, end);
        else
            TimeFile(path, (static_cast<UINT64>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

wchar_t WalkPath[SEARCH_PATH_UNITS];

DWORD WINAPI FilesWorker(LPVOID)
{
    SearchRunning.exchange(1);
    // The floor under every synchronous message to the UI thread.
    const double start = Now();
    for (int i = 0; i < 1000; ++i)
        SendMessageW(MainWindow, WM_NULL, 0, 0);
    Steps.roundTrip = (Now() - start) / 1000;
    TimeFolder(WalkPath, std::wcslen(WalkPath));
    SearchRunning.exchange(0);
    return 0;
}

int RunFiles(const wchar_t* dir)
{
    StepTimes best = {};
    double bestTotal = 0;
    for (int round = 0; round < kRounds; ++round) {
        Steps = {};
        StringCchPrintfW(WalkPath, ARRAYSIZE(WalkPath), L"\\\\?\\%ls", dir);
        const double start = Now();
        HANDLE worker = CreateThread(nullptr, 0, FilesWorker, nullptr, 0, nullptr);
        if (worker == nullptr || !PumpUntil(worker))
            return 1;
        CloseHandle(worker);
        const double total = Now() - start - 1000 * Steps.roundTrip;
        if (round == 0 || total < bestTotal) {
            best = Steps;
            bestTotal = total;
        }
    }
    std::printf("mode=files files=%llu bytes=%llu matches=%llu total=%.6f open=%.6f mapping=%.6f view=%.6f "
                "status=%.6f scan=%.6f close=%.6f roundtrip=%.9f\n",
                best.files, best.bytes, best.matches, bestTotal, best.open, best.mapping, best.view, best.status,
                best.scan, best.close, best.roundTrip);
    return 0;
}

// --- search: the whole product path ----------------------------------------

// While a search runs, another thread asks the window for an answer every
// 10 ms and keeps the longest wait: what a user's click would feel.
std::atomic<bool> ProbeRunning{false};
double WorstReply = 0;
DWORD WINAPI ReplyProbe(LPVOID)
{
    while (ProbeRunning.load()) {
        const double t0 = Now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(MainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        const double waited = Now() - t0;
        WorstReply = waited > WorstReply ? waited : WorstReply;
        Sleep(10);
    }
    return 0;
}

int RunSearch(const wchar_t* dir)
{
    double best = 0, startUp = 0, windDown = 0, worstReply = 0;
    long nodes = 0;
    double marks[kInsertMarks];
    int markCount = 0;
    for (int round = 0; round < kRounds; ++round) {
        ClearTree();
        if (!SetFolder(dir))
            return 1;
        FirstStatus = IdleStatus = 0;
        WorstReply = 0;
        ProbeRunning = true;
        HANDLE probe = CreateThread(nullptr, 0, ReplyProbe, nullptr, 0, nullptr);
        const double start = Now();
        StartSearchFromWindow(MainWindow);
        // Until the window is idle again, with every node in the tree.
        if (WorkerThread == nullptr || !PumpUntil(WorkerThread))
            return 1;
        while (IsWorkerBusy())
            PumpUntil(WorkerThread, Now() + 0.001);
        const double end = Now();
        ProbeRunning = false;
        if (probe != nullptr) {
            WaitForSingleObject(probe, INFINITE);
            CloseHandle(probe);
        }
        worstReply = WorstReply > worstReply ? WorstReply : worstReply;
        const double seconds = end - start;
        if (round == 0 || seconds < best) {
            best = seconds;
            startUp = FirstStatus - start;
            windDown = end - IdleStatus;
            markCount = InsertMarkCount;
            for (int i = 0; i < markCount; ++i)
                marks[i] = InsertMarks[i] - start;
        }
        nodes = static_cast<long>(SendMessageW(ResultTree, TVM_GETCOUNT, 0, 0));
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    std::printf("mode=search seconds=%.6f nodes=%ld startup=%.6f winddown=%.6f worstreply=%.6f peakws=%llu", best,
                nodes, startUp, windDown, worstReply, static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    // Time taken by each successive block of 10,000 insertions.
    if (markCount > 1) {
        std::printf(" per10k=");
        for (int i = 1; i < markCount; ++i)
            std::printf("%s%.4f", i > 1 ? "," : "", marks[i] - marks[i - 1]);
    }
    std::printf("\n");
    return 0;
}

// --- stop: Stop pressed in the middle of a file ----------------------------

int RunStop(const wchar_t* dir)
{
    const double delays[] = {0.005, 0.010, 0.020, 0.040, 0.080, 0.120};
    double worst = 0, sum = 0;
    int count = 0;
    for (double delay : delays) {
        ClearTree();
        if (!SetFolder(dir))
            return 1;
        StartSearchFromWindow(MainWindow);
        if (WorkerThread == nullptr)
            return 1;
        HANDLE worker = nullptr;
        DuplicateHandle(GetCurrentProcess(), WorkerThread, GetCurrentProcess(), &worker, SYNCHRONIZE, FALSE, 0);
        if (PumpUntil(worker, Now() + delay)) {
            CloseHandle(worker);
            continue;  // finished before the press: not a mid-file stop
        }
        const double pressed = Now();
        OnStopCommand();  // what the Stop button does
        PumpUntil(worker);
        const double latency = Now() - pressed;
        CloseHandle(worker);
        worst = latency > worst ? latency : worst;
        sum += latency;
        ++count;
    }
    std::printf("mode=stop stops=%d worst=%.6f mean=%.6f\n", count, worst, count ? sum / count : 0.0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 || !ParseHex(argv[3], SearchPattern)) {
        std::fprintf(stderr, "usage: pellux_bench files|search|stop DIR HEX\n");
        return 2;
    }
    AppInstance = GetModuleHandleW(nullptr);
    SubFolders = 1;
    ActiveFileTypes = nullptr;
    TaskbarProgress = nullptr;
    if (!CreateBenchWindow()) {
        std::fprintf(stderr, "could not create the window\n");
        return 1;
    }
    int rc = 2;
    if (std::wcscmp(argv[1], L"files") == 0)
        rc = RunFiles(argv[2]);
    else if (std::wcscmp(argv[1], L"search") == 0)
        rc = RunSearch(argv[2]);
    else if (std::wcscmp(argv[1], L"stop") == 0)
        rc = RunStop(argv[2]);
    std::fflush(stdout);
    DestroyWindow(MainWindow);
    return rc;
}
