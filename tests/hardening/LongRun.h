#pragma once
// A long run: status polling with every flag and the traffic logs on, on the
// core with the in-memory simulated board, stepped by the manual clock (hours
// of the board in seconds of the PC). The logs go to a sink that counts them,
// as a log file would, so what stays in memory is the program's own.

#include <cstdint>
#include <functional>

namespace orvan::test {

struct TLongRunFigures {
    double simulatedHours = 0;
    std::uint64_t ticks = 0;
    std::uint64_t pollCycles = 0;
    std::uint64_t logLines = 0;
    std::uint64_t logBytes = 0;
    std::uint64_t timeouts = 0;
    std::uint64_t stops = 0;  // polling found stopped (and restarted)
    // Heap bytes in use after the first simulated minute and at the end, and
    // the largest growth over the first-minute figure seen at any minute;
    // -1 when this build cannot tell.
    long long heapAfterFirstMinute = -1;
    long long heapAtEnd = -1;
    long long largestGrowth = -1;
};

// Heap bytes in use now (the sanitizer's allocator or the C library's),
// -1 when unknown.
long long HeapBytesInUse();

// Runs `simulatedMs` of polling; `minute` (may be empty) is called after each
// simulated minute with its number and the heap figure.
TLongRunFigures RunLongPolling(std::int64_t simulatedMs,
                               const std::function<void(int, long long)>& minute = {});

}  // namespace orvan::test
