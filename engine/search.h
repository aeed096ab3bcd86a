// Search engine: the inputs a search reads and the entry points that run it.
// The UI thread writes the inputs only while no search runs; the worker
// thread reads them while it walks.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>

// windows.h maps SearchPath to the SearchPathW API, which Pellux never calls;
// the name belongs to the search folder buffer below.
#undef SearchPath

constexpr int SEARCH_PATH_UNITS = 32768;   // includes the terminator
constexpr int LONG_PATH_PREFIX_UNITS = 4;  // "\\?\"
constexpr int PATTERN_CAPACITY = 2048;     // bytes

struct SearchPatternBuffer {
    BYTE bytes[PATTERN_CAPACITY];
    UINT32 length;
};

enum : DWORD { STRING_TYPE_ANSI = 0, STRING_TYPE_UNICODE = 1, STRING_TYPE_HEX = 2 };

// Units 0-3 always hold "\\?\"; the folder being walked follows.
extern wchar_t SearchPath[SEARCH_PATH_UNITS];
extern SearchPatternBuffer SearchPattern;
// 1 while a search runs; cleared by anyone who wants it to stop.
extern std::atomic<LONG> SearchRunning;
// Handle of the last worker started, or nullptr. UI thread only.
extern HANDLE WorkerThread;
// Entry 0 of RecentExtensions while a type list is in force, else nullptr.
extern const wchar_t* ActiveFileTypes;

// 1 from StartSearch until the worker has finished its last step. Unlike
// SearchRunning it is not cleared by Stop, so it covers the moments before
// the worker sets SearchRunning and after a Stop while the worker winds down:
// no second search may start and SearchPath may not change then.
extern std::atomic<LONG> WorkerBusy;

inline bool IsSearchRunning() { return SearchRunning.load(std::memory_order_acquire) != 0; }
inline bool IsWorkerBusy() { return WorkerBusy.load(std::memory_order_acquire) != 0; }

// Search pattern (engine/pattern.cpp). Nonzero on success; on failure the
// last-error code is the one the failing platform call set.
BOOL EncodePattern(const wchar_t* text, int count, DWORD type);

// File-type filter (engine/file_types.cpp): does the entry name pass ActiveFileTypes?
BOOL MatchesFileTypes(const wchar_t* name);
// The same test against any list; MatchesFileTypes uses ActiveFileTypes.
BOOL NameMatchesTypeList(const wchar_t* list, const wchar_t* name);

// What a search tells whoever shows it. The walk calls it on the worker
// thread; an implementation must never wait for another thread's messages,
// or Stop and close could wait on each other. Tests implement it without a
// window.
class SearchReport {
public:
    // Before the walk, on the worker thread.
    virtual void RunStarted() = 0;
    // A file's bytes are about to be scanned; path is as the user sees it
    // (no long-path prefix) and stays valid until FileLeft.
    virtual void FileEntered(const wchar_t* path) = 0;
    // A match in the entered file, offsets increasing.
    virtual void Match(UINT64 offset) = 0;
    virtual void FileLeft() = 0;
    // After the walk, once SearchRunning is 0 and SearchPath is no longer
    // read; the last call the worker makes.
    virtual void RunEnded() = 0;

protected:
    ~SearchReport() = default;
};

// Folder walk (engine/walk.cpp): walks SearchPath, reports into report.
void ScanFolder(SearchReport& report);

// The worker's stack, which the walk's depth bound is budgeted against.
constexpr SIZE_T WORKER_STACK_BYTES = 1 << 20;

// Search run (engine/search_run.cpp). Starts the worker on report, which
// must outlive it; refused while the last worker is still busy.
void StartSearch(SearchReport& report);
DWORD WINAPI SearchWorker(LPVOID report);
// Called by whoever shows the search once it has taken the worker's last
// report (RunEnded): from then on a new search may start.
void SearchWorkerDone();
