// The folder walk: enumerates SearchPath depth first, reads each passing file
// through a bounded buffer and reports every match to the search's report.
#include "engine/search.h"
#include "engine/scan.h"
#include "engine/handles.h"
#include "state/settings.h"
#include <strsafe.h>
#include <cstring>
#include <cwchar>

namespace {

// Each level of the walk costs about a kilobyte of the worker's stack (mostly
// the WIN32_FIND_DATAW); 400 levels stay well inside WORKER_STACK_BYTES.
// Deeper folders are skipped, not followed.
constexpr int MAX_FOLDER_DEPTH = 400;
static_assert(MAX_FOLDER_DEPTH * 1024 * 2 < WORKER_STACK_BYTES, "the depth bound must fit the worker's stack");

// A folder's identity, so a link back to one of its own ancestors is not
// walked again (a loop of links would otherwise go on until a limit hit).
// The 128-bit id where the file system has one (ReFS reuses 64-bit indexes),
// else the 64-bit index in its first half.
struct FolderIdentity {
    ULONGLONG volume;
    BYTE id[16];
};

// FILE_ID_INFO and its class (18) as Windows 8 and later define them; older
// systems refuse the class and the 64-bit index is used instead.
struct FileIdRecord {
    ULONGLONG volume;
    BYTE id[16];
};
constexpr auto FILE_ID_INFO_CLASS = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

struct WalkState {
    FolderIdentity ancestors[MAX_FOLDER_DEPTH + 1];
    bool known[MAX_FOLDER_DEPTH + 1];
    int depth;
    SearchReport* report;
};

bool ReadFolderIdentity(const wchar_t* path, FolderIdentity& identity)
{
    // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFileW open a directory.
    UniqueFile folder(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid())
        return false;
    identity = {};
    FileIdRecord record = {};
    if (GetFileInformationByHandleEx(folder.Get(), FILE_ID_INFO_CLASS, &record, sizeof(record))) {
        identity.volume = record.volume;
        std::memcpy(identity.id, record.id, sizeof(identity.id));
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(folder.Get(), &info))
        return false;
    identity.volume = info.dwVolumeSerialNumber;
    const ULONGLONG index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    std::memcpy(identity.id, &index, sizeof(index));
    return true;
}

bool IsAncestor(const WalkState& walk, const FolderIdentity& identity)
{
    for (int i = 0; i <= walk.depth; ++i) {
        if (walk.known[i] && walk.ancestors[i].volume == identity.volume &&
            std::memcmp(walk.ancestors[i].id, identity.id, sizeof(identity.id)) == 0)
            return true;
    }
    return false;
}

// Files are read in chunks into this buffer rather than mapped: a file that
// another program cuts short, or a medium that goes away, then ends in a
// short or failed read instead of a fault on a page that no longer exists.
// The head room holds the bytes of a match that may straddle two chunks.
// Only the walking thread uses it.
constexpr DWORD READ_CHUNK_BYTES = 1 << 20;
unsigned char ReadBuffer[PATTERN_CAPACITY + READ_CHUNK_BYTES];

struct ChunkScan {
    SearchReport* report;
    UINT64 base;      // file offset of ReadBuffer[0]
    UINT64 resumeAt;  // first offset after the last match
};

bool ReportMatch(void* context, uint64_t offset)
{
    auto* scan = static_cast<ChunkScan*>(context);
    scan->report->Match(scan->base + offset);
    scan->resumeAt = scan->base + offset + SearchPattern.length;
    return true;
}

// Scans the open file's first listedSize bytes (fewer if it is shorter by
// now); the offsets reported are exactly those of one pass over the whole.
void ScanFileBytes(HANDLE file, UINT64 listedSize, SearchReport& report)
{
    const UINT32 n = SearchPattern.length;
    UINT64 unread = listedSize;  // a file that grew is scanned as listed
    UINT64 base = 0;
    DWORD held = 0;
    bool entered = false;
    while (unread > 0 && IsSearchRunning()) {
        const DWORD want = unread < READ_CHUNK_BYTES ? static_cast<DWORD>(unread) : READ_CHUNK_BYTES;
        DWORD got = 0;
        if (!ReadFile(file, ReadBuffer + held, want, &got, nullptr) || got == 0)
            break;  // cut short or unreadable: what was found so far stays
        if (!entered) {
            report.FileEntered(SearchPath + LONG_PATH_PREFIX_UNITS);
            entered = true;
        }
        unread -= got;
        held += got;
        ChunkScan scan = {&report, base, base};
        ScanBytes(ReadBuffer, held, SearchPattern.bytes, n, ReportMatch, &scan);
        // Go on at the first offset whose bytes are not all here yet, or
        // after the last match if that reaches further.
        UINT64 next = base + (held >= n ? held - n + 1 : 0);
        if (scan.resumeAt > next)
            next = scan.resumeAt;
        const DWORD keep = static_cast<DWORD>(base + held - next);  // < n
        std::memmove(ReadBuffer, ReadBuffer + (held - keep), keep);
        base = next;
        held = keep;
    }
    if (entered)
        report.FileLeft();
}

// Scans the file whose full path stands in SearchPath. Files that cannot be
// opened or read (an empty one has nothing to read) are skipped silently.
void ScanFile(UINT64 listedSize, SearchReport& report)
{
    if (listedSize == 0)
        return;
    UniqueFile file(CreateFileW(SearchPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid())
        return;
    ScanFileBytes(file.Get(), listedSize, report);
}

void ScanFolderLevel(WalkState& walk)
{
    size_t length = std::wcslen(SearchPath);
    if (length == 0 || SearchPath[length - 1] != L'\\') {
        if (length + 1 >= SEARCH_PATH_UNITS)
            return;
        SearchPath[length++] = L'\\';
        SearchPath[length] = L'\0';
    }
    const size_t mark = length;
    if (mark + 2 > SEARCH_PATH_UNITS)
        return;
    SearchPath[mark] = L'*';
    SearchPath[mark + 1] = L'\0';

    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW(SearchPath, &entry));
    SearchPath[mark] = L'\0';
    if (!find.Valid())
        return;

    do {
        SearchPath[mark] = L'\0';
        if (!IsSearchRunning())
            break;
        const wchar_t* name = entry.cFileName;
        if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0)
            continue;
        // A name that does not fit the rest of the buffer cannot be opened.
        if (FAILED(StringCchCopyW(SearchPath + mark, SEARCH_PATH_UNITS - mark, name)))
            continue;

        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder) {
            // Folders are walked whatever their names; with subfolders off
            // they are never files either.
            if (SubFolders == 0 || walk.depth >= MAX_FOLDER_DEPTH)
                continue;
            // A folder whose identity cannot be read is still walked: only a
            // proven way back to an ancestor is skipped, and the depth bound
            // ends any loop that goes unrecognised.
            FolderIdentity identity;
            const bool known = ReadFolderIdentity(SearchPath, identity);
            if (known && IsAncestor(walk, identity))
                continue;
            ++walk.depth;
            walk.known[walk.depth] = known;
            if (known)
                walk.ancestors[walk.depth] = identity;
            ScanFolderLevel(walk);
            --walk.depth;
            continue;
        }

        if (ActiveFileTypes != nullptr && !MatchesFileTypes(name))
            continue;
        const UINT64 size = (static_cast<UINT64>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        ScanFile(size, *walk.report);
    } while (FindNextFileW(find.Get(), &entry));

    SearchPath[mark] = L'\0';
}

}  // namespace

void ScanFolder(SearchReport& report)
{
    // Heap, not stack: the ancestor table would take a sizeable bite of the
    // worker's stack otherwise.
    auto* walk = static_cast<WalkState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WalkState)));
    if (walk == nullptr)
        return;
    // The starting folder counts as the first ancestor, so a link back to it
    // is not followed either.
    walk->known[0] = ReadFolderIdentity(SearchPath, walk->ancestors[0]);
    walk->depth = 0;
    walk->report = &report;
    ScanFolderLevel(*walk);
    HeapFree(GetProcessHeap(), 0, walk);
}
