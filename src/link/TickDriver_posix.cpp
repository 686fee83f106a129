#include "link/TickDriver.h"

#include <poll.h>

#include <chrono>
#include <thread>

namespace orvan::link {

namespace {

// Waits until `until`, handing readable bytes to the wake as they come. False
// when the wake asked to stop.
bool WaitReadable(const TReadableWake& wake, std::chrono::steady_clock::time_point until) {
    using clock = std::chrono::steady_clock;
    for (;;) {
        const auto now = clock::now();
        if (now >= until) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        pollfd pfd{wake.fd, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (r <= 0) continue;  // the period is over (or a signal): look at the clock
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            // A line that is gone stays "readable": the tick will notice it.
            std::this_thread::sleep_until(until);
            return true;
        }
        if (!wake.readable()) return false;
    }
}

}  // namespace

std::int64_t RunTicks(const std::function<bool()>& tick, int periodMs, std::int64_t limitMs,
                      const TReadableWake* wake) {
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
        if (wake != nullptr && wake->fd >= 0) {
            if (!WaitReadable(*wake, next)) break;
        } else {
            std::this_thread::sleep_until(next);
        }
    }
    return ticks;
}

}  // namespace orvan::link
