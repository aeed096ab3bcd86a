// The file-type filter: a list like "*.exe;*.dll;*.sys" read positionally.
#include "engine/search.h"
#include <cwchar>

namespace {

wchar_t FoldAsciiUpper(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameIgnoringAsciiCase(wchar_t a, wchar_t b)
{
    return FoldAsciiUpper(a) == FoldAsciiUpper(b);
}

}  // namespace

BOOL NameMatchesTypeList(const wchar_t* list, const wchar_t* name)
{
    if (list == nullptr)
        return TRUE;
    if (std::wcsstr(list, L"*.*") != nullptr)
        return TRUE;
    const wchar_t* dot = std::wcsrchr(name, L'.');
    if (dot == nullptr)
        return FALSE;
    const wchar_t* extension = dot + 1;

    const size_t listLength = std::wcslen(list);
    size_t position = 2;  // the leading "*." is skipped unread
    for (;;) {
        // A list shorter than two characters, or one ending in ";" or ";x",
        // leaves nothing after the skip: that segment names no extension.
        if (position > listLength)
            return FALSE;
        const wchar_t* segment = list + position;
        const wchar_t* separator = std::wcschr(segment, L';');
        if (separator == nullptr) {
            // The last segment must equal the whole extension.
            size_t i = 0;
            while (segment[i] != L'\0' && extension[i] != L'\0' && SameIgnoringAsciiCase(segment[i], extension[i]))
                ++i;
            return segment[i] == L'\0' && extension[i] == L'\0';
        }
        // Inner segments match any extension that begins with them. The
        // extension's terminator never equals a segment character, so the
        // comparison stops there.
        const size_t k = static_cast<size_t>(separator - segment);
        size_t i = 0;
        while (i < k && SameIgnoringAsciiCase(segment[i], extension[i]))
            ++i;
        if (i == k)
            return TRUE;
        position = static_cast<size_t>(separator - list) + 1 + 2;
    }
}

BOOL MatchesFileTypes(const wchar_t* name)
{
    return NameMatchesTypeList(ActiveFileTypes, name);
}
