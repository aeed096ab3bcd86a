// Owns the three recent lists and the two operations that reorder them.
#include "state/recent.h"
#include <wchar.h>
#include <strsafe.h>

RecentList RecentFolders;
RecentList RecentSearches;
RecentList RecentExtensions;

// Index of the first slot equal to text (exact, case-sensitive), or -1.
// The comparison stops at a slot's end, so a text longer than a slot never
// matches and is never read beyond RECENT_SLOT_UNITS.
static int FindSlot(const RecentList& list, const wchar_t* text)
{
    for (int i = 0; i < RECENT_SLOTS; i++) {
        if (wcsncmp(list.slots[i], text, RECENT_SLOT_UNITS) == 0)
            return i;
    }
    return -1;
}

BOOL RecentPush(RecentList& list, const wchar_t* text)
{
    // An empty text would turn slot 0 into the end of the list and hide
    // every entry behind it. A text that does not fit is refused rather than
    // cut: a cut folder path names another folder.
    if (!text || text[0] == L'\0' || wcsnlen(text, RECENT_SLOT_UNITS) >= RECENT_SLOT_UNITS)
        return FALSE;

    // text may be one of the slots about to be overwritten.
    wchar_t scratch[RECENT_SLOT_UNITS];
    StringCchCopyW(scratch, ARRAYSIZE(scratch), text);

    int i = FindSlot(list, scratch);
    if (i < 0)
        i = RECENT_SLOTS - 1;
    for (int k = i - 1; k >= 0; k--)
        StringCchCopyW(list.slots[k + 1], ARRAYSIZE(list.slots[k + 1]), list.slots[k]);
    StringCchCopyW(list.slots[0], ARRAYSIZE(list.slots[0]), scratch);
    return TRUE;
}

void RecentRemove(RecentList& list, const wchar_t* text)
{
    if (!text)
        return;
    const int i = FindSlot(list, text);
    if (i < 0)
        return;
    for (int k = i; k < RECENT_SLOTS - 1; k++)
        StringCchCopyW(list.slots[k], ARRAYSIZE(list.slots[k]), list.slots[k + 1]);
    list.slots[RECENT_SLOTS - 1][0] = L'\0';
}
