// Searching from the window: the Search dialog, the worker's run, Stop, and
// folders dropped or taken from the recent list, all on the real window.
#include "main_window_fixture.h"
#include <commctrl.h>
#include <shlobj.h>
#include <wincrypt.h>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>
#include "res/resource.h"
#include "support/fixtures.h"
#include "ui/handlers.h"
#include "ui/result_feed.h"

namespace {

// Serves the window's messages until done() or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs = 60000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (SearchDialog && IsWindow(SearchDialog) && IsDialogMessageW(SearchDialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

bool WaitForWorkerToFinish() { return PumpUntil([] { return !IsWorkerBusy(); }); }

// Finds a dialog box of this process by caption from another thread while
// the UI thread sits in its modal loop, reads its text and answers it.
class ModalAnswerer {
public:
    ModalAnswerer(const wchar_t* caption, WORD answer) : caption_(caption), answer_(answer)
    {
        thread_ = std::thread([this] { Run(); });
    }
    ~ModalAnswerer()
    {
        stop_ = true;
        thread_.join();
    }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    bool Seen() const { return seen_; }
    std::wstring Text() const { return text_; }
    std::wstring Caption() const { return seenCaption_; }

private:
    struct Search {
        ModalAnswerer* self;
        HWND found;
    };
    static BOOL CALLBACK Visit(HWND window, LPARAM context)
    {
        auto* search = reinterpret_cast<Search*>(context);
        wchar_t cls[64] = {}, caption[256] = {};
        GetClassNameW(window, cls, ARRAYSIZE(cls));
        GetWindowTextW(window, caption, ARRAYSIZE(caption));
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || std::wstring(cls) != L"#32770")
            return TRUE;
        // nullptr caption: any dialog except the Search dialog.
        const bool wanted = search->self->caption_ ? std::wstring(caption) == search->self->caption_
                                                   : std::wstring(caption) != L"Search";
        if (!wanted)
            return TRUE;
        search->found = window;
        search->self->seenCaption_ = caption;
        return FALSE;
    }
    void Run()
    {
        while (!stop_) {
            Search search = {this, nullptr};
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                wchar_t text[1024] = {};
                GetDlgItemTextW(search.found, 0xFFFF, text, ARRAYSIZE(text));
                text_ = text;
                seen_ = true;
                PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    }

    const wchar_t* caption_;
    WORD answer_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::wstring text_;
    std::wstring seenCaption_;
};

// A drop as the shell hands it over: DROPFILES followed by the names.
HDROP MakeDrop(const std::vector<std::wstring>& names)
{
    size_t units = 1;
    for (const auto& name : names)
        units += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& name : names) {
        std::memcpy(text, name.c_str(), name.size() * sizeof(wchar_t));
        text += name.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring ComboText(int control)
{
    wchar_t text[1100] = {};
    GetDlgItemTextW(SearchDialog, control, text, ARRAYSIZE(text));
    return text;
}

std::vector<std::wstring> ComboItems(int control)
{
    std::vector<std::wstring> items;
    const HWND combo = GetDlgItem(SearchDialog, control);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1100] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// The window's own report, with the worker held at a chosen point until the
// test lets it go: at the file whose path is holdAt, or at match holdAfter.
class HoldingReport final : public SearchReport {
public:
    HoldingReport() : release_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~HoldingReport() { CloseHandle(release_); }
    HoldingReport(const HoldingReport&) = delete;
    HoldingReport& operator=(const HoldingReport&) = delete;

    std::wstring holdAt;   // held on entering this file
    std::wstring leaveAt;  // held on leaving this file
    UINT64 holdAfter = 0;  // held after this many matches
    std::atomic<bool> held{false};
    void Release() { SetEvent(release_); }

    void RunStarted() override { Window().RunStarted(); }
    void FileEntered(const wchar_t* path) override
    {
        entered_ = path;
        Window().FileEntered(path);
        if (path == holdAt)
            Hold();
    }
    void Match(UINT64 offset) override
    {
        Window().Match(offset);
        if (++matches_ == holdAfter)
            Hold();
    }
    void FileLeft() override
    {
        Window().FileLeft();
        if (entered_ == leaveAt)
            Hold();
    }
    void RunEnded() override { Window().RunEnded(); }

private:
    static SearchReport& Window() { return WindowReport(MainWindow); }
    void Hold()
    {
        held = true;
        WaitForSingleObject(release_, 60000);
        held = false;
    }
    HANDLE release_;
    UINT64 matches_ = 0;
    std::wstring entered_;
};

void SetPattern(const std::string& bytes)
{
    SearchPattern.length = static_cast<UINT32>(bytes.size());
    std::memcpy(SearchPattern.bytes, bytes.data(), bytes.size());
}

// Every node of the tree with what a user (or a reader) can tell apart.
struct NodeView {
    std::wstring text;
    int children;
    LPARAM data;
    int image;
    bool operator==(const NodeView&) const = default;
};
std::vector<NodeView> ReadNodes()
{
    std::vector<NodeView> nodes;
    std::vector<HTREEITEM> stack;
    auto next = [](UINT relation, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(SendMessageW(ResultTree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    };
    for (HTREEITEM file = next(TVGN_ROOT, nullptr); file; file = next(TVGN_NEXT, file)) {
        for (HTREEITEM item = file; item; item = item == file ? next(TVGN_CHILD, file) : next(TVGN_NEXT, item)) {
            wchar_t text[1024] = {};
            TVITEMW tvi = {};
            tvi.mask = TVIF_TEXT | TVIF_HANDLE | TVIF_CHILDREN | TVIF_PARAM | TVIF_IMAGE;
            tvi.hItem = item;
            tvi.pszText = text;
            tvi.cchTextMax = ARRAYSIZE(text);
            SendMessageW(ResultTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
            nodes.push_back({text, tvi.cChildren, tvi.lParam, tvi.iImage});
        }
    }
    return nodes;
}

class SearchFlowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NE(Create(), nullptr);
        ShowWindow(MainWindow, SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        // Never leave a worker behind for the next test's window.
        SearchRunning.store(0);
        EXPECT_TRUE(WaitForWorkerToFinish());
        ActiveFileTypes = nullptr;
        MainWindowTest::TearDown();
    }

    // Chooses a folder, opens the dialog, types both fields and presses OK.
    void SearchFor(const std::wstring& folder, const wchar_t* text, const wchar_t* types)
    {
        SetSearchFolder(folder);
        Command(IDM_SEARCH);
        ASSERT_NE(SearchDialog, nullptr);
        SetDlgItemTextW(SearchDialog, IDC_SEARCH_TEXT, text);
        SetDlgItemTextW(SearchDialog, IDC_FILE_TYPES, types);
        SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }

    void ExpectIdleControls()
    {
        EXPECT_FALSE(MenuGrayed(IDM_OPEN));
        EXPECT_FALSE(MenuGrayed(IDM_SEARCH));
        EXPECT_FALSE(MenuGrayed(IDM_SUBFOLDERS));
        EXPECT_FALSE(MenuGrayed(IDM_RECENT));
        EXPECT_TRUE(MenuGrayed(IDM_STOP));
        EXPECT_TRUE(ButtonState(IDM_OPEN) & TBSTATE_ENABLED);
        EXPECT_TRUE(ButtonState(IDM_SEARCH) & TBSTATE_ENABLED);
        EXPECT_TRUE(ButtonState(IDM_SUBFOLDERS) & TBSTATE_ENABLED);
        EXPECT_FALSE(ButtonState(IDM_STOP) & TBSTATE_ENABLED);
        EXPECT_FALSE(IsWindowVisible(ProgressBar));
        EXPECT_EQ(ReadStatusText(StatusBar), L"");
        EXPECT_EQ(SearchRunning.load(), 0);
    }

    TempFolder root;
};

}  // namespace

TEST_F(SearchFlowTest, DialogStartsWithTheRecentListsAndOkRunsTheSearch)
{
    const std::wstring hit = root.AddFile(L"a.bin", "..MZ..MZ");
    root.AddFile(L"b.txt", "MZ");  // excluded by the type list
    const std::wstring inner = root.AddFile(L"sub\\c.bin", "MZ");
    SetSearchFolder(root.Path());
    Command(IDM_SEARCH);
    ASSERT_NE(SearchDialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(SearchDialog));
    // First use: no search texts yet, the two default type lists.
    EXPECT_EQ(ComboText(IDC_SEARCH_TEXT), L"");
    EXPECT_TRUE(ComboItems(IDC_SEARCH_TEXT).empty());
    EXPECT_EQ(ComboText(IDC_FILE_TYPES), L"*.*");
    EXPECT_EQ(ComboItems(IDC_FILE_TYPES), (std::vector<std::wstring>{L"*.*", L"*.exe;*.dll;*.sys"}));
    EXPECT_EQ(GetFocus(), GetWindow(GetDlgItem(SearchDialog, IDC_SEARCH_TEXT), GW_CHILD));

    // A second Search while the dialog is open creates nothing new.
    const HWND first = SearchDialog;
    Command(IDM_SEARCH);
    EXPECT_EQ(SearchDialog, first);

    SetDlgItemTextW(SearchDialog, IDC_SEARCH_TEXT, L"MZ");
    SetDlgItemTextW(SearchDialog, IDC_FILE_TYPES, L"*.bin");
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(SearchDialog, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_STREQ(RecentSearches.slots[0], L"MZ");
    EXPECT_STREQ(RecentExtensions.slots[0], L"*.bin");
    EXPECT_STREQ(RecentExtensions.slots[1], L"*.*");
    EXPECT_EQ(ActiveFileTypes, RecentExtensions.slots[0]);
    ASSERT_EQ(SearchPattern.length, 2u);
    EXPECT_EQ(std::memcmp(SearchPattern.bytes, "MZ", 2), 0);
    EXPECT_NE(WorkerThread, nullptr);

    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_EQ(ReadResultTree(ResultTree),
              (std::vector<FileResult>{{hit, {L"00000002", L"00000006"}}, {inner, {L"00000000"}}}));
    ExpectIdleControls();

    // The next dialog shows the last entries first.
    Command(IDM_SEARCH);
    ASSERT_NE(SearchDialog, nullptr);
    EXPECT_EQ(ComboText(IDC_SEARCH_TEXT), L"MZ");
    EXPECT_EQ(ComboText(IDC_FILE_TYPES), L"*.bin");
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(SearchDialog, nullptr);
}

TEST_F(SearchFlowTest, OkWithoutTextDoesNothingAndEmptyTypesSearchEverything)
{
    const std::wstring file = root.AddFile(L"any.dat", "xMZ");
    SearchFor(root.Path(), L"", L"*.bin");
    EXPECT_NE(SearchDialog, nullptr);
    EXPECT_STREQ(RecentSearches.slots[0], L"");
    EXPECT_STREQ(RecentExtensions.slots[0], L"*.*");
    EXPECT_EQ(WorkerThread, nullptr);

    SetDlgItemTextW(SearchDialog, IDC_SEARCH_TEXT, L"MZ");
    SetDlgItemTextW(SearchDialog, IDC_FILE_TYPES, L"");
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(SearchDialog, nullptr);
    EXPECT_EQ(ActiveFileTypes, nullptr);
    EXPECT_STREQ(RecentExtensions.slots[0], L"*.*");
    EXPECT_STREQ(RecentExtensions.slots[1], L"*.exe;*.dll;*.sys");
    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_EQ(ReadResultTree(ResultTree), (std::vector<FileResult>{{file, {L"00000001"}}}));
}

TEST_F(SearchFlowTest, TextThatFailsToEncodeShowsTheSystemsMessageAndKeepsTheDialog)
{
    Command(IDM_HEX);
    BYTE scratch[4];
    DWORD size = sizeof(scratch);
    CryptStringToBinaryW(L"XY", 2, CRYPT_STRING_HEX, scratch, &size, nullptr, nullptr);
    wchar_t* expected = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(),
                   LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&expected), 0, nullptr);
    ASSERT_NE(expected, nullptr);
    std::wstring expectedText = expected;
    LocalFree(expected);
    while (!expectedText.empty() && (expectedText.back() == L'\n' || expectedText.back() == L'\r'))
        expectedText.pop_back();

    ModalAnswerer box(L"Pellux", IDOK);
    SearchFor(root.Path(), L"XY", L"*.hex");
    ASSERT_TRUE(PumpUntil([&] { return box.Seen(); }, 20000));
    std::wstring shown = box.Text();
    while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r'))
        shown.pop_back();
    EXPECT_EQ(shown, expectedText);
    EXPECT_NE(SearchDialog, nullptr);
    EXPECT_EQ(WorkerThread, nullptr);
    // Both texts were recorded before the encoding failed.
    EXPECT_STREQ(RecentSearches.slots[0], L"XY");
    EXPECT_STREQ(RecentExtensions.slots[0], L"*.hex");
}

TEST_F(SearchFlowTest, SearchWithoutAFolderOpensTheFolderPickerFirst)
{
    SearchPath[LONG_PATH_PREFIX_UNITS] = L'\0';
    ModalAnswerer picker(nullptr, IDCANCEL);
    Command(IDM_SEARCH);
    EXPECT_TRUE(picker.Seen()) << "no folder picker appeared";
    EXPECT_EQ(SearchDialog, nullptr);  // cancelled: nothing opens
    EXPECT_EQ(WindowText(MainWindow), L"Pellux");
    EXPECT_EQ(SearchPath[LONG_PATH_PREFIX_UNITS], L'\0');
}

TEST_F(SearchFlowTest, StopKeepsTheNodesFoundAndReturnsToIdle)
{
    root.AddFile(L"many.bin", std::string(1 << 20, 'A'));
    const std::wstring other = root.AddFile(L"other\\x.bin", "AA");
    SetSearchFolder(root.Path());
    SetPattern("AA");
    RecentSearches = {};
    RecentPush(RecentSearches, L"AA");
    // Held in the middle of a batch, after 300 matches.
    HoldingReport hold;
    hold.holdAfter = 300;
    StartSearch(hold);
    ASSERT_TRUE(PumpUntil([] { return SendMessageW(ResultTree, TVM_GETCOUNT, 0, 0) > 200; }));
    // Running: the commands that change the search are off.
    EXPECT_TRUE(MenuGrayed(IDM_OPEN));
    EXPECT_TRUE(MenuGrayed(IDM_SEARCH));
    EXPECT_TRUE(MenuGrayed(IDM_RECENT));
    EXPECT_TRUE(MenuGrayed(IDM_SUBFOLDERS));
    EXPECT_FALSE(MenuGrayed(IDM_STOP));
    EXPECT_TRUE(IsWindowVisible(ProgressBar));

    // A folder dropped meanwhile is ignored.
    const std::wstring caption = WindowText(MainWindow);
    SendMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({root.AddFolder(L"dropped")})), 0);
    EXPECT_EQ(WindowText(MainWindow), caption);
    EXPECT_STREQ(RecentFolders.slots[0], L"");

    // A second start while one runs is refused.
    const HANDLE running = WorkerThread;
    StartSearchFromWindow(MainWindow);
    EXPECT_EQ(WorkerThread, running);

    Command(IDM_STOP);
    EXPECT_EQ(WorkerThread, nullptr);
    EXPECT_EQ(SearchRunning.load(), 0);
    // The worker cannot finish before this thread serves its last messages:
    // until then it still owns SearchPath, so drops and starts are refused.
    ASSERT_TRUE(IsWorkerBusy());
    SendMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({root.AddFolder(L"late")})), 0);
    EXPECT_EQ(WindowText(MainWindow), caption);
    EXPECT_STREQ(RecentFolders.slots[0], L"");
    StartSearchFromWindow(MainWindow);
    EXPECT_EQ(WorkerThread, nullptr);
    // OK in that moment keeps the dialog and changes nothing.
    Command(IDM_SEARCH);
    ASSERT_NE(SearchDialog, nullptr);
    SetDlgItemTextW(SearchDialog, IDC_SEARCH_TEXT, L"late text");
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_NE(SearchDialog, nullptr);
    EXPECT_STREQ(RecentSearches.slots[0], L"AA");
    EXPECT_EQ(WorkerThread, nullptr);
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    hold.Release();
    ASSERT_TRUE(WaitForWorkerToFinish());
    // Every match found before the stop is in the tree, in order, and only those.
    const auto found = ReadResultTree(ResultTree);
    ASSERT_EQ(found.size(), 1u);
    const UINT64 reported = LastMatchCounts().found;
    EXPECT_GE(reported, 300u);
    EXPECT_LT(reported, (1u << 20) / 2);
    ASSERT_EQ(found[0].offsets.size(), reported);
    for (size_t i = 0; i < found[0].offsets.size(); ++i)
        ASSERT_EQ(found[0].offsets[i], OffsetText(2 * i));
    ExpectIdleControls();

    // A new search starts from an empty tree.
    SearchFor(root.AddFolder(L"other"), L"AA", L"");
    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_EQ(ReadResultTree(ResultTree), (std::vector<FileResult>{{other, {L"00000000"}}}));
}

TEST_F(SearchFlowTest, DroppedFolderIsChosenWholeAndOpensTheDialog)
{
    // Longer than the classic 260 units: must arrive whole, not cut.
    const std::wstring longFolder = root.AddFolder(std::wstring(150, L'x') + L"\\" + std::wstring(150, L'y'));
    ASSERT_GT(longFolder.size(), 300u);
    const std::wstring second = root.AddFolder(L"second");
    SendMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({longFolder, second})), 0);
    EXPECT_EQ(std::wstring(SearchPath + LONG_PATH_PREFIX_UNITS), longFolder);
    EXPECT_EQ(WindowText(MainWindow), (L"Pellux " + longFolder).substr(0, 519));
    EXPECT_EQ(std::wstring(RecentFolders.slots[0]), longFolder);
    EXPECT_STREQ(RecentFolders.slots[1], L"");
    EXPECT_NE(SearchDialog, nullptr);
    EXPECT_EQ(GetMenuItemCount(RecentMenu), 1);
    SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);

    // Too long for a list slot: searched, but not remembered as a cut path
    // that would name another folder.
    std::wstring deep;
    for (int i = 0; i < 5; ++i)
        deep += std::wstring(220, static_cast<wchar_t>(L'a' + i)) + L"\\";
    const std::wstring tooLong = root.AddFolder(deep.substr(0, deep.size() - 1));
    ASSERT_GE(tooLong.size(), static_cast<size_t>(RECENT_SLOT_UNITS));
    SendMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({tooLong})), 0);
    EXPECT_EQ(std::wstring(SearchPath + LONG_PATH_PREFIX_UNITS), tooLong);
    EXPECT_EQ(std::wstring(RecentFolders.slots[0]), longFolder);
    EXPECT_STREQ(RecentFolders.slots[1], L"");
    EXPECT_NE(SearchDialog, nullptr);
}

TEST_F(SearchFlowTest, DroppedFileOpensThePickerAndKeepsTheFolder)
{
    SetSearchFolder(root.Path());
    const std::wstring file = root.AddFile(L"f.txt", "x");
    ModalAnswerer picker(nullptr, IDCANCEL);
    SendMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
    EXPECT_TRUE(picker.Seen());
    EXPECT_EQ(std::wstring(SearchPath + LONG_PATH_PREFIX_UNITS), root.Path());
    EXPECT_STREQ(RecentFolders.slots[0], L"");
    EXPECT_EQ(SearchDialog, nullptr);
}

TEST_F(SearchFlowTest, RecentFoldersPresentOrMissing)
{
    const std::wstring present = root.AddFolder(L"present");
    const std::wstring missing = root.Path() + L"\\gone";
    wcscpy(RecentFolders.slots[0], missing.c_str());
    wcscpy(RecentFolders.slots[1], present.c_str());
    RebuildRecentMenu(MainWindow);

    // Present: chosen and moved to the top; no dialog opens.
    Command(IDM_RECENT_FIRST + 1);
    EXPECT_EQ(std::wstring(SearchPath + LONG_PATH_PREFIX_UNITS), present);
    EXPECT_EQ(WindowText(MainWindow), L"Pellux " + present);
    EXPECT_EQ(std::wstring(RecentFolders.slots[0]), present);
    EXPECT_EQ(std::wstring(RecentFolders.slots[1]), missing);
    EXPECT_EQ(SearchDialog, nullptr);

    // Missing, answered No: nothing changes.
    const std::wstring question = L"The folder '" + missing +
                                  L"' cannot be opened.\nDo you want to remove the reference to it from the Recent list?";
    {
        ModalAnswerer box(L"Pellux", IDNO);
        Command(IDM_RECENT_FIRST + 1);
        ASSERT_TRUE(box.Seen());
        EXPECT_EQ(box.Text(), question);
    }
    EXPECT_EQ(std::wstring(RecentFolders.slots[1]), missing);
    EXPECT_EQ(GetMenuItemCount(RecentMenu), 2);

    // Missing, answered Yes: removed from list and menu.
    {
        ModalAnswerer box(L"Pellux", IDYES);
        Command(IDM_RECENT_FIRST + 1);
        ASSERT_TRUE(box.Seen());
    }
    EXPECT_EQ(std::wstring(RecentFolders.slots[0]), present);
    EXPECT_STREQ(RecentFolders.slots[1], L"");
    EXPECT_EQ(GetMenuItemCount(RecentMenu), 1);
    EXPECT_EQ(std::wstring(SearchPath + LONG_PATH_PREFIX_UNITS), present);
}

TEST_F(SearchFlowTest, BatchedTreeIsTheWalksResultNodeForNode)
{
    // Files in enumeration order, one with matches over several batches, one
    // with none (no node), one in a subfolder.
    std::string many(3 * BATCH_OFFSETS * 2 + 7, 'A');
    root.AddFile(L"a.bin", many);
    root.AddFile(L"b.bin", "no match");
    root.AddFile(L"c\\d.bin", "xAAxAA");
    root.AddFile(L"e.bin", "AAA");
    SetSearchFolder(root.Path());
    SetPattern("AA");
    RecordingReport reference;
    SearchRunning = 1;
    ScanFolder(reference);
    SearchRunning = 0;
    std::vector<NodeView> expected;
    for (const FileResult& file : reference.files) {
        expected.push_back({file.path, 1, 0, 0});
        for (const std::wstring& offset : file.offsets)
            expected.push_back({offset, 0, 0, 0});
    }
    ASSERT_EQ(reference.files.size(), 3u);

    SearchFor(root.Path(), L"AA", L"");
    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_TRUE(ReadNodes() == expected);
    EXPECT_EQ(SendMessageW(ResultTree, TVM_GETCOUNT, 0, 0), static_cast<LRESULT>(expected.size()));
    EXPECT_EQ(LastMatchCounts().notShown, 0u);
    ExpectIdleControls();
}

TEST_F(SearchFlowTest, StatusShowsTheFileBeingScannedAndNothingStale)
{
    root.AddFile(L"a.bin", std::string(4096, 'x'));
    const std::wstring held = root.AddFile(L"b.bin", std::string(4096, 'y'));
    const std::wstring last = root.AddFile(L"c\\short.bin", "M");  // shorter than the pattern
    SetSearchFolder(root.Path());
    SetPattern("MZ");
    HoldingReport hold;
    hold.holdAt = held;
    StartSearch(hold);
    // Held at b.bin: it stays on show for as long as it is scanned.
    ASSERT_TRUE(PumpUntil([&] { return hold.held && ReadStatusText(StatusBar) == held; }, 10000));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(ReadStatusText(StatusBar), held);

    // The short last file is shown while the walk is in it.
    hold.holdAt = last;
    hold.Release();
    ASSERT_TRUE(PumpUntil([&] { return ReadStatusText(StatusBar) == last; }, 10000));
    hold.Release();
    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_EQ(ReadStatusText(StatusBar), L"");
}

TEST_F(SearchFlowTest, FileLeftLongAgoIsNotShown)
{
    // Held after leaving a.bin, before the walk reaches another file: the
    // name must go within about the interval, not stay up.
    const std::wstring first = root.AddFile(L"a.bin", "xx");
    root.AddFile(L"b.bin", "MZ");
    SetSearchFolder(root.Path());
    SetPattern("MZ");
    HoldingReport hold;
    hold.leaveAt = first;
    StartSearch(hold);
    ASSERT_TRUE(PumpUntil([&] { return hold.held.load(); }, 10000));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(ReadStatusText(StatusBar), L"");
    hold.Release();
    ASSERT_TRUE(WaitForWorkerToFinish());
    EXPECT_EQ(ReadResultTree(ResultTree).size(), 1u);
}
