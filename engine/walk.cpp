// The folder walk: enumerates SearchPath depth first, maps each passing file
// read-only and reports every match into the result tree.
#include "engine/search.h"
#include "engine/scan.h"
#include "engine/handles.h"
#include "state/settings.h"
#include "ui/controls.h"
#include <strsafe.h>
#include <cwchar>

namespace {

// Each level of the walk costs about a kilobyte of the worker's 1 MiB stack
// (mostly the WIN32_FIND_DATAW); deeper folders are skipped, not followed.
constexpr int MAX_FOLDER_DEPTH = 400;

// A folder's identity, so a link back to one of its own ancestors is not
// walked again (a loop of links would otherwise go on until a limit hit).
struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

struct WalkState {
    FolderIdentity ancestors[MAX_FOLDER_DEPTH + 1];
    int depth;
};

bool ReadFolderIdentity(const wchar_t* path, FolderIdentity& identity)
{
    // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFileW open a directory.
    UniqueFile folder(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid())
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(folder.Get(), &info))
        return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

bool IsAncestor(const WalkState& walk, const FolderIdentity& identity)
{
    for (int i = 0; i <= walk.depth; ++i) {
        const FolderIdentity& a = walk.ancestors[i];
        if (a.volume == identity.volume && a.indexHigh == identity.indexHigh && a.indexLow == identity.indexLow)
            return true;
    }
    return false;
}

struct FileMatches {
    HTREEITEM fileNode;
};

bool ReportMatch(void* context, uint64_t offset)
{
    auto* matches = static_cast<FileMatches*>(context);
    matches->fileNode = AddMatch(matches->fileNode, offset);
    return true;
}

// Each status update is a round trip to the UI thread, which costs far more
// than scanning a small file. Small files that follow each other quickly
// are shown a few times a second, which is all a person can read; a file
// large enough to take noticeable time is always shown.
constexpr DWORD STATUS_INTERVAL_MS = 50;
constexpr UINT64 STATUS_ALWAYS_BYTES = 1 << 20;
bool StatusShownThisSearch = false;
DWORD LastStatusTick = 0;

void ShowScannedFile(UINT64 size)
{
    const DWORD now = GetTickCount();
    if (StatusShownThisSearch && size < STATUS_ALWAYS_BYTES && now - LastStatusTick < STATUS_INTERVAL_MS)
        return;
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(SearchPath + LONG_PATH_PREFIX_UNITS));
    StatusShownThisSearch = true;
    LastStatusTick = now;
}

void ScanRange(const unsigned char* data, UINT64 size)
{
    FileMatches matches = {nullptr};
    ScanBytes(data, size, SearchPattern.bytes, SearchPattern.length, ReportMatch, &matches);
}

// Small files are read in one call into this buffer instead of being mapped:
// a mapping costs four more system calls (each a server round trip under
// Wine), which is most of the time spent on a small file. Only the walking
// thread uses it.
constexpr DWORD SMALL_FILE_BYTES = 64 * 1024;
unsigned char SmallFileBuffer[SMALL_FILE_BYTES];

void ScanSmallFile(HANDLE file, UINT64 listedSize)
{
    DWORD read = 0;
    if (!ReadFile(file, SmallFileBuffer, static_cast<DWORD>(listedSize), &read, nullptr) || read == 0)
        return;  // empty by now: skipped like an empty file
    ShowScannedFile(listedSize);
    ScanRange(SmallFileBuffer, read);
}

// Maps the file and scans it. Files that cannot be opened or mapped (an
// empty file cannot) are skipped silently.
void ScanMappedFile(HANDLE file, UINT64 listedSize)
{
    UniqueKernelHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.Valid())
        return;
    UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view.Valid())
        return;

    ShowScannedFile(listedSize);

    // The file may have changed since it was listed: never read past what
    // is actually mapped.
    UINT64 size = listedSize;
    LARGE_INTEGER mappedSize = {};
    if (GetFileSizeEx(file, &mappedSize) && static_cast<UINT64>(mappedSize.QuadPart) < size)
        size = static_cast<UINT64>(mappedSize.QuadPart);
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(view.Get(), &region, sizeof(region)) == 0)
        return;
    if (region.RegionSize < size)
        size = region.RegionSize;
    ScanRange(static_cast<const unsigned char*>(view.Get()), size);
}

// Scans the file whose full path stands in SearchPath.
void ScanFile(UINT64 listedSize)
{
    UniqueFile file(CreateFileW(SearchPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return;
    // A file listed as empty goes the mapping way, which skips it if it is
    // still empty, as for any file that cannot be mapped.
    if (listedSize > 0 && listedSize <= SMALL_FILE_BYTES)
        ScanSmallFile(file.Get(), listedSize);
    else
        ScanMappedFile(file.Get(), listedSize);
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
            FolderIdentity identity;
            if (!ReadFolderIdentity(SearchPath, identity) || IsAncestor(walk, identity))
                continue;
            walk.ancestors[++walk.depth] = identity;
            ScanFolderLevel(walk);
            --walk.depth;
            continue;
        }

        if (ActiveFileTypes != nullptr && !MatchesFileTypes(name))
            continue;
        const UINT64 size = (static_cast<UINT64>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        ScanFile(size);
    } while (FindNextFileW(find.Get(), &entry));

    SearchPath[mark] = L'\0';
}

}  // namespace

HTREEITEM AddMatch(HTREEITEM fileNode, UINT64 offset)
{
    if (fileNode == nullptr) {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
        insert.item.pszText = SearchPath + LONG_PATH_PREFIX_UNITS;
        insert.item.cChildren = 1;
        fileNode = reinterpret_cast<HTREEITEM>(SendMessageW(ResultTree, TVM_INSERTITEMW, 0,
                                                             reinterpret_cast<LPARAM>(&insert)));
        if (fileNode == nullptr)
            return nullptr;
    }
    wchar_t text[260] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"%08I64X", offset);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = fileNode;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    insert.item.pszText = text;
    insert.item.cChildren = 0;
    SendMessageW(ResultTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    return fileNode;
}

void ScanFolder()
{
    // Heap, not stack: the ancestor table would take a sizeable bite of the
    // worker's stack otherwise.
    auto* walk = static_cast<WalkState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WalkState)));
    if (walk == nullptr)
        return;
    // The starting folder counts as the first ancestor, so a link back to it
    // is not followed either.
    if (!ReadFolderIdentity(SearchPath, walk->ancestors[0]))
        walk->ancestors[0] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    walk->depth = 0;
    StatusShownThisSearch = false;
    ScanFolderLevel(*walk);
    HeapFree(GetProcessHeap(), 0, walk);
}
