// Fixtures shared by the engine and window tests: scratch folders with real
// files, and a result tree plus status bar to scan into.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }  // no trailing backslash
    // Creates a file (and its folders) under the folder; returns its full path.
    std::wstring AddFile(const std::wstring& relative, const std::string& bytes) const;
    std::wstring AddFolder(const std::wstring& relative) const;

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& path);

struct FileResult {
    std::wstring path;
    std::vector<std::wstring> offsets;
    bool operator==(const FileResult&) const = default;
};

// A hidden top-level window holding a tree view and a status bar, assigned
// to ResultTree and StatusBar (and MainWindow) for the lifetime of the object.
class ResultWindows {
public:
    ResultWindows();
    ~ResultWindows();
    ResultWindows(const ResultWindows&) = delete;
    ResultWindows& operator=(const ResultWindows&) = delete;
};

// The tree as a user sees it: file nodes with their offset children.
std::vector<FileResult> ReadResultTree(HWND tree);
std::wstring ReadStatusText(HWND statusBar, int part = 0);
// Puts a folder into SearchPath after the long-path prefix.
void SetSearchFolder(const std::wstring& folder);
