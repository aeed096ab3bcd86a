#include <gtest/gtest.h>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>
#include "engine/search.h"
#include "state/settings.h"
#include "support/fixtures.h"

namespace {

using Files = std::vector<FileResult>;

struct ScanOptions {
    DWORD subFolders = 1;
    const wchar_t* fileTypes = nullptr;
};

void SetPattern(const std::string& bytes)
{
    SearchPattern.length = static_cast<UINT32>(bytes.size());
    std::memcpy(SearchPattern.bytes, bytes.data(), bytes.size());
}

// Runs the walk on this thread into a report of its own, as the worker would.
Files Scan(const std::wstring& folder, const std::string& pattern, ScanOptions options = {},
           RecordingReport* into = nullptr)
{
    RecordingReport local;
    RecordingReport& report = into ? *into : local;
    SetSearchFolder(folder);
    SetPattern(pattern);
    SubFolders = options.subFolders;
    ActiveFileTypes = options.fileTypes;
    SearchRunning = 1;
    ScanFolder(report);
    SearchRunning = 0;
    ActiveFileTypes = nullptr;
    EXPECT_FALSE(report.inFile) << "every file entered is left";
    return report.files;
}

class WalkTest : public testing::Test {
protected:
    TempFolder root;
};

std::wstring PathAfterPrefix() { return SearchPath + LONG_PATH_PREFIX_UNITS; }

}  // namespace

TEST_F(WalkTest, MatchesDoNotOverlapAndReachTheLastByte)
{
    const std::wstring five = root.AddFile(L"five.bin", "AAAAA");
    const std::wstring six = root.AddFile(L"six.bin", "AAAAAA");
    const std::wstring tail = root.AddFile(L"tail.bin", "xxxxAAA");
    EXPECT_EQ(Scan(root.Path(), "AAA"), (Files{{five, {L"00000000"}},
                                              {six, {L"00000000", L"00000003"}},
                                              {tail, {L"00000004"}}}));
    // The buffer is left holding the folder and one backslash.
    EXPECT_EQ(PathAfterPrefix(), root.Path() + L"\\");
}

TEST_F(WalkTest, OnlyFilesWithBytesAreEntered)
{
    // An empty file is skipped without being entered (no status update); a
    // file shorter than the pattern is entered, but has no match.
    root.AddFile(L"empty.bin", "");
    const std::wstring shortFile = root.AddFile(L"short.bin", "M");
    RecordingReport report;
    EXPECT_TRUE(Scan(root.Path(), "MZ", {}, &report).empty());
    EXPECT_EQ(report.entered, (std::vector<std::wstring>{shortFile}));
}

TEST_F(WalkTest, MatchesAcrossReadChunksAreFoundOnceEach)
{
    // Files are read a chunk (1 MiB) at a time: a match may straddle two
    // chunks, and a match that ends past a chunk's first complete offset must
    // not be found again, or overlap another, in the next.
    const size_t chunk = 1 << 20;
    std::string bytes(3 * chunk + 100, 'x');
    const std::vector<size_t> at = {0, chunk - 3, 2 * chunk - 6, 2 * chunk + 1, 3 * chunk + 94};
    for (size_t p : at)
        bytes.replace(p, 6, "NEEDLE");
    // A run of the pattern's first bytes across the last boundary but one.
    std::string runs(3 * chunk, 'A');
    const std::wstring a = root.AddFile(L"a.bin", bytes);
    const std::wstring b = root.AddFile(L"b.bin", runs);
    RecordingReport needles;
    Scan(root.Path(), "NEEDLE", {}, &needles);
    ASSERT_EQ(needles.files.size(), 1u);
    EXPECT_EQ(needles.files[0].path, a);
    EXPECT_EQ(needles.offsets, (std::vector<UINT64>(at.begin(), at.end())));

    // Non-overlapping runs of a 7-byte pattern over 3 MiB of 'A': every
    // seventh offset, across both chunk boundaries.
    RecordingReport sevens;
    Scan(root.Path(), "AAAAAAA", {}, &sevens);
    ASSERT_EQ(sevens.files.size(), 1u);
    EXPECT_EQ(sevens.files[0].path, b);
    ASSERT_EQ(sevens.offsets.size(), runs.size() / 7);
    for (size_t i = 0; i < sevens.offsets.size(); ++i)
        ASSERT_EQ(sevens.offsets[i], 7u * i);
}

TEST_F(WalkTest, FilesComeInEnumerationOrderDepthFirst)
{
    const std::wstring inner = root.AddFile(L"a\\x.txt", "--MZ--MZ");
    const std::wstring b = root.AddFile(L"b.txt", "MZ");
    root.AddFile(L"b2.txt", "no match here");
    const std::wstring c = root.AddFile(L"c.txt", "xMZ");
    EXPECT_EQ(Scan(root.Path(), "MZ"), (Files{{inner, {L"00000002", L"00000006"}},
                                             {b, {L"00000000"}},
                                             {c, {L"00000001"}}}));
}

TEST_F(WalkTest, SubfolderSwitchAndFileTypes)
{
    // A folder named like a wanted file is never treated as a file.
    const std::wstring insideExeFolder = root.AddFile(L"x.exe\\y.exe", "MZ");
    // Folders are walked whatever their names when subfolders are on.
    const std::wstring insideData = root.AddFile(L"data\\tool.exe", "MZ");
    root.AddFile(L"data\\notes.txt", "MZ");
    const std::wstring top = root.AddFile(L"top.EXE", "MZ");

    RecordingReport report;
    EXPECT_EQ(Scan(root.Path(), "MZ", {0, L"*.exe"}, &report), (Files{{top, {L"00000000"}}}));
    EXPECT_EQ(report.entered, (std::vector<std::wstring>{top}));

    EXPECT_EQ(Scan(root.Path(), "MZ", {1, L"*.exe"}),
              (Files{{insideData, {L"00000000"}}, {top, {L"00000000"}}, {insideExeFolder, {L"00000000"}}}));
    EXPECT_EQ(Scan(root.Path(), "MZ", {1, nullptr}).size(), 4u);
}

TEST_F(WalkTest, FolderGivenWithTrailingBackslashGetsNoSecondOne)
{
    const std::wstring file = root.AddFile(L"f.bin", "MZ");
    EXPECT_EQ(Scan(root.Path() + L"\\", "MZ"), (Files{{file, {L"00000000"}}}));
    EXPECT_EQ(PathAfterPrefix(), root.Path() + L"\\");
}

TEST_F(WalkTest, PathsLongerThan260UnitsAreScanned)
{
    const std::wstring segment(120, L'd');
    const std::wstring file = root.AddFile(segment + L"\\" + segment + L"\\" + segment + L"\\deep.bin", "..MZ");
    ASSERT_GT(file.size(), 360u);
    EXPECT_EQ(Scan(root.Path(), "MZ"), (Files{{file, {L"00000002"}}}));
}

TEST_F(WalkTest, OffsetsPast4GiBShowAllTheirDigits)
{
    const std::wstring path = root.AddFile(L"sparse.bin", "");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = 0x100000000LL;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file, "MZ", 2, &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, 2u);
    EXPECT_EQ(Scan(root.Path(), "MZ"), (Files{{path, {L"100000000"}}}));
}

TEST_F(WalkTest, DeepTreesEndWithoutExhaustingStackOrPath)
{
    // Far deeper than the walk follows; the shallow file is still found.
    std::wstring relative;
    for (int level = 0; level < 600; ++level) {
        relative += L"d\\";
        if (level == 5)
            root.AddFile(relative + L"shallow.bin", "MZ");
    }
    root.AddFile(relative + L"bottom.bin", "MZ");
    const Files found = Scan(root.Path(), "MZ");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].path.find(L"shallow.bin"), std::wstring::npos);
    EXPECT_EQ(PathAfterPrefix(), root.Path() + L"\\");
}

TEST_F(WalkTest, LinkLoopsEndOnTheirOwn)
{
    // Made on the Linux side by the test runner: loop/a/up -> .. and
    // loop/a/self -> ., each a way back to a folder being walked.
    char fixture[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PELLUX_LINK_FIXTURE", fixture, MAX_PATH) == 0)
        GTEST_SKIP() << "PELLUX_LINK_FIXTURE is set by the CTest run";
    wchar_t folder[MAX_PATH] = {};
    MultiByteToWideChar(CP_UTF8, 0, fixture, -1, folder, MAX_PATH);
    const Files found = Scan(folder, "NEEDLE");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, std::wstring(folder) + L"\\a\\hit.txt");
}

TEST_F(WalkTest, StopEndsTheFileAndOpensNoOther)
{
    // Enumeration is sorted by name, so big.bin comes before later.bin.
    const std::wstring big = root.AddFile(L"big.bin", std::string(32 << 20, 'A'));
    root.AddFile(L"later.bin", "AA");
    SetSearchFolder(root.Path());
    SetPattern("AA");
    SubFolders = 1;
    SearchRunning = 1;
    std::thread stopper([] {
        Sleep(100);
        SearchRunning.exchange(0);
    });
    RecordingReport report;
    ScanFolder(report);
    stopper.join();

    const Files& found = report.files;
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, big);
    EXPECT_GT(found[0].offsets.size(), 0u);
    EXPECT_LT(found[0].offsets.size(), (32u << 20) / 2);
    EXPECT_EQ(report.entered, (std::vector<std::wstring>{big}));
    // Every handle on the file is gone: it can be deleted at once.
    EXPECT_TRUE(DeleteFileW(big.c_str()));
}

namespace {

// Changes the files behind the walk's back at a chosen moment, as another
// program would.
class MeddlingReport : public RecordingReport {
public:
    std::wstring truncateOnMatch;  // cut to cutTo bytes at the first match in it
    UINT64 cutTo = 0;
    std::wstring deleteOnEnter;    // removed when the walk enters the first file
    std::wstring growOnEnter;      // appended to when the walk enters the first file

    void FileEntered(const wchar_t* path) override
    {
        RecordingReport::FileEntered(path);
        if (entered.size() == 1) {
            if (!deleteOnEnter.empty()) {
                EXPECT_TRUE(DeleteFileW(deleteOnEnter.c_str()));
            }
            if (!growOnEnter.empty()) {
                HANDLE file = CreateFileW(growOnEnter.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
                DWORD written = 0;
                WriteFile(file, "..MZ", 4, &written, nullptr);
                CloseHandle(file);
                EXPECT_EQ(written, 4u);
            }
        }
    }
    void Match(UINT64 offset) override
    {
        RecordingReport::Match(offset);
        if (!truncateOnMatch.empty() && entered.back() == truncateOnMatch) {
            HANDLE file = CreateFileW(truncateOnMatch.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(cutTo);
            EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file));
            CloseHandle(file);
            truncateOnMatch.clear();
        }
    }
};

}  // namespace

TEST_F(WalkTest, FilesThatShrinkGrowOrVanishMidWalkEndTheirScanSafely)
{
    // a.bin is cut to 2 MiB at its first match, while the walk reads it:
    // the matches before the cut stay, the walk goes on.
    std::string big(8 << 20, 'x');
    for (size_t p = 0; p < big.size(); p += 1 << 20)
        big.replace(p + 10, 2, "MZ");
    const std::wstring a = root.AddFile(L"a.bin", big);
    // b.bin is removed after it was listed; c.bin grows after it was listed
    // and is scanned as long as it was listed.
    const std::wstring b = root.AddFile(L"b.bin", "MZ");
    const std::wstring c = root.AddFile(L"c.bin", "MZ..");
    const std::wstring d = root.AddFile(L"d.bin", "xMZ");
    MeddlingReport report;
    report.truncateOnMatch = a;
    report.cutTo = 2 << 20;
    report.deleteOnEnter = b;
    report.growOnEnter = c;
    const Files found = Scan(root.Path(), "MZ", {}, &report);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, a);
    // The first chunk was read before the cut; what follows is only what is
    // left of the file.
    EXPECT_GE(found[0].offsets.size(), 1u);
    EXPECT_LE(found[0].offsets.size(), 2u);
    EXPECT_EQ(found[1], (FileResult{c, {L"00000000"}}));
    EXPECT_EQ(found[2], (FileResult{d, {L"00000001"}}));
}
