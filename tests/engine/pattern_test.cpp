#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <cstring>
#include <string>
#include <vector>
#include "engine/search.h"

namespace {

std::vector<BYTE> PatternBytes()
{
    return std::vector<BYTE>(SearchPattern.bytes, SearchPattern.bytes + SearchPattern.length);
}

BOOL Encode(const std::wstring& text, DWORD type)
{
    return EncodePattern(text.c_str(), static_cast<int>(text.size()), type);
}

struct EncodeCase {
    const wchar_t* text;
    DWORD type;
    std::vector<BYTE> expected;
};

}  // namespace

TEST(EncodePattern, ProducesTheBytesOfEachFormat)
{
    const EncodeCase cases[] = {
        {L"MZ", STRING_TYPE_ANSI, {0x4D, 0x5A}},
        {L"MZ", STRING_TYPE_UNICODE, {0x4D, 0x00, 0x5A, 0x00}},
        {L"4d5a", STRING_TYPE_HEX, {0x4D, 0x5A}},
        {L"4D5A", STRING_TYPE_HEX, {0x4D, 0x5A}},
        {L"D5A", STRING_TYPE_HEX, {0x0D, 0x5A}},
        {L"ABC", STRING_TYPE_HEX, {0x0A, 0xBC}},
        {L"7", STRING_TYPE_HEX, {0x07}},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "text " << testing::PrintToString(std::wstring(c.text)) << " type " << c.type);
        ASSERT_TRUE(Encode(c.text, c.type));
        EXPECT_EQ(PatternBytes(), c.expected);
    }
}

TEST(EncodePattern, AnsiTextOutsideTheCodePageIsStillSearched)
{
    // U+0100 has no place in the usual single-byte code pages; the platform
    // maps it to a close equivalent or the default character.
    ASSERT_TRUE(Encode(L"\u0100x", STRING_TYPE_ANSI));
    EXPECT_GE(SearchPattern.length, 2u);
}

TEST(EncodePattern, FailuresKeepThePlatformsErrorCode)
{
    // The decoder's own error for text that is not hexadecimal.
    BYTE scratch[8];
    DWORD size = sizeof(scratch);
    SetLastError(0);
    ASSERT_FALSE(CryptStringToBinaryW(L"XY", 2, CRYPT_STRING_HEX, scratch, &size, nullptr, nullptr));
    const DWORD decoderError = GetLastError();
    ASSERT_NE(decoderError, 0u);

    SetLastError(0);
    EXPECT_FALSE(Encode(L"XY", STRING_TYPE_HEX));
    EXPECT_EQ(GetLastError(), decoderError);

    // More than 2,048 converted bytes do not fit the pattern.
    const std::wstring longText(3000, L'a');
    SetLastError(0);
    EXPECT_FALSE(Encode(longText, STRING_TYPE_ANSI));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(EncodePattern, NeverStartsASearchWithAnEmptyPattern)
{
    struct Refused {
        const wchar_t* text;
        DWORD type;
    } cases[] = {
        {L"MZ", 3},               // a format that only an edited setting can hold
        {L"MZ", 0xFFFFFFFF},
        {L"", STRING_TYPE_ANSI},  // nothing typed
        {L"", STRING_TYPE_UNICODE},
        {L"", STRING_TYPE_HEX},
        {L"  ", STRING_TYPE_HEX},  // blanks only decode to no byte at all
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        EXPECT_FALSE(Encode(c.text, c.type));
        EXPECT_EQ(SearchPattern.length, 0u);
        EXPECT_NE(GetLastError(), 0u);
    }
}

TEST(EncodePattern, LongestStoredTextsStayInsideTheirBuffers)
{
    // 1,021 odd digits still fit the padding scratch: 511 bytes.
    std::wstring digits(1021, L'f');
    ASSERT_TRUE(Encode(digits, STRING_TYPE_HEX));
    EXPECT_EQ(SearchPattern.length, 511u);
    EXPECT_EQ(SearchPattern.bytes[0], 0x0F);
    EXPECT_EQ(SearchPattern.bytes[510], 0xFF);

    // 1,023 odd digits (only possible from an edited list) cannot take the
    // leading "0"; cutting would search for other bytes, so it is refused.
    digits.assign(1023, L'f');
    EXPECT_FALSE(Encode(digits, STRING_TYPE_HEX));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // A full slot of text is 2,046 bytes in UTF-16.
    const std::wstring text(1023, L'\u00e9');
    ASSERT_TRUE(Encode(text, STRING_TYPE_UNICODE));
    EXPECT_EQ(SearchPattern.length, 2046u);
    EXPECT_EQ(SearchPattern.bytes[2044], 0xE9);
    EXPECT_EQ(SearchPattern.bytes[2045], 0x00);
}

TEST(EncodePattern, HexPatternIsExactlyTheBytesTheDecoderWrote)
{
    // Expected bytes are written out here, never taken from the decoder.
    const EncodeCase cases[] = {
        {L"4D5A9000", STRING_TYPE_HEX, {0x4D, 0x5A, 0x90, 0x00}},  // a trailing zero byte counts
        {L"00", STRING_TYPE_HEX, {0x00}},
        {L"0D5A", STRING_TYPE_HEX, {0x0D, 0x5A}},                  // even: decoded unchanged
        {L"D5A9000", STRING_TYPE_HEX, {0x0D, 0x5A, 0x90, 0x00}},   // odd: one "0" in front
        {L"00D5A", STRING_TYPE_HEX, {0x00, 0x0D, 0x5A}},           // exactly one, not padded to a width
        // Blanks around the digits decode to 3 bytes, not half of 8 units.
        {L" 4D5A90 ", STRING_TYPE_HEX, {0x4D, 0x5A, 0x90}},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        std::memset(SearchPattern.bytes, 0xEE, sizeof(SearchPattern.bytes));
        ASSERT_TRUE(Encode(c.text, c.type));
        EXPECT_EQ(SearchPattern.length, c.expected.size());
        EXPECT_EQ(PatternBytes(), c.expected);
    }

    // Blanks between the digits: Windows' decoder skips them, Wine's refuses
    // the text; the pattern is the three bytes or nothing.
    if (Encode(L"4d 5a 90", STRING_TYPE_HEX))
        EXPECT_EQ(PatternBytes(), (std::vector<BYTE>{0x4D, 0x5A, 0x90}));
    else
        EXPECT_EQ(SearchPattern.length, 0u);
}
