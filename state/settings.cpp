// Owns the persisted settings and the registry layout they are kept in:
// HKCU\Software\Tavrin\Pellux with the window placement, the encoding, the
// subfolder switch, and one subkey per recent list with values "0".."9".
// Every registry failure is silent: the value keeps its default.
#include "state/settings.h"
#include "state/recent.h"
#include <string.h>
#include <wchar.h>
#include <strsafe.h>

WINDOWPLACEMENT MainWindowPlacement;
DWORD StringType;
DWORD SubFolders;

#define PELLUX_SETTINGS_KEY L"Software\\Tavrin\\Pellux"

static const wchar_t kSettingsKey[] = PELLUX_SETTINGS_KEY;
static const wchar_t kMainWindowValue[] = L"MainWindow";
static const wchar_t kStringTypeValue[] = L"StringType";
static const wchar_t kSubFoldersValue[] = L"SubFolders";
static const wchar_t kOptionsValue[] = L"Options";  // never written; removed at every load
static const wchar_t kRecentFoldersKey[] = PELLUX_SETTINGS_KEY L"\\Recent Folders";
static const wchar_t kRecentSearchesKey[] = PELLUX_SETTINGS_KEY L"\\Recent Searches";
static const wchar_t kRecentExtensionsKey[] = PELLUX_SETTINGS_KEY L"\\Recent Extensions";
// A list's value names are its slot indexes.
static const wchar_t* const kSlotValueNames[RECENT_SLOTS] = {
    L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9",
};

static const wchar_t kDefaultFileTypes0[] = L"*.*";
static const wchar_t kDefaultFileTypes1[] = L"*.exe;*.dll;*.sys";

// Owns an open registry key; closes it on every path.
class RegKey {
public:
    RegKey() = default;
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(const wchar_t* path, REGSAM access)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key) != ERROR_SUCCESS)
            return false;
        key_ = key;
        return true;
    }
    bool Create(const wchar_t* path)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        key_ = key;
        return true;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Reads a value of exactly the expected type and size into out; anything
// else leaves out untouched. The value's bytes are untrusted: they go to a
// scratch buffer first, so a longer value never reaches out.
static bool ReadExactValue(HKEY key, const wchar_t* name, DWORD expectedType, void* out, DWORD size)
{
    BYTE scratch[sizeof(WINDOWPLACEMENT)];
    if (size > sizeof(scratch))
        return false;
    DWORD type = REG_NONE;
    DWORD got = sizeof(scratch);
    if (RegQueryValueExW(key, name, nullptr, &type, scratch, &got) != ERROR_SUCCESS)
        return false;
    if (type != expectedType || got != size)
        return false;
    memcpy(out, scratch, size);
    return true;
}

static void LoadMainValues(HKEY key)
{
    WINDOWPLACEMENT stored = {};
    // A record of another size or length field is not a placement record.
    if (ReadExactValue(key, kMainWindowValue, REG_BINARY, &stored, sizeof(stored)) &&
        stored.length == sizeof(stored)) {
        // A hidden or undefined show command would leave the window
        // invisible; positions and sizes stay as stored, even off-screen.
        if (stored.showCmd == SW_HIDE || stored.showCmd > SW_MAX)
            stored.showCmd = SW_SHOWNORMAL;
        MainWindowPlacement = stored;
    }

    // An encoding outside 0-2 is kept: the search refuses to encode it.
    DWORD value = 0;
    if (ReadExactValue(key, kStringTypeValue, REG_DWORD, &value, sizeof(value)))
        StringType = value;
    // The switch is on or off; anything but 0 reads as on.
    if (ReadExactValue(key, kSubFoldersValue, REG_DWORD, &value, sizeof(value)))
        SubFolders = value != 0 ? 1 : 0;
}

// Reads one stored list entry into slot. Only a REG_SZ of whole UTF-16 units
// whose text (up to its first terminator, or its end when the terminator is
// missing) is non-empty and fits a slot is taken; anything else is left alone
// and ends the list, as a missing value does.
static bool ReadListValue(HKEY key, const wchar_t* name, wchar_t* slot)
{
    wchar_t scratch[RECENT_SLOT_UNITS];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(scratch);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &bytes) !=
        ERROR_SUCCESS)
        return false;  // missing, or larger than a slot
    if (type != REG_SZ || bytes % sizeof(wchar_t) != 0)
        return false;
    const size_t units = bytes / sizeof(wchar_t);
    const size_t length = wcsnlen(scratch, units);
    if (length == 0 || length >= RECENT_SLOT_UNITS)
        return false;  // empty, or a full slot of text with no room for the terminator
    scratch[length] = L'\0';
    StringCchCopyW(slot, RECENT_SLOT_UNITS, scratch);
    return true;
}

static void LoadList(const wchar_t* path, RecentList& list)
{
    RegKey key;
    if (!key.Open(path, KEY_QUERY_VALUE))
        return;
    for (int i = 0; i < RECENT_SLOTS; i++) {
        if (!ReadListValue(key.get(), kSlotValueNames[i], list.slots[i]))
            break;
    }
}

// Writes the entries before the first empty slot as "0", "1", ... and
// returns how many were written.
static int SaveList(HKEY key, const RecentList& list)
{
    int i = 0;
    for (; i < RECENT_SLOTS; i++) {
        size_t length = 0;
        if (FAILED(StringCchLengthW(list.slots[i], RECENT_SLOT_UNITS, &length)) || length == 0)
            break;
        const DWORD bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
        RegSetValueExW(key, kSlotValueNames[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(list.slots[i]),
                       bytes);
    }
    return i;
}

void LoadSettings()
{
    ZeroMemory(&MainWindowPlacement, sizeof(MainWindowPlacement));
    MainWindowPlacement.length = sizeof(MainWindowPlacement);
    MainWindowPlacement.showCmd = SW_SHOWNORMAL;
    // The stored record keeps width and height in right and bottom.
    MainWindowPlacement.rcNormalPosition.left = CW_USEDEFAULT;
    MainWindowPlacement.rcNormalPosition.top = CW_USEDEFAULT;
    MainWindowPlacement.rcNormalPosition.right = CW_USEDEFAULT;
    MainWindowPlacement.rcNormalPosition.bottom = CW_USEDEFAULT;
    StringType = 0;
    SubFolders = 1;

    StringCchCopyW(RecentExtensions.slots[0], ARRAYSIZE(RecentExtensions.slots[0]), kDefaultFileTypes0);
    StringCchCopyW(RecentExtensions.slots[1], ARRAYSIZE(RecentExtensions.slots[1]), kDefaultFileTypes1);

    {
        RegKey key;
        // A key we may only read still gives its values.
        if (key.Open(kSettingsKey, KEY_QUERY_VALUE | KEY_SET_VALUE) || key.Open(kSettingsKey, KEY_QUERY_VALUE)) {
            RegDeleteValueW(key.get(), kOptionsValue);
            LoadMainValues(key.get());
        }
    }

    LoadList(kRecentFoldersKey, RecentFolders);
    LoadList(kRecentSearchesKey, RecentSearches);
    LoadList(kRecentExtensionsKey, RecentExtensions);
}

void SaveSettings(HWND window)
{
    // Without a readable placement the loaded record is written back.
    WINDOWPLACEMENT current = {};
    current.length = sizeof(current);
    if (window && GetWindowPlacement(window, &current)) {
        current.length = sizeof(current);
        current.rcNormalPosition.right -= current.rcNormalPosition.left;
        current.rcNormalPosition.bottom -= current.rcNormalPosition.top;
        // A window closed minimized opens restored.
        if (current.showCmd == SW_SHOWMINIMIZED)
            current.showCmd = SW_SHOWNORMAL;
        MainWindowPlacement = current;
    }

    {
        RegKey key;
        if (key.Create(kSettingsKey)) {
            RegSetValueExW(key.get(), kMainWindowValue, 0, REG_BINARY,
                           reinterpret_cast<const BYTE*>(&MainWindowPlacement), sizeof(MainWindowPlacement));
            RegSetValueExW(key.get(), kStringTypeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&StringType),
                           sizeof(StringType));
            RegSetValueExW(key.get(), kSubFoldersValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&SubFolders),
                           sizeof(SubFolders));
        }
    }

    // Folders are rewritten from scratch, so a folder removed from the list
    // leaves the store too.
    RegDeleteKeyW(HKEY_CURRENT_USER, kRecentFoldersKey);
    {
        RegKey key;
        if (key.Create(kRecentFoldersKey)) {
            const int written = SaveList(key.get(), RecentFolders);
            // Only needed when the key could not be deleted (say it has a
            // subkey someone added): stale higher values must not bring a
            // removed folder back.
            for (int i = written; i < RECENT_SLOTS; i++)
                RegDeleteValueW(key.get(), kSlotValueNames[i]);
        }
    }
    // The other two lists only grow, so their keys are written over in place.
    {
        RegKey key;
        if (key.Create(kRecentSearchesKey))
            SaveList(key.get(), RecentSearches);
    }
    {
        RegKey key;
        if (key.Create(kRecentExtensionsKey))
            SaveList(key.get(), RecentExtensions);
    }
}
