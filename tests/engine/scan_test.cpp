#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/cpu.h"
#include "engine/scan.h"
#include "engine/scan_kernels.h"
#include "engine/search.h"

namespace {

using Offsets = std::vector<uint64_t>;

bool Collect(void* context, uint64_t offset)
{
    static_cast<Offsets*>(context)->push_back(offset);
    return true;
}

Offsets Found(const std::string& data, const std::string& pattern)
{
    Offsets found;
    ScanBytes(reinterpret_cast<const unsigned char*>(data.data()), data.size(),
              reinterpret_cast<const unsigned char*>(pattern.data()), static_cast<uint32_t>(pattern.size()), Collect,
              &found);
    return found;
}

class Scan : public ::testing::Test {
protected:
    void SetUp() override { SearchRunning = 1; }
    void TearDown() override { SearchRunning = 0; }
};

TEST_F(Scan, ReportsNonOverlappingMatchesInOrder)
{
    struct Case {
        const char* data;
        const char* pattern;
        Offsets expected;
    };
    const Case cases[] = {
        {"AAAAA", "AAA", {0}},
        {"AAAAAA", "AAA", {0, 3}},
        {"xxxxAB", "AB", {4}},   // ends at the last byte
        {"AB", "ABC", {}},       // shorter than the pattern
        {"", "A", {}},
        {"abcabcab", "abc", {0, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Found(c.data, c.pattern), c.expected) << c.data << " / " << c.pattern;
}

bool StopAfterFirst(void* context, uint64_t offset)
{
    static_cast<Offsets*>(context)->push_back(offset);
    return false;
}

bool ClearRunning(void* context, uint64_t offset)
{
    static_cast<Offsets*>(context)->push_back(offset);
    SearchRunning.exchange(0);
    return true;
}

TEST_F(Scan, StopsAtTheMatchThatAsksForIt)
{
    const std::string data(1000, 'A');
    for (MatchSink sink : {StopAfterFirst, ClearRunning}) {
        SearchRunning = 1;
        Offsets found;
        ScanBytes(reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                  reinterpret_cast<const unsigned char*>("AA"), 2, sink, &found);
        EXPECT_EQ(found, Offsets{0});
    }
}

TEST_F(Scan, AlreadyStoppedEndsWithinTheFirst64KiB)
{
    SearchRunning = 0;
    EXPECT_EQ(Found(std::string(100000, 'x') + "needle", "needle"), Offsets{});
}

// A Stop in the middle of a large buffer: the first touch of a tripwire page
// clears SearchRunning (from an exception handler, so the moment is exact);
// every page from 64 KiB past the tripwire is also guarded, and touching one
// of them counts as reading too far.
struct Tripwire {
    unsigned char* wire = nullptr;
    unsigned char* fenceBegin = nullptr;
    unsigned char* fenceEnd = nullptr;
    volatile LONG tripped = 0;
    volatile LONG overrun = 0;
};
Tripwire Trip;

LONG CALLBACK OnGuardPage(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode != STATUS_GUARD_PAGE_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    auto* at = reinterpret_cast<unsigned char*>(info->ExceptionRecord->ExceptionInformation[1]);
    if (at >= Trip.wire && at < Trip.wire + 4096) {
        Trip.tripped = 1;
        SearchRunning.exchange(0);
    } else if (at >= Trip.fenceBegin && at < Trip.fenceEnd) {
        Trip.overrun = 1;
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    return EXCEPTION_CONTINUE_EXECUTION;  // the guard flag is gone; the read goes on
}

TEST_F(Scan, ClearedFlagStopsWithin64KiB)
{
    constexpr size_t kSize = 16 << 20;
    // Not on a multiple of any power of two the scan might work in, so the
    // Stop lands in the middle of whatever span the scan is in.
    constexpr size_t kWire = (5 << 20) + 3 * 4096;
    const unsigned char needle[] = "needle!!";
    std::vector<FindKernel> kernels{FindSse2};
    if (CpuHasAvx2())
        kernels.push_back(FindAvx2);
    PVOID handler = AddVectoredExceptionHandler(1, OnGuardPage);
    ASSERT_NE(handler, nullptr);
    for (FindKernel find : kernels) {
        auto* data = static_cast<unsigned char*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        ASSERT_NE(data, nullptr);
        std::memcpy(data, needle, 8);               // found before the stop
        std::memcpy(data + kSize - 8, needle, 8);   // must not be reached
        Trip.wire = data + kWire;
        Trip.fenceBegin = data + kWire + (64 << 10);
        Trip.fenceEnd = data + kSize;
        Trip.tripped = 0;
        Trip.overrun = 0;
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(Trip.wire, 4096, PAGE_READWRITE | PAGE_GUARD, &old));
        ASSERT_TRUE(VirtualProtect(Trip.fenceBegin, Trip.fenceEnd - Trip.fenceBegin, PAGE_READWRITE | PAGE_GUARD, &old));

        SearchRunning = 1;
        Offsets found;
        ScanBytesWith(find, data, kSize, needle, 8, Collect, &found);
        EXPECT_EQ(Trip.tripped, 1);
        EXPECT_EQ(Trip.overrun, 0) << "read more than 64 KiB after the stop";
        EXPECT_EQ(found, Offsets{0});
        VirtualFree(data, 0, MEM_RELEASE);
    }
    RemoveVectoredExceptionHandler(handler);
}

}  // namespace
