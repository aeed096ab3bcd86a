// Folder selection: the folder picker, dropped folders and the recent
// folders. Each puts the folder into SearchPath after the long-path prefix.
#include "ui/handlers.h"
#include "ui/controls.h"
#include "engine/search.h"
#include "state/recent.h"
#include "res/resource.h"
#include <shlobj.h>
#include <shobjidl.h>
#include <strsafe.h>

namespace {

constexpr int FOLDER_UNITS = SEARCH_PATH_UNITS - LONG_PATH_PREFIX_UNITS;

// A dropped name, with room for the whole of any path the system can give.
// Units 0-3 hold the long-path prefix so long names can be tested as they are.
wchar_t DroppedPath[SEARCH_PATH_UNITS];

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (p_ != nullptr)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* Get() const { return p_; }
    T** Put() { return &p_; }
    T* operator->() const { return p_; }

private:
    T* p_ = nullptr;
};

// Copies a folder into SearchPath. A folder that does not fit whole is not
// taken: a cut path would name another folder.
bool StoreSearchFolder(const wchar_t* folder)
{
    if (lstrlenW(folder) >= FOLDER_UNITS)
        return false;
    StringCchCopyW(SearchPath + LONG_PATH_PREFIX_UNITS, FOLDER_UNITS, folder);
    return true;
}

// Attributes of the name in DroppedPath. Names past the classic path limit
// are asked for in their long-path form, which drive-letter paths take.
DWORD AttributesOfDroppedPath()
{
    const wchar_t* name = DroppedPath + LONG_PATH_PREFIX_UNITS;
    return GetFileAttributesW(lstrlenW(name) < MAX_PATH ? name : DroppedPath);
}

void ShowOlderFolderBrowser(HWND mainWindow)
{
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = mainWindow;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Select a folder";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
    if (items == nullptr)
        return;
    // Converted into a scratch buffer first, so a failed conversion leaves
    // the previous folder in place.
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(items, path) && StoreSearchFolder(path))
        FolderChosen(mainWindow);
    CoTaskMemFree(items);
}

}  // namespace

void OnOpenCommand(HWND mainWindow)
{
    if (IsWorkerBusy())
        return;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(dialog.Put())))) {
        ShowOlderFolderBrowser(mainWindow);
        return;
    }
    dialog->SetOptions(FOS_PICKFOLDERS);
    if (FAILED(dialog->Show(mainWindow)))
        return;
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())))
        return;
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return;
    if (StoreSearchFolder(path))
        FolderChosen(mainWindow);
    CoTaskMemFree(path);
}

void FolderChosen(HWND mainWindow)
{
    const wchar_t* folder = SearchPath + LONG_PATH_PREFIX_UNITS;
    // A folder too long for a list slot is searched but not remembered.
    RecentPush(RecentFolders, folder);
    UpdateTitle(folder);
    RebuildRecentMenu(mainWindow);
    SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SEARCH, 0), 0);
}

void OnDropFiles(HWND mainWindow, HDROP drop)
{
    // Also refused while a stopped worker winds down: it still owns SearchPath.
    if (IsSearchRunning() || IsWorkerBusy()) {
        DragFinish(drop);
        return;
    }
    StringCchCopyW(DroppedPath, ARRAYSIZE(DroppedPath), L"\\\\?\\");
    wchar_t* name = DroppedPath + LONG_PATH_PREFIX_UNITS;
    const UINT length = DragQueryFileW(drop, 0, name, FOLDER_UNITS);
    DragFinish(drop);
    if (length == 0 || length >= static_cast<UINT>(FOLDER_UNITS))
        return;

    const DWORD attributes = AttributesOfDroppedPath();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        StoreSearchFolder(name);
        RecentPush(RecentFolders, name);
        UpdateTitle(name);
        RebuildRecentMenu(mainWindow);
        SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SEARCH, 0), 0);
        return;
    }
    SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_OPEN, 0), 0);
}

void OnRecentFolderCommand(HWND mainWindow, int index)
{
    if (index < 0 || index >= RECENT_SLOTS || IsWorkerBusy())
        return;
    // A copy: removing or pushing moves the slots under the entry.
    wchar_t entry[RECENT_SLOT_UNITS] = {};
    StringCchCopyW(entry, ARRAYSIZE(entry), RecentFolders.slots[index]);
    if (entry[0] == L'\0')
        return;

    StringCchCopyW(DroppedPath, ARRAYSIZE(DroppedPath), L"\\\\?\\");
    StringCchCopyW(DroppedPath + LONG_PATH_PREFIX_UNITS, FOLDER_UNITS, entry);
    if (AttributesOfDroppedPath() == INVALID_FILE_ATTRIBUTES) {
        wchar_t question[520] = {};
        StringCchPrintfW(question, ARRAYSIZE(question),
                         L"The folder '%s' cannot be opened.\nDo you want to remove the reference to it from the "
                         L"Recent list?",
                         entry);
        if (MessageBoxW(mainWindow, question, L"Pellux", MB_ICONQUESTION | MB_YESNO) == IDNO)
            return;
        RecentRemove(RecentFolders, entry);
    } else {
        StoreSearchFolder(entry);
        RecentPush(RecentFolders, entry);
        UpdateTitle(entry);
    }
    RebuildRecentMenu(mainWindow);
}
