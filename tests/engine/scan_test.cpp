#include <gtest/gtest.h>
#include <vector>
#include "engine/scan.h"
#include "engine/search.h"

namespace {
bool Collect(void* context, uint64_t offset)
{
    static_cast<std::vector<uint64_t>*>(context)->push_back(offset);
    return true;
}
}  // namespace

TEST(Scan, OverlappingRunsReportNonOverlappingMatches)
{
    SearchRunning = 1;
    std::vector<uint64_t> found;
    const unsigned char six[] = "AAAAAA";
    ScanBytes(six, 6, reinterpret_cast<const unsigned char*>("AAA"), 3, Collect, &found);
    EXPECT_EQ(found, (std::vector<uint64_t>{0, 3}));
    SearchRunning = 0;
}
