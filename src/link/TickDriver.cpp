// The tick loop as every system runs it; the wait for the port between ticks
// is each system's own (TickDriver_posix.cpp, TickDriver_win.cpp).

#include "link/TickDriver.h"

#include <chrono>
#include <thread>

#include "link/TickWait.h"

namespace orvan::link {

std::int64_t RunTicks(const std::function<bool()>& tick, int periodMs, std::int64_t limitMs,
                      const TReadableWake* wake) {
    using clock = std::chrono::steady_clock;
    const detail::TFineTimer fine;
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
        if (wake != nullptr && detail::CanWait(*wake)) {
            if (!detail::WaitReadable(*wake, next)) break;
        } else {
            std::this_thread::sleep_until(next);
        }
    }
    return ticks;
}

}  // namespace orvan::link
