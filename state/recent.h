// Recent lists: the last ten folders, search texts and file-type lists.
#pragma once
#include <windows.h>

constexpr int RECENT_SLOTS = 10;
constexpr int RECENT_SLOT_UNITS = 1024;  // includes the terminator

// Slot 0 is the most recent; the entries in use stand before the first empty slot.
struct RecentList {
    wchar_t slots[RECENT_SLOTS][RECENT_SLOT_UNITS];
};

extern RecentList RecentFolders;
extern RecentList RecentSearches;
extern RecentList RecentExtensions;

// Moves text to slot 0, removing an earlier copy or dropping slot 9.
// text may itself be a slot of the list. Returns FALSE (list unchanged) for
// a text that does not fit a slot.
BOOL RecentPush(RecentList& list, const wchar_t* text);
// Removes the first entry equal to text; later entries move up.
void RecentRemove(RecentList& list, const wchar_t* text);
