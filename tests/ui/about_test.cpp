// The About box, opened through its command, read back while it is open
// (from a timer running inside its modal loop) and closed as a user would.
#include "main_window_fixture.h"
#include <commctrl.h>
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

enum class Closer { OkButton, EnterKey, CloseButton, AltF4, EscapeThenOk };

struct AboutVisit {
    Closer closer = Closer::OkButton;
    int ticks = 0;
    bool found = false;
    bool actedOnce = false;
    bool openAfterEscape = false;
    bool forced = false;  // the box did not close by itself and was ended
    std::wstring caption, version, copyright, link;
    bool okHasFocus = false;
    bool linkIsTabStop = true;
} Visit;

HWND FindAboutBox()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, ARRAYSIZE(name));
            if (lstrcmpW(name, L"#32770") == 0 && GetWindow(window, GW_OWNER) == MainWindow) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, id, text, ARRAYSIZE(text));
    return text;
}

void Act(HWND dialog)
{
    HWND ok = GetDlgItem(dialog, IDOK);
    switch (Visit.closer) {
    case Closer::OkButton: PostMessageW(ok, BM_CLICK, 0, 0); break;
    case Closer::EnterKey: PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 1); break;
    case Closer::CloseButton: PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Closer::AltF4: PostMessageW(dialog, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); break;
    case Closer::EscapeThenOk: PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 1); break;
    }
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindAboutBox();
    ++Visit.ticks;
    if (!dialog)
        return;
    if (!Visit.found) {
        Visit.found = true;
        wchar_t caption[64] = {};
        GetWindowTextW(dialog, caption, ARRAYSIZE(caption));
        Visit.caption = caption;
        Visit.version = ItemText(dialog, IDC_VERSION);
        Visit.copyright = ItemText(dialog, IDC_COPYRIGHT);
        Visit.link = ItemText(dialog, IDC_LINK);
        Visit.okHasFocus = GetFocus() == GetDlgItem(dialog, IDOK);
        Visit.linkIsTabStop = (GetWindowLongPtrW(GetDlgItem(dialog, IDC_LINK), GWL_STYLE) & WS_TABSTOP) != 0;
        Act(dialog);
        Visit.actedOnce = true;
        return;
    }
    if (Visit.closer == Closer::EscapeThenOk && !Visit.openAfterEscape) {
        Visit.openAfterEscape = true;  // Esc has been handled by now and the box is still here
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        return;
    }
    if (Visit.ticks > 60) {
        Visit.forced = true;
        EndDialog(dialog, 0);
    }
}

// Opens the box through its command; returns when it has closed.
void OpenAbout(Closer closer)
{
    Visit = {};
    Visit.closer = closer;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, OnTick);
    SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    KillTimer(nullptr, timer);
}

std::wstring OwnVersionValue(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path, &ignored));
    GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data());
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    wchar_t* value = nullptr;
    UINT units = 0;
    if (block.empty() || !VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &units))
        return L"<missing>";
    return value;
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersionBlockAndTheLink)
{
    ASSERT_NE(Create(), nullptr);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    OpenAbout(Closer::OkButton);
    ASSERT_TRUE(Visit.found);
    EXPECT_EQ(Visit.caption, L"About Pellux");
    EXPECT_EQ(Visit.version, L"Pellux " + OwnVersionValue(L"FileVersion"));
    EXPECT_EQ(Visit.copyright, OwnVersionValue(L"LegalCopyright"));
    EXPECT_NE(Visit.copyright, L"");
    EXPECT_EQ(Visit.link, L"<a>www.tavrin.com/pellux</a>");
    EXPECT_TRUE(Visit.okHasFocus);
    EXPECT_FALSE(Visit.linkIsTabStop);
    EXPECT_FALSE(Visit.forced);
    EXPECT_TRUE(IsWindowEnabled(MainWindow));  // the owner is given back
}

TEST_F(MainWindowTest, AboutBoxClosesWithOkEnterCloseButtonAndAltF4ButNotEsc)
{
    ASSERT_NE(Create(), nullptr);
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    const struct {
        Closer closer;
        const char* name;
    } closers[] = {{Closer::OkButton, "OK"},
                   {Closer::EnterKey, "Enter"},
                   {Closer::CloseButton, "close button"},
                   {Closer::AltF4, "Alt+F4"}};
    for (const auto& entry : closers) {
        SCOPED_TRACE(entry.name);
        OpenAbout(entry.closer);
        EXPECT_TRUE(Visit.found);
        EXPECT_FALSE(Visit.forced);
    }
    OpenAbout(Closer::EscapeThenOk);
    EXPECT_TRUE(Visit.openAfterEscape);
    EXPECT_FALSE(Visit.forced);
}

TEST(AboutVersionLine, LongValuesAreCutToTheLineAndShortOnesTakeOnlyTheirUnits)
{
    // Guard units after the 260-unit line catch a write past its end.
    wchar_t buffer[260 + 8];
    const std::wstring longVersion(400, L'9');
    const struct {
        const wchar_t* value;
        UINT units;
        std::wstring expected;
    } cases[] = {
        {L"1.2.3.4", 8, L"Pellux 1.2.3.4"},  // the reported count includes the terminator
        {L"1.2.3.4", 3, L"Pellux 1.2"},
        {L"", 0, L"Pellux "},
        {longVersion.c_str(), 401, L"Pellux " + longVersion.substr(0, 259 - 7)},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.units);
        wmemset(buffer, L'#', ARRAYSIZE(buffer));
        ComposeVersionLine(buffer, 260, entry.value, entry.units);
        EXPECT_EQ(std::wstring(buffer), entry.expected);
        EXPECT_EQ(std::wstring(buffer + 260, 8), std::wstring(8, L'#'));
    }
}

}  // namespace
