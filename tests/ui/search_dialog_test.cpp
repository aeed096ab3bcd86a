// The Search dialog's ways out that start no search (Esc, Cancel, the close
// button, Alt+F4), and the 1,022-unit limit of its two fields, on the real
// dialog driven through the product's own message loop order.
#include "main_window_fixture.h"
#include <cstring>
#include <string>
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

constexpr size_t kLimit = 1022;

HWND FieldEdit(int control) { return GetWindow(GetDlgItem(SearchDialog, control), GW_CHILD); }

std::wstring FieldText(int control)
{
    wchar_t text[2048] = {};
    GetDlgItemTextW(SearchDialog, control, text, ARRAYSIZE(text));
    return text;
}

// Types text into a field one WM_CHAR at a time, as the keyboard does.
void Type(int control, const std::wstring& text)
{
    const HWND edit = FieldEdit(control);
    for (wchar_t unit : text)
        SendMessageW(edit, WM_CHAR, unit, 1);
}

bool PutOnClipboard(const std::wstring& text)
{
    if (!OpenClipboard(MainWindow))
        return false;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory != nullptr) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!placed)
            GlobalFree(memory);
    }
    CloseClipboard();
    return placed;
}

// Serves the queued messages in the order of the product's loop: shortcuts,
// then the Search dialog, then dispatch.
void ServeMessages(HACCEL accelerators)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateAppMessage(accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Answers the error box of a failed encoding from inside its modal loop,
// on a timer of this thread, and notes that it was shown.
bool ErrorBoxSeen = false;

BOOL CALLBACK AnswerErrorBox(HWND window, LPARAM)
{
    wchar_t cls[16] = {}, caption[16] = {};
    GetClassNameW(window, cls, ARRAYSIZE(cls));
    GetWindowTextW(window, caption, ARRAYSIZE(caption));
    if (std::wstring(cls) != L"#32770" || std::wstring(caption) != L"Pellux" || !IsWindowVisible(window))
        return TRUE;
    ErrorBoxSeen = true;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return FALSE;
}

void CALLBACK LookForErrorBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), AnswerErrorBox, 0);
    if (ErrorBoxSeen)
        KillTimer(nullptr, timer);
}

class SearchDialogTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        accelerators_ = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
        ASSERT_NE(accelerators_, nullptr);
        ASSERT_NE(Create(), nullptr);
        ShowWindow(MainWindow, SW_SHOWNORMAL);
        // Any folder name will do: the dialog only needs one to be chosen.
        wcscpy(SearchPath + LONG_PATH_PREFIX_UNITS, L"C:\\");
    }

    HWND Open()
    {
        Command(IDM_SEARCH);
        EXPECT_NE(SearchDialog, nullptr);
        return SearchDialog;
    }

    // OK with a text that fails to encode: both texts are recorded, the
    // error box is answered and no search starts.
    void OkThatFailsToEncode()
    {
        Command(IDM_HEX);
        ErrorBoxSeen = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForErrorBox);
        SendMessageW(SearchDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(ErrorBoxSeen);
        EXPECT_NE(SearchDialog, nullptr);
        EXPECT_EQ(WorkerThread, nullptr);
    }

    HACCEL accelerators_ = nullptr;
};

TEST_F(SearchDialogTest, EscCancelAndTheCloseButtonCloseWithoutChangingAList)
{
    wcscpy(RecentSearches.slots[0], L"earlier");
    wcscpy(RecentExtensions.slots[0], L"*.old");
    const RecentList searches = RecentSearches;
    const RecentList extensions = RecentExtensions;

    const struct {
        const char* name;
        void (*close)(HWND dialog, HWND edit);
    } ways[] = {
        {"Esc", [](HWND, HWND edit) { PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1); }},
        {"Cancel", [](HWND dialog, HWND) {
             PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                          reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
         }},
        // The caption's button asks for SC_CLOSE, which arrives as WM_CLOSE.
        {"close button", [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4", [](HWND, HWND edit) { PostMessageW(edit, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        const HWND dialog = Open();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(FieldText(IDC_SEARCH_TEXT), L"earlier");
        // Texts typed but never confirmed.
        SetWindowTextW(FieldEdit(IDC_SEARCH_TEXT), L"");
        Type(IDC_SEARCH_TEXT, L"typed");
        SetWindowTextW(FieldEdit(IDC_FILE_TYPES), L"");
        Type(IDC_FILE_TYPES, L"*.new");
        SetFocus(FieldEdit(IDC_SEARCH_TEXT));

        way.close(dialog, FieldEdit(IDC_SEARCH_TEXT));
        ServeMessages(accelerators_);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(SearchDialog, nullptr);
        EXPECT_TRUE(IsWindow(MainWindow)) << "the main window went with the dialog";
        EXPECT_EQ(memcmp(&RecentSearches, &searches, sizeof(searches)), 0);
        EXPECT_EQ(memcmp(&RecentExtensions, &extensions, sizeof(extensions)), 0);
        EXPECT_EQ(ActiveFileTypes, nullptr);
        EXPECT_EQ(WorkerThread, nullptr);
        if (!IsWindow(MainWindow))
            break;
    }
    // Closed every time, so the next Search opens a new dialog.
    EXPECT_NE(Open(), nullptr);
}

TEST_F(SearchDialogTest, EachFieldTakesAtMost1022UnitsTypedOrPasted)
{
    Open();
    ASSERT_NE(SearchDialog, nullptr);
    const struct {
        int control;
        wchar_t unit;
    } fields[] = {{IDC_SEARCH_TEXT, L'X'}, {IDC_FILE_TYPES, L't'}};
    for (const auto& field : fields) {
        SCOPED_TRACE(field.control);
        // Pasted: only what fits the limit arrives.
        std::wstring pasted;
        for (size_t i = 0; i < kLimit + 80; ++i)
            pasted += static_cast<wchar_t>(L'a' + i % 26);
        ASSERT_TRUE(PutOnClipboard(pasted));
        SetWindowTextW(FieldEdit(field.control), L"");
        SendMessageW(FieldEdit(field.control), WM_PASTE, 0, 0);
        EXPECT_EQ(FieldText(field.control), pasted.substr(0, kLimit));

        // Typed: the 1,023rd unit is refused.
        SetWindowTextW(FieldEdit(field.control), L"");
        Type(field.control, std::wstring(kLimit + 1, field.unit));
        EXPECT_EQ(FieldText(field.control), std::wstring(kLimit, field.unit));
    }
    if (OpenClipboard(MainWindow)) {
        EmptyClipboard();
        CloseClipboard();
    }

    // A text at the limit reaches both lists whole ("X" is no hex digit).
    OkThatFailsToEncode();
    EXPECT_EQ(std::wstring(RecentSearches.slots[0]), std::wstring(kLimit, L'X'));
    EXPECT_EQ(std::wstring(RecentExtensions.slots[0]), std::wstring(kLimit, L't'));
}

TEST_F(SearchDialogTest, StoredEntryLongerThanTheTypingLimitIsTakenWhole)
{
    // The stored lists hold up to 1,023 units; the limit only stops typing.
    const std::wstring stored(kLimit + 1, L'Y');
    wcscpy(RecentSearches.slots[0], stored.c_str());
    Open();
    ASSERT_NE(SearchDialog, nullptr);
    EXPECT_EQ(FieldText(IDC_SEARCH_TEXT), stored);
    OkThatFailsToEncode();
    EXPECT_EQ(std::wstring(RecentSearches.slots[0]), stored);
    EXPECT_STREQ(RecentSearches.slots[1], L"");  // moved to the top, not copied
}

}  // namespace
