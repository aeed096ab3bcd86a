#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "state/recent.h"
#include "support/recent_slots.h"
#include <strsafe.h>

namespace {

const Slots kFive = {L"a", L"b", L"c", L"d", L"e"};
const Slots kFull = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"};

struct PushCase {
    const char* name;
    Slots before;
    std::wstring text;
    Slots after;
};

const PushCase kPushCases[] = {
    {"onto empty list", {}, L"x", {L"x"}},
    {"already in slot 0", kFive, L"a", kFive},
    {"from slot 4 to front", {L"0", L"1", L"2", L"3", L"4", L"5", L"6"}, L"4",
     {L"4", L"0", L"1", L"2", L"3", L"5", L"6"}},
    {"from slot 9 to front", kFull, L"9", {L"9", L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8"}},
    {"new text onto partial list", kFive, L"x", {L"x", L"a", L"b", L"c", L"d", L"e"}},
    {"eleventh text drops slot 9", kFull, L"new", {L"new", L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8"}},
    {"case-sensitive", {L"C:\\Data"}, L"c:\\data", {L"c:\\data", L"C:\\Data"}},
    {"prefix is not a match", {L"abc", L"ab"}, L"ab", {L"ab", L"abc"}},
};

TEST(RecentPush, MovesSlotsAsExpected)
{
    for (const PushCase& c : kPushCases) {
        RecentList list;
        FillSlots(list, c.before);
        EXPECT_TRUE(RecentPush(list, c.text.c_str())) << c.name;
        EXPECT_EQ(ReadSlots(list), PaddedSlots(c.after)) << c.name;
    }
}

TEST(RecentPush, AcceptsOneOfItsOwnSlots)
{
    // The text is overwritten by the move before it is written to slot 0.
    for (int from = 0; from < RECENT_SLOTS; from++) {
        RecentList list;
        FillSlots(list, kFull);
        ASSERT_TRUE(RecentPush(list, list.slots[from])) << from;
        Slots expected = kFull;
        expected.erase(expected.begin() + from);
        expected.insert(expected.begin(), kFull[from]);
        EXPECT_EQ(ReadSlots(list), expected) << from;
    }
}

TEST(RecentPush, TakesLongestFittingTextAndRefusesLonger)
{
    RecentList list;
    FillSlots(list, kFive);

    const std::wstring fits(RECENT_SLOT_UNITS - 1, L'f');
    EXPECT_TRUE(RecentPush(list, fits.c_str()));
    EXPECT_EQ(ReadSlots(list), PaddedSlots({fits, L"a", L"b", L"c", L"d", L"e"}));

    // A folder picker path may be up to 32,764 units long.
    const Slots before = ReadSlots(list);
    for (size_t length : {size_t{RECENT_SLOT_UNITS}, size_t{RECENT_SLOT_UNITS + 1}, size_t{32764}}) {
        const std::wstring tooLong(length, L'x');
        EXPECT_FALSE(RecentPush(list, tooLong.c_str())) << length;
        EXPECT_EQ(ReadSlots(list), before) << length;
    }
}

TEST(RecentPush, RefusesEmptyTextThatWouldHideTheList)
{
    RecentList list;
    FillSlots(list, kFive);
    EXPECT_FALSE(RecentPush(list, L""));
    EXPECT_EQ(ReadSlots(list), PaddedSlots(kFive));
}

struct RemoveCase {
    const char* name;
    Slots before;
    std::wstring text;
    Slots after;
};

const RemoveCase kRemoveCases[] = {
    {"only entry", {L"a"}, L"a", {}},
    {"slot 2 of five", kFive, L"c", {L"a", L"b", L"d", L"e"}},
    {"slot 9 of full list", kFull, L"9", {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8"}},
    {"slot 0 of full list", kFull, L"0", {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}},
    {"not present", kFive, L"z", kFive},
    {"other case not removed", {L"C:\\Data"}, L"c:\\data", {L"C:\\Data"}},
    {"first of two copies", {L"a", L"b", L"a"}, L"a", {L"b", L"a"}},
};

TEST(RecentRemove, MovesLaterSlotsUp)
{
    for (const RemoveCase& c : kRemoveCases) {
        RecentList list;
        FillSlots(list, c.before);
        RecentRemove(list, c.text.c_str());
        EXPECT_EQ(ReadSlots(list), PaddedSlots(c.after)) << c.name;
    }
}

TEST(RecentRemove, TextLongerThanASlotMatchesNothing)
{
    RecentList list;
    const std::wstring fits(RECENT_SLOT_UNITS - 1, L'f');
    FillSlots(list, {fits});
    const std::wstring longer = fits + L"f";
    RecentRemove(list, longer.c_str());
    EXPECT_EQ(ReadSlots(list), PaddedSlots({fits}));
    RecentRemove(list, fits.c_str());
    EXPECT_EQ(ReadSlots(list), PaddedSlots({}));
}

}  // namespace
