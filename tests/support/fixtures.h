// Fixtures shared by the engine and window tests: scratch folders with real
// files, and a result tree plus status bar to scan into.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "engine/search.h"

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

// A search report that keeps what the walk tells it, in order: the files
// with matches as the tree would show them, and every file entered.
class RecordingReport : public SearchReport {
public:
    void RunStarted() override { ++runsStarted; }
    void FileEntered(const wchar_t* path) override;
    void Match(UINT64 offset) override;
    void FileLeft() override { inFile = false; }
    void RunEnded() override { ++runsEnded; }

    std::vector<FileResult> files;    // offsets formatted like the tree's
    std::vector<std::wstring> entered;
    std::vector<UINT64> offsets;      // every match, all files
    bool inFile = false;
    int runsStarted = 0;
    int runsEnded = 0;

private:
    bool listed_ = false;
};

std::wstring OffsetText(UINT64 offset);
