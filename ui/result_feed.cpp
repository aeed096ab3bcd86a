// The thread-shared queue between the worker and the window. Only the lock
// and the posted messages cross threads; no window is touched here besides
// posting to it.
#include "ui/result_feed.h"
#include <strsafe.h>
#include <cstring>

namespace {

struct Feed {
    SRWLOCK lock = SRWLOCK_INIT;
    ResultBatch* first = nullptr;  // full batches, oldest first
    ResultBatch* last = nullptr;
    ResultBatch* open = nullptr;   // being filled; taken too when nothing else is ready
    bool announced = false;        // a WM_SEARCH_RESULTS is on its way or being served
    // The file being scanned, for the status bar.
    wchar_t scanningPath[SEARCH_PATH_UNITS] = {};
    UINT64 scanningSerial = 0;
    bool scanning = false;
    ULONGLONG enteredTick = 0;
    MatchCounts counts = {};
};
Feed ResultFeed;

class Lock {
public:
    Lock() { AcquireSRWLockExclusive(&ResultFeed.lock); }
    ~Lock() { ReleaseSRWLockExclusive(&ResultFeed.lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

ResultBatch* NewBatch()
{
    // Only the headers need zeroing; the arrays are filled before use.
    auto* batch = static_cast<ResultBatch*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ResultBatch)));
    if (batch != nullptr) {
        batch->next = nullptr;
        batch->fileCount = batch->offsetCount = batch->pathUnits = 0;
    }
    return batch;
}

// Under the lock: queues the open batch; true when the window should hear of it.
bool QueueOpenBatch()
{
    ResultBatch* batch = ResultFeed.open;
    if (batch == nullptr)
        return false;
    ResultFeed.open = nullptr;
    if (ResultFeed.last != nullptr)
        ResultFeed.last->next = batch;
    else
        ResultFeed.first = batch;
    ResultFeed.last = batch;
    if (ResultFeed.announced)
        return false;
    ResultFeed.announced = true;
    return true;
}

// Worker side: batches the matches, publishes the file being scanned and
// posts the run's start and end. The path pointer it is given stays valid
// from FileEntered to FileLeft (it is SearchPath).
class WindowSearchReport final : public SearchReport {
public:
    HWND window = nullptr;

    void RunStarted() override
    {
        fileSerial_ = 0;
        path_ = nullptr;
        pathUnits_ = 1;
        {
            Lock lock;
            ResultFeed.counts = {};
            ResultFeed.scanning = false;
            ResultFeed.scanningSerial = 0;
            ResultFeed.enteredTick = 0;
            ResultFeed.scanningPath[0] = L'\0';
        }
        PostMessageW(window, WM_SEARCH_STARTED, 0, 0);
    }

    void FileEntered(const wchar_t* path) override
    {
        path_ = path;
        pathUnits_ = static_cast<UINT32>(std::wcslen(path)) + 1;  // a SearchPath tail, so < 32,768
        ++fileSerial_;
        Lock lock;
        StringCchCopyW(ResultFeed.scanningPath, ARRAYSIZE(ResultFeed.scanningPath), path);
        ResultFeed.scanningSerial = fileSerial_;
        ResultFeed.scanning = true;
        ResultFeed.enteredTick = GetTickCount64();
    }

    void Match(UINT64 offset) override
    {
        bool announce = false;
        {
            Lock lock;
            MatchCounts& counts = ResultFeed.counts;
            ++counts.found;
            if (counts.found - counts.notShown > MAX_OFFSET_NODES || !Append(offset, announce))
                ++counts.notShown;
        }
        if (announce)
            PostMessageW(window, WM_SEARCH_RESULTS, 0, 0);
    }

    void FileLeft() override
    {
        path_ = nullptr;
        pathUnits_ = 1;
        Lock lock;
        ResultFeed.scanning = false;
    }

    void RunEnded() override
    {
        {
            Lock lock;
            QueueOpenBatch();
        }
        PostMessageW(window, WM_SEARCH_ENDED, 0, 0);
    }

private:
    // Under the lock: adds the offset to the open batch, queueing a full one
    // first. False when no batch could be had.
    bool Append(UINT64 offset, bool& announce)
    {
        ResultBatch* batch = ResultFeed.open;
        bool listed = batch != nullptr && batch->fileCount > 0 &&
                      batch->files[batch->fileCount - 1].serial == fileSerial_;
        if (batch != nullptr &&
            (batch->offsetCount == BATCH_OFFSETS ||
             (!listed && (batch->fileCount == BATCH_FILES || batch->pathUnits + pathUnits_ > BATCH_PATH_UNITS)))) {
            announce = QueueOpenBatch() || announce;
            batch = nullptr;
        }
        if (batch == nullptr) {
            batch = NewBatch();
            if (batch == nullptr)
                return false;
            ResultFeed.open = batch;
            listed = false;
        }
        if (!listed) {
            batch->files[batch->fileCount++] = {fileSerial_, batch->pathUnits, batch->offsetCount, 0};
            wchar_t* text = batch->paths + batch->pathUnits;
            if (path_ != nullptr)
                std::memcpy(text, path_, (pathUnits_ - 1) * sizeof(wchar_t));
            text[pathUnits_ - 1] = L'\0';
            batch->pathUnits += pathUnits_;
        }
        batch->offsets[batch->offsetCount++] = offset;
        ++batch->files[batch->fileCount - 1].offsetCount;
        return true;
    }

    const wchar_t* path_ = nullptr;
    UINT32 pathUnits_ = 1;  // with the terminator, measured once per file
    UINT64 fileSerial_ = 0;
};

WindowSearchReport TheWindowReport;

}  // namespace

SearchReport& WindowReport(HWND window)
{
    TheWindowReport.window = window;
    return TheWindowReport;
}

ResultBatch* TakeResultBatch()
{
    Lock lock;
    ResultBatch* batch = ResultFeed.first;
    if (batch != nullptr) {
        ResultFeed.first = batch->next;
        if (ResultFeed.first == nullptr)
            ResultFeed.last = nullptr;
        batch->next = nullptr;
        return batch;
    }
    // Nothing full is waiting: take what the worker has so far, so that no
    // match waits longer than one turn of the window's timer.
    batch = ResultFeed.open;
    ResultFeed.open = nullptr;
    if (batch == nullptr)
        ResultFeed.announced = false;
    return batch;
}

void FreeResultBatch(ResultBatch* batch)
{
    if (batch != nullptr)
        HeapFree(GetProcessHeap(), 0, batch);
}

void DiscardResults()
{
    ResultBatch* batch;
    while ((batch = TakeResultBatch()) != nullptr)
        FreeResultBatch(batch);
}

ScanStatus ReadScanStatus(UINT64 shownSerial, DWORD staleMs, wchar_t* text, size_t units)
{
    Lock lock;
    const ScanStatus status = {ResultFeed.scanningSerial,
                               ResultFeed.scanning || GetTickCount64() - ResultFeed.enteredTick < staleMs};
    if (status.serial != shownSerial && units > 0)
        StringCchCopyW(text, units, ResultFeed.scanningPath);
    return status;
}

MatchCounts LastMatchCounts()
{
    Lock lock;
    return ResultFeed.counts;
}
