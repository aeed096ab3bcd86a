#include "support/fixtures.h"
#include <commctrl.h>
#include <strsafe.h>
#include "engine/search.h"
#include "ui/controls.h"

namespace {

std::wstring LongPath(const std::wstring& path)
{
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

void CreateParents(const std::wstring& path)
{
    for (size_t i = 7; i < path.size(); ++i)
        if (path[i] == L'\\')
            CreateDirectoryW(LongPath(path.substr(0, i)).c_str(), nullptr);
}

std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[1024] = {};
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = ARRAYSIZE(text);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
    return text;
}

}  // namespace

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(ARRAYSIZE(base), base);
    static LONG counter = 0;
    wchar_t name[64] = {};
    StringCchPrintfW(name, ARRAYSIZE(name), L"pellux-test-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
    path_ = std::wstring(base) + name;
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::wstring TempFolder::AddFile(const std::wstring& relative, const std::string& bytes) const
{
    const std::wstring path = path_ + L"\\" + relative;
    CreateParents(path);
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

std::wstring TempFolder::AddFolder(const std::wstring& relative) const
{
    const std::wstring path = path_ + L"\\" + relative;
    CreateParents(path + L"\\");
    return path;
}

void RemoveTree(const std::wstring& path)
{
    const std::wstring longPath = LongPath(path);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((longPath + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = longPath + L"\\" + name;
            const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                if (link) {
                    if (!RemoveDirectoryW(child.c_str()))
                        DeleteFileW(child.c_str());
                } else {
                    RemoveTree(child);
                }
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(longPath.c_str());
}

ResultWindows::ResultWindows()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    MainWindow = CreateWindowExW(0, L"STATIC", L"Pellux test", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ResultTree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT,
                                 0, 26, 600, 300, MainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, MainWindow, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    int parts[2] = {400, -1};
    SendMessageW(StatusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

ResultWindows::~ResultWindows()
{
    DestroyWindow(MainWindow);
    MainWindow = nullptr;
    ResultTree = nullptr;
    StatusBar = nullptr;
}

std::vector<FileResult> ReadResultTree(HWND tree)
{
    std::vector<FileResult> files;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item != nullptr) {
        FileResult file{ItemText(tree, item), {}};
        auto child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        while (child != nullptr) {
            file.offsets.push_back(ItemText(tree, child));
            child = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
        }
        files.push_back(file);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return files;
}

std::wstring ReadStatusText(HWND statusBar, int part)
{
    wchar_t text[1024] = {};
    const LRESULT info = SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0);
    if (LOWORD(info) >= ARRAYSIZE(text))
        return L"<too long>";
    SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetSearchFolder(const std::wstring& folder)
{
    lstrcpynW(SearchPath, L"\\\\?\\", SEARCH_PATH_UNITS);
    lstrcpynW(SearchPath + LONG_PATH_PREFIX_UNITS, folder.c_str(), SEARCH_PATH_UNITS - LONG_PATH_PREFIX_UNITS);
}

std::wstring OffsetText(UINT64 offset)
{
    wchar_t text[32] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"%08I64X", offset);
    return text;
}

void RecordingReport::FileEntered(const wchar_t* path)
{
    entered.push_back(path);
    inFile = true;
    listed_ = false;
}

void RecordingReport::Match(UINT64 offset)
{
    if (!listed_) {
        files.push_back({entered.empty() ? L"" : entered.back(), {}});
        listed_ = true;
    }
    files.back().offsets.push_back(OffsetText(offset));
    offsets.push_back(offset);
}
