// Owns the search inputs shared between the UI thread and the worker.
#include "engine/search.h"

wchar_t SearchPath[SEARCH_PATH_UNITS] = L"\\\\?\\";
SearchPatternBuffer SearchPattern = {};
std::atomic<LONG> SearchRunning{0};
std::atomic<LONG> WorkerBusy{0};
HANDLE WorkerThread = nullptr;
const wchar_t* ActiveFileTypes = nullptr;
