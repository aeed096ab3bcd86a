// The search run: starts the worker, which walks the folder and tells its
// report when the run starts and ends. Whoever shows the search switches the
// window between its idle and running states on those reports.
#include "engine/search.h"

DWORD WINAPI SearchWorker(LPVOID context)
{
    SearchReport& report = *static_cast<SearchReport*>(context);
    // SearchRunning was set by StartSearch before this thread existed; it is
    // not set again here, so a stop requested before this first step holds.
    report.RunStarted();
    ScanFolder(report);
    // Cleared before the last report, so a search started in answer to it
    // can never be stopped by this worker's late write.
    SearchRunning.exchange(0);
    report.RunEnded();
    return 0;
}

void SearchWorkerDone()
{
    WorkerBusy.exchange(0);
}

void StartSearch(SearchReport& report)
{
    // Only one worker at a time, and none while the last one winds down.
    LONG idle = 0;
    if (!WorkerBusy.compare_exchange_strong(idle, 1))
        return;
    if (WorkerThread != nullptr) {
        // Closing the handle of a finished worker only drops our reference.
        CloseHandle(WorkerThread);
        WorkerThread = nullptr;
    }
    // Set before the thread exists, so the exit path waits for a worker that
    // has not reached its first step yet, and Search stays refused meanwhile.
    SearchRunning.exchange(1);
    WorkerThread = CreateThread(nullptr, WORKER_STACK_BYTES, SearchWorker, &report,
                                STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (WorkerThread == nullptr) {
        SearchRunning.exchange(0);
        WorkerBusy.exchange(0);
    }
}
