// The resources linked into the executable: menu, shortcuts, tooltip strings,
// dialog templates, manifest and version block, read back as the system
// loads them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "res/resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

struct MenuEntry {
    const wchar_t* text;  // nullptr for a separator
    UINT id;
    bool grayed;
};

void ExpectPopup(HMENU menu, int position, const wchar_t* title, const std::vector<MenuEntry>& entries)
{
    wchar_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = ARRAYSIZE(text);
    ASSERT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info));
    EXPECT_STREQ(text, title);
    HMENU popup = info.hSubMenu;
    ASSERT_NE(popup, nullptr) << "popup " << position;
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(entries.size())) << "popup " << position;
    for (size_t k = 0; k < entries.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "popup " << position << " item " << k);
        wchar_t itemText[128] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = itemText;
        item.cch = ARRAYSIZE(itemText);
        ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(k), TRUE, &item));
        if (!entries[k].text) {
            EXPECT_TRUE(item.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_FALSE(item.fType & MFT_SEPARATOR);
        EXPECT_STREQ(itemText, entries[k].text);
        EXPECT_EQ(item.wID, entries[k].id);
        EXPECT_EQ((item.fState & MFS_GRAYED) != 0, entries[k].grayed);
        EXPECT_FALSE(item.fState & MFS_CHECKED);
        EXPECT_EQ(item.hSubMenu, nullptr);
    }
}

TEST(Resources, MenuBarHasEveryCommandWithItsTextAndState)
{
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAINMENU));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    ExpectPopup(menu, 0, L"&File",
                {{L"&Open...\tCtrl+O", IDM_OPEN, false},
                 {L"&Search...\tCtrl+F", IDM_SEARCH, false},
                 {L"S&top\tCtrl+Q", IDM_STOP, true},
                 {nullptr, 0, false},
                 {L"&Recent Folders", IDM_RECENT, true},
                 {nullptr, 0, false},
                 {L"E&xit", IDM_EXIT, false}});
    ExpectPopup(menu, 1, L"&View",
                {{L"&Expand All", IDM_EXPAND_ALL, false},
                 {L"&Collapse All", IDM_COLLAPSE_ALL, false},
                 {nullptr, 0, false},
                 {L"Include &Subfolders\tCtrl+S", IDM_SUBFOLDERS, false}});
    ExpectPopup(menu, 2, L"Forma&t",
                {{L"&Ansi\tAlt+1", IDM_ANSI, false},
                 {L"&Unicode\tAlt+2", IDM_UNICODE, false},
                 {L"&Hex\tAlt+3", IDM_HEX, false}});
    ExpectPopup(menu, 3, L"&Help", {{L"&About ...", IDM_ABOUT, false}});
    DestroyMenu(menu);
}

TEST(Resources, AcceleratorsAreVirtualKeysWithoutInvertInTableOrder)
{
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[16] = {};
    const int count = CopyAcceleratorTableW(table, entries, ARRAYSIZE(entries));
    const ACCEL expected[] = {
        {FVIRTKEY | FNOINVERT | FCONTROL, 'J', IDM_JUMP_TO}, {FVIRTKEY | FNOINVERT | FCONTROL, 'O', IDM_OPEN},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'F', IDM_SEARCH},  {FVIRTKEY | FNOINVERT | FCONTROL, 'Q', IDM_STOP},
        {FVIRTKEY | FNOINVERT | FALT, '1', IDM_ANSI},        {FVIRTKEY | FNOINVERT | FALT, '3', IDM_HEX},
        {FVIRTKEY | FNOINVERT | FALT, '2', IDM_UNICODE},     {FVIRTKEY | FNOINVERT | FCONTROL, 'S', IDM_SUBFOLDERS},
    };
    ASSERT_EQ(count, static_cast<int>(ARRAYSIZE(expected)));
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(entries[k].fVirt & 0x7F, expected[k].fVirt);  // 0x80 marks the last entry
        EXPECT_EQ(entries[k].key, expected[k].key);
        EXPECT_EQ(entries[k].cmd, expected[k].cmd);
    }
}

TEST(Resources, TooltipStringsUseTheCommandIds)
{
    const struct {
        UINT id;
        const wchar_t* text;
    } strings[] = {
        {IDM_OPEN, L"Open (Ctrl+O)"},
        {IDM_SEARCH, L"Search (Ctrl+F)"},
        {IDM_STOP, L"Stop (Ctrl+Q)"},
        {IDM_SUBFOLDERS, L"Include Subfolders (Ctrl+S)"},
        {IDM_ANSI, L"Ansi (Alt+1)"},
        {IDM_UNICODE, L"Unicode (Alt+2)"},
        {IDM_HEX, L"Hex (Alt+3)"},
    };
    for (const auto& entry : strings) {
        wchar_t text[260] = {};
        EXPECT_GT(LoadStringW(Module(), entry.id, text, ARRAYSIZE(text)), 0);
        EXPECT_STREQ(text, entry.text);
    }
    // Commands without a button have no tooltip string.
    for (UINT id : {IDM_EXIT, IDM_ABOUT, IDM_RECENT, IDM_JUMP_TO}) {
        wchar_t text[260] = {};
        EXPECT_EQ(LoadStringW(Module(), id, text, ARRAYSIZE(text)), 0) << id;
    }
}

TEST(Resources, LanguagesAreEnglishNeutralExceptVersionAndManifest)
{
    const WORD neutral = MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);
    const WORD us = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const struct {
        LPCWSTR type;
        UINT name;
        WORD language;
    } resources[] = {
        {RT_MENU, IDR_MAINMENU, neutral},
        {RT_ACCELERATOR, IDR_ACCELERATORS, neutral},
        {RT_DIALOG, IDD_ABOUT, neutral},
        {RT_DIALOG, IDD_SEARCH, neutral},
        {RT_STRING, IDM_OPEN / 16 + 1, neutral},
        {RT_STRING, IDM_SUBFOLDERS / 16 + 1, neutral},
        {RT_STRING, IDM_ANSI / 16 + 1, neutral},
        {RT_VERSION, 1, us},
        {RT_MANIFEST, 1, us},
    };
    for (const auto& resource : resources) {
        EXPECT_NE(FindResourceExW(Module(), resource.type, MAKEINTRESOURCEW(resource.name), resource.language),
                  nullptr)
            << "type " << reinterpret_cast<UINT_PTR>(resource.type) << " name " << resource.name;
    }
}

std::string ResourceText(LPCWSTR type, UINT name)
{
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(name), type);
    if (!found)
        return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(Module(), found)));
    return std::string(data, SizeofResource(Module(), found));
}

TEST(Resources, ManifestAsksForCommonControls6AsInvokerWithoutDpiAwareness)
{
    const std::string manifest = ResourceText(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
}

// --- Extended dialog templates, parsed as the dialog manager reads them.

struct Control {
    DWORD style;
    DWORD id;
    short x, y, cx, cy;
    std::wstring className;  // "#0080" style for a predefined class atom
    std::wstring text;       // "#1" for an ordinal (an icon resource)
};

struct Template {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, className, caption, face;
    WORD points = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::vector<Control> controls;
};

// A string-or-ordinal field: 0 (none), 0xFFFF + ordinal, or a string.
std::wstring ReadField(const WORD*& p)
{
    if (*p == 0) {
        ++p;
        return {};
    }
    if (*p == 0xFFFF) {
        wchar_t text[16] = {};
        wsprintfW(text, L"#%u", p[1]);
        p += 2;
        return text;
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(p));
    p += text.size() + 1;
    return text;
}

Template ParseTemplate(UINT name)
{
    Template result;
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(name), RT_DIALOG);
    if (!found)
        return result;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    const WORD* p = reinterpret_cast<const WORD*>(base);
    if (p[0] != 1 || p[1] != 0xFFFF)  // not DLGTEMPLATEEX
        return result;
    DWORD header[3];  // helpID, exStyle, style
    memcpy(header, p + 2, sizeof(header));
    result.exStyle = header[1];
    result.style = header[2];
    const WORD count = p[8];
    memcpy(&result.x, p + 9, 8);
    p += 13;
    result.menu = ReadField(p);
    result.className = ReadField(p);
    result.caption = reinterpret_cast<const wchar_t*>(p);
    p += result.caption.size() + 1;
    if (result.style & DS_SETFONT) {
        result.points = p[0];
        result.weight = p[1];
        result.italic = LOBYTE(p[2]);
        result.charset = HIBYTE(p[2]);
        p += 3;
        result.face = reinterpret_cast<const wchar_t*>(p);
        p += result.face.size() + 1;
    }
    for (WORD k = 0; k < count; ++k) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
        Control control;
        DWORD fields[3];  // helpID, exStyle, style
        memcpy(fields, p, sizeof(fields));
        control.style = fields[2];
        memcpy(&control.x, p + 6, 8);
        memcpy(&control.id, p + 10, 4);
        p += 12;
        control.className = ReadField(p);
        control.text = ReadField(p);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        result.controls.push_back(control);
    }
    return result;
}

bool SameClass(const std::wstring& actual, const wchar_t* expected)
{
    // Predefined classes may be stored as atoms: 0x80 button, 0x82 static, 0x85 combo box.
    const struct {
        const wchar_t* atom;
        const wchar_t* name;
    } atoms[] = {{L"#128", L"Button"}, {L"#130", L"Static"}, {L"#133", L"ComboBox"}};
    for (const auto& entry : atoms) {
        if (actual == entry.atom)
            return lstrcmpiW(expected, entry.name) == 0;
    }
    return lstrcmpiW(actual.c_str(), expected) == 0;
}

void ExpectFont(const Template& dialog)
{
    EXPECT_EQ(dialog.points, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(dialog.face, L"MS Shell Dlg");
    EXPECT_EQ(dialog.menu, L"");
    EXPECT_EQ(dialog.className, L"");
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
}

void ExpectControls(const Template& dialog, const std::vector<Control>& expected)
{
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(k);
        const Control& actual = dialog.controls[k];
        EXPECT_EQ(actual.id, expected[k].id);
        EXPECT_TRUE(SameClass(actual.className, expected[k].className.c_str())) << actual.className.c_str();
        EXPECT_EQ(actual.text, expected[k].text);
        EXPECT_EQ(actual.x, expected[k].x);
        EXPECT_EQ(actual.y, expected[k].y);
        EXPECT_EQ(actual.cx, expected[k].cx);
        EXPECT_EQ(actual.cy, expected[k].cy);
        EXPECT_EQ(actual.style, expected[k].style) << std::hex << actual.style;
    }
}

TEST(Resources, AboutTemplateHasItsControlsStylesAndSizes)
{
    const Template about = ParseTemplate(IDD_ABOUT);
    EXPECT_EQ(about.style, 0x90C808C8u);
    EXPECT_EQ(about.exStyle, 0u);
    EXPECT_EQ(about.cx, 229);
    EXPECT_EQ(about.cy, 57);
    EXPECT_EQ(about.caption, L"");
    ExpectFont(about);
    const DWORD NO_ID = static_cast<DWORD>(-1);
    ExpectControls(about, {
                              {0x50010001, IDOK, 178, 8, 45, 14, L"Button", L"OK"},
                              {0x50000003, NO_ID, 7, 7, 20, 20, L"Static", L"#1"},
                              {0x50020000, IDC_VERSION, 40, 8, 132, 10, L"Static", L""},
                              {0x50020000, IDC_COPYRIGHT, 40, 20, 132, 10, L"Static", L""},
                              {0x50000000, IDC_LINK, 40, 35, 132, 10, L"SysLink", L""},
                          });
}

TEST(Resources, SearchTemplateHasItsControlsStylesAndSizes)
{
    const Template search = ParseTemplate(IDD_SEARCH);
    EXPECT_EQ(search.style, 0x80C808C8u);
    EXPECT_EQ(search.exStyle, 0x00010000u);
    EXPECT_EQ(search.cx, 281);
    EXPECT_EQ(search.cy, 110);
    EXPECT_EQ(search.caption, L"Search");
    ExpectFont(search);
    const DWORD NO_ID = static_cast<DWORD>(-1);
    ExpectControls(search, {
                               {0x50210042, IDC_SEARCH_TEXT, 7, 18, 267, 30, L"ComboBox", L""},
                               {0x50210042, IDC_FILE_TYPES, 7, 55, 267, 30, L"ComboBox", L""},
                               {0x50010001, IDOK, 165, 89, 50, 14, L"Button", L"OK"},
                               {0x50010000, IDCANCEL, 223, 89, 50, 14, L"Button", L"Cancel"},
                               {0x50020000, NO_ID, 7, 7, 138, 8, L"Static", L"Search for:"},
                               {0x50020000, NO_ID, 7, 44, 138, 8, L"Static", L"Look at these file types:"},
                           });
}

// --- Version block of this executable (the same resources as pellux.exe).

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    wchar_t query[128] = {};
    wsprintfW(query, L"\\StringFileInfo\\040904b0\\%s", name);
    wchar_t* value = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &units) || !value)
        return L"<missing>";
    return value;
}

TEST(Resources, VersionBlockIsUsEnglishUnicodeWithDottedFileVersion)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, ARRAYSIZE(path)), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

    WORD* translation = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &bytes));
    ASSERT_GE(bytes, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
    wchar_t dotted[64] = {};
    wsprintfW(dotted, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(VersionString(block, L"FileVersion"), dotted);
    EXPECT_EQ(VersionString(block, L"ProductVersion"), dotted);
    EXPECT_EQ(VersionString(block, L"CompanyName"), L"Tavrin");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Pellux");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"pellux.exe");
    EXPECT_NE(VersionString(block, L"FileDescription"), L"<missing>");
    EXPECT_NE(VersionString(block, L"LegalCopyright").find(L"Tavrin"), std::wstring::npos);
}

}  // namespace
