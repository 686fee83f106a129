// Eight hours of polling with the traffic logs on, stepped by the manual
// clock: nothing stops, nothing times out, and the heap in use after the
// first minute stays where it was (the sanitizer tree also checks for leaks
// when the program ends).

#include <gtest/gtest.h>

#include <vector>

#include "LongRun.h"

namespace {

// Heap bytes the run may gain after its first minute: room for a container
// doubling once, far below what eight hours of any per-exchange growth take.
constexpr long long kFlatBytes = 64 * 1024;

TEST(LongRun, EightHoursOfPollingKeepTheHeapFlat) {
    constexpr std::int64_t kEightHoursMs = 8LL * 3600 * 1000;
    const orvan::test::TLongRunFigures f = orvan::test::RunLongPolling(kEightHoursMs);
    EXPECT_DOUBLE_EQ(f.simulatedHours, 8.0);
    EXPECT_EQ(f.timeouts, 0u);
    EXPECT_EQ(f.stops, 0u);
    // At least half the bound of five ticks per read (eight reads a cycle).
    EXPECT_GT(f.pollCycles, static_cast<std::uint64_t>(8 * 3600 * 1000 / (8 * 5 * 30) / 2));
    EXPECT_GT(f.logLines, 2 * f.pollCycles);
    if (f.heapAfterFirstMinute < 0) GTEST_SKIP() << "this build cannot tell the heap in use";
    EXPECT_LE(f.largestGrowth, kFlatBytes)
        << "after the first minute " << f.heapAfterFirstMinute << " bytes, at most "
        << f.heapAfterFirstMinute + f.largestGrowth << " later";
    EXPECT_LE(f.heapAtEnd - f.heapAfterFirstMinute, kFlatBytes);
}

TEST(LongRun, AGrowingHeapIsSeen) {
    // The figure the test above relies on moves when memory is kept.
    const long long before = orvan::test::HeapBytesInUse();
    if (before < 0) GTEST_SKIP() << "this build cannot tell the heap in use";
    std::vector<char> kept(1 << 20, 'x');
    EXPECT_GE(orvan::test::HeapBytesInUse() - before, 1 << 20);
    EXPECT_EQ(kept[12345], 'x');
}

}  // namespace
