#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <string>
#include <vector>
#include "state/recent.h"
#include "support/recent_slots.h"
#include "state/settings.h"
#include "support/registry_sandbox.h"
#include "ui/controls.h"
#include <strsafe.h>

namespace {

const wchar_t kKey[] = L"Software\\Tavrin\\Pellux";
const wchar_t kFoldersKey[] = L"Software\\Tavrin\\Pellux\\Recent Folders";
const wchar_t kSearchesKey[] = L"Software\\Tavrin\\Pellux\\Recent Searches";
const wchar_t kExtensionsKey[] = L"Software\\Tavrin\\Pellux\\Recent Extensions";

using Bytes = std::vector<BYTE>;
struct Value {
    DWORD type;
    Bytes data;
    bool operator==(const Value&) const = default;
};
using Values = std::map<std::wstring, Value>;

// Logs a value readably when a comparison fails.
void PrintTo(const Value& v, std::ostream* os)
{
    *os << "type " << v.type << ", " << v.data.size() << " bytes";
}

Bytes Sz(const std::wstring& text)  // REG_SZ data with its terminator
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return Bytes(p, p + (text.size() + 1) * sizeof(wchar_t));
}

Bytes Dword(DWORD v)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&v);
    return Bytes(p, p + sizeof(v));
}

Bytes Placement(const WINDOWPLACEMENT& wp)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&wp);
    return Bytes(p, p + sizeof(wp));
}

void Write(const wchar_t* path, const wchar_t* name, DWORD type, const Bytes& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

// Every value of a key, with its exact type and bytes.
Values ReadAll(const wchar_t* path)
{
    Values out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; i++) {
        wchar_t name[256];
        DWORD nameUnits = ARRAYSIZE(name);
        BYTE data[4096];
        DWORD bytes = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameUnits, nullptr, &type, data, &bytes) != ERROR_SUCCESS)
            break;
        out[std::wstring(name, nameUnits)] = Value{type, Bytes(data, data + bytes)};
    }
    RegCloseKey(key);
    return out;
}

Values SzValues(const Slots& slots)  // what a saved list should look like
{
    Values out;
    for (size_t i = 0; i < slots.size(); i++)
        out[std::to_wstring(i)] = Value{REG_SZ, Sz(slots[i])};
    return out;
}

WINDOWPLACEMENT DefaultPlacement()
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = {LONG(CW_USEDEFAULT), LONG(CW_USEDEFAULT), LONG(CW_USEDEFAULT), LONG(CW_USEDEFAULT)};
    return wp;
}

// The state of a fresh process, before the settings are loaded.
void FreshStart()
{
    ZeroMemory(&RecentFolders, sizeof(RecentFolders));
    ZeroMemory(&RecentSearches, sizeof(RecentSearches));
    ZeroMemory(&RecentExtensions, sizeof(RecentExtensions));
    ZeroMemory(&MainWindowPlacement, sizeof(MainWindowPlacement));
    StringType = 99;
    SubFolders = 99;
}

class Settings : public testing::Test {
protected:
    void SetUp() override
    {
        FreshStart();
        MainWindow = CreateWindowExW(0, L"STATIC", L"Pellux test", WS_OVERLAPPEDWINDOW, 100, 50, 400, 300, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(MainWindow, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
    }

    void Place(UINT showCmd, RECT normal)
    {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        wp.showCmd = showCmd;
        wp.rcNormalPosition = normal;
        ASSERT_TRUE(SetWindowPlacement(MainWindow, &wp));
    }

    RegistrySandbox sandbox_;
};

bool SamePlacement(const WINDOWPLACEMENT& a, const WINDOWPLACEMENT& b)
{
    return memcmp(&a, &b, sizeof(a)) == 0;
}

TEST_F(Settings, FirstRunGivesDefaultsAndSaveWritesEveryValue)
{
    LoadSettings();
    EXPECT_TRUE(SamePlacement(MainWindowPlacement, DefaultPlacement()));
    EXPECT_EQ(StringType, 0u);
    EXPECT_EQ(SubFolders, 1u);
    EXPECT_EQ(ReadSlots(RecentFolders), PaddedSlots({}));
    EXPECT_EQ(ReadSlots(RecentSearches), PaddedSlots({}));
    EXPECT_EQ(ReadSlots(RecentExtensions), PaddedSlots({L"*.*", L"*.exe;*.dll;*.sys"}));
    EXPECT_FALSE(RegistryValueExists(kKey, L"MainWindow"));  // loading writes nothing

    RecentPush(RecentFolders, L"C:\\Data");
    RecentPush(RecentSearches, L"MZ");
    StringType = 2;
    Place(SW_SHOWNORMAL, {100, 50, 500, 350});
    SaveSettings(MainWindow);

    WINDOWPLACEMENT saved = {};
    const Values main = ReadAll(kKey);
    ASSERT_EQ(main.size(), 3u);
    ASSERT_EQ(main.count(L"MainWindow"), 1u);
    const Value& record = main.at(L"MainWindow");
    EXPECT_EQ(record.type, DWORD(REG_BINARY));
    ASSERT_EQ(record.data.size(), 44u);
    memcpy(&saved, record.data.data(), sizeof(saved));
    EXPECT_EQ(saved.length, 44u);
    EXPECT_EQ(saved.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(saved.rcNormalPosition.left, 100);
    EXPECT_EQ(saved.rcNormalPosition.top, 50);
    EXPECT_EQ(saved.rcNormalPosition.right, 400);  // width
    EXPECT_EQ(saved.rcNormalPosition.bottom, 300);  // height
    EXPECT_EQ(main.at(L"StringType"), (Value{REG_DWORD, Dword(2)}));
    EXPECT_EQ(main.at(L"SubFolders"), (Value{REG_DWORD, Dword(1)}));
    EXPECT_EQ(ReadAll(kFoldersKey), SzValues({L"C:\\Data"}));
    EXPECT_EQ(ReadAll(kSearchesKey), SzValues({L"MZ"}));
    EXPECT_EQ(ReadAll(kExtensionsKey), SzValues({L"*.*", L"*.exe;*.dll;*.sys"}));

    // The next start reads back what was saved.
    FreshStart();
    LoadSettings();
    EXPECT_TRUE(SamePlacement(MainWindowPlacement, saved));
    EXPECT_EQ(StringType, 2u);
    EXPECT_EQ(SubFolders, 1u);
    EXPECT_EQ(ReadSlots(RecentFolders), PaddedSlots({L"C:\\Data"}));
    EXPECT_EQ(ReadSlots(RecentSearches), PaddedSlots({L"MZ"}));
    EXPECT_EQ(ReadSlots(RecentExtensions), PaddedSlots({L"*.*", L"*.exe;*.dll;*.sys"}));
}

TEST_F(Settings, SavesMinimizedAsRestoredAndKeepsMaximized)
{
    const struct {
        UINT shown;
        UINT stored;
    } cases[] = {{SW_SHOWNORMAL, SW_SHOWNORMAL}, {SW_SHOWMINIMIZED, SW_SHOWNORMAL}, {SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED}};
    for (const auto& c : cases) {
        Place(c.shown, {120, 80, 620, 480});
        SaveSettings(MainWindow);
        const Values main = ReadAll(kKey);
        ASSERT_EQ(main.count(L"MainWindow"), 1u);
        ASSERT_EQ(main.at(L"MainWindow").data.size(), sizeof(WINDOWPLACEMENT));
        WINDOWPLACEMENT saved;
        memcpy(&saved, main.at(L"MainWindow").data.data(), sizeof(saved));
        EXPECT_EQ(saved.showCmd, c.stored) << "shown " << c.shown;
        EXPECT_EQ(saved.rcNormalPosition.left, 120) << "shown " << c.shown;
        EXPECT_EQ(saved.rcNormalPosition.top, 80) << "shown " << c.shown;
        EXPECT_EQ(saved.rcNormalPosition.right, 500) << "shown " << c.shown;
        EXPECT_EQ(saved.rcNormalPosition.bottom, 400) << "shown " << c.shown;
        Place(SW_SHOWNORMAL, {0, 0, 10, 10});
    }
}

TEST_F(Settings, StoredExtensionsReplaceDefaultsSlotBySlot)
{
    Write(kExtensionsKey, L"0", REG_SZ, Sz(L"*.txt"));
    LoadSettings();
    EXPECT_EQ(ReadSlots(RecentExtensions), PaddedSlots({L"*.txt", L"*.exe;*.dll;*.sys"}));
}

TEST_F(Settings, OptionsValueIsDeletedAtLoad)
{
    Write(kKey, L"Options", REG_DWORD, Dword(5));
    Write(kKey, L"StringType", REG_DWORD, Dword(1));
    LoadSettings();
    EXPECT_FALSE(RegistryValueExists(kKey, L"Options"));
    EXPECT_TRUE(RegistryValueExists(kKey, L"StringType"));
    EXPECT_EQ(StringType, 1u);
}

TEST_F(Settings, StaleSearchValuesStayAndReturnWhenTheyContinueTheNumbering)
{
    // "2" is missing, so "3" is not read at first.
    Write(kSearchesKey, L"0", REG_SZ, Sz(L"s0"));
    Write(kSearchesKey, L"1", REG_SZ, Sz(L"s1"));
    Write(kSearchesKey, L"3", REG_SZ, Sz(L"s3"));
    LoadSettings();
    EXPECT_EQ(ReadSlots(RecentSearches), PaddedSlots({L"s0", L"s1"}));

    RecentPush(RecentSearches, L"new");
    SaveSettings(MainWindow);
    EXPECT_EQ(ReadAll(kSearchesKey), SzValues({L"new", L"s0", L"s1", L"s3"}));

    FreshStart();
    LoadSettings();
    EXPECT_EQ(ReadSlots(RecentSearches), PaddedSlots({L"new", L"s0", L"s1", L"s3"}));
}

TEST_F(Settings, RemovedFolderLeavesTheStoreAtNextSave)
{
    // With a foreign subkey the folders key cannot simply be deleted; stale
    // values must go all the same.
    for (bool foreignSubkey : {false, true}) {
        SCOPED_TRACE(foreignSubkey ? "with foreign subkey" : "plain key");
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        for (int i = 0; i < 5; i++)
            Write(kFoldersKey, std::to_wstring(i).c_str(), REG_SZ, Sz(L"C:\\f" + std::to_wstring(i)));
        if (foreignSubkey)
            Write((std::wstring(kFoldersKey) + L"\\foreign").c_str(), L"x", REG_DWORD, Dword(1));
        ZeroMemory(&RecentFolders, sizeof(RecentFolders));
        LoadSettings();
        ASSERT_EQ(ReadSlots(RecentFolders), PaddedSlots({L"C:\\f0", L"C:\\f1", L"C:\\f2", L"C:\\f3", L"C:\\f4"}));

        RecentRemove(RecentFolders, L"C:\\f1");
        SaveSettings(MainWindow);
        EXPECT_EQ(ReadAll(kFoldersKey), SzValues({L"C:\\f0", L"C:\\f2", L"C:\\f3", L"C:\\f4"}));
    }
}

// A list value as someone else may have stored it.
struct Stored {
    const wchar_t* name;
    DWORD type;
    Bytes data;
};

struct ListCase {
    const char* name;
    std::vector<Stored> stored;
    Slots expected;  // after loading over "old0".."old9"
};

Bytes Units(const std::wstring& text)  // exactly these units, no terminator added
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return Bytes(p, p + text.size() * sizeof(wchar_t));
}

const std::wstring kLongest(RECENT_SLOT_UNITS - 1, L'L');
const std::wstring kSlotFull(RECENT_SLOT_UNITS, L'U');
const Slots kOld = {L"old0", L"old1", L"old2", L"old3", L"old4", L"old5", L"old6", L"old7", L"old8", L"old9"};

Slots OldWith(const Slots& front)
{
    Slots s = kOld;
    for (size_t i = 0; i < front.size(); i++)
        s[i] = front[i];
    return s;
}

const ListCase kListCases[] = {
    {"gap ends the list", {{L"0", REG_SZ, Sz(L"a")}, {L"1", REG_SZ, Sz(L"b")}, {L"3", REG_SZ, Sz(L"d")}},
     OldWith({L"a", L"b"})},
    {"all ten", {{L"0", REG_SZ, Sz(L"0")}, {L"1", REG_SZ, Sz(L"1")}, {L"2", REG_SZ, Sz(L"2")},
                 {L"3", REG_SZ, Sz(L"3")}, {L"4", REG_SZ, Sz(L"4")}, {L"5", REG_SZ, Sz(L"5")},
                 {L"6", REG_SZ, Sz(L"6")}, {L"7", REG_SZ, Sz(L"7")}, {L"8", REG_SZ, Sz(L"8")},
                 {L"9", REG_SZ, Sz(L"9")}, {L"10", REG_SZ, Sz(L"10")}},
     {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}},
    {"2,048 bytes with terminator fit", {{L"0", REG_SZ, Sz(kLongest)}, {L"1", REG_SZ, Sz(L"b")}},
     OldWith({kLongest, L"b"})},
    {"2,048 bytes without terminator do not fit", {{L"0", REG_SZ, Units(kSlotFull)}, {L"1", REG_SZ, Sz(L"b")}},
     kOld},
    {"larger than 2,048 bytes", {{L"0", REG_SZ, Sz(kSlotFull)}, {L"1", REG_SZ, Sz(L"b")}}, kOld},
    {"oversized value after good ones", {{L"0", REG_SZ, Sz(L"a")}, {L"1", REG_SZ, Sz(kSlotFull)}},
     OldWith({L"a"})},
    {"short text without terminator", {{L"0", REG_SZ, Units(L"abc")}, {L"1", REG_SZ, Sz(L"b")}},
     OldWith({L"abc", L"b"})},
    {"text ends at first terminator", {{L"0", REG_SZ, Units(std::wstring(L"ab\0cd\0", 6))}}, OldWith({L"ab"})},
    {"wrong type ends the list", {{L"0", REG_SZ, Sz(L"a")}, {L"1", REG_DWORD, Dword(0x410041)},
                                  {L"2", REG_SZ, Sz(L"c")}},
     OldWith({L"a"})},
    {"binary holding text is not a string", {{L"0", REG_BINARY, Sz(L"a")}}, kOld},
    {"odd byte count", {{L"0", REG_SZ, Bytes{'a', 0, 'b'}}, {L"1", REG_SZ, Sz(L"b")}}, kOld},
    {"empty string ends the list", {{L"0", REG_SZ, Sz(L"")}, {L"1", REG_SZ, Sz(L"b")}}, kOld},
    {"zero bytes ends the list", {{L"0", REG_SZ, Bytes{}}, {L"1", REG_SZ, Sz(L"b")}}, kOld},
};

TEST_F(Settings, UntrustedListValuesNeverOverrunASlot)
{
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.name);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        for (const Stored& s : c.stored)
            Write(kSearchesKey, s.name, s.type, s.data);
        FillSlots(RecentSearches, kOld);
        FillSlots(RecentFolders, {});
        LoadSettings();
        EXPECT_EQ(ReadSlots(RecentSearches), c.expected);
        // The neighbouring lists in memory are untouched.
        EXPECT_EQ(ReadSlots(RecentFolders), PaddedSlots({}));
        EXPECT_EQ(ReadSlots(RecentExtensions)[0], L"*.*");
    }
}

TEST_F(Settings, UntrustedMainValuesKeepDefaultsOrAreUsedAsStored)
{
    WINDOWPLACEMENT offScreen = DefaultPlacement();
    offScreen.showCmd = SW_SHOWMAXIMIZED;
    offScreen.rcNormalPosition = {-30000, 90000, 640, 480};
    WINDOWPLACEMENT hidden = offScreen;
    hidden.showCmd = SW_HIDE;
    WINDOWPLACEMENT undefinedShow = offScreen;
    undefinedShow.showCmd = 1234;
    WINDOWPLACEMENT badLength = offScreen;
    badLength.length = 40;
    WINDOWPLACEMENT shownNormal = offScreen;
    shownNormal.showCmd = SW_SHOWNORMAL;
    Bytes longer = Placement(offScreen);
    longer.push_back(0);
    Bytes shorter = Placement(offScreen);
    shorter.resize(shorter.size() - 4);

    const struct {
        const char* name;
        DWORD type;
        Bytes data;
        WINDOWPLACEMENT expected;
    } cases[] = {
        {"off-screen position used as stored", REG_BINARY, Placement(offScreen), offScreen},
        {"hidden shows normally", REG_BINARY, Placement(hidden), shownNormal},
        {"undefined show command shows normally", REG_BINARY, Placement(undefinedShow), shownNormal},
        {"length field not 44", REG_BINARY, Placement(badLength), DefaultPlacement()},
        {"one byte too many", REG_BINARY, longer, DefaultPlacement()},
        {"four bytes short", REG_BINARY, shorter, DefaultPlacement()},
        {"wrong type", REG_SZ, Placement(offScreen), DefaultPlacement()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(kKey, L"MainWindow", c.type, c.data);
        MainWindowPlacement.rcNormalPosition.left = 7;  // a stale record in memory
        LoadSettings();
        EXPECT_TRUE(SamePlacement(MainWindowPlacement, c.expected));
    }
}

TEST_F(Settings, UntrustedEncodingAndSubfolderValues)
{
    const struct {
        const char* name;
        DWORD type;
        Bytes stringType;
        Bytes subFolders;
        DWORD expectedStringType;
        DWORD expectedSubFolders;
    } cases[] = {
        {"as stored", REG_DWORD, Dword(1), Dword(0), 1, 0},
        {"unknown encoding kept", REG_DWORD, Dword(7), Dword(1), 7, 1},
        {"switch other than 0 reads as on", REG_DWORD, Dword(2), Dword(49), 2, 1},
        {"binary of four bytes", REG_BINARY, Dword(2), Dword(0), 0, 1},
        {"string of four bytes", REG_SZ, Sz(L"2"), Sz(L"0"), 0, 1},
        {"eight-byte dword", REG_DWORD, Bytes(8, 0x01), Bytes(8, 0), 0, 1},
        {"two-byte dword", REG_DWORD, Bytes(2, 0x01), Bytes(2, 0), 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(kKey, L"StringType", c.type, c.stringType);
        Write(kKey, L"SubFolders", c.type, c.subFolders);
        StringType = 99;
        SubFolders = 99;
        LoadSettings();
        EXPECT_EQ(StringType, c.expectedStringType);
        EXPECT_EQ(SubFolders, c.expectedSubFolders);
    }
}

}  // namespace
