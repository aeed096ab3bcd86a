// The results on their way from the worker to the window: the worker fills
// batches and publishes the file it scans; the UI thread takes them when it
// is told a batch is ready and on its timer. Neither side ever waits for the
// other beyond a short lock.
#pragma once
#include <windows.h>
#include "engine/search.h"

// Posted to the window by the worker; wParam and lParam are unused.
constexpr UINT WM_SEARCH_STARTED = WM_APP + 1;
constexpr UINT WM_SEARCH_RESULTS = WM_APP + 2;  // at most one outstanding
constexpr UINT WM_SEARCH_ENDED = WM_APP + 3;

// Offset nodes kept in the tree per search; matches beyond are counted.
constexpr UINT64 MAX_OFFSET_NODES = 2000000;

constexpr UINT32 BATCH_OFFSETS = 16384;
constexpr UINT32 BATCH_FILES = 1024;
constexpr UINT32 BATCH_PATH_UNITS = 2 * SEARCH_PATH_UNITS;  // always room for one whole path

struct BatchFile {
    UINT64 serial;       // the file's number in this search; kept when it goes on in the next batch
    UINT32 pathStart;    // in ResultBatch::paths, terminated
    UINT32 firstOffset;  // in ResultBatch::offsets
    UINT32 offsetCount;
};

struct ResultBatch {
    ResultBatch* next;
    UINT32 fileCount;
    UINT32 offsetCount;
    UINT32 pathUnits;
    BatchFile files[BATCH_FILES];
    UINT64 offsets[BATCH_OFFSETS];
    wchar_t paths[BATCH_PATH_UNITS];
};

// The report the worker is started with; its messages go to window.
SearchReport& WindowReport(HWND window);

// UI thread. The oldest batch not yet taken, or nullptr; free it with
// FreeResultBatch. When none is left, the next full batch is announced
// with WM_SEARCH_RESULTS again.
ResultBatch* TakeResultBatch();
void FreeResultBatch(ResultBatch* batch);
// Frees every batch not taken, for an exit with no window left to show them.
void DiscardResults();

// What the status bar should show: the file being scanned, or the last one
// while it was entered less than staleMs ago; otherwise nothing.
struct ScanStatus {
    UINT64 serial;  // changes with every file entered
    bool show;
};
// Copies the path into text (units long, always terminated) when serial
// differs from the one last shown.
ScanStatus ReadScanStatus(UINT64 shownSerial, DWORD staleMs, wchar_t* text, size_t units);

// Matches of the last search: all found, and those left out of the tree.
struct MatchCounts {
    UINT64 found;
    UINT64 notShown;
};
MatchCounts LastMatchCounts();
