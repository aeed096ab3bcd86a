// Keyboard shortcuts through the real accelerator table and the message
// loop's pre-translation: gated by the menu, aimed at the main window even
// from the Search dialog, and never handing a stale dialog handle on.
#include "main_window_fixture.h"
#include "res/resource.h"
#include "ui/handlers.h"

namespace {

// Holds the given modifiers down in this thread's keyboard state.
void PressModifiers(bool control, bool alt, bool shift)
{
    BYTE keys[256] = {};
    if (control)
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    if (alt)
        keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    if (shift)
        keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    SetKeyboardState(keys);
}

// What the loop would see for the key going down in target; TRUE when the
// pre-translation consumed it.
BOOL Key(HACCEL table, HWND target, UINT key, bool control, bool alt, bool shift = false)
{
    PressModifiers(control, alt, shift);
    MSG message = {};
    message.hwnd = target;
    // Alt combinations arrive as system keys with the context bit set.
    message.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    message.wParam = key;
    message.lParam = 1 | (alt ? (1 << 29) : 0);
    const BOOL consumed = PreTranslateAppMessage(table, &message);
    PressModifiers(false, false, false);
    return consumed;
}

class ShortcutTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        table_ = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
        ASSERT_NE(table_, nullptr);
        ASSERT_NE(Create(), nullptr);
    }
    HACCEL table_ = nullptr;
};

TEST_F(ShortcutTest, GrayedMenuItemsSwallowTheirShortcuts)
{
    HMENU menu = GetMenu(MainWindow);
    // Idle: Stop is grayed, so Ctrl+Q does not reach the Stop handler (which
    // would clear the flag set here).
    SearchRunning.store(1);
    Key(table_, MainWindow, 'Q', true, false);
    EXPECT_EQ(SearchRunning.load(), 1);

    // As while a search runs: Stop enabled, Include Subfolders grayed.
    EnableMenuItem(menu, IDM_STOP, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menu, IDM_SUBFOLDERS, MF_BYCOMMAND | MF_GRAYED);
    const DWORD subFolders = SubFolders;
    Key(table_, MainWindow, 'S', true, false);
    EXPECT_EQ(SubFolders, subFolders);
    EXPECT_TRUE(Key(table_, MainWindow, 'Q', true, false));
    EXPECT_EQ(SearchRunning.load(), 0);

    // Formats are never grayed: Alt+3 acts during a search too.
    EXPECT_TRUE(Key(table_, MainWindow, '3', false, true));
    EXPECT_EQ(StringType, 2u);
    EXPECT_TRUE(MenuChecked(IDM_HEX));
    EXPECT_TRUE(ButtonChecked(IDM_HEX));

    EnableMenuItem(menu, IDM_SUBFOLDERS, MF_BYCOMMAND | MF_ENABLED);
    EXPECT_TRUE(Key(table_, MainWindow, 'S', true, false));
    EXPECT_NE(SubFolders, subFolders);
}

TEST_F(ShortcutTest, OnlyTheExactKeysAndModifiersMatch)
{
    const DWORD subFolders = SubFolders;
    const struct {
        UINT key;
        bool control, alt, shift;
    } misses[] = {
        {'S', true, false, true},        // Ctrl+Shift+S
        {'S', false, false, false},      // plain S
        {VK_NUMPAD2, false, true, false},  // the keypad's 2 is another key
        {'2', true, false, false},       // Ctrl+2
        {'2', false, true, true},        // Alt+Shift+2
    };
    for (const auto& miss : misses) {
        SCOPED_TRACE(miss.key);
        EXPECT_FALSE(Key(table_, MainWindow, miss.key, miss.control, miss.alt, miss.shift));
        EXPECT_EQ(SubFolders, subFolders);
        EXPECT_EQ(StringType, 0u);
    }
    EXPECT_TRUE(Key(table_, MainWindow, '2', false, true));
    EXPECT_EQ(StringType, 1u);
}

// Stands in for user32's IsDialogMessageW in this executable's import table
// while it lives, counting the calls and passing each on; the system's own
// function refuses a dead handle silently, so only the call itself shows
// that the loop handed one over.
class DialogMessageSpy {
public:
    using Function = BOOL(WINAPI*)(HWND, MSG*);
    static inline int Calls = 0;

    DialogMessageSpy()
    {
        Calls = 0;
        Real = reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "IsDialogMessageW")));
        slot_ = FindImportSlot(reinterpret_cast<ULONG_PTR>(Real));
        if (slot_ != nullptr)
            Write(reinterpret_cast<ULONG_PTR>(&Count));
    }
    ~DialogMessageSpy()
    {
        if (slot_ != nullptr)
            Write(reinterpret_cast<ULONG_PTR>(Real));
    }
    DialogMessageSpy(const DialogMessageSpy&) = delete;
    DialogMessageSpy& operator=(const DialogMessageSpy&) = delete;

    bool Installed() const { return slot_ != nullptr; }

private:
    static inline Function Real = nullptr;

    static BOOL WINAPI Count(HWND dialog, MSG* message)
    {
        ++Calls;
        return Real(dialog, message);
    }

    // The import address table entry of this executable that holds target.
    static ULONG_PTR* FindImportSlot(ULONG_PTR target)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (target == 0 || imports.VirtualAddress == 0)
            return nullptr;
        for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             module->Name != 0; ++module) {
            for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
                 slot->u1.Function != 0; ++slot) {
                if (slot->u1.Function == target)
                    return reinterpret_cast<ULONG_PTR*>(&slot->u1.Function);
            }
        }
        return nullptr;
    }

    void Write(ULONG_PTR value)
    {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(*slot_), old, &old);
    }

    ULONG_PTR* slot_ = nullptr;
};

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST_F(ShortcutTest, ShortcutsReachTheMainWindowFromTheSearchDialogAndTabStaysTheDialogs)
{
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    SearchDialog = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(IDD_SEARCH), MainWindow, PlainDialogProc, 0);
    ASSERT_NE(SearchDialog, nullptr);
    ShowWindow(SearchDialog, SW_SHOW);
    // Keys go to the combo box's edit field.
    HWND edit = GetWindow(GetDlgItem(SearchDialog, IDC_SEARCH_TEXT), GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);

    EXPECT_TRUE(Key(table_, edit, '2', false, true));
    EXPECT_EQ(StringType, 1u);
    EXPECT_TRUE(MenuChecked(IDM_UNICODE));

    // Tab is the dialog's: it moves the focus to the next control.
    EXPECT_TRUE(Key(table_, edit, VK_TAB, false, false));
    HWND focus = GetFocus();
    EXPECT_NE(focus, edit);
    EXPECT_TRUE(IsChild(SearchDialog, focus));

    // A closed dialog whose handle was left behind is never handed to the
    // dialog manager, not even for a key aimed at that handle itself: a
    // handle value can come back naming another window.
    const HWND stale = SearchDialog;
    {
        DialogMessageSpy spy;
        ASSERT_TRUE(spy.Installed());
        EXPECT_TRUE(Key(table_, edit, VK_TAB, false, false));
        EXPECT_EQ(DialogMessageSpy::Calls, 1);  // the spy sees the loop's calls

        DestroyWindow(stale);
        ASSERT_FALSE(IsWindow(stale));
        DialogMessageSpy::Calls = 0;
        for (HWND target : {stale, MainWindow}) {
            EXPECT_FALSE(Key(table_, target, VK_TAB, false, false));
            EXPECT_FALSE(Key(table_, target, VK_ESCAPE, false, false));
        }
        EXPECT_EQ(DialogMessageSpy::Calls, 0);
    }
    SearchDialog = nullptr;
    EXPECT_FALSE(Key(table_, MainWindow, VK_TAB, false, false));
}

}  // namespace
