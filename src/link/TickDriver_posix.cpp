#include <poll.h>

#include <chrono>
#include <thread>

#include "link/TickWait.h"

namespace orvan::link::detail {

bool CanWait(const TReadableWake& wake) {
    return wake.fd >= 0;
}

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

// The sleeps here are as fine as a tick needs already.
TFineTimer::TFineTimer() = default;
TFineTimer::~TFineTimer() = default;

}  // namespace orvan::link::detail
