// Turns the search text into the bytes the walk compares.
#include "engine/search.h"
#include <wincrypt.h>
#include <strsafe.h>
#include <cstring>

namespace {

constexpr int HEX_SCRATCH_UNITS = 1024;
constexpr int TEXT_UNITS_MAX = 1023;  // a list slot without its terminator

BOOL EncodeAnsi(const wchar_t* text, int count)
{
    const int produced = WideCharToMultiByte(CP_ACP, 0, text, count,
                                             reinterpret_cast<LPSTR>(SearchPattern.bytes),
                                             PATTERN_CAPACITY, nullptr, nullptr);
    if (produced <= 0)
        return FALSE;
    SearchPattern.length = static_cast<UINT32>(produced);
    return TRUE;
}

BOOL EncodeUnicode(const wchar_t* text, int count)
{
    if (count > TEXT_UNITS_MAX) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // Little-endian UTF-16 is exactly the in-memory form of the text on x64.
    std::memcpy(SearchPattern.bytes, text, static_cast<size_t>(count) * sizeof(wchar_t));
    SearchPattern.length = static_cast<UINT32>(count) * 2;
    return TRUE;
}

BOOL EncodeHex(const wchar_t* text, int count)
{
    // An odd number of digits gets one leading "0": ABC means 0A BC.
    wchar_t padded[HEX_SCRATCH_UNITS] = {};
    if (count % 2 != 0) {
        // "0" plus the text must fit with its terminator; a longer text could
        // only be cut, which would search for other bytes than the user asked.
        if (count + 2 > HEX_SCRATCH_UNITS) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        padded[0] = L'0';
        std::memcpy(padded + 1, text, static_cast<size_t>(count) * sizeof(wchar_t));
        padded[count + 1] = L'\0';
        text = padded;
        ++count;
    }
    DWORD decoded = PATTERN_CAPACITY;
    if (!CryptStringToBinaryW(text, static_cast<DWORD>(count), CRYPT_STRING_HEX, SearchPattern.bytes,
                              &decoded, nullptr, nullptr))
        return FALSE;
    // With blanks between the digits the decoder writes fewer than count / 2
    // bytes; only what it wrote belongs to the pattern.
    SearchPattern.length = decoded;
    return TRUE;
}

}  // namespace

BOOL EncodePattern(const wchar_t* text, int count, DWORD type)
{
    SearchPattern.length = 0;
    if (text == nullptr || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BOOL encoded = FALSE;
    switch (type) {
    case STRING_TYPE_ANSI:
        encoded = EncodeAnsi(text, count);
        break;
    case STRING_TYPE_UNICODE:
        encoded = EncodeUnicode(text, count);
        break;
    case STRING_TYPE_HEX:
        encoded = EncodeHex(text, count);
        break;
    default:
        // Only an edited settings value gets here; no format is checked in
        // the window then, so refuse rather than guess one.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!encoded)
        return FALSE;
    if (SearchPattern.length == 0) {
        // A text of separators only: an empty pattern would match everywhere.
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}
