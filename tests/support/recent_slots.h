// Reading and filling recent lists in tests, slot 0 first.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <strsafe.h>
#include <string>
#include <vector>
#include "state/recent.h"

using Slots = std::vector<std::wstring>;  // missing tail slots are empty

inline void FillSlots(RecentList& list, const Slots& slots)
{
    ZeroMemory(&list, sizeof(list));
    for (size_t i = 0; i < slots.size(); i++)
        StringCchCopyW(list.slots[i], ARRAYSIZE(list.slots[i]), slots[i].c_str());
}

// All ten slots; fails the test if a slot is not terminated inside its buffer.
inline Slots ReadSlots(const RecentList& list)
{
    Slots out;
    for (int i = 0; i < RECENT_SLOTS; i++) {
        size_t length = 0;
        EXPECT_TRUE(SUCCEEDED(StringCchLengthW(list.slots[i], RECENT_SLOT_UNITS, &length))) << "slot " << i;
        out.emplace_back(list.slots[i], length);
    }
    return out;
}

inline Slots PaddedSlots(Slots slots)
{
    slots.resize(RECENT_SLOTS);
    return slots;
}
