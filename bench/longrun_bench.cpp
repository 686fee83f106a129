// Eight hours of status polling with every flag and the traffic logs on, on
// the core with the in-memory simulated board, stepped by the manual clock.
// Figures: the heap in use after the first simulated minute and its largest
// growth after it (target: at most 64 KiB, that is flat), and how many hours
// of the board one second of the PC runs.

#include <chrono>
#include <cstdio>

#include "LongRun.h"
#include "Summary.h"

int main() {
    constexpr std::int64_t kEightHoursMs = 8LL * 3600 * 1000;
    const auto t0 = std::chrono::steady_clock::now();
    const orvan::test::TLongRunFigures f =
        orvan::test::RunLongPolling(kEightHoursMs, [](int minute, long long heap) {
            if (minute == 1 || minute % 60 == 0)
                std::printf("  minute %4d: %lld bytes in use\n", minute, heap);
        });
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(
        "long run: %.1f h simulated in %.1f s (%.0f h per second), %llu poll cycles, %llu log "
        "lines (%.1f MB written), %llu time-outs\n",
        f.simulatedHours, s, f.simulatedHours / s, static_cast<unsigned long long>(f.pollCycles),
        static_cast<unsigned long long>(f.logLines), static_cast<double>(f.logBytes) / 1e6,
        static_cast<unsigned long long>(f.timeouts));
    constexpr double kFlat = 64 * 1024;
    std::printf(
        "long run heap: %lld bytes after the first minute, largest growth %lld bytes, %lld at the "
        "end  ratio %.3f (target <= 64 KiB)\n",
        f.heapAfterFirstMinute, f.largestGrowth, f.heapAtEnd,
        static_cast<double>(f.largestGrowth) / kFlat);
    orvan::bench::BenchSummary("8 h polling: heap growth after minute 1",
                               orvan::bench::Fmt("%lld bytes", f.largestGrowth), "<= 64 KiB",
                               static_cast<double>(f.largestGrowth) / kFlat,
                               f.largestGrowth >= 0 && f.largestGrowth <= kFlat);
    return f.timeouts == 0 && f.stops == 0 ? 0 : 1;
}
