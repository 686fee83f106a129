#include "link/TickDriver.h"

#include <chrono>
#include <thread>

namespace orvan::link {

std::int64_t RunTicks(const std::function<bool()>& tick, int periodMs, std::int64_t limitMs) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const auto period = std::chrono::milliseconds(periodMs);
    auto next = start;
    std::int64_t ticks = 0;
    for (;;) {
        if (limitMs >= 0 && clock::now() - start >= std::chrono::milliseconds(limitMs)) break;
        ++ticks;
        if (!tick()) break;
        next += period;
        const auto now = clock::now();
        // Behind by more than a period (the process was stopped): start afresh.
        if (now > next + period) next = now;
        std::this_thread::sleep_until(next);
    }
    return ticks;
}

}  // namespace orvan::link
